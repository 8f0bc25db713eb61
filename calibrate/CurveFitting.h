// What one curve fit takes in and gives back: the fit's four switches (set by the driver from
// the curve's origin handling and the engine's version-1 flag), the curve statistics and the
// coefficients c0..c6 of response = c0 + c1*x + ... + c6*x^6. Also the fit codes.
// Invariant: a fit clears everything but the four switches before it starts.
#pragma once

#include <cstdint>

// Fit codes of one fit; the calibration reports a failure as the code plus kFitCodeOffset.
constexpr int kFitOK = 0;
constexpr int kFitBadCurveType = 3;         // curve type outside RF and orders 1 to 6
constexpr int kFitNoPoints = 4;             // a polynomial without any point in use
constexpr int kFitTooFewPoints = 5;         // RF without a usable point, or too few for the order
constexpr int kFitNoResponseFactor = kFitTooFewPoints;  // RF points whose factor is 0 (or responses sum to 0 or less)
constexpr int kFitSingular = 7;             // singular normal equations, points that are not finite, or a
                                            // fit double precision cannot deliver to 1e-6
constexpr int kFitEqualConcentrations = 8;  // every used concentration the same (not zero)
constexpr int kFitZeroConcentrations = 10;  // every used concentration zero
constexpr int kFitCodeOffset = 27;

// Points that take part in a polynomial fit, and one more for the appended origin point.
constexpr int kMaxFitPoints = 100;
constexpr int kMaxFitPointsWithOrigin = kMaxFitPoints + 1;
constexpr int kMaxCurveOrder = 6;
constexpr int kNumCurveCoefficients = kMaxCurveOrder + 1;

struct tag_STATS_STRUCT {
    double MinResp;
    double MaxResp;
    double MeanResp;
    double WeightedMeanResp;   // the mean the correlation measures against; never stored
    double MeanRF;             // mean response factor
    double MinConc;
    double MaxConc;
    double MeanConc;
    double MeanRelConc;
    double CorrCoeff;          // r; polynomial fits only
    double MeanResid;
    double MnSqErr;
    double StdDev;
    double RelSD;              // RF fits only
    double PercRelSD;
    int32_t ForceOrigin;       // the curve's origin handling is "force"
    int32_t IncludeOrigin;     // ... "include": an origin point is appended to the fit
    int32_t MatrixMatch;       // ... "matrix match": the stored intercept is 0
    int32_t Version1;          // the version-1 weighting arithmetic
    double Coefficients[kNumCurveCoefficients];
};

// Clears the results and keeps the four switches.
void ClearFitResults(tag_STATS_STRUCT& stats);
