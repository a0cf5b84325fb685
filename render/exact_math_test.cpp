#include "render/exact_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace skimbo {
namespace {

// The art generator's trigonometry, against the double-precision library functions.
TEST(ExactMath, SineAndCosineMatchTheLibraryClosely) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> angle(-20.0, 20.0);
    for (int i = 0; i < 300000; ++i) {
        double t = angle(rng), s, c;
        sin_cos(t, s, c);
        ASSERT_NEAR(s, std::sin(t), 4e-16) << t;
        ASSERT_NEAR(c, std::cos(t), 4e-16) << t;
    }
}

TEST(ExactMath, ArcTangentMatchesTheLibraryClosely) {
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
