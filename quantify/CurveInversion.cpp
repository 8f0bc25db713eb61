// Curve inversion: the concentration a fitted calibration curve maps a response to. The curve
// lives in transformed-axis space, so the response is transformed forward, the polynomial is
// solved for x, and x is transformed back.
#include "quantify/CurveInversion.h"

#include <cmath>

#include "quantify/QuanQuantify.h"
#include "quantify/QuantifyStatus.h"

namespace QuanCurve {

double ForwardTransformation(double value, int code) {
    // Also catches NaN: a response without a number transforms like a zero response.
    if (!(value > 0.0)) return 0.0;
    switch (code) {
    case kAxisLn: return std::log(value);
    case kAxisLog10: return std::log10(value);
    case kAxisSquareRoot: return std::sqrt(value);
    default: return value;
    }
}

double EvaluatePolynomialDerivative(double x, int order, const double* c) {
    if (order < 1) return 0.0;
    double r = order * c[order];
    for (int k = order - 1; k >= 1; --k) r = r * x + k * c[k];
    return r;
}

int Solve(double y, double* x, double minConc, double maxConc, const double* c, int order) {
    double root = (minConc + maxConc) * 0.5;
    for (int round = 0; round < kSolverRounds; ++round) {
        const double f = EvaluatePolynomial(root, order, c) - y;
        const double d = EvaluatePolynomialDerivative(root, order, c);
        // A flat curve gives no direction; the current estimate is the answer.
        if (std::fabs(d) < kSolverFlatSlope) {
            *x = root;
            return 0;
        }
        const double step = f / d;
        root -= step;
        if (std::fabs(step) < kSolverStepTolerance) {
            *x = root;
            return 0;
        }
    }
    *x = 0.0;
    return kSolverNoConvergence;
}

}  // namespace QuanCurve

namespace {
using namespace QuanCurve;

// x of a second-order curve at y: the larger root when the curve opens upward, the smaller
// when it opens downward, which is (-c1 + sqrt D) / (2 c2) for either sign of c2. With c1 >= 0
// that difference cancels whenever c2 is small against c1^2, the usual case of a calibration
// that is nearly straight, so the same root is taken in its equal form 2 (y - c0) / (c1 + sqrt D).
int SolveQuadratic(double y, const double* c, double& x) {
    if (c[2] == 0.0) {
        // A degenerate fit is a straight line; dividing by 2 c2 would report infinity.
        if (c[1] == 0.0) return kCurveNoSolution;
        x = (y - c[0]) / c[1];
        return kCurveSolved;
    }
    const double discriminant = c[1] * c[1] - 4.0 * c[2] * (c[0] - y);
    if (!(discriminant >= 0.0)) return kCurveNoSolution;
    if (discriminant == 0.0) {
        x = -c[1] / (2.0 * c[2]);
        return kCurveSolved;
    }
    const double root = std::sqrt(discriminant);
    x = c[1] >= 0.0 ? 2.0 * (y - c[0]) / (c[1] + root) : (root - c[1]) / (2.0 * c[2]);
    return kCurveSolved;
}
}  // namespace

int CQuanQuantify::QuanGetConc(double response, double* conc, const double* coeffs, int curveType,
                               int axisTransform, double minConc, double maxConc) {
    if (conc == nullptr || coeffs == nullptr) return kCurveNoSolution;
    if (curveType < kCurveRF || curveType > kCurveRFAlternative) return kCurveTypeUnknown;
    const double y = ForwardTransformation(response, axisTransform);
    double x = 0.0;
    switch (curveType) {
    case kCurveRF:
    case kCurveRFAlternative:
        if (coeffs[1] == 0.0) return kCurveNoSolution;
        x = y / coeffs[1];
        break;
    case kCurveLinear:
        if (coeffs[1] == 0.0) return kCurveNoSolution;
        x = (y - coeffs[0]) / coeffs[1];
        break;
    case kCurveQuadratic: {
        const int status = SolveQuadratic(y, coeffs, x);
        if (status != kCurveSolved) return status;
        break;
    }
    default: {
        const int status = Solve(y, &x, minConc, maxConc, coeffs, curveType);
        if (status != 0) {
            *conc = 0.0;
            return status + kSolverStatusOffset;
        }
        break;
    }
    }
    const double result = InverseTransformation(x, axisTransform);
    // A curve with coefficients that are not numbers maps to no concentration; reporting NaN
    // as solved would slip past every later limit.
    if (std::isnan(result)) return kCurveNoSolution;
    *conc = result;
    return kCurveSolved;
}
