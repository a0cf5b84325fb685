#include "render/rgb_bytes.h"

#include <cstring>

namespace skimbo {
namespace {

using u32x4 = std::uint32_t __attribute__((vector_size(16)));
using u64x2 = std::uint64_t __attribute__((vector_size(16)));

void rgb_of(std::uint32_t word, std::uint8_t* out) {
    out[0] = static_cast<std::uint8_t>(word >> 16);
    out[1] = static_cast<std::uint8_t>(word >> 8);
    out[2] = static_cast<std::uint8_t>(word);
}

}  // namespace

// Four pixels at a time: red and blue trade places in each word (0x00BBGGRR has the bytes
// R, G, B, 0 in memory), then each pair of words closes up to six bytes, and the two halves
// are stored six bytes apart as two eight-byte words. Each store runs two bytes past its
// six; the next store covers them, and the last pixels go one by one so that nothing is
// written past the end.
void rgb_bytes(const std::uint32_t* pixels, std::size_t count, std::uint8_t* out) {
    constexpr std::size_t step = 4;
    std::size_t i = 0;
    for (; i + 2 * step <= count; i += step, out += 3 * step) {
        u32x4 p;
        std::memcpy(&p, pixels + i, sizeof p);
        const u32x4 red_blue = p & 0x00FF00FFu;
        const u64x2 rgb0 = reinterpret_cast<u64x2>((red_blue << 16 | red_blue >> 16) | (p & 0x0000FF00u));
        const u64x2 six = (rgb0 & 0x0000000000FFFFFFull) | (rgb0 >> 8 & 0x0000FFFFFF000000ull);
        const std::uint64_t first = six[0], second = six[1];
        std::memcpy(out, &first, sizeof first);
        std::memcpy(out + 6, &second, sizeof second);
    }
    for (; i < count; ++i, out += 3) rgb_of(pixels[i], out);
}

}  // namespace skimbo
