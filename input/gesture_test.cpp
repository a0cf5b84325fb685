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
    void up(std::uint32_t t) { tracker.contact(false, 0, 0, t, on_action); }
    void tick(std::uint32_t t) { tracker.tick(t, on_action); }
    Actions take() { return std::exchange(actions, {}); }
};

TEST(GestureTracker, ANewContactIsClassifiedByCornerWithInclusiveBounds) {
    struct Case {
        int x, y;
        Actions raised;  // none: the exit corner, which waits for the hold
    };
    const Actions tap{Action::Tap}, pause{Action::PauseToggle};
    const Case cases[] = {
        {0, 0, {}},      {43, 39, {}},    {44, 0, tap},     {0, 40, tap},   {43, 40, tap}, {596, 0, pause}, {639, 39, pause},
        {595, 0, tap},   {639, 40, tap},  {320, 86, tap},   {-1, 10, tap},  {10, -1, tap}, {620, -1, tap},
    };
    for (const Case& c : cases) {
        Tracked t;
        t.down(c.x, c.y, 500);
        EXPECT_EQ(t.take(), c.raised) << c.x << "," << c.y;
    }
}

// Timed from the touch-down on the 32-bit session clock, wrap included; the ring shows the
// thousandths of the hold, and goes once the exit fired.
TEST(GestureTracker, TheExitFiresOnceTwelveHundredMillisecondsAfterTheTouchDown) {
    for (std::uint32_t down_ms : {0u, 1000u, 0xFFFFFF00u, 0xFFFFFFFFu}) {
        Tracked t;
        t.down(10, 10, down_ms);
        for (auto [after, progress] : {std::pair{0u, 0u}, {1u, 0u}, {2u, 1u}, {600u, 500u}, {1199u, 999u}}) {
            t.tick(down_ms + after);
            EXPECT_EQ(t.tracker.exit_progress, progress) << down_ms << "+" << after;
        }
        EXPECT_EQ(t.take(), Actions{}) << down_ms;
        t.down(43, 39, down_ms + 1200);  // a sample within the corner times the hold too
        EXPECT_EQ(t.take(), Actions{Action::ExitGesture}) << down_ms;
        EXPECT_EQ(t.tracker.exit_progress, 1000u);
        t.tick(down_ms + 1201);
        t.tick(down_ms + 9000);
        EXPECT_EQ(t.take(), Actions{}) << down_ms;
        EXPECT_EQ(t.tracker.exit_progress, 0u);
    }
}

// Leaving the exit corner spends the contact: coming back or waiting does nothing until the
// finger lifts; the next touch-down starts afresh.
TEST(GestureTracker, LeavingTheExitCornerSpendsTheContact) {
    Tracked t;
    t.down(10, 10, 0);
    t.down(44, 10, 700);
    EXPECT_EQ(t.tracker.exit_progress, 0u);
    t.down(10, 10, 800);
    t.tick(5000);
    EXPECT_EQ(t.take(), Actions{});
    t.up(6000);
    t.down(10, 10, 7000);
    t.tick(8200);
    EXPECT_EQ(t.take(), Actions{Action::ExitGesture});
}

// A held contact raises only on its first sample, wherever it wanders; a release raises
// nothing, and the next touch is a new contact.
TEST(GestureTracker, AContactRaisesOnlyOnItsTouchDown) {
    for (auto [x, y] : {std::pair{320, 86}, std::pair{620, 10}}) {
        Tracked t;
        t.down(x, y, 0);
        for (std::uint32_t ms = 16; ms < 4000; ms += 16) {
            t.down(static_cast<int>(ms % 640), static_cast<int>(ms % 172), ms);
            t.down(10, 10, ms);
            t.down(620, 10, ms);
        }
        EXPECT_EQ(t.take().size(), 1u) << x;
        EXPECT_EQ(t.tracker.exit_progress, 0u);
        t.up(5000);
        t.tick(9000);
        EXPECT_EQ(t.take(), Actions{});
        t.down(300, 100, 9100);
        EXPECT_EQ(t.take(), Actions{Action::Tap});
    }
}

}  // namespace
}  // namespace skimbo
