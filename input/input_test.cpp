// Gestures, replay files and the touch screen's reports. Opening the touch screen, loading and
// playing replays, and gestures in play are tested end to end (tests/e2e).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "input/gesture.h"
#include "input/replay.h"
#include "input/touch.h"

// Where the touch screen's finger stands, as the kernel would answer for it; a node is an evdev
// device to this test while `held` is set. Pipes and /dev/null have no axes to ask.
struct DeviceAxes {
    bool held = false;
    int x = 0, y = 0;
} device_axes;

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    if (!device_axes.held || _IOC_TYPE(request) != 'E')
        return static_cast<int>(syscall(SYS_ioctl, fd, request, arg));
    if (request == EVIOCGABS(ABS_X) || request == EVIOCGABS(ABS_Y)) {
        *static_cast<input_absinfo*>(arg) = {};
        static_cast<input_absinfo*>(arg)->value = request == EVIOCGABS(ABS_X) ? device_axes.x : device_axes.y;
    }
    return 0;  // capability bits, name and grab: an empty answer
}

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

// A contact raises only on its touch-down, wherever it wanders after; one that leaves the exit
// corner is spent until the finger lifts, one that stays in it holds on. The hold's timing shows in the golden replayed session.
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
    Tracked still;  // a finger that shifts inside the exit corner keeps its hold
    still.down(10, 10, 0), still.down(43, 39, 600), still.tick(1200);
    EXPECT_EQ(still.take(), Actions{Action::ExitGesture});
}

// The replay's events as "t down x y" joined by "; ", or the failure's message.
template <typename Load>
std::string outcome(Load load) {
    try {
        std::string text;
        for (const ReplayEvent& e : load())
            text += (text.empty() ? "" : "; ") + std::to_string(e.t_ms) + " " + std::to_string(e.down) + " " + std::to_string(e.x) + " " +
                    std::to_string(e.y);
        return text;
    } catch (const std::runtime_error& failure) {
        return failure.what();
    }
}

// Which texts are scripts, the events they hold, and the message of every refusal.
TEST(Replay, TextsAndWhatTheyHold) {
    const std::string malformed = "malformed replay", invalid = "invalid replay";
    const std::pair<std::string, std::string> cases[] = {
        // Any white space separates numbers, line breaks included; the last record needs none,
        // and a record cut short by the end of the file is dropped.
        {" \t\n\r\v\f", ""},
        {"0 1\n320\n\n86 60\t0 320 86\r\n2000 1 10 10 5000 1 3\n", "0 1 320 86; 60 0 320 86; 2000 1 10 10"},
        // Equal times, the canvas's edges, signs and leading zeros, the largest time.
        {"100 1 0 0 100 0 639 171", "100 1 0 0; 100 0 639 171"},
        {"+5 +1 0320 086 4294967295 0 0 0", "5 1 320 86; 4294967295 0 0 0"},
        // Numbers outside the game's ranges, or back in time.
        {"0 2 320 86", invalid}, {"0 -1 320 86", invalid}, {"0 1 640 86", invalid}, {"0 1 -1 86", invalid},
        {"0 1 320 172", invalid}, {"0 1 320 -1", invalid}, {"100 1 0 0\n99 0 0 0", invalid},
        // Not whole decimal numbers, or beyond their field's type.
        {"0 1 320 86x", malformed}, {"0 1 32.0 86", malformed}, {"- 1 0 0", malformed}, {"+-5 1 0 0", malformed},
        {"-1 1 0 0", malformed}, {"4294967296 1 0 0", malformed}, {"0 1 2147483648 0", malformed},
        {"0 1 0 -2147483649", malformed}, {"0 99999999999999999999 0 0", malformed}, {std::string("0 1 320 8\0 6", 12), malformed},
        // The first error wins: a record is checked before the next token is read.
        {"0 2 0 0 x", invalid}, {"0 1 0 0 5 1 x", malformed},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(outcome([&] { return parse_replay(text); }), expected) << '"' << text << '"';
}

using Events = std::vector<input_event>;
enum class Then { nothing, half_an_event, the_end };

// Every report ("x,y", or "up" without a contact) the touch screen makes of the events, fed
// through a pipe whose other end plays the kernel; how its last read ended; the events it saw.
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
    // Anything but whole 24-byte events is a failed device; the end of the node, nothing pending.
    EXPECT_EQ(reports_of({down, report}, Then::half_an_event), "0,0 failed after 2");
    EXPECT_EQ(reports_of({down, report}, Then::the_end), "0,0 ended after 2");
}

// The kernel sends no axis value that has not changed, so a touch continues from where the device
// stands: when it is opened, and after dropped events.
TEST(TouchDevice, StartsFromWhereTheDeviceStands) {
    device_axes = {true, 171, 20};
    TouchDevice touch;
    ASSERT_EQ(touch.open("/dev/null", 172, 640), 0);
    EXPECT_EQ(std::to_string(touch.st_x) + "," + std::to_string(touch.st_y), "171,20");
    touch.close();
    const input_event report{{}, EV_SYN, SYN_REPORT, 0}, down{{}, EV_KEY, BTN_TOUCH, 1}, up{{}, EV_KEY, BTN_TOUCH, 0};
    const input_event dropped{{}, EV_SYN, SYN_DROPPED, 0}, x{{}, EV_ABS, ABS_X, 50}, y{{}, EV_ABS, ABS_Y, 600};
    EXPECT_EQ(reports_of({x, down, report, dropped, up, report, y, down, report}), "50,0 up 171,600 pending after 9");
    device_axes = {};
}

// A node that is not an event device is refused, and its descriptor goes with it.
TEST(TouchDevice, RefusesANodeThatIsNoEventDevice) {
    TouchDevice touch;
    const int next_free = dup(0);
    close(next_free);
    EXPECT_EQ(touch.open("/dev/null", 172, 640), -1);
    const int reused = dup(0);
    EXPECT_EQ(reused, next_free);
    close(reused);
}

}  // namespace
}  // namespace skimbo
