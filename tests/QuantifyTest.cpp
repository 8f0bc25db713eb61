// The quantification engine. The driver: run statuses, one calibrated entry with factors, limits
// and toxic equivalents, user response factors, bounds at a limit, reuse of an engine, and the
// curve an entry calibrated on another compound is quantified with. The curve database stamp
// every quantified peak carries, following the list when the same engine quantifies again; a time
// the calendar cannot hold leaves the date and time empty. Curve inversion of every curve type
// with each axis transformation, and nearly straight second-order curves. Totals: the members a
// total sums under each include choice, the totals a group sums (never itself), groups that see
// complete totals wherever they are listed, and element-based semi-quantitative concentrations
// with every failure exit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <iterator>
#include <limits>
#include <utility>

#include "LocateTestSupport.h"
#include "QuantifyTestSupport.h"
#include "quan.h"

using namespace quantify_test;

TEST(Quantify, RunStatuses) {
    // Lists of different size: 5, and no peak is touched.
    CMethodList methods = Methods({Method(), Method("toluene")});
    CCalibrationList curves = Curves({Curve("benzene", {0, 2})});
    CPeakList peaks = Peaks({With(Located(1, 10.0), [](CPeakData& p) { p.SetAnalConc(123.0); })});
    CQuanQuantify engine;
    EXPECT_EQ(engine.DoQuantify(&curves, &methods, &peaks, "other.db"), kQuantifyListsUnequal);
    EXPECT_EQ(peaks.GetAt(0).GetAnalConc(), 123.0);

    // A missing list: 17.
    EXPECT_EQ(engine.DoQuantify(nullptr, &methods, &peaks, "x"), kQuantifyMissingList);
    EXPECT_EQ(engine.DoQuantify(&curves, &methods, nullptr, "x"), kQuantifyMissingList);

    // A peak naming an entry beyond the method list: 13, and the peaks before it keep their results.
    CMethodList one = Methods({Method()});
    CPeakList beyond = Peaks({Located(1, 10.0), Located(2, 10.0), Located(1, 20.0)});
    EXPECT_EQ(engine.DoQuantify(&curves, &one, &beyond, "p.db"), kQuantifyBadEntry);
    EXPECT_DOUBLE_EQ(beyond.GetAt(0).GetAnalConc(), 5.0);
    EXPECT_EQ(beyond.GetAt(2).GetValidConc(), 0);

    // A response basis that is neither area nor height: 13.
    CMethodList bad = Methods({With(Method(), [](CMethodData& m) { m.SetRAH(2); })});
    CPeakList lone = Peaks({Located(1, 10.0)});
    EXPECT_EQ(Quantify(curves, bad, lone), kQuantifyBadEntry);
    EXPECT_EQ(lone.GetAt(0).GetValidConc(), 0);
}

