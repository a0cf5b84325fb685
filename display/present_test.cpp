// Presentation on framebuffer records as fb_open leaves them, over anonymous memory in place of
// the device, checked against the definition of the turned panel. Opening the real device is
// tested end to end (tests/e2e/device_e2e_test).
#include "display/present.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace skimbo {
namespace {

struct Layout {
    const char* name;
    int bpp, xres, yres, line_length, xoffset, yoffset;
    ChannelField red, green, blue;
};

const Layout qualified{"qualified", 16, 172, 640, 344, 0, 0, {11, 5}, {5, 6}, {0, 5}};

struct MemoryPanel {
    Framebuffer fb;
    RotationMap rotation;

    explicit MemoryPanel(const Layout& l) {
        fb.xres = l.xres, fb.yres = l.yres, fb.bpp = l.bpp, fb.line_length = l.line_length;
        fb.xoffset = l.xoffset, fb.yoffset = l.yoffset, fb.red = l.red, fb.green = l.green, fb.blue = l.blue;
        fb.map_len = static_cast<std::uint64_t>(l.yres + l.yoffset) * static_cast<std::uint64_t>(l.line_length);
        fb.map = static_cast<std::uint8_t*>(mmap(nullptr, fb.map_len, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        std::memset(fb.map, 0xA5, fb.map_len);
        fb.shadow_rows = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(fb.row_bytes() * fb.yres));
        fb.row_buf = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(fb.row_bytes()));
        fb.force_full = 1;
        rotation.init(172, 640, 270);
    }

    std::uint32_t device_pixel(int col, int row) const {
        std::uint32_t value = 0;
        const std::uint8_t* at = fb.map + (fb.xoffset + col) * (fb.bpp / 8) + (row + fb.yoffset) * fb.line_length;
        for (int byte = 0; byte < fb.bpp / 8; ++byte) value |= std::uint32_t{at[byte]} << (8 * byte);
        return value;
    }
};

// Panel pixel (col, row) shows canvas pixel (row, 171 - col), each channel cut to its length and
// shifted into place; black where that lies off the canvas.
std::uint32_t reference_pixel(const Canvas& canvas, const Framebuffer& fb, int col, int row) {
    const int x = row, y = 171 - col;
    if (x < 0 || x >= canvas_width || y < 0 || y >= canvas_height) return 0;
    const std::uint32_t p = canvas[static_cast<std::size_t>(y * canvas_width + x)];
    const auto place = [](std::uint32_t value, ChannelField f) { return (value >> (8 - f.length)) << f.offset; };
    return place(p >> 16 & 255, fb.red) | place(p >> 8 & 255, fb.green) | place(p & 255, fb.blue);
}

std::unique_ptr<Canvas> random_canvas(std::uint32_t seed) {
    std::mt19937 random(seed);
    auto canvas = std::make_unique<Canvas>();
    for (std::uint32_t& pixel : *canvas) pixel = random() & 0x00FFFFFF;
    return canvas;
}

TEST(Present, EveryLayoutShowsTheTurnedCanvas) {
    const Layout layouts[] = {
        qualified,
        {"BGR565", 16, 172, 640, 344, 0, 0, {0, 5}, {5, 6}, {11, 5}},
        {"XRGB8888", 32, 172, 640, 688, 0, 0, {16, 8}, {8, 8}, {0, 8}},
        {"RGB555", 16, 172, 640, 344, 0, 0, {10, 5}, {5, 5}, {0, 5}},
        {"padded and panned", 16, 172, 640, 400, 8, 3, {11, 5}, {5, 6}, {0, 5}},
        {"landscape, beyond the canvas", 16, 640, 172, 1280, 0, 0, {11, 5}, {5, 6}, {0, 5}},
    };
    for (const Layout& layout : layouts) {
        MemoryPanel panel(layout);
        const auto canvas = random_canvas(static_cast<std::uint32_t>(layout.line_length + layout.red.offset));
        fb_present(panel.fb, *canvas, panel.rotation);
        EXPECT_EQ(panel.fb.rows_written, static_cast<std::uint64_t>(layout.yres)) << layout.name;
        for (int row = 0, wrong = 0; row < layout.yres && wrong < 5; ++row)
            for (int col = 0; col < layout.xres && wrong < 5; ++col)
                if (panel.device_pixel(col, row) != reference_pixel(*canvas, panel.fb, col, row))
                    ADD_FAILURE() << layout.name << ": panel (" << col << ", " << row << ")", ++wrong;
    }
}

// Device memory is never read back: bytes scribbled into it survive until their row is written
// again, and so show which rows a presentation wrote.
std::vector<int> rows_rewritten_by(MemoryPanel& panel, const Canvas& canvas) {
    for (int row = 0; row < 640; ++row) panel.fb.map[row * 344] = 0x5A;
    fb_present(panel.fb, canvas, panel.rotation);
    std::vector<int> rows;
    for (int row = 0; row < 640; ++row)
        if (panel.fb.map[row * 344] != 0x5A) rows.push_back(row);
    return rows;
}

TEST(Present, OnlyRowsThatChangedAreWrittenAfterTheFirstFrame) {
    MemoryPanel panel(qualified);
    auto canvas = std::make_unique<Canvas>();
    canvas->fill(0x00F0F0F0);
    EXPECT_EQ(rows_rewritten_by(panel, *canvas).size(), 640u);  // all of them, though unchanged
    EXPECT_EQ(panel.fb.force_full, 0u);
    EXPECT_EQ(rows_rewritten_by(panel, *canvas), std::vector<int>{});
    (*canvas)[5] = 0x00F7F3F7;  // the same RGB565 pixel
    EXPECT_EQ(rows_rewritten_by(panel, *canvas), std::vector<int>{});
    for (auto [x, y] : {std::pair{0, 0}, std::pair{639, 171}, std::pair{300, 50}, std::pair{17, 171}}) {
        (*canvas)[static_cast<std::size_t>(y * canvas_width + x)] ^= 0x00808080;
        EXPECT_EQ(rows_rewritten_by(panel, *canvas), std::vector<int>{x}) << x << "," << y;
    }
    EXPECT_EQ(panel.fb.frames_presented, 7u);
    EXPECT_EQ(panel.fb.rows_written, 644u);
}

// Panned across by more than the mapping holds, the last row would fall outside it.
TEST(Present, ARowOutsideTheMappingIsNotWritten) {
    Layout panned = qualified;
    panned.xoffset = 10;
    MemoryPanel panel(panned);
    fb_present(panel.fb, *random_canvas(3), panel.rotation);
    EXPECT_EQ(panel.fb.rows_written, 639u);
    EXPECT_EQ(panel.device_pixel(0, 639), 0xA5A5u);
}

TEST(Present, AClosedFramebufferIsLeftAlone) {
    Framebuffer fb;
    RotationMap rotation;
    EXPECT_EQ(rotation.init(172, 640, 90), -1);
    EXPECT_EQ(rotation.init(0, 640, 270), -1);
    EXPECT_EQ(rotation.init(172, 640, 270), 0);
    fb_present(fb, *random_canvas(1), rotation);
    EXPECT_EQ(fb.frames_presented, 0u);
}

}  // namespace
}  // namespace skimbo
