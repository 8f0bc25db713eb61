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
