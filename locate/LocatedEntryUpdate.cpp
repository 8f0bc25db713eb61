// What is written once a strategy has chosen the peak of a method entry: the assignment in
// both records, the absolute response and noise summed over the traces the entry quantifies on
// (with the estimated-response correction of an ion ratio outside its window), the peak's
// signal-to-noise by the entry's noise method with its limit and monitoring flags, and the
// qualifier peaks that belong to the main peak.
//
// Totals and totals-group peaks are summary records: they leave the entry's fields alone and
// get no signal-to-noise of their own.
#include <algorithm>
#include <cmath>
#include <string>

#include "locate/LocateStatus.h"
#include "locate/QuanLocate.h"
#include "locate/TestRatioFailed.h"
#include "platform/NumberText.h"
#include "records/KeywordTables.h"

namespace {
// Bits of the entry's quantification-trace set: the quantification trace, then targets 0 to 3.
constexpr int kQuantifyOnQuanTrace = 1;
constexpr int kQuantifyOnTarget[4] = {2, 4, 8, 16};

bool EqualIgnoringCase(const std::string& a, const char* b) { return NumberText::EqualIgnoringCase(a, b); }


// The straight baseline between the peak's start and end, taken at its apex.
double BaselineAtApex(const CPeakData& peak) {
    const double startRT = peak.GetStartRT();
    const double endRT = peak.GetEndRT();
    const double startHeight = peak.GetStHeight();
    const double endHeight = peak.GetEnHeight();
    // A peak without width has no slope to speak of: its baseline is the mean of its ends.
    if (startRT == endRT) return (startHeight + endHeight) / 2.0;
    const double slope = (startHeight - endHeight) / (startRT - endRT);
    const double intercept = startHeight - slope * startRT;
    return peak.GetFoundRT() * slope + intercept;
}

// The signal of the main peak for its signal-to-noise, by the entry's noise method.
double NoiseMethodSignal(const CPeakData& peak, const std::string& noiseMethod) {
    if (EqualIgnoringCase(noiseMethod, "Avg Noise Level"))
        return peak.GetHeight() + BaselineAtApex(peak) - peak.GetChromMeanNoise();
    if (EqualIgnoringCase(noiseMethod, "Zero Intensity")) return peak.GetHeight() + BaselineAtApex(peak);
    return peak.GetHeight();  // "Peak Baseline" and any other text
}
}  // namespace

void CQuanLocate::GetEntryAbsoluteResponse(const CPeakData& peak, CPeakData* const* qualifiers,
                                           const CMethodData& entry, double& absResponse, double& absNoise,
                                           double& noiseFactor, double& absCorrectedResponse) const {
    const double quanResponse = GetEntryPeakResponse(peak, entry);
    double targetResponse[kNumTargets] = {};
    double targetNoise[kNumTargets] = {};
    for (int k = 0; k < kNumTargets; ++k) {
        const CPeakData* qualifier = qualifiers != nullptr ? qualifiers[k] : nullptr;
        if (qualifier == nullptr) continue;
        targetResponse[k] = GetEntryPeakResponse(*qualifier, entry);
        targetNoise[k] = qualifier->GetChromNoise();
    }
    double correctedQuan = quanResponse;
    double correctedTarget0 = targetResponse[0];

    const bool estimatedResponse = entry.GetUseEMPC() != 0;
    if (estimatedResponse) {
        // With the ratio out of its window, the trace that is too large is estimated from the
        // other one through the expected ratio.
        const double expected = entry.GetTargetRatio(0);
        if (expected != 0.0 && quanResponse != 0.0 && targetResponse[0] != 0.0) {
            const double window = entry.GetTargetWindow(0) * 0.01;
            const double bound1 = (1.0 - window) * expected;
            const double bound2 = (1.0 + window) * expected;
            const double lower = std::min(bound1, bound2);
            const double upper = std::max(bound1, bound2);
            const double measured = quanResponse / targetResponse[0];
            if (measured > upper)
                correctedQuan = expected * targetResponse[0];
            else if (measured < lower)
                correctedTarget0 = quanResponse / expected;
        }
    }

    noiseFactor = CalcNoiseFactor(&peak, qualifiers, &entry);

    const int traces = entry.GetQuantificationTraces();
    absResponse = 0.0;
    absCorrectedResponse = 0.0;
    absNoise = 0.0;
    if (traces & kQuantifyOnQuanTrace) {
        absResponse += quanResponse;
        absCorrectedResponse += correctedQuan;
        absNoise += peak.GetChromNoise();
    }
    for (int k = 0; k < kNumTargets; ++k) {
        if (!(traces & kQuantifyOnTarget[k])) continue;
        absResponse += targetResponse[k];
        absCorrectedResponse += k == 0 ? correctedTarget0 : targetResponse[k];
        absNoise += targetNoise[k];
    }

    if (estimatedResponse && qualifiers != nullptr) {
        if (!CTestRatioFailed().TestRatio(peak, entry)) absResponse = 0.0;
        if (correctedQuan == 0.0 || correctedTarget0 == 0.0) absCorrectedResponse = 0.0;
    }
}

double CQuanLocate::CalcNoiseFactor(const CPeakData* peak, CPeakData* const* qualifiers,
                                    const CMethodData* entry) const {
    if (entry == nullptr) return 0.0;
    if (peak == nullptr && qualifiers != nullptr) {
        for (int k = 0; k < kNumTargets && peak == nullptr; ++k) peak = qualifiers[k];
    }
    if (peak == nullptr) return 0.0;
    switch (entry->GetRAH()) {
    case kRAHHeight: return 1.0;
    case kRAHArea: return peak->GetHeight() > 0.0 ? peak->GetArea() / peak->GetHeight() : 0.0;
    default: return 0.0;
    }
}

