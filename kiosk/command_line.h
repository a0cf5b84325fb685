#pragma once
// The supervisor's command line: where the program and the sessions' working directories are,
// and the options added to every session's command line.
#include <string>
#include <vector>

namespace skimbo::kiosk {

inline constexpr const char* usage_line =
    "usage: korvel-skimbo-kiosk [--program PATH] [--base DIRECTORY] [-- PROGRAM-OPTION...]";

struct KioskOptions {
    std::string program = "/usr/bin/korvel-skimbo";
    std::string base = "/run/korvel-skimbo";      // holds session-N, the working directory of session N
    std::vector<std::string> program_options;     // after "--": added to every session's command line
    bool help = false;
};

struct CommandLine {
    KioskOptions options;
    std::string error;  // why the command line is refused; empty when it is not
};

// The arguments after the program's name.
CommandLine parse_command_line(const std::vector<std::string>& args);

// What --help prints: the usage line and a word on each option.
std::string help_text();

}  // namespace skimbo::kiosk
