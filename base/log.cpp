#include "base/log.h"

#include <limits.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "base/clock.h"

namespace skimbo {
namespace {

// A line leaves in one write of at most PIPE_BUF bytes: a pipe takes such a write whole or
// not at all, so no line is ever cut in two and no other writer's bytes land inside it.
constexpr std::size_t max_line_bytes = PIPE_BUF;

// A supervisor that stopped reading leaves a full pipe behind, and waiting for it would stop
// the frame loop; the line is dropped instead. A file or a terminal always has room.
bool log_has_room() {
    pollfd log{STDERR_FILENO, POLLOUT, 0};
    return poll(&log, 1, 0) == 1 && (log.revents & POLLOUT) != 0;
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
    line[length++] = '\n';
    if (!log_has_room()) return;
    // A failed write has nowhere to be told: the log is where it would go.
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, line, length);
}

}  // namespace skimbo
