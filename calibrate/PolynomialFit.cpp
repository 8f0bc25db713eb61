// Weighted least squares for the calibration polynomial. The fit itself is a Householder QR of
// the column-scaled, weight-scaled design matrix; the normal-equation routines are kept as the
// host's earlier calibrations computed them (accumulation order, exact-zero pivot test) for
// callers that still use them.
#include "calibrate/PolynomialFit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {
// Negative point weights (possible under the version-1 arithmetic) can make a sum of squares
// negative; its root is then no statistic, and 0 is stored instead of a value that is not a number.
double RootOrZero(double value) { return value >= 0.0 ? std::sqrt(value) : 0.0; }

constexpr double kUnitRoundoff = std::numeric_limits<double>::epsilon() / 2.0;

// Rows are the fit points times their fitting weight, column j holds x^(j + p); every column is
// divided by a power of two near its norm, so the columns weigh alike and the coefficients
// scale back exactly. Triangularise turns the matrix into R and b into Q^T b.
struct ScaledLeastSquares {
    double a[kMaxFitPointsWithOrigin][kMaxUnknowns];
    double b[kMaxFitPointsWithOrigin];
    double columnScale[kMaxUnknowns];
    int rows = 0;
    int columns = 0;
};

bool BuildScaledDesign(const double* x, const double* y, const double* v, int n, int m, int firstPower,
                       ScaledLeastSquares& ls) {
    ls.rows = n;
    ls.columns = m;
    for (int i = 0; i < n; ++i) {
        double power = firstPower == 0 ? 1.0 : x[i];
        for (int j = 0; j < m; ++j) {
            ls.a[i][j] = v[i] * power;
            power *= x[i];
        }
        ls.b[i] = v[i] * y[i];
    }
    for (int j = 0; j < m; ++j) {
        double sumOfSquares = 0.0;
        for (int i = 0; i < n; ++i) sumOfSquares += ls.a[i][j] * ls.a[i][j];
        const double norm = std::sqrt(sumOfSquares);
        // A column without weight (or beyond double's range) determines nothing.
        if (!(norm > 0.0) || !std::isfinite(norm)) return false;
        int exponent = 0;
        std::frexp(norm, &exponent);
        ls.columnScale[j] = std::ldexp(1.0, exponent);
        for (int i = 0; i < n; ++i) ls.a[i][j] /= ls.columnScale[j];
    }
    return true;
}

// One Householder reflection per column; false for a column that is exactly dependent on the
// ones before it.
bool Triangularise(ScaledLeastSquares& ls) {
    for (int j = 0; j < ls.columns; ++j) {
        double sumOfSquares = 0.0;
        for (int i = j; i < ls.rows; ++i) sumOfSquares += ls.a[i][j] * ls.a[i][j];
        const double norm = std::sqrt(sumOfSquares);
        if (norm == 0.0) return false;
        // The sign that avoids cancellation in the reflection's first component.
        const double diagonal = ls.a[j][j] > 0.0 ? -norm : norm;
        ls.a[j][j] -= diagonal;
        const double beta = 1.0 / (norm * std::fabs(ls.a[j][j]));
        auto reflect = [&](auto&& element) {
            double dot = 0.0;
            for (int i = j; i < ls.rows; ++i) dot += ls.a[i][j] * element(i);
            const double factor = beta * dot;
            for (int i = j; i < ls.rows; ++i) element(i) -= factor * ls.a[i][j];
        };
        for (int k = j + 1; k < ls.columns; ++k) reflect([&](int i) -> double& { return ls.a[i][k]; });
        reflect([&](int i) -> double& { return ls.b[i]; });
        ls.a[j][j] = diagonal;
    }
    return true;
}

// Solves R z = rhs by back substitution.
void SolveUpperTriangular(const ScaledLeastSquares& ls, const double* rhs, double* z) {
    for (int j = ls.columns - 1; j >= 0; --j) {
        double sum = rhs[j];
        for (int k = j + 1; k < ls.columns; ++k) sum -= ls.a[j][k] * z[k];
        z[j] = sum / ls.a[j][j];
    }
}

// ||R|| ||R^-1|| in the Frobenius norm, an upper bound of R's condition number.
double ConditionOfR(const ScaledLeastSquares& ls) {
    const int m = ls.columns;
    double normR = 0.0;
    double normInverse = 0.0;
    for (int column = 0; column < m; ++column) {
        double unit[kMaxUnknowns] = {};
        double inverseColumn[kMaxUnknowns];
        unit[column] = 1.0;
        SolveUpperTriangular(ls, unit, inverseColumn);
        for (int row = 0; row <= column; ++row) {
            normR += ls.a[row][column] * ls.a[row][column];
            normInverse += inverseColumn[row] * inverseColumn[row];
        }
    }
    return std::sqrt(normR) * std::sqrt(normInverse);
}

// First-order bound on the relative error of the fitted (weighted) responses: rounding in the
// columns reaches the fit as sum |z_j| (large when the columns cancel, which also measures how
// evaluating the plain powers loses digits), and the residual enters through the condition.
double EstimatedRelativeError(const ScaledLeastSquares& ls, const double* z) {
    double fitted = 0.0;
    double residual = 0.0;
    double cancellation = 0.0;
    for (int j = 0; j < ls.columns; ++j) {
        fitted += ls.b[j] * ls.b[j];
        cancellation += std::fabs(z[j]);
    }
    for (int i = ls.columns; i < ls.rows; ++i) residual += ls.b[i] * ls.b[i];
    if (fitted == 0.0) return cancellation == 0.0 ? 0.0 : std::numeric_limits<double>::infinity();
    const double bound = cancellation + ConditionOfR(ls) * std::sqrt(residual);
    return ls.columns * kUnitRoundoff * bound / std::sqrt(fitted);
}
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
    const int first = forceOrigin ? 1 : 0;  // a forced curve passes through the origin: c0 = 0
    ScaledLeastSquares ls;
    if (n < unknowns || !BuildScaledDesign(x, y, v, n, unknowns, first, ls) || !Triangularise(ls)) return false;
    double z[kMaxUnknowns];
    SolveUpperTriangular(ls, ls.b, z);
    // A solution that overflowed is no curve, nor is one whose responses are mostly rounding.
    for (int j = 0; j < unknowns; ++j)
        if (!std::isfinite(z[j])) return false;
    if (!(EstimatedRelativeError(ls, z) <= kMaxFitRelativeError)) return false;

    double solved[kNumCurveCoefficients] = {};
    for (int j = 0; j < unknowns; ++j) {
        solved[first + j] = z[j] / ls.columnScale[j];
        if (!std::isfinite(solved[first + j])) return false;
    }
    std::copy(solved, solved + kNumCurveCoefficients, coefficients);
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
    // A fit no better than the responses' mean (a forced origin far from the data) correlates 0,
    // as do responses without spread.
    stats->CorrCoeff = sst > 0.0 ? RootOrZero((sst - sse) / sst) : 0.0;
    stats->MeanResid = absoluteResiduals / n;
    stats->MnSqErr = sse / n;
    stats->StdDev = n >= 2 ? RootOrZero(sse / (n - 1)) : 0.0;
    stats->PercRelSD = stats->RelSD * 100.0;
    return true;
}
