// Calibration review and batch acceptance: the rule sets against batches worked by hand (at,
// just inside and just outside each limit), the studentized residuals and the outlier loop
// against sets with and without a planted outlier, and the analyst's exclusions file.
#include <algorithm>
#include <cmath>
#include <set>

#include "BatchTestSupport.h"
#include "workflow/review/Acceptance.h"
#include "workflow/review/Exclusions.h"
#include "workflow/review/OutlierExclusion.h"

namespace {

using namespace Batch;
using batch_test::AddStandard;

ReviewSettings Rules(RuleSet rules) {
    ReviewSettings settings;
    ChooseRuleSet(settings, rules);
    return settings;
}

// The fitted line y = x, so a standard's back-calculated concentration is its response: standard
// i has nominal levels[i] and lies deviations[i] % off it.
CCalibrationData LineOfDeviations(const std::vector<double>& deviations, const std::vector<int>& excluded) {
    const double levels[] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000};
    CCalibrationData curve;
    curve.SetCCalc(kCurveLinear);
    curve.SetCC(1.0, 1);
    curve.SetCurveValid(1);
    curve.SetMaxConc(5000.0);
    for (size_t i = 0; i < deviations.size(); ++i) {
        const bool out = std::find(excluded.begin(), excluded.end(), static_cast<int>(i)) != excluded.end();
        AddStandard(curve, levels[i], levels[i] * (1.0 + deviations[i] / 100.0), out);
    }
    return curve;
}

TEST(BatchReview, StandardsRulesHoldAtTheirLimits) {
    const struct {
        const char* what;
        RuleSet rules;
        std::vector<double> deviations;
        std::vector<int> excluded;
        bool passes;
    } cases[] = {
        {"M10: 20 % at the lowest level, 15 % above it", RuleSet::kBioanalytical, {20, 15, -15, 0, 0, 0}, {}, true},
        {"M10: just inside", RuleSet::kBioanalytical, {-19.9, 14.9, 0, 0, 0, 0}, {}, true},
        {"M10: lowest just outside leaves five", RuleSet::kBioanalytical, {20.1, 0, 0, 0, 0, 0}, {}, false},
        {"M10: a higher level just outside", RuleSet::kBioanalytical, {0, 0, 0, 0, 0, -15.1}, {}, false},
        {"M10: the 20 % is not for the higher levels", RuleSet::kBioanalytical, {0, 16, 0, 0, 0, 0}, {}, false},
        {"M10: six of eight is 75 %", RuleSet::kBioanalytical, {0, 30, -30, 0, 0, 0, 0, 0}, {}, true},
        {"M10: eight of twelve is below 75 %", RuleSet::kBioanalytical, {0, 0, 30, 30, 30, 30, 0, 0, 0, 0, 0, 0}, {}, false},
        {"M10: excluded standards count and fail", RuleSet::kBioanalytical, {0, 0, 0, 0, 0, 0, 0, 0}, {5, 6, 7}, false},
        {"M10: the lowest used level takes the 20 %", RuleSet::kBioanalytical, {90, 18, 0, 0, 0, 0, 0}, {0}, true},
        {"M10: ... and not more", RuleSet::kBioanalytical, {90, 21, 0, 0, 0, 0, 0}, {0}, false},
        {"SANTE: 20 % at every level", RuleSet::kPesticideResidues, {20, -20, 0, 20}, {}, true},
        {"SANTE: one used standard just outside", RuleSet::kPesticideResidues, {0, 0, 20.1, 0}, {}, false},
        {"SANTE: an excluded standard is not judged", RuleSet::kPesticideResidues, {0, 50, 0, 0}, {1}, true},
        {"SANTE: no standard used", RuleSet::kPesticideResidues, {0, 0}, {0, 1}, false},
        {"none: anything passes", RuleSet::kNone, {90, 90}, {}, true},
    };
    for (const auto& c : cases) {
        const RuleVerdict verdict = JudgeCurve("A", LineOfDeviations(c.deviations, c.excluded), Rules(c.rules));
        EXPECT_EQ(verdict.passed, c.passes) << c.what << ": " << verdict.reason;
    }
    // A curve that could not be fitted fails, whatever its points.
    CCalibrationData unfitted = LineOfDeviations({0, 0, 0, 0, 0, 0}, {});
    unfitted.SetCurveValid(0);
    EXPECT_FALSE(JudgeCurve("A", unfitted, Rules(RuleSet::kPesticideResidues)).passed);
    // Judged in the analyst's units on a transformed axis: y = 10x on log axes is the line (1, 2),
    // (2, 3), (3, 4), and every standard back-calculates to its nominal, reported untransformed.
    const CCalibrationData logLog = batch_test::CurveOf("A", kCurveLinear, 2, {{10, 100}, {100, 1000}, {1000, 10000}});
    const std::vector<StandardCheck> checks = CheckStandards("A", FitCurve(logLog), Rules(RuleSet::kPesticideResidues));
    ASSERT_EQ(checks.size(), 3u);
    for (size_t i = 0; i < checks.size(); ++i) {
        EXPECT_NEAR(checks[i].nominal, std::pow(10.0, i + 1.0), 1e-9);
        EXPECT_NEAR(checks[i].backCalculated, checks[i].nominal, 1e-9);
        EXPECT_TRUE(checks[i].passed);
    }
}

