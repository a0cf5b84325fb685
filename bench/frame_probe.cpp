// Runs one hot-path operation once, inside skimbo_probe_measured, so that callgrind can count
// the instructions of exactly that call (tools/perf-report collects only inside it).
// Usage: skimbo-frame-probe MEASURE; with no argument it lists the measures.
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/fixtures.h"
#include "display/present.h"
#include "hoststream/host_stream.h"
#include "render/scene.h"
#include "render/scene_parts.h"

namespace {

using namespace skimbo;

extern "C" __attribute__((noinline)) void skimbo_probe_measured(const std::function<void()>& operation) {
    operation();
    // Kept from becoming a tail call, so that leaving the function is seen where it returns
    // (tools/arm64-call-cost counts up to there).
    asm volatile("" ::: "memory");
}

// Warms up with one untimed call (the presentation cases need a frame on the panel before
// the one that counts), then counts one.
void measure(const std::function<void()>& warm_up, const std::function<void()>& operation) {
    warm_up();
    skimbo_probe_measured(operation);
}

void render(ViewPhase phase, int exit_progress) {
    std::vector<std::uint32_t> canvas(canvas_pixel_count);
    const SceneView view = bench::phase_view(phase, exit_progress);
    auto once = [&] { render_scene(view, canvas.data(), canvas.size()); };
    measure(once, once);
}

// The paused frame once more, after the canvas took it.
void render_standing_still() {
    std::vector<std::uint32_t> canvas(canvas_pixel_count);
    const SceneView view = bench::phase_view(ViewPhase::Paused, 0);
    SceneCanvas scene;
    measure([&] { scene.draw(view, canvas.data(), canvas.size()); },
            [&] { scene.draw(view, canvas.data(), canvas.size()); });
}

enum class Change { forced, all, none, one_pixel, bird_pixel };

// The counted presentation follows frames of its own kind, as it would in a run of them: the
// first frame after open and three frames more of the first canvas, then the second canvas
// (or the first again) presented, or forced; or four frames of a new canvas each, then one more.
// A pixel in the bird's columns changes with the renderer naming those columns, as it does
// when only the bird moved; the other pixel with nothing named.
void present(Change change) {
    Framebuffer fb;
    bench::attach_memory_panel(fb, {11, 5}, {0, 5});
    RotationMap rotation;
    rotation.init(172, 640, 270);
    const auto first = bench::random_canvas(42);
    const bool new_canvas = change == Change::forced || change == Change::all;
    const auto second = new_canvas ? bench::random_canvas(43) : std::make_unique<Canvas>(*first);
    if (change == Change::one_pixel) (*second)[300] ^= 0x00FFFFFF;
    if (change == Change::bird_pixel) (*second)[86 * canvas_width + 150] ^= 0x00FFFFFF;
    const ColumnSpan named = change == Change::bird_pixel ? ColumnSpan{bird_first_column, bird_last_column} : ColumnSpan{};
    measure(
        [&] {
            Canvas* other = change == Change::all ? second.get() : first.get();
            for (Canvas* canvas : {first.get(), other, first.get(), other}) fb_present(fb, *canvas, rotation);
        },
        [&] {
            fb.force_full = change == Change::forced;
            fb_present(fb, change == Change::all ? *first : *second, rotation, named);
        });
}

void write_frame() {
    bench::OutputToNull redirect;
    auto host = std::make_unique<HostStream>(true);
    const auto canvas = bench::random_canvas(5);
    auto once = [&] { host->write_frame(*canvas); };
    measure(once, once);
}

struct Measure {
    const char* name;
    std::function<void()> run;
};

const std::vector<Measure>& measures() {
    static const std::vector<Measure> all = {
        {"render-ready", [] { render(ViewPhase::Ready, 0); }},
        {"render-playing", [] { render(ViewPhase::Playing, 0); }},
        {"render-paused", [] { render(ViewPhase::Paused, 0); }},
        {"render-game-over", [] { render(ViewPhase::GameOver, 0); }},
        {"render-playing-exit-ring", [] { render(ViewPhase::Playing, 500); }},
        {"render-paused-standing-still", render_standing_still},
        {"present-full-conversion", [] { present(Change::forced); }},
        {"present-every-row-changed", [] { present(Change::all); }},
        {"present-unchanged-frame", [] { present(Change::none); }},
        {"present-one-changed-row", [] { present(Change::one_pixel); }},
        {"present-one-changed-bird-pixel", [] { present(Change::bird_pixel); }},
        {"write-frame", write_frame},
    };
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    for (const Measure& m : measures()) {
        if (argc == 1) std::printf("%s\n", m.name);
        else if (std::strcmp(argv[1], m.name) == 0) {
            m.run();
            return 0;
        }
    }
    if (argc == 1) return 0;
    std::fprintf(stderr, "skimbo-frame-probe: unknown measure %s\n", argv[1]);
    return 2;
}
