#pragma once
// The logical frame every session draws: 640x172 landscape, row-major, one 0x00RRGGBB
// word per pixel with the top byte always zero.
#include <array>
#include <cstddef>
#include <cstdint>

namespace skimbo {

inline constexpr int canvas_width = 640;
inline constexpr int canvas_height = 172;
inline constexpr std::size_t canvas_pixel_count = 110080;

using Canvas = std::array<std::uint32_t, canvas_pixel_count>;

// Canvas columns first to last, inclusive: every column unless narrowed, none when empty.
struct ColumnSpan {
    int first = 0;
    int last = canvas_width - 1;

    bool empty() const { return first > last; }
};
inline constexpr ColumnSpan no_columns{0, -1};

// Pixels of one sprite row that are drawn together: length pixels from column start, either
// all fully opaque (copied) or mixed (blended, whatever their alpha). Clear pixels outside
// every run are never visited.
struct SpriteRun {
    std::uint8_t start;
    std::uint8_t length;
    bool opaque;
};

// The runs of one sprite row, left to right.
struct SpriteRow {
    const SpriteRun* runs;
    std::uint32_t count;
};

// Compiled-in art: premultiplied ARGB pixels, row stride = width.
struct Sprite {
    std::uint32_t width;
    std::uint32_t height;
    const std::uint32_t* pixels;
    // The art also lists the runs of each of its rows, so that a blit skips clear stretches,
    // copies opaque ones and blends the rest; none for a sprite drawn pixel by pixel.
    const SpriteRow* rows = nullptr;
};

}  // namespace skimbo
