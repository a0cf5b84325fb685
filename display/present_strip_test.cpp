// The qualified panel's turned pass against the plain conversion, pixel by pixel: on random
// canvases and shadows, and for a change of every single canvas pixel, which reaches every
// tile edge and lane, the first and last strip, row and panel column, and the last tile, which
// covers four canvas rows twice. Each way the processor has is checked.
#include "display/turned_strip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace skimbo {
namespace {

std::uint16_t plain_rgb565(std::uint32_t p) {
    return static_cast<std::uint16_t>((p >> 19 & 31) << 11 | (p >> 10 & 63) << 5 | (p >> 3 & 31));
}

// Panel pixel (col, row) is canvas pixel (row, 171 - col), stored little-endian in 344-byte rows.
std::uint32_t plain_strip(const Canvas& canvas, int strip, std::uint8_t* shadow) {
    std::uint32_t changed = 0;
    for (int i = 0; i < strip_rows; ++i) {
        const int x = strip * strip_rows + i;
        for (int col = 0; col < canvas_height; ++col) {
            const std::uint16_t d = plain_rgb565(canvas[static_cast<std::size_t>((171 - col) * canvas_width + x)]);
            const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(d), static_cast<std::uint8_t>(d >> 8)};
            std::uint8_t* at = shadow + static_cast<std::size_t>(x) * panel_row_bytes + 2 * col;
            if (std::memcmp(at, bytes, 2) != 0) changed |= 1u << i;
            std::memcpy(at, bytes, 2);
        }
    }
    return changed;
}

using Shadow = std::vector<std::uint8_t>;

std::unique_ptr<Canvas> random_canvas(std::uint32_t seed) {
    std::mt19937 random(seed);
    auto canvas = std::make_unique<Canvas>();
    for (std::uint32_t& pixel : *canvas) pixel = random() & 0x00FFFFFF;
    return canvas;
}

Shadow converted(const Canvas& canvas) {
    Shadow shadow(canvas_width * panel_row_bytes);
    for (int strip = 0; strip < strip_count; ++strip) plain_strip(canvas, strip, shadow.data());
    return shadow;
}

std::vector<bool> ways() { return has_wide_strips() ? std::vector<bool>{false, true} : std::vector<bool>{false}; }

// A shadow that is the canvas's but for one byte in every third row, and one of random bytes.
TEST(PresentStrip, RandomCanvasesGiveThePlainBytesAndChangedRows) {
    for (const bool wide : ways())
        for (std::uint32_t seed : {1u, 2u}) {
            std::mt19937 random(seed);
            const auto canvas = random_canvas(seed);
            Shadow shadow = converted(*canvas);
            if (seed == 2) for (std::uint8_t& byte : shadow) byte = static_cast<std::uint8_t>(random());
            for (std::size_t row = 0; row < canvas_width && seed == 1; row += 3)
                shadow[row * panel_row_bytes + random() % panel_row_bytes] ^= 1;
            Shadow want = shadow;
            for (int strip = 0; strip < strip_count; ++strip)
                ASSERT_EQ(turn_strip_by(*canvas, strip, shadow.data(), wide), plain_strip(*canvas, strip, want.data()))
                    << "strip " << strip << (wide ? " wide" : "");
            EXPECT_TRUE(shadow == want);
        }
}

// Canvas bits the panel shows: blue 3-7, green 10-15, red 19-23.
constexpr std::uint32_t shown_bits[] = {1u << 3,  1u << 4,  1u << 5,  1u << 6,  1u << 7,  1u << 10,
                                        1u << 11, 1u << 12, 1u << 13, 1u << 14, 1u << 15, 1u << 19,
                                        1u << 20, 1u << 21, 1u << 22, 1u << 23};

// Each pixel in turn: a change below the colour depth changes no row; a change of one shown
// bit (another one from place to place) changes its own row, there only; changing it back
// changes that row again.
TEST(PresentStrip, EachCanvasPixelChangesItsOwnPanelRowAlone) {
    for (const bool wide : ways()) {
        const auto canvas = random_canvas(7);
        Shadow shadow = converted(*canvas);
        Shadow want = shadow;
        for (int x = 0; x < canvas_width; ++x)
            for (int y = 0; y < canvas_height; ++y) {
                const int strip = x / strip_rows;
                const std::uint32_t row_bit = 1u << (x % strip_rows);
                std::uint32_t& pixel = (*canvas)[static_cast<std::size_t>(y * canvas_width + x)];
                const std::uint32_t before = pixel;
                const std::size_t at = static_cast<std::size_t>(x) * panel_row_bytes + 2 * (171 - y);
                pixel ^= 0x00070307;
                ASSERT_EQ(turn_strip_by(*canvas, strip, shadow.data(), wide), 0u) << x << "," << y;
                pixel = before ^ shown_bits[(x * 7 + y) % 16];
                ASSERT_EQ(turn_strip_by(*canvas, strip, shadow.data(), wide), row_bit) << x << "," << y;
                const std::uint16_t d = plain_rgb565(pixel);
                want[at] = static_cast<std::uint8_t>(d), want[at + 1] = static_cast<std::uint8_t>(d >> 8);
                const std::size_t first = static_cast<std::size_t>(strip) * strip_rows * panel_row_bytes;
                ASSERT_EQ(std::memcmp(shadow.data() + first, want.data() + first, strip_rows * panel_row_bytes), 0)
                    << x << "," << y << (wide ? " wide" : "");
                pixel = before;
                ASSERT_EQ(turn_strip_by(*canvas, strip, shadow.data(), wide), row_bit) << x << "," << y;
                const std::uint16_t back = plain_rgb565(before);
                want[at] = static_cast<std::uint8_t>(back), want[at + 1] = static_cast<std::uint8_t>(back >> 8);
            }
        EXPECT_TRUE(shadow == want);
    }
}

// Every length a row or a strip of rows has, and not a byte past it.
TEST(PresentStrip, RowsAreCopiedToTheirLastByte) {
    std::vector<std::uint8_t> from(strip_rows * panel_row_bytes + 8), to(from.size());
    for (std::size_t i = 0; i < from.size(); ++i) from[i] = static_cast<std::uint8_t>(i * 7 + 1);
    for (std::size_t bytes = 8; bytes <= strip_rows * panel_row_bytes; bytes += 8) {
        std::fill(to.begin(), to.end(), 0);
        copy_rows(to.data(), from.data(), bytes);
        ASSERT_EQ(std::memcmp(to.data(), from.data(), bytes), 0) << bytes;
        ASSERT_EQ(to[bytes], 0) << bytes;
    }
}

}  // namespace
}  // namespace skimbo
