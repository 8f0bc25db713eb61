// The calibration engine: the batch driver and its statuses, a non-standard sample that changes
// nothing, empty slots and out-of-range counts, and a second batch on the same engine; curve
// fitting of one curve (response-factor statistics worked by hand, origin modes, failed fits, and
// when a fitted curve may claim validity); and totals curves, averaged from the fitted curves of
// their group's members with the per-level response-factor deviation of RF totals curves.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>

#include "CalibrateTestSupport.h"
#include "calibrate/AxisTransform.h"

using namespace calibrate_test;

namespace {
int CalibrateBatch(CQuanCalibrate& engine, CCalibrationList& curves, CQuanSampleDataList& samples,
                   bool version1 = false) {
    return engine.Calibrate(nullptr, &curves, &samples, "periodic.db", 0, 0, nullptr, version1);
}
}  // namespace

TEST(Calibrate, BatchStatusesAndANonStandardChangesNothing) {
    CQuanCalibrate engine;
    CCalibrationList curves = test_lists::Curves({Curve(kCurveRF, kOriginExclude, {{1, 2}, {2, 4}}),
        Curve(kCurveLinear, kOriginExclude, {{10, 100}, {100, 1000}}, kWeightNone, kAxisLog10)});
    CQuanSampleDataList samples;
    EXPECT_EQ(engine.Calibrate(nullptr, nullptr, nullptr, "x", 0, 0, nullptr, false), kCaliMissingSampleList);
    EXPECT_EQ(engine.Calibrate(nullptr, nullptr, &samples, "x", 0, 0, nullptr, false), kCaliMissingList);

    samples.Add(Sample(CQuanSampleData::kStandard));
    samples.Add(Sample(CQuanSampleData::kQC));
    const CCalibrationList before(curves);
    EXPECT_EQ(CalibrateBatch(engine, curves, samples, true), kCaliNotAStandard);
    for (int i = 0; i < curves.GetSize(); ++i) EXPECT_TRUE(curves.GetAt(i) == before.GetAt(i)) << i;

    // Standards only, with an empty slot among them: every curve is calibrated.
    CQuanSampleDataList standards;
    standards.SetNumSamples(1);
    standards.Add(Sample(CQuanSampleData::kStandard));
    EXPECT_EQ(CalibrateBatch(engine, curves, standards), kCaliOK);
    EXPECT_EQ(curves.GetAt(0).GetCurveValid(), 1);
    EXPECT_NEAR(curves.GetAt(1).GetCC(1), 1.0, 1e-12);  // fitted on log axes
}

TEST(Calibrate, EmptySlotsOutOfRangeCountsAndASecondBatchOnTheSameEngine) {
    CCalibrationList curves;
    curves.SetSize(3);
    curves.SetAt(0, Curve(kCurveLinear, kOriginExclude, {{1, 3}, {2, 5}, {3, 7}}));
    // More points than the curve holds: only its own points are read.
    const auto tooMany = With(Curve(kCurveRF, kOriginExclude, {{1, 2}}), [](auto& c) { c.SetNumCaliPts(5000); });
    curves.SetAt(2, tooMany);
    CQuanCalibrate engine;
    CQuanSampleDataList standards;
    ASSERT_EQ(CalibrateBatch(engine, curves, standards, true), kCaliOK);
    EXPECT_EQ(curves.GetEntry(1), nullptr);
    EXPECT_NEAR(curves.GetAt(0).GetCC(1), 2.0, 1e-12);
    EXPECT_EQ(curves.GetAt(2).GetCurveValid(), 1);
    EXPECT_DOUBLE_EQ(curves.GetAt(2).GetCC(1), 2.0 / 101);  // 101 points held, 100 of them (0, 0)

    // The same engine on another batch: nothing of the first is carried over.
    CCalibrationList second;
    second.Add(Curve(kCurveLinear, kOriginExclude, {{1, 2}, {2, 3}, {3, 4}}, kWeightInverseX));
    ASSERT_EQ(CalibrateBatch(engine, second, standards, false), kCaliOK);
    EXPECT_FALSE(engine.IsVersion1());
    EXPECT_NEAR(second.GetAt(0).GetCC(0), 1.0, 1e-12);
    EXPECT_NEAR(second.GetAt(0).GetCC(1), 1.0, 1e-12);
    EXPECT_DOUBLE_EQ(second.GetAt(0).GetCaliPoint(2).Weight, 1.0 / 3);
}

