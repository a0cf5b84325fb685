// The session as its supervisor sees it: arguments in, log lines and exit status out.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>

#include "tests/e2e/program_run.h"
#include "tests/test_env.h"

namespace skimbo::e2e {
namespace {

const std::vector<std::string> virtual_session = {"--headless", "--virtual-clock", "--seed", "5"};

std::vector<std::string> with(std::vector<std::string> base, const std::vector<std::string>& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

TEST(SessionE2E, FirstFrameLogsHelloFirstFrameStateAndHeartbeatInOrder) {
    ProgramRun run = run_program(with(virtual_session, {"--exit-after", "20"}));
    std::vector<std::string> m = run.messages();
    ASSERT_GE(m.size(), 6u) << run.err;
    EXPECT_EQ(m[0], "HELLO korvel-skimbo 1.0.0 upstream=Aerowinger native=640x172 rotation=270 seed=5");
    EXPECT_EQ(m[1], "first frame presented (640x172 logical, rot 270)");
    EXPECT_EQ(m[2], "state=ready score=0 best=0 y=79.00");
    EXPECT_EQ(m[3], "HB frames=1 elapsed_ms=0 state=ready score=0");
    EXPECT_TRUE(run.out.empty());
}

TEST(SessionE2E, LogLinesCarryTheMonotonicClockPrefix) {
    ProgramRun first = run_program(with(virtual_session, {"--exit-after", "20"}));
    ProgramRun second = run_program(with(virtual_session, {"--exit-after", "20"}));
    std::regex prefix(R"(^\[korvel-skimbo (\d+)\] .+$)");
    std::smatch a, b;
    std::string first_line = first.err.substr(0, first.err.find('\n'));
    std::string second_line = second.err.substr(0, second.err.find('\n'));
    ASSERT_TRUE(std::regex_match(first_line, a, prefix)) << first_line;
    ASSERT_TRUE(std::regex_match(second_line, b, prefix)) << second_line;
    EXPECT_LE(std::stoul(a[1]), std::stoul(b[1]));
}

TEST(SessionE2E, VirtualClockLimitsStopAtExactFrameCounts) {
    struct Case {
        std::vector<std::string> limit;
        long frames;
    };
    for (const Case& c : {Case{{"--exit-after", "1000"}, 60}, Case{{"--exit-after", "1"}, 1},
                          Case{{"--exit-after", "17"}, 2}, Case{{"--max-session", "2"}, 120},
                          Case{{"--max-session", "3", "--exit-after", "2500"}, 150}}) {
        ProgramRun run = run_program(with(virtual_session, c.limit));
        EXPECT_EQ(run.status, 12) << c.limit[1];
        EXPECT_EQ(run.last_message(), "exit code=12 reason=max-session frames=" + std::to_string(c.frames));
    }
}

TEST(SessionE2E, DefaultSessionLengthIs120SecondsOfSessionTime) {
    ProgramRun run = run_program(virtual_session);
    EXPECT_EQ(run.status, 12);
    EXPECT_EQ(run.last_message(), "exit code=12 reason=max-session frames=7200");
}

TEST(SessionE2E, HeartbeatsEveryFiveSecondsOfSessionTime) {
    ProgramRun run = run_program(with(virtual_session, {"--exit-after", "12000"}));
    std::vector<std::string> beats = run.messages_starting("HB ");
    ASSERT_EQ(beats.size(), 3u) << run.err;
    EXPECT_EQ(beats[0], "HB frames=1 elapsed_ms=0 state=ready score=0");
    EXPECT_EQ(beats[1], "HB frames=301 elapsed_ms=5000 state=ready score=0");
    EXPECT_EQ(beats[2], "HB frames=601 elapsed_ms=10000 state=ready score=0");
}

TEST(SessionE2E, BenchLineThenExitLineEndEverySession) {
    ProgramRun run = run_program(with(virtual_session, {"--exit-after", "100", "--bench"}));
    std::vector<std::string> m = run.messages();
    ASSERT_GE(m.size(), 3u);
    std::regex bench(R"(bench render_frames=6 elapsed_ms=\d+ cpu_s=\d+\.\d{3} maxrss_native=\d+)");
    EXPECT_TRUE(std::regex_match(m[m.size() - 2], bench)) << m[m.size() - 2];
    EXPECT_EQ(m[m.size() - 1], "exit code=12 reason=max-session frames=6");
}

TEST(SessionE2E, EachStopSignalEndsTheSessionWithStatus11) {
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        ProgramRun run = ProgramRun::start({"--headless", "--seed", "3"});
        ASSERT_TRUE(run.wait_for_line("first frame presented")) << run.err;
        run.send_signal(signal_number);
        EXPECT_EQ(run.finish(), 11) << signal_number;
        std::string exit_line = run.last_message();
        EXPECT_EQ(exit_line.rfind("exit code=11 reason=sigterm frames=", 0), 0u) << exit_line;
        EXPECT_GE(field(exit_line, "frames"), 1);
    }
}

TEST(SessionE2E, WrongParentIdIsALostParentBeforeTheFirstFrame) {
    ProgramRun run = run_program({"--headless", "--parent-pid", "2147483647"});
    EXPECT_EQ(run.status, 11);
    EXPECT_EQ(run.last_message(), "exit code=11 reason=parent-lost frames=0");
}

// The program's parent is an intermediate process that exits mid-session; this test
// process is the subreaper that inherits the program, as an init process would.
TEST(SessionE2E, ParentThatGoesAwayEndsTheSessionWithStatus11) {
    if (test_env::emulated) GTEST_SKIP() << "the emulator does not pass on PR_SET_CHILD_SUBREAPER";
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    pid_t middle = fork();
    if (middle == 0) {
        ProgramRun run = ProgramRun::start({"--headless", "--parent-pid", std::to_string(getpid())});
        bool started = run.wait_for_line("first frame presented");
        run.pid = -1;  // leave the program running: it is to lose its parent
        _exit(started ? 0 : 1);
    }
    ASSERT_GT(middle, 0);
    int raw = 0;
    ASSERT_EQ(waitpid(middle, &raw, 0), middle);
    ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << "the program did not start";
    // The orphaned program is now our child; wait for it to notice.
    int status = -1;
    for (int i = 0; i < 500; ++i) {
        pid_t done = waitpid(-1, &raw, WNOHANG);
        if (done > 0) {
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            break;
        }
        usleep(10000);
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0);
    EXPECT_EQ(status, 11);
}

TEST(SessionE2E, RefusedCommandLineFailsWithoutHelloOrOutput) {
    ProgramRun run = run_program({"--headless", "--seed=5"});
    std::vector<std::string> m = run.messages();
    ASSERT_GE(m.size(), 3u) << run.err;
    EXPECT_EQ(m[0], "failure: unknown option: --seed=5");
    EXPECT_TRUE(std::regex_match(m[1], std::regex(R"(bench render_frames=0 elapsed_ms=\d+ cpu_s=\d+\.\d{3} maxrss_native=\d+)")));
    EXPECT_EQ(m[2], "exit code=21 reason=startup-or-runtime-error frames=0");
    EXPECT_EQ(run.status, 21);
    EXPECT_TRUE(run.out.empty());
    EXPECT_EQ(run.err.find("HELLO"), std::string::npos);
}

TEST(SessionE2E, RealClockSessionPacesAtSixtyFramesPerSecondAndSleeps) {
    ProgramRun run = run_program({"--headless", "--seed", "9", "--exit-after", "1000"});
    EXPECT_EQ(run.status, 12);
    std::vector<std::string> bench = run.messages_starting("bench ");
    ASSERT_EQ(bench.size(), 1u);
    long frames = field(bench[0], "render_frames");
    EXPECT_GE(frames, 50);
    EXPECT_LE(frames, 61);
    double cpu_s = std::stod(bench[0].substr(bench[0].find("cpu_s=") + 6));
    EXPECT_LT(cpu_s, 0.8) << "a paced session should sleep between frames";
}

}  // namespace
}  // namespace skimbo::e2e
