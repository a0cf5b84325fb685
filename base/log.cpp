#include "base/log.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <span>

#include "base/clock.h"

namespace skimbo {
namespace {

// A line leaves in one write of at most PIPE_BUF bytes: a pipe takes such a write whole or
// not at all, so no line is ever cut in two and no other writer's bytes land inside it.
constexpr std::size_t max_line_bytes = PIPE_BUF;
// Far more than a session logs: 900 s with a tap every second is about 70 KiB.
constexpr long long log_headroom_bytes = 1 << 20;

// A supervisor that stopped reading leaves a full pipe behind, and waiting for it would stop
// the frame loop; the line is dropped instead. A file or a terminal always has room.
bool log_has_room() {
    pollfd log{STDERR_FILENO, POLLOUT, 0};
    return poll(&log, 1, 0) == 1 && (log.revents & POLLOUT) != 0;
}

// Bytes from 0x80 up pass, so that a name in UTF-8 reads as it was written.
void make_printable(char* text, std::size_t length) {
    for (char& c : std::span(text, length))
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
}

}  // namespace

void log_line(const char* format, ...) {
    char line[max_line_bytes];
    const int prefix = std::snprintf(line, sizeof line, "[korvel-skimbo %u] ", monotonic_ms());
    va_list args;
    va_start(args, format);
    const int message = std::vsnprintf(line + prefix, sizeof line - prefix, format, args);
    va_end(args);
    // A message too long for one line is cut short, keeping room for its newline.
    std::size_t length = std::min<std::size_t>(prefix + std::max(message, 0), sizeof line - 1);
    make_printable(line + prefix, length - prefix);
    line[length++] = '\n';
    if (!log_has_room()) return;
    // A failed write has nowhere to be told: the log is where it would go.
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, line, length);
}

void log_hold_standard_error() {
    if (fcntl(STDERR_FILENO, F_GETFD) >= 0 || errno != EBADF) return;
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0 || null == STDERR_FILENO) return;
    dup3(null, STDERR_FILENO, O_CLOEXEC);
    close(null);
}

long long file_write_position(int fd) {
    struct stat file {};
    if (fstat(fd, &file) != 0 || !S_ISREG(file.st_mode)) return -1;
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && (flags & O_APPEND) != 0 ? file.st_size : lseek(fd, 0, SEEK_CUR);
}

void log_note_file_size_limit(std::uint64_t limit_bytes) {
    const long long at = file_write_position(STDERR_FILENO);
    const auto limit = static_cast<long long>(std::min<std::uint64_t>(limit_bytes, LLONG_MAX));
    if (at < 0 || at + log_headroom_bytes <= limit) return;
    if (at >= limit)
        log_line("log: standard error is a file at %lld bytes, past the %lld-byte file-size limit: "
                 "no later line reaches it", at, limit);
    else
        log_line("log: standard error is a file at %lld bytes, %lld short of the %lld-byte file-size limit: "
                 "lines past it are lost", at, limit - at, limit);
}

}  // namespace skimbo
