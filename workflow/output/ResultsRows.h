// The rows of results.sqlite as one batch's results make them, written through statements
// prepared once on a connection the caller holds: the writer of a new database and the update
// of one in place (ResultsUpdate.h) bind every table's values through the same code, so a row
// updated by the review station is the row a fresh run would have written.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "workflow/batch/BatchResults.h"

struct sqlite3;

namespace Batch {

class ResultsRowWriter {
public:
    ResultsRowWriter();
    ~ResultsRowWriter();
    ResultsRowWriter(const ResultsRowWriter&) = delete;
    ResultsRowWriter& operator=(const ResultsRowWriter&) = delete;

    // Prepares the statements on `database`, whose tables exist. With `replace`, a row whose
    // key is taken replaces the row there. Shared peak value sets are numbered after the ids
    // the database already holds.
    bool Prepare(sqlite3* database, bool replace, std::string& error);
    // Samples [from, to) of `results`, at their positions.
    bool WriteSamples(const BatchResults& results, size_t from, size_t to, std::string& error);
    // Each row's results row, its peak_quality row (a peak with shape figures) and its
    // peak_values row with its shared value sets (a located peak).
    bool WriteRows(const BatchResults& results, const std::vector<ResultRow>& rows, std::string& error);
    // Each curve's compounds and curves rows and its calibration points.
    bool WriteCurves(const std::vector<CurveResult>& curves, std::string& error);
    // Every acceptance verdict.
    bool WriteAcceptance(const BatchResults& results, std::string& error);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace Batch
