// Totals location: the sums written into a totals peak under each include choice.
#include <gtest/gtest.h>

#include <vector>

#include "LocateCompletionSupport.h"
#include "locate/FilteredPeakIterator.h"
#include "quan.h"

using namespace completion_test;

namespace {
CPeakData Member(int entry, float foundRT, double area, const std::string& group = "HxCB") {
    CPeakData p = Peak(foundRT, area, area / 10.0);
    p.SetMDBEntry(entry);
    p.SetTotalsGroup(group);
    p.SetAbsNoiseHeight(area / 100.0);
    return p;
}

CPeakData TotalsPeak(int entry, int trace, const std::string& group = "HxCB") {
    CPeakData p = Peak(0.0f, 999.0, 99.0);
    p.SetTotalsPeak(1);
    p.SetMDBEntry(entry);
    p.SetMDBIntegrateEntryPeak(trace);
    p.SetTotalsGroup(group);
    p.SetChromNoise(7.0);
    return p;
}

CMethodData TotalsEntry(const std::string& group = "HxCB", int include = 0) {
    CMethodData e = Entry("Total HxCB", 6.5f);
    e.SetLocateChoice(kTotalsChoice);
    e.SetTotalsGroup(group);
    e.SetTotalsInclude(include);
    e.SetLocateRTWin(1.0f);
    e.SetSoughtRT(6.5f);
    return e;
}
}  // namespace

TEST(TotalsLocation, TotalsEntryTakesTheGroupsUnnamedPeaks) {
    CMethodList methods = Methods({Entry("PCB 138", 6.0f), TotalsEntry()});
    CPeakData placeholder = Member(0, 6.3f, 10.0);
    placeholder.SetPlaceHolder(1);
    CPeakData deleted = Member(0, 6.3f, 10.0);
    deleted.SetPeakDeleted(1);
    CPeakData otherEntrys = Member(0, 6.6f, 10.0);
    otherEntrys.SetMDBIntegrateEntry(1);
    CPeakData ownEntrys = Member(0, 6.7f, 50.0);
    ownEntrys.SetMDBIntegrateEntry(2);
    CPeakData otherTrace = Member(0, 6.9f, 10.0);
    otherTrace.SetQuanTrace("292.0");
    CPeakData summary = TotalsPeak(0, 0);
    CPeakList peaks = Peaks({
        Member(1, 6.0f, 2000.0),          // 0 named: never taken as unnamed
        Member(0, 6.0f, 900.0),           // 1 the named peak seen twice: rejected
        Member(0, 6.001f, 300.0),         // 2 taken
        Member(0, 7.0f, 400.0),           // 3 taken
        Member(0, 8.0f, 10.0),            // 4 outside the 1.0 window
        Member(0, 6.8f, 10.0, "PeCB"),    // 5 other group
        otherTrace,                       // 6
        placeholder,                      // 7
        deleted,                          // 8
        summary,                          // 9 summary records are not compounds
        otherEntrys,                      // 10 integrated for entry 1
        Member(0, 7.0f, 400.0),           // 11 the unnamed peak 3 seen twice
        ownEntrys,                        // 12 integrated for the totals entry: taken
    });
    CQuanLocate engine;
    EXPECT_EQ(Access::LocateMethodEntryTotals(engine, peaks, methods, 2), kLocateOK);
    // The entry each peak ends on, and the place of each unnamed peak the totals entry took.
    const int entries[] = {1, 0, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 2};
    const int ids[] = {0, 0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 3};
    for (int j = 0; j < peaks.GetSize(); ++j) {
        SCOPED_TRACE(j);
        const CPeakData& p = peaks.GetAt(j);
        EXPECT_EQ(p.GetMDBEntry(), entries[j]);
        EXPECT_EQ(p.GetTotalsUnnamedPeak(), entries[j] == 2 ? 1 : 0);
        if (entries[j] == 2) {
            EXPECT_EQ(p.GetMDBEntryPeakID(), ids[j]);
        }
    }
    // The entry carries the last unnamed peak's values.
    const CMethodData& totals = methods.GetAt(1);
    EXPECT_EQ(totals.GetLocated(), 1);
    EXPECT_DOUBLE_EQ(totals.GetAbsResponse(), 50.0);
    EXPECT_FLOAT_EQ(totals.GetFoundRT(), 6.7f);
}

TEST(TotalsLocation, UnnamedPeaksNeedTheirMustExistQualifiers) {
    CMethodData totals = TotalsEntry();
    totals.SetTargetTrace(0, "292.0");
    totals.SetTargetMustExist(0, 1);
    CMethodList methods = Methods({totals});
    CPeakData qualifier = Member(0, 6.0f, 50.0);
    qualifier.SetQuanTrace("292.0");
    qualifier.SetMDBIntegrateEntryPeak(1);
    CPeakList peaks = Peaks({Member(0, 6.0f, 500.0), Member(0, 7.0f, 700.0), qualifier});
    CQuanLocate engine;
    ASSERT_EQ(Access::LocateMethodEntryTotals(engine, peaks, methods, 1), kLocateOK);
    EXPECT_EQ(peaks.GetAt(0).GetMDBEntry(), 1);
    EXPECT_EQ(peaks.GetAt(1).GetMDBEntry(), 0);  // the only qualifier went to the first
    EXPECT_EQ(peaks.GetAt(2).GetMDBEntry(), 1);
    EXPECT_EQ(peaks.GetAt(2).GetMDBEntryPeak(), 1);
    EXPECT_EQ(peaks.GetAt(2).GetTotalsUnnamedPeak(), 1);
    EXPECT_EQ(peaks.GetAt(0).GetPeakMissingFlag(), 0);

    // A qualifier that may be missing: a placeholder stands in and marks the peak.
    CMethodData lenient = TotalsEntry();
    lenient.SetTargetTrace(0, "292.0");
    CMethodList lenientMethods = Methods({lenient});
    CPeakData standIn = Member(0, 0.0f, 0.0);
    standIn.SetQuanTrace("292.0");
    standIn.SetMDBIntegrateEntryPeak(1);
    standIn.SetPlaceHolder(1);
    CPeakList withPlaceholder = Peaks({Member(0, 6.0f, 500.0), standIn});
    ASSERT_EQ(Access::LocateMethodEntryTotals(engine, withPlaceholder, lenientMethods, 1), kLocateOK);
    EXPECT_EQ(withPlaceholder.GetAt(0).GetMDBEntry(), 1);
    EXPECT_EQ(withPlaceholder.GetAt(0).GetPeakMissingFlag(), 1);
}

