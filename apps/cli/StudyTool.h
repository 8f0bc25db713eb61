// The quan-study program as a function, so that tests run it in the same process: options,
// the merge, and the summary printed for the analyst.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "workflow/study/StudyMerge.h"

namespace Study {

struct StudyToolOptions {
    MergeOptions merge;
    bool help = false;
};

// Exit statuses of the program.
constexpr int kStudyExitOK = 0;
constexpr int kStudyExitBadInput = 2;  // nothing merged, the study as it was
constexpr int kStudyExitFailed = 3;    // writing failed, the earlier study kept

bool ParseStudyOptions(const std::vector<std::string>& args, StudyToolOptions& options, std::string& error);
std::string StudyHelp();

// Runs the program: the summary goes to `out`, messages to `err`.
int RunStudyTool(const StudyToolOptions& options, std::FILE* out, std::FILE* err);

}  // namespace Study
