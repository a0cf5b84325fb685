#include "display/framebuffer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>

#include "tests/emu/captured_log.h"
#include "tests/emu/emu_session.h"

namespace skimbo {
namespace {

using emu::EmuDevices;
using emu::EmuPanel;
using emu::EmuSession;
using emu::logged_messages;
using Lines = std::vector<std::string>;

EmuDevices with_panel(const EmuPanel& panel) { return EmuDevices{panel, {}, {}, {}}; }

void expect_field(ChannelField field, int offset, int length, const char* name) {
    EXPECT_EQ(field.offset, offset) << name;
    EXPECT_EQ(field.length, length) << name;
}

TEST(Framebuffer, QualifiedPanelOpensSilently) {
    EmuSession session(with_panel({}));
    Framebuffer fb;
    int result = -1;
    EXPECT_EQ(logged_messages([&] { result = fb_open(fb, "/dev/fb0"); }), Lines{});
    ASSERT_EQ(result, 0);
    EXPECT_GE(fb.fd, 0);
    EXPECT_EQ(fb.xres, 172);
    EXPECT_EQ(fb.yres, 640);
    EXPECT_EQ(fb.bpp, 16);
    EXPECT_EQ(fb.line_length, 344);
    EXPECT_EQ(fb.xoffset, 0);
    EXPECT_EQ(fb.yoffset, 0);
    EXPECT_STREQ(fb.id, "fb_axs15231b");
    expect_field(fb.red, 11, 5, "red");
    expect_field(fb.green, 5, 6, "green");
    expect_field(fb.blue, 0, 5, "blue");
    EXPECT_EQ(fb.map_len, 220160u);
    EXPECT_EQ(fb.force_full, 1u);
    EXPECT_EQ(fb.rows_written, 0u);
    EXPECT_EQ(fb.frames_presented, 0u);
    ASSERT_TRUE(fb.shadow_rows && fb.row_buf);
    EXPECT_EQ(fb.shadow_rows[0], 0);
    EXPECT_EQ(fb.shadow_rows[640 * 344 - 1], 0);
    EXPECT_EQ(session.trace(), (Lines{"panel open", "panel mmap 220160"}));
}

struct FailureCase {
    const char* name;
    std::function<void(EmuPanel&)> break_panel;
    const char* line;
    int error;  // 0: not checked
};

// Each way the device can be wrong ends the open with its one line.
TEST(Framebuffer, EachFailureLogsItsOneLine) {
    const FailureCase cases[] = {
        {"missing node", [](EmuPanel& p) { p.present = false; }, "fb: open /dev/fb0: No such file or directory",
         ENOENT},
        {"fixed info refused", [](EmuPanel& p) { p.fscreeninfo_fails = true; },
         "fb: FBIOGET_*SCREENINFO: Invalid argument", EINVAL},
        {"variable info refused", [](EmuPanel& p) { p.vscreeninfo_fails = true; },
         "fb: FBIOGET_*SCREENINFO: Invalid argument", EINVAL},
        {"24 bpp, also too large",
         [](EmuPanel& p) {
             p.bpp = 24;
             p.xres = 1280;
             p.yres = 720;
         },
         "fb: unsupported bpp 24", 0},
        {"too large",
         [](EmuPanel& p) {
             p.xres = 1280;
             p.yres = 720;
         },
         "fb: unsupported geometry 1280x720", 0},
        {"no width", [](EmuPanel& p) { p.xres = 0; }, "fb: unsupported geometry 0x640", 0},
        {"height past 1024", [](EmuPanel& p) { p.yres = 1025; }, "fb: unsupported geometry 172x1025", 0},
        {"mapping refused", [](EmuPanel& p) { p.mmap_fails = true; }, "fb: mmap: Cannot allocate memory", ENOMEM},
    };
    for (const FailureCase& c : cases) {
        EmuPanel panel;
        c.break_panel(panel);
        EmuSession session(with_panel(panel));
        Framebuffer fb;
        int result = 0;
        int error = 0;
        const Lines lines = logged_messages([&] {
            result = fb_open(fb, "/dev/fb0");
            error = errno;
        });
        EXPECT_EQ(result, -1) << c.name;
        EXPECT_EQ(lines, Lines{c.line}) << c.name;
        if (c.error != 0) {
            EXPECT_EQ(error, c.error) << c.name;
        }
        EXPECT_EQ(fb.map, nullptr) << c.name;
        fb_close(fb);
        EXPECT_EQ(fb.fd, -1) << c.name;
        const Lines trace = session.trace();
        if (panel.present) {
            ASSERT_FALSE(trace.empty()) << c.name;
            EXPECT_EQ(trace.back(), "panel close") << c.name;
        }
    }
}

// Drivers that leave the bitfields empty get the usual layout of their depth, all three
// channels together.
TEST(Framebuffer, EmptyBitfieldsTakeTheDepthsUsualLayout) {
    struct Case {
        std::uint32_t bpp;
        emu::Bitfield red, green, blue;
        int want[6];
    };
    const Case cases[] = {
        {16, {0, 0}, {0, 0}, {0, 0}, {11, 5, 5, 6, 0, 5}},
        {16, {0, 5}, {5, 0}, {11, 5}, {11, 5, 5, 6, 0, 5}},
        {32, {0, 0}, {0, 0}, {0, 0}, {16, 8, 8, 8, 0, 8}},
        {16, {0, 5}, {5, 6}, {11, 5}, {0, 5, 5, 6, 11, 5}},  // complete layouts are kept
    };
    for (const Case& c : cases) {
        EmuPanel panel;
        panel.bpp = c.bpp;
        panel.line_length = 172 * c.bpp / 8;
        panel.red = c.red;
        panel.green = c.green;
        panel.blue = c.blue;
        EmuSession session(with_panel(panel));
        Framebuffer fb;
        ASSERT_EQ(fb_open(fb, "/dev/fb0"), 0);
        expect_field(fb.red, c.want[0], c.want[1], "red");
        expect_field(fb.green, c.want[2], c.want[3], "green");
        expect_field(fb.blue, c.want[4], c.want[5], "blue");
    }
}

TEST(Framebuffer, MappingCoversTheVisibleRowsOrAllDeviceMemory) {
    struct Case {
        std::uint32_t smem_len, yoffset;
        std::uint64_t want;
    };
    for (const Case c : {Case{0, 0, 220160}, Case{220160, 0, 220160}, Case{300000, 0, 300000}, Case{0, 10, 650 * 344},
                         Case{440320, 640, 440320}}) {
        EmuPanel panel;
        panel.smem_len = c.smem_len;
        panel.yoffset = c.yoffset;
        EmuSession session(with_panel(panel));
        Framebuffer fb;
        ASSERT_EQ(fb_open(fb, "/dev/fb0"), 0);
        EXPECT_EQ(fb.map_len, c.want) << c.smem_len << " " << c.yoffset;
        EXPECT_EQ(session.trace().back(), "panel mmap " + std::to_string(c.want));
    }
}

TEST(Framebuffer, SixteenByteIdentifierStaysTerminated) {
    EmuPanel panel;
    panel.id = "fb_axs15231b_xyz";
    EmuSession session(with_panel(panel));
    Framebuffer fb;
    ASSERT_EQ(fb_open(fb, "/dev/fb0"), 0);
    EXPECT_STREQ(fb.id, "fb_axs15231b_xyz");
}

TEST(Framebuffer, ClosingTwiceReleasesOnce) {
    EmuSession session(with_panel({}));
    Framebuffer fb;
    ASSERT_EQ(fb_open(fb, "/dev/fb0"), 0);
    fb_close(fb);
    fb_close(fb);
    EXPECT_EQ(fb.fd, -1);
    EXPECT_EQ(fb.map, nullptr);
    EXPECT_EQ(fb.map_len, 0u);
    EXPECT_FALSE(fb.shadow_rows || fb.row_buf);
    EXPECT_EQ(fb.id[0], '\0');
    EXPECT_EQ(session.trace(), (Lines{"panel open", "panel mmap 220160", "panel munmap 220160", "panel close"}));
}

TEST(Framebuffer, ReopeningReleasesThePreviousDevice) {
    EmuSession session(with_panel({}));
    Framebuffer fb;
    ASSERT_EQ(fb_open(fb, "/dev/fb0"), 0);
    ASSERT_EQ(fb_open(fb, "/dev/fb0"), 0);
    EXPECT_EQ(session.trace(), (Lines{"panel open", "panel mmap 220160", "panel munmap 220160", "panel close",
                                      "panel open", "panel mmap 220160"}));
}

TEST(Framebuffer, RecordReleasesAnOpenDeviceWhenItEnds) {
    EmuSession session(with_panel({}));
    {
        Framebuffer fb;
        ASSERT_EQ(fb_open(fb, "/dev/fb0"), 0);
    }
    EXPECT_EQ(session.trace().back(), "panel close");
}

TEST(Framebuffer, Rgb565NeedsSixteenBits) {
    EmuPanel wide;
    wide.bpp = 32;
    wide.line_length = 688;
    wide.red = {16, 8};
    wide.green = {8, 8};
    wide.blue = {0, 8};
    EmuSession session(with_panel(wide));
    Framebuffer fb;
    ASSERT_EQ(fb_open(fb, "/dev/fb0"), 0);
    EXPECT_EQ(fb_set_format(fb, "rgb565"), -1);
    expect_field(fb.red, 16, 8, "red after refusal");

    fb.bpp = 16;
    fb.red = fb.green = fb.blue = ChannelField{};
    EXPECT_EQ(fb_set_format(fb, "bgr565"), -1);
    EXPECT_EQ(fb_set_format(fb, "rgb565"), 0);
    expect_field(fb.red, 11, 5, "red");
    expect_field(fb.green, 5, 6, "green");
    expect_field(fb.blue, 0, 5, "blue");
}

}  // namespace
}  // namespace skimbo
