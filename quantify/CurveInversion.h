// The arithmetic of a calibration curve, shared by calibration (which fits curves in
// transformed-axis space) and quantification (which inverts them): the forward and inverse axis
// transformations, the polynomial and its derivative by Horner's rule, and Newton's method on
// a polynomial of order 3 to 6. Plain functions of doubles; no state.
#pragma once

// Axis transformation codes (rows of the axis-transform keyword table).
constexpr int kAxisNone = 0;
constexpr int kAxisLn = 1;
constexpr int kAxisLog = 2;
constexpr int kAxisSqrt = 3;

// Curve type codes (rows of the curve-type keyword table) as inversion reads them.
constexpr int kCurveRF = 0;
constexpr int kCurveLinear = 1;
constexpr int kCurveQuadratic = 2;
constexpr int kCurveHighestOrder = 6;
constexpr int kCurveRFAlternative = 7;  // inverted as a response factor

// Coefficients c0..c6: enough for a sixth-order curve.
constexpr int kMaxCurveCoefficients = 7;

// Newton's method: rounds, and the slope and step below which it stops.
constexpr int kSolverRounds = 29;
constexpr double kSolverFlatSlope = 1e-6;
constexpr double kSolverStepTolerance = 0.001;

// 0 for a value that is zero, negative or not a number, whatever the code; otherwise ln, log10
// or the square root for codes 1, 2, 3, and the value itself for every other code.
double ForwardTransformation(double value, int code);
// e^x, 10^x or x^2 for codes 1, 2, 3; x itself otherwise. No guard on x.
double InverseTransformation(double value, int code);
// c[0] + c[1] x + ... + c[order] x^order, Horner's rule from c[order] down.
double EvaluatePolynomial(double x, int order, const double* coefficients);
// 1 c[1] + 2 c[2] x + ... + order c[order] x^(order-1), Horner's rule; 0 for order below 1.
double EvaluatePolynomialDerivative(double x, int order, const double* coefficients);
// Newton's method on P(x) - y from the middle of the calibrated range: 0 with the root in *x, or
// kSolverNoConvergence with *x = 0 after kSolverRounds rounds. No bracketing and no range check:
// the root is the one Newton's method reaches from the midpoint.
int Solve(double y, double* x, double minConc, double maxConc, const double* coefficients, int order);
