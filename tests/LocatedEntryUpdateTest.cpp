// What is written once a peak is chosen: summed absolute responses over the quantified traces,
// the estimated-response correction, noise factor, signal-to-noise by noise method with its
// limit and monitoring flags, and the update of the qualifier peaks.
#include <gtest/gtest.h>

#include "LocateTestSupport.h"
#include "quan.h"

using namespace locate_test;
using Access = QuanLocateTestAccess;

namespace {
// An entry whose first target is at ratio 2.0 with a window of 20 %, bounds 1.6 to 2.4.
CMethodData RatioEntry() {
    CMethodData entry = Entry(10.0f);
    entry.SetTargetTrace(0, "306.0");
    entry.SetTargetRatio(0, 2.0);
    entry.SetTargetWindow(0, 20);
    return entry;
}
}  // namespace

TEST(LocatedEntryUpdate, AbsoluteResponseSumsTheQuantifiedTraces) {
    const struct {
        int traces;
        double response;
        double noise;
    } cases[] = {{1, 1000.0, 10.0}, {2, 500.0, 5.0}, {3, 1500.0, 15.0}, {16, 200.0, 2.0},
                 {31, 1900.0, 19.0}, {0, 0.0, 0.0}, {4, 0.0, 0.0}};
    CQuanLocate engine;
    CPeakData main = Peak(10.0f, 1000.0, 100.0);
    main.SetChromNoise(10.0);
    CPeakData q0 = Qualifier(10.0f, 500.0);
    q0.SetChromNoise(5.0);
    CPeakData q3 = Qualifier(10.0f, 200.0, "309.0");
    q3.SetChromNoise(2.0);
    CPeakData q2 = Qualifier(10.0f, 200.0, "308.0");
    q2.SetChromNoise(2.0);
    CPeakData* qualifiers[4] = {&q0, nullptr, &q2, &q3};  // target 1 has no peak
    for (const auto& c : cases) {
        CMethodData entry = Entry(10.0f);
        entry.SetQuantificationTraces(c.traces);
        double response = -1, noise = -1, factor = -1, corrected = -1;
        Access::GetEntryAbsoluteResponse(engine, main, qualifiers, entry, response, noise, factor, corrected);
        EXPECT_EQ(response, c.response) << c.traces;
        EXPECT_EQ(corrected, c.response) << c.traces;
        EXPECT_EQ(noise, c.noise) << c.traces;
        EXPECT_EQ(factor, 10.0) << c.traces;  // area 1000 / height 100
    }
    // Without a qualifier array only the main trace can contribute.
    CMethodData entry = Entry(10.0f);
    entry.SetQuantificationTraces(3);
    double response = -1, noise = -1, factor = -1, corrected = -1;
    Access::GetEntryAbsoluteResponse(engine, main, nullptr, entry, response, noise, factor, corrected);
    EXPECT_EQ(response, 1000.0);
    EXPECT_EQ(noise, 10.0);
}

TEST(LocatedEntryUpdate, EstimatedResponseCorrectsTheTraceOutOfRatio) {
    const struct {
        const char* what;
        int useEMPC;
        int window;
        double qualifierArea;
        double corrected;  // corrected main + corrected first qualifier
    } cases[] = {
        {"ratio 2.5 above 2.4: main from qualifier, 2.0 x 400", 1, 20, 400.0, 800.0 + 400.0},
        {"ratio 1.67 inside", 1, 20, 600.0, 1000.0 + 600.0},
        {"ratio 1.43 below 1.6: qualifier from main, 1000 / 2.0", 1, 20, 700.0, 1000.0 + 500.0},
        {"negative window gives the same bounds", 1, -20, 400.0, 800.0 + 400.0},
        {"switched off", 0, 20, 400.0, 1000.0 + 400.0},
        // With no qualifier response there is nothing to correct from: no corrected response.
        {"no qualifier response", 1, 20, 0.0, 0.0},
    };
    CQuanLocate engine;
    for (const auto& c : cases) {
        CMethodData entry = RatioEntry();
        entry.SetTargetWindow(0, c.window);
        entry.SetUseEMPC(c.useEMPC);
        entry.SetQuantificationTraces(3);
        CPeakData main = Peak(10.0f, 1000.0, 100.0);
        CPeakData qualifier = Qualifier(10.0f, c.qualifierArea);
        CPeakData* qualifiers[4] = {&qualifier, nullptr, nullptr, nullptr};
        double response = 0, noise = 0, factor = 0, corrected = 0;
        Access::GetEntryAbsoluteResponse(engine, main, qualifiers, entry, response, noise, factor, corrected);
        EXPECT_DOUBLE_EQ(corrected, c.corrected) << c.what;
        EXPECT_EQ(response, 1000.0 + c.qualifierArea) << c.what;
    }
}

