// Calibration points excluded by hand: the file an analyst saves from the report page (or
// writes) and hands back with `quan-batch --exclusions FILE`, and the record of who excluded
// each point, which the report and the database show. An entry of the file means what the
// Exclude column of batch.csv means: the compound's calibration point from that standard is
// left out of the fit.
//
// The file: a header naming the columns Compound and Standard (and, optionally, Reason), then
// one row per excluded point: the method entry's name, the standard's sample id, and why.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tools/batch/BatchInput.h"

namespace Batch {

// Who left a calibration point out, and why.
struct ExclusionNote {
    std::string by;      // "analyst" or "automatic"
    std::string reason;
};

// By compound name and standard id.
using ExclusionNotes = std::map<std::pair<std::string, std::string>, ExclusionNote>;

// Reads an exclusions file and marks its points excluded in `input`, noting each in `notes`.
// Every problem (a missing column, a compound that is not a method entry, a standard that is
// not a standard of the batch) is added to `problems` with its line and column; false then.
bool ApplyExclusionsFile(const std::string& path, BatchInput& input, ExclusionNotes& notes,
                         std::vector<Problem>& problems);

// The note for every excluded point of the batch's standards: the file's (above), the batch
// list's Exclude column ("analyst", "Exclude column of batch.csv"), and none for the points
// the tool leaves out itself, which the report calls automatic.
void NoteBatchListExclusions(const BatchInput& input, ExclusionNotes& notes);

}  // namespace Batch
