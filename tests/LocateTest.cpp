// The location driver and the retention-time search, driven through QuanDoLocation on small
// hand-built samples: run statuses, resets, windows, choice rules, skip rules, qualifiers, the
// reference chain between entries, tolerance flags and reuse of one engine.
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

TEST(Locate, EmptyMethodListLocatesNothingAndSucceeds) {
    CMethodList methods;
    CPeakList peaks = Peaks({Peak(10.0f)});
    PeakOf(peaks, 0).SetMDBEntry(4);  // stored from an earlier processing
    EXPECT_EQ(Locate(methods, peaks), kLocateOK);
    EXPECT_EQ(PeakOf(peaks, 0).GetMDBEntry(), 0);
}

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

TEST(Locate, RecordNumberNeedsListsOfEqualLength) {
    CMethodData entry = Entry(10.0f);
    entry.SetLocateBy(kRNUM);
    CMethodList methods = Methods({entry, entry});
    CPeakList peaks = Peaks({Peak(10.0f)});
    EXPECT_EQ(Locate(methods, peaks), kLocateListsUnequal);
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

TEST(Locate, ClosestPeakWinsAndEqualDistancesKeepTheEarlierPeak) {
    const struct {
        float first, second;
        int expected;
    } cases[] = {{9.75f, 10.25f, 0}, {10.25f, 9.75f, 0}, {9.6f, 10.1f, 1}, {10.1f, 9.6f, 0}};
    for (const auto& c : cases) {
        CMethodList methods = Methods({Entry(10.0f)});
        CPeakList peaks = Peaks({Peak(c.first), Peak(c.second)});
        ASSERT_EQ(Locate(methods, peaks), kLocateOK);
        EXPECT_EQ(MainPeakOf(peaks, 1), c.expected) << c.first << " " << c.second;
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

TEST(Locate, PlaceholderIsTakenOnlyWhenNoRealPeakQualifies) {
    struct Case {
        std::vector<CPeakData> peaks;
        int choice;
        int expected;
    };
    const Case cases[] = {
        {{Placeholder(), Peak(10.1f)}, kClosest, 1},
        {{Peak(10.1f), Placeholder()}, kClosest, 0},
        {{Placeholder()}, kClosest, 0},
        {{Placeholder(), Peak(12.0f)}, kClosest, 0},  // the real peak lies outside the window
        {{Placeholder(), Peak(10.1f, 5.0)}, kLargest, 1},
        {{Placeholder(), Peak(10.4f)}, kFirst, 1},
    };
    for (const Case& c : cases) {
        CMethodData entry = Entry(10.0f);
        entry.SetLocateChoice(c.choice);
        CMethodList methods = Methods({entry});
        CPeakList peaks = Peaks(c.peaks);
        ASSERT_EQ(Locate(methods, peaks), kLocateOK);
        EXPECT_EQ(MainPeakOf(peaks, 1), c.expected);
        EXPECT_EQ(At(methods, 1).GetLocated(), 1);
    }
}

TEST(Locate, ModifiedPeakIntegratedForTheEntryOverridesWindowAndDistance) {
    auto modified = [](float rt, int integratedFor) {
        CPeakData peak = Peak(rt);
        peak.SetPeakDetectionFlags("BM");
        peak.SetMDBIntegrateEntry(integratedFor);
        return peak;
    };
    CPeakData plainForEntry = Peak(10.0f);
    plainForEntry.SetMDBIntegrateEntry(1);
    struct Case {
        std::vector<CPeakData> peaks;
        int expected;
    };
    const Case cases[] = {
        {{Peak(10.0f), modified(12.0f, 1)}, 1},     // replaces a closer unmodified peak, outside the window
        {{modified(12.0f, 1), plainForEntry}, 0},   // an unmodified peak integrated for the entry cannot replace it
        {{Peak(10.0f), modified(12.0f, 0)}, 0},     // not integrated for the entry: the window applies
        {{modified(10.3f, 0), Peak(10.1f)}, 1},     // a modified peak of any entry is compared as usual
    };
    for (const Case& c : cases) {
        CMethodList methods = Methods({Entry(10.0f)});
        CPeakList peaks = Peaks(c.peaks);
        ASSERT_EQ(Locate(methods, peaks), kLocateOK);
        EXPECT_EQ(MainPeakOf(peaks, 1), c.expected);
    }
}

TEST(Locate, CandidatesOfOtherEntriesFunctionsTracesAndGroupsArePassedOver) {
    // Every peak fits the entry but for one thing; only the last fits in everything, and it is
    // the farthest from the sought RT.
    auto fitting = [](float rt) {
        CPeakData peak = Peak(rt);
        peak.SetRawAcquisitionFunction(2);
        peak.SetTotalsGroup("PAH, EPA16");
        return peak;
    };
    CPeakData forOtherEntry = fitting(10.0f);
    forOtherEntry.SetMDBIntegrateEntry(2);
    CPeakData otherFunction = fitting(10.0f);
    otherFunction.SetRawAcquisitionFunction(3);
    CPeakData otherTrace = fitting(10.0f);
    otherTrace.SetQuanTrace("305.0");
    CPeakData otherGroup = fitting(10.0f);
    otherGroup.SetTotalsGroup("PCB");
    CPeakData forThisEntry = fitting(10.4f);
    forThisEntry.SetMDBIntegrateEntry(1);

    CMethodData entry = Entry(10.0f);
    entry.SetRawAcquisitionFunction(2);
    entry.SetTotalsGroupByRef("epa16");
    CMethodList methods = Methods({entry});
    CPeakList peaks = Peaks({forOtherEntry, otherFunction, otherTrace, otherGroup, forThisEntry});
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);
    EXPECT_EQ(MainPeakOf(peaks, 1), 4);

    // An entry without function or group accepts a peak of any function and group.
    CMethodList anyFunction = Methods({Entry(10.0f)});
    CPeakList withFunction = Peaks({otherFunction});
    ASSERT_EQ(Locate(anyFunction, withFunction), kLocateOK);
    EXPECT_EQ(MainPeakOf(withFunction, 1), 0);
}

TEST(Locate, AnAssignedPeakIsNoCandidateForALaterEntry) {
    CMethodList methods = Methods({Entry(10.0f), Entry(10.0f)});
    CPeakList peaks = Peaks({Peak(10.2f), Peak(10.0f)});
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);
    EXPECT_EQ(MainPeakOf(peaks, 1), 1);
    EXPECT_EQ(MainPeakOf(peaks, 2), 0);
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

TEST(Locate, MustExistAndMustPassQualifiersDecideWhetherThePeakCounts) {
    enum QualifierKind { kNone, kPassing, kFailing, kPlaceholder };
    const struct {
        const char* what;
        int mustExist, mustPass, useEMPC;
        QualifierKind qualifier;
        bool located;
        int irWinFlag;
        double absResponse;
        int peakMissing;
    } cases[] = {
        {"optional, none", 0, 0, 0, kNone, true, 0, 1000.0, 0},
        {"must exist, none", 1, 0, 0, kNone, false, 0, 0.0, 0},
        {"must exist, out of ratio", 1, 0, 0, kFailing, true, 1, 1000.0, 0},
        {"must pass, passing", 0, 1, 0, kPassing, true, 0, 1000.0, 0},
        {"must pass, out of ratio", 0, 1, 0, kFailing, false, 0, 0.0, 0},
        // The estimated response lets it through, flagged, with no absolute response.
        {"must pass, out of ratio, estimated", 0, 1, 1, kFailing, true, 1, 0.0, 0},
        {"optional, placeholder", 0, 0, 0, kPlaceholder, true, 0, 1000.0, 1},
        {"must exist, placeholder", 1, 0, 0, kPlaceholder, false, 0, 0.0, 0},
    };
    for (const auto& c : cases) {
        CMethodData entry = Entry(10.0f);
        entry.SetTargetTrace(0, "306.0");
        entry.SetTargetRatio(0, 2.0);
        entry.SetTargetWindow(0, 20);
        entry.SetTargetMustExist(0, c.mustExist);
        entry.SetTargetMustPass(0, c.mustPass);
        entry.SetUseEMPC(c.useEMPC);
        CMethodList methods = Methods({entry});
        std::vector<CPeakData> list = {Peak(10.0f, 1000.0, 100.0)};
        if (c.qualifier == kPassing) list.push_back(Qualifier(10.0f, 500.0));
        if (c.qualifier == kFailing) list.push_back(Qualifier(10.0f, 300.0));  // ratio 3.33, allowed 1.6 to 2.4
        if (c.qualifier == kPlaceholder) {
            CPeakData missing = Placeholder("306.0");
            missing.SetMDBIntegrateEntryPeak(1);
            list.push_back(missing);
        }
        CPeakList peaks = Peaks(list);
        ASSERT_EQ(Locate(methods, peaks), kLocateOK) << c.what;
        EXPECT_EQ(At(methods, 1).GetLocated(), c.located ? 1 : 0) << c.what;
        if (!c.located) {
            EXPECT_EQ(MainPeakOf(peaks, 1), -1) << c.what;
            continue;
        }
        const CPeakData& main = PeakOf(peaks, 0);
        EXPECT_EQ(main.GetIRWinFlag(), c.irWinFlag) << c.what;
        EXPECT_EQ(main.GetAbsResponse(), c.absResponse) << c.what;
        EXPECT_EQ(main.GetPeakMissingFlag(), c.peakMissing) << c.what;
        if (c.qualifier == kPlaceholder) {
            // The missing qualifier is assigned but takes no part in ratios or counts.
            EXPECT_EQ(PeakOf(peaks, 1).GetMDBEntry(), 1) << c.what;
            EXPECT_EQ(PeakOf(peaks, 1).GetMDBEntryPeak(), 1) << c.what;
            EXPECT_EQ(main.GetSecondaryPeaks(), 0) << c.what;
        }
        if (c.qualifier == kFailing) {
            EXPECT_EQ(PeakOf(peaks, 1).GetIRWinFlag(), 1) << c.what;
        }
    }
}

TEST(Locate, RTEntryWithAReferenceLaterInTheListFollowsItsShift) {
    CMethodData first = Entry(5.0f, 0.2f);
    first.SetRRTRef(3);
    CMethodData second = Entry(7.0f, 0.2f, "305.0");
    CMethodData reference = Entry(10.0f, 0.5f, "310.0");
    CMethodList methods = Methods({first, second, reference});
    CPeakList peaks = Peaks({Peak(5.0f), Peak(5.3f), Peak(7.0f, 1000.0, 100.0, "305.0"),
                             Peak(10.3f, 1000.0, 100.0, "310.0")});
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);
    // Searched 0.3 later than its own 5.0, where the reference drifted.
    EXPECT_NEAR(At(methods, 1).GetSoughtRT(), 5.3f, 1e-5);
    EXPECT_EQ(MainPeakOf(peaks, 1), 1);
    EXPECT_EQ(MainPeakOf(peaks, 2), 2);
    EXPECT_EQ(MainPeakOf(peaks, 3), 3);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(At(methods, i).GetLocated(), 1) << i;
        EXPECT_EQ(At(methods, i).GetBackTrackMDBEntry(), 0) << i;
    }
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

TEST(Locate, MissingReferenceFailsRRTEntriesAndLeavesRTEntriesUnshifted) {
    // The reference (entry 3, trace 310.0) has no peak; it is later in the list than one waiting
    // entry and earlier than another.
    CMethodData relative = Entry(0.0f, 0.2f);
    relative.SetLocateBy(kRRT);
    relative.SetRRTRef(3);
    relative.SetPredRRT(0.5f);
    CMethodData shifted = Entry(7.0f, 0.2f, "305.0");
    shifted.SetRRTRef(3);
    CMethodData reference = Entry(10.0f, 0.5f, "310.0");
    CMethodData late = Entry(8.0f, 0.2f, "307.0");
    late.SetRRTRef(3);
    CMethodList methods = Methods({relative, shifted, reference, late});
    CPeakList peaks = Peaks({Peak(5.0f), Peak(7.0f, 1000.0, 100.0, "305.0"), Peak(8.0f, 1000.0, 100.0, "307.0")});
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);
    EXPECT_EQ(At(methods, 3).GetLocated(), 0);
    EXPECT_EQ(At(methods, 3).GetLocateFailed(), 1);
    EXPECT_EQ(At(methods, 1).GetLocated(), 0);
    EXPECT_EQ(At(methods, 1).GetLocateFailed(), 1);
    EXPECT_EQ(MainPeakOf(peaks, 1), -1);
    EXPECT_EQ(At(methods, 2).GetSoughtRT(), 7.0f);
    EXPECT_EQ(MainPeakOf(peaks, 2), 1);
    EXPECT_EQ(At(methods, 4).GetSoughtRT(), 8.0f);
    EXPECT_EQ(MainPeakOf(peaks, 4), 2);
}