// Only an unweighted polynomial curve with the origin excluded is fitted on transformed axes;
// other curves lose the transformation, locked ("Y" flags) and totals curves keep everything.
// Slots past the point count are never touched, and the reverse gives the points back.
TEST(AxisTransformation, TransformsOnlyWhatItAppliesToAndMapsBack) {
    auto locked = [](CCalibrationData curve, bool totals) {
        if (totals) curve.SetTotalsEntry(1);
        else curve.SetFlags("YNNNNNNNN");  // read back right-aligned in 9: a shorter text starts blank
        return curve;
    };
    const Point points[] = {{10, 100}, {100, 1000}};
    // A curve through the two points above, as the host gave them.
    const auto given = [&](int type, int origin, int weighting, int axis) {
        return Curve(type, origin, {points[0], points[1]}, weighting, axis);
    };
    const struct { const char* what; CCalibrationData curve; int axis; Point first, second; } cases[] = {
        {"Log", given(kCurveLinear, kOriginExclude, kWeightNone, kAxisLog10), 2, {1, 2}, {2, 3}},
        {"Ln", Curve(2, kOriginExclude, {{1, std::exp(1.0)}, {std::exp(2.0), 1}}, kWeightNone, kAxisLn), 1, {0, 1}, {2, 0}},
        {"square root", Curve(kCurveLinear, kOriginExclude, {{4, 9}, {0.25, 16}}, kWeightNone, kAxisSquareRoot), 3,
         {2, 3}, {0.5, 4}},
        {"RF", given(kCurveRF, kOriginExclude, kWeightNone, kAxisLog10), 0, points[0], points[1]},
        {"weighted", given(kCurveLinear, kOriginExclude, kWeightInverseY, kAxisLn), 0, points[0], points[1]},
        {"origin included", given(kCurveLinear, kOriginInclude, kWeightNone, kAxisLn), 0, points[0], points[1]},
        {"locked", locked(given(kCurveLinear, kOriginExclude, kWeightNone, kAxisLn), false), 1, points[0], points[1]},
        {"totals", locked(given(kCurveLinear, kOriginExclude, kWeightNone, kAxisLn), true), 1, points[0], points[1]},
    };
    for (const auto& c : cases) {
        CCalibrationList list = test_lists::Curves({c.curve});
        list.GetAt(0).SetCaliPoint(tag_CALI_POINT{1.0, -5.0, -5.0, 0, {}}, 2);  // past the count
        CQuanCalibrate engine;
        ASSERT_EQ(engine.CaliSetCDBAxisTransformation(&list), kCaliOK) << c.what;
        const CCalibrationData& curve = list.GetAt(0);
        EXPECT_EQ(curve.GetXYTrans(), c.axis) << c.what;
        for (const auto& [i, transformed] : {std::pair(0, c.first), std::pair(1, c.second)}) {
            EXPECT_NEAR(curve.GetCaliPoint(i).Conc, transformed.conc, 1e-12) << c.what << " " << i;
            EXPECT_NEAR(curve.GetCaliPoint(i).Resp, transformed.resp, 1e-12) << c.what << " " << i;
        }
        EXPECT_EQ(curve.GetCaliPoint(2).Conc, -5.0) << c.what;
        ASSERT_EQ(engine.CaliReverseCDBAxisTransformation(&list), kCaliOK) << c.what;
        for (int i = 0; i < 2; ++i) {
            EXPECT_NEAR(curve.GetCaliPoint(i).Conc, c.curve.GetCaliPoint(i).Conc, 1e-12 * curve.GetCaliPoint(i).Conc);
            EXPECT_NEAR(curve.GetCaliPoint(i).Resp, c.curve.GetCaliPoint(i).Resp, 1e-12 * curve.GetCaliPoint(i).Resp);
        }
        EXPECT_EQ(curve.GetCaliPoint(2).Resp, -5.0) << c.what;
    }
    // A point not above zero on a transformed curve refuses the whole list: nothing changes.
    CCalibrationList list = test_lists::Curves({given(kCurveLinear, kOriginExclude, kWeightNone, kAxisLog10),
        Curve(kCurveLinear, kOriginExclude, {{1, 2}, {0, 3}}, kWeightNone, kAxisLn),
        Curve(kCurveRF, kOriginExclude, {{1, 2}}, kWeightNone, kAxisLn)});
    const CCalibrationList before(list);
    CQuanCalibrate engine;
    EXPECT_EQ(engine.CaliSetCDBAxisTransformation(&list), kCaliBadPointForAxis);
    EXPECT_EQ(engine.QuanDoCalibration(&list, 0), kCaliBadPointForAxis);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(list.GetAt(i) == before.GetAt(i)) << i;
}

