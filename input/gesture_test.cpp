#include "input/gesture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace skimbo {
namespace {

using Actions = std::vector<Action>;

// A tracker with the actions it raised since they were last taken.
struct Tracked {
    GestureTracker tracker;
    Actions actions;
    ActionHandler on_action = [this](Action a) { actions.push_back(a); };

    void down(int x, int y, std::uint32_t t) { tracker.contact(true, x, y, t, on_action); }
    void tick(std::uint32_t t) { tracker.tick(t, on_action); }
    Actions take() { return std::exchange(actions, {}); }
};

// The exit corner (x 0..43, y 0..39) waits for its hold; the pause corner (x 596 on, y 0..39)
// toggles the pause; anywhere else is a tap.
TEST(GestureTracker, ANewContactIsClassifiedByCornerEdgesIncluded) {
    const Actions tap{Action::Tap}, pause{Action::PauseToggle};
    const std::pair<std::pair<int, int>, Actions> cases[] = {
        {{0, 0}, {}},       {{43, 39}, {}},   {{44, 0}, tap},  {{0, 40}, tap},  {{43, 40}, tap}, {{596, 0}, pause}, {{639, 39}, pause},
        {{595, 0}, tap},    {{639, 40}, tap}, {{-1, 10}, tap}, {{10, -1}, tap}, {{620, -1}, tap}};
    for (const auto& [at, raised] : cases) {
        Tracked t;
        t.down(at.first, at.second, 500);
        EXPECT_EQ(t.take(), raised) << at.first << "," << at.second;
    }
}

// Timed from the touch-down on the 32-bit session clock, wrap included, by ticks and by samples
// alike; the ring shows the thousandths of the hold and goes once the exit fired.
TEST(GestureTracker, TheExitFiresOnceTwelveHundredMillisecondsAfterTheTouchDown) {
    for (std::uint32_t down_ms : {0u, 1000u, 0xFFFFFF00u, 0xFFFFFFFFu}) {
        Tracked t;
        t.down(10, 10, down_ms);
        for (auto [after, progress] : {std::pair{1u, 0u}, {2u, 1u}, {600u, 500u}, {1199u, 999u}}) {
            t.tick(down_ms + after);
            EXPECT_EQ(t.tracker.exit_progress, progress) << down_ms << "+" << after;
        }
        t.down(43, 39, down_ms + 1199);
        EXPECT_EQ(t.take(), Actions{}) << down_ms;
        t.down(43, 39, down_ms + 1200);
        EXPECT_EQ(t.take(), Actions{Action::ExitGesture}) << down_ms;
        EXPECT_EQ(t.tracker.exit_progress, 1000u);
        t.tick(down_ms + 9000);
        EXPECT_EQ(t.take(), Actions{}) << down_ms;
        EXPECT_EQ(t.tracker.exit_progress, 0u);
    }
}

// A contact raises only on its touch-down, wherever it wanders after; one that leaves the exit
// corner is spent until the finger lifts, and the next touch-down starts afresh.
TEST(GestureTracker, AContactRaisesOnlyOnItsTouchDown) {
    for (auto [x, y] : {std::pair{320, 86}, {620, 10}, {10, 10}}) {
        Tracked t;
        t.down(x, y, 0);
        for (std::uint32_t ms = 16; ms < 4000; ms += 16) t.down(ms % 640, ms % 172, ms), t.down(10, 10, ms), t.down(620, 10, ms);
        EXPECT_EQ(t.take().size(), x == 10 ? 0u : 1u) << x;
        EXPECT_EQ(t.tracker.exit_progress, 0u);
        t.tracker.contact(false, 0, 0, 5000, t.on_action);
        t.tick(9000);
        t.down(10, 10, 9000);
        t.tick(10200);
        EXPECT_EQ(t.take(), Actions{Action::ExitGesture}) << x;
    }
}

}  // namespace
}  // namespace skimbo
