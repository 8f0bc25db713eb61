// A complete location run of a small PCB method: an internal standard, two congeners quantified
// against it (one with a qualifier ion), a totals entry for their homologue group with an
// unnamed peak of the group and a totals peak, and a stray peak no compound claims. Checked end
// to end: assignments, totals sums, internal-standard responses, responses, corrected and noise
// responses, and the values copied onto every peak; then the same engine on a second sample.
#include <gtest/gtest.h>

#include "LocateCompletionSupport.h"
#include "quan.h"

using namespace completion_test;

namespace {
CMethodList PcbMethod() {
    CMethodData standard = Entry("PCB 209-13C", 5.0f, "300.0");
    standard.SetRCalc(kES);
    standard.SetStdLevels(0);
    standard.SetStdConc(10.0);

    const auto congener = [](const char* name, float predRT) {
        CMethodData entry = Entry(name, predRT, "290.0");
        entry.SetRCalc(kIS);
        entry.SetRRef(1);
        entry.SetTotalsGroup("HxCB");
        entry.SetStdLevels(2);  // the sample's concentration column "A"
        return entry;
    };
    CMethodData pcb138 = congener("PCB 138", 6.0f);
    pcb138.SetTargetTrace(0, "292.0");
    pcb138.SetTargetRatio(0, 2.0);
    pcb138.SetTargetWindow(0, 20);
    const CMethodData pcb153 = congener("PCB 153", 6.5f);

    CMethodData totals = Entry("Total HxCB", 6.5f, "290.0");
    totals.SetLocateChoice(kTotalsChoice);
    totals.SetLocateRTWin(1.0f);
    totals.SetRCalc(kIS);
    totals.SetTotalsGroup("HxCB");

    CMethodList methods = Methods({standard, pcb138, pcb153, totals});
    methods.SetDBName("pcb.mdb");
    methods.SetCreationDate("02-Apr-24");
    return methods;
}

CPeakData IntegratedPeak(const std::string& trace, float foundRT, double area, double height, double noise,
                         const std::string& group = "HxCB") {
    CPeakData p = Peak(foundRT, area, height, trace);
    p.SetChromNoise(noise);
    p.SetTotalsGroup(group);
    return p;
}

CPeakList PcbPeaks(bool withUnnamed) {
    CPeakData qualifier = IntegratedPeak("292.0", 6.0f, 1000.0, 125.0, 12.0);
    qualifier.SetMDBIntegrateEntryPeak(1);
    CPeakData totals = IntegratedPeak("290.0", 0.0f, 0.0, 0.0, 0.0);
    totals.SetTotalsPeak(1);
    CPeakData stray = IntegratedPeak("400.0", 9.0f, 100.0, 10.0, 1.0, "");
    stray.SetName("junk");
    stray.SetResponse(77.0);  // left by an earlier processing
    std::vector<CPeakData> peaks = {
        IntegratedPeak("300.0", 5.01f, 5000.0, 500.0, 20.0, ""),  // 0 internal standard
        IntegratedPeak("290.0", 6.0f, 2000.0, 250.0, 25.0),       // 1 PCB 138
        qualifier,                                                // 2 its qualifier ion
        IntegratedPeak("290.0", 6.5f, 3000.0, 300.0, 30.0),       // 3 PCB 153
        IntegratedPeak("290.0", 7.0f, 1500.0, 100.0, 15.0),       // 4 a hexachloro congener nobody names
        totals,                                                   // 5 the homologue group's totals peak
        stray,                                                    // 6
    };
    if (!withUnnamed) peaks[4].SetQuanTrace("310.0");
    return Peaks(peaks);
}

CSampleRecord AnalyteSample() {
    CSampleRecord sample = Sample(0);
    sample.SetConcentration(0, 25.0);
    sample.SetInjectionVolume(2.0);
    sample.SetUserFactor1(3.0);
    return sample;
}
}  // namespace

