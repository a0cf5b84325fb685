// Headless sessions as the supervisor and the engineer see them: a command line in; log lines,
// frame captures and the exit status out. On the virtual clock the same replay gives the same
// session frame for frame, so everything is checked at its exact session time.
//
// The golden session's checksum covers every capture it writes, so it changes with the art,
// the composition or the physics. After a change made on purpose, print it and paste it below:
//   SKIMBO_PRINT_GOLDENS=1 build/tests/e2e/session_e2e_test --gtest_filter='*Golden*'
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "tests/e2e/program_run.h"
#include "tests/test_env.h"

namespace skimbo::e2e {
namespace {

using Lines = std::vector<std::string>;

Lines virtual_session(const Lines& more) {
    Lines args = {"--headless", "--virtual-clock", "--seed", "5"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// Taps that carry the bird through two pipes (the one at 1500 ms on the pause corner, the next
// resuming), a crash, a tap at 7510 ms that restarts, and the exit corner held from 8010 ms.
// The last two fall between frames: they act in the next frame, timed from their own.
std::string golden_replay() {
    std::string text;
    for (int t : {500, 1016, 1500, 1900, 2066, 2683, 3300, 3916, 4533, 5300, 5916, 7510})
        for (const char* down : {" 1 ", " 0 "}) text += std::to_string(t) + down + (t == 1500 ? "620 10\n" : "320 86\n");
    return text + "8010 1 10 10\n";
}

TEST(SessionE2E, GoldenReplayedSession) {
    test_env::ScratchDir scratch;
    const std::string replay = scratch.path + "/golden.replay", captures = scratch.path + "/captures";
    std::ofstream(replay) << golden_replay();
    std::filesystem::create_directory(captures);
    ProgramRun run = run_program(virtual_session({"--replay", replay, "--capture-dir", captures}));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.messages()[0], "HELLO korvel-skimbo 1.0.0 upstream=Aerowinger native=640x172 rotation=270 seed=5");
    EXPECT_EQ(run.messages()[1], "first frame presented (640x172 logical, rot 270)");
    EXPECT_EQ(run.messages("HB "), (Lines{"HB frames=1 elapsed_ms=0 state=ready score=0",
                                          "HB frames=301 elapsed_ms=5000 state=running score=1"}));
    EXPECT_EQ(run.messages("input tap ").size(), 11u);  // the last one restarts
    EXPECT_EQ(run.messages("input tap ").back(), "input tap phase=ready score=0");
    EXPECT_EQ(run.last_message(), "exit code=0 reason=exit-gesture frames=553");
    // Each state line with the session time of the capture it wrote; every capture checksummed.
    std::set<std::pair<long, std::string>> names;  // "<session ms>-<phase, or frame>", in time order
    for (const auto& file : std::filesystem::directory_iterator(captures)) names.emplace(std::stol(file.path().filename()), file.path().stem());
    const Lines states = run.messages("state=");
    Lines timed;
    std::uint64_t checksum = 1469598103934665603ull;  // FNV-1a
    for (const auto& [ms, name] : names) {
        const std::string image = read_file(captures + "/" + name + ".ppm");
        EXPECT_EQ(image.substr(0, 15), "P6\n640 172\n255\n") << name;
        EXPECT_EQ(image.size(), 15u + 640 * 172 * 3) << name;
        for (unsigned char byte : image) checksum = (checksum ^ byte) * 1099511628211ull;
        if (!name.ends_with("-frame") && timed.size() < states.size()) timed.push_back(std::to_string(ms) + " " + states[timed.size()]);
    }
    EXPECT_EQ(timed, (Lines{"0 state=ready score=0 best=0 y=79.00", "500 state=running score=0 best=0 y=78.81",
                            "1500 state=paused score=0 best=0 y=58.30", "1900 state=running score=0 best=0 y=58.30",
                            "4300 state=running score=1 best=1 y=55.70", "6416 state=running score=2 best=2 y=86.32",
                            "6650 state=dying score=2 best=2 y=116.47", "7300 state=game-over score=2 best=2 y=148.00",
                            "7516 state=ready score=0 best=2 y=79.10"}));
    if (std::getenv("SKIMBO_PRINT_GOLDENS")) std::printf("golden session 0x%016" PRIX64 "\n", checksum);
    else EXPECT_EQ(checksum, 0x233E47974CF7AF19u);
}

// How sessions end, to the frame: on their limits, or with the first failure, before the first
// frame or in it. A refused command line ends before the HELLO line.
TEST(SessionE2E, SessionsEndOnTheirLimitsOrTheirFirstFailure) {
    test_env::ScratchDir scratch;
    const std::string dir = scratch.path, full = dir + "/full";
    std::filesystem::create_directory(full);
    std::filesystem::create_symlink("/dev/full", full + "/0-ready.ppm");
    std::ofstream(dir + "/malformed") << "0 1 320 86\n-1";
    std::ofstream(dir + "/invalid") << "100 1 320 86\n99 0 320 86\n";
    const std::string failed = "exit code=21 reason=startup-or-runtime-error frames=";
    const struct {
        Lines args;
        std::string failure, exit_line;
    } cases[] = {
        {{"--exit-after", "1000"}, "", "exit code=12 reason=max-session frames=60"},
        {{"--exit-after", "1"}, "", "exit code=12 reason=max-session frames=1"},
        {{"--exit-after", "17"}, "", "exit code=12 reason=max-session frames=2"},
        {{"--max-session", "2"}, "", "exit code=12 reason=max-session frames=120"},
        {{"--max-session", "3", "--exit-after", "2500"}, "", "exit code=12 reason=max-session frames=150"},
        {{}, "", "exit code=12 reason=max-session frames=7200"},
        {{"--parent-pid", "2147483647"}, "", "exit code=11 reason=parent-lost frames=0"},
        {{"--replay", SKIMBO_SOURCE_DIR "/examples/tap-pause-exit.replay"}, "", "exit code=0 reason=exit-gesture frames=522"},
        {{"--seed=5"}, "failure: unknown option: --seed=5", failed + "0"},
        // Text from outside is made printable: it cannot end the line and forge another.
        {{"--x\nexit code=0 reason=exit-gesture frames=9"}, "failure: unknown option: --x?exit code=0 reason=exit-gesture frames=9", failed + "0"},
        {{"--replay", dir}, "failure: replay unreadable", failed + "0"},  // a directory opens, but cannot be read
        {{"--replay", dir + "/missing"}, "failure: replay unreadable", failed + "0"},
        {{"--replay", dir + "/malformed"}, "failure: malformed replay", failed + "0"},
        {{"--replay", dir + "/invalid"}, "failure: invalid replay", failed + "0"},
        {{"--capture-dir", dir + "/missing"}, "failure: capture-open", failed + "1"},
        {{"--capture-dir", full}, "failure: capture-write", failed + "1"},
    };
    const std::regex bench(R"(bench render_frames=\d+ elapsed_ms=\d+ cpu_s=\d+\.\d{3} maxrss_native=\d+)");
    for (const auto& c : cases) {
        ProgramRun run = run_program(virtual_session(c.args));
        const Lines m = run.messages();
        ASSERT_GE(m.size(), 2u) << run.err;
        EXPECT_EQ(m.back(), c.exit_line);
        EXPECT_TRUE(std::regex_match(m[m.size() - 2], bench)) << m[m.size() - 2];
        EXPECT_EQ(run.messages("failure: "), c.failure.empty() ? Lines{} : Lines{c.failure});
        EXPECT_EQ(run.status, field(c.exit_line, "code")) << c.exit_line;
        EXPECT_EQ(run.messages("HELLO ").size(), c.failure.find("unknown option") == std::string::npos) << c.exit_line;
        EXPECT_TRUE(run.out.empty());
    }
}

// The seed a session derives, printed in its HELLO line, plays the same session again.
TEST(SessionE2E, ADerivedSeedPlaysTheSessionAgain) {
    const std::string replay = SKIMBO_SOURCE_DIR "/examples/tap-pause-exit.replay";
    const auto log = [](const ProgramRun& run) {
        Lines lines = run.messages();
        std::erase_if(lines, [](const std::string& line) { return line.starts_with("bench "); });
        return lines;
    };
    for (int session = 0; session < 4; ++session) {  // half of all seeds were once refused
        const Lines derived = log(run_program({"--headless", "--virtual-clock", "--replay", replay}));
        const std::string seed = derived.at(0).substr(derived[0].rfind("seed=") + 5);
        EXPECT_EQ(log(run_program({"--headless", "--virtual-clock", "--replay", replay, "--seed", seed})), derived);
    }
}

// A newcomer's --help and --version answer on standard output with no session; anywhere but
// alone they are unknown options, and so is any other word alone.
TEST(SessionE2E, HelpAndVersionAloneAnswerWithoutASession) {
    const ProgramRun help = run_program({"--help"}), version = run_program({"--version"});
    EXPECT_EQ(std::pair(help.status, version.status), std::pair(0, 0));
    EXPECT_TRUE(help.out.starts_with("usage: korvel-skimbo ")) << help.out;
    EXPECT_NE(help.out.find("\n  --exit-after N (1..900000)\n"), std::string::npos) << help.out;
    EXPECT_EQ(version.out, "korvel-skimbo 1.0.0\n");
    EXPECT_EQ(help.err + version.err, "");
    const ProgramRun mixed = run_program({"--headless", "--version"}), alone = run_program({"--versions"});
    EXPECT_EQ(std::pair(mixed.status, alone.status), std::pair(21, 21));
    EXPECT_EQ(mixed.messages("failure: "), Lines{"failure: unknown option: --version"});
    EXPECT_EQ(alone.messages("failure: "), Lines{"failure: unknown option: --versions"});
    EXPECT_EQ(alone.out, "");
}

TEST(SessionE2E, TheRealClockPacesSixtyFramesASecondAndSleepsBetweenThem) {
    ProgramRun run = run_program({"--headless", "--seed", "9", "--exit-after", "1000"});
    EXPECT_EQ(run.status, 12);
    const std::string bench = run.messages("bench ").at(0);
    EXPECT_GE(field(bench, "render_frames"), 30);  // fewer on a machine too busy to keep up
    EXPECT_LE(field(bench, "render_frames"), 61);
    EXPECT_LT(std::stod(bench.substr(bench.find("cpu_s=") + 6)), 0.8) << bench;
}

}  // namespace
}  // namespace skimbo::e2e