TEST(LocatedEntryUpdate, EstimatedResponseDropsAPeakThatFailsAMustPassRatio) {
    CQuanLocate engine;
    CMethodData entry = RatioEntry();
    entry.SetUseEMPC(1);
    entry.SetTargetMustPass(0, 1);
    CPeakData main = Peak(10.0f, 1000.0, 100.0);
    main.SetIRWinFlag(1);
    CPeakData qualifier = Qualifier(10.0f, 400.0);
    CPeakData* qualifiers[4] = {&qualifier, nullptr, nullptr, nullptr};
    double response = -1, noise = 0, factor = 0, corrected = 0;
    Access::GetEntryAbsoluteResponse(engine, main, qualifiers, entry, response, noise, factor, corrected);
    EXPECT_EQ(response, 0.0);
    EXPECT_EQ(corrected, 800.0);
    // Without a qualifier array the test is not made.
    Access::GetEntryAbsoluteResponse(engine, main, nullptr, entry, response, noise, factor, corrected);
    EXPECT_EQ(response, 1000.0);
}

TEST(LocatedEntryUpdate, NoiseFactorFollowsTheResponseBasis) {
    CQuanLocate engine;
    CMethodData entry = Entry(10.0f);
    const CPeakData peak = Peak(10.0f, 1000.0, 80.0);
    const CPeakData flat = Peak(10.0f, 1000.0, 0.0);
    CPeakData qualifier = Qualifier(10.0f, 600.0);  // height 60
    CPeakData* onlySecond[4] = {nullptr, &qualifier, nullptr, nullptr};
    CPeakData* none[4] = {nullptr, nullptr, nullptr, nullptr};
    const struct {
        const char* what;
        int rah;
        const CPeakData* peak;
        CPeakData* const* qualifiers;
        bool withEntry;
        double expected;
    } cases[] = {
        {"height", 1, &peak, nullptr, true, 1.0},
        {"area over height", 0, &peak, nullptr, true, 12.5},
        {"area on a flat peak", 0, &flat, nullptr, true, 0.0},
        {"other basis", 2, &peak, nullptr, true, 0.0},
        {"no entry", 1, &peak, nullptr, false, 0.0},
        {"first qualifier instead of the peak", 0, nullptr, onlySecond, true, 10.0},
        {"no peak at all", 0, nullptr, none, true, 0.0},
        {"no peak and no qualifiers", 1, nullptr, nullptr, true, 0.0},
    };
    for (const auto& c : cases) {
        entry.SetRAH(c.rah);
        EXPECT_DOUBLE_EQ(Access::CalcNoiseFactor(engine, c.peak, c.qualifiers, c.withEntry ? &entry : nullptr),
                         c.expected)
            << c.what;
    }
}

TEST(LocatedEntryUpdate, SignalToNoiseFollowsTheNoiseMethod) {
    // Baseline from (9.0, 100) to (11.0, 300): 200 at the apex 10.0. Height 1000, noise 50,
    // mean noise 40.
    const struct {
        const char* method;
        double expected;
    } cases[] = {
        {"Peak Baseline", 1000.0 / 50.0},
        {"Avg Noise Level", (1000.0 + 200.0 - 40.0) / 50.0},
        {"AVG NOISE LEVEL", (1000.0 + 200.0 - 40.0) / 50.0},
        {"Zero Intensity", (1000.0 + 200.0) / 50.0},
        {"zero intensity", (1000.0 + 200.0) / 50.0},
        {"Something else", 1000.0 / 50.0},
        {"", 1000.0 / 50.0},
    };
    for (const auto& c : cases) {
        CQuanLocate engine;
        CMethodData entry = Entry(10.0f);
        entry.SetNoisePeakMethod(c.method);
        CPeakData peak = Peak(10.0f, 5000.0, 1000.0);
        peak.SetChromNoise(50.0);
        peak.SetChromMeanNoise(40.0);
        peak.SetStartRT(9.0f);
        peak.SetEndRT(11.0f);
        peak.SetStHeight(100.0);
        peak.SetEnHeight(300.0);
        ASSERT_EQ(Access::UpdateLocatedEntry(engine, peak, nullptr, entry, 1, 0), kLocateOK);
        EXPECT_DOUBLE_EQ(peak.GetSignalToNoise(), c.expected) << c.method;
    }
    // A peak without width has no slope: the mean of its ends, 200, stands for the baseline.
    CQuanLocate engine;
    CMethodData entry = Entry(10.0f);
    entry.SetNoisePeakMethod("Zero Intensity");
    CPeakData narrow = Peak(10.0f, 5000.0, 1000.0);
    narrow.SetChromNoise(50.0);
    narrow.SetStartRT(10.0f);
    narrow.SetEndRT(10.0f);
    narrow.SetStHeight(100.0);
    narrow.SetEnHeight(300.0);
    Access::UpdateLocatedEntry(engine, narrow, nullptr, entry, 1, 0);
    EXPECT_DOUBLE_EQ(narrow.GetSignalToNoise(), 24.0);
}

