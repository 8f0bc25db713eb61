// The quan-batch program as a function, so that tests run it in the same process:
// options, reading, running, writing and the terminal summary.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace Batch {

struct ToolOptions {
    std::string folder;        // the batch folder
    std::string out = "results";
    std::string curvesFile;    // --curves: reuse stored curves instead of calibrating
    std::string exclusionsFile;  // --exclusions: calibration points excluded by hand
    std::string acceptance;      // --acceptance: the rule set, over the method's choice
    double outlierLimit = 0.0;   // --exclude-outliers: automatic exclusion on at this limit (0: as the method says)
    int threads = 1;
    bool help = false;
    bool timings = false;
    bool wholeTraces = false;      // --whole-traces: keep every raw trace whole, not each compound's window
    bool noChromatograms = false;  // --no-chromatograms: keep no raw traces with the results
    bool fullPrecision = false;  // --full-precision: every digit in the CSV files      // --timings: how long running and writing the outputs took
};

// Exit statuses of the program.
constexpr int kExitOK = 0;
constexpr int kExitEngineStatus = 1;  // outputs written, but an engine ended a sample's run
constexpr int kExitBadInput = 2;      // nothing run, nothing written
constexpr int kExitFailed = 3;        // calibration or writing failed; earlier outputs kept
constexpr int kExitRejected = 4;      // outputs written; the batch fails its acceptance rules

// Parses the arguments after the program name; false with `error` for a bad option.
bool ParseToolOptions(const std::vector<std::string>& args, ToolOptions& options, std::string& error);
std::string ToolHelp();

// Runs the program: the summary goes to `out`, messages and progress to `err`.
int RunTool(const ToolOptions& options, std::FILE* out, std::FILE* err);

}  // namespace Batch
