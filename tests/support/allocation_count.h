#pragma once
// Counts the program's operator new calls, so that tests can show a per-frame path
// allocates nothing. Linking allocation_count.cpp replaces the global operator new.
#include <cstdint>

namespace skimbo::testing {

std::uint64_t allocation_count();

}  // namespace skimbo::testing
