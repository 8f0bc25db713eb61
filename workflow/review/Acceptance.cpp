// Batch acceptance: rule sets as data, the method's settings, and the judgements.
#include "workflow/review/Acceptance.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

#include "platform/NumberText.h"
#include "workflow/support/Csv.h"

namespace Batch {

namespace {

// How each rule set judges, and its limits before the method overrides any.
struct RuleSetRow {
    RuleSet rules;
    const char* name;
    const char* fullName;
    // M10 counts a rejected standard among the standards, as one that does not pass; SANTE
    // judges the standards the curve is fitted with.
    bool excludedStandardsCount;
    bool judgesQCs;
    bool judgesIdentification;
    AcceptanceLimits limits;
};

const RuleSetRow kRuleSets[] = {
    {RuleSet::kNone, "none", "none", false, false, false, {}},
    {RuleSet::kBioanalytical, "M10", "ICH M10", true, true, false, {15.0, 20.0, 75.0, 6.0, 15.0, 200.0 / 3.0, 50.0, 0.0, 0.0}},
    {RuleSet::kPesticideResidues, "SANTE", "SANTE/11312/2021", false, false, true, {20.0, 20.0, 100.0, 1.0, 0.0, 0.0, 0.0, 30.0, 0.1}},
};

// The limits a method may set on its METHODLIST element, and what bounds them.
struct LimitAttribute {
    const char* attribute;
    double AcceptanceLimits::*limit;
    double highest;
};

const LimitAttribute kLimitAttributes[] = {
    {"StandardTolerance", &AcceptanceLimits::standardTolerance, 1e6},
    {"LowestStandardTolerance", &AcceptanceLimits::lowestStandardTolerance, 1e6},
    {"MinStandardsPassingPercent", &AcceptanceLimits::minStandardsPassingPercent, 100.0},
    {"MinStandardsPassing", &AcceptanceLimits::minStandardsPassing, kCurveRecordPoints},
    {"QCTolerance", &AcceptanceLimits::qcTolerance, 1e6},
    {"MinQCsPassingPercent", &AcceptanceLimits::minQCsPassingPercent, 100.0},
    {"MinQCsPassingPerLevelPercent", &AcceptanceLimits::minQCsPassingPerLevelPercent, 100.0},
    {"IonRatioTolerance", &AcceptanceLimits::ionRatioTolerance, 1e6},
    {"RTTolerance", &AcceptanceLimits::retentionTimeTolerance, 1e6},
};

const RuleSetRow& Row(RuleSet rules) {
    for (const RuleSetRow& row : kRuleSets)
        if (row.rules == rules) return row;
    return kRuleSets[0];
}

// Limits are inclusive; a value computed at the limit may land a few units of the last digit
// beyond it (11.5 against 10 is 15.000000000000002 %), which must still count as at the limit.
constexpr double kSlack = 1e-9;
bool Within(double deviation, double limit) { return std::fabs(deviation) <= limit + kSlack * (1.0 + limit); }
bool AtLeastShare(int passing, int total, double percent) {
    return total > 0 && passing * 100.0 + kSlack >= percent * total;
}

std::string Number(double value) { return NumberText::General(value, 4); }
std::string Percent(double value) { return Number(value) + " %"; }
std::string Signed(double value) { return std::string(value > 0 ? "+" : "").append(Percent(value)); }

double Deviation(double measured, double nominal) { return (measured - nominal) / nominal * 100.0; }

std::string Share(int passing, int total, const char* what) {
    return std::to_string(passing) + " of " + std::to_string(total) + " " + what + " pass";
}

std::string FileName(const tagFILE_INFO& file) { return std::string(file.Name, strnlen(file.Name, sizeof file.Name)); }

bool ReadOnOff(const std::string& text, bool& value) {
    const std::string word = NumberText::LowerAscii(Csv::Trim(text));
    const bool on = word == "on" || word == "true" || word == "yes" || word == "1";
    const bool off = word == "off" || word == "false" || word == "no" || word == "0";
    if (on || off) value = on;
    return on || off;
}

}  // namespace

bool RuleSetFromText(const std::string& text, RuleSet& rules) {
    std::string trimmed = Csv::Trim(text);
    for (char& c : trimmed)
        if (c == '-') c = ' ';  // ich-m10 on a command line is ICH M10
    for (const RuleSetRow& row : kRuleSets)
        if (NumberText::EqualIgnoringCase(trimmed, row.name) || NumberText::EqualIgnoringCase(trimmed, row.fullName)) {
            rules = row.rules;
            return true;
        }
    return false;
}

std::string RuleSetName(RuleSet rules) { return Row(rules).name; }

AcceptanceLimits DefaultLimits(RuleSet rules) { return Row(rules).limits; }

void ChooseRuleSet(ReviewSettings& settings, RuleSet rules) {
    settings.rules = rules;
    settings.limits = DefaultLimits(rules);
}

std::vector<std::string> AcceptanceLimitAttributes() {
    std::vector<std::string> names;
    for (const LimitAttribute& limit : kLimitAttributes) names.push_back(limit.attribute);
    return names;
}

bool ReadReviewSettings(const std::string& path, const std::string& methodText, ReviewSettings& settings,
                        std::vector<Problem>& problems) {
    const size_t before = problems.size();
    Brisk::CXMLParserT parser;
    if (!parser.ParseUtf8(methodText.data(), methodText.size())) return true;  // the method reader says why
    // The list element is the first top-level element (a declaration may come before it).
    bool atList = parser.MoveToFirstChild();
    while (atList && !parser.IsElement()) atList = parser.MoveToNextSibling();
    if (!atList || parser.GetNodeName() != "METHODLIST") return true;

    // Problems point at the list element's start tag, where the settings are.
    const size_t tag = methodText.find("<METHODLIST");
    const size_t lineStart = tag == std::string::npos ? 0 : methodText.rfind('\n', tag) + 1;  // npos + 1 is 0
    const int line = tag == std::string::npos ? 0 : 1 + static_cast<int>(std::count(methodText.begin(), methodText.begin() + tag, '\n'));
    const int column = tag == std::string::npos ? 0 : static_cast<int>(tag - lineStart) + 1;
    auto problem = [&](const std::string& attribute, const std::string& value, const std::string& expected) {
        problems.push_back({path, line, column, "METHODLIST " + attribute + "=\"" + value + "\": " + expected});
    };
    std::string value;
    ReviewSettings read = settings;
    if (parser.GetAttribute("Acceptance", value)) {
        RuleSet rules = RuleSet::kNone;
        if (RuleSetFromText(value, rules)) ChooseRuleSet(read, rules);
        else problem("Acceptance", value, "the acceptance rules are none, M10 or SANTE");
    }
    for (const LimitAttribute& limit : kLimitAttributes) {
        if (!parser.GetAttribute(limit.attribute, value)) continue;
        double number = 0.0;
        if (!Csv::ToDouble(value, number) || number < 0.0 || number > limit.highest)
            problem(limit.attribute, value, "a number from 0 to " + Number(limit.highest) + " is needed");
        else read.limits.*limit.limit = number;
    }
    if (parser.GetAttribute("OutlierExclusion", value) && !ReadOnOff(value, read.excludeOutliers))
        problem("OutlierExclusion", value, "on or off");
    if (parser.GetAttribute("OutlierLimit", value) &&
        (!Csv::ToDouble(value, read.outlierLimit) || !(read.outlierLimit > 0.0)))
        problem("OutlierLimit", value, "a studentized residual above 0 is needed");
    if (parser.GetAttribute("OutlierMinPoints", value) &&
        (!NumberText::Read(Csv::Trim(value), read.outlierMinPoints) || read.outlierMinPoints < 0 ||
         read.outlierMinPoints > kCurveRecordPoints))
        problem("OutlierMinPoints", value, "a number of points from 0 to " + std::to_string(kCurveRecordPoints) + " is needed");
    if (problems.size() != before) return false;
    settings = read;
    return true;
}

int AcceptanceResult::Failures() const {
    int failures = 0;
    for (const RuleVerdict& verdict : verdicts) failures += !verdict.passed;
    return failures;
}

std::vector<StandardCheck> CheckStandards(const std::string& compound, const CCalibrationData& curve,
                                          const ReviewSettings& settings) {
    // A fitted curve on a transformed axis holds its points transformed; the analyst's numbers
    // are the ones before.
    const int transform = curve.GetXYTrans();
    auto untransformed = [transform](double value) { return transform != 0 ? InverseTransformation(value, transform) : value; };
    double coefficients[CCalibrationData::kNumCoefficients];
    for (int c = 0; c < CCalibrationData::kNumCoefficients; ++c) coefficients[c] = curve.GetCC(c);

    std::vector<StandardCheck> checks;
    double lowestUsed = INFINITY;
    for (int i = 0; i < curve.GetNumCaliPts(); ++i) {
        const tag_CALI_POINT point = curve.GetCaliPoint(i);
        StandardCheck check;
        check.compound = compound;
        check.standard = FileName(curve.GetCaliFile(i));
        check.nominal = untransformed(point.Conc);
        check.response = untransformed(point.Resp);
        if (!(check.nominal > 0.0)) continue;  // a zero standard is not judged
        check.used = (point.Flags & kCaliPointExcluded) == 0;
        check.backCalculated = check.deviation = NAN;
        double conc = 0.0;
        if (curve.GetCurveValid() != 0 &&
            CQuanQuantify::QuanGetConc(check.response, &conc, coefficients, curve.GetCCalc(), transform,
                                       curve.GetMinConc(), curve.GetMaxConc()) == 0 &&
            std::isfinite(conc)) {
            check.backCalculated = conc;
            check.deviation = Deviation(conc, check.nominal);
        }
        if (check.used && check.nominal < lowestUsed) lowestUsed = check.nominal;
        checks.push_back(check);
    }
    for (StandardCheck& check : checks) {
        check.tolerance = check.nominal == lowestUsed ? settings.limits.lowestStandardTolerance : settings.limits.standardTolerance;
        check.passed = check.used && std::isfinite(check.deviation) && Within(check.deviation, check.tolerance);
    }
    return checks;
}

RuleVerdict JudgeStandards(const std::string& compound, const std::vector<StandardCheck>& checks,
                           const ReviewSettings& settings) {
    RuleVerdict verdict{compound, "standards", "", true, "no acceptance rules"};
    if (settings.rules == RuleSet::kNone) return verdict;
    const RuleSetRow& row = Row(settings.rules);
    const AcceptanceLimits& limits = settings.limits;
    int total = 0, passing = 0;
    std::string failing;
    for (const StandardCheck& check : checks) {
        if (!check.used && !row.excludedStandardsCount) continue;
        ++total;
        passing += check.passed;
        if (check.passed) continue;
        failing += (failing.empty() ? "" : ", ") + check.standard + " (";
        if (!check.used) failing += "excluded)";
        else if (!std::isfinite(check.deviation)) failing += "no concentration from the curve)";
        else failing += Signed(check.deviation) + ", limit " + Percent(check.tolerance) + ")";
    }
    verdict.reason = Share(passing, total, "standards");
    if (total == 0) {
        verdict.passed = false;
        verdict.reason = "the curve has no standards";
        return verdict;
    }
    if (!AtLeastShare(passing, total, limits.minStandardsPassingPercent)) {
        verdict.passed = false;
        verdict.reason += "; " + Percent(limits.minStandardsPassingPercent) + " must";
    }
    if (passing + kSlack < limits.minStandardsPassing) {
        verdict.passed = false;
        verdict.reason += "; at least " + Number(limits.minStandardsPassing) + " must";
    }
    if (!failing.empty()) verdict.reason += "; outside the limits: " + failing;
    return verdict;
}

namespace {
// The standards rule, where a curve that could not be fitted fails whatever its points say.
RuleVerdict JudgeFitted(const std::string& compound, const CCalibrationData& curve,
                        const std::vector<StandardCheck>& checks, const ReviewSettings& settings) {
    RuleVerdict verdict = JudgeStandards(compound, checks, settings);
    if (settings.rules != RuleSet::kNone && curve.GetCurveValid() == 0) {
        verdict.passed = false;
        verdict.reason = "the curve could not be fitted; " + verdict.reason;
    }
    return verdict;
}
}  // namespace

RuleVerdict JudgeCurve(const std::string& compound, const CCalibrationData& curve, const ReviewSettings& settings) {
    return JudgeFitted(compound, curve, CheckStandards(compound, curve, settings), settings);
}

std::vector<RuleVerdict> JudgeQCs(const std::string& compound, const std::vector<QCResult>& qcs,
                                  const ReviewSettings& settings, std::vector<QCCheck>& checks) {
    std::vector<RuleVerdict> verdicts;
    if (!Row(settings.rules).judgesQCs) return verdicts;
    const AcceptanceLimits& limits = settings.limits;
    struct Count {
        int passing = 0, total = 0;
    };
    Count all;
    std::map<double, Count> levels;  // by nominal concentration
    for (const QCResult& qc : qcs) {
        QCCheck check{qc, NAN, false};
        if (qc.valid && qc.nominal > 0.0 && std::isfinite(qc.measured)) check.deviation = Deviation(qc.measured, qc.nominal);
        check.passed = std::isfinite(check.deviation) && Within(check.deviation, limits.qcTolerance);
        checks.push_back(check);
        for (Count* count : {&all, &levels[qc.nominal]}) {
            ++count->total;
            count->passing += check.passed;
        }
    }
    if (all.total == 0) {
        verdicts.push_back({compound, "QCs", "", false, "the batch has no QC results for it"});
        return verdicts;
    }
    RuleVerdict overall{compound, "QCs", "", AtLeastShare(all.passing, all.total, limits.minQCsPassingPercent),
                        Share(all.passing, all.total, "QCs")};
    if (!overall.passed) overall.reason += "; " + Percent(limits.minQCsPassingPercent) + " must";
    verdicts.push_back(overall);
    for (const auto& [nominal, count] : levels) {
        RuleVerdict level{compound, "QCs at " + Number(nominal), "",
                          AtLeastShare(count.passing, count.total, limits.minQCsPassingPerLevelPercent),
                          Share(count.passing, count.total, "QCs")};
        if (!level.passed) level.reason += "; " + Percent(limits.minQCsPassingPerLevelPercent) + " must";
        verdicts.push_back(level);
    }
    return verdicts;
}

std::vector<RuleVerdict> JudgeIdentification(const std::string& compound, const std::vector<Identification>& located,
                                             const std::vector<std::string>& standards, const ReviewSettings& settings) {
    std::vector<RuleVerdict> verdicts;
    if (!Row(settings.rules).judgesIdentification) return verdicts;
    const std::set<std::string> reference(standards.begin(), standards.end());
    double rtSum = 0.0, ratioSum = 0.0;
    int rtCount = 0, ratioCount = 0;
    for (const Identification& peak : located) {
        if (!peak.found || reference.count(peak.sample) == 0) continue;
        rtSum += peak.retentionTime;
        ++rtCount;
        if (std::isfinite(peak.ionRatio)) {
            ratioSum += peak.ionRatio;
            ++ratioCount;
        }
    }
    const double meanRT = rtCount > 0 ? rtSum / rtCount : NAN;
    const double meanRatio = ratioCount > 0 ? ratioSum / ratioCount : NAN;
    const AcceptanceLimits& limits = settings.limits;
    for (const Identification& peak : located) {
        if (!peak.found || peak.sampleType == CQuanSampleData::kStandard) continue;
        RuleVerdict rt{compound, "retention time", peak.sample, false, ""};
        if (rtCount == 0) {
            rt.reason = "no standard of the curve located it";
        } else {
            const double shift = peak.retentionTime - meanRT;
            rt.passed = Within(shift, limits.retentionTimeTolerance);
            rt.reason = Number(peak.retentionTime) + " min, " + (shift > 0 ? "+" : "") + Number(shift) +
                        " min from the standards' mean " + Number(meanRT) + " (limit " + Number(limits.retentionTimeTolerance) + " min)";
        }
        verdicts.push_back(rt);
        if (ratioCount == 0) continue;  // the compound has no qualifier
        RuleVerdict ratio{compound, "ion ratio", peak.sample, false, ""};
        if (!std::isfinite(peak.ionRatio)) {
            ratio.reason = "no ion ratio was measured";
        } else {
            const double deviation = Deviation(peak.ionRatio, meanRatio);
            ratio.passed = Within(deviation, limits.ionRatioTolerance);
            ratio.reason = Number(peak.ionRatio) + ", " + Signed(deviation) + " from the standards' mean " +
                           Number(meanRatio) + " (limit " + Percent(limits.ionRatioTolerance) + ")";
        }
        verdicts.push_back(ratio);
    }
    return verdicts;
}

AcceptanceResult JudgeBatch(const ReviewSettings& settings, const std::vector<CurveUnderReview>& curves,
                            const std::vector<QCResult>& qcs, const std::vector<Identification>& located) {
    AcceptanceResult result;
    result.rules = settings.rules;
    result.limits = settings.limits;
    if (settings.rules == RuleSet::kNone) return result;
    std::map<std::string, std::vector<QCResult>> qcsOf;
    for (const QCResult& qc : qcs) qcsOf[qc.compound].push_back(qc);
    std::map<std::string, std::vector<Identification>> locatedOf;
    for (const Identification& peak : located) locatedOf[peak.compound].push_back(peak);

    for (const CurveUnderReview& reviewed : curves) {
        if (reviewed.curve == nullptr) continue;
        const std::vector<StandardCheck> checks = CheckStandards(reviewed.compound, *reviewed.curve, settings);
        result.verdicts.push_back(JudgeFitted(reviewed.compound, *reviewed.curve, checks, settings));
        result.standards.insert(result.standards.end(), checks.begin(), checks.end());
        for (const RuleVerdict& verdict : JudgeQCs(reviewed.compound, qcsOf[reviewed.compound], settings, result.qcs))
            result.verdicts.push_back(verdict);
        std::vector<std::string> used;
        for (const StandardCheck& check : checks)
            if (check.used) used.push_back(check.standard);
        for (const RuleVerdict& verdict : JudgeIdentification(reviewed.compound, locatedOf[reviewed.compound], used, settings))
            result.verdicts.push_back(verdict);
    }
    return result;
}

}  // namespace Batch
