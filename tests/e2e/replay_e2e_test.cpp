// Replayed sessions on the virtual clock: the same script gives the same session, frame for
// frame, so state changes are checked at their exact session times.
#include <gtest/gtest.h>
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/e2e/program_run.h"
#include "tests/support/scratch_dir.h"

namespace skimbo::e2e {
namespace {

class ReplayE2E : public ::testing::Test {
protected:
    test_support::ScratchDir scratch;
    std::string dir = scratch.path;
    int scripts_written = 0;

    std::string script(const std::string& text) {
        std::string path = dir + "/script-" + std::to_string(++scripts_written) + ".replay";
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // Plays the replay file at path on the virtual clock, capturing into a fresh directory.
    ProgramRun play_file(const std::string& path, const std::vector<std::string>& more = {}) {
        std::system(("rm -rf " + dir + "/captures && mkdir " + dir + "/captures").c_str());
        std::vector<std::string> args = {"--headless", "--virtual-clock", "--seed", "5",      "--replay",
                                         path,         "--capture-dir",   dir + "/captures"};
        args.insert(args.end(), more.begin(), more.end());
        return run_program(args);
    }
    ProgramRun play(const std::string& text, const std::vector<std::string>& more = {}) {
        return play_file(script(text), more);
    }

    // The state-change captures of the last session, "<session ms>-<phase>", in time order.
    std::vector<std::string> state_captures() {
        std::vector<std::string> names;
        DIR* listing = opendir((dir + "/captures").c_str());
        if (!listing) return names;
        while (dirent* entry = readdir(listing)) {
            std::string name = entry->d_name;
            if (name.size() > 4 && name.find("-frame") == std::string::npos)
                names.push_back(name.substr(0, name.size() - 4));
        }
        closedir(listing);
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            return std::stol(a) < std::stol(b);
        });
        return names;
    }
};

using Lines = std::vector<std::string>;

const std::string tap_at_start = "0 1 320 86\n0 0 320 86\n";

TEST_F(ReplayE2E, ASingleTapRunsDiesOnItsSixtyFourthFrameAndEndsTheGameOnItsHundredAndThird) {
    ProgramRun run = play(tap_at_start, {"--exit-after", "2000"});
    EXPECT_EQ(run.status, 12);
    Lines m = run.messages();
    ASSERT_GE(m.size(), 4u);
    EXPECT_EQ(m[1], "input tap phase=running score=0");
    EXPECT_EQ(m[2], "first frame presented (640x172 logical, rot 270)");
    EXPECT_EQ(m[3], "state=running score=0 best=0 y=79.00");
    EXPECT_EQ(run.messages_starting("state="), (Lines{"state=running score=0 best=0 y=79.00",
                                                      "state=dying score=0 best=0 y=148.00",
                                                      "state=game-over score=0 best=0 y=148.00"}));
    // Session times 1050 and 1700 are frame indexes 63 and 102 of the virtual clock.
    EXPECT_EQ(state_captures(), (Lines{"0-running", "1050-dying", "1700-game-over"}));

    // Counted the other way: the dying line comes with the 64th frame, game over with the 103rd.
    struct Bracket {
        const char* exit_after;
        const char* frames;
        const char* last_state;
    };
    for (const Bracket& b : {Bracket{"1050", "63", "running"}, Bracket{"1051", "64", "dying"},
                             Bracket{"1700", "102", "dying"}, Bracket{"1701", "103", "game-over"}}) {
        ProgramRun limited = play(tap_at_start, {"--exit-after", b.exit_after});
        EXPECT_EQ(limited.last_message(), std::string("exit code=12 reason=max-session frames=") + b.frames);
        EXPECT_EQ(limited.messages_starting("state=").back().rfind(std::string("state=") + b.last_state + " ", 0), 0u)
            << b.exit_after;
    }
}

TEST_F(ReplayE2E, PausedTimeIsNeverSimulated) {
    // Pause at 200 ms with the pause corner, resume at 700 ms with a tap.
    ProgramRun run = play(tap_at_start + "200 1 620 10\n200 0 620 10\n700 1 320 86\n700 0 320 86\n",
                          {"--exit-after", "2500"});
    EXPECT_EQ(run.messages_starting("input tap "),
              (Lines{"input tap phase=running score=0", "input tap phase=running score=0"}));
    Lines states = run.messages_starting("state=");
    ASSERT_EQ(states.size(), 5u) << run.err;
    EXPECT_EQ(states[1].rfind("state=paused score=0 best=0 y=", 0), 0u);
    // The bird resumes exactly where it stopped...
    EXPECT_EQ(states[2].substr(states[2].find(" y=")), states[1].substr(states[1].find(" y=")));
    // ...and everything after happens later by the paused span: from the frame at 183 ms,
    // the last one simulated, to the frame at 700 ms that resumed, 517 ms of session time.
    EXPECT_EQ(state_captures(), (Lines{"0-running", "200-paused", "700-running", "1566-dying", "2216-game-over"}));
}

TEST_F(ReplayE2E, ATapInGameOverStartsANewRun) {
    ProgramRun run = play(tap_at_start + "2000 1 320 86\n2000 0 320 86\n2100 1 320 86\n", {"--exit-after", "2200"});
    EXPECT_EQ(run.messages_starting("input tap "),
              (Lines{"input tap phase=running score=0", "input tap phase=ready score=0",
                     "input tap phase=running score=0"}));
    EXPECT_EQ(state_captures(),
              (Lines{"0-running", "1050-dying", "1700-game-over", "2000-ready", "2100-running"}));
    // The new run starts over from the start height.
    EXPECT_EQ(run.messages_starting("state=")[3].rfind("state=ready score=0 best=0 y=79.", 0), 0u);
}

TEST_F(ReplayE2E, AnExitHoldEndsTheSessionInTheFrameItCompletes) {
    // Held from 3000 ms (frame index 180); 1200 ms later is the frame at 4200 ms (index 252),
    // which ends the session uncounted.
    ProgramRun run = play("3000 1 10 10");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.last_message(), "exit code=0 reason=exit-gesture frames=252");

