#include "view/child.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace skimbo::view {
namespace {

// A record is 330,244 bytes: with room for a whole one in the pipe the child writes each
// frame in one go instead of waiting for us in 10 ms steps.
constexpr int frame_pipe_bytes = 1 << 20;

struct Pipe {
    int read = -1, write = -1;
};

Pipe make_pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    return {fds[0], fds[1]};
}

void set_nonblocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

// The exit status, or 128 + the signal; -1 while the child still runs.
int reap(pid_t pid, bool block) {
    int status = 0;
    pid_t done;
    while ((done = waitpid(pid, &status, block ? 0 : WNOHANG)) < 0 && errno == EINTR) {}
    if (done != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int reap_within(pid_t pid, int ms) {
    for (int waited = 0;; waited += 10) {
        int status = reap(pid, false);
        if (status >= 0 || waited >= ms) return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

void close_fd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

void Child::start(const std::vector<std::string>& argv) {
    Pipe in = make_pipe(), out = make_pipe(), err = make_pipe();
    fcntl(out.write, F_SETPIPE_SZ, frame_pipe_bytes);  // a smaller pipe only costs wake-ups
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.read, 0);
    posix_spawn_file_actions_adddup2(&actions, out.write, 1);
    posix_spawn_file_actions_adddup2(&actions, err.write, 2);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : {in.read, out.write, err.write}) close(fd);
    input = in.write, frames = out.read, log = err.read;
    if (failed) {
        pid = -1;
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(failed));
    }
    for (int fd : {input, frames, log}) set_nonblocking(fd);
}

Child::~Child() {
    close_fd(input);
    close_fd(frames);
    close_fd(log);
}

void Child::close_input() { close_fd(input); }

int Child::finish(int grace_ms) {
    close_input();
    if (pid < 0) return -1;
    int status = reap_within(pid, grace_ms);
    if (status < 0) kill(pid, SIGTERM), status = reap_within(pid, grace_ms);
    if (status < 0) kill(pid, SIGKILL), status = reap(pid, true);
    pid = -1;
    return status;
}

}  // namespace skimbo::view
