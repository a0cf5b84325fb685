#include "display/turned_strip.h"

#include <cstring>

#include "render/pixel_vectors.h"

#ifdef __aarch64__
#include <arm_neon.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#else
#error "the panel's pass is written for AArch64 and x86-64"
#endif

namespace skimbo {
namespace {

using pixel_vectors::u16x8;
using pixel_vectors::u32x4;

// A tile of eight canvas rows by eight canvas columns, turned: row[i] is the tile's part of
// panel row (first column + i), eight panel pixels from left to right, which are the canvas
// pixels of that column from the tile's last row up to its first.
constexpr int tile_size = 8;
struct TurnedTile {
    u16x8 row[tile_size];
};

#ifdef __aarch64__
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

// Packing rows k + 4 and k together leaves a lane's bit 2 telling the canvas row's bit 2 (set
// for the upper row) and its two low bits the column's; two rounds of transposition, of 16-bit
// and then of 32-bit lanes, exchange those two bits with the row's bits 0 and 1, which gives
// each vector one column with the rows from the last up. No structure loads: under GCC 12
// their register tuples go through the stack.
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
            const uint16x8_t even_a = vtrn1q_u16(packed[2 * pair + 1][half], packed[2 * pair][half]);
            const uint16x8_t odd_a = vtrn2q_u16(packed[2 * pair + 1][half], packed[2 * pair][half]);
            // pair 0 (rows 0, 1) and pair 1 (rows 2, 3) meet below, pair 1 first.
            packed[2 * pair][half] = even_a;
            packed[2 * pair + 1][half] = odd_a;
        }
#pragma GCC unroll 2
    for (int half = 0; half < 2; ++half)
#pragma GCC unroll 2
        for (int odd = 0; odd < 2; ++odd) {
            const uint32x4_t high = vreinterpretq_u32_u16(packed[2 + odd][half]);
            const uint32x4_t low = vreinterpretq_u32_u16(packed[odd][half]);
            tile.row[4 * half + odd] = reinterpret_cast<u16x8>(vtrn1q_u32(high, low));
            tile.row[4 * half + 2 + odd] = reinterpret_cast<u16x8>(vtrn2q_u32(high, low));
        }
    return tile;
}

// Bit i set where differ[i] has a bit set: pairwise maxima fold the eight vectors into one
// whose lane i is the largest of differ[i].
std::uint32_t nonzero_rows(const u16x8* differ) {
    uint16x8_t fold[4];
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i)
        fold[i] = vpmaxq_u16(reinterpret_cast<uint16x8_t>(differ[2 * i]), reinterpret_cast<uint16x8_t>(differ[2 * i + 1]));
    const uint16x8_t all = vpmaxq_u16(vpmaxq_u16(fold[0], fold[1]), vpmaxq_u16(fold[2], fold[3]));
    const uint8x8_t set = vmovn_u16(vtstq_u16(all, all));
    const uint8x8_t bits = {1, 2, 4, 8, 16, 32, 64, 128};
    return vaddv_u8(vand_u8(set, bits));
}
#else
// (R >> 3) << 11 | (G >> 2) << 5 | B >> 3 of four 0x00RRGGBB words, as bits 5-20 of each lane:
// one multiply-add of 16-bit lanes puts red and blue in place at once.
u32x4 rgb565_bits_5_to_20(u32x4 p) {
    const auto red_blue = reinterpret_cast<__m128i>(p & 0x00F800F8u);
    const u32x4 placed = reinterpret_cast<u32x4>(_mm_madd_epi16(red_blue, _mm_set1_epi32(0x20000004)));
    return placed | (p & 0x0000FC00u);
}

// Lane j of the result holds lane j of a, b, c and d, in that order.
void transpose(u32x4& a, u32x4& b, u32x4& c, u32x4& d) {
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

std::uint32_t nonzero_rows(const u16x8* differ) {
    std::uint32_t rows = 0;
#pragma GCC unroll 8
    for (int i = 0; i < tile_size; ++i) {
        const __m128i zero = _mm_cmpeq_epi8(reinterpret_cast<__m128i>(differ[i]), _mm_setzero_si128());
        rows |= std::uint32_t{_mm_movemask_epi8(zero) != 0xFFFF} << i;
    }
    return rows;
}
#endif

u16x8 load_pixels(const std::uint8_t* p) {
    u16x8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void store_pixels(std::uint8_t* p, u16x8 v) { std::memcpy(p, &v, sizeof v); }

// Brings one tile's part of the eight panel rows at `at` (344 bytes apart) up to date in the
// shadow, adding the bits in which they differed to `differ`.
[[gnu::always_inline]] inline void store_tile(const TurnedTile& tile, std::uint8_t* at, u16x8* differ) {
#pragma GCC unroll 8
    for (int i = 0; i < tile_size; ++i, at += panel_row_bytes) {
        differ[i] |= load_pixels(at) ^ tile.row[i];
        store_pixels(at, tile.row[i]);
    }
}

static_assert(strip_rows == tile_size);
static_assert(canvas_height >= tile_size);
// The tiles start every eight canvas rows, and the last one at row 164 so that it ends with
// the canvas: it covers four rows a second time, with the same pixels.
constexpr int last_tile = canvas_height - tile_size;

}  // namespace

std::uint32_t turn_strip(const Canvas& canvas, int strip, std::uint8_t* shadow) {
    const int first_column = strip * strip_rows;
    const std::uint32_t* column = canvas.data() + first_column;
    std::uint8_t* rows = shadow + static_cast<std::size_t>(first_column) * panel_row_bytes;
    u16x8 differ[tile_size] = {};
    // Canvas row `top` + 7 is panel column 164 - top: the tiles go down the canvas and from the
    // panel rows' right-hand ends leftwards.
    for (int top = 0; top <= last_tile; top += tile_size)
        store_tile(turn_tile(column + top * canvas_width), rows + 2 * (last_tile - top), differ);
    store_tile(turn_tile(column + last_tile * canvas_width), rows, differ);
    return nonzero_rows(differ);
}

#ifdef __aarch64__
// 64 bytes to an instruction each way; the library's copy, made for any length and alignment,
// takes about three times as many instructions for a strip's 2,752 bytes.
void copy_rows(std::uint8_t* device, const std::uint8_t* shadow, std::size_t bytes) {
    static_assert(panel_row_bytes % 8 == 0);
#pragma GCC unroll 2
    for (; bytes >= 64; bytes -= 64, device += 64, shadow += 64) vst1q_u8_x4(device, vld1q_u8_x4(shadow));
    for (; bytes >= 8; bytes -= 8, device += 8, shadow += 8) vst1_u8(device, vld1_u8(shadow));
}
#else
void copy_rows(std::uint8_t* device, const std::uint8_t* shadow, std::size_t bytes) {
    std::memcpy(device, shadow, bytes);
}
#endif

}  // namespace skimbo
