// The numerical routines of the weighted least-squares polynomial fit. Coefficients are stored
// in plain powers of x, as every stored curve holds them, but the fit is solved by Householder
// QR of the weighted design matrix with each column scaled by a power of two: forming the
// normal equations would square the condition number, which on wide concentration ranges at
// high orders costs whole percents of the fitted responses. The normal equations and their
// Gauss-Jordan solver remain available to callers; the fit no longer uses them. Everything
// works on fixed arrays; nothing allocates.
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
// Fits c0..ck (c1..ck with c0 = 0 when forced) to the n points with fitting weights v, that is
// minimises sum (v*(y - p(x)))^2; the unused coefficients of the 7 are set to 0. False when the
// order or count is out of range, the design is singular (a column without any weight), the
// solution is not finite, or the estimated relative error of the fitted responses exceeds
// kMaxFitRelativeError: double precision cannot deliver that curve, and a wrong one is not stored.
constexpr double kMaxFitRelativeError = 1e-6;
bool LeastSquaresPolynomial(const double* x, const double* y, const double* v, int n, int order,
                            double* coefficients, int forceOrigin);
// The fit above into stats->Coefficients, then the mean response, residuals, mean square error,
// standard deviation and correlation against stats->WeightedMeanResp.
bool FitPolynomialWithStatistics(const double* x, const double* y, const double* v, int n, int order,
                                 tag_STATS_STRUCT* stats);
