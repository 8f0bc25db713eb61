// The location engine on small hand-built samples. Through QuanDoLocation: run statuses, resets,
// windows, choice rules, the reference chain between entries, peaks without a finite time, and
// reuse of one engine. The strategies besides plain retention time (record number), ion-ratio
// windows, the qualifier search, and the ion-ratio test. What is written once a peak is chosen:
// summed absolute responses, signal-to-noise with its limit and monitoring flags, and the
// secondary values of the main peak. And the packed trace index that lets the scans pass over
// peaks of other traces: it may only ever rule out pairs the full trace comparison rejects, also
// when the same list is located again after its traces changed.
#include <gtest/gtest.h>

#include <iterator>
#include <limits>

#include "LocateTestSupport.h"
#include "locate/PeakTraceIndex.h"
#include "quan.h"

using namespace locate_test;
using Access = QuanLocateTestAccess;

namespace {
CMethodData& At(CMethodList& methods, int entryNumber) { return methods.GetAt(entryNumber - 1); }

// Index of the peak assigned as main peak of the entry, or -1.
int MainPeakOf(CPeakList& peaks, int entryNumber) {
    for (int j = 0; j < peaks.GetSize(); ++j) {
        CPeakData* peak = peaks.GetEntry(j);
        if (peak != nullptr && peak->GetMDBEntry() == entryNumber && peak->GetMDBEntryPeak() == 0) return j;
    }
    return -1;
}
}  // namespace

TEST(Locate, UnusableLocateMethodsEndTheRunAfterEarlierEntries) {
    const struct { int locateBy, status; } cases[] = {
        {8, kLocateBadLocateMethod}, {-1, kLocateBadLocateMethod}, {3, kLocateNotAvailable},
        {5, kLocateNotAvailable},    {7, kLocateOK}};
    for (const auto& c : cases) {
        CMethodList methods =
            Methods({Entry(10.0f), With(Entry(12.0f), [&](CMethodData& e) { e.SetLocateBy(c.locateBy); })});
        CPeakList peaks = Peaks({Peak(10.0f), Peak(12.0f)});
        EXPECT_EQ(Locate(methods, peaks), c.status) << c.locateBy;
        // The entry located before the run ended keeps its peak; the second gets none.
        EXPECT_EQ(MainPeakOf(peaks, 1), 0) << c.locateBy;
        EXPECT_EQ(MainPeakOf(peaks, 2), -1) << c.locateBy;
    }
}

TEST(Locate, WindowIsInclusiveAndZeroOrNegativeMeansNoWindow) {
    const struct { float window, foundRT; bool taken; } cases[] = {
        {0.25f, 10.25f, true}, {0.25f, 9.75f, true},  {0.25f, 10.26f, false}, {0.25f, 9.74f, false},
        {0.0f, 50.0f, true},   {-1.0f, 0.5f, true},   {0.25f, 10.0f, true},
    };
    for (const auto& c : cases) {
        CMethodList methods = Methods({Entry(10.0f, c.window)});
        CPeakList peaks = Peaks({Peak(c.foundRT)});
        ASSERT_EQ(Locate(methods, peaks), kLocateOK);
        EXPECT_EQ(MainPeakOf(peaks, 1) == 0, c.taken) << c.window << " " << c.foundRT;
        EXPECT_EQ(At(methods, 1).GetLocateFailed(), c.taken ? 0 : 1);
        if (c.taken) {
            EXPECT_EQ(At(methods, 1).GetFoundRT(), c.foundRT);
        }
    }
}

// Tolerances are per cent of the sought time, each side its own and inclusive; the QC flag
// follows only where the sample type's monitor and its retention-time switch are both on.
TEST(Locate, RetentionTimeToleranceFlagsTimesOutsideItsPercentages) {
    // monitor: bit 0 the type's master switch, bit 1 its retention-time switch.
    const struct { float foundRT; int sampleType, monitor, flagged, qc; } cases[] = {
        {10.5f, 0, 3, 0, 0},  {10.51f, 0, 3, 1, 1}, {9.0f, 0, 3, 0, 0},   {8.99f, 0, 3, 1, 1},
        {10.51f, 0, 1, 1, 0}, {10.51f, 0, 2, 1, 0}, {10.51f, 1, 3, 1, 1}, {8.99f, 2, 3, 1, 1},
        {10.51f, 3, 3, 1, 0},
    };
    for (const auto& c : cases) {
        CMethodData entry = Entry(10.0f, 2.0f);
        entry.SetRTToleranceFlag(1);
        entry.SetRTToleranceUpper(5.0f);
        entry.SetRTToleranceLower(10.0f);
        const int master = c.monitor & 1, rt = c.monitor >> 1;
        if (c.sampleType == 0) { entry.SetMonitorAnalyteEnabled(master); entry.SetMonitorAnalyteRTEnabled(rt); }
        if (c.sampleType == 1) { entry.SetMonitorStandardEnabled(master); entry.SetMonitorStandardRTEnabled(rt); }
        if (c.sampleType >= 2) { entry.SetMonitorQCEnabled(master); entry.SetMonitorQCRTEnabled(rt); }
        CMethodList methods = Methods({entry});
        CPeakList peaks = Peaks({Peak(c.foundRT)});
        ASSERT_EQ(Locate(methods, peaks, c.sampleType), kLocateOK);
        EXPECT_EQ(peaks.GetAt(0).GetRTToleranceFlag(), c.flagged) << c.foundRT << " type " << c.sampleType;
        EXPECT_EQ(peaks.GetAt(0).GetQCRetTimeFlag(), c.qc) << c.foundRT << " type " << c.sampleType << " " << c.monitor;
    }
}

