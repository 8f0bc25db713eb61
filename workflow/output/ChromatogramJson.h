// The chromatograms of the review views as the page reads them, the same from the static
// report (embedded) and from the review station (fetched): one panel per sample and entry,
//   {"s": sample index, "e": entry, "is": internal standard's entry or 0, "pred": sought RT,
//    "lo"/"hi": the location window, "peak": [FoundRT, StartRT, EndRT, StHeight, EnHeight] or
//    null, "tr": [[slot, trace, overlay scale, times, intensities], ...]}
// where times and intensities are the stored float32 arrays in base64 (little-endian), which
// the page reads straight into typed arrays: a third of the size of the numbers as text.
#pragma once

#include <string>
#include <vector>

#include "workflow/batch/SampleTraces.h"

namespace Batch {

// The integrated main peak a panel shades.
struct PanelPeak {
    double foundRT = 0.0, startRT = 0.0, endRT = 0.0, startHeight = 0.0, endHeight = 0.0;
};

// One panel: `traces` all of one sample and entry, in slot order; `peak` null when none was found.
std::string PanelJson(int sampleIndex, int entry, const PanelPeak* peak, const std::vector<const EntryTrace*>& traces);

// Standard base64 (RFC 4648, with padding).
std::string Base64(std::string_view bytes);

// The most chromatogram data the static report embeds: beyond it the report says to open the
// review station, which reads them from results.sqlite as they are shown.
constexpr size_t kEmbeddedChromatogramBudget = 8u << 20;

}  // namespace Batch
