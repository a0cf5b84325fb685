// The qualified panel's turned pass against the plain conversion, pixel by pixel: on random
// canvases and shadows, and for a change of every single canvas pixel, which reaches every
// tile edge and lane, the first and last strip, row and panel column, and the last tile, which
// covers four canvas rows twice. Each way the processor has is checked.
#include "display/turned_strip.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace skimbo {
namespace {

using Shadow = std::vector<std::uint8_t>;

// Panel pixel (col, row) is canvas pixel (row, 171 - col), stored little-endian in 344-byte
// rows: (R >> 3) << 11 | (G >> 2) << 5 | B >> 3.
void put_plain(Shadow& shadow, const Canvas& canvas, int x, int y) {
    const std::uint32_t p = canvas[static_cast<std::size_t>(y * canvas_width + x)];
    const auto d = static_cast<std::uint16_t>((p >> 19 & 31) << 11 | (p >> 10 & 63) << 5 | (p >> 3 & 31));
    std::memcpy(&shadow[static_cast<std::size_t>(x) * panel_row_bytes + 2 * static_cast<std::size_t>(171 - y)], &d, 2);
}

std::uint32_t plain_strip(const Canvas& canvas, int strip, Shadow& shadow) {
    const Shadow before = shadow;
    std::uint32_t changed = 0;
    for (int x = strip * strip_rows; x < (strip + 1) * strip_rows; ++x) {
        for (int y = 0; y < canvas_height; ++y) put_plain(shadow, canvas, x, y);
        const std::size_t row = static_cast<std::size_t>(x) * panel_row_bytes;
        if (std::memcmp(&shadow[row], &before[row], panel_row_bytes) != 0) changed |= 1u << (x % strip_rows);
    }
    return changed;
}

std::unique_ptr<Canvas> random_canvas(std::uint32_t seed) {
    std::mt19937 random(seed);
    auto canvas = std::make_unique<Canvas>();
    for (std::uint32_t& pixel : *canvas) pixel = random() & 0x00FFFFFF;
    return canvas;
}

Shadow converted(const Canvas& canvas) {
    Shadow shadow(canvas_width * panel_row_bytes);
    for (int strip = 0; strip < strip_count; ++strip) plain_strip(canvas, strip, shadow);
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
            for (std::size_t i = 0; i < shadow.size(); ++i)
                if (seed == 2 || (i % (3 * panel_row_bytes) == random() % panel_row_bytes)) shadow[i] ^= random() | 1;
            Shadow want = shadow;
            for (int strip = 0; strip < strip_count; ++strip)
                ASSERT_EQ(turn_strip_by(*canvas, strip, shadow.data(), wide), plain_strip(*canvas, strip, want))
                    << "strip " << strip << (wide ? " wide" : "");
            EXPECT_TRUE(shadow == want);
        }
}

// Canvas bits the panel shows: blue 3-7, green 10-15, red 19-23.
constexpr std::uint32_t shown_bits = 0x00F8FCF8;

// Each pixel in turn: a change below the colour depth changes no row; a change of one shown
// bit (another one from place to place) changes its own row, there only; changing it back
// changes that row again.
TEST(PresentStrip, EachCanvasPixelChangesItsOwnPanelRowAlone) {
    for (const bool wide : ways()) {
        const auto canvas = random_canvas(7);
        Shadow shadow = converted(*canvas), want = shadow;
        int bit = 0;
        for (int x = 0; x < canvas_width; ++x)
            for (int y = 0; y < canvas_height; ++y) {
                const int strip = x / strip_rows;
                const std::size_t first = static_cast<std::size_t>(strip) * strip_rows * panel_row_bytes;
                auto turned = [&] { return turn_strip_by(*canvas, strip, shadow.data(), wide); };
                std::uint32_t& pixel = (*canvas)[static_cast<std::size_t>(y * canvas_width + x)];
                const std::uint32_t before = pixel;
                pixel ^= 0x00070307;
                ASSERT_EQ(turned(), 0u) << x << "," << y;
                do bit = (bit + 7) % 24; while (!(shown_bits >> bit & 1));
                pixel = before ^ 1u << bit;
                ASSERT_EQ(turned(), 1u << (x % strip_rows)) << x << "," << y;
                put_plain(want, *canvas, x, y);
                ASSERT_EQ(std::memcmp(&shadow[first], &want[first], strip_rows * panel_row_bytes), 0) << x << "," << y;
                pixel = before;
                ASSERT_EQ(turned(), 1u << (x % strip_rows)) << x << "," << y;
                put_plain(want, *canvas, x, y);
            }
        EXPECT_TRUE(shadow == want);
    }
}

// Every length a row or a strip of rows has, and not a byte past it.
TEST(PresentStrip, RowsAreCopiedToTheirLastByte) {
    Shadow from(strip_rows * panel_row_bytes + 8), to(from.size());
    for (std::size_t i = 0; i < from.size(); ++i) from[i] = static_cast<std::uint8_t>(i * 7 + 1);
    for (std::size_t bytes = 8; bytes <= strip_rows * panel_row_bytes; bytes += 8) {
        to.assign(to.size(), 0);
        copy_rows(to.data(), from.data(), bytes);
        ASSERT_TRUE(std::memcmp(to.data(), from.data(), bytes) == 0 && to[bytes] == 0) << bytes;
    }
}

}  // namespace
}  // namespace skimbo
