#include "display/present.h"

#include <algorithm>
#include <array>
#include <bit>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "display/turned_strip.h"

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
// column r from the bottom row up. Worth its own pass: it runs for every pixel of every frame.
bool is_qualified_panel(const Framebuffer& fb, const RotationMap& rotation) {
    return fb.bpp == 16 && fb.xres == canvas_height && fb.yres == canvas_width && rotation.degrees == 270 &&
           rotation.physical_width == canvas_height && rotation.physical_height == canvas_width &&
           same_field(fb.red, {11, 5}) && same_field(fb.green, {5, 6}) && same_field(fb.blue, {0, 5});
}

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

// Every panel row lies inside the mapping, so the turned pass may bring the shadow of every
// row up to date: each one it finds changed is written.
bool every_row_mapped(const Framebuffer& fb) {
    if (fb.xoffset < 0 || fb.yoffset < 0) return false;
    const std::uint64_t last_row = std::uint64_t(fb.yoffset) + std::uint64_t(fb.yres) - 1;
    return std::uint64_t(fb.xoffset) * 2 + last_row * std::uint64_t(fb.line_length) + std::uint64_t(fb.row_bytes()) <=
           fb.map_len;
}

// Canvas pixels are compared in groups as wide as a strip of panel rows.
constexpr std::size_t group_words = strip_rows;
using StripSet = std::bitset<strip_count>;

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

// The strips of panel rows (canvas columns) that show a canvas pixel different from the last
// presented one; the changed canvas rows are brought up to date on the way.
StripSet changed_strips(const Canvas& canvas, Canvas& last) {
    static_assert(canvas_width % group_words == 0);
    StripSet changed;
    const std::uint32_t* now = canvas.data();
    std::uint32_t* before = last.data();
    for (std::size_t at = first_difference(now, before, 0); at < canvas_pixel_count;) {
        const std::size_t row = at / canvas_width * canvas_width, next_row = row + canvas_width;
        std::size_t end = next_row;
        while (!group_differs(now + end - group_words, before + end - group_words)) end -= group_words;
        for (std::size_t group = at; group < end; group += group_words) changed.set((group - row) / group_words);
        std::memcpy(before + row, now + row, canvas_width * sizeof *now);
        at = first_difference(now, before, next_row);
    }
    return changed;
}

// Copies the rows of a strip set in `rows` from the shadow to the device, a whole strip at
// once where the device's rows lie back to back like the shadow's.
void show_rows(Framebuffer& fb, int strip, std::uint32_t rows) {
    const int first_row = strip * strip_rows;
    const std::uint8_t* shadow = fb.shadow_rows.get() + static_cast<std::size_t>(first_row) * panel_row_bytes;
    const auto line = static_cast<std::size_t>(fb.line_length);
    std::uint8_t* device = fb.map + static_cast<std::size_t>(fb.xoffset) * 2 +
                           (static_cast<std::size_t>(first_row) + static_cast<std::size_t>(fb.yoffset)) * line;
    constexpr std::uint32_t whole_strip = (1u << strip_rows) - 1;
    if (rows == whole_strip && line == panel_row_bytes) {
        copy_rows(device, shadow, strip_rows * panel_row_bytes);
    } else {
        for (int i = 0; i < strip_rows; ++i)
            if (rows >> i & 1) copy_rows(device + i * line, shadow + i * panel_row_bytes, panel_row_bytes);
    }
    fb.rows_written += static_cast<std::uint64_t>(std::popcount(rows));
}

// The strips of the columns first to last.
StripSet strips_of(ColumnSpan columns) {
    StripSet strips;
    const int first = std::max(columns.first, 0), last = std::min(columns.last, canvas_width - 1);
    for (int strip = first / strip_rows; first <= last && strip <= last / strip_rows; ++strip)
        strips.set(static_cast<std::size_t>(strip));
    return strips;
}

// Every strip is passed over, or those of the columns the renderer says changed; or, after
// two frames in a row in which few strips changed, those in which the canvas differs from the
// last one's, kept for the purpose. Keeping a canvas costs a copy and comparing one about half
// a pass: worth it while few strips change, not in play, where every strip changes in nearly
// every frame (in a frame of one step of the game the world may not move a whole pixel, and
// only the bird's strips change).
void present_turned(Framebuffer& fb, const Canvas& canvas, ColumnSpan columns) {
    const bool current = fb.shadow_current && !fb.force_full;
    const bool narrowed = current && (columns.first > 0 || columns.last < canvas_width - 1);
    const bool compare = current && !narrowed && fb.last_canvas && fb.last_canvas_shown;
    const StripSet strips = compare ? changed_strips(canvas, *fb.last_canvas) : strips_of(narrowed ? columns : ColumnSpan{});
    int changed = 0;
    for (int strip = 0; strips.any() && strip < strip_count; ++strip) {
        if (!strips[static_cast<std::size_t>(strip)]) continue;
        const std::uint32_t rows = turn_strip(canvas, strip, fb.shadow_rows.get());
        changed += rows != 0;
        if (rows != 0 || fb.force_full) show_rows(fb, strip, fb.force_full ? (1u << strip_rows) - 1 : rows);
    }
    const bool quiet = !narrowed && changed <= strip_count / 2;
    fb.quiet_frames = quiet ? std::min(fb.quiet_frames + 1, 2u) : 0;
    const bool keep = fb.last_canvas && fb.quiet_frames == 2;
    if (keep && !compare) *fb.last_canvas = canvas;
    fb.last_canvas_shown = keep;
    fb.shadow_current = true;
}

bool ready_to_present(const Framebuffer& fb) {
    return fb.map != nullptr && fb.row_buf && fb.shadow_rows && (fb.bpp == 16 || fb.bpp == 32);
}

}  // namespace

void fb_present(Framebuffer& fb, const Canvas& canvas, const RotationMap& rotation, ColumnSpan changed) {
    if (!ready_to_present(fb)) return;
    if (is_qualified_panel(fb, rotation) && every_row_mapped(fb)) {
        present_turned(fb, canvas, changed);
    } else {
        const auto row_bytes = static_cast<std::size_t>(fb.row_bytes());
        const PixelTables tables{channel_table(fb.red), channel_table(fb.green), channel_table(fb.blue)};
        for (int row = 0; row < fb.yres; ++row) {
            convert_row_generic(fb, canvas, rotation, tables, row);
            flush_row(fb, row, fb.row_buf.get(), row_bytes);
        }
        fb.last_canvas_shown = fb.shadow_current = false;
    }
    fb.force_full = 0;
    ++fb.frames_presented;
}

// Presenting a canvas again writes nothing unless a full frame is due: every row it can write
// already holds that canvas's bytes.
void fb_present_unchanged(Framebuffer& fb, const Canvas& canvas, const RotationMap& rotation) {
    if (fb.force_full || !ready_to_present(fb)) return fb_present(fb, canvas, rotation);
    ++fb.frames_presented;
}

}  // namespace skimbo
