// The packed trace index that lets the location scans pass over peaks of other traces: it may
// only ever rule out pairs the full trace comparison rejects, and a run that uses it must find
// what the plain comparison finds, also when the same list is located again after its traces
// changed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LocateTestSupport.h"
#include "locate/PeakTraceIndex.h"

namespace {

using namespace locate_test;

// Traces around the edges of the nominal window (0.005): equal text, inside, on and just past
// the window, MRM pairs sharing a precursor, a transition of three masses, names that differ only
// by case and spaces, a name against a number, and an empty text.
const std::vector<std::string> kTraces = {
    "304.0",       "304.004",     "304.005",       "304.0051",    "304.01",      " 304.0 ",
    "216.1>174.1", "216.1>176.1", "216.104>174.1", "216.1>174.106", "216.1>174.1>91.0", "216.1>174.1>91.1",
    "TIC",         "tic ",        "TIC2",          "",            "ch1",         "CH1",
};

}  // namespace

TEST(PeakTraceIndex, RulesOutOnlyWhatTheFullComparisonRejectsAndIsExactUpToTwoMasses) {
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

    // A strategy called on its own, outside a run, compares in full.
    CPeakList other = Peaks({Peak(5.0f, 1000.0, 100.0, "306.0"), Peak(5.1f, 1000.0, 100.0, "304.0")});
    CMethodData entry = Entry(5.0f, 0.2f, "304.0");
    entry.SetSoughtRT(5.0f);  // a run sets it from the predicted RT
    ASSERT_EQ(QuanLocateTestAccess::LocateByRT(engine, other, entry, 1), kLocateOK);
    EXPECT_EQ(other.GetAt(1).GetMDBEntry(), 1);
}
