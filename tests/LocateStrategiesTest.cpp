// The strategies besides plain retention time (relative retention time, record number, peak
// centre), the qualifier search, ion ratios and the trace identity tests.
#include <gtest/gtest.h>

#include "LocateTestSupport.h"
#include "platform/Utility.h"
#include "quan.h"

using namespace locate_test;
using Access = QuanLocateTestAccess;

namespace {
CMethodData& At(CMethodList& methods, int entryNumber) { return methods.GetAt(entryNumber - 1); }
CPeakData& PeakOf(CPeakList& peaks, int index) { return peaks.GetAt(index); }
}  // namespace

TEST(LocateStrategies, RRTEntryThatIsItsOwnReferenceIsSearchedAtPredictedTimesRelative) {
    CMethodData entry = Entry(4.0f, 0.1f);
    entry.SetLocateBy(kRRT);
    entry.SetRRTRef(1);
    entry.SetPredRRT(1.25f);
    // The tolerance of a self-referenced RRT entry is taken around the peak it found: never flagged.
    entry.SetRTToleranceFlag(1);
    entry.SetRTToleranceUpper(1.0f);
    entry.SetRTToleranceLower(1.0f);
    CMethodList methods = Methods({entry});
    CPeakList peaks = Peaks({Peak(4.0f), Peak(5.08f)});
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);
    EXPECT_EQ(At(methods, 1).GetSoughtRT(), 5.0f);
    EXPECT_EQ(PeakOf(peaks, 1).GetMDBEntry(), 1);
    EXPECT_EQ(PeakOf(peaks, 1).GetRTToleranceFlag(), 0);

    // The same peak for a plain RT entry sought at 5.0 lies beyond 5.05 and is flagged.
    CMethodData plain = Entry(5.0f, 0.1f);
    plain.SetRTToleranceFlag(1);
    plain.SetRTToleranceUpper(1.0f);
    plain.SetRTToleranceLower(1.0f);
    CMethodList plainMethods = Methods({plain});
    CPeakList plainPeaks = Peaks({Peak(5.08f)});
    ASSERT_EQ(Locate(plainMethods, plainPeaks), kLocateOK);
    EXPECT_EQ(PeakOf(plainPeaks, 0).GetRTToleranceFlag(), 1);
}

TEST(LocateStrategies, RecordNumberReportsEachMismatch) {
    CMethodData byNumber = Entry(0.0f);
    byNumber.SetLocateBy(kRNUM);
    struct Case {
        const char* what;
        int entryFunction, peakFunction;
        std::string peakTrace;
        int status;
    };
    const Case cases[] = {
        {"matches", 0, 4, "304.0", kLocateOK},
        {"same function", 4, 4, "304.0", kLocateOK},
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
        EXPECT_EQ(PeakOf(peaks, 0).GetMDBEntry(), 1) << c.what;
        EXPECT_EQ(PeakOf(peaks, 0).GetAbsResponse(), 700.0) << c.what;
        EXPECT_EQ(PeakOf(peaks, 1).GetMDBEntry(), 0) << c.what;
        EXPECT_EQ(At(methods, 1).GetLocated(), 1) << c.what;
    }

    // A peak an earlier entry already took gives 22 although everything else matches.
    CMethodList methods = Methods({Entry(10.0f), byNumber});
    CPeakList peaks = Peaks({Peak(3.0f, 1.0, 1.0, "399.0"), Peak(10.0f)});
    EXPECT_EQ(Locate(methods, peaks), kLocatePeakAssigned);
    EXPECT_EQ(PeakOf(peaks, 1).GetMDBEntry(), 1);
}

TEST(LocateStrategies, PeakCentreChoosesByTheFoundValueInsideTheMassWindow) {
    // The found values 3, -4, 6 and 4.5: 6 lies outside a mass window of 5.
    const struct {
        int choice;
        int expected;
    } cases[] = {{kClosest, 0}, {kEarliest, 1}, {kLatest, 3}, {kLargest, 1}};
    for (const auto& c : cases) {
        CMethodData entry = Entry(0.0f);
        entry.SetLocateBy(kPeakCentre);
        entry.SetLocateMassWin(5.0f);
        entry.SetLocateChoice(c.choice);
        CMethodList methods = Methods({entry});
        CPeakList peaks = Peaks({Peak(3.0f, 100.0), Peak(-4.0f, 900.0), Peak(6.0f, 5000.0), Peak(4.5f, 900.0)});
        ASSERT_EQ(Locate(methods, peaks), kLocateOK);
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(PeakOf(peaks, j).GetMDBEntry(), j == c.expected ? 1 : 0) << "choice " << c.choice << " peak " << j;
    }
}

