// quan-study: merges batch results into a study database and page, with the QC statistics and
// Westgard rules across batches. `quan-study --help` tells all.
#include <cstdio>

#include "apps/cli/StudyTool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    Study::StudyToolOptions options;
    std::string error;
    if (!Study::ParseStudyOptions(args, options, error)) {
        std::fprintf(stderr, "quan-study: %s\n(quan-study --help explains the options)\n", error.c_str());
        return Study::kStudyExitBadInput;
    }
    if (options.help) {
        std::fputs(Study::StudyHelp().c_str(), stdout);
        return Study::kStudyExitOK;
    }
    return Study::RunStudyTool(options, stdout, stderr);
}
