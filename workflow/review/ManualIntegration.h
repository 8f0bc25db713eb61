// Integration corrected by an analyst: a peak's bounds and baseline moved, another detected
// peak chosen, "no peak" declared, or the integrator's own peak restored. A change is applied to
// a sample's peak list before location, as a peak marked modified (detection flag "M") and
// assigned to its entry, which location then takes over any peak the integrator found; so the
// review station and a fresh run of quan-batch --integrations give the same results from the
// same decisions.
//
// A moved peak is measured from its trace's points as the results keep them (single precision,
// SampleTraces.h), with the integrator's own rules for a given start, end and baseline: the
// station and a fresh run from the raw files measure the same numbers.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "integrate/PeakIntegrator.h"
#include "rawdata/Chromatogram.h"
#include "workflow/batch/SampleTraces.h"
#include "workflow/support/Problem.h"

class CMethodList;
class CPeakList;

namespace Batch {

enum class IntegrationKind {
    kBounds,     // start, end and the baseline's two ends as given
    kChosenPeak, // the detected peak of the trace whose apex is at apexRT
    kNoPeak,     // the entry has no peak in this trace
    kAutomatic,  // back to what the integrator found (withdraws earlier changes)
};

// The keyword of each kind, as integrations.csv and the station's requests write it:
// "bounds", "peak", "none", "auto".
const char* IntegrationKindText(IntegrationKind kind);
bool IntegrationKindFromText(std::string_view text, IntegrationKind& kind);

struct IntegrationChange {
    std::string sample;    // the sample's id in batch.csv
    std::string compound;  // the method entry's name
    int slot = kQuantifierSlot;  // 0 the quantification trace, 1 to 4 the qualifier traces
    IntegrationKind kind = IntegrationKind::kBounds;
    double start = 0.0, end = 0.0;                   // minutes (kBounds)
    double baselineStart = 0.0, baselineEnd = 0.0;   // the baseline's intensity at start and end (kBounds)
    double apexRT = 0.0;                             // minutes (kChosenPeak)
    std::string user, time, reason;  // time: UTC, ISO 8601 ("2026-12-08T01:23:45Z")
};

// Measures the peak between `start` and `end` (minutes) above the straight baseline from
// `baselineStart` to `baselineEnd`, from a trace's points: area, height and apex by the
// integrator's rules (PeakIntegrator.h, step 9). False with `error` when the bounds are reversed,
// not finite, or not inside the trace's first and last points.
bool MeasurePeak(std::span<const float> times, std::span<const float> intensities, double start, double end,
                 double baselineStart, double baselineEnd, Integrate::Peak& peak, std::string& error);

// Applies one sample's changes (in the order made; a later change of the same entry and slot
// replaces an earlier one) to its peak list and shape figures before location. `traces` are the
// sample's chromatograms (needed for kBounds; a sample from a peak list has none and such a
// change is a problem). Every change that cannot be applied (an unknown compound or slot, bounds
// outside the trace, no detected peak at the apex) is a problem naming it, and then nothing is
// changed.
bool ApplyIntegrations(const CMethodList& method, const std::vector<IntegrationChange>& changes,
                       const std::vector<RawData::Chromatogram>& traces, CPeakList& peaks,
                       std::vector<Integrate::PeakQuality>& quality, std::vector<Problem>& problems);

// integrations.csv: a header, then one row per change, numbers in their shortest exact form.
std::string IntegrationsCsv(const std::vector<IntegrationChange>& changes);
bool ReadIntegrations(const std::string& path, std::vector<IntegrationChange>& changes,
                      std::vector<Problem>& problems);

}  // namespace Batch
