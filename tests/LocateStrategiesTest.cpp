// The strategies besides plain retention time (record number), ion-ratio windows, MRM trace
// identity, the qualifier search (a peak is never its own qualifier), and the ion-ratio test.
#include <gtest/gtest.h>

#include <vector>

#include "LocateTestSupport.h"
#include "platform/Utility.h"
#include "quan.h"

using namespace locate_test;
using Access = QuanLocateTestAccess;

namespace {
CMethodData& At(CMethodList& methods, int entryNumber) { return methods.GetAt(entryNumber - 1); }
CPeakData& PeakOf(CPeakList& peaks, int index) { return peaks.GetAt(index); }
}  // namespace

TEST(LocateStrategies, RecordNumberReportsEachMismatch) {
    CMethodData byNumber = Entry(0.0f);
    byNumber.SetLocateBy(kRNUM);
    struct Case { const char* what; int entryFunction, peakFunction; std::string peakTrace; int status; };
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

TEST(LocateStrategies, IonRatioWindows) {
    const struct {
        const char* what;
        int absoluteMethod, targetOverQuan;
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

TEST(LocateStrategies, QualifierSearchHonoursGroupsPlaceholdersAndMustPass) {
    CQuanLocate engine;
    CMethodData entry = Entry(10.0f);
    entry.SetTargetTrace(0, "306.0");
    entry.SetTargetRatio(0, 2.0);
    entry.SetTargetWindow(0, 10);
    CPeakData missing = Placeholder("306.0");
    missing.SetMDBIntegrateEntryPeak(1);

    // A main peak of a group takes only qualifiers of that group.
    CPeakData grouped = Peak(10.0f, 1000.0);
    grouped.SetTotalsGroup("PAH");
    CPeakData otherGroup = Qualifier(10.0f, 500.0);
    otherGroup.SetTotalsGroup("PCB");
    CPeakData sameGroup = Qualifier(10.1f, 500.0);
    sameGroup.SetTotalsGroup("pah");
    // A placeholder qualifier stands in only when no real one follows and it need not exist; a
    // placeholder main peak takes the first placeholder qualifier, and nothing else.
    const struct { const char* what; std::vector<CPeakData> peaks; int mustExist, found; } cases[] = {
        {"same group only", {grouped, otherGroup, sameGroup}, 0, 2},
        {"real qualifier after a placeholder", {Peak(10.0f, 1000.0), missing, Qualifier(10.1f, 500.0)}, 0, 2},
        {"only a placeholder", {Peak(10.0f, 1000.0), missing}, 0, 1},
        {"only a placeholder, but it must exist", {Peak(10.0f, 1000.0), missing}, 1, -1},
        {"placeholder main peak", {Placeholder(), Qualifier(10.0f, 500.0), missing, missing}, 0, 2},
        {"placeholder main peak, no placeholder qualifier", {Placeholder(), Qualifier(10.0f, 500.0)}, 0, -1},
    };
    for (const auto& c : cases) {
        CPeakList peaks = Peaks(c.peaks);
        const int found = Access::LocateSecondary(engine, peaks, PeakOf(peaks, 0), entry, 1, c.mustExist, 0);
        EXPECT_EQ(found, c.found) << c.what;
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
    const struct { const char* a; const char* b; bool same; } cases[] = {
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

TEST(LocateStrategies, APeakIsNeverItsOwnQualifier) {
    // The main peak was itself integrated on the entry's qualifier trace and lies closest.
    CMethodData entry = Entry(10.0f, 0.5f, "306.0");
    entry.SetTargetTrace(0, "306.0");
    CMethodList methods = Methods({entry});
    CPeakList peaks = Peaks({Qualifier(10.0f, 1000.0), Qualifier(10.1f, 500.0)});
    CQuanLocate engine;
    EXPECT_EQ(Access::LocateSecondary(engine, peaks, peaks.GetAt(0), methods.GetAt(0), 1, 0, 0), 1);
}

// The ion-ratio test: a flagged peak fails only when its entry defines a must-pass target.
TEST(TestRatioFailed, FlaggedPeakFailsOnlyWithADefinedMustPassTarget) {
    const struct { const char* what; int flagged; const char* traces[4]; int mustPass[4]; bool acceptable; } cases[] = {
        {"not flagged, all must pass", 0, {"306", "307", "308", "309"}, {1, 1, 1, 1}, true},
        {"flagged, defined targets not must-pass", 1, {"306", "307", "", ""}, {0, 0, 0, 0}, true},
        {"flagged, must-pass target without trace", 1, {"306", "", "", ""}, {0, 1, 0, 0}, true},
        {"flagged, must-pass target 3 defined", 1, {"", "", "", "309"}, {0, 0, 0, 1}, false},
        {"flagged, must-pass target 0 defined", 1, {"306", "", "", ""}, {1, 0, 0, 0}, false},
        {"flagged, no targets at all", 1, {"", "", "", ""}, {0, 0, 0, 0}, true},
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
