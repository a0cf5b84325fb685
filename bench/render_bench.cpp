// Time of one frame for each phase of the game, beside the floor of copying the whole
// canvas once; compare them as ratios measured in the same run.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/fixtures.h"
#include "render/canvas.h"
#include "render/scene.h"

namespace {

using namespace skimbo;

void render_phase(benchmark::State& state, ViewPhase phase, int exit_progress) {
    std::vector<std::uint32_t> canvas(canvas_pixel_count);
    const SceneView view = bench::phase_view(phase, exit_progress);
    for (auto _ : state) {
        render_scene(view, canvas.data(), canvas.size());
        benchmark::DoNotOptimize(canvas.data());
        benchmark::ClobberMemory();
    }
}

BENCHMARK_CAPTURE(render_phase, ready, ViewPhase::Ready, 0);
BENCHMARK_CAPTURE(render_phase, playing, ViewPhase::Playing, 0);
BENCHMARK_CAPTURE(render_phase, paused, ViewPhase::Paused, 0);
BENCHMARK_CAPTURE(render_phase, game_over, ViewPhase::GameOver, 0);
BENCHMARK_CAPTURE(render_phase, playing_exit_hold, ViewPhase::Playing, 500);

// A frame that stands still, as the session's canvas meets it: the view of the frame it shows.
void render_standing_still(benchmark::State& state, ViewPhase phase) {
    std::vector<std::uint32_t> canvas(canvas_pixel_count);
    const SceneView view = bench::phase_view(phase, 0);
    SceneCanvas scene;
    scene.draw(view, canvas.data(), canvas.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(scene.draw(view, canvas.data(), canvas.size()));
        benchmark::ClobberMemory();
    }
}

BENCHMARK_CAPTURE(render_standing_still, paused, ViewPhase::Paused);

}  // namespace
