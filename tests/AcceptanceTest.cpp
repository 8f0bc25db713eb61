// Batch acceptance rules against small batches worked by hand, each limit met exactly, just
// met and just missed. The curves are y = x, so a standard's back-calculated concentration is
// its response and every deviation is read off the numbers below.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "calibrate/QuanCalibrate.h"
#include "tools/batch/Acceptance.h"

namespace {

using Batch::AcceptanceRow;

// A calibrated curve y = x through standards (nominal, back-calculated), excluded ones marked
// by a negative nominal.
Batch::CurveResult Curve(const std::vector<std::pair<double, double>>& standards) {
    CCalibrationData curve;
    curve.SetName("Atrazine");
    curve.SetCCalc(1);
    curve.SetCC(0.0, 0);
    curve.SetCC(1.0, 1);
    curve.SetCurveValid(1);
    curve.SetMinConc(1.0);
    curve.SetMaxConc(50.0);
    for (size_t i = 0; i < standards.size(); ++i) {
        tag_CALI_POINT point{};
        point.Conc = std::fabs(standards[i].first);
        point.Resp = standards[i].second;
        point.Flags = standards[i].first < 0 ? kCaliPointExcluded : 0;
        curve.SetCaliPoint(point, static_cast<int>(i));
        tagFILE_INFO file{};
        SetFileInfoName(file, "STD-" + std::to_string(i + 1));
        curve.SetCaliFile(file, static_cast<int>(i));
    }
    curve.SetNumCaliPts(static_cast<int>(standards.size()));
    return {1, "Atrazine", "", curve, {}};
}

AcceptanceRow Row(int sample, bool standard, bool qc, double nominal, double conc, double rt = NAN, double ratio = NAN) {
    AcceptanceRow row;
    row.sample = sample;
    row.entry = 1;
    row.standard = standard;
    row.qc = qc;
    row.found = true;
    row.nominal = nominal;
    row.conc = conc;
    row.foundRT = rt;
    row.ionRatio = ratio;
    return row;
}

// The finding of one check, "" when it is missing.
std::string Verdict(const std::vector<Batch::AcceptanceFinding>& findings, const std::string& check) {
    for (const auto& finding : findings)
        if (finding.check == check) return (finding.passed ? "pass: " : "fail: ") + finding.reason;
    return "";
}

TEST(Acceptance, IchM10StandardsAndQcsAtAndAroundTheirLimits) {
    const std::vector<std::pair<double, double>> exact = {{1, 1}, {2, 2}, {5, 5}, {10, 10}, {20, 20}, {50, 50}};
    const struct { const char* name; std::vector<std::pair<double, double>> standards; const char* verdict; } standards[] = {
        {"lowest at +20 %, next at -15 %", {{1, 1.2}, {2, 1.7}, {5, 5}, {10, 10}, {20, 20}, {50, 50}},
         "pass: 6 of 6 standards within limits"},
        {"lowest just past 20 %", {{1, 1.2002}, {2, 2}, {5, 5}, {10, 10}, {20, 20}, {50, 50}},
         "fail: 5 of 6 standards within limits (needs 75.0 % and at least 6); STD-1 +20.0 %"},
        {"one of eight past 15 %, one excluded: six of eight is 75 %",
         {{1, 1}, {2, 2}, {5, 5.7502}, {10, 10}, {20, 20}, {-30, 30}, {40, 40}, {50, 50}},
         "pass: 6 of 8 standards within limits; STD-3 +15.0 %, STD-6 excluded"},
        {"three of eight failing", {{1, 1}, {2, 2.4}, {5, 5.8}, {10, 10}, {20, 20}, {-30, 30}, {40, 40}, {50, 50}},
         "fail: 5 of 8 standards within limits (needs 75.0 % and at least 6); STD-2 +20.0 %, STD-3 +16.0 %, STD-6 excluded"},
    };
    for (const auto& c : standards) {
        Batch::BatchResults results;
        results.curves = {Curve(c.standards)};
        EXPECT_EQ(Verdict(Batch::EvaluateAcceptance(Batch::RuleSet::kIchM10, {}, results, {}), "calibration standards"),
                  c.verdict)
            << c.name;
    }

    // Six QCs at three levels; 20 -> 23 is exactly 15 %, 23.01 just past it.
    const struct { const char* name; std::vector<double> found; const char* verdict; } qcs[] = {
        {"two failing at different levels: 4 of 6 is two thirds", {23, 24, 40, 46.02, 80, 80},
         "pass: 4 of 6 QCs within 15.0 %; 2 +20.0 %, 4 +15.1 %"},
        {"both of one level failing", {23.01, 16, 40, 40, 80, 80},
         "fail: 4 of 6 QCs within 15.0 %; level 20.0: 0 of 2; 1 +15.1 %, 2 -20.0 %"},
        {"three failing", {23, 30, 40, 50, 80, 100}, "fail: 3 of 6 QCs within 15.0 %; 2 +50.0 %, 4 +25.0 %, 6 +25.0 %"},
    };
    for (const auto& c : qcs) {
        Batch::BatchResults results;
        results.curves = {Curve(exact)};
        std::vector<AcceptanceRow> rows;
        const double nominal[] = {20, 20, 40, 40, 80, 80};
        for (int i = 0; i < 6; ++i) rows.push_back(Row(i, false, true, nominal[i], c.found[i]));
        rows.push_back(Row(6, false, false, 20, 99));  // not a QC
        EXPECT_EQ(Verdict(Batch::EvaluateAcceptance(Batch::RuleSet::kIchM10, {}, results, rows), "QCs"), c.verdict) << c.name;
    }
}

TEST(Acceptance, SanteIonRatioRetentionTimeAndStandardsAtAndAroundTheirLimits) {
    Batch::BatchResults results;
    // 50 -> 60 is exactly 20 %; the excluded standard is not judged.
    results.curves = {Curve({{1, 1}, {5, 4}, {-10, 30}, {50, 60}})};
    // Standards: ratios 9 and 11 (mean 10), retention times 5.0 and 5.0.
    std::vector<AcceptanceRow> rows = {Row(0, true, false, 1, 1, 5.0, 9), Row(1, true, false, 5, 4, 5.0, 11)};
    const struct { double rt, ratio; } samples[] = {{5.1, 13}, {4.9, 7}, {5.11, 13.01}, {5.0, 6.99}};
    for (int i = 0; i < 4; ++i) rows.push_back(Row(2 + i, false, false, NAN, 1, samples[i].rt, samples[i].ratio));
    const auto findings = Batch::EvaluateAcceptance(Batch::RuleSet::kSante, {}, results, rows);
    EXPECT_EQ(Verdict(findings, "calibration standards"), "pass: 3 standards, back-calculated within 20.0 %");
    EXPECT_EQ(Verdict(findings, "ion ratio"), "fail: 6 results against the standards' mean 10; outside: 5 +30.1 %, 6 -30.1 %");
    EXPECT_EQ(Verdict(findings, "retention time"), "fail: 6 results against the standards' mean 5; outside: 5 +6.6 s");

    results.curves = {Curve({{1, 1}, {50, 60.01}})};
    EXPECT_EQ(Verdict(Batch::EvaluateAcceptance(Batch::RuleSet::kSante, {}, results, {}), "calibration standards"),
              "fail: 2 standards, back-calculated within 20.0 % except STD-2 +20.0 %");
    EXPECT_TRUE(Batch::EvaluateAcceptance(Batch::RuleSet::kNone, {}, results, rows).empty());
}

// Eight standards on y = 2x + 1 with a 2 % scatter, weighted 1/x^2; with one planted outlier the
// curve fails SANTE's standards check and that point, and only that one, is excluded; without
// it nothing is.
TEST(Acceptance, OutlierLoopExcludesThePlantedOutlierAndNothingElse) {
    for (const bool planted : {true, false}) {
        std::vector<std::pair<double, double>> standards;
        const double levels[] = {1, 2, 5, 10, 20, 50, 100, 200};
        for (int i = 0; i < 8; ++i)
            standards.push_back({levels[i], (2.0 * levels[i] + 1.0) * (i % 2 == 0 ? 1.02 : 0.98) * (planted && i == 6 ? 1.8 : 1.0)});
        Batch::CurveResult result = Curve(standards);
        result.curve.SetCurveValid(0);
        result.curve.SetWeightingFunction(kWeightInverseX2);
        result.curve.SetOrigin(kOriginExclude);
        CQuanCalibrate engine;
        ASSERT_EQ(engine.QuanDoCalibration(&result.curve, 0), kCaliOK);
        ASSERT_EQ(result.curve.GetCurveValid(), 1);
        CCalibrationList curves;
        curves.Add(result.curve);
        CMethodList method;
        CMethodData entry;
        entry.SetName("Atrazine");
        method.Add(entry);
        EXPECT_EQ(Batch::StandardsPass(Batch::RuleSet::kSante, {}, result), !planted)
            << Verdict(Batch::EvaluateAcceptance(Batch::RuleSet::kSante, {}, Batch::BatchResults{"", "", {}, {}, {}, {result}}, {}),
                       "calibration standards");
        const auto excluded = Batch::ExcludeOutliers(curves, method, Batch::RuleSet::kSante, {}, 3.0, 3);
        if (!planted) {
            EXPECT_TRUE(excluded.empty());
            continue;
        }
        ASSERT_EQ(excluded.size(), 1u);
        EXPECT_EQ(excluded[0].standard, "STD-7");
        EXPECT_GT(std::fabs(excluded[0].residual), 3.0);
        EXPECT_NE(curves.GetAt(0).GetCaliPoint(6).Flags & kCaliPointExcluded, 0);
        result.curve = curves.GetAt(0);
        EXPECT_TRUE(Batch::StandardsPass(Batch::RuleSet::kSante, {}, result));
    }
}

}  // namespace
