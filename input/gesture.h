#pragma once
// Turns one followed contact into actions: a tap anywhere but the top corners, a pause
// toggle in the top-right corner, and an exit after a 1200 ms hold in the top-left corner.
#include <cstdint>

#include "input/action.h"

namespace skimbo {

enum class GestureMode : std::uint32_t { Idle = 0, ExitHold = 1, PausePress = 2, TapPress = 3, Spent = 4 };

struct GestureTracker {
    bool held = false;
    GestureMode mode = GestureMode::Idle;
    std::uint32_t down_ms = 0;        // session time of the touch-down of the current contact
    std::uint32_t exit_progress = 0;  // thousandths of the exit hold, 0..1000

    // One sample in canvas coordinates at session time t_ms.
    void contact(bool down, int x, int y, std::uint32_t t_ms, const ActionHandler& on_action);
    // Times the exit hold; fires ExitGesture once 1200 ms have passed since the touch-down.
    void tick(std::uint32_t now_ms, const ActionHandler& on_action);
};

bool in_exit_corner(int x, int y);
bool in_pause_corner(int x, int y);

}  // namespace skimbo
