#include "display/present.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "tests/emu/emu_session.h"

namespace skimbo {
namespace {

using emu::EmuDevices;
using emu::EmuPanel;
using emu::EmuSession;

constexpr int panel_row_bytes = 344;
constexpr int panel_rows = 640;

std::unique_ptr<Canvas> canvas_of(std::uint32_t colour) {
    auto canvas = std::make_unique<Canvas>();
    canvas->fill(colour);
    return canvas;
}

std::unique_ptr<Canvas> random_canvas(std::uint32_t seed) {
    std::mt19937 random(seed);
    auto canvas = std::make_unique<Canvas>();
    for (std::uint32_t& pixel : *canvas) pixel = random() & 0x00FFFFFF;
    return canvas;
}

RotationMap panel_rotation() {
    RotationMap rotation;
    EXPECT_EQ(rotation.init(172, 640, 270), 0);
    return rotation;
}

// The device pixel the panel should hold at (col, row), straight from the definition:
// canvas pixel (row, physical_width - 1 - col), each channel cut to its length and shifted
// into place; black where that lies outside the canvas.
std::uint32_t reference_pixel(const Canvas& canvas, const Framebuffer& fb, int physical_width, int col, int row) {
    const int lx = row;
    const int ly = physical_width - 1 - col;
    if (lx < 0 || lx >= canvas_width || ly < 0 || ly >= canvas_height) return 0;
    const std::uint32_t p = canvas[static_cast<std::size_t>(ly) * canvas_width + lx];
    const auto place = [](std::uint32_t value, ChannelField field) {
        return (value >> (8 - field.length)) << field.offset;
    };
    return place(p >> 16 & 255, fb.red) | place(p >> 8 & 255, fb.green) | place(p & 255, fb.blue);
}

std::uint32_t device_pixel_at(const std::vector<std::uint8_t>& memory, const Framebuffer& fb, int col, int row) {
    const int bytes_pp = fb.bpp / 8;
    const std::size_t at = static_cast<std::size_t>((fb.xoffset + col) * bytes_pp + (row + fb.yoffset) * fb.line_length);
    std::uint32_t value = 0;
    for (int byte = 0; byte < bytes_pp; ++byte) value |= std::uint32_t{memory.at(at + byte)} << (8 * byte);
    return value;
}

// Every visible device pixel against the reference; stops at the first few differences.
void expect_matches_reference(const EmuSession& session, const Framebuffer& fb, const Canvas& canvas) {
    const std::vector<std::uint8_t> memory = session.panel_memory();
    int mismatches = 0;
    for (int row = 0; row < fb.yres && mismatches < 5; ++row)
        for (int col = 0; col < fb.xres && mismatches < 5; ++col) {
            const std::uint32_t want = reference_pixel(canvas, fb, 172, col, row);
            const std::uint32_t got = device_pixel_at(memory, fb, col, row);
            if (want != got) {
                ++mismatches;
                ADD_FAILURE() << "panel (" << col << ", " << row << "): want " << want << " got " << got;
            }
        }
}

struct OpenPanel {
    EmuSession session;
    Framebuffer fb;
    RotationMap rotation = panel_rotation();

