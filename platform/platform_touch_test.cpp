// The input pump's touch step: a headless platform handed an emulated touch screen, as
// device bring-up would leave it.
#include <gtest/gtest.h>
#include <linux/input.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/emu/emu_session.h"
#include "tests/support/allocation_count.h"

namespace skimbo {
namespace {

using Actions = std::vector<Action>;
using Script = std::vector<emu::ScriptStep>;

Options headless() {
    Options options;
    options.headless = true;
    return options;
}

struct TouchPlatform {
    emu::EmuSession session;
    Platform platform{headless()};
    Actions actions;
    std::uint64_t allocations = 0;  // by the input calls so far
    const ActionHandler on_action = [this](Action a) { actions.push_back(a); };

    explicit TouchPlatform(Script script) : session(emu::EmuDevices{{}, {}, std::move(script), {}}) {
        EXPECT_EQ(platform.touch.open("/dev/input/event1", 172, 640), 0);
        EXPECT_EQ(platform.rotation_map.init(172, 640, 270), 0);
        platform.touch_opened = true;
        actions.reserve(512);
    }

    Actions frame(unsigned now_ms) {
        actions.clear();
        const std::uint64_t before = testing::allocation_count();
        platform.input(now_ms, on_action);
        allocations += testing::allocation_count() - before;
        return actions;
    }
};

TEST(PlatformTouch, TakesAtMost256ReportsAFrameAndTheRestInTheNext) {
    // 150 taps, already queued: 300 reports.
    Script script;
    for (int i = 0; i < 150; ++i) {
        emu::press(script, 0, 86, 320);
        emu::release(script, 0);
    }
    TouchPlatform t(script);
    EXPECT_EQ(t.frame(16), Actions(128, Action::Tap));
    EXPECT_EQ(t.platform.touch.reports_seen, 256u);
    EXPECT_EQ(t.frame(33), Actions(22, Action::Tap));
    EXPECT_EQ(t.frame(50), Actions{});
    EXPECT_EQ(t.allocations, 0u);
    EXPECT_FALSE(t.platform.gestures.held);
}

// The panel's corners land on the canvas's: panel (171, 0) is the exit corner at the canvas's
// top left, panel (171, 639) the pause corner at its top right. Samples carry the frame's
// time, so the exit hold is timed from the frame that read the touch-down.
TEST(PlatformTouch, PanelCornersReachTheGesturesAtTheFramesTime) {
    Script exit_hold;
    emu::press(exit_hold, 0, 171, 0);
    TouchPlatform held(exit_hold);
    EXPECT_EQ(held.frame(5000), Actions{});
    EXPECT_EQ(held.platform.gestures.down_ms, 5000u);
    EXPECT_EQ(held.frame(6199), Actions{});
    EXPECT_EQ(held.platform.gestures.exit_progress, 999u);
    EXPECT_EQ(held.frame(6200), Actions{Action::ExitGesture});

    Script pause;
    emu::press(pause, 0, 171, 639);
    TouchPlatform paused(pause);
    EXPECT_EQ(paused.frame(16), Actions{Action::PauseToggle});

    // One pixel lower on the canvas (panel x 131 is canvas y 40) is outside the pause corner.
    Script below;
    emu::press(below, 0, 131, 639);
    TouchPlatform tapped(below);
    EXPECT_EQ(tapped.frame(16), Actions{Action::Tap});
}

// A report without a contact lifts the finger, whether the finger went up or the kernel
// dropped events: each following touch-down is a new contact and taps again.
TEST(PlatformTouch, AnEmptyReportIsARelease) {
    Script script;
    emu::press(script, 0, 86, 320);
    emu::release(script, 0);
    emu::press(script, 0, 86, 320);
    script.push_back(emu::event_at(0, EV_SYN, SYN_DROPPED, 0));
    script.push_back(emu::event_at(0, EV_SYN, SYN_REPORT, 0));
    emu::press(script, 0, 86, 320);
    TouchPlatform t(script);
    EXPECT_EQ(t.frame(16), Actions(3, Action::Tap));
    EXPECT_TRUE(t.platform.gestures.held);
}

TEST(PlatformTouch, AFailingScreenIsTouchLost) {
    for (const emu::ScriptStep& failure : {emu::unplug_at(0), emu::partial_read_at(0)}) {
        Script script;
        emu::press(script, 0, 86, 320);
        script.push_back(failure);
        TouchPlatform t(script);
        try {
            t.frame(16);
            ADD_FAILURE() << "no failure";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "touch-lost");
        }
        // The report before the failure was delivered.
        EXPECT_EQ(t.actions, Actions{Action::Tap});
    }
}

}  // namespace
}  // namespace skimbo
