#include "render/assets.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

namespace skimbo {
namespace {

struct Size {
    std::uint32_t w, h;
};

Size expected_size(int index) {
    if (index == 0) return {36, 12};
    if (index <= 36) return {10, 10};
    if (index <= 72) return {26, 26};
    if (index <= 108) return {16, 16};
    if (index == 109) return {64, 28};
    if (index <= 115) return {26, 20};
    if (index <= 117) return {40, 40};
    return {28, 28};
}

std::vector<std::uint32_t> pixels_of(const Sprite& s) { return {s.pixels, s.pixels + s.width * s.height}; }

TEST(Assets, TableHasTheFixedSizesInTheFixedOrder) {
    std::size_t table_bytes = 0;
    for (int i = 0; i < sprite_count; ++i) {
        const Sprite& s = sprite_table[i];
        EXPECT_EQ(s.width, expected_size(i).w) << i;
        EXPECT_EQ(s.height, expected_size(i).h) << i;
        EXPECT_NE(s.pixels, nullptr);
        table_bytes += s.width * s.height * 4;
    }
    EXPECT_EQ(table_bytes, 189056u);
    std::size_t image_bytes = 0;
    for (const Sprite* s : {&backdrop_image, &ground_strip, &pipe_body_image}) image_bytes += s->width * s->height * 4;
    EXPECT_EQ(image_bytes, 451872u);
    EXPECT_EQ(sprite_table[font_large_first].width, 26u);       // large A
    EXPECT_EQ(sprite_table[font_large_first + 35].width, 26u);  // large 9
    EXPECT_EQ(sprite_table[font_medium_first].width, 16u);      // medium A after the large font
}

TEST(Assets, EveryPixelIsPremultiplied) {
    std::vector<const Sprite*> all{&backdrop_image, &ground_strip, &pipe_body_image};
    for (const Sprite& s : sprite_table) all.push_back(&s);
    for (const Sprite* s : all)
        for (std::uint32_t p : pixels_of(*s)) {
            std::uint32_t a = p >> 24;
            ASSERT_TRUE((p >> 16 & 255) <= a && (p >> 8 & 255) <= a && (p & 255) <= a) << std::hex << p;
        }
}

TEST(Assets, BackgroundsAreOpaqueAndThePipeBodyHasClearMargins) {
    for (const Sprite* s : {&backdrop_image, &ground_strip})
        for (std::uint32_t p : pixels_of(*s)) ASSERT_EQ(p >> 24, 255u);
    for (std::uint32_t row = 0; row < pipe_body_image.height; ++row)
        for (std::uint32_t col : {0u, 1u, 34u, 35u}) ASSERT_EQ(pipe_body_image.pixels[row * 36 + col] >> 24, 0u);
    EXPECT_EQ(pipe_body_image.pixels[40 * 36 + 18] >> 24, 255u);
}

// Glyphs are the glyph colour at their own alpha, all different, none empty; the
// text styles depend on that.
TEST(Assets, GlyphsAreDistinctInkOfOneColour) {
    for (int first : {font_small_first, font_medium_first, font_large_first}) {
        std::set<std::vector<std::uint32_t>> seen;
        for (int g = 0; g < glyph_count; ++g) {
            std::vector<std::uint32_t> px = pixels_of(sprite_table[first + g]);
            int inked = 0;
            for (std::uint32_t p : px) {
                std::uint32_t a = p >> 24;
                ASSERT_EQ(p, a << 24 | ((0x14 * a + 127) / 255) << 16 | ((0x40 * a + 127) / 255) << 8 | (0x48 * a + 127) / 255);
                inked += a > 128;
            }
            EXPECT_GT(inked, 3) << first << "+" << g;
            EXPECT_TRUE(seen.insert(px).second) << first << "+" << g;
        }
    }
}

TEST(Assets, FlightFramesDifferSoTheWingBeats) {
    std::set<std::vector<std::uint32_t>> frames;
    for (int f = 110; f <= 115; ++f) frames.insert(pixels_of(sprite_table[f]));
    EXPECT_EQ(frames.size(), 6u);
}

}  // namespace
}  // namespace skimbo
