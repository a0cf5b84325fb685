// What the platform does on its own: the input pump's limit and its releases, here with a pipe
// of evdev events for the touch screen that bring-up would have opened, and its own refusal of
// the host stream. Bring-up and the pump in device play are tested end to end.
#include "platform/platform.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace skimbo {
namespace {

Options headless() {
    Options options;
    options.headless = true;
    return options;
}

// Taps, and presses followed by a release or by dropped events: each report without a contact
// lifts the finger, so each press is a tap. A flooding screen cannot hold a frame: 256 reports
// at most, the rest in the next one.
TEST(PlatformTouch, EveryReportWithoutAContactIsARelease256ReportsAFrame) {
    Platform platform(headless());
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_NONBLOCK | O_CLOEXEC), 0);
    platform.touch.fd = ends[0], platform.touch.width = 172, platform.touch.height = 640, platform.touch_opened = true;
    platform.rotation_map.init(172, 640, 270);
    const input_event press[] = {{{}, EV_ABS, ABS_X, 86}, {{}, EV_ABS, ABS_Y, 320}, {{}, EV_KEY, BTN_TOUCH, 1}, {{}, EV_SYN, SYN_REPORT, 0}};
    const input_event release[] = {{{}, EV_KEY, BTN_TOUCH, 0}, {{}, EV_SYN, SYN_REPORT, 0}};
    const input_event dropped[] = {{{}, EV_SYN, SYN_DROPPED, 0}, {{}, EV_SYN, SYN_REPORT, 0}};
    for (int i = 0; i < 150; ++i)
        ASSERT_GT(write(ends[1], press, sizeof press) + write(ends[1], i % 2 ? release : dropped, i % 2 ? sizeof release : sizeof dropped), 0);
    std::vector<int> taps;
    for (unsigned frame = 1; frame <= 3; ++frame) {
        taps.push_back(0);
        platform.input(frame * 16, [&](Action a) { taps.back() += a == Action::Tap; });
    }
    EXPECT_EQ(taps, (std::vector<int>{128, 22, 0}));
    close(ends[1]);
}

// The command line refuses these already; the platform does not rely on it.
TEST(Platform, RefusesTheHostStreamOutsideHeadlessRealTimeWithoutReplay) {
    Options device, virtual_clock = headless(), replay = headless();
    device.host_stream = virtual_clock.host_stream = replay.host_stream = true;
    virtual_clock.virtual_clock = true, replay.replay_path = "any.replay";
    for (const Options& options : {device, virtual_clock, replay}) {
        try {
            Platform platform(options);
            ADD_FAILURE() << "accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "host-stream requires headless real-time without replay");
        }
    }
}

}  // namespace
}  // namespace skimbo
