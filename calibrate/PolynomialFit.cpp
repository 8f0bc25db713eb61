// Weighted least squares in plain powers of x, as the host's earlier calibrations computed it.
// The accumulation order, the use of the square root of a point weight as its fitting weight
// (squared again in the normal equations) and the exact-zero pivot test are kept as they are:
// changing any of them would move stored curves in their last digits.
#include "calibrate/PolynomialFit.h"

#include <cmath>
#include <utility>

namespace {
// Negative point weights (possible under the version-1 arithmetic) can make a sum of squares
// negative; its root is then no statistic, and 0 is stored instead of a value that is not a number.
double RootOrZero(double value) { return value >= 0.0 ? std::sqrt(value) : 0.0; }
}  // namespace

double EvaluatePolynomial(double x, int order, const double* coefficients) {
    if (order < 0 || coefficients == nullptr) return 0.0;
    double value = coefficients[order];
    for (int j = order - 1; j >= 0; --j) value = value * x + coefficients[j];
    return value;
}

double MeanOfValues(const double* values, int n) {
    if (n <= 0 || values == nullptr) return 0.0;
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += values[i];
    return sum / n;
}

void BuildNormalEquations(const double* x, const double* y, const double* v, int n, double* b,
                          NormalMatrixRow* a, int m, int forceOrigin) {
    if (m < 1 || m > kMaxUnknowns) return;
    const int p = forceOrigin ? 1 : 0;
    for (int i = 0; i < m; ++i) {
        b[i] = 0.0;
        for (int j = 0; j < m; ++j) a[i][j] = 0.0;
    }
    // The matrix is a Hankel matrix: its first column and last row hold every distinct power
    // sum, x^(2p) to x^(2m-2+2p); the rest is copied along the anti-diagonals.
    for (int k = 0; k < n; ++k) {
        const double weight = v[k] * v[k];
        for (int i = 0; i < m; ++i) {
            b[i] += weight * std::pow(x[k], i + p) * y[k];
            a[i][0] += weight * std::pow(x[k], i + 2 * p);
        }
        for (int j = 1; j < m; ++j) a[m - 1][j] += weight * std::pow(x[k], m - 1 + j + 2 * p);
    }
    for (int i = 0; i < m - 1; ++i) {
        for (int j = 1; j < m; ++j) {
            const int antiDiagonal = i + j;
            a[i][j] = antiDiagonal < m ? a[antiDiagonal][0] : a[m - 1][antiDiagonal - (m - 1)];
        }
    }
}

bool SolveGaussJordan(double* b, NormalMatrixRow* a, int m) {
    if (m < 1 || m > kMaxUnknowns) return false;
    int pivotRowOfPass[kMaxUnknowns];
    int pivotColumnOfPass[kMaxUnknowns];
    int timesColumnUsed[kMaxUnknowns] = {};

    for (int pass = 0; pass < m; ++pass) {
        double largest = 0.0;
        int pivotRow = -1;
        int pivotColumn = -1;
        for (int row = 0; row < m; ++row) {
            if (timesColumnUsed[row] == 1) continue;
            for (int column = 0; column < m; ++column) {
                if (timesColumnUsed[column] == 0) {
                    // Among equal values the last one found is the pivot.
                    if (std::fabs(a[row][column]) >= largest) {
                        largest = std::fabs(a[row][column]);
                        pivotRow = row;
                        pivotColumn = column;
                    }
                } else if (timesColumnUsed[column] > 1) {
                    return false;
                }
            }
        }
        if (pivotColumn < 0) return false;  // only values that are not numbers were left
        ++timesColumnUsed[pivotColumn];
        if (pivotRow != pivotColumn) {
            for (int column = 0; column < m; ++column) std::swap(a[pivotRow][column], a[pivotColumn][column]);
            std::swap(b[pivotRow], b[pivotColumn]);
        }
        pivotRowOfPass[pass] = pivotRow;
        pivotColumnOfPass[pass] = pivotColumn;

        const double pivot = a[pivotColumn][pivotColumn];
        if (pivot == 0.0) return false;
        const double inversePivot = 1.0 / pivot;
        a[pivotColumn][pivotColumn] = 1.0;
        for (int column = 0; column < m; ++column) a[pivotColumn][column] *= inversePivot;
        b[pivotColumn] *= inversePivot;
        for (int row = 0; row < m; ++row) {
            if (row == pivotColumn) continue;
            const double factor = a[row][pivotColumn];
            a[row][pivotColumn] = 0.0;
            for (int column = 0; column < m; ++column) a[row][column] -= a[pivotColumn][column] * factor;
            b[row] -= b[pivotColumn] * factor;
        }
    }
    for (int pass = m - 1; pass >= 0; --pass) {
        if (pivotRowOfPass[pass] == pivotColumnOfPass[pass]) continue;
        for (int row = 0; row < m; ++row)
            std::swap(a[row][pivotRowOfPass[pass]], a[row][pivotColumnOfPass[pass]]);
    }
    return true;
}

bool LeastSquaresPolynomial(const double* x, const double* y, const double* v, int n, int order,
                            double* coefficients, int forceOrigin) {
    if (order < 1 || order > kMaxCurveOrder || n < 1 || n > kMaxFitPointsWithOrigin) return false;
    const int unknowns = forceOrigin ? order : order + 1;
    double b[kMaxUnknowns];
    double a[kMaxUnknowns][kMaxUnknowns];
    BuildNormalEquations(x, y, v, n, b, a, unknowns, forceOrigin);
    if (!SolveGaussJordan(b, a, unknowns)) return false;
    // A solution that overflowed is no curve.
    for (int i = 0; i < unknowns; ++i)
        if (!std::isfinite(b[i])) return false;

    for (int i = 0; i < kNumCurveCoefficients; ++i) coefficients[i] = 0.0;
    const int first = forceOrigin ? 1 : 0;  // a forced curve passes through the origin: c0 = 0
    for (int i = 0; i < unknowns; ++i) coefficients[first + i] = b[i];
    return true;
}

bool FitPolynomialWithStatistics(const double* x, const double* y, const double* v, int n, int order,
                                 tag_STATS_STRUCT* stats) {
    if (stats == nullptr) return false;
    if (!LeastSquaresPolynomial(x, y, v, n, order, stats->Coefficients, stats->ForceOrigin)) return false;
    stats->MeanResp = MeanOfValues(y, n);

    double absoluteResiduals = 0.0;
    double sse = 0.0;
    double sst = 0.0;
    for (int i = 0; i < n; ++i) {
        const double statsWeight = stats->Version1 ? v[i] : v[i] * v[i];
        const double residual = y[i] - EvaluatePolynomial(x[i], order, stats->Coefficients);
        absoluteResiduals += std::fabs(residual);
        sse += statsWeight * residual * residual;
        const double deviation = y[i] - stats->WeightedMeanResp;
        sst += statsWeight * deviation * deviation;
    }
    // Written so that a total that is not a number gives no correlation.
    stats->CorrCoeff = (n > 0 && sst != 0.0 && sst > sse) ? RootOrZero((sst - sse) / sst) : 0.0;
    stats->MeanResid = absoluteResiduals / n;
    stats->MnSqErr = sse / n;
    stats->StdDev = n >= 2 ? RootOrZero(sse / (n - 1)) : 0.0;
    stats->PercRelSD = stats->RelSD * 100.0;
    return true;
}
