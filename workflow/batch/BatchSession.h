// One batch run, from a batch folder (or inputs a program already holds) to its outcome:
// everything read and checked first, the curves calibrated (or stored ones reused), every
// sample located and quantified on N threads, the batch reviewed against its acceptance rules,
// and the outputs written. quan-batch, the Python module and the review server all run a batch
// through this class, so they give the same answers; only the command line turns the outcome
// into an exit status, and the Python module hands the same number on.
//
// A session is used once: Open, then Calibrate, then Finish (Run does all three). Each step
// returns false when the batch cannot go on, and the outcome says why. Nothing is written
// before every sample has run, and the outputs replace an earlier run's only when all of them
// are complete (Writers.h).
//
// Part of the workflow library's stable interface (with MethodDocument.h and platform/
// Problem.h): within a major version, BatchSession, SessionOptions, BatchOutcome and the exit
// statuses keep their names and meaning; members may be added. The other workflow headers are
// installed because these include them, and may change between minor versions.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "workflow/batch/BatchInput.h"
#include "workflow/batch/BatchResults.h"
#include "workflow/batch/BatchRun.h"
#include "workflow/review/Exclusions.h"
#include "workflow/review/OutlierExclusion.h"

namespace Batch {

// Exit statuses of quan-batch, which BatchOutcome::ExitStatus gives.
constexpr int kExitOK = 0;
constexpr int kExitEngineStatus = 1;  // outputs written, but an engine ended a sample's run
constexpr int kExitBadInput = 2;      // nothing run, nothing written
constexpr int kExitFailed = 3;        // calibration or writing failed; earlier outputs kept
constexpr int kExitRejected = 4;      // outputs written; the batch fails its acceptance rules

struct SessionOptions {
    std::string out;             // the results folder; empty: nothing is written
    std::string curvesFile;      // reuse the curves stored there instead of calibrating
    std::string exclusionsFile;  // calibration points excluded by hand (Exclusions.h)
    std::string integrationsFile;  // integration corrected by hand (ManualIntegration.h)
    std::string acceptance;      // a rule set over the method's choice; empty keeps the method's
    double outlierLimit = 0.0;   // above 0: automatic outlier exclusion on at this limit
    int threads = 1;             // samples located and quantified at a time (1 to 256)
    bool fullPrecision = false;  // every digit in results.csv and matrix.csv
    bool keepChromatograms = true;  // samples from raw data keep their traces in results.sqlite
    bool wholeTraces = false;       // the whole of every trace, not each compound's window
    bool keepRows = false;       // keep every result row in the outcome (a large batch is otherwise never held whole)
    // Samples done and samples in all, as they finish (from the thread that finished one).
    std::function<void(int done, int total)> progress;
};

// How far a session got.
enum class SessionEnd {
    kCompleted,          // every sample ran and the outputs were written
    kBadInput,           // a problem in the input: nothing was run or written
    kCalibrationFailed,  // nothing was written
    kRunFailed,          // a sample could not be run (its peak file no longer reads)
    kWriteFailed,        // an output could not be written; earlier outputs kept
};

// What the summary shows of a sample: compounds found, found but flagged, and in all.
struct SampleCount {
    int found = 0, flagged = 0, compounds = 0;
};

struct BatchOutcome {
    SessionEnd end = SessionEnd::kCompleted;
    // Input problems, or the engine statuses that stopped a sample's run (the others ran on),
    // or what stopped the session, each naming its place.
    std::vector<Problem> problems;
    // What the run should know but that stops nothing (a calibration table's pairing used over
    // the method's, say), each naming its place.
    std::vector<Problem> notes;
    std::string failure;                // why an output could not be written (kWriteFailed)
    BatchResults results;               // samples with their engine statuses, curves, acceptance; rows when kept
    std::vector<SampleCount> counts;    // by sample, in injection order
    ReviewSettings review;              // the settings the batch was judged by
    std::vector<ExcludedPoint> outliers;  // points excluded automatically, in the order excluded
    ExclusionNotes exclusions;          // who excluded the other points, and why
    // Wall and processor seconds of the whole session and of writing the outputs.
    double seconds = 0.0, processorSeconds = 0.0, writingSeconds = 0.0, writingProcessorSeconds = 0.0;

    // quan-batch's exit status for this outcome (the kExit constants).
    int ExitStatus() const;
    // "ok", or every status an engine reported for the sample ("location 3 (...)").
    std::string SampleStatus(size_t sample) const;
};

// Reads the curves stored in `path` for `method`, one per entry in method order: the session's
// one door for stored curves, whatever kind of file holds them (an earlier run's results
// database, or a lab's calibration table in CSV, whose internal-standard pairing may change
// `method`'s). Problems stop the run; notes are told.
bool ReadStoredCurves(const std::string& path, CMethodList& method, CCalibrationList& curves,
                      std::vector<Problem>& problems, std::vector<Problem>& notes);

class BatchSession {
public:
    explicit BatchSession(SessionOptions options = {});
    ~BatchSession();
    BatchSession(const BatchSession&) = delete;
    BatchSession& operator=(const BatchSession&) = delete;

    // Where a program may look in or add to a run.
    struct Hooks {
        // Sees each sample's result and rows in injection order, after the outputs took them.
        // False with `error` stops the run (kRunFailed).
        std::function<bool(const SampleResult&, const std::vector<ResultRow>&, std::string& error)> onSample;
        // Sees the curves and their points just before they are fitted, after automatic outlier
        // exclusion flagged what it leaves out.
        std::function<void(CCalibrationList&)> beforeFit;
    };
    Hooks hooks;

    // Reads and checks the batch folder, or takes inputs already read (their samples holding
    // their peaks), then the options' files: exclusions, stored curves, the element table.
    bool Open(const std::string& folder);
    bool Open(BatchInput input);
    // Fits the curves from the standards, or takes the stored ones.
    bool Calibrate();
    // Quantifies every sample, reviews the batch and writes the outputs.
    bool Finish();
    // All three.
    const BatchOutcome& Run(const std::string& folder);

    const BatchOutcome& Outcome() const { return m_outcome; }
    BatchOutcome TakeOutcome() { return std::move(m_outcome); }
    const BatchInput& Input() const { return m_input; }
    // The curves as calibrated or read, one per method entry.
    const CCalibrationList& Curves() const { return m_curves; }

private:
    bool Check();
    void TakeIntegrations(std::vector<Problem>& problems);
    bool Stop(SessionEnd end);

    SessionOptions m_options;
    BatchInput m_input;
    CCalibrationList m_curves;
    BatchOutcome m_outcome;
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace Batch
