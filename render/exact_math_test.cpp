#include "render/exact_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace skimbo {
namespace {

// Rounded to float, the results must be the correctly rounded values, for which the
// double-precision library functions serve as the reference.
TEST(ExactMath, SineAndCosineRoundLikeTheTrueValues) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> angle(-360.0f, 360.0f);
    int checked = 0;
    auto check = [&](float degrees) {
        float t = std::fmod(degrees, 360.0f) * 0.017453292f;
        float s, c;
        sin_cos(t, s, c);
        ASSERT_EQ(s, static_cast<float>(std::sin(static_cast<double>(t)))) << degrees;
        ASSERT_EQ(c, static_cast<float>(std::cos(static_cast<double>(t)))) << degrees;
        ++checked;
    };
    for (int d = -360; d <= 360; ++d) check(static_cast<float>(d));
    for (int i = 0; i < 300000; ++i) check(angle(rng));
    EXPECT_EQ(checked, 300721);
}

TEST(ExactMath, ArcTangentRoundsLikeTheTrueValue) {
    // The exit ring's whole domain: half-pixel offsets around its centre.
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 44; ++x) {
            float dy = (y + 0.5f) - 20.0f, dx = (x + 0.5f) - 22.0f;
            ASSERT_EQ(arc_tangent(dx, -dy), static_cast<float>(std::atan2(static_cast<double>(dx), static_cast<double>(-dy))))
                << x << "," << y;
        }
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> v(-1000, 1000);
    for (int i = 0; i < 300000; ++i) {
        double a = v(rng), b = v(rng);
        ASSERT_NEAR(arc_tangent(a, b), std::atan2(a, b), 4e-16 * 4) << a << "," << b;
    }
    EXPECT_EQ(arc_tangent(0.0, -1.0), std::atan2(0.0, -1.0));
    EXPECT_EQ(arc_tangent(-0.0, -1.0), std::atan2(-0.0, -1.0));
}

}  // namespace
}  // namespace skimbo
