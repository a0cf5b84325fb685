// The exact pixel arithmetic and sprite blits against their straightforward references, what
// text skips, the art generator's trigonometry, and the invariants of the compiled-in art.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "render/assets.h"
#include "render/blend.h"
#include "render/blit.h"
#include "render/exact_math.h"
#include "render/render_test_support.h"
#include "render/text.h"

namespace skimbo {
namespace {

using Canvas32 = std::vector<std::uint32_t>;

TEST(Blend, DivisionBy255IsExactOverTheWholeDomain) {
    for (std::uint32_t a = 0; a < 256; ++a)
        for (std::uint32_t b = 0; b < 256; ++b) {
            ASSERT_EQ(mul_div255(a, b), (a * b + 127) / 255) << a << " * " << b;
            ASSERT_EQ(mul_div255_lanes(a << 16 | (255 - a), b), (a * b + 127) / 255 << 16 | ((255 - a) * b + 127) / 255);
            const std::uint32_t rgb = a << 16 | (255 - a) << 8 | (a ^ 0x5A);
            ASSERT_EQ(premultiply(rgb, b), testing::reference_premultiply(rgb, b)) << a << " " << b;
        }
}

TEST(Blend, MatchesThePerChannelReferenceOnRandomPixels) {
    std::mt19937 rng(7);
    for (int i = 0; i < 300000; ++i) {
        const std::uint32_t dst = rng() & 0x00FFFFFF, src = testing::reference_premultiply(rng() & 0x00FFFFFF, i < 4 ? i / 2 * 255 : rng() & 255);
        std::uint32_t got = dst;
        blend_pixel(got, src);
        ASSERT_EQ(got, testing::reference_blend(dst, src)) << std::hex << dst << " " << src;
        ASSERT_EQ(blend_premultiplied(dst, src), got) << std::hex << dst << " " << src;
    }
}

// A 5 x 4 sprite with every kind of pixel: transparent, opaque and in between.
const std::uint32_t test_pixels[20] = {
    0x00000000, 0xFF102030, 0x80400000, 0x40101010, 0x01010000, 0xFFFFFFFF, 0x7F7F7F7F, 0x00000000, 0xC0C00000, 0x20002000,
    0x10000010, 0xFE0102FE, 0x80808080, 0xFF000000, 0x33112233, 0x80008000, 0x00000000, 0xFFABCDEF, 0x40404040, 0x99000099,
};

// On and across every edge, row windows that cut the sprite or hold none of it, and far off.
TEST(Blit, MatchesTheReferenceAtEveryEdgeAndWindow) {
    const Sprite sprite{5, 4, test_pixels};
    const int placements[][4] = {
        {10, 10, 0, 172},   {-3, 10, 0, 172},   {-5, 10, 0, 172},   {637, 20, 0, 172},  {640, 20, 0, 172},
        {100, -2, 0, 172},  {100, -4, 0, 172},  {100, 169, 0, 172}, {100, 172, 0, 172}, {100, 10, 11, 13},
        {100, 10, 12, 158}, {100, 155, 0, 158}, {100, 10, 13, 13},  {100, 10, 14, 12},  {100, 10, 0, 10},
        {-2, -2, 0, 172},   {638, 170, 0, 172}, {-1000000, 5, 0, 172}, {2000000000, 5, 0, 172}, {5, -2000000000, 0, 172},
    };
    for (const auto& [x, y, top, bottom] : placements) {
        Canvas32 got = testing::patterned_canvas(), want = got;
        blit_sprite(got.data(), sprite, x, y, top, bottom);
        testing::reference_blit(want, sprite, x, y, top, bottom);
        EXPECT_EQ(got, want) << "sprite at " << x << "," << y << " rows " << top << ".." << bottom;
        got = want = testing::patterned_canvas(3);
        blit_tinted(got.data(), sprite, x, y, 0xF4FCFF);
        testing::reference_blit(want, sprite, x, y, 0, 172, 0xF4FCFF);
        EXPECT_EQ(got, want) << "tinted at " << x << "," << y;
    }
}

// Text as drawn over a patterned canvas. Where each string of the game lands, in each size and
// style, the golden frames show (scene_golden_test.cpp).
Canvas32 text(const char* chars, int cx, int y, int size, TextStyle style = TextStyle::Plain) {
    Canvas32 c = testing::patterned_canvas(9);
    draw_text(c.data(), chars, cx, y, size, style);
    return c;
}

// Bytes without a glyph advance the pen; other sizes and no text draw nothing; numbers show
// clamped to 0..999999.
TEST(Text, WhatCannotBeDrawnIsSkipped) {
    const Canvas32 blank = testing::patterned_canvas(9);
    for (int size : {10, 16, 26}) {
        EXPECT_EQ(text("AxB", 300, 50, size), text("A B", 300, 50, size)) << size;
        EXPECT_NE(text("AB", 300, 50, size), text("A B", 300, 50, size)) << size;
        EXPECT_EQ(text("a b.?[@", 300, 50, size), blank) << size;
    }
    EXPECT_EQ(text("ABC", 320, 50, 12), blank);
    EXPECT_EQ(text(nullptr, 320, 50, 16), blank);
    for (auto [value, shown] : {std::pair{-5, "0"}, {42, "42"}, {999999, "999999"}, {1234567, "999999"}}) {
        Canvas32 c = testing::patterned_canvas(9);
        draw_number(c.data(), value, 320, 8, 26, TextStyle::Outlined);
        EXPECT_EQ(c, text(shown, 320, 8, 26, TextStyle::Outlined)) << value;
    }
}

TEST(ExactMath, SineCosineAndArcTangentMatchTheLibraryClosely) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> angle(-20.0, 20.0), coordinate(-1000, 1000);
    for (int i = 0; i < 50000; ++i) {
        double t = angle(rng), s, c, y = coordinate(rng), x = coordinate(rng);
        sin_cos(t, s, c);
        ASSERT_NEAR(s, std::sin(t), 4e-16) << t;
        ASSERT_NEAR(c, std::cos(t), 4e-16) << t;
        ASSERT_NEAR(arc_tangent(y, x), std::atan2(y, x), 16e-16) << y << "," << x;
    }
    for (double y : {0.0, -0.0}) EXPECT_EQ(arc_tangent(y, -1.0), std::atan2(y, -1.0));
}

// Blending relies on it: alpha 0 has no colour. The backgrounds cover what is behind them.
TEST(Assets, EveryPixelIsPremultipliedAndTheBackgroundsOpaque) {
    std::vector<const Sprite*> all{&backdrop_image, &ground_strip, &pipe_body_image};
    for (const Sprite& s : sprite_table) all.push_back(&s);
    for (std::size_t k = 0; k < all.size(); ++k)
        for (std::uint32_t i = 0; i < all[k]->width * all[k]->height; ++i) {
            const std::uint32_t p = all[k]->pixels[i], a = p >> 24;
            ASSERT_TRUE((p >> 16 & 255) <= a && (p >> 8 & 255) <= a && (p & 255) <= a) << k << ": " << std::hex << p;
            ASSERT_TRUE(k >= 2 || a == 255) << k << ": " << i;
        }
}

}  // namespace
}  // namespace skimbo
