// Stated targets for the Levey-Jennings limits: a CSV file with the columns Compound, Level
// (the QC level's nominal concentration, as batch.csv gives it), Mean and SD, one row per QC
// level. A level with a target is charted and judged against it; the others against the mean
// and SD of the study's own results.
#pragma once

#include <map>
#include <string>
#include <utility>

namespace Study {

struct QcTarget {
    double mean = 0.0;
    double sd = 0.0;
};

class QcTargets {
public:
    // False with `error` naming the file, line and problem; the targets are then left empty.
    bool Read(const std::string& path, std::string& error);
    // Null when the level has no stated target.
    const QcTarget* Find(const std::string& compound, double level) const;
    size_t Size() const { return m_targets.size(); }

private:
    std::map<std::pair<std::string, double>, QcTarget> m_targets;
};

}  // namespace Study