TEST(Locate, ReferenceNumberOutsideTheListCountsAsNoReference) {
    CMethodData rt = Entry(10.0f);
    rt.SetRRTRef(7);
    CMethodData rrt = Entry(5.0f, 0.2f, "305.0");
    rrt.SetLocateBy(kRRT);
    rrt.SetRRTRef(-3);
    rrt.SetPredRRT(1.0f);
    CMethodData ownReference = Entry(12.0f, 0.2f, "307.0");
    ownReference.SetRRTRef(3);  // an RT entry that is its own reference is searched directly
    CMethodList methods = Methods({rt, rrt, ownReference});
    CPeakList peaks = Peaks({Peak(10.0f), Peak(5.0f, 1000.0, 100.0, "305.0"), Peak(12.0f, 1000.0, 100.0, "307.0")});
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);
    EXPECT_EQ(MainPeakOf(peaks, 1), 0);
    EXPECT_EQ(MainPeakOf(peaks, 2), -1);
    EXPECT_EQ(At(methods, 2).GetLocateFailed(), 1);
    EXPECT_EQ(MainPeakOf(peaks, 3), 2);
}

TEST(Locate, RetentionTimeToleranceIsInclusive) {
    const struct {
        int enabled;
        float foundRT;
        int flagged;
    } cases[] = {{1, 10.5f, 0}, {1, 9.5f, 0}, {1, 10.51f, 1}, {1, 9.49f, 1}, {1, 10.0f, 0}, {0, 10.51f, 0}};
    for (const auto& c : cases) {
        CMethodData entry = Entry(10.0f, 1.0f);
        entry.SetRTToleranceFlag(c.enabled);
        entry.SetRTToleranceUpper(5.0f);
        entry.SetRTToleranceLower(5.0f);
        CMethodList methods = Methods({entry});
        CPeakList peaks = Peaks({Peak(c.foundRT)});
        PeakOf(peaks, 0).SetRTToleranceFlag(1);  // stale: cleared on the located peak
        ASSERT_EQ(Locate(methods, peaks), kLocateOK);
        EXPECT_EQ(PeakOf(peaks, 0).GetRTToleranceFlag(), c.flagged) << c.foundRT << " " << c.enabled;
    }
}

