#include "render/blit.h"

#include <algorithm>
#include <cstdint>

#include "render/blend.h"
#include "render/spans.h"

namespace skimbo {
namespace {

// The part of a sprite placed at (x, y) that lands inside rows [top, bottom) of the
// canvas. 64-bit bounds, so that a far-off position cannot overflow.
struct ClipRect {
    std::int64_t col0, col1, row0, row1;
    bool empty() const { return col0 >= col1 || row0 >= row1; }
};

ClipRect clip(const Sprite& sprite, int x, int y, int top, int bottom) {
    std::int64_t row_top = std::max<std::int64_t>(top, 0);
    std::int64_t row_bottom = std::min<std::int64_t>(bottom, canvas_height);
    return ClipRect{std::max<std::int64_t>(x, 0), std::min<std::int64_t>(std::int64_t{x} + sprite.width, canvas_width),
                    std::max<std::int64_t>(y, row_top), std::min<std::int64_t>(std::int64_t{y} + sprite.height, row_bottom)};
}

// Calls visit(dst, first source column, count, opaque) for the part of every run of a sprite
// row that lies in the clipped columns; dst points at the canvas pixel of that first column.
template <typename Visit>
void visit_runs(const SpriteRow& row, std::uint32_t* dst_row, std::int64_t x, const ClipRect& r, Visit visit) {
    for (std::uint32_t i = 0; i < row.count; ++i) {
        const SpriteRun& run = row.runs[i];
        std::int64_t first = std::max<std::int64_t>(x + run.start, r.col0);
        std::int64_t end = std::min<std::int64_t>(x + run.start + run.length, r.col1);
        if (first < end) visit(dst_row + first, first - x, static_cast<std::size_t>(end - first), run.opaque);
    }
}

}  // namespace

void blit_sprite(std::uint32_t* canvas, const Sprite& sprite, int x, int y, int top, int bottom) {
    ClipRect r = clip(sprite, x, y, top, bottom);
    if (r.empty()) return;
    for (std::int64_t row = r.row0; row < r.row1; ++row) {
        std::uint32_t* dst_row = canvas + row * canvas_width;
        const std::uint32_t* src = sprite.pixels + (row - y) * sprite.width;
        if (!sprite.rows) {
            for (std::int64_t col = r.col0; col < r.col1; ++col) blend_pixel(dst_row[col], src[col - x]);
            continue;
        }
        visit_runs(sprite.rows[row - y], dst_row, x, r,
                   [src](std::uint32_t* dst, std::int64_t from, std::size_t n, bool opaque) {
                       if (opaque) copy_opaque_span(dst, src + from, n);
                       else blend_span(dst, src + from, n);
                   });
    }
}

void blit_tinted(std::uint32_t* canvas, const Sprite& sprite, int x, int y, std::uint32_t colour) {
    ClipRect r = clip(sprite, x, y, 0, canvas_height);
    if (r.empty()) return;
    for (std::int64_t row = r.row0; row < r.row1; ++row) {
        std::uint32_t* dst_row = canvas + row * canvas_width;
        const std::uint32_t* src = sprite.pixels + (row - y) * sprite.width;
        if (!sprite.rows) {
            for (std::int64_t col = r.col0; col < r.col1; ++col) {
                std::uint32_t a = src[col - x] >> 24;
                if (a != 0) blend_pixel(dst_row[col], premultiply(colour, a));  // glyphs are mostly clear
            }
            continue;
        }
        visit_runs(sprite.rows[row - y], dst_row, x, r,
                   [src, colour](std::uint32_t* dst, std::int64_t from, std::size_t n, bool opaque) {
                       if (opaque) std::fill_n(dst, n, colour & 0x00FFFFFFu);
                       else tint_span(dst, src + from, n, colour);
                   });
    }
}

}  // namespace skimbo