TEST(Locate, ChoiceRulesPickTheirPeakAndTiesKeepTheEarlier) {
    // Inside a window of 0.5 around 10.0: RT differences -0.1, +0.3, -0.4, +0.45. Peak centre
    // measures each peak's own value (the offset) against its window, on any trace.
    const float offsets[] = {-0.1f, 0.3f, -0.4f, 0.45f};
    const double areas[] = {500.0, 800.0, 800.0, 300.0}, heights[] = {90.0, 40.0, 70.0, 90.0};
    using M = CMethodData;
    const struct { int locateBy, choice, rah, expected; } cases[] = {
        {kLocateByRT, M::kChooseClosest, kRAHArea, 0},
        {kLocateByRT, M::kChooseLargestResponse, kRAHArea, 1},    // areas 800 and 800: the earlier stays
        {kLocateByRT, M::kChooseLargestResponse, kRAHHeight, 0},  // heights 90 and 90: the earlier stays
        {kLocateByRT, M::kChooseEarliest, kRAHArea, 2},
        {kLocateByRT, M::kChooseLatest, kRAHArea, 3},
        {kLocateByRT, M::kChooseFirst, kRAHArea, 0},
        {kLocateByRT, 9, kRAHArea, 0},
        {kLocateByPeakCentre, M::kChooseClosest, kRAHArea, 0},
        {kLocateByPeakCentre, M::kChooseLargestResponse, kRAHArea, 1},
        {kLocateByPeakCentre, M::kChooseLargestResponse, kRAHHeight, 0},
        {kLocateByPeakCentre, M::kChooseEarliest, kRAHArea, 2},
        {kLocateByPeakCentre, M::kChooseLatest, kRAHArea, 3},
    };
    for (const auto& c : cases) {
        CMethodData entry = Entry(10.0f);
        entry.SetLocateBy(c.locateBy);
        entry.SetLocateMassWin(0.5f);
        entry.SetLocateChoice(c.choice);
        entry.SetRAH(c.rah);
        CMethodList methods = Methods({entry});
        // Never a candidate: another trace for RT, beyond the window for peak centre.
        std::vector<CPeakData> all = {Peak(10.0f, 9999.0, 999.0, "305.0")};
        const float base = c.locateBy == kLocateByRT ? 10.0f : 0.0f;
        for (int k = 0; k < 4; ++k) all.push_back(Peak(base + offsets[k], areas[k], heights[k]));
        CPeakList peaks = Peaks(all);
        ASSERT_EQ(Locate(methods, peaks), kLocateOK);
        EXPECT_EQ(MainPeakOf(peaks, 1), c.expected + 1) << c.locateBy << " choice " << c.choice << " rah " << c.rah;
    }
}

// A qualifier that must exist or must pass its ratio rules its main peak out of the choice: the
// closest peak loses to a farther one whose qualifier is sound.
TEST(Locate, APeakWhoseRequiredQualifierFailsIsNoCandidate) {
    // Main peaks at 10.0 and 10.3; the qualifier (expected at half the main peak, +- 10 %, within
    // 0.1 min of it) is a quarter at 10.0, or missing there, and a half at 10.3.
    const struct { const char* what; bool qualifierAtClosest; int mustPass, mustExist, expected; } cases[] = {
        {"nothing required", true, 0, 0, 0},      {"must pass", true, 1, 0, 1},
        {"missing, not required", false, 0, 0, 0}, {"missing, must exist", false, 0, 1, 1},
        {"missing, must pass", false, 1, 0, 1},
    };
    for (const auto& c : cases) {
        CMethodData entry = Entry(10.0f);
        entry.SetLocateChoice(CMethodData::kChooseClosest);
        entry.SetTargetTrace(0, "306.0");
        entry.SetTargetRatio(0, 2.0);
        entry.SetTargetWindow(0, 10);
        entry.SetTargetRTWin(0, 0.1f);
        entry.SetTargetMustPass(0, c.mustPass);
        entry.SetTargetMustExist(0, c.mustExist);
        CMethodList methods = Methods({entry});
        std::vector<CPeakData> all = {Peak(10.0f, 1000.0), Peak(10.3f, 1000.0), Qualifier(10.3f, 500.0)};
        if (c.qualifierAtClosest) all.push_back(Qualifier(10.0f, 250.0));
        CPeakList peaks = Peaks(all);
        ASSERT_EQ(Locate(methods, peaks), kLocateOK) << c.what;
        EXPECT_EQ(MainPeakOf(peaks, 1), c.expected) << c.what;
    }
}

