// Faults from outside met by the real program, as its supervisor runs it: a log reader gone or
// stopped, a capture directory vanishing, read-only or full, a session stopped and continued.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "tests/test_env.h"

namespace skimbo {
namespace {

namespace fs = std::filesystem;
using namespace std::literals;

bool wait_until(const std::function<bool()>& condition) {
    for (int step = 0; step < 3000; ++step, std::this_thread::sleep_for(10ms)) if (condition()) return true;
    return false;
}

std::string read_log(const std::string& dir) {
    std::ifstream in(dir + "/log");
    return {std::istreambuf_iterator<char>(in), {}};
}

int null() { return open("/dev/null", O_RDWR | O_CLOEXEC); }
int log_file(const std::string& dir) { return open((dir + "/log").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600); }

// Runs the program on `in`, `out` and `err` (closed here once it has them) while `meanwhile` acts
// on it: its exit status, 128 + N after signal N, or -1 if it still ran after 30 s. `in_child`
// runs in the child just before the program starts.
int run(std::vector<std::string> args, int in, int out, int err, const std::function<void(pid_t)>& meanwhile,
        const std::function<void()>& in_child = [] {}) {
    args.insert(args.begin(), SKIMBO_PROGRAM);
    if (!test_env::emulator.empty()) args.insert(args.begin(), std::string(test_env::emulator));
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in, 0), dup2(out, 1), dup2(err, 2);
        in_child();
        std::vector<char*> argv;
        for (std::string& word : args) argv.push_back(word.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in), close(out), close(err);
    meanwhile(pid);
    int raw = 0;
    if (wait_until([&] { return waitpid(pid, &raw, WNOHANG) == pid; }))
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
    return -1;
}

TEST(FaultE2E, ALogReaderThatGoesAwayOrStopsReadingNeitherEndsNorBlocksTheSession) {
    for (const std::string reader : {"gone", "stopped"}) {
        SCOPED_TRACE(reader);
        int log[2];
        ASSERT_EQ(pipe2(log, O_CLOEXEC), 0);
        if (reader == "gone") close(log[0]);
        fcntl(log[1], F_SETFL, O_NONBLOCK);  // full to the brim, then blocking again for the program
        while (reader == "stopped" && write(log[1], std::string(4096, 'x').data(), 4096) > 0) {}
        fcntl(log[1], F_SETFL, 0);
        EXPECT_EQ(run({"--headless", "--seed", "5", "--exit-after", "2500"}, null(), null(), log[1], [](pid_t) {}), 12)
            << "the session ends by its limit, neither blocked nor killed";
        if (reader == "stopped") close(log[0]);
    }
}

TEST(FaultE2E, ACaptureDirectoryThatVanishesTurnsReadOnlyOrFillsUpEndsTheSessionKeepingWholeCaptures) {
    for (const std::string fault : {"removed", "full device", "size limit", "read-only"}) {
        SCOPED_TRACE(fault);
        test_env::ScratchDir scratch;
        std::string dir = scratch.path + "/captures";
        fs::create_directory(dir);
        std::vector<std::string> args{"--headless", "--seed", "3", "--exit-after", "30000", "--capture-dir", dir};
        // A full device is met at a name known in advance: on the virtual clock, the capture of 1000 ms.
        if (fault == "full device") fs::create_symlink("/dev/full", dir + "/1000-frame.ppm"), args.push_back("--virtual-clock");
        auto inflict = [&](pid_t pid) {
            siginfo_t end{};  // the wait also ends if the program could not start (no user namespace)
            auto captured = [&] {
                return std::distance(fs::directory_iterator(dir), {}) >= 3 ||
                       (waitid(P_PID, pid, &end, WEXITED | WNOHANG | WNOWAIT) == 0 && end.si_pid == pid);
            };
            if (fault == "full device" || fault == "size limit" || !wait_until(captured)) return;
            if (fault == "read-only") return fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
            fs::rename(dir, dir + ".gone");
            dir += ".gone";
        };
        // A root test gets a user namespace, where permission bits bind it too.
        auto in_child = [&] {
            if (fault == "read-only" && geteuid() == 0 && unshare(CLONE_NEWUSER) != 0) _exit(125);
            const rlimit below_one_capture{100000, 100000};
            if (fault == "size limit") setrlimit(RLIMIT_FSIZE, &below_one_capture);
        };
        const int status = run(args, null(), null(), log_file(scratch.path), inflict, in_child);
        if (status == 125) GTEST_SKIP() << "no user namespace here: permission bits do not bind root";
        EXPECT_EQ(status, 21);
        const bool short_write = fault == "full device" || fault == "size limit";
        EXPECT_NE(read_log(scratch.path).find(short_write ? "failure: capture-write" : "failure: capture-open"),
                  std::string::npos) << read_log(scratch.path);
        for (const auto& entry : fs::directory_iterator(dir))
            EXPECT_TRUE(entry.is_symlink() || entry.file_size() == 330255u || fault == "size limit") << entry.path();
        fs::permissions(dir, fs::perms::owner_all);
    }
}

TEST(FaultE2E, ASessionStoppedForSecondsGoesOnAndKeepsItsLimits) {
    for (bool host_stream : {false, true}) {
        SCOPED_TRACE(host_stream ? "host stream read slowly: the program waits in its writes" : "paced headless session");
        test_env::ScratchDir scratch;
        int input[2], output[2];
        ASSERT_EQ(pipe2(input, O_CLOEXEC) | pipe2(output, O_CLOEXEC), 0);
        std::thread host([&] { for (char b[16384]; read(output[0], b, sizeof b) > 0;) std::this_thread::sleep_for(2ms); });
        std::vector<std::string> args{"--headless", "--seed", "4", "--exit-after", "6000"};
        if (host_stream) args.push_back("--host-stream");
        const int status = run(args, input[0], output[1], log_file(scratch.path), [&](pid_t pid) {
            ASSERT_TRUE(wait_until([&] { return read_log(scratch.path).find("first frame") != std::string::npos; }));
            kill(pid, SIGSTOP);
            std::this_thread::sleep_for(3s);
            kill(pid, SIGCONT);
        });
        close(input[1]), host.join(), close(output[0]);
        const std::string text = read_log(scratch.path);
        EXPECT_EQ(status, 12) << text;
        EXPECT_NE(text.find("elapsed_ms=5"), std::string::npos) << "a heartbeat after the stall: " << text;
        const std::size_t exit_line = text.find("exit code=12 reason=max-session frames=");
        EXPECT_LE(std::stoi(text.substr(exit_line + 39)), 361) << "never more than 60 frames a second of session time";
    }
}

}  // namespace
}  // namespace skimbo
