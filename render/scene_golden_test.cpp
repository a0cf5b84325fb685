// Whole frames against recorded checksums, and frames from hostile views.
//
// The checksums change whenever the art or the composition changes. After a change
// made on purpose, print the new table and paste it below:
//   SKIMBO_PRINT_GOLDENS=1 build/render/scene_golden_test --gtest_filter='*Golden*'
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "render/render_test_support.h"
#include "render/scene.h"

namespace skimbo {
namespace {

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

struct GoldenView {
    const char* name;
    SceneView view;
    std::uint64_t checksum;
};

SceneView make(ViewPhase phase, float scroll, float bird_y, float angle, float clock, std::int32_t score, std::int32_t best,
               std::int32_t exit_progress) {
    SceneView v;
    v.phase = phase;
    v.scroll = scroll;
    v.bird_y = bird_y;
    v.bird_angle = angle;
    v.anim_clock = clock;
    v.score = score;
    v.best = best;
    v.exit_progress = exit_progress;
    v.pipes = {{420 - scroll, 70}, {600 - scroll, 95}, {780 - scroll, 58}, {960 - scroll, 80}};
    return v;
}

std::vector<GoldenView> golden_views() {
    return {
        {"ready", make(ViewPhase::Ready, 0, 79, 0, 0, 0, 0, 0), 0xB4CBEBB84AFBD0C1},
        {"ready-bob", make(ViewPhase::Ready, 37.5f, 81.7f, 0, 1.3f, 0, 12, 0), 0xCD3A541ED1D17F8E},
        {"playing-climb", make(ViewPhase::Playing, 240.25f, 64.3f, -20, 2.05f, 3, 9, 0), 0x9DC37ED03BA9E09C},
        {"playing-dive", make(ViewPhase::Playing, 611.8f, 120.9f, 57.5f, 7.77f, 128, 128, 0), 0xDD2A0FDD02E87899},
        {"dying", make(ViewPhase::Playing, 402, 140, 90, 9.1f, 7, 7, 0), 0x7731E0B45E313F38},
        {"paused", make(ViewPhase::Paused, 333.3f, 70, -8, 4.44f, 5, 11, 0), 0x742B4DA806609637},
        {"game-over", make(ViewPhase::GameOver, 150, 148, 90, 12.34f, 17, 42, 0), 0xB3167BD3F61C5490},
        {"game-over-max", make(ViewPhase::GameOver, 639.99f, 148, 90, 0.15f, 1234567, 999999, 0), 0x55B289212CB45055},
        {"exit-hold-half", make(ViewPhase::Ready, 0, 79, 0, 0, 0, 0, 500), 0x73CD99D50A2C8AB5},
        {"exit-hold-playing", make(ViewPhase::Playing, 90, 50, 10, 0.35f, 21, 30, 333), 0xDAB27B7B01C0B6AA},
        {"exit-hold-full", make(ViewPhase::GameOver, 10, 148, 90, 3, 2, 40, 1000), 0x9588763A83136626},
    };
}

std::uint64_t frame_checksum(const SceneView& view) {
    std::vector<std::uint32_t> canvas(canvas_pixel_count, 0xDEADBEEF);
    render_scene(view, canvas.data(), canvas.size());
    return testing::fnv1a(canvas);
}

TEST(SceneGolden, FramesMatchTheRecordedChecksums) {
    bool print = std::getenv("SKIMBO_PRINT_GOLDENS") != nullptr;
    for (const GoldenView& g : golden_views()) {
        std::uint64_t sum = frame_checksum(g.view);
        if (print) std::printf("%-20s 0x%016" PRIX64 "\n", g.name, sum);
        else EXPECT_EQ(sum, g.checksum) << g.name;
    }
}

// Every pixel of a frame is written and keeps a clear top byte, however odd the view.
void expect_complete_frame(const SceneView& view) {
    std::vector<std::uint32_t> canvas(canvas_pixel_count, 0xFFFFFFFF);
    render_scene(view, canvas.data(), canvas.size());
    for (std::uint32_t p : canvas) ASSERT_EQ(p >> 24, 0u);
}

TEST(SceneHostileViews, DrawCompleteFrames) {
    const float odd[] = {nan, inf, -inf, 1e30f, -1e30f, 3.4e38f, -0.0f, 1e-40f};
    for (ViewPhase phase : {ViewPhase::Ready, ViewPhase::Playing, ViewPhase::Paused, ViewPhase::GameOver})
        for (float v : odd) {
            SceneView view = make(phase, v, v, v, v, -5, -2147483647 - 1, 2147483647);
            view.pipes = {{v, v}, {v, 80}, {300, v}, {-36, v}, {639.6f, 1e30f}};
            expect_complete_frame(view);
        }
    SceneView crowd = make(ViewPhase::Playing, 10, 79, 0, 0, 2147483647, 0, -2147483647 - 1);
    for (int i = 0; i < 5000; ++i) crowd.pipes.push_back({static_cast<float>(i % 700) - 40.5f, static_cast<float>(i % 300) - 100});
    expect_complete_frame(crowd);
    expect_complete_frame(make(static_cast<ViewPhase>(77), 0, 79, 0, 0, 0, 0, 0));
}

TEST(SceneHostileViews, ShortOrMissingCanvasIsLeftAlone) {
    SceneView view = make(ViewPhase::Playing, 0, 79, 0, 0, 1, 1, 500);
    std::vector<std::uint32_t> short_canvas(canvas_pixel_count - 1, 7);
    render_scene(view, short_canvas.data(), short_canvas.size());
    EXPECT_EQ(short_canvas, std::vector<std::uint32_t>(canvas_pixel_count - 1, 7));
    render_scene(view, nullptr, canvas_pixel_count);
}

// Only the first 128 pipes are considered; the rest leave no mark.
TEST(SceneHostileViews, PipesBeyondTheFirst128AreIgnored) {
    SceneView few = make(ViewPhase::Playing, 0, 79, 0, 0, 0, 0, 0);
    few.pipes.assign(128, PipeView{-100, 80});
    SceneView many = few;
    many.pipes.push_back({300, 80});
    EXPECT_EQ(frame_checksum(few), frame_checksum(many));
    few.pipes.back() = {300, 80};
    EXPECT_NE(frame_checksum(few), frame_checksum(many));
}

}  // namespace
}  // namespace skimbo
