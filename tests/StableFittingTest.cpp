// The calibration polynomial is the weighted least-squares optimum to the working precision,
// even at high orders over wide concentration ranges, while curves that were well determined
// before fit as they did; a fit double precision cannot deliver is refused, not stored.
// References are worked independently: exact polynomial data (the optimum is the generating
// polynomial), and a modified Gram-Schmidt solution in long double.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "CalibrateTestSupport.h"
#include "calibrate/PolynomialFit.h"

using namespace calibrate_test;

namespace {
struct FitData {
    std::vector<double> x, y, v;
};

// Fitted responses of the least-squares polynomial of `order`, by modified Gram-Schmidt on the
// column-normalised weighted design in long double, the right-hand side orthogonalised with it.
std::vector<long double> ReferenceResponses(const FitData& d, int order, bool forced) {
    const int n = static_cast<int>(d.x.size()), m = forced ? order : order + 1, p = forced ? 1 : 0;
    std::vector<std::vector<long double>> q(m, std::vector<long double>(n));
    std::vector<long double> r(m * m, 0.0L), scale(m), b(n);
    for (int j = 0; j < m; ++j) {
        long double norm = 0.0L;
        for (int i = 0; i < n; ++i) {
            q[j][i] = d.v[i] * std::pow(static_cast<long double>(d.x[i]), j + p);
            norm += q[j][i] * q[j][i];
        }
        scale[j] = std::sqrt(norm);
        for (int i = 0; i < n; ++i) q[j][i] /= scale[j];
    }
    for (int i = 0; i < n; ++i) b[i] = static_cast<long double>(d.v[i]) * d.y[i];
    std::vector<long double> qb(m);
    for (int j = 0; j < m; ++j) {
        for (int k = 0; k < j; ++k) {
            long double dot = 0.0L;
            for (int i = 0; i < n; ++i) dot += q[k][i] * q[j][i];
            r[k * m + j] = dot;
            for (int i = 0; i < n; ++i) q[j][i] -= dot * q[k][i];
        }
        long double norm = 0.0L;
        for (int i = 0; i < n; ++i) norm += q[j][i] * q[j][i];
        r[j * m + j] = std::sqrt(norm);
        for (int i = 0; i < n; ++i) q[j][i] /= r[j * m + j];
        long double dot = 0.0L;
        for (int i = 0; i < n; ++i) dot += q[j][i] * b[i];
        qb[j] = dot;
        for (int i = 0; i < n; ++i) b[i] -= dot * q[j][i];
    }
    std::vector<long double> z(m);
    for (int j = m - 1; j >= 0; --j) {
        long double sum = qb[j];
        for (int k = j + 1; k < m; ++k) sum -= r[j * m + k] * z[k];
        z[j] = sum / r[j * m + j];
    }
    std::vector<long double> fitted(n, 0.0L);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < m; ++j) fitted[i] += z[j] / scale[j] * std::pow(static_cast<long double>(d.x[i]), j + p);
    return fitted;
}

// Log-spaced concentrations lo..hi with responses 5 + 40 x + 0.02 x^2 scattered by up to 2 %.
FitData Scattered(int n, double lo, double hi, int weighting) {
    const double scatter[] = {0.013, -0.017, 0.004, 0.019, -0.008, -0.020, 0.011, 0.002,
                              -0.013, 0.016, -0.003, 0.007, -0.018, 0.009, -0.006};
    FitData d;
    for (int i = 0; i < n; ++i) {
        const double x = lo * std::pow(hi / lo, i / (n - 1.0));
        d.x.push_back(x);
        d.y.push_back((5.0 + 40.0 * x + 0.02 * x * x) * (1.0 + scatter[i % 15]));
        d.v.push_back(weighting == 0 ? 1.0 : std::pow(x, -0.5 * weighting));  // square roots of 1, 1/x, 1/x^2
    }
    return d;
}

double FittedAt(double x, int order, const double* c) { return EvaluatePolynomial(x, order, c); }

tag_CALI_POINT Standard(double conc, double resp) {
    tag_CALI_POINT point{};
    point.Weight = 1.0;
    point.Conc = conc;
    point.Resp = resp;
    return point;
}
}  // namespace

