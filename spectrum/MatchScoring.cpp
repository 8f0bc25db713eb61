// Spectrum match scoring: set-up of the measured and predicted tables and the merge that scores
// them. Set-up works on a double-precision copy and writes the target table only once the whole
// canonical form is known, so a failure never leaves a half-written table. Every input value is
// checked for being finite before it takes part in a product or comparison, and every rounded
// value is checked to fit a 32-bit integer before it is converted.
#include "spectrum/MatchScoring.h"

#include <cmath>
#include <utility>

namespace {
using MatchScoring::kTableEntries;
using MatchScoring::SpectrumEntry;
using MatchScoring::SpectrumTable;

constexpr int kSetupFailed = 0;
constexpr int kSetupDone = 1;

SpectrumTable g_measured{};
SpectrumTable g_predicted{};

struct WorkingEntry {
    double mass = 0.0;
    double intensity = 0.0;
    double Product() const { return mass * intensity; }
};
using WorkingTable = std::array<WorkingEntry, kTableEntries>;

bool AllFinite(const float* masses, const float* intensities, int count) {
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(masses[i]) || !std::isfinite(intensities[i])) return false;
    }
    return true;
}

// Copies entries in input order until the count, the first zero mass or a full table; returns
// how many were copied.
int CopyLeadingEntries(const float* masses, const float* intensities, int count, WorkingTable& work) {
    int copied = 0;
    while (copied < count && copied < kTableEntries && masses[copied] != 0.0f) {
        work[copied] = {masses[copied], intensities[copied]};
        ++copied;
    }
    return copied;
}

// Moves slot and product to the smallest product of the table; only a strictly smaller product
// replaces the one given, so ties keep the earliest slot (or the one the search started from).
void FindSmallestProduct(const WorkingTable& work, int& slot, double& product) {
    for (int i = 0; i < kTableEntries; ++i) {
        const double candidate = work[i].Product();
        if (candidate < product) {
            product = candidate;
            slot = i;
        }
    }
}

// With more entries than the table holds, keeps the 50 with the largest mass x intensity: each
// later entry that beats the current smallest product takes its slot. A later entry without a
// mass is no peak and never comes in: with negative intensities its product 0 would beat the
// smallest, and a zero mass inside the table would end the weighting half-way, leaving the
// entries after it unweighted and scaled past 1000.
void KeepLargestProducts(const float* masses, const float* intensities, int count, WorkingTable& work) {
    int smallestSlot = 0;
    double smallestProduct = work[0].Product();
    FindSmallestProduct(work, smallestSlot, smallestProduct);
    for (int i = kTableEntries; i < count; ++i) {
        if (masses[i] == 0.0f) continue;
        const WorkingEntry incoming{masses[i], intensities[i]};
        if (incoming.Product() > smallestProduct) {
            work[smallestSlot] = incoming;
            smallestProduct = incoming.Product();
            FindSmallestProduct(work, smallestSlot, smallestProduct);
        }
    }
}

// Selection sort by ascending mass; zero masses are never chosen as a smaller mass.
void SortByMass(WorkingTable& work) {
    for (int i = 0; i < kTableEntries; ++i) {
        int lightest = i;
        for (int j = i + 1; j < kTableEntries; ++j) {
            if (work[j].mass != 0.0 && work[j].mass < work[lightest].mass) lightest = j;
        }
        if (lightest != i) std::swap(work[i], work[lightest]);
    }
}

// Multiplies each intensity by its mass, up to the first zero mass; returns how many entries
// that covers.
int WeightByMass(WorkingTable& work) {
    int used = 0;
    while (used < kTableEntries && work[used].mass != 0.0) {
        work[used].intensity *= work[used].mass;
        ++used;
    }
    return used;
}

double LargestIntensity(const WorkingTable& work, int used) {
    double largest = 0.0;
    for (int i = 0; i < used; ++i) {
        if (work[i].intensity > largest) largest = work[i].intensity;
    }
    return largest;
}

// Truncation toward zero of value, when the result fits a signed 32-bit integer.
bool TruncateToTable(double value, int32_t& out) {
    const double whole = std::trunc(value);
    if (!(whole >= -2147483648.0 && whole <= 2147483647.0)) return false;
    out = static_cast<int32_t>(whole);
    return true;
}

// Rounds masses to whole numbers and scales intensities so that the largest becomes 1000.
bool Normalise(const WorkingTable& work, double largest, SpectrumTable& out) {
    for (int i = 0; i < kTableEntries; ++i) {
        if (!TruncateToTable(work[i].mass + 0.5, out[i].mass)) return false;
        if (!TruncateToTable(work[i].intensity * 1000.0 / largest + 0.5, out[i].intensity)) return false;
    }
    return true;
}

