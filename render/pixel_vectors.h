#pragma once
// The compiler's portable vector types as the pixel code uses them: four canvas words, or the
// channels of two of them as 16-bit lanes. Only where the compiler cannot find the one
// instruction x86-64 has for a step is that instruction named; the other branch is what the
// compiler turns into good AArch64 code by itself.
#include <cstddef>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace skimbo::pixel_vectors {

using u8x16 = std::uint8_t __attribute__((vector_size(16)));
using u16x8 = std::uint16_t __attribute__((vector_size(16)));
using u32x4 = std::uint32_t __attribute__((vector_size(16)));

inline constexpr std::size_t step = 4;  // pixels per vector

inline u32x4 load(const std::uint32_t* p) {
    u32x4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void store(std::uint32_t* p, u32x4 v) { std::memcpy(p, &v, sizeof v); }

// The channels of pixels 0-1 (low) or 2-3 (high) as 16-bit lanes.
inline u16x8 widen_low(u32x4 v) {
    return reinterpret_cast<u16x8>(__builtin_shufflevector(reinterpret_cast<u8x16>(v), u8x16{},  //
                                                           0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23));
}

inline u16x8 widen_high(u32x4 v) {
    return reinterpret_cast<u16x8>(__builtin_shufflevector(reinterpret_cast<u8x16>(v), u8x16{},  //
                                                           8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31));
}

// Back to bytes; every lane already fits in 8 bits, so x86-64's saturating pack is exact.
inline u32x4 narrow(u16x8 low, u16x8 high) {
#ifdef __SSE2__
    return reinterpret_cast<u32x4>(_mm_packus_epi16(reinterpret_cast<__m128i>(low), reinterpret_cast<__m128i>(high)));
#else
    return reinterpret_cast<u32x4>(__builtin_shufflevector(reinterpret_cast<u8x16>(low), reinterpret_cast<u8x16>(high),
                                                           0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30));
#endif
}

// floor((a * b + 127) / 255) lane by lane; a, b <= 255. With t = a * b + 0x80 that is
// ((t >> 8) + t) >> 8, as mul_div255 computes it, which also equals (t * 257) >> 16: one
// instruction on x86-64, which the compiler does not find by itself.
inline u16x8 mul_div255(u16x8 a, u16x8 b) {
    const u16x8 t = a * b + 0x80;
#ifdef __SSE2__
    return reinterpret_cast<u16x8>(_mm_mulhi_epu16(reinterpret_cast<__m128i>(t), _mm_set1_epi16(257)));
#else
    return ((t >> 8) + t) >> 8;
#endif
}

}  // namespace skimbo::pixel_vectors
