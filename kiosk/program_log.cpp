#include "kiosk/program_log.h"

#include <cstdio>

namespace skimbo::kiosk {
namespace {

// The message of a line of the program, after its "[korvel-skimbo <ms>] " prefix; the whole
// line when it has none.
std::string_view message_of(std::string_view line) {
    constexpr std::string_view prefix = "[korvel-skimbo ";
    const std::size_t end = line.find("] ");
    return line.starts_with(prefix) && end != std::string_view::npos ? line.substr(end + 2) : line;
}

}  // namespace

LineKind SessionLog::take(std::string_view line) {
    const std::string message(message_of(line));
    char word[32];
    int a = 0, b = 0;
    if (message.starts_with("failure: ")) {
        failure = message.substr(9);
        return LineKind::failure;
    }
    if (message.starts_with("first frame presented")) {
        first_frame = true;
        return LineKind::first_frame;
    }
    if (message.starts_with("HB ")) return LineKind::heartbeat;
    if (std::sscanf(message.c_str(), "state=%31[a-z-] score=%d best=%d", word, &a, &b) == 3) {
        phase = word, score = a, best = b;
        return LineKind::state;
    }
    if (std::sscanf(message.c_str(), "exit code=%d reason=%31[a-z-]", &a, word) == 2) {
        reason = word;
        return LineKind::exit;
    }
    return LineKind::other;
}

}  // namespace skimbo::kiosk
