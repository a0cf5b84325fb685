// Arbitrary scene views (any float bits, so NaN and infinities too, and any number of pipes)
// drawn into a heap canvas exactly as large as the renderer is told: a stray access lands
// outside it for the sanitizers to see. Sometimes the canvas is too small and must be left
// alone; a full one must be overwritten whole, every word with its top byte clear.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cstdlib>
#include <vector>

#include "render/canvas.h"
#include "render/scene.h"

namespace {

float any_float(FuzzedDataProvider& in) {
    if (in.ConsumeBool()) return std::bit_cast<float>(in.ConsumeIntegral<std::uint32_t>());
    return in.ConsumeFloatingPointInRange<float>(-2000.0f, 2000.0f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    skimbo::SceneView view;
    view.phase = static_cast<skimbo::ViewPhase>(in.ConsumeIntegralInRange<std::uint32_t>(1, 4));
    view.bird_y = any_float(in);
    view.bird_angle = any_float(in);
    view.anim_clock = any_float(in);
    view.scroll = any_float(in);
    view.score = in.ConsumeIntegral<std::int32_t>();
    view.best = in.ConsumeIntegral<std::int32_t>();
    view.exit_progress = in.ConsumeIntegral<std::int32_t>();
    const bool too_small = in.ConsumeIntegralInRange(0, 15) == 0;
    const std::size_t pixels = too_small ? in.ConsumeIntegralInRange<std::size_t>(0, skimbo::canvas_pixel_count - 1)
                                         : skimbo::canvas_pixel_count;
    view.pipes.resize(in.ConsumeIntegralInRange<std::size_t>(0, 300));
    for (skimbo::PipeView& pipe : view.pipes) pipe = {any_float(in), any_float(in)};
    std::vector<std::uint32_t> canvas(pixels, 0xFFFFFFFFu);
    skimbo::render_scene(view, canvas.data(), canvas.size());
    const std::uint32_t untouched = too_small ? 0xFFFFFFFFu : 0;
    for (std::uint32_t word : canvas)
        if ((word & 0xFF000000u) != (untouched & 0xFF000000u)) std::abort();
    return 0;
}
