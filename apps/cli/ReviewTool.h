// The quan-review program as a function: options, the server, and stopping it cleanly on
// Ctrl-C (SIGINT) or SIGTERM.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace Station {

std::string ReviewToolHelp();

// Exit statuses of quan-review --verify RESULTS_DIR.
constexpr int kVerifyClean = 0;       // the trail is whole and the results are what the inputs give
constexpr int kVerifyProblems = 1;    // problems found (each printed), or the results cannot be verified
constexpr int kVerifyBadOptions = 2;

// Runs the program with the arguments after its name; returns the exit status (0 after a clean
// stop, 2 for bad options, 3 when the results cannot be opened or the port not taken; with
// --verify, the kVerify statuses).
int RunReviewTool(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace Station
