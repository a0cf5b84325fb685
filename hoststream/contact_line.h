#pragma once
// One line of the host's input: "CONTACT t_ms down x y", read like formatted stream extraction.
#include <cstdint>
#include <optional>
#include <string_view>

namespace skimbo {

struct ContactLine {
    std::uint32_t t_ms;  // the host's session time; checks order and plausibility only
    bool down;
    int x;
    int y;
};

// The contact of line (without its line feed) if the line is a valid CONTACT line after a
// contact timed last_contact_ms, on a program clock standing at now_ms; nullopt otherwise.
std::optional<ContactLine> parse_contact_line(std::string_view line, std::uint32_t last_contact_ms,
                                              std::uint32_t now_ms);

}  // namespace skimbo
