// Curve fitting of one curve: the RF and polynomial statistics against values worked by hand
// or by a separate closed-form solution, every fit code with the code reported to the driver,
// the fallback to RF, the origin modes, version-1 weighting and what is stored in the curve.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>

#include "CalibrateTestSupport.h"
#include "calibrate/PolynomialFit.h"

using namespace calibrate_test;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

int Fit(CCalibrationData& curve, tag_STATS_STRUCT* out = nullptr) {
    CQuanCalibrate engine;
    tag_STATS_STRUCT stats = SwitchesFor(curve);
    const int code = CalibrateTestAccess::QuanFitCaliCurve(engine, curve, stats);
    if (out) *out = stats;
    return code;
}
}  // namespace

TEST(CurveFitting, ResponseFactorStatisticsAsWorkedByHand) {
    CCalibrationData exact = Curve(kCurveRF, kOriginExclude, {{1, 2}, {2, 4}, {4, 8}});
    CQuanCalibrate engine;
    ASSERT_EQ(engine.QuanDoCalibration(&exact, 0), kCaliOK);
    EXPECT_EQ(exact.GetCaliPtsValid() + exact.GetCurveValid(), 2);
    const double stored[] = {exact.GetMeanRelResp(), exact.GetCC(1), exact.GetCC(0), exact.GetStdDev(),
                             exact.GetRelSD(), exact.GetMeanResid(), exact.GetMnSqErr(), exact.GetCorrCoeff(),
                             exact.GetMeanConc(), exact.GetMeanRelConc(), exact.GetMeanResp(), exact.GetMaxConc(),
                             exact.GetMaxResp()};
    // A perfect fit stores its mean square error at the floor 1e-09.
    const double expected[] = {2, 2, 0, 0, 0, 0, 1e-09, 0, 7.0 / 3, 7.0 / 3, 14.0 / 3, 4, 8};
    for (size_t i = 0; i < std::size(stored); ++i) EXPECT_DOUBLE_EQ(stored[i], expected[i]) << i;
    EXPECT_EQ(exact.GetReportCorrFlags(), 1);

    // Factors 2, 2.5, 1.75: RF 2.083333, residuals -0.083333, 0.833333, -1.333333.
    CCalibrationData scattered = Curve(kCurveRF, kOriginExclude, {{1, 2}, {2, 5}, {4, 7}});
    scattered.SetCCThreshold(0.99);
    ASSERT_EQ(engine.QuanDoCalibration(&scattered, 0), kCaliOK);
    EXPECT_NEAR(scattered.GetCC(1), 2.0833333333, 1e-9);
    EXPECT_NEAR(scattered.GetStdDev(), 0.3818813079, 1e-9);
    EXPECT_NEAR(scattered.GetRelSD(), 0.1833030278, 1e-9);
    EXPECT_NEAR(scattered.GetPercRelSD(), 18.33030278, 1e-7);
    EXPECT_NEAR(scattered.GetMeanResid(), 0.75, 1e-12);
    EXPECT_NEAR(scattered.GetMnSqErr(), 0.8263888889, 1e-9);
    EXPECT_EQ(scattered.GetMinCCFlag(), 1);  // RF fits compute no correlation
    EXPECT_EQ(scattered.GetCorrCoeff(), 0.0);

    // An excluded point 0 takes no part, but its concentration is the starting minimum.
    CCalibrationData excluded = Curve(kCurveRF, kOriginExclude, {{0, 5, 1, true}, {2, 4}, {4, 8}});
    ASSERT_EQ(engine.QuanDoCalibration(&excluded, 0), kCaliOK);
    EXPECT_EQ(excluded.GetMinResp(), 4.0);
    EXPECT_EQ(excluded.GetMinConc(), 0.0);
    EXPECT_DOUBLE_EQ(excluded.GetCC(1), 2.0);
    EXPECT_DOUBLE_EQ(excluded.GetMeanConc(), 3.0);
}

