#include "platform/options.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string_view>

namespace skimbo {
namespace {

constexpr const char* device_play_refused =
    "device play requires guarded owner and actual display/touch; host overrides forbidden";
constexpr const char* host_stream_refused = "host-stream requires headless real-time without replay";
constexpr const char* unqualified = "unqualified display or mode";

struct ArgCursor {
    int argc;
    const char* const* argv;
    int index;

    const char* next_value() {
        if (index + 1 >= argc) throw std::runtime_error("missing option value");
        return argv[++index];
    }
    const char* next_path() {
        const char* path = next_value();
        if (path[0] == '\0') throw std::runtime_error("missing option value");
        return path;
    }
};

constexpr long int32_max = 2147483647;

constexpr auto table = std::to_array<OptionSpec>({
    {"--headless", OptionValue::none, &Options::headless},
    {"--host-stream", OptionValue::none, &Options::host_stream},
    {"--touch-none", OptionValue::none, &Options::touch_none},
    {"--virtual-clock", OptionValue::none, &Options::virtual_clock},
    // Accepted from supervisors that still pass them: device play always demands a
    // single-touch screen, and the bench line ends every session.
    {"--single-touch", OptionValue::none, {}},
    {"--bench", OptionValue::none, {}},
    {"--mode", OptionValue::text, &Options::mode},
    {"--fb", OptionValue::path, &Options::fb_path},
    {"--touch", OptionValue::path, &Options::touch_path},
    {"--fb-format", OptionValue::text, &Options::fb_format},
    {"--expect", OptionValue::text, {}, 0, 0, "172x640", "wrong physical size"},
    {"--touch-range", OptionValue::text, {}, 0, 0, "raw", "raw calibrated touch required"},
    {"--rotate", OptionValue::number, &Options::rotation, 0, 270},
    {"--max-session", OptionValue::number, &Options::max_session_s, 1, 900},
    {"--parent-pid", OptionValue::number, &Options::parent_pid, 2, int32_max},
    {"--nice", OptionValue::number, &Options::nice, 10, 10},
    {"--idle-exit", OptionValue::number, {}, 0, 0},
    {"--user", OptionValue::text, {}, 0, 0, "65534:65534", "nobody required"},
    {"--seccomp", OptionValue::text, {}, 0, 0, "compat", "qualified compat isolation required"},
    {"--workdir", OptionValue::path, &Options::workdir},
    {"--replay", OptionValue::path, &Options::replay_path},
    {"--capture-dir", OptionValue::path, &Options::capture_dir},
    {"--seed", OptionValue::number, &Options::seed, 1, max_seed},
    {"--exit-after", OptionValue::number, &Options::exit_after_ms, 1, 900000},
});

void apply_number(const OptionSpec& row, const char* text, Options& o) {
    const std::int32_t value = parse_int_arg(text, row.min, row.max);
    if (auto field = std::get_if<std::int32_t Options::*>(&row.field)) o.**field = value;
    if (auto field = std::get_if<std::uint32_t Options::*>(&row.field))
        o.**field = static_cast<std::uint32_t>(value);
}

void apply_text(const OptionSpec& row, const char* text, Options& o) {
    if (!row.accepted.empty() && text != row.accepted) throw std::runtime_error(row.refusal);
    if (auto field = std::get_if<std::string Options::*>(&row.field)) o.**field = text;
}

void apply_option(const OptionSpec& row, ArgCursor& args, Options& o) {
    if (row.value == OptionValue::none) {
        if (auto flag = std::get_if<bool Options::*>(&row.field)) o.**flag = true;
    } else if (row.value == OptionValue::number) {
        apply_number(row, args.next_value(), o);
    } else if (row.value == OptionValue::path) {
        apply_text(row, args.next_path(), o);
    } else {
        apply_text(row, args.next_value(), o);
    }
}

const OptionSpec* find_option(std::string_view name) {
    for (const OptionSpec& row : table)
        if (row.name == name) return &row;
    return nullptr;
}

void check_cross_option_rules(const Options& o) {
    if (o.rotation != 270 || o.fb_format != "rgb565" || o.mode != "play") throw std::runtime_error(unqualified);
    if (o.headless) {
        if (o.host_stream && (o.virtual_clock || !o.replay_path.empty()))
            throw std::runtime_error(host_stream_refused);
        return;
    }
    bool guarded = o.parent_pid >= 2 && !o.workdir.empty() && !o.touch_none && !o.virtual_clock &&
                   o.replay_path.empty() && o.capture_dir.empty() && o.fb_path == "/dev/fb0" &&
                   o.touch_path == "/dev/input/event1";
    if (!guarded) throw std::runtime_error(device_play_refused);
    if (o.host_stream) throw std::runtime_error(host_stream_refused);
}

}  // namespace

std::span<const OptionSpec> option_table() { return table; }

std::int32_t parse_int_arg(const char* text, long min, long max) {
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    bool whole = text[0] != '\0' && *end == '\0';
    if (errno == ERANGE || !whole || value < min || value > max)
        throw std::runtime_error("invalid numeric argument");
    return static_cast<std::int32_t>(value);
}

Options parse_options(int argc, const char* const* argv) {
    Options options;
    ArgCursor args{argc, argv, 1};
    for (; args.index < argc; ++args.index) {
        const OptionSpec* row = find_option(argv[args.index]);
        if (!row) throw std::runtime_error("unknown option: " + std::string(argv[args.index]));
        apply_option(*row, args, options);
    }
    check_cross_option_rules(options);
    return options;
}

}  // namespace skimbo
