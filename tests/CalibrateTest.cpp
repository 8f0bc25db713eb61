// The calibration driver: the batch check and its statuses, a non-standard sample that changes
// nothing, empty slots and out-of-range counts, and a second batch on the same engine.
#include <gtest/gtest.h>

#include "CalibrateTestSupport.h"
#include "calibrate/AxisTransform.h"

using namespace calibrate_test;

namespace {
CCalibrationData LogLine() {
    return Curve(kCurveLinear, kOriginExclude, {{10, 100}, {100, 1000}}, kWeightNone, kAxisLog10);
}

int CalibrateBatch(CQuanCalibrate& engine, CCalibrationList& curves, CQuanSampleDataList& samples,
                   bool version1 = false) {
    return engine.Calibrate(nullptr, &curves, &samples, "periodic.db", 0, 0, nullptr, version1);
}
}  // namespace

TEST(Calibrate, BatchStatusesAndANonStandardChangesNothing) {
    CQuanCalibrate engine;
    EXPECT_FALSE(engine.IsVersion1());
    EXPECT_EQ(engine.GetPeriodicDBName(), "");

    CCalibrationList curves;
    curves.Add(Curve(kCurveRF, kOriginExclude, {{1, 2}, {2, 4}}));
    curves.Add(LogLine());
    CQuanSampleDataList samples;
    EXPECT_EQ(engine.Calibrate(nullptr, nullptr, nullptr, "x", 0, 0, nullptr, false), kCaliMissingSampleList);
    EXPECT_EQ(engine.Calibrate(nullptr, nullptr, &samples, "x", 0, 0, nullptr, false), kCaliMissingList);

    samples.Add(Sample(CQuanSampleData::kStandard));
    samples.Add(Sample(CQuanSampleData::kQC));
    const CCalibrationList before(curves);
    EXPECT_EQ(CalibrateBatch(engine, curves, samples, true), kCaliNotAStandard);
    for (int i = 0; i < curves.GetSize(); ++i) EXPECT_TRUE(curves.GetAt(i) == before.GetAt(i)) << i;
    EXPECT_TRUE(engine.IsVersion1());
    EXPECT_EQ(engine.GetPeriodicDBName(), "periodic.db");

    // Standards only, with an empty slot among them: every curve is calibrated.
    CQuanSampleDataList standards;
    standards.SetNumSamples(1);
    standards.Add(Sample(CQuanSampleData::kStandard));
    EXPECT_EQ(CalibrateBatch(engine, curves, standards), kCaliOK);
    EXPECT_FALSE(engine.IsVersion1());
    EXPECT_EQ(curves.GetAt(0).GetCurveValid(), 1);
    EXPECT_NEAR(curves.GetAt(1).GetCC(1), 1.0, 1e-12);  // fitted on log axes

    // No samples at all: the curves are calibrated just the same.
    CCalibrationList again;
    again.Add(Curve(kCurveRF, kOriginExclude, {{1, 3}}));
    CQuanSampleDataList none;
    EXPECT_EQ(CalibrateBatch(engine, again, none), kCaliOK);
    EXPECT_DOUBLE_EQ(again.GetAt(0).GetCC(1), 3.0);

    CQuanSampleData standard = Sample(CQuanSampleData::kStandard);
    EXPECT_EQ(CalibrateTestAccess::Accumulate(engine, nullptr, &standard), kCaliMissingList);
    EXPECT_EQ(CalibrateTestAccess::Accumulate(engine, &curves, &standard), kCaliOK);
    CQuanSampleData blank = Sample(CQuanSampleData::kBlank);
    EXPECT_EQ(CalibrateTestAccess::Accumulate(engine, &curves, &blank), kCaliNotAStandard);
}

TEST(Calibrate, EmptySlotsOutOfRangeCountsAndASecondBatchOnTheSameEngine) {
    CCalibrationList curves;
    curves.SetSize(3);
    curves.SetAt(0, Curve(kCurveLinear, kOriginExclude, {{1, 3}, {2, 5}, {3, 7}}));
    CCalibrationData tooMany = Curve(kCurveRF, kOriginExclude, {{1, 2}});
    tooMany.SetNumCaliPts(5000);  // more than the curve holds: only its own points are read
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
