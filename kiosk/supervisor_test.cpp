// The supervisor as the service manager runs it, a black box: it plays a stand-in for the
// program (test_program.sh) that prints lines, fails, hangs, dies or ignores SIGTERM as each
// case plans, and tells a notification socket of this test's how play goes.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <thread>

#include "base/unique_fd.h"
#include "tests/e2e/program_run.h"
#include "tests/test_env.h"

namespace skimbo::kiosk {
namespace {

using e2e::ProgramRun;
using e2e::read_file;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

Lines lines_of(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The supervisor's own lines, with their priority prefix.
Lines own_lines(const ProgramRun& run) {
    Lines own;
    for (const std::string& line : lines_of(run.err))
        if (line.find(">kiosk: ") == 2) own.push_back(line);
    return own;
}

// The service manager's end of $NOTIFY_SOCKET: every datagram, in order, read as they come,
// as the manager does (the kernel queues only a few).
struct NotifySocket {
    std::string path;
    UniqueFd fd{socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)};
    std::mutex lock;
    Lines received;
    std::atomic<bool> done = false;
    std::thread reader;

    explicit NotifySocket(std::string at) : path(std::move(at)) {
        sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        if (bind(fd.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) throw std::runtime_error("bind " + path);
        reader = std::thread([this] {
            char message[4096];
            for (pollfd ready{fd.fd, POLLIN, 0}; !done;)
                if (poll(&ready, 1, 20) == 1) {
                    const ssize_t n = recv(fd.fd, message, sizeof message, 0);
                    const std::lock_guard hold(lock);
                    received.emplace_back(message, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
                }
        });
    }
    ~NotifySocket() { done = true, reader.join(); }
    Lines messages() {
        const std::lock_guard hold(lock);
        return received;
    }
};

class Supervisor : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(base);
        chmod(base.c_str(), 0755);
    }
    // The supervisor playing `plan`, one behaviour of test_program.sh a line and a session,
    // with the service manager's variables set as for a unit with a 10 s watchdog.
    ProgramRun start(const std::string& plan, Lines options = {}) {
        std::ofstream(plan_path) << plan;
        Lines command = {"/bin/sh", "-c", "export NOTIFY_SOCKET=$1 WATCHDOG_USEC=10000000 WATCHDOG_PID=$$; shift; exec \"$@\"", "sh",
                         notify.path};
        if (test_env::emulated) command.emplace_back(test_env::emulator);
        if (options.empty()) options = {"--program", SKIMBO_TEST_PROGRAM, "--base", base};
        command.emplace_back(SKIMBO_KIOSK);
        command.insert(command.end(), options.begin(), options.end());
        command.insert(command.end(), {"--", plan_path});
        ProgramRun run = ProgramRun::start_command(command);
        supervisor = run.pid;
        return run;
    }
    // Once a session of the plan's "waits" plays, stops the supervisor with signal: its status.
    static int stop_when_waiting(ProgramRun& run, int signal = SIGTERM, const std::string& waiting = "waiting for SIGTERM") {
        EXPECT_TRUE(run.wait_for(waiting, std::chrono::seconds(30))) << run.err;
        kill(run.pid, signal);
        return run.finish();
    }
    std::string session_line(int n) const {
        const std::string workdir = base + "/session-" + std::to_string(n);
        return "<6>kiosk: session " + std::to_string(n) + ": " SKIMBO_TEST_PROGRAM " --parent-pid " + std::to_string(supervisor) +
               " --workdir " + workdir + " " + plan_path;
    }
    // When each session started, in seconds since boot, to 10 ms.
    std::vector<double> starts() const {
        std::istringstream in(read_file(plan_path + ".started"));
        return {std::istream_iterator<double>(in), {}};
    }

    test_env::ScratchDir scratch;
    const std::string base = scratch.path + "/base", plan_path = scratch.path + "/plan";
    NotifySocket notify{scratch.path + "/notify"};
    pid_t supervisor = -1;
};

// A session played to its end, a failed one, and one ended by the stop: every line of the
// program passed on unchanged after its priority, the long line in pieces, the last one without
// its newline; the service manager told of readiness once, of every heartbeat, of the game's
// state and of the stop; nothing of the manager's passed on to the program; each working
// directory removed after its session.
TEST_F(Supervisor, PassesTheLogOnAndTellsTheServiceManagerHowPlayGoes) {
    ProgramRun run = start("lines\nfail\nwaits\n");
    EXPECT_EQ(stop_when_waiting(run), 0);
    const std::string at = "<6>[korvel-skimbo 1000] ", hello = at + "HELLO korvel-skimbo 1.0.0 upstream=Aerowinger native=640x172 rotation=270 seed=5";
    const std::string long_line = "[korvel-skimbo 1000] " + std::string(10000, 'x');
    const Lines played = {hello, at + "first frame presented (640x172 logical, rot 270)", at + "state=ready score=0 best=0 y=79.00",
                          at + "HB frames=1 elapsed_ms=0 state=ready score=0"};
    Lines expected = {session_line(1)};
    expected.insert(expected.end(), played.begin(), played.end());
    expected.insert(expected.end(), {at + "state=running score=3 best=3 y=50.00", "<6>" + long_line.substr(0, 8192), "<6>" + long_line.substr(8192),
                                     at + "exit code=0 reason=exit-gesture frames=60", "<6>last words",
                                     "<6>kiosk: session 1 ended status 0 reason exit-gesture", session_line(2), hello,
                                     at + "touch: open /dev/input/event1: No such file or directory", "<3>[korvel-skimbo 1000] failure: touch-open",
                                     at + "exit code=21 reason=startup-or-runtime-error frames=0",
                                     "<3>kiosk: session 2 ended status 21 reason startup-or-runtime-error",
                                     "<3>kiosk: session 2 failed; next session in 1 s", session_line(3)});
    expected.insert(expected.end(), played.begin(), played.end());
    expected.insert(expected.end(), {at + "waiting for SIGTERM", "<6>kiosk: stopping", at + "exit code=11 reason=sigterm frames=60",
                                     "<6>kiosk: session 3 ended status 11 reason sigterm", "<6>kiosk: stopped"});
    EXPECT_EQ(lines_of(run.err), expected);
    const std::string ready = "STATUS=session 1: ready, score 0, best 0";
    EXPECT_EQ(notify.messages(), (Lines{"WATCHDOG=1\nSTATUS=session 1: starting", "READY=1", ready, "WATCHDOG=1",
                                        "STATUS=session 1: running, score 3, best 3", "WATCHDOG=1\nSTATUS=session 2: starting",
                                        "STATUS=session 2 failed (touch-open); next session in 1 s", "WATCHDOG=1",
                                        "WATCHDOG=1\nSTATUS=session 3: starting", "STATUS=session 3: ready, score 0, best 0", "WATCHDOG=1",
                                        "STOPPING=1\nSTATUS=stopping"}));
    std::string sessions;
    for (const char* n : {"1", "2", "3"})
        sessions += std::to_string(supervisor) + " --parent-pid " + std::to_string(supervisor) + " --workdir " + base + "/session-" + n + " " + plan_path + "\n";
    EXPECT_EQ(read_file(plan_path + ".sessions"), sessions);
    for (const char* n : {"1", "2", "3"})
        for (const char* variable : {"NOTIFY_SOCKET=", "WATCHDOG_PID=", "WATCHDOG_USEC="})
            EXPECT_EQ(read_file(plan_path + ".env-" + n).find(variable), std::string::npos) << variable;
    EXPECT_TRUE(fs::is_empty(base));
}

// What a session leaves in its working directory goes with it, but never what a link in it
// points to; what lies too deep stays, with a warning.
TEST_F(Supervisor, RemovesWhatASessionLeftWithoutFollowingLinks) {
    ProgramRun run = start("litter\nwaits\n");
    EXPECT_EQ(stop_when_waiting(run), 0);
    const Lines own = own_lines(run);
    EXPECT_NE(std::find(own.begin(), own.end(), "<4>kiosk: cannot remove " + base + "/session-1: Directory not empty"), own.end()) << run.err;
    EXPECT_EQ(fs::directory_iterator(base + "/session-1")->path(), base + "/session-1/deep");
    EXPECT_TRUE(fs::exists(plan_path + ".sessions"));
    EXPECT_TRUE(fs::exists(plan_path));
}

// Failures in a row (a failure line, an end before the first frame, a SIGKILL) wait 1, 2 and
// 4 s before the next session; a session that ends well resets the wait.
TEST_F(Supervisor, WaitsLongerAfterEachFailureInARow) {
    ProgramRun run = start("fail\nquick\nkilled\nplay 12\nfail\nwaits\n");
    EXPECT_EQ(stop_when_waiting(run), 0);
    Lines ended, waits;
    for (const std::string& line : own_lines(run)) {
        if (line.find(" ended ") != std::string::npos) ended.push_back(line.substr(line.find(" ended ") + 7));
        if (line.find(" failed; ") != std::string::npos) waits.push_back(line.substr(line.find(" in ") + 4));
    }
    EXPECT_EQ(ended, (Lines{"status 21 reason startup-or-runtime-error", "status 0 reason none", "status SIGKILL reason none",
                            "status 12 reason exit-gesture", "status 21 reason startup-or-runtime-error", "status 11 reason sigterm"}));
    EXPECT_EQ(waits, (Lines{"1 s", "2 s", "4 s", "1 s"}));
    const std::vector<double> s = starts();
    ASSERT_EQ(s.size(), 6u);
    for (auto [after, wait] : {std::pair{1, 1.0}, {2, 2.0}, {3, 4.0}, {5, 1.0}}) EXPECT_GE(s[after] - s[after - 1], wait - 0.011) << after;
    Lines failures;
    for (const std::string& message : notify.messages())
        if (message.find(" failed (") != std::string::npos) failures.push_back(message);
    EXPECT_EQ(failures, (Lines{"STATUS=session 1 failed (touch-open); next session in 1 s",
                               "STATUS=session 2 failed (ended before its first frame); next session in 2 s",
                               "STATUS=session 3 failed (status SIGKILL); next session in 4 s",
                               "STATUS=session 5 failed (touch-open); next session in 1 s"}));
}

// A session that stops writing lines (here: stopped by SIGSTOP) gets SIGTERM after 15 s and
// SIGKILL 2 s later, and counts as a failure.
TEST_F(Supervisor, EndsASessionSilentFor15Seconds) {
    ProgramRun run = start("hang\nwaits\n");
    EXPECT_EQ(stop_when_waiting(run), 0);
    EXPECT_EQ(own_lines(run), (Lines{session_line(1), "<3>kiosk: session 1 silent for 15 s: SIGTERM",
                                     "<3>kiosk: session 1 still running 2 s after SIGTERM: SIGKILL", "<3>kiosk: session 1 ended status SIGKILL reason none",
                                     "<3>kiosk: session 1 failed; next session in 1 s", session_line(2), "<6>kiosk: stopping",
                                     "<6>kiosk: session 2 ended status 11 reason sigterm", "<6>kiosk: stopped"}));
    const std::vector<double> s = starts();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_GE(s[1] - s[0], 18 - 0.011);
    const Lines messages = notify.messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), "STATUS=session 1 failed (silent for 15 s); next session in 1 s"), messages.end());
}

