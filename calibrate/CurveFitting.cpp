// One curve fit: the response factor (response = RF * x) or a weighted polynomial of order 1
// to 6 with the origin included, excluded, forced or matrix matched, the fallback to RF for
// points that cannot carry a polynomial, and storing the result in the curve.
//
// Points that are not finite fail the fit (kFitSingular) before any arithmetic: a curve built
// from them would carry coefficients that are not numbers yet be marked valid.
#include <algorithm>
#include <cmath>

#include "calibrate/AxisTransform.h"
#include "calibrate/CurveFitting.h"
#include "calibrate/PolynomialFit.h"
#include "calibrate/QuanCalibrate.h"

namespace {
constexpr double kMinStoredMnSqErr = 1e-09;
constexpr double kMaxStoredMnSqErr = 999999999.0;

bool PointFinite(const tag_CALI_POINT& point) {
    return std::isfinite(point.Conc) && std::isfinite(point.Resp) && std::isfinite(point.Weight);
}

// The extremes start from point 0, in use or not, and every used point updates them. A start
// value that is not a number is replaced by the first used point.
struct Extremes {
    double minConc, maxConc, minResp, maxResp;

    explicit Extremes(const tag_CALI_POINT& first)
        : minConc(first.Conc), maxConc(first.Conc), minResp(first.Resp), maxResp(first.Resp) {}

    void Update(double conc, double resp) {
        if (conc <= minConc || !std::isfinite(minConc)) minConc = conc;
        if (conc >= maxConc || !std::isfinite(maxConc)) maxConc = conc;
        if (resp <= minResp || !std::isfinite(minResp)) minResp = resp;
        if (resp >= maxResp || !std::isfinite(maxResp)) maxResp = resp;
    }

    void StoreIn(tag_STATS_STRUCT& stats) const {
        stats.MinConc = minConc;
        stats.MaxConc = maxConc;
        stats.MinResp = minResp;
        stats.MaxResp = maxResp;
    }
};

// The sums every fit takes over its used points.
struct PointSums {
    int count = 0;
    double conc = 0.0;
    double resp = 0.0;
    double weightedResp = 0.0;
    double weight = 0.0;
    double responseFactor = 0.0;  // y/x over the points with x above 0

    void Add(double x, double y, double w) {
        ++count;
        conc += x;
        resp += y;
        weightedResp += w * y;
        weight += w;
        if (x > 0.0) responseFactor += y / x;
    }

    void StoreMeansIn(tag_STATS_STRUCT& stats) const {
        stats.MeanConc = conc / count;
        stats.MeanResp = resp / count;
        // All weights zero leave no weighted mean; 0 keeps the statistics finite.
        stats.WeightedMeanResp = weight != 0.0 ? weightedResp / weight : 0.0;
    }
};

// The weight a point enters the normal equations with, before they square it: its square root,
// except under the version-1 arithmetic or for a weight not above 0.
double FittingWeight(double weight, bool version1) {
    return (version1 || !(weight > 0.0)) ? weight : std::sqrt(weight);
}
}  // namespace

void ClearFitResults(tag_STATS_STRUCT& stats) {
    const tag_STATS_STRUCT switches = stats;
    stats = tag_STATS_STRUCT{};
    stats.ForceOrigin = switches.ForceOrigin;
    stats.IncludeOrigin = switches.IncludeOrigin;
    stats.MatrixMatch = switches.MatrixMatch;
    stats.Version1 = switches.Version1;
}

