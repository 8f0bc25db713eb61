// The traces of a run's peaks, packed: for every slot of the peak list the first two masses of
// its trace comparitor and the comparitor's window, in one contiguous array. The retention-time
// and qualifier scans read every peak once per entry and candidate, and nearly every peak fails
// on its trace; with this array they pass over those peaks without touching their records,
// which are large and scattered over the heap.
//
// The index only rules out: MayMatch is false only when the full trace comparison
// (CMassStringComparitor::operator==) must be false, so a scan that asks it first and then makes
// its usual tests in their usual order finds exactly what it found without it. Two names, a
// trace of more than two masses and a slot whose comparitor is not there compare in full.
// It holds for one location run, while no trace and no slot of the list changes.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/MassStringComparitor.h"
#include "records/PeakList.h"

class CPeakTraceIndex {
public:
    struct Key {
        double mass[2];
        double window;
        int32_t masses;  // number of masses; kName for a name, kUnknown: compare in full
    };
    static constexpr int32_t kName = 0;
    static constexpr int32_t kUnknown = -1;
    static constexpr int32_t kNoPeak = -2;  // an empty slot: no trace matches it

    static Key KeyOf(const CMassStringComparitor* comparitor) {
        Key key{{0.0, 0.0}, 0.0, kUnknown};
        if (comparitor == nullptr) return key;
        key.window = comparitor->GetWindow();
        key.masses = comparitor->IsName() ? kName : comparitor->GetNumMasses();
        key.mass[0] = comparitor->GetMass(0);
        key.mass[1] = comparitor->GetMass(1);
        return key;
    }

    // Keys for every slot of `peaks`; builds each peak's comparitor if it has none yet, as the
    // first trace comparison would.
    void Build(const CPeakList& peaks) {
        const int size = peaks.GetSize();
        m_keys.resize(static_cast<size_t>(size));
        for (int j = 0; j < size; ++j) {
            CPeakData* peak = peaks.GetEntry(j);
            m_keys[j] = peak == nullptr ? Key{{0.0, 0.0}, 0.0, kNoPeak} : KeyOf(peak->GetMassComparitor());
        }
    }

    // False only when the trace of slot j cannot be the same as the trace of `key`.
    bool MayMatch(int j, const Key& key) const {
        const Key& peak = m_keys[static_cast<size_t>(j)];
        if (peak.masses == kNoPeak) return false;
        if (peak.masses == kUnknown || key.masses == kUnknown) return true;
        if (peak.masses != key.masses) return false;  // a name never equals masses, nor two counts
        if (peak.masses == kName) return true;
        const double window = std::max(peak.window, key.window);
        if (std::fabs(peak.mass[0] - key.mass[0]) > window) return false;
        return peak.masses < 2 || !(std::fabs(peak.mass[1] - key.mass[1]) > window);
    }

    int Size() const { return static_cast<int>(m_keys.size()); }

private:
    std::vector<Key> m_keys;
};
