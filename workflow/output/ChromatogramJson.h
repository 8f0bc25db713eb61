// The chromatograms of the review views as the page reads them, the same from the static
// report (embedded) and from the review station (fetched): one panel per sample and entry,
//   {"s": sample index, "e": entry, "is": internal standard's entry or 0, "pred": sought RT,
//    "lo"/"hi": the location window, "peak": [FoundRT, StartRT, EndRT, StHeight, EnHeight] or
//    null, "tr": [[slot, trace, overlay scale, times, intensities], ...]}
// where times and intensities are the stored float32 arrays in base64 (little-endian), which
// the page reads straight into typed arrays: a third of the size of the numbers as text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "workflow/batch/SampleTraces.h"

namespace Batch {

// The integrated main peak a panel shades.
struct PanelPeak {
    double foundRT = 0.0, startRT = 0.0, endRT = 0.0, startHeight = 0.0, endHeight = 0.0;
};

// One panel: `traces` all of one sample and entry, in slot order; `peak` null when none was found.
std::string PanelJson(int sampleIndex, int entry, const PanelPeak* peak, const std::vector<const EntryTrace*>& traces);

// The same panels as one binary answer, for the review station: the page views the values in
// place (Float32Array over the answer's bytes) instead of decoding text. A pack is
//   "QPK1", the header's length in bytes (uint32, little-endian), the header, then the values
// (float32, little-endian). The header is the JSON answer with each trace's times and
// intensities replaced by where they are: [slot, trace, overlay scale, first value, count], the
// times at value `first` and the intensities right after them; it is padded with spaces to a
// multiple of 4 bytes, so the values start aligned for a Float32Array.
constexpr char kPanelPackMagic[] = "QPK1";
constexpr size_t kPanelPackPrefix = 8;
// One panel's header JSON; appends its traces' times and intensities to `values`.
std::string PanelPackJson(int sampleIndex, int entry, const PanelPeak* peak, const std::vector<const EntryTrace*>& traces,
                          std::string& values);
// The pack of a header and the values its panels point into; empty when either is too large to
// be addressed by the pack's 32-bit lengths.
std::string PanelPack(std::string_view header, std::string_view values);

// Standard base64 (RFC 4648, with padding).
std::string Base64(std::string_view bytes);

// The most chromatogram data the static report embeds: beyond it the report says to open the
// review station, which reads them from results.sqlite as they are shown.
constexpr size_t kEmbeddedChromatogramBudget = 8u << 20;

}  // namespace Batch
