// The Westgard rules a lab applies to its quality-control results, batch after batch. The
// results of one compound arrive in run order (batches in study order, injections in batch
// order), each as its distance from its QC level's mean in standard deviations (z). A rule is
// violated at the result that completes it, so a violation belongs to that result's batch:
//
//   1-3s   one result beyond 3 SD;
//   2-2s   two results in a row beyond 2 SD on the same side: consecutive results of one level,
//          or two levels of the same batch;
//   R-4s   within one batch, one result beyond +2 SD and another beyond -2 SD (reported once
//          per batch);
//   4-1s   four results in a row of one level beyond 1 SD on the same side;
//   10-x   ten results in a row of one level on the same side of the mean.
//
// "Beyond" is strictly beyond: a result at exactly 2 SD does not count toward 2-2s. A result
// without a z (its level has no spread to measure against) takes part in no rule and does not
// break a run of the others.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace Study {

struct ControlResult {
    int batch = 0;  // study order
    int level = 0;  // the compound's QC level
    double z = 0.0;  // NaN when the level has no usable spread
};

struct RuleViolation {
    std::string rule;   // "1-3s", "2-2s", "R-4s", "4-1s", "10-x"
    size_t result = 0;  // the result that completes it, an index into the list checked
    size_t first = 0;   // the first result the violation spans
};

class WestgardRules {
public:
    static std::vector<RuleViolation> Check(const std::vector<ControlResult>& results);
};

}  // namespace Study
