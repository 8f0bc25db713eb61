// Result flags of a stored concentration: report and maximum limits, recovery, curve quality,
// blank monitoring, the banded QC and standard deviation test in every band, and analyte
// monitoring; each at and just past its threshold. Every case quantifies one peak through a
// response-factor curve of slope 1, so the stored concentration is the peak's response.
#include <gtest/gtest.h>

#include "QuantifyTestSupport.h"
#include "quan.h"

using namespace quantify_test;

namespace {
struct Outcome {
    CPeakData peak;
    int status;
};

// Quantifies one peak of concentration `conc` (expected `fixed`) in a sample of `sampleType`.
Outcome Quantified(const CMethodData& method, double conc, double fixed, int sampleType,
               CCalibrationData curve = Curve("benzene", {0, 1}, kRF), bool withCurve = true,
               const CPeakData* start = nullptr) {
    CMethodList methods = Methods({method});
    CQuanQuantify engine;
    engine.SetCurrentSample(Sample(sampleType));
    CPeakData peak = start != nullptr ? *start : Located(1, conc);
    peak.SetResponse(conc);
    peak.SetCorrectedResponse(conc);
    peak.SetFixedConc(fixed);
    const int status = engine.QuantifyPDBEntry(withCurve ? &curve : nullptr, &peak, &methods);
    return {peak, status};
}

// A QC method whose bands are: low up to 5 (threshold 10 %), mid up to 20 (20 %), high (30 %).
CMethodData QCMethod(bool midConc, bool lowConc) {
    CMethodData m = Method();
    m.SetMonitorQCEnabled(1);
    m.SetMonitorQCHighThresh(30.0);
    m.SetMonitorQCMidThresh(20.0);
    m.SetMonitorQCLowThresh(10.0);
    m.SetMonitorQCHighThreshEnabled(1);
    m.SetMonitorQCMidThreshEnabled(1);
    m.SetMonitorQCLowThreshEnabled(1);
    m.SetMonitorQCMidConcEnabled(midConc ? 1 : 0);
    m.SetMonitorQCLowConcEnabled(lowConc ? 1 : 0);
    m.SetMonitorQCMidConc(20.0);
    m.SetMonitorQCLowConc(5.0);
    return m;
}

struct DevFlags {
    int high, mid, low, methodDev;
    double thresh;
};
DevFlags Flags(const CPeakData& p) {
    return {p.GetQCDevHighFlag(), p.GetQCDevMidFlag(), p.GetQCDevLowFlag(), p.GetMethodQCDevFlag() ? 1 : 0,
            p.GetMethodQCDevThresh()};
}
}  // namespace

TEST(ResultFlags, ReportAndMaximumLimitsAreStrictAndCleared) {
    CMethodData m = Method();
    m.SetReportLimitFlag(1);
    m.SetReportLimit(10.0);
    m.SetConcLimitFlag(1);
    m.SetMaxConcLimit(20.0);
    CPeakData earlier = Located(1, 0.0);
    earlier.SetReportFlag(1);
    earlier.SetMaxConcFlag(1);
    const struct { double conc; int report, max; } cases[] = {
        {10.0, 0, 0}, {10.0001, 1, 0}, {20.0, 1, 0}, {20.0001, 1, 1}, {5.0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.conc);
        const Outcome r = Quantified(m, c.conc, 0.0, kAnalyte, Curve("benzene", {0, 1}, kRF), true, &earlier);
        EXPECT_EQ(r.peak.GetReportFlag(), c.report);
        EXPECT_EQ(r.peak.GetMaxConcFlag(), c.max);
    }
    // Switched off, neither is set however high the result, and earlier flags are cleared.
    m.SetReportLimitFlag(0);
    m.SetConcLimitFlag(0);
    const Outcome off = Quantified(m, 1e6, 0.0, kAnalyte, Curve("benzene", {0, 1}, kRF), true, &earlier);
    EXPECT_EQ(off.peak.GetReportFlag(), 0);
    EXPECT_EQ(off.peak.GetMaxConcFlag(), 0);
}

