#include "input/touch.h"

#include <gtest/gtest.h>
#include <linux/input.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "tests/emu/captured_log.h"
#include "tests/emu/emu_session.h"

namespace skimbo {
namespace {

using emu::EmuDevices;
using emu::EmuSession;
using emu::EmuTouch;
using emu::event_at;
using emu::logged_messages;
using emu::ScriptStep;
using Lines = std::vector<std::string>;
using Script = std::vector<ScriptStep>;

EmuDevices with_touch(const EmuTouch& touch, Script script = {}) { return EmuDevices{{}, touch, std::move(script), {}}; }

std::string description(const TouchDevice& touch) {
    char line[512];
    touch.describe(line, sizeof line);
    return line;
}

// What read_report made of the device: one entry per call until it returns 0 or -1.
struct Report {
    int result;
    int contact_count;
    int x;
    int y;
    bool operator==(const Report&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Report& r) {
    return out << "{" << r.result << ", " << r.contact_count << ", " << r.x << ", " << r.y << "}";
}

std::vector<Report> drain(TouchDevice& touch) {
    std::vector<Report> reports;
    for (int calls = 0; calls < 64; ++calls) {
        const int result = touch.read_report();
        reports.push_back(result == 1 ? Report{1, touch.contact_count, touch.contact_x, touch.contact_y}
                                      : Report{result, 0, 0, 0});
        if (result != 1) break;
    }
    return reports;
}

struct OpenTouch {
    EmuSession session;
    TouchDevice touch;

