#include "kiosk/supervisor.h"

#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>

#include "base/write_all.h"
#include "kiosk/workdir.h"

namespace skimbo::kiosk {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// One line on standard error, after the priority prefix journald reads, in one write.
void say_line(int priority, std::string_view text) {
    std::string line = "<" + std::to_string(priority) + ">";
    line.append(text).push_back('\n');
    // A journal that went away leaves nowhere to say so.
    write_all(STDERR_FILENO, line);
}

// A line of the supervisor's own: "kiosk: " and the message.
__attribute__((format(printf, 2, 3))) void say(int priority, const char* format, ...) {
    va_list args, measure;
    va_start(args, format);
    va_copy(measure, args);
    std::string text(static_cast<std::size_t>(std::max(std::vsnprintf(nullptr, 0, format, measure), 0)), '\0');
    va_end(measure);
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    say_line(priority, "kiosk: " + text);
}

// The poll timeout until deadline, rounded up to whole milliseconds; -1 (none) without one.
int timeout_ms(std::optional<Clock::time_point> deadline) {
    if (!deadline) return -1;
    const auto left = std::chrono::ceil<milliseconds>(*deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

long long count(seconds time) { return static_cast<long long>(time.count()); }

// SIGTERM to the session, SIGKILL after grace unless an earlier SIGKILL is due already.
void terminate(Watch& watch, seconds grace) {
    kill(watch.child.pid, SIGTERM);
    const Clock::time_point kill_at = Clock::now() + grace;
    if (!watch.kill_at || kill_at < *watch.kill_at) watch.kill_at = kill_at, watch.grace = grace;
}

// Why no session can start now, said in a line of its own; empty when one can.
std::string start_problem(const KioskOptions& options) {
    std::string problem = base_problem(options.base);
    if (!problem.empty()) problem = "base directory " + options.base + ": " + problem;
    else if (!(problem = program_problem(options.program)).empty()) problem = "cannot start " + options.program + ": " + problem;
    if (!problem.empty()) say(error_priority, "%s", problem.c_str());
    return problem;
}

}  // namespace

seconds next_wait(seconds previous) { return std::clamp(previous * 2, seconds(1), longest_wait); }

bool SessionEnd::exited_well() const {
    const int code = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    return code == 0 || code == 11 || code == 12;
}

bool SessionEnd::failed() const { return hung || !exited_well() || !log.first_frame; }

std::string SessionEnd::why() const {
    if (hung) return "silent for " + std::to_string(silence_limit.count()) + " s";
    if (!log.failure.empty()) return log.failure;
    return exited_well() ? "ended before its first frame" : "status " + status();
}

std::string SessionEnd::status() const {
    return WIFEXITED(wait_status) ? std::to_string(WEXITSTATUS(wait_status)) : signal_name(WTERMSIG(wait_status));
}

int Supervisor::run() {
    while (!stopping) {
        const std::string failure = play(++session);
        if (stopping) break;
        if (failure.empty()) {
            wait = seconds(0);
            continue;
        }
        wait = next_wait(wait);
        say(error_priority, "session %u failed; next session in %lld s", session, count(wait));
        notifier.send("STATUS=session " + std::to_string(session) + " failed (" + failure + "); next session in " +
                      std::to_string(wait.count()) + " s");
        pause(wait);
    }
    say(info_priority, "stopped");
    return 0;
}

std::string Supervisor::play(unsigned number) {
    take_signals(nullptr);  // a stop that came between sessions starts none
    if (stopping) return "";
    if (const std::string problem = start_problem(options); !problem.empty()) return problem;
    const std::string name = "session-" + std::to_string(number), workdir = options.base + "/" + name;
    remove_workdir(options.base, name);  // left by a supervisor that was killed: the program refuses it
    std::vector<std::string> argv = {options.program, "--parent-pid", std::to_string(getpid()), "--workdir", workdir};
    argv.insert(argv.end(), options.program_options.begin(), options.program_options.end());
    Watch watch;
    watch.number = number, watch.child = Child::start(argv);
    if (watch.child.pid < 0) {
        const std::string problem = "cannot start " + options.program + ": " + strerror(watch.child.error);
        say(error_priority, "%s", problem.c_str());
        return problem;
    }
    say(info_priority, "session %u: %s", number, joined(argv).c_str());
    notifier.send("WATCHDOG=1\nSTATUS=session " + std::to_string(number) + ": starting");
    follow(watch);
    if (!remove_workdir(options.base, name)) say(warning_priority, "cannot remove %s: %s", workdir.c_str(), strerror(errno));
    const SessionEnd& end = watch.end;
    say(end.failed() ? error_priority : info_priority, "session %u ended status %s reason %s", number, end.status().c_str(),
        end.log.reason.empty() ? "none" : end.log.reason.c_str());
    return end.failed() ? end.why() : "";
}

// Until the session's process has ended, then what it wrote last.
void Supervisor::follow(Watch& watch) {
    watch.last_output = Clock::now();
    while (!watch.ended) {
        std::optional<Clock::time_point> deadline = watch.kill_at;
        if (!deadline && !stopping && !watch.end.hung) deadline = watch.last_output + silence_limit;
        pollfd ready_fds[2] = {{watch.child.log.fd, POLLIN, 0}, {signals.fd, POLLIN, 0}};
        if (poll(ready_fds, 2, timeout_ms(deadline)) > 0) {
            if (ready_fds[0].revents) relay(watch);
            if (ready_fds[1].revents) take_signals(&watch);
        }
        check_deadlines(watch);
    }
    relay(watch);
    watch.lines.finish([&](std::string_view text, bool continues) { pass_on(watch, text, continues); });
}

// Reads everything the pipe holds now: the program drops a line that finds it full.
void Supervisor::relay(Watch& watch) {
    char bytes[65536];
    while (watch.child.log.valid()) {
        const ssize_t n = read(watch.child.log.fd, bytes, sizeof bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return;
        if (n == 0) return watch.child.log.reset();
        watch.last_output = Clock::now();
        watch.lines.feed({bytes, static_cast<std::size_t>(n)}, [&](std::string_view text, bool continues) { pass_on(watch, text, continues); });
    }
}

// A line, or a piece of one, to the journal; then what it means for the service manager.
void Supervisor::pass_on(Watch& watch, std::string_view text, bool continues) {
    const LineKind kind = continues ? LineKind::other : watch.end.log.take(text);
    if (!continues) watch.line_priority = priority_of(kind);
    say_line(watch.line_priority, text);
    const SessionLog& log = watch.end.log;
    if (kind == LineKind::first_frame && !ready) notifier.send("READY=1"), ready = true;
    if (kind == LineKind::heartbeat) notifier.send("WATCHDOG=1");
    if (kind == LineKind::state)
        notifier.send("STATUS=session " + std::to_string(watch.number) + ": " + log.phase + ", score " + std::to_string(log.score) +
                      ", best " + std::to_string(log.best));
}

void Supervisor::take_signals(Watch* watch) {
    signalfd_siginfo info;
    while (read(signals.fd, &info, sizeof info) == sizeof info) {
        if (info.ssi_signo != SIGCHLD) {
            begin_stop(watch);
            continue;
        }
        int status = 0;
        if (watch && !watch->ended && waitpid(watch->child.pid, &status, WNOHANG) == watch->child.pid)
            watch->end.wait_status = status, watch->ended = true;
    }
}

void Supervisor::begin_stop(Watch* watch) {
    if (stopping) return;
    stopping = true;
    say(info_priority, "stopping");
    notifier.send("STOPPING=1\nSTATUS=stopping");
    if (watch && !watch->ended) terminate(*watch, stop_grace);
}

void Supervisor::check_deadlines(Watch& watch) {
    if (watch.ended) return;
    const Clock::time_point now = Clock::now();
    if (watch.kill_at && now >= *watch.kill_at) {
        say(error_priority, "session %u still running %lld s after SIGTERM: SIGKILL", watch.number, count(watch.grace));
        kill(watch.child.pid, SIGKILL);
        watch.kill_at.reset();
    } else if (!watch.kill_at && !stopping && !watch.end.hung && now >= watch.last_output + silence_limit) {
        say(error_priority, "session %u silent for %lld s: SIGTERM", watch.number, count(silence_limit));
        watch.end.hung = true;
        terminate(watch, hung_grace);
    }
}

// The wait after a failure, cut short by a stop. Nothing runs meanwhile but this loop, which
// keeps the service manager's watchdog fed.
void Supervisor::pause(seconds length) {
    const Clock::time_point until = Clock::now() + length;
    Clock::time_point next_feed = Clock::now();
    for (Clock::time_point now = next_feed; !stopping && now < until; now = Clock::now()) {
        if (notifier.watchdog.count() > 0 && now >= next_feed) {
            notifier.send("WATCHDOG=1");
            next_feed = now + notifier.watchdog / 2;
        }
        pollfd signal_fd{signals.fd, POLLIN, 0};
        const Clock::time_point wake = notifier.watchdog.count() > 0 ? std::min(until, next_feed) : until;
        if (poll(&signal_fd, 1, timeout_ms(wake)) > 0) take_signals(nullptr);
    }
}

}  // namespace skimbo::kiosk
