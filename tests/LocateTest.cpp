// The location driver and the retention-time search, driven through QuanDoLocation on small
// hand-built samples: run statuses, resets, windows, choice rules, qualifiers, the reference
// chain between entries, peaks without a finite time, and reuse of one engine.
#include <gtest/gtest.h>

#include <iterator>
#include <limits>
#include <vector>

#include "LocateTestSupport.h"
#include "quan.h"

using namespace locate_test;

namespace {
CMethodData& At(CMethodList& methods, int entryNumber) { return methods.GetAt(entryNumber - 1); }
CPeakData& PeakOf(CPeakList& peaks, int index) { return peaks.GetAt(index); }

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
        {8, kLocateBadLocateMethod}, {99, kLocateBadLocateMethod}, {-1, kLocateBadLocateMethod},
        {3, kLocateNotAvailable},    {4, kLocateNotAvailable},     {5, kLocateNotAvailable},
        {7, kLocateOK}};
    for (const auto& c : cases) {
        CMethodData second = Entry(12.0f);
        second.SetLocateBy(c.locateBy);
        CMethodList methods = Methods({Entry(10.0f), second});
        CPeakList peaks = Peaks({Peak(10.0f), Peak(12.0f)});
        EXPECT_EQ(Locate(methods, peaks), c.status) << c.locateBy;
        // The entry located before the run ended keeps its peak; the second gets none.
        EXPECT_EQ(MainPeakOf(peaks, 1), 0) << c.locateBy;
        EXPECT_EQ(MainPeakOf(peaks, 2), -1) << c.locateBy;
        EXPECT_EQ(At(methods, 2).GetLocated(), 0) << c.locateBy;
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
        EXPECT_EQ(At(methods, 1).GetLocated(), c.taken ? 1 : 0);
        EXPECT_EQ(At(methods, 1).GetLocateFailed(), c.taken ? 0 : 1);
        if (c.taken) {
            EXPECT_EQ(At(methods, 1).GetFoundRT(), c.foundRT);
        }
    }
}

TEST(Locate, ChoiceRulesPickTheirPeakAndTiesKeepTheEarlier) {
    // Inside a window of 0.5 around 10.0: RT differences -0.1, +0.3, -0.4, +0.45. Peak centre
    // measures each peak's own value (the offset) against its window, on any trace.
    const float offsets[] = {-0.1f, 0.3f, -0.4f, 0.45f};
    const double areas[] = {500.0, 800.0, 800.0, 300.0}, heights[] = {90.0, 40.0, 70.0, 90.0};
    const struct { int locateBy, choice, rah, expected; } cases[] = {
        {kRT, kClosest, 0, 0}, {kRT, kLargest, 0, 1},  // areas 800 and 800: the earlier stays
        {kRT, kLargest, 1, 0},                         // heights 90 and 90: the earlier stays
        {kRT, kEarliest, 0, 2}, {kRT, kLatest, 0, 3}, {kRT, kFirst, 0, 0}, {kRT, 9, 0, 0},
        {kPeakCentre, kClosest, 0, 0}, {kPeakCentre, kLargest, 0, 1}, {kPeakCentre, kLargest, 1, 0},
        {kPeakCentre, kEarliest, 0, 2}, {kPeakCentre, kLatest, 0, 3},
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
        const float base = c.locateBy == kRT ? 10.0f : 0.0f;
        for (int k = 0; k < 4; ++k) all.push_back(Peak(base + offsets[k], areas[k], heights[k]));
        CPeakList peaks = Peaks(all);
        ASSERT_EQ(Locate(methods, peaks), kLocateOK);
        EXPECT_EQ(MainPeakOf(peaks, 1), c.expected + 1) << c.locateBy << " choice " << c.choice << " rah " << c.rah;
    }
}

TEST(Locate, QualifierIsAssignedWithItsMainPeak) {
    CMethodData entry = Entry(10.0f);
    entry.SetTargetTrace(0, "306.0");
    entry.SetTargetRatio(0, 2.0);
    entry.SetTargetWindow(0, 20);
    entry.SetTargetRTWin(0, 0.1f);
    entry.SetQuantificationTraces(3);
    CMethodList methods = Methods({entry});
    // Ratio 1000 / 500 = 2.0; the second qualifier lies outside the qualifier window of 0.1.
    CPeakList peaks = Peaks({Peak(10.0f, 1000.0, 100.0), Qualifier(10.2f, 400.0), Qualifier(10.05f, 500.0)});
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);
    const CPeakData& main = PeakOf(peaks, 0);
    const CPeakData& qualifier = PeakOf(peaks, 2);
    EXPECT_EQ(main.GetSecondaryHeight(), 50.0);
    EXPECT_EQ(main.GetAbsResponse(), 1500.0);
    EXPECT_EQ(qualifier.GetMDBEntryPeak(), 1);
    EXPECT_EQ(qualifier.GetIonRatio(), 2.0f);
    EXPECT_EQ(qualifier.GetIonRatioWin(), 20);
    EXPECT_EQ(PeakOf(peaks, 1).GetMDBEntry(), 0);
    EXPECT_EQ(At(methods, 1).GetAbsResponse(), 1500.0);
}

