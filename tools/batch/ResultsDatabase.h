// The batch results as an SQLite database (results.sqlite), and the fitted curves read back
// from one, so a later batch can quantify against the curves of an earlier calibration.
//
// Tables:
//   samples  one row per sample: position (1-based, injection order), id, type, type_number,
//            description, peak_file, locate_status, quantify_status
//   results  one row per sample and method entry: sample_position, entry (1-based), the
//            results.csv columns as TEXT, then one TEXT column per peak report field, named
//            after the field (a name already taken gets "_" and the field number appended)
//   curves   one row per method entry: entry, compound, description, one TEXT column per curve
//            report field (empty when the curve has no such value), and record, the stored flat
//            curve record (19496 bytes) the curve is read back from
// Texts are stored exactly as the CSV and the report show them; empty means no value.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "quan.h"
#include "tools/batch/BatchResults.h"

namespace Batch {

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

}  // namespace Batch
