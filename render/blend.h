#pragma once
// The exact pixel arithmetic every drawing primitive is built from. Sources are
// premultiplied ARGB words; the canvas holds 0x00RRGGBB words.
#include <cstdint>

namespace skimbo {

// floor((a * b + 127) / 255) for a, b <= 255, without a division:
// t = a*b + 0x80; ((t >> 8) + t) >> 8 is exact over the whole 8-bit domain.
constexpr std::uint32_t mul_div255(std::uint32_t a, std::uint32_t b) {
    std::uint32_t t = a * b + 0x80;
    return ((t >> 8) + t) >> 8;
}

// The same product for the red and blue channels of a word at once (bits 16-23 and
// 0-7); every lane stays below 2^16, so the lanes never carry into each other.
constexpr std::uint32_t mul_div255_lanes(std::uint32_t lanes, std::uint32_t b) {
    std::uint32_t t = lanes * b + 0x00800080u;
    return (((t >> 8) & 0x00FF00FFu) + t) >> 8 & 0x00FF00FFu;
}

// Scales the three colour channels of dst by (255 - a) / 255, rounded as above.
constexpr std::uint32_t scale_rgb(std::uint32_t dst, std::uint32_t inverse_alpha) {
    std::uint32_t rb = mul_div255_lanes(dst & 0x00FF00FFu, inverse_alpha);
    std::uint32_t g = mul_div255_lanes(dst >> 8 & 0xFFu, inverse_alpha);
    return rb | g << 8;
}

// Source-over with a premultiplied source; the sums never exceed 255 per channel.
inline void blend_pixel(std::uint32_t& dst, std::uint32_t src) {
    std::uint32_t a = src >> 24;
    if (a == 0) return;
    if (a == 255) {
        dst = src & 0x00FFFFFFu;
        return;
    }
    dst = scale_rgb(dst, 255 - a) + (src & 0x00FFFFFFu);
}

// blend_pixel's result for any premultiplied source (alpha 0 implies zero channels),
// computed without branches so that loops over whole spans of art vectorise.
constexpr std::uint32_t blend_premultiplied(std::uint32_t dst, std::uint32_t src) {
    return scale_rgb(dst, 255 - (src >> 24)) + (src & 0x00FFFFFFu);
}

// A plain 0x00RRGGBB colour at coverage a, as a premultiplied word.
constexpr std::uint32_t premultiply(std::uint32_t rgb, std::uint32_t a) {
    return a << 24 | mul_div255_lanes(rgb & 0x00FF00FFu, a) | mul_div255_lanes(rgb >> 8 & 0xFFu, a) << 8;
}

}  // namespace skimbo