    explicit OpenTouch(Script script, EmuTouch device = {}) : session(with_touch(device, std::move(script))) {
        EXPECT_EQ(touch.open("/dev/input/event1", 172, 640), 0);
    }
};

TEST(TouchDevice, QualifiedScreenOpensGrabbedAndSilently) {
    EmuSession session(with_touch({}));
    TouchDevice touch;
    int result = -1;
    EXPECT_EQ(logged_messages([&] { result = touch.open("/dev/input/event1", 172, 640); }), Lines{});
    ASSERT_EQ(result, 0);
    EXPECT_EQ(description(touch),
              "touch name='skimbo panel touch' evdev=1 mt=0 grabbed=1 raw_x=0..171 raw_y=0..639 mode=raw-clamp "
              "swap=0 inv=0,0");
    EXPECT_EQ(session.trace(), (Lines{"touch open", "touch grab"}));
}

TEST(TouchDevice, EachRefusalLogsItsLineAndClosesTheNode) {
    struct Case {
        const char* name;
        EmuTouch device;
        const char* line;
        int error;
        Lines trace;
    };
    EmuTouch missing, plain_file, held;
    missing.present = false;
    plain_file.evdev = false;
    held.grab_refused = true;
    const Case cases[] = {
        {"missing", missing, "touch: open /dev/input/event1: No such file or directory", ENOENT, {}},
        {"not evdev", plain_file,
         "touch: evdev capability probe required for exclusive input: Inappropriate ioctl for device", ENOTTY,
         {"touch open", "touch close"}},
        {"grab held elsewhere", held, "touch: EVIOCGRAB required: Device or resource busy", EBUSY,
         {"touch open", "touch close"}},
    };
    for (const Case& c : cases) {
        EmuSession session(with_touch(c.device));
        TouchDevice touch;
        int result = 0;
        int error = 0;
        const Lines lines = logged_messages([&] {
            result = touch.open("/dev/input/event1", 172, 640);
            error = errno;
        });
        EXPECT_EQ(result, -1) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
        EXPECT_EQ(lines, Lines{c.line}) << c.name;
        EXPECT_EQ(touch.fd, -1) << c.name;
        EXPECT_EQ(touch.grabbed, 0) << c.name;
        EXPECT_EQ(session.trace(), c.trace) << c.name;
    }
}

TEST(TouchDevice, MultitouchScreenOpensWithItsSlotRanges) {
    EmuTouch device;
    emu::make_multitouch(device);
    device.axes = {{ABS_X, 0, 4095}, {ABS_Y, 0, 4095}, {ABS_MT_POSITION_X, 5, 170}, {ABS_MT_POSITION_Y, 7, 630}};
    OpenTouch open({}, device);
    EXPECT_EQ(open.touch.multitouch, 1);
    EXPECT_EQ(open.touch.grabbed, 1);
    EXPECT_EQ(description(open.touch),
              "touch name='skimbo panel touch' evdev=1 mt=1 grabbed=1 raw_x=5..170 raw_y=7..630 mode=raw-clamp "
              "swap=0 inv=0,0");
}

TEST(TouchDevice, UnreadableNameAndRangesFallBackToDefaults) {
    EmuTouch device;
    device.name.reset();
    device.axes.clear();
    OpenTouch open({}, device);
    EXPECT_EQ(description(open.touch),
              "touch name='' evdev=1 mt=0 grabbed=1 raw_x=0..171 raw_y=0..639 mode=raw-clamp swap=0 inv=0,0");
}

// The name is device data shown inside one log line: cut to the field, kept on one line.
TEST(TouchDevice, NameIsCutAndKeptOnOneLine) {
    struct Case {
        std::string reported;
        std::string kept;
    };
    for (const Case& c : {Case{"evil\npanel\x1b", "evil?panel?"}, Case{std::string(100, 'n'), std::string(63, 'n')}}) {
        EmuTouch device;
        device.name = c.reported;
        OpenTouch open({}, device);
        EXPECT_EQ(std::string(open.touch.name), c.kept);
    }
}

Script steps(std::initializer_list<std::array<int, 3>> events) {
    Script script;
    for (const auto& [type, code, value] : events)
        script.push_back(event_at(0, static_cast<std::uint16_t>(type), static_cast<std::uint16_t>(code), value));
    return script;
}

// Scripts of kernel events and the reports they must give, up to the read that finds the
// node empty.
TEST(TouchDevice, DecodesSingleTouchReports) {
    struct Case {
        const char* name;
        Script script;
        std::vector<Report> want;
    };
    const Case cases[] = {
        {"clamped to the panel, then lifted",
         steps({{EV_ABS, ABS_X, 200}, {EV_ABS, ABS_Y, 700}, {EV_KEY, BTN_TOUCH, 1}, {EV_SYN, SYN_REPORT, 0},
                {EV_KEY, BTN_TOUCH, 0}, {EV_SYN, SYN_REPORT, 0}}),
         {{1, 1, 171, 639}, {1, 0, 0, 0}, {0, 0, 0, 0}}},
        {"inside the panel unchanged",
         steps({{EV_ABS, ABS_X, 50}, {EV_ABS, ABS_Y, 300}, {EV_KEY, BTN_TOUCH, 1}, {EV_SYN, SYN_REPORT, 0}}),
         {{1, 1, 50, 300}, {0, 0, 0, 0}}},
        {"negative clamps to zero",
         steps({{EV_ABS, ABS_X, -5}, {EV_ABS, ABS_Y, -1}, {EV_KEY, BTN_TOUCH, 1}, {EV_SYN, SYN_REPORT, 0}}),
         {{1, 1, 0, 0}, {0, 0, 0, 0}}},
        {"edges of the panel",
         steps({{EV_ABS, ABS_X, 171}, {EV_ABS, ABS_Y, 640}, {EV_KEY, BTN_TOUCH, 1}, {EV_SYN, SYN_REPORT, 0}}),
         {{1, 1, 171, 639}, {0, 0, 0, 0}}},
        {"moves without a new touch",
         steps({{EV_ABS, ABS_X, 50}, {EV_ABS, ABS_Y, 300}, {EV_KEY, BTN_TOUCH, 1}, {EV_SYN, SYN_REPORT, 0},
                {EV_ABS, ABS_X, 60}, {EV_SYN, SYN_REPORT, 0}}),
         {{1, 1, 50, 300}, {1, 1, 60, 300}, {0, 0, 0, 0}}},
        {"other events ignored",
         steps({{EV_ABS, ABS_PRESSURE, 9}, {EV_KEY, BTN_LEFT, 1}, {EV_MSC, MSC_SCAN, 4}, {EV_SYN, SYN_CONFIG, 0},
                {EV_SYN, SYN_REPORT, 0}}),
         {{1, 0, 0, 0}, {0, 0, 0, 0}}},
        {"dropped events close with one empty report and start afresh",
         steps({{EV_ABS, ABS_X, 50}, {EV_ABS, ABS_Y, 300}, {EV_KEY, BTN_TOUCH, 1}, {EV_SYN, SYN_REPORT, 0},
                {EV_SYN, SYN_DROPPED, 0}, {EV_ABS, ABS_X, 10}, {EV_KEY, BTN_TOUCH, 1}, {EV_SYN, SYN_REPORT, 0},
                {EV_ABS, ABS_X, 20}, {EV_SYN, SYN_REPORT, 0}}),
         {{1, 1, 50, 300}, {1, 0, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 0}}},
    };
    for (const Case& c : cases) {
        OpenTouch open(c.script);
        EXPECT_EQ(drain(open.touch), c.want) << c.name;
        EXPECT_EQ(open.touch.events_seen, c.script.size()) << c.name;
    }
}

TEST(TouchDevice, GapAfterDroppedEventsIsNotCountedAsAReport) {
    OpenTouch open(steps({{EV_SYN, SYN_DROPPED, 0}, {EV_SYN, SYN_REPORT, 0}, {EV_SYN, SYN_REPORT, 0}}));
    drain(open.touch);
    EXPECT_EQ(open.touch.reports_seen, 1u);
    EXPECT_EQ(open.touch.events_seen, 3u);
}

TEST(TouchDevice, ReadFaultsEndTheDevice) {
    struct Case {
        const char* name;
        ScriptStep fault;
        int error;
    };
    for (const Case& c : {Case{"half an event", emu::partial_read_at(0), EIO},
                          Case{"unplugged", emu::unplug_at(0), ENODEV}}) {
        Script script = steps({{EV_ABS, ABS_X, 50}, {EV_KEY, BTN_TOUCH, 1}, {EV_SYN, SYN_REPORT, 0}});
        script.push_back(c.fault);
        OpenTouch open(script);
        EXPECT_EQ(open.touch.read_report(), 1) << c.name;
        errno = 0;
        EXPECT_EQ(open.touch.read_report(), -1) << c.name;
        EXPECT_EQ(errno, c.error) << c.name;
    }
}

TEST(TouchDevice, EndOfTheNodeReadsAsEmpty) {
    Script script{emu::end_of_file_at(0)};
    emu::press(script, 0, 30, 40);
    OpenTouch open(script);
    EXPECT_EQ(drain(open.touch), (std::vector<Report>{{0, 0, 0, 0}}));
    EXPECT_EQ(drain(open.touch), (std::vector<Report>{{1, 1, 30, 40}, {0, 0, 0, 0}}));
}

// A report whose end has not arrived yet stays pending and completes on a later call.
TEST(TouchDevice, PartlyArrivedReportCompletesLater) {
    Script script = steps({{EV_ABS, ABS_X, 70}, {EV_ABS, ABS_Y, 80}});
    script.push_back(event_at(200, EV_KEY, BTN_TOUCH, 1));
    script.push_back(event_at(200, EV_SYN, SYN_REPORT, 0));
    OpenTouch open(script);
    EXPECT_EQ(open.touch.read_report(), 0);
    EXPECT_EQ(open.touch.events_seen, 2u);
    int result = 0;
    for (int polls = 0; polls < 300 && result == 0; ++polls) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        result = open.touch.read_report();
    }
    EXPECT_EQ(result, 1);
    EXPECT_EQ((Report{1, open.touch.contact_count, open.touch.contact_x, open.touch.contact_y}),
              (Report{1, 1, 70, 80}));
}

TEST(TouchDevice, CloseReleasesTheGrabOnce) {
    OpenTouch open({});
    open.touch.close();
    open.touch.close();
    EXPECT_EQ(open.touch.fd, -1);
    EXPECT_EQ(open.session.trace(), (Lines{"touch open", "touch grab", "touch ungrab", "touch close"}));
}

TEST(TouchDevice, ReopeningStartsFromAFreshState) {
    Script script;
    emu::press(script, 0, 30, 40);
    OpenTouch open(script);
    drain(open.touch);
    ASSERT_EQ(open.touch.open("/dev/input/event1", 172, 640), 0);
    EXPECT_EQ(open.touch.contact_count, 0);
    EXPECT_EQ(open.touch.events_seen, 0u);
    EXPECT_EQ(open.touch.reports_seen, 0u);
    EXPECT_EQ(open.session.trace(),
              (Lines{"touch open", "touch grab", "touch ungrab", "touch close", "touch open", "touch grab"}));
}

}  // namespace
}  // namespace skimbo
