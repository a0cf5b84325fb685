// The input pump's touch step, and what the platform refuses on its own. The touch screen is
// a pipe of evdev events here, handed to a headless platform as bring-up would leave it.
#include "platform/platform.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace skimbo {
namespace {

using Actions = std::vector<Action>;

// The message of the failure fn ends with, or "" if it ends normally.
template <typename Fn>
std::string failure_of(Fn fn) {
    try {
        fn();
    } catch (const std::runtime_error& failure) {
        return failure.what();
    }
    return "";
}

Options headless() {
    Options options;
    options.headless = true;
    return options;
}

struct TouchPlatform {
    Platform platform{headless()};
    int events = -1;  // the kernel's end of the touch screen
    Actions actions;

    TouchPlatform() {
        int ends[2];
        if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        platform.touch.fd = ends[0], events = ends[1];
        platform.touch.width = 172, platform.touch.height = 640;
        platform.rotation_map.init(172, 640, 270);
        platform.touch_opened = true;
    }
    ~TouchPlatform() { close(events); }

    void send(std::vector<input_event> report) {
        report.push_back({{}, EV_SYN, SYN_REPORT, 0});
        const auto bytes = static_cast<ssize_t>(report.size() * sizeof(input_event));
        if (write(events, report.data(), static_cast<std::size_t>(bytes)) != bytes) throw std::runtime_error("pipe full");
    }
    void press(int x, int y) { send({{{}, EV_ABS, ABS_X, x}, {{}, EV_ABS, ABS_Y, y}, {{}, EV_KEY, BTN_TOUCH, 1}}); }
    void release() { send({{{}, EV_KEY, BTN_TOUCH, 0}}); }
    Actions frame(unsigned now_ms) {
        actions.clear();
        platform.input(now_ms, [this](Action a) { actions.push_back(a); });
        return actions;
    }
};

// A screen flooding the kernel cannot hold a frame: 256 reports at most, the rest next frame.
TEST(PlatformTouch, TakesAtMost256ReportsAFrame) {
    TouchPlatform t;
    for (int i = 0; i < 150; ++i) t.press(86, 320), t.release();
    EXPECT_EQ(t.frame(16), Actions(128, Action::Tap));
    EXPECT_EQ(t.frame(33), Actions(22, Action::Tap));
    EXPECT_EQ(t.frame(50), Actions{});
}

// Panel (171, 0) is the canvas's top-left corner, panel (171, 639) its top right; panel x 131
// is canvas row 40, just below the pause corner. Samples carry the frame's time.
TEST(PlatformTouch, PanelPointsReachTheGesturesOnTheCanvasAtTheFramesTime) {
    TouchPlatform held, paused, tapped;
    held.press(171, 0);
    EXPECT_EQ(held.frame(5000), Actions{});
    EXPECT_EQ(held.frame(6199), Actions{});
    EXPECT_EQ(held.frame(6200), Actions{Action::ExitGesture});
    paused.press(171, 639);
    EXPECT_EQ(paused.frame(16), Actions{Action::PauseToggle});
    tapped.press(131, 639);
    EXPECT_EQ(tapped.frame(16), Actions{Action::Tap});
}

// A report without a contact lifts the finger, whether it went up or the kernel dropped events.
TEST(PlatformTouch, AnEmptyReportIsARelease) {
    TouchPlatform t;
    t.press(86, 320);
    t.release();
    t.press(86, 320);
    t.send({{{}, EV_SYN, SYN_DROPPED, 0}});
    t.press(86, 320);
    EXPECT_EQ(t.frame(16), Actions(3, Action::Tap));
    EXPECT_TRUE(t.platform.gestures.held);
}

TEST(PlatformTouch, AFailingScreenIsTouchLostAfterTheReportsBeforeIt) {
    TouchPlatform t;
    t.press(86, 320);
    ASSERT_EQ(write(t.events, "half an event", 12), 12);
    EXPECT_EQ(failure_of([&] { t.frame(16); }), "touch-lost");
    EXPECT_EQ(t.actions, Actions{Action::Tap});
}

// The command line refuses these already; the platform does not rely on it.
TEST(Platform, RefusesTheHostStreamOutsideHeadlessRealTimeWithoutReplay) {
    Options device, virtual_clock = headless(), replay = headless();
    device.host_stream = virtual_clock.host_stream = replay.host_stream = true;
    virtual_clock.virtual_clock = true;
    replay.replay_path = "any.replay";
    for (const Options& options : {device, virtual_clock, replay})
        EXPECT_EQ(failure_of([&] { Platform platform(options); }), "host-stream requires headless real-time without replay");
}

}  // namespace
}  // namespace skimbo
