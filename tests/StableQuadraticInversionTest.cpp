// A second-order curve is inverted at the root the curve's opening picks, computed in a form
// that does not cancel: a nearly straight calibration (curvature tiny against the slope) must
// give the concentration its line would, to the last digits.
#include <gtest/gtest.h>

#include <cmath>

#include "quan.h"

TEST(StableQuadraticInversion, NearlyStraightCurvesKeepTheirDigits) {
    const struct {
        const char* what;
        double c[3];
        double response;
        double expected;  // the root worked by hand
    } cases[] = {
        // 1e-16 x^2 + x = 1: x = 2 / (1 + sqrt(1 + 4e-16)) = 1 - 1e-16.
        {"upward, tiny curvature", {0, 1, 1e-16}, 1.0, 1.0},
        // -1e-16 x^2 + x = 1: the smaller root, 1 + 1e-16.
        {"downward, tiny curvature", {0, 1, -1e-16}, 1.0, 1.0},
        // 5 + 2e8 x + 3 x^2 at x = 1e-6 is 205.000000000003.
        {"low standard of a steep curve", {5, 2e8, 3}, 205.000000000003, 1e-6},
        // Negative slope: 2 x^2 - 3 x + 1 = 1 has roots 0 and 1.5, the larger taken.
        {"negative slope", {1, -3, 2}, 1.0, 1.5},
        // 1e-16 x^2 - x = 0: roots 0 and 1e16, the larger taken.
        {"negative slope, tiny curvature", {0, -1, 1e-16}, 0.0, 1e16},
        {"symmetric, opening upward", {0, 0, 1}, 4.0, 2.0},
        {"symmetric, opening downward", {8, 0, -1}, 4.0, -2.0},
    };
    for (const auto& c : cases) {
        double conc = -123.0;
        ASSERT_EQ(CQuanQuantify::QuanGetConc(c.response, &conc, c.c, 2, 0, 0.0, 1.0), kCurveSolved) << c.what;
        EXPECT_NEAR(conc, c.expected, 4e-15 * std::fabs(c.expected)) << c.what;
    }
}
