#include "input/gesture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace skimbo {
namespace {

// A tracker with the actions it raised, in order.
struct Tracked {
    GestureTracker tracker;
    std::vector<Action> actions;
    ActionHandler on_action = [this](Action a) { actions.push_back(a); };

    void down(int x, int y, std::uint32_t t) { tracker.contact(true, x, y, t, on_action); }
    void up(std::uint32_t t) { tracker.contact(false, 0, 0, t, on_action); }
    void tick(std::uint32_t t) { tracker.tick(t, on_action); }
    std::vector<Action> take() { return std::exchange(actions, {}); }
};

using Actions = std::vector<Action>;

TEST(GestureTracker, NewContactIsClassifiedByCornerWithInclusiveBounds) {
    struct Case {
        int x, y;
        GestureMode mode;
        Actions raised;
    };
    const Case cases[] = {
        {0, 0, GestureMode::ExitHold, {}},
        {43, 39, GestureMode::ExitHold, {}},
        {44, 0, GestureMode::TapPress, {Action::Tap}},
        {0, 40, GestureMode::TapPress, {Action::Tap}},
        {43, 40, GestureMode::TapPress, {Action::Tap}},
        {596, 0, GestureMode::PausePress, {Action::PauseToggle}},
        {639, 39, GestureMode::PausePress, {Action::PauseToggle}},
        {595, 0, GestureMode::TapPress, {Action::Tap}},
        {639, 40, GestureMode::TapPress, {Action::Tap}},
        {320, 86, GestureMode::TapPress, {Action::Tap}},
        {-1, 10, GestureMode::TapPress, {Action::Tap}},
        {10, -1, GestureMode::TapPress, {Action::Tap}},
        {620, -1, GestureMode::TapPress, {Action::Tap}},
    };
    for (const Case& c : cases) {
        Tracked t;
        t.down(c.x, c.y, 500);
        EXPECT_EQ(t.tracker.mode, c.mode) << c.x << "," << c.y;
        EXPECT_EQ(t.take(), c.raised) << c.x << "," << c.y;
        EXPECT_TRUE(t.tracker.held);
        EXPECT_EQ(t.tracker.down_ms, 500u);
    }
}

TEST(GestureTracker, ExitFiresOnceAtTheFirstTickTwelveHundredMillisecondsAfterTouchDown) {
    // Touch-down times around the 32-bit wrap of the session clock are timed the same way.
    for (std::uint32_t down_ms : {0u, 1000u, 0xFFFFFF00u, 0xFFFFFFFFu, 0xFFFFFB50u}) {
        Tracked t;
        t.down(10, 10, down_ms);
        EXPECT_EQ(t.tracker.exit_progress, 0u);
        t.tick(down_ms + 1);
        EXPECT_EQ(t.tracker.exit_progress, 0u);
        t.tick(down_ms + 2);
        EXPECT_EQ(t.tracker.exit_progress, 1u);
        t.tick(down_ms + 600);
        EXPECT_EQ(t.tracker.exit_progress, 500u);
        t.tick(down_ms + 1199);
        EXPECT_EQ(t.tracker.exit_progress, 999u) << down_ms;
        EXPECT_TRUE(t.take().empty()) << down_ms;
        t.tick(down_ms + 1200);
        EXPECT_EQ(t.take(), Actions{Action::ExitGesture}) << down_ms;
        EXPECT_EQ(t.tracker.exit_progress, 1000u);
        EXPECT_EQ(t.tracker.mode, GestureMode::Spent);
        // The finger stays down: nothing more, and the ring is gone.
        t.tick(down_ms + 1201);
        t.down(10, 10, down_ms + 1300);
        t.tick(down_ms + 9000);
        EXPECT_TRUE(t.take().empty()) << down_ms;
        EXPECT_EQ(t.tracker.exit_progress, 0u);
    }
}

TEST(GestureTracker, LateTickOrRepeatedSampleCompletesTheHold) {
    Tracked late;
    late.down(10, 10, 1000);
    late.tick(5000);
    EXPECT_EQ(late.take(), Actions{Action::ExitGesture});

    // A source that repeats the held position drives the hold through the sample's own tick.
    Tracked repeated;
    repeated.down(10, 10, 1000);
    repeated.down(11, 12, 2199);
    EXPECT_TRUE(repeated.take().empty());
    EXPECT_EQ(repeated.tracker.exit_progress, 999u);
    repeated.down(11, 12, 2200);
    EXPECT_EQ(repeated.take(), Actions{Action::ExitGesture});
}

TEST(GestureTracker, MovingWithinTheExitCornerKeepsTheHoldTimedFromTouchDown) {
    Tracked t;
    t.down(0, 0, 100);
    t.down(43, 39, 700);
    EXPECT_EQ(t.tracker.mode, GestureMode::ExitHold);
    EXPECT_EQ(t.tracker.exit_progress, 500u);
    t.tick(1299);
    EXPECT_TRUE(t.take().empty());
    t.tick(1300);
    EXPECT_EQ(t.take(), Actions{Action::ExitGesture});
}

TEST(GestureTracker, LeavingTheExitCornerSpendsTheContactUntilRelease) {
    Tracked t;
    t.down(10, 10, 0);
    t.tick(600);
    t.down(44, 10, 700);
    EXPECT_EQ(t.tracker.mode, GestureMode::Spent);
    EXPECT_EQ(t.tracker.exit_progress, 0u);
    // Coming back into the corner or staying long does not revive it, nor is it a tap.
    t.down(10, 10, 800);
    t.tick(5000);
    EXPECT_TRUE(t.take().empty());
    EXPECT_EQ(t.tracker.exit_progress, 0u);

    t.up(6000);
    t.down(10, 10, 7000);
    t.tick(8199);
    EXPECT_TRUE(t.take().empty());
    EXPECT_EQ(t.tracker.exit_progress, 999u);
    t.tick(8200);
    EXPECT_EQ(t.take(), Actions{Action::ExitGesture});
}

TEST(GestureTracker, AHeldContactRaisesOnlyOnItsFirstSample) {
    // Tap and pause contacts wander everywhere, corners included, while held.
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
    }
}

TEST(GestureTracker, ReleaseRaisesNothingAndEndsTheContact) {
    for (auto [x, y] : {std::pair{320, 86}, std::pair{620, 10}, std::pair{10, 10}}) {
        Tracked t;
        t.down(x, y, 0);
        t.tick(1100);
        t.take();
        t.up(1150);
        t.tick(5000);
        EXPECT_TRUE(t.take().empty()) << x;
        EXPECT_FALSE(t.tracker.held);
        EXPECT_EQ(t.tracker.mode, GestureMode::Idle);
        EXPECT_EQ(t.tracker.exit_progress, 0u);
        // The next touch is a new contact and raises its own action.
        t.down(300, 100, 5100);
        EXPECT_EQ(t.take(), Actions{Action::Tap});
    }
    Tracked idle;
    idle.up(0);
    EXPECT_TRUE(idle.take().empty());
    EXPECT_FALSE(idle.tracker.held);
}

}  // namespace
}  // namespace skimbo
