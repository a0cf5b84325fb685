#include "display/turned_strip.h"

#include <cstring>

#include "display/turned_tile.h"

namespace skimbo {
namespace {

using turned::tile_size;
using turned::TurnedTile;
using turned::u16x8;

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

template <TurnedTile (*turn)(const std::uint32_t*)>
[[gnu::always_inline]] inline std::uint32_t turn_strip_with(const Canvas& canvas, int strip, std::uint8_t* shadow) {
    const int first_column = strip * strip_rows;
    const std::uint32_t* column = canvas.data() + first_column;
    std::uint8_t* rows = shadow + static_cast<std::size_t>(first_column) * panel_row_bytes;
    u16x8 differ[tile_size] = {};
    // Canvas row `top` + 7 is panel column 164 - top: the tiles go down the canvas and from the
    // panel rows' right-hand ends leftwards.
    for (int top = 0; top <= last_tile; top += tile_size)
        store_tile(turn(column + top * canvas_width), rows + 2 * (last_tile - top), differ);
    store_tile(turn(column + last_tile * canvas_width), rows, differ);
    return turned::nonzero_rows(differ);
}

#ifdef __x86_64__
SKIMBO_WIDE_STRIP std::uint32_t turn_strip_wide(const Canvas& canvas, int strip, std::uint8_t* shadow) {
    return turn_strip_with<turned::turn_tile_wide>(canvas, strip, shadow);
}

bool wide_strips() {
    static const bool wide = __builtin_cpu_supports("avx2");
    return wide;
}
#else
std::uint32_t turn_strip_wide(const Canvas& canvas, int strip, std::uint8_t* shadow) {
    return turn_strip_with<turned::turn_tile>(canvas, strip, shadow);
}

bool wide_strips() { return false; }
#endif

}  // namespace

std::uint32_t turn_strip(const Canvas& canvas, int strip, std::uint8_t* shadow) {
    return turn_strip_by(canvas, strip, shadow, wide_strips());
}

bool has_wide_strips() { return wide_strips(); }

std::uint32_t turn_strip_by(const Canvas& canvas, int strip, std::uint8_t* shadow, bool wide) {
    if (wide) return turn_strip_wide(canvas, strip, shadow);
    return turn_strip_with<turned::turn_tile>(canvas, strip, shadow);
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