TEST(BatchReview, QCRulesCountAllAndEachLevel) {
    // Two QCs at each of 3, 30 and 300; each case gives the six deviations (NaN: no result).
    const struct {
        std::vector<double> deviations;
        std::vector<std::string> failing;
    } cases[] = {
        {{15, -15, 0, 0, 0, 0}, {}},
        {{14.9, 0, -14.9, 0, 0, 0}, {}},
        {{15.1, 0, 15.1, 0, 0, 0}, {}},            // 4 of 6, and half of each level
        {{NAN, 0, -16, 0, 0, 0}, {}},              // no concentration counts as failing
        {{16, 16, 0, 0, 0, 0}, {"QCs at 3"}},      // 4 of 6, but none at 3
        {{16, 0, 16, 0, 16, 0}, {"QCs"}},          // 3 of 6
        {{}, {"QCs"}},                             // no QCs at all
    };
    const double levels[] = {3, 3, 30, 30, 300, 300};
    for (const auto& c : cases) {
        std::vector<QCResult> qcs;
        for (size_t i = 0; i < c.deviations.size(); ++i)
            qcs.push_back({"QC" + std::to_string(i), "A", levels[i], levels[i] * (1 + c.deviations[i] / 100),
                           !std::isnan(c.deviations[i])});
        std::vector<QCCheck> checks;
        std::vector<std::string> failing;
        for (const RuleVerdict& verdict : JudgeQCs("A", qcs, Rules(RuleSet::kBioanalytical), checks))
            if (!verdict.passed) failing.push_back(verdict.rule);
        EXPECT_EQ(failing, c.failing) << "first deviation " << (c.deviations.empty() ? 0 : c.deviations[0]);
        EXPECT_EQ(checks.size(), c.deviations.size());
    }
    std::vector<QCCheck> checks;
    EXPECT_TRUE(JudgeQCs("A", {}, Rules(RuleSet::kPesticideResidues), checks).empty()) << "SANTE judges no QCs";
}

