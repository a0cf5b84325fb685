#pragma once
// The logical frame every session draws: 640x172 landscape, row-major, one 0x00RRGGBB
// word per pixel with the top byte always zero.
#include <array>
#include <cstddef>
#include <cstdint>

namespace skimbo {

inline constexpr int canvas_width = 640;
inline constexpr int canvas_height = 172;
inline constexpr std::size_t canvas_pixel_count = 110080;

using Canvas = std::array<std::uint32_t, canvas_pixel_count>;

// Compiled-in art: premultiplied ARGB pixels, row stride = width.
struct Sprite {
    std::uint32_t width;
    std::uint32_t height;
    const std::uint32_t* pixels;
};

}  // namespace skimbo
