// Spectrum match scoring: the host loads a measured spectrum and a predicted one (for example an
// isotope pattern) into two module-level tables, then scores them against each other on a 0 to
// 1000 scale. The three entry points have C linkage so that any host can bind them by name.
//
// After a successful set-up a table is canonical: 50 (mass, intensity) pairs of 32-bit integers,
// masses rounded to whole numbers, intensities mass-weighted and scaled so that the largest is
// 1000, unused pairs (0, 0) at the end. A failed set-up leaves its table all zero. The tables are
// shared state without a lock: callers serialise set-up and scoring.
#pragma once

#ifdef __cplusplus
#include <array>
#include <cstdint>
extern "C" {
#endif

// Loads the measured spectrum: `count` parallel masses and intensities. Returns 1 on success,
// 0 on failure: null arrays, a count of zero or less, a zero mass among the first count (at most
// 50) entries, a mass or intensity that is not finite, or a value too large for the table.
int SetupRealValsF_F(const float* masses, const float* intensities, int count);
// Loads the predicted spectrum, with the same rules.
int SetupPredValsF_F(const float* masses, const float* intensities, int count);
// Scores the measured table against the predicted one. Returns X = S * S * 1000 (S the sum of
// the square roots of the intensity products at shared masses) and writes X / (P * R) to
// *wholeScore and X / (P * M) to *predictedScore, where P and R are the predicted and measured
// totals and M the measured total at shared masses. Returns 0.0 and writes nothing when either
// table is empty or nothing is shared. A null output pointer is skipped.
double BestMatch(double* wholeScore, double* predictedScore);

#ifdef __cplusplus
}

namespace MatchScoring {
constexpr int kTableEntries = 50;

struct SpectrumEntry {
    int32_t mass;
    int32_t intensity;
};
static_assert(sizeof(SpectrumEntry) == 8);

using SpectrumTable = std::array<SpectrumEntry, kTableEntries>;

// Copies of the current tables, for hosts that show what was loaded.
SpectrumTable MeasuredTable();
SpectrumTable PredictedTable();
}  // namespace MatchScoring
#endif
