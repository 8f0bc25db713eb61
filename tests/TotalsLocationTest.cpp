// Totals location: the sums written into a totals peak under each include choice.
#include <gtest/gtest.h>

#include <functional>

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

// Accepts only peaks later than 6 min, on the same walk.
class LatePeaks : public CFilteredPeakIterator {
public:
    using CFilteredPeakIterator::CFilteredPeakIterator;

protected:
    bool Accept(const CPeakData& peak) const override { return peak.GetFoundRT() > 6.0f; }
};
}  // namespace

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
        int include;
        bool mustPassTarget;
        float window;
        double area;
        int count;
        double noise;
    } cases[] = {
        {"all members", 0, true, 1.0f, 700.0, 3, 4.0},
        {"named only", 1, true, 1.0f, 300.0, 2, 2.0},
        {"unnamed only", 2, true, 1.0f, 400.0, 1, 4.0},
        {"ion-ratio failure counts without a must-pass target", 0, false, 1.0f, 2300.0, 4, 16.0},
        {"no window", 0, true, 0.0f, 1500.0, 4, 8.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CMethodData totals = TotalsEntry("HxCB", c.include);
        totals.SetLocateRTWin(c.window);
        if (c.mustPassTarget) {
            totals.SetTargetTrace(0, "292.0");
            totals.SetTargetMustPass(0, 1);
        }
        CPeakList peaks = makePeaks();
        CQuanLocate engine;
        ASSERT_EQ(Access::LocateCalculateTotalsPeak(engine, &peaks.GetAt(0), peaks, totals, 0), kLocateOK);
        const CPeakData& t = peaks.GetAt(0);
        EXPECT_DOUBLE_EQ(t.GetArea(), c.area);
        EXPECT_DOUBLE_EQ(t.GetHeight(), c.area / 10.0);
        EXPECT_EQ(t.GetTotalsNumPeaks(), c.count);  // the totals peak never counts itself
        EXPECT_DOUBLE_EQ(t.GetAbsNoiseHeight(), c.noise);
    }

    // Without a group: cleared sums, the noise as it was.
    CPeakList peaks = makePeaks();
    peaks.GetAt(0).SetAbsNoiseHeight(3.0);
    CQuanLocate engine;
    ASSERT_EQ(Access::LocateCalculateTotalsPeak(engine, &peaks.GetAt(0), peaks, TotalsEntry(""), 0), kLocateOK);
    EXPECT_DOUBLE_EQ(peaks.GetAt(0).GetArea(), 0.0);
    EXPECT_DOUBLE_EQ(peaks.GetAt(0).GetHeight(), 0.0);
    EXPECT_EQ(peaks.GetAt(0).GetTotalsNumPeaks(), 0);
    EXPECT_DOUBLE_EQ(peaks.GetAt(0).GetAbsNoiseHeight(), 3.0);
    EXPECT_EQ(Access::LocateCalculateTotalsPeak(engine, nullptr, peaks, TotalsEntry(), 0), kLocateOK);
}
