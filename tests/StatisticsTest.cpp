// Replicate statistics: creation by name, accessors at and beyond their bounds, the running sum,
// name limits, copies, and the report texts with their buffer limits.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "quan.h"

namespace {
// Two compounds, three samples, every statistic distinct.
CStatistics Filled() {
    CStatistics stats;
    stats.SetGroupID(7);
    stats.SetType(2);
    stats.AddSample(11);
    stats.AddSample(12);
    stats.AddSample(15);
    stats.AddCompound(4, "Atrazine");
    stats.AddCompound(9, "Simazine");
    stats.SetMean(1, 2.5);
    stats.SetStdDev(1, 0.25);
    stats.SetRSD(1, 10.0);
    stats.SetBias(1, -0.5);
    stats.SetPercBias(1, -16.5);
    stats.AddConcentration(1, 1.0);  // count 1 on top of the stored mean: 3.5
    return stats;
}
}  // namespace

TEST(Statistics, AccessorsAtAndBeyondTheirBounds) {
    CStatistics stats = Filled();
    for (int outside : {-1, 2, 3, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(outside);
        EXPECT_EQ(stats.GetCompound(outside), -1);
        EXPECT_EQ(stats.GetName(outside), nullptr);
        EXPECT_EQ(stats.GetCount(outside), 0);
        EXPECT_EQ(stats.GetMean(outside), 0.0);
        EXPECT_EQ(stats.GetStdDev(outside), 0.0);
        EXPECT_EQ(stats.GetRSD(outside), 0.0);
        EXPECT_EQ(stats.GetBias(outside), 0.0);
        EXPECT_EQ(stats.GetPercBias(outside), 0.0);
        stats.SetName(outside, "changed");
        stats.SetMean(outside, 99);
        stats.SetStdDev(outside, 99);
        stats.SetRSD(outside, 99);
        stats.SetBias(outside, 99);
        stats.SetPercBias(outside, 99);
        stats.AddConcentration(outside, 99);
    }
    for (int outside : {-1, 3, INT_MIN, INT_MAX}) EXPECT_EQ(stats.GetSample(outside), 0) << outside;

    // The entries in range saw none of that.
    EXPECT_EQ(stats.GetCompound(1), 9);
    EXPECT_STREQ(stats.GetName(0), "Atrazine");
    EXPECT_EQ(stats.GetCount(1), 1);
    EXPECT_EQ(stats.GetMean(1), 3.5);
    EXPECT_EQ(stats.GetPercBias(1), -16.5);
    EXPECT_EQ(stats.GetSample(2), 15);

    // A sample number is kept as its 32 bits and reads back as given.
    stats.AddSample(-5);
    EXPECT_EQ(stats.GetSample(3), -5);
    EXPECT_EQ(stats.GetNoOfSamples(), 4);
}

TEST(Statistics, FieldTexts) {
    CStatistics stats = Filled();
    stats.SetPercBias(0, 12.5);
    stats.SetBias(0, 1e-7);  // below six decimals
    const struct {
        int entry;
        int field;
        int result;
        const char* text;
    } cases[] = {
        {0, 0, 1, "Atrazine"},
        {5, 0, 1, ""},  // out of range: empty, still written
        {0, 1, 1, "3"},
        {-1, 1, 1, "3"},  // the object's sample count, whatever the entry
        {1, 2, 1, "3.500000"},
        {1, 3, 1, "0.250000"},
        {1, 4, 1, "10.000000"},
        {1, 5, 1, "-0.500000"},
        {0, 5, 1, "0.000000"},
        {0, 6, 1, "12.500000%"},
        {1, 6, 1, "-16.500000%"},
        {9, 2, 1, "0.000000"},
        {0, 7, 0, ""},
        {0, 16384, 0, ""},
        {0, -1, 0, ""},
    };
    for (const auto& c : cases) {
        const auto field = static_cast<CStatistics::StatsFields>(c.field);
        char buffer[CStatistics::kStatsFieldTextSize];
        std::strcpy(buffer, "left over");
        EXPECT_EQ(stats.StatsFieldStr(c.entry, field, buffer), c.result) << c.field;
        EXPECT_STREQ(buffer, c.text) << c.field;
        std::string text = "left over";
        EXPECT_EQ(stats.StatsFieldStr(c.entry, field, text), c.result) << c.field;
        EXPECT_EQ(text, c.text) << c.field;
    }
}

TEST(Statistics, FieldTextsStayInsideTheBuffer) {
    CStatistics stats;
    stats.AddCompound(1, "x");
    stats.SetPercBias(0, 12.5);  // "12.500000%": 10 characters

    char small[16];
    std::memset(small, 'Z', sizeof small);
    EXPECT_EQ(stats.StatsFieldStr(0, CStatistics::kStatsPercBias, small, 11), 1);
    EXPECT_STREQ(small, "12.500000%");
    EXPECT_EQ(small[11], 'Z');

    std::memset(small, 'Z', sizeof small);
    EXPECT_EQ(stats.StatsFieldStr(0, CStatistics::kStatsPercBias, small, 10), 0);
    EXPECT_EQ(small[0], '\0');
    EXPECT_EQ(small[1], 'Z');

    std::memset(small, 'Z', sizeof small);
    EXPECT_EQ(stats.StatsFieldStr(0, CStatistics::kStatsPercBias, small, 0), 0);
    EXPECT_EQ(small[0], 'Z');
    EXPECT_EQ(stats.StatsFieldStr(0, CStatistics::kStatsPercBias, nullptr), 0);

    // The longest text: "-", 309 digits, ".000000", "%" = 318 characters and its terminator.
    stats.SetPercBias(0, -DBL_MAX);
    char big[CStatistics::kStatsFieldTextSize + 8];
    std::memset(big, 'Z', sizeof big);
    EXPECT_EQ(stats.StatsFieldStr(0, CStatistics::kStatsPercBias, big), 1);
    EXPECT_EQ(std::strlen(big), 318u);
    EXPECT_EQ(std::string(big + 310), ".000000%");
    EXPECT_EQ(big[319], 'Z');
}
