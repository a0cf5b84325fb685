#pragma once
// The tile in NEON: no structure loads, since under GCC 12 their register tuples go through
// the stack.
#include <arm_neon.h>

#include "display/turned_tile.h"

namespace skimbo::turned {

// Eight canvas pixels to RGB565, four of `first` in lanes 0-3 and four of `second` in lanes
// 4-7. Taking the even bytes of the 0x00RRGGBB words gives R << 8 | B per pixel, the even
// halves G << 8 | B: shifting right and inserting keeps the top 5 bits of red, puts the top 6
// of green below them and then the top 5 of blue below those, every channel truncated. (Blue
// is shifted up from the green halves, so that the red ones, which the insertions overwrite,
// are read once and need no copy.)
inline uint16x8_t pack_rgb565(uint32x4_t first, uint32x4_t second) {
    const uint16x8_t red_blue = vreinterpretq_u16_u8(vuzp1q_u8(vreinterpretq_u8_u32(first), vreinterpretq_u8_u32(second)));
    const uint16x8_t green_blue = vuzp1q_u16(vreinterpretq_u16_u32(first), vreinterpretq_u16_u32(second));
    return vsriq_n_u16(vsriq_n_u16(red_blue, green_blue, 5), vshlq_n_u16(green_blue, 8), 11);
}

// Packing rows k + 4 and k together leaves a lane's bit 2 telling the canvas row's bit 2 (clear
// for the lower row) and its two low bits the column's; two rounds of transposition, of 16-bit
// and then of 32-bit lanes, exchange those two bits with the row's bits 0 and 1, which gives
// each vector one column with the rows from the last up.
[[gnu::always_inline]] inline TurnedTile turn_tile(const std::uint32_t* at) {
    uint16x8_t packed[4][2];
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k)
#pragma GCC unroll 2
        for (int half = 0; half < 2; ++half) {
            const std::uint32_t* upper = at + k * canvas_width + 4 * half;
            packed[k][half] = pack_rgb565(vld1q_u32(upper + 4 * canvas_width), vld1q_u32(upper));
        }
    TurnedTile tile;
#pragma GCC unroll 2
    for (int half = 0; half < 2; ++half)
#pragma GCC unroll 2
        for (int pair = 0; pair < 2; ++pair) {
            // k = 2 * pair + 1 before k = 2 * pair: the even columns, then the odd ones.
            const uint16x8_t even = vtrn1q_u16(packed[2 * pair + 1][half], packed[2 * pair][half]);
            const uint16x8_t odd = vtrn2q_u16(packed[2 * pair + 1][half], packed[2 * pair][half]);
            packed[2 * pair][half] = even;
            packed[2 * pair + 1][half] = odd;
        }
#pragma GCC unroll 2
    for (int half = 0; half < 2; ++half)
#pragma GCC unroll 2
        for (int odd = 0; odd < 2; ++odd) {
            // k = 2, 3 before k = 0, 1: columns 0 and 1 of the half (even, odd), then 2 and 3.
            const uint32x4_t high = vreinterpretq_u32_u16(packed[2 + odd][half]);
            const uint32x4_t low = vreinterpretq_u32_u16(packed[odd][half]);
            tile.row[4 * half + odd] = reinterpret_cast<u16x8>(vtrn1q_u32(high, low));
            tile.row[4 * half + 2 + odd] = reinterpret_cast<u16x8>(vtrn2q_u32(high, low));
        }
    return tile;
}

// Bit i set where differ[i] has a bit set: pairwise maxima fold the eight vectors into one
// whose lane i is the largest of differ[i].
inline std::uint32_t nonzero_rows(const u16x8* differ) {
    uint16x8_t fold[4];
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i)
        fold[i] = vpmaxq_u16(reinterpret_cast<uint16x8_t>(differ[2 * i]), reinterpret_cast<uint16x8_t>(differ[2 * i + 1]));
    const uint16x8_t all = vpmaxq_u16(vpmaxq_u16(fold[0], fold[1]), vpmaxq_u16(fold[2], fold[3]));
    const uint8x8_t set = vmovn_u16(vtstq_u16(all, all));
    const uint8x8_t bits = {1, 2, 4, 8, 16, 32, 64, 128};
    return vaddv_u8(vand_u8(set, bits));
}

}  // namespace skimbo::turned
