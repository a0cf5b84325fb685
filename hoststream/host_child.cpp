#include "hoststream/host_child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <memory>
#include <span>
#include <stdexcept>

#include "hoststream/host_stream.h"
#include "tests/support/allocation_count.h"

namespace skimbo::testing {
namespace {

void close_fd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

void write_all(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) throw std::runtime_error("harness write failed");
        done += static_cast<std::size_t>(n);
    }
}

std::string limit_text(rlim_t value) { return value == RLIM_INFINITY ? "inf" : std::to_string(value); }

std::string limits_report() {
    std::string text;
    for (auto [name, resource] : {std::pair{"cpu", RLIMIT_CPU}, std::pair{"nofile", RLIMIT_NOFILE},
                                  std::pair{"core", RLIMIT_CORE}, std::pair{"fsize", RLIMIT_FSIZE},
                                  std::pair{"as", RLIMIT_AS}}) {
        rlimit limit{};
        getrlimit(resource, &limit);
        text += std::string(text.empty() ? "" : " ") + name + "=" + limit_text(limit.rlim_cur) + "/" +
                limit_text(limit.rlim_max);
    }
    return text;
}

std::string fd_modes_report() {
    std::string text;
    for (int fd : {0, 1}) {
        int flags = fcntl(fd, F_GETFL);
        text += std::string(fd ? " " : "") + std::to_string(fd) + ":" +
                (flags >= 0 && (flags & O_NONBLOCK) ? "nonblocking" : "blocking");
    }
    return text;
}

// The child's side: a set-up HostStream that obeys one command line at a time.
struct ChildServer {
    struct Sample {
        bool down;
        int x, y;
        unsigned t_ms;
    };

    std::unique_ptr<HostStream> host = std::make_unique<HostStream>(true);
    std::unique_ptr<Canvas> canvas = std::make_unique<Canvas>();
    std::array<Sample, 4096> samples{};
    std::size_t sample_count = 0;
    const ContactHandler on_contact = [this](bool down, int x, int y, unsigned t_ms) {
        if (sample_count < samples.size()) samples[sample_count++] = Sample{down, x, y, t_ms};
    };

    // "s down x y @t" per sample, then "= true|false", or "! <failure>" when the poll threw.
    std::string poll(std::uint32_t now_ms) {
        sample_count = 0;
        std::string outcome;
        try {
            std::uint64_t before = allocation_count();
            bool more = host->poll_input(now_ms, on_contact);
            bool allocated = allocation_count() != before;
            outcome = std::string("= ") + (more ? "true" : "false") + (allocated ? " allocated" : "");
        } catch (const std::exception& failure) {
            outcome = std::string("! ") + failure.what();
        }
        std::string text;
        for (const Sample& s : std::span(samples.data(), sample_count))
            text += "s " + std::to_string(s.down) + " " + std::to_string(s.x) + " " + std::to_string(s.y) + " @" +
                    std::to_string(s.t_ms) + "\n";
        return text + outcome;
    }

    std::string write_frame(bool index_pattern, std::uint32_t word) {
        for (std::size_t i = 0; i < canvas->size(); ++i) (*canvas)[i] = index_pattern ? index_pattern_word(i) : word;
        std::uint64_t before = allocation_count();
        host->write_frame(*canvas);
        return allocation_count() == before ? "= written" : "= written allocated";
    }

    // Commands: "p <now_ms>", "w u <word>", "w i 0", "l" (limits), "f" (descriptor modes).
    std::string obey(const std::string& command) {
        try {
            switch (command[0]) {
            case 'p': return poll(static_cast<std::uint32_t>(std::stoul(command.substr(2))));
            case 'w': return write_frame(command[2] == 'i', static_cast<std::uint32_t>(std::stoul(command.substr(4))));
            case 'l': return "= " + limits_report();
            case 'f': return "= " + fd_modes_report();
            }
        } catch (const std::exception& failure) {
            return std::string("! ") + failure.what();
        }
        _exit(0);
    }
};

[[noreturn]] void serve(int commands, int reports) {
    auto report = [reports](const std::string& text) { write_all(reports, text + "\n"); };
    ChildServer server;
    try {
        server.host->setup();
        report("ready");
    } catch (const std::exception& failure) {
        report(std::string("! ") + failure.what());
        _exit(0);
    }
    std::string command;
    for (char c; ::read(commands, &c, 1) == 1;) {
        if (c != '\n') {
            command.push_back(c);
            continue;
        }
        report(server.obey(command));
        command.clear();
    }
    _exit(0);
}

