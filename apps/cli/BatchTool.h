// The quan-batch program as a function, so that tests run it in the same process: its options,
// the terminal summary and the exit status. The run itself is a BatchSession's.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "workflow/batch/BatchSession.h"

namespace Batch {

struct ToolOptions {
    std::string folder;        // the batch folder
    std::string out = "results";
    std::string curvesFile;    // --curves: reuse stored curves instead of calibrating
    std::string exclusionsFile;  // --exclusions: calibration points excluded by hand
    std::string integrationsFile;  // --integrations: integration corrected by hand
    std::string acceptance;      // --acceptance: the rule set, over the method's choice
    double outlierLimit = 0.0;   // --exclude-outliers: automatic exclusion on at this limit (0: as the method says)
    int threads = 1;
    bool help = false;
    bool timings = false;        // --timings: how long running and writing the outputs took
    bool wholeTraces = false;      // --whole-traces: keep every raw trace whole, not each compound's window
    bool noChromatograms = false;  // --no-chromatograms: keep no raw traces with the results
    bool fullPrecision = false;  // --full-precision: every digit in the CSV files
};

// Parses the arguments after the program name; false with `error` for a bad option.
bool ParseToolOptions(const std::vector<std::string>& args, ToolOptions& options, std::string& error);
std::string ToolHelp();

// The session's options for the program's.
SessionOptions ToSessionOptions(const ToolOptions& options);

// Runs the program: the summary goes to `out`, messages and progress to `err`.
int RunTool(const ToolOptions& options, std::FILE* out, std::FILE* err);

}  // namespace Batch
