// quan-review: the review station, a local web page showing every result of a finished batch on
// its chromatogram. `quan-review --help` tells all.
#include <cstdio>
#include <string>
#include <vector>

#include "apps/cli/ReviewTool.h"

int main(int argc, char** argv) {
    return Station::RunReviewTool(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
}