// Weights from the concentration (a zero one counts as the smallest positive) or the response
// (a zero one keeps 1); an unknown weighting is refused only where there are points to weight.
TEST(Weighting, EachFunctionOnItsAxis) {
    const struct { int weighting, status; double w0, w1, w2; } cases[] = {
        {kWeightNone, kCaliOK, 1, 1, 1},
        {kWeightInverseX, kCaliOK, 1.0 / 2, 1.0 / 2, 1.0 / 4},
        {kWeightInverseX2, kCaliOK, 1.0 / 4, 1.0 / 4, 1.0 / 16},
        {kWeightInverseY, kCaliOK, 1, 1.0 / 5, 1.0 / 8},
        {kWeightInverseY2, kCaliOK, 1, 1.0 / 25, 1.0 / 64},
        {5, kCaliBadWeighting, 7, 7, 7},
        {-1, kCaliBadWeighting, 7, 7, 7},
    };
    for (const auto& c : cases) {
        CCalibrationData curve = Curve(kCurveLinear, kOriginExclude, {{0, 0, 7}, {2, 5, 7}, {4, 8, 7}}, c.weighting);
        CQuanCalibrate engine;
        EXPECT_EQ(engine.QuanDoCalibration(&curve, 0), c.status) << c.weighting;
        EXPECT_DOUBLE_EQ(curve.GetCaliPoint(0).Weight, c.w0) << c.weighting;
        EXPECT_DOUBLE_EQ(curve.GetCaliPoint(1).Weight, c.w1) << c.weighting;
        EXPECT_DOUBLE_EQ(curve.GetCaliPoint(2).Weight, c.w2) << c.weighting;
        CCalibrationList empty = test_lists::Curves({Curve(kCurveLinear, kOriginExclude, {}, c.weighting)});
        EXPECT_EQ(engine.QuanDoCalibration(&empty, 0), kCaliOK) << c.weighting;
    }
}

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

    // Factors 2, 2.5, 1.75: RF 2.083333, residuals -0.083333, 0.833333, -1.333333.
    CCalibrationData scattered = Curve(kCurveRF, kOriginExclude, {{1, 2}, {2, 5}, {4, 7}});
    scattered.SetCCThreshold(0.99);
    ASSERT_EQ(engine.QuanDoCalibration(&scattered, 0), kCaliOK);
    const double fitted[] = {scattered.GetCC(1),      scattered.GetStdDev(),    scattered.GetRelSD(),
                             scattered.GetPercRelSD(), scattered.GetMeanResid(), scattered.GetMnSqErr()};
    const double worked[] = {2.0833333333, 0.3818813079, 0.1833030278, 18.33030278, 0.75, 0.8263888889};
    for (size_t i = 0; i < std::size(fitted); ++i) EXPECT_NEAR(fitted[i], worked[i], 1e-9 * worked[i]) << i;
    EXPECT_EQ(scattered.GetMinCCFlag(), 1);  // RF fits compute no correlation

    // An excluded point takes no part: included, its factor 5 would raise the RF to 3.
    CCalibrationData excluded = Curve(kCurveRF, kOriginExclude, {{1, 5, 1, true}, {2, 4}, {4, 8}});
    ASSERT_EQ(engine.QuanDoCalibration(&excluded, 0), kCaliOK);
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
    }
    // Forced through the origin, responses near 10 at every level fit worse than their mean: r is 0.
    CCalibrationData flat = Curve(kCurveLinear, kOriginForce, {{1, 10}, {2, 10.5}, {3, 10}});
    ASSERT_EQ(engine.QuanDoCalibration(&flat, 0), kCaliOK);
    EXPECT_EQ(flat.GetCorrCoeff(), 0.0);
    // Two points through a forced origin: slope 12 / 5, residuals -0.4 and 0.2 on 2 - 1 degrees.
    CCalibrationData two = Curve(kCurveLinear, kOriginForce, {{1, 2}, {2, 5}});
    ASSERT_EQ(engine.QuanDoCalibration(&two, 0), kCaliOK);
    const double fitted[] = {two.GetCC(1), two.GetStdDev(), two.GetMeanResid(), two.GetMnSqErr()};
    const double worked[] = {2.4, std::sqrt(0.2), 0.3, 0.1};
    for (size_t i = 0; i < std::size(fitted); ++i) EXPECT_NEAR(fitted[i], worked[i], 1e-12) << i;
}