// An RRT entry is searched at its reference's found time times the relative time; entries that
// refer to each other end the run with 21.
TEST(Locate, RRTEntriesFollowTheirReferenceAndACircularChainEndsTheRun) {
    CMethodData relative = Entry(0.0f, 0.1f);
    relative.SetLocateBy(kLocateByRRT);
    relative.SetRRTRef(2);
    relative.SetPredRRT(0.5f);
    CMethodList methods = Methods({relative, Entry(10.0f, 0.5f, "310.0")});
    CPeakList peaks = Peaks({Peak(5.0f), Peak(5.2f), Peak(10.4f, 1000.0, 100.0, "310.0")});
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);
    EXPECT_EQ(MainPeakOf(peaks, 1), 1);

    for (int locateBy : {kLocateByRRT, kLocateByRT}) {
        CMethodData first = Entry(5.0f);
        first.SetLocateBy(locateBy);
        first.SetRRTRef(2);
        first.SetPredRRT(1.0f);
        CMethodList methods = Methods({first, With(first, [](CMethodData& e) { e.SetRRTRef(1); })});
        CPeakList peaks = Peaks({Peak(5.0f), Peak(5.1f)});
        EXPECT_EQ(Locate(methods, peaks), kLocateCircularReference) << locateBy;
    }
}

TEST(Locate, EngineReusedForASecondSampleCarriesNothingOver) {
    CQuanLocate engine;
    CMethodList methods = Methods({With(Entry(10.0f), [](CMethodData& e) { e.SetTargetTrace(0, "306.0"); })});
    CSampleRecord standard = Sample(1);
    CPeakList first = Peaks({Peak(10.0f, 1000.0, 100.0), Qualifier(10.0f, 500.0)});
    ASSERT_EQ(engine.QuanDoLocation(methods, first, standard, "first.db"), kLocateOK);
    ASSERT_EQ(At(methods, 1).GetLocated(), 1);
    ASSERT_EQ(At(methods, 1).GetAbsResponse(), 1000.0);

    // The second sample's peaks come back from storage still carrying the first assignment.
    CPeakList second = Peaks({Peak(12.0f), Qualifier(12.0f, 500.0)});
    second.GetAt(0).SetMDBEntry(1);
    second.GetAt(0).SetIRWinFlag(1);
    second.GetAt(1).SetMDBEntry(1);
    second.GetAt(1).SetMDBEntryPeak(1);
    CSampleRecord analyte = Sample(0);
    ASSERT_EQ(engine.QuanDoLocation(methods, second, analyte, "second.db"), kLocateOK);
    const double cleared[] = {double(At(methods, 1).GetLocated()), At(methods, 1).GetAbsResponse(),
                              At(methods, 1).GetFoundRT(), double(second.GetAt(0).GetMDBEntry()),
                              double(second.GetAt(1).GetMDBEntry()), double(second.GetAt(1).GetMDBEntryPeak()),
                              double(second.GetAt(0).GetIRWinFlag())};
    for (size_t k = 0; k < std::size(cleared); ++k) EXPECT_EQ(cleared[k], 0.0) << k;
}

TEST(Locate, PeaksWithoutAFiniteRetentionTimeAreNoCandidates) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float bad : {nan, inf}) {
        // No window: only the comparison decides.
        CMethodList methods = Methods({With(Entry(10.0f, 0.0f), [](CMethodData& e) { e.SetTargetTrace(0, "306.0"); })});
        CPeakList peaks = Peaks({Peak(bad), Peak(10.2f), Qualifier(bad, 500.0), Qualifier(10.2f, 500.0)});
        ASSERT_EQ(Locate(methods, peaks), kLocateOK);
        EXPECT_EQ(MainPeakOf(peaks, 1), 1) << bad;
        EXPECT_EQ(peaks.GetAt(2).GetMDBEntry(), 0) << bad;
        EXPECT_EQ(peaks.GetAt(3).GetMDBEntryPeak(), 1) << bad;
    }
    // An entry without a finite predicted RT locates nothing.
    CMethodList methods = Methods({Entry(nan, 0.0f)});
    CPeakList peaks = Peaks({Peak(10.0f)});
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);
    EXPECT_EQ(MainPeakOf(peaks, 1), -1);
}

TEST(Locate, EveryEntryIsResetFirstEvenBesideABadStandardLevel) {
    CMethodData bad = Entry(10.0f);
    bad.SetStdLevels(22);
    bad.SetStdConc(5.0);
    CMethodData stale = Entry(12.0f, 0.5f, "305.0");  // as an earlier sample left it
    stale.SetStdConc(2.5);
    stale.SetLocated(1);
    stale.SetLocateFailed(1);
    stale.SetAbsResponse(9.0);
    stale.SetFoundRT(7.0f);
    stale.SetISResponse(3.0);
    stale.SetFixedConc(99.0);
    CMethodList methods = Methods({bad, stale});
    CPeakList none;
    EXPECT_EQ(Locate(methods, none), kLocateEmptyPeakList);
    const CMethodData& reset = At(methods, 2);
    const double cleared[] = {double(reset.GetLocated()), double(reset.GetLocateFailed()), reset.GetAbsResponse(),
                              reset.GetISResponse(), reset.GetFoundRT()};
    for (size_t k = 0; k < std::size(cleared); ++k) EXPECT_EQ(cleared[k], 0.0) << k;
    EXPECT_EQ(reset.GetSoughtRT(), 12.0f);
    EXPECT_EQ(reset.GetFixedConc(), 2.5);

    // With peaks both are located; the bad level is reported to no one and gives no fixed level.
    CPeakList peaks = Peaks({Peak(10.0f), Peak(12.0f, 1000.0, 100.0, "305.0")});
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);
    EXPECT_EQ(At(methods, 1).GetFixedConc(), 0.0);
    EXPECT_EQ(At(methods, 1).GetLocated(), 1);
    EXPECT_EQ(MainPeakOf(peaks, 2), 1);
}