int SetupTable(const float* masses, const float* intensities, int count, SpectrumTable& target) {
    target = SpectrumTable{};
    if (masses == nullptr || intensities == nullptr || count <= 0) return kSetupFailed;
    if (!AllFinite(masses, intensities, count)) return kSetupFailed;

    WorkingTable work{};
    const int copied = CopyLeadingEntries(masses, intensities, count, work);
    if (count > kTableEntries) {
        if (copied < kTableEntries) return kSetupFailed;
        KeepLargestProducts(masses, intensities, count, work);
        SortByMass(work);
    } else if (copied != count) {
        // Short spectra are taken in the caller's (ascending) order, so a zero mass is a gap.
        return kSetupFailed;
    }

    const int used = WeightByMass(work);
    const double largest = LargestIntensity(work, used);
    // A spectrum without any positive intensity is a valid, empty spectrum.
    if (!(largest > 0.0)) return kSetupDone;

    SpectrumTable canonical{};
    if (!Normalise(work, largest, canonical)) return kSetupFailed;
    target = canonical;
    return kSetupDone;
}

// One side of the scoring merge. Only the starting entry may have zero intensity; advancing
// skips zero intensities, and the side ends at the table's end or at a zero mass.
class MergeSide {
public:
    explicit MergeSide(const SpectrumTable& table) : m_table(table) {}
    bool Ended() const { return m_ended; }
    const SpectrumEntry& Current() const { return m_table[m_index]; }
    void Advance() {
        int next = m_index + 1;
        while (next < kTableEntries && m_table[next].intensity == 0) ++next;
        if (next >= kTableEntries || m_table[next].mass == 0) {
            m_ended = true;
        } else {
            m_index = next;
        }
    }

private:
    const SpectrumTable& m_table;
    int m_index = 0;
    bool m_ended = false;
};

struct MatchSums {
    double rootSum = 0.0;          // S
    double measuredTotal = 0.0;    // R
    double predictedTotal = 0.0;   // P
    double sharedMeasured = 0.0;   // M
    bool defined = true;           // false when a shared mass paired intensities of opposite sign
};

MatchSums WalkTogether(const SpectrumTable& measured, const SpectrumTable& predicted) {
    MatchSums sums;
    MergeSide real(measured);
    MergeSide pred(predicted);
    while (!real.Ended() && !pred.Ended()) {
        const SpectrumEntry& r = real.Current();
        const SpectrumEntry& p = pred.Current();
        if (r.mass < p.mass) {
            sums.measuredTotal += r.intensity;
            real.Advance();
        } else if (p.mass < r.mass) {
            sums.predictedTotal += p.intensity;
            pred.Advance();
        } else {
            const double product = static_cast<double>(r.intensity) * p.intensity;
            if (product < 0.0) sums.defined = false;
            sums.rootSum += std::sqrt(std::fabs(product));
            sums.predictedTotal += p.intensity;
            sums.measuredTotal += r.intensity;
            sums.sharedMeasured += r.intensity;
            real.Advance();
            pred.Advance();
        }
    }
    for (; !real.Ended(); real.Advance()) sums.measuredTotal += real.Current().intensity;
    for (; !pred.Ended(); pred.Advance()) sums.predictedTotal += pred.Current().intensity;
    return sums;
}
}  // namespace

extern "C" int SetupRealValsF_F(const float* masses, const float* intensities, int count) {
    return SetupTable(masses, intensities, count, g_measured);
}

extern "C" int SetupPredValsF_F(const float* masses, const float* intensities, int count) {
    return SetupTable(masses, intensities, count, g_predicted);
}

extern "C" double BestMatch(double* wholeScore, double* predictedScore) {
    if (g_measured[0].mass == 0 || g_predicted[0].mass == 0) return 0.0;
    const MatchSums sums = WalkTogether(g_measured, g_predicted);
    // A negative intensity paired with a positive one has no square root: no score.
    if (!sums.defined) return 0.0;
    if (sums.predictedTotal == 0.0 || sums.sharedMeasured == 0.0 || sums.measuredTotal == 0.0) return 0.0;
    const double x = sums.rootSum * sums.rootSum * 1000.0;
    if (wholeScore != nullptr) *wholeScore = x / (sums.predictedTotal * sums.measuredTotal);
    if (predictedScore != nullptr) *predictedScore = x / (sums.predictedTotal * sums.sharedMeasured);
    return x;
}

namespace MatchScoring {
SpectrumTable MeasuredTable() { return g_measured; }
SpectrumTable PredictedTable() { return g_predicted; }
}  // namespace MatchScoring
