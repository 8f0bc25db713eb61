// Spectrum match scoring: the merge scores of two loaded spectra.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "quan.h"

namespace {
using Pairs = std::vector<std::pair<int, int>>;
using SetupFunction = int (*)(const float*, const float*, int);

// Loads a spectrum whose canonical table is exactly `peaks` (mass, intensity after weighting and
// scaling): the input intensity is the wanted one divided by the mass, and the largest is 1000.
void LoadCanonical(SetupFunction setup, const Pairs& peaks) {
    std::vector<float> masses, intensities;
    for (const auto& [mass, intensity] : peaks) {
        masses.push_back(static_cast<float>(mass));
        intensities.push_back(static_cast<float>(intensity) / static_cast<float>(mass));
    }
    ASSERT_EQ(setup(masses.data(), intensities.data(), static_cast<int>(masses.size())), 1);
}

}  // namespace

TEST(MatchScoring, ScoresFollowTheMergedSums) {
    // S, P, R, M worked by hand from the merge of the two tables.
    const struct { const char* what; Pairs measured, predicted; double s, p, r, m; } cases[] = {
        {"identical", {{100, 1000}, {200, 500}, {400, 1000}}, {{100, 1000}, {200, 500}, {400, 1000}},
         2500, 2500, 2500, 2500},
        // lowers the whole score (666.7) but not the one over predicted masses (1000)
        {"extra measured peak at the end", {{100, 1000}, {200, 500}, {300, 750}}, {{100, 1000}, {200, 500}},
         1500, 1500, 2250, 1500},
        {"extra measured peak at the start", {{50, 400}, {100, 1000}, {200, 500}}, {{100, 1000}, {200, 500}},
         1500, 1500, 1900, 1500},
        {"extra predicted peaks at the end", {{100, 1000}}, {{100, 1000}, {200, 500}, {300, 250}},
         1000, 1750, 1000, 1000},
        {"interleaved, partly overlapping", {{100, 1000}, {150, 200}, {300, 600}},
         {{100, 800}, {200, 1000}, {300, 400}},
         std::sqrt(800000.0) + std::sqrt(240000.0), 2200, 1800, 1600},
        {"zero-intensity entries add nothing", {{100, 0}, {150, 0}, {200, 1000}}, {{100, 1000}, {200, 500}},
         std::sqrt(500000.0), 1500, 1000, 1000},
    };
    for (const auto& c : cases) {
        LoadCanonical(SetupRealValsF_F, c.measured);
        LoadCanonical(SetupPredValsF_F, c.predicted);
        const double x = c.s * c.s * 1000.0;
        double whole = -1, predicted = -1;
        EXPECT_NEAR(BestMatch(&whole, &predicted), x, x * 1e-12) << c.what;
        EXPECT_NEAR(whole, x / (c.p * c.r), 1e-9) << c.what;
        EXPECT_NEAR(predicted, x / (c.p * c.m), 1e-9) << c.what;
    }
}

// Set-up: masses rounded half up, intensities weighted by mass and scaled so that the largest is
// 1000 (truncated after adding 0.5); a spectrum longer than the table keeps the 50 largest
// products, re-sorted by mass; a gap, a value that is not finite or no spectrum at all fails and
// leaves the table empty.
TEST(MatchScoring, SetUpBuildsTheCanonicalTableOrLeavesItEmpty) {
    const auto table = [](const std::vector<float>& masses, const std::vector<float>& intensities, int status) {
        LoadCanonical(SetupRealValsF_F, {{300, 1000}});  // a table a failure must not leave behind
        EXPECT_EQ(SetupRealValsF_F(masses.data(), intensities.data(), static_cast<int>(masses.size())), status);
        Pairs out;
        for (const auto& e : MatchScoring::MeasuredTable())
            if (e.mass != 0 || e.intensity != 0) out.emplace_back(e.mass, e.intensity);
        return out;
    };
    // Weighted 100.4, 201.2, 100: scaled 499.006, 1000, 497.018.
    EXPECT_EQ(table({100.4f, 100.6f, 200.0f}, {1.0f, 2.0f, 0.5f}, 1), (Pairs{{100, 499}, {101, 1000}, {200, 497}}));
    EXPECT_EQ(table({100.0f, 200.0f}, {0.0f, 0.0f}, 1), Pairs{});  // valid, but nothing to match
    double whole = -1, predicted = -1;
    EXPECT_EQ(BestMatch(&whole, &predicted), 0.0);
    std::vector<float> gap(10, 100.0f), ones(10, 1.0f);
    for (int i = 0; i < 10; ++i) gap[i] += static_cast<float>(i);
    EXPECT_EQ(table(gap, ones, 1).size(), 10u);
    gap[5] = 0.0f;
    EXPECT_EQ(table(gap, ones, 0), Pairs{});
    EXPECT_EQ(table({100.0f}, {std::nanf("")}, 0), Pairs{});
    EXPECT_EQ(table({}, {}, 0), Pairs{});

    // 60 masses 1 to 60 whose products mass x intensity are 1 to 60 in shuffled order: those above
    // 10 are kept, each scaled against the largest, 60.
    std::vector<float> masses, intensities;
    Pairs expected;
    for (int i = 0; i < 60; ++i) {
        const int product = i * 37 % 60 + 1;
        masses.push_back(static_cast<float>(i + 1));
        intensities.push_back(static_cast<float>(product) / static_cast<float>(i + 1));
        if (product > 10) expected.emplace_back(i + 1, static_cast<int>(product * 1000.0 / 60 + 0.5));
    }
    EXPECT_EQ(table(masses, intensities, 1), expected);
    // Two full tables are scored to their last entries: identical ones match perfectly.
    ASSERT_EQ(SetupPredValsF_F(masses.data(), intensities.data(), 60), 1);
    BestMatch(&whole, &predicted);
    EXPECT_DOUBLE_EQ(whole, 1000.0);
    masses[40] = 0.0f;
    EXPECT_EQ(table(masses, intensities, 0), Pairs{});
}
