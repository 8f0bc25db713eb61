// Curve fitting of one curve: the response-factor statistics against values worked by hand,
// origin modes, stored statistics, and when a fitted curve may claim validity.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>

#include "CalibrateTestSupport.h"

using namespace calibrate_test;

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
    const double fitted[] = {scattered.GetCC(1),      scattered.GetStdDev(),    scattered.GetRelSD(),
                             scattered.GetPercRelSD(), scattered.GetMeanResid(), scattered.GetMnSqErr()};
    const double worked[] = {2.0833333333, 0.3818813079, 0.1833030278, 18.33030278, 0.75, 0.8263888889};
    for (size_t i = 0; i < std::size(fitted); ++i) EXPECT_NEAR(fitted[i], worked[i], 1e-9 * worked[i]) << i;
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
    CCalibrationData failing = Curve(kCurveLinear, kOriginExclude, {{1, 3}, {2, std::nan("")}, {3, 7}});
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

// A curve claims validity only when it can turn responses into concentrations from the points
// as the host gave them: a response factor of 0 is no calibration, a fallback to RF maps back
// only points that were in transformed axes, and a refused refit leaves no old curve valid.
TEST(CurveValidity, SingleCurveFitsOnlyWhatTheHostsPointsSupport) {
    const struct {
        const char* what;
        CCalibrationData curve;
        int valid;
        double rf;  // c1 of a valid curve
    } cases[] = {
        // Never transformed (RF): the points stay, and zero concentrations give no RF.
        {"RF on Ln axes at zero concentration",
         Curve(kCurveRF, kOriginExclude, {{0, 2}, {0, 4}}, kWeightNone, 1), 0, 0},
        // Weighted, so never transformed: RF on the points as given, (100/10 + 1000/10) / 2.
        {"weighted line on Log axes, one concentration",
         Curve(kCurveLinear, kOriginExclude, {{10, 100}, {10, 1000}}, kWeightInverseX, 2), 1, 55},
        // Responses summing to -1 calibrate nothing, whatever their factors (-2, 0.5) average to.
        {"responses summing below zero", Curve(kCurveRF, kOriginExclude, {{1, -2}, {2, 1}}), 0, 0},
        {"factors -2 and 2 cancel", Curve(kCurveRF, kOriginExclude, {{1, -2}, {2, 4}}), 0, 0},
        {"no positive concentration", Curve(kCurveRF, kOriginExclude, {{-1, 2}, {0, 3}}), 0, 0},
        {"line through one concentration, flat on average",
         Curve(kCurveLinear, kOriginExclude, {{5, -1}, {5, 1}}), 0, 0},
        {"proportional points", Curve(kCurveRF, kOriginExclude, {{1, 2}, {2, 4}}), 1, 2},
    };
    for (const auto& c : cases) {
        CCalibrationData curve = c.curve;
        curve.SetCurveValid(1);
        CQuanCalibrate engine;
        ASSERT_EQ(engine.QuanDoCalibration(&curve, 0), kCaliOK) << c.what;
        EXPECT_EQ(curve.GetCurveValid(), c.valid) << c.what;
        EXPECT_EQ(curve.GetCaliPtsValid(), c.valid) << c.what;
        if (c.valid) {
            EXPECT_DOUBLE_EQ(curve.GetCC(1), c.rf) << c.what;
        }
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(curve.GetCaliPoint(i).Conc, c.curve.GetCaliPoint(i).Conc) << c.what;
            EXPECT_EQ(curve.GetCaliPoint(i).Resp, c.curve.GetCaliPoint(i).Resp) << c.what;
        }
    }
}

TEST(CurveValidity, RefusedRefitLeavesNoValidCurve) {
    CCalibrationData curve = Curve(kCurveLinear, kOriginExclude, {{1, 3, 0.25}, {2, 5, 0.5}}, 7);
    curve.SetCurveValid(1);
    curve.SetCaliPtsValid(1);
    curve.SetCC(2.0, 1);
    CQuanCalibrate engine;
    EXPECT_EQ(engine.QuanDoCalibration(&curve, 0), kCaliBadWeighting);
    EXPECT_EQ(curve.GetCurveValid(), 0);
    // Refused before anything is computed: the old fit and the weights stay for inspection.
    EXPECT_EQ(curve.GetCC(1), 2.0);
    EXPECT_EQ(curve.GetCaliPoint(0).Weight, 0.25);
    EXPECT_EQ(curve.GetCaliPoint(1).Weight, 0.5);
}
