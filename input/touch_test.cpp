// The touch screen's decoding of kernel events into reports, fed through a pipe whose other
// end plays the kernel. Opening the real node is tested end to end (tests/e2e/device_e2e_test).
#include "input/touch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace skimbo {
namespace {

struct PipedTouch {
    TouchDevice touch;
    int kernel = -1;

    PipedTouch() {
        int ends[2];
        if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        touch.fd = ends[0], kernel = ends[1];
        touch.width = 172, touch.height = 640;
    }
    ~PipedTouch() { close(kernel); }

    void send(const std::vector<input_event>& events) {
        const auto bytes = static_cast<ssize_t>(events.size() * sizeof(input_event));
        if (write(kernel, events.data(), static_cast<std::size_t>(bytes)) != bytes) throw std::runtime_error("pipe full");
    }
    // Every report until the device has none ("x,y" or "up"), then how the last read ended.
    std::string drain() {
        std::string reports;
        for (int result; (result = touch.read_report()) == 1;)
            reports += touch.contact_count ? std::to_string(touch.contact_x) + "," + std::to_string(touch.contact_y) + " " : "up ";
        return reports + (errno == EAGAIN ? "empty" : "failed");
    }
};

TEST(TouchDevice, DecodesSingleTouchReports) {
    struct Case {
        const char* name;
        std::vector<input_event> events;
        std::string reports;
    };
    const input_event report{{}, EV_SYN, SYN_REPORT, 0}, down{{}, EV_KEY, BTN_TOUCH, 1}, up{{}, EV_KEY, BTN_TOUCH, 0};
    const auto at = [](int x, int y) { return std::vector<input_event>{{{}, EV_ABS, ABS_X, x}, {{}, EV_ABS, ABS_Y, y}}; };
    const auto then = [](std::vector<input_event> a, const std::vector<input_event>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const Case cases[] = {
        {"inside the panel", then(at(50, 300), {down, report}), "50,300 empty"},
        {"clamped to the panel, then lifted", then(at(200, 700), {down, report, up, report}), "171,639 up empty"},
        {"negative", then(at(-5, -1), {down, report}), "0,0 empty"},
        {"on the last pixel and one past it", then(at(171, 640), {down, report}), "171,639 empty"},
        {"moved without a new touch", then(then(at(50, 300), {down, report}), then(at(60, 300), {report})), "50,300 60,300 empty"},
        {"other events ignored",
         {{{}, EV_ABS, ABS_PRESSURE, 9}, {{}, EV_KEY, BTN_LEFT, 1}, {{}, EV_MSC, MSC_SCAN, 4}, {{}, EV_SYN, SYN_CONFIG, 0}, report},
         "up empty"},
        // After dropped events the state is unknown: one empty report, then tracking afresh
        // from the next report on.
        {"dropped events",
         then(then(at(50, 300), {down, report, {{}, EV_SYN, SYN_DROPPED, 0}}), then(then(at(10, 10), {down, report}), then(at(20, 20), {down, report}))),
         "50,300 up 20,20 empty"},
        {"half a report", then(at(70, 80), {down}), "empty"},
    };
    for (const Case& c : cases) {
        PipedTouch t;
        t.send(c.events);
        EXPECT_EQ(t.drain(), c.reports) << c.name;
        EXPECT_EQ(t.touch.events_seen, c.events.size()) << c.name;
    }
}

// The kernel delivers whole 24-byte events: anything else is a failed device. The end of the
// node reads as nothing pending.
TEST(TouchDevice, ReadFaults) {
    PipedTouch half, ended;
    half.send({{{}, EV_KEY, BTN_TOUCH, 1}, {{}, EV_SYN, SYN_REPORT, 0}});
    ASSERT_EQ(write(half.kernel, "twelve bytes", 12), 12);
    EXPECT_EQ(half.drain(), "0,0 failed");
    EXPECT_EQ(errno, EIO);
    close(std::exchange(ended.kernel, -1));
    EXPECT_EQ(ended.touch.read_report(), 0);
}

}  // namespace
}  // namespace skimbo
