#include "render/blend.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "render/render_test_support.h"

namespace skimbo {
namespace {

TEST(Blend, WorkedExamples) {
    std::uint32_t white = 0x00FFFFFF, teal = 0x00204060;
    blend_pixel(white, 0x80400000);
    blend_pixel(teal, 0x4D061A20);
    EXPECT_EQ(white, 0x00BF7F7Fu);
    EXPECT_EQ(teal, 0x001C4763u);
}

TEST(Blend, TransparentKeepsAndOpaqueReplacesClearingTheTopByte) {
    std::uint32_t kept = 0x00123456;
    blend_pixel(kept, 0x00FFFFFF);
    EXPECT_EQ(kept, 0x00123456u);
    std::uint32_t replaced = 0x00123456;
    blend_pixel(replaced, 0xFFABCDEF);
    EXPECT_EQ(replaced, 0x00ABCDEFu);
}

// The shift-and-add quotient must equal the exact floor division for every pair.
TEST(Blend, DivideBy255IsExactOverTheWholeDomain) {
    for (std::uint32_t a = 0; a < 256; ++a)
        for (std::uint32_t b = 0; b < 256; ++b) {
            std::uint32_t exact = (a * b + 127) / 255;
            ASSERT_EQ(mul_div255(a, b), exact) << a << " * " << b;
            ASSERT_EQ(mul_div255_lanes(a << 16 | (255 - a), b), exact << 16 | ((255 - a) * b + 127) / 255);
        }
}

TEST(Blend, PremultiplyMatchesTheFormulaForEveryChannelAndAlpha) {
    for (std::uint32_t v = 0; v < 256; ++v)
        for (std::uint32_t a = 0; a < 256; ++a) {
            std::uint32_t rgb = v << 16 | (255 - v) << 8 | (v ^ 0x5A);
            ASSERT_EQ(premultiply(rgb, a), testing::reference_premultiply(rgb, a));
        }
}

TEST(Blend, MatchesPerChannelReferenceOnRandomPixels) {
    std::mt19937 rng(7);
    for (int i = 0; i < 1000000; ++i) {
        std::uint32_t dst = rng() & 0x00FFFFFF, a = rng() & 255;
        std::uint32_t colour = rng() & 0x00FFFFFF;
        std::uint32_t src = testing::reference_premultiply(colour, a);
        std::uint32_t got = dst;
        blend_pixel(got, src);
        ASSERT_EQ(got, testing::reference_blend(dst, src)) << std::hex << dst << " " << src;
        ASSERT_EQ(got >> 24, 0u);
        ASSERT_EQ(blend_premultiplied(dst, src), got);
    }
    for (std::uint32_t a : {0u, 1u, 254u, 255u})
        for (std::uint32_t dst : {0x00000000u, 0x00FFFFFFu, 0x00804020u}) {
            std::uint32_t src = testing::reference_premultiply(0xFFFFFF, a), want = dst;
            blend_pixel(want, src);
            EXPECT_EQ(blend_premultiplied(dst, src), want);
        }
}

}  // namespace
}  // namespace skimbo
