#pragma once
// Canvas words as the bytes of a PPM picture and of a host-stream record: red, green and blue
// of each pixel in order, the top byte of every word ignored.
#include <cstddef>
#include <cstdint>

namespace skimbo {

// Writes exactly 3 * count bytes to out, by byte shuffles where the processor has them.
void rgb_bytes(const std::uint32_t* pixels, std::size_t count, std::uint8_t* out);

// The two ways rgb_bytes goes, open to the tests. The shuffling one needs a processor with
// byte shuffles: every AArch64, and x86-64 with SSSE3.
bool has_byte_shuffle();
void rgb_bytes_shuffled(const std::uint32_t* pixels, std::size_t count, std::uint8_t* out);
void rgb_bytes_by_words(const std::uint32_t* pixels, std::size_t count, std::uint8_t* out);

}  // namespace skimbo
