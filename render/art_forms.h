#pragma once
// The forms the art takes besides its plain pixels, built once as the program starts
// (render/assets.cpp): the colours the still parts of a frame are composed with, so that they
// can be composed ahead of time exactly as the renderer would, and the clear border of the
// bird frames.
#include <cstdint>

#include "render/blend.h"

namespace skimbo {

// The veil of the still screens (paused, game over): premultiplied, alpha 77.
inline constexpr std::uint32_t dimming_colour = 0x4D061A20;

// A canvas pixel under the veil.
constexpr std::uint32_t dimmed(std::uint32_t rgb) { return blend_premultiplied(rgb, dimming_colour); }

// The ground strip is blended over these colours: grass for its top rows, earth below.
inline constexpr std::uint32_t grass_base = 0x83B34F;
inline constexpr std::uint32_t earth_base = 0x99744D;
inline constexpr int grass_base_rows = 4;

constexpr std::uint32_t ground_base(int strip_row) { return strip_row < grass_base_rows ? grass_base : earth_base; }

// The bird frames are also stored inside a one-pixel clear border, so that the bilinear
// sampler may read the neighbours of any edge pixel without bounds checks.
inline constexpr int bird_width = 26, bird_height = 20;
inline constexpr int padded_bird_width = bird_width + 2, padded_bird_height = bird_height + 2;
inline constexpr int padded_bird_cells = padded_bird_width * padded_bird_height;

}  // namespace skimbo
