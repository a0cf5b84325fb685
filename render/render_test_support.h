#pragma once
// Straightforward versions of the drawing rules for tests to compare the real primitives with:
// every pixel through the per-channel formula, no shortcuts.
#include <cstdint>
#include <vector>

#include "render/canvas.h"

namespace skimbo::testing {

// Source-over of a premultiplied source: d * (255 - a) / 255 rounded to nearest, plus s.
inline std::uint32_t reference_blend(std::uint32_t dst, std::uint32_t src) {
    std::uint32_t a = src >> 24, out = 0;
    for (int shift = 0; shift <= 16; shift += 8)
        out |= (((dst >> shift & 255) * (255 - a) + 127) / 255 + (src >> shift & 255)) << shift;
    return out;
}

inline std::uint32_t reference_premultiply(std::uint32_t rgb, std::uint32_t a) {
    auto channel = [&](int shift) { return ((rgb >> shift & 255) * a + 127) / 255 << shift; };
    return a << 24 | channel(16) | channel(8) | channel(0);
}

// The sprite blended pixel by pixel where it lands inside rows [top, bottom) of the canvas;
// with tint > 0xFFFFFF, its own colours, otherwise that colour at the sprite's alpha.
inline void reference_blit(std::vector<std::uint32_t>& canvas, const Sprite& s, int x, int y, int top, int bottom,
                           std::uint32_t tint = 0xFFFFFFFF) {
    for (int j = 0; j < static_cast<int>(s.height); ++j)
        for (int i = 0; i < static_cast<int>(s.width); ++i) {
            const long col = long{x} + i, row = long{y} + j;
            if (col < 0 || col >= canvas_width || row < top || row >= bottom || row < 0 || row >= canvas_height) continue;
            const std::uint32_t p = s.pixels[j * s.width + i];
            std::uint32_t& d = canvas[row * canvas_width + col];
            d = reference_blend(d, tint > 0xFFFFFF ? p : reference_premultiply(tint, p >> 24));
        }
}

// A canvas of varied, deterministic content, so that blends show.
inline std::vector<std::uint32_t> patterned_canvas(std::uint32_t seed = 1) {
    std::vector<std::uint32_t> c(canvas_pixel_count);
    for (std::uint32_t& p : c) p = (seed = seed * 1664525u + 1013904223u) >> 8;
    return c;
}

// 64-bit FNV-1a over the canvas words, little-endian bytes.
inline std::uint64_t fnv1a(const std::vector<std::uint32_t>& canvas) {
    std::uint64_t h = 1469598103934665603ull;
    for (std::uint32_t p : canvas)
        for (int b = 0; b < 4; ++b) h = (h ^ (p >> (8 * b) & 255)) * 1099511628211ull;
    return h;
}

}  // namespace skimbo::testing
