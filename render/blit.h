#pragma once
// Sprite blits into the 640x172 canvas (a buffer of canvas_pixel_count words).
#include <cstdint>

#include "render/canvas.h"

namespace skimbo {

// Blends the sprite with its top-left corner at (x, y), only rows in [top, bottom)
// and only what lies on the canvas.
void blit_sprite(std::uint32_t* canvas, const Sprite& sprite, int x, int y, int top, int bottom);

// Uses the sprite's alpha as a mask filled with the plain colour 0x00RRGGBB.
void blit_tinted(std::uint32_t* canvas, const Sprite& sprite, int x, int y, std::uint32_t colour);

}  // namespace skimbo
