// What inverting a calibration curve needs beyond the calibration engine's own arithmetic
// (the inverse axis transformation and the polynomial, which it shares): the forward
// transformation as a plain function, the polynomial's derivative by Horner's rule, and Newton's
// method on a polynomial of order 3 to 6. Plain functions of doubles; no state.
#pragma once

#include "calibrate/AxisTransform.h"
#include "calibrate/PolynomialFit.h"

namespace QuanCurve {

// The highest curve order inversion solves (curve types are the keyword table's CurveType).
constexpr int kCurveHighestOrder = kCurveSixthOrder;

// Coefficients c0..c6: enough for a sixth-order curve.
constexpr int kMaxCurveCoefficients = 7;

// Newton's method: rounds, and the slope and step below which it stops.
constexpr int kSolverRounds = 29;
constexpr double kSolverFlatSlope = 1e-6;
constexpr double kSolverStepTolerance = 0.001;

// 0 for a value that is zero, negative or not a number, whatever the code; otherwise ln, log10
// or the square root for codes 1, 2, 3, and the value itself for every other code.
double ForwardTransformation(double value, int code);
// 1 c[1] + 2 c[2] x + ... + order c[order] x^(order-1), Horner's rule; 0 for order below 1.
double EvaluatePolynomialDerivative(double x, int order, const double* coefficients);
// Newton's method on P(x) - y from the middle of the calibrated range: 0 with the root in *x, or
// kSolverNoConvergence with *x = 0 after kSolverRounds rounds. No bracketing and no range check:
// the root is the one Newton's method reaches from the midpoint.
int Solve(double y, double* x, double minConc, double maxConc, const double* coefficients, int order);

}  // namespace QuanCurve
