// The program among the processes around it, started as a shell or a supervisor leaves it: each
// of its descriptors 0, 1 and 2 as a pipe, a pipe whose other end has gone, a regular file (new,
// or past the 4 MiB file-size limit), a terminal, /dev/null, /dev/full or closed, in each kind of
// session where it matters; then each stop signal at each place the program can wait. A cell is
// one session: its status, the reason of its exit line, what reaches the log, and the flags of
// every descriptor as they were found. docs/reliability.md holds the same tables.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <utility>

#include "tests/e2e/program_run.h"
#include "tests/emu/emu_devices.h"
#include "tests/test_env.h"

namespace skimbo::e2e {
namespace {

using namespace std::literals;
using Lines = std::vector<std::string>;

// host_to_the_end: a host-stream session that only a failure or the end of input ends, so that
// a slow machine still meets the record that passes the file-size limit.
enum Kind { virtual_clock, replay, host, device, real_clock, host_to_the_end };
// A pipe the test reads (or, as descriptor 0, holding the input), one whose other end has gone
// (the input, then its end), one the test never reads; a regular file; and the rest.
enum End { pipe_open, far_end_gone, unread_pipe, new_file, big_file, terminal, dev_null, dev_full, closed };

const Lines kind_args[] = {
    {"--headless", "--virtual-clock", "--seed", "5", "--exit-after", "100"},
    {"--headless", "--virtual-clock", "--seed", "5", "--exit-after", "1000", "--replay", "/dev/stdin"},
    {"--headless", "--host-stream", "--seed", "5", "--exit-after", "300"},
    {"--seed", "5", "--exit-after", "300"},  // with the supervisor's --parent-pid and --workdir
    {"--headless", "--seed", "5"},
    {"--headless", "--host-stream", "--seed", "5"},
};
const std::string contacts = "CONTACT 0 1 320 86\nCONTACT 0 0 320 86\n";
const std::string kind_input[] = {"", "0 1 320 86\n60 0 320 86\n", contacts, "", "", contacts};
constexpr long big_file_bytes = 5 << 20;

// One standard descriptor of the program as the test set it up. The test keeps the very
// descriptor it gives, and with it the open file whose flags the program shares.
struct Descriptor {
    int given = -1, far = -1;  // far: the test's end of a pipe or terminal, non-blocking
    std::string file;          // a regular file's path
    long skip = 0;             // bytes the file held before the session
    std::string collected;     // what the test read from its end
    int flags = -1;            // the status flags as found before the session
    bool drained = true;

    Descriptor(End end, int fd, const std::string& input, const std::string& dir) : drained(end != unread_pipe) {
        if (end == pipe_open || end == far_end_gone || end == unread_pipe) {
            int ends[2];
            if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
            given = ends[fd == 0 ? 0 : 1], far = ends[fd == 0 ? 1 : 0];
            if (fd == 0 && write(far, input.data(), input.size()) != static_cast<ssize_t>(input.size())) throw std::runtime_error("input");
            if (end == far_end_gone) close(std::exchange(far, -1));
        } else if (end == new_file || end == big_file) {
            file = dir + "/fd" + std::to_string(fd), skip = end == big_file ? big_file_bytes : 0;
            std::ofstream(file) << (fd == 0 ? input : "");
            std::filesystem::resize_file(file, std::filesystem::file_size(file) + skip);
            given = open(file.c_str(), (fd == 0 ? O_RDONLY : O_WRONLY | O_APPEND) | O_CLOEXEC);  // as 2>> or >>
        } else if (end == terminal) {
            far = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
            if (far < 0 || grantpt(far) != 0 || unlockpt(far) != 0) throw std::runtime_error("no pseudo-terminal");
            given = open(ptsname(far), O_RDWR | O_NOCTTY | O_CLOEXEC);
            termios raw{};
            tcgetattr(given, &raw), cfmakeraw(&raw), tcsetattr(given, TCSANOW, &raw);
        } else if (end != closed) {
            given = open(end == dev_null ? "/dev/null" : "/dev/full", O_RDWR | O_CLOEXEC);
        }
        if (far >= 0) fcntl(far, F_SETFL, O_NONBLOCK);
        if (given >= 0) flags = fcntl(given, F_GETFL);
    }
    Descriptor(const Descriptor&) = delete;
    ~Descriptor() { close(given), close(far); }

