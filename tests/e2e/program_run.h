#pragma once
// Runs the real program as its supervisor does: arguments in, standard input through a pipe,
// standard output and standard error collected, the exit status out.
#include <sys/types.h>

#include <array>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace skimbo::e2e {

struct ProgramRun {
    pid_t pid = -1;
    int stdin_fd = -1, stdout_fd = -1, stderr_fd = -1;
    std::string out, err;  // standard output and standard error so far
    int status = -1;       // the exit status once finished; 128 + N after signal N

    // Starts the program; with stderr_path its standard error goes to the end of that file.
    static ProgramRun start(std::vector<std::string> args, const std::string& stderr_path = "");
    // Starts another command, its path first, in the same way.
    static ProgramRun start_command(const std::vector<std::string>& command, const std::string& stderr_path = "");
    ProgramRun() = default;
    ProgramRun(ProgramRun&& other) noexcept;
    ~ProgramRun();  // kills a program that still runs

    void write_stdin(const std::string& bytes);
    void close_stdin();
    void close_stdout();  // as a host that stops listening
    // Collects output until standard error holds text, `times` times; false if that takes
    // longer than timeout.
    bool wait_for(const std::string& text, std::chrono::milliseconds timeout = std::chrono::seconds(20), int times = 1);
    // Closes standard input and collects everything until the program exits; its status.
    int finish();
    // The log messages, without their "[korvel-skimbo <ms>] " prefix, that start with prefix.
    std::vector<std::string> messages(const std::string& prefix = "") const;
    std::string last_message() const;  // the exit line of a finished session
};

extern const char* const program_path;  // the program under test

// Starts the program with fds as its descriptors 0, 1 and 2 (-1: closed), as a shell or a
// supervisor may leave them, after in_child has run in the child; its pid.
pid_t start_on(std::vector<std::string> args, const std::array<int, 3>& fds, const std::function<void()>& in_child = {});

// Runs the program to its end with input on its standard input.
ProgramRun run_program(const std::vector<std::string>& args, const std::string& input = "");

std::string read_file(const std::string& path);
// The messages of a log, without their "[korvel-skimbo <ms>] " prefix, that start with prefix.
std::vector<std::string> log_messages(const std::string& log, const std::string& prefix = "");
// The number after "key=" in line, or -1.
long field(const std::string& line, const std::string& key);
// The words after label on the line of /proc/<pid>/<file> that starts with it, one blank apart.
std::string proc_line(pid_t pid, const std::string& file, const std::string& label);

}  // namespace skimbo::e2e
