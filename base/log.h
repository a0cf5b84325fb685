#pragma once

namespace skimbo {

// Writes "[korvel-skimbo <monotonic ms>] <message>\n" to standard error and flushes it.
// The one logger of the program; a failed write is ignored. Never call it from a signal handler.
void log_line(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace skimbo
