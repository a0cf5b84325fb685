#include "render/blit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "render/render_test_support.h"

namespace skimbo {
namespace {

// A 5 x 4 sprite with every kind of pixel: transparent, opaque and in between.
const std::uint32_t test_pixels[20] = {
    0x00000000, 0xFF102030, 0x80400000, 0x40101010, 0x01010000,  //
    0xFFFFFFFF, 0x7F7F7F7F, 0x00000000, 0xC0C00000, 0x20002000,  //
    0x10000010, 0xFE0102FE, 0x80808080, 0xFF000000, 0x33112233,  //
    0x80008000, 0x00000000, 0xFFABCDEF, 0x40404040, 0x99000099,
};
const Sprite test_sprite{5, 4, test_pixels};

struct Placement {
    int x, y, top, bottom;
};

// Positions on and across every edge, and row windows that cut the sprite.
const Placement placements[] = {
    {10, 10, 0, 172},  {-3, 10, 0, 172},  {-5, 10, 0, 172}, {-6, 10, 0, 172},  {637, 20, 0, 172}, {639, 20, 0, 172},
    {640, 20, 0, 172}, {100, -2, 0, 172}, {100, -4, 0, 172}, {100, 169, 0, 172}, {100, 172, 0, 172}, {100, 10, 11, 13},
    {100, 10, 12, 158}, {100, 155, 0, 158}, {100, 10, 13, 13}, {100, 10, 14, 12}, {100, 10, 0, 10}, {-2, -2, 0, 172},
    {638, 170, 0, 172}, {-1000000, 5, 0, 172}, {2000000000, 5, 0, 172}, {5, 2000000000, 0, 172}, {5, -2000000000, 0, 172},
};

TEST(Blit, SpriteMatchesReferenceAtEveryEdgeAndWindow) {
    for (const Placement& p : placements) {
        std::vector<std::uint32_t> got = testing::patterned_canvas(), want = got;
        blit_sprite(got.data(), test_sprite, p.x, p.y, p.top, p.bottom);
        testing::reference_blit(want, test_sprite, p.x, p.y, p.top, p.bottom);
        EXPECT_EQ(got, want) << "at " << p.x << "," << p.y << " rows " << p.top << ".." << p.bottom;
    }
}

TEST(Blit, EmptyWindowsDrawNothing) {
    const Placement empty[] = {{100, 10, 12, 12}, {100, 10, 20, 5}, {100, 10, 14, 158}, {100, 10, 0, 10}};
    for (const Placement& p : empty) {
        std::vector<std::uint32_t> canvas = testing::patterned_canvas(), before = canvas;
        blit_sprite(canvas.data(), test_sprite, p.x, p.y, p.top, p.bottom);
        EXPECT_EQ(canvas, before);
    }
}

TEST(Blit, TintedMatchesReferenceAtEveryEdge) {
    for (const Placement& p : placements) {
        std::vector<std::uint32_t> got = testing::patterned_canvas(3), want = got;
        blit_tinted(got.data(), test_sprite, p.x, p.y, 0xF4FCFF);
        testing::reference_tinted(want, test_sprite, p.x, p.y, 0xF4FCFF);
        EXPECT_EQ(got, want) << "at " << p.x << "," << p.y;
    }
}

// The colour is scaled by the mask's alpha with rounding to nearest; the sprite's own
// colour channels play no part.
TEST(Blit, TintedRoundsEachChannelAndIgnoresSpriteColour) {
    const std::uint32_t mask[3] = {0x80FFFFFF, 0x80000000, 0x01000000};
    const Sprite strip{3, 1, mask};
    std::vector<std::uint32_t> canvas(canvas_pixel_count, 0);
    blit_tinted(canvas.data(), strip, 0, 0, 0xFF8001);
    // At alpha 128: 255 -> 128, 128 -> 64 (64.25 rounds down), 1 -> 1 (0.502 rounds up).
    // At alpha 1: 255 -> 1, 128 -> 1 (0.502 rounds up), 1 -> 0.
    EXPECT_EQ(canvas[0], 0x00804001u);
    EXPECT_EQ(canvas[1], 0x00804001u);
    EXPECT_EQ(canvas[2], 0x00010100u);
}

}  // namespace
}  // namespace skimbo
