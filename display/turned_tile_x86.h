#pragma once
// The tile in 16-byte generic vectors, and in 32-byte ones where the processor has AVX2.
#include <immintrin.h>

#include <cstring>

#include "display/turned_tile.h"

namespace skimbo::turned {

// (R >> 3) << 11 | (G >> 2) << 5 | B >> 3 of four 0x00RRGGBB words, as bits 5-20 of each lane:
// one multiply-add of 16-bit lanes puts red and blue in place at once.
inline u32x4 rgb565_bits_5_to_20(u32x4 p) {
    const auto red_blue = reinterpret_cast<__m128i>(p & 0x00F800F8u);
    const u32x4 placed = reinterpret_cast<u32x4>(_mm_madd_epi16(red_blue, _mm_set1_epi32(0x20000004)));
    return placed | (p & 0x0000FC00u);
}

// Lane j of the result holds lane j of a, b, c and d, in that order.
inline void transpose(u32x4& a, u32x4& b, u32x4& c, u32x4& d) {
    using u64x2 = std::uint64_t __attribute__((vector_size(16)));
    const u32x4 ab_low = __builtin_shufflevector(a, b, 0, 4, 1, 5);
    const u32x4 ab_high = __builtin_shufflevector(a, b, 2, 6, 3, 7);
    const u32x4 cd_low = __builtin_shufflevector(c, d, 0, 4, 1, 5);
    const u32x4 cd_high = __builtin_shufflevector(c, d, 2, 6, 3, 7);
    auto pairs = [](u32x4 v) { return reinterpret_cast<u64x2>(v); };
    a = reinterpret_cast<u32x4>(__builtin_shufflevector(pairs(ab_low), pairs(cd_low), 0, 2));
    b = reinterpret_cast<u32x4>(__builtin_shufflevector(pairs(ab_low), pairs(cd_low), 1, 3));
    c = reinterpret_cast<u32x4>(__builtin_shufflevector(pairs(ab_high), pairs(cd_high), 0, 2));
    d = reinterpret_cast<u32x4>(__builtin_shufflevector(pairs(ab_high), pairs(cd_high), 1, 3));
}

// Each half of the tile, four columns wide: canvas rows 2k and 2k + 1 share a 32-bit lane
// (the lower row in its low half), and a 4 x 4 transposition of those lanes gives each
// vector one column with the rows from the last up.
[[gnu::always_inline]] inline TurnedTile turn_tile(const std::uint32_t* at) {
    TurnedTile tile;
#pragma GCC unroll 2
    for (int half = 0; half < 2; ++half) {
        u32x4 words[4];
#pragma GCC unroll 4
        for (int k = 0; k < 4; ++k) {
            const std::uint32_t* upper = at + 2 * k * canvas_width + 4 * half;
            const u32x4 high = rgb565_bits_5_to_20(pixel_vectors::load(upper)) << 11;
            words[3 - k] = high | rgb565_bits_5_to_20(pixel_vectors::load(upper + canvas_width)) >> 5;
        }
        transpose(words[0], words[1], words[2], words[3]);
#pragma GCC unroll 4
        for (int j = 0; j < 4; ++j) tile.row[4 * half + j] = reinterpret_cast<u16x8>(words[j]);
    }
    return tile;
}

// The same tile eight columns at a time: the transposition stays within each 16-byte half,
// so that each half holds one column, the first half columns 0 to 3 and the second 4 to 7.
// The tile's functions are inlined into the strip's only where the caller asks for AVX2 too
// (SKIMBO_WIDE_STRIP): a function without it cannot take them in.
#define SKIMBO_WIDE_TILE __attribute__((target("avx2")))
#define SKIMBO_WIDE_STRIP __attribute__((target("avx2"), flatten))
using u32x8 = std::uint32_t __attribute__((vector_size(32)));

SKIMBO_WIDE_TILE inline u32x8 rgb565_bits_5_to_20(u32x8 p) {
    const auto red_blue = reinterpret_cast<__m256i>(p & 0x00F800F8u);
    const u32x8 placed = reinterpret_cast<u32x8>(_mm256_madd_epi16(red_blue, _mm256_set1_epi32(0x20000004)));
    return placed | (p & 0x0000FC00u);
}

SKIMBO_WIDE_TILE inline TurnedTile turn_tile_wide(const std::uint32_t* at) {
    using u64x4 = std::uint64_t __attribute__((vector_size(32)));
    u32x8 words[4];
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) {
        u32x8 upper, lower;
        std::memcpy(&upper, at + 2 * k * canvas_width, sizeof upper);
        std::memcpy(&lower, at + (2 * k + 1) * canvas_width, sizeof lower);
        words[3 - k] = rgb565_bits_5_to_20(upper) << 11 | rgb565_bits_5_to_20(lower) >> 5;
    }
    const u32x8 ab_low = __builtin_shufflevector(words[0], words[1], 0, 8, 1, 9, 4, 12, 5, 13);
    const u32x8 ab_high = __builtin_shufflevector(words[0], words[1], 2, 10, 3, 11, 6, 14, 7, 15);
    const u32x8 cd_low = __builtin_shufflevector(words[2], words[3], 0, 8, 1, 9, 4, 12, 5, 13);
    const u32x8 cd_high = __builtin_shufflevector(words[2], words[3], 2, 10, 3, 11, 6, 14, 7, 15);
    const auto low = reinterpret_cast<u64x4>(ab_low), high = reinterpret_cast<u64x4>(ab_high);
    const auto next_low = reinterpret_cast<u64x4>(cd_low), next_high = reinterpret_cast<u64x4>(cd_high);
    const u64x4 columns[4] = {
        __builtin_shufflevector(low, next_low, 0, 4, 2, 6),
        __builtin_shufflevector(low, next_low, 1, 5, 3, 7),
        __builtin_shufflevector(high, next_high, 0, 4, 2, 6),
        __builtin_shufflevector(high, next_high, 1, 5, 3, 7),
    };
    TurnedTile tile;
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) {
        tile.row[j] = reinterpret_cast<u16x8>(__builtin_shufflevector(columns[j], columns[j], 0, 1));
        tile.row[j + 4] = reinterpret_cast<u16x8>(__builtin_shufflevector(columns[j], columns[j], 2, 3));
    }
    return tile;
}

inline std::uint32_t nonzero_rows(const u16x8* differ) {
    std::uint32_t rows = 0;
#pragma GCC unroll 8
    for (int i = 0; i < tile_size; ++i) {
        const __m128i zero = _mm_cmpeq_epi8(reinterpret_cast<__m128i>(differ[i]), _mm_setzero_si128());
        rows |= std::uint32_t{_mm_movemask_epi8(zero) != 0xFFFF} << i;
    }
    return rows;
}

}  // namespace skimbo::turned
