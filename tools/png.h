#pragma once
// A minimal PNG encoder for screenshots: 8-bit RGB, no filtering, and the image data
// in uncompressed deflate blocks, so it needs nothing beyond the standard library.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace skimbo {

std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);
std::uint32_t adler32(std::span<const std::uint8_t> bytes);

// rgb holds width * height pixels of three bytes each, top row first.
std::vector<std::uint8_t> encode_png(int width, int height, std::span<const std::uint8_t> rgb);

}  // namespace skimbo
