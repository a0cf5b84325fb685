#include "app/usage.h"

#include <unistd.h>

#include <string>
#include <string_view>

#include "base/log.h"
#include "base/write_all.h"
#include "platform/options.h"

namespace skimbo {
namespace {

std::string option_usage(const OptionSpec& row) {
    std::string text = "  " + std::string(row.name);
    if (row.value == OptionValue::path) text += " PATH";
    if (row.value == OptionValue::text) text += " " + std::string(row.accepted.empty() ? "TEXT" : row.accepted);
    if (row.value == OptionValue::number) text += " N (" + std::to_string(row.min) + ".." + std::to_string(row.max) + ")";
    return text + "\n";
}

std::string usage_text() {
    std::string text =
        "usage: korvel-skimbo --parent-pid PID --workdir PATH [OPTION...]   device play\n"
        "       korvel-skimbo --headless [OPTION...]                        headless play\n"
        "       korvel-skimbo --help | --version\n"
        "options:\n";
    for (const OptionSpec& row : option_table()) text += option_usage(row);
    return text + "The manual page korvel-skimbo(1) says what each option does.\n";
}

}  // namespace

std::optional<int> answer_help_or_version(int argc, const char* const* argv) {
    if (argc != 2) return std::nullopt;
    const std::string_view argument = argv[1];
    if (argument != "--help" && argument != "--version") return std::nullopt;
    if (write_all(STDOUT_FILENO, argument == "--help" ? usage_text() : "korvel-skimbo 1.0.0\n")) return 0;
    log_line("failure: usage-write");
    return 21;
}

}  // namespace skimbo
