// Automatic outlier exclusion, done openly: while a curve fails its acceptance rule, the
// standard with the largest absolute studentized residual is excluded if that residual exceeds
// the method's limit, and the curve is fitted again; the loop never takes a curve below its
// minimum number of points. Every point it excludes is recorded with the reason and the
// residual that triggered it, beside the analyst's own exclusions, so the report and the
// database show who excluded what. Switching the setting off gives the curve back whole.
//
// The residual is the externally studentized one (each point judged against the fit without
// it): the internally studentized residual of n points cannot exceed sqrt(n - p), so on a
// seven-point line a limit of 3 could never be reached. Fits are the calibration engine's own;
// only the leverages, which the engine does not report, are computed here.
#pragma once

#include <string>
#include <vector>

#include "quan.h"
#include "workflow/review/Acceptance.h"
#include "workflow/review/CurveDiagnostics.h"
#include "workflow/review/Exclusions.h"

namespace Batch {

struct ExcludedPoint {
    std::string compound;
    std::string standard;     // the sample ID the point came from
    std::string who;          // kExcludedByAnalyst or kExcludedAutomatically
    std::string reason;
    double residual = 0.0;    // the studentized residual of an automatic exclusion; NaN otherwise
};

// Fewer used points than this, and the loop stops: the method's OutlierMinPoints, else the
// rule set's minimum of passing standards, and never fewer than the curve's coefficients plus
// two (one degree of freedom left to judge the next point by).
int MinimumPoints(const CCalibrationData& curve, const ReviewSettings& settings);

struct OutlierOutcome {
    std::vector<ExcludedPoint> excluded;  // in the order they were excluded
    std::string stopped;                  // why the loop ended
};

// Runs the loop on a curve as the batch enters it for calibration (points untransformed, the
// analyst's exclusions flagged) and flags every point it excludes in `prepared`. Nothing
// happens when automatic exclusion is off or the curve is a totals curve.
OutlierOutcome ExcludeOutliers(const std::string& compound, CCalibrationData& prepared, const ReviewSettings& settings);

}  // namespace Batch