TEST(ResultFlags, RecoveryBySampleType) {
    CMethodData m = Method();
    m.SetMinRecovery(80.0);
    m.SetMaxRecovery(120.0);
    m.SetRecoveryFlagAnalyte(1);
    m.SetRecoveryFlagQC(1);
    m.SetRecoveryFlagRecovery(1);
    // Recovery of a result against an expected 10 is conc x 10 (no factors).
    const struct { int type; double conc, fixed; int flag; } cases[] = {
        {kAnalyte, 12.0, 10.0, 0},   // 120: at the maximum
        {kAnalyte, 12.01, 10.0, 1},  // 120.1
        {kQC, 8.0, 10.0, 0},         // 80: at the minimum
        {kQC, 7.99, 10.0, 1},
        {kRecovery, 13.0, 10.0, 1},
        {kRecovery, 13.0, 0.0, 0},   // no expected concentration: no test
        {kStandard, 13.0, 10.0, 0},  // standards take no recovery test
        {kBlank, 13.0, 10.0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << " " << c.conc);
        EXPECT_EQ(Quantified(m, c.conc, c.fixed, c.type).peak.GetRecoveryFlag(), c.flag);
    }
    // Each sample type reads its own switch.
    m.SetRecoveryFlagQC(0);
    EXPECT_EQ(Quantified(m, 13.0, 10.0, kQC).peak.GetRecoveryFlag(), 0);
    EXPECT_EQ(Quantified(m, 13.0, 10.0, kAnalyte).peak.GetRecoveryFlag(), 1);
    // The flag is only set here: one set earlier survives a result in range.
    CPeakData earlier = Located(1, 0.0);
    earlier.SetRecoveryFlag(1);
    EXPECT_EQ(Quantified(m, 10.0, 10.0, kAnalyte, Curve("benzene", {0, 1}, kRF), true, &earlier)
                  .peak.GetRecoveryFlag(), 1);
}

TEST(ResultFlags, CurveQualityFollowsTheMethodCurveTypeAndNeedsACurve) {
    CMethodData m = Method();
    m.SetCoeffDetFlag(1);
    m.SetMinCoeffDet(0.99);
    m.SetMaxStdDevFlag(1);
    m.SetMaxStdDev(5.0);
    const struct {
        int methodType;
        double corr, rsd;
        int coeffDet, maxStdDev;
    } cases[] = {
        {kLinear, 0.99, 9.0, 1, 0},    // r^2 0.9801 < 0.99; RSD is not tested for a linear entry
        {kLinear, 0.995, 9.0, 0, 0},   // 0.990025
        {kLinear, -0.99, 9.0, 1, 0},   // r^2 regardless of sign
        {kQuadratic, 0.9, 9.0, 1, 0},
        {kRF, 0.5, 5.0, 0, 0},         // RF entries take no r^2 test; RSD 5 is at the maximum
        {kRF, 0.5, 5.01, 0, 1},
        {7, 0.5, 9.0, 0, 0},           // type 7: neither test
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.methodType << " " << c.corr << " " << c.rsd);
        m.SetCCalc(c.methodType);
        CCalibrationData curve = Curve("benzene", {0, 1}, kRF);
        curve.SetCorrCoeff(c.corr);
        curve.SetPercRelSD(c.rsd);
        const Outcome r = Quantified(m, 5.0, 0.0, kAnalyte, curve);
        EXPECT_EQ(r.peak.GetCoeffDetFlag(), c.coeffDet);
        EXPECT_EQ(r.peak.GetMaxStdDevFlag(), c.maxStdDev);
    }
    // A user-RF entry has no curve to judge: neither test applies, even when a curve is passed.
    m.SetUserRFMode(1);
    m.SetUserRF(1.0);
    m.SetCCalc(kRF);
    CCalibrationData poor = Curve("benzene", {0, 1}, kRF);
    poor.SetPercRelSD(50.0);
    EXPECT_EQ(Quantified(m, 5.0, 0.0, kAnalyte, poor).peak.GetMaxStdDevFlag(), 0);
    m.SetCCalc(kLinear);
    poor.SetCorrCoeff(0.1);
    CPeakData earlier = Located(1, 0.0);
    earlier.SetCoeffDetFlag(1);
    const Outcome noCurve = Quantified(m, 5.0, 0.0, kAnalyte, poor, false, &earlier);
    EXPECT_EQ(noCurve.peak.GetValidConc(), 1);
    EXPECT_EQ(noCurve.peak.GetCoeffDetFlag(), 0);
}