TEST(StableFitting, ExactPolynomialDataIsRecoveredAtEveryOrder) {
    // Concentrations 2^-10 .. 2^13 (about 1e-3 .. 8e3) with integer coefficients: every response
    // is exact in double, so the least-squares optimum at any order is the polynomial itself.
    // A standard can be right only to the rounding of the largest weighted response: unweighted
    // 2e8, about 1e-8 of a response near 1; weighted 1/x^2 the cubic spans 15 .. 7e7.
    const struct { double c[4]; int degree, weighting; double tolerance; } cases[] = {
        {{1, 2, 3, 0}, 2, kWeightNone, 2e-8},
        {{7, 5, 2, 1}, 3, kWeightInverseX2, 1e-9},
    };
    for (const auto& c : cases) {
        for (int order = c.degree; order <= 6; ++order) {
            CCalibrationData curve = Curve(order, kOriginExclude, {}, c.weighting);
            for (int e = -10; e <= 13; ++e) {
                const double x = std::ldexp(1.0, e);
                curve.SetCaliPoint(Standard(x, EvaluatePolynomial(x, c.degree, c.c)), e + 10);
            }
            curve.SetNumCaliPts(24);
            CQuanCalibrate engine;
            ASSERT_EQ(engine.QuanDoCalibration(&curve, 0), kCaliOK);
            ASSERT_EQ(curve.GetCurveValid(), 1) << order;
            double stored[7];
            for (int j = 0; j < 7; ++j) stored[j] = curve.GetCC(j);
            for (int e = -10; e <= 13; ++e) {
                const double x = std::ldexp(1.0, e), exact = EvaluatePolynomial(x, c.degree, c.c);
                EXPECT_NEAR(FittedAt(x, order, stored), exact, c.tolerance * exact) << "order " << order << " at 2^" << e;
            }
        }
    }
}

TEST(StableFitting, WideRangeHighOrderReachesTheLeastSquaresOptimum) {
    // 15 log-spaced standards over 1e-3 .. 1e4 with 2 % scatter, unweighted and 1/x^2.
    for (int weighting : {0, 2}) {
        const FitData d = Scattered(15, 1e-3, 1e4, weighting);
        for (int order = 4; order <= 6; ++order) {
            double c[7];
            ASSERT_TRUE(LeastSquaresPolynomial(d.x.data(), d.y.data(), d.v.data(), 15, order, c, 0)) << order;
            const std::vector<long double> reference = ReferenceResponses(d, order, false);
            long double fitError = 0.0L, referenceError = 0.0L;
            for (int i = 0; i < 15; ++i) {
                const long double fitted = FittedAt(d.x[i], order, c), w = d.v[i] * d.v[i];
                EXPECT_NEAR(static_cast<double>(fitted / reference[i]), 1.0, 1e-7) << order << " at " << d.x[i];
                fitError += w * (d.y[i] - fitted) * (d.y[i] - fitted);
                referenceError += w * (d.y[i] - reference[i]) * (d.y[i] - reference[i]);
            }
            EXPECT_LE(static_cast<double>(fitError / referenceError), 1.0 + 1e-9) << order;
        }
    }
}

TEST(StableFitting, WellDeterminedCurvesFitAsBefore) {
    // Orders 1 to 3 over 0.5 .. 500 under each weighting, free and forced through the origin:
    // within 1e-10 of the reference, where the normal equations also were.
    for (int weighting : {0, 1, 2}) {
        const FitData d = Scattered(10, 0.5, 500.0, weighting);
        for (int order = 1; order <= 3; ++order) {
            for (int forced : {0, 1}) {
                double c[7];
                ASSERT_TRUE(LeastSquaresPolynomial(d.x.data(), d.y.data(), d.v.data(), 10, order, c, forced));
                if (forced) {
                    EXPECT_EQ(c[0], 0.0);
                }
                const std::vector<long double> reference = ReferenceResponses(d, order, forced != 0);
                for (int i = 0; i < 10; ++i)
                    EXPECT_NEAR(static_cast<double>(FittedAt(d.x[i], order, c) / reference[i]), 1.0, 1e-10)
                        << "weighting " << weighting << " order " << order << " forced " << forced;
            }
        }
    }
}

TEST(StableFitting, FitBeyondDoublePrecisionIsRefused) {
    // Twelve standards within 0.011 of 1000: in plain powers a fifth- or sixth-order curve there
    // cancels in every digit double has (about 1e17 between columns), so no stored curve can
    // give its responses to 1e-6.
    for (int order : {5, 6}) {
        CCalibrationData curve = Curve(order, kOriginExclude, {});
        const double scatter[] = {0.3, -0.2, 0.5, -0.4, 0.1, -0.6, 0.2, 0.4, -0.3, -0.1, 0.6, -0.5};
        for (int i = 0; i < 12; ++i) {
            const double x = 1000.0 + 0.001 * i;
            curve.SetCaliPoint(Standard(x, 3.0 + 2.0 * x + 1e-3 * scatter[i]), i);
        }
        curve.SetNumCaliPts(12);
        curve.SetCC(42.0, 0);
        CQuanCalibrate engine;
        tag_STATS_STRUCT stats = SwitchesFor(curve);
        CCalibrationData direct = curve;
        EXPECT_EQ(CalibrateTestAccess::QuanFitCaliCurve(engine, direct, stats), kFitSingular + kFitCodeOffset);
        curve.SetCurveValid(1);
        ASSERT_EQ(engine.QuanDoCalibration(&curve, 0), kCaliOK);
        EXPECT_EQ(curve.GetCaliPtsValid(), 0) << order;
        EXPECT_EQ(curve.GetCurveValid(), 0) << order;
        EXPECT_EQ(curve.GetCC(0), 42.0) << order;  // nothing of the refused fit is stored
    }
}
