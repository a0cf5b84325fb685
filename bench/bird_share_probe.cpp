// The turned bird's share of a played frame on a machine without callgrind: the process's CPU
// time over many frames of play, each drawn whole and then the bird alone, with the bird turned
// through the angles play gives it (20 degrees nose up to 90 nose down) at heights across the
// world. Under qemu's -icount shift=0 a nanosecond is an instruction, so on the emulated device
// the figures are instruction counts. Built by tools/perf-report for AArch64.
#include <time.h>

#include <cstdio>
#include <vector>

#include "bench/fixtures.h"
#include "render/scene.h"
#include "render/scene_parts.h"

namespace {

using namespace skimbo;

double cpu_ns() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

}  // namespace

int main() {
    std::vector<SceneView> views;
    for (int angle = -20; angle <= 90; angle += 5)
        for (float y : {40.3f, 71.6f, 102.9f, 131.1f}) {
            SceneView view = bench::phase_view(ViewPhase::Playing, 0);
            view.bird_angle = static_cast<float>(angle) + 0.37f;
            view.bird_y = y;
            views.push_back(view);
        }
    std::vector<std::uint32_t> canvas(canvas_pixel_count);
    constexpr int rounds = 20;
    const double start = cpu_ns();
    for (int r = 0; r < rounds; ++r)
        for (const SceneView& view : views) render_scene(view, canvas.data(), canvas.size());
    const double frames_done = cpu_ns();
    for (int r = 0; r < rounds; ++r)
        for (const SceneView& view : views) draw_bird(canvas.data(), view);
    const double birds_done = cpu_ns();
    const double calls = static_cast<double>(rounds) * static_cast<double>(views.size());
    const double frame = (frames_done - start) / calls, bird = (birds_done - frames_done) / calls;
    std::printf("bird-share frame_ns=%.0f bird_ns=%.0f share=%.1f%%\n", frame, bird, 100.0 * bird / frame);
    return 0;
}
