// The turned bird's share of a played frame on a machine without callgrind: the process's CPU
// time over the frames of a played session, each drawn whole and then the bird alone. The
// views are the session's own: the game of the seed advanced frame by frame on the virtual
// clock, every press of the replay a tap (the autopilot's replays press only the middle of
// the canvas until the run ends). Under qemu's -icount shift=0 a nanosecond is an
// instruction, so on the emulated device the figures are instruction counts.
// Usage: skimbo-bird-share-probe REPLAY SEED FRAMES
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "app/scene_view.h"
#include "game/game.h"
#include "input/replay.h"
#include "render/scene.h"
#include "render/scene_parts.h"

namespace {

using namespace skimbo;

double cpu_ns() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

std::vector<SceneView> played_views(const std::vector<ReplayEvent>& events, std::uint32_t seed, int frames) {
    Game game;
    game.init(seed);
    std::vector<SceneView> views(static_cast<std::size_t>(frames));
    std::size_t next = 0;
    std::uint32_t previous_ms = 0;
    for (int frame = 0; frame < frames; ++frame) {
        const auto ms = static_cast<std::uint32_t>(frame * 1000LL / 60);
        for (; next < events.size() && events[next].t_ms <= ms; ++next)
            if (events[next].down) game.boost();
        game.advance((ms - previous_ms) / 1000.0);
        previous_ms = ms;
        fill_scene_view(game, 0, views[static_cast<std::size_t>(frame)]);
    }
    return views;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: skimbo-bird-share-probe REPLAY SEED FRAMES\n");
        return 2;
    }
    std::stringstream text;
    text << std::ifstream(argv[1]).rdbuf();
    const auto seed = static_cast<std::uint32_t>(std::atol(argv[2]));
    const auto views = played_views(parse_replay(text.str()), seed, std::atoi(argv[3]));
    std::vector<std::uint32_t> canvas(canvas_pixel_count);
    const double start = cpu_ns();
    for (const SceneView& view : views) render_scene(view, canvas.data(), canvas.size());
    const double frames_done = cpu_ns();
    for (const SceneView& view : views) draw_bird(canvas.data(), view);
    const double birds_done = cpu_ns();
    const auto count = static_cast<double>(views.size());
    const double frame = (frames_done - start) / count, bird = (birds_done - frames_done) / count;
    std::printf("bird-share frame_ns=%.0f bird_ns=%.0f share=%.1f%%\n", frame, bird, 100.0 * bird / frame);
    return 0;
}