TEST(BatchReview, IdentificationAgainstTheStandardsMeans) {
    // The standards used: RTs 5.00, 5.02, 4.98 (mean 5.00) and ratios 0.5, 0.52, 0.48 (mean 0.5);
    // S4 was excluded from the curve and must not move the means.
    const int standard = CQuanSampleData::kStandard;
    std::vector<Identification> located = {{"S1", "A", standard, true, 5.00, 0.50}, {"S2", "A", standard, true, 5.02, 0.52},
                                           {"S3", "A", standard, true, 4.98, 0.48}, {"S4", "A", standard, true, 6.00, 0.90},
                                           {"gone", "A", 0, false, 0.0, NAN}};
    const struct {
        double rt, ratio;
        bool rtPasses, ratioPasses;
    } cases[] = {{5.10, 0.65, true, true}, {4.90, 0.35, true, true}, {5.11, 0.66, false, false},
                 {4.89, 0.34, false, false}, {5.0, NAN, true, false}};
    for (size_t i = 0; i < std::size(cases); ++i)
        located.push_back({"U" + std::to_string(i), "A", 0, true, cases[i].rt, cases[i].ratio});
    const auto verdicts = JudgeIdentification("A", located, {"S1", "S2", "S3"}, Rules(RuleSet::kPesticideResidues));
    ASSERT_EQ(verdicts.size(), 2 * std::size(cases)) << "a retention time and an ion ratio per located sample";
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(verdicts[2 * i].rule, "retention time");
        EXPECT_EQ(verdicts[2 * i].passed, cases[i].rtPasses) << verdicts[2 * i].reason;
        EXPECT_EQ(verdicts[2 * i + 1].rule, "ion ratio");
        EXPECT_EQ(verdicts[2 * i + 1].passed, cases[i].ratioPasses) << verdicts[2 * i + 1].reason;
    }
    EXPECT_TRUE(JudgeIdentification("A", located, {"S1"}, Rules(RuleSet::kBioanalytical)).empty());
}

// A prepared response-factor curve whose standards at 1, 2, 3, ... have these response factors.
CCalibrationData FactorCurve(const std::vector<double>& factors) {
    CCalibrationData curve;
    curve.SetName("A");
    curve.SetCCalc(kCurveRF);
    for (size_t i = 0; i < factors.size(); ++i) AddStandard(curve, i + 1.0, factors[i] * (i + 1.0), false);
    return curve;
}

TEST(BatchReview, StudentizedResidualsWorkedByHand) {
    // Response factors 1.9 2.1 1.9 2.1 3.0: without the last, mean 2 and s^2 = 0.04/3, so its
    // residual is (3 - 2) / sqrt(0.04/3 * (1 + 1/4)) = sqrt(60).
    const std::vector<double> factor = StudentizedResiduals(FitCurve(FactorCurve({1.9, 2.1, 1.9, 2.1, 3.0})));
    ASSERT_EQ(factor.size(), 5u);
    EXPECT_NEAR(factor[4], std::sqrt(60.0), 1e-9);
    EXPECT_NEAR(factor[0], -0.6811, 1e-4);
    // Lines: without (5, 7) the others fit y = 0.1 + 0.96x with s^2 = 0.016, so its residual is
    // (7 - 4.9) / sqrt(0.016 * (1 + 1/4 + 2.5^2/5)) = 10.5. Weighted 1/x, and forced through the
    // origin, or with the origin included as a point, the same leave-one-out fit computed
    // independently gives 8.2552, 13.2276 and 12.9768.
    const struct {
        int origin, weighting;
        double y1, y5, expected;
    } lines[] = {{kOriginExclude, kWeightNone, 1.1, 7.0, 10.5},
                 {kOriginExclude, kWeightInverseX, 1.1, 7.0, 8.255219479},
                 {kOriginForce, kWeightNone, 2.1, 12.0, 13.227571661},
                 {kOriginInclude, kWeightNone, 1.1, 7.0, 12.976780240}};  // (0, 0) joins the others
    for (const auto& c : lines) {
        CCalibrationData line = batch_test::CurveOf("", kCurveLinear, kAxisNone, {});
        line.SetOrigin(c.origin);
        line.SetWeightingFunction(c.weighting);
        const double forced[] = {c.y1, 3.9, 6.1, 7.9, c.y5}, free[] = {c.y1, 1.9, 3.1, 3.9, c.y5};
        for (int x = 1; x <= 5; ++x) AddStandard(line, x, (c.origin == kOriginForce ? forced : free)[x - 1], false);
        AddStandard(line, 6.0, 100.0, true);
        const std::vector<double> t = StudentizedResiduals(FitCurve(line));
        ASSERT_EQ(t.size(), 6u);
        EXPECT_NEAR(t[4], c.expected, 1e-8) << c.origin << " " << c.weighting;
        EXPECT_TRUE(std::isnan(t[5])) << "an excluded point has none";
    }
    // Three points on a line leave one degree of freedom: nothing to judge a point by.
    for (double t : StudentizedResiduals(FitCurve(FactorCurve({1.9, 2.1}))))
        EXPECT_TRUE(std::isnan(t));
}

