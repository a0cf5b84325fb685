#pragma once

namespace skimbo {

// Writes "[korvel-skimbo <monotonic ms>] <message>\n" to standard error in one write, so a
// line is never split or interleaved; a message is cut to fit a line of 4096 bytes. The one
// logger of the program; it never waits: a line that finds standard error full (a reader
// that stopped reading) is dropped, and a failed write is ignored. Never call it from a
// signal handler.
void log_line(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace skimbo
