// The pass/fail flags of a stored result: report and maximum limits, recovery, curve quality,
// and blank, QC, standard and analyte monitoring, evaluated in that order. Flags this step
// clears are cleared for every stored result, so none survives from an earlier run; the
// recovery flag is only ever set here (location clears it).
#include <cmath>

#include "quantify/CurveInversion.h"
#include "quantify/QuanQuantify.h"

double CQuanQuantify::ConcentrationDeviation(const CPeakData& peak) {
    const double fixed = peak.GetFixedConc();
    if (peak.GetValidConc() == 0 || peak.IsTotals() || fixed == 0.0) return 0.0;
    return std::fabs((peak.GetAnalConc() - fixed) / fixed * 100.0);
}

void CQuanQuantify::SetConcentrationFlags(CPeakData& peak, const CMethodData& method,
                                          const CCalibrationData* cal) const {
    const double conc = peak.GetAnalConc();
    const int sampleType = SampleType();

    peak.SetReportFlag(0);
    if (method.GetReportLimitFlag() != 0 && method.GetReportLimit() < conc) peak.SetReportFlag(1);

    peak.SetMaxConcFlag(0);
    if (method.GetConcLimitFlag() != 0 && method.GetMaxConcLimit() < conc) peak.SetMaxConcFlag(1);

    SetRecoveryFlag(peak, method);

    // Curve quality is judged on the method's curve type; the tests need a curve to read.
    const int methodCurveType = method.GetCCalc();
    peak.SetCoeffDetFlag(0);
    if (cal != nullptr && methodCurveType != kCurveRF && methodCurveType != kCurveRFAlternative &&
        method.GetCoeffDetFlag() != 0 && method.GetMinCoeffDet() > cal->GetCoeffOfDet())
        peak.SetCoeffDetFlag(1);

    peak.SetMaxStdDevFlag(0);
    if (cal != nullptr && methodCurveType == kCurveRF && method.GetMaxStdDevFlag() != 0 &&
        method.GetUserRFMode() == 0 && method.GetMaxStdDev() < cal->GetPercRelSD())
        peak.SetMaxStdDevFlag(1);

    if (method.GetMonitorBlankEnabled() != 0 && sampleType == CQuanSampleData::kBlank && peak.GetResponse() > 0.0 &&
        peak.GetTotalsUnnamedPeak() == 0 && method.GetMonitorBlankConc() > 0.0 && method.GetMonitorBlankConc() < conc)
        peak.SetMatrixFlag(1);

    const double deviation = ConcentrationDeviation(peak);
    if (method.GetMonitorQCEnabled() != 0 && sampleType == CQuanSampleData::kQC)
        SetDeviationBandFlags(peak, QCBands(method), deviation);
    if (method.GetMonitorStandardEnabled() != 0 && sampleType == CQuanSampleData::kStandard)
        SetDeviationBandFlags(peak, StandardBands(method), deviation);

    if (method.GetMonitorAnalyteEnabled() != 0 && sampleType == CQuanSampleData::kAnalyte) {
        const double threshold = method.GetMonitorAnalyteConcDev();
        const int enabled = method.GetMonitorAnalyteConcDevEnabled();
        peak.SetMethodQCUserDevFlag(enabled);
        if (deviation > threshold && enabled != 0 && threshold > 0.0) {
            peak.SetQCDevHighFlag(1);
            peak.SetMethodQCDevFlag(1);
            peak.SetMethodQCDevThresh(threshold);
        }
    }
}

void CQuanQuantify::SetRecoveryFlag(CPeakData& peak, const CMethodData& method) const {
    if (!(peak.GetFixedConc() > 0.0)) return;
    int enabled = 0;
    switch (SampleType()) {
    case CQuanSampleData::kAnalyte: enabled = method.GetRecoveryFlagAnalyte(); break;
    case CQuanSampleData::kQC: enabled = method.GetRecoveryFlagQC(); break;
    case CQuanSampleData::kRecovery: enabled = method.GetRecoveryFlagRecovery(); break;
    default: return;
    }
    if (enabled == 0) return;
    const double recovery = peak.GetRecoveryValue();
    if (recovery > method.GetMaxRecovery() || recovery < method.GetMinRecovery()) peak.SetRecoveryFlag(1);
}

#define QUAN_DEVIATION_BANDS(Prefix)                                                                          \
    DeviationBands {                                                                                          \
        method.GetMonitor##Prefix##HighThresh(), method.GetMonitor##Prefix##MidThresh(),                      \
            method.GetMonitor##Prefix##LowThresh(), method.GetMonitor##Prefix##HighThreshEnabled(),           \
            method.GetMonitor##Prefix##MidThreshEnabled(), method.GetMonitor##Prefix##LowThreshEnabled(),     \
            method.GetMonitor##Prefix##MidConcEnabled(), method.GetMonitor##Prefix##LowConcEnabled(),         \
            method.GetMonitor##Prefix##MidConc(), method.GetMonitor##Prefix##LowConc()                        \
    }
CQuanQuantify::DeviationBands CQuanQuantify::QCBands(const CMethodData& method) { return QUAN_DEVIATION_BANDS(QC); }
CQuanQuantify::DeviationBands CQuanQuantify::StandardBands(const CMethodData& method) {
    return QUAN_DEVIATION_BANDS(Standard);
}
#undef QUAN_DEVIATION_BANDS

void CQuanQuantify::SetDeviationBandFlags(CPeakData& peak, const DeviationBands& bands, double deviation) {
    if (bands.highOn != 0 || bands.midOn != 0 || bands.lowOn != 0) peak.SetMethodQCUserDevFlag(1);

    // The band follows the expected concentration. With only the mid concentration set there
    // are two bands, and the lower one is tested against the mid threshold but reported as low.
    enum class Flag { High, Mid, Low };
    struct Band {
        double threshold;
        int on;
        Flag flag;
    };
    const Band high{bands.highThresh, bands.highOn, Flag::High};
    const double fixed = peak.GetFixedConc();
    Band band = high;
    if (bands.midConcOn != 0) {
        if (bands.lowConcOn == 0) {
            if (fixed <= bands.midConc) band = {bands.midThresh, bands.midOn, Flag::Low};
        } else if (fixed <= bands.lowConc) {
            band = {bands.lowThresh, bands.lowOn, Flag::Low};
        } else if (fixed <= bands.midConc) {
            band = {bands.midThresh, bands.midOn, Flag::Mid};
        }
    }

    if (deviation > band.threshold && band.on != 0 && band.threshold > 0.0) {
        switch (band.flag) {
        case Flag::High: peak.SetQCDevHighFlag(1); break;
        case Flag::Mid: peak.SetQCDevMidFlag(1); break;
        case Flag::Low: peak.SetQCDevLowFlag(1); break;
        }
        peak.SetMethodQCDevFlag(1);
        peak.SetMethodQCDevThresh(band.threshold);
    }
}

void CQuanQuantify::SetTotalsFlags(CPeakData& total, const CMethodData& method) const {
    const bool totalsMethod = method.IsTotals();
    const double conc = total.GetAnalConc();
    total.SetLODFlag(conc < total.GetDetectionThreshold() && !totalsMethod ? 1 : 0);
    total.SetLOQFlag(conc < total.GetQuantitationThreshold() && !totalsMethod ? 1 : 0);
    if (method.GetMonitorBlankEnabled() != 0 && IsBlankSample() && total.GetResponse() > 0.0 &&
        method.GetMonitorBlankConc() < conc)
        total.SetMatrixFlag(1);
}
