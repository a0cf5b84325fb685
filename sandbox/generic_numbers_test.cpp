// The generic numbers clash with the native ones of other machines, so they are read in a file
// of their own.
#include <asm-generic/unistd.h>

#include <cstdint>
#include <vector>

#include "sandbox/denied_calls_test.h"

namespace skimbo::testing {

std::vector<std::uint32_t> generic_denied_numbers() { return {SKIMBO_DENIED_CALLS}; }

}  // namespace skimbo::testing
