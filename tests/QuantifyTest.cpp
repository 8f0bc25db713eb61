// The quantification driver: one calibrated entry with factors, limits and toxic equivalents,
// reuse of an engine, and one complete located-and-quantified sample checked against
// hand-worked values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "LocateCompletionSupport.h"
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
    EXPECT_DOUBLE_EQ(p.GetAnalConc(), 75.0);
    EXPECT_DOUBLE_EQ(p.GetEMPC(), 37.5);
    EXPECT_DOUBLE_EQ(p.GetDetectionThreshold(), 7.5);
    EXPECT_DOUBLE_EQ(p.GetQuantitationThreshold(), 33.75);
    EXPECT_EQ(p.GetLODFlag(), 0);
    EXPECT_EQ(p.GetLOQFlag(), 0);
    EXPECT_EQ(p.GetNoSolutionFlag(), 0);
    EXPECT_DOUBLE_EQ(p.GetToxicConc(0), 37.5);
    EXPECT_DOUBLE_EQ(p.GetToxicConc(1), 0.0);
    EXPECT_DOUBLE_EQ(p.GetToxicConc(3), 150.0);
    EXPECT_DOUBLE_EQ(p.GetToxicLOD(0), 3.75);
    EXPECT_DOUBLE_EQ(p.GetToxicLOQ(3), 67.5);
    // Above their limits, all three bounds are the toxic concentration; a zero toxic factor gives
    // a zero concentration at its zero limit: upper 0, medium 0, lower 0.
    EXPECT_DOUBLE_EQ(p.GetBoundValue(0), 37.5);
    EXPECT_DOUBLE_EQ(p.GetBoundValue(4), 37.5);
    EXPECT_DOUBLE_EQ(p.GetBoundValue(8), 37.5);
    EXPECT_DOUBLE_EQ(p.GetBoundValue(3), 150.0);
    EXPECT_DOUBLE_EQ(p.GetBoundValue(1), 0.0);
    EXPECT_DOUBLE_EQ(p.GetBoundValue(9), 0.0);

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
    EXPECT_DOUBLE_EQ(p.GetAnalConc(), 5.0);
    EXPECT_DOUBLE_EQ(p.GetRRFMean(), 4.1);
    EXPECT_DOUBLE_EQ(p.GetRRFStdDev(), 0.2);
    EXPECT_DOUBLE_EQ(p.GetRRFPercRelSD(), 4.9);
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
    EXPECT_DOUBLE_EQ(peaks.GetAt(0).GetAnalConc(), 10.0);
    EXPECT_DOUBLE_EQ(peaks.GetAt(0).GetEMPC(), 5.0);
    EXPECT_DOUBLE_EQ(peaks.GetAt(0).GetDetectionThreshold(), 0.6);
    EXPECT_DOUBLE_EQ(peaks.GetAt(0).GetQuantitationThreshold(), 2.0);

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
    for (bool useTLOD : {false, true}) {
        SCOPED_TRACE(useTLOD);
        CQuanQuantify engine;
        engine.SetCalculateUsingTLOD(useTLOD);
        CPeakList peaks = Peaks({peak});
        ASSERT_EQ(Quantify(engine, curves, methods, peaks), kQuantifyOK);
        const CPeakData& p = peaks.GetAt(0);
        if (useTLOD) {  // 6 is above the LOD of 2: the concentration itself
            EXPECT_DOUBLE_EQ(p.GetBoundValue(0), 6.0);
            EXPECT_DOUBLE_EQ(p.GetBoundValue(4), 6.0);
            EXPECT_DOUBLE_EQ(p.GetBoundValue(8), 6.0);
        } else {  // equal to the LOQ: LOQ, LOQ / 2, 0
            EXPECT_DOUBLE_EQ(p.GetBoundValue(0), 6.0);
            EXPECT_DOUBLE_EQ(p.GetBoundValue(4), 3.0);
            EXPECT_DOUBLE_EQ(p.GetBoundValue(8), 0.0);
        }
    }
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

