// The numerical routines of the calibration polynomial, checked against values worked by hand,
// and the fit itself: the weighted least-squares optimum to the working precision,
// even at high orders over wide concentration ranges, while curves that were well determined
// before fit as they did; a fit double precision cannot deliver is refused, not stored.
// The reference is worked independently: a modified Gram-Schmidt solution in long double.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "CalibrateTestSupport.h"
#include "calibrate/PolynomialFit.h"

using namespace calibrate_test;

namespace {
struct FitData { std::vector<double> x, y, v; };

// Fitted responses of the least-squares polynomial: the weighted responses less what is left of
// them once every column's direction is taken out (modified Gram-Schmidt in long double).
std::vector<long double> ReferenceResponses(const FitData& d, int order, bool forced) {
    const size_t n = d.x.size();
    using Vector = std::vector<long double>;
    auto dot = [n](const Vector& a, const Vector& b) {
        long double sum = 0.0L;
        for (size_t i = 0; i < n; ++i) sum += a[i] * b[i];
        return sum;
    };
    auto takeOut = [&](Vector& from, const Vector& q) {
        const long double share = dot(from, q);
        for (size_t i = 0; i < n; ++i) from[i] -= share * q[i];
    };
    std::vector<Vector> basis;
    Vector rest(n), fitted(n);
    for (size_t i = 0; i < n; ++i) rest[i] = static_cast<long double>(d.v[i]) * d.y[i];
    for (int j = forced ? 1 : 0; j <= order; ++j) {
        Vector q(n);
        for (size_t i = 0; i < n; ++i) q[i] = d.v[i] * std::pow(static_cast<long double>(d.x[i]), j);
        for (const Vector& earlier : basis) takeOut(q, earlier);
        const long double norm = std::sqrt(dot(q, q));
        for (long double& e : q) e /= norm;
        takeOut(rest, q);
        basis.push_back(q);
    }
    for (size_t i = 0; i < n; ++i) fitted[i] = (static_cast<long double>(d.v[i]) * d.y[i] - rest[i]) / d.v[i];
    return fitted;
}

// Log-spaced concentrations lo..hi with responses 5 + 40 x + 0.02 x^2 scattered by up to 2 %;
// fitting weights are the square roots of 1, 1/x or 1/x^2.
FitData Scattered(int n, double lo, double hi, int weighting) {
    const double scatter[] = {0.013, -0.017, 0.004, 0.019, -0.008, -0.020, 0.011, 0.002,
                              -0.013, 0.016, -0.003, 0.007, -0.018, 0.009, -0.006};
    FitData d;
    for (int i = 0; i < n; ++i) {
        const double x = lo * std::pow(hi / lo, i / (n - 1.0));
        d.x.push_back(x);
        d.y.push_back((5.0 + 40.0 * x + 0.02 * x * x) * (1.0 + scatter[i % 15]));
        d.v.push_back(std::pow(x, -0.5 * weighting));
    }
    return d;
}
}  // namespace

TEST(StableFitting, FitIsTheLeastSquaresOptimumAndWellDeterminedCurvesFitAsBefore) {
    // 15 standards over 1e-3 .. 1e4 at high orders, where the normal equations lost whole
    // percents; and orders 1 to 3 over 0.5 .. 500, free and forced, where they were within
    // 1e-12 and the curve must not move by more than 1e-9.
    const struct { int n; double lo, hi; int weighting, forced, fromOrder, toOrder; double tolerance; } cases[] = {
        {15, 1e-3, 1e4, 0, 0, 4, 6, 1e-7}, {15, 1e-3, 1e4, 2, 0, 4, 6, 1e-7},
        {10, 0.5, 500, 0, 0, 1, 3, 1e-10}, {10, 0.5, 500, 1, 0, 1, 3, 1e-10}, {10, 0.5, 500, 2, 0, 1, 3, 1e-10},
        {10, 0.5, 500, 0, 1, 1, 3, 1e-10}, {10, 0.5, 500, 1, 1, 1, 3, 1e-10}, {10, 0.5, 500, 2, 1, 1, 3, 1e-10},
    };
    for (const auto& c : cases) {
        const FitData d = Scattered(c.n, c.lo, c.hi, c.weighting);
        for (int order = c.fromOrder; order <= c.toOrder; ++order) {
            SCOPED_TRACE(testing::Message() << "up to " << c.hi << ", weighting " << c.weighting << ", forced "
                                            << c.forced << ", order " << order);
            double fit[7];
            ASSERT_TRUE(LeastSquaresPolynomial(d.x.data(), d.y.data(), d.v.data(), c.n, order, fit, c.forced));
            EXPECT_TRUE(!c.forced || fit[0] == 0.0);
            const std::vector<long double> reference = ReferenceResponses(d, order, c.forced);
            long double fitError = 0.0L, referenceError = 0.0L;
            for (int i = 0; i < c.n; ++i) {
                const long double fitted = EvaluatePolynomial(d.x[i], order, fit), w = d.v[i] * d.v[i];
                EXPECT_NEAR(static_cast<double>(fitted / reference[i]), 1.0, c.tolerance) << "at " << d.x[i];
                fitError += w * (d.y[i] - fitted) * (d.y[i] - fitted);
                referenceError += w * (d.y[i] - reference[i]) * (d.y[i] - reference[i]);
            }
            EXPECT_LE(static_cast<double>(fitError / referenceError), 1.0 + 1e-9);
        }
    }
}

