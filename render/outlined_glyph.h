#pragma once
// A glyph in the outlined style, composed once: the score is drawn every played frame, and
// blending the glyph five times over the canvas costs more than the rest of the interface.
#include <cstdint>

namespace skimbo {

// The fill of outlined text.
inline constexpr std::uint32_t outline_fill_colour = 0xFFFFFF;

// Draws the glyph sprite outlined with its top-left corner at (x, y): the same pixels as the
// glyph blended at (x - 1, y), (x + 1, y), (x, y - 1) and (x, y + 2), in that order, then
// filled with outline_fill_colour at its alpha at (x, y). Only what lies on the canvas is drawn.
void draw_outlined_glyph(std::uint32_t* canvas, int sprite, int x, int y);

}  // namespace skimbo
