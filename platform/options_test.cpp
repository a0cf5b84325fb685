// Which command lines the supervisor may use, and the exact refusal for every other one.
#include "platform/options.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace skimbo {
namespace {

constexpr const char* device_refused =
    "device play requires guarded owner and actual display/touch; host overrides forbidden";
constexpr const char* host_refused = "host-stream requires headless real-time without replay";
constexpr const char* numeric = "invalid numeric argument";
constexpr const char* unqualified = "unqualified display or mode";

// The parse result as one comparable text: "ok" or the refusal message.
std::string outcome(std::vector<std::string> args, Options* parsed = nullptr) {
    std::vector<const char*> argv = {"korvel-skimbo"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    try {
        Options options = parse_options(static_cast<int>(argv.size()), argv.data());
        if (parsed) *parsed = options;
        return "ok";
    } catch (const std::runtime_error& refusal) {
        return refusal.what();
    }
}

TEST(Options, CommandLineTable) {
    struct Case {
        std::vector<std::string> args;
        std::string expected;
    };
    const std::vector<std::string> device = {"--parent-pid", "1234", "--workdir", "/tmp/w"};
    auto device_with = [&](std::vector<std::string> more) {
        std::vector<std::string> args = device;
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    const Case cases[] = {
        {{}, device_refused},
        {{"--headless"}, "ok"},
        {device, "ok"},
        {device_with({"--fb", "/dev/fb0", "--touch", "/dev/input/event1"}), "ok"},
        {device_with({"--fb", "/dev/fb1"}), device_refused},
        {device_with({"--touch", "/dev/input/event0"}), device_refused},
        {device_with({"--touch-none"}), device_refused},
        {device_with({"--virtual-clock"}), device_refused},
        {device_with({"--replay", "r"}), device_refused},
        {device_with({"--capture-dir", "c"}), device_refused},
        {device_with({"--host-stream"}), host_refused},
        {{"--workdir", "/tmp/w"}, device_refused},
        {{"--parent-pid", "1234"}, device_refused},
        {{"--headless", "--host-stream"}, "ok"},
        {{"--headless", "--host-stream", "--virtual-clock"}, host_refused},
        {{"--headless", "--host-stream", "--replay", "file"}, host_refused},
        {{"--headless", "--touch-none", "--fb", "/x", "--workdir", "w"}, "ok"},
        {{"--headless", "--single-touch", "--bench", "--nice", "10", "--idle-exit", "0"}, "ok"},
        {{"--headless", "--expect", "172x640", "--touch-range", "raw", "--user", "65534:65534", "--seccomp", "compat"},
         "ok"},
        {{"--headless", "--expect", "640x172"}, "wrong physical size"},
        {{"--headless", "--touch-range", "scaled"}, "raw calibrated touch required"},
        {{"--headless", "--user", "0:0"}, "nobody required"},
        {{"--headless", "--seccomp", "strict"}, "qualified compat isolation required"},
        {{"--headless", "--rotate", "90"}, unqualified},
        {{"--headless", "--rotate", "270"}, "ok"},
        {{"--headless", "--rotate", "271"}, numeric},
        {{"--headless", "--rotate", "-1"}, numeric},
        {{"--headless", "--fb-format", "rgb888"}, unqualified},
        {{"--headless", "--mode", "play", "--mode", "demo"}, unqualified},
        {{"--headless", "--mode", "demo", "--mode", "play"}, "ok"},
        {{"--headless", "--nice", "5"}, numeric},
        {{"--headless", "--idle-exit", "30"}, numeric},
        {{"--headless", "--seed", "0"}, numeric},
        {{"--headless", "--seed", "+7"}, "ok"},
        {{"--headless", "--seed", " 7"}, "ok"},
        {{"--headless", "--seed", "7x"}, numeric},
        {{"--headless", "--seed", "7 "}, numeric},
        {{"--headless", "--seed", ""}, numeric},
        {{"--headless", "--seed", "2147483647"}, "ok"},
        {{"--headless", "--seed", "2147483648"}, numeric},
        {{"--headless", "--seed", "4294967297"}, numeric},          // would wrap to 1 in 32 bits
        {{"--headless", "--max-session", "4294967416"}, numeric},   // would wrap to 120
        {{"--headless", "--seed", "99999999999999999999999"}, numeric},
        {{"--headless", "--max-session", "900"}, "ok"},
        {{"--headless", "--max-session", "901"}, numeric},
        {{"--headless", "--max-session", "0"}, numeric},
        {{"--headless", "--exit-after", "900000"}, "ok"},
        {{"--headless", "--exit-after", "900001"}, numeric},
        {{"--headless", "--parent-pid", "1"}, numeric},
        {{"--headless", "--seed=5"}, "unknown option: --seed=5"},
        {{"--headless", "-h"}, "unknown option: -h"},
        {{"--headless", "--"}, "unknown option: --"},
        {{"--headless", "--seed"}, "missing option value"},
        {{"--workdir", "--headless"}, device_refused},  // the flag was taken as a value
        {{"--headless", "--seed", "x", "--bogus"}, numeric},          // the first error wins
        {{"--bogus", "--seed", "x"}, "unknown option: --bogus"},
        {{"--expect", "1x1", "--rotate", "90"}, "wrong physical size"},
        {{"--rotate", "90", "--headless", "--host-stream", "--virtual-clock"}, unqualified},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const std::string& arg : c.args) joined += "[" + arg + "]";
        EXPECT_EQ(outcome(c.args), c.expected) << joined;
    }
}

TEST(Options, ValuesAreStoredAndTheLastOneWins) {
    Options o;
    ASSERT_EQ(outcome({"--headless", "--virtual-clock", "--seed", "+0042", "--seed", "9", "--max-session", "30",
                       "--exit-after", "1500", "--capture-dir", "--x", "--replay", "r.replay", "--parent-pid", "77",
                       "--headless"},
                      &o),
              "ok");
    EXPECT_TRUE(o.headless);
    EXPECT_TRUE(o.virtual_clock);
    EXPECT_FALSE(o.host_stream);
    EXPECT_EQ(o.seed, 9u);
    EXPECT_EQ(o.max_session_s, 30);
    EXPECT_EQ(o.exit_after_ms, 1500u);
    EXPECT_EQ(o.capture_dir, "--x");
    EXPECT_EQ(o.replay_path, "r.replay");
    EXPECT_EQ(o.parent_pid, 77);
}

TEST(Options, DefaultsDescribeTheQualifiedDevice) {
    Options o;
    ASSERT_EQ(outcome({"--parent-pid", "2", "--workdir", "/w"}, &o), "ok");
    EXPECT_FALSE(o.headless);
    EXPECT_EQ(o.fb_path, "/dev/fb0");
    EXPECT_EQ(o.touch_path, "/dev/input/event1");
    EXPECT_EQ(o.rotation, 270);
    EXPECT_EQ(o.max_session_s, 120);
    EXPECT_EQ(o.seed, 0u);
    EXPECT_EQ(o.exit_after_ms, 0u);
    EXPECT_EQ(o.uid, 65534u);
    EXPECT_EQ(o.gid, 65534u);
    EXPECT_EQ(o.isolation_level, 3u);
}

}  // namespace
}  // namespace skimbo
