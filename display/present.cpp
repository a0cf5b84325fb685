#include "display/present.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace skimbo {
namespace {

static_assert(std::endian::native == std::endian::little, "the panel takes little-endian pixels");

// What one 8-bit channel value contributes to a device pixel, for all 256 values. Low bits a
// narrower channel cannot hold are dropped, never rounded; a wider channel gets the value in
// its top bits. A field no device pixel can hold contributes nothing.
using ChannelTable = std::array<std::uint32_t, 256>;

ChannelTable channel_table(ChannelField field) {
    ChannelTable table{};
    if (field.length < 1 || field.length > 32 || field.offset < 0 || field.offset >= 32) return table;
    for (std::uint32_t value = 0; value < 256; ++value) {
        const std::uint64_t bits = field.length <= 8 ? value >> (8 - field.length)
                                                     : std::uint64_t{value} << (field.length - 8);
        table[value] = static_cast<std::uint32_t>(bits << field.offset);
    }
    return table;
}

struct PixelTables {
    ChannelTable red;
    ChannelTable green;
    ChannelTable blue;

    std::uint32_t device_pixel(std::uint32_t rgb) const {
        return red[rgb >> 16 & 255] | green[rgb >> 8 & 255] | blue[rgb & 255];
    }
};

// The canvas pixel a panel pixel shows; black where the panel reaches past the canvas.
std::uint32_t canvas_pixel(const Canvas& canvas, const RotationMap& rotation, int px, int py) {
    const LogicalPoint p = rotation.to_logical(px, py);
    if (p.x < 0 || p.x >= rotation.logical_width || p.y < 0 || p.y >= rotation.logical_height) return 0;
    const std::size_t index = static_cast<std::size_t>(p.y) * static_cast<std::size_t>(rotation.logical_width) +
                              static_cast<std::size_t>(p.x);
    return index < canvas.size() ? canvas[index] : 0;
}

// Any depth, layout and rotated size: one table lookup per channel and pixel.
void convert_row_generic(Framebuffer& fb, const Canvas& canvas, const RotationMap& rotation,
                         const PixelTables& tables, int row) {
    const int bytes_pp = fb.bpp / 8;
    std::uint8_t* out = fb.row_buf.get();
    for (int col = 0; col < fb.xres; ++col, out += bytes_pp) {
        const std::uint32_t d = tables.device_pixel(canvas_pixel(canvas, rotation, col, row));
        for (int byte = 0; byte < bytes_pp; ++byte) out[byte] = static_cast<std::uint8_t>(d >> (8 * byte));
    }
}

bool same_field(ChannelField a, ChannelField b) { return a.offset == b.offset && a.length == b.length; }

// The qualified panel: 172 x 640 RGB565 turned by 270 degrees, so panel row r shows canvas
// column r from the bottom row up. Worth its own loop: it runs for every pixel of every frame.
bool is_qualified_panel(const Framebuffer& fb, const RotationMap& rotation) {
    return fb.bpp == 16 && fb.xres == canvas_height && fb.yres == canvas_width && rotation.degrees == 270 &&
           rotation.physical_width == canvas_height && rotation.physical_height == canvas_width &&
           same_field(fb.red, {11, 5}) && same_field(fb.green, {5, 6}) && same_field(fb.blue, {0, 5});
}

// (R >> 3) << 11 | (G >> 2) << 5 | B >> 3, taken straight from the 0x00RRGGBB word.
std::uint16_t rgb565(std::uint32_t rgb) {
    return static_cast<std::uint16_t>((rgb >> 8 & 0xF800) | (rgb >> 5 & 0x07E0) | (rgb >> 3 & 0x001F));
}

// Converts sixteen panel rows at a time: panel row r shows canvas column r, so the sixteen rows
// of a block read one 64-byte line of each canvas row, in order, and the canvas streams through
// the cache once per frame. Two canvas rows land side by side in a panel row (columns c - 1 and
// c), so each pair of pixels is stored as one 32-bit word.
constexpr int block_rows = 16;
using PanelBlock = std::array<std::array<std::uint16_t, canvas_height>, block_rows>;

void convert_block_rgb565(PanelBlock& block, const Canvas& canvas, int first_row) {
    for (int y = 0; y < canvas_height; y += 2) {
        const std::uint32_t* upper = canvas.data() + static_cast<std::size_t>(y) * canvas_width + first_row;
        const std::uint32_t* lower = upper + canvas_width;
        const int col = canvas_height - 2 - y;
        for (int i = 0; i < block_rows; ++i) {
            const std::uint32_t pair = rgb565(lower[i]) | std::uint32_t{rgb565(upper[i])} << 16;
            std::memcpy(&block[i][col], &pair, sizeof pair);
        }
    }
}

static_assert(canvas_height % 2 == 0);
static_assert(canvas_width % block_rows == 0);

// Copies the converted row to the device when it differs from what the device already shows.
// A row that would fall outside the mapped memory (a pan offset or line length the mapping
// does not cover) is never written.
void flush_row(Framebuffer& fb, int row, const void* converted, std::size_t row_bytes) {
    std::uint8_t* shadow = fb.shadow_rows.get() + static_cast<std::size_t>(row) * row_bytes;
    if (!fb.force_full && std::memcmp(shadow, converted, row_bytes) == 0) return;
    const std::int64_t offset = std::int64_t{fb.xoffset} * (fb.bpp / 8) +
                                (std::int64_t{row} + fb.yoffset) * fb.line_length;
    if (offset < 0 || static_cast<std::uint64_t>(offset) + row_bytes > fb.map_len) return;
    std::memcpy(shadow, converted, row_bytes);
    std::memcpy(fb.map + offset, converted, row_bytes);
    ++fb.rows_written;
}

}  // namespace

void fb_present(Framebuffer& fb, const Canvas& canvas, const RotationMap& rotation) {
    if (fb.map == nullptr || !fb.row_buf || !fb.shadow_rows || (fb.bpp != 16 && fb.bpp != 32)) return;
    const auto row_bytes = static_cast<std::size_t>(fb.row_bytes());
    if (is_qualified_panel(fb, rotation)) {
        PanelBlock block;
        for (int first = 0; first < fb.yres; first += block_rows) {
            convert_block_rgb565(block, canvas, first);
            for (int i = 0; i < block_rows; ++i) flush_row(fb, first + i, block[i].data(), row_bytes);
        }
    } else {
        const PixelTables tables{channel_table(fb.red), channel_table(fb.green), channel_table(fb.blue)};
        for (int row = 0; row < fb.yres; ++row) {
            convert_row_generic(fb, canvas, rotation, tables, row);
            flush_row(fb, row, fb.row_buf.get(), row_bytes);
        }
    }
    fb.force_full = 0;
    ++fb.frames_presented;
}

}  // namespace skimbo
