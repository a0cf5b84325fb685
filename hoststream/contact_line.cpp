#include "hoststream/contact_line.h"

#include <array>
#include <limits>

#include "input/decimal.h"

namespace skimbo {
namespace {

constexpr std::string_view blank = " ";
// Beyond a quarter of an hour no session of ours is still running.
constexpr std::int64_t latest_contact_ms = 900000;
// How far the host's clock may run ahead of ours.
constexpr std::int64_t host_clock_lead_ms = 1000;

// The next blank-separated field as a signed decimal number, so "320+86" is no number.
// Fails on a missing field or a number beyond 64 bits.
std::optional<std::int64_t> extract_integer(std::string_view& rest) {
    return parse_decimal(next_token(rest, blank), std::numeric_limits<std::int64_t>::min(),
                         std::numeric_limits<std::int64_t>::max());
}

}  // namespace

std::optional<ContactLine> parse_contact_line(std::string_view line, std::uint32_t last_contact_ms,
                                              std::uint32_t now_ms) {
    std::string_view word = next_token(line, blank);
    std::array<std::int64_t, 4> f{};  // t_ms, down, x, y
    for (std::int64_t& field : f) {
        std::optional<std::int64_t> value = extract_integer(line);
        if (!value) return std::nullopt;
        field = *value;
    }
    if (!next_token(line, blank).empty()) return std::nullopt;
    if (word != "CONTACT") return std::nullopt;
    if (f[0] < last_contact_ms || f[0] > latest_contact_ms) return std::nullopt;
    if (f[0] > std::int64_t{now_ms} + host_clock_lead_ms) return std::nullopt;
    if (f[1] != 0 && f[1] != 1) return std::nullopt;
    if (f[2] < 0 || f[2] > 639) return std::nullopt;
    if (f[3] < 0 || f[3] > 171) return std::nullopt;
    return ContactLine{static_cast<std::uint32_t>(f[0]), f[1] == 1, static_cast<int>(f[2]), static_cast<int>(f[3])};
}

}  // namespace skimbo
