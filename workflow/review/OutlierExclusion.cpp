// Automatic outlier exclusion: studentized residuals of a fitted curve and the exclusion loop.
#include "workflow/review/OutlierExclusion.h"

#include <cmath>
#include <cstring>

#include "calibrate/PolynomialFit.h"
#include "platform/NumberText.h"

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

int Coefficients(const CCalibrationData& curve) {
    if (curve.GetCCalc() == kCurveRF) return 1;
    return curve.GetOrigin() == kOriginForce ? curve.GetCCalc() : curve.GetCCalc() + 1;
}

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
    const int m = Coefficients(curve);
    const int first = curve.GetCCalc() != kCurveRF && curve.GetOrigin() == kOriginForce ? 1 : 0;
    for (int j = 0; j < m; ++j) phi[j] = std::pow(x, first + j);
}

}  // namespace

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
    const int m = Coefficients(fitted);
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

int MinimumPoints(const CCalibrationData& curve, const ReviewSettings& settings) {
    int minimum = settings.outlierMinPoints;
    if (minimum == 0 && settings.rules != RuleSet::kNone)
        minimum = static_cast<int>(std::ceil(settings.limits.minStandardsPassing));
    return std::max(minimum, Coefficients(curve) + 2);
}

OutlierOutcome ExcludeOutliers(const std::string& compound, CCalibrationData& prepared, const ReviewSettings& settings) {
    OutlierOutcome outcome;
    if (!settings.excludeOutliers || prepared.GetTotalsEntry() != 0 || prepared.GetTotalsGroupEntry() != 0) return outcome;
    const int minimum = MinimumPoints(prepared, settings);
    const std::string limitText = NumberText::General(settings.outlierLimit, 4);
    for (;;) {
        const CCalibrationData fitted = FitCurve(prepared);
        if (fitted.GetCurveValid() == 0) {
            outcome.stopped = "the curve cannot be fitted";
            break;
        }
        const RuleVerdict verdict = JudgeCurve(compound, fitted, settings);
        if (settings.rules != RuleSet::kNone && verdict.passed) {
            outcome.stopped = "the curve passes its acceptance rule";
            break;
        }
        int used = 0;
        for (int i = 0; i < prepared.GetNumCaliPts(); ++i) used += IsUsed(prepared.GetCaliPoint(i));
        if (used <= minimum) {
            outcome.stopped = "the curve is down to its minimum of " + std::to_string(minimum) + " points";
            break;
        }
        const std::vector<double> residuals = StudentizedResiduals(fitted);
        int worst = -1;
        for (size_t i = 0; i < residuals.size(); ++i)
            if (!std::isnan(residuals[i]) && (worst < 0 || std::fabs(residuals[i]) > std::fabs(residuals[worst])))
                worst = static_cast<int>(i);
        if (worst < 0 || !(std::fabs(residuals[worst]) > settings.outlierLimit)) {
            outcome.stopped = "no studentized residual is above " + limitText;
            break;
        }
        prepared.GetCaliPoint(worst).Flags |= kCaliPointExcluded;
        const tagFILE_INFO file = prepared.GetCaliFile(worst);
        ExcludedPoint point{compound, std::string(file.Name, strnlen(file.Name, sizeof file.Name)), kExcludedAutomatically,
                            "studentized residual " + NumberText::General(residuals[worst], 4) + " above " + limitText, residuals[worst]};
        if (settings.rules != RuleSet::kNone) point.reason += " while the curve failed its standards rule (" + verdict.reason + ")";
        outcome.excluded.push_back(point);
    }
    return outcome;
}

}  // namespace Batch
