// The quantification driver: run statuses, one calibrated entry with factors, limits and toxic
// equivalents, response-factor curves and user factors, bounds at a limit, reuse of an engine,
// and the curve an entry calibrated on another compound is quantified with.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <utility>

#include "QuantifyTestSupport.h"
#include "quan.h"

using namespace quantify_test;

TEST(Quantify, RunStatuses) {
    // Lists of different size: 5, and no peak is touched.
    CMethodList methods = Methods({Method(), Method("toluene")});
    CCalibrationList curves = Curves({Curve("benzene", {0, 2})});
    CPeakList peaks = Peaks({Located(1, 10.0)});
    peaks.GetAt(0).SetAnalConc(123.0);
    CQuanQuantify engine;
    engine.SetPeriodicDBName("kept.db");
    EXPECT_EQ(engine.DoQuantify(&curves, &methods, &peaks, "other.db"), kQuantifyListsUnequal);
    EXPECT_EQ(peaks.GetAt(0).GetAnalConc(), 123.0);
    EXPECT_EQ(peaks.GetAt(0).GetCurveDBName(), "");
    EXPECT_EQ(engine.GetPeriodicDBName(), "kept.db");

    // A missing list: 17.
    EXPECT_EQ(engine.DoQuantify(nullptr, &methods, &peaks, "x"), kQuantifyMissingList);
    EXPECT_EQ(engine.DoQuantify(&curves, &methods, nullptr, "x"), kQuantifyMissingList);

    // A peak naming an entry beyond the method list: 13, and the peaks before it keep their results.
    CMethodList one = Methods({Method()});
    CPeakList beyond = Peaks({Located(1, 10.0), Located(2, 10.0), Located(1, 20.0)});
    EXPECT_EQ(engine.DoQuantify(&curves, &one, &beyond, "p.db"), kQuantifyBadEntry);
    EXPECT_EQ(engine.GetPeriodicDBName(), "p.db");
    EXPECT_DOUBLE_EQ(beyond.GetAt(0).GetAnalConc(), 5.0);
    EXPECT_EQ(beyond.GetAt(2).GetValidConc(), 0);

    // A response basis that is neither area nor height: 13.
    CMethodData badBasis = Method();
    badBasis.SetRAH(2);
    CMethodList bad = Methods({badBasis});
    CPeakList lone = Peaks({Located(1, 10.0)});
    EXPECT_EQ(Quantify(curves, bad, lone), kQuantifyBadEntry);
    EXPECT_EQ(lone.GetAt(0).GetValidConc(), 0);

    // The per-entry step refuses a peak that names no entry.
    CPeakData unassigned = Located(0, 10.0);
    EXPECT_EQ(engine.QuantifyPDBEntry(&curves.GetAt(0), &unassigned, &one), kQuantifyBadEntry);

    // An empty peak list is quantified with 0.
    CPeakList empty;
    EXPECT_EQ(Quantify(curves, one, empty), kQuantifyOK);
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
    CPeakList low = Peaks({peak});
    low.GetAt(0).SetResponse(14.0);  // x = 3 -> 22.5, between LOD 7.5 and LOQ 33.75
    ASSERT_EQ(Quantify(curves, methods, low), kQuantifyOK);
    EXPECT_DOUBLE_EQ(low.GetAt(0).GetAnalConc(), 22.5);
    EXPECT_EQ(low.GetAt(0).GetLODFlag(), 0);
    EXPECT_EQ(low.GetAt(0).GetLOQFlag(), 1);

    // Totals method entries never get the limit flags from this step.
    CMethodData totals = method;
    totals.SetLocateChoice(CMethodData::kTotalsChoice);
    CMethodList totalsMethods = Methods({totals});
    CPeakList totalsLow = Peaks({peak});
    totalsLow.GetAt(0).SetResponse(3.0);
    ASSERT_EQ(Quantify(curves, totalsMethods, totalsLow), kQuantifyOK);
    EXPECT_EQ(totalsLow.GetAt(0).GetLODFlag(), 0);
    EXPECT_EQ(totalsLow.GetAt(0).GetLOQFlag(), 0);
}

