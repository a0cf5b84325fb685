#pragma once

namespace skimbo {

// Runs one whole session from the command line to the exit line; returns the exit status:
// 0 exit gesture, 11 stop signal or lost parent, 12 session limit, 21 failure.
int run_session(int argc, const char* const* argv);

}  // namespace skimbo
