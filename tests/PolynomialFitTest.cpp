// The numerical routines of the polynomial fit, checked against values worked by hand and
// against exact polynomial data.
#include <gtest/gtest.h>

#include <cmath>

#include "calibrate/PolynomialFit.h"

TEST(PolynomialFit, HornerAndMean) {
    const double c[7] = {1.0, -2.0, 0.5, 0.0, 0.0, 0.0, 3.0};
    EXPECT_DOUBLE_EQ(EvaluatePolynomial(2.0, 0, c), 1.0);
    EXPECT_DOUBLE_EQ(EvaluatePolynomial(2.0, 1, c), -3.0);
    EXPECT_DOUBLE_EQ(EvaluatePolynomial(2.0, 2, c), -1.0);
    EXPECT_DOUBLE_EQ(EvaluatePolynomial(2.0, 6, c), 191.0);  // 1 - 4 + 2 + 3*64
    EXPECT_DOUBLE_EQ(EvaluatePolynomial(-1.0, 6, c), 6.5);
    EXPECT_DOUBLE_EQ(EvaluatePolynomial(2.0, -1, c), 0.0);

    const double values[4] = {1.0, 2.0, 4.0, 9.0};
    EXPECT_DOUBLE_EQ(MeanOfValues(values, 4), 4.0);
    EXPECT_DOUBLE_EQ(MeanOfValues(values, 1), 1.0);
    EXPECT_DOUBLE_EQ(MeanOfValues(values, 0), 0.0);  // no values: no division by zero
}

TEST(PolynomialFit, NormalEquationsAreWeightedPowerSumsWithAndWithoutForce) {
    // Fitting weights 1, 2, 1 enter squared: 1, 4, 1.
    const double x[3] = {1.0, 2.0, 3.0}, y[3] = {2.0, 3.0, 5.0}, v[3] = {1.0, 2.0, 1.0};
    double b[7];
    double a[7][7];

    BuildNormalEquations(x, y, v, 3, b, a, 3, 0);
    const double expectedA[3][3] = {{6, 12, 26}, {12, 26, 60}, {26, 60, 146}};
    const double expectedB[3] = {19, 41, 95};
    for (int i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(b[i], expectedB[i]) << i;
        for (int j = 0; j < 3; ++j) EXPECT_DOUBLE_EQ(a[i][j], expectedA[i][j]) << i << "," << j;
    }

    // Forced through the origin the powers start one higher.
    BuildNormalEquations(x, y, v, 3, b, a, 2, 1);
    EXPECT_DOUBLE_EQ(a[0][0], 26);
    EXPECT_DOUBLE_EQ(a[0][1], 60);
    EXPECT_DOUBLE_EQ(a[1][0], 60);
    EXPECT_DOUBLE_EQ(a[1][1], 146);
    EXPECT_DOUBLE_EQ(b[0], 41);
    EXPECT_DOUBLE_EQ(b[1], 95);
}

TEST(PolynomialFit, GaussJordanPivotsFullyAndDetectsExactSingularity) {
    // A zero in the first diagonal place needs pivoting; solution (1, -2, 3).
    double a[7][7] = {{0, 2, 1}, {1, 1, 1}, {2, 1, 0}};
    double b[7] = {-1, 2, 0};
    ASSERT_TRUE(SolveGaussJordan(b, a, 3));
    EXPECT_NEAR(b[0], 1.0, 1e-12);
    EXPECT_NEAR(b[1], -2.0, 1e-12);
    EXPECT_NEAR(b[2], 3.0, 1e-12);
    // The matrix is left as its inverse, with the column interchanges undone.
    const double original[3][3] = {{0, 2, 1}, {1, 1, 1}, {2, 1, 0}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double product = 0.0;
            for (int k = 0; k < 3; ++k) product += a[i][k] * original[k][j];
            EXPECT_NEAR(product, i == j ? 1.0 : 0.0, 1e-12) << i << "," << j;
        }

    double single[7][7] = {{4}};
    double one[7] = {10};
    ASSERT_TRUE(SolveGaussJordan(one, single, 1));
    EXPECT_DOUBLE_EQ(one[0], 2.5);

    double full[7][7] = {};
    double rhs[7];
    for (int i = 0; i < 7; ++i) {
        full[i][i] = 2.0;
        rhs[i] = i;
    }
    ASSERT_TRUE(SolveGaussJordan(rhs, full, 7));
    for (int i = 0; i < 7; ++i) EXPECT_DOUBLE_EQ(rhs[i], i / 2.0);

    double zero[7][7] = {};
    double zb[7] = {1, 1};
    EXPECT_FALSE(SolveGaussJordan(zb, zero, 2));
    // Rank one: the second pivot comes out exactly zero.
    double rankOne[7][7] = {{1, 2}, {2, 4}};
    double rb[7] = {1, 2};
    EXPECT_FALSE(SolveGaussJordan(rb, rankOne, 2));
    double any[7][7] = {{1}};
    double ab[7] = {1};
    EXPECT_FALSE(SolveGaussJordan(ab, any, 0));
    EXPECT_FALSE(SolveGaussJordan(ab, any, 8));
}

