// Automatic outlier exclusion: studentized residuals of a fitted curve and the exclusion loop.
#include "workflow/review/OutlierExclusion.h"

#include <cmath>
#include <cstring>

#include "calibrate/PolynomialFit.h"
#include "platform/NumberText.h"

namespace Batch {

namespace {

bool IsUsed(const tag_CALI_POINT& point) { return (point.Flags & kCaliPointExcluded) == 0; }

}  // namespace

int MinimumPoints(const CCalibrationData& curve, const ReviewSettings& settings) {
    int minimum = settings.outlierMinPoints;
    if (minimum == 0 && settings.rules != RuleSet::kNone)
        minimum = static_cast<int>(std::ceil(settings.limits.minStandardsPassing));
    return std::max(minimum, CoefficientCount(curve) + 2);
}

OutlierOutcome ExcludeOutliers(const std::string& compound, CCalibrationData& prepared, const ReviewSettings& settings) {
    OutlierOutcome outcome;
    if (!settings.excludeOutliers || prepared.GetTotalsEntry() != 0 || prepared.GetTotalsGroupEntry() != 0) return outcome;
    const int minimum = MinimumPoints(prepared, settings);
    const std::string limitText = NumberText::General(settings.outlierLimit, 4);
    for (;;) {
        const CCalibrationData fitted = FitCurve(prepared);
        if (fitted.GetCurveValid() == 0) {
            outcome.stopped = "the curve cannot be fitted";
            break;
        }
        const RuleVerdict verdict = JudgeCurve(compound, fitted, settings);
        if (settings.rules != RuleSet::kNone && verdict.passed) {
            outcome.stopped = "the curve passes its acceptance rule";
            break;
        }
        int used = 0;
        for (int i = 0; i < prepared.GetNumCaliPts(); ++i) used += IsUsed(prepared.GetCaliPoint(i));
        if (used <= minimum) {
            outcome.stopped = "the curve is down to its minimum of " + std::to_string(minimum) + " points";
            break;
        }
        const std::vector<double> residuals = StudentizedResiduals(fitted);
        int worst = -1;
        for (size_t i = 0; i < residuals.size(); ++i)
            if (!std::isnan(residuals[i]) && (worst < 0 || std::fabs(residuals[i]) > std::fabs(residuals[worst])))
                worst = static_cast<int>(i);
        if (worst < 0 || !(std::fabs(residuals[worst]) > settings.outlierLimit)) {
            outcome.stopped = "no studentized residual is above " + limitText;
            break;
        }
        prepared.GetCaliPoint(worst).Flags |= kCaliPointExcluded;
        const tagFILE_INFO file = prepared.GetCaliFile(worst);
        ExcludedPoint point{compound, std::string(file.Name, strnlen(file.Name, sizeof file.Name)), kExcludedAutomatically,
                            "studentized residual " + NumberText::General(residuals[worst], 4) + " above " + limitText, residuals[worst]};
        if (settings.rules != RuleSet::kNone) point.reason += " while the curve failed its standards rule (" + verdict.reason + ")";
        outcome.excluded.push_back(point);
    }
    return outcome;
}

}  // namespace Batch
