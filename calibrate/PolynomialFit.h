// The numerical routines of the weighted least-squares polynomial fit: plain powers of x, the
// normal equations of the fit solved by Gauss-Jordan elimination with full pivoting, and the
// fit statistics. They reproduce the arithmetic of the host's earlier calibrations step by
// step (accumulation order, square roots of weights, the exact-zero singularity test), so a
// stored calibration refits to the same coefficients; that is why no better-conditioned basis
// is used. Everything works on fixed arrays; nothing allocates.
#pragma once

#include "calibrate/CurveFitting.h"

// The normal-equation system: at most 7 unknowns, stored with a row length of 7.
constexpr int kMaxUnknowns = kNumCurveCoefficients;
using NormalMatrixRow = double[kMaxUnknowns];

// c0 + c1*x + ... + ck*x^k by Horner's scheme from c_k downward; 0 for a negative order.
double EvaluatePolynomial(double x, int order, const double* coefficients);
// The sum of the n values divided by n; 0 for no values.
double MeanOfValues(const double* values, int n);
// b_i = sum W*x^(i+p)*y and A_ij = sum W*x^(i+j+2p), i, j < m, with W = v*v and p = 1 when the
// curve is forced through the origin (its c0 is then not an unknown), else 0.
void BuildNormalEquations(const double* x, const double* y, const double* v, int n, double* b,
                          NormalMatrixRow* a, int m, int forceOrigin);
// Solves A*s = b in place (b becomes s). False for a singular system (an exact zero pivot), a
// column chosen twice, or m outside 1 to 7.
bool SolveGaussJordan(double* b, NormalMatrixRow* a, int m);
// Fits c0..ck (c1..ck with c0 = 0 when forced) to the n points with fitting weights v; the
// unused coefficients of the 7 are set to 0. False when the system cannot be solved, when the
// order or count is out of range, or when the solution is not finite.
bool LeastSquaresPolynomial(const double* x, const double* y, const double* v, int n, int order,
                            double* coefficients, int forceOrigin);
// The fit above into stats->Coefficients, then the mean response, residuals, mean square error,
// standard deviation and correlation against stats->WeightedMeanResp.
bool FitPolynomialWithStatistics(const double* x, const double* y, const double* v, int n, int order,
                                 tag_STATS_STRUCT* stats);
