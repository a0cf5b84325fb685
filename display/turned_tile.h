#pragma once
// One tile of the turned pass: eight canvas rows by eight canvas columns packed to RGB565 and
// turned in registers, in the device's own instructions on AArch64 and in the compiler's
// generic vectors (with the few x86-64 instructions it does not find by itself) elsewhere.
#include <cstdint>

#include "render/canvas.h"
#include "render/pixel_vectors.h"

namespace skimbo::turned {

using pixel_vectors::u16x8;
using pixel_vectors::u32x4;

// row[i] is the tile's part of panel row (first column + i): eight panel pixels from left to
// right, which are the canvas pixels of that column from the tile's last row up to its first.
inline constexpr int tile_size = 8;
struct TurnedTile {
    u16x8 row[tile_size];
};

}  // namespace skimbo::turned

#ifdef __aarch64__
#include "display/turned_tile_neon.h"
#elif defined(__SSE2__)
#include "display/turned_tile_x86.h"
#else
#error "the turned pass is written for AArch64 and x86-64"
#endif
