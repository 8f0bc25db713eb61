// Batch acceptance: the written rules a lab signs a batch off against, applied to the fitted
// curves, the QC results and the identification of every located compound.
//
// Two rule sets are known: bioanalytical method validation (ICH M10: back-calculated standards
// and QCs against their nominal values, with minimum shares passing) and pesticide residues
// (SANTE/11312/2021: back-calculated standards, ion ratio and retention time against the
// standards' means). A method chooses one on its METHODLIST element (Acceptance="M10" or
// "SANTE", none by default) and may override any limit there; quan-batch --acceptance
// overrides the choice. Every verdict carries the reason it was reached, in words a reviewer
// reads without the numbers beside it. Limits are inclusive, as every window of the engine is,
// to within rounding in the last digits of a double.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "quan.h"
#include "workflow/support/Problem.h"

namespace Batch {

enum class RuleSet { kNone, kBioanalytical, kPesticideResidues };

// Percentages are of the nominal value (tolerances) or of a count (shares passing).
struct AcceptanceLimits {
    double standardTolerance = 0.0;        // back-calculated standard vs nominal, %
    double lowestStandardTolerance = 0.0;  // the same at the lowest level the curve uses, %
    double minStandardsPassingPercent = 0.0;
    double minStandardsPassing = 0.0;      // a count
    double qcTolerance = 0.0;              // measured QC vs nominal, %
    double minQCsPassingPercent = 0.0;     // of all QCs of a compound
    double minQCsPassingPerLevelPercent = 0.0;
    double ionRatioTolerance = 0.0;        // relative to the standards' mean ratio, %
    double retentionTimeTolerance = 0.0;   // minutes from the standards' mean
};

struct ReviewSettings {
    RuleSet rules = RuleSet::kNone;
    AcceptanceLimits limits;          // the rule set's, with the method's overrides
    bool excludeOutliers = false;     // automatic outlier exclusion
    double outlierLimit = 3.0;        // externally studentized residual a point must exceed
    int outlierMinPoints = 0;         // 0: as few as the rule set and the curve allow
    bool operator==(const ReviewSettings& other) const;
};

// "none", "M10", "SANTE" (case-insensitive; the full names "ICH M10" and "SANTE/11312/2021"
// are taken too, with a dash for a space: "ich-m10"). False for anything else.
bool RuleSetFromText(const std::string& text, RuleSet& rules);
std::string RuleSetName(RuleSet rules);
// The rule set's limits before any override.
AcceptanceLimits DefaultLimits(RuleSet rules);
// Sets the rule set and its default limits (the method's overrides are not kept).
void ChooseRuleSet(ReviewSettings& settings, RuleSet rules);

// The review settings as attributes of the METHODLIST element of a method document: Acceptance,
// the limit attributes (AcceptanceLimitAttributes), OutlierExclusion ("on"/"off"), OutlierLimit
// and OutlierMinPoints. The method document reads and writes them (MethodDocument.h).
bool IsReviewAttribute(const std::string& name);
// Reads the settings from the attributes `attribute` finds by name; the rule set comes first,
// so that a limit given beside it overrides the set's own. Each value that does not read calls
// `bad` with the attribute, its value and what was expected, and the settings stay as they
// were; false then.
bool ReadReviewAttributes(const std::function<bool(const char* name, std::string& value)>& attribute,
                          ReviewSettings& settings,
                          const std::function<void(const std::string& name, const std::string& value,
                                                   const std::string& expected)>& bad);
// The attributes that read back as `settings`, in reading order: the rule set when one is
// chosen, every limit that differs from the set's own, the outlier settings that differ from
// their defaults.
std::vector<std::pair<std::string, std::string>> ReviewAttributes(const ReviewSettings& settings);
std::vector<std::string> AcceptanceLimitAttributes();

// --- what is judged ----------------------------------------------------------------------

// One calibration standard of a fitted curve, back-calculated through the curve.
struct StandardCheck {
    std::string compound;
    std::string standard;        // the sample ID the point came from
    double nominal = 0.0;
    double response = 0.0;
    double backCalculated = 0.0; // NaN when the curve gives no concentration for the response
    double deviation = 0.0;      // (back-calculated - nominal) / nominal, %; NaN with it
    double tolerance = 0.0;      // the limit that applied to this standard, %
    bool used = false;           // the curve is fitted with this point
    bool passed = false;         // used and within tolerance
};

// A QC sample's result for one compound.
struct QCResult {
    std::string sample, compound;
    double nominal = 0.0;
    double measured = 0.0;
    bool valid = false;  // the sample has a concentration for the compound
};

struct QCCheck {
    QCResult qc;
    double deviation = 0.0;  // %, NaN without a concentration
    bool passed = false;
};

// A located compound in one injection, for the identification rules.
struct Identification {
    std::string sample, compound;
    int sampleType = 0;  // CQuanSampleData::kStandard, ...
    bool found = false;
    double retentionTime = 0.0;
    double ionRatio = 0.0;  // NaN when no qualifier ratio was measured
};

struct RuleVerdict {
    std::string compound;
    std::string rule;    // "standards", "QCs", "QCs at 5", "ion ratio", "retention time"
    std::string sample;  // the injection, for the identification rules
    bool passed = false;
    std::string reason;  // why it failed, or what it measured when it passed
};

struct CurveUnderReview {
    std::string compound;
    const CCalibrationData* curve = nullptr;  // as fitted, points included
};

struct AcceptanceResult {
    RuleSet rules = RuleSet::kNone;
    AcceptanceLimits limits;
    std::vector<StandardCheck> standards;
    std::vector<QCCheck> qcs;
    std::vector<RuleVerdict> verdicts;
    int Failures() const;
};

// Every standard of one fitted curve, back-calculated, with the tolerance that applies to it.
// A curve that was not fitted gives its standards without concentrations.
std::vector<StandardCheck> CheckStandards(const std::string& compound, const CCalibrationData& curve,
                                          const ReviewSettings& settings);
// The standards rule of the rule set on those checks. Without a rule set it passes.
RuleVerdict JudgeStandards(const std::string& compound, const std::vector<StandardCheck>& checks,
                           const ReviewSettings& settings);
// The standards rule for one fitted curve (both steps above).
RuleVerdict JudgeCurve(const std::string& compound, const CCalibrationData& curve, const ReviewSettings& settings);

// The QC rules for one compound: the share of all its QCs passing, and of each level's.
std::vector<RuleVerdict> JudgeQCs(const std::string& compound, const std::vector<QCResult>& qcs,
                                  const ReviewSettings& settings, std::vector<QCCheck>& checks);

// The identification rules for one compound: every located peak outside the standards against
// the mean retention time and ion ratio of `standards` (the injections the curve uses).
std::vector<RuleVerdict> JudgeIdentification(const std::string& compound, const std::vector<Identification>& located,
                                             const std::vector<std::string>& standards, const ReviewSettings& settings);

// The whole batch under the chosen rule set: every curve's standards, then the QC or the
// identification rules of each compound. Nothing when no rule set is chosen.
AcceptanceResult JudgeBatch(const ReviewSettings& settings, const std::vector<CurveUnderReview>& curves,
                            const std::vector<QCResult>& qcs, const std::vector<Identification>& located);

}  // namespace Batch
