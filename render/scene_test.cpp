// Scene geometry that holds whatever the art looks like: checked against the art's
// own pixels placed by hand, or by which pixels a step changes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "render/assets.h"
#include "render/blend.h"
#include "render/render_test_support.h"
#include "render/scene.h"
#include "render/scene_parts.h"

namespace skimbo {
namespace {

using Canvas32 = std::vector<std::uint32_t>;
constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

std::uint32_t at(const Canvas32& c, int x, int y) { return c[y * canvas_width + x]; }

// Rows in which any pixel differs between two canvases.
std::vector<int> changed_rows(const Canvas32& a, const Canvas32& b) {
    std::vector<int> rows;
    for (int y = 0; y < canvas_height; ++y)
        for (int x = 0; x < canvas_width; ++x)
            if (at(a, x, y) != at(b, x, y)) {
                rows.push_back(y);
                break;
            }
    return rows;
}

TEST(SceneOffsets, FollowTheScrollIncludingNegativeAndHugeValues) {
    struct Case {
        float scroll;
        int backdrop, cloud, ground;
    };
    const Case cases[] = {
        {0, 0, 0, 0},          {100, 12, 23, 100},      {639.9f, 76, 147, 235},  {-1, 0, 0, 403},
        {-100, 628, 737, 304}, {1e9f, 0, 440, 212},     {-1e9f, 0, 320, 192},    {nan, 0, 0, 0},
        {inf, 0, 0, 0},        {-inf, 0, 0, 0},         {3e38f, 512, 504, 324},  {5000, 600, 390, 152},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(backdrop_offset(c.scroll), c.backdrop) << c.scroll;
        EXPECT_EQ(cloud_offset(c.scroll), c.cloud) << c.scroll;
        EXPECT_EQ(ground_offset(c.scroll), c.ground) << c.scroll;
    }
}

TEST(SceneBackdrop, CopiesTheShiftedImageWithAClearTopByte) {
    for (float scroll : {0.0f, 100.0f, -250.0f, 5000.0f}) {
        Canvas32 canvas = testing::patterned_canvas();
        draw_backdrop(canvas.data(), scroll);
        int o = backdrop_offset(scroll);
        for (int y = 0; y < 158; ++y)
            for (int x = 0; x < canvas_width; ++x)
                ASSERT_EQ(at(canvas, x, y), backdrop_image.pixels[y * 640 + (o + x) % 640] & 0x00FFFFFF) << x << "," << y;
        EXPECT_EQ(changed_rows(canvas, testing::patterned_canvas()).back(), 157);
    }
}

TEST(SceneClouds, StandAtTheirScrolledColumns) {
    struct Case {
        float scroll;
        int x[3];
    };
    for (Case c : {Case{0, {-4, 259, 522}}, Case{100, {-27, 236, 499}}, Case{-10, {-2, 261, 524}}}) {
        Canvas32 got = testing::patterned_canvas(), want = got;
        draw_clouds(got.data(), c.scroll);
        const int ys[3] = {37, 15, 37};
        for (int i = 0; i < 3; ++i) testing::reference_blit(want, sprite_table[cloud_sprite], c.x[i], ys[i], 0, 158);
        EXPECT_EQ(got, want) << c.scroll;
    }
}

// A pipe drawn by hand: body row 40 on every row of [r0, r1), the cap in that window.
void reference_pipe(Canvas32& c, int x, int top, int bottom, bool cap_at_bottom) {
    int r0 = std::max(top, 0), r1 = std::min(bottom, 158);
    for (int row = r0; row < r1; ++row)
        for (int i = 0; i < 36; ++i)
            if (x + i >= 0 && x + i < 640) {
                std::uint32_t& d = c[row * 640 + x + i];
                d = testing::reference_blend(d, pipe_body_image.pixels[40 * 36 + i]);
            }
    testing::reference_blit(c, sprite_table[pipe_cap_sprite], x, cap_at_bottom ? bottom - 12 : top, r0, r1);
}

TEST(ScenePipes, PairsLeaveA68RowGapWithCapsAtTheOpenEnds) {
    struct Case {
        float x, gap_y;
        int xi, gi;
    };
    for (Case c : {Case{100, 50, 100, 50}, Case{100.5f, 49.5f, 101, 50}, Case{-35.4f, 80, -35, 80}, Case{620.2f, 100, 620, 100},
                   Case{300, -900, 300, -900}, Case{300, 5000, 300, 1000}, Case{300, 150, 300, 150}}) {
        Canvas32 got = testing::patterned_canvas(), want = got;
        draw_pipe_pair(got.data(), c.x, c.gap_y);
        reference_pipe(want, c.xi, 0, c.gi - 34, true);
        reference_pipe(want, c.xi, c.gi + 34, 158, false);
        EXPECT_EQ(got, want) << c.x << "," << c.gap_y;
    }
}

TEST(ScenePipes, GapAt50CoversRows0To15And84On) {
    Canvas32 base = testing::patterned_canvas(), upper = base, lower = base;
    draw_pipe(upper.data(), 100, 0, 16, true);
    draw_pipe(lower.data(), 100, 84, 158, false);
    std::vector<int> up = changed_rows(base, upper), low = changed_rows(base, lower);
    EXPECT_EQ(up.front(), 0);
    EXPECT_EQ(up.back(), 15);
    EXPECT_EQ(low.front(), 84);
    EXPECT_EQ(low.back(), 157);
    // The caps: rows 4-15 of the upper pipe and 84-95 of the lower one are the cap's rows.
    for (int i = 0; i < 36; ++i) {
        std::uint32_t cap_top = sprite_table[pipe_cap_sprite].pixels[i];
        EXPECT_EQ(at(upper, 100 + i, 4), testing::reference_blend(testing::reference_blend(at(base, 100 + i, 4),
                                                                                           pipe_body_image.pixels[40 * 36 + i]),
                                                                  cap_top));
        EXPECT_EQ(at(lower, 100 + i, 84), testing::reference_blend(testing::reference_blend(at(base, 100 + i, 84),
                                                                                            pipe_body_image.pixels[40 * 36 + i]),
                                                                   cap_top));
    }
}

TEST(ScenePipes, OffscreenAndUnusablePipesAreSkipped) {
    Canvas32 base = testing::patterned_canvas();
    for (float x : {-36.5f, 640.0f, 639.6f, -36.0f, nan, inf, -inf, 1e30f, -1e30f}) {
        Canvas32 canvas = base;
        draw_pipe_pair(canvas.data(), x, 80);
        EXPECT_EQ(canvas, base) << x;
    }
    for (float gap : {nan, inf, -inf}) {
        Canvas32 canvas = base;
        draw_pipe_pair(canvas.data(), 300, gap);
        EXPECT_EQ(canvas, base) << gap;
    }
    Canvas32 edge = base;
    draw_pipe_pair(edge.data(), 639.4f, 80);  // rounds to 639: the cap's first column shows
    EXPECT_NE(edge, base);
}

TEST(SceneBird, RowRangesAndTheNonFiniteFallback) {
    struct Case {
        float y;
        bool drawn;
        int first, last;
    };
    for (Case c : {Case{79, true, 60, 98}, Case{79.5f, true, 60, 99}, Case{nan, true, 60, 98}, Case{inf, true, 60, 98},
                   Case{-40, false, 0, 0}, Case{212, false, 0, 0}, Case{-39.5f, true, 0, -20}, Case{150, true, 131, 158},
                   Case{5, true, 0, 24}, Case{1e30f, false, 0, 0}}) {
        std::optional<BirdRows> rows = bird_rows(c.y);
        ASSERT_EQ(rows.has_value(), c.drawn) << c.y;
        if (!rows) continue;
        EXPECT_EQ(rows->first, c.first) << c.y;
        EXPECT_EQ(rows->last, c.last) << c.y;
    }
}

TEST(SceneBird, WingFrameFollowsTheClock) {
    struct Case {
        float clock;
        ViewPhase phase;
        int sprite;
    };
    for (Case c : {Case{0, ViewPhase::Playing, 112}, Case{0.25f, ViewPhase::Playing, 114}, Case{0.25f, ViewPhase::GameOver, 110},
                   Case{0.35f, ViewPhase::GameOver, 111}, Case{0.39f, ViewPhase::Ready, 115}, Case{0.4f, ViewPhase::Paused, 112},
                   Case{-0.15f, ViewPhase::Playing, 115}, Case{-0.05f, ViewPhase::Playing, 112}, Case{nan, ViewPhase::Playing, 112},
                   Case{3e38f, ViewPhase::Playing, 112}, Case{-inf, ViewPhase::GameOver, 110}}) {
        EXPECT_EQ(bird_sprite_index(c.clock, c.phase), c.sprite) << c.clock;
    }
}

// Level and on a whole row, the turn is the identity and the samples land on pixel
// centres, so the bird is its frame copied to (137, y - 10).
TEST(SceneBird, UnturnedBirdOnAWholeRowIsAnExactCopy) {
    for (float angle : {0.0f, 360.0f, -720.0f, nan, inf}) {
        for (float y : {79.0f, 150.0f, 10.0f}) {
            SceneView view;
            view.bird_y = y;
            view.bird_angle = angle;
            view.anim_clock = 0.25f;
            Canvas32 got = testing::patterned_canvas(), want = got;
            draw_bird(got.data(), view);
            testing::reference_blit(want, sprite_table[114], 137, static_cast<int>(y) - 10, 0, 158);
            EXPECT_EQ(got, want) << angle << " " << y;
        }
    }
}

TEST(SceneBird, StaysWithinItsRows) {
    for (float angle : {0.0f, 33.0f, 90.0f, -45.0f, 180.0f}) {
        for (float y : {150.0f, 0.5f, 100.25f}) {
            SceneView view;
            view.bird_y = y;
            view.bird_angle = angle;
            Canvas32 base = testing::patterned_canvas(), canvas = base;
            draw_bird(canvas.data(), view);
            std::vector<int> rows = changed_rows(base, canvas);
            ASSERT_FALSE(rows.empty());
            EXPECT_GE(rows.front(), bird_rows(y)->first);
            EXPECT_LT(rows.back(), bird_rows(y)->last);
        }
    }
    SceneView gone;
    gone.bird_y = 212;
    Canvas32 base = testing::patterned_canvas(), canvas = base;
    draw_bird(canvas.data(), gone);
    EXPECT_EQ(canvas, base);
}

TEST(SceneGround, BlendsTheStripOverItsBaseColours) {
    for (float scroll : {0.0f, 100.0f, -1.0f}) {
        Canvas32 canvas = testing::patterned_canvas();
        draw_ground(canvas.data(), scroll);
        int g = ground_offset(scroll);
        for (int y = 158; y < 172; ++y)
            for (int x = 0; x < 640; ++x) {
                std::uint32_t base = y < 162 ? 0x83B34F : 0x99744D;
                ASSERT_EQ(at(canvas, x, y), testing::reference_blend(base, ground_strip.pixels[(y - 158) * 404 + (g + x) % 404]));
            }
    }
}

TEST(SceneDimming, MatchesTheBlendOnEveryPixel) {
    Canvas32 canvas = testing::patterned_canvas(21), want = canvas;
    for (std::uint32_t& p : canvas) p &= 0x00FFFFFF;
    for (std::uint32_t& p : want) p = testing::reference_blend(p & 0x00FFFFFF, 0x4D061A20);
    dim_canvas(canvas.data());
    EXPECT_EQ(canvas, want);
}

SceneView still_view(ViewPhase phase) {
    SceneView v;
    v.phase = phase;
    v.bird_y = 79;
    v.scroll = 120;
    v.pipes = {{200, 70}, {380, 95}};
    return v;
}

Canvas32 render(const SceneView& v) {
    Canvas32 c(canvas_pixel_count, 0);
    render_scene(v, c.data(), c.size());
    return c;
}

// The paused frame is the playing world under the veil, with the interface on top.
TEST(SceneDimming, AppliesToTheWorldButNotTheInterface) {
    SceneView playing = still_view(ViewPhase::Playing), paused = still_view(ViewPhase::Paused), ready = still_view(ViewPhase::Ready);
    paused.exit_progress = ready.exit_progress = 1000;
    Canvas32 world = render(playing), still = render(paused), bright = render(ready);
    for (auto [x, y] : {std::pair{600, 150}, std::pair{320, 165}, std::pair{100, 30}, std::pair{630, 100}})
        EXPECT_EQ(at(still, x, y), testing::reference_blend(at(world, x, y), 0x4D061A20)) << x << "," << y;
    // The play button (drawn the same in Ready and Paused), the close button and the ring.
    for (auto [x, y] : {std::pair{320, 125}, std::pair{305, 125}, std::pair{22, 20}, std::pair{22, 3}, std::pair{39, 20}})
        EXPECT_EQ(at(still, x, y), at(bright, x, y)) << x << "," << y;
}

TEST(SceneExitRing, SweepsClockwiseFromTwelve) {
    constexpr std::uint32_t red = 0xD7463D, grey = 0x649CA4;
    struct Probe {
        int x, y;
        std::uint32_t at500, at1000;
    };
    const Probe probes[] = {
        {22, 3, red, red},    // just right of twelve o'clock
        {21, 3, grey, red},   // just left of it
        {39, 20, red, red},   // three o'clock
        {22, 37, red, red},   // just right of six o'clock: angle pi - 0.029
        {21, 37, grey, red},  // just left of it: angle pi + 0.029
        {4, 20, grey, red},   // nine o'clock
    };
    for (int progress : {500, 1000, 5000}) {
        Canvas32 canvas(canvas_pixel_count, 0);
        draw_exit_ring(canvas.data(), progress);
        for (const Probe& p : probes) EXPECT_EQ(at(canvas, p.x, p.y), progress == 500 ? p.at500 : p.at1000) << p.x << "," << p.y;
        // Partial cover near the inner edge: |sqrt(240.5) - 17| leaves 0.108 -> alpha 27.
        EXPECT_EQ(at(canvas, 22, 4), premultiply(red, 27) & 0x00FFFFFF);
        EXPECT_EQ(at(canvas, 22, 20), 0u);  // the centre stays clear
    }
    for (int progress : {0, -1, -2147483647 - 1}) {
        Canvas32 base = testing::patterned_canvas(), canvas = base;
        draw_exit_ring(canvas.data(), progress);
        EXPECT_EQ(canvas, base);
    }
    Canvas32 tiny(canvas_pixel_count, 0);
    draw_exit_ring(tiny.data(), 1);  // 0.0063 rad: only the pixels hugging twelve o'clock turn red
    EXPECT_EQ(at(tiny, 22, 3), grey);
}

TEST(SceneExitRing, StaysInsideItsSquare) {
    Canvas32 base(canvas_pixel_count, 0), canvas = base;
    draw_exit_ring(canvas.data(), 700);
    for (int y = 0; y < canvas_height; ++y)
        for (int x = 0; x < canvas_width; ++x)
            ASSERT_TRUE(at(canvas, x, y) == 0 || (x >= 3 && x <= 41 && y >= 2 && y <= 38)) << x << "," << y;
}

TEST(SceneRoundClamp, RoundsHalvesAwayFromZeroAfterClamping) {
    struct Case {
        float v;
        int lo, hi, want;
    };
    for (Case c : {Case{0.5f, -36, 640, 1}, Case{-0.5f, -36, 640, -1}, Case{639.6f, -36, 640, 640}, Case{-36.4f, -36, 640, -36},
                   Case{2.4999f, 0, 9, 2}, Case{nan, -5, 5, 0}, Case{inf, -1000, 1000, 0}, Case{1e30f, -1000, 1000, 1000},
                   Case{-1e30f, -1000, 1000, -1000}, Case{nan, 10, 20, 10}}) {
        EXPECT_EQ(round_clamp(c.v, c.lo, c.hi), c.want) << c.v;
    }
}

}  // namespace
}  // namespace skimbo
