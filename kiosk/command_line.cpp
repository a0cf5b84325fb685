#include "kiosk/command_line.h"

#include <string_view>

namespace skimbo::kiosk {
namespace {

// An absolute path whose parts are all names: the program takes a working directory below it
// only in this form (no "//", no "." or "..", no "/" at the end).
bool is_plain_absolute_path(std::string_view path) {
    if (path.size() < 2 || path.front() != '/') return false;
    for (std::size_t start = 1; start <= path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& args) {
    CommandLine line;
    KioskOptions& o = line.options;
    for (std::size_t i = 0; i < args.size() && line.error.empty(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            o.program_options.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        }
        if (arg == "--help") {
            o.help = true;
        } else if (arg != "--program" && arg != "--base") {
            line.error = "unknown option: " + arg;
        } else if (i + 1 == args.size()) {
            line.error = "missing value of " + arg;
        } else if (arg == "--program") {
            o.program = args[++i];
            if (!o.program.starts_with('/')) line.error = "--program needs an absolute path: " + o.program;
        } else {
            o.base = args[++i];
            if (!is_plain_absolute_path(o.base)) line.error = "--base needs an absolute path of plain names: " + o.base;
        }
    }
    return line;
}

std::string help_text() {
    return std::string(usage_line) + "\n"
           "Plays korvel-skimbo device sessions back to back, as their parent, until it is stopped.\n"
           "  --program PATH       the program (default /usr/bin/korvel-skimbo)\n"
           "  --base DIRECTORY     holds session-N, the working directory of session N; root's and\n"
           "                       writable by no one else (default /run/korvel-skimbo)\n"
           "  -- PROGRAM-OPTION... added to every session's command line, e.g. -- --seed 7\n"
           "See korvel-skimbo-kiosk(8).\n";
}

}  // namespace skimbo::kiosk
