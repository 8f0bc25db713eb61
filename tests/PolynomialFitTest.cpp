// The numerical routines of the polynomial fit, checked against values worked by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "calibrate/PolynomialFit.h"

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
