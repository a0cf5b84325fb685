#pragma once
// Test support: the sandbox changes a process for good, so tests apply it in a forked child
// that reports what it observed as "key=value" lines; the parent asserts on the report.
// Directory trees for the working-directory walk are built below a scratch directory.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>

namespace skimbo::test {

using Report = std::map<std::string, std::string>;

struct ChildOutcome {
    int wait_status = 0;
    Report report;

    bool exited_cleanly() const { return WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 0; }
    bool killed_by(int signal_number) const { return WIFSIGNALED(wait_status) && WTERMSIG(wait_status) == signal_number; }
};

inline void write_all(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

inline std::string read_all(int fd) {
    std::string bytes;
    char chunk[4096];
    ssize_t n;
    while ((n = ::read(fd, chunk, sizeof chunk)) > 0) bytes.append(chunk, static_cast<std::size_t>(n));
    return bytes;
}

// Reads a whole file with plain system calls (no stream buffers to allocate under the
// sandbox's address-space limit); empty when it cannot be opened.
inline std::string read_file(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string bytes = read_all(fd);
    ::close(fd);
    return bytes;
}

inline Report parse_report(const std::string& text) {
    Report report;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) report[line.substr(0, equals)] = line.substr(equals + 1);
        start = end + 1;
    }
    return report;
}

// Runs `body` in a forked child; its "key=value" lines come back through a pipe. The child
// leaves with _exit so that no exit handler runs there (the leak checker of a sanitizer
// build would try to trace the child, which the filter forbids).
inline ChildOutcome run_in_child(const std::function<std::string()>& body) {
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return {-1, {}};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipe_fds[0]);
        write_all(pipe_fds[1], body());
        ::_exit(0);
    }
    ::close(pipe_fds[1]);
    ChildOutcome outcome;
    const std::string text = pid > 0 ? read_all(pipe_fds[0]) : std::string();
    ::close(pipe_fds[0]);
    if (pid < 0 || ::waitpid(pid, &outcome.wait_status, 0) != pid) return {-1, {}};
    outcome.report = parse_report(text);
    return outcome;
}

// A directory with exactly `mode` (the umask does not apply), handed to `owner` if given.
inline void make_directory(const std::string& path, mode_t mode, int owner = -1) {
    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0) << path;
    ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
    if (owner >= 0) {
        ASSERT_EQ(::chown(path.c_str(), static_cast<uid_t>(owner), static_cast<gid_t>(owner)), 0) << path;
    }
}

// A fresh 0755 directory in /tmp, removed with everything in it. /tmp is root-owned and
// sticky, so the walk trusts it.
struct ScratchDirectory {
    std::string path;

    ScratchDirectory() {
        char name[] = "/tmp/skimbo-test-XXXXXX";
        if (::mkdtemp(name) != nullptr && ::chmod(name, 0755) == 0) path = name;
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
};

}  // namespace skimbo::test
