// The calibration driver: the batch check, the list and single-curve calibrations and the
// weighting of the calibration points.
//
// A list calibration checks first that every curve can be transformed and weighted, and only
// then changes anything: a batch that cannot be calibrated comes back exactly as it went in,
// with the reason as the status, instead of half transformed.
#include "calibrate/QuanCalibrate.h"

#include <algorithm>

#include "calibrate/CurveFitting.h"

QUAN_REGISTER_CLASS(CQuanCalibrate);

// --- shared helpers --------------------------------------------------------------------------

int CQuanCalibrate::PointCount(const CCalibrationData& curve) {
    return std::clamp(curve.GetNumCaliPts(), 0, curve.GetNumCaliPointSlots());
}

bool CQuanCalibrate::IsTotalsCurve(const CCalibrationData& curve) {
    return curve.GetTotalsEntry() != 0 || curve.GetTotalsGroupEntry() != 0;
}

bool CQuanCalibrate::IsExcluded(const tag_CALI_POINT& point) {
    return (point.Flags & kCaliPointExcluded) != 0;
}

namespace {
bool IsKnownWeighting(int weighting) { return weighting >= kWeightNone && weighting <= kWeightInverseY2; }

// The weighting step refuses an unknown weighting only when there is a point to weight.
bool WeightingRefused(const CCalibrationData& curve, int pointCount) {
    return pointCount > 0 && !IsKnownWeighting(curve.GetWeightingFunction());
}
}  // namespace

// --- the batch -------------------------------------------------------------------------------

int CQuanCalibrate::Calibrate(CMethodList* /*methods*/, CCalibrationList* curves, CQuanSampleDataList* samples,
                              const std::string& periodicDBName, int /*unused1*/, int /*unused2*/,
                              CHostProcess* host, bool version1) {
    if (samples == nullptr) return kCaliMissingSampleList;
    if (curves == nullptr) return kCaliMissingList;
    m_version1 = version1;
    m_periodicDBName = periodicDBName;

    for (int i = 0; i < samples->GetNumSamples(); ++i) {
        CQuanSampleData* sample = samples->GetEntry(i);
        if (sample == nullptr) continue;  // an empty slot is no sample, standard or not
        if (int status = CaliDoAccumulate(curves, sample, host); status != kCaliOK) return status;
    }
    // A list that could not be calibrated is reported: the host must not take unfitted
    // curves for a calibration.
    return QuanDoCalibration(curves, m_version1 ? 1 : 0);
}

int CQuanCalibrate::CaliDoAccumulate(CCalibrationList* curves, CQuanSampleData* sample, CHostProcess* host) {
    if (curves == nullptr) return kCaliMissingList;
    if (sample == nullptr) return kCaliMissingSampleList;
    if (sample->GetSampleType() != CQuanSampleData::kStandard) return kCaliNotAStandard;
    return CaliFillCDBCaliData(curves, sample, host);
}

// The points are entered by the host before the calibration; nothing is gathered here.
int CQuanCalibrate::CaliFillCDBCaliData(CCalibrationList* /*curves*/, CQuanSampleData* /*sample*/,
                                        CHostProcess* /*host*/) {
    return kCaliOK;
}

// --- calibration of a list and of one curve --------------------------------------------------

std::vector<tag_CALI_POINT> CQuanCalibrate::PointsOf(const CCalibrationData& curve) {
    std::vector<tag_CALI_POINT> points(PointCount(curve));
    for (size_t i = 0; i < points.size(); ++i) points[i] = curve.GetCaliPoint(static_cast<int>(i));
    return points;
}

bool CQuanCalibrate::FitAndStoreCurve(CCalibrationData& curve, int version1,
                                      std::span<const tag_CALI_POINT> untransformed) {
    tag_STATS_STRUCT stats{};
    const int origin = curve.GetOrigin();
    stats.ForceOrigin = origin == kOriginForce;
    stats.IncludeOrigin = origin == kOriginInclude;
    stats.MatrixMatch = origin == kOriginMatrixMatch;
    stats.Version1 = version1 != 0;
    if (QuanFitCaliCurve(&curve, &stats, untransformed) != kFitOK) {
        curve.SetCaliPtsValid(0);  // the old coefficients and statistics stay, CurveValid 0
        return false;
    }
    curve.SetCaliPtsValid(1);
    QuanSetCurveStats(&curve, &stats);
    return true;
}