TEST(LocateStrategies, RecordNumberReportsEachMismatch) {
    const CMethodData byNumber = With(Entry(0.0f), [](CMethodData& e) { e.SetLocateBy(kLocateByRecordNumber); });
    struct Case { const char* what; int entryFunction, peakFunction; std::string peakTrace; int status; };
    const Case cases[] = {
        {"matches", 0, 4, "304.0", kLocateOK},
        {"function differs", 4, 5, "304.0", kLocateFunctionDiffers},
        {"trace differs", 0, 0, "305.0", kLocateChromatogramDiffers},
    };
    for (const Case& c : cases) {
        CMethodData entry = byNumber;
        entry.SetRawAcquisitionFunction(c.entryFunction);
        entry.SetTargetTrace(0, "306.0");  // no qualifiers are searched by record number
        CMethodList methods = Methods({entry, Entry(20.0f, 0.5f, "399.0")});
        CPeakData peak = Peak(3.0f, 700.0, 70.0, c.peakTrace);
        peak.SetRawAcquisitionFunction(c.peakFunction);
        CPeakList peaks = Peaks({peak, Qualifier(3.0f, 100.0)});
        ASSERT_EQ(Locate(methods, peaks), c.status) << c.what;
        if (c.status != kLocateOK) continue;
        EXPECT_EQ(peaks.GetAt(0).GetMDBEntry(), 1) << c.what;
        EXPECT_EQ(peaks.GetAt(0).GetAbsResponse(), 700.0) << c.what;
        EXPECT_EQ(peaks.GetAt(1).GetMDBEntry(), 0) << c.what;
    }

    // A peak an earlier entry already took gives 22 although everything else matches.
    CMethodList methods = Methods({Entry(10.0f), byNumber});
    CPeakList peaks = Peaks({Peak(3.0f, 1.0, 1.0, "399.0"), Peak(10.0f)});
    EXPECT_EQ(Locate(methods, peaks), kLocatePeakAssigned);
    EXPECT_EQ(peaks.GetAt(1).GetMDBEntry(), 1);
}

TEST(LocateStrategies, IonRatioWindows) {
    const struct { const char* what; int absolute, targetOverQuan; double expected; int window;
                   double primary, secondary; bool computed; double ratio; bool within; } cases[] = {
        // Deviation and allowance both exactly 0.25 in binary: the edge is inside.
        {"relative, exactly at the edge", 0, 0, 0.5, 50, 750.0, 1000.0, true, 0.75, true},
        {"absolute, exactly at the edge", 1, 0, 0.5, 25, 250.0, 1000.0, true, 0.25, true},
        {"relative, beyond", 0, 0, 0.5, 20, 610.0, 1000.0, true, 0.61, false},
        {"absolute, beyond", 1, 0, 0.5, 20, 710.0, 1000.0, true, 0.71, false},
        {"no expected ratio", 0, 0, 0.0, 20, 900.0, 100.0, true, 9.0, true},
        {"no window", 0, 0, 0.5, 0, 900.0, 100.0, true, 9.0, true},
        {"negative window is a width", 0, 0, 0.5, -20, 600.0, 1000.0, true, 0.6, true},
        {"rounded to four places", 0, 0, 0.5, 20, 1000.0, 3000.0, true, 0.3333, false},
        {"qualifier without response", 0, 0, 0.5, 20, 1000.0, 0.0, false, 0.0, false},
        {"main peak without response", 0, 0, 0.5, 20, 0.0, 1000.0, true, 0.0, false},
        {"target over quan", 0, 1, 0.5, 20, 1000.0, 600.0, true, 0.6, true},
    };
    CQuanLocate engine;
    for (const auto& c : cases) {
        CMethodData entry = Entry(10.0f);
        entry.SetTargetRatio(2, c.expected);
        entry.SetTargetWindow(2, c.window);
        entry.SetTargetIonWindowMethod(c.absolute);
        entry.SetTargetIonRatioMethod(c.targetOverQuan);
        const CPeakData primary = Peak(10.0f, c.primary);
        const CPeakData secondary = Qualifier(10.0f, c.secondary);
        double ratio = -1.0;
        bool within = !c.within;
        EXPECT_EQ(Access::GetPeakResponseRatio(engine, primary, secondary, entry, &ratio, &within, 2), c.computed)
            << c.what;
        EXPECT_DOUBLE_EQ(ratio, c.ratio) << c.what;
        EXPECT_EQ(within, c.within) << c.what;
    }
    // Either output may be left out.
    CMethodData entry = Entry(10.0f);
    EXPECT_TRUE(Access::GetPeakResponseRatio(engine, Peak(1.0f, 5.0), Qualifier(1.0f, 5.0), entry, nullptr, nullptr, 0));
}

