// The review of a batch run: settings, outlier exclusion, gathering, judgement and summary.
#include "workflow/review/BatchReview.h"

#include <cmath>

#include "platform/NumberText.h"

namespace Batch {

void BatchReview::Configure(const ReviewSettings& method, const std::string& rules, double outlierLimit) {
    m_settings = method;
    RuleSet chosen = m_settings.rules;
    if (!rules.empty() && RuleSetFromText(rules, chosen) && chosen != m_settings.rules) ChooseRuleSet(m_settings, chosen);
    if (outlierLimit > 0.0) {
        m_settings.excludeOutliers = true;
        m_settings.outlierLimit = outlierLimit;
    }
}

void BatchReview::ExcludeOutliers(const CMethodList& method, CCalibrationList& curves) {
    if (!m_settings.excludeOutliers) return;
    for (int i = 0; i < curves.GetSize() && i < method.GetSize(); ++i) {
        CCalibrationData* curve = curves.GetEntry(i);
        const CMethodData* entry = method.GetEntry(i);
        if (curve == nullptr || entry == nullptr || IsInternalStandard(method, i)) continue;
        const OutlierOutcome outcome = Batch::ExcludeOutliers(entry->GetName(), *curve, m_settings);
        m_excluded.insert(m_excluded.end(), outcome.excluded.begin(), outcome.excluded.end());
    }
}

void BatchReview::NoteExclusions(std::vector<CurveResult>& curves) const {
    for (const ExcludedPoint& point : m_excluded)
        for (CurveResult& curve : curves)
            if (curve.compound == point.compound) {
                curve.exclusions[point.standard] = {point.who, point.reason};
                curve.residuals[point.standard] = point.residual;
            }
}

void BatchReview::Gather(const BatchResults& results, const SampleResult& sample, const std::vector<ResultRow>& rows) {
    if (m_settings.rules == RuleSet::kNone) return;
    for (const ResultRow& row : rows) {
        if (sample.typeNumber == CQuanSampleData::kQC)
            m_qcs.push_back({sample.id, row.compound, NominalConcentration(results, row), row.conc, row.found && row.validConc});
        m_located.push_back({sample.id, row.compound, sample.typeNumber, row.found, row.foundRT, row.ionRatio});
    }
}

void BatchReview::Judge(const CMethodList& method, BatchResults& results) const {
    std::vector<CurveUnderReview> judged;
    for (const CurveResult& curve : results.curves) {
        const int index = curve.entry - 1;
        if (index < 0 || index >= method.GetSize() || IsInternalStandard(method, index)) continue;
        if (curve.curve.GetTotalsEntry() != 0 || curve.curve.GetTotalsGroupEntry() != 0) continue;
        judged.push_back({curve.compound, &curve.curve});
    }
    results.acceptance = JudgeBatch(m_settings, judged, m_qcs, m_located);
}

std::string ReviewSummaryText(const AcceptanceResult& acceptance, const std::vector<ExcludedPoint>& excluded) {
    std::string text;
    if (acceptance.rules != RuleSet::kNone) {
        const int failures = acceptance.Failures();
        text += "Acceptance (" + RuleSetName(acceptance.rules) + "): " +
                (failures == 0 ? "every rule passed (" + std::to_string(acceptance.verdicts.size()) + " checks).\n"
                               : std::to_string(failures) + " of " + std::to_string(acceptance.verdicts.size()) +
                                     " checks failed:\n");
        // Identification checks come one per sample; a shifted batch would fill the screen.
        constexpr int kShown = 25;
        int shown = 0;
        for (const RuleVerdict& verdict : acceptance.verdicts) {
            if (verdict.passed || shown++ >= kShown) continue;
            text += "  " + verdict.compound + " " + verdict.rule + (verdict.sample.empty() ? "" : " in " + verdict.sample) +
                    ": " + verdict.reason + "\n";
        }
        if (shown > kShown) text += "  ... and " + std::to_string(shown - kShown) + " more (report.html, results.sqlite)\n";
    }
    if (!excluded.empty()) {
        text += std::to_string(excluded.size()) + " point" + (excluded.size() == 1 ? "" : "s") +
                " excluded automatically as outliers:\n";
        for (const ExcludedPoint& point : excluded)
            text += "  " + point.compound + " " + point.standard + ": studentized residual " +
                    NumberText::General(point.residual, 4) + "\n";
    }
    return text;
}

bool IsInternalStandard(const CMethodList& method, int index) {
    for (int i = 0; i < method.GetSize(); ++i) {
        const CMethodData* entry = method.GetEntry(i);
        if (entry == nullptr || i == index) continue;
        if (entry->GetRRef() == index + 1) return true;
        if (entry->GetUseMulti() != 0)
            for (int k = 0; k < 6 && entry->GetIStd(k) >= 0; ++k)
                if (entry->GetIStd(k) == index) return true;
    }
    return false;
}

}  // namespace Batch
