// Which command lines the supervisor may use, and the exact refusal of every other one.
#include "platform/options.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

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
        {guarded_with({"--fb", "/dev/fb0", "--touch", "/dev/input/event1"}), "ok"},
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
        {{"--headless", "--touch-none", "--fb", "/x", "--touch", "/y", "--workdir", "w"}, "ok"},
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
        {{"--headless", "--mode", "demo", "--mode", "play"}, "ok"},
        {{"--headless", "--nice", "9"}, numeric},
        {{"--headless", "--nice", "11"}, numeric},
        {{"--headless", "--idle-exit", "1"}, numeric},
        // Whole decimal numbers in range; strtol's leading blanks and sign are part of it.
        {{"--headless", "--seed", "1"}, "ok"},
        {{"--headless", "--seed", "0"}, numeric},
        {{"--headless", "--seed", " +7"}, "ok"},
        {{"--headless", "--seed", "7x"}, numeric},
        {{"--headless", "--seed", ""}, numeric},
        {{"--headless", "--seed", "2147483647"}, "ok"},
        {{"--headless", "--seed", "2147483648"}, numeric},
        {{"--headless", "--seed", "99999999999999999999999"}, numeric},
        {{"--headless", "--max-session", "900"}, "ok"},
        {{"--headless", "--max-session", "901"}, numeric},
        {{"--headless", "--max-session", "0"}, numeric},
        {{"--headless", "--exit-after", "900000"}, "ok"},
        {{"--headless", "--exit-after", "900001"}, numeric},
        {{"--headless", "--exit-after", "0"}, numeric},
        {{"--headless", "--parent-pid", "2"}, "ok"},
        {{"--headless", "--parent-pid", "1"}, numeric},
        {{"--headless", "--seed=5"}, "unknown option: --seed=5"},
        {{"--headless", "--seed"}, "missing option value"},
        {{"--workdir", "--headless"}, device},  // the option's value, whatever it looks like
        {{"--headless", "--seed", "x", "--bogus"}, numeric},  // the first error wins
        {{"--expect", "1x1", "--rotate", "90"}, "wrong physical size"},
        {{"--rotate", "90", "--headless", "--host-stream", "--virtual-clock"}, unqualified},
    };
    for (const auto& [args, expected] : cases) {
        std::string joined;
        for (const std::string& arg : args) joined += "[" + arg + "]";
        EXPECT_EQ(outcome(args), expected) << joined;
    }
}

}  // namespace
}  // namespace skimbo
