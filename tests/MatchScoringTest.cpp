// Spectrum match scoring: the merge scores of two loaded spectra.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "quan.h"

namespace {
using Pairs = std::vector<std::pair<int, int>>;
using SetupFunction = int (*)(const float*, const float*, int);

// The table as its non-empty prefix; the rest must be all zero.
Pairs Prefix(const MatchScoring::SpectrumTable& table, int length) {
    Pairs pairs;
    for (int i = 0; i < length; ++i) pairs.emplace_back(table[i].mass, table[i].intensity);
    return pairs;
}

int LoadSpectrum(SetupFunction setup, const std::vector<float>& masses, const std::vector<float>& intensities) {
    return setup(masses.data(), intensities.data(), static_cast<int>(masses.size()));
}

// Loads a spectrum whose canonical table is exactly `peaks` (mass, intensity after weighting and
// scaling): the input intensity is the wanted one divided by the mass, and the largest is 1000.
void LoadCanonical(SetupFunction setup, const Pairs& peaks) {
    std::vector<float> masses, intensities;
    for (const auto& [mass, intensity] : peaks) {
        masses.push_back(static_cast<float>(mass));
        intensities.push_back(static_cast<float>(intensity) / static_cast<float>(mass));
    }
    ASSERT_EQ(LoadSpectrum(setup, masses, intensities), 1);
}

}  // namespace

TEST(SpectrumSetup, MoreThanFiftyKeepTheLargestProductsSortedByMass) {
    // Masses 100..159; ten entries (scattered before and after slot 50) have intensity 1, the
    // rest 100, so exactly the fifty with intensity 100 have the largest products.
    const std::set<int> weak{3, 7, 12, 20, 33, 41, 50, 52, 55, 59};
    std::vector<float> masses, intensities;
    for (int i = 0; i < 60; ++i) {
        masses.push_back(100.0f + i);
        intensities.push_back(weak.count(i) ? 1.0f : 100.0f);
    }
    // Fed in descending mass order, so the result must have been sorted.
    std::vector<float> descendingMasses(masses.rbegin(), masses.rend());
    std::vector<float> descendingIntensities(intensities.rbegin(), intensities.rend());

    for (const auto& [m, in] : {std::pair{masses, intensities}, std::pair{descendingMasses, descendingIntensities}}) {
        ASSERT_EQ(LoadSpectrum(SetupRealValsF_F, m, in), 1);
        const MatchScoring::SpectrumTable table = MatchScoring::MeasuredTable();
        Pairs expected;
        for (int mass = 100; mass < 159; ++mass) {
            // weighted mass x 100, largest 158 x 100
            if (!weak.count(mass - 100)) expected.emplace_back(mass, static_cast<int>(mass * 1000.0 / 158.0 + 0.5));
        }
        ASSERT_EQ(expected.size(), 50u);
        EXPECT_EQ(Prefix(table, 50), expected);
        // spot checks worked by hand
        EXPECT_EQ(table[0].mass, 100);
        EXPECT_EQ(table[0].intensity, 633);  // 632.9
        EXPECT_EQ(table[49].mass, 158);
        EXPECT_EQ(table[49].intensity, 1000);
    }
}

TEST(SpectrumSetup, MoreThanFiftyReplaceTheEarliestOfTiedSmallestProducts) {
    // 51 entries; slots 10 (110 x 12) and 20 (120 x 11) share the smallest product 1320. The
    // 51st entry displaces the earlier one, so mass 110 goes and mass 120 stays.
    std::vector<float> masses, intensities;
    for (int i = 0; i < 50; ++i) {
        masses.push_back(100.0f + i);
        intensities.push_back(1000.0f);
    }
    intensities[10] = 12;
    intensities[20] = 11;
    masses.push_back(150);
    intensities.push_back(1000);
    ASSERT_EQ(LoadSpectrum(SetupPredValsF_F, masses, intensities), 1);

    const MatchScoring::SpectrumTable table = MatchScoring::PredictedTable();
    std::vector<int> kept;
    for (const auto& entry : table) kept.push_back(entry.mass);
    std::vector<int> expected;
    for (int m = 100; m <= 150; ++m)
        if (m != 110) expected.push_back(m);
    EXPECT_EQ(kept, expected);
    // mass 120 keeps its small weighted intensity 120 x 11 against 150 x 1000: 8.8 -> 9
    EXPECT_EQ(table[19].mass, 120);
    EXPECT_EQ(table[19].intensity, 9);
}

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
