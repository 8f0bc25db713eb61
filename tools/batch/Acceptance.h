// Batch acceptance: the written rules a lab signs a batch off against, evaluated per compound
// after the batch has run, each check with the reason it failed.
//
//   bioanalytical method validation (ICH M10): back-calculated calibration standards within
//   15 % of nominal (20 % at the lowest level), at least 75 % of the non-zero standards and at
//   least six of them passing; QCs within 15 %, at least two thirds of all QCs and at least
//   half at each level passing;
//   pesticide residues (SANTE/11312/2021): ion ratio within 30 % (relative) of the calibration
//   standards' mean ratio, retention time within 0.1 min of the standards' mean, back-calculated
//   standards within 20 %.
//
// A standard the analyst or the tool excluded counts as one that did not pass. Limits are
// parameters; no rule set applies unless one is chosen.
#pragma once

#include <string>
#include <vector>

#include "tools/batch/BatchResults.h"

namespace Batch {

enum class RuleSet { kNone, kIchM10, kSante };

struct AcceptanceLimits {
    double standardPercent = 15.0;        // ICH M10
    double lowestStandardPercent = 20.0;
    double standardsFraction = 0.75;
    int fewestStandards = 6;
    double qcPercent = 15.0;
    double qcFraction = 2.0 / 3.0;
    double qcLevelFraction = 0.5;
    double ionRatioPercent = 30.0;        // SANTE, relative to the standards' mean ratio
    double rtWindowMinutes = 0.1;
    double santeStandardPercent = 20.0;
};

// "ich-m10", "sante" or "none"; false for any other name.
bool ParseRuleSet(const std::string& name, RuleSet& rules);
std::string RuleSetName(RuleSet rules);

// What a rule needs of one result row, kept as the batch streams by.
struct AcceptanceRow {
    int sample = 0;
    int entry = 0;
    bool standard = false, qc = false;
    bool found = false;
    double conc = 0.0;      // NaN without a valid concentration
    double nominal = 0.0;   // NaN without one
    double foundRT = 0.0;   // NaN when not found
    double ionRatio = 0.0;  // NaN without one
};
AcceptanceRow AcceptanceRowOf(const BatchResults& results, const ResultRow& row);

// One finding per compound and check of the rule set (totals and uncalibrated curves are
// reported as failing their standards check).
std::vector<AcceptanceFinding> EvaluateAcceptance(RuleSet rules, const AcceptanceLimits& limits,
                                                  const BatchResults& results, const std::vector<AcceptanceRow>& rows);

// Whether a curve's standards meet the rule set's standards check (true without a rule set).
bool StandardsPass(RuleSet rules, const AcceptanceLimits& limits, const CurveResult& curve);

// Automatic outlier exclusion: while a curve fails its rule set's standards check, the
// included standard with the largest absolute studentized residual is excluded if that
// residual exceeds `limit`, and the curve refitted; never below `fewestPoints` included
// standards. Each exclusion is returned with the residual that triggered it. Nothing is
// stored beyond this run's curves: running without it restores every point.
struct OutlierExclusion {
    int entry = 0;           // 1-based
    std::string standard;
    double residual = 0.0;   // the studentized residual
};
std::vector<OutlierExclusion> ExcludeOutliers(CCalibrationList& curves, const CMethodList& method, RuleSet rules,
                                              const AcceptanceLimits& limits, double limit, int fewestPoints);
// The externally studentized residual of every stored point in the units the curve was fitted in (NaN
// for an excluded point, and for all when the fit leaves no degree of freedom).
std::vector<double> StudentizedResiduals(const CCalibrationData& curve);

}  // namespace Batch
