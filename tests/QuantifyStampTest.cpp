// The curve database stamp a quantification leaves in its peaks: formatted once per call, it
// must still reach every quantified peak (including those whose slot's curve is traded for the
// compound's own) and follow the list when the same engine quantifies again after the list was
// renamed and refitted; a time the calendar cannot hold leaves the date and time empty.
#include <gtest/gtest.h>

#include <ctime>
#include <limits>

#include "QuantifyTestSupport.h"

namespace {
using namespace quantify_test;

struct Stamp { std::string name, date, time; };

// What SetCalData (tested on its own against worked dates) writes for this list.
Stamp StampFor(const CQuanQuantify& engine, const CCalibrationList& curves) {
    CPeakData scratch;
    engine.SetCalData(&curves, &scratch);
    return {scratch.GetCurveDBName(), scratch.GetCurveDBDate(), scratch.GetCurveDBTime()};
}
}  // namespace

TEST(QuantifyStamp, EveryQuantifiedPeakCarriesTheListsStampAndASecondCallTheNewOne) {
    CMethodList methods = Methods({Method("A"), Method("B"), Method("C")});
    // Slots 2 and 3 hold each other's curves: both are traded on the way.
    CCalibrationList curves =
        test_lists::Curves({Curve("A", {0.0, 2.0}), Curve("C", {0.0, 4.0}), Curve("B", {0.0, 3.0})});
    curves.SetDBName("C:\\lab\\curves\\pesticides.cdb");
    curves.SetModifiedTime(1700000000);
    CPeakList peaks = Peaks({Located(1, 20.0), CPeakData(), Located(2, 30.0), Located(3, 40.0)});

    CQuanQuantify engine;
    engine.SetCurrentSample(CQuanSampleData());
    ASSERT_EQ(engine.DoQuantify(&curves, &methods, &peaks, ""), kQuantifyOK);
    const Stamp first = StampFor(engine, curves);
    EXPECT_EQ(first.name, "pesticides");
    EXPECT_FALSE(first.date.empty());
    for (int j : {0, 2, 3}) {
        SCOPED_TRACE(j);
        EXPECT_EQ(peaks.GetAt(j).GetCurveDBName(), first.name);
        EXPECT_EQ(peaks.GetAt(j).GetCurveDBDate(), first.date);
        EXPECT_EQ(peaks.GetAt(j).GetCurveDBTime(), first.time);
    }
    EXPECT_EQ(peaks.GetAt(1).GetCurveDBName(), "");  // not located: not quantified, not stamped
    EXPECT_NEAR(peaks.GetAt(2).GetAnalConc(), 10.0, 1e-9);  // B's own curve: 30 / 3
    EXPECT_NEAR(peaks.GetAt(3).GetAnalConc(), 10.0, 1e-9);  // C's own curve: 40 / 4

    curves.SetDBName("/data/refit.cdb");
    curves.SetModifiedTime(1700000000 + 86400 + 3661);  // a day, an hour, a minute and a second later
    ASSERT_EQ(engine.DoQuantify(&curves, &methods, &peaks, ""), kQuantifyOK);
    const Stamp second = StampFor(engine, curves);
    EXPECT_EQ(second.name, "refit");
    EXPECT_NE(second.date, first.date);
    EXPECT_NE(second.time, first.time);
    for (int j : {0, 2, 3}) {
        SCOPED_TRACE(j);
        EXPECT_EQ(peaks.GetAt(j).GetCurveDBName(), "refit");
        EXPECT_EQ(peaks.GetAt(j).GetCurveDBDate(), second.date);
        EXPECT_EQ(peaks.GetAt(j).GetCurveDBTime(), second.time);
    }
    // A modified time beyond the calendar gives no date or time rather than a made-up one.
    curves.SetModifiedTime(std::numeric_limits<time_t>::max());
    ASSERT_EQ(engine.DoQuantify(&curves, &methods, &peaks, ""), kQuantifyOK);
    EXPECT_EQ(peaks.GetAt(0).GetCurveDBDate(), "");
    EXPECT_EQ(peaks.GetAt(0).GetCurveDBTime(), "");
}