TEST(LocationRun, CompleteRunOfAMethodWithInternalStandardQualifierAndTotals) {
    CMethodList methods = PcbMethod();
    CPeakList peaks = PcbPeaks(true);
    CSampleRecord sample = AnalyteSample();
    CQuanLocate engine;
    ASSERT_EQ(engine.QuanDoLocation(methods, peaks, sample, "unused.db"), kLocateOK);

    // Assignments: entry, role (0 main, 1 qualifier) and unnamed mark.
    const struct { int entry, role, unnamed; const char* name; } assigned[] = {
        {1, 0, 0, "PCB 209-13C"}, {2, 0, 0, "PCB 138"},    {2, 1, 0, "PCB 138"}, {3, 0, 0, "PCB 153"},
        {4, 0, 1, "Total HxCB"},  {4, 0, 0, "Total HxCB"}, {0, 0, 0, ""}};

    // The totals peak sums the three group members it does not include itself in.
    const CPeakData& totalsPeak = peaks.GetAt(5);
    EXPECT_DOUBLE_EQ(totalsPeak.GetArea(), 2000.0 + 3000.0 + 1500.0);
    EXPECT_DOUBLE_EQ(totalsPeak.GetHeight(), 250.0 + 300.0 + 100.0);
    EXPECT_EQ(totalsPeak.GetTotalsNumPeaks(), 0);  // a quantification result, reset by the update
    EXPECT_EQ(totalsPeak.GetSecondaryPeaks(), 0);
    EXPECT_DOUBLE_EQ(totalsPeak.GetAbsNoiseHeight(), 15.0);  // the last member's noise

    // Internal-standard responses: 5000 / 10 per unit; the totals entry the mean of its members.
    // They name their standard by reference only, listing none, so the totals entry keeps the
    // noise conversion (area / height) of the unnamed peak it was located on.
    EXPECT_DOUBLE_EQ(methods.GetAt(3).GetISResponse(), 500.0);
    EXPECT_EQ(methods.GetAt(3).GetNumISResponses(), 2);
    EXPECT_DOUBLE_EQ(methods.GetAt(3).GetNoiseConversion(), 1500.0 / 100.0);

    // Responses, corrected responses and noise responses (noise conversion of the standard,
    // 10, or of the totals entry, 15, times the peak's noise, over the IS response).
    const struct { double response, corrected, noiseResponse; int flag; } responses[] = {
        {5000.0, 5000.0, 10.0 * 20.0, 1},    // the standard itself, external
        {4.0, 4.0, 10.0 * 25.0 / 500.0, 1},  // 2000 / 500
        {0.0, 0.0, 0.0, 1},                  // the qualifier has no absolute response of its own
        {6.0, 6.0, 10.0 * 30.0 / 500.0, 1},  // 3000 / 500
        {3.0, 3.0, 15.0 * 15.0 / 500.0, 1},  // unnamed 1500 / 500
        {0.0, 0.0, 15.0 * 15.0 / 500.0, 1},  // the totals peak's own summary area was 0
        {0.0, 0.0, 0.0, 0},                  // unassigned: cleared
    };
    EXPECT_DOUBLE_EQ(methods.GetAt(0).GetResponse(), 5000.0);
    EXPECT_DOUBLE_EQ(methods.GetAt(1).GetResponse(), 4.0);  // the qualifier listed later does not overwrite

    // Values copied for calibration and quantification.
    const struct { float predRT; double fixedConc, rrf, injectionVolume, gpDilution, userFactor1; } copied[] = {
        {5.0f, 10.0, 5000.0 / 10.0, 1.0, 1.0, 1.0},  // fixed level: undiluted
        {6.0f, 25.0, 4.0 / 25.0, 2.0, 3.0, 0.0},
        {6.0f, 25.0, 0.0, 2.0, 3.0, 0.0},
        {6.5f, 25.0, 6.0 / 25.0, 2.0, 3.0, 0.0},
        {6.5f, 0.0, 0.0, 1.0, 1.0, 1.0},
        {6.5f, 0.0, 0.0, 1.0, 1.0, 1.0},
        {0.0f, 0.0, 0.0, 2.0, 3.0, 0.0},
    };
    for (int j = 0; j < 7; ++j) {
        SCOPED_TRACE(j);
        const CPeakData& p = peaks.GetAt(j);
        EXPECT_EQ(p.GetMDBEntry(), assigned[j].entry);
        EXPECT_EQ(p.GetMDBEntryPeak(), assigned[j].role);
        EXPECT_EQ(p.GetTotalsUnnamedPeak(), assigned[j].unnamed);
        EXPECT_EQ(p.GetName(), assigned[j].name);
        EXPECT_EQ(p.GetMethodName(), "pcb.mdb");
        EXPECT_EQ(p.GetMethodDate(), "02-Apr-24");
        EXPECT_DOUBLE_EQ(p.GetResponse(), responses[j].response);
        EXPECT_DOUBLE_EQ(p.GetCorrectedResponse(), responses[j].corrected);
        if (j < 6) {
            EXPECT_DOUBLE_EQ(p.GetChromNoiseResp(), responses[j].noiseResponse);
            EXPECT_EQ(p.GetResponseFlag(), responses[j].flag);
        }
        EXPECT_FLOAT_EQ(p.GetPredRT(), copied[j].predRT);
        EXPECT_DOUBLE_EQ(p.GetFixedConc(), copied[j].fixedConc);
        EXPECT_DOUBLE_EQ(p.GetRRF(), copied[j].rrf);
        EXPECT_DOUBLE_EQ(p.GetInjectionVolume(), copied[j].injectionVolume);
        EXPECT_DOUBLE_EQ(p.GetGPDilutionFactor(), copied[j].gpDilution);
        EXPECT_DOUBLE_EQ(p.GetUserFactor1(), copied[j].userFactor1);
    }
    EXPECT_EQ(peaks.GetAt(1).GetRRef(), 1);
    EXPECT_EQ(peaks.GetAt(1).GetSecondaryPeaks(), 1);
    EXPECT_DOUBLE_EQ(peaks.GetAt(1).GetSecondaryArea(), 1000.0);
    EXPECT_FLOAT_EQ(peaks.GetAt(2).GetActualIonRatio(), 2.0f);
}