    explicit OpenPanel(EmuPanel panel = {}) : session(EmuDevices{panel, {}, {}, {}}) {
        EXPECT_EQ(fb_open(fb, "/dev/fb0"), 0);
    }
};

TEST(RotationMap, InitDescribesTheTurnedPanel) {
    const RotationMap rotation = panel_rotation();
    EXPECT_EQ(rotation.degrees, 270);
    EXPECT_EQ(rotation.physical_width, 172);
    EXPECT_EQ(rotation.physical_height, 640);
    EXPECT_EQ(rotation.logical_width, 640);
    EXPECT_EQ(rotation.logical_height, 172);
}

TEST(RotationMap, InitRefusesOtherTurnsAndEmptyPanels) {
    RotationMap rotation;
    EXPECT_EQ(rotation.init(172, 640, 90), -1);
    EXPECT_EQ(rotation.init(172, 640, 0), -1);
    EXPECT_EQ(rotation.init(0, 640, 270), -1);
    EXPECT_EQ(rotation.degrees, 0);
}

TEST(RotationMap, CornersOfThePanelLandOnCornersOfTheCanvas) {
    const RotationMap rotation = panel_rotation();
    struct Case {
        int px, py, lx, ly;
    };
    for (const Case c : {Case{0, 0, 0, 171}, Case{171, 639, 639, 0}, Case{171, 0, 0, 0}, Case{0, 639, 639, 171}}) {
        const LogicalPoint p = rotation.to_logical(c.px, c.py);
        EXPECT_EQ(p.x, c.lx) << "panel " << c.px << "," << c.py;
        EXPECT_EQ(p.y, c.ly) << "panel " << c.px << "," << c.py;
    }
}

TEST(Present, ChannelsLoseTheirLowBitsWithoutRounding) {
    struct Case {
        std::uint32_t rgb;
        std::uint16_t rgb565;
    };
    for (const Case c : {Case{0x00FFFFFF, 0xFFFF}, Case{0x00F8FCF8, 0xFFFF}, Case{0x00070307, 0x0000},
                         Case{0x00FF0000, 0xF800}, Case{0x0000FF00, 0x07E0}, Case{0x000000FF, 0x001F},
                         Case{0x00102030, 0x1106}}) {
        OpenPanel panel;
        fb_present(panel.fb, *canvas_of(c.rgb), panel.rotation);
        const std::vector<std::uint8_t> memory = panel.session.panel_memory();
        EXPECT_EQ(memory[0] | memory[1] << 8, c.rgb565) << std::hex << c.rgb;
        EXPECT_EQ(memory[220158] | memory[220159] << 8, c.rgb565) << std::hex << c.rgb;
    }
}

TEST(Present, CanvasOriginIsTheLastPixelOfPanelRowZero) {
    OpenPanel panel;
    auto canvas = canvas_of(0);
    (*canvas)[0] = 0x00FFFFFF;
    fb_present(panel.fb, *canvas, panel.rotation);
    const std::vector<std::uint8_t> memory = panel.session.panel_memory();
    for (std::size_t at = 0; at < memory.size(); ++at) {
        const bool origin = at == 342 || at == 343;
        ASSERT_EQ(memory[at], origin ? 0xFF : 0x00) << "byte " << at;
    }
}

TEST(Present, FirstFrameWritesEveryRowEvenWhenBlack) {
    OpenPanel panel;  // panel memory starts as 0xA5 bytes, the shadow rows as zeros
    fb_present(panel.fb, *canvas_of(0), panel.rotation);
    EXPECT_EQ(panel.fb.rows_written, 640u);
    EXPECT_EQ(panel.fb.frames_presented, 1u);
    EXPECT_EQ(panel.fb.force_full, 0u);
    const std::vector<std::uint8_t> memory = panel.session.panel_memory();
    EXPECT_EQ(std::count(memory.begin(), memory.end(), 0), panel_rows * panel_row_bytes);
}

// Device memory is never read back, so bytes scribbled into it survive until their row is
// written again: the scribbles show which rows a presentation touched.
void scribble_every_row(Framebuffer& fb) {
    for (int row = 0; row < panel_rows; ++row) fb.map[row * panel_row_bytes] = 0x5A;
}

std::vector<int> rows_rewritten(const EmuSession& session) {
    const std::vector<std::uint8_t> memory = session.panel_memory();
    std::vector<int> rows;
    for (int row = 0; row < panel_rows; ++row)
        if (memory[row * panel_row_bytes] != 0x5A) rows.push_back(row);
    return rows;
}

TEST(Present, SameFrameTwiceWritesNothingTheSecondTime) {
    OpenPanel panel;
    const auto canvas = random_canvas(7);
    fb_present(panel.fb, *canvas, panel.rotation);
    scribble_every_row(panel.fb);
    fb_present(panel.fb, *canvas, panel.rotation);
    EXPECT_EQ(panel.fb.rows_written, 640u);
    EXPECT_EQ(panel.fb.frames_presented, 2u);
    EXPECT_TRUE(rows_rewritten(panel.session).empty());
}

TEST(Present, OneChangedPixelRewritesExactlyItsRow) {
    OpenPanel panel;
    auto canvas = random_canvas(11);
    fb_present(panel.fb, *canvas, panel.rotation);
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{639, 171}, std::pair{300, 50}, std::pair{17, 171}}) {
        scribble_every_row(panel.fb);
        const std::uint64_t before = panel.fb.rows_written;
        (*canvas)[static_cast<std::size_t>(y) * canvas_width + x] ^= 0x00808080;
        fb_present(panel.fb, *canvas, panel.rotation);
        EXPECT_EQ(panel.fb.rows_written, before + 1) << x << "," << y;
        EXPECT_EQ(rows_rewritten(panel.session), std::vector<int>{x}) << x << "," << y;
    }
}

