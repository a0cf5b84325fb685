// Presentation on the qualified panel, each case beside a plain copy of the canvas measured in
// the same run: the copy is the floor any per-frame pass over the canvas can reach.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/fixtures.h"
#include "display/present.h"

namespace {

using skimbo::Canvas;
using skimbo::bench::attach_memory_panel;
using skimbo::bench::random_canvas;

skimbo::RotationMap panel_rotation() {
    skimbo::RotationMap rotation;
    rotation.init(172, 640, 270);
    return rotation;
}

// Two canvases take turns, so that no pixel is ever the same as the frame before and every
// panel row is converted and written in every frame.
void present_alternating(benchmark::State& state, bool forced) {
    skimbo::Framebuffer fb;
    attach_memory_panel(fb, {11, 5}, {0, 5});
    const std::unique_ptr<Canvas> canvases[2] = {random_canvas(42), random_canvas(43)};
    const skimbo::RotationMap rotation = panel_rotation();
    int turn = 0;
    for (auto _ : state) {
        fb.force_full = forced;
        skimbo::fb_present(fb, *canvases[turn ^= 1], rotation);
        benchmark::ClobberMemory();
    }
    if (fb.rows_written != 640 * static_cast<std::uint64_t>(state.iterations()))
        state.SkipWithError("expected every row in every frame");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sizeof(Canvas)));
}

// The first frame after open: forced, converted straight into place.
void BM_PresentFullFrame(benchmark::State& state) { present_alternating(state, true); }
BENCHMARK(BM_PresentFullFrame);

// A frame of play: the scrolling world changes every panel row, without forcing.
void BM_PresentEveryRowChanged(benchmark::State& state) { present_alternating(state, false); }
BENCHMARK(BM_PresentEveryRowChanged);

// A still picture (a paused game): every row converted and compared, none written.
void BM_PresentUnchangedFrame(benchmark::State& state) {
    skimbo::Framebuffer fb;
    attach_memory_panel(fb, {11, 5}, {0, 5});
    const auto canvas = random_canvas(42);
    const skimbo::RotationMap rotation = panel_rotation();
    skimbo::fb_present(fb, *canvas, rotation);
    for (auto _ : state) {
        skimbo::fb_present(fb, *canvas, rotation);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sizeof(Canvas)));
}
BENCHMARK(BM_PresentUnchangedFrame);

// One canvas column changes each frame, so exactly one panel row is written.
void BM_PresentOneRowChange(benchmark::State& state) {
    skimbo::Framebuffer fb;
    attach_memory_panel(fb, {11, 5}, {0, 5});
    const auto canvas = random_canvas(42);
    const skimbo::RotationMap rotation = panel_rotation();
    skimbo::fb_present(fb, *canvas, rotation);
    for (auto _ : state) {
        (*canvas)[300] ^= 0x00FFFFFF;
        skimbo::fb_present(fb, *canvas, rotation);
        benchmark::ClobberMemory();
    }
    if (fb.rows_written != 640 + static_cast<std::uint64_t>(state.iterations()))
        state.SkipWithError("expected exactly one row per frame");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sizeof(Canvas)));
}
BENCHMARK(BM_PresentOneRowChange);

// The same full frame through the per-pixel path every other layout takes (blue and red
// swapped), to show what the panel's own loop saves.
void BM_PresentFullFrameOtherLayout(benchmark::State& state) {
    skimbo::Framebuffer fb;
    attach_memory_panel(fb, {0, 5}, {11, 5});
    const auto canvas = random_canvas(42);
    const skimbo::RotationMap rotation = panel_rotation();
    for (auto _ : state) {
        fb.force_full = 1;
        skimbo::fb_present(fb, *canvas, rotation);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sizeof(Canvas)));
}
BENCHMARK(BM_PresentFullFrameOtherLayout);

}  // namespace