TEST(CurveFitting, EveryFitCodeReachesTheDriverPlus27) {
    const struct {
        const char* what;
        CCalibrationData curve;
        int expected;
    } cases[] = {
        {"curve type 7", Curve(7, kOriginExclude, {{1, 2}, {2, 4}}), 30},
        {"curve type -1", Curve(-1, kOriginExclude, {{1, 2}, {2, 4}}), 30},
        {"line without points", Curve(kCurveLinear, kOriginExclude, {}), 31},
        {"quadratic, all excluded", Curve(2, kOriginExclude, {{1, 2, 1, true}, {2, 4, 1, true}}), 31},
        {"RF without points", Curve(kCurveRF, kOriginExclude, {}), 32},
        {"RF, all excluded", Curve(kCurveRF, kOriginExclude, {{1, 2, 1, true}}), 32},
        {"quadratic on two points", Curve(2, kOriginExclude, {{1, 2}, {2, 5}}), 32},
        {"cubic on three points", Curve(3, kOriginExclude, {{1, 2}, {2, 5}, {3, 9}}), 32},
        {"weights all zero", Curve(kCurveLinear, kOriginExclude, {{1, 2, 0}, {2, 4, 0}, {3, 7, 0}}), 34},
        {"NaN concentration", Curve(kCurveLinear, kOriginExclude, {{1, 2}, {kNaN, 4}, {3, 7}}), 34},
        {"infinite response", Curve(2, kOriginExclude, {{1, 2}, {2, kInf}, {3, 7}, {4, 9}}), 34},
        {"NaN weight on RF", Curve(kCurveRF, kOriginExclude, {{1, 2, kNaN}, {2, 4}}), 34},
        {"all concentrations zero", Curve(kCurveLinear, kOriginExclude, {{0, 2}, {0, 4}}), 37},
        {"RF, all concentrations zero", Curve(kCurveRF, kOriginExclude, {{0, 2}, {0, 4}}), 37},
        {"quadratic with the origin appended", Curve(2, kOriginInclude, {{1, 2}, {2, 5}}), 0},
        {"forced line on one point", Curve(kCurveLinear, kOriginForce, {{2, 4}}), 0},
        {"NaN only in an excluded point", Curve(kCurveLinear, kOriginExclude, {{1, 3}, {kNaN, 1, 1, true}, {2, 5}}), 0},
        {"equal concentrations fall back to RF", Curve(kCurveLinear, kOriginExclude, {{5, 10}, {5, 12}}), 0},
    };
    for (const auto& c : cases) {
        CCalibrationData curve = c.curve;
        tag_STATS_STRUCT stats{};
        EXPECT_EQ(Fit(curve, &stats), c.expected) << c.what;
        if (c.expected == 0) {
            for (double coefficient : stats.Coefficients) EXPECT_TRUE(std::isfinite(coefficient)) << c.what;
        }
    }
}

TEST(CurveFitting, EqualConcentrationsFallBackToRFOnUntransformedPoints) {
    CQuanCalibrate engine;
    // Log axes: (10, 100) and (10, 1000) become (1, 2) and (1, 3); one concentration, no line.
    CCalibrationList list;
    list.Add(Curve(kCurveLinear, kOriginExclude, {{10, 100}, {10, 1000}}, kWeightNone, 2));
    ASSERT_EQ(engine.QuanDoCalibration(&list, 0), kCaliOK);
    const CCalibrationData& curve = list.GetAt(0);
    EXPECT_EQ(curve.GetCCalc(), kCurveRF);
    EXPECT_EQ(curve.GetXYTrans(), 0);
    EXPECT_NEAR(curve.GetCaliPoint(0).Conc, 10.0, 1e-12);
    EXPECT_NEAR(curve.GetCaliPoint(0).Resp, 100.0, 1e-10);
    EXPECT_NEAR(curve.GetCaliPoint(1).Resp, 1000.0, 1e-9);
    EXPECT_NEAR(curve.GetCC(1), 55.0, 1e-9);  // (10 + 100) / 2
    EXPECT_EQ(curve.GetCurveValid(), 1);

    // Without a transformation the points are fitted as they are, and the type stays RF.
    CCalibrationData plain = Curve(3, kOriginExclude, {{5, 10}, {5, 12}, {5, 11}, {5, 9}});
    ASSERT_EQ(engine.QuanDoCalibration(&plain, 0), kCaliOK);
    EXPECT_EQ(plain.GetCCalc(), kCurveRF);
    EXPECT_DOUBLE_EQ(plain.GetCC(1), 2.1);
    EXPECT_EQ(plain.GetCaliPoint(1).Conc, 5.0);

    // Only a forced line may pass through a single concentration.
    CCalibrationData forced = Curve(kCurveLinear, kOriginForce, {{5, 10}, {5, 12}});
    ASSERT_EQ(engine.QuanDoCalibration(&forced, 0), kCaliOK);
    EXPECT_EQ(forced.GetCCalc(), kCurveLinear);
    EXPECT_DOUBLE_EQ(forced.GetCC(1), 2.2);  // sum(xy) / sum(x^2) = 110 / 50
}

