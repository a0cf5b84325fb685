#pragma once
#include <cstdint>

namespace skimbo {

// Writes "[korvel-skimbo <monotonic ms>] <message>\n" to standard error in one write, so a
// line is never split or interleaved; a message is cut to fit a line of 4096 bytes. Control
// characters in the message (line breaks, escapes: text from outside, such as an argument, a
// path or a device name) become '?', so a line is always one line with its prefix. The one
// logger of the program; it never waits: a line that finds standard error full (a reader
// that stopped reading) is dropped, and a failed write is ignored. Never call it from a
// signal handler.
void log_line(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Keeps descriptor 2 from being taken by a file the program opens, where log lines would land
// (in device play, on the panel): a standard error closed at start becomes /dev/null.
void log_hold_standard_error();

// Says, while a line can still be written, that lines will be lost under the file-size limit
// about to be set: standard error is a regular file whose writes land past it or within 1 MiB
// of it.
void log_note_file_size_limit(std::uint64_t limit_bytes);

// Where the next write to descriptor fd lands when it is a regular file, or -1: the end of
// the file when it appends, else its offset.
long long file_write_position(int fd);

}  // namespace skimbo
