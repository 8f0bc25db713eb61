// The peak-list update after location: the peak-asymmetry limits at and just past their
// boundaries, and the shape monitoring of each sample type.
#include <gtest/gtest.h>

#include "LocateCompletionSupport.h"
#include "quan.h"

using namespace completion_test;

namespace {
CMethodData Compound() { return Entry("Naphthalene", 7.46f, "128.1"); }

CPeakData LocatedPeak(int entry) {
    CPeakData p = Peak(8.0f, 3000.0, 300.0, "128.1");
    p.SetMDBEntry(entry);
    return p;
}
}  // namespace

TEST(PeakListUpdate, AsymmetryOutsideTheExpectedWindowIsFlagged) {
    // Expected 1.2 with a window of 50 %: 0.6 to 1.8 inclusive; expected 2.0 with 50 %: 1.0 to
    // 3.0, edges that single precision holds exactly.
    const struct {
        double expected;
        float asymmetry;
        int sampleType;
        bool shapeMonitored;
        int choice, flagged, qcFlagged;
    } cases[] = {
        {1.2, 0.6f, 0, true, 0, 0, 0},   {1.2, 1.8f, 0, true, 0, 0, 0},    {1.2, 1.81f, 0, true, 0, 1, 1},
        {1.2, 0.59f, 0, true, 0, 1, 1},  {2.0, 1.0f, 0, true, 0, 0, 0},    {2.0, 3.0f, 0, true, 0, 0, 0},
        {2.0, 3.0001f, 0, true, 0, 1, 1}, {2.0, 0.9999f, 0, true, 0, 1, 1}, {1.2, 1.81f, 0, false, 0, 1, 0},
        {1.2, 1.81f, 1, true, 0, 1, 1},  {1.2, 1.81f, 2, true, 0, 1, 1},   {1.2, 1.81f, 3, true, 0, 1, 0},
        {1.2, 1.81f, 0, true, kTotalsChoice, 0, 0},  // totals peaks have no shape of their own
        {0.0, 9.0f, 0, true, 0, 0, 0},               // without an expected value nothing is tested
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.expected << " " << c.asymmetry << " type " << c.sampleType);
        CMethodData compound = Compound();
        compound.SetLocateChoice(c.choice);
        compound.SetUseAsymmetryExpected(1);
        compound.SetAsymmetryExpectedValue(c.expected);
        compound.SetAsymmetryWindow(50.0);
        const int on = c.shapeMonitored ? 1 : 0;
        compound.SetMonitorAnalyteEnabled(1);
        compound.SetMonitorAnalyteShapeEnabled(on);
        compound.SetMonitorStandardEnabled(1);
        compound.SetMonitorStandardShapeEnabled(on);
        compound.SetMonitorQCEnabled(1);
        compound.SetMonitorQCShapeEnabled(on);
        CMethodList methods = Methods({Entry("reference"), compound});
        CPeakData peak = LocatedPeak(2);
        peak.SetPeakAsymmetryValue(c.asymmetry);
        peak.SetPeakAsymmetryFlag(1);  // stale from an earlier processing
        peak.SetQCPKAsymmetryFlag(1);
        CPeakList peaks = Peaks({peak});
        CQuanLocate engine;
        ASSERT_EQ(Access::QuanUpdateLocatedPDBEntries(engine, peaks, methods, Sample(c.sampleType)), kLocateOK);
        EXPECT_EQ(peaks.GetAt(0).GetPeakAsymmetryFlag(), c.flagged);
        EXPECT_EQ(peaks.GetAt(0).GetQCPKAsymmetryFlag(), c.qcFlagged);
    }
}
