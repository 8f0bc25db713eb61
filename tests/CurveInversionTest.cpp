// Curve inversion: every curve type with and without each axis transformation, both roots of a
// second-order curve, and nearly straight second-order curves. Expected values are worked by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>

#include "quan.h"

namespace {
struct Curve { double c[7]; int type, axis; double minConc = 0.0, maxConc = 10.0; };

int Invert(const Curve& curve, double response, double& conc) {
    return CQuanQuantify::QuanGetConc(response, &conc, curve.c, curve.type, curve.axis, curve.minConc, curve.maxConc);
}
}  // namespace

TEST(CurveInversion, EveryCurveTypeWithEachTransformation) {
    const double e2 = std::exp(2.0);
    const struct { const char* what; Curve curve; double response, conc; } cases[] = {
        {"RF", {{0, 4}, 0, kAxisNone}, 10.0, 2.5},
        {"RF ignores c0", {{99, 4}, 0, kAxisNone}, 10.0, 2.5},
        {"type 7 as RF", {{99, 5}, 7, kAxisNone}, 10.0, 2.0},
        {"linear", {{2, 4}, 1, kAxisNone}, 10.0, 2.0},
        {"linear, response below zero reads as 0", {{2, 4}, 1, kAxisNone}, -1.0, -0.5},
        {"linear Ln", {{0, 1}, 1, kAxisLn}, e2, e2},
        {"linear Log", {{1, 2}, 1, kAxisLog10}, 1000.0, 10.0},  // y = 3, x = 1, 10^1
        {"linear sqrt", {{0, 1}, 1, kAxisSquareRoot}, 9.0, 9.0},     // y = 3, x = 3, 3^2
        {"RF Ln", {{0, 2}, 0, kAxisLn}, e2, std::exp(1.0)},
        {"quadratic, c2 > 0 takes the larger root", {{0, 0, 1}, 2, kAxisNone}, 4.0, 2.0},
        {"quadratic, c2 < 0 takes the smaller root", {{8, 0, -1}, 2, kAxisNone}, 4.0, -2.0},
        {"quadratic, double root", {{4, -4, 1}, 2, kAxisNone}, 0.0, 2.0},  // (x-2)^2, D = 0
        {"quadratic sqrt", {{0, 0, 1}, 2, kAxisSquareRoot}, 16.0, 4.0},         // y = 4, x = 2, 2^2
        {"quadratic with c2 = 0 is its line", {{2, 4, 0}, 2, kAxisNone}, 10.0, 2.0},
        // Cubics: y = x^3 solved from the middle of 0..10 (Newton converges to the real root).
        {"cubic", {{0, 0, 0, 1}, 3, kAxisNone, 0.0, 10.0}, 27.0, 3.0},
        {"cubic Log", {{0, 0, 0, 1}, 3, kAxisLog10, 0.0, 4.0}, 1e8, 1e2},  // y = 8, x = 2
        {"sixth order", {{0, 1, 0, 0, 0, 0, 1}, 6, kAxisNone, 0.0, 4.0}, 66.0, 2.0},  // 2 + 64
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        double conc = -999.0;
        ASSERT_EQ(Invert(c.curve, c.response, conc), kCurveSolved);
        // Newton stops within its 0.001 step tolerance of the root.
        EXPECT_NEAR(conc, c.conc, c.curve.type >= 3 ? 1e-3 * std::max(1.0, c.conc) : 1e-9);
    }
}

// A second-order curve is inverted at the root the curve's opening picks, computed in a form
// that does not cancel: a nearly straight calibration (curvature tiny against the slope) must
// give the concentration its line would, to the last digits.
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
    };
    for (const auto& c : cases) {
        double conc = -123.0;
        ASSERT_EQ(CQuanQuantify::QuanGetConc(c.response, &conc, c.c, 2, 0, 0.0, 1.0), kCurveSolved) << c.what;
        EXPECT_NEAR(conc, c.expected, 4e-15 * std::fabs(c.expected)) << c.what;
    }
}