int CQuanLocate::UpdateLocatedEntry(CPeakData& peak, CPeakData* const* qualifiers, CMethodData& entry,
                                    int entryNumber, int peakID) {
    CPeakData& p = peak;
    double absResponse = 0.0;
    double absNoise = 0.0;
    double noiseFactor = 0.0;
    double absCorrectedResponse = 0.0;
    GetEntryAbsoluteResponse(p, qualifiers, entry, absResponse, absNoise, noiseFactor, absCorrectedResponse);

    const bool totals = p.IsTotals();
    if (!totals) {
        entry.SetAbsResponse(absResponse);
        entry.SetAbsCorrectedResponse(absCorrectedResponse);
        // A deleted peak keeps its values on the entry but does not count as found.
        if (!p.GetPeakDeleted()) {
            entry.SetLocated(1);
            entry.SetLocateFailed(0);  // a later totals search may succeed where the first did not
        }
        entry.SetFoundRT(p.GetFoundRT());
        entry.SetNoiseConversion(noiseFactor);
    }

    p.SetMDBEntry(entryNumber);
    p.SetMDBEntryPeak(0);
    p.SetMDBEntryPeakID(peakID);
    p.SetAbsResponse(absResponse);
    p.SetAbsNoiseHeight(absNoise);
    p.SetAbsCorrectedResponse(absCorrectedResponse);
    p.SetSigNoiseFlag(0);
    p.SetQCSigNoiseFlag(0);
    p.SetIRWinFlag(0);
    p.SetSecondaryPeaks(0);
    p.SetQCIonRatioFlag(0);

    const double detectionThreshold = entry.GetDetectionThreshold();
    const double quantitationThreshold = entry.GetQuantitationThreshold();
    const bool testSignalToNoise = entry.GetSigNoiseFlag() != 0;
    const double minSignalToNoise = entry.GetMinSigNoise();

    if (totals) {
        p.SetTotalsInclude(entry.GetTotalsInclude());
    } else {
        if (p.GetChromNoise() > 0.0 && p.GetHeight() > 0.0)
            p.SetSignalToNoise(NoiseMethodSignal(p, entry.GetNoisePeakMethod()) / p.GetChromNoise());
        // Limits are tested on the value the peak now has, computed here or brought along.
        const double s = p.GetSignalToNoise();
        if (detectionThreshold > s) p.SetSignalToNoiseLODFlag(1);
        if (quantitationThreshold > s) p.SetSignalToNoiseLOQFlag(1);
        if (testSignalToNoise && minSignalToNoise > s) {
            p.SetSigNoiseFlag(1);
            if (MonitorEnabled(entry, Monitor::SignalToNoise)) p.SetQCSigNoiseFlag(1);
        }
    }

    if (qualifiers == nullptr) return kLocateOK;
    for (int k = 0; k < kNumTargets; ++k) {
        if (qualifiers[k] == nullptr) continue;
        CPeakData& q = *qualifiers[k];
        q.SetSecondaryPeaks(0);
        q.SetIRWinFlag(0);
        q.SetQCIonRatioFlag(0);
        q.SetSigNoiseFlag(0);
        if (totals) {
            q.SetTotalsInclude(entry.GetTotalsInclude());
            continue;
        }

        double ratio = 0.0;
        bool within = false;
        GetPeakResponseRatio(p, q, entry, &ratio, &within, k);  // no ratio leaves 0 and "outside"
        q.SetIonRatio(static_cast<float>(entry.GetTargetRatio(k)));
        q.SetIonRatioWin(entry.GetTargetWindow(k));
        q.SetMDBEntry(entryNumber);
        q.SetMDBEntryPeak(1);
        q.SetMDBEntryPeakID(peakID);
        if (q.GetPlaceHolder()) continue;

        q.SetActualIonRatio(static_cast<float>(ratio));
        p.SetSecondaryPeaks(p.GetSecondaryPeaks() + 1);
        // Worked out before the first qualifier's values are copied into the main peak, so the
        // main peak reports the qualifier's signal-to-noise of this sample.
        if (q.GetChromNoise() > 0.0) q.SetSignalToNoise(q.GetHeight() / q.GetChromNoise());
        if (k == 0) {
            p.SetSecondaryArea(q.GetArea());
            p.SetSecondaryHeight(q.GetHeight());
            p.SetSecondaryChromNoise(q.GetChromNoise());
            p.SetSecondarySignalToNoise(q.GetSignalToNoise());
        }
        if (!within) {
            q.SetIRWinFlag(1);
            p.SetIRWinFlag(1);
            if (MonitorEnabled(entry, Monitor::IonRatio)) {
                q.SetQCIonRatioFlag(1);
                p.SetQCIonRatioFlag(1);
            }
        }

        const double s = q.GetSignalToNoise();
        if (s < detectionThreshold) {
            q.SetSignalToNoiseLODFlag(1);
            p.SetSignalToNoiseLODFlag(1);
        }
        if (s < quantitationThreshold) {
            q.SetSignalToNoiseLOQFlag(1);
            p.SetSignalToNoiseLOQFlag(1);
        }
        if (testSignalToNoise && s < minSignalToNoise) {
            q.SetSigNoiseFlag(1);
            p.SetSigNoiseFlag(1);
            if (MonitorEnabled(entry, Monitor::SignalToNoise)) {
                q.SetQCSigNoiseFlag(1);
                p.SetQCSigNoiseFlag(1);
            }
        }
    }
    return kLocateOK;
}
