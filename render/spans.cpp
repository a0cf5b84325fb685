#include "render/spans.h"

#include <cstring>

#include "render/art_forms.h"
#include "render/blend.h"
#include "render/pixel_vectors.h"

#ifdef __x86_64__
#include <immintrin.h>
#endif

namespace skimbo {
namespace {

using namespace pixel_vectors;

// Each pixel's alpha in the four lanes of its channels: pixels 0-1 (low) and 2-3 (high).
struct Alphas {
    u16x8 low, high;
};

Alphas spread_alpha(u32x4 argb) {
    u32x4 a = argb >> 24;
    u32x4 pairs = a | a << 16;
    return {reinterpret_cast<u16x8>(__builtin_shufflevector(pairs, pairs, 0, 0, 1, 1)),
            reinterpret_cast<u16x8>(__builtin_shufflevector(pairs, pairs, 2, 2, 3, 3))};
}

constexpr u32x4 rgb_mask = {0x00FFFFFFu, 0x00FFFFFFu, 0x00FFFFFFu, 0x00FFFFFFu};

// Four canvas pixels under four premultiplied sources whose alphas are spread in a.
u32x4 blend4(u32x4 dst, u32x4 src, Alphas a) {
    u16x8 low = mul_div255(widen_low(dst), 255 - a.low);
    u16x8 high = mul_div255(widen_high(dst), 255 - a.high);
    return (narrow(low, high) + (src & rgb_mask)) & rgb_mask;
}

#ifdef __x86_64__
// blend4 eight pixels at a time: in each 16-byte half, the channels of pixels 0-1 and 4-5
// widen to the low lanes, 2-3 and 6-7 to the high ones, and the pack puts them back in order.
// Returns how many pixels it blended from the start, a multiple of eight.
__attribute__((target("avx2"))) std::size_t blend_span_avx2(std::uint32_t* dst, const std::uint32_t* src, std::size_t n) {
    const __m256i zero = _mm256_setzero_si256(), full = _mm256_set1_epi16(255), half = _mm256_set1_epi16(0x80);
    const __m256i by257 = _mm256_set1_epi16(257), rgb = _mm256_set1_epi32(0x00FFFFFF);
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
        const __m256i a = _mm256_srli_epi32(s, 24), pairs = _mm256_or_si256(a, _mm256_slli_epi32(a, 16));
        const __m256i keep_low = _mm256_sub_epi16(full, _mm256_unpacklo_epi32(pairs, pairs));
        const __m256i keep_high = _mm256_sub_epi16(full, _mm256_unpackhi_epi32(pairs, pairs));
        const __m256i low = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), keep_low), half);
        const __m256i high = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), keep_high), half);
        const __m256i packed = _mm256_packus_epi16(_mm256_mulhi_epu16(low, by257), _mm256_mulhi_epu16(high, by257));
        const __m256i out = _mm256_and_si256(_mm256_add_epi32(packed, _mm256_and_si256(s, rgb)), rgb);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), out);
    }
    return i;
}

__attribute__((target("avx2"))) std::size_t fill_span_avx2(std::uint32_t* dst, std::size_t n, std::uint32_t colour) {
    const __m256i c = _mm256_set1_epi32(static_cast<int>(colour));
    // Whole 32-byte blocks: a store that straddles two cache lines costs two.
    std::size_t i = 0;
    for (; i < n && reinterpret_cast<std::uintptr_t>(dst + i) % 32 != 0; ++i) dst[i] = colour;
    for (; i + 8 <= n; i += 8) _mm256_store_si256(reinterpret_cast<__m256i*>(dst + i), c);
    return i;
}

bool wide_spans() {
    static const bool wide = __builtin_cpu_supports("avx2");
    return wide;
}
#else
std::size_t blend_span_avx2(std::uint32_t*, const std::uint32_t*, std::size_t) { return 0; }
std::size_t fill_span_avx2(std::uint32_t*, std::size_t, std::uint32_t) { return 0; }
bool wide_spans() { return false; }
#endif

}  // namespace

bool has_wide_spans() { return wide_spans(); }

void copy_opaque_span(std::uint32_t* dst, const std::uint32_t* src, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) dst[i] = src[i] & 0x00FFFFFFu;
}

void blend_span(std::uint32_t* dst, const std::uint32_t* src, std::size_t n) {
    blend_span_by(dst, src, n, wide_spans());
}

void blend_span_by(std::uint32_t* dst, const std::uint32_t* src, std::size_t n, bool wide) {
    std::size_t i = wide ? blend_span_avx2(dst, src, n) : 0;
    for (; i + step <= n; i += step) {
        u32x4 s = load(src + i);
        store(dst + i, blend4(load(dst + i), s, spread_alpha(s)));
    }
    for (; i < n; ++i) dst[i] = blend_premultiplied(dst[i], src[i]) & 0x00FFFFFFu;
}

