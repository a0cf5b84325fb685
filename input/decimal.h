#pragma once
// Strict reading of the decimal numbers that the host and replay files send us: a token is
// a number only if all of it is one, so nothing is half-read and nothing wraps.
#include <cstdint>
#include <optional>
#include <string_view>

namespace skimbo {

// The next token of text that lies between separator characters; text is advanced past it.
// Empty once only separators remain.
std::string_view next_token(std::string_view& text, std::string_view separators);

// The whole token as an optional sign followed by one or more decimal digits (leading
// zeros allowed); nullopt if it is anything else or its value lies outside [min, max].
std::optional<std::int64_t> parse_decimal(std::string_view token, std::int64_t min, std::int64_t max);

}  // namespace skimbo
