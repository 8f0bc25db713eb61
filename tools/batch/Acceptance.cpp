#include "tools/batch/Acceptance.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

#include "calibrate/PolynomialFit.h"
#include "calibrate/QuanCalibrate.h"

namespace Batch {

bool ParseRuleSet(const std::string& name, RuleSet& rules) {
    if (name == "ich-m10") rules = RuleSet::kIchM10;
    else if (name == "sante") rules = RuleSet::kSante;
    else if (name == "none") rules = RuleSet::kNone;
    else return false;
    return true;
}

std::string RuleSetName(RuleSet rules) {
    return rules == RuleSet::kIchM10 ? "ICH M10" : rules == RuleSet::kSante ? "SANTE/11312/2021" : "none";
}

AcceptanceRow AcceptanceRowOf(const BatchResults& results, const ResultRow& row) {
    AcceptanceRow out;
    out.sample = row.sample;
    out.entry = row.entry;
    const bool known = row.sample >= 0 && row.sample < static_cast<int>(results.samples.size());
    out.standard = known && results.samples[row.sample].typeNumber == CQuanSampleData::kStandard;
    out.qc = known && results.samples[row.sample].type == "QC";
    out.found = row.found;
    out.conc = row.validConc ? row.conc : std::nan("");
    out.nominal = NominalConcentration(results, row);
    out.foundRT = row.found ? row.foundRT : std::nan("");
    out.ionRatio = row.ionRatio;
    return out;
}

namespace {

// A number for a reason text: one decimal, as a lab writes a percentage.
std::string OneDecimal(double value) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    return std::string(text, written.ptr);
}

std::string FourFigures(double value) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 4);
    return std::string(text, written.ptr);
}

// A deviation with its sign, "+4.2 %" or "-17.0 %".
std::string Signed(double value, const char* unit = " %") {
    std::string text = value >= 0.0 ? "+" : "";
    text += OneDecimal(value);
    text += unit;
    return text;
}

std::string SampleId(const BatchResults& results, int sample) {
    return sample >= 0 && sample < static_cast<int>(results.samples.size()) ? results.samples[sample].id
                                                                            : std::to_string(sample + 1);
}

// Limits are inclusive, and a value at a limit in decimal terms meets it: 1.7 against 2 is -15 %,
// though binary arithmetic makes it a hair more.
bool Within(double deviation, double limit) { return std::fabs(deviation) <= limit + 1e-9; }

// Appends a failure to a reason's list of them.
void Note(std::string& failures, const std::string& what) {
    if (!failures.empty()) failures += ", ";
    failures += what;
}

AcceptanceFinding Finding(const CurveResult& curve, const char* check, bool passed, const std::string& reason) {
    return {curve.entry, curve.compound, check, passed, reason};
}

// ICH M10's standards: within the limit (the wider one at the lowest level), and enough of them.
AcceptanceFinding IchStandards(const CurveResult& curve, const AcceptanceLimits& limits) {
    if (curve.curve.GetCurveValid() == 0)
        return Finding(curve, "calibration standards", false, "not calibrated: " + NotCalibratedReason(curve.curve));
    const std::vector<StandardPoint> points = StandardPoints(curve);
    double lowest = INFINITY;
    for (const StandardPoint& point : points)
        if (point.nominal > 0.0) lowest = std::min(lowest, point.nominal);
    int counted = 0, passing = 0;
    std::string failures;
    for (const StandardPoint& point : points) {
        if (!(point.nominal > 0.0)) continue;  // a blank or zero standard is not judged
        ++counted;
        const double deviation = DeviationPercent(point.nominal, point.backCalculated);
        const double limit = point.nominal == lowest ? limits.lowestStandardPercent : limits.standardPercent;
        if (point.excluded) Note(failures, point.standard + " excluded");
        else if (!Within(deviation, limit)) Note(failures, point.standard + " " + (std::isfinite(deviation) ? Signed(deviation) : "no result"));
        else ++passing;
    }
    const bool enough = passing >= limits.fewestStandards && passing >= limits.standardsFraction * counted;
    std::string reason = std::to_string(passing) + " of " + std::to_string(counted) + " standards within limits";
    if (!enough)
        reason += " (needs " + OneDecimal(limits.standardsFraction * 100.0) + " % and at least " +
                  std::to_string(limits.fewestStandards) + ")";
    if (!failures.empty()) reason += "; " + failures;
    return Finding(curve, "calibration standards", enough, reason);
}