TEST(CurveFitting, OriginModesOnTheLineYEquals1Plus2X) {
    // Included: the origin is a fourth point, (0,0),(1,3),(2,5),(3,7): slope 2.3, intercept 0.3.
    // Forced: slope sum(xy) / sum(x^2) = 34 / 14. Matrix match: fitted with the intercept 1,
    // stored without it.
    const struct { int origin; double c0, c1, r; int reportFlags; } cases[] = {
        {kOriginExclude, 1.0, 2.0, 1.0, 2},
        {kOriginInclude, 0.3, 2.3, -1, 2},
        {kOriginForce, 0.0, 34.0 / 14.0, -1, 1},
        {kOriginMatrixMatch, 0.0, 2.0, 1.0, 2},
    };
    CQuanCalibrate engine;
    for (const auto& c : cases) {
        CCalibrationData curve = Curve(kCurveLinear, c.origin, {{1, 3}, {2, 5}, {3, 7}});
        ASSERT_EQ(engine.QuanDoCalibration(&curve, 0), kCaliOK);
        EXPECT_NEAR(curve.GetCC(0), c.c0, 1e-12) << c.origin;
        EXPECT_NEAR(curve.GetCC(1), c.c1, 1e-12) << c.origin;
        EXPECT_EQ(curve.GetCC(2), 0.0) << c.origin;
        if (c.r >= 0) {
            EXPECT_NEAR(curve.GetCorrCoeff(), c.r, 1e-12) << c.origin;
        }
        EXPECT_EQ(curve.GetReportCorrFlags(), c.reportFlags) << c.origin;
        if (c.origin != kOriginInclude) continue;
        // The appended point counts in the means but is no extreme.
        EXPECT_DOUBLE_EQ(curve.GetMeanResp(), 15.0 / 4);
        EXPECT_DOUBLE_EQ(curve.GetMeanConc(), 6.0 / 4);
        EXPECT_DOUBLE_EQ(curve.GetMeanRelResp(), (3.0 + 2.5 + 7.0 / 3) / 4);
        EXPECT_EQ(curve.GetMinConc(), 1.0);
    }
}

TEST(CurveFitting, Version1WeightingAgainstNormalWeightingOnTheSamePoints) {
    // 1/x weights 1, 0.5, 0.25, 0.125. Normally a point enters with its weight, under version 1
    // with its weight squared; statistics weigh by the weight in both.
    const double x[4] = {1, 2, 4, 8}, y[4] = {3.1, 4.8, 9.3, 17.2};
    const auto independent = [&](bool version1, double& slope, double& intercept, double& r, double& mse) {
        double sw = 0, swx = 0, swy = 0, swxx = 0, swxy = 0, weightSum = 0, weightedY = 0;
        for (int i = 0; i < 4; ++i) {
            const double w = 1.0 / x[i];
            const double fitWeight = version1 ? w * w : w;
            sw += fitWeight;
            swx += fitWeight * x[i];
            swy += fitWeight * y[i];
            swxx += fitWeight * x[i] * x[i];
            swxy += fitWeight * x[i] * y[i];
            weightSum += w;
            weightedY += w * y[i];
        }
        slope = (sw * swxy - swx * swy) / (sw * swxx - swx * swx);
        intercept = (swy - slope * swx) / sw;
        double sse = 0, sst = 0;
        for (int i = 0; i < 4; ++i) {
            const double w = 1.0 / x[i];
            const double e = y[i] - intercept - slope * x[i];
            const double d = y[i] - weightedY / weightSum;
            sse += w * e * e;
            sst += w * d * d;
        }
        r = std::sqrt((sst - sse) / sst);
        mse = sse / 4;
    };

    double results[2][2];
    for (int version1 = 0; version1 <= 1; ++version1) {
        CCalibrationData curve =
            Curve(kCurveLinear, kOriginExclude, {{1, 3.1}, {2, 4.8}, {4, 9.3}, {8, 17.2}}, kWeightInverseX);
        CQuanCalibrate engine;
        ASSERT_EQ(engine.QuanDoCalibration(&curve, version1), kCaliOK);
        double slope, intercept, r, mse;
        independent(version1 != 0, slope, intercept, r, mse);
        EXPECT_NEAR(curve.GetCC(1), slope, 1e-10) << version1;
        EXPECT_NEAR(curve.GetCC(0), intercept, 1e-10) << version1;
        EXPECT_NEAR(curve.GetCorrCoeff(), r, 1e-10) << version1;
        EXPECT_NEAR(curve.GetMnSqErr(), mse, 1e-10) << version1;
        EXPECT_NEAR(curve.GetStdDev(), std::sqrt(mse * 4 / 3), 1e-10) << version1;
        results[version1][0] = curve.GetCC(0);
        results[version1][1] = curve.GetCC(1);
    }
    EXPECT_GT(std::fabs(results[0][1] - results[1][1]), 1e-3);
}

