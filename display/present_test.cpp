// Presentation on framebuffer records as fb_open leaves them, over anonymous memory in place of
// the device, against the definition of the turned panel. Opening the device, and presenting on
// it in device play, are tested end to end (tests/e2e/device_e2e_test).
#include "display/present.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <random>
#include <utility>
#include <vector>

namespace skimbo {
namespace {

struct Layout {
    const char* name;
    int bpp, xres, yres, line_length, xoffset, yoffset;
    ChannelField red, green, blue;
    bool reported_empty = false;  // the driver reports empty bitfields; red, green and blue are the layout shown
    int spare_rows = 0;           // device memory mapped past the visible rows
};

struct MemoryPanel {
    Framebuffer fb;
    RotationMap rotation;

    explicit MemoryPanel(const Layout& l = {"qualified", 16, 172, 640, 344, 0, 0, {11, 5}, {5, 6}, {0, 5}}) {
        fb.xres = l.xres, fb.yres = l.yres, fb.bpp = l.bpp, fb.line_length = l.line_length, fb.xoffset = l.xoffset;
        fb.yoffset = l.yoffset, fb.red = l.red, fb.green = l.green, fb.blue = l.blue, fb.force_full = 1;
        if (l.reported_empty) fb.red = fb.green = fb.blue = ChannelField{}, fb_default_layout(fb);
        fb.map_len = static_cast<std::uint64_t>((l.yres + l.yoffset + l.spare_rows) * l.line_length);
        fb.map = static_cast<std::uint8_t*>(mmap(nullptr, fb.map_len, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        std::memset(fb.map, 0xA5, fb.map_len);
        fb.shadow_rows = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(fb.row_bytes() * fb.yres));
        fb.row_buf = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(fb.row_bytes()));
        rotation.init(172, 640, 270);
    }
    std::uint32_t device_pixel(int col, int row) const {
        std::uint32_t value = 0;
        for (int byte = 0; byte < fb.bpp / 8; ++byte)
            value |= std::uint32_t{fb.map[(fb.xoffset + col) * (fb.bpp / 8) + (row + fb.yoffset) * fb.line_length + byte]} << (8 * byte);
        return value;
    }
};

std::unique_ptr<Canvas> random_canvas(std::uint32_t seed) {
    std::mt19937 random(seed);
    auto canvas = std::make_unique<Canvas>();
    for (std::uint32_t& pixel : *canvas) pixel = random() & 0x00FFFFFF;
    return canvas;
}

// Panel pixel (col, row) shows canvas pixel (row, 171 - col), each channel cut to its length and
// shifted into place; black where that lies off the canvas. A row that would fall outside the
// mapping (panned past it) is not written, nor is device memory past the visible rows. The same
// canvas again writes nothing.
TEST(Present, EveryLayoutShowsTheTurnedCanvas) {
    const Layout layouts[] = {
        {"qualified", 16, 172, 640, 344, 0, 0, {11, 5}, {5, 6}, {0, 5}},
        {"XRGB8888", 32, 172, 640, 688, 0, 0, {16, 8}, {8, 8}, {0, 8}},
        {"no bitfields at 16 bits", 16, 172, 640, 344, 0, 0, {11, 5}, {5, 6}, {0, 5}, true},
        {"no bitfields at 32 bits", 32, 172, 640, 688, 0, 0, {16, 8}, {8, 8}, {0, 8}, true},
        {"qualified, over more device memory", 16, 172, 640, 344, 0, 0, {11, 5}, {5, 6}, {0, 5}, false, 2},
        {"XRGB8888, over more device memory", 32, 172, 640, 688, 0, 0, {16, 8}, {8, 8}, {0, 8}, false, 2},
        {"padded and panned", 16, 172, 640, 400, 8, 3, {11, 5}, {5, 6}, {0, 5}},
        {"landscape, beyond the canvas", 16, 640, 172, 1280, 0, 0, {11, 5}, {5, 6}, {0, 5}},
        {"rows beyond the canvas", 16, 172, 648, 344, 0, 0, {11, 5}, {5, 6}, {0, 5}},
        {"channels of 10, 9 and 1 bits", 32, 172, 640, 688, 0, 0, {18, 10}, {9, 9}, {0, 1}},
        {"panned past the mapping", 16, 172, 639, 344, 10, 1, {11, 5}, {5, 6}, {0, 5}},
    };
    for (const Layout& layout : layouts) {
        MemoryPanel panel(layout);
        const auto canvas = random_canvas(static_cast<std::uint32_t>(layout.line_length + layout.red.offset));
        fb_present(panel.fb, *canvas, panel.rotation);
        const int rows = layout.xoffset == 10 ? 638 : layout.yres;  // the last row panned past the mapping
        EXPECT_EQ(panel.fb.rows_written, static_cast<std::uint64_t>(rows)) << layout.name;
        if (rows < layout.yres || layout.spare_rows) {
            EXPECT_EQ(panel.device_pixel(0, rows), 0xA5A5A5A5u >> (32 - layout.bpp)) << layout.name;
        }
        for (int row = 0, wrong = 0; row < rows && wrong < 5; ++row)
            for (int col = 0; col < layout.xres && wrong < 5; ++col) {
                const int x = row, y = 171 - col;
                const std::uint32_t p = x < canvas_width && y >= 0 ? (*canvas)[static_cast<std::size_t>(y * canvas_width + x)] : 0;
                const auto place = [](std::uint32_t value, ChannelField f) {
                    return (f.length <= 8 ? value >> (8 - f.length) : value << (f.length - 8)) << f.offset;
                };
                const std::uint32_t want = place(p >> 16, layout.red) | place(p >> 8 & 255, layout.green) | place(p & 255, layout.blue);
                if (panel.device_pixel(col, row) != want) ADD_FAILURE() << layout.name << ": (" << col << ", " << row << ")", ++wrong;
            }
        fb_present(panel.fb, *canvas, panel.rotation);
        EXPECT_EQ(panel.fb.rows_written, static_cast<std::uint64_t>(rows)) << layout.name;
    }
}

// Device memory is never read back: bytes scribbled into it survive until their row is written
// again, and so show which rows a presentation wrote. Each scribble is the complement of the
// row's first byte as last written, which the changes below never turn it into.
std::vector<int> rows_rewritten_by(MemoryPanel& panel, const Canvas& canvas, ColumnSpan changed = {}) {
    std::vector<std::uint8_t> scribbles(640);
    for (int row = 0; row < 640; ++row) panel.fb.map[row * 344] = scribbles[row] = ~panel.fb.shadow_rows[row * 344] & 255;
    fb_present(panel.fb, canvas, panel.rotation, changed);
    std::vector<int> rows;
    for (int row = 0; row < 640; ++row)
        if (panel.fb.map[row * 344] != scribbles[row]) rows.push_back(row);
    return rows;
}

// The first frame writes every row; after it, only the panel rows whose pixels changed.
TEST(Present, OnlyRowsThatChangedAreWrittenAfterTheFirstFrame) {
    MemoryPanel panel;
    auto canvas = std::make_unique<Canvas>();
    canvas->fill(0x00F0F0F0);
    EXPECT_EQ(rows_rewritten_by(panel, *canvas).size(), 640u);
    EXPECT_EQ(rows_rewritten_by(panel, *canvas), std::vector<int>{});
    (*canvas)[5] = 0x00F7F3F7;  // the same RGB565 pixel
    EXPECT_EQ(rows_rewritten_by(panel, *canvas), std::vector<int>{});
    for (auto [x, y] : {std::pair{0, 0}, {639, 171}, {17, 171}}) {
        (*canvas)[static_cast<std::size_t>(y * canvas_width + x)] ^= 0x00808080;
        EXPECT_EQ(rows_rewritten_by(panel, *canvas), std::vector<int>{x}) << x << "," << y;
    }
    EXPECT_EQ(panel.fb.frames_presented, 6u);
    EXPECT_EQ(panel.fb.rows_written, 643u);
}

// After two quiet frames the canvas is kept, and the next is compared with it: a change in any
// canvas column, on the rows where the comparison's spans of rows meet, rewrites that
// column's panel row alone, and so does taking it back.
TEST(Present, AfterQuietFramesEachCanvasColumnRewritesItsRowAlone) {
    MemoryPanel panel;
    ASSERT_EQ(fb_allocate_buffers(panel.fb), 0);
    const auto canvas = random_canvas(5);
    for (int frame = 0; frame < 3; ++frame) fb_present(panel.fb, *canvas, panel.rotation);
    constexpr int span_edges[] = {0, 63, 64, 127, 128, 171};
    for (int back = 0; back < 2; ++back)
        for (int x = 0; x < canvas_width; ++x) {
            (*canvas)[static_cast<std::size_t>(span_edges[x % 6] * canvas_width + x)] ^= 0x00808080;
            ASSERT_EQ(rows_rewritten_by(panel, *canvas), std::vector<int>{x}) << x << (back ? " back" : "");
        }
}

// A canvas is kept after the second quiet frame in a row, not the first, however the panel
// came to show it: the kept one is what the next frame is compared with.
TEST(Present, TheCanvasOfTheSecondQuietFrameInARowIsKept) {
    MemoryPanel panel;
    ASSERT_EQ(fb_allocate_buffers(panel.fb), 0);
    const auto quiet = random_canvas(5), playing = random_canvas(6), moved = random_canvas(6);
    (*moved)[9 * canvas_width + 300] ^= 0x00808080;
    for (const Canvas* canvas : {quiet.get(), quiet.get(), quiet.get(), playing.get(), moved.get(), moved.get()})
        fb_present(panel.fb, *canvas, panel.rotation);
    EXPECT_EQ(rows_rewritten_by(panel, *playing), std::vector<int>{300});
    EXPECT_EQ(rows_rewritten_by(panel, *playing), std::vector<int>{});
    EXPECT_EQ(rows_rewritten_by(panel, *moved), std::vector<int>{300});
}

// The columns the renderer names narrow the rows converted again, never decide a write: a
// change below the colour depth in a named column writes nothing, and a change in a column
// not named waits for a frame that names it (a whole frame does), or forces every row. Rows another layout wrote
// last are all converted again.
TEST(Present, ColumnsNamedChangedAreConvertedAgainAndTheirBytesDecide) {
    MemoryPanel panel;
    ASSERT_EQ(fb_allocate_buffers(panel.fb), 0);
    const auto canvas = random_canvas(5);
    std::swap(panel.fb.red, panel.fb.blue);
    fb_present(panel.fb, *canvas, panel.rotation);
    std::swap(panel.fb.red, panel.fb.blue);
    EXPECT_EQ(rows_rewritten_by(panel, *canvas, {300, 300}).size(), 640u);
    auto change = [&](int x, std::uint32_t bits) { (*canvas)[static_cast<std::size_t>(9 * canvas_width + x)] ^= bits; };
    for (int x : {0, 7, 8, 15, 632, 639}) {
        change(x, 0x00808080);
        EXPECT_EQ(rows_rewritten_by(panel, *canvas, {x, x}), std::vector<int>{x}) << x;
    }
    change(300, 0x00808080), change(301, 0x00070307), change(200, 0x00808080);
    EXPECT_EQ(rows_rewritten_by(panel, *canvas, {296, 303}), std::vector<int>{300});
    EXPECT_EQ(rows_rewritten_by(panel, *canvas, no_columns), std::vector<int>{});
    EXPECT_EQ(rows_rewritten_by(panel, *canvas, {-8, 200}), std::vector<int>{200});
    change(400, 0x00808080);
    EXPECT_EQ(rows_rewritten_by(panel, *canvas, {296, 303}), std::vector<int>{});
    EXPECT_EQ(rows_rewritten_by(panel, *canvas), std::vector<int>{400});
    panel.fb.force_full = 1;
    EXPECT_EQ(rows_rewritten_by(panel, *canvas, no_columns).size(), 640u);
}

// A canvas presented again unchanged writes what presenting it in full writes: nothing after a
// frame on the panel, every row when a full frame is due, with or without the kept canvas.
TEST(Present, AnUnchangedCanvasPresentedAgainWritesWhatAFullPresentationWrites) {
    for (bool kept : {true, false}) {
        MemoryPanel panel;
        ASSERT_EQ(kept ? fb_allocate_buffers(panel.fb) : 0, 0);
        const auto canvas = random_canvas(9);
        for (int quiet = 0; quiet < 3; ++quiet) fb_present(panel.fb, *canvas, panel.rotation);
        ASSERT_EQ(panel.fb.last_canvas_shown, kept);
        for (std::uint64_t full : {0, 1, 0}) {
            panel.fb.force_full = static_cast<std::uint32_t>(full);
            const std::uint64_t before = panel.fb.rows_written;
            fb_present_unchanged(panel.fb, *canvas, panel.rotation);
            EXPECT_EQ(panel.fb.rows_written - before, full * 640) << kept;
        }
        EXPECT_EQ(panel.fb.frames_presented, 6u);
    }
}

// A record that never opened holds nothing, standard output included; one without its buffers
// presents nothing; a closed one holds nothing either: closing it again leaves alone the
// descriptor that took its number.
TEST(Present, AClosedPanelClosesNothingAgain) {
    { Framebuffer never_opened; }
    EXPECT_NE(fcntl(STDOUT_FILENO, F_GETFD), -1);
    MemoryPanel panel;
    panel.fb.shadow_rows.reset();  // as a failed allocation leaves it: nothing is presented
    fb_present(panel.fb, *random_canvas(1), panel.rotation);
    EXPECT_EQ(panel.fb.rows_written, 0u);
    panel.fb.fd = dup(2);
    fb_close(panel.fb);
    const int reused = dup(2);
    fb_close(panel.fb);
    EXPECT_NE(fcntl(reused, F_GETFD), -1);
    close(reused);
}

}  // namespace
}  // namespace skimbo