TEST(LocateStrategies, QualifierSearchHonoursGroupsPlaceholdersAndMustPass) {
    CQuanLocate engine;
    CMethodData entry = Entry(10.0f);
    entry.SetTargetTrace(0, "306.0");
    entry.SetTargetRatio(0, 2.0);
    entry.SetTargetWindow(0, 10);
    const CPeakData missing = With(Placeholder("306.0"), [](CPeakData& p) { p.SetMDBIntegrateEntryPeak(1); });

    // A main peak of a group takes only qualifiers of that group.
    const CPeakData grouped = With(Peak(10.0f, 1000.0), [](CPeakData& p) { p.SetTotalsGroup("PAH"); });
    const CPeakData otherGroup = With(Qualifier(10.0f, 500.0), [](CPeakData& p) { p.SetTotalsGroup("PCB"); });
    const CPeakData sameGroup = With(Qualifier(10.1f, 500.0), [](CPeakData& p) { p.SetTotalsGroup("pah"); });
    // A placeholder qualifier stands in only when no real one follows and it need not exist; a
    // placeholder main peak takes the first placeholder qualifier, and nothing else.
    const struct { const char* what; std::vector<CPeakData> peaks; int mustExist, found; } cases[] = {
        {"same group only", {grouped, otherGroup, sameGroup}, 0, 2},
        {"real qualifier after a placeholder", {Peak(10.0f, 1000.0), missing, Qualifier(10.1f, 500.0)}, 0, 2},
        {"only a placeholder", {Peak(10.0f, 1000.0), missing}, 0, 1},
        {"only a placeholder, but it must exist", {Peak(10.0f, 1000.0), missing}, 1, -1},
        {"placeholder main peak", {Placeholder(), Qualifier(10.0f, 500.0), missing, missing}, 0, 2},
        {"placeholder main peak, no placeholder qualifier", {Placeholder(), Qualifier(10.0f, 500.0)}, 0, -1},
        // The main peak was itself integrated on the qualifier trace and lies closest.
        {"never its own qualifier", {Qualifier(10.0f, 1000.0), Qualifier(10.1f, 500.0)}, 0, 1},
    };
    for (const auto& c : cases) {
        CPeakList peaks = Peaks(c.peaks);
        const int found = Access::LocateSecondary(engine, peaks, peaks.GetAt(0), entry, 1, c.mustExist, 0);
        EXPECT_EQ(found, c.found) << c.what;
    }
    // Must pass: a ratio of 4.0 against 2.0 +- 10 % is refused, unless the estimated response
    // lets it through and marks the main peak.
    {
        entry.SetTargetMustPass(0, 1);
        CPeakList peaks = Peaks({Peak(10.0f, 1000.0), Qualifier(10.0f, 250.0)});
        EXPECT_EQ(Access::LocateSecondary(engine, peaks, peaks.GetAt(0), entry, 1, 0, 0), -1);
        EXPECT_EQ(peaks.GetAt(0).GetIRWinFlag(), 0);
        entry.SetUseEMPC(1);
        EXPECT_EQ(Access::LocateSecondary(engine, peaks, peaks.GetAt(0), entry, 1, 0, 0), 1);
        EXPECT_EQ(peaks.GetAt(0).GetIRWinFlag(), 1);
    }
}

// The ion-ratio test: a flagged peak fails only when its entry defines a must-pass target.
TEST(TestRatioFailed, FlaggedPeakFailsOnlyWithADefinedMustPassTarget) {
    const struct { const char* what; int flagged; const char* traces[4]; int mustPass[4]; bool acceptable; } cases[] = {
        {"not flagged, all must pass", 0, {"306", "307", "308", "309"}, {1, 1, 1, 1}, true},
        {"flagged, defined targets not must-pass", 1, {"306", "307", "", ""}, {0, 0, 0, 0}, true},
        {"flagged, must-pass target without trace", 1, {"306", "", "", ""}, {0, 1, 0, 0}, true},
        {"flagged, must-pass target 3 defined", 1, {"", "", "", "309"}, {0, 0, 0, 1}, false},
    };
    for (const auto& c : cases) {
        CMethodData entry;
        for (int k = 0; k < 4; ++k) {
            entry.SetTargetTrace(k, c.traces[k]);
            entry.SetTargetMustPass(k, c.mustPass[k]);
        }
        CPeakData peak;
        peak.SetIRWinFlag(c.flagged);
        EXPECT_EQ(CTestRatioFailed().TestRatio(peak, entry), c.acceptable) << c.what;
    }
}

