// Contacts and time steps through the gesture tracker into the game, driven as the session
// drives them, checking what must hold whatever the player does: at most one action per
// contact and none on a release, an exit only after 1200 ms held in the exit corner, a score
// that never falls within a run, and a running bird clear of the ceiling and the ground.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "game/game.h"
#include "input/gesture.h"

namespace {

using skimbo::Action;
using skimbo::GamePhase;

struct Contact {
    std::uint32_t down_ms = 0;
    bool only_exit_corner = false;  // went down in the exit corner and never left it
    int actions = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    skimbo::Game game;
    game.init(in.ConsumeIntegral<std::uint32_t>());
    skimbo::GestureTracker gestures;
    Contact contact;
    std::uint32_t now_ms = 0;
    bool exited = false;
    const skimbo::ActionHandler on_action = [&](Action action) {
        if (++contact.actions > 1) std::abort();
        if (action == Action::ExitGesture) {
            if (!contact.only_exit_corner || now_ms - contact.down_ms < 1200) std::abort();
            exited = true;
            return;
        }
        const GamePhase phase = game.phase;
        const std::int32_t score = game.score;
        if (action == Action::PauseToggle || phase == GamePhase::paused) game.toggle_pause();
        else game.boost();
        if (game.score < score && phase != GamePhase::game_over) std::abort();
    };
    while (!exited && in.remaining_bytes() > 0) {
        const std::uint32_t step_ms = in.ConsumeIntegralInRange<std::uint32_t>(0, 400);
        now_ms += step_ms;
        const GamePhase phase_before_input = game.phase;
        for (int samples = in.ConsumeIntegralInRange(0, 3); samples > 0 && !exited; --samples) {
            const bool down = in.ConsumeBool();
            const int x = in.ConsumeIntegralInRange(0, 639);
            const int y = in.ConsumeIntegralInRange(0, 171);
            if (down && !gestures.held) contact = {now_ms, skimbo::in_exit_corner(x, y), 0};
            if (down && !skimbo::in_exit_corner(x, y)) contact.only_exit_corner = false;
            const int actions_before = contact.actions;
            gestures.contact(down, x, y, now_ms, on_action);
            if (!down && contact.actions != actions_before) std::abort();
        }
        if (!exited) gestures.tick(now_ms, on_action);
        const std::int32_t score = game.score;
        game.advance(phase_before_input == GamePhase::paused ? 0.0 : step_ms / 1000.0);
        if (game.score < score || game.best < game.score) std::abort();
        if (game.phase == GamePhase::running && (game.bird_y <= 10 || game.bird_y >= 148)) std::abort();
    }
    return 0;
}