TEST(Locate, QCRetentionTimeFlagNeedsBothSwitchesOfTheSampleType) {
    const struct {
        int sampleType;
        int analyte[2], standard[2], qc[2];  // {RT switch, master switch}
        int flagged;
    } cases[] = {
        {0, {1, 1}, {0, 0}, {0, 0}, 1}, {0, {1, 0}, {1, 1}, {1, 1}, 0}, {0, {0, 1}, {0, 0}, {0, 0}, 0},
        {1, {0, 0}, {1, 1}, {0, 0}, 1}, {1, {1, 1}, {0, 1}, {1, 1}, 0}, {2, {0, 0}, {0, 0}, {1, 1}, 1},
        {2, {1, 1}, {1, 1}, {1, 0}, 0}, {3, {1, 1}, {1, 1}, {1, 1}, 0}, {6, {1, 1}, {1, 1}, {1, 1}, 0},
    };
    for (const auto& c : cases) {
        CMethodData entry = Entry(10.0f, 1.0f);
        entry.SetRTToleranceFlag(1);
        entry.SetRTToleranceUpper(1.0f);
        entry.SetRTToleranceLower(1.0f);
        entry.SetMonitorAnalyteRTEnabled(c.analyte[0]);
        entry.SetMonitorAnalyteEnabled(c.analyte[1]);
        entry.SetMonitorStandardRTEnabled(c.standard[0]);
        entry.SetMonitorStandardEnabled(c.standard[1]);
        entry.SetMonitorQCRTEnabled(c.qc[0]);
        entry.SetMonitorQCEnabled(c.qc[1]);
        CMethodList methods = Methods({entry});
        CPeakList peaks = Peaks({Peak(10.5f)});  // outside 9.9 to 10.1
        ASSERT_EQ(Locate(methods, peaks, c.sampleType), kLocateOK);
        EXPECT_EQ(PeakOf(peaks, 0).GetRTToleranceFlag(), 1);
        EXPECT_EQ(PeakOf(peaks, 0).GetQCRetTimeFlag(), c.flagged) << "type " << c.sampleType;
    }
}