TEST(BatchReview, OutlierLoopExcludesThePlantedOutlierOnly) {
    const std::vector<double> planted = {1.9, 2.1, 1.9, 2.1, 1.9, 2.1, 3.0};  // S7: residual 1/sqrt(0.014)
    const std::vector<double> clean = {1.9, 2.1, 1.9, 2.1, 1.9, 2.1, 2.0};
    const struct {
        const char* what;
        const std::vector<double>& factors;
        RuleSet rules;
        bool on;
        double limit;
        int minPoints;
        size_t excluded;
    } cases[] = {
        {"SANTE fails on S7 (+40 %), just below the residual", planted, RuleSet::kPesticideResidues, true, 8.45, 0, 1},
        {"just above the residual", planted, RuleSet::kPesticideResidues, true, 8.46, 0, 0},
        {"at the minimum of points", planted, RuleSet::kPesticideResidues, true, 3.0, 7, 0},
        {"off", planted, RuleSet::kPesticideResidues, false, 3.0, 0, 0},
        {"M10 passes it: six of seven", planted, RuleSet::kBioanalytical, true, 3.0, 0, 0},
        {"no rules: the residual alone, once", planted, RuleSet::kNone, true, 3.0, 0, 1},
        {"no outlier, SANTE", clean, RuleSet::kPesticideResidues, true, 3.0, 0, 0},
        {"no outlier, no rules", clean, RuleSet::kNone, true, 1.1, 0, 0},
    };
    for (const auto& c : cases) {
        ReviewSettings settings = Rules(c.rules);
        settings.excludeOutliers = c.on;
        settings.outlierLimit = c.limit;
        settings.outlierMinPoints = c.minPoints;
        CCalibrationData curve = FactorCurve(c.factors);
        const OutlierOutcome outcome = ExcludeOutliers("A", curve, settings);
        ASSERT_EQ(outcome.excluded.size(), c.excluded) << c.what << ": " << outcome.stopped;
        int flagged = 0;
        for (int i = 0; i < curve.GetNumCaliPts(); ++i) flagged += (curve.GetCaliPoint(i).Flags & kCaliPointExcluded) != 0;
        EXPECT_EQ(flagged, static_cast<int>(c.excluded)) << c.what;
        if (c.excluded == 0) continue;
        const ExcludedPoint& point = outcome.excluded[0];
        EXPECT_EQ(point.standard, "S7");
        EXPECT_EQ(point.who, kExcludedAutomatically);
        EXPECT_NEAR(point.residual, 1.0 / std::sqrt(0.014), 1e-9) << c.what;
        EXPECT_TRUE(JudgeCurve("A", FitCurve(curve), settings).passed) << c.what;
    }
}

