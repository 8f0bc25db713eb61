// A sample's peaks from raw data: the raw files of a sample (an mzML file, or detector channels
// exported as text, one channel per file) read for the traces the method asks for and
// integrated with the method's settings, and a peak list written back as the batch's own peak
// CSV, so that an analyst can look at the integration, edit it and run the batch on it.
//
// A PeakFile names raw data when any of its ';'-separated names is an mzML file or a text
// export by its extension (.mzML, .mzML.gz, .txt, .tsv, .asc, .arw), or when it is several
// names; a single .csv is a peak list when its header names a peak field, else a text export.
#pragma once

#include <string>
#include <vector>

#include "quan.h"
#include "workflow/batch/BatchInput.h"

namespace Batch {

// The ';'-separated names of a PeakFile cell, blanks around each removed, empty ones dropped.
std::vector<std::string> SplitPeakFiles(const std::string& cell);

// Whether the named files (as opened) are raw data rather than one peak list.
bool NamesRawData(const std::vector<std::string>& paths);

// Reads every raw file for the method's traces and integrates what they hold; every problem of
// every file is reported (file, place, message) and then no peaks are added. Returns true when
// there was none. The chromatograms read are handed back in `chromatograms` when it is given;
// with `quality`, one PeakQuality per peak added, in the same order.
bool ReadRawPeaks(const std::vector<std::string>& paths, const CMethodList& method, CPeakList& peaks,
                  std::vector<Problem>& problems, std::vector<RawData::Chromatogram>* chromatograms = nullptr,
                  std::vector<Integrate::PeakQuality>* quality = nullptr);

// The peak list in the batch's peak CSV format: the columns an integration fills, one row per
// peak, numbers in their shortest exact form. With `quality` (one per peak), the peak shape
// columns of kQualityColumns follow, for review; the batch's peak reader accepts and skips them.
std::string PeakListCsv(const CPeakList& peaks, const std::vector<Integrate::PeakQuality>* quality = nullptr);

// The peak shape columns: width at half height (minutes), asymmetry at 10 %, USP tailing
// factor, points across.
extern const char* const kQualityColumns[4];

}  // namespace Batch