TEST(LocateStrategies, PeakCentreWithFlagYTakesTheLastPeakIntegratedForTheEntry) {
    CMethodData entry = Entry(0.0f);
    entry.SetLocateBy(kPeakCentre);
    // A height-ratio entry: a 'Y' entry of any other kind needs the periodic-table database.
    entry.SetFlags("Y R");
    CPeakData first = Peak(3.0f);
    first.SetMDBIntegrateEntry(1);
    CPeakData last = Peak(4.0f);
    last.SetMDBIntegrateEntry(1);
    CMethodList methods = Methods({entry});
    CPeakList peaks = Peaks({first, last, Peak(0.5f)});
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);
    EXPECT_EQ(PeakOf(peaks, 1).GetMDBEntry(), 1);
    EXPECT_EQ(PeakOf(peaks, 0).GetMDBEntry(), 0);
    EXPECT_EQ(PeakOf(peaks, 2).GetMDBEntry(), 0);
    EXPECT_EQ(PeakOf(peaks, 0).GetFoundRT(), 0.0f);  // every peak integrated for the entry
    EXPECT_EQ(PeakOf(peaks, 1).GetFoundRT(), 0.0f);
    EXPECT_EQ(PeakOf(peaks, 2).GetFoundRT(), 0.5f);
}

TEST(LocateStrategies, PeakCentreWithoutAPeakGoesOnWithTheRun) {
    CMethodData entry = Entry(0.0f);
    entry.SetLocateBy(kPeakCentre);
    entry.SetLocateMassWin(1.0f);
    CPeakData otherEntry = Peak(0.5f);
    otherEntry.SetMDBIntegrateEntry(2);
    CMethodList methods = Methods({entry, Entry(10.0f)});
    CPeakList peaks = Peaks({Peak(3.0f), otherEntry, Peak(10.0f)});
    ASSERT_EQ(Locate(methods, peaks), kLocateOK);
    EXPECT_EQ(At(methods, 1).GetLocated(), 0);
    EXPECT_EQ(At(methods, 1).GetLocateFailed(), 1);
    EXPECT_EQ(PeakOf(peaks, 2).GetMDBEntry(), 2);
}