void fill_span(std::uint32_t* dst, std::size_t n, std::uint32_t colour) { fill_span_by(dst, n, colour, wide_spans()); }

// Sixteen pixels a step otherwise: AArch64 stores two vectors with one instruction.
void fill_span_by(std::uint32_t* dst, std::size_t n, std::uint32_t colour, bool wide) {
    const u32x4 c = {colour, colour, colour, colour};
    std::size_t i = wide ? fill_span_avx2(dst, n, colour) : 0;
    for (; i + 4 * step <= n; i += 4 * step)
        store(dst + i, c), store(dst + i + step, c), store(dst + i + 2 * step, c), store(dst + i + 3 * step, c);
    for (; i < n; ++i) dst[i] = colour;
}

// The tinted source is never formed as a word: each channel is the colour's times alpha plus
// the canvas's times 255 - alpha, both divided by 255 and added in the 16-bit lanes.
void tint_span(std::uint32_t* dst, const std::uint32_t* src, std::size_t n, std::uint32_t colour) {
    const u32x4 plain = {colour, colour, colour, colour};
    const u16x8 low_channels = widen_low(plain), high_channels = widen_high(plain);
    std::size_t i = 0;
    for (; i + step <= n; i += step) {
        Alphas a = spread_alpha(load(src + i));
        u32x4 d = load(dst + i);
        u16x8 low = mul_div255(widen_low(d), 255 - a.low) + mul_div255(low_channels, a.low);
        u16x8 high = mul_div255(widen_high(d), 255 - a.high) + mul_div255(high_channels, a.high);
        store(dst + i, narrow(low, high) & rgb_mask);
    }
    for (; i < n; ++i) dst[i] = blend_premultiplied(dst[i], premultiply(colour, src[i] >> 24)) & 0x00FFFFFFu;
}

namespace {

#ifdef __x86_64__
// Many x86-64 processors have 64-byte vectors, which the build's baseline does not assume; the
// veil is the one pass that may cover the whole canvas, so it asks the processor once and takes
// sixteen pixels a step where it can. The arithmetic is dim_span's, lane for lane. Returns how
// many pixels it dimmed from the start, a multiple of sixteen.
__attribute__((target("avx512bw"))) std::size_t dim_span_avx512(std::uint32_t* dst, std::size_t n) {
    const __m512i keep = _mm512_set1_epi16(255 - (dimming_colour >> 24)), zero = _mm512_setzero_si512();
    const __m512i half = _mm512_set1_epi16(0x80), by257 = _mm512_set1_epi16(257);
    const __m512i veil = _mm512_set1_epi32(dimming_colour & 0x00FFFFFF), rgb = _mm512_set1_epi32(0x00FFFFFF);
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m512i p = _mm512_loadu_si512(dst + i);
        const __m512i low = _mm512_add_epi16(_mm512_mullo_epi16(_mm512_unpacklo_epi8(p, zero), keep), half);
        const __m512i high = _mm512_add_epi16(_mm512_mullo_epi16(_mm512_unpackhi_epi8(p, zero), keep), half);
        const __m512i packed = _mm512_packus_epi16(_mm512_mulhi_epu16(low, by257), _mm512_mulhi_epu16(high, by257));
        _mm512_storeu_si512(dst + i, _mm512_and_si512(_mm512_add_epi32(packed, veil), rgb));
    }
    return i;
}

std::size_t dim_wide_if_possible(std::uint32_t* dst, std::size_t n) {
    static const bool wide = __builtin_cpu_supports("avx512bw");
    return wide ? dim_span_avx512(dst, n) : 0;
}
#else
std::size_t dim_wide_if_possible(std::uint32_t*, std::size_t) { return 0; }
#endif

}  // namespace

void dim_span(std::uint32_t* dst, std::size_t n) {
    constexpr std::uint32_t veil = dimming_colour & 0x00FFFFFFu;
    const u16x8 keep = u16x8{} + (255 - (dimming_colour >> 24));
    const u32x4 veil4 = {veil, veil, veil, veil};
    std::size_t i = dim_wide_if_possible(dst, n);
    for (; i + step <= n; i += step) {
        u32x4 d = load(dst + i);
        store(dst + i, (narrow(mul_div255(widen_low(d), keep), mul_div255(widen_high(d), keep)) + veil4) & rgb_mask);
    }
    for (; i < n; ++i) dst[i] = dimmed(dst[i]) & 0x00FFFFFFu;
}

void copy_repeating(std::uint32_t* dst, const std::uint32_t* row, int period, int phase, int n) {
    for (int x = 0, j = phase; x < n; j = 0) {
        int count = period - j < n - x ? period - j : n - x;
        std::memcpy(dst + x, row + j, static_cast<std::size_t>(count) * sizeof *dst);
        x += count;
    }
}

}  // namespace skimbo
