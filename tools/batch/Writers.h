// The batch's text outputs, and writing every output into the results folder so that the
// folder never holds a mix of a finished and an unfinished run: each file is written in full
// under a staging name first, and only when all are written are they renamed into place, with
// interrupting signals held back for those few renames.
#pragma once

#include <string>
#include <vector>

#include "tools/batch/BatchResults.h"

namespace Batch {

// results.csv: a header of ResultColumns(), then one row per sample and compound.
std::string ResultsCsv(const BatchResults& results);
// curves.txt: each curve's description, curves separated by a blank line.
std::string CurvesText(const BatchResults& results);
// One CSV cell, quoted when it holds a comma, a quote or a line end.
std::string CsvCell(const std::string& text);

// The files a run writes into its results folder.
const std::vector<std::string>& OutputFileNames();

// Writes results.csv, curves.txt, results.sqlite and report.html into `folder` (made when
// missing). False with `error` set when anything fails; the folder's earlier outputs are then
// left as they were.
bool WriteOutputs(const std::string& folder, const BatchResults& results, std::string& error);

// Makes SIGINT, SIGTERM and SIGHUP remove the staged files of a write in progress before the
// program ends, so that an interrupted run leaves nothing half-written behind.
void RemoveStagedFilesOnSignal();

}  // namespace Batch
