#pragma once
// The program run as a child on three pipes: we write its standard input, read its frame
// records from its standard output and its log from its standard error. Our ends never
// block, so a child that stops reading or writing cannot stall the window.
#include <sys/types.h>

#include <string>
#include <vector>

namespace skimbo::view {

struct Child {
    pid_t pid = -1;
    int input = -1;   // its standard input; -1 once closed
    int frames = -1;  // its standard output; -1 once it ended
    int log = -1;     // its standard error; -1 once it ended

    // Starts argv[0] (looked up on PATH when it has no slash); throws what failed.
    void start(const std::vector<std::string>& argv);
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();

    void close_input();
    // Ends the child's session by closing its input and waits for it, at most grace_ms for
    // each step before the next, harder one: SIGTERM, then SIGKILL. Returns the exit
    // status, or 128 + the signal that killed it.
    int finish(int grace_ms);
    bool outputs_open() const { return frames >= 0 || log >= 0; }
};

// Closes fd and sets it to -1.
void close_fd(int& fd);

}  // namespace skimbo::view
