#include "input/decimal.h"

#include <limits>

namespace skimbo {

std::string_view next_token(std::string_view& text, std::string_view separators) {
    std::size_t start = text.find_first_not_of(separators);
    if (start == std::string_view::npos) {
        text = {};
        return {};
    }
    std::size_t end = text.find_first_of(separators, start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view token = text.substr(start, end - start);
    text.remove_prefix(end);
    return token;
}

std::optional<std::int64_t> parse_decimal(std::string_view token, std::int64_t min, std::int64_t max) {
    bool negative = false;
    if (!token.empty() && (token.front() == '+' || token.front() == '-')) {
        negative = token.front() == '-';
        token.remove_prefix(1);
    }
    if (token.empty()) return std::nullopt;
    // The magnitude of the most negative 64-bit number is one more than the largest positive one.
    const std::uint64_t limit = std::uint64_t{std::numeric_limits<std::int64_t>::max()} + (negative ? 1 : 0);
    std::uint64_t magnitude = 0;
    for (char c : token) {
        if (c < '0' || c > '9') return std::nullopt;
        std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (magnitude > (limit - digit) / 10) return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    std::int64_t value = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    if (value < min || value > max) return std::nullopt;
    return value;
}

}  // namespace skimbo
