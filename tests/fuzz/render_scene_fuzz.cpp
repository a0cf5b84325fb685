// Arbitrary scene views (any float bits, NaN and infinities too, any number of pipes) drawn
// into a heap canvas exactly as large as the renderer is told, so that a stray access lands
// outside it. A canvas too small is left alone; a full one is overwritten whole.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cstdlib>
#include <vector>

#include "render/scene.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    auto any_float = [&in] {
        if (in.ConsumeBool()) return std::bit_cast<float>(in.ConsumeIntegral<std::uint32_t>());
        return in.ConsumeFloatingPointInRange<float>(-2000.0f, 2000.0f);
    };
    skimbo::SceneView view;
    view.phase = static_cast<skimbo::ViewPhase>(in.ConsumeIntegralInRange<std::uint32_t>(1, 4));
    view.bird_y = any_float(), view.bird_angle = any_float(), view.anim_clock = any_float(), view.scroll = any_float();
    view.score = in.ConsumeIntegral<std::int32_t>(), view.best = in.ConsumeIntegral<std::int32_t>();
    view.exit_progress = in.ConsumeIntegral<std::int32_t>();
    const bool too_small = in.ConsumeIntegralInRange(0, 15) == 0;
    std::vector<std::uint32_t> canvas(too_small ? in.ConsumeIntegralInRange(0, 110079) : 110080, 0xFF000000u);
    view.pipes.resize(in.ConsumeIntegralInRange(0, 300));
    for (skimbo::PipeView& pipe : view.pipes) pipe = {any_float(), any_float()};
    skimbo::render_scene(view, canvas.data(), canvas.size());
    for (std::uint32_t word : canvas)
        if ((word >> 24) != (too_small ? 0xFFu : 0u)) std::abort();
    return 0;
}
