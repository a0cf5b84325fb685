#pragma once
// Replay files: the scripted touch contacts of a headless session, four decimal numbers per
// event (time in session milliseconds, down 0 or 1, canvas x, canvas y) separated by any
// white space. Loaded whole at bring-up; the input pump plays them as session time passes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace skimbo {

struct ReplayEvent {
    std::uint32_t t_ms;  // session time at which the sample is due
    bool down;           // a finger at (x, y); false ends the contact
    std::int32_t x;      // canvas column, 0..639
    std::int32_t y;      // canvas row, 0..171

    bool operator==(const ReplayEvent&) const = default;
};

struct ReplayScript {
    std::vector<ReplayEvent> events;  // file order, t_ms non-decreasing

    // Reads the whole file at path into events. Throws "replay unreadable" when the file
    // cannot be opened or read, "malformed replay" for a token that is not a number in its
    // field's range, "invalid replay" for a record out of range or back in time. A stop that
    // arrives while the file keeps it waiting leaves events empty.
    void load(const std::string& path);
};

// The events of a replay file's text, with the errors of ReplayScript::load. A record cut
// short by the end of the text is dropped.
std::vector<ReplayEvent> parse_replay(std::string_view text);

}  // namespace skimbo