// A small PCB batch sample: an internal standard and two congeners on it, located by the
// location engine, then quantified through curves as fitting leaves them (relative response
// against concentration, in the internal standard's units).
TEST(Quantify, CompleteRunOfALocatedSample) {
    using namespace completion_test;
    CMethodData standard = Entry("PCB 209-13C", 5.0f, "300.0");
    standard.SetRCalc(kES);
    standard.SetStdConc(10.0);
    standard.SetCalCompound("PCB 209-13C");
    CMethodData pcb138 = Entry("PCB 138", 6.0f, "290.0");
    pcb138.SetRCalc(kIS);
    pcb138.SetRRef(1);
    pcb138.SetStdLevels(2);
    pcb138.SetCalCompound("PCB 138");
    pcb138.SetDetectionThreshold(3.0);
    pcb138.SetQuantitationThreshold(10.0);
    pcb138.SetToxicEquiv(0, 0.1);
    CMethodData pcb153 = pcb138;
    pcb153.SetName("PCB 153");
    pcb153.SetCalCompound("PCB 153");
    pcb153.SetPredRT(6.5f);
    CMethodList methods = completion_test::Methods({standard, pcb138, pcb153});

    CPeakData isPeak = completion_test::Peak(5.01f, 5000.0, 500.0, "300.0");
    isPeak.SetChromNoise(20.0);
    CPeakData p138 = completion_test::Peak(6.0f, 2000.0, 250.0, "290.0");
    p138.SetChromNoise(25.0);
    CPeakData p153 = completion_test::Peak(6.52f, 300.0, 30.0, "290.0");
    p153.SetChromNoise(30.0);
    CPeakList peaks = completion_test::Peaks({isPeak, p138, p153});

    CSampleRecord record = completion_test::Sample(0);
    record.SetUserFactor2(4.0);   // user dilution
    record.SetUserFactor3(5.0);   // extract volume
    record.SetUserDivisor1(2.0);  // initial amount
    CQuanLocate locate;
    ASSERT_EQ(locate.QuanDoLocation(methods, peaks, record, "unused.db"), kLocateOK);
    // Location: IS response 5000 / 10 = 500; PCB 138 2000 / 500 = 4, PCB 153 300 / 500 = 0.6;
    // noise responses 10 x 25 / 500 = 0.5 and 10 x 30 / 500 = 0.6.
    ASSERT_DOUBLE_EQ(peaks.GetAt(1).GetResponse(), 4.0);
    ASSERT_DOUBLE_EQ(peaks.GetAt(2).GetResponse(), 0.6);

    // Curves: the standard 500 per unit (response factor); PCB 138 y = 0.1 + 0.5 x;
    // PCB 153 y = 0.2 x (response factor).
    CCalibrationList curves = Curves({quantify_test::Curve("PCB 209-13C", {0, 500}, kRF),
                                      quantify_test::Curve("PCB 138", {0.1, 0.5}, kLinear),
                                      quantify_test::Curve("PCB 153", {0, 0.2}, kRF)});
    curves.SetDBName("C:\\curves\\pcb.cdb");
    CQuanQuantify engine;
    CQuanSampleData sample(record);
    engine.SetCurrentSample(sample);
    ASSERT_EQ(engine.DoQuantify(&curves, &methods, &peaks, "periodic.db"), kQuantifyOK);

    // Factors for the congeners: 4 x 5 / 2 = 10; the standard is at a fixed level, undiluted.
    const CPeakData& is = peaks.GetAt(0);
    EXPECT_DOUBLE_EQ(is.GetAnalConc(), 10.0);  // 5000 / 500
    const CPeakData& a = peaks.GetAt(1);
    EXPECT_DOUBLE_EQ(a.GetAnalConc(), 78.0);                 // (4 - 0.1) / 0.5 = 7.8, x 10
    EXPECT_DOUBLE_EQ(a.GetDetectionThreshold(), 28.0);       // (3 x 0.5 - 0.1) / 0.5 = 2.8
    EXPECT_DOUBLE_EQ(a.GetQuantitationThreshold(), 98.0);    // (10 x 0.5 - 0.1) / 0.5 = 9.8
    EXPECT_EQ(a.GetLOQFlag(), 1);
    EXPECT_EQ(a.GetLODFlag(), 0);
    EXPECT_DOUBLE_EQ(a.GetToxicConc(0), 7.8);
    EXPECT_DOUBLE_EQ(a.GetBoundValue(0), 9.8);  // at or below its toxic LOQ of 9.8
    EXPECT_DOUBLE_EQ(a.GetBoundValue(4), 4.9);
    EXPECT_EQ(a.GetCurveDBName(), "pcb");
    const CPeakData& b = peaks.GetAt(2);
    EXPECT_DOUBLE_EQ(b.GetAnalConc(), 30.0);               // 0.6 / 0.2 = 3, x 10
    EXPECT_DOUBLE_EQ(b.GetDetectionThreshold(), 90.0);     // 3 x 0.6 / 0.2 = 9, x 10
    EXPECT_EQ(b.GetLODFlag(), 1);
    for (int j = 0; j < 3; ++j) EXPECT_EQ(peaks.GetAt(j).GetValidConc(), 1);
}
