#pragma once
// The parsed command line: the program's only configuration.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace skimbo {

struct Options {
    bool headless = false;
    bool touch_none = false;
    bool virtual_clock = false;
    bool host_stream = false;
    std::string fb_path = "/dev/fb0";
    std::string touch_path = "/dev/input/event1";
    std::string fb_format = "rgb565";
    std::string workdir;
    std::string replay_path;
    std::string capture_dir;
    std::string mode = "play";
    std::int32_t rotation = 270;
    std::int32_t max_session_s = 120;
    std::int32_t parent_pid = 0;
    std::int32_t nice = 10;
    std::uint32_t uid = 65534;
    std::uint32_t gid = 65534;
    std::uint32_t isolation_level = 3;
    std::uint32_t seed = 0;           // 0: derive one at start
    std::uint32_t exit_after_ms = 0;  // 0: no limit
};

// The largest seed --seed accepts: a seed is a positive signed 32-bit number. A derived seed
// lies in the same range, so that every session the log reports can be played again.
inline constexpr std::uint32_t max_seed = 2147483647;

// What follows an option's name on the command line. A path may not be empty: an empty value
// is as missing as no value at all.
enum class OptionValue { none, text, path, number };

// Where an option's value goes; monostate: nowhere, the option only checks its value.
using OptionField = std::variant<std::monostate, bool Options::*, std::string Options::*,
                                 std::int32_t Options::*, std::uint32_t Options::*>;

// One option the program accepts. A flag sets its bool field; a text value must equal
// `accepted` when that is not empty, else `refusal` refuses the command line; a number must
// lie within min..max. The manual page documents every row (docs/korvel-skimbo.1.scd).
struct OptionSpec {
    std::string_view name;
    OptionValue value;
    OptionField field;
    long min = 0;
    long max = 0;
    std::string_view accepted = {};
    const char* refusal = nullptr;
};

// Every option, in the order arguments are compared with them.
std::span<const OptionSpec> option_table();

// Parses argv (argv[0] is skipped) or throws std::runtime_error with the refusal message.
Options parse_options(int argc, const char* const* argv);

// strtol in base 10 over the whole text, range checked on the 64-bit result;
// throws "invalid numeric argument".
std::int32_t parse_int_arg(const char* text, long min, long max);

}  // namespace skimbo
