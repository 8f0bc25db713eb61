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

#include <cmath>
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
    // The baseline's intensity at start and end (kBounds); NaN: the trace's own intensity at
    // that bound (linear between points), as when an analyst moves only the peak's ends.
    double baselineStart = std::nan(""), baselineEnd = std::nan("");
    double apexRT = 0.0;                             // minutes (kChosenPeak)
    std::string user, time, reason;  // time: UTC, ISO 8601 ("2026-12-08T01:23:45Z")
};

// Measures the peak between `start` and `end` (minutes) above the straight baseline from
// `baselineStart` to `baselineEnd`, from a trace's points: area, height and apex by the
// integrator's rules (Integrate::MeasureBetween, PeakIntegrator.h). A bound between two points
// takes the trace's linear interpolation there, so the area follows a dragged bound smoothly;
// nothing outside the bounds counts, so a trace cut anywhere outside them measures the same.
// False with `error` when the bounds are reversed or equal, a number is not finite, or a bound
// lies outside the trace's first and last points.
bool MeasurePeak(std::span<const float> times, std::span<const float> intensities, double start, double end,
                 double baselineStart, double baselineEnd, Integrate::Peak& peak, std::string& error);

// How far a chosen peak's apex may lie from the apex a change names: 0.01 min (0.6 s), far
// more than a stored apex's rounding, far less than two peaks' distance.
constexpr double kChosenApexTolerance = 0.01;

// Applies one sample's changes (in the order made; a later change of the same entry and slot
// replaces an earlier one) to its peak list and shape figures before location. Each decision
// becomes a modified peak (detection flag "M", MDBIntegrateEntry the entry's number, a qualifier
// also MDBIntegrateEntryPeak its slot, the modified date, time, user and text from the change):
// kBounds a new peak measured from the trace's points rounded to single precision; kChosenPeak
// the detected peak of the trace whose apex is nearest apexRT (within kChosenApexTolerance);
// kNoPeak a placeholder. The trace's other automatic peaks are given to the entry (a
// qualifier's stop being qualifier candidates), so location takes the decision, unless another
// entry reading the same trace could take them (apex in its location window). `quality`, when
// it holds one figure per peak, is kept in step. `traces` are the
// sample's chromatograms (needed for kBounds; a sample from a peak list has none and such a
// change is a problem). Every change that cannot be applied (an unknown compound or slot, bounds
// outside the trace, no detected peak at the apex) is a problem naming it, and then nothing is
// changed.
bool ApplyIntegrations(const CMethodList& method, const std::vector<IntegrationChange>& changes,
                       const std::vector<RawData::Chromatogram>& traces, CPeakList& peaks,
                       std::vector<Integrate::PeakQuality>& quality, std::vector<Problem>& problems);

// integrations.csv: a header (sample, compound, trace, kind, start, end, baseline_start,
// baseline_end, apex, user, time, reason), then one row per change in the order made. "trace"
// is the slot (0 the quantification trace, 1 to 4 the qualifiers); the numbers a kind does not
// take are empty, as is a baseline end taken from the trace; numbers in their shortest exact
// form, with a decimal point whatever the locale. Reading checks every row (columns in any
// order, of which sample, compound, trace, kind and reason are required; a reason in every
// row; time, when given, UTC as 2026-12-08T01:23:45Z) and reports each bad cell with its file,
// line and column; then it adds nothing.
std::string IntegrationsCsv(const std::vector<IntegrationChange>& changes);
bool ReadIntegrations(const std::string& path, std::vector<IntegrationChange>& changes,
                      std::vector<Problem>& problems);

}  // namespace Batch
