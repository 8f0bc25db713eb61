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

TEST(SpectrumSetup, ZeroMassInsideTheCountFails) {
    std::vector<float> masses{100, 101, 102, 103, 104, 0, 106, 107, 108, 109};
    const std::vector<float> intensities(10, 1.0f);

    LoadSomething();
    EXPECT_EQ(LoadSpectrum(SetupRealValsF_F, masses, intensities), 0);
    ExpectEmpty(MatchScoring::MeasuredTable());

    // A zero mass beyond the count is never read.
    EXPECT_EQ(SetupRealValsF_F(masses.data(), intensities.data(), 5), 1);
    ExpectTable(MatchScoring::MeasuredTable(),
                {{100, 962}, {101, 971}, {102, 981}, {103, 990}, {104, 1000}});  // m / 104 x 1000

    masses[5] = 105;
    EXPECT_EQ(LoadSpectrum(SetupRealValsF_F, masses, intensities), 1);
    EXPECT_EQ(MatchScoring::MeasuredTable()[5].mass, 105);
    EXPECT_EQ(MatchScoring::MeasuredTable()[9].mass, 109);

    // Exactly 50 entries take the short path: a zero in the last slot fails.
    std::vector<float> fifty(50), ones(50, 1.0f);
    for (int i = 0; i < 50; ++i) fifty[i] = 100.0f + i;
    fifty[49] = 0;
    EXPECT_EQ(LoadSpectrum(SetupPredValsF_F, fifty, ones), 0);
    ExpectEmpty(MatchScoring::PredictedTable());
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

TEST(SpectrumSetup, MoreThanFiftyNeedFiftyEntriesBeforeAnyZeroMass) {
    std::vector<float> masses(60), intensities(60, 1.0f);
    for (int i = 0; i < 60; ++i) masses[i] = 100.0f + i;

    masses[40] = 0;
    LoadSomething();
    EXPECT_EQ(LoadSpectrum(SetupRealValsF_F, masses, intensities), 0);
    ExpectEmpty(MatchScoring::MeasuredTable());

    // Beyond the first fifty a zero mass is only a zero product that never displaces anything.
    masses[40] = 140;
    masses[55] = 0;
    EXPECT_EQ(LoadSpectrum(SetupRealValsF_F, masses, intensities), 1);
    const MatchScoring::SpectrumTable table = MatchScoring::MeasuredTable();
    // 100..149 are displaced one by one by the larger 150..159 (except the zero at 55)
    std::vector<int> kept;
    for (const auto& entry : table) kept.push_back(entry.mass);
    std::vector<int> expected;
    for (int m = 109; m <= 159; ++m)
        if (m != 155) expected.push_back(m);
    EXPECT_EQ(kept, expected);
}

TEST(SpectrumSetup, AllZeroIntensitiesGiveAnEmptyTableAndNoScore) {
    LoadSomething();
    EXPECT_EQ(LoadSpectrum(SetupRealValsF_F, {100, 200, 300}, {0, 0, 0}), 1);
    ExpectEmpty(MatchScoring::MeasuredTable());
    double whole = -1, predicted = -1;
    EXPECT_EQ(BestMatch(&whole, &predicted), 0.0);
    EXPECT_EQ(whole, -1);
    EXPECT_EQ(predicted, -1);
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

// Found by fuzzing: 50 masses with negative intensities, then later entries of mass 0. Their
// product 0 beat the negative products, so a zero mass landed inside the table and the entries
// after it were scaled without their mass weighting, past 1000.
TEST(SpectrumSetup, LaterEntriesWithoutMassNeverEnterTheTable) {
    std::vector<float> masses, intensities;
    for (int i = 0; i < 50; ++i) {
        masses.push_back(100.0f + i);
        intensities.push_back(i < 5 ? -1.0f : 1.0f);
    }
    for (int i = 0; i < 10; ++i) {
        masses.push_back(0.0f);
        intensities.push_back(0.0f);
    }
    ASSERT_EQ(LoadSpectrum(SetupRealValsF_F, masses, intensities), 1);
    const MatchScoring::SpectrumTable table = MatchScoring::MeasuredTable();
    // Unchanged by the massless entries: 100..149 in order, weighted by mass, largest 149 -> 1000.
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(table[i].mass, 100 + i) << "slot " << i;
        const double weighted = (i < 5 ? -1.0 : 1.0) * (100.0 + i);
        EXPECT_EQ(table[i].intensity, static_cast<int>(std::trunc(weighted * 1000.0 / 149.0 + 0.5))) << "slot " << i;
        EXPECT_LE(table[i].intensity, 1000);
    }
}

TEST(SpectrumSetup, EachSetupReplacesOnlyItsOwnTableWhole) {
    LoadCanonical(SetupRealValsF_F, {{100, 1000}, {200, 500}, {300, 250}, {400, 125}});
    LoadCanonical(SetupPredValsF_F, {{50, 1000}});
    LoadCanonical(SetupRealValsF_F, {{700, 1000}});
    ExpectTable(MatchScoring::MeasuredTable(), {{700, 1000}});
    ExpectTable(MatchScoring::PredictedTable(), {{50, 1000}});

    EXPECT_EQ(SetupPredValsF_F(nullptr, nullptr, 3), 0);
    ExpectTable(MatchScoring::MeasuredTable(), {{700, 1000}});
    ExpectEmpty(MatchScoring::PredictedTable());
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

TEST(MatchScoring, AdvancingSkipsZeroIntensityEntries) {
    // 99.6 and 100.4 both round to 100; the first carries no intensity. Stepping past it lets
    // the second meet the predicted 100 (were it compared, it would take the predicted peak
    // and leave nothing shared).
    ASSERT_EQ(LoadSpectrum(SetupRealValsF_F, {50, 99.6f, 100.4f}, {10, 0, 1000 / 100.4f}), 1);
    ExpectTable(MatchScoring::MeasuredTable(), {{50, 500}, {100, 0}, {100, 1000}});
    LoadCanonical(SetupPredValsF_F, {{100, 1000}});
    double whole = -1, predicted = -1;
    // S 1000, P 1000, R 1500, M 1000
    EXPECT_DOUBLE_EQ(BestMatch(&whole, &predicted), 1.0e9);
    EXPECT_NEAR(whole, 2000.0 / 3.0, 1e-9);
    EXPECT_DOUBLE_EQ(predicted, 1000.0);
}

TEST(MatchScoring, NoScoreWithoutSharedMassesOrWithAnEmptyTable) {
    const struct {
        const char* what;
        Pairs measured;
        Pairs predicted;
    } cases[] = {
        {"shifted by one", {{100, 1000}, {200, 500}}, {{101, 1000}, {201, 500}}},
        {"measured empty", {}, {{100, 1000}}},
        {"predicted empty", {{100, 1000}}, {}},
    };
    for (const auto& c : cases) {
        if (c.measured.empty()) {
            SetupRealValsF_F(nullptr, nullptr, 0);
        } else {
            LoadCanonical(SetupRealValsF_F, c.measured);
        }
        if (c.predicted.empty()) {
            SetupPredValsF_F(nullptr, nullptr, 0);
        } else {
            LoadCanonical(SetupPredValsF_F, c.predicted);
        }
        double whole = -1, predicted = -1;
        EXPECT_EQ(BestMatch(&whole, &predicted), 0.0) << c.what;
        EXPECT_EQ(whole, -1) << c.what;
        EXPECT_EQ(predicted, -1) << c.what;
    }
}

TEST(MatchScoring, OppositeSignsAtASharedMassGiveNoScore) {
    // weighted 100 and -80: -800 + 0.5 truncates toward zero to -799
    ASSERT_EQ(LoadSpectrum(SetupRealValsF_F, {100, 200}, {1, -0.4f}), 1);
    ExpectTable(MatchScoring::MeasuredTable(), {{100, 1000}, {200, -799}});
    LoadCanonical(SetupPredValsF_F, {{100, 500}, {200, 1000}});
    double whole = -1, predicted = -1;
    EXPECT_EQ(BestMatch(&whole, &predicted), 0.0);
    EXPECT_EQ(whole, -1);
    EXPECT_EQ(predicted, -1);
}

TEST(MatchScoring, NullOutputsAreSkipped) {
    LoadSomething();
    const double x = 1500.0 * 1500.0 * 1000.0;
    EXPECT_DOUBLE_EQ(BestMatch(nullptr, nullptr), x);
    double predicted = 0;
    EXPECT_DOUBLE_EQ(BestMatch(nullptr, &predicted), x);
    EXPECT_DOUBLE_EQ(predicted, 1000.0);
    // Scoring leaves the tables as they were: a second score is the same.
    double whole = 0;
    EXPECT_DOUBLE_EQ(BestMatch(&whole, nullptr), x);
    EXPECT_DOUBLE_EQ(whole, 1000.0);
}

TEST(MatchScoring, EntryPointsAreExportedUnderTheirPlainNames) {
    for (const char* name : {"SetupRealValsF_F", "SetupPredValsF_F", "BestMatch"}) {
        EXPECT_NE(dlsym(RTLD_DEFAULT, name), nullptr) << name;
    }
}
