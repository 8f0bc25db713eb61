// Running a batch that has been read and checked: every standard located and its main peaks
// entered as calibration points, the curves fitted (or taken from an earlier run), then every
// sample located and quantified against them. Samples run on as many threads as asked, one
// engine object per thread, and their results come out in injection order whatever the count.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "workflow/batch/BatchInput.h"
#include "workflow/batch/BatchResults.h"
#include "workflow/batch/SampleTraces.h"

namespace Batch {

struct RunOptions {
    int threads = 1;
    std::string periodicDatabase;  // the periodic-table database the engines open ("" for none)
    // Called as samples finish (from the thread that finished one): samples done, samples in all.
    std::function<void(int done, int total)> progress;
    // Receives each sample's result and rows in injection order. When empty, the rows are kept
    // in BatchResults::rows.
    std::function<bool(const SampleResult&, std::vector<ResultRow>&, std::string& error)> onSample;
    // Called with the curves and their points just before they are fitted: where automatic
    // outlier exclusion flags the points it leaves out.
    std::function<void(CCalibrationList&)> beforeFit;
    // What is kept of the raw traces of samples read from raw data; each sample's cut traces are
    // handed on, in injection order, just before its rows go to onSample (not at all for a
    // sample from a peak list, which has none).
    TraceKeeping traces;
    std::function<bool(const SampleResult&, const std::vector<ResultRow>&, std::vector<EntryTrace>&, std::string& error)>
        onTraces;
};

// A sample's peaks as location takes them: as read with the batch, or read (and integrated)
// again from its files, then its integration decisions applied (a sample from raw data with
// decisions reads its chromatograms for them, whether or not `chromatograms` asks for them).
// False, with problems, when the files no longer read or a decision cannot be applied.
bool LoadSamplePeaks(const CMethodList& method, const SampleInput& sample, CPeakList& peaks,
                     std::vector<Integrate::PeakQuality>& quality, std::vector<Problem>& problems,
                     std::vector<RawData::Chromatogram>* chromatograms = nullptr);

// The meaning of an engine's status code, for messages ("12: ...").
std::string LocateStatusText(int status);
std::string CalibrateStatusText(int status);
std::string QuantifyStatusText(int status);

// One curve per method entry, in method order, with the entry's curve settings and no points.
CCalibrationList EmptyCurves(const CMethodList& method);

// Locates every standard and fits the curves from their main peaks. False, with problems, when
// the batch has no standards or calibration fails.
bool CalibrateBatch(const BatchInput& input, const RunOptions& options, CCalibrationList& curves,
                    std::vector<Problem>& problems);

// Locates and quantifies every sample against `curves` (one per method entry). Engine statuses
// that end a sample's run are reported in `problems` naming the sample; the other samples go on.
// False when a sample could not be run at all (its peak file no longer reads) or onSample failed.
bool QuantifyBatch(const BatchInput& input, const CCalibrationList& curves, const RunOptions& options,
                   BatchResults& results, std::vector<Problem>& problems);

// What running one sample gives: whether it ran at all (its peaks could be read), its result
// with the engines' statuses, one row per method entry, where location looked, its cut traces
// when asked for, and the engine statuses that stopped it, naming the sample.
struct SampleRun {
    bool ran = false;
    SampleResult result;
    std::vector<ResultRow> rows;
    std::vector<EntryWindow> windows;  // where location looked, one per entry that is no total
    std::vector<EntryTrace> traces;
    std::vector<Problem> problems;
};

// Whether `curves` hold entry i's calibration compound in slot i for every entry; when not,
// each sample quantifies against its own copy (QuantifySample).
bool CurvesMatchEntries(const CMethodList& method, const CCalibrationList& curves);

// Locates and quantifies sample `index` of `input` against `curves`, as QuantifyBatch does for
// each sample: the one place a sample's rows are made, so a batch run and the review station's
// requantification of one corrected sample give the same rows. The engines are the caller's
// (one pair per thread); `curvesMatch` is CurvesMatchEntries(input.method, curves).
void QuantifySample(CQuanLocate& locate, CQuanQuantify& quantify, const BatchInput& input, int index,
                    const CCalibrationList& curves, bool curvesMatch, const RunOptions& options, SampleRun& outcome);

// The curve results (description and curve) for the report, in method order.
std::vector<CurveResult> DescribeCurves(const CMethodList& method, const CCalibrationList& curves);

}  // namespace Batch