TEST(Locate, RRTEntryIsSearchedAtItsReferenceFoundTimeTimesTheRelativeTime) {
    CMethodData relative = Entry(0.0f, 0.1f);
    relative.SetLocateBy(kRRT);
    relative.SetRRTRef(2);
    relative.SetPredRRT(0.5f);
    CMethodList methods = Methods({relative, Entry(10.0f, 0.5f, "310.0")});
    CPeakList peaks = Peaks({Peak(5.0f), Peak(5.2f), Peak(10.4f, 1000.0, 100.0, "310.0")});
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);
    EXPECT_NEAR(At(methods, 1).GetSoughtRT(), 5.2f, 1e-5);
    EXPECT_EQ(MainPeakOf(peaks, 1), 1);
}

TEST(Locate, EntriesThatReferToEachOtherEndTheRunWith21) {
    for (int locateBy : {kRRT, kRT}) {
        CMethodData first = Entry(5.0f);
        first.SetLocateBy(locateBy);
        first.SetRRTRef(2);
        first.SetPredRRT(1.0f);
        CMethodData second = first;
        second.SetRRTRef(1);
        CMethodList methods = Methods({first, second});
        CPeakList peaks = Peaks({Peak(5.0f), Peak(5.1f)});
        EXPECT_EQ(Locate(methods, peaks), kLocateCircularReference) << locateBy;
    }
}

TEST(Locate, EngineReusedForASecondSampleCarriesNothingOver) {
    CQuanLocate engine;
    CMethodData entry = Entry(10.0f);
    entry.SetTargetTrace(0, "306.0");
    CMethodList methods = Methods({entry});
    CSampleRecord standard = Sample(1);
    CPeakList first = Peaks({Peak(10.0f, 1000.0, 100.0), Qualifier(10.0f, 500.0)});
    ASSERT_EQ(engine.QuanDoLocation(methods, first, standard, "first.db"), kLocateOK);
    ASSERT_EQ(At(methods, 1).GetLocated(), 1);
    ASSERT_EQ(At(methods, 1).GetAbsResponse(), 1000.0);

    // The second sample's peaks come back from storage still carrying the first assignment.
    CPeakList second = Peaks({Peak(12.0f), Qualifier(12.0f, 500.0)});
    PeakOf(second, 0).SetMDBEntry(1);
    PeakOf(second, 0).SetIRWinFlag(1);
    PeakOf(second, 1).SetMDBEntry(1);
    PeakOf(second, 1).SetMDBEntryPeak(1);
    CSampleRecord analyte = Sample(0);
    ASSERT_EQ(engine.QuanDoLocation(methods, second, analyte, "second.db"), kLocateOK);
    EXPECT_EQ(QuanLocateTestAccess::PeriodicDBName(engine), "second.db");
    const double cleared[] = {double(At(methods, 1).GetLocated()), At(methods, 1).GetAbsResponse(),
                              At(methods, 1).GetFoundRT(), double(PeakOf(second, 0).GetMDBEntry()),
                              double(PeakOf(second, 1).GetMDBEntry()), double(PeakOf(second, 1).GetMDBEntryPeak()),
                              double(PeakOf(second, 0).GetIRWinFlag())};
    for (size_t k = 0; k < std::size(cleared); ++k) EXPECT_EQ(cleared[k], 0.0) << k;

    // Processing the first sample again gives the same assignment as the first time.
    ASSERT_EQ(engine.QuanDoLocation(methods, first, standard, "first.db"), kLocateOK);
    EXPECT_EQ(MainPeakOf(first, 1), 0);
    EXPECT_EQ(PeakOf(first, 1).GetMDBEntryPeak(), 1);
    EXPECT_EQ(At(methods, 1).GetAbsResponse(), 1000.0);
}

TEST(Locate, PeaksWithoutAFiniteRetentionTimeAreNoCandidates) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float bad : {nan, inf}) {
        CMethodData entry = Entry(10.0f, 0.0f);  // no window: only the comparison decides
        entry.SetTargetTrace(0, "306.0");
        CMethodList methods = Methods({entry});
        CPeakList peaks = Peaks({Peak(bad), Peak(10.2f), Qualifier(bad, 500.0), Qualifier(10.2f, 500.0)});
        ASSERT_EQ(Locate(methods, peaks), kLocateOK);
        EXPECT_EQ(MainPeakOf(peaks, 1), 1) << bad;
        EXPECT_EQ(PeakOf(peaks, 2).GetMDBEntry(), 0) << bad;
        EXPECT_EQ(PeakOf(peaks, 3).GetMDBEntryPeak(), 1) << bad;
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
