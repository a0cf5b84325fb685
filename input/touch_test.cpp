// The touch screen's decoding of kernel events into reports, through a pipe whose other end
// plays the kernel. Opening the device is tested end to end (tests/e2e/device_e2e_test).
#include "input/touch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace skimbo {
namespace {

using Events = std::vector<input_event>;
enum class Then { nothing, half_an_event, the_end };

// Every report ("x,y", or "up" without a contact) the touch screen makes of the events, how its
// last read ended and how many events it saw.
std::string reports_of(const Events& events, Then then = Then::nothing) {
    TouchDevice touch;
    int kernel[2];
    if (pipe2(kernel, O_NONBLOCK | O_CLOEXEC) != 0) return "no pipe";
    touch.fd = kernel[0], touch.width = 172, touch.height = 640;
    const auto bytes = static_cast<ssize_t>(events.size() * sizeof(input_event));
    if (write(kernel[1], events.data(), static_cast<std::size_t>(bytes)) != bytes) return "pipe full";
    if (then == Then::half_an_event && write(kernel[1], "twelve bytes", 12) != 12) return "pipe full";
    if (then == Then::the_end) close(kernel[1]);
    std::string reports;
    errno = 0;
    while (touch.read_report() == 1)
        reports += touch.contact_count ? std::to_string(touch.contact_x) + "," + std::to_string(touch.contact_y) + " " : "up ";
    reports += errno == EAGAIN ? "pending" : errno == EIO ? "failed" : "ended";
    if (then != Then::the_end) close(kernel[1]);
    return reports + " after " + std::to_string(touch.events_seen);
}

TEST(TouchDevice, DecodesSingleTouchReports) {
    const input_event report{{}, EV_SYN, SYN_REPORT, 0}, down{{}, EV_KEY, BTN_TOUCH, 1}, up{{}, EV_KEY, BTN_TOUCH, 0};
    const input_event dropped{{}, EV_SYN, SYN_DROPPED, 0}, pressure{{}, EV_ABS, ABS_PRESSURE, 9}, other{{}, EV_SYN, SYN_CONFIG, 0};
    const auto x = [](int value) { return input_event{{}, EV_ABS, ABS_X, value}; };
    const auto y = [](int value) { return input_event{{}, EV_ABS, ABS_Y, value}; };
    const std::pair<Events, std::string> cases[] = {
        {{x(50), y(300), down, report}, "50,300 pending after 4"},
        // Clamped to the panel; the finger lifts.
        {{x(200), y(700), down, report, up, report}, "171,639 up pending after 6"},
        {{x(-5), y(-1), down, report}, "0,0 pending after 4"},
        {{x(171), y(640), down, report}, "171,639 pending after 4"},
        // Moved without a new touch; other events ignored; a report not complete yet.
        {{x(50), y(300), down, report, x(60), report}, "50,300 60,300 pending after 6"},
        {{pressure, {{}, EV_KEY, BTN_LEFT, 1}, {{}, EV_MSC, MSC_SCAN, 4}, other, report}, "up pending after 5"},
        {{x(70), y(80), down}, "pending after 3"},
        // After dropped events the state is unknown: one empty report, then afresh from the next.
        {{x(50), y(300), down, report, dropped, x(10), down, report, x(20), y(20), down, report}, "50,300 up 20,20 pending after 12"},
    };
    for (const auto& [events, reports] : cases) EXPECT_EQ(reports_of(events), reports) << events.size();
    // The kernel delivers whole 24-byte events: anything else is a failed device. The end of
    // the node reads as nothing pending.
    EXPECT_EQ(reports_of({down, report}, Then::half_an_event), "0,0 failed after 2");
    EXPECT_EQ(reports_of({down, report}, Then::the_end), "0,0 ended after 2");
}

}  // namespace
}  // namespace skimbo