// SIGTERM, SIGINT and SIGHUP each end the session with SIGTERM and then the supervisor, status
// 0; a session that ignores SIGTERM is killed after 5 s.
TEST_F(Supervisor, AStopSignalEndsTheSessionAndThenTheSupervisor) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ProgramRun run = start("waits\n");
        EXPECT_EQ(stop_when_waiting(run, signal), 0);
        EXPECT_EQ(own_lines(run), (Lines{session_line(1), "<6>kiosk: stopping", "<6>kiosk: session 1 ended status 11 reason sigterm",
                                         "<6>kiosk: stopped"}))
            << signal;
    }
}

TEST_F(Supervisor, KillsASessionThatIgnoresTheStopAfter5Seconds) {
    ProgramRun run = start("stubborn\n");
    EXPECT_EQ(stop_when_waiting(run, SIGTERM, "HB "), 0);
    EXPECT_EQ(own_lines(run), (Lines{session_line(1), "<6>kiosk: stopping", "<3>kiosk: session 1 still running 5 s after SIGTERM: SIGKILL",
                                     "<3>kiosk: session 1 ended status SIGKILL reason none", "<6>kiosk: stopped"}));
    EXPECT_TRUE(fs::is_empty(base));
}

// What keeps every session from starting is a failure with its own line, then a wait.
TEST_F(Supervisor, RefusesAnUnsafeBaseOrAProgramItCannotStart) {
    const std::string good = scratch.path + "/good", link = scratch.path + "/link", open = scratch.path + "/open";
    const std::string theirs = scratch.path + "/theirs", data = scratch.path + "/data";
    for (auto [dir, mode] : {std::pair{good, 0755}, {open, 0775}, {theirs, 0755}}) fs::create_directory(dir), chmod(dir.c_str(), mode);
    fs::create_directory_symlink(good, link);
    std::ofstream(data) << "#!/bin/sh\n";
    const bool root = geteuid() == 0;
    if (root) chown(theirs.c_str(), 1000, 1000);
    struct Case {
        Lines options;
        std::string line;
    };
    const std::string mode0775 = ": owner " + std::to_string(geteuid()) + ", mode 0775: it must be root's and writable by no one else (mode 0755)";
    const Case cases[] = {
        {{"--base", open}, "<3>kiosk: base directory " + open + mode0775},
        {{"--base", link}, "<3>kiosk: base directory " + link + ": not a directory"},
        {{"--base", good + "/missing/base"}, "<3>kiosk: base directory " + good + "/missing/base: cannot create it: No such file or directory"},
        {{"--program", scratch.path + "/missing"}, "<3>kiosk: cannot start " + scratch.path + "/missing: No such file or directory"},
        {{"--program", data}, "<3>kiosk: cannot start " + data + ": Permission denied"},
        {{"--program", good}, "<3>kiosk: cannot start " + good + ": not a regular file"},
        {{"--base", root ? theirs : open}, "<3>kiosk: base directory " + (root ? theirs + ": owner 1000, mode 0755" : open + ": owner") },
    };
    for (const Case& c : cases) {
        Lines options = {"--program", SKIMBO_TEST_PROGRAM, "--base", good};
        options.insert(options.end(), c.options.begin(), c.options.end());
        ProgramRun run = start("waits\n", options);
        EXPECT_EQ(stop_when_waiting(run, SIGTERM, "next session in 1 s"), 0);
        const Lines own = own_lines(run);
        EXPECT_EQ(own.size(), 4u) << run.err;
        EXPECT_TRUE(own.at(0).starts_with(c.line)) << own.at(0) << "\nnot " << c.line;
        EXPECT_EQ(own.at(1), "<3>kiosk: session 1 failed; next session in 1 s");
    }
}

TEST_F(Supervisor, RefusesABadCommandLineWithItsUsage) {
    ProgramRun refused = start("waits\n", {"--seed", "7"});
    EXPECT_EQ(refused.finish(), 2);
    EXPECT_EQ(lines_of(refused.err), (Lines{"<3>kiosk: unknown option: --seed", "<3>usage: korvel-skimbo-kiosk [--program PATH] [--base DIRECTORY] [-- PROGRAM-OPTION...]"}));
    ProgramRun help = start("waits\n", {"--help"});
    EXPECT_EQ(help.finish(), 0);
    EXPECT_TRUE(help.out.starts_with("usage: korvel-skimbo-kiosk ")) << help.out;
    EXPECT_EQ(help.err, "");
}

}  // namespace
}  // namespace skimbo::kiosk
