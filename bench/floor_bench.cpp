// The floor every hot path is quoted against: one memcpy of the whole canvas, measured in
// the same run, so that ratios stay meaningful on a shared, noisy machine.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "render/canvas.h"

namespace {

void BM_CanvasMemcpy(benchmark::State& state) {
    auto from = std::make_unique<skimbo::Canvas>();
    auto to = std::make_unique<skimbo::Canvas>();
    from->fill(0x123456);
    for (auto _ : state) {
        std::memcpy(to->data(), from->data(), sizeof(skimbo::Canvas));
        benchmark::DoNotOptimize(to->data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sizeof(skimbo::Canvas)));
}
BENCHMARK(BM_CanvasMemcpy);

}  // namespace
