#include "kiosk/child.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

extern char** environ;

namespace skimbo::kiosk {
namespace {

// The spawn attributes and file actions, released on every path out.
struct SpawnSetup {
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    SpawnSetup() { posix_spawnattr_init(&attributes), posix_spawn_file_actions_init(&actions); }
    ~SpawnSetup() { posix_spawnattr_destroy(&attributes), posix_spawn_file_actions_destroy(&actions); }
};

}  // namespace

Child Child::start(const std::vector<std::string>& argv) {
    Child child;
    int pipe_ends[2];
    if (pipe2(pipe_ends, O_CLOEXEC) != 0) {
        child.error = errno;
        return child;
    }
    UniqueFd read_end(pipe_ends[0]), write_end(pipe_ends[1]);
    // The supervisor blocks its stop signals and SIGCHLD to read them from a descriptor, and
    // ignores SIGPIPE; the program starts with none of that. It gets a process group of its
    // own: a signal meant for the supervisor's group (a terminal's Ctrl-C) reaches the session
    // only as the supervisor's ordered stop.
    SpawnSetup setup;
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGCHLD, SIGPIPE}) sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, write_end.fd, STDERR_FILENO);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    child.error = posix_spawn(&child.pid, args[0], &setup.actions, &setup.attributes, args.data(), environ);
    if (child.error != 0) {
        child.pid = -1;
        return child;
    }
    fcntl(read_end.fd, F_SETFL, O_NONBLOCK);
    child.log = std::move(read_end);
    return child;
}

std::string program_problem(const std::string& path) {
    struct stat file {};
    if (stat(path.c_str(), &file) != 0) return strerror(errno);
    if (!S_ISREG(file.st_mode)) return "not a regular file";
    if (access(path.c_str(), X_OK) != 0) return strerror(errno);
    return "";
}

std::string signal_name(int signal) {
    const char* name = sigabbrev_np(signal);
    return name ? std::string("SIG") + name : std::to_string(signal);
}

}  // namespace skimbo::kiosk