// Two trace texts name the same chromatogram when their masses agree within 0.005, a transition
// on both of its masses; a transition and a plain mass when either mass agrees; names ignoring
// case, with a pair's low or high mass appended.
TEST(TraceIdentity, MassesWithinTheirToleranceAndNamesIgnoringCase) {
    const struct { const char* a; const char* b; bool same; } cases[] = {
        {"304.1>50.2", "304.1 > 50.2", true},  {"304.1>50.2", "304.104>50.196", true},
        {"304.1>50.2", "304.1>50.21", false},  {"304.1>50.2", "304.11>50.2", false},
        {"304.1", "304.104", true},            {"304.1", "304.106", false},
        {"304.1>50.2", "304.1", true},         {"304.1>50.2", "50.2", true},
        {"304.1>50.2", "50.3", false},         {"304.1,305.1", "304.1,305.1", true},
        {"304.1,305.1", "304.1,305.2", false}, {"304.1,305.1", "304.1", false},
        {"TIC", "tic", true},                  {"TIC: Low Mass", "TIC", true},
        {"TIC: High Mass", "tic", true},       {"TIC: Mid Mass", "TIC", false},
        {"Ch12", "Ch1", false},                {"", "304.1", false},
    };
    CQuanLocate engine;
    for (const auto& c : cases) EXPECT_EQ(Access::SameTraceText(engine, c.a, c.b), c.same) << c.a << " / " << c.b;
}

TEST(LocatedEntryUpdate, AbsoluteResponseSumsTheQuantifiedTraces) {
    // Traces as bits: 1 the main trace, 2, 4, 8 and 16 the qualifier traces 0 to 3.
    const struct { int traces; bool withQualifiers; double response, noise; } cases[] = {
        {1, true, 1000.0, 10.0}, {2, true, 500.0, 5.0},   {3, true, 1500.0, 15.0}, {16, true, 200.0, 2.0},
        {31, true, 1900.0, 19.0}, {0, true, 0.0, 0.0},     {4, true, 0.0, 0.0},
        {3, false, 1000.0, 10.0},  // without a qualifier array only the main trace can contribute
    };
    const CPeakData main = With(Peak(10.0f, 1000.0, 100.0), [](CPeakData& p) { p.SetChromNoise(10.0); });
    CPeakData q0 = With(Qualifier(10.0f, 500.0), [](CPeakData& p) { p.SetChromNoise(5.0); });
    CPeakData q2 = With(Qualifier(10.0f, 200.0, "308.0"), [](CPeakData& p) { p.SetChromNoise(2.0); });
    CPeakData q3 = With(Qualifier(10.0f, 200.0, "309.0"), [](CPeakData& p) { p.SetChromNoise(2.0); });
    CPeakData* qualifiers[4] = {&q0, nullptr, &q2, &q3};  // target 1 has no peak
    CQuanLocate engine;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.traces << (c.withQualifiers ? "" : " without qualifiers"));
        CMethodData entry = With(Entry(10.0f), [&](CMethodData& e) { e.SetQuantificationTraces(c.traces); });
        double response = -1, noise = -1, factor = -1, corrected = -1;
        Access::GetEntryAbsoluteResponse(engine, main, c.withQualifiers ? qualifiers : nullptr, entry, response, noise,
                                         factor, corrected);
        EXPECT_EQ(corrected, c.response);
        EXPECT_EQ(noise, c.noise);
        EXPECT_EQ(factor, 10.0);  // area 1000 / height 100
    }
}

// With estimated responses on, a main/first-qualifier ratio outside its window is answered by
// estimating the trace that is too large from the other through the expected ratio; a flagged
// peak whose target must pass keeps only the estimated response.
TEST(LocatedEntryUpdate, EstimatedResponseReplacesTheTraceThatIsTooLarge) {
    // Main area 1000 over qualifier area 500: a measured ratio of 2.
    const struct { double expected, window; int flagged; double response, corrected; } cases[] = {
        {2.0, 20.0, 0, 1500.0, 1500.0},  // within: nothing estimated
        {2.0, 0.0, 0, 1500.0, 1500.0},   // at the edges of its band: within
        {2.5, 20.0, 0, 1500.0, 1500.0},  // at the lower edge, 2.0: within
        {1.0, 20.0, 0, 1500.0, 1000.0},  // above 1.2: the main trace becomes 1 x 500
        {4.0, 20.0, 0, 1500.0, 1250.0},  // below 3.2: the qualifier becomes 1000 / 4
        {4.0, -20.0, 0, 1500.0, 1250.0}, // a negative window is the same band
        {0.0, 20.0, 0, 1500.0, 1500.0},  // no expected ratio: nothing to estimate from
        {1.0, 20.0, 1, 0.0, 1000.0},     // flagged with a must-pass target
    };
    CQuanLocate engine;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.expected << " +- " << c.window << "%, flagged " << c.flagged);
        CMethodData entry = Entry(10.0f);
        entry.SetQuantificationTraces(3);
        entry.SetUseEMPC(1);
        entry.SetTargetRatio(0, c.expected);
        entry.SetTargetWindow(0, c.window);
        entry.SetTargetTrace(0, "306.0");
        entry.SetTargetMustPass(0, 1);
        CPeakData main = Peak(10.0f, 1000.0, 100.0);
        main.SetIRWinFlag(c.flagged);
        CPeakData q0 = Qualifier(10.0f, 500.0);
        CPeakData* qualifiers[4] = {&q0, nullptr, nullptr, nullptr};
        double response = -1, noise = -1, factor = -1, corrected = -1;
        Access::GetEntryAbsoluteResponse(engine, main, qualifiers, entry, response, noise, factor, corrected);
        EXPECT_DOUBLE_EQ(response, c.response);
        EXPECT_DOUBLE_EQ(corrected, c.corrected);
    }
}