TEST(StableFitting, FitBeyondDoublePrecisionIsRefused) {
    // Twelve standards within 0.011 of 1000: in plain powers a fifth- or sixth-order curve there
    // cancels in every digit double has (about 1e17 between columns), so no stored curve can
    // give its responses to 1e-6.
    for (int order : {5, 6}) {
        const double scatter[] = {0.3, -0.2, 0.5, -0.4, 0.1, -0.6, 0.2, 0.4, -0.3, -0.1, 0.6, -0.5};
        std::vector<Point> standards;
        for (int i = 0; i < 12; ++i) {
            const double x = 1000.0 + 0.001 * i;
            standards.push_back({x, 3.0 + 2.0 * x + 1e-3 * scatter[i]});
        }
        CCalibrationData curve = Curve(order, kOriginExclude, standards);
        curve.SetCC(42.0, 0);
        CQuanCalibrate engine;
        tag_STATS_STRUCT stats{};  // no origin switches: the curve's origin is excluded
        CCalibrationData direct = curve;
        EXPECT_EQ(CalibrateTestAccess::QuanFitCaliCurve(engine, direct, stats), kFitSingular + kFitCodeOffset);
        curve.SetCurveValid(1);
        ASSERT_EQ(engine.QuanDoCalibration(&curve, 0), kCaliOK);
        EXPECT_EQ(curve.GetCaliPtsValid(), 0) << order;
        EXPECT_EQ(curve.GetCurveValid(), 0) << order;
        EXPECT_EQ(curve.GetCC(0), 42.0) << order;  // nothing of the refused fit is stored
    }
}

TEST(PolynomialFit, NormalEquationsAreWeightedPowerSumsWithAndWithoutForce) {
    // Fitting weights 1, 2, 1 enter squared: 1, 4, 1.
    const double x[3] = {1.0, 2.0, 3.0}, y[3] = {2.0, 3.0, 5.0}, v[3] = {1.0, 2.0, 1.0};
    double b[7];
    double a[7][7];

    BuildNormalEquations(x, y, v, 3, b, a, 3, 0);
    const double expectedA[3][3] = {{6, 12, 26}, {12, 26, 60}, {26, 60, 146}};
    const double expectedB[3] = {19, 41, 95};
    for (int i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(b[i], expectedB[i]) << i;
        for (int j = 0; j < 3; ++j) EXPECT_DOUBLE_EQ(a[i][j], expectedA[i][j]) << i << "," << j;
    }

    // Forced through the origin the powers start one higher.
    BuildNormalEquations(x, y, v, 3, b, a, 2, 1);
    for (int i = 0; i < 2; ++i) {
        EXPECT_DOUBLE_EQ(b[i], expectedB[i + 1]) << i;
        for (int j = 0; j < 2; ++j) EXPECT_DOUBLE_EQ(a[i][j], expectedA[i + 1][j + 1]) << i << "," << j;
    }
}

TEST(PolynomialFit, ZeroResponsesFitZeroAndBadArgumentsFail) {
    const double x[5] = {1, 2, 3, 4, 5}, y[5] = {}, v[5] = {1, 1, 1, 1, 1};
    double c[7];
    // Responses that are all zero fit the zero polynomial.
    ASSERT_TRUE(LeastSquaresPolynomial(x, y, v, 5, 2, c, 0));
    for (double coefficient : c) EXPECT_EQ(coefficient, 0.0);

    EXPECT_FALSE(LeastSquaresPolynomial(x, y, v, 5, 0, c, 0));
    EXPECT_FALSE(LeastSquaresPolynomial(x, y, v, 5, 7, c, 0));
    EXPECT_FALSE(LeastSquaresPolynomial(x, y, v, 0, 1, c, 0));
}
