// The batch results as an SQLite database (results.sqlite), and the fitted curves read back
// from one, so a later batch can quantify against the curves of an earlier calibration.
//
// The schema is typed so that a person queries it without casts: numbers are REAL or INTEGER,
// texts TEXT, and a value that is absent is NULL. Samples are keyed by their position in the
// batch, compounds by their method entry number; results and peak_fields have one row per
// sample and compound (peak_fields only where a peak was located), curves one row per entry
// with every number of the stored curve record as a column beside the record itself, and
// calibration_points every standard of every curve with its back-calculated concentration.
// Views answer the common questions: concentration_matrix, qc_accuracy, flagged_results.
// Table run records how the batch was run (BatchResults::run), so it can be run again; table
// audit, written empty, records the changes made in review (AuditTrail.h).
// docs/RESULTS_DATABASE.md describes every table with example queries. schema_version (and
// PRAGMA user_version) hold kResultsSchemaVersion.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "quan.h"
#include "workflow/batch/BatchResults.h"
#include "workflow/batch/SampleTraces.h"

namespace Batch {

// The layout written by this version; 1 was the layout that kept every value as text.
constexpr int kResultsSchemaVersion = 2;

// Builds the database under TemporaryNameFor(path) in one transaction and renames it onto
// `path` only when complete. False with `error` set when anything fails; an earlier database
// at `path` is then left as it was.
bool WriteResultsDatabase(const std::string& path, const BatchResults& results, std::string& error);

// The same database written sample by sample, so a large batch need not be held whole: Open,
// then AddResults as samples finish (the samples of `results` not yet written, and `rows`),
// then Finish with the curves. Any failure, or destruction before Finish, removes the
// temporary and leaves an earlier database at the path as it was.
class ResultsDatabaseWriter {
public:
    ResultsDatabaseWriter();
    ~ResultsDatabaseWriter();
    ResultsDatabaseWriter(const ResultsDatabaseWriter&) = delete;
    ResultsDatabaseWriter& operator=(const ResultsDatabaseWriter&) = delete;

    bool Open(const std::string& path, std::string& error);
    bool AddResults(const BatchResults& results, const std::vector<ResultRow>& rows, std::string& error);
    bool Finish(const BatchResults& results, std::string& error);
    // The kept chromatograms of the sample at `sampleIndex` (into BatchResults::samples): table
    // chromatograms, one row per sample, entry and trace slot, the points as float32 BLOBs
    // (EncodeFloats). Samples from peak lists add none.
    bool AddChromatograms(int sampleIndex, const std::vector<EntryTrace>& traces, std::string& error);

private:
    struct State;
    void Abandon();
    bool Fail(const std::string& what, const std::string& message, std::string& error);
    std::unique_ptr<State> m_state;
};

// The curves of such a database, one per entry of `method` in entry order, each from its
// stored record. False with `error` naming the file and the problem, and `curves` untouched,
// when the file is missing or not such a database, a record has the wrong size, the curves are
// not numbered 1 to the method's entry count, or a curve is for another compound than its
// entry. The list's name, creation date and times are kept.
bool ReadCurvesFromDatabase(const std::string& path, const CMethodList& method, CCalibrationList& curves,
                            std::string& error);

// Every curve record of such a database as stored, with its entry number, in entry order and
// without a method to match them against (as the review station shows a finished batch).
// False with `error` naming the file and the problem, and `curves` untouched.
bool ReadCurveRecords(const std::string& path, std::vector<std::pair<int, CCalibrationData>>& curves,
                      std::string& error);

}  // namespace Batch