TEST(LocationRun, OneEngineRunsASecondSampleWithoutCarryingTheFirstOver) {
    CQuanLocate engine;
    CMethodList methods = PcbMethod();
    CPeakList first = PcbPeaks(true);
    CSampleRecord sample = AnalyteSample();
    ASSERT_EQ(engine.QuanDoLocation(methods, first, sample, "unused.db"), kLocateOK);

    // The second sample has no unnamed congener and is a standard.
    CPeakList second = PcbPeaks(false);
    CSampleRecord standard = AnalyteSample();
    standard.SetType(1);
    ASSERT_EQ(engine.QuanDoLocation(methods, second, standard, "unused.db"), kLocateOK);
    EXPECT_EQ(second.GetAt(4).GetMDBEntry(), 0);
    EXPECT_EQ(second.GetAt(4).GetTotalsUnnamedPeak(), 0);
    EXPECT_DOUBLE_EQ(second.GetAt(5).GetArea(), 5000.0);
    EXPECT_DOUBLE_EQ(second.GetAt(5).GetAbsNoiseHeight(), 30.0);  // PCB 153's noise, the last member
    // Without the unnamed peak and with no standard listed by its members, nothing sets the
    // totals entry's noise conversion this run.
    EXPECT_DOUBLE_EQ(methods.GetAt(3).GetNoiseConversion(), 0.0);
    EXPECT_DOUBLE_EQ(second.GetAt(1).GetResponse(), 4.0);
    for (int j = 0; j < 7; ++j) {
        SCOPED_TRACE(j);
        EXPECT_DOUBLE_EQ(second.GetAt(j).GetInjectionVolume(), 1.0);
        EXPECT_DOUBLE_EQ(second.GetAt(j).GetUserFactor1(), 1.0);
    }
}
