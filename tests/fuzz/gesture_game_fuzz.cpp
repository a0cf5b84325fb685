// Contacts and time steps through the gesture tracker into the game, as the session drives them.
// Whatever the player does: at most one action per contact and none on a release, an exit only
// after 1200 ms in the exit corner, no score falling within a run, a running bird in the air.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "game/game.h"
#include "input/gesture.h"

using namespace skimbo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Game game;
    game.init(in.ConsumeIntegral<std::uint32_t>());
    GestureTracker gestures;
    std::uint32_t now_ms = 0, down_ms = 0;
    int actions = 0;           // raised by the current contact
    bool exited = false, exit_corner = false;  // exit_corner: the contact went down there and stayed
    const ActionHandler on_action = [&](Action action) {
        if (++actions > 1 || (action == Action::ExitGesture && (!exit_corner || now_ms - down_ms < 1200))) std::abort();
        const Game before = game;
        if (action == Action::ExitGesture) exited = true;
        else if (action == Action::PauseToggle || before.phase == GamePhase::paused) game.toggle_pause();
        else game.boost();
        if (game.score < before.score && before.phase != GamePhase::game_over) std::abort();
    };
    while (!exited && in.remaining_bytes() > 0) {
        const std::uint32_t step_ms = in.ConsumeIntegralInRange<std::uint32_t>(0, 400);
        now_ms += step_ms;
        const GamePhase phase_before_input = game.phase;
        for (int samples = in.ConsumeIntegralInRange(0, 3); samples > 0 && !exited; --samples) {
            const bool down = in.ConsumeBool();
            const int x = in.ConsumeIntegralInRange(0, 639), y = in.ConsumeIntegralInRange(0, 171);
            if (down && !gestures.held) down_ms = now_ms, actions = 0, exit_corner = true;
            exit_corner = exit_corner && in_exit_corner(x, y);
            const int actions_before = actions;
            gestures.contact(down, x, y, now_ms, on_action);
            if (!down && actions != actions_before) std::abort();
        }
        if (!exited) gestures.tick(now_ms, on_action);
        const std::int32_t score = game.score;
        game.advance(phase_before_input == GamePhase::paused ? 0.0 : step_ms / 1000.0);
        if (game.score < score || game.best < game.score) std::abort();
        if (game.phase == GamePhase::running && (game.bird_y <= 10 || game.bird_y >= 148)) std::abort();
    }
    return 0;
}