TEST(CurveFitting, PolynomialsOfEveryOrderRecoverExactCoefficients) {
    const double truth[7] = {2.0, 1.5, -0.5, 0.25, 0.125, -0.0625, 0.03125};
    for (int order = 1; order <= 6; ++order) {
        CCalibrationData curve = Curve(order, kOriginExclude, {});
        for (int i = 0; i < 10; ++i) {
            const double x = 0.3 * (i + 1);
            curve.SetCaliPointConc(i, x);
            curve.SetCaliPointResp(i, EvaluatePolynomial(x, order, truth));
        }
        curve.SetNumCaliPts(10);
        CQuanCalibrate engine;
        ASSERT_EQ(engine.QuanDoCalibration(&curve, 0), kCaliOK);
        ASSERT_EQ(curve.GetCaliPtsValid(), 1) << order;
        for (int j = 0; j <= order; ++j) EXPECT_NEAR(curve.GetCC(j), truth[j], 1e-6) << order << " c" << j;
        for (int j = order + 1; j < 7; ++j) EXPECT_EQ(curve.GetCC(j), 0.0) << order;
        EXPECT_NEAR(curve.GetCorrCoeff(), 1.0, 1e-9);
        EXPECT_EQ(curve.GetReportCorrFlags(), order == 1 ? 2 : 1);
    }
}

TEST(CurveFitting, StoredStatisticsAreClampedAndAFailedFitStoresNothing) {
    CQuanCalibrate engine;
    CCalibrationData curve = Curve(2, kOriginExclude, {{1, 2}, {2, 5}, {3, 9}});
    curve.SetCCThreshold(1.1);
    tag_STATS_STRUCT stats{};
    stats.CorrCoeff = 1.2;  // possible with negative version-1 weights
    stats.MnSqErr = 5e9;
    stats.Coefficients[0] = 4.0;
    stats.Coefficients[6] = 0.5;
    ASSERT_TRUE(CalibrateTestAccess::QuanSetCurveStats(engine, curve, stats));
    EXPECT_EQ(curve.GetCorrCoeff(), 1.0);
    EXPECT_EQ(curve.GetMinCCFlag(), 0);  // the unclamped 1.2 passes the threshold 1.1
    EXPECT_EQ(curve.GetMnSqErr(), 999999999.0);
    EXPECT_EQ(curve.GetCC(0), 4.0);
    EXPECT_EQ(curve.GetCC(6), 0.5);
    EXPECT_EQ(curve.GetCurveValid(), 1);
    stats.CorrCoeff = -3.0;
    stats.MatrixMatch = 1;
    CalibrateTestAccess::QuanSetCurveStats(engine, curve, stats);
    EXPECT_EQ(curve.GetCorrCoeff(), -1.0);
    EXPECT_EQ(curve.GetMinCCFlag(), 1);
    EXPECT_EQ(curve.GetCC(0), 0.0);

    // A fit that fails keeps the coefficients and statistics of the last good one.
    CCalibrationData failing = Curve(kCurveLinear, kOriginExclude, {{1, 3}, {2, kNaN}, {3, 7}});
    failing.SetCC(9.0, 1);
    failing.SetStdDev(0.5);
    failing.SetCurveValid(1);
    failing.SetCaliPtsValid(1);
    EXPECT_EQ(engine.QuanDoCalibration(&failing, 0), kCaliOK);
    EXPECT_EQ(failing.GetCurveValid(), 0);
    EXPECT_EQ(failing.GetCaliPtsValid(), 0);
    EXPECT_EQ(failing.GetCC(1), 9.0);
    EXPECT_EQ(failing.GetStdDev(), 0.5);
}