TEST(PolynomialFit, ExactPolynomialDataGivesItsCoefficientsForEveryOrder) {
    const double truth[7] = {1.5, -2.0, 0.75, 0.5, -0.25, 0.125, -0.0625};
    double x[12], y[12], v[12];
    for (int order = 1; order <= 6; ++order) {
        for (int i = 0; i < 12; ++i) {
            x[i] = 0.25 * (i + 1);
            y[i] = EvaluatePolynomial(x[i], order, truth);
            v[i] = 1.0 + 0.1 * i;  // weights change nothing for exact data
        }
        double c[7];
        ASSERT_TRUE(LeastSquaresPolynomial(x, y, v, 12, order, c, 0)) << order;
        for (int j = 0; j <= order; ++j) EXPECT_NEAR(c[j], truth[j], 1e-6) << "order " << order << " c" << j;
        for (int j = order + 1; j < 7; ++j) EXPECT_EQ(c[j], 0.0);
    }

    // Forced through the origin: c0 is no unknown and stays 0.
    const double through[7] = {0.0, 3.0, -0.5};
    for (int i = 0; i < 5; ++i) {
        x[i] = i + 1.0;
        y[i] = EvaluatePolynomial(x[i], 2, through);
        v[i] = 1.0;
    }
    double c[7];
    ASSERT_TRUE(LeastSquaresPolynomial(x, y, v, 5, 2, c, 1));
    EXPECT_EQ(c[0], 0.0);
    EXPECT_NEAR(c[1], 3.0, 1e-9);
    EXPECT_NEAR(c[2], -0.5, 1e-9);

    EXPECT_FALSE(LeastSquaresPolynomial(x, y, v, 5, 0, c, 0));
    EXPECT_FALSE(LeastSquaresPolynomial(x, y, v, 5, 7, c, 0));
    EXPECT_FALSE(LeastSquaresPolynomial(x, y, v, 0, 1, c, 0));
}

TEST(PolynomialFit, StatisticsOfAWeightedLineMatchAClosedFormSolution) {
    // Straight line through four scattered points with point weights w (fitting weights sqrt(w)).
    const double x[4] = {1, 2, 4, 8}, y[4] = {3.1, 4.8, 9.3, 17.2}, w[4] = {1.0, 0.5, 0.25, 0.125};
    double v[4];
    for (int i = 0; i < 4; ++i) v[i] = std::sqrt(w[i]);

    // Independent solution: the weighted normal equations of a line, solved by Cramer's rule.
    double sw = 0, swx = 0, swy = 0, swxx = 0, swxy = 0;
    for (int i = 0; i < 4; ++i) {
        sw += w[i];
        swx += w[i] * x[i];
        swy += w[i] * y[i];
        swxx += w[i] * x[i] * x[i];
        swxy += w[i] * x[i] * y[i];
    }
    const double slope = (sw * swxy - swx * swy) / (sw * swxx - swx * swx);
    const double intercept = (swy - slope * swx) / sw;
    const double weightedMean = swy / sw;
    double sse = 0, sst = 0, abs = 0;
    for (int i = 0; i < 4; ++i) {
        const double e = y[i] - (intercept + slope * x[i]);
        sse += w[i] * e * e;
        sst += w[i] * (y[i] - weightedMean) * (y[i] - weightedMean);
        abs += std::fabs(e);
    }

    tag_STATS_STRUCT stats{};
    stats.WeightedMeanResp = weightedMean;
    ASSERT_TRUE(FitPolynomialWithStatistics(x, y, v, 4, 1, &stats));
    EXPECT_NEAR(stats.Coefficients[0], intercept, 1e-10);
    EXPECT_NEAR(stats.Coefficients[1], slope, 1e-10);
    EXPECT_NEAR(stats.MeanResp, (3.1 + 4.8 + 9.3 + 17.2) / 4, 1e-12);
    EXPECT_NEAR(stats.MeanResid, abs / 4, 1e-10);
    EXPECT_NEAR(stats.MnSqErr, sse / 4, 1e-10);
    EXPECT_NEAR(stats.StdDev, std::sqrt(sse / 3), 1e-10);
    EXPECT_NEAR(stats.CorrCoeff, std::sqrt((sst - sse) / sst), 1e-10);
    EXPECT_EQ(stats.RelSD, 0.0);
    EXPECT_EQ(stats.PercRelSD, 0.0);
}
