// Back-calculated standards and studentized residuals of fitted curves.
#include "workflow/review/CurveDiagnostics.h"

#include <algorithm>
#include <cstring>

#include "calibrate/PolynomialFit.h"

namespace Batch {

namespace {

bool IsUsed(const tag_CALI_POINT& point) { return (point.Flags & kCaliPointExcluded) == 0; }

// One point of the fit as the engine fits it: regressor, response and the weight of its squared
// residual. `index` is the calibration point's, or -1 for the origin the fit appends.
struct FitPoint {
    int index;
    double x, y, weight;
};

// The weight the engine's fit gives a point's squared residual: the point weight itself, or
// its square when it is not above zero (the fit then takes the weight as its square root).
double ResidualWeight(double pointWeight) { return pointWeight > 0.0 ? pointWeight : pointWeight * pointWeight; }

// The fit points of a fitted curve and each one's residual from it. A response-factor curve is
// the mean of the points' factors: a fit of a constant to them.
void Residuals(const CCalibrationData& curve, std::vector<FitPoint>& points, std::vector<double>& residuals) {
    const bool factor = curve.GetCCalc() == kCurveRF;
    double largestWeight = 0.0;
    for (int i = 0; i < curve.GetNumCaliPts(); ++i) {
        const tag_CALI_POINT point = curve.GetCaliPoint(i);
        if (!IsUsed(point)) continue;
        if (factor) {
            if (point.Conc > 0.0) points.push_back({i, 1.0, point.Resp / point.Conc, 1.0});
        } else {
            points.push_back({i, point.Conc, point.Resp, ResidualWeight(point.Weight)});
            largestWeight = std::max(largestWeight, point.Weight);
        }
    }
    if (!factor && curve.GetOrigin() == kOriginInclude) points.push_back({-1, 0.0, 0.0, ResidualWeight(largestWeight)});
    double coefficients[CCalibrationData::kNumCoefficients];
    for (int c = 0; c < CCalibrationData::kNumCoefficients; ++c) coefficients[c] = curve.GetCC(c);
    for (const FitPoint& point : points)
        residuals.push_back(factor ? point.y - coefficients[1] : point.y - EvaluatePolynomial(point.x, curve.GetCCalc(), coefficients));
}

// The regressors of one point: the powers of x the fit solves for.
void Regressors(const CCalibrationData& curve, double x, double* phi) {
    const int m = CoefficientCount(curve);
    const int first = curve.GetCCalc() != kCurveRF && curve.GetOrigin() == kOriginForce ? 1 : 0;
    for (int j = 0; j < m; ++j) phi[j] = std::pow(x, first + j);
}

}  // namespace

int CoefficientCount(const CCalibrationData& curve) {
    if (curve.GetCCalc() == kCurveRF) return 1;
    return curve.GetOrigin() == kOriginForce ? curve.GetCCalc() : curve.GetCCalc() + 1;
}

double BackCalculate(const CCalibrationData& curve, double response) {
    if (curve.GetCurveValid() == 0) return std::nan("");
    double coefficients[CCalibrationData::kNumCoefficients];
    for (int c = 0; c < CCalibrationData::kNumCoefficients; ++c) coefficients[c] = curve.GetCC(c);
    double conc = 0.0;
    if (CQuanQuantify::QuanGetConc(response, &conc, coefficients, curve.GetCCalc(), curve.GetXYTrans(),
                                   curve.GetMinConc(), curve.GetMaxConc()) != 0)
        return std::nan("");
    return conc;
}

std::vector<StandardPoint> StandardPoints(const CCalibrationData& curve) {
    std::vector<StandardPoint> points;
    const int count = std::clamp(curve.GetNumCaliPts(), 0, curve.GetNumCaliPointSlots());
    const int transformation = curve.GetXYTrans();
    for (int i = 0; i < count; ++i) {
        const tag_CALI_POINT stored = curve.GetCaliPoint(i);
        StandardPoint point;
        point.standard = i < curve.GetNumCaliFileSlots() ? GetFileInfoName(curve.GetCaliFile(i)) : std::string();
        point.nominal = InverseTransformation(stored.Conc, transformation);
        point.response = InverseTransformation(stored.Resp, transformation);
        point.excluded = (stored.Flags & kCaliPointExcluded) != 0;
        point.backCalculated = BackCalculate(curve, point.response);
        points.push_back(point);
    }
    return points;
}

double DeviationPercent(double nominal, double found) {
    if (!std::isfinite(nominal) || !std::isfinite(found) || nominal == 0.0) return std::nan("");
    return (found - nominal) * 100.0 / nominal;  // exact where the lab's arithmetic is (3 of 20 is 15 %)
}

CCalibrationData FitCurve(const CCalibrationData& prepared) {
    CCalibrationList one;
    one.Add(prepared);
    CQuanCalibrate engine;
    engine.QuanDoCalibration(&one, 0);
    return one.GetAt(0);
}

std::vector<double> StudentizedResiduals(const CCalibrationData& fitted) {
    std::vector<double> studentized(std::max(fitted.GetNumCaliPts(), 0), NAN);
    if (fitted.GetCurveValid() == 0) return studentized;
    std::vector<FitPoint> points;
    std::vector<double> residuals;
    Residuals(fitted, points, residuals);
    const int m = CoefficientCount(fitted);
    const int freedom = static_cast<int>(points.size()) - m;
    if (m < 1 || m > kMaxUnknowns || freedom < 2) return studentized;

    // The weighted normal matrix; each point's leverage is w * phi' M^-1 phi.
    NormalMatrixRow normal[kMaxUnknowns] = {};
    double phi[kMaxUnknowns];
    double squares = 0.0;
    for (size_t p = 0; p < points.size(); ++p) {
        Regressors(fitted, points[p].x, phi);
        for (int r = 0; r < m; ++r)
            for (int c = 0; c < m; ++c) normal[r][c] += points[p].weight * phi[r] * phi[c];
        squares += points[p].weight * residuals[p] * residuals[p];
    }
    for (size_t p = 0; p < points.size(); ++p) {
        if (points[p].index < 0) continue;  // the appended origin is no standard
        Regressors(fitted, points[p].x, phi);
        double solved[kMaxUnknowns];
        NormalMatrixRow copy[kMaxUnknowns];
        std::memcpy(solved, phi, sizeof solved);
        std::memcpy(copy, normal, sizeof copy);
        if (!SolveGaussJordan(solved, copy, m)) return studentized;
        double leverage = 0.0;
        for (int j = 0; j < m; ++j) leverage += phi[j] * solved[j];
        leverage *= points[p].weight;
        if (!(1.0 - leverage > 1e-10)) continue;  // the point alone decides the fit there
        const double scaled = std::sqrt(points[p].weight) * residuals[p] / std::sqrt(1.0 - leverage);
        // The scatter of the other points about the fit made without this one.
        const double without = (squares - scaled * scaled) / (freedom - 1);
        if (without <= 1e-24 * squares || squares == 0.0)
            studentized[points[p].index] = scaled * scaled <= 1e-24 * squares || squares == 0.0 ? 0.0 : std::copysign(INFINITY, scaled);
        else
            studentized[points[p].index] = scaled / std::sqrt(without);
    }
    return studentized;
}

}  // namespace Batch
