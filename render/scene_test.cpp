// The scene's arithmetic on its own: where the scrolling layers stand, how positions round, which
// rows and frame the bird takes, and the dimming veil against the blend it stands for. Whole
// frames are checked by the golden frames (scene_golden_test.cpp).
#include <gtest/gtest.h>

#include <limits>

#include "render/render_test_support.h"
#include "render/scene_parts.h"

namespace skimbo {
namespace {

constexpr float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();

TEST(Scene, LayerOffsetsFollowTheScrollWhateverItIs) {
    struct Case {
        float scroll;
        int backdrop, cloud, ground;
    };
    for (const Case& c : {Case{0, 0, 0, 0}, Case{100, 12, 23, 100}, Case{639.9f, 76, 147, 235}, Case{-1, 0, 0, 403},
                          Case{-100, 628, 737, 304}, Case{1e9f, 0, 440, 212}, Case{-1e9f, 0, 320, 192},
                          Case{nan, 0, 0, 0}, Case{inf, 0, 0, 0}, Case{-inf, 0, 0, 0}, Case{3e38f, 512, 504, 324}}) {
        EXPECT_EQ(backdrop_offset(c.scroll), c.backdrop) << c.scroll;
        EXPECT_EQ(cloud_offset(c.scroll), c.cloud) << c.scroll;
        EXPECT_EQ(ground_offset(c.scroll), c.ground) << c.scroll;
    }
}

TEST(Scene, PositionsAreClampedThenRoundedHalfAwayFromZero) {
    struct Case {
        float v;
        int lo, hi, want;
    };
    for (Case c : {Case{0.5f, -36, 640, 1}, Case{-0.5f, -36, 640, -1}, Case{639.6f, -36, 640, 640}, Case{-36.4f, -36, 640, -36},
                   Case{2.4999f, 0, 9, 2}, Case{nan, -5, 5, 0}, Case{inf, -1000, 1000, 0}, Case{1e30f, -1000, 1000, 1000},
                   Case{-1e30f, -1000, 1000, -1000}, Case{nan, 10, 20, 10}})
        EXPECT_EQ(round_clamp(c.v, c.lo, c.hi), c.want) << c.v;
}

// The bird is drawn on rows [first, last) around its row, none when far off; an unusable
// height shows it in the middle.
TEST(Scene, BirdRows) {
    struct Case {
        float y;
        int first, last;  // {0, 0}: not drawn
    };
    for (Case c : {Case{79, 60, 98}, Case{79.5f, 60, 99}, Case{nan, 60, 98}, Case{inf, 60, 98}, Case{-40, 0, 0}, Case{212, 0, 0},
                   Case{-39.5f, 0, -20}, Case{150, 131, 158}, Case{211.9f, 192, 158}, Case{5, 0, 24}}) {
        const std::optional<BirdRows> rows = bird_rows(c.y);
        EXPECT_EQ(rows ? rows->first * 1000 + rows->last : 0, c.first * 1000 + c.last) << c.y;
    }
}

// Wings beat at 10 frames a second through the four flight frames; a game-over bird is stunned.
TEST(Scene, BirdFrameFollowsTheClock) {
    struct Case {
        float clock;
        ViewPhase phase;
        int sprite;
    };
    for (Case c : {Case{0, ViewPhase::Playing, 112}, Case{0.25f, ViewPhase::Playing, 114}, Case{0.25f, ViewPhase::GameOver, 110},
                   Case{0.35f, ViewPhase::GameOver, 111}, Case{0.39f, ViewPhase::Ready, 115}, Case{0.4f, ViewPhase::Paused, 112},
                   Case{-0.15f, ViewPhase::Playing, 115}, Case{nan, ViewPhase::Playing, 112}, Case{3e38f, ViewPhase::Playing, 112},
                   Case{-inf, ViewPhase::GameOver, 110}})
        EXPECT_EQ(bird_sprite_index(c.clock, c.phase), c.sprite) << c.clock;
}

TEST(Scene, TheVeilIsTheBlendOfItsColourOverEveryPixel) {
    std::vector<std::uint32_t> canvas = testing::patterned_canvas(21), want(canvas.size());
    for (std::size_t i = 0; i < canvas.size(); ++i) want[i] = testing::reference_blend(canvas[i], dimming_colour);
    dim_canvas(canvas.data());
    EXPECT_EQ(canvas, want);
}

}  // namespace
}  // namespace skimbo
