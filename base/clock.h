#pragma once
#include <cstdint>

namespace skimbo {

// Milliseconds of the monotonic clock, modulo 2^32. Not relative to program start:
// log prefixes and session timing share this one scale.
std::uint32_t monotonic_ms();

}  // namespace skimbo
