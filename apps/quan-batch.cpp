// quan-batch: runs a batch folder through location, calibration and quantification and writes
// the results, the curves, a results database and an HTML report. `quan-batch --help` tells all.
#include <cstdio>

#include "apps/cli/BatchTool.h"
#include "workflow/output/Writers.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    Batch::ToolOptions options;
    std::string error;
    if (!Batch::ParseToolOptions(args, options, error)) {
        std::fprintf(stderr, "quan-batch: %s\n(quan-batch --help explains the options)\n", error.c_str());
        return Batch::kExitBadInput;
    }
    if (options.help) {
        std::fputs(Batch::ToolHelp().c_str(), stdout);
        return Batch::kExitOK;
    }
    Batch::RemoveStagedFilesOnSignal();
    return Batch::RunTool(options, stdout, stderr);
}
