// Writes a replay that shows every screen of the game for the README pictures: the ready bob, a start tap,
// a few pipes flown by the autopilot, a pause and its resume, a crash, game over, and an exit hold. It
// follows the session's own frame schedule on the virtual clock, so the program started with the same
// seed and --virtual-clock plays exactly this run.
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "autoplay/flight.h"

namespace {

using namespace skimbo::autoplay;
using skimbo::Game;
using skimbo::GamePhase;

constexpr std::uint64_t start_frame = 60;    // 1000 ms of the ready bob
constexpr std::uint64_t pause_frames = 42;   // 700 ms
constexpr std::uint32_t exit_hold_delay_ms = 600;
constexpr std::uint64_t last_frame = 60 * 120;

void print_tap(std::uint64_t frame, int x, int y) {
    unsigned t = frame_ms(frame);
    std::printf("%u 1 %d %d\n%u 0 %d %d\n", t, x, y, t, x, y);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: screenshot_replay SEED PIPES > file.replay\n");
        return 2;
    }
    const auto seed = static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10));
    std::optional<Flight> flight = plan_flight(seed, start_frame, std::atoi(argv[2]), last_frame);
    if (!flight) {
        std::fprintf(stderr, "no flight found for seed %u\n", seed);
        return 1;
    }
    for (std::uint64_t frame : flight->tap_frames) print_tap(frame, 320, 86);
    const std::uint64_t pause_frame = flight->scored_frame + 1, resume_frame = pause_frame + pause_frames;
    print_tap(pause_frame, 620, 20);   // the pause corner
    print_tap(resume_frame, 320, 86);  // a tap resumes a paused game; no tap follows, so the bird falls

    // The same run on our own game, to find when it is over.
    Game game;
    game.init(seed);
    std::size_t next_tap = 0;
    for (std::uint64_t frame = 0; frame < last_frame; ++frame) {
        const GamePhase before = game.phase;
        if (next_tap < flight->tap_frames.size() && flight->tap_frames[next_tap] == frame) game.boost(), ++next_tap;
        if (frame == pause_frame || frame == resume_frame) game.toggle_pause();
        advance_frame(game, frame, before);
        if (game.phase == GamePhase::game_over) {
            std::printf("%u 1 10 10\n", frame_ms(frame) + exit_hold_delay_ms);  // held in the exit corner
            std::fprintf(stderr, "game over at %u ms with score %d\n", frame_ms(frame), game.score);
            return 0;
        }
    }
    std::fprintf(stderr, "the run never reached game over\n");
    return 1;
}
