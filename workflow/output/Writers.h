// The batch's text outputs, and writing every output into the results folder so that the
// folder never holds a mix of a finished and an unfinished run: each file is written in full
// under a staging name first, and only when all are written are they renamed into place, with
// interrupting signals held back for those few renames.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "workflow/batch/BatchResults.h"
#include "workflow/batch/SampleTraces.h"

namespace Batch {

// How the outputs print numbers.
struct OutputOptions {
    bool fullPrecision = false;  // every digit in results.csv and matrix.csv, not the report's rounding
};

// results.csv: a header of ResultColumns(), then one row per sample and compound.
std::string ResultsCsv(const BatchResults& results, bool fullPrecision = false);
// The same in pieces: the header line, and the lines of some rows.
std::string ResultsCsvHeader();
std::string ResultsCsvRows(const BatchResults& results, const std::vector<ResultRow>& rows, bool fullPrecision = false);
// matrix.csv, the table a lab sends out: a header naming "Sample", "Type" and every compound
// with its units ("Atrazine (ng/mL)"), then one row per sample with each compound's
// concentration, empty when the compound was not found or has no concentration, and "*" after
// a value (or alone) when the result is flagged.
std::string MatrixCsvHeader(const BatchResults& results);
std::string MatrixCsvRows(const BatchResults& results, const std::vector<ResultRow>& rows, bool fullPrecision);
// curves.txt: each curve's description, curves separated by a blank line.
std::string CurvesText(const BatchResults& results);
// One CSV cell, quoted when it holds a comma, a quote or a line end.
std::string CsvCell(const std::string& text);

// The files a run writes into its results folder.
const std::vector<std::string>& OutputFileNames();

// Writes results.csv, matrix.csv, curves.txt, results.sqlite and report.html into `folder` (made when
// missing), sample by sample as a batch runs, so that a large batch is never held whole:
// Begin, then AddSample as each sample's rows arrive (in injection order; `results` holds the
// samples so far), then Finish with the curves, which renames everything into place. Failure at
// any step, or destruction before Finish, removes the staged files and leaves the folder's
// earlier outputs as they were.
class OutputWriter {
public:
    OutputWriter();
    ~OutputWriter();
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    bool Begin(const std::string& folder, const BatchResults& results, std::string& error,
               const OutputOptions& options = {});
    bool AddSample(const BatchResults& results, const std::vector<ResultRow>& rows, std::string& error);
    // The kept chromatograms of a sample (SampleTraces.h) with its rows (whose peaks they are
    // drawn with): into results.sqlite, and into the report while they fit its budget.
    bool AddChromatograms(int sampleIndex, const std::vector<ResultRow>& rows, const std::vector<EntryTrace>& traces,
                          std::string& error);
    bool Finish(const BatchResults& results, std::string& error);

private:
    struct State;
    void Discard();
    std::unique_ptr<State> m_state;
};

// All of it at once, for results already held whole.
bool WriteOutputs(const std::string& folder, const BatchResults& results, std::string& error,
                  const OutputOptions& options = {});

// Makes SIGINT, SIGTERM and SIGHUP remove the staged files of a write in progress before the
// program ends, so that an interrupted run leaves nothing half-written behind.
void RemoveStagedFilesOnSignal();

}  // namespace Batch
