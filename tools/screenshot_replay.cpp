// Writes a replay that shows every screen of the game for the README pictures: the ready bob, a start tap,
// a few pipes flown by a simple autopilot, a pause and its resume, a crash, game over, and an
// exit hold. It follows the session's own frame schedule on the virtual clock, so the program
// started with the same seed and --virtual-clock plays exactly this run.
#include <cstdio>
#include <cstdlib>

#include "game/game.h"

namespace {

using skimbo::Game;
using skimbo::GamePhase;

constexpr unsigned start_delay_ms = 1000;
constexpr unsigned pause_length_ms = 700;
constexpr unsigned exit_hold_delay_ms = 600;

unsigned frame_ms(unsigned frame) { return static_cast<unsigned>(frame * 1000ull / 60); }

// The nearest pipe whose right edge has not yet passed the bird.
const skimbo::Pipe* next_pipe(const Game& game) {
    const skimbo::Pipe* nearest = nullptr;
    for (const skimbo::Pipe& pipe : game.pipes)
        if (pipe.x + 36 >= 137 && (!nearest || pipe.x < nearest->x)) nearest = &pipe;
    return nearest;
}

bool autopilot_wants_boost(const Game& game) {
    const skimbo::Pipe* pipe = next_pipe(game);
    double target = pipe ? pipe->gap_y + 10 : 79;
    return game.bird_y > target && game.bird_vy >= 0;
}

void print_tap(unsigned t_ms, int x, int y) { std::printf("%u 1 %d %d\n%u 0 %d %d\n", t_ms, x, y, t_ms, x, y); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: screenshot_replay SEED PIPES > file.replay\n");
        return 2;
    }
    Game game;
    game.init(static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)));
    const int pipes_to_pass = std::atoi(argv[2]);
    unsigned previous_ms = 0, resume_ms = 0;
    for (unsigned frame = 0; frame < 60 * 120; ++frame) {
        const unsigned now = frame_ms(frame);
        const GamePhase phase_before = game.phase;
        bool start = game.phase == GamePhase::ready && now >= start_delay_ms;
        if (start || (game.phase == GamePhase::running && game.score < pipes_to_pass && autopilot_wants_boost(game))) {
            print_tap(now, 320, 86);
            game.boost();
        } else if (!resume_ms && game.phase == GamePhase::running && game.score == pipes_to_pass) {
            print_tap(now, 620, 20);  // the pause corner
            game.toggle_pause();
            resume_ms = now + pause_length_ms;
        } else if (game.phase == GamePhase::paused && now >= resume_ms) {
            print_tap(now, 320, 86);  // a tap resumes a paused game
            game.toggle_pause();
        } else if (game.phase == GamePhase::game_over) {
            std::printf("%u 1 10 10\n", now + exit_hold_delay_ms);  // held in the exit corner, never released
            std::fprintf(stderr, "game over at %u ms with score %d\n", now, game.score);
            return 0;
        }
        game.advance(phase_before == GamePhase::paused ? 0.0 : (now - previous_ms) / 1000.0);
        previous_ms = now;
    }
    std::fprintf(stderr, "the run never reached game over\n");
    return 1;
}