TEST(LocateStrategies, IonRatioWindows) {
    const struct {
        const char* what;
        int absoluteMethod;
        int targetOverQuan;
        double expected;
        int window;
        double primary, secondary;
        bool computed;
        double ratio;
        bool within;
    } cases[] = {
        // Deviation and allowance both exactly 0.25 in binary: the edge is inside.
        {"relative, exactly at the edge", 0, 0, 0.5, 50, 750.0, 1000.0, true, 0.75, true},
        {"absolute, exactly at the edge", 1, 0, 0.5, 25, 250.0, 1000.0, true, 0.25, true},
        {"relative, at the edge", 0, 0, 0.5, 20, 600.0, 1000.0, true, 0.6, true},
        {"relative, beyond", 0, 0, 0.5, 20, 610.0, 1000.0, true, 0.61, false},
        {"relative, below", 0, 0, 0.5, 20, 400.0, 1000.0, true, 0.4, true},
        {"absolute, at the edge", 1, 0, 0.5, 20, 700.0, 1000.0, true, 0.7, true},
        {"absolute, beyond", 1, 0, 0.5, 20, 710.0, 1000.0, true, 0.71, false},
        {"no expected ratio", 0, 0, 0.0, 20, 900.0, 100.0, true, 9.0, true},
        {"no window", 0, 0, 0.5, 0, 900.0, 100.0, true, 9.0, true},
        {"negative window is a width", 0, 0, 0.5, -20, 600.0, 1000.0, true, 0.6, true},
        {"rounded to four places", 0, 0, 0.5, 20, 1000.0, 3000.0, true, 0.3333, false},
        {"qualifier without response", 0, 0, 0.5, 20, 1000.0, 0.0, false, 0.0, false},
        {"main peak without response", 0, 0, 0.5, 20, 0.0, 1000.0, true, 0.0, false},
        {"target over quan", 0, 1, 0.5, 20, 1000.0, 600.0, true, 0.6, true},
        {"target over quan, beyond", 0, 1, 0.5, 20, 1000.0, 610.0, true, 0.61, false},
        {"target over quan, no main response", 0, 1, 0.5, 20, 0.0, 600.0, false, 0.0, false},
    };
    CQuanLocate engine;
    for (const auto& c : cases) {
        CMethodData entry = Entry(10.0f);
        entry.SetTargetRatio(2, c.expected);
        entry.SetTargetWindow(2, c.window);
        entry.SetTargetIonWindowMethod(c.absoluteMethod);
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

TEST(LocateStrategies, EntryPeakResponseFollowsTheResponseBasis) {
    CQuanLocate engine;
    CMethodData entry = Entry(10.0f);
    const CPeakData peak = Peak(10.0f, 1000.0, 80.0);
    const struct {
        int rah;
        double expected;
    } cases[] = {{0, 1000.0}, {1, 80.0}, {2, 0.0}, {-1, 0.0}};
    for (const auto& c : cases) {
        entry.SetRAH(c.rah);
        EXPECT_EQ(Access::GetEntryPeakResponse(engine, peak, entry), c.expected) << c.rah;
    }
    entry.SetRAH(0);
    CPeakData deleted = peak;
    deleted.SetPeakDeleted(1);
    CPeakData placeholder = peak;
    placeholder.SetPlaceHolder(1);
    EXPECT_EQ(Access::GetEntryPeakResponse(engine, deleted, entry), 0.0);
    EXPECT_EQ(Access::GetEntryPeakResponse(engine, placeholder, entry), 0.0);
}

TEST(LocateStrategies, QualifierSearchPrefersModifiedThenClosestInsideItsWindow) {
    CQuanLocate engine;
    CMethodData entry = Entry(10.0f);
    entry.SetTargetTrace(1, "306.0");
    entry.SetTargetRTWin(1, 0.25f);
    auto modified = [](float rt) {
        CPeakData peak = Qualifier(rt, 500.0);
        peak.SetPeakDetectionFlags("M");
        peak.SetModifiedUser("analyst");
        peak.SetModifiedDate("01/02/26");
        peak.SetModifiedText("baseline moved");
        peak.SetModifiedTime("10:11:12");
        return peak;
    };
    CPeakData forOtherEntry = Qualifier(10.0f, 500.0);
    forOtherEntry.SetMDBIntegrateEntry(2);
    CPeakData mainTrace = Qualifier(10.0f, 500.0);
    mainTrace.SetMDBIntegrateEntryPeak(0);  // integrated as a main trace: not a qualifier
    CPeakData taken = Qualifier(10.0f, 500.0);
    taken.SetMDBEntry(3);
    CPeakData otherTrace = Qualifier(10.0f, 500.0, "307.0");
    struct Case {
        const char* what;
        std::vector<CPeakData> candidates;
        int expected;  // index among the candidates, -1 for none
    };
    const Case cases[] = {
        {"closest", {Qualifier(10.2f, 500.0), Qualifier(10.05f, 500.0), Qualifier(9.9f, 500.0)}, 1},
        {"equal distance keeps the earlier", {Qualifier(10.1f, 500.0), Qualifier(9.9f, 500.0)}, 0},
        {"modified wins over closer", {Qualifier(10.01f, 500.0), modified(10.2f)}, 1},
        {"unmodified cannot replace modified", {modified(10.2f), Qualifier(10.01f, 500.0)}, 0},
        {"window edge is inside", {Qualifier(10.25f, 500.0)}, 0},
        {"beyond the window", {Qualifier(10.26f, 500.0)}, -1},
        {"not qualifiers of this entry", {forOtherEntry, mainTrace, taken, otherTrace}, -1},
        {"no qualifier response", {Qualifier(10.0f, 0.0)}, -1},
    };
    for (const Case& c : cases) {
        std::vector<CPeakData> all = {Peak(10.0f, 1000.0)};
        all.insert(all.end(), c.candidates.begin(), c.candidates.end());
        CPeakList peaks = Peaks(all);
        CPeakData& primary = PeakOf(peaks, 0);
        const int found = Access::LocateSecondary(engine, peaks, primary, entry, 1, 0, 1);
        EXPECT_EQ(found, c.expected < 0 ? -1 : c.expected + 1) << c.what;
        if (found >= 0 && PeakOf(peaks, found).GetModified()) {
            // The main peak takes over who changed its qualifier.
            EXPECT_EQ(primary.GetModifiedUser(), "analyst") << c.what;
            EXPECT_EQ(primary.GetModifiedDate(), "01/02/26") << c.what;
            EXPECT_EQ(primary.GetModifiedText(), "baseline moved") << c.what;
            EXPECT_EQ(primary.GetModifiedTime(), "10:11:12") << c.what;
        } else {
            EXPECT_EQ(primary.GetModifiedUser(), "") << c.what;
        }
    }
}

TEST(LocateStrategies, QualifierSearchHonoursGroupsPlaceholdersAndMustPass) {
    CQuanLocate engine;
    CMethodData entry = Entry(10.0f);
    entry.SetTargetTrace(0, "306.0");
    entry.SetTargetRatio(0, 2.0);
    entry.SetTargetWindow(0, 10);
    CPeakData missing = Placeholder("306.0");
    missing.SetMDBIntegrateEntryPeak(1);

    // A main peak of a group takes only qualifiers of that group.
    {
        CPeakData primaryPeak = Peak(10.0f, 1000.0);
        primaryPeak.SetTotalsGroup("PAH");
        CPeakData otherGroup = Qualifier(10.0f, 500.0);
        otherGroup.SetTotalsGroup("PCB");
        CPeakData sameGroup = Qualifier(10.1f, 500.0);
        sameGroup.SetTotalsGroup("pah");
        CPeakList peaks = Peaks({primaryPeak, otherGroup, sameGroup});
        EXPECT_EQ(Access::LocateSecondary(engine, peaks, PeakOf(peaks, 0), entry, 1, 0, 0), 2);
    }
    // A placeholder qualifier stands in only when no real one follows and it need not exist.
    {
        CPeakList peaks = Peaks({Peak(10.0f, 1000.0), missing, Qualifier(10.1f, 500.0)});
        EXPECT_EQ(Access::LocateSecondary(engine, peaks, PeakOf(peaks, 0), entry, 1, 0, 0), 2);
        CPeakList onlyMissing = Peaks({Peak(10.0f, 1000.0), missing});
        EXPECT_EQ(Access::LocateSecondary(engine, onlyMissing, PeakOf(onlyMissing, 0), entry, 1, 0, 0), 1);
        EXPECT_EQ(Access::LocateSecondary(engine, onlyMissing, PeakOf(onlyMissing, 0), entry, 1, 1, 0), -1);
    }
    // A placeholder main peak takes the first placeholder qualifier, and nothing else.
    {
        CPeakList peaks = Peaks({Placeholder(), Qualifier(10.0f, 500.0), missing, missing});
        EXPECT_EQ(Access::LocateSecondary(engine, peaks, PeakOf(peaks, 0), entry, 1, 0, 0), 2);
        CPeakList noPlaceholder = Peaks({Placeholder(), Qualifier(10.0f, 500.0)});
        EXPECT_EQ(Access::LocateSecondary(engine, noPlaceholder, PeakOf(noPlaceholder, 0), entry, 1, 0, 0), -1);
    }
    // Must pass: a ratio of 4.0 against 2.0 +- 10 % is refused, unless the estimated response
    // lets it through and marks the main peak.
    {
        entry.SetTargetMustPass(0, 1);
        CPeakList peaks = Peaks({Peak(10.0f, 1000.0), Qualifier(10.0f, 250.0)});
        EXPECT_EQ(Access::LocateSecondary(engine, peaks, PeakOf(peaks, 0), entry, 1, 0, 0), -1);
        EXPECT_EQ(PeakOf(peaks, 0).GetIRWinFlag(), 0);
        entry.SetUseEMPC(1);
        EXPECT_EQ(Access::LocateSecondary(engine, peaks, PeakOf(peaks, 0), entry, 1, 0, 0), 1);
        EXPECT_EQ(PeakOf(peaks, 0).GetIRWinFlag(), 1);
    }
}

TEST(LocateStrategies, MRMMassListsCompareWithinFiveThousandths) {
    CQuanLocate engine;
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"100", "100.004", true},  {"100", "100.006", false}, {"TIC", "tic", true},
        {"TIC", "BPI", false},     {"100 200", "100 200.004", true}, {"100 200", "100", false},
        {"", "100", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Access::ChromatogramsIdenticalMRM(engine, c.a, c.b, false), c.same) << c.a << " / " << c.b;
    // The second-mass switch compares the daughter masses of transitions.
    EXPECT_TRUE(Access::ChromatogramsIdenticalMRM(engine, "216.1>174.1", "216.1>174.104", true));
    EXPECT_FALSE(Access::ChromatogramsIdenticalMRM(engine, "216.1>174.1", "216.1>175.1", true));
    EXPECT_TRUE(Access::ChromatogramsIdenticalMRM(engine, "216.1>174.1", "216.1>175.1", false));
}

TEST(LocateStrategies, TraceTextsCompareTransitionsByBothMassesAndSingleMassesByEither) {
    CQuanLocate engine;
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"216.1>174.1", "216.1>174.1", true}, {"216.1>174.1", "216.1>175.1", false},
        {"216.1>174.1", "217.1>174.1", false}, {"216.1>174.1", "216.1", true},
        {"216.1>174.1", "174.1", true},        {"174.1", "216.1>174.1", true},
        {"216.1>174.1", "190.0", false},       {"304.0", "304.003", true},
        {"304.0", "305.0", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Access::ChromatogramsIdentical(engine, c.a, c.b), c.same) << c.a << " / " << c.b;
}

