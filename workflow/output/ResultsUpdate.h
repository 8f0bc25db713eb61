// Bringing a results database up to date in place after the review station changed some
// results: the rows of the results that changed (results, peak_values, peak_quality), the
// samples whose engine statuses changed, the curves that were fitted again with their
// calibration points, the acceptance verdicts, and the location windows of the stored
// chromatograms of samples located again, all through the same row writers that built
// the database (ResultsRows.h). Runs inside the caller's transaction, so the change and its
// audit row are committed together or not at all.
#pragma once

#include <string>
#include <vector>

#include "workflow/batch/BatchResults.h"
#include "workflow/batch/SampleTraces.h"

struct sqlite3;

namespace Batch {

struct ResultsChange {
    std::vector<const ResultRow*> rows;     // the changed results, from the batch's state after the change
    std::vector<size_t> samples;            // samples (indexes into BatchResults::samples) to write again
    std::vector<const CurveResult*> curves; // curves fitted again
    bool acceptance = false;                // the verdicts changed: all are written again
    // Samples located again, with where location looked for each entry: the stored
    // chromatograms' windows follow (an entry that follows a corrected reference moves).
    std::vector<std::pair<size_t, const std::vector<EntryWindow>*>> windows;
};

// Writes `change` into `database` (open read-write, inside a transaction the caller holds).
// `results` is the batch's whole state after the change (the rows need their samples). False
// with `error` at the first failure; the caller then rolls back.
bool UpdateResults(sqlite3* database, const BatchResults& results, const ResultsChange& change, std::string& error);

}  // namespace Batch
