// Exclusion of calibration points by hand. An analyst excludes a standard's point for a
// compound either in batch.csv's Exclude column or in an exclusions file given to quan-batch
// with --exclusions, which is what the report page saves when points are clicked. Both mean
// the same: the curve is fitted without the point. The file says why and who, and the next
// report shows it beside the points excluded automatically.
//
// The file is CSV with a header row naming its columns, in any order: Compound and Standard
// (the method entry's name and the SampleID of a standard in batch.csv), and optionally Reason
// and Who (the analyst; "analyst" when empty). "automatic" is kept for the outlier rule.
#pragma once

#include <string>
#include <vector>

#include "tools/batch/BatchInput.h"
#include "tools/batch/OutlierExclusion.h"

namespace Batch {

struct Exclusion {
    std::string compound, standard, reason, who;
};

// Reads an exclusions file against the batch; every problem names the file, line and column,
// and a file with problems gives nothing.
bool ReadExclusionsFile(const std::string& path, const BatchInput& batch, std::vector<Exclusion>& exclusions,
                        std::vector<Problem>& problems);

// The exclusions of batch.csv's Exclude column, standard by standard in injection order.
std::vector<Exclusion> BatchListExclusions(const BatchInput& batch);

// Excludes each point as batch.csv's Exclude column would.
void ApplyExclusions(const std::vector<Exclusion>& exclusions, BatchInput& batch);

// The exclusions as a file quan-batch reads back.
std::string ExclusionsFileText(const std::vector<Exclusion>& exclusions);

// What the report and the database show of them; the first of several on one point counts.
std::vector<ExcludedPoint> ExcludedByAnalyst(const std::vector<Exclusion>& exclusions);

}  // namespace Batch
