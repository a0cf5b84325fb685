#pragma once
// Runs the real program as a supervisor would: arguments in, standard input fed from a pipe,
// standard output and standard error collected, exit status out.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace skimbo::e2e {

struct ProgramRun {
    pid_t pid = -1;
    int stdin_fd = -1;
    int stdout_fd = -1;
    int stderr_fd = -1;
    std::string out;
    std::string err;
    int status = -1;  // exit status once finished; 128+N after signal N

    // Starts the program with args; stdin stays open until close_stdin(). With stderr_log the
    // program's standard error is appended to that file instead of being collected.
    static ProgramRun start(const std::vector<std::string>& args, const std::string& stderr_log = "");
    ProgramRun() = default;
    ~ProgramRun();
    ProgramRun(ProgramRun&& other) noexcept;
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    void write_stdin(const std::string& text);
    void close_stdin();
    // Closes our end of the program's standard output, as a host that stops listening would.
    void close_stdout();
    // Reads output until a stderr line contains text or the timeout passes; true if found.
    bool wait_for_line(const std::string& text, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Reads output until out holds at least bytes or the timeout passes; true if it does.
    // Callers that consume records erase them from the front of out.
    bool wait_for_stdout(std::size_t bytes, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Collects everything until the program exits and returns its status.
    int finish(std::chrono::milliseconds timeout = std::chrono::seconds(120));
    void send_signal(int signal_number) const;

    // The messages of the log lines, without their "[korvel-skimbo N] " prefix.
    std::vector<std::string> messages() const;
    // Messages that start with prefix, in order.
    std::vector<std::string> messages_starting(const std::string& prefix) const;
    // The last non-empty message: the exit line of a finished session.
    std::string last_message() const;

private:
    bool pump_once(int timeout_ms);
};

// Starts, closes standard input at once, and collects the whole run.
ProgramRun run_program(const std::vector<std::string>& args);

// The whole content of a file, or an empty text if it cannot be read.
std::string read_file(const std::string& path);

// The number that follows "key=" in a line, or -1.
long field(const std::string& line, const std::string& key);

}  // namespace skimbo::e2e