AcceptanceFinding IchQcs(const CurveResult& curve, const AcceptanceLimits& limits, const BatchResults& results,
                         const std::vector<const AcceptanceRow*>& rows) {
    int counted = 0, passing = 0;
    std::map<double, std::pair<int, int>> levels;  // nominal -> counted, passing
    std::string failures;
    for (const AcceptanceRow* row : rows) {
        if (!row->qc || !(row->nominal > 0.0)) continue;
        const double deviation = DeviationPercent(row->nominal, row->conc);
        const bool pass = Within(deviation, limits.qcPercent);
        ++counted;
        ++levels[row->nominal].first;
        if (pass) {
            ++passing;
            ++levels[row->nominal].second;
        } else {
            Note(failures, SampleId(results, row->sample) + " " + (std::isfinite(deviation) ? Signed(deviation) : "no result"));
        }
    }
    if (counted == 0) return Finding(curve, "QCs", true, "no QC with a nominal concentration");
    bool passed = passing >= limits.qcFraction * counted;
    std::string reason = std::to_string(passing) + " of " + std::to_string(counted) + " QCs within " +
                         OneDecimal(limits.qcPercent) + " %";
    for (const auto& [nominal, count] : levels)
        if (count.second < limits.qcLevelFraction * count.first) {
            passed = false;
            reason += "; level " + OneDecimal(nominal) + ": " + std::to_string(count.second) + " of " +
                      std::to_string(count.first);
        }
    if (!failures.empty()) reason += "; " + failures;
    return Finding(curve, "QCs", passed, reason);
}

AcceptanceFinding SanteStandards(const CurveResult& curve, const AcceptanceLimits& limits) {
    if (curve.curve.GetCurveValid() == 0)
        return Finding(curve, "calibration standards", false, "not calibrated: " + NotCalibratedReason(curve.curve));
    int counted = 0;
    std::string failures;
    for (const StandardPoint& point : StandardPoints(curve)) {
        if (point.excluded || !(point.nominal > 0.0)) continue;
        ++counted;
        const double deviation = DeviationPercent(point.nominal, point.backCalculated);
        if (!Within(deviation, limits.santeStandardPercent))
            Note(failures, point.standard + " " + (std::isfinite(deviation) ? Signed(deviation) : "no result"));
    }
    const std::string reason = std::to_string(counted) + " standards, back-calculated within " +
                               OneDecimal(limits.santeStandardPercent) + " %" + (failures.empty() ? "" : " except " + failures);
    return Finding(curve, "calibration standards", failures.empty(), reason);
}

// Every located result against the standards' mean: the ion ratio relative to it, the
// retention time within a window around it.
AcceptanceFinding SanteAgainstStandards(const CurveResult& curve, const char* check, double AcceptanceRow::*value,
                                        bool relative, double limit, const BatchResults& results,
                                        const std::vector<const AcceptanceRow*>& rows) {
    double sum = 0.0;
    int standards = 0;
    for (const AcceptanceRow* row : rows)
        if (row->standard && std::isfinite(row->*value)) {
            sum += row->*value;
            ++standards;
        }
    if (standards == 0) return Finding(curve, check, true, "no standard measured it");
    const double mean = sum / standards;
    int counted = 0;
    std::string failures;
    for (const AcceptanceRow* row : rows) {
        if (!std::isfinite(row->*value)) continue;
        ++counted;
        const double off = relative ? DeviationPercent(mean, row->*value) : row->*value - mean;
        if (!Within(off, limit))
            Note(failures, SampleId(results, row->sample) + " " + (relative ? Signed(off) : Signed(off * 60.0, " s")));
    }
    std::string reason = std::to_string(counted) + " results against the standards' mean " + FourFigures(mean);
    if (!failures.empty()) reason += "; outside: " + failures;
    return Finding(curve, check, failures.empty(), reason);
}

}  // namespace

