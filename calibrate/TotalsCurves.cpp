// Totals curves: a curve that stands for a group of compounds is not fitted but averaged from
// its members' fitted curves (statistics, retention times and coefficients), and for an RF
// totals curve the spread of the per-level response factors gives its deviation. The
// per-level sums and the retention-time means are held in single precision, as stored
// totals curves were computed.
#include <algorithm>
#include <cmath>

#include "calibrate/CurveFitting.h"
#include "calibrate/QuanCalibrate.h"

namespace {
constexpr double kResetMinimum = 999999999.9;
constexpr double kResetMaximum = -999999999.9;
// Levels compared across the members: every point a curve can hold.
constexpr int kTotalsLevels = CCalibrationData::kNumCaliSlots;

void ResetTotalsCurve(CCalibrationData& totals) {
    totals.SetMinResp(kResetMinimum);
    totals.SetMinConc(kResetMinimum);
    totals.SetMaxResp(kResetMaximum);
    totals.SetMaxConc(kResetMaximum);
    totals.SetMeanResp(0.0);
    totals.SetMeanRelResp(0.0);
    totals.SetMeanConc(0.0);
    totals.SetMeanRelConc(0.0);
    totals.SetStdDev(0.0);
    totals.SetRelSD(0.0);
    totals.SetPercRelSD(0.0);
    totals.SetMeanRT(0.0f);
    totals.SetMeanRTPeakWidth(0.0f);
    for (int i = 0; i < kNumCurveCoefficients; ++i) totals.SetCC(0.0, i);
}
}  // namespace

int CQuanCalibrate::CalculateTotalsCurves(CCalibrationList* curves) {
    if (curves == nullptr) return kCaliOK;
    for (int entryNumber = 1; entryNumber <= curves->GetSize(); ++entryNumber) {
        const CCalibrationData* curve = curves->GetEntry(entryNumber - 1);
        if (curve != nullptr && IsTotalsCurve(*curve)) CalculateTotalsEntryCurve(curves, entryNumber);
    }
    return kCaliOK;
}

int CQuanCalibrate::CalculateTotalsEntryCurve(CCalibrationList* curves, int entryNumber) {
    if (curves == nullptr) return kCaliOK;
    CCalibrationData* totalsPtr = curves->GetEntry(entryNumber - 1);
    if (totalsPtr == nullptr) return kCaliOK;
    CCalibrationData& totals = *totalsPtr;
    const std::string group = totals.GetTotalsGroup();
    if (group.empty()) return kCaliOK;

    ResetTotalsCurve(totals);
    const bool responseFactorCurve = totals.GetCCalc() == kCurveRF;
    float levelRFSum[kTotalsLevels] = {};
    int levelCount[kTotalsLevels] = {};
    int levelsInUse = 0;
    int members = 0;
    double coefficientSums[kNumCurveCoefficients] = {};

    for (int i = 0; i < curves->GetSize(); ++i) {
        const CCalibrationData* member = curves->GetEntry(i);
        if (member == nullptr || IsTotalsCurve(*member) || !member->IsMemberOf(group)) continue;
        ++members;
        if (responseFactorCurve) {
            const int pointCount = std::min(PointCount(*member), kTotalsLevels);
            for (int p = 0; p < pointCount; ++p) {
                const tag_CALI_POINT point = member->GetCaliPoint(p);
                if (IsExcluded(point)) continue;
                if (point.Conc > 0.0) levelRFSum[p] = static_cast<float>(levelRFSum[p] + point.Resp / point.Conc);
                ++levelCount[p];  // a level counts even where its factor could not be formed
            }
            levelsInUse = std::max(levelsInUse, pointCount);
        }
        totals.SetMinResp(std::min(totals.GetMinResp(), member->GetMinResp()));
        totals.SetMinConc(std::min(totals.GetMinConc(), member->GetMinConc()));
        totals.SetMaxResp(std::max(totals.GetMaxResp(), member->GetMaxResp()));
        totals.SetMaxConc(std::max(totals.GetMaxConc(), member->GetMaxConc()));
        totals.SetMeanResp(totals.GetMeanResp() + member->GetMeanResp());
        totals.SetMeanRelResp(totals.GetMeanRelResp() + member->GetMeanRelResp());
        totals.SetMeanConc(totals.GetMeanConc() + member->GetMeanConc());
        totals.SetMeanRelConc(totals.GetMeanRelConc() + member->GetMeanRelConc());
        totals.SetMeanRT(totals.GetMeanRT() + member->GetMeanRT());
        totals.SetMeanRTPeakWidth(totals.GetMeanRTPeakWidth() + member->GetMeanRTPeakWidth());
        for (int c = 0; c < kNumCurveCoefficients; ++c) coefficientSums[c] += member->GetCC(c);
    }
    if (members == 0) return kCaliOK;  // the reset values stand, with CurveValid 0

    totals.SetCurveValid(1);
    totals.SetCaliPtsValid(0);
    totals.SetMeanResp(totals.GetMeanResp() / members);
    totals.SetMeanRelResp(totals.GetMeanRelResp() / members);
    totals.SetMeanConc(totals.GetMeanConc() / members);
    totals.SetMeanRelConc(totals.GetMeanRelConc() / members);
    totals.SetMeanRT(totals.GetMeanRT() / static_cast<float>(members));
    totals.SetMeanRTPeakWidth(totals.GetMeanRTPeakWidth() / static_cast<float>(members));
    for (int c = 0; c < kNumCurveCoefficients; ++c) totals.SetCC(coefficientSums[c] / members, c);

    if (responseFactorCurve) {
        // The deviation of the per-level factors from the members' average response factor.
        const double meanRF = totals.GetMeanRelResp();
        double squares = 0.0;
        int levels = 0;
        for (int p = 0; p < levelsInUse; ++p) {
            if (levelCount[p] <= 0) continue;
            const float levelRF = levelRFSum[p] / static_cast<float>(levelCount[p]);
            squares += (levelRF - meanRF) * (levelRF - meanRF);
            ++levels;
        }
        if (levels >= 2) {
            totals.SetStdDev(std::sqrt(squares / (levels - 1)));
            if (meanRF != 0.0) {
                totals.SetRelSD(totals.GetStdDev() / meanRF);
                totals.SetPercRelSD(totals.GetRelSD() * 100.0);
            }
        }
    }
    return kCaliOK;
}
