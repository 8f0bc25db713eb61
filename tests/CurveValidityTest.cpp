// A curve claims validity only when it can turn responses into concentrations from the points
// as the host gave them: a response factor of 0 is no calibration, a fallback to RF maps back
// only points that were in transformed axes, and a refused refit leaves no old curve valid.
#include <gtest/gtest.h>

#include <cmath>

#include "CalibrateTestSupport.h"

using namespace calibrate_test;

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
