#include "render/blit.h"

#include <algorithm>
#include <cstdint>

#include "render/blend.h"

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

}  // namespace

void blit_sprite(std::uint32_t* canvas, const Sprite& sprite, int x, int y, int top, int bottom) {
    ClipRect r = clip(sprite, x, y, top, bottom);
    if (r.empty()) return;
    for (std::int64_t row = r.row0; row < r.row1; ++row) {
        std::uint32_t* dst = canvas + row * canvas_width + r.col0;
        const std::uint32_t* src = sprite.pixels + (row - y) * sprite.width + (r.col0 - x);
        for (std::int64_t i = 0; i < r.col1 - r.col0; ++i) blend_pixel(dst[i], src[i]);
    }
}

void blit_tinted(std::uint32_t* canvas, const Sprite& sprite, int x, int y, std::uint32_t colour) {
    ClipRect r = clip(sprite, x, y, 0, canvas_height);
    if (r.empty()) return;
    for (std::int64_t row = r.row0; row < r.row1; ++row) {
        std::uint32_t* dst = canvas + row * canvas_width + r.col0;
        const std::uint32_t* src = sprite.pixels + (row - y) * sprite.width + (r.col0 - x);
        for (std::int64_t i = 0; i < r.col1 - r.col0; ++i) {
            std::uint32_t a = src[i] >> 24;
            if (a != 0) blend_pixel(dst[i], premultiply(colour, a));  // glyphs are mostly clear
        }
    }
}

}  // namespace skimbo
