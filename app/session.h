#pragma once
#include <cstdint>

namespace skimbo {

// The seed of a session started without --seed, from its process id and the monotonic
// clock: always one that --seed accepts (1 to 2147483647), so the session can be played again.
std::uint32_t derive_seed(std::uint32_t pid, std::uint32_t now_ms);

// Runs one whole session from the command line to the exit line; returns the exit status:
// 0 exit gesture, 11 stop signal or lost parent, 12 session limit, 21 failure.
int run_session(int argc, const char* const* argv);

}  // namespace skimbo
