#include "platform/options.h"

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
};

void require_text(const char* value, std::string_view accepted, const char* refusal) {
    if (value != accepted) throw std::runtime_error(refusal);
}

// Applies one argument; returns false when it names no option.
bool apply_option(std::string_view name, ArgCursor& args, Options& o) {
    if (name == "--headless") o.headless = true;
    else if (name == "--host-stream") o.host_stream = true;
    else if (name == "--touch-none") o.touch_none = true;
    else if (name == "--virtual-clock") o.virtual_clock = true;
    else if (name == "--single-touch" || name == "--bench") {}
    else if (name == "--mode") o.mode = args.next_value();
    else if (name == "--fb") o.fb_path = args.next_value();
    else if (name == "--touch") o.touch_path = args.next_value();
    else if (name == "--fb-format") o.fb_format = args.next_value();
    else if (name == "--expect") require_text(args.next_value(), "172x640", "wrong physical size");
    else if (name == "--touch-range") require_text(args.next_value(), "raw", "raw calibrated touch required");
    else if (name == "--rotate") o.rotation = parse_int_arg(args.next_value(), 0, 270);
    else if (name == "--max-session") o.max_session_s = parse_int_arg(args.next_value(), 1, 900);
    else if (name == "--parent-pid") o.parent_pid = parse_int_arg(args.next_value(), 2, 2147483647);
    else if (name == "--nice") o.nice = parse_int_arg(args.next_value(), 10, 10);
    else if (name == "--idle-exit") parse_int_arg(args.next_value(), 0, 0);
    else if (name == "--user") require_text(args.next_value(), "65534:65534", "nobody required");
    else if (name == "--seccomp") require_text(args.next_value(), "compat", "qualified compat isolation required");
    else if (name == "--workdir") o.workdir = args.next_value();
    else if (name == "--replay") o.replay_path = args.next_value();
    else if (name == "--capture-dir") o.capture_dir = args.next_value();
    else if (name == "--seed") o.seed = static_cast<std::uint32_t>(parse_int_arg(args.next_value(), 1, 2147483647));
    else if (name == "--exit-after") o.exit_after_ms = static_cast<std::uint32_t>(parse_int_arg(args.next_value(), 1, 900000));
    else return false;
    return true;
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
        std::string_view name = argv[args.index];
        if (!apply_option(name, args, options))
            throw std::runtime_error("unknown option: " + std::string(name));
    }
    check_cross_option_rules(options);
    return options;
}

}  // namespace skimbo
