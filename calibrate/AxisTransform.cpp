// Axis transformation of the calibration points and its inverse. A transformation applies only
// to polynomial curves with the origin excluded and no weighting; every other curve has its
// XYTrans cleared. Points are checked before any is changed: a point that is not above zero
// (or not a number) cannot be transformed, and then neither the curve nor, for a list, any
// curve of the list is touched.
#include "calibrate/AxisTransform.h"

#include <cmath>

#include "calibrate/QuanCalibrate.h"

namespace {
enum class AxisPlan { Unchanged, ClearTransformation, Transform };

// Curves whose read-back flags start with "Y" keep their points as entered.
bool PointsLocked(const CCalibrationData& curve) {
    const std::string flags = curve.GetFlags();
    return !flags.empty() && flags[0] == 'Y';
}

bool Transformable(const CCalibrationData& curve) {
    return curve.GetCCalc() != kCurveRF && curve.GetOrigin() == kOriginExclude &&
           curve.GetWeightingFunction() == kWeightNone;
}
}  // namespace

double InverseTransformation(double x, int transformation) {
    switch (transformation) {
        case kAxisLn: return std::exp(x);
        case kAxisLog10: return std::pow(10.0, x);
        case kAxisSquareRoot: return x * x;
        default: return x;
    }
}

double CQuanCalibrate::QuanApplyTransformation(double x, int transformation) const {
    if (!(x > 0.0)) return 0.0;  // zero, negative or not a number
    switch (transformation) {
        case kAxisLn: return std::log(x);
        case kAxisLog10: return std::log10(x);
        case kAxisSquareRoot: return std::sqrt(x);
        default: return x;
    }
}

namespace {
AxisPlan PlanAxisTransformation(const CCalibrationData& curve) {
    if (curve.GetXYTrans() == kAxisNone || PointsLocked(curve)) return AxisPlan::Unchanged;
    if (curve.GetTotalsEntry() != 0 || curve.GetTotalsGroupEntry() != 0) return AxisPlan::Unchanged;
    return Transformable(curve) ? AxisPlan::Transform : AxisPlan::ClearTransformation;
}

// Every point, excluded ones too, must be above zero on both axes.
bool PointsTransformable(const CCalibrationData& curve, int pointCount) {
    for (int i = 0; i < pointCount; ++i) {
        const tag_CALI_POINT point = curve.GetCaliPoint(i);
        if (!(point.Conc > 0.0) || !(point.Resp > 0.0)) return false;
    }
    return true;
}
}  // namespace

bool CQuanCalibrate::AxisTransformationApplies(const CCalibrationData& curve) {
    return PlanAxisTransformation(curve) == AxisPlan::Transform;
}

int CQuanCalibrate::CaliSetCDBAxisTransformation(CCalibrationList* curves) {
    if (curves == nullptr) return kCaliMissingList;
    for (int i = 0; i < curves->GetSize(); ++i) {
        const CCalibrationData* curve = curves->GetEntry(i);
        if (curve != nullptr && PlanAxisTransformation(*curve) == AxisPlan::Transform &&
            !PointsTransformable(*curve, PointCount(*curve)))
            return kCaliBadPointForAxis;
    }
    for (int i = 0; i < curves->GetSize(); ++i) {
        if (CCalibrationData* curve = curves->GetEntry(i)) CaliSetCDBAxisTransformation(curve);
    }
    return kCaliOK;
}

int CQuanCalibrate::CaliSetCDBAxisTransformation(CCalibrationData* curve) {
    if (curve == nullptr) return kCaliMissingCurve;
    switch (PlanAxisTransformation(*curve)) {
        case AxisPlan::Unchanged: return kCaliOK;
        case AxisPlan::ClearTransformation: curve->SetXYTrans(kAxisNone); return kCaliOK;
        case AxisPlan::Transform: break;
    }
    const int n = PointCount(*curve);
    if (!PointsTransformable(*curve, n)) return kCaliBadPointForAxis;
    const int transformation = curve->GetXYTrans();
    for (int i = 0; i < n; ++i) {
        tag_CALI_POINT& point = curve->GetCaliPoint(i);
        point.Conc = QuanApplyTransformation(point.Conc, transformation);
        point.Resp = QuanApplyTransformation(point.Resp, transformation);
    }
    return kCaliOK;
}

int CQuanCalibrate::CaliReverseCDBAxisTransformation(CCalibrationList* curves) {
    if (curves == nullptr) return kCaliMissingList;
    for (int i = 0; i < curves->GetSize(); ++i) {
        if (CCalibrationData* curve = curves->GetEntry(i)) CaliReverseCDBAxisTransformation(curve);
    }
    return kCaliOK;
}

int CQuanCalibrate::CaliReverseCDBAxisTransformation(CCalibrationData* curve) {
    if (curve == nullptr) return kCaliMissingCurve;
    const int transformation = curve->GetXYTrans();
    if (transformation == kAxisNone || PointsLocked(*curve) || IsTotalsCurve(*curve)) return kCaliOK;
    const int n = PointCount(*curve);
    for (int i = 0; i < n; ++i) {
        tag_CALI_POINT& point = curve->GetCaliPoint(i);
        point.Conc = InverseTransformation(point.Conc, transformation);
        point.Resp = InverseTransformation(point.Resp, transformation);
    }
    return kCaliOK;
}
