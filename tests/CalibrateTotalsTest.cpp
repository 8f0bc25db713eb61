// Totals curves: averaged from the fitted curves of their group's members at the end of a list
// calibration, with the per-level response-factor deviation of RF totals curves.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>

#include "CalibrateTestSupport.h"

using namespace calibrate_test;

namespace {
CCalibrationData Member(const char* group, std::initializer_list<Point> points, float meanRT = 0.0f,
                        float width = 0.0f) {
    CCalibrationData curve = Curve(kCurveRF, kOriginExclude, points);
    curve.SetTotalsGroup(group);
    curve.SetMeanRT(meanRT);
    curve.SetMeanRTPeakWidth(width);
    return curve;
}

CCalibrationData Totals(const char* group) {
    CCalibrationData curve = Curve(kCurveRF, kOriginExclude, {{1, 1}, {2, 2}});
    curve.SetTotalsEntry(1);
    curve.SetTotalsGroup(group);
    for (int i = 0; i < 7; ++i) curve.SetCC(9.0, i);  // whatever it held before
    curve.SetMeanResp(77.0);
    curve.SetCurveValid(1);
    curve.SetCaliPtsValid(1);
    return curve;
}

int CalibrateList(CCalibrationList& list) {
    CQuanCalibrate engine;
    return engine.QuanDoCalibration(&list, 0);
}
}  // namespace

TEST(CalibrateTotals, MembersAreAveragedAndLevelFactorsGiveTheDeviation) {
    CCalibrationList list;
    list.Add(Totals("PAH"));
    // Level factors 2 and 4 (RF 3) and 2 and 6 (RF 4): level factors 2 and 5 around 3.5.
    list.Add(Member("PAH", {{1, 2}, {2, 8}}, 10.0f, 0.2f));
    list.Add(Member("pah, other", {{1, 2}, {1, 6}}, 12.0f, 0.4f));
    list.Add(Member("OTHER", {{1, 100}, {2, 300}}, 50.0f, 9.0f));  // not in the group
    CCalibrationData nested = Totals("PAH");                       // a totals entry is never a member
    nested.SetTotalsEntry(0);
    nested.SetTotalsGroupEntry(1);
    list.Add(nested);
    ASSERT_EQ(CalibrateList(list), kCaliOK);

    const CCalibrationData& totals = list.GetAt(0);
    EXPECT_EQ(totals.GetCurveValid(), 1);
    EXPECT_EQ(totals.GetCaliPtsValid(), 0);
    for (int i : {0, 2, 3, 4, 5, 6}) EXPECT_EQ(totals.GetCC(i), 0.0) << i;
    // Mean response of the members' 5 and 4, mean concentration of their 1.5 and 1.
    const double stored[] = {totals.GetMeanRelResp(), totals.GetCC(1),     totals.GetMeanResp(), totals.GetMeanConc(),
                             totals.GetMeanRelConc(), totals.GetMinConc(), totals.GetMaxConc(),  totals.GetMinResp(),
                             totals.GetMaxResp()};
    const double expected[] = {3.5, 3.5, 4.5, 1.25, 1.25, 1.0, 2.0, 2.0, 8.0};
    for (size_t i = 0; i < std::size(stored); ++i) EXPECT_DOUBLE_EQ(stored[i], expected[i]) << i;
    EXPECT_FLOAT_EQ(totals.GetMeanRT(), 11.0f);
    EXPECT_FLOAT_EQ(totals.GetMeanRTPeakWidth(), 0.3f);
    EXPECT_NEAR(totals.GetStdDev(), std::sqrt(4.5), 1e-6);  // (2 - 3.5)^2 + (5 - 3.5)^2 over 1
    EXPECT_NEAR(totals.GetRelSD(), std::sqrt(4.5) / 3.5, 1e-6);
    EXPECT_NEAR(totals.GetPercRelSD(), std::sqrt(4.5) / 3.5 * 100, 1e-4);
    // The second totals curve has the same two members.
    EXPECT_DOUBLE_EQ(list.GetAt(4).GetMeanRelResp(), 3.5);
    EXPECT_EQ(list.GetAt(4).GetCurveValid(), 1);
}

TEST(CalibrateTotals, ALevelAtZeroConcentrationCountsWithoutAFactor) {
    // Level factors (2 + none) / 2 = 1 and (4 + 2) / 2 = 3 around the members' mean RF (3 + 1) / 2.
    CCalibrationData first = Member("G", {{1, 2}, {2, 8}});
    first.SetMeanRelResp(3.0);
    CCalibrationData second = Member("G", {{0, 5}, {2, 4}});
    second.SetMeanRelResp(1.0);
    CCalibrationList list;
    list.Add(Totals("G"));
    list.Add(first);
    list.Add(second);
    CQuanCalibrate engine;
    ASSERT_EQ(CalibrateTestAccess::TotalsCurves(engine, list), kCaliOK);
    EXPECT_DOUBLE_EQ(list.GetAt(0).GetMeanRelResp(), 2.0);
    EXPECT_NEAR(list.GetAt(0).GetStdDev(), std::sqrt(2.0), 1e-6);
}