TEST(LocatedEntryUpdate, SignalToNoiseLimitsAndMonitoringFlags) {
    // Noise 0: the peak keeps the signal-to-noise it brought, 5. Both switches of analyte and QC set as given.
    const struct { const char* what; double noise, lod, loq, minimum; int testSN, sampleType, analyte, qc, flags[4]; }
        cases[] = {
        // Height 100 over noise 5 gives 20.
        {"all below the value", 5.0, 10.0, 15.0, 20.0, 1, 0, 1, 0, {0, 0, 0, 0}},
        {"detection limit above", 5.0, 25.0, 15.0, 0.0, 1, 0, 1, 0, {1, 0, 0, 0}},
        {"quantitation limit above", 5.0, 10.0, 25.0, 0.0, 1, 0, 1, 0, {0, 1, 0, 0}},
        {"minimum above, analyte monitored", 5.0, 0.0, 0.0, 25.0, 1, 0, 1, 0, {0, 0, 1, 1}},
        {"minimum above, analyte not monitored", 5.0, 0.0, 0.0, 25.0, 1, 0, 0, 1, {0, 0, 1, 0}},
        {"minimum above, QC monitored", 5.0, 0.0, 0.0, 25.0, 1, 2, 0, 1, {0, 0, 1, 1}},
        {"minimum above, test off", 5.0, 0.0, 0.0, 25.0, 0, 0, 1, 1, {0, 0, 0, 0}},
        {"no noise: the brought value counts", 0.0, 6.0, 4.0, 0.0, 1, 0, 1, 0, {1, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        CQuanLocate engine;
        Access::SetSampleType(engine, c.sampleType);
        CMethodData entry = Entry(10.0f);
        entry.SetDetectionThreshold(c.lod);
        entry.SetQuantitationThreshold(c.loq);
        entry.SetMinSigNoise(c.minimum);
        entry.SetSigNoiseFlag(c.testSN);
        entry.SetMonitorAnalyteSigNosEnabled(c.analyte);
        entry.SetMonitorAnalyteEnabled(c.analyte);
        entry.SetMonitorQCSigNosEnabled(c.qc);
        entry.SetMonitorQCEnabled(c.qc);
        CPeakData peak = Peak(10.0f, 1000.0, 100.0);
        peak.SetChromNoise(c.noise);
        peak.SetSignalToNoise(5.0);
        peak.SetSigNoiseFlag(1);  // stale: cleared before the test
        Access::UpdateLocatedEntry(engine, peak, nullptr, entry, 1, 0);
        // Detection limit, quantitation limit, minimum and its QC flag.
        const int flags[] = {peak.GetSignalToNoiseLODFlag(), peak.GetSignalToNoiseLOQFlag(), peak.GetSigNoiseFlag(),
                             peak.GetQCSigNoiseFlag()};
        for (int k = 0; k < 4; ++k) EXPECT_EQ(flags[k], c.flags[k]) << c.what << ", flag " << k;
    }
}

// The signal over the noise by the entry's noise method: the height alone, or the height over a
// zero intensity (plus the straight baseline under the apex), less the mean noise level.
TEST(LocatedEntryUpdate, SignalByNoiseMethodOverTheBaselineAtTheApex) {
    // Baseline from (9.5, 10) to (10.5, 30): 25 under an apex at 10.25, 20 when the peak has no width.
    const struct { const char* method; float startRT, endRT; double signalToNoise; } cases[] = {
        {"Peak Baseline", 9.5f, 10.5f, 100.0 / 5},      {"Zero Intensity", 9.5f, 10.5f, 125.0 / 5},
        {"avg noise level", 9.5f, 10.5f, 123.0 / 5},    {"Zero Intensity", 10.25f, 10.25f, 120.0 / 5},
    };
    for (const auto& c : cases) {
        CQuanLocate engine;
        CMethodData entry = With(Entry(10.0f), [&](CMethodData& e) { e.SetNoisePeakMethod(c.method); });
        CPeakData peak = Peak(10.25f, 1000.0, 100.0);
        peak.SetStartRT(c.startRT);
        peak.SetEndRT(c.endRT);
        peak.SetStHeight(10.0);
        peak.SetEnHeight(30.0);
        peak.SetChromNoise(5.0);
        peak.SetChromMeanNoise(2.0);
        Access::UpdateLocatedEntry(engine, peak, nullptr, entry, 1, 0);
        EXPECT_DOUBLE_EQ(peak.GetSignalToNoise(), c.signalToNoise) << c.method << " " << c.startRT;
    }
}

// The main peak's secondary values are its first qualifier's; its secondary signal-to-noise must
// be the qualifier's own of this sample (height over chromatogram noise), not whatever the
// qualifier carried in before location worked it out.
TEST(SecondarySignalToNoise, IsTheFirstQualifiersValueOfThisSample) {
    // Qualifier height is a tenth of its area; carriedIn its signal-to-noise before location.
    const struct { const char* what; double area, noise, carriedIn, expected; } cases[] = {
        {"stale value replaced: 30 / 4", 300.0, 4.0, 99.0, 7.5},
        {"no noise: the value it brought along", 300.0, 0.0, 6.0, 6.0},
    };
    for (const auto& c : cases) {
        CMethodData entry = Entry(10.0f);
        entry.SetTargetTrace(0, "306.0");
        entry.SetTargetTrace(1, "307.0");
        CPeakData main = Peak(10.0f, 1000.0, 100.0);
        CPeakData first = Qualifier(10.0f, c.area);
        first.SetChromNoise(c.noise);
        first.SetSignalToNoise(c.carriedIn);
        // Signal-to-noise 80: never the main peak's secondary value.
        CPeakData second = With(Qualifier(10.0f, 800.0, "307.0"), [](CPeakData& p) { p.SetChromNoise(1.0); });
        CPeakData* qualifiers[4] = {&first, &second, nullptr, nullptr};
        CQuanLocate engine;
        ASSERT_EQ(Access::UpdateLocatedEntry(engine, main, qualifiers, entry, 1, 1), kLocateOK);
        EXPECT_DOUBLE_EQ(first.GetSignalToNoise(), c.expected) << c.what;
        EXPECT_DOUBLE_EQ(main.GetSecondarySignalToNoise(), c.expected) << c.what;
        EXPECT_DOUBLE_EQ(main.GetSecondaryChromNoise(), c.noise) << c.what;
    }
}

TEST(PeakTraceIndex, RulesOutOnlyWhatTheFullComparisonRejectsAndIsExactUpToTwoMasses) {
    // Traces around the edges of the nominal window (0.005): equal text, inside, on and just past
    // the window, MRM pairs sharing a precursor, a transition of three masses, names that differ
    // only by case and spaces, a name against a number, and an empty text.
    const std::string kTraces[] = {
        "304.0",       "304.004",     "304.005",       "304.0051",      "304.01",           " 304.0 ",
        "216.1>174.1", "216.1>176.1", "216.104>174.1", "216.1>174.106", "216.1>174.1>91.0", "216.1>174.1>91.1",
        "TIC",         "tic ",        "TIC2",          "",              "ch1",              "CH1",
    };
    for (double windowA : {0.005, 0.0001}) {
        for (double windowB : {0.005, 0.0001}) {
            for (const std::string& a : kTraces) {
                CPeakData peak;
                peak.SetQuanTrace(a);
                peak.SetIsAccurateMass(windowA < 0.001 ? 1 : 0);
                CPeakList peaks = Peaks({peak});
                CPeakTraceIndex index;
                index.Build(peaks);
                for (const std::string& b : kTraces) {
                    const CMassStringComparitor entry(b, windowB);
                    const bool same = *peaks.GetAt(0).GetMassComparitor() == entry;
                    const bool may = index.MayMatch(0, CPeakTraceIndex::KeyOf(&entry));
                    SCOPED_TRACE("'" + a + "' against '" + b + "'");
                    if (same) {
                        EXPECT_TRUE(may);
                    }
                    // Up to two masses the index decides alone; names and longer traces go on to
                    // the full comparison.
                    const bool decidedAlone = !entry.IsName() && entry.GetNumMasses() <= 2;
                    if (decidedAlone) {
                        EXPECT_EQ(may, same);
                    }
                }
            }
        }
    }
}

TEST(PeakTraceIndex, ALocatedListWhoseTracesChangeIsLocatedAfreshByTheSameEngine) {
    CMethodList methods = Methods({Entry(5.0f, 0.2f, "304.0"), Entry(6.0f, 0.2f, "306.0")});
    CPeakList peaks = Peaks({Peak(5.0f, 1000.0, 100.0, "304.0"), Peak(6.0f, 1000.0, 100.0, "128.1")});
    CQuanLocate engine;
    CSampleRecord sample = Sample(0);
    ASSERT_EQ(engine.QuanDoLocation(methods, peaks, sample, ""), kLocateOK);
    EXPECT_EQ(peaks.GetAt(0).GetMDBEntry(), 1);
    EXPECT_EQ(peaks.GetAt(1).GetMDBEntry(), 0);

    // The same list object, its second peak now on entry 2's trace (a fresh peak: new comparitor).
    peaks.GetAt(1) = Peak(6.0f, 1000.0, 100.0, "306.0");
    ASSERT_EQ(engine.QuanDoLocation(methods, peaks, sample, ""), kLocateOK);
    EXPECT_EQ(peaks.GetAt(0).GetMDBEntry(), 1);
    EXPECT_EQ(peaks.GetAt(1).GetMDBEntry(), 2);
}