TEST(LocateStrategies, PeakAndEntryTracesCompareThroughTheirComparitors) {
    CQuanLocate engine;
    CMethodData entry = Entry(10.0f, 0.5f, "304.0");
    entry.SetTargetTrace(0, "306.0");
    CPeakData peak = Peak(10.0f, 1.0, 1.0, "306.003");
    EXPECT_FALSE(Access::ChromatogramsIdentical(engine, peak, entry, 0));
    EXPECT_TRUE(Access::ChromatogramsIdentical(engine, peak, entry, 1));
    EXPECT_FALSE(Access::ChromatogramsIdentical(engine, peak, entry, 5));  // no such slot
}

TEST(LocateStrategies, SampleTypeTextsAreExactAndChannelConversionChangesNothing) {
    CQuanLocate engine;
    const struct {
        const char* text;
        int value;
    } cases[] = {{"Standard", 1}, {"Analyte", 2}, {"QC", 3}, {"standard", 0}, {"Blank", 0}, {"", 0}};
    for (const auto& c : cases) EXPECT_EQ(Access::GetSampleTypeEnum(engine, c.text), c.value) << c.text;

    Utility::SetCurrentProject("C:\\Projects", "Residues");
    CMethodData entry = Entry(10.0f, 0.5f, "ch3 TIC");
    entry.SetTargetTrace(0, "Ch12");
    entry.SetRawAcquisitionFunction(2);
    const CPeakData peak = Peak(10.0f);
    const struct {
        const char* trace;
        bool target;
    } traces[] = {{"ch3 TIC", false}, {"Ch12", true}, {"304.0", false}, {"chx", false}, {"ch99999999999999", false}};
    for (const auto& t : traces) {
        if (t.target) entry.SetTargetTrace(0, t.trace);
        else entry.SetQuanTrace(t.trace);
        EXPECT_EQ(Access::ConvertTraceChannelsToMasses(engine, peak, entry, t.target), -1) << t.trace;
        EXPECT_EQ(t.target ? entry.GetTargetTrace(0) : entry.GetQuanTrace(), t.trace);
    }
}
