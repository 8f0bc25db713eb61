// Significant figures of small values written out in full: the zeros after the point follow the
// exponent the rounded value is printed with, so a value that rounds up into the next power of
// ten (9.9996e-6 to three figures is 1.00e-5) keeps its size.
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