TEST(Locate, TotalsEntryTakesItsTotalsPeakAndGetsNoToleranceFlag) {
    CMethodData totals = Entry(10.0f, 0.1f);
    totals.SetLocateChoice(CMethodData::kTotalsChoice);
    totals.SetRTToleranceFlag(1);
    totals.SetRTToleranceUpper(1.0f);
    totals.SetRTToleranceLower(1.0f);
    totals.SetAbsResponse(0.0);
    CPeakData first = Peak(3.0f, 100.0, 10.0);
    first.SetTotalsPeak(1);
    CPeakData last = Peak(20.0f, 200.0, 20.0);  // far outside the window: no window applies
    last.SetTotalsPeak(1);
    CMethodList methods = Methods({totals});
    CPeakList peaks = Peaks({first, Peak(10.0f), last});
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);
    EXPECT_EQ(MainPeakOf(peaks, 1), 2);  // the last totals peak wins
    EXPECT_EQ(PeakOf(peaks, 2).GetRTToleranceFlag(), 0);
    // A totals peak is a summary: the entry's own fields stay as they were.
    EXPECT_EQ(At(methods, 1).GetLocated(), 0);
    EXPECT_EQ(At(methods, 1).GetAbsResponse(), 0.0);
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

TEST(Locate, EmptySlotsInEitherListArePassedOver) {
    CMethodList methods;
    methods.SetSize(3);
    methods.SetAt(0, Entry(10.0f));
    methods.SetAt(2, Entry(12.0f));
    CPeakList peaks;
    peaks.SetSize(3);
    peaks.SetAt(0, Peak(10.0f));
    peaks.SetAt(2, Peak(12.0f));
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);
    EXPECT_EQ(MainPeakOf(peaks, 1), 0);
    EXPECT_EQ(MainPeakOf(peaks, 3), 2);

    // Record-number location of an entry whose peak slot is empty locates nothing.
    CMethodData byNumber = Entry(10.0f);
    byNumber.SetLocateBy(kRNUM);
    CMethodList numbered = Methods({byNumber, byNumber});
    CPeakList holes;
    holes.SetSize(2);
    holes.SetAt(0, Peak(10.0f));
    ASSERT_EQ(Locate(numbered, holes), kLocateOK);
    EXPECT_EQ(MainPeakOf(holes, 1), 0);
    EXPECT_EQ(At(numbered, 2).GetLocated(), 0);
}