int CQuanCalibrate::QuanDoCalibration(CCalibrationList* curves, int version1) {
    if (curves == nullptr) return kCaliMissingList;
    // Weighting never depends on the transformation's outcome, so a bad weighting is found
    // before any point is transformed.
    for (int i = 0; i < curves->GetSize(); ++i) {
        const CCalibrationData* curve = curves->GetEntry(i);
        if (curve != nullptr && WeightingRefused(*curve, PointCount(*curve))) return kCaliBadWeighting;
    }
    // The host's points of every curve the transformation changes, for a curve that falls
    // back to RF.
    std::vector<std::vector<tag_CALI_POINT>> untransformed(std::max(curves->GetSize(), 0));
    for (int i = 0; i < curves->GetSize(); ++i) {
        const CCalibrationData* curve = curves->GetEntry(i);
        if (curve != nullptr && AxisTransformationApplies(*curve)) untransformed[i] = PointsOf(*curve);
    }
    if (int status = CaliSetCDBAxisTransformation(curves); status != kCaliOK) return status;
    if (int status = CaliSetCDBWeighting(curves); status != kCaliOK) return status;

    for (int i = 0; i < curves->GetSize(); ++i) {
        CCalibrationData* curve = curves->GetEntry(i);
        if (curve == nullptr) continue;
        curve->SetCurveValid(0);
        if (IsTotalsCurve(*curve)) {
            curve->SetCaliPtsValid(0);  // averaged from its members below, never fitted
            continue;
        }
        FitAndStoreCurve(*curve, version1, untransformed[i]);
    }
    CalculateTotalsCurves(curves);
    return kCaliOK;
}

int CQuanCalibrate::QuanDoCalibration(CCalibrationData* curve, int version1) {
    if (curve == nullptr) return kCaliMissingCurve;
    // A curve whose refit is refused no longer stands for its points: it stops claiming validity.
    curve->SetCurveValid(0);
    if (WeightingRefused(*curve, PointCount(*curve))) return kCaliBadWeighting;
    if (int status = CaliSetCDBWeighting(curve); status != kCaliOK) return status;
    FitAndStoreCurve(*curve, version1, {});
    return kCaliOK;
}

// --- weighting -------------------------------------------------------------------------------

int CQuanCalibrate::CaliSetCDBWeighting(CCalibrationList* curves) {
    if (curves == nullptr) return kCaliMissingList;
    for (int i = 0; i < curves->GetSize(); ++i) {
        const CCalibrationData* curve = curves->GetEntry(i);
        if (curve != nullptr && WeightingRefused(*curve, PointCount(*curve))) return kCaliBadWeighting;
    }
    for (int i = 0; i < curves->GetSize(); ++i) {
        CCalibrationData* curve = curves->GetEntry(i);
        if (curve == nullptr) continue;
        if (int status = CaliSetCDBWeighting(curve); status != kCaliOK) return status;
    }
    return kCaliOK;
}

int CQuanCalibrate::CaliSetCDBWeighting(CCalibrationData* curve) {
    if (curve == nullptr) return kCaliMissingCurve;
    const int n = PointCount(*curve);
    // Checked before the first weight is written, so a refused curve keeps its weights.
    if (WeightingRefused(*curve, n)) return kCaliBadWeighting;

    // A zero concentration is weighted as the smallest positive one, so 1/x stays finite.
    double smallestPositiveConc = 0.0;
    for (int i = 0; i < n; ++i) {
        const double conc = curve->GetCaliPoint(i).Conc;
        if (conc > 0.0 && (smallestPositiveConc == 0.0 || conc < smallestPositiveConc)) smallestPositiveConc = conc;
    }

    const int weighting = curve->GetWeightingFunction();
    for (int i = 0; i < n; ++i) {
        tag_CALI_POINT& point = curve->GetCaliPoint(i);
        const double x = point.Conc == 0.0 ? smallestPositiveConc : point.Conc;
        const double y = point.Resp;
        double weight = 1.0;
        switch (weighting) {
            case kWeightInverseX:
                if (x != 0.0) weight = 1.0 / x;
                break;
            case kWeightInverseX2:
                if (x != 0.0) weight = 1.0 / (x * x);
                break;
            case kWeightInverseY:
                if (y != 0.0) weight = 1.0 / y;
                break;
            case kWeightInverseY2:
                if (y != 0.0) weight = 1.0 / (y * y);
                break;
            default:
                break;
        }
        point.Weight = weight;
    }
    return kCaliOK;
}