bool StandardsPass(RuleSet rules, const AcceptanceLimits& limits, const CurveResult& curve) {
    if (rules == RuleSet::kIchM10) return IchStandards(curve, limits).passed;
    if (rules == RuleSet::kSante) return SanteStandards(curve, limits).passed;
    return true;
}

namespace {

// The inverse of a small symmetric matrix by Gauss-Jordan elimination with partial pivoting;
// false when it is singular.
bool Invert(std::vector<std::vector<double>>& a) {
    const size_t n = a.size();
    std::vector<std::vector<double>> inverse(n, std::vector<double>(n, 0.0));
    for (size_t i = 0; i < n; ++i) inverse[i][i] = 1.0;
    for (size_t column = 0; column < n; ++column) {
        size_t pivot = column;
        for (size_t row = column + 1; row < n; ++row)
            if (std::fabs(a[row][column]) > std::fabs(a[pivot][column])) pivot = row;
        if (!(std::fabs(a[pivot][column]) > 1e-300)) return false;
        std::swap(a[pivot], a[column]);
        std::swap(inverse[pivot], inverse[column]);
        const double scale = a[column][column];
        for (size_t k = 0; k < n; ++k) {
            a[column][k] /= scale;
            inverse[column][k] /= scale;
        }
        for (size_t row = 0; row < n; ++row) {
            if (row == column) continue;
            const double factor = a[row][column];
            for (size_t k = 0; k < n; ++k) {
                a[row][k] -= factor * a[column][k];
                inverse[row][k] -= factor * inverse[column][k];
            }
        }
    }
    a = inverse;
    return true;
}

}  // namespace

std::vector<double> StudentizedResiduals(const CCalibrationData& curve) {
    const int count = std::clamp(curve.GetNumCaliPts(), 0, curve.GetNumCaliPointSlots());
    std::vector<double> residuals(static_cast<size_t>(count), std::nan(""));
    const int type = curve.GetCCalc();
    const bool responseFactor = type == 0 || type == 7;
    if (!responseFactor && (type < 1 || type > 6)) return residuals;
    // The fit's terms: c1 x for a response factor, 1, x, ..., x^order for a polynomial.
    const auto terms = [&](double x) {
        std::vector<double> t;
        if (responseFactor) return std::vector<double>{x};
        double power = 1.0;
        for (int k = 0; k <= type; ++k, power *= x) t.push_back(power);
        return t;
    };
    double coefficients[7];
    for (int k = 0; k < 7; ++k) coefficients[k] = curve.GetCC(k);
    const size_t p = responseFactor ? 1 : static_cast<size_t>(type) + 1;
    std::vector<std::vector<double>> normal(p, std::vector<double>(p, 0.0));
    double weighted = 0.0;
    int used = 0;
    for (int i = 0; i < count; ++i) {
        const tag_CALI_POINT point = curve.GetCaliPoint(i);
        if ((point.Flags & kCaliPointExcluded) != 0) continue;
        const double w = point.Weight > 0.0 ? point.Weight : 1.0;
        const std::vector<double> t = terms(point.Conc);
        for (size_t a = 0; a < p; ++a)
            for (size_t b = 0; b < p; ++b) normal[a][b] += w * t[a] * t[b];
        const double fitted = responseFactor ? coefficients[1] * point.Conc : EvaluatePolynomial(point.Conc, type, coefficients);
        weighted += w * (point.Resp - fitted) * (point.Resp - fitted);
        ++used;
    }
    if (used <= static_cast<int>(p) || !Invert(normal)) return residuals;
    const double s = std::sqrt(weighted / (used - static_cast<int>(p)));
    for (int i = 0; i < count; ++i) {
        const tag_CALI_POINT point = curve.GetCaliPoint(i);
        if ((point.Flags & kCaliPointExcluded) != 0) continue;
        const double w = point.Weight > 0.0 ? point.Weight : 1.0;
        const std::vector<double> t = terms(point.Conc);
        double leverage = 0.0;
        for (size_t a = 0; a < p; ++a)
            for (size_t b = 0; b < p; ++b) leverage += t[a] * normal[a][b] * t[b];
        leverage *= w;
        const double fitted = responseFactor ? coefficients[1] * point.Conc : EvaluatePolynomial(point.Conc, type, coefficients);
        if (!(s > 0.0 && leverage < 1.0)) continue;
        // Externally studentized (the point's own error left out of the scatter it is judged
        // by): an internally studentized residual can never exceed the square root of the
        // degrees of freedom, so a usual limit of 3 would never be reached with a few standards.
        const double internal = (point.Resp - fitted) * std::sqrt(w) / (s * std::sqrt(1.0 - leverage));
        const double freedom = used - static_cast<double>(p);
        const double rest = freedom - internal * internal;
        residuals[static_cast<size_t>(i)] =
            freedom > 1.0 && rest > 0.0 ? internal * std::sqrt((freedom - 1.0) / rest) : std::copysign(INFINITY, internal);
    }
    return residuals;
}