    void collect() {
        char chunk[65536];
        for (ssize_t n; drained && far >= 0 && (n = read(far, chunk, sizeof chunk)) > 0;) collected.append(chunk, n);
    }
    // What the program wrote here, when the test can see it.
    std::optional<std::string> written() const {
        if (!file.empty()) return read_file(file).substr(skip);
        if (far >= 0) return collected;
        return std::nullopt;
    }
    bool full() const {  // a pipe the program cannot write into any more
        int queued = 0;
        return ioctl(far, FIONREAD, &queued) == 0 && queued >= fcntl(far, F_GETPIPE_SZ);
    }
};

struct Session {
    std::array<Descriptor, 3> fds;
    pid_t pid = -1;
    int status = -1;

    std::string log() const { return fds[2].written().value_or(""); }
    // Collects output until the program exits or `until` holds; false after 20 s.
    bool watch(const std::function<bool()>& until = {}) {
        for (int step = 0; step < 2000; ++step) {
            for (Descriptor& d : fds) d.collect();
            if (until && until()) return true;
            int raw = 0;
            if (!until && waitpid(pid, &raw, WNOHANG) == pid) {
                for (Descriptor& d : fds) d.collect();
                status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
                return true;
            }
            usleep(10000);
        }
        return false;
    }
    ~Session() {
        if (status < 0 && pid > 0) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
    }
};

// What the program leaves: the devices it opened closed again, and no log line in a file it
// opened for them (a standard error closed at start lets the next open take descriptor 2).
void expect_devices_released(const emu::EmuSession& devices) {
    const Lines trace = devices.trace();
    for (const std::string device : {"panel", "touch"})
        EXPECT_EQ(std::count(trace.begin(), trace.end(), device + " open"), std::count(trace.begin(), trace.end(), device + " close"));
    const std::vector<std::uint8_t> panel = devices.panel_memory();
    for (const std::string& written : {std::string(panel.begin(), panel.end()), read_file(devices.dir.path + "/trace")})
        EXPECT_EQ(written.find("[korvel-skimbo"), std::string::npos) << "log lines among the devices";
}

class EnvironmentE2E : public ::testing::Test {
protected:
    test_env::ScratchDir scratch;
    std::optional<emu::EmuSession> devices;
    int sessions = 0;

    void SetUp() override { chmod(scratch.path.c_str(), 0755); }  // a trusted parent for working directories
    bool device_play_here() const { return !test_env::emulated && geteuid() == 0; }

    // Starts a session of `kind` on descriptors made as `ends`, with more arguments, in which
    // {dir} stands for a directory of its own; `prepare` runs on that directory first.
    std::unique_ptr<Session> start(Kind kind, std::array<End, 3> ends, Lines more = {},
                               const std::function<void(const std::string&)>& prepare = {},
                               const std::function<void()>& in_child = {}) {
        const std::string dir = scratch.path + "/" + std::to_string(++sessions);
        std::filesystem::create_directory(dir);
        if (prepare) prepare(dir);
        const std::string& input = kind_input[kind];
        auto run = std::unique_ptr<Session>(new Session{{Descriptor(ends[0], 0, input, dir), Descriptor(ends[1], 1, input, dir),
                                                 Descriptor(ends[2], 2, input, dir)}});
        Lines args = kind_args[kind];
        if (kind == device) {
            if (!devices) devices.emplace();
            args.insert(args.end(), {"--parent-pid", std::to_string(getpid()), "--workdir", dir + "/wd"});
        }
        for (std::string& arg : more) if (arg.starts_with("{dir}")) arg = dir + arg.substr(5);
        args.insert(args.end(), more.begin(), more.end());
        run->pid = start_on(args, {run->fds[0].given, run->fds[1].given, run->fds[2].given}, in_child);
        return run;
    }
    // Runs a session to its end and checks what every cell checks.
    void finish(Session& run, const std::string& cell, int status, const std::string& reason, const Lines& says) {
        SCOPED_TRACE(cell);
        ASSERT_TRUE(run.watch()) << "still running after 20 s";
        EXPECT_EQ(run.status, status);
        const Lines log = log_messages(run.log());
        if (!reason.empty()) {
            EXPECT_TRUE(!log.empty() && log.back().starts_with("exit code=" + std::to_string(status) + " reason=" + reason + " "))
                << run.log();
        } else if (run.fds[2].written()) {
            EXPECT_TRUE(log_messages(run.log(), "exit code=").empty()) << run.log();
        }
        for (const std::string& line : says)
            EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& m) { return m.find(line) != std::string::npos; }))
                << "no \"" << line << "\" in:\n" << run.log();
        for (int fd = 0; fd < 3; ++fd)
            EXPECT_EQ(fcntl(run.fds[fd].given, F_GETFL), run.fds[fd].flags) << "descriptor " << fd << "'s flags";
        if (devices) expect_devices_released(*devices);
    }
};

