// Result flags of a stored concentration: report and maximum limits, recovery, curve quality, and
// the banded QC and standard deviation test in every band; each at and just past its threshold.
// Every case quantifies one peak through a response-factor curve of slope 1, so the stored
// concentration is the peak's response.
#include <gtest/gtest.h>

#include <array>

#include "QuantifyTestSupport.h"
#include "quan.h"

using namespace quantify_test;

namespace {
// Quantifies one peak of concentration `conc` (expected `fixed`) in a sample of `sampleType`,
// through the given curve (of slope 1).
CPeakData Quantified(const CMethodData& method, double conc, double fixed, int sampleType,
                     const CPeakData* start = nullptr, CCalibrationData curve = Curve("benzene", {0, 1}, kRF)) {
    CMethodList methods = Methods({method});
    CQuanQuantify engine;
    engine.SetCurrentSample(Sample(sampleType));
    CPeakData peak = start != nullptr ? *start : Located(1, conc);
    peak.SetResponse(conc);
    peak.SetCorrectedResponse(conc);
    peak.SetFixedConc(fixed);
    engine.QuantifyPDBEntry(&curve, &peak, &methods);
    return peak;
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

// The high, mid and low band flags, the method's deviation flag and the threshold it applied.
using DevFlags = std::array<double, 5>;
DevFlags Flags(const CPeakData& p) {
    return {double(p.GetQCDevHighFlag()), double(p.GetQCDevMidFlag()), double(p.GetQCDevLowFlag()),
            p.GetMethodQCDevFlag() ? 1.0 : 0.0, p.GetMethodQCDevThresh()};
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
        const CPeakData r = Quantified(m, c.conc, 0.0, kAnalyte, &earlier);
        EXPECT_EQ(std::pair(r.GetReportFlag(), r.GetMaxConcFlag()), std::pair(c.report, c.max));
    }
}

// Recovery against an expected 8 within 75 to 125 % (both limits pass), tested only for the
// sample types with a switch of their own and only when that switch is on.
TEST(ResultFlags, RecoveryOutsideItsLimitsForTheSampleTypesThatTestIt) {
    const struct { int sampleType, switchedType; double conc, fixed; int flagged; } cases[] = {
        {kAnalyte, kAnalyte, 10.0, 8.0, 0}, {kAnalyte, kAnalyte, 10.01, 8.0, 1}, {kAnalyte, kAnalyte, 6.0, 8.0, 0},
        {kAnalyte, kAnalyte, 5.99, 8.0, 1}, {kQC, kQC, 10.01, 8.0, 1},         {kRecovery, kRecovery, 5.99, 8.0, 1},
        {kRecovery, kRecovery, 5.99, 0.0, 0}, {kAnalyte, kQC, 10.01, 8.0, 0},  {kQC, kRecovery, 10.01, 8.0, 0},
        {kRecovery, kAnalyte, 10.01, 8.0, 0}, {kStandard, kStandard, 10.01, 8.0, 0},
    };
    for (const auto& c : cases) {
        CMethodData m = Method();
        m.SetMinRecovery(75.0);
        m.SetMaxRecovery(125.0);
        const bool all = c.switchedType == kStandard;  // every switch on: a standard still takes no test
        m.SetRecoveryFlagAnalyte(all || c.switchedType == kAnalyte);
        m.SetRecoveryFlagQC(all || c.switchedType == kQC);
        m.SetRecoveryFlagRecovery(all || c.switchedType == kRecovery);
        EXPECT_EQ(Quantified(m, c.conc, c.fixed, c.sampleType).GetRecoveryFlag(), c.flagged)
            << c.sampleType << " " << c.switchedType << " " << c.conc;
    }
}

// Curve quality is judged on the method's curve type, whatever curve served: a polynomial (not
// RF, not type 7) below the least coefficient of determination, an RF curve above the largest
// RSD unless the user's RF is used; both limits pass.
TEST(ResultFlags, CurveQualityByTheMethodsCurveType) {
    const struct { int methodType, userRF; double r, rsd; int coeffDet, maxRSD; } cases[] = {
        {kLinear, 0, 0.5, 9.0, 0, 0}, {kLinear, 0, 0.4999, 9.0, 1, 0}, {kQuadratic, 0, 0.4999, 9.0, 1, 0},
        {7, 0, 0.4999, 9.0, 0, 0},    {kRF, 0, 0.4999, 5.0, 0, 0},     {kRF, 0, 0.4999, 5.01, 0, 1},
        {kRF, 1, 0.4999, 5.01, 0, 0},
    };
    CPeakData stale = Located(1, 3.0);  // both flags cleared first
    stale.SetCoeffDetFlag(1);
    stale.SetMaxStdDevFlag(1);
    for (const auto& c : cases) {
        CMethodData m = Method();
        m.SetCCalc(c.methodType);
        m.SetUserRFMode(c.userRF);
        m.SetUserRF(1.0);
        m.SetCoeffDetFlag(1);
        m.SetMinCoeffDet(0.25);
        m.SetMaxStdDevFlag(1);
        m.SetMaxStdDev(5.0);
        CCalibrationData curve = Curve("benzene", {0, 1}, kRF);
        curve.SetCorrCoeff(c.r);
        curve.SetPercRelSD(c.rsd);
        const CPeakData peak = Quantified(m, 3.0, 0.0, kAnalyte, &stale, curve);
        EXPECT_EQ(std::pair(peak.GetCoeffDetFlag(), peak.GetMaxStdDevFlag()), std::pair(c.coeffDet, c.maxRSD))
            << c.methodType << " " << c.userRF << " " << c.r << " " << c.rsd;
    }
}

TEST(ResultFlags, BandedDeviationTestInEveryBand) {
    const struct { const char* what; bool midConc, lowConc; double fixed, conc; DevFlags expected; } cases[] = {
        // Only the high band when the mid concentration is off, whatever F.
        {"one band, past", false, true, 4.0, 5.24, {1, 0, 0, 1, 30.0}},   // 31 %
        // Two bands: at or below the mid concentration the mid threshold, reported as low.
        {"two bands, lower", true, false, 4.0, 6.0, {0, 0, 1, 1, 20.0}},  // 50 %
        {"two bands, upper", true, false, 21.0, 28.0, {1, 0, 0, 1, 30.0}},   // 33 %
        {"two bands, at the mid conc", true, false, 20.0, 25.0, {0, 0, 1, 1, 20.0}},  // 25 %
        // Three bands.
        {"low band", true, true, 5.0, 5.55, {0, 0, 1, 1, 10.0}},         // 11 %
        {"mid band", true, true, 10.0, 12.5, {0, 1, 0, 1, 20.0}},        // 25 %
        {"mid band at mid conc", true, true, 20.0, 15.9, {0, 1, 0, 1, 20.0}},  // 20.5 % below
        {"mid band within", true, true, 10.0, 11.5, {0, 0, 0, 0, 0.0}},  // 15 %
        {"mid band at its threshold", true, true, 10.0, 12.0, {0, 0, 0, 0, 0.0}},  // 20 %: a limit passes
        {"high band", true, true, 30.0, 40.0, {1, 0, 0, 1, 30.0}},       // 33 %
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const CPeakData r = Quantified(QCMethod(c.midConc, c.lowConc), c.conc, c.fixed, kQC);
        EXPECT_EQ(Flags(r), c.expected);
        EXPECT_TRUE(r.GetMethodQCUserDevFlag());
    }
}

// Standards are held to their own bands, analytes to one deviation limit, blanks to a
// concentration: each only in its own sample type.
TEST(ResultFlags, StandardAnalyteAndBlankMonitoringInTheirOwnSampleTypes) {
    CMethodData m = QCMethod(false, false);  // QC: one band, 30 %
    m.SetMonitorStandardEnabled(1);
    m.SetMonitorStandardHighThresh(15.0);
    m.SetMonitorStandardHighThreshEnabled(1);
    m.SetMonitorAnalyteEnabled(1);
    m.SetMonitorAnalyteConcDevEnabled(1);
    m.SetMonitorAnalyteConcDev(25.0);
    m.SetMonitorBlankEnabled(1);
    m.SetMonitorBlankConc(1.0);
    const struct { const char* what; int type; double fixed, conc; DevFlags expected; int matrix; } cases[] = {
        {"standard past its own 15 %", kStandard, 10.0, 11.6, {1, 0, 0, 1, 15.0}, 0},
        {"standard within 15 %", kStandard, 10.0, 11.4, {0, 0, 0, 0, 0.0}, 0},
        {"QC at 16 % is within its 30 %", kQC, 10.0, 11.6, {0, 0, 0, 0, 0.0}, 0},
        {"analyte past 25 %", kAnalyte, 10.0, 12.6, {1, 0, 0, 1, 25.0}, 0},
        {"analyte within 25 %", kAnalyte, 10.0, 7.6, {0, 0, 0, 0, 0.0}, 0},
        {"analyte at 25 %", kAnalyte, 8.0, 10.0, {0, 0, 0, 0, 0.0}, 0},
        {"blank above its 1.0", kBlank, 0.0, 1.5, {0, 0, 0, 0, 0.0}, 1},
        {"blank at its 1.0", kBlank, 0.0, 1.0, {0, 0, 0, 0, 0.0}, 0},
        {"analyte above the blank limit", kAnalyte, 0.0, 1.5, {0, 0, 0, 0, 0.0}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const CPeakData r = Quantified(m, c.conc, c.fixed, c.type);
        EXPECT_EQ(Flags(r), c.expected);
        EXPECT_EQ(r.GetMatrixFlag(), c.matrix);
    }
    m.SetMonitorAnalyteConcDevEnabled(0);
    const CPeakData off = Quantified(m, 20.0, 10.0, kAnalyte);
    EXPECT_EQ(Flags(off), (DevFlags{0, 0, 0, 0, 0.0}));
    EXPECT_FALSE(off.GetMethodQCUserDevFlag());
    m.SetMonitorBlankConc(0.0);  // no limit given: nothing to flag a blank against
    EXPECT_EQ(Quantified(m, 1.5, 0.0, kBlank).GetMatrixFlag(), 0);
}
