#include "tests/e2e/program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "tests/test_env.h"

namespace skimbo::e2e {
namespace {

void close_fd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// In the child: the given descriptors become 0-2 (-1: closed), and nothing else of ours stays open.
[[noreturn]] void exec_command(std::vector<std::string> args, int in, int out, int err) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int given[] = {in, out, err};
    for (int fd = 0; fd < 3; ++fd) given[fd] < 0 ? close(fd) : dup2(given[fd], fd);
    for (int fd = 3; fd < 256; ++fd) close(fd);
    execv(argv[0], argv.data());
    _exit(127);
}

// Appends what arrives within timeout_ms from either stream; false once both have ended.
bool collect(ProgramRun& run, int timeout_ms) {
    pollfd fds[2] = {{run.stdout_fd, POLLIN, 0}, {run.stderr_fd, POLLIN, 0}};
    if (run.stdout_fd < 0 && run.stderr_fd < 0) return false;
    poll(fds, 2, timeout_ms);
    char buffer[65536];
    for (auto [fd, sink, ready] : {std::tuple{&run.stdout_fd, &run.out, fds[0].revents}, {&run.stderr_fd, &run.err, fds[1].revents}}) {
        const ssize_t n = ready ? read(*fd, buffer, sizeof buffer) : -1;
        if (n > 0) sink->append(buffer, static_cast<std::size_t>(n));
        else if (n == 0) close_fd(*fd);
    }
    return true;
}

}  // namespace

const char* const program_path = SKIMBO_PROGRAM;

// The program's command line, behind the emulator that runs it here if any.
static std::vector<std::string> program_command(std::vector<std::string> args) {
    args.insert(args.begin(), program_path);
    if (!test_env::emulator.empty()) args.emplace(args.begin(), test_env::emulator);
    return args;
}

ProgramRun ProgramRun::start(std::vector<std::string> args, const std::string& stderr_path) {
    return start_command(program_command(std::move(args)), stderr_path);
}

ProgramRun ProgramRun::start_command(const std::vector<std::string>& command, const std::string& stderr_path) {
    signal(SIGPIPE, SIG_IGN);  // a program that is gone shows up as a failed write
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) throw std::runtime_error("pipe");
    if (!stderr_path.empty()) close(err[1]), err[1] = open(stderr_path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ProgramRun run;
    run.pid = fork();
    if (run.pid == 0) exec_command(command, in[0], out[1], err[1]);
    close(in[0]), close(out[1]), close(err[1]);
    run.stdin_fd = in[1], run.stdout_fd = out[0], run.stderr_fd = err[0];
    if (!stderr_path.empty()) close_fd(run.stderr_fd);
    return run;
}

pid_t start_on(std::vector<std::string> args, const std::array<int, 3>& fds, const std::function<void()>& in_child) {
    args = program_command(std::move(args));
    signal(SIGPIPE, SIG_IGN);
    const pid_t pid = fork();
    if (pid == 0) {
        if (in_child) in_child();
        exec_command(args, fds[0], fds[1], fds[2]);
    }
    return pid;
}

ProgramRun::ProgramRun(ProgramRun&& o) noexcept
    : pid(std::exchange(o.pid, -1)), stdin_fd(std::exchange(o.stdin_fd, -1)), stdout_fd(std::exchange(o.stdout_fd, -1)),
      stderr_fd(std::exchange(o.stderr_fd, -1)), out(std::move(o.out)), err(std::move(o.err)), status(o.status) {}

ProgramRun::~ProgramRun() {
    close_fd(stdin_fd), close_fd(stdout_fd), close_fd(stderr_fd);
    if (pid > 0) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
}

void ProgramRun::write_stdin(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(stdin_fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) throw std::runtime_error("write to the program's standard input failed");
        done += static_cast<std::size_t>(n);
    }
}

void ProgramRun::close_stdin() { close_fd(stdin_fd); }
void ProgramRun::close_stdout() { close_fd(stdout_fd); }

bool ProgramRun::wait_for(const std::string& text, std::chrono::milliseconds timeout, int times) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const auto found = [&] {
        int count = 0;
        for (std::size_t at = err.find(text); at != std::string::npos && count < times; at = err.find(text, at + 1)) ++count;
        return count == times;
    };
    while (!found() && std::chrono::steady_clock::now() < deadline && collect(*this, 20)) {}
    return found();
}

int ProgramRun::finish() {
    close_stdin();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (collect(*this, 50))
        if (std::chrono::steady_clock::now() >= deadline) throw std::runtime_error("the program did not finish in time");
    int raw = 0;
    waitpid(std::exchange(pid, -1), &raw, 0);
    return status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

std::vector<std::string> ProgramRun::messages(const std::string& prefix) const { return log_messages(err, prefix); }

std::vector<std::string> log_messages(const std::string& log, const std::string& prefix) {
    std::vector<std::string> result;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("[korvel-skimbo ", 0) == 0 && line.find("] ") != std::string::npos) line.erase(0, line.find("] ") + 2);
        if (line.rfind(prefix, 0) == 0) result.push_back(line);
    }
    return result;
}

std::string ProgramRun::last_message() const {
    const std::vector<std::string> all = messages();
    return all.empty() ? "" : all.back();
}

ProgramRun run_program(const std::vector<std::string>& args, const std::string& input) {
    ProgramRun run = ProgramRun::start(args);
    run.write_stdin(input);
    run.finish();
    return run;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string proc_line(pid_t pid, const std::string& file, const std::string& label) {
    std::istringstream text(read_file("/proc/" + std::to_string(pid) + "/" + file));
    std::string line, value, word;
    while (std::getline(text, line) && !line.starts_with(label)) {}
    for (std::istringstream words(line.substr(std::min(label.size(), line.size()))); words >> word;) value += (value.empty() ? "" : " ") + word;
    return value;
}

long field(const std::string& line, const std::string& key) {
    const std::size_t at = line.find(key + "=");
    return at == std::string::npos ? -1 : std::strtol(line.c_str() + at + key.size() + 1, nullptr, 10);
}

}  // namespace skimbo::e2e