TEST(BatchReview, ExclusionsFileIsCheckedAgainstTheBatch) {
    BatchInput batch;
    for (const char* name : {"A", "B"}) {
        CMethodData entry;
        entry.SetName(name);
        batch.method.Add(entry);
    }
    for (const auto& [id, type] : {std::pair{"S1", CQuanSampleData::kStandard}, {"S2", CQuanSampleData::kStandard}, {"U1", 0}}) {
        batch.samples.push_back(std::make_unique<SampleInput>());
        batch.samples.back()->id = id;
        batch.samples.back()->type = type;
    }
    batch.samples[1]->excluded.insert("B");
    const struct {
        const char* text;
        std::string problem;  // "line:column", or empty for a good file (names outside the batch: BatchEndToEnd)
    } cases[] = {
        {"Compound,Standard,Reason\nA,S1,pipetting error\n", ""},
        {"Compound,Standard,Who\nA,S1,automatic\n", "2:3"},
        {"Compound,Standard\nA\n", "2:0"},
        {"Compound,Colour\n", "1:2"},
        {"", ""},
        {"Compound,Standard,Compound\n", "1:3"},
    };
    const batch_test::TempFolder folder;
    const std::string path = folder / "exclusions.csv";
    for (const auto& c : cases) {
        batch_test::WriteText(path, c.text);
        std::vector<Exclusion> exclusions;
        std::vector<Problem> problems;
        EXPECT_EQ(ReadExclusionsFile(path, batch, exclusions, problems), c.problem.empty()) << c.text;
        if (c.problem.empty()) {
            ASSERT_EQ(exclusions.size(), *c.text ? 1u : 0u) << "an empty file excludes nothing";
            EXPECT_TRUE(exclusions.empty() || exclusions[0].who == "analyst");
            continue;
        }
        ASSERT_FALSE(problems.empty()) << c.text;
        EXPECT_EQ(std::to_string(problems[0].line) + ":" + std::to_string(problems[0].column), c.problem) << problems[0].Text();
        EXPECT_EQ(problems[0].file, path);
        EXPECT_TRUE(exclusions.empty());
    }
    // What the report page saves reads back the same, odd characters and all, and excludes as
    // the Exclude column does, noting who and why; the column's own exclusions are noted too.
    const std::vector<Exclusion> saved = {{"A", "S1", "carry-over, \"high\"", "jd"}, {"B", "S1", "", "analyst"}};
    batch_test::WriteText(path, ExclusionsFileText(saved));
    ExclusionNotes notes;
    std::vector<Problem> problems;
    ASSERT_TRUE(ApplyExclusionsFile(path, batch, notes, problems));
    NoteBatchListExclusions(batch, notes);
    EXPECT_EQ(batch.samples[0]->excluded, (std::set<std::string>{"A", "B"}));
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[std::pair("A", "S1")].by, "jd");
    EXPECT_EQ(notes[std::pair("A", "S1")].reason, saved[0].reason);
    EXPECT_EQ(notes[std::pair("B", "S1")].reason, "excluded by hand");
    EXPECT_EQ(notes[std::pair("B", "S2")].reason, "Exclude column of batch.csv");
}

TEST(BatchReview, ToolExcludesAPlantedOutlierOpenly) {
    using namespace batch_test;
    TempFolder temp;
    const fs::path batch = CopyExample(temp.Path());
    // STD-04 as a peak list with Trifluralin's quantification peak (trace 306.1 at 8.95 min) half
    // as large again: 50 % high, it is excluded automatically, with its residual, and only it.
    ASSERT_TRUE(ReplaceInFile(batch / "method.xml", "<METHODLIST>", "<METHODLIST Acceptance=\"SANTE\" OutlierExclusion=\"on\">"));
    AsPeakList(batch, "STD-04", [](CPeakList& peaks) {
        int planted = 0;
        for (int i = 0; i < peaks.GetSize(); ++i) {
            CPeakData& peak = peaks.GetAt(i);
            if (std::string(peak.GetQuanTrace()) != "306.1" || std::fabs(peak.GetFoundRT() - 8.95f) > 0.05f) continue;
            peak.SetArea(peak.GetArea() * 1.5);
            ++planted;
        }
        EXPECT_EQ(planted, 1);
    });
    const ToolRun run = RunTool({batch.string(), "--out", temp / "out"});
    EXPECT_EQ(Query(temp / "out/results.sqlite",
                    "SELECT compound || ',' || standard FROM excluded_points WHERE excluded_by = 'automatic' "
                    "AND studentized_residual > 3 AND reason LIKE 'studentized residual % above 3 while%'"),
              Table{{"Trifluralin,STD-04"}})
        << run.out;
}

}  // namespace