TEST(TotalsLocation, TotalsPeakSumsItsMembersByTheIncludeChoice) {
    // Members (area, height = area / 10, noise = area / 100): named 100 and 200, unnamed 400.
    // Left out: outside the window (800), failing the ion ratio (1600), unassigned (3200),
    // deleted (6400), qualifier trace (12800), placeholder, other group (25600).
    const auto makePeaks = [] {
        CPeakData unnamed = Member(5, 7.0f, 400.0);
        unnamed.SetTotalsUnnamedPeak(1);
        CPeakData failing = Member(3, 6.4f, 1600.0);
        failing.SetIRWinFlag(1);
        CPeakData deleted = Member(4, 6.4f, 6400.0);
        deleted.SetPeakDeleted(1);
        CPeakData qualifier = Member(1, 6.0f, 12800.0);
        qualifier.SetMDBIntegrateEntryPeak(1);
        CPeakData placeholder = Member(2, 6.5f, 0.0);
        placeholder.SetPlaceHolder(1);
        return Peaks({TotalsPeak(5, 0), Member(1, 6.0f, 100.0), Member(2, 5.5f, 200.0), unnamed,
                      Member(3, 8.0f, 800.0), failing, Member(0, 6.5f, 3200.0), deleted, qualifier, placeholder,
                      Member(6, 6.5f, 25600.0, "PeCB")});
    };
    const struct {
        const char* what;
        const char* group;
        int include;
        bool mustPassTarget;
        float window;
        double area;
        int count;
        double noise;  // the last member's, or as it was (3)
    } cases[] = {
        {"all members", "HxCB", 0, true, 1.0f, 700.0, 3, 4.0},
        {"named only", "HxCB", 1, true, 1.0f, 300.0, 2, 2.0},
        {"unnamed only", "HxCB", 2, true, 1.0f, 400.0, 1, 4.0},
        {"ion-ratio failure counts without a must-pass target", "HxCB", 0, false, 1.0f, 2300.0, 4, 16.0},
        {"no window", "HxCB", 0, true, 0.0f, 1500.0, 4, 8.0},
        {"no group: cleared sums", "", 0, true, 1.0f, 0.0, 0, 3.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CMethodData totals = TotalsEntry(c.group, c.include);
        totals.SetLocateRTWin(c.window);
        if (c.mustPassTarget) {
            totals.SetTargetTrace(0, "292.0");
            totals.SetTargetMustPass(0, 1);
        }
        CPeakList peaks = makePeaks();
        peaks.GetAt(0).SetAbsNoiseHeight(3.0);
        CQuanLocate engine;
        ASSERT_EQ(Access::LocateCalculateTotalsPeak(engine, &peaks.GetAt(0), peaks, totals, 0), kLocateOK);
        const CPeakData& t = peaks.GetAt(0);
        EXPECT_DOUBLE_EQ(t.GetArea(), c.area);
        EXPECT_DOUBLE_EQ(t.GetHeight(), c.area / 10.0);
        EXPECT_EQ(t.GetTotalsNumPeaks(), c.count);  // the totals peak never counts itself
        EXPECT_DOUBLE_EQ(t.GetAbsNoiseHeight(), c.noise);
    }

    // No totals peak: nothing to write.
    CPeakList peaks = makePeaks();
    CQuanLocate engine;
    EXPECT_EQ(Access::LocateCalculateTotalsPeak(engine, nullptr, peaks, TotalsEntry(), 0), kLocateOK);
}

TEST(TotalsLocation, WalkNotByAssignmentFiltersByTheEntryIntegratedFor) {
    CPeakData forFirst = Member(0, 6.0f, 10.0);
    forFirst.SetMDBIntegrateEntry(1);
    CPeakData forSecond = forFirst;
    forSecond.SetMDBIntegrateEntry(2);
    const CPeakList peaks = Peaks({forFirst, forSecond, Member(0, 6.0f, 10.0)});
    const struct {
        int entry;
        std::vector<const CPeakData*> yielded;
    } cases[] = {{0, {&peaks.GetAt(0), &peaks.GetAt(1), &peaks.GetAt(2)}}, {2, {&peaks.GetAt(1)}}};
    for (const auto& c : cases) {
        CFilteredPeakIterator walk(peaks);
        walk.SetByAssignment(false);
        walk.SetEntry(c.entry);
        std::vector<const CPeakData*> yielded;
        while (const CPeakData* peak = walk.Next()) yielded.push_back(peak);
        EXPECT_EQ(yielded, c.yielded) << c.entry;
    }
}