struct Cell {
    Kind kind;
    std::array<End, 3> ends;
    int status;
    std::string reason;  // of the exit line; "" where no exit line reaches a log the test can read
    Lines says;          // texts the log holds, each within one message
};

std::string describe(const Cell& c) {
    const char* ends[] = {"pipe", "far end gone", "unread pipe", "new file", "file past 4 MiB", "terminal", "/dev/null", "/dev/full", "closed"};
    return "session kind " + std::to_string(c.kind) + ": " + ends[c.ends[0]] + ", " + ends[c.ends[1]] + ", " + ends[c.ends[2]];
}

const std::string failed = "startup-or-runtime-error", limit = "max-session", gesture = "exit-gesture";
const std::string log_past_limit = "bytes, past the 4194304-byte file-size limit: no later line reaches it";
constexpr End P = pipe_open, G = far_end_gone, F = new_file, B = big_file, T = terminal, N = dev_null, X = dev_full, C = closed;

// Device play runs where it can: as root on the real kernel.
TEST_F(EnvironmentE2E, EveryKindOfDescriptorInEachSession) {
    const Cell cells[] = {
        {virtual_clock, {P, P, P}, 12, limit, {"first frame"}},
        {virtual_clock, {P, P, G}, 12, "", {}},
        {virtual_clock, {P, P, F}, 12, limit, {"first frame"}},
        {virtual_clock, {P, P, B}, 12, limit, {}},  // no file-size limit in this session
        {virtual_clock, {P, P, T}, 12, limit, {}},
        {virtual_clock, {N, N, N}, 12, "", {}},
        {virtual_clock, {X, X, X}, 12, "", {}},
        {virtual_clock, {C, C, C}, 12, "", {}},
        {replay, {G, P, P}, 12, limit, {"input tap"}},
        {replay, {F, P, P}, 12, limit, {"input tap"}},
        {replay, {N, P, P}, 12, limit, {}},
        {replay, {X, P, P}, 21, failed, {"failure: malformed replay"}},  // endless NUL bytes
        {replay, {C, P, P}, 21, failed, {"failure: replay unreadable"}},
        {host, {P, P, P}, 12, limit, {"input tap"}},
        {host, {G, P, P}, 0, gesture, {"input tap"}},
        {host, {F, P, P}, 0, gesture, {"input tap"}},
        {host, {T, P, P}, 12, limit, {}},
        {host, {N, P, P}, 0, gesture, {}},
        {host, {X, P, P}, 21, failed, {"failure: host-stream contact bounds"}},
        {host, {C, P, P}, 21, failed, {"failure: host-stream nonblocking pipe"}},
        {host_to_the_end, {P, G, P}, 21, failed, {"failure: host-stream output pipe"}},
        {host_to_the_end, {P, F, P}, 21, failed, {"host-stream: standard output is a file at 0 bytes: the 4194304-byte file-size limit leaves room for 12 records",
                                       "failure: host-stream output pipe"}},
        {host_to_the_end, {P, B, P}, 21, failed, {"host-stream: standard output is a file at 5242880 bytes: the 4194304-byte file-size limit leaves room for 0 records",
                                       "failure: host-stream output pipe"}},
        {host, {P, T, P}, 12, limit, {}},
        {host, {P, N, P}, 12, limit, {}},
        {host_to_the_end, {P, X, P}, 21, failed, {"failure: host-stream output pipe"}},
        {host_to_the_end, {P, C, P}, 21, failed, {"failure: host-stream nonblocking pipe"}},
        {host, {P, P, F}, 12, limit, {"input tap"}},
        {host, {P, P, B}, 12, "", {"HELLO", log_past_limit}},
        {host, {P, P, T}, 12, limit, {"input tap"}},
        {device, {P, P, P}, 12, limit, {"sandbox: "}},
        {device, {C, C, P}, 12, limit, {"sandbox: "}},
        {device, {P, P, C}, 12, "", {}},  // the panel is opened first: it must not take descriptor 2
        {device, {P, P, B}, 12, "", {"touch name=", log_past_limit}},
        {device, {T, T, T}, 12, limit, {"sandbox: "}},
    };
    for (const Cell& c : cells) {
        if (c.kind == device && !device_play_here()) continue;
        std::unique_ptr<Session> run = start(c.kind, c.ends);
        finish(*run, describe(c), c.status, c.reason, c.says);
    }
}

