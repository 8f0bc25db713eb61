// Spectrum match scoring: canonical tables after set-up (selection of the largest products,
// sorting, mass weighting, rounding), hostile input, table replacement, and the merge scores.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <climits>
#include <cmath>
#include <limits>
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

void ExpectTable(const MatchScoring::SpectrumTable& table, const Pairs& expected) {
    const int length = static_cast<int>(expected.size());
    EXPECT_EQ(Prefix(table, length), expected);
    for (int i = length; i < MatchScoring::kTableEntries; ++i) {
        EXPECT_EQ(table[i].mass, 0) << "slot " << i;
        EXPECT_EQ(table[i].intensity, 0) << "slot " << i;
    }
}

void ExpectEmpty(const MatchScoring::SpectrumTable& table) { ExpectTable(table, {}); }

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

void LoadSomething() {
    LoadCanonical(SetupRealValsF_F, {{100, 1000}, {200, 500}});
    LoadCanonical(SetupPredValsF_F, {{100, 1000}, {200, 500}});
}
}  // namespace

TEST(SpectrumSetup, RoundsMassesWeightsByMassAndKeepsCallerOrder) {
    const struct {
        std::vector<float> masses;
        std::vector<float> intensities;
        Pairs table;
    } cases[] = {
        // 100.4 x 1 / 100.6 x 1 = 0.99801 -> 998.5 truncates to 998
        {{100.4f, 100.6f}, {1, 1}, {{100, 998}, {101, 1000}}},
        // weighted 400, 200, 400
        {{100, 200, 400}, {4, 1, 1}, {{100, 1000}, {200, 500}, {400, 1000}}},
        // short spectra are not reordered: 2/3 of 1000 rounds up, 1/3 rounds down
        {{300, 200, 100}, {1, 1, 1}, {{300, 1000}, {200, 667}, {100, 333}}},
        // a half rounds up; 99.49 / 99.5 x 1000 = 999.9 rounds to 1000
        {{99.5f, 99.49f}, {1, 1}, {{100, 1000}, {99, 1000}}},
        // a zero intensity stays as a (mass, 0) entry
        {{100, 150, 200}, {4, 0, 1}, {{100, 1000}, {150, 0}, {200, 500}}},
        // the largest mass a 32-bit table can hold after rounding
        {{2147483520.0f}, {1}, {{2147483520, 1000}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LoadSpectrum(SetupRealValsF_F, c.masses, c.intensities), 1);
        ExpectTable(MatchScoring::MeasuredTable(), c.table);
        EXPECT_EQ(LoadSpectrum(SetupPredValsF_F, c.masses, c.intensities), 1);
        ExpectTable(MatchScoring::PredictedTable(), c.table);
    }
}

TEST(SpectrumSetup, MoreThanFiftyKeepTheLargestProductsSortedByMass) {
    // Masses 100..159; ten entries (scattered before and after slot 50) have intensity 1, the
    // rest 100, so exactly the fifty with intensity 100 have the largest products.
    const std::vector<int> weak{3, 7, 12, 20, 33, 41, 50, 52, 55, 59};
    std::vector<float> masses, intensities;
    for (int i = 0; i < 60; ++i) {
        masses.push_back(100.0f + i);
        bool isWeak = false;
        for (int w : weak) isWeak = isWeak || w == i;
        intensities.push_back(isWeak ? 1.0f : 100.0f);
    }
    // Fed in descending mass order, so the result must have been sorted.
    std::vector<float> descendingMasses(masses.rbegin(), masses.rend());
    std::vector<float> descendingIntensities(intensities.rbegin(), intensities.rend());

    for (const auto& [m, in] : {std::pair{masses, intensities}, std::pair{descendingMasses, descendingIntensities}}) {
        ASSERT_EQ(LoadSpectrum(SetupRealValsF_F, m, in), 1);
        const MatchScoring::SpectrumTable table = MatchScoring::MeasuredTable();
        Pairs expected;
        for (int i = 0; i < 59; ++i) {
            bool isWeak = false;
            for (int w : weak) isWeak = isWeak || w == i;
            if (isWeak) continue;
            const int mass = 100 + i;
            // weighted mass x 100, largest 158 x 100
            expected.emplace_back(mass, static_cast<int>(mass * 1000.0 / 158.0 + 0.5));
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

TEST(SpectrumSetup, HostileInputFailsAndClearsTheTable) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> sixtyMasses(60), sixtyOnes(60, 1.0f);
    for (int i = 0; i < 60; ++i) sixtyMasses[i] = 100.0f + i;
    std::vector<float> lateNaN = sixtyMasses;
    lateNaN[55] = nan;
    const float masses[] = {100, 200};
    const float ones[] = {1, 1};

    const struct {
        const char* what;
        const float* masses;
        const float* intensities;
        int count;
    } cases[] = {
        {"null masses", nullptr, ones, 2},
        {"null intensities", masses, nullptr, 2},
        {"zero count", masses, ones, 0},
        {"negative count", masses, ones, -1},
        {"most negative count", masses, ones, INT_MIN},
    };
    for (SetupFunction setup : {SetupRealValsF_F, SetupPredValsF_F}) {
        for (const auto& c : cases) {
            LoadSomething();
            EXPECT_EQ(setup(c.masses, c.intensities, c.count), 0) << c.what;
            ExpectEmpty(setup == SetupRealValsF_F ? MatchScoring::MeasuredTable() : MatchScoring::PredictedTable());
        }
        const struct {
            const char* what;
            std::vector<float> masses;
            std::vector<float> intensities;
        } values[] = {
            {"NaN mass", {100, nan}, {1, 1}},
            {"infinite mass", {-inf, 200}, {1, 1}},
            {"NaN intensity", {100, 200}, {nan, 1}},
            {"infinite intensity", {100, 200}, {1, inf}},
            {"NaN beyond the fiftieth entry", lateNaN, sixtyOnes},
            {"mass too large for the table", {100, 3.0e9f}, {1, 1}},
            // weighted -2e32 against a largest of 100 scales far below the 32-bit range
            {"intensity too negative for the table", {100, 200}, {1, -1.0e30f}},
        };
        for (const auto& v : values) {
            LoadSomething();
            EXPECT_EQ(LoadSpectrum(setup, v.masses, v.intensities), 0) << v.what;
            ExpectEmpty(setup == SetupRealValsF_F ? MatchScoring::MeasuredTable() : MatchScoring::PredictedTable());
        }
    }
}

TEST(MatchScoring, ScoresFollowTheMergedSums) {
    // S, P, R, M worked by hand from the merge of the two tables.
    const struct {
        const char* what;
        Pairs measured;
        Pairs predicted;
        double s, p, r, m;
    } cases[] = {
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
