// The autopilot's replays played by the real program on the virtual clock: every one must
// score what was asked and end the session with the exit hold.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/test_env.h"

namespace {

// Standard error of a shell command whose standard output goes to the file out.
std::string stderr_of(const std::string& command, const std::string& out = "/dev/null") {
    std::string text;
    if (std::FILE* pipe = popen((command + " 2>&1 >" + out).c_str(), "r")) {
        char chunk[4096];
        while (std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) text.append(chunk, n);
        pclose(pipe);
    }
    return text;
}

// The last log message that starts with key, up to the blank before end_key.
std::string last_between(const std::string& log, const std::string& key, const std::string& end_key) {
    std::size_t at = log.rfind("] " + key);
    if (at == std::string::npos) return "";
    return log.substr(at + 2, log.find(" " + end_key, at) - at - 2);
}

struct Flight {
    int seed;
    int pipes;
};

class AutoplayFlight : public ::testing::TestWithParam<Flight> {};

TEST_P(AutoplayFlight, ScoresTheRequestedPipesThenEndsWithTheExitHold) {
    const Flight flight = GetParam();
    skimbo::test_env::ScratchDir scratch;
    const std::string emulator = std::string(skimbo::test_env::emulator) + " ";
    const std::string replay = scratch.path + "/flight.replay", seed = std::to_string(flight.seed);
    std::string planned = stderr_of(emulator + SKIMBO_AUTOPLAY " --seed " + seed + " --pipes " +
                                    std::to_string(flight.pipes), replay);
    std::string log = stderr_of(emulator + SKIMBO_PROGRAM " --headless --virtual-clock --seed " + seed +
                                " --replay " + replay);
    std::string points = std::to_string(flight.pipes);
    EXPECT_EQ(last_between(log, "state=", "y="), "state=paused score=" + points + " best=" + points) << planned;
    EXPECT_EQ(last_between(log, "exit code=", "frames="), "exit code=0 reason=exit-gesture") << log;
}

// Twenty seeds: eighteen short flights, make demo's, and the longest a session has room for.
INSTANTIATE_TEST_SUITE_P(Seeds, AutoplayFlight,
                         ::testing::Values(Flight{1, 10}, Flight{2, 10}, Flight{3, 10}, Flight{4, 10}, Flight{5, 10},
                                           Flight{6, 10}, Flight{8, 10}, Flight{9, 10}, Flight{10, 10},
                                           Flight{11, 10}, Flight{12, 10}, Flight{13, 10}, Flight{14, 10},
                                           Flight{15, 10}, Flight{16, 10}, Flight{404, 10}, Flight{65537, 1},
                                           Flight{99991, 20}, Flight{7, 30}, Flight{2147483647, 55}),
                         [](const auto& row) {
                             return "seed_" + std::to_string(row.param.seed) + "_pipes_" + std::to_string(row.param.pipes);
                         });

}  // namespace
