// Reading a batch folder: the method, the batch list, one peak file per sample and the
// optional element table. Everything is read and checked before anything runs; every problem
// is reported with its file, line and column, and a batch with problems is not run at all.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "quan.h"
#include "workflow/support/Csv.h"
#include "workflow/method/MethodDocument.h"
#include "workflow/review/ManualIntegration.h"
#include "workflow/support/Problem.h"

namespace Batch {

struct SampleInput {
    std::string id;
    std::string peakFile;
    std::string peakPath;  // the (first) peak file as opened (relative names resolved against the folder)
    std::vector<std::string> peakPaths;  // every file the PeakFile cell names, as opened
    bool rawData = false;  // the files are raw data, read and integrated for the method (RawPeaks.h)
    int type = 0;
    CQuanSampleData sample;
    std::set<std::string> excluded;  // compounds whose calibration point from this standard is excluded
    CPeakList peaks;  // empty when the batch was read without keeping the peaks
    // The peaks' shape figures, one per peak of `peaks` when their source gives them (raw
    // data, or a peak list with quan-integrate's shape columns); empty otherwise.
    std::vector<Integrate::PeakQuality> quality;
    // The analyst's integration decisions for this sample, in the order made, applied to its
    // peaks before location (ManualIntegration.h); a sample with some reads its raw traces.
    std::vector<IntegrationChange> integrations;
};

struct BatchInput {
    std::string folder;
    MethodTools::MethodDocument method;  // the entries, and the list settings (review) beside them
    std::vector<std::unique_ptr<SampleInput>> samples;
    std::string elementsFile;  // empty when the batch has none
};

// Reads `folder`; false when any problem was found (all of them are in `problems`). Every peak
// file is read and checked either way (on up to `threads` threads; the problems come in the
// same order whatever the number); without `keepPeaks` the peaks are let go again, so a
// large batch is held one sample at a time by whoever runs it (ReadSamplePeaks).
bool ReadBatch(const std::string& folder, BatchInput& batch, std::vector<Problem>& problems, bool keepPeaks = true,
               int threads = 1);

// The pieces, usable on their own.

// Reads and splits a CSV file; a file that cannot be read or split is one problem, at the file.
bool ReadCsvRows(const std::string& path, std::vector<Csv::Row>& rows, std::vector<Problem>& problems);

// The sample's amount and dilution columns of batch.csv (each a positive number, 1 when absent).
struct SampleFactorColumn {
    const char* name;
    void (CQuanSampleData::*set)(double);
};
extern const SampleFactorColumn kSampleFactorColumns[6];

// The same reading and checks as quan-method check: a method with a problem stops the batch.
using MethodTools::ReadMethodFile;
// With `quality`, the peaks' shape figures are appended, one per peak, when the file has the
// shape columns (kQualityColumns); nothing when it has none.
bool ReadPeakFile(const std::string& path, CPeakList& peaks, std::vector<Problem>& problems,
                  std::vector<Integrate::PeakQuality>* quality = nullptr);
// A sample's peaks: its peak list, or its raw files read and integrated for the method (with
// the chromatograms read handed back in `chromatograms` when it is given; a peak list has none),
// and with `quality` their shape figures, one per peak.
bool ReadSamplePeaks(const SampleInput& sample, const CMethodList& method, CPeakList& peaks,
                     std::vector<Problem>& problems, std::vector<RawData::Chromatogram>* chromatograms = nullptr,
                     std::vector<Integrate::PeakQuality>* quality = nullptr);
bool ReadBatchList(const std::string& folder, const std::string& path, const CMethodList& method,
                   std::vector<std::unique_ptr<SampleInput>>& samples, std::vector<Problem>& problems,
                   bool keepPeaks = true, int threads = 1);

// The peak fields a peak file may name as columns.
std::vector<std::string> PeakColumnNames();

}  // namespace Batch