    ProgramRun let_go = play("3000 1 10 10\n4199 0 10 10\n", {"--exit-after", "6000"});
    EXPECT_EQ(let_go.status, 12);
    EXPECT_EQ(let_go.last_message(), "exit code=12 reason=max-session frames=360");

    ProgramRun wandered = play("3000 1 10 10\n3500 1 44 10\n", {"--exit-after", "6000"});
    EXPECT_EQ(wandered.status, 12);
    EXPECT_TRUE(wandered.messages_starting("input tap ").empty());
}

TEST_F(ReplayE2E, AnEventAt17MillisecondsArrivesWithTheFrameOf33) {
    ProgramRun run = play("17 1 320 86\n", {"--exit-after", "100"});
    EXPECT_EQ(state_captures(), (Lines{"0-ready", "33-running"}));
}

TEST_F(ReplayE2E, BadScriptsEndTheSessionBeforeTheFirstFrame) {
    struct Case {
        std::string path;
        const char* failure;
    };
    // Every rule has its unit test; here each message ends the real program.
    const Case cases[] = {
        {dir, "failure: replay unreadable"},
        {script("0 1 320 86\n-1"), "failure: malformed replay"},
        {script("100 1 320 86\n99 0 320 86\n"), "failure: invalid replay"},
    };
    for (const Case& c : cases) {
        ProgramRun run = play_file(c.path);
        EXPECT_EQ(run.status, 21) << c.path;
        EXPECT_EQ(run.messages_starting("failure: "), Lines{c.failure}) << c.path;
        EXPECT_EQ(run.last_message(), "exit code=21 reason=startup-or-runtime-error frames=0");
    }
}

TEST_F(ReplayE2E, TheBundledExamplePlaysToItsExitHold) {
    ProgramRun run = play_file(SKIMBO_SOURCE_DIR "/examples/tap-pause-exit.replay");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.last_message().rfind("exit code=0 reason=exit-gesture frames=", 0), 0u);
    Lines states = run.messages_starting("state=");
    EXPECT_TRUE(std::any_of(states.begin(), states.end(),
                            [](const std::string& s) { return s.rfind("state=paused ", 0) == 0; }));
    EXPECT_GE(run.messages_starting("input tap ").size(), 3u);
}

}  // namespace
}  // namespace skimbo::e2e