TEST(Quantify, CalibratedEntryWithFactorsLimitsAndToxicEquivalents) {
    CMethodData method = Method();
    method.SetToxicEquiv(0, 0.5);
    method.SetToxicEquiv(3, 2.0);
    CMethodList methods = Methods({method});
    // y = 2 + 4x over 0..20.
    CCalibrationList curves = Curves({Curve("benzene", {2, 4}, kLinear, 0, 0.0, 20.0)});
    CPeakData peak = Located(1, 42.0, 22.0, 2.0);  // x = 10, EMPC x = 5
    peak.SetLODFactor(3.0f);                       // 6 -> x = 1
    peak.SetLOQFactor(10.0f);                      // 20 -> x = 4.5
    peak.SetUserFactor2(2.0);
    peak.SetGPDilutionFactor(1.5);
    peak.SetUserFactor3(10.0);
    peak.SetUserDivisor1(4.0);
    peak.SetUserFactor1(0.0);  // not set: skipped
    CPeakList peaks = Peaks({peak});
    ASSERT_EQ(Quantify(curves, methods, peaks), kQuantifyOK);

    // Factor 2 x 1.5 x 10 / 4 = 7.5.
    const CPeakData& p = peaks.GetAt(0);
    EXPECT_EQ(p.GetValidConc(), 1);
    for (int flag : {p.GetLODFlag(), p.GetLOQFlag(), p.GetNoSolutionFlag()}) EXPECT_EQ(flag, 0);
    const double stored[] = {p.GetAnalConc(),   p.GetEMPC(),       p.GetDetectionThreshold(),
                             p.GetQuantitationThreshold(), p.GetToxicConc(0), p.GetToxicConc(1),
                             p.GetToxicConc(3), p.GetToxicLOD(0), p.GetToxicLOQ(3)};
    const double expected[] = {75.0, 37.5, 7.5, 33.75, 37.5, 0.0, 150.0, 3.75, 67.5};
    for (size_t i = 0; i < std::size(stored); ++i) EXPECT_DOUBLE_EQ(stored[i], expected[i]) << i;
    // Above their limits, all three bounds (upper 0, medium 4, lower 8 for factor 0) are the toxic
    // concentration; a zero toxic factor gives a zero concentration at its zero limit.
    const std::pair<int, double> bounds[] = {{0, 37.5}, {4, 37.5}, {8, 37.5}, {3, 150.0}, {1, 0.0}, {9, 0.0}};
    for (const auto& [slot, value] : bounds) EXPECT_DOUBLE_EQ(p.GetBoundValue(slot), value) << slot;

    // Below the quantitation limit: the flags use the concentration after factors.
    // x = 3 -> 22.5, between LOD 7.5 and LOQ 33.75.
    CPeakList low = Peaks({With(peak, [](CPeakData& p) { p.SetResponse(14.0); })});
    ASSERT_EQ(Quantify(curves, methods, low), kQuantifyOK);
    EXPECT_DOUBLE_EQ(low.GetAt(0).GetAnalConc(), 22.5);
    EXPECT_EQ(low.GetAt(0).GetLODFlag(), 0);
    EXPECT_EQ(low.GetAt(0).GetLOQFlag(), 1);
}

TEST(Quantify, UserResponseFactor) {
    CMethodData method = Method();
    method.SetUserRFMode(1);
    method.SetUserRF(5.0);
    CMethodList methods = Methods({method});
    // The user factor wins over any curve, valid or not.
    CCalibrationList curves = Curves({With(Curve("benzene", {0, 1}), [](CCalibrationData& k) { k.SetCurveValid(0); })});
    CPeakData peak = Located(1, 50.0, 25.0, 1.0);
    peak.SetLODFactor(3.0f);
    peak.SetLOQFactor(10.0f);
    CPeakList peaks = Peaks({peak});
    ASSERT_EQ(Quantify(curves, methods, peaks), kQuantifyOK);
    const CPeakData& p = peaks.GetAt(0);
    const double stored[] = {p.GetAnalConc(), p.GetEMPC(), p.GetDetectionThreshold(), p.GetQuantitationThreshold()};
    const double expected[] = {10.0, 5.0, 0.6, 2.0};
    for (size_t i = 0; i < std::size(stored); ++i) EXPECT_DOUBLE_EQ(stored[i], expected[i]) << i;

    // A user factor of 0 gives no concentration: valid stays 0 and the old value stays.
    for (double rf : {0.0, -1.0, std::nan("")}) {
        SCOPED_TRACE(rf);
        methods.GetAt(0).SetUserRF(rf);
        CPeakList none = Peaks({With(peak, [](CPeakData& p) { p.SetAnalConc(8.0); })});
        ASSERT_EQ(Quantify(curves, methods, none), kQuantifyOK);
        EXPECT_EQ(none.GetAt(0).GetValidConc(), 0);
        EXPECT_EQ(none.GetAt(0).GetAnalConc(), 8.0);
    }
}