TEST(CurveFitting, AFailedFitKeepsTheLastGoodCoefficientsAndStatistics) {
    CQuanCalibrate engine;
    CCalibrationData failing = Curve(kCurveLinear, kOriginExclude, {{1, 3}, {2, std::nan("")}, {3, 7}});
    failing.SetCC(9.0, 1);
    failing.SetStdDev(0.5);
    failing.SetCurveValid(1);
    failing.SetCaliPtsValid(1);
    EXPECT_EQ(engine.QuanDoCalibration(&failing, 0), kCaliOK);
    EXPECT_EQ(failing.GetCurveValid(), 0);
    EXPECT_EQ(failing.GetCC(1), 9.0);
    EXPECT_EQ(failing.GetStdDev(), 0.5);
}

// A curve claims validity only when it can turn responses into concentrations from the points
// as the host gave them: a response factor of 0 is no calibration, and a fallback to RF gives
// back exactly the host's points (once, and only those the engine transformed), on axes 0.
// The single-curve form never transforms; the list form transforms what applies and restores it.
TEST(CurveValidity, FitsOnlyWhatTheHostsPointsSupportAsOneCurveOrInAList) {
    // rf: c1 of a valid curve.
    const struct { const char* what; CCalibrationData curve; int valid; double rf; } cases[] = {
        // Never transformed (RF): the points stay, and zero concentrations give no RF.
        {"RF on Ln axes, zero concentration", Curve(kCurveRF, kOriginExclude, {{0, 2}, {0, 4}}, kWeightNone, 1), 0, 0},
        // Weighted, so never transformed: RF on the points as given, (100/10 + 1000/10) / 2.
        {"weighted line on Log axes, one concentration",
         Curve(kCurveLinear, kOriginExclude, {{10, 100}, {10, 1000}}, kWeightInverseX, 2), 1, 55},
        // Transformed by the list form and given back for the RF: (10 + 11 + 12) / 5 / 3.
        {"line on Ln axes, one concentration",
         Curve(kCurveLinear, kOriginExclude, {{5, 10}, {5, 11}, {5, 12}}, kWeightNone, 1), 1, 2.2},
        {"quadratic on root axes, one concentration",
         Curve(2, kOriginExclude, {{3, 7}, {3, 8}, {3, 9}}, kWeightNone, 3), 1, 8.0 / 3},
        // Responses summing to -1 calibrate nothing, whatever their factors (-2, 0.5) average to.
        {"responses summing below zero", Curve(kCurveRF, kOriginExclude, {{1, -2}, {2, 1}}), 0, 0},
        {"no positive concentration", Curve(kCurveRF, kOriginExclude, {{-1, 2}, {0, 3}}), 0, 0},
        {"one concentration, flat on average", Curve(kCurveLinear, kOriginExclude, {{5, -1}, {5, 1}}), 0, 0},
        {"proportional points", Curve(kCurveRF, kOriginExclude, {{1, 2}, {2, 4}}), 1, 2},
        {"a single standard", Curve(kCurveRF, kOriginExclude, {{1, 3}}), 1, 3},
    };
    for (const bool inAList : {false, true}) {
        for (const auto& c : cases) {
            CCalibrationList list = test_lists::Curves({c.curve});
            list.GetAt(0).SetCurveValid(1);
            CQuanCalibrate engine;
            ASSERT_EQ(inAList ? engine.QuanDoCalibration(&list, 0) : engine.QuanDoCalibration(&list.GetAt(0), 0),
                      kCaliOK) << c.what;
            const CCalibrationData& curve = list.GetAt(0);
            EXPECT_EQ(curve.GetCurveValid(), c.valid) << c.what << inAList;
            EXPECT_EQ(curve.GetCaliPtsValid(), c.valid) << c.what << inAList;
            EXPECT_EQ(curve.GetXYTrans(), kAxisNone) << c.what << inAList;
            if (c.valid) {
                EXPECT_EQ(curve.GetCCalc(), kCurveRF) << c.what << inAList;
                EXPECT_DOUBLE_EQ(curve.GetCC(1), c.rf) << c.what << inAList;
            }
            for (int i = 0; i < c.curve.GetNumCaliPts(); ++i) {
                EXPECT_EQ(curve.GetCaliPoint(i).Conc, c.curve.GetCaliPoint(i).Conc) << c.what << inAList << i;
                EXPECT_EQ(curve.GetCaliPoint(i).Resp, c.curve.GetCaliPoint(i).Resp) << c.what << inAList << i;
            }
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
    EXPECT_EQ(curve.GetCaliPoint(1).Weight, 0.5);
}

namespace {
CCalibrationData Member(const char* group, const std::vector<Point>& points, float meanRT = 0.0f,
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
}  // namespace

TEST(CalibrateTotals, MembersAreAveragedAndLevelFactorsGiveTheDeviation) {
    CCalibrationData nested = Totals("PAH");  // a totals entry is never a member
    nested.SetTotalsEntry(0);
    nested.SetTotalsGroupEntry(1);
    // Level factors 2 and 4 (RF 3) and 2 and 6 (RF 4): level factors 2 and 5 around 3.5. OTHER is
    // not in the group.
    CCalibrationList list = test_lists::Curves({Totals("PAH"), Member("PAH", {{1, 2}, {2, 8}}, 10.0f, 0.2f),
                                                Member("pah, other", {{1, 2}, {1, 6}}, 12.0f, 0.4f),
                                                Member("OTHER", {{1, 100}, {2, 300}}, 50.0f, 9.0f), nested});
    CQuanCalibrate engine;
    ASSERT_EQ(engine.QuanDoCalibration(&list, 0), kCaliOK);

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
    // The second totals curve has the same two members.
    EXPECT_DOUBLE_EQ(list.GetAt(4).GetMeanRelResp(), 3.5);
    EXPECT_EQ(list.GetAt(4).GetCurveValid(), 1);
}

TEST(CalibrateTotals, ALevelAtZeroConcentrationCountsWithoutAFactor) {
    // Level factors (2 + none) / 2 = 1 and (4 + 2) / 2 = 3 around the members' mean RF (3 + 1) / 2.
    CCalibrationList list = test_lists::Curves(
        {Totals("G"), With(Member("G", {{1, 2}, {2, 8}}), [](CCalibrationData& c) { c.SetMeanRelResp(3.0); }),
         With(Member("G", {{0, 5}, {2, 4}}), [](CCalibrationData& c) { c.SetMeanRelResp(1.0); })});
    CQuanCalibrate engine;
    ASSERT_EQ(CalibrateTestAccess::TotalsCurves(engine, list), kCaliOK);
    EXPECT_DOUBLE_EQ(list.GetAt(0).GetMeanRelResp(), 2.0);
    EXPECT_NEAR(list.GetAt(0).GetStdDev(), std::sqrt(2.0), 1e-6);
}

