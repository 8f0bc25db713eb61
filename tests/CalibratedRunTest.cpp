// One complete small batch through all three engines: standards located and their main peaks
// entered as calibration points, the curves fitted from them, then an unknown located and
// quantified against those fitted curves. Values are worked out by hand below.
#include <gtest/gtest.h>

#include "LocateCompletionSupport.h"
#include "quan.h"

namespace {

using namespace completion_test;

// Internal standard at 5.0 min (fixed 10 units), analyte A on its own trace at 6.0 min
// (linear, origin excluded) and analyte B at 6.5 min (response factor).
CMethodList BatchMethod() {
    CMethodData standard = Entry("IS-d10", 5.0f, "300.0");
    standard.SetRCalc(kES);
    standard.SetStdConc(10.0);
    standard.SetCalCompound("IS-d10");
    CMethodData a = Entry("A", 6.0f, "290.0");
    a.SetRCalc(kIS);
    a.SetRRef(1);
    a.SetCalCompound("A");
    CMethodData b = a;
    b.SetName("B");
    b.SetCalCompound("B");
    b.SetPredRT(6.5f);
    return Methods({standard, a, b});
}

// Areas chosen so that, with the standard's response 5000 / 10 = 500, A's response is
// 2 c + 0.2 and B's is 0.4 c for concentration c.
CPeakList SamplePeaks(double concA, double concB) {
    return Peaks({Peak(5.01f, 5000.0, 500.0, "300.0"), Peak(6.0f, 1000.0 * concA + 100.0, 100.0, "290.0"),
                  Peak(6.51f, 200.0 * concB, 20.0, "290.0")});
}

CCalibrationData EmptyCurve(const std::string& name, int type) {
    CCalibrationData curve;
    curve.SetName(name);
    curve.SetCCalc(type);
    curve.SetOrigin(kOriginExclude);
    curve.SetWeightingFunction(kWeightNone);
    return curve;
}

void AddPoint(CCalibrationData& curve, double conc, double resp) {
    tag_CALI_POINT point{};
    point.Conc = conc;
    point.Resp = resp;
    point.Weight = 1.0;
    const int n = curve.GetNumCaliPts();
    curve.SetCaliPoint(point, n);
    curve.SetNumCaliPts(n + 1);
}

}  // namespace

TEST(CalibratedRun, StandardsLocatedFittedThenUnknownQuantified) {
    CMethodList methods = BatchMethod();
    CCalibrationList curves;
    curves.Add(EmptyCurve("IS-d10", kCurveRF));
    curves.Add(EmptyCurve("A", kCurveLinear));
    curves.Add(EmptyCurve("B", kCurveRF));
    CQuanSampleDataList standards;

    // One engine for every standard, as a host reuses it down the batch.
    CQuanLocate locate;
    for (double level : {1.0, 5.0, 10.0, 20.0}) {
        CPeakList peaks = SamplePeaks(level, level);
        CSampleRecord record = Sample(CQuanSampleData::kStandard);
        ASSERT_EQ(locate.QuanDoLocation(methods, peaks, record, "unused.db"), kLocateOK);
        ASSERT_DOUBLE_EQ(peaks.GetAt(1).GetResponse(), 2.0 * level + 0.2);
        AddPoint(*curves.GetEntry(1), level, peaks.GetAt(1).GetResponse());
        AddPoint(*curves.GetEntry(2), level, peaks.GetAt(2).GetResponse());
        AddPoint(*curves.GetEntry(0), 10.0, peaks.GetAt(0).GetResponse());
        standards.Add(CQuanSampleData(record));
    }

    CQuanCalibrate calibrate;
    ASSERT_EQ(calibrate.Calibrate(&methods, &curves, &standards, "", 0, 0, nullptr, false), kCaliOK);
    const CCalibrationData& a = *curves.GetEntry(1);
    ASSERT_EQ(a.GetCurveValid(), 1);
    EXPECT_NEAR(a.GetCC(0), 0.2, 1e-9);  // exact data: intercept 0.2, slope 2
    EXPECT_NEAR(a.GetCC(1), 2.0, 1e-9);
    EXPECT_NEAR(a.GetCorrCoeff(), 1.0, 1e-9);
    const CCalibrationData& b = *curves.GetEntry(2);
    ASSERT_EQ(b.GetCurveValid(), 1);
    EXPECT_NEAR(b.GetCC(1), 0.4, 1e-9);  // every point has response / conc = 0.4

    // The unknown: A at 3 and B at 7.5 units; undiluted, so the factors are 1.
    CMethodList unknownMethods = BatchMethod();
    CPeakList peaks = SamplePeaks(3.0, 7.5);
    CSampleRecord record = Sample(0);
    ASSERT_EQ(locate.QuanDoLocation(unknownMethods, peaks, record, "unused.db"), kLocateOK);
    CQuanQuantify quantify;
    quantify.SetCurrentSample(CQuanSampleData(record));
    ASSERT_EQ(quantify.DoQuantify(&curves, &unknownMethods, &peaks, "periodic.db"), kQuantifyOK);
    EXPECT_NEAR(peaks.GetAt(1).GetAnalConc(), 3.0, 1e-9);  // (6.2 - 0.2) / 2
    EXPECT_NEAR(peaks.GetAt(2).GetAnalConc(), 7.5, 1e-9);  // 3.0 / 0.4
    EXPECT_EQ(peaks.GetAt(1).GetValidConc(), 1);
    EXPECT_EQ(peaks.GetAt(2).GetValidConc(), 1);
}
