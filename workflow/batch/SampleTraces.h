// The chromatograms kept with a sample's results, so that an analyst can see what the
// integrator decided: for every method entry, the points of its quantification trace and of
// each qualifier trace, cut to the entry's location window plus a margin on both sides (or
// whole, when the batch asks for it). The internal standard's traces are kept under its own
// entry, which the entry names.
//
// Points are kept as single-precision times (minutes) and intensities: a chromatogram's
// resolution is far coarser than a float's, and halving the size matters at hundreds of
// samples by hundreds of compounds.
#pragma once

#include <string>
#include <vector>

#include "rawdata/Chromatogram.h"

class CMethodData;
class CMethodList;
class CPeakList;

namespace Batch {

// Trace slots of an entry: 0 the quantification trace, 1 to 4 qualifier (target) traces 0 to 3.
constexpr int kQuantifierSlot = 0;
constexpr int kQualifierSlots = 4;

struct EntryTrace {
    int entry = 0;              // 1-based method entry number
    int slot = kQuantifierSlot;
    std::string trace;          // as the method writes it
    // What a qualifier's intensities are multiplied by to lie on the quantifier where the
    // measured ratio equals the expected one; 1 for the quantifier, 0 when the entry expects no
    // ratio.
    double overlayScale = 1.0;
    double expectedRatio = 0.0;  // the entry's target ratio for a qualifier; 0 for the quantifier
    int internalStandard = 0;    // the entry's internal standard (entry number), 0 for none
    double predictedRT = 0.0;    // where location looked (the sought RT), minutes
    double windowStart = 0.0;    // the location window, minutes; equal ends for an entry without one
    double windowEnd = 0.0;
    std::vector<float> times;        // minutes, ascending
    std::vector<float> intensities;  // one per time
    // The scan number of each point, as the raw file numbers its spectra (a point's place from 1
    // in the whole trace when the file numbers none), so a peak measured later on the kept points
    // names the same scans as one measured on the raw trace: `firstScan` for the first point,
    // and `scans` one per point only when they do not follow on from it one by one.
    int firstScan = 1;
    std::vector<int> scans{};
};

// Where location looked for an entry in one sample: the sought RT (the predicted one moved by
// the entry's reference, when it follows one) and the window around it, minutes.
struct EntryWindow {
    int entry = 0;  // 1-based method entry number
    double predictedRT = 0.0, windowStart = 0.0, windowEnd = 0.0;
};

// The window of `entry` (number `number`) as location left it (sought RT set).
EntryWindow LocationWindow(const CMethodData& entry, int number);

// What a batch keeps of its raw traces.
struct TraceKeeping {
    bool keep = false;         // chromatograms are kept at all
    bool wholeTraces = false;  // the whole of every trace, not the windows
    // The margin on each side of the location window: this share of the window's full width,
    // and at least kLeastMargin minutes, so a narrow window still shows the peak's surroundings.
    double marginShare = 1.0;
    static constexpr double kLeastMargin = 0.2;
};

// The traces of every entry of a located sample: `method` as location left it (sought RTs set),
// `peaks` the located peaks (a main peak reaching outside the window widens the cut to hold
// it), `chromatograms` as read. An entry whose trace the sample lacks keeps nothing for it;
// totals entries (sums of other entries) keep nothing.
std::vector<EntryTrace> CutEntryTraces(const CMethodList& method, const CPeakList& peaks,
                                       const std::vector<RawData::Chromatogram>& chromatograms,
                                       const TraceKeeping& keeping);

// The chromatogram read for a trace: readers name each chromatogram by the trace the method
// asked for (compared ignoring case). Of several (one per acquisition function) the one of
// `function` wins, else the first; null when the sample has none.
const RawData::Chromatogram* FindTraceChromatogram(const std::vector<RawData::Chromatogram>& chromatograms,
                                                   const std::string& trace, int function);

// The stored form of a point array: little-endian IEEE single-precision values, one after the
// other, with nothing before or after. Decoding refuses a blob whose size is not a multiple of 4.
std::string EncodeFloats(const std::vector<float>& values);
bool DecodeFloats(const void* bytes, size_t size, std::vector<float>& values);
// Scan numbers the same way, as little-endian 32-bit signed integers.
std::string EncodeScans(const std::vector<int>& scans);
bool DecodeScans(const void* bytes, size_t size, std::vector<int>& scans);

}  // namespace Batch
