#pragma once
// AddressSanitizer reserves terabytes of address space for its shadow memory as the program
// starts, so no address-space limit the program could set for itself leaves room for a build
// made with it: every later mapping would fail. SKIMBO_SANITIZE defines SKIMBO_SANITIZED_BUILD
// for the whole project, and the code that limits its own address space asks this header.
#include <limits>

namespace skimbo {

#ifdef SKIMBO_SANITIZED_BUILD
inline constexpr bool sanitized_build = true;
#else
inline constexpr bool sanitized_build = false;
#endif

// The address-space limit to set where `wanted` is meant: `wanted` itself, or in a sanitized
// build the largest value its type can hold.
template <typename Limit>
constexpr Limit address_space_limit(Limit wanted) {
    return sanitized_build ? std::numeric_limits<Limit>::max() : wanted;
}

}  // namespace skimbo
