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