TEST(ResultFlags, BlankMonitoring) {
    CMethodData m = Method();
    m.SetMonitorBlankEnabled(1);
    m.SetMonitorBlankConc(2.0);
    const struct {
        const char* what;
        int type;
        double conc, blankConc;
        int unnamed, flag;
    } cases[] = {
        {"above", kBlank, 2.5, 2.0, 0, 1},
        {"at the limit", kBlank, 2.0, 2.0, 0, 0},
        {"not a blank", kAnalyte, 2.5, 2.0, 0, 0},
        {"unnamed totals peak", kBlank, 2.5, 2.0, 1, 0},
        {"no blank limit", kBlank, 2.5, 0.0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m.SetMonitorBlankConc(c.blankConc);
        CPeakData start = Located(1, 0.0);
        start.SetTotalsUnnamedPeak(c.unnamed);
        EXPECT_EQ(Quantified(m, c.conc, 0.0, c.type, Curve("benzene", {0, 1}, kRF), true, &start).peak.GetMatrixFlag(),
                  c.flag);
    }
    // A response of 0 is no finding, whatever the curve makes of it: y = 5 + x gives -5 -> 0.
    m.SetMonitorBlankConc(0.5);
    EXPECT_EQ(Quantified(m, 0.0, 0.0, kBlank, Curve("benzene", {-5, 1}, kLinear)).peak.GetMatrixFlag(), 0);
    // Switched off: never.
    m.SetMonitorBlankEnabled(0);
    EXPECT_EQ(Quantified(m, 9.0, 0.0, kBlank).peak.GetMatrixFlag(), 0);
}

TEST(ResultFlags, BandedDeviationTestInEveryBand) {
    const struct {
        const char* what;
        bool midConc, lowConc;
        double fixed, conc;
        DevFlags expected;
    } cases[] = {
        // Only the high band when the mid concentration is off, whatever F.
        {"one band, past", false, true, 4.0, 5.24, {1, 0, 0, 1, 30.0}},   // 31 %
        {"one band, at", false, false, 10.0, 13.0, {0, 0, 0, 0, 0.0}},   // 30 %: strict
        // Two bands: at or below the mid concentration the mid threshold, reported as low.
        {"two bands, lower", true, false, 4.0, 6.0, {0, 0, 1, 1, 20.0}},  // 50 %
        {"two bands, lower at mid conc", true, false, 20.0, 24.1, {0, 0, 1, 1, 20.0}},
        {"two bands, lower within", true, false, 4.0, 4.8, {0, 0, 0, 0, 0.0}},  // 20 %
        {"two bands, upper", true, false, 21.0, 28.0, {1, 0, 0, 1, 30.0}},   // 33 %
        {"two bands, upper within", true, false, 21.0, 26.0, {0, 0, 0, 0, 0.0}},  // 23.8 %
        // Three bands.
        {"low band", true, true, 5.0, 5.55, {0, 0, 1, 1, 10.0}},         // 11 %
        {"low band within", true, true, 4.0, 4.36, {0, 0, 0, 0, 0.0}},   // 9 %
        {"mid band", true, true, 10.0, 12.5, {0, 1, 0, 1, 20.0}},        // 25 %
        {"mid band at mid conc", true, true, 20.0, 15.9, {0, 1, 0, 1, 20.0}},  // 20.5 % below
        {"mid band within", true, true, 10.0, 11.5, {0, 0, 0, 0, 0.0}},  // 15 %
        {"high band", true, true, 30.0, 40.0, {1, 0, 0, 1, 30.0}},       // 33 %
        {"high band within", true, true, 30.0, 38.0, {0, 0, 0, 0, 0.0}},  // 26.7 %
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome r = Quantified(QCMethod(c.midConc, c.lowConc), c.conc, c.fixed, kQC);
        const DevFlags f = Flags(r.peak);
        EXPECT_EQ(f.high, c.expected.high);
        EXPECT_EQ(f.mid, c.expected.mid);
        EXPECT_EQ(f.low, c.expected.low);
        EXPECT_EQ(f.methodDev, c.expected.methodDev);
        EXPECT_DOUBLE_EQ(f.thresh, c.expected.thresh);
        EXPECT_TRUE(r.peak.GetMethodQCUserDevFlag());
    }
}

TEST(ResultFlags, BandedDeviationSwitchesAndSampleKinds) {
    // The worked QC example: F 4, mid conc 20 only, mid threshold 25.
    CMethodData m = Method();
    m.SetMonitorQCEnabled(1);
    m.SetMonitorQCMidConcEnabled(1);
    m.SetMonitorQCMidConc(20.0);
    m.SetMonitorQCMidThresh(25.0);
    m.SetMonitorQCMidThreshEnabled(1);
    DevFlags f = Flags(Quantified(m, 6.0, 4.0, kQC).peak);
    EXPECT_EQ(f.low, 1);
    EXPECT_EQ(f.methodDev, 1);
    EXPECT_DOUBLE_EQ(f.thresh, 25.0);
    f = Flags(Quantified(m, 5.0, 4.0, kQC).peak);  // 25 %: not greater
    EXPECT_EQ(f.low + f.mid + f.high + f.methodDev, 0);

    // A band whose switch is off never flags; a switch on with threshold 0 never flags either,
    // but the user deviation flag still says the test was asked for.
    CMethodData off = QCMethod(true, true);
    off.SetMonitorQCMidThreshEnabled(0);
    f = Flags(Quantified(off, 15.0, 10.0, kQC).peak);
    EXPECT_EQ(f.mid + f.methodDev, 0);
    CMethodData zero = QCMethod(false, false);
    zero.SetMonitorQCHighThresh(0.0);
    const Outcome zeroRun = Quantified(zero, 50.0, 10.0, kQC);
    EXPECT_EQ(Flags(zeroRun.peak).high, 0);
    EXPECT_TRUE(zeroRun.peak.GetMethodQCUserDevFlag());
    CMethodData none = QCMethod(false, false);
    none.SetMonitorQCHighThreshEnabled(0);
    none.SetMonitorQCMidThreshEnabled(0);
    none.SetMonitorQCLowThreshEnabled(0);
    EXPECT_FALSE(Quantified(none, 50.0, 10.0, kQC).peak.GetMethodQCUserDevFlag());

    // Standards use the standard settings, and QC settings do nothing for them.
    CMethodData standard = Method();
    standard.SetMonitorStandardEnabled(1);
    standard.SetMonitorStandardHighThresh(15.0);
    standard.SetMonitorStandardHighThreshEnabled(1);
    f = Flags(Quantified(standard, 11.6, 10.0, kStandard).peak);  // 16 %
    EXPECT_EQ(f.high, 1);
    EXPECT_DOUBLE_EQ(f.thresh, 15.0);
    EXPECT_EQ(Flags(Quantified(standard, 11.6, 10.0, kQC).peak).high, 0);
    EXPECT_EQ(Flags(Quantified(QCMethod(false, false), 50.0, 10.0, kStandard).peak).high, 0);

    // No expected concentration: no deviation, no flag.
    EXPECT_EQ(Flags(Quantified(QCMethod(false, false), 50.0, 0.0, kQC).peak).high, 0);

    // Deviation flags of an earlier run are cleared at the start of the entry.
    CPeakData earlier = Located(1, 0.0);
    earlier.SetQCDevHighFlag(1);
    earlier.SetQCDevMidFlag(1);
    earlier.SetQCDevLowFlag(1);
    earlier.SetISDevHighFlag(1);
    earlier.SetMethodQCDevFlag(1);
    f = Flags(Quantified(Method(), 10.0, 10.0, kQC, Curve("benzene", {0, 1}, kRF), true, &earlier).peak);
    EXPECT_EQ(f.high + f.mid + f.low + f.methodDev, 0);
}

TEST(ResultFlags, AnalyteMonitoring) {
    CMethodData m = Method();
    m.SetMonitorAnalyteEnabled(1);
    m.SetMonitorAnalyteConcDevEnabled(1);
    m.SetMonitorAnalyteConcDev(20.0);
    Outcome r = Quantified(m, 12.5, 10.0, kAnalyte);  // 25 %
    DevFlags f = Flags(r.peak);
    EXPECT_EQ(f.high, 1);
    EXPECT_EQ(f.methodDev, 1);
    EXPECT_DOUBLE_EQ(f.thresh, 20.0);
    EXPECT_TRUE(r.peak.GetMethodQCUserDevFlag());
    r = Quantified(m, 12.0, 10.0, kAnalyte);  // 20 %: not greater
    EXPECT_EQ(Flags(r.peak).high, 0);
    EXPECT_TRUE(r.peak.GetMethodQCUserDevFlag());
    // Only analyte samples; and the deviation switch decides the user flag.
    EXPECT_EQ(Flags(Quantified(m, 12.5, 10.0, kQC).peak).high, 0);
    m.SetMonitorAnalyteConcDevEnabled(0);
    r = Quantified(m, 12.5, 10.0, kAnalyte);
    EXPECT_EQ(Flags(r.peak).high, 0);
    EXPECT_FALSE(r.peak.GetMethodQCUserDevFlag());
    // A zero threshold never flags.
    m.SetMonitorAnalyteConcDevEnabled(1);
    m.SetMonitorAnalyteConcDev(0.0);
    EXPECT_EQ(Flags(Quantified(m, 12.5, 10.0, kAnalyte).peak).high, 0);
}

TEST(ResultFlags, SmallPeaksAreFlaggedByTheirResponseBasis) {
    CMethodData area = Method();
    CPeakData start = Located(1, 0.0);
    start.SetArea(100.0);
    start.SetHeight(10.0);
    start.SetMinArea(100.0);   // equal: not too small
    start.SetMinHeight(10.5);  // would flag, but the basis is area
    Outcome r = Quantified(area, 5.0, 0.0, kAnalyte, Curve("benzene", {0, 1}, kRF), true, &start);
    EXPECT_EQ(r.peak.GetMinAreaFlag(), 0);
    EXPECT_EQ(r.peak.GetMinHeightFlag(), 0);
    start.SetMinArea(100.5);
    r = Quantified(area, 5.0, 0.0, kAnalyte, Curve("benzene", {0, 1}, kRF), true, &start);
    EXPECT_EQ(r.peak.GetMinAreaFlag(), 1);
    CMethodData height = Method();
    height.SetRAH(1);
    r = Quantified(height, 5.0, 0.0, kAnalyte, Curve("benzene", {0, 1}, kRF), true, &start);
    EXPECT_EQ(r.peak.GetMinHeightFlag(), 1);
    // Set only: quantification never clears them (location does).
    start.SetMinArea(0.0);
    start.SetMinAreaFlag(1);
    r = Quantified(area, 5.0, 0.0, kAnalyte, Curve("benzene", {0, 1}, kRF), true, &start);
    EXPECT_EQ(r.peak.GetMinAreaFlag(), 1);
}