TEST(Present, ChangeBelowTheColourDepthWritesNoRow) {
    OpenPanel panel;
    auto canvas = canvas_of(0x00F0F0F0);
    fb_present(panel.fb, *canvas, panel.rotation);
    (*canvas)[5] = 0x00F7F3F7;  // same RGB565 word
    fb_present(panel.fb, *canvas, panel.rotation);
    EXPECT_EQ(panel.fb.rows_written, 640u);
}

TEST(Present, QualifiedPanelMatchesReferenceOnRandomCanvases) {
    OpenPanel panel;
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        const auto canvas = random_canvas(seed);
        fb_present(panel.fb, *canvas, panel.rotation);
        expect_matches_reference(panel.session, panel.fb, *canvas);
    }
}

EmuPanel layout(std::uint32_t bpp, emu::Bitfield red, emu::Bitfield green, emu::Bitfield blue) {
    EmuPanel panel;
    panel.bpp = bpp;
    panel.line_length = 172 * bpp / 8;
    panel.red = red;
    panel.green = green;
    panel.blue = blue;
    return panel;
}

// Layouts the qualified panel does not have still show the right picture.
TEST(Present, OtherLayoutsMatchReference) {
    EmuPanel bgr565 = layout(16, {0, 5}, {5, 6}, {11, 5});
    EmuPanel xrgb8888 = layout(32, {16, 8}, {8, 8}, {0, 8});
    EmuPanel rgb555 = layout(16, {10, 5}, {5, 5}, {0, 5});
    EmuPanel padded_and_panned = layout(16, {11, 5}, {5, 6}, {0, 5});
    padded_and_panned.line_length = 400;
    padded_and_panned.xoffset = 8;
    padded_and_panned.yoffset = 3;
    for (const EmuPanel& device : {bgr565, xrgb8888, rgb555, padded_and_panned}) {
        OpenPanel panel(device);
        const auto canvas = random_canvas(device.bpp + device.red.offset + device.line_length);
        fb_present(panel.fb, *canvas, panel.rotation);
        EXPECT_EQ(panel.fb.rows_written, 640u);
        expect_matches_reference(panel.session, panel.fb, *canvas);
    }
}

TEST(Present, PanelLargerThanTheCanvasShowsBlackBeyondIt) {
    EmuPanel landscape;
    landscape.xres = 640;
    landscape.yres = 172;
    landscape.line_length = 1280;
    landscape.smem_len = 0;
    OpenPanel panel(landscape);
    const auto canvas = canvas_of(0x00FFFFFF);
    fb_present(panel.fb, *canvas, panel.rotation);
    expect_matches_reference(panel.session, panel.fb, *canvas);
}

// A pan offset the mapping does not cover would put the last row past the end of device
// memory; that row is left alone instead.
TEST(Present, RowOutsideTheMappingIsNotWritten) {
    EmuPanel panned;
    panned.xoffset = 10;
    OpenPanel panel(panned);
    ASSERT_EQ(panel.fb.map_len, 220160u);
    fb_present(panel.fb, *canvas_of(0x00FFFFFF), panel.rotation);
    EXPECT_EQ(panel.fb.rows_written, 639u);
}

TEST(Present, ClosedFramebufferIsLeftAlone) {
    Framebuffer fb;
    fb_present(fb, *canvas_of(0x00FFFFFF), panel_rotation());
    EXPECT_EQ(fb.frames_presented, 0u);
}

}  // namespace
}  // namespace skimbo
