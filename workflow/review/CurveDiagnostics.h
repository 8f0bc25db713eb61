// What a fitted curve says about its own standards, for the review and the reports: each
// standard back-calculated through the curve, its deviation from nominal, and the externally
// studentized residual of each point (each judged against the fit without it). Curve logic that
// the engine does not report; the fits themselves are the calibration engine's.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "quan.h"

namespace Batch {

// The concentration a fitted curve gives back for `response` (in the analyst's units, whatever
// the axis transformation); NaN when the curve is not calibrated or gives none.
double BackCalculate(const CCalibrationData& curve, double response);

// One calibration standard of a curve as an analyst reads it: in the analyst's units (the
// calibration engine keeps a transformed curve's points transformed), with the concentration
// the curve gives back for its response (NaN when the curve has none).
struct StandardPoint {
    std::string standard;    // the standard's sample id
    double nominal = 0.0;
    double response = 0.0;
    double backCalculated = 0.0;
    bool excluded = false;
    std::string excludedBy;  // an excluded point's "analyst" or "automatic"
    std::string reason;      // and why
    double residual = NAN;   // the studentized residual of an outlier excluded automatically
};
std::vector<StandardPoint> StandardPoints(const CCalibrationData& curve);
// The accuracy of a back-calculated concentration: its deviation from nominal in percent;
// NaN when either is missing or the nominal is zero.
double DeviationPercent(double nominal, double found);

// How many coefficients the curve's fit solves for.
int CoefficientCount(const CCalibrationData& curve);

// Fits a copy of one curve as the batch does (axis transformation, weighting, fit).
CCalibrationData FitCurve(const CCalibrationData& prepared);

// The externally studentized residual of every point of a fitted curve, by point index: NaN for
// points the curve does not use and wherever it is not defined (fewer than two degrees of
// freedom left without the point, or a point that alone decides the fit); infinite for a point
// off a curve that fits the others exactly. A response-factor curve is the mean of the points'
// response factors, so its residuals are those of the factors.
std::vector<double> StudentizedResiduals(const CCalibrationData& fitted);

}  // namespace Batch
