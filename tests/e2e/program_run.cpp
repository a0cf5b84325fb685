#include "tests/e2e/program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace skimbo::e2e {
namespace {

std::vector<std::string> command_line(const std::vector<std::string>& args) {
    std::vector<std::string> argv;
    std::string emulator = SKIMBO_EMULATOR;
    if (!emulator.empty()) argv.push_back(emulator);
    argv.push_back(SKIMBO_PROGRAM);
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

[[noreturn]] void exec_child(const std::vector<std::string>& argv, int in, int out, int err) {
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (int fd = 3; fd < 256; ++fd) close(fd);
    std::vector<char*> raw;
    for (const std::string& arg : argv) raw.push_back(const_cast<char*>(arg.c_str()));
    raw.push_back(nullptr);
    execv(raw[0], raw.data());
    _exit(127);
}

void close_fd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

ProgramRun ProgramRun::start(const std::vector<std::string>& args, const std::string& stderr_log) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) throw std::runtime_error("pipe");
    if (!stderr_log.empty()) {
        close(err[1]);
        err[1] = open(stderr_log.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (err[1] < 0) throw std::runtime_error("cannot open " + stderr_log);
    }
    std::vector<std::string> argv = command_line(args);
    ProgramRun run;
    run.pid = fork();
    if (run.pid == 0) exec_child(argv, in[0], out[1], err[1]);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    run.stdin_fd = in[1];
    run.stdout_fd = out[0];
    run.stderr_fd = err[0];
    if (!stderr_log.empty()) close_fd(run.stderr_fd);
    return run;
}

ProgramRun::ProgramRun(ProgramRun&& other) noexcept
    : pid(std::exchange(other.pid, -1)), stdin_fd(std::exchange(other.stdin_fd, -1)),
      stdout_fd(std::exchange(other.stdout_fd, -1)), stderr_fd(std::exchange(other.stderr_fd, -1)),
      out(std::move(other.out)), err(std::move(other.err)), status(other.status) {}

ProgramRun::~ProgramRun() {
    close_fd(stdin_fd);
    close_fd(stdout_fd);
    close_fd(stderr_fd);
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

void ProgramRun::write_stdin(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(stdin_fd, text.data() + done, text.size() - done);
        if (n <= 0) throw std::runtime_error("write to program stdin failed");
        done += static_cast<std::size_t>(n);
    }
}

void ProgramRun::close_stdin() { close_fd(stdin_fd); }

void ProgramRun::close_stdout() { close_fd(stdout_fd); }

// Waits up to timeout_ms for output and appends whatever arrived; false once both streams ended.
bool ProgramRun::pump_once(int timeout_ms) {
    pollfd fds[2] = {{stdout_fd, POLLIN, 0}, {stderr_fd, POLLIN, 0}};
    if (stdout_fd < 0 && stderr_fd < 0) return false;
    if (poll(fds, 2, timeout_ms) <= 0) return true;
    char buffer[65536];
    int* fd_of[2] = {&stdout_fd, &stderr_fd};
    std::string* sink_of[2] = {&out, &err};
    for (int i = 0; i < 2; ++i) {
        if (*fd_of[i] < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        ssize_t n = read(*fd_of[i], buffer, sizeof buffer);
        if (n > 0) sink_of[i]->append(buffer, static_cast<std::size_t>(n));
        else close_fd(*fd_of[i]);
    }
    return true;
}

bool ProgramRun::wait_for_line(const std::string& text, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (err.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline || !pump_once(20)) return err.find(text) != std::string::npos;
    }
    return true;
}

bool ProgramRun::wait_for_stdout(std::size_t bytes, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out.size() < bytes) {
        if (std::chrono::steady_clock::now() >= deadline || !pump_once(20)) return out.size() >= bytes;
    }
    return true;
}

int ProgramRun::finish(std::chrono::milliseconds timeout) {
    close_stdin();
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (pump_once(50)) {
        if (std::chrono::steady_clock::now() >= deadline) throw std::runtime_error("program did not finish in time");
    }
    int raw = 0;
    waitpid(pid, &raw, 0);
    pid = -1;
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return status;
}

void ProgramRun::send_signal(int signal_number) const { kill(pid, signal_number); }

std::vector<std::string> ProgramRun::messages() const {
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < err.size()) {
        std::size_t end = err.find('\n', start);
        if (end == std::string::npos) end = err.size();
        std::string line = err.substr(start, end - start);
        std::size_t close = line.find("] ");
        result.push_back(line.rfind("[korvel-skimbo ", 0) == 0 && close != std::string::npos ? line.substr(close + 2)
                                                                                              : line);
        start = end + 1;
    }
    return result;
}

std::vector<std::string> ProgramRun::messages_starting(const std::string& prefix) const {
    std::vector<std::string> result;
    for (const std::string& message : messages())
        if (message.rfind(prefix, 0) == 0) result.push_back(message);
    return result;
}

std::string ProgramRun::last_message() const {
    std::vector<std::string> lines = messages();
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines.empty() ? "" : lines.back();
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ProgramRun run_program(const std::vector<std::string>& args) {
    ProgramRun run = ProgramRun::start(args);
    run.finish();
    return run;
}

long field(const std::string& line, const std::string& key) {
    std::size_t at = line.find(key + "=");
    if (at == std::string::npos) return -1;
    return std::strtol(line.c_str() + at + key.size() + 1, nullptr, 10);
}

}  // namespace skimbo::e2e
