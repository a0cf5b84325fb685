#pragma once
// Canvas words as the bytes of a PPM picture and of a host-stream record: red, green and blue
// of each pixel in order, the top byte of every word ignored.
#include <cstddef>
#include <cstdint>

namespace skimbo {

// Writes exactly 3 * count bytes to out.
void rgb_bytes(const std::uint32_t* pixels, std::size_t count, std::uint8_t* out);

}  // namespace skimbo
