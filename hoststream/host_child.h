#pragma once
// Test harness: a HostStream set up in a forked child whose standard input and output are
// real pipes held by the test, driven frame by frame over a command pipe.
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace skimbo::testing {

struct PollReport {
    std::vector<std::string> samples;  // "down x y @t_ms", in delivery order
    std::string outcome;               // "true", "false" or the failure's message

    bool operator==(const PollReport&) const = default;
};

enum class ChildStdin { Pipe, Closed, Directory };

struct HostChild {
    pid_t pid = -1;
    int input_fd = -1;    // we write the host's lines here
    int output_fd = -1;   // the child's records arrive here
    int command_fd = -1;
    int report_fd = -1;
    std::string setup_outcome;  // "ready" or the failure of HostStream::setup

    // Forks the child; before_setup runs in it just before HostStream::setup.
    explicit HostChild(ChildStdin kind = ChildStdin::Pipe, const std::function<void()>& before_setup = {});
    HostChild(const HostChild&) = delete;
    HostChild& operator=(const HostChild&) = delete;
    ~HostChild();

    void send(const std::string& bytes);
    void close_input();
    void close_output();
    PollReport poll(std::uint32_t now_ms);
    // Fills the canvas (a uniform word, or every pixel from its own index when index_pattern)
    // and writes one record: "written" or the failure's message.
    std::string write_frame(std::uint32_t word, bool index_pattern = false);
    // The same in two halves, so that the test can read the record while it is written.
    void start_write_frame(std::uint32_t word, bool index_pattern = false);
    std::string write_outcome();
    // "cpu=S/H nofile=S/H core=S/H fsize=S/H as=S/H" with "inf" for no limit.
    std::string limits();
    // "0:<flag> 1:<flag>" where flag is "nonblocking" or "blocking".
    std::string fd_modes();
    // Up to max bytes of the child's standard output, waiting at most timeout for them.
    std::string read_output(std::size_t max, std::chrono::milliseconds timeout);

private:
    std::string command(const std::string& text);
    std::string report_line(std::chrono::milliseconds timeout);
    std::string pending_report;
};

// The word the index pattern puts at pixel i.
std::uint32_t index_pattern_word(std::size_t i);

}  // namespace skimbo::testing
