// The review of a batch run, between the tool and the rules: the method's review settings (and
// the --acceptance choice over them), automatic outlier exclusion just before the curves are
// fitted, the QC results and located peaks the rules need, gathered as samples go by (a large
// batch's rows are not kept), the judgement, and its lines in the terminal summary.
#pragma once

#include <string>
#include <vector>

#include "workflow/review/Acceptance.h"
#include "workflow/batch/BatchResults.h"
#include "workflow/review/OutlierExclusion.h"

namespace Batch {

class BatchReview {
public:
    // Takes the method's review settings; `rules`, when it names a rule set, chooses it instead
    // (keeping the method's limits when it names the same one), and an `outlierLimit` above 0
    // switches automatic exclusion on at that limit.
    void Configure(const ReviewSettings& method, const std::string& rules, double outlierLimit);
    const ReviewSettings& Settings() const { return m_settings; }

    // Runs the outlier loop on every curve (entry i's curve is curves[i]), flagging what it
    // excludes; nothing when the method leaves automatic exclusion off.
    void ExcludeOutliers(const CMethodList& method, CCalibrationList& curves);
    const std::vector<ExcludedPoint>& Excluded() const { return m_excluded; }
    // Records the automatic exclusions in the curves' results, with their residuals.
    void NoteExclusions(std::vector<CurveResult>& curves) const;

    // Keeps what the rules need of one sample's rows; called in injection order.
    void Gather(const BatchResults& results, const SampleResult& sample, const std::vector<ResultRow>& rows);
    // Judges the batch into results.acceptance. Internal standards and totals are not judged.
    void Judge(const CMethodList& method, BatchResults& results) const;


private:
    ReviewSettings m_settings;
    std::vector<ExcludedPoint> m_excluded;
    std::vector<QCResult> m_qcs;
    std::vector<Identification> m_located;
};

// The terminal summary's lines on a review: the failed rules with their reasons and the points
// excluded automatically.
std::string ReviewSummaryText(const AcceptanceResult& acceptance, const std::vector<ExcludedPoint>& excluded);

// Whether entry `index` (0-based) is the internal standard of another entry.
bool IsInternalStandard(const CMethodList& method, int index);

}  // namespace Batch
