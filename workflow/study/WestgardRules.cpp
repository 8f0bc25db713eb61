#include "workflow/study/WestgardRules.h"

#include <cmath>
#include <map>
#include <set>

namespace Study {

namespace {

// The side of the mean a result lies on beyond `limit` SD: +1 above, -1 below, 0 within.
int SideBeyond(double z, double limit) { return z > limit ? 1 : z < -limit ? -1 : 0; }

// True when the last `count` results of `run` (indices into `results`) all lie beyond `limit`
// on the same side.
bool RunBeyond(const std::vector<ControlResult>& results, const std::vector<size_t>& run, size_t count,
               double limit) {
    if (run.size() < count) return false;
    const int side = SideBeyond(results[run.back()].z, limit);
    if (side == 0) return false;
    for (size_t i = run.size() - count; i < run.size(); ++i)
        if (SideBeyond(results[run[i]].z, limit) != side) return false;
    return true;
}

}  // namespace

std::vector<RuleViolation> WestgardRules::Check(const std::vector<ControlResult>& results) {
    std::vector<RuleViolation> violations;
    std::map<int, std::vector<size_t>> levelRuns;       // each level's results so far, in order
    std::map<int, std::vector<size_t>> batchResults;    // each batch's results so far
    std::set<int> rangeReported;                         // batches already given an R-4s
    for (size_t i = 0; i < results.size(); ++i) {
        const ControlResult& result = results[i];
        if (!std::isfinite(result.z)) continue;
        std::vector<size_t>& run = levelRuns[result.level];
        std::vector<size_t>& batch = batchResults[result.batch];
        run.push_back(i);

        if (SideBeyond(result.z, 3.0) != 0) violations.push_back({"1-3s", i, i});

        const int side2 = SideBeyond(result.z, 2.0);
        if (side2 != 0) {
            size_t partner = i;
            if (RunBeyond(results, run, 2, 2.0)) {
                partner = run[run.size() - 2];
            } else {
                for (size_t other : batch)
                    if (results[other].level != result.level && SideBeyond(results[other].z, 2.0) == side2)
                        partner = other;
            }
            if (partner != i) violations.push_back({"2-2s", i, partner});
            if (rangeReported.count(result.batch) == 0) {
                for (size_t other : batch) {
                    if (SideBeyond(results[other].z, 2.0) == -side2) {
                        violations.push_back({"R-4s", i, other});
                        rangeReported.insert(result.batch);
                        break;
                    }
                }
            }
        }
        batch.push_back(i);

        if (RunBeyond(results, run, 4, 1.0)) violations.push_back({"4-1s", i, run[run.size() - 4]});
        if (RunBeyond(results, run, 10, 0.0)) violations.push_back({"10-x", i, run[run.size() - 10]});
    }
    return violations;
}

}  // namespace Study