int CQuanCalibrate::QuanFitCaliCurve(CCalibrationData* curve, tag_STATS_STRUCT* stats,
                                     std::span<const tag_CALI_POINT> untransformed) {
    if (curve == nullptr || stats == nullptr) return kFitNoPoints + kFitCodeOffset;
    int result = FitPolyCurve(stats, curve);
    if (result == kFitEqualConcentrations || result == kFitZeroConcentrations) {
        // No polynomial through these concentrations: the curve becomes an RF curve on the
        // host's points, and stays one. Points this engine transformed get their entered values
        // back as they were (mapping them through the inverse would leave rounding noise);
        // points it never transformed (an RF, weighted or origin-including curve, or a curve
        // fitted on its own) are the host's values already and are left alone.
        if (!untransformed.empty()) {
            const int n = std::min(PointCount(*curve), static_cast<int>(untransformed.size()));
            for (int i = 0; i < n; ++i) {
                tag_CALI_POINT& point = curve->GetCaliPoint(i);
                point.Conc = untransformed[i].Conc;
                point.Resp = untransformed[i].Resp;
            }
            CaliSetCDBWeighting(curve);
        }
        curve->SetXYTrans(kAxisNone);
        curve->SetCCalc(kCurveRF);
        result = FitPolyCurve(stats, curve);
    }
    return result == kFitOK ? kFitOK : result + kFitCodeOffset;
}

int CQuanCalibrate::FitPolyCurve(tag_STATS_STRUCT* stats, CCalibrationData* curve) {
    if (stats == nullptr || curve == nullptr) return kFitNoPoints;
    ClearFitResults(*stats);
    const int curveType = curve->GetCCalc();
    if (curveType == kCurveRF) return FitResponseFactor(*stats, *curve);
    if (curveType >= 1 && curveType <= kMaxCurveOrder) return FitPolynomial(*stats, *curve, curveType);
    return kFitBadCurveType;
}

int CQuanCalibrate::FitResponseFactor(tag_STATS_STRUCT& stats, const CCalibrationData& curve) {
    const int pointCount = PointCount(curve);
    Extremes extremes(curve.GetCaliPoint(0));
    PointSums sums;
    for (int i = 0; i < pointCount; ++i) {
        const tag_CALI_POINT point = curve.GetCaliPoint(i);
        if (IsExcluded(point)) continue;
        if (!PointFinite(point)) return kFitSingular;
        extremes.Update(point.Conc, point.Resp);
        sums.Add(point.Conc, point.Resp, point.Weight);
    }
    if (sums.count == 0 || curve.GetNumCaliPts() < 1) return kFitTooFewPoints;
    if (extremes.minConc == extremes.maxConc && extremes.minConc == 0.0) return kFitZeroConcentrations;
    // A response factor of 0 turns no response into a concentration: such a curve is no
    // calibration, however many points it has.
    const double rf = sums.responseFactor / sums.count;
    if (!(sums.resp > 0.0) || rf == 0.0 || !std::isfinite(rf)) return kFitNoResponseFactor;

    extremes.StoreIn(stats);
    sums.StoreMeansIn(stats);
    stats.MeanRF = rf;
    stats.Coefficients[1] = rf;

    double rfScatter = 0.0;
    double absoluteResiduals = 0.0;
    double squaredResiduals = 0.0;
    for (int i = 0; i < pointCount; ++i) {
        const tag_CALI_POINT point = curve.GetCaliPoint(i);
        if (IsExcluded(point)) continue;
        const double x = point.Conc;
        const double y = point.Resp;
        if (x > 0.0) rfScatter += (y / x - rf) * (y / x - rf);
        absoluteResiduals += std::fabs(y - rf * x);
        squaredResiduals += (y - rf * x) * (y - rf * x);
    }
    stats.MeanResid = absoluteResiduals / sums.count;
    if (sums.count > 1) {
        stats.StdDev = std::sqrt(rfScatter / (sums.count - 1));
        // An RF of 0 (every used concentration at or below 0) has no relative deviation.
        stats.RelSD = rf != 0.0 ? stats.StdDev / rf : 0.0;
        stats.MnSqErr = squaredResiduals / sums.count;
    }
    stats.MeanRelConc = stats.MeanConc;
    stats.PercRelSD = stats.RelSD * 100.0;
    return kFitOK;
}

