// Curve fitting of one curve: the response-factor statistics against values worked by hand.
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
