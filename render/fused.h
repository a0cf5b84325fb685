#pragma once
// a * b + c rounded once to single precision, the result of std::fmaf. The device fuses in
// hardware. Where the build cannot assume a fused instruction (the x86-64 baseline), the
// library's fmaf is a call per use; instead the product of two floats is taken exactly in
// double precision and the sum rounded to double and then to float. That second rounding
// gives the once-rounded result unless the double sum lies exactly halfway between two floats
// (a sum that was itself rounded could then tip the wrong way), and unless the result is too
// small for the float's full precision: only then is the library asked.
#include <bit>
#include <cmath>
#include <cstdint>

namespace skimbo {

inline float fused_multiply_add(float a, float b, float c) {
#ifdef __FP_FAST_FMAF
    return std::fmaf(a, b, c);
#else
    const double product = static_cast<double>(a) * b;
    const double sum = product + c;
    if (std::fabs(sum) < 0x1p-126) return std::fmaf(a, b, c);
    const bool halfway = (std::bit_cast<std::uint64_t>(sum) & 0x1FFFFFFFu) == 0x10000000u;
    if (!halfway || (sum - product == c && sum - c == product)) return static_cast<float>(sum);
    return std::fmaf(a, b, c);
#endif
}

}  // namespace skimbo