TEST(Quantify, BoundValuesAtTheLimitUseTheChosenLimit) {
    CMethodList methods = Methods({With(Method(), [](CMethodData& m) { m.SetToxicEquiv(0, 1.0); })});
    CCalibrationList curves = Curves({Curve("benzene", {0, 1})});
    CPeakData peak = Located(1, 6.0, 6.0, 1.0);
    peak.SetLODFactor(2.0f);  // LOD 2
    peak.SetLOQFactor(6.0f);  // LOQ 6: the concentration equals it
    // Equal to the LOQ: LOQ, LOQ / 2, 0; against the LOD of 2 it is above: the concentration itself.
    const double expected[2][3] = {{6.0, 3.0, 0.0}, {6.0, 6.0, 6.0}};
    for (bool useTLOD : {false, true}) {
        SCOPED_TRACE(useTLOD);
        CQuanQuantify engine;
        engine.SetCalculateUsingTLOD(useTLOD);
        CPeakList peaks = Peaks({peak});
        ASSERT_EQ(Quantify(engine, curves, methods, peaks), kQuantifyOK);
        const CPeakData& p = peaks.GetAt(0);
        for (int k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(p.GetBoundValue(4 * k), expected[useTLOD][k]) << k;
        EXPECT_EQ(p.GetLOQFlag(), 0);  // at the limit is not below it
    }
    // Nor is a concentration exactly at the detection limit.
    peak.SetLODFactor(6.0f);
    CPeakList atLimit = Peaks({peak});
    ASSERT_EQ(Quantify(curves, methods, atLimit), kQuantifyOK);
    EXPECT_EQ(atLimit.GetAt(0).GetLODFlag(), 0);
}

TEST(Quantify, OneEngineQuantifiesASecondSampleAfresh) {
    CMethodData method = Method();
    method.SetMonitorBlankEnabled(1);
    method.SetMonitorBlankConc(1.0);
    CMethodList methods = Methods({method});
    CCalibrationList curves = Curves({Curve("benzene", {0, 2})});
    CQuanQuantify engine;
    CPeakList blank = Peaks({Located(1, 10.0)});
    ASSERT_EQ(Quantify(engine, curves, methods, blank, kBlank), kQuantifyOK);
    EXPECT_EQ(blank.GetAt(0).GetMatrixFlag(), 1);

    // The same peaks, quantified again as an analyte sample with another response: the blank's
    // flag does not survive and nothing of the first result is carried.
    blank.GetAt(0).SetResponse(4.0);
    blank.GetAt(0).SetCorrectedResponse(4.0);
    ASSERT_EQ(Quantify(engine, curves, methods, blank, kAnalyte), kQuantifyOK);
    EXPECT_EQ(blank.GetAt(0).GetMatrixFlag(), 0);
    EXPECT_DOUBLE_EQ(blank.GetAt(0).GetAnalConc(), 2.0);
    EXPECT_DOUBLE_EQ(blank.GetAt(0).GetEMPC(), 2.0);
}

// Curve i belongs to method entry i. An entry calibrated on another compound's curve is
// quantified with that curve, wherever it sits, without moving a curve out of its own entry's
// slot, whatever order the peaks come in; curves that sit in each other's slots still trade.
TEST(CurveSlotRepair, EntryOnAnotherCompoundsCurveMovesNoCurveFromItsOwnSlot) {
    // Curve names in slots 0 and 1 (slopes 2 and 4), before and after.
    const struct { const char* what; const char* slotNames[2]; bool calibratedEntryFirst; const char* namesAfter[2]; }
        cases[] = {
        {"own curves, A's peak first", {"X", "A"}, false, {"X", "A"}},
        {"own curves, X's peak first", {"X", "A"}, true, {"X", "A"}},
        {"a stranger beside A's own curve, named in lower case", {"Q", "a"}, false, {"Q", "a"}},
        {"X's slot holds a stranger", {"Q", "A"}, false, {"Q", "A"}},
        {"crossed: A's curve in X's slot", {"A", "X"}, false, {"X", "A"}},
    };
    for (const auto& c : cases) {
        CMethodList methods = Methods({With(Method("X"), [](CMethodData& m) { m.SetCalCompound("A"); }), Method("A")});
        CCalibrationList curves = Curves({Curve(c.slotNames[0], {0, 2}), Curve(c.slotNames[1], {0, 4})});
        // Every entry is quantified with A's curve (slope 4 in the crossed case too: A's is
        // the curve named A, wherever it is). Response 8 gives 2 for both.
        CPeakList peaks = c.calibratedEntryFirst ? Peaks({Located(1, 8.0), Located(2, 8.0)})
                                                 : Peaks({Located(2, 8.0), Located(1, 8.0)});
        ASSERT_EQ(Quantify(curves, methods, peaks), kQuantifyOK) << c.what;
        const double slopeOfA = c.slotNames[0] == std::string("A") ? 2.0 : 4.0;
        for (int j = 0; j < 2; ++j) EXPECT_DOUBLE_EQ(peaks.GetAt(j).GetAnalConc(), 8.0 / slopeOfA) << c.what;
        for (int i = 0; i < 2; ++i) EXPECT_EQ(curves.GetAt(i).GetName(), c.namesAfter[i]) << c.what << " slot " << i;
    }
}

TEST(QuantifyStamp, EveryQuantifiedPeakCarriesTheListsStampAndASecondCallTheNewOne) {
    CMethodList methods = Methods({Method("A"), Method("B"), Method("C")});
    // Slots 2 and 3 hold each other's curves: both are traded on the way.
    CCalibrationList curves =
        test_lists::Curves({Curve("A", {0.0, 2.0}), Curve("C", {0.0, 4.0}), Curve("B", {0.0, 3.0})});
    CPeakList peaks = Peaks({Located(1, 20.0), CPeakData(), Located(2, 30.0), Located(3, 40.0)});

    CQuanQuantify engine;
    engine.SetCurrentSample(CQuanSampleData());
    // The second call after a rename and a refit a day, an hour, a minute and a second later.
    const struct { const char* path; time_t modified; const char* name; } calls[] = {
        {"C:\\lab\\curves\\pesticides.cdb", 1700000000, "pesticides"},
        {"/data/refit.cdb", 1700000000 + 86400 + 3661, "refit"},
    };
    // The first peak's stamp (its formatting is tested on its own against worked dates) must be
    // new with each call and the same on every other quantified peak.
    std::string previousDate, previousTime;
    for (const auto& call : calls) {
        curves.SetDBName(call.path);
        curves.SetModifiedTime(call.modified);
        ASSERT_EQ(engine.DoQuantify(&curves, &methods, &peaks, ""), kQuantifyOK);
        const CPeakData& first = peaks.GetAt(0);
        EXPECT_NE(first.GetCurveDBDate(), previousDate);
        EXPECT_NE(first.GetCurveDBTime(), previousTime);
        for (int j : {0, 2, 3}) {
            SCOPED_TRACE(j);
            EXPECT_EQ(peaks.GetAt(j).GetCurveDBName(), call.name);
            EXPECT_EQ(peaks.GetAt(j).GetCurveDBDate(), first.GetCurveDBDate());
            EXPECT_EQ(peaks.GetAt(j).GetCurveDBTime(), first.GetCurveDBTime());
        }
        previousDate = first.GetCurveDBDate();
        previousTime = first.GetCurveDBTime();
    }
    EXPECT_EQ(peaks.GetAt(1).GetCurveDBName(), "");  // not located: not quantified, not stamped
    EXPECT_NEAR(peaks.GetAt(2).GetAnalConc(), 10.0, 1e-9);  // B's own curve: 30 / 3
    EXPECT_NEAR(peaks.GetAt(3).GetAnalConc(), 10.0, 1e-9);  // C's own curve: 40 / 4
    // A modified time beyond the calendar gives no date or time rather than a made-up one.
    curves.SetModifiedTime(std::numeric_limits<time_t>::max());
    ASSERT_EQ(engine.DoQuantify(&curves, &methods, &peaks, ""), kQuantifyOK);
    EXPECT_EQ(peaks.GetAt(0).GetCurveDBDate(), "");
    EXPECT_EQ(peaks.GetAt(0).GetCurveDBTime(), "");
}

TEST(CurveInversion, EveryCurveTypeWithEachTransformation) {
    struct InvertedCurve { double c[7]; int type, axis; double lo = 0.0, hi = 10.0; };
    const double e2 = std::exp(2.0);
    const struct { const char* what; InvertedCurve curve; double response, conc; } cases[] = {
        {"RF", {{0, 4}, 0, kAxisNone}, 10.0, 2.5},
        {"type 7 as RF", {{99, 5}, 7, kAxisNone}, 10.0, 2.0},
        {"linear", {{2, 4}, 1, kAxisNone}, 10.0, 2.0},
        {"linear, response below zero reads as 0", {{2, 4}, 1, kAxisNone}, -1.0, -0.5},
        {"linear Log", {{1, 2}, 1, kAxisLog10}, 1000.0, 10.0},  // y = 3, x = 1, 10^1
        {"linear sqrt", {{0, 1}, 1, kAxisSquareRoot}, 9.0, 9.0},     // y = 3, x = 3, 3^2
        {"RF Ln", {{0, 2}, 0, kAxisLn}, e2, std::exp(1.0)},
        {"quadratic, c2 > 0 takes the larger root", {{0, 0, 1}, 2, kAxisNone}, 4.0, 2.0},
        {"quadratic, c2 < 0 takes the smaller root", {{8, 0, -1}, 2, kAxisNone}, 4.0, -2.0},
        {"quadratic, double root", {{4, -4, 1}, 2, kAxisNone}, 0.0, 2.0},  // (x-2)^2, D = 0
        {"quadratic with c2 = 0 is its line", {{2, 4, 0}, 2, kAxisNone}, 10.0, 2.0},
        // Cubics: y = x^3 solved from the middle of 0..10 (Newton converges to the real root).
        {"cubic", {{0, 0, 0, 1}, 3, kAxisNone, 0.0, 10.0}, 27.0, 3.0},
        {"sixth order", {{0, 1, 0, 0, 0, 0, 1}, 6, kAxisNone, 0.0, 4.0}, 66.0, 2.0},  // 2 + 64
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        double conc = -999.0;
        const InvertedCurve& k = c.curve;
        ASSERT_EQ(CQuanQuantify::QuanGetConc(c.response, &conc, k.c, k.type, k.axis, k.lo, k.hi), kCurveSolved);
        // Newton stops within its 0.001 step tolerance of the root.
        EXPECT_NEAR(conc, c.conc, c.curve.type >= 3 ? 1e-3 * std::max(1.0, c.conc) : 1e-9);
    }
}

// A second-order curve is inverted at the root the curve's opening picks, computed in a form
// that does not cancel: a nearly straight calibration (curvature tiny against the slope) must
// give the concentration its line would, to the last digits.
TEST(StableQuadraticInversion, NearlyStraightCurvesKeepTheirDigits) {
    // The expected root is worked by hand.
    const struct { const char* what; double c[3], response, expected; } cases[] = {
        // 1e-16 x^2 + x = 1: x = 2 / (1 + sqrt(1 + 4e-16)) = 1 - 1e-16.
        {"upward, tiny curvature", {0, 1, 1e-16}, 1.0, 1.0},
        // -1e-16 x^2 + x = 1: the smaller root, 1 + 1e-16.
        {"downward, tiny curvature", {0, 1, -1e-16}, 1.0, 1.0},
        // 5 + 2e8 x + 3 x^2 at x = 1e-6 is 205.000000000003.
        {"low standard of a steep curve", {5, 2e8, 3}, 205.000000000003, 1e-6},
        // Negative slope: 2 x^2 - 3 x + 1 = 1 has roots 0 and 1.5, the larger taken.
        {"negative slope", {1, -3, 2}, 1.0, 1.5},
        // 1e-16 x^2 - x = 0: roots 0 and 1e16, the larger taken.
        {"negative slope, tiny curvature", {0, -1, 1e-16}, 0.0, 1e16},
    };
    for (const auto& c : cases) {
        double conc = -123.0;
        ASSERT_EQ(CQuanQuantify::QuanGetConc(c.response, &conc, c.c, 2, 0, 0.0, 1.0), kCurveSolved) << c.what;
        EXPECT_NEAR(conc, c.expected, 4e-15 * std::fabs(c.expected)) << c.what;
    }
}

namespace {
constexpr int kMemberA = 1, kMemberB = 2, kTotalsEntry = 3, kGroupEntry = 4;

// Entries 1 and 2 are congeners of the HxCB group, 3 its totals entry at 6.0 min, 4 a group
// of totals named PCB.
CMethodList TotalsMethods(int include = 0, float window = 0.0f) {
    const auto inGroup = [](const char* name, const char* group) {
        return With(Method(name), [group](CMethodData& m) { m.SetTotalsGroup(group); });
    };
    CMethodData totals = inGroup("Total HxCB", "HxCB");
    totals.SetLocateChoice(CMethodData::kTotalsChoice);
    totals.SetPredRT(6.0f);
    totals.SetLocateRTWin(window);
    totals.SetTotalsInclude(include);
    CMethodData group = inGroup("Total PCB", "PCB");
    group.SetLocateChoice(CMethodData::kTotalsGroupChoice);
    return Methods({inGroup("PCB 138", "HxCB"), inGroup("PCB 153", "HxCB"), totals, group});
}

// A quantified member of a group: concentration c, response 10 c, EMPC c + 0.5, toxic c / 10,
// bound values c and 2 c, detection threshold c / 100.
CPeakData Member(int e, double c, float foundRT = 6.0f, bool unnamed = false, const std::string& group = "HxCB") {
    CPeakData p = Located(e, 10.0 * c);
    p.SetTotalsGroup(group);
    p.SetFoundRT(foundRT);
    p.SetTotalsUnnamedPeak(unnamed ? 1 : 0);
    p.SetValidConc(1);
    p.SetAnalConc(c);
    p.SetEMPC(c + 0.5);
    p.SetUseEMPC(1);
    p.SetToxicConc(0, c / 10.0);
    p.SetBoundValue(0, c);
    p.SetBoundValue(11, 2.0 * c);
    p.SetDetectionThreshold(c / 100.0);
    return p;
}

CPeakData TotalsPeak(int e, const std::string& group, bool groupPeak = false) {
    CPeakData p = Located(e, 0.0);
    if (groupPeak) p.SetTotalsGroupPeak(1);
    else p.SetTotalsPeak(1);
    p.SetTotalsGroup(group);
    // Values of an earlier run, which the reset must clear.
    p.SetAnalConc(99.0);
    p.SetValidConc(1);
    p.SetTotalsNumPeaks(9);
    p.SetBoundValue(5, 99.0);
    p.SetToxicConc(2, 99.0);
    p.SetDetectionThreshold(7.0);
    return p;
}

int QuantifyTotals(CPeakList& peaks, CMethodList& methods, int sampleType = kAnalyte) {
    CQuanQuantify engine;
    engine.SetCurrentSample(Sample(sampleType));
    return engine.QuantifyTotalsEntries(&peaks, &methods);
}
}  // namespace

TEST(TotalsQuantify, MembersAreSummedByIncludeChoice) {
    const CPeakData deleted = With(Member(kMemberB, 100.0), [](CPeakData& p) { p.SetPeakDeleted(1); });
    const CPeakData invalid = With(Member(kMemberB, 200.0), [](CPeakData& p) { p.SetValidConc(0); });
    const CPeakData noEMPC = With(Member(kMemberB, 3.0), [](CPeakData& p) { p.SetUseEMPC(0); });
    const CPeakData otherGroup = Member(kMemberB, 500.0, 6.0f, false, "PeCB");
    const CPeakData unassigned = With(Member(kMemberB, 600.0), [](CPeakData& p) { p.SetMDBEntry(0); });
    const struct { int include; double conc, response, empc, toxic, bound0, bound11, lod; int numPeaks; } cases[] = {
        // Named 2 and 3, unnamed 4; the deleted and invalid members add bound values only.
        // Without "named only" the thresholds are neither reset nor summed: the 7 stays.
        {0, 9.0, 90.0, 2.5 + 4.5, 0.9, 309.0, 618.0, 7.0, 3},
        {1, 5.0, 50.0, 2.5, 0.5, 305.0, 610.0, 0.02 + 0.03 + 1.0 + 2.0, 2},
        {2, 4.0, 40.0, 4.5, 0.4, 4.0, 8.0, 7.0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.include);
        CMethodList methods = TotalsMethods(c.include);
        CPeakList peaks = Peaks({Member(kMemberA, 2.0), noEMPC, Member(kMemberA, 4.0, 6.0f, true), deleted, invalid,
                                 otherGroup, unassigned, TotalsPeak(kTotalsEntry, "HxCB")});
        ASSERT_EQ(QuantifyTotals(peaks, methods), kQuantifyOK);
        const CPeakData& t = peaks.GetAt(7);
        EXPECT_EQ(t.GetTotalsNumPeaks(), c.numPeaks);
        const double summed[] = {t.GetAnalConc(),     t.GetResponse(),      t.GetEMPC(),          t.GetToxicConc(0),
                                 t.GetBoundValue(0),  t.GetBoundValue(11),  t.GetDetectionThreshold(),
                                 t.GetToxicConc(2),   t.GetBoundValue(5)};  // the last two reset, not summed
        const double expected[] = {c.conc, c.response, c.empc, c.toxic, c.bound0, c.bound11, c.lod, 0.0, 0.0};
        for (size_t i = 0; i < std::size(summed); ++i) EXPECT_DOUBLE_EQ(summed[i], expected[i]) << i;
    }
}

TEST(TotalsQuantify, GroupSumsTotalsButNeverItself) {
    CMethodList methods = TotalsMethods();
    const auto total = [](double c, float foundRT, int numPeaks, int include) {
        CPeakData p = Member(kTotalsEntry, c, foundRT, false, "PCB");
        p.SetTotalsPeak(1);
        p.SetTotalsNumPeaks(numPeaks);
        p.SetTotalsInclude(include);
        return p;
    };
    // Flagged, outside any window, without the EMPC switch: no test of these at this level.
    const CPeakData hx = With(total(5.0, 6.0f, 2, 1), [](CPeakData& p) { p.SetIRWinFlag(1); });
    const CPeakData pe = With(total(7.0, 99.0f, 3, 2), [](CPeakData& p) { p.SetUseEMPC(0); });
    CPeakData gone = total(11.0, 6.0f, 0, 0);
    gone.SetPeakDeleted(1);
    CPeakData placeholder = total(13.0, 6.0f, 0, 0);
    placeholder.SetPlaceHolder(1);  // a placeholder total still counts in a group
    CPeakData ordinary = Member(kMemberA, 1000.0, 6.0f, false, "PCB");
    const CPeakData group = With(TotalsPeak(kGroupEntry, "PCB", true), [](CPeakData& p) { p.SetAnalConc(1.0); });
    const struct { int include; double conc, empc, lod; int numPeaks; } cases[] = {
        // 5 + 7 + 13; EMPCs 5.5 + 7.5 + 13.5; thresholds of all four totals (the deleted one too).
        {0, 25.0, 26.5, 0.05 + 0.07 + 0.11 + 0.13, 5},
        {1, 5.0, 5.5, 0.05, 2},
        {2, 7.0, 7.5, 0.07, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.include);
        methods.GetAt(kGroupEntry - 1).SetTotalsInclude(c.include);
        placeholder.SetTotalsInclude(c.include == 0 ? 0 : 3);
        gone.SetTotalsInclude(c.include == 0 ? 0 : 3);
        CPeakList peaks = Peaks({group, hx, pe, gone, placeholder, ordinary});
        CQuanQuantify engine;
        ASSERT_EQ(engine.QuantifyTotalsGroupEntry(&peaks.GetAt(0), &peaks, &methods.GetAt(kGroupEntry - 1)), 0);
        const CPeakData& g = peaks.GetAt(0);
        EXPECT_DOUBLE_EQ(g.GetAnalConc(), c.conc);
        EXPECT_DOUBLE_EQ(g.GetEMPC(), c.empc);
        EXPECT_DOUBLE_EQ(g.GetDetectionThreshold(), c.lod);
        EXPECT_EQ(g.GetTotalsNumPeaks(), c.numPeaks);
        EXPECT_EQ(g.GetValidConc(), 1);
    }
}

TEST(TotalsQuantify, GroupsSeeCompleteTotalsWhateverTheirPlaceInTheList) {
    CMethodList methods = TotalsMethods();
    // The total belongs to the PCB group as well as summing HxCB members: its group text names
    // both, and so its members are the HxCB peaks (whose text also matches the total's list).
    CPeakData total = TotalsPeak(kTotalsEntry, "HxCB PCB");
    CPeakList peaks = Peaks({TotalsPeak(kGroupEntry, "PCB", true), Member(kMemberA, 2.0), Member(kMemberB, 3.0), total});
    ASSERT_EQ(QuantifyTotals(peaks, methods), kQuantifyOK);
    EXPECT_DOUBLE_EQ(peaks.GetAt(3).GetAnalConc(), 5.0);
    EXPECT_EQ(peaks.GetAt(3).GetTotalsNumPeaks(), 2);
    // The group, listed first, was summed after the total was complete.
    EXPECT_DOUBLE_EQ(peaks.GetAt(0).GetAnalConc(), 5.0);
    EXPECT_EQ(peaks.GetAt(0).GetTotalsNumPeaks(), 2);

    // Statuses: missing lists 17; a total naming no entry is passed over.
    CQuanQuantify engine;
    EXPECT_EQ(engine.QuantifyTotalsEntries(nullptr, &methods), kQuantifyMissingList);
    EXPECT_EQ(engine.QuantifyTotalsEntries(&peaks, nullptr), kQuantifyMissingList);
    CPeakList odd = Peaks({Member(kMemberA, 2.0), TotalsPeak(9, "HxCB")});
    ASSERT_EQ(engine.QuantifyTotalsEntries(&odd, &methods), kQuantifyOK);
    EXPECT_EQ(odd.GetAt(1).GetAnalConc(), 99.0);
}

// --- semi-quantitative entries ---

namespace {
constexpr int kIron = 26, kCopper = 29;

tagELEMENTstruct Iron() {
    tagELEMENTstruct fe = completion_test::Element("Fe", 55.845, {{53.94, 5.8}, {55.93, 91.7}, {56.94, 2.1}});
    fe.ResponseFactor = 100.0;
    fe.ScaleFactor = 2.0;
    fe.Isotopes[1].ResponseFactor = 10.0;
    fe.Isotopes[2].ResponseFactor = 50.0;
    fe.Isotopes[0].Mass = 55.9;  // slot 0 is never searched
    fe.Isotopes[0].ResponseFactor = 999.0;
    fe.IsotopeInUse[0] = 1;
    return fe;
}

tagELEMENTstruct Copper() {
    tagELEMENTstruct cu = completion_test::Element("Cu", 63.546, {{62.93, 69.2}, {64.93, 30.8}});
    cu.ResponseFactor = 3.0;
    cu.ScaleFactor = 4.0;
    cu.Isotopes[1].ResponseFactor = 0.5;
    return cu;
}

CMethodData ElementEntry(const std::string& name, int atomicNumber, const std::string& trace,
                         const std::string& flags = "NNNS") {
    CMethodData m = Method(name);
    m.SetPredRT(static_cast<float>(atomicNumber));
    m.SetQuanTrace(trace);
    m.SetFlags(flags);
    return m;
}

}  // namespace

TEST(TotalsQuantify, SemiQuantitativeConcentrationsAndEveryFailureExit) {
    completion_test::PeriodicDatabaseFile db("quantify_semiquan.db", {{kIron, Iron()}, {kCopper, Copper()}});
    const int openBefore = PeriodicDatabaseOpenCount();
    // Entries: 1 the compound under test, 2 copper at 63, 3 an element the database lacks, 4 copper
    // at a mass without an isotope. A failure stores and gives 0 with the no-solution flag.
    // An empty database name: the test's database.
    const struct { const char* what; std::string flags, trace; int element, reference, entry; std::string dbName;
                   double conc; } cases[] = {
        {"isotope factor", "NNNS", "55.9", kIron, 0, 1, "", 500.0 / (50.0 * 2.0)},
        {"element factor", "YNNS", "55.9", kIron, 0, 1, "", 500.0 / (2.0 * 100.0)},
        {"isotope, reference isotope", "NNNS", "55.9", kIron, 2, 1, "", 5.0 * 0.5},          // Cu 63 factor alone
        {"element, reference element", "YNNS", "55.9", kIron, 2, 1, "", 2.5 * 4.0 * 3.0},  // Cu scale x factor
        {"no database", "NNNS", "55.9", kIron, 0, 1, "/nonexistent/periodic.db", 0.0},
        {"no method entry", "NNNS", "55.9", kIron, 0, 5, "", 0.0},
        {"no element record", "NNNS", "55.9", 50, 0, 1, "", 0.0},
        {"no isotope at the trace mass", "NNNS", "99.0", kIron, 0, 1, "", 0.0},
        {"no reference entry", "NNNS", "55.9", kIron, 7, 1, "", 0.0},
        {"no reference element record", "NNNS", "55.9", kIron, 3, 1, "", 0.0},
        {"no isotope at the reference's mass", "NNNS", "55.9", kIron, 4, 1, "", 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CMethodData fe = ElementEntry("Fe", c.element, c.trace, c.flags);
        fe.SetRRef(c.reference);
        CMethodList methods = Methods({fe, ElementEntry("Cu", kCopper, "63.0"), ElementEntry("X", 50, "63.0"),
                                       ElementEntry("Cu", kCopper, "99.0")});
        CQuanQuantify engine;
        engine.SetPeriodicDBName(c.dbName.empty() ? db.Path() : c.dbName);
        CPeakData peak = Located(c.entry, 500.0);
        peak.SetFlags(c.flags);
        peak.SetAnalConc(77.0);  // an earlier result: never left standing
        EXPECT_DOUBLE_EQ(engine.DoSemiQuanQuan(&peak, &methods), c.conc);
        EXPECT_EQ(peak.GetNoSolutionFlag(), c.conc == 0.0 ? 1 : 0);
        EXPECT_DOUBLE_EQ(peak.GetAnalConc(), c.conc);
        EXPECT_EQ(PeriodicDatabaseOpenCount(), openBefore);
    }
}
