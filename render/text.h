#pragma once
// Text and numbers from the compiled-in fonts, centred on a column.
#include <cstdint>

namespace skimbo {

// Plain: dark glyphs over a light copy one row lower. Outlined: white glyphs in a
// dark outline that is one pixel heavier below.
enum class TextStyle { Plain, Outlined };

// Draws upper-case text centred on cx with its top row at y; size is 10, 16 or 26
// (any other size draws nothing). Bytes without a glyph still advance the pen.
void draw_text(std::uint32_t* canvas, const char* text, int cx, int y, int size, TextStyle style);

// Draws value clamped to 0..999999 in decimal, like draw_text.
void draw_number(std::uint32_t* canvas, int value, int cx, int y, int size, TextStyle style);

}  // namespace skimbo
