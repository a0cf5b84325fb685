#include "render/rgb_bytes.h"

#include <cstring>

namespace skimbo {
namespace {

using u8x16 = std::uint8_t __attribute__((vector_size(16)));
using u32x4 = std::uint32_t __attribute__((vector_size(16)));
using u64x2 = std::uint64_t __attribute__((vector_size(16)));

void rgb_of(std::uint32_t word, std::uint8_t* out) {
    out[0] = static_cast<std::uint8_t>(word >> 16);
    out[1] = static_cast<std::uint8_t>(word >> 8);
    out[2] = static_cast<std::uint8_t>(word);
}

// The x86-64 baseline has no byte shuffle; the shuffling path is compiled for the first
// extension that has one and taken only where the processor reports it. AArch64 always has one.
#if defined(__x86_64__) && !defined(__SSSE3__)
#define SKIMBO_BYTE_SHUFFLE __attribute__((target("ssse3")))
#else
#define SKIMBO_BYTE_SHUFFLE
#endif

}  // namespace

bool has_byte_shuffle() {
#if defined(__x86_64__) && !defined(__SSSE3__)
    return __builtin_cpu_supports("ssse3");
#else
    return true;
#endif
}

// Sixteen pixels (four 16-byte words) are 48 bytes, three 16-byte words; each output word
// gathers its bytes from two neighbouring input words, red first. The streams are fetched a
// few hundred bytes ahead: converting is quick enough that waiting on the caches dominates.
SKIMBO_BYTE_SHUFFLE void rgb_bytes_shuffled(const std::uint32_t* pixels, std::size_t count, std::uint8_t* out) {
    constexpr std::size_t step = 16, ahead = 128;
    std::size_t i = 0;
    for (; i + step <= count; i += step, out += 3 * step) {
        if (i + ahead < count) {
            __builtin_prefetch(pixels + i + ahead);
            __builtin_prefetch(out + 3 * ahead, 1);
        }
        u8x16 a, b, c, d;
        std::memcpy(&a, pixels + i, sizeof a);
        std::memcpy(&b, pixels + i + 4, sizeof b);
        std::memcpy(&c, pixels + i + 8, sizeof c);
        std::memcpy(&d, pixels + i + 12, sizeof d);
        const u8x16 first = __builtin_shufflevector(a, b, 2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, 18, 17, 16, 22);
        const u8x16 second = __builtin_shufflevector(b, c, 5, 4, 10, 9, 8, 14, 13, 12, 18, 17, 16, 22, 21, 20, 26, 25);
        const u8x16 third = __builtin_shufflevector(c, d, 8, 14, 13, 12, 18, 17, 16, 22, 21, 20, 26, 25, 24, 30, 29, 28);
        std::memcpy(out, &first, sizeof first);
        std::memcpy(out + 16, &second, sizeof second);
        std::memcpy(out + 32, &third, sizeof third);
    }
    for (; i < count; ++i, out += 3) rgb_of(pixels[i], out);
}

// Four pixels at a time with word arithmetic only: red and blue trade places in each word
// (0x00BBGGRR has the bytes R, G, B, 0 in memory), then each pair of words closes up to six
// bytes, and the two halves are stored six bytes apart as two eight-byte words. Each store
// runs two bytes past its six; the next store covers them, and the last pixels go one by one
// so that nothing is written past the end.
void rgb_bytes_by_words(const std::uint32_t* pixels, std::size_t count, std::uint8_t* out) {
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

void rgb_bytes(const std::uint32_t* pixels, std::size_t count, std::uint8_t* out) {
    if (has_byte_shuffle()) rgb_bytes_shuffled(pixels, count, out);
    else rgb_bytes_by_words(pixels, count, out);
}

}  // namespace skimbo
