// Calibration points excluded by hand: the file an analyst saves from the report page (or
// writes) and hands back with `quan-batch --exclusions FILE`, and the record of who excluded
// each point, which the report and the database show. An entry of the file means what the
// Exclude column of batch.csv means: the compound's calibration point from that standard is
// left out of the fit.
//
// The file is CSV with a header row naming its columns, in any order: Compound and Standard
// (the method entry's name and the SampleID of a standard of the batch), and optionally Reason
// and Who (the analyst; "analyst" when empty). "automatic" is kept for the points the tool
// leaves out itself: a standard without a usable peak, or an outlier the method's rule excludes.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "workflow/batch/BatchInput.h"

namespace Batch {

// Who excluded a point, when it was not an analyst who signs with a name.
inline constexpr const char* kExcludedByAnalyst = "analyst";
inline constexpr const char* kExcludedAutomatically = "automatic";

struct Exclusion {
    std::string compound, standard, reason, who;
};

// Who left a calibration point out, and why.
struct ExclusionNote {
    std::string by;      // the analyst ("analyst" unless the file names one) or "automatic"
    std::string reason;
};

// By compound name and standard id.
using ExclusionNotes = std::map<std::pair<std::string, std::string>, ExclusionNote>;

// Reads an exclusions file against the batch. Every problem (an unknown or repeated column, a
// missing one, a compound that is not a method entry, a standard that is not a standard of the
// batch, "automatic" as the analyst) names the file, line and column; a file with problems
// gives nothing. An empty file excludes nothing.
bool ReadExclusionsFile(const std::string& path, const BatchInput& batch, std::vector<Exclusion>& exclusions,
                        std::vector<Problem>& problems);

// Excludes each point as batch.csv's Exclude column would, noting who and why.
void ApplyExclusions(const std::vector<Exclusion>& exclusions, BatchInput& batch, ExclusionNotes& notes);

// Both steps, for quan-batch --exclusions: false, with nothing applied, when the file has problems.
bool ApplyExclusionsFile(const std::string& path, BatchInput& input, ExclusionNotes& notes, std::vector<Problem>& problems);

// Notes the batch list's own exclusions ("analyst", "Exclude column of batch.csv") where no
// note is kept yet.
void NoteBatchListExclusions(const BatchInput& input, ExclusionNotes& notes);

// The exclusions as a file that quan-batch reads back.
std::string ExclusionsFileText(const std::vector<Exclusion>& exclusions);

}  // namespace Batch
