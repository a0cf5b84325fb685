#pragma once
// How the program stores its art: one palette of every colour the art uses, the most used
// first, and each image as a stream of runs. A run is two numbers, its colour code and its
// length less one, each written seven bits to a byte, low bits first, with the top bit set on
// every byte but a number's last. Code 0 repeats the pixels one image row above (the pipe body
// is one row, then a single run); code k is palette colour k - 1. The art generator writes the
// streams and the program unpacks them once as it starts (render/assets.cpp).
#include <cstddef>
#include <cstdint>

namespace skimbo::art_pack {

inline constexpr std::uint32_t repeat_above = 0;

inline std::uint32_t read_number(const std::uint8_t*& in) {
    std::uint32_t value = 0;
    for (int shift = 0;; shift += 7) {
        const std::uint8_t byte = *in++;
        value |= std::uint32_t{byte & 127u} << shift;
        if (byte < 128) return value;
    }
}

// Unpacks the count pixels of an image width pixels wide, leaving `in` past its last run.
inline void unpack(const std::uint8_t*& in, const std::uint32_t* palette, std::uint32_t* out, std::size_t count,
                   std::size_t width) {
    for (std::size_t i = 0; i < count;) {
        const std::uint32_t code = read_number(in);
        const std::size_t end = i + read_number(in) + 1;
        for (; i < end; ++i) out[i] = code == repeat_above ? out[i - width] : palette[code - 1];
    }
}

}  // namespace skimbo::art_pack