void place_stdin(ChildStdin kind, int pipe_end) {
    if (kind == ChildStdin::Pipe) {
        dup2(pipe_end, 0);
    } else if (kind == ChildStdin::Directory) {
        int dir = open("/", O_RDONLY | O_DIRECTORY);
        dup2(dir, 0);
        ::close(dir);
    } else {
        ::close(0);
    }
}

}  // namespace

std::uint32_t index_pattern_word(std::size_t i) { return static_cast<std::uint32_t>(i * 2654435761u) & 0xFFFFFFu; }

HostChild::HostChild(ChildStdin kind, const std::function<void()>& before_setup) {
    int in[2], out[2], cmd[2], rep[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(cmd, O_CLOEXEC) || pipe2(rep, O_CLOEXEC))
        throw std::runtime_error("pipe");
    pid = fork();
    if (pid == 0) {
        // The session driver ignores SIGPIPE so that a vanished host is a failed write.
        signal(SIGPIPE, SIG_IGN);
        place_stdin(kind, in[0]);
        dup2(out[1], 1);
        for (int fd : {in[0], in[1], out[0], out[1], cmd[1], rep[0]}) ::close(fd);
        if (before_setup) before_setup();
        serve(cmd[0], rep[1]);
    }
    for (int fd : {in[0], out[1], cmd[0], rep[1]}) ::close(fd);
    // A child that died shows up as a failed command, not as a signal that ends the test run.
    signal(SIGPIPE, SIG_IGN);
    input_fd = in[1];
    output_fd = out[0];
    command_fd = cmd[1];
    report_fd = rep[0];
    setup_outcome = report_line(std::chrono::seconds(10));
    if (setup_outcome.rfind("! ", 0) == 0) setup_outcome.erase(0, 2);
}

HostChild::~HostChild() {
    for (int* fd : {&input_fd, &output_fd, &command_fd, &report_fd}) close_fd(*fd);
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

void HostChild::send(const std::string& bytes) { write_all(input_fd, bytes); }

void HostChild::close_input() { close_fd(input_fd); }

void HostChild::close_output() { close_fd(output_fd); }

// One line from the report pipe, or "! child gave no report" when none comes in time.
std::string HostChild::report_line(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t end;
    while ((end = pending_report.find('\n')) == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd ready{report_fd, POLLIN, 0};
        char buffer[4096];
        ssize_t n = 0;
        if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0 ||
            (n = ::read(report_fd, buffer, sizeof buffer)) <= 0)
            return "! child gave no report";
        pending_report.append(buffer, static_cast<std::size_t>(n));
    }
    std::string line = pending_report.substr(0, end);
    pending_report.erase(0, end + 1);
    return line;
}

std::string HostChild::command(const std::string& text) {
    write_all(command_fd, text + "\n");
    std::string line = report_line(std::chrono::seconds(10));
    return line.substr(2);
}

PollReport HostChild::poll(std::uint32_t now_ms) {
    write_all(command_fd, "p " + std::to_string(now_ms) + "\n");
    PollReport report;
    for (std::string line = report_line(std::chrono::seconds(10)); ; line = report_line(std::chrono::seconds(10))) {
        if (line.rfind("s ", 0) != 0) {
            report.outcome = line.substr(2);
            return report;
        }
        report.samples.push_back(line.substr(2));
    }
}

void HostChild::start_write_frame(std::uint32_t word, bool index_pattern) {
    write_all(command_fd, std::string("w ") + (index_pattern ? "i " : "u ") + std::to_string(word) + "\n");
}

std::string HostChild::write_outcome() { return report_line(std::chrono::seconds(10)).substr(2); }

std::string HostChild::write_frame(std::uint32_t word, bool index_pattern) {
    start_write_frame(word, index_pattern);
    return write_outcome();
}

std::string HostChild::limits() { return command("l"); }

std::string HostChild::fd_modes() { return command("f"); }

std::string HostChild::read_output(std::size_t max, std::chrono::milliseconds timeout) {
    std::string bytes;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::array<char, 65536> buffer;
    while (bytes.size() < max) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd ready{output_fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
        ssize_t n = ::read(output_fd, buffer.data(), std::min(buffer.size(), max - bytes.size()));
        if (n <= 0) break;
        bytes.append(buffer.data(), static_cast<std::size_t>(n));
    }
    return bytes;
}

}  // namespace skimbo::testing