TEST(LocatedEntryUpdate, SignalToNoiseLimitsAndMonitoringFlags) {
    const struct {
        const char* what;
        double noise;       // 0: the peak keeps the signal-to-noise it brought, 5
        double lod, loq, minimum;
        int testSN;
        int sampleType;
        int analyteSwitches, qcSwitches;  // both switches set to this
        int lodFlag, loqFlag, snFlag, qcSNFlag;
    } cases[] = {
        // Height 100 over noise 5 gives 20.
        {"all below the value", 5.0, 10.0, 15.0, 20.0, 1, 0, 1, 0, 0, 0, 0, 0},
        {"detection limit above", 5.0, 25.0, 15.0, 0.0, 1, 0, 1, 0, 1, 0, 0, 0},
        {"quantitation limit above", 5.0, 10.0, 25.0, 0.0, 1, 0, 1, 0, 0, 1, 0, 0},
        {"minimum above, analyte monitored", 5.0, 0.0, 0.0, 25.0, 1, 0, 1, 0, 0, 0, 1, 1},
        {"minimum above, analyte not monitored", 5.0, 0.0, 0.0, 25.0, 1, 0, 0, 1, 0, 0, 1, 0},
        {"minimum above, QC monitored", 5.0, 0.0, 0.0, 25.0, 1, 2, 0, 1, 0, 0, 1, 1},
        {"minimum above, test off", 5.0, 0.0, 0.0, 25.0, 0, 0, 1, 1, 0, 0, 0, 0},
        {"no noise: the brought value counts", 0.0, 6.0, 4.0, 0.0, 1, 0, 1, 0, 1, 0, 0, 0},
    };
    for (const auto& c : cases) {
        CQuanLocate engine;
        Access::SetSampleType(engine, c.sampleType);
        CMethodData entry = Entry(10.0f);
        entry.SetDetectionThreshold(c.lod);
        entry.SetQuantitationThreshold(c.loq);
        entry.SetMinSigNoise(c.minimum);
        entry.SetSigNoiseFlag(c.testSN);
        entry.SetMonitorAnalyteSigNosEnabled(c.analyteSwitches);
        entry.SetMonitorAnalyteEnabled(c.analyteSwitches);
        entry.SetMonitorQCSigNosEnabled(c.qcSwitches);
        entry.SetMonitorQCEnabled(c.qcSwitches);
        CPeakData peak = Peak(10.0f, 1000.0, 100.0);
        peak.SetChromNoise(c.noise);
        peak.SetSignalToNoise(5.0);
        peak.SetSigNoiseFlag(1);  // stale: cleared before the test
        Access::UpdateLocatedEntry(engine, peak, nullptr, entry, 1, 0);
        EXPECT_EQ(peak.GetSignalToNoiseLODFlag(), c.lodFlag) << c.what;
        EXPECT_EQ(peak.GetSignalToNoiseLOQFlag(), c.loqFlag) << c.what;
        EXPECT_EQ(peak.GetSigNoiseFlag(), c.snFlag) << c.what;
        EXPECT_EQ(peak.GetQCSigNoiseFlag(), c.qcSNFlag) << c.what;
    }
}