TEST(Quantify, ResponseFactorCurveCopiesItsStatistics) {
    CMethodList methods = Methods({Method()});
    CCalibrationData rf = Curve("benzene", {0, 4}, kRF);
    rf.SetMeanRelResp(4.1);
    rf.SetStdDev(0.2);
    rf.SetPercRelSD(4.9);
    rf.SetMinCCFlag(1);
    CCalibrationList curves = Curves({rf});
    CPeakList peaks = Peaks({Located(1, 20.0)});
    ASSERT_EQ(Quantify(curves, methods, peaks), kQuantifyOK);
    const CPeakData& p = peaks.GetAt(0);
    const double stored[] = {p.GetAnalConc(), p.GetRRFMean(), p.GetRRFStdDev(), p.GetRRFPercRelSD()};
    const double expected[] = {5.0, 4.1, 0.2, 4.9};
    for (size_t i = 0; i < std::size(stored); ++i) EXPECT_DOUBLE_EQ(stored[i], expected[i]) << i;
    EXPECT_EQ(p.GetMinCCFlag(), 1);

    // A linear curve leaves the mean RRF at the 0 of the reset.
    CCalibrationList linear = Curves({Curve("benzene", {0, 4})});
    CPeakList again = Peaks({Located(1, 20.0)});
    again.GetAt(0).SetRRFMean(7.0);
    ASSERT_EQ(Quantify(linear, methods, again), kQuantifyOK);
    EXPECT_EQ(again.GetAt(0).GetRRFMean(), 0.0);
    EXPECT_EQ(again.GetAt(0).GetMinCCFlag(), 0);
}

TEST(Quantify, UserResponseFactor) {
    CMethodData method = Method();
    method.SetUserRFMode(1);
    method.SetUserRF(5.0);
    CMethodList methods = Methods({method});
    // The user factor wins over any curve, valid or not.
    CCalibrationList curves = Curves({Curve("benzene", {0, 1})});
    curves.GetAt(0).SetCurveValid(0);
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
        CPeakList none = Peaks({peak});
        none.GetAt(0).SetAnalConc(8.0);
        ASSERT_EQ(Quantify(curves, methods, none), kQuantifyOK);
        EXPECT_EQ(none.GetAt(0).GetValidConc(), 0);
        EXPECT_EQ(none.GetAt(0).GetAnalConc(), 8.0);
    }
}

TEST(Quantify, BoundValuesAtTheLimitUseTheChosenLimit) {
    CMethodData method = Method();
    method.SetToxicEquiv(0, 1.0);
    CMethodList methods = Methods({method});
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
    EXPECT_EQ(engine.GetCurrentSample().GetSampleType(), kAnalyte);
}

// Curve i belongs to method entry i. An entry calibrated on another compound's curve is
// quantified with that curve, wherever it sits, without moving a curve out of its own entry's
// slot, whatever order the peaks come in; curves that sit in each other's slots still trade.
TEST(CurveSlotRepair, EntryOnAnotherCompoundsCurveMovesNoCurveFromItsOwnSlot) {
    const struct {
        const char* what;
        const char* slotNames[2];  // curve names in slots 0 and 1: slopes 2 and 4
        bool calibratedEntryFirst;
        const char* namesAfter[2];
    } cases[] = {
        {"own curves, A's peak first", {"X", "A"}, false, {"X", "A"}},
        {"own curves, X's peak first", {"X", "A"}, true, {"X", "A"}},
        {"X's slot holds a stranger", {"Q", "A"}, false, {"Q", "A"}},
        {"crossed: A's curve in X's slot", {"A", "X"}, false, {"X", "A"}},
    };
    for (const auto& c : cases) {
        CMethodData x = Method("X");
        x.SetCalCompound("A");
        CMethodList methods = Methods({x, Method("A")});
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
