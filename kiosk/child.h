#pragma once
// One session's process: the program started with its standard error into a pipe that the
// supervisor reads, its standard input from /dev/null.
#include <sys/types.h>

#include <string>
#include <vector>

#include "base/unique_fd.h"

namespace skimbo::kiosk {

struct Child {
    pid_t pid = -1;
    UniqueFd log;   // the read end of the program's standard error, non-blocking
    int error = 0;  // why it did not start (an errno value), when pid is -1

    // Starts argv[0] with argv and this process's environment, the signals the supervisor
    // blocks unblocked and at their defaults.
    static Child start(const std::vector<std::string>& argv);
};

// Why the program at path cannot be started, or "" when it can: a regular file that may be executed.
std::string program_problem(const std::string& path);

// "SIGKILL" for 9; the number for a signal without a name.
std::string signal_name(int signal);

}  // namespace skimbo::kiosk