TEST(LocatedEntryUpdate, EntryAndPeakCarryTheAssignment) {
    CQuanLocate engine;
    CMethodData entry = Entry(10.0f);
    entry.SetQuantificationTraces(1);
    CPeakData peak = Peak(10.2f, 1000.0, 80.0);
    peak.SetChromNoise(4.0);
    peak.SetMDBEntryPeak(3);
    peak.SetSecondaryPeaks(2);
    peak.SetQCIonRatioFlag(1);
    ASSERT_EQ(Access::UpdateLocatedEntry(engine, peak, nullptr, entry, 7, 9), kLocateOK);
    EXPECT_EQ(entry.GetLocated(), 1);
    EXPECT_EQ(entry.GetAbsResponse(), 1000.0);
    EXPECT_EQ(entry.GetAbsCorrResponse(), 1000.0);
    EXPECT_EQ(entry.GetFoundRT(), 10.2f);
    EXPECT_DOUBLE_EQ(entry.GetNoiseConversion(), 12.5);
    EXPECT_EQ(peak.GetMDBEntry(), 7);
    EXPECT_EQ(peak.GetMDBEntryPeak(), 0);
    EXPECT_EQ(peak.GetMDBEntryPeakID(), 9);
    EXPECT_EQ(peak.GetAbsResponse(), 1000.0);
    EXPECT_EQ(peak.GetAbsCorrectedResponse(), 1000.0);
    EXPECT_EQ(peak.GetAbsNoiseHeight(), 4.0);
    EXPECT_EQ(peak.GetSecondaryPeaks(), 0);
    EXPECT_EQ(peak.GetQCIonRatioFlag(), 0);
}

TEST(LocatedEntryUpdate, TotalsPeakLeavesTheEntryAloneAndGetsNoSignalToNoise) {
    CQuanLocate engine;
    CMethodData entry = Entry(10.0f);
    entry.SetTotalsInclude(2);
    entry.SetAbsResponse(77.0);
    entry.SetDetectionThreshold(1000.0);
    CPeakData totals = Peak(10.0f, 1000.0, 100.0);
    totals.SetTotalsGroupPeak(1);
    totals.SetChromNoise(10.0);
    CPeakData qualifier = Qualifier(10.0f, 500.0);
    CPeakData* qualifiers[4] = {&qualifier, nullptr, nullptr, nullptr};
    ASSERT_EQ(Access::UpdateLocatedEntry(engine, totals, qualifiers, entry, 2, 0), kLocateOK);
    EXPECT_EQ(entry.GetAbsResponse(), 77.0);
    EXPECT_EQ(entry.GetLocated(), 0);
    EXPECT_EQ(entry.GetFoundRT(), 0.0f);
    EXPECT_EQ(totals.GetMDBEntry(), 2);
    EXPECT_EQ(totals.GetTotalsInclude(), 2);
    EXPECT_EQ(totals.GetSignalToNoise(), 0.0);
    EXPECT_EQ(totals.GetSignalToNoiseLODFlag(), 0);
    EXPECT_EQ(qualifier.GetTotalsInclude(), 2);
    EXPECT_EQ(qualifier.GetMDBEntry(), 0);  // the totals qualifier is not assigned
}