void make_fifo(const std::string& dir, const std::string& name) { mkfifo((dir + "/" + name).c_str(), 0600); }

// Each stop signal at each place the program can wait ends the session as stopped.
TEST_F(EnvironmentE2E, AStopEndsEveryWait) {
    int reader = -1;  // of a FIFO, never reading
    const auto fifo = [](const char* name) { return [=](const std::string& dir) { make_fifo(dir, name); }; };
    const auto unread_fifo = [&](const std::string& dir) {
        make_fifo(dir, "0-ready.ppm");
        reader = open((dir + "/0-ready.ppm").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    };
    const auto block_stops = [] {
        sigset_t stops;
        sigemptyset(&stops), sigaddset(&stops, SIGTERM), sigaddset(&stops, SIGINT), sigaddset(&stops, SIGHUP);
        sigprocmask(SIG_BLOCK, &stops, nullptr);
    };
    const Lines capture = {"--capture-dir", "{dir}"}, no_limit = {"--exit-after", "900000"};
    const struct {
        const char* place;
        Kind kind;
        std::array<End, 3> ends;
        Lines more;
        std::function<void(const std::string&)> prepare;
        const char* waiting;  // the log line after which the program waits; "": once its output pipe is full
        std::function<void()> in_child = {};
    } waits[] = {
        {"start-up: a replay FIFO with no writer", virtual_clock, {P, P, P}, {"--replay", "{dir}/replay"}, fifo("replay"), "HELLO"},
        {"start-up: a replay read from a terminal", replay, {T, P, P}, {}, {}, "HELLO"},
        {"the frame sleep", real_clock, {P, P, P}, {}, {}, "first frame"},
        {"the frame sleep, stop signals blocked by the parent", real_clock, {P, P, P}, {}, {}, "first frame", block_stops},
        {"a record waiting for room", host, {P, unread_pipe, P}, no_limit, {}, ""},
        {"a capture opening a FIFO with no reader", virtual_clock, {P, P, P}, capture, fifo("0-ready.ppm"), "state=ready"},
        {"a capture written into a FIFO nobody reads", virtual_clock, {P, P, P}, capture, unread_fifo, "state=ready"},
        {"device play's frame sleep", device, {P, P, P}, no_limit, {}, "first frame"},
    };
    for (const auto& w : waits) {
        if (w.kind == device && !device_play_here()) continue;
        for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
            std::unique_ptr<Session> run = start(w.kind, w.ends, w.more, w.prepare, w.in_child);
            const std::string waiting = w.waiting;
            const bool there = run->watch([&] {
                return waiting.empty() ? run->fds[1].full() : !log_messages(run->log(), waiting).empty();
            });
            EXPECT_TRUE(there) << w.place << ": never got there";
            kill(run->pid, signal_number);
            finish(*run, std::string(w.place) + ", signal " + std::to_string(signal_number), 11, "sigterm", {});
            close(std::exchange(reader, -1));
        }
    }
}

}  // namespace
}  // namespace skimbo::e2e
