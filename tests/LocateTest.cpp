// The location driver and the retention-time search, driven through QuanDoLocation on small
// hand-built samples: run statuses, resets, windows, choice rules, qualifiers, the reference
// chain between entries, peaks without a finite time, and reuse of one engine.
#include <gtest/gtest.h>

#include <limits>
#include <memory>

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
    const struct {
        int locateBy;
        int status;
    } cases[] = {{8, kLocateBadLocateMethod}, {99, kLocateBadLocateMethod}, {-1, kLocateBadLocateMethod},
                 {3, kLocateNotAvailable},    {4, kLocateNotAvailable},   {5, kLocateNotAvailable},
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
    const struct {
        float window;
        float foundRT;
        bool taken;
    } cases[] = {
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
    // Inside a window of 0.5 around 10.0: RT differences -0.1, +0.3, -0.4, +0.45.
    const std::vector<CPeakData> candidates = {Peak(9.9f, 500.0, 90.0), Peak(10.3f, 800.0, 40.0),
                                               Peak(9.6f, 800.0, 70.0), Peak(10.45f, 300.0, 90.0)};
    const struct {
        int choice;
        int rah;
        int expected;
    } cases[] = {
        {kClosest, 0, 0}, {kLargest, 0, 1},  // areas 800 and 800: the earlier stays
        {kLargest, 1, 0},                    // heights 90 and 90: the earlier stays
        {kEarliest, 0, 2}, {kLatest, 0, 3}, {kFirst, 0, 0}, {9, 0, 0},
    };
    for (const auto& c : cases) {
        CMethodData entry = Entry(10.0f);
        entry.SetLocateChoice(c.choice);
        entry.SetRAH(c.rah);
        CMethodList methods = Methods({entry});
        std::vector<CPeakData> all = {Peak(10.0f, 9999.0, 999.0, "305.0")};  // other trace: never a candidate
        all.insert(all.end(), candidates.begin(), candidates.end());
        CPeakList peaks = Peaks(all);
        ASSERT_EQ(Locate(methods, peaks), kLocateOK);
        EXPECT_EQ(MainPeakOf(peaks, 1), c.expected + 1) << "choice " << c.choice << " rah " << c.rah;
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
    EXPECT_EQ(main.GetMDBEntry(), 1);
    EXPECT_EQ(main.GetMDBEntryPeak(), 0);
    EXPECT_EQ(main.GetSecondaryPeaks(), 1);
    EXPECT_EQ(main.GetSecondaryArea(), 500.0);
    EXPECT_EQ(main.GetSecondaryHeight(), 50.0);
    EXPECT_EQ(main.GetIRWinFlag(), 0);
    EXPECT_EQ(main.GetPeakMissingFlag(), 0);
    EXPECT_EQ(main.GetAbsResponse(), 1500.0);
    EXPECT_EQ(qualifier.GetMDBEntry(), 1);
    EXPECT_EQ(qualifier.GetMDBEntryPeak(), 1);
    EXPECT_EQ(qualifier.GetIonRatio(), 2.0f);
    EXPECT_EQ(qualifier.GetIonRatioWin(), 20);
    EXPECT_EQ(qualifier.GetActualIonRatio(), 2.0f);
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
    EXPECT_EQ(At(methods, 1).GetLocated(), 0);
    EXPECT_EQ(At(methods, 1).GetAbsResponse(), 0.0);
    EXPECT_EQ(At(methods, 1).GetFoundRT(), 0.0f);
    EXPECT_EQ(PeakOf(second, 0).GetMDBEntry(), 0);
    EXPECT_EQ(PeakOf(second, 1).GetMDBEntry(), 0);
    EXPECT_EQ(PeakOf(second, 1).GetMDBEntryPeak(), 0);
    EXPECT_EQ(PeakOf(second, 0).GetIRWinFlag(), 0);

    // Processing the first sample again gives the same assignment as the first time.
    ASSERT_EQ(engine.QuanDoLocation(methods, first, standard, "first.db"), kLocateOK);
    EXPECT_EQ(MainPeakOf(first, 1), 0);
    EXPECT_EQ(PeakOf(first, 1).GetMDBEntryPeak(), 1);
    EXPECT_EQ(At(methods, 1).GetAbsResponse(), 1000.0);
}

TEST(Locate, BadStandardLevelStillResetsEveryEntryAndLocates) {
    CMethodData bad = Entry(10.0f);
    bad.SetStdLevels(22);
    bad.SetStdConc(5.0);
    CMethodData after = Entry(12.0f, 0.5f, "305.0");
    after.SetStdConc(4.0);
    after.SetLocated(1);  // left over from an earlier sample
    after.SetFixedConc(99.0);
    CMethodList methods = Methods({bad, after});
    CPeakList peaks = Peaks({Peak(10.0f), Peak(12.0f, 1000.0, 100.0, "305.0")});
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);  // the bad level is reported to no one
    EXPECT_EQ(At(methods, 1).GetFixedConc(), 0.0);
    EXPECT_EQ(At(methods, 1).GetLocated(), 1);
    EXPECT_EQ(At(methods, 2).GetFixedConc(), 4.0);
    EXPECT_EQ(MainPeakOf(peaks, 2), 1);
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

TEST(Locate, EmptyPeakListReturns15AfterTheEntriesWereReset) {
    CMethodData entry = Entry(5.0f);
    entry.SetStdConc(2.5);
    entry.SetLocated(1);
    entry.SetLocateFailed(1);
    entry.SetAbsResponse(9.0);
    entry.SetFoundRT(7.0f);
    entry.SetISResponse(3.0);
    CMethodList methods = Methods({entry});
    CPeakList peaks;
    EXPECT_EQ(Locate(methods, peaks), kLocateEmptyPeakList);
    const CMethodData& reset = At(methods, 1);
    EXPECT_EQ(reset.GetLocated(), 0);
    EXPECT_EQ(reset.GetLocateFailed(), 0);
    EXPECT_EQ(reset.GetAbsResponse(), 0.0);
    EXPECT_EQ(reset.GetISResponse(), 0.0);
    EXPECT_EQ(reset.GetFoundRT(), 0.0f);
    EXPECT_EQ(reset.GetSoughtRT(), 5.0f);
    EXPECT_EQ(reset.GetFixedConc(), 2.5);
}
