// Number formatting in the three report styles and the rounding of values. Significant figures
// of small values are written out in full: the zeros after the point follow the exponent the
// rounded value is printed with, so a value that rounds up into the next power of ten (9.9996e-6
// to three figures is 1.00e-5) keeps its size.
#include <gtest/gtest.h>

#include "quan.h"

TEST(SignificantFigures, ZerosFollowTheRoundedExponent) {
    const struct { double value; int figures; const char* text; } cases[] = {
        {9.9996e-6, 3, "0.0000100"},      // rounds up to 1.00e-5
        {9.9e-12, 1, "0.00000000001"},    // 1e-11
        {9.96e-6, 2, "0.000010"},
        {-9.9996e-6, 3, "-0.0000100"},
        {9.99999e-7, 6, "0.000000999999"},  // six figures hold it: no carry
        {9.9e-6, 2, "0.0000099"},
        {1.23e-5, 3, "0.0000123"},
    };
    const CPeakData peak;
    for (const auto& c : cases) {
        EXPECT_EQ(peak.SetStringSignificance(c.value, c.figures), c.text) << c.value << " to " << c.figures;
        std::string text;
        peak.FormatNumber(1, 0, c.figures, c.value, text);
        EXPECT_EQ(text, c.text) << c.value << " to " << c.figures;
    }
}

// The three report styles: fixed decimals (kept within 0 to 100), significant figures (at least
// one; whole numbers in full, no trailing point) and the compact exponent; an unknown style
// leaves the text.
TEST(NumberFormat, EachStyleAndTheRoundingOfValues) {
    const struct { int mode, decimals, figures; double value; const char* text; } cases[] = {
        {0, 2, 0, 3.14159, "3.14"},     {0, -1, 0, 2.5, "2"},          {0, 0, 0, -0.4, "-0"},
        {1, 0, 3, 123456.0, "123000"},  {1, 0, 3, -123456.0, "-123000"}, {1, 0, 3, 100.0, "100"},
        {1, 0, 3, 1.5, "1.50"},         {1, 0, 2, 5.0e9, "5000000000"}, {1, 0, 0, 0.26, "0.3"},
        {1, 0, 2, 0.5, "0.50"},         {2, 0, 3, 123456.0, "1.23e5"},  {2, 0, 0, 123456.0, "1e5"},
        {2, 0, 2, -0.000123, "-1.2e-4"}, {2, 0, 3, 1.0, "1.00e0"},      {7, 2, 3, 1.0, "kept"},
    };
    const CPeakData peak;
    for (const auto& c : cases) {
        std::string text = "kept";
        peak.FormatNumber(c.mode, c.decimals, c.figures, c.value, text);
        EXPECT_EQ(text, c.text) << c.mode << " " << c.value;
    }
    std::string text;
    peak.FormatNumber(0, 101, 0, 0.5, text);
    EXPECT_EQ(text.size(), 102u);  // "0." and 100 decimals
    const struct { double value; int places; double rounded; } rounding[] = {
        {2.346, 2, 2.35}, {2.344, 2, 2.34}, {2.5, -1, 3.0}, {-2.5, 0, -2.0}, {1234.5678, 1, 1234.6}};
    for (const auto& r : rounding) EXPECT_DOUBLE_EQ(CPeakData::GetRoundedValue(r.value, r.places), r.rounded) << r.value;
}
