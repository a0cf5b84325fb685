#include "input/gesture.h"

namespace skimbo {
namespace {

constexpr std::uint32_t exit_hold_ms = 1200;
constexpr std::uint32_t progress_scale = 1000;

}  // namespace

bool in_exit_corner(int x, int y) { return x >= 0 && x <= 43 && y >= 0 && y <= 39; }

bool in_pause_corner(int x, int y) { return x >= 596 && y >= 0 && y <= 39; }

void GestureTracker::contact(bool down, int x, int y, std::uint32_t t_ms, const ActionHandler& on_action) {
    if (!down) {
        held = false;
        mode = GestureMode::Idle;
        exit_progress = 0;
    } else if (held) {
        // The contact moved or was repeated: only leaving the exit corner matters.
        if (mode == GestureMode::ExitHold && !in_exit_corner(x, y)) mode = GestureMode::Spent;
    } else {
        down_ms = t_ms;
        if (in_exit_corner(x, y)) {
            mode = GestureMode::ExitHold;
        } else if (in_pause_corner(x, y)) {
            mode = GestureMode::PausePress;
            on_action(Action::PauseToggle);
        } else {
            mode = GestureMode::TapPress;
            on_action(Action::Tap);
        }
        held = true;
    }
    tick(t_ms, on_action);
}

void GestureTracker::tick(std::uint32_t now_ms, const ActionHandler& on_action) {
    if (!held || mode != GestureMode::ExitHold) {
        exit_progress = 0;
        return;
    }
    std::uint32_t elapsed = now_ms - down_ms;  // wraps with the 32-bit session clock
    if (elapsed < exit_hold_ms) {
        exit_progress = static_cast<std::uint32_t>(std::uint64_t{elapsed} * progress_scale / exit_hold_ms);
        return;
    }
    mode = GestureMode::Spent;
    exit_progress = progress_scale;
    on_action(Action::ExitGesture);
}

}  // namespace skimbo
