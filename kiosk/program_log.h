#pragma once
// The program's standard error on its way to the journal: cut into lines, each written on with
// the priority prefix journald reads, and read for what the service manager is told.
#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace skimbo::kiosk {

// Bytes in, lines out, each passed to piece(text, continues) without its newline. A line
// longer than max_line_bytes goes on in pieces of that size; every piece after the first says
// that it continues a line, so that it keeps the first one's priority.
struct LineSplitter {
    static constexpr std::size_t max_line_bytes = 8192;  // a line of the program takes at most 4096
    std::string pending;
    bool continued = false;  // the next piece continues a line passed on in part

    template <class Piece>
    void feed(std::string_view bytes, Piece&& piece) {
        while (!bytes.empty()) {
            const std::size_t take = std::min({bytes.find('\n'), bytes.size(), max_line_bytes - pending.size()});
            pending.append(bytes.substr(0, take));
            bytes.remove_prefix(take);
            if (!bytes.empty() && bytes.front() == '\n') {
                bytes.remove_prefix(1);
                // A line that filled its last piece exactly has nothing left to pass on.
                if (!(continued && pending.empty())) piece(std::string_view(pending), continued);
                pending.clear(), continued = false;
            } else if (pending.size() == max_line_bytes) {
                piece(std::string_view(pending), continued);
                pending.clear(), continued = true;
            }
        }
    }

    // The end of the stream: a last line without its newline still goes on.
    template <class Piece>
    void finish(Piece&& piece) {
        if (!pending.empty()) piece(std::string_view(pending), continued);
        pending.clear(), continued = false;
    }
};

enum class LineKind { other, first_frame, heartbeat, state, failure, exit };

// Syslog priorities in the prefix journald reads: "<3>" error, "<4>" warning, "<6>" information.
inline constexpr int error_priority = 3, warning_priority = 4, info_priority = 6;

// What the supervisor keeps of one session's log.
struct SessionLog {
    bool first_frame = false;
    std::string phase;    // of the last state line; empty before the first
    int score = 0, best = 0;
    std::string failure;  // the message of the failure line
    std::string reason;   // the reason word of the exit line

    // Reads one line of the program ("[korvel-skimbo <ms>] <message>"); what kind it is.
    LineKind take(std::string_view line);
};

// The priority of a line of the program: failures are errors, the rest information.
inline int priority_of(LineKind kind) { return kind == LineKind::failure ? error_priority : info_priority; }

}  // namespace skimbo::kiosk
