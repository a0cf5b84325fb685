#pragma once
// Whole runs of canvas pixels at a time, in the compiler's portable vector types: four pixels
// per step, each channel widened to 16 bits for the exact divide by 255 of render/blend.h.
// Every function gives, pixel for pixel, what its one-pixel rule in render/blend.h gives.
#include <cstddef>
#include <cstdint>

namespace skimbo {

// dst[i] = src[i] with the alpha byte cleared: opaque art copied onto the canvas.
void copy_opaque_span(std::uint32_t* dst, const std::uint32_t* src, std::size_t n);

// dst[i] = blend_premultiplied(dst[i], src[i]) with the top byte of the result clear: any
// premultiplied source (alpha 0 leaves the pixel, 255 replaces it).
void blend_span(std::uint32_t* dst, const std::uint32_t* src, std::size_t n);

// dst[i] = colour: a backdrop row of one colour.
void fill_span(std::uint32_t* dst, std::size_t n, std::uint32_t colour);

// The x86-64 baseline has 16-byte vectors; where the processor has 32-byte ones (asked once),
// blend_span and fill_span take eight pixels a step, lane for lane the same arithmetic. The
// _by forms choose the way, so that tests check both.
bool has_wide_spans();
void blend_span_by(std::uint32_t* dst, const std::uint32_t* src, std::size_t n, bool wide);
void fill_span_by(std::uint32_t* dst, std::size_t n, std::uint32_t colour, bool wide);

// dst[i] = blend_premultiplied(dst[i], premultiply(colour, src[i] >> 24)): the alpha of the
// source as a mask filled with the plain colour 0x00RRGGBB.
void tint_span(std::uint32_t* dst, const std::uint32_t* src, std::size_t n, std::uint32_t colour);

// dst[i] = dimmed(dst[i]): the veil of the still screens.
void dim_span(std::uint32_t* dst, std::size_t n);

// n words taken from a row of art that repeats every period words, starting at its column
// phase (0 <= phase < period) and wrapping around as often as needed.
void copy_repeating(std::uint32_t* dst, const std::uint32_t* row, int period, int phase, int n);

}  // namespace skimbo
