// The numerical routines of the polynomial fit, checked against values worked by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "calibrate/PolynomialFit.h"

TEST(PolynomialFit, HornerAndMean) {
    const double c[7] = {1.0, -2.0, 0.5, 0.0, 0.0, 0.0, 3.0};
    // 1 - 4 + 2 + 3 x 64 at order 6; no terms at order -1.
    const struct { double x; int order; double value; } cases[] = {
        {2.0, 0, 1.0}, {2.0, 1, -3.0}, {2.0, 2, -1.0}, {2.0, 6, 191.0}, {-1.0, 6, 6.5}, {2.0, -1, 0.0}};
    for (const auto& k : cases) EXPECT_DOUBLE_EQ(EvaluatePolynomial(k.x, k.order, c), k.value) << k.x << " " << k.order;

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
    for (int i = 0; i < 2; ++i) {
        EXPECT_DOUBLE_EQ(b[i], expectedB[i + 1]) << i;
        for (int j = 0; j < 2; ++j) EXPECT_DOUBLE_EQ(a[i][j], expectedA[i + 1][j + 1]) << i << "," << j;
    }

    // One unknown: the weight sum and the weighted response sum.
    BuildNormalEquations(x, y, v, 3, b, a, 1, 0);
    EXPECT_DOUBLE_EQ(a[0][0], 6);
    EXPECT_DOUBLE_EQ(b[0], 19);
}

TEST(PolynomialFit, GaussJordanPivotsFullyAndDetectsExactSingularity) {
    // A zero in the first diagonal place needs pivoting; solution (1, -2, 3).
    double a[7][7] = {{0, 2, 1}, {1, 1, 1}, {2, 1, 0}};
    double b[7] = {-1, 2, 0};
    ASSERT_TRUE(SolveGaussJordan(b, a, 3));
    EXPECT_NEAR(b[0], 1.0, 1e-12);
    EXPECT_NEAR(b[1], -2.0, 1e-12);
    EXPECT_NEAR(b[2], 3.0, 1e-12);
    double single[7][7] = {{4}};
    double one[7] = {10};
    ASSERT_TRUE(SolveGaussJordan(one, single, 1));
    EXPECT_DOUBLE_EQ(one[0], 2.5);

    double full[7][7] = {};
    double rhs[7] = {0, 1, 2, 3, 4, 5, 6};
    for (int i = 0; i < 7; ++i) full[i][6 - i] = 2.0;  // every row must be swapped into place
    ASSERT_TRUE(SolveGaussJordan(rhs, full, 7));
    for (int i = 0; i < 7; ++i) EXPECT_DOUBLE_EQ(rhs[i], (6 - i) / 2.0);

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

TEST(PolynomialFit, ForcedFitLeavesC0AtZeroZeroResponsesFitZeroAndBadArgumentsFail) {
    double x[5], y[5], v[5];
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

    // Responses that are all zero fit the zero polynomial.
    const double zeros[5] = {};
    ASSERT_TRUE(LeastSquaresPolynomial(x, zeros, v, 5, 2, c, 0));
    for (double coefficient : c) EXPECT_EQ(coefficient, 0.0);

    EXPECT_FALSE(LeastSquaresPolynomial(x, y, v, 5, 0, c, 0));
    EXPECT_FALSE(LeastSquaresPolynomial(x, y, v, 5, 7, c, 0));
    EXPECT_FALSE(LeastSquaresPolynomial(x, y, v, 0, 1, c, 0));
}
