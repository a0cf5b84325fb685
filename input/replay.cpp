#include "input/replay.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <optional>
#include <stdexcept>

#include "base/stop_signal.h"
#include "base/unique_fd.h"
#include "input/decimal.h"

namespace skimbo {
namespace {

// The white space that separates numbers in a replay file; line breaks mean nothing.
constexpr std::string_view replay_blanks = " \t\n\v\f\r";

struct FieldRange {
    std::int64_t min;
    std::int64_t max;
};

// What each of the four numbers of a record must fit to be a number at all; the game's
// own limits (down 0/1, the canvas) are checked on the complete record.
constexpr std::array<FieldRange, 4> field_ranges = {{
    {0, std::numeric_limits<std::uint32_t>::max()},
    {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()},
    {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()},
    {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()},
}};

bool record_valid(const std::array<std::int64_t, 4>& f, const std::vector<ReplayEvent>& events) {
    if (f[1] != 0 && f[1] != 1) return false;
    if (f[2] < 0 || f[2] > 639) return false;
    if (f[3] < 0 || f[3] > 171) return false;
    return events.empty() || f[0] >= events.back().t_ms;
}

// A byte that no replay file holds: it cannot be part of a number or of the white space
// between numbers.
bool foreign_byte(char c) {
    return replay_blanks.find(c) == std::string_view::npos && (c < '0' || c > '9') && c != '+' && c != '-';
}

// The whole file, or nothing when a stop arrived while it kept the session waiting (a FIFO
// without a writer yet, a terminal). "replay unreadable" when it cannot be opened or read to
// its end (a directory opens but cannot be read). A source that never ends (/dev/zero) ends
// at its first foreign byte with the file's first error.
std::optional<std::string> read_whole_file(const std::string& path) {
    const UniqueFd file(open_unless_stopped(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        if (errno == EINTR) return std::nullopt;
        throw std::runtime_error("replay unreadable");
    }
    std::string text;
    std::array<char, 65536> chunk;
    while (!stop_requested()) {
        const ssize_t n = read(file.fd, chunk.data(), chunk.size());
        if (n == 0) return text;
        if (n > 0) {
            text.append(chunk.data(), static_cast<std::size_t>(n));
            if (std::any_of(chunk.begin(), chunk.begin() + n, foreign_byte)) parse_replay(text);
        } else if (errno != EINTR) {
            throw std::runtime_error("replay unreadable");
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<ReplayEvent> parse_replay(std::string_view text) {
    std::vector<ReplayEvent> events;
    std::array<std::int64_t, 4> fields{};
    std::size_t filled = 0;
    for (std::string_view token = next_token(text, replay_blanks); !token.empty();
         token = next_token(text, replay_blanks)) {
        std::optional<std::int64_t> value = parse_decimal(token, field_ranges[filled].min, field_ranges[filled].max);
        if (!value) throw std::runtime_error("malformed replay");
        fields[filled++] = *value;
        if (filled < fields.size()) continue;
        if (!record_valid(fields, events)) throw std::runtime_error("invalid replay");
        events.push_back(ReplayEvent{static_cast<std::uint32_t>(fields[0]), fields[1] == 1,
                                     static_cast<std::int32_t>(fields[2]), static_cast<std::int32_t>(fields[3])});
        filled = 0;
    }
    return events;
}

void ReplayScript::load(const std::string& path) {
    if (const std::optional<std::string> text = read_whole_file(path)) events = parse_replay(*text);
}

}  // namespace skimbo
