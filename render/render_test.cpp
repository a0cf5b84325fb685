// Pixel arithmetic and blits against straightforward references, the art generator's
// trigonometry, the compiled-in art, and the scene's arithmetic. Whole frames, text with them,
// are checked by the golden frames (scene_golden_test.cpp).

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <tuple>

#include "render/assets.h"
#include "render/blend.h"
#include "render/blit.h"
#include "render/exact_math.h"
#include "render/render_test_support.h"
#include "render/scene_parts.h"

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

// The art generator's trigonometry, the same bits on every machine, against the C library's.
TEST(ExactMath, SineCosineAndArcTangentMatchTheLibrary) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> angle(-20.0, 20.0), coordinate(-1000, 1000);
    for (int i = 0; i < 50000; ++i) {
        double t = angle(rng), s, c, y = coordinate(rng), x = coordinate(rng);
        sin_cos(t, s, c);
        ASSERT_TRUE(std::abs(s - std::sin(t)) < 4e-16 && std::abs(c - std::cos(t)) < 4e-16) << t;
        ASSERT_NEAR(arc_tangent(y, x), std::atan2(y, x), 16e-16) << y << "," << x;
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

// Blending relies on it: alpha 0 has no colour. The backgrounds cover what is behind them.
TEST(Assets, EveryPixelIsPremultipliedAndTheBackgroundsOpaque) {
    std::vector<const Sprite*> all{&ground_strip, &pipe_body_image};
    for (const Sprite& s : sprite_table) all.push_back(&s);
    for (std::size_t k = 0; k < all.size(); ++k)
        for (std::uint32_t i = 0; i < all[k]->width * all[k]->height; ++i) {
            const std::uint32_t p = all[k]->pixels[i], a = p >> 24;
            ASSERT_TRUE((p >> 16 & 255) <= a && (p >> 8 & 255) <= a && (p & 255) <= a) << k << ": " << std::hex << p;
            ASSERT_TRUE(k >= 1 || a == 255) << k << ": " << i;
        }
}

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

// The bird is drawn on rows [first, last) around its row, none when far off, in the middle when
// its height is unusable; its wings beat at 10 frames a second, stunned once the game is over.
TEST(Scene, TheBirdsRowsAndFrame) {
    for (auto [y, first, last] : {std::tuple{79.0f, 60, 98}, {79.5f, 60, 99}, {nan, 60, 98}, {inf, 60, 98}, {-40.0f, 0, 0},
                                  {212.0f, 0, 0}, {-39.5f, 0, -20}, {150.0f, 131, 158}, {211.9f, 192, 158}, {5.0f, 0, 24}}) {
        const std::optional<BirdRows> rows = bird_rows(y);
        EXPECT_EQ(rows ? std::tuple(rows->first, rows->last) : std::tuple(0, 0), std::tuple(first, last)) << y;
    }
    for (auto [clock, phase, sprite] : {std::tuple{0.0f, ViewPhase::Playing, 112}, {0.25f, ViewPhase::Playing, 114},
                                        {0.25f, ViewPhase::GameOver, 110}, {0.35f, ViewPhase::GameOver, 111}, {0.39f, ViewPhase::Ready, 115},
                                        {-0.15f, ViewPhase::Playing, 115}, {nan, ViewPhase::Paused, 112}, {3e38f, ViewPhase::Playing, 112},
                                        {-inf, ViewPhase::GameOver, 110}})
        EXPECT_EQ(bird_sprite_index(clock, phase), sprite) << clock;
}

TEST(Scene, TheVeilIsTheBlendOfItsColourOverEveryPixel) {
    std::vector<std::uint32_t> canvas = testing::patterned_canvas(21), want(canvas.size());
    for (std::size_t i = 0; i < canvas.size(); ++i) want[i] = testing::reference_blend(canvas[i], dimming_colour);
    dim_canvas(canvas.data());
    EXPECT_EQ(canvas, want);
}

// A view is drawn again exactly when its frame differs: after a change of any one field the
// renderer reads, and after none, the canvas equals a drawing from scratch. A clock that keeps
// the wing where it was changes nothing.
TEST(SceneCanvas, DrawsAgainExactlyWhenTheFrameDiffers) {
    const SceneView base{ViewPhase::Playing, 71.6f, -14.0f, 5.37f, 311.4f, 27, 31, {{108.6f, 70}, {288.6f, 95}, {468.6f, 58}}, 0};
    const std::tuple<const char*, std::function<void(SceneView&)>, bool> changes[] = {
        {"nothing", [](SceneView&) {}, false},
        {"the clock within one wing position", [](SceneView& v) { v.anim_clock += 0.01f; }, false},
        {"the clock to the next wing position", [](SceneView& v) { v.anim_clock += 0.1f; }, true},
        {"the phase", [](SceneView& v) { v.phase = ViewPhase::Paused; }, true},
        {"the height", [](SceneView& v) { v.bird_y += 0.25f; }, true},
        {"the angle", [](SceneView& v) { v.bird_angle = 0.0f; }, true},
        {"the scroll", [](SceneView& v) { v.scroll += 1.0f; }, true},
        {"the score", [](SceneView& v) { v.score += 1; }, true},
        {"the best", [](SceneView& v) { v.best += 1; }, true},
        {"the exit ring", [](SceneView& v) { v.exit_progress = 400; }, true},
        {"a pipe's column", [](SceneView& v) { v.pipes[1].x -= 0.5f; }, true},
        {"a pipe's gap", [](SceneView& v) { v.pipes[2].gap_y += 1.0f; }, true},
        {"one pipe fewer", [](SceneView& v) { v.pipes.pop_back(); }, true},
    };
    for (const auto& [name, change, redrawn] : changes) {
        SceneView next = base;
        change(next);
        SceneCanvas scene;
        Canvas32 canvas(canvas_pixel_count), fresh(canvas_pixel_count);
        ASSERT_TRUE(scene.draw(base, canvas.data(), canvas.size()));
        EXPECT_EQ(scene.draw(next, canvas.data(), canvas.size()), redrawn) << name;
        EXPECT_EQ(same_frame(base, next), !redrawn) << name;
        render_scene(next, fresh.data(), fresh.size());
        EXPECT_TRUE(canvas == fresh) << name;
    }
}

}  // namespace
}  // namespace skimbo
