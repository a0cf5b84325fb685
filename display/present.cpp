#include "display/present.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

using u32x4 = std::uint32_t __attribute__((vector_size(16)));
using u64x2 = std::uint64_t __attribute__((vector_size(16)));

u32x4 load4(const std::uint32_t* p) {
    u32x4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// (R >> 3) << 11 | (G >> 2) << 5 | B >> 3 of four 0x00RRGGBB words, as bits 5-20 of each lane
// (shifted into either half by the callers). On x86-64 one multiply-add of 16-bit lanes puts
// red and blue in place at once, which the compiler does not find by itself.
u32x4 rgb565_bits_5_to_20(u32x4 p) {
#ifdef __SSE2__
    const auto red_blue = reinterpret_cast<__m128i>(p & 0x00F800F8u);
    const u32x4 placed = reinterpret_cast<u32x4>(_mm_madd_epi16(red_blue, _mm_set1_epi32(0x20000004)));
    return placed | (p & 0x0000FC00u);
#else
    return (p >> 3 & 0x001F0000u) | (p & 0x0000FC00u) | (p << 2 & 0x000003E0u);
#endif
}

u32x4 rgb565_low(u32x4 p) { return rgb565_bits_5_to_20(p) >> 5; }
u32x4 rgb565_high(u32x4 p) { return rgb565_bits_5_to_20(p) << 11; }

// Lane j of the result holds lane j of a, b, c and d, in that order.
void transpose(u32x4& a, u32x4& b, u32x4& c, u32x4& d) {
    const u32x4 ab_low = __builtin_shufflevector(a, b, 0, 4, 1, 5);
    const u32x4 ab_high = __builtin_shufflevector(a, b, 2, 6, 3, 7);
    const u32x4 cd_low = __builtin_shufflevector(c, d, 0, 4, 1, 5);
    const u32x4 cd_high = __builtin_shufflevector(c, d, 2, 6, 3, 7);
    auto pairs = [](u32x4 v) { return reinterpret_cast<u64x2>(v); };
    a = reinterpret_cast<u32x4>(__builtin_shufflevector(pairs(ab_low), pairs(cd_low), 0, 2));
    b = reinterpret_cast<u32x4>(__builtin_shufflevector(pairs(ab_low), pairs(cd_low), 1, 3));
    c = reinterpret_cast<u32x4>(__builtin_shufflevector(pairs(ab_high), pairs(cd_high), 0, 2));
    d = reinterpret_cast<u32x4>(__builtin_shufflevector(pairs(ab_high), pairs(cd_high), 1, 3));
}

// Sixteen panel rows at a time: panel row r shows canvas column r from the bottom row up, so
// the rows of a block read one 64-byte line of each canvas row and the canvas streams through
// the cache once per frame. Canvas rows y and y + 1 land side by side (panel columns 170 - y and
// 171 - y), one 32-bit word; four such words from eight canvas rows, turned by a 4 x 4
// transpose, are eight panel pixels of each of four panel rows. The eight-row groups start every
// eight rows, and the last one at row 164 so that it ends with the canvas, covering four rows
// twice with the same pixels.
constexpr int block_rows = 16;
using PanelRow = std::array<std::uint16_t, canvas_height>;
using PanelBlock = std::array<PanelRow, block_rows>;
static_assert(sizeof(PanelBlock) == block_rows * canvas_height * 2, "panel rows lie back to back");

void convert_block_rgb565(PanelRow* block, const Canvas& canvas, int first_row) {
    for (int group = 0; group < canvas_height; group += 8) {
        const int y0 = std::min(group, canvas_height - 8);
        for (int c = 0; c < block_rows; c += 4) {
            u32x4 words[4];
            for (int k = 0; k < 4; ++k) {
                const std::size_t at = static_cast<std::size_t>(y0 + 2 * k) * canvas_width + first_row + c;
                const u32x4 upper = load4(canvas.data() + at), lower = load4(canvas.data() + at + canvas_width);
                words[3 - k] = rgb565_low(lower) | rgb565_high(upper);
            }
            transpose(words[0], words[1], words[2], words[3]);
            for (int j = 0; j < 4; ++j) std::memcpy(&block[c + j][canvas_height - 8 - y0], &words[j], sizeof words[j]);
        }
    }
}

static_assert(canvas_height % 4 == 0);
static_assert(canvas_width % block_rows == 0);
constexpr int block_count = canvas_width / block_rows;

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

// Every panel row lies inside the mapping, so every row's shadow always follows what it was
// last converted to; only then may an unchanged canvas row stand for an unchanged panel row.
bool every_row_mapped(const Framebuffer& fb) {
    if (fb.xoffset < 0 || fb.yoffset < 0) return false;
    const std::uint64_t last_row = std::uint64_t(fb.yoffset) + std::uint64_t(fb.yres) - 1;
    return std::uint64_t(fb.xoffset) * 2 + last_row * std::uint64_t(fb.line_length) + std::uint64_t(fb.row_bytes()) <=
           fb.map_len;
}

// Canvas pixels are compared in groups of sixteen, one block of panel rows wide.
constexpr std::size_t group_words = block_rows;

bool group_differs(const std::uint32_t* a, const std::uint32_t* b) {
    std::uint32_t differ = 0;
    for (std::size_t i = 0; i < group_words; ++i) differ |= a[i] ^ b[i];
    return differ != 0;
}

// The first group from word `from` on in which a and b differ, as a word index; canvas size if
// none. Large spans go to memcmp first, the fastest way through equal memory.
std::size_t first_difference(const std::uint32_t* a, const std::uint32_t* b, std::size_t from) {
    constexpr std::size_t span = 64 * canvas_width;
    for (std::size_t at = from; at < canvas_pixel_count; at += span) {
        const std::size_t words = std::min(span, canvas_pixel_count - at);
        if (std::memcmp(a + at, b + at, words * sizeof *a) == 0) continue;
        while (!group_differs(a + at, b + at)) at += group_words;
        return at;
    }
    return canvas_pixel_count;
}

// The blocks of panel rows (canvas columns) that show a canvas pixel different from the last
// presented one, as bits; the changed canvas rows are brought up to date on the way.
std::uint64_t changed_blocks(const Canvas& canvas, Canvas& last) {
    static_assert(canvas_width % group_words == 0);
    std::uint64_t changed = 0;
    const std::uint32_t* now = canvas.data();
    std::uint32_t* before = last.data();
    for (std::size_t at = first_difference(now, before, 0); at < canvas_pixel_count;) {
        const std::size_t row = at / canvas_width * canvas_width, next_row = row + canvas_width;
        std::size_t end = next_row;
        while (!group_differs(now + end - group_words, before + end - group_words)) end -= group_words;
        for (std::size_t group = at; group < end; group += group_words) changed |= 1ull << (group - row) / group_words;
        std::memcpy(before + row, now + row, canvas_width * sizeof *now);
        at = first_difference(now, before, next_row);
    }
    return changed;
}

// A forced frame converts straight into the shadow and copies whole blocks of rows to the
// device; otherwise each converted row is compared with its shadow first.
void present_block(Framebuffer& fb, const Canvas& canvas, int block, std::size_t row_bytes, bool bulk) {
    const int first_row = block * block_rows;
    if (bulk) {
        std::uint8_t* shadow = fb.shadow_rows.get() + static_cast<std::size_t>(first_row) * row_bytes;
        convert_block_rgb565(reinterpret_cast<PanelRow*>(shadow), canvas, first_row);
        std::memcpy(fb.map + static_cast<std::size_t>(first_row) * row_bytes, shadow, block_rows * row_bytes);
        fb.rows_written += block_rows;
        return;
    }
    PanelBlock converted;
    convert_block_rgb565(converted.data(), canvas, first_row);
    for (int i = 0; i < block_rows; ++i) flush_row(fb, first_row + i, converted[i].data(), row_bytes);
}

// Device rows back to back from the start of the mapping, as on the qualified panel.
bool rows_contiguous(const Framebuffer& fb) {
    return fb.xoffset == 0 && fb.yoffset == 0 && fb.line_length == fb.row_bytes() &&
           std::uint64_t(fb.row_bytes()) * std::uint64_t(fb.yres) <= fb.map_len;
}

void present_qualified(Framebuffer& fb, const Canvas& canvas, std::size_t row_bytes) {
    const bool mapped = every_row_mapped(fb);
    const bool detect = fb.last_canvas && fb.last_canvas_shown && !fb.force_full && mapped;
    const std::uint64_t changed = detect ? changed_blocks(canvas, *fb.last_canvas) : ~0ull;
    const bool bulk = fb.force_full && rows_contiguous(fb);
    for (int b = 0; b < block_count; ++b)
        if (changed >> b & 1) present_block(fb, canvas, b, row_bytes, bulk);
    // Without detection every block was converted; the canvas is kept in one straight copy
    // afterwards, which costs less than storing it a column block at a time on the way.
    if (!detect && fb.last_canvas) *fb.last_canvas = canvas;
    if (fb.last_canvas) fb.last_canvas_shown = mapped;
}

}  // namespace

void fb_present(Framebuffer& fb, const Canvas& canvas, const RotationMap& rotation) {
    if (fb.map == nullptr || !fb.row_buf || !fb.shadow_rows || (fb.bpp != 16 && fb.bpp != 32)) return;
    const auto row_bytes = static_cast<std::size_t>(fb.row_bytes());
    if (is_qualified_panel(fb, rotation)) {
        present_qualified(fb, canvas, row_bytes);
    } else {
        const PixelTables tables{channel_table(fb.red), channel_table(fb.green), channel_table(fb.blue)};
        for (int row = 0; row < fb.yres; ++row) {
            convert_row_generic(fb, canvas, rotation, tables, row);
            flush_row(fb, row, fb.row_buf.get(), row_bytes);
        }
        fb.last_canvas_shown = false;
    }
    fb.force_full = 0;
    ++fb.frames_presented;
}

void fb_present_unchanged(Framebuffer& fb, const Canvas& canvas, const RotationMap& rotation) {
    if (fb.force_full || !fb.last_canvas_shown) return fb_present(fb, canvas, rotation);
    ++fb.frames_presented;
}

}  // namespace skimbo