int CQuanCalibrate::FitPolynomial(tag_STATS_STRUCT& stats, const CCalibrationData& curve, int order) {
    if (curve.GetNumCaliPts() < 1) return kFitNoPoints;
    const int pointCount = PointCount(curve);
    const bool version1 = stats.Version1 != 0;

    double x[kMaxFitPointsWithOrigin];
    double y[kMaxFitPointsWithOrigin];
    double v[kMaxFitPointsWithOrigin];
    Extremes extremes(curve.GetCaliPoint(0));
    PointSums sums;
    double largestWeight = 0.0;
    for (int i = 0; i < pointCount; ++i) {
        const tag_CALI_POINT point = curve.GetCaliPoint(i);
        if (IsExcluded(point)) continue;
        if (!PointFinite(point)) return kFitSingular;
        // More points than a stored curve can hold are outside the format: refused, not cut.
        if (sums.count == kMaxFitPoints) return kFitTooFewPoints;
        x[sums.count] = point.Conc;
        y[sums.count] = point.Resp;
        v[sums.count] = FittingWeight(point.Weight, version1);
        largestWeight = std::max(largestWeight, point.Weight);
        extremes.Update(point.Conc, point.Resp);
        sums.Add(point.Conc, point.Resp, point.Weight);
    }
    if (sums.count == 0) return kFitNoPoints;

    if (stats.IncludeOrigin) {
        // The origin point counts with the largest weight of the used points.
        x[sums.count] = 0.0;
        y[sums.count] = 0.0;
        v[sums.count] = FittingWeight(largestWeight, version1);
        ++sums.count;
        sums.weight += largestWeight;
    }
    const int n = sums.count;
    if (n < order) return kFitTooFewPoints;
    if (n == order && !stats.ForceOrigin) return kFitTooFewPoints;
    if (extremes.minConc == extremes.maxConc) {
        if (extremes.minConc == 0.0) return kFitZeroConcentrations;
        if (!(stats.ForceOrigin && order == kCurveLinear)) return kFitEqualConcentrations;
    }

    extremes.StoreIn(stats);
    sums.StoreMeansIn(stats);
    stats.MeanRF = sums.responseFactor / n;
    if (!FitPolynomialWithStatistics(x, y, v, n, order, &stats)) return kFitSingular;
    stats.MeanRelConc = stats.MeanConc;
    stats.PercRelSD = stats.RelSD * 100.0;
    return kFitOK;
}

bool CQuanCalibrate::QuanSetCurveStats(CCalibrationData* curve, tag_STATS_STRUCT* stats) {
    if (curve == nullptr || stats == nullptr) return false;
    curve->SetMinResp(stats->MinResp);
    curve->SetMaxResp(stats->MaxResp);
    curve->SetMeanResp(stats->MeanResp);
    curve->SetMeanRelResp(stats->MeanRF);
    curve->SetMinConc(stats->MinConc);
    curve->SetMaxConc(stats->MaxConc);
    curve->SetMeanConc(stats->MeanConc);
    curve->SetMeanRelConc(stats->MeanRelConc);
    curve->SetCorrCoeff(std::clamp(stats->CorrCoeff, -1.0, 1.0));
    // A straight line not forced through the origin reports r and r^2; every other curve r^2.
    curve->SetReportCorrFlags(curve->GetCCalc() == kCurveLinear && curve->GetOrigin() != kOriginForce ? 2 : 1);
    curve->SetMinCCFlag(stats->CorrCoeff < curve->GetCCThreshold() ? 1 : 0);
    curve->SetMeanResid(stats->MeanResid);
    curve->SetMnSqErr(std::clamp(stats->MnSqErr, kMinStoredMnSqErr, kMaxStoredMnSqErr));
    curve->SetStdDev(stats->StdDev);
    curve->SetRelSD(stats->RelSD);
    curve->SetPercRelSD(stats->PercRelSD);
    curve->SetCurveValid(1);
    for (int i = 0; i < kNumCurveCoefficients; ++i) curve->SetCC(stats->Coefficients[i], i);
    if (stats->MatrixMatch) curve->SetCC(0.0, 0);
    return true;
}