TEST(LocatedEntryUpdate, QualifierPeaksAreUpdatedAndPassTheirFlagsToTheMainPeak) {
    const struct {
        const char* what;
        double qualifierArea;  // height is a tenth of it
        int sampleType;
        int ratioSwitches;
        int irWin, qcIonRatio;
        float actualRatio;
    } cases[] = {
        {"inside", 500.0, 0, 1, 0, 0, 2.0f},
        {"outside, monitored", 250.0, 0, 1, 1, 1, 4.0f},
        {"outside, not monitored", 250.0, 0, 0, 1, 0, 4.0f},
        {"outside, blank sample", 250.0, 3, 1, 1, 0, 4.0f},
    };
    for (const auto& c : cases) {
        CQuanLocate engine;
        Access::SetSampleType(engine, c.sampleType);
        CMethodData entry = RatioEntry();
        entry.SetTargetTrace(1, "307.0");
        entry.SetTargetRatio(1, 4.0);
        entry.SetTargetWindow(1, 30);
        entry.SetMonitorAnalyteRatioEnabled(c.ratioSwitches);
        entry.SetMonitorAnalyteEnabled(c.ratioSwitches);
        entry.SetMonitorStandardRatioEnabled(1);
        entry.SetMonitorStandardEnabled(1);
        entry.SetDetectionThreshold(6.0);
        CPeakData main = Peak(10.0f, 1000.0, 100.0);
        main.SetChromNoise(1.0);  // signal-to-noise 100: no limit flag of its own
        CPeakData first = Qualifier(10.0f, c.qualifierArea);
        first.SetChromNoise(2.0);  // height / 2 >= 12.5: above the detection limit
        first.SetSecondaryPeaks(5);
        CPeakData missing = Placeholder("307.0");
        CPeakData* qualifiers[4] = {&first, &missing, nullptr, nullptr};
        ASSERT_EQ(Access::UpdateLocatedEntry(engine, main, qualifiers, entry, 3, 4), kLocateOK);
        EXPECT_EQ(first.GetMDBEntry(), 3) << c.what;
        EXPECT_EQ(first.GetMDBEntryPeak(), 1) << c.what;
        EXPECT_EQ(first.GetMDBEntryPeakID(), 4) << c.what;
        EXPECT_EQ(first.GetIonRatio(), 2.0f) << c.what;
        EXPECT_EQ(first.GetIonRatioWin(), 20) << c.what;
        EXPECT_EQ(first.GetActualIonRatio(), c.actualRatio) << c.what;
        EXPECT_EQ(first.GetSecondaryPeaks(), 0) << c.what;
        EXPECT_DOUBLE_EQ(first.GetSignalToNoise(), c.qualifierArea / 10.0 / 2.0) << c.what;
        EXPECT_EQ(first.GetIRWinFlag(), c.irWin) << c.what;
        EXPECT_EQ(main.GetIRWinFlag(), c.irWin) << c.what;
        EXPECT_EQ(first.GetQCIonRatioFlag(), c.qcIonRatio) << c.what;
        EXPECT_EQ(main.GetQCIonRatioFlag(), c.qcIonRatio) << c.what;
        EXPECT_EQ(main.GetSecondaryPeaks(), 1) << c.what;
        EXPECT_EQ(main.GetSecondaryArea(), c.qualifierArea) << c.what;
        EXPECT_EQ(main.GetSecondaryHeight(), c.qualifierArea / 10.0) << c.what;
        EXPECT_EQ(main.GetSecondaryChromNoise(), 2.0) << c.what;
        EXPECT_EQ(main.GetSignalToNoiseLODFlag(), 0) << c.what;
        // The placeholder is assigned with its target's settings, nothing more.
        EXPECT_EQ(missing.GetMDBEntry(), 3) << c.what;
        EXPECT_EQ(missing.GetMDBEntryPeak(), 1) << c.what;
        EXPECT_EQ(missing.GetIonRatio(), 4.0f) << c.what;
        EXPECT_EQ(missing.GetIonRatioWin(), 30) << c.what;
        EXPECT_EQ(missing.GetActualIonRatio(), 0.0f) << c.what;
        EXPECT_EQ(missing.GetIRWinFlag(), 0) << c.what;
    }
}

TEST(LocatedEntryUpdate, QualifierSignalToNoiseFlagsBothPeaks) {
    CQuanLocate engine;
    Access::SetSampleType(engine, 1);
    CMethodData entry = RatioEntry();
    entry.SetDetectionThreshold(6.0);
    entry.SetQuantitationThreshold(8.0);
    entry.SetSigNoiseFlag(1);
    entry.SetMinSigNoise(10.0);
    entry.SetMonitorStandardSigNosEnabled(1);
    entry.SetMonitorStandardEnabled(1);
    CPeakData main = Peak(10.0f, 1000.0, 100.0);
    main.SetChromNoise(1.0);  // 100: no flag of its own
    CPeakData qualifier = Qualifier(10.0f, 500.0);  // height 50 over noise 10 gives 5
    qualifier.SetChromNoise(10.0);
    CPeakData* qualifiers[4] = {&qualifier, nullptr, nullptr, nullptr};
    Access::UpdateLocatedEntry(engine, main, qualifiers, entry, 1, 0);
    EXPECT_DOUBLE_EQ(qualifier.GetSignalToNoise(), 5.0);
    for (const CPeakData* peak : {&qualifier, &main}) {
        EXPECT_EQ(peak->GetSignalToNoiseLODFlag(), 1);
        EXPECT_EQ(peak->GetSignalToNoiseLOQFlag(), 1);
        EXPECT_EQ(peak->GetSigNoiseFlag(), 1);
        EXPECT_EQ(peak->GetQCSigNoiseFlag(), 1);
    }
    EXPECT_DOUBLE_EQ(main.GetSignalToNoise(), 100.0);
}
