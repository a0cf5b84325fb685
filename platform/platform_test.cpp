// Which command lines the supervisor may use, with the exact refusal of every other one, and the
// input pump's limit and releases. What accepted options do, bring-up and the pump in device
// play are tested end to end (tests/e2e).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "platform/options.h"
#include "platform/platform.h"

namespace skimbo {
namespace {

using Args = std::vector<std::string>;

// "ok" or the refusal's message. What the accepted options do, the end-to-end tests show.
std::string outcome(const Args& args) {
    std::vector<const char*> argv = {"korvel-skimbo"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    try {
        parse_options(static_cast<int>(argv.size()), argv.data());
        return "ok";
    } catch (const std::runtime_error& refusal) {
        return refusal.what();
    }
}

TEST(Options, CommandLineTable) {
    const std::string device = "device play requires guarded owner and actual display/touch; host overrides forbidden";
    const std::string host = "host-stream requires headless real-time without replay";
    const std::string numeric = "invalid numeric argument", unqualified = "unqualified display or mode";
    const Args guarded = {"--parent-pid", "1234", "--workdir", "/tmp/w"};
    const auto guarded_with = [&](Args more) {
        more.insert(more.begin(), guarded.begin(), guarded.end());
        return more;
    };
    const std::pair<Args, std::string> cases[] = {
        {{}, device},
        {guarded, "ok"},
        {guarded_with({"--fb", "/dev/fb1"}), device},
        {guarded_with({"--touch", "/dev/input/event0"}), device},
        {guarded_with({"--touch-none"}), device},
        {guarded_with({"--virtual-clock"}), device},
        {guarded_with({"--replay", "r"}), device},
        {guarded_with({"--capture-dir", "c"}), device},
        {guarded_with({"--host-stream"}), host},
        {{"--workdir", "/tmp/w"}, device},
        {{"--parent-pid", "1234"}, device},
        {{"--headless", "--host-stream"}, "ok"},
        {{"--headless", "--host-stream", "--virtual-clock"}, host},
        {{"--headless", "--host-stream", "--replay", "file"}, host},
        {{"--headless", "--single-touch", "--bench", "--nice", "10", "--idle-exit", "0", "--fb-format", "rgb565"}, "ok"},
        {{"--headless", "--expect", "172x640", "--touch-range", "raw", "--user", "65534:65534", "--seccomp", "compat"}, "ok"},
        {{"--headless", "--expect", "640x172"}, "wrong physical size"},
        {{"--headless", "--touch-range", "scaled"}, "raw calibrated touch required"},
        {{"--headless", "--user", "0:0"}, "nobody required"},
        {{"--headless", "--seccomp", "strict"}, "qualified compat isolation required"},
        {{"--headless", "--rotate", "270"}, "ok"},
        {{"--headless", "--rotate", "90"}, unqualified},
        {{"--headless", "--rotate", "271"}, numeric},
        {{"--headless", "--fb-format", "rgb888"}, unqualified},
        {{"--headless", "--mode", "play", "--mode", "demo"}, unqualified},  // the last value counts
        {{"--headless", "--seed", "7x"}, numeric},  // numbers are whole decimal numbers
        {{"--headless", "--seed", ""}, numeric},
        {{"--headless", "--seed", " \t+07"}, "ok"},  // white space may lead, never trail
        {{"--headless", "--seed", "7 "}, numeric},
        {{"--headless", "--seed=5"}, "unknown option: --seed=5"},
        {{"--headless", "--seed"}, "missing option value"},
        {{"--workdir", "--headless"}, device},  // the option's value, whatever it looks like
        {{"--headless", "--replay", ""}, "missing option value"},  // an empty path is no path
        {guarded_with({"--capture-dir", ""}), "missing option value"},
        {{"--headless", "--seed", "x", "--bogus"}, numeric},  // the first error wins
        {{"--rotate", "90", "--headless", "--host-stream", "--virtual-clock"}, unqualified},
    };
    for (const auto& [args, expected] : cases) {
        std::string joined;
        for (const std::string& arg : args) joined += "[" + arg + "]";
        EXPECT_EQ(outcome(args), expected) << joined;
    }
    // Each number's range: its bounds pass, one beyond either does not.
    for (auto [option, lowest, highest] : {std::tuple{"--seed", 1L, 2147483647L}, {"--max-session", 1L, 900L}, {"--exit-after", 1L, 900000L},
                                           {"--parent-pid", 2L, 2147483647L}, {"--nice", 10L, 10L}, {"--idle-exit", 0L, 0L}})
        for (long value : {lowest - 1, lowest, highest, highest + 1})
            EXPECT_EQ(outcome({"--headless", option, std::to_string(value)}), value < lowest || value > highest ? numeric : "ok") << option << " " << value;
}

Options headless() {
    Options options;
    options.headless = true;
    return options;
}

// Taps, and presses followed by a release or by dropped events: each report without a contact
// lifts the finger, so each press is a tap. A flooding screen cannot hold a frame: 256 reports
// at most, the rest in the next one.
TEST(PlatformTouch, ReleasesAndAtMost256ReportsAFrame) {
    Platform platform(headless());
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_NONBLOCK | O_CLOEXEC), 0);
    platform.touch.fd = ends[0], platform.touch.width = 172, platform.touch.height = 640, platform.touch_opened = true;
    platform.rotation_map.init(172, 640, 270);
    const input_event press[] = {{{}, EV_ABS, ABS_X, 86}, {{}, EV_ABS, ABS_Y, 320}, {{}, EV_KEY, BTN_TOUCH, 1}, {{}, EV_SYN, SYN_REPORT, 0}};
    const input_event release[] = {{{}, EV_KEY, BTN_TOUCH, 0}, {{}, EV_SYN, SYN_REPORT, 0}};
    const input_event dropped[] = {{{}, EV_SYN, SYN_DROPPED, 0}, {{}, EV_SYN, SYN_REPORT, 0}};
    for (int i = 0; i < 150; ++i) {
        ASSERT_EQ(write(ends[1], press, sizeof press), static_cast<ssize_t>(sizeof press));
        ASSERT_EQ(write(ends[1], i % 2 ? release : dropped, sizeof release), static_cast<ssize_t>(sizeof release));
    }
    std::vector<int> taps;
    for (unsigned frame = 1; frame <= 3; ++frame) {
        taps.push_back(0);
        platform.input(frame * 16, [&](Action a) { taps.back() += a == Action::Tap; });
    }
    EXPECT_EQ(taps, (std::vector<int>{128, 22, 0}));
    close(ends[1]);
}

}  // namespace
}  // namespace skimbo
