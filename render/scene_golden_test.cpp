// Whole frames against recorded checksums, and frames from hostile views. The frames of played
// sessions are checked by the golden replayed session (tests/e2e/session_e2e_test).
//
// The checksums change whenever the art or the composition changes. After a change made on
// purpose, print the new table and paste it below:
//   SKIMBO_PRINT_GOLDENS=1 build/render/render_test --gtest_filter='*Golden*'
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "render/render_test_support.h"
#include "render/scene.h"

namespace skimbo {
namespace {

SceneView make(ViewPhase phase, float scroll, float bird_y, float angle, float clock, std::int32_t score, std::int32_t best,
               std::int32_t exit_progress) {
    return SceneView{phase, bird_y, angle, clock, scroll, score, best,
                     {{420 - scroll, 70}, {600 - scroll, 95}, {780 - scroll, 58}, {960 - scroll, 80}}, exit_progress};
}

std::uint64_t frame_checksum(const SceneView& view) {
    std::vector<std::uint32_t> canvas(canvas_pixel_count, 0xDEADBEEF);
    render_scene(view, canvas.data(), canvas.size());
    return testing::fnv1a(canvas);
}

TEST(SceneGolden, FramesMatchTheRecordedChecksums) {
    SceneView edges = make(ViewPhase::Playing, 0, 79, 0, 0, 0, 0, 1);  // a pipe's first column, a sliver of ring
    edges.pipes = {{639.4f, 80}, {-35.4f, 20}, {300, 150}};
    const struct {
        const char* name;
        SceneView view;
        std::uint64_t checksum;
    } goldens[] = {
        {"ready", make(ViewPhase::Ready, 0, 79, 0, 0, 0, 0, 0), 0xB4CBEBB84AFBD0C1},
        {"playing-climb", make(ViewPhase::Playing, 240.25f, 64.3f, -20, 2.05f, 3, 9, 0), 0x9DC37ED03BA9E09C},
        {"playing-dive", make(ViewPhase::Playing, 611.8f, 120.9f, 57.5f, 7.77f, 128, 128, 0), 0xDD2A0FDD02E87899},
        {"dying", make(ViewPhase::Playing, 402, 140, 90, 9.1f, 7, 7, 0), 0x7731E0B45E313F38},
        {"game-over", make(ViewPhase::GameOver, 150, 148, 90, 12.34f, 17, 42, 0), 0xB3167BD3F61C5490},
        {"game-over-max", make(ViewPhase::GameOver, 639.99f, 148, 90, 0.15f, 1234567, 999999, 0), 0x55B289212CB45055},
        {"exit-hold-playing", make(ViewPhase::Playing, 90, 50, 10, 0.35f, 21, 30, 333), 0xDAB27B7B01C0B6AA},
        {"exit-hold-full", make(ViewPhase::GameOver, 10, 148, 90, 3, 2, 40, 1000), 0x9588763A83136626},
        {"edges", edges, 0x3E869E88317CFB37},
    };
    const bool print = std::getenv("SKIMBO_PRINT_GOLDENS") != nullptr;
    for (const auto& g : goldens) {
        const std::uint64_t sum = frame_checksum(g.view);
        if (print) std::printf("%-20s 0x%016" PRIX64 "\n", g.name, sum);
        else EXPECT_EQ(sum, g.checksum) << g.name;
    }
}

// However odd the view, every pixel is written and keeps a clear top byte; only the first 128
// pipes count, and a pipe with any unusable value draws nothing; a short or missing canvas is
// left alone.
TEST(SceneHostileViews, DrawCompleteFrames) {
    constexpr float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (ViewPhase phase : {ViewPhase::Ready, ViewPhase::Playing, ViewPhase::Paused, ViewPhase::GameOver, ViewPhase{77}})
        for (float v : {nan, inf, -inf, 1e30f, -1e30f, 3.4e38f, -0.0f, 1e-40f}) {
            SceneView view = make(phase, v, v, v, v, -5, -2147483647 - 1, 2147483647);
            view.pipes = {{v, v}, {v, 80}, {300, v}, {-36, v}, {639.6f, 1e30f}};
            std::vector<std::uint32_t> canvas(canvas_pixel_count, 0xFFFFFFFF);
            render_scene(view, canvas.data(), canvas.size());
            for (std::uint32_t p : canvas) ASSERT_EQ(p >> 24, 0u) << static_cast<int>(phase) << " " << v;
        }
    SceneView few = make(ViewPhase::Playing, 0, 79, 0, 0, 0, 0, 0), many = few;
    few.pipes.assign(128, PipeView{-100, 80});
    many.pipes = few.pipes;
    many.pipes.push_back({300, 80});
    EXPECT_EQ(frame_checksum(few), frame_checksum(many));
    SceneView unusable = few;
    unusable.pipes = {{300, nan}, {300, inf}, {nan, 80}, {-inf, 80}};
    few.pipes.clear();
    EXPECT_EQ(frame_checksum(unusable), frame_checksum(few));
    std::vector<std::uint32_t> short_canvas(canvas_pixel_count - 1, 7);
    render_scene(many, short_canvas.data(), short_canvas.size());
    render_scene(many, nullptr, canvas_pixel_count);
    EXPECT_EQ(short_canvas, std::vector<std::uint32_t>(canvas_pixel_count - 1, 7));
}

}  // namespace
}  // namespace skimbo
