// Presentation on the qualified panel, each case beside a plain copy of the canvas measured in
// the same run: the copy is the floor any per-frame pass over the canvas can reach.
#include <benchmark/benchmark.h>
#include <sys/mman.h>

#include <memory>
#include <random>
#include <stdexcept>

#include "display/present.h"

namespace {

using skimbo::Canvas;

// The panel's memory as an anonymous shared mapping, so that fb_close releases it as it would
// the device's.
void attach_memory_panel(skimbo::Framebuffer& fb, skimbo::ChannelField red, skimbo::ChannelField blue) {
    fb.xres = 172;
    fb.yres = 640;
    fb.bpp = 16;
    fb.line_length = 344;
    fb.red = red;
    fb.green = {5, 6};
    fb.blue = blue;
    fb.map_len = 640 * 344;
    void* memory = mmap(nullptr, fb.map_len, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) throw std::runtime_error("mmap");
    fb.map = static_cast<std::uint8_t*>(memory);
    fb.shadow_rows = std::make_unique<std::uint8_t[]>(640 * 344);
    fb.row_buf = std::make_unique<std::uint8_t[]>(344);
    fb.force_full = 1;
}

std::unique_ptr<Canvas> random_canvas() {
    std::mt19937 random(42);
    auto canvas = std::make_unique<Canvas>();
    for (std::uint32_t& pixel : *canvas) pixel = random() & 0x00FFFFFF;
    return canvas;
}

skimbo::RotationMap panel_rotation() {
    skimbo::RotationMap rotation;
    rotation.init(172, 640, 270);
    return rotation;
}

// Every row converted and written: the first frame after open.
void BM_PresentFullFrame(benchmark::State& state) {
    skimbo::Framebuffer fb;
    attach_memory_panel(fb, {11, 5}, {0, 5});
    const auto canvas = random_canvas();
    const skimbo::RotationMap rotation = panel_rotation();
    for (auto _ : state) {
        fb.force_full = 1;
        skimbo::fb_present(fb, *canvas, rotation);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sizeof(Canvas)));
}
BENCHMARK(BM_PresentFullFrame);

// A still picture (a paused game): every row converted and compared, none written.
void BM_PresentUnchangedFrame(benchmark::State& state) {
    skimbo::Framebuffer fb;
    attach_memory_panel(fb, {11, 5}, {0, 5});
    const auto canvas = random_canvas();
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
    const auto canvas = random_canvas();
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
    const auto canvas = random_canvas();
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
