#pragma once
// Straightforward versions of the drawing rules, written for the tests to compare the
// real primitives against: every pixel through the per-channel formula, no shortcuts.
#include <cstdint>
#include <vector>

#include "render/canvas.h"

namespace skimbo::testing {

inline std::uint32_t reference_blend(std::uint32_t dst, std::uint32_t src) {
    std::uint32_t a = src >> 24, out = 0;
    if (a == 0) return dst;
    if (a == 255) return src & 0x00FFFFFFu;
    for (int shift = 0; shift <= 16; shift += 8) {
        std::uint32_t d = dst >> shift & 255, s = src >> shift & 255;
        out |= ((d * (255 - a) + 127) / 255 + s) << shift;
    }
    return out;
}

inline std::uint32_t reference_premultiply(std::uint32_t rgb, std::uint32_t a) {
    auto ch = [&](int shift) { return ((rgb >> shift & 255) * a + 127) / 255; };
    return a << 24 | ch(16) << 16 | ch(8) << 8 | ch(0);
}

inline void reference_blit(std::vector<std::uint32_t>& canvas, const Sprite& s, int x, int y, int top, int bottom) {
    for (int j = 0; j < static_cast<int>(s.height); ++j)
        for (int i = 0; i < static_cast<int>(s.width); ++i) {
            int col = x + i, row = y + j;
            if (col < 0 || col >= canvas_width || row < top || row >= bottom || row < 0 || row >= canvas_height) continue;
            std::uint32_t& d = canvas[row * canvas_width + col];
            d = reference_blend(d, s.pixels[j * s.width + i]);
        }
}

inline void reference_tinted(std::vector<std::uint32_t>& canvas, const Sprite& s, int x, int y, std::uint32_t colour) {
    for (int j = 0; j < static_cast<int>(s.height); ++j)
        for (int i = 0; i < static_cast<int>(s.width); ++i) {
            int col = x + i, row = y + j;
            if (col < 0 || col >= canvas_width || row < 0 || row >= canvas_height) continue;
            std::uint32_t& d = canvas[row * canvas_width + col];
            d = reference_blend(d, reference_premultiply(colour, s.pixels[j * s.width + i] >> 24));
        }
}

// A canvas of varied, deterministic content, so that blends show.
inline std::vector<std::uint32_t> patterned_canvas(std::uint32_t seed = 1) {
    std::vector<std::uint32_t> c(canvas_pixel_count);
    for (std::uint32_t& p : c) {
        seed = seed * 1664525u + 1013904223u;
        p = seed >> 8;
    }
    return c;
}

// 64-bit FNV-1a over the canvas words, little-endian bytes.
inline std::uint64_t fnv1a(const std::vector<std::uint32_t>& canvas) {
    std::uint64_t h = 1469598103934665603ull;
    for (std::uint32_t p : canvas)
        for (int b = 0; b < 4; ++b) {
            h ^= p >> (8 * b) & 255;
            h *= 1099511628211ull;
        }
    return h;
}

}  // namespace skimbo::testing
