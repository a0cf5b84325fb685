#pragma once
// Sine, cosine and arctangent from +, -, *, / and sqrt only, for the art generator: the
// C library's versions may differ in their last bit between the x86-64 development
// machines and the AArch64 device, and the compiled-in art must be the same bits on both.
// Every step is a correctly rounded IEEE operation and the build forbids contraction.
#include <cmath>

namespace skimbo {

namespace exact_math_detail {

constexpr double half_pi_hi = 1.5707963267341256e+00;  // 33 significant bits: k * hi is exact
constexpr double half_pi_lo = 6.0771005065061922e-11;
constexpr double quarter_pi = 0.78539816339744830962;
constexpr double half_pi = 1.57079632679489661923;
constexpr double pi = 3.14159265358979323846;

// Taylor series on [-pi/4, pi/4]; the first omitted terms are below 1e-19.
inline double sin_kernel(double r) {
    double r2 = r * r;
    double p = 1.0 / 355687428096000.0;  // 1/17!
    p = p * r2 - 1.0 / 1307674368000.0;
    p = p * r2 + 1.0 / 6227020800.0;
    p = p * r2 - 1.0 / 39916800.0;
    p = p * r2 + 1.0 / 362880.0;
    p = p * r2 - 1.0 / 5040.0;
    p = p * r2 + 1.0 / 120.0;
    p = p * r2 - 1.0 / 6.0;
    return r + r * r2 * p;
}

inline double cos_kernel(double r) {
    double r2 = r * r;
    double p = 1.0 / 6402373705728000.0;  // 1/18!
    p = p * r2 - 1.0 / 20922789888000.0;
    p = p * r2 + 1.0 / 87178291200.0;
    p = p * r2 - 1.0 / 479001600.0;
    p = p * r2 + 1.0 / 3628800.0;
    p = p * r2 - 1.0 / 40320.0;
    p = p * r2 + 1.0 / 720.0;
    p = p * r2 - 1.0 / 24.0;
    p = p * r2 + 0.5;
    return 1.0 - r2 * p;
}

// atan on [0, 0.2]: odd Taylor series, first omitted term below 1e-19.
inline double atan_kernel(double z) {
    double z2 = z * z;
    double p = 0.0;
    for (int k = 25; k >= 3; k -= 2) p = (p + ((k / 2) % 2 ? -1.0 : 1.0) / k) * z2;
    return z + z * p;
}

}  // namespace exact_math_detail

// sin and cos of r for |r| up to a few thousand radians.
inline void sin_cos(double r, double& s, double& c) {
    using namespace exact_math_detail;
    double k = std::nearbyint(r / half_pi);
    double reduced = (r - k * half_pi_hi) - k * half_pi_lo;
    double sk = sin_kernel(reduced), ck = cos_kernel(reduced);
    switch (static_cast<long long>(k) & 3) {
    case 0: s = sk, c = ck; break;
    case 1: s = ck, c = -sk; break;
    case 2: s = -sk, c = -ck; break;
    default: s = -ck, c = sk; break;
    }
}

// The angle of (x, y) from the positive x axis, in (-pi, pi], like atan2(y, x).
inline double arc_tangent(double y, double x) {
    using namespace exact_math_detail;
    if (x == 0 && y == 0) return std::signbit(x) ? (std::signbit(y) ? -pi : pi) : y;
    double ax = std::fabs(x), ay = std::fabs(y);
    bool steep = ay > ax;
    double z = steep ? ax / ay : ay / ax;  // in [0, 1]
    // Two half-angle steps, atan z = 2 atan(z / (1 + sqrt(1 + z^2))), bring z below 0.2.
    for (int i = 0; i < 2; ++i) z = z / (1.0 + std::sqrt(1.0 + z * z));
    double a = 4.0 * atan_kernel(z);
    if (steep) a = half_pi - a;
    if (x < 0) a = pi - a;
    return std::signbit(y) ? -a : a;
}

}  // namespace skimbo
