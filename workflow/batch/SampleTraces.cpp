// Cutting a sample's chromatograms to what the review views show (SampleTraces.h).
#include "workflow/batch/SampleTraces.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "quan.h"
#include "platform/NumberText.h"

namespace Batch {

namespace {

static_assert(sizeof(float) == 4, "stored points are 4-byte floats");

bool SameTrace(const std::string& a, const std::string& b) {
    return NumberText::LowerAscii(a) == NumberText::LowerAscii(b);
}

// The entry's main peak bounds, widening the cut when the integration reaches past the window.
bool MainPeakBounds(const CPeakList& peaks, int entry, double& start, double& end) {
    for (int j = 0; j < peaks.GetSize(); ++j) {
        const CPeakData* peak = peaks.GetEntry(j);
        if (peak == nullptr || peak->GetMDBEntry() != entry || peak->GetMDBEntryPeak() != 0 || peak->GetPlaceHolder())
            continue;
        start = peak->GetStartRT();
        end = peak->GetEndRT();
        return std::isfinite(start) && std::isfinite(end) && start <= end;
    }
    return false;
}

// The scans of points [first, last) of the trace, as the integrator numbers them: the file's
// own numbers when it gives one per point, else each point's place from 1.
void KeepScans(const RawData::Chromatogram& chromatogram, size_t first, size_t last, EntryTrace& kept) {
    const bool numbered = chromatogram.scans.size() == chromatogram.times.size();
    const auto scanAt = [&](size_t i) { return numbered ? chromatogram.scans[i] : static_cast<int>(i) + 1; };
    kept.firstScan = first < last ? scanAt(first) : 1;
    kept.scans.clear();
    for (size_t i = first; i < last; ++i) {
        if (scanAt(i) == kept.firstScan + static_cast<int>(i - first)) continue;
        for (size_t k = first; k < last; ++k) kept.scans.push_back(scanAt(k));
        return;
    }
}

void CutPoints(const RawData::Chromatogram& chromatogram, double from, double to, bool whole, EntryTrace& kept) {
    const std::vector<double>& times = chromatogram.times;
    const size_t count = std::min(times.size(), chromatogram.intensities.size());
    size_t first = 0, last = count;
    if (!whole) {
        first = static_cast<size_t>(std::lower_bound(times.begin(), times.begin() + count, from) - times.begin());
        last = static_cast<size_t>(std::upper_bound(times.begin(), times.begin() + count, to) - times.begin());
        // One point beyond each end, so the line reaches the panel's edges.
        if (first > 0) --first;
        if (last < count) ++last;
    }
    kept.times.reserve(last - first);
    kept.intensities.reserve(last - first);
    for (size_t i = first; i < last; ++i) {
        kept.times.push_back(static_cast<float>(times[i]));
        kept.intensities.push_back(static_cast<float>(chromatogram.intensities[i]));
    }
    KeepScans(chromatogram, first, last, kept);
}

}  // namespace

EntryWindow LocationWindow(const CMethodData& entry, int number) {
    const double sought = std::isfinite(entry.GetSoughtRT()) && entry.GetSoughtRT() > 0.0f ? entry.GetSoughtRT()
                                                                                            : entry.GetPredRT();
    const double halfWindow = std::max(0.0f, entry.GetLocateRTWin());
    return {number, sought, sought - halfWindow, sought + halfWindow};
}

std::vector<EntryTrace> CutEntryTraces(const CMethodList& method, const CPeakList& peaks,
                                       const std::vector<RawData::Chromatogram>& chromatograms,
                                       const TraceKeeping& keeping) {
    std::vector<EntryTrace> kept;
    if (!keeping.keep) return kept;
    const int entries = method.GetSize();
    for (int i = 0; i < entries; ++i) {
        const CMethodData* entry = method.GetEntry(i);
        if (entry == nullptr || entry->IsTotals()) continue;
        const int number = i + 1;
        const EntryWindow window = LocationWindow(*entry, number);
        const double halfWindow = std::max(0.0f, entry->GetLocateRTWin());
        const double margin = std::max(TraceKeeping::kLeastMargin, keeping.marginShare * 2.0 * halfWindow);
        double from = window.windowStart - margin, to = window.windowEnd + margin;
        double peakStart = 0.0, peakEnd = 0.0;
        if (MainPeakBounds(peaks, number, peakStart, peakEnd)) {
            from = std::min(from, peakStart - margin);
            to = std::max(to, peakEnd + margin);
        }
        const int standard = entry->GetRRef() >= 1 && entry->GetRRef() <= entries && entry->GetRRef() != number
                                 ? entry->GetRRef() : 0;
        for (int slot = 0; slot <= kQualifierSlots; ++slot) {
            const std::string trace = slot == kQuantifierSlot ? entry->GetQuanTrace() : entry->GetTargetTrace(slot - 1);
            if (trace.empty()) continue;
            const RawData::Chromatogram* chromatogram =
                FindTraceChromatogram(chromatograms, trace, entry->GetRawAcquisitionFunction());
            if (chromatogram == nullptr) continue;
            EntryTrace cut;
            cut.entry = number;
            cut.slot = slot;
            cut.trace = trace;
            cut.internalStandard = standard;
            cut.predictedRT = window.predictedRT;
            cut.windowStart = window.windowStart;
            cut.windowEnd = window.windowEnd;
            if (slot != kQuantifierSlot) {
                // The stored ratio is quantifier over qualifier unless the entry says otherwise.
                const double ratio = entry->GetTargetRatio(slot - 1);
                cut.expectedRatio = ratio;
                cut.overlayScale = !(ratio > 0.0) || !std::isfinite(ratio) ? 0.0
                                   : entry->UseTargetOverQuan()        ? 1.0 / ratio
                                                                       : ratio;
            }
            CutPoints(*chromatogram, from, to, keeping.wholeTraces, cut);
            kept.push_back(std::move(cut));
        }
    }
    return kept;
}

const RawData::Chromatogram* FindTraceChromatogram(const std::vector<RawData::Chromatogram>& chromatograms,
                                                   const std::string& trace, int function) {
    const RawData::Chromatogram* first = nullptr;
    for (const RawData::Chromatogram& chromatogram : chromatograms) {
        if (!SameTrace(chromatogram.trace, trace)) continue;
        if (function <= 0 || chromatogram.function == 0 || chromatogram.function == function) return &chromatogram;
        if (first == nullptr) first = &chromatogram;
    }
    return first;
}

namespace {

// Four-byte values stored little-endian; the build refuses big-endian hosts, so the bytes go as
// they are.
template <class Value>
std::string EncodeFourBytes(const std::vector<Value>& values) {
    static_assert(sizeof(Value) == 4);
    std::string bytes(values.size() * 4, '\0');
    if (!values.empty()) std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

template <class Value>
bool DecodeFourBytes(const void* bytes, size_t size, std::vector<Value>& values) {
    values.clear();
    if (size % 4 != 0) return false;
    values.resize(size / 4);
    if (size > 0) std::memcpy(values.data(), bytes, size);
    return true;
}

}  // namespace

std::string EncodeFloats(const std::vector<float>& values) { return EncodeFourBytes(values); }
bool DecodeFloats(const void* bytes, size_t size, std::vector<float>& values) {
    return DecodeFourBytes(bytes, size, values);
}
std::string EncodeScans(const std::vector<int>& scans) { return EncodeFourBytes(scans); }
bool DecodeScans(const void* bytes, size_t size, std::vector<int>& scans) {
    return DecodeFourBytes(bytes, size, scans);
}

}  // namespace Batch
