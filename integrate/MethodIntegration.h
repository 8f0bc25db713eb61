// Integrating one sample's chromatograms for a method, the way a batch needs its peak list: each
// chromatogram is integrated with the settings of the method entry that needs it, and every
// peak becomes a peak entry carrying what the location and quantification engines read.
//
// Which entry's settings: the first entry (in list order) whose quantification trace the
// chromatogram is, else the first whose qualifier trace it is. A chromatogram no entry names
// is integrated with the defaults a method without integration settings gets (PeakIntegrator.h). A chromatogram is an
// entry's trace when it carries the same trace text (readers name a chromatogram by the trace
// asked for); failing that, by the location's own comparison, within the larger of the nominal
// comparison window and half the entry's chromatogram mass window (a full width centred on the
// mass, as readers take it; ppm windows taken at the trace's largest mass).
//
// What each peak carries: the trace as the method writes it (so that the location finds it
// whatever rounding the file's m/z carry), apex, start and end times and baselines, area and
// height, the chromatogram's noise, scan numbers (the file's, else the point's number from 1),
// the peak mass (the product m/z of a transition, else the precursor or extracted mass), the
// acquisition function, the asymmetry at 10 % (PeakAsymmetryValue, which the location's
// asymmetry monitoring reads), MDBIntegrateEntryPeak 1 to 4 when some entry names the trace as its
// qualifier (the location looks for qualifiers only among such peaks, and takes main peaks
// from any), and the totals groups of the entries that name the trace, so that totals find
// their members. Each totals entry gets its summary record (a totals or totals-group peak at
// its predicted time), which the location fills with its members' sums.
#pragma once

#include <string>
#include <vector>

#include "integrate/PeakIntegrator.h"
#include "platform/Problem.h"
#include "rawdata/Chromatogram.h"

class CMethodList;
class CPeakList;

namespace Integrate {

// Appends the peaks of every chromatogram (in the order given, each in time order) and the
// totals records to `peaks`. A chromatogram that breaks the reader's promises (lengths differ,
// times not ascending, non-finite values) adds no peaks; the returned problems name each one
// (where: "chromatogram <id>") and what is wrong with it, and leave the file to the caller. With
// `quality`, one PeakQuality is appended for every peak entry appended, in the same order (all
// zero for a totals record).
std::vector<Quan::Problem> IntegrateForMethod(const CMethodList& method, const std::vector<RawData::Chromatogram>& chromatograms,
                                            CPeakList& peaks, std::vector<PeakQuality>* quality = nullptr);

// What a status says, as a message ends: "times go backwards", ...
const char* StatusText(Status status);

}  // namespace Integrate
