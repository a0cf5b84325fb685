#pragma once
// What a newcomer types first: korvel-skimbo --help or --version, each alone on the command
// line. Anywhere else they are unknown options, so that no supervisor's command line can turn
// into a success without a session.
#include <optional>

namespace skimbo {

// For a lone --help or --version: writes the usage or the version to standard output and
// returns the exit status, 0 (or 21 after a "failure: usage-write" line when standard output
// refuses the text). Nothing for any other command line.
std::optional<int> answer_help_or_version(int argc, const char* const* argv);

}  // namespace skimbo