std::vector<OutlierExclusion> ExcludeOutliers(CCalibrationList& curves, const CMethodList& method, RuleSet rules,
                                              const AcceptanceLimits& limits, double limit, int fewestPoints) {
    std::vector<OutlierExclusion> excluded;
    CQuanCalibrate engine;
    for (int i = 0; i < curves.GetSize() && i < method.GetSize(); ++i) {
        CCalibrationData* curve = curves.GetEntry(i);
        if (curve == nullptr || curve->GetTotalsEntry() || curve->GetTotalsGroupEntry()) continue;
        for (;;) {
            const CurveResult result{i + 1, method.GetAt(i).GetName(), "", *curve, {}};
            if (curve->GetCurveValid() == 0 || StandardsPass(rules, limits, result)) break;
            const std::vector<double> residuals = StudentizedResiduals(*curve);
            int included = 0, worst = -1;
            for (size_t k = 0; k < residuals.size(); ++k) {
                if ((curve->GetCaliPoint(static_cast<int>(k)).Flags & kCaliPointExcluded) != 0) continue;
                ++included;
                if (std::isfinite(residuals[k]) && (worst < 0 || std::fabs(residuals[k]) > std::fabs(residuals[worst])))
                    worst = static_cast<int>(k);
            }
            if (worst < 0 || included <= fewestPoints || !(std::fabs(residuals[worst]) > limit)) break;
            tag_CALI_POINT& point = curve->GetCaliPoint(worst);
            point.Flags |= kCaliPointExcluded;
            excluded.push_back({i + 1, GetFileInfoName(curve->GetCaliFile(worst)), residuals[worst]});
            engine.QuanDoCalibration(curve, 0);
        }
    }
    return excluded;
}

std::vector<AcceptanceFinding> EvaluateAcceptance(RuleSet rules, const AcceptanceLimits& limits,
                                                  const BatchResults& results, const std::vector<AcceptanceRow>& rows) {
    std::vector<AcceptanceFinding> findings;
    if (rules == RuleSet::kNone) return findings;
    std::map<int, std::vector<const AcceptanceRow*>> byEntry;
    for (const AcceptanceRow& row : rows) byEntry[row.entry].push_back(&row);
    for (const CurveResult& curve : results.curves) {
        const std::vector<const AcceptanceRow*>& entryRows = byEntry[curve.entry];
        // A total has no standards of its own: its members are judged.
        const bool total = curve.curve.GetTotalsEntry() || curve.curve.GetTotalsGroupEntry();
        if (rules == RuleSet::kIchM10) {
            if (!total) findings.push_back(IchStandards(curve, limits));
            findings.push_back(IchQcs(curve, limits, results, entryRows));
        } else {
            if (!total) findings.push_back(SanteStandards(curve, limits));
            findings.push_back(SanteAgainstStandards(curve, "ion ratio", &AcceptanceRow::ionRatio, true,
                                                     limits.ionRatioPercent, results, entryRows));
            findings.push_back(SanteAgainstStandards(curve, "retention time", &AcceptanceRow::foundRT, false,
                                                     limits.rtWindowMinutes, results, entryRows));
        }
    }
    return findings;
}

}  // namespace Batch
