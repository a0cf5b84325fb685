// Time of one frame for each phase of the game, beside the floor of copying the whole
// canvas once; compare them as ratios measured in the same run.
#include <benchmark/benchmark.h>

#include <vector>

#include "render/canvas.h"
#include "render/scene.h"

namespace {

using namespace skimbo;

SceneView view_for(ViewPhase phase) {
    SceneView v;
    v.phase = phase;
    v.scroll = 311.4f;
    v.bird_y = phase == ViewPhase::GameOver ? 148.0f : 71.6f;
    v.bird_angle = phase == ViewPhase::GameOver ? 90.0f : -14.0f;
    v.anim_clock = 5.37f;
    v.score = 27;
    v.best = 31;
    v.pipes = {{108.6f, 70}, {288.6f, 95}, {468.6f, 58}, {648.6f, 80}};
    return v;
}

void render_phase(benchmark::State& state, ViewPhase phase, int exit_progress) {
    std::vector<std::uint32_t> canvas(canvas_pixel_count);
    SceneView view = view_for(phase);
    view.exit_progress = exit_progress;
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

}  // namespace