TEST(Locate, FixedConcentrationComesFromTheStandardLevel) {
    const struct {
        int level;
        int useFactor;
        double expected;
    } cases[] = {{0, 0, 2.0}, {1, 0, 20.0}, {2, 0, 3.0}, {3, 1, 8.0}, {3, 0, 4.0}, {21, 0, 7.0}};
    CSampleRecord sample = Sample(1);
    sample.SetStockDilution(10.0);
    sample.SetConcentration(0, 3.0);
    sample.SetConcentration(1, 4.0);
    sample.SetConcentration(19, 7.0);
    for (const auto& c : cases) {
        CMethodData entry = Entry(10.0f);
        entry.SetStdLevels(c.level);
        entry.SetStdConc(2.0);
        entry.SetUseConcFactor(c.useFactor);
        entry.SetConcFactor(2.0);
        CMethodList methods = Methods({entry});
        CPeakList peaks = Peaks({Peak(10.0f)});
        CQuanLocate engine;
        ASSERT_EQ(engine.QuanDoLocation(methods, peaks, sample, ""), kLocateOK);
        EXPECT_EQ(At(methods, 1).GetFixedConc(), c.expected) << "level " << c.level;
    }
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

TEST(Locate, DeletedPeakGivesItsRetentionTimeButTheEntryStaysNotLocated) {
    CMethodList methods = Methods({Entry(10.0f)});
    CPeakList peaks = Peaks({Peak(10.1f, 1000.0, 100.0)});
    PeakOf(peaks, 0).SetPeakDeleted(1);
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);
    EXPECT_EQ(PeakOf(peaks, 0).GetMDBEntry(), 1);
    EXPECT_EQ(At(methods, 1).GetLocated(), 0);
    EXPECT_EQ(At(methods, 1).GetFoundRT(), 10.1f);
    EXPECT_EQ(At(methods, 1).GetAbsResponse(), 0.0);  // a deleted peak has no response
}

TEST(Locate, EngineIsCreatableByClassName) {
    std::unique_ptr<CQuanObject> object = QuanClassFramework::Create("CQuanLocate");
    ASSERT_NE(object, nullptr);
    EXPECT_STREQ(object->GetClassName(), "CQuanLocate");
    auto* engine = dynamic_cast<CQuanLocate*>(object.get());
    ASSERT_NE(engine, nullptr);
    CMethodList methods = Methods({Entry(10.0f)});
    CPeakList peaks = Peaks({Peak(10.0f)});
    CSampleRecord sample = Sample();
    EXPECT_EQ(engine->QuanDoLocation(methods, peaks, sample, "db"), kLocateOK);
    EXPECT_EQ(peaks.GetAt(0).GetMDBEntry(), 1);
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
