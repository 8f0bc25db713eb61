// Studies: the QC statistics and Westgard rules on hand-worked numbers, and the merge of batch
// results folders (made by quan-batch from the bundled example, then changed by hand where a
// case needs another batch) with its refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "BatchTestSupport.h"
#include "workflow/study/QcStatistics.h"
#include "workflow/study/QcTargets.h"
#include "workflow/study/StudyMerge.h"
#include "apps/cli/StudyTool.h"
#include "workflow/study/WestgardRules.h"
#include "workflow/station/JsonValue.h"

namespace {

using namespace batch_test;
using Study::ControlResult;
constexpr double kNoZ = std::numeric_limits<double>::quiet_NaN();

TEST(QcStatistics, SummaryOfOneLevel) {
    // 8, 9, 10, 11 against 10: mean 9.5, SD sqrt(5/3), CV 13.59 %, accuracy 95 %.
    const Study::QcSummary summary = Study::QcStatistics::Summarise({8, 9, 10, 11}, 10.0);
    EXPECT_EQ(summary.count, 4u);
    EXPECT_DOUBLE_EQ(summary.mean, 9.5);
    EXPECT_NEAR(summary.sd, 1.2909944, 1e-7);
    EXPECT_NEAR(summary.cvPercent, 13.589415, 1e-6);
    EXPECT_DOUBLE_EQ(summary.accuracyPercent, 95.0);
    // One result has no spread; none has nothing.
    const Study::QcSummary one = Study::QcStatistics::Summarise({7.5}, 10.0);
    EXPECT_DOUBLE_EQ(one.accuracyPercent, 75.0);
    EXPECT_TRUE(std::isnan(one.sd) && std::isnan(one.cvPercent));
    const Study::QcSummary none = Study::QcStatistics::Summarise({}, 10.0);
    EXPECT_EQ(none.count, 0u);
    EXPECT_TRUE(std::isnan(none.mean) && std::isnan(none.accuracyPercent));
}

TEST(QcStatistics, PrecisionWithinAndBetweenBatches) {
    const double nan = kNoZ;
    const struct {
        std::vector<std::vector<double>> batches;
        size_t count, batchCount;
        double within, between, inter, grandMean;
    } cases[] = {
        // Equal batches: MSw 1, MSb 13.5, n0 3: between sqrt(12.5/3).
        {{{1, 2, 3}, {4, 5, 6}}, 6, 2, 1.0, 2.0412415, 2.2730302, 3.5},
        // Unequal batches: MSw 8/3, MSb 19.2, n0 (5 - 13/5) = 2.4.
        {{{1, 3}, {5, 5, 8}}, 5, 2, 1.6329932, 2.6246693, 3.0912062, 4.4},
        // Batches agree better than their replicates: no between-batch part.
        {{{1, 3}, {1, 3}}, 4, 2, 1.4142136, 0.0, 1.4142136, 2.0},
        // One result per batch: the spread is all between batches.
        {{{10}, {12}, {14}, {}}, 3, 3, nan, 2.0, 2.0, 12.0},
        // One batch: repeatability only.
        {{{1, 2, 3}}, 3, 1, 1.0, nan, 1.0, 2.0},
    };
    // The expected figures are rounded to 7 decimals, the CVs computed from them.
    const auto expectNear = [](double actual, double expected, double tolerance = 1e-6) {
        if (std::isnan(expected))
            EXPECT_TRUE(std::isnan(actual)) << actual;
        else
            EXPECT_NEAR(actual, expected, tolerance);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        const Study::QcPrecision precision = Study::QcStatistics::Precision(c.batches);
        EXPECT_EQ(precision.count, c.count);
        EXPECT_EQ(precision.batches, c.batchCount);
        expectNear(precision.withinBatchSd, c.within);
        expectNear(precision.betweenBatchSd, c.between);
        expectNear(precision.interBatchSd, c.inter);
        expectNear(precision.withinBatchCvPercent, 100.0 * c.within / c.grandMean, 1e-5);
        expectNear(precision.betweenBatchCvPercent, 100.0 * c.between / c.grandMean, 1e-5);
        expectNear(precision.interBatchCvPercent, 100.0 * c.inter / c.grandMean, 1e-5);
    }
    const Study::QcPrecision single = Study::QcStatistics::Precision({{4.0}});
    EXPECT_TRUE(std::isnan(single.interBatchSd));
}

using Found = std::vector<std::tuple<std::string, size_t, size_t>>;  // rule, result, first

Found Violations(const std::vector<ControlResult>& results) {
    Found found;
    for (const Study::RuleViolation& v : Study::WestgardRules::Check(results)) found.emplace_back(v.rule, v.result, v.first);
    return found;
}

// One level, one result per batch, in run order.
std::vector<ControlResult> Series(const std::vector<double>& z) {
    std::vector<ControlResult> results;
    for (size_t i = 0; i < z.size(); ++i) results.push_back({static_cast<int>(i) + 1, 1, z[i]});
    return results;
}

TEST(WestgardRules, OneLevelAcrossBatches) {
    const struct { const char* what; std::vector<double> z; Found expected; } cases[] = {
        {"within 2 SD", {1.9, -1.9, 0.5, -0.5}, {}},
        {"1-3s is strictly beyond 3 SD", {3.0, 3.01, -3.2}, {{"1-3s", 1, 1}, {"2-2s", 1, 0}, {"1-3s", 2, 2}}},
        {"2-2s needs the same side", {2.1, -2.5, -2.2}, {{"2-2s", 2, 1}}},
        {"exactly 2 SD is not beyond", {2.0, 2.5, 1.0}, {}},
        {"4-1s", {1.1, 1.2, 1.5, 1.1, 1.01}, {{"4-1s", 3, 0}, {"4-1s", 4, 1}}},
        {"4-1s broken by a result on the other side", {1.1, 1.2, -1.5, 1.1, 1.3}, {}},
        {"4-1s below the mean; exactly 1 SD is not beyond", {-1.0, -1.1, -1.2, -1.5, -1.1}, {{"4-1s", 4, 1}}},
        {"10-x", {0.5, 0.1, 0.2, 0.3, 0.9, 0.4, 0.1, 0.2, 0.3, 0.6}, {{"10-x", 9, 0}}},
        {"nine on one side", {0.5, 0.1, 0.2, 0.3, 0.9, 0.4, 0.1, 0.2, 0.3, -0.6}, {}},
        {"a result at the mean breaks 10-x", {0.5, 0.1, 0.2, 0.3, 0.0, 0.4, 0.1, 0.2, 0.3, 0.6}, {}},
        {"no z takes no part and breaks no run", {1.1, kNoZ, 1.2, 1.3, 1.4}, {{"4-1s", 4, 0}}},
        {"one result beyond 3 SD is also one beyond 2", {2.5, 3.5}, {{"1-3s", 1, 1}, {"2-2s", 1, 0}}},
    };
    for (const auto& c : cases) EXPECT_EQ(Violations(Series(c.z)), c.expected) << c.what;
}

TEST(WestgardRules, LevelsWithinOneBatch) {
    // Two levels of one batch beyond 2 SD on one side: 2-2s across levels; on opposite sides:
    // R-4s, once per batch; in different batches neither.
    EXPECT_EQ(Violations({{1, 1, 2.2}, {1, 2, 2.3}}), (Found{{"2-2s", 1, 0}}));
    EXPECT_EQ(Violations({{1, 1, 2.2}, {2, 2, 2.3}}), Found{});
    EXPECT_EQ(Violations({{1, 1, 2.1}, {1, 2, -2.1}, {1, 3, -2.2}}),
              (Found{{"R-4s", 1, 0}, {"2-2s", 2, 1}}));
    EXPECT_EQ(Violations({{1, 1, 2.1}, {2, 2, -2.1}}), Found{});
    EXPECT_EQ(Violations({{1, 1, 2.0}, {1, 2, -2.5}}), Found{});
    // Replicates of one level in one batch count as consecutive results of that level.
    EXPECT_EQ(Violations({{1, 1, 2.4}, {1, 1, -2.4}}), (Found{{"R-4s", 1, 0}}));
    // A run of one level goes on across the other level's results.
    std::vector<ControlResult> interleaved;
    for (int batch = 1; batch <= 4; ++batch) {
        interleaved.push_back({batch, 1, 1.5});
        interleaved.push_back({batch, 2, -0.2});
    }
    EXPECT_EQ(Violations(interleaved), (Found{{"4-1s", 6, 0}}));
}

TEST(QcTargets, ReadsAndRefuses) {
    TempFolder folder;
    const std::string path = folder / "targets.csv";
    WriteText(path, "\xEF\xBB\xBF" "compound,Level,Mean,SD\nAtrazine,8,8.1,0.3\n\"p,p'-DDE\",30,29.5,1.5\n");
    Study::QcTargets targets;
    std::string error;
    ASSERT_TRUE(targets.Read(path, error)) << error;
    EXPECT_EQ(targets.Size(), 2u);
    ASSERT_NE(targets.Find("p,p'-DDE", 30.0), nullptr);
    EXPECT_DOUBLE_EQ(targets.Find("p,p'-DDE", 30.0)->sd, 1.5);
    EXPECT_EQ(targets.Find("Atrazine", 30.0), nullptr);
    const struct { const char* text; const char* message; } bad[] = {
        {"Compound,Level,Mean\n", "no SD column"},
        {"Compound,Level,Mean,SD\nAtrazine,8,8.1,0\n", ":2: the SD \"0\""},
        {"Compound,Level,Mean,SD\nAtrazine,-8,8.1,1\n", ":2: the level \"-8\""},
        {"Compound,Level,Mean,SD\nAtrazine,8,x,1\n", "the mean \"x\""},
        {"Compound,Level,Mean,SD\n,8,8,1\n", "no compound"},
        {"Compound,Level,Mean,SD\nAtrazine,8,8,1\nAtrazine,8.0,8,2\n", ":3: a second target"},
    };
    for (const auto& c : bad) {
        WriteText(path, c.text);
        EXPECT_FALSE(targets.Read(path, error)) << c.text;
        EXPECT_THAT(error, HasSubstr(c.message));
        EXPECT_EQ(targets.Size(), 0u);
    }
    EXPECT_FALSE(targets.Read(folder / "missing.csv", error));
}

// quan-study merging these results folders into the study folder `study`, in this process.
ToolRun RunStudy(const std::string& study, const std::vector<std::string>& folders) {
    Study::StudyToolOptions options;
    options.merge = {study, folders, false, ""};
    return Captured([&](std::FILE* out, std::FILE* err) { return Study::RunStudyTool(options, out, err); });
}

// ---- merging -----------------------------------------------------------------------------------

// The example's results, run once for every merge test, copied per test under batch names.
class StudyMergeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_source = std::make_unique<TempFolder>();
        const ToolRun run = RunTool({"--out", *s_source / "results", ExampleFolder().string()});
        ASSERT_EQ(run.status, 0) << run.err;
    }
    static void TearDownTestSuite() { s_source.reset(); }

    // A results folder named `name`, optionally changed by SQL on its database.
    std::string Batch(const std::string& name, const std::string& sql = "") {
        const fs::path folder = m_folder.Path() / "runs" / name;
        fs::create_directories(folder.parent_path());
        fs::copy(s_source->Path() / "results", folder, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        if (!sql.empty()) Execute(folder / "results.sqlite", sql);
        return folder.string();
    }
    Study::MergeOutcome Merge(const std::vector<std::string>& folders, std::string& error, bool different = false,
                              const std::string& targets = "") {
        return Study::StudyMerge::Run({Out(), folders, different, targets}, m_report, error);
    }
    std::string Out() const { return m_folder / "study"; }
    fs::path StudyFile() const { return fs::path(Out()) / "study.sqlite"; }
    Table BatchRows(const std::string& batch) const {
        return Query(StudyFile(), "SELECT s.position, s.id, c.name, r.concentration, r.flags, r.passed FROM results r "
                                  "JOIN batches b ON b.id = r.batch JOIN samples s ON s.batch = r.batch AND "
                                  "s.position = r.sample JOIN compounds c ON c.id = r.compound WHERE b.name = '" +
                                      batch + "' ORDER BY s.position, c.name");
    }

    static inline std::unique_ptr<TempFolder> s_source;
    TempFolder m_folder;
    Study::MergeReport m_report;
};

const char* const kSourceRows =
    "SELECT s.position, s.id, c.name, r.concentration, r.flags, r.passed FROM results r JOIN samples s ON "
    "s.position = r.sample JOIN compounds c ON c.entry = r.entry ORDER BY s.position, c.name";

TEST_F(StudyMergeTest, MergesBatchesAndReplacesOneByName) {
    std::string error;
    const std::string lower = Batch("week-2", "UPDATE results SET concentration = concentration * 0.5");
    ASSERT_EQ(Merge({Batch("week-1"), lower, Batch("week-3")}, error), Study::MergeOutcome::kMerged) << error;
    EXPECT_EQ(m_report.added, (std::vector<std::string>{"week-1", "week-2", "week-3"}));
    EXPECT_EQ(m_report.batches, 3u);
    EXPECT_EQ(m_report.injections, 3u * 13u);
    // Every batch's rows are its own results database's.
    const Table source = Query(s_source->Path() / "results" / "results.sqlite", kSourceRows);
    ASSERT_FALSE(source.empty());
    EXPECT_EQ(BatchRows("week-1"), source);
    EXPECT_EQ(BatchRows("week-3"), source);
    EXPECT_EQ(BatchRows("week-2"), Query(fs::path(lower) / "results.sqlite", kSourceRows));
    EXPECT_NE(BatchRows("week-2"), source);

    // Re-running week 2 (now as the others) and merging it alone replaces its rows only, and it
    // keeps its place in the study; a new batch joins at the end.
    const Table week1 = BatchRows("week-1"), week3 = BatchRows("week-3");
    ASSERT_EQ(Merge({Batch("week-4"), Batch("week-2")}, error), Study::MergeOutcome::kMerged) << error;
    EXPECT_EQ(m_report.replaced, std::vector<std::string>{"week-2"});
    EXPECT_EQ(m_report.added, std::vector<std::string>{"week-4"});
    EXPECT_EQ(BatchRows("week-2"), source);
    EXPECT_EQ(BatchRows("week-1"), week1);
    EXPECT_EQ(BatchRows("week-3"), week3);
    EXPECT_EQ(Query(StudyFile(), "SELECT id, name FROM batches ORDER BY id"),
              (Table{{"1", "week-1"}, {"2", "week-2"}, {"3", "week-3"}, {"4", "week-4"}}));
    // QC statistics cover the whole study: two QCs a batch, four batches.
    EXPECT_EQ(Query(StudyFile(), "SELECT results, batches FROM qc_summary WHERE compound = 'Atrazine' AND nominal = 8"),
              (Table{{"4", "4"}}));
    for (const auto& entry : fs::directory_iterator(Out()))
        EXPECT_EQ(entry.path().filename().string().find(".partial-"), std::string::npos) << entry.path();
}

TEST_F(StudyMergeTest, QcLimitsAndViolationsNameTheirBatch) {
    std::string error;
    // Week 3's QC at 8 reads high; against stated targets (8 +- 0.1) it is beyond 3 SD.
    const std::string targets = m_folder / "targets.csv";
    WriteText(targets, "Compound,Level,Mean,SD\nAtrazine,8,8,0.1\n");
    const std::string high =
        Batch("week-3", "UPDATE results SET concentration = 8.5 WHERE sample = (SELECT position FROM samples WHERE "
                        "id = 'QC-01') AND entry = (SELECT entry FROM compounds WHERE name = 'Atrazine')");
    ASSERT_EQ(Merge({Batch("week-1"), Batch("week-2"), high}, error, false, targets), Study::MergeOutcome::kMerged)
        << error;
    EXPECT_EQ(Query(StudyFile(), "SELECT rule, batch, sample FROM westgard WHERE compound = 'Atrazine'"),
              (Table{{"1-3s", "week-3", "QC-01"}}));
    EXPECT_EQ(Query(StudyFile(), "SELECT limits_from, limit_mean, limit_sd FROM qc_summary WHERE compound = "
                                 "'Atrazine' AND nominal = 8"),
              (Table{{"targets", "8.0", "0.1"}}));
    ASSERT_EQ(m_report.violations.size(), 1u);
    EXPECT_EQ(m_report.violations[0], "batch week-3: 1-3s on Atrazine at 8 ng/mL at QC-01");
    // Per-batch accuracy: week 3's one QC at 8.5 against 8.
    EXPECT_EQ(Query(StudyFile(), "SELECT batch, results, accuracy_percent FROM qc_by_batch WHERE compound = "
                                 "'Atrazine' AND nominal = 8 AND batch = 'week-3'"),
              (Table{{"week-3", "1", "106.25"}}));
}

TEST_F(StudyMergeTest, RefusesBadInputByNameAndKeepsTheStudy) {
    std::string error;
    ASSERT_EQ(Merge({Batch("week-1"), Batch("week-2")}, error), Study::MergeOutcome::kMerged) << error;
    const std::string before = ReadText(StudyFile());

    const fs::path runs = m_folder.Path() / "runs";
    const std::string rename = "UPDATE compounds SET name = 'Lindane (gamma)' WHERE name = 'Lindane'";
    fs::create_directories(runs / "empty");
    const std::string interrupted = Batch("interrupted");
    fs::rename(fs::path(interrupted) / "results.sqlite", fs::path(interrupted) / "results.sqlite.partial-4242");
    const std::string garbage = Batch("garbage");
    WriteText(fs::path(garbage) / "results.sqlite", "not a database at all, just text");
    const std::string truncated = Batch("truncated");
    {
        const std::string whole = ReadText(fs::path(truncated) / "results.sqlite");
        WriteText(fs::path(truncated) / "results.sqlite", whole.substr(0, whole.size() / 2));
    }
    fs::create_directories(runs / "elsewhere");
    const std::string twin = (runs / "elsewhere" / "week-1").string();
    fs::copy(Batch("week-1"), twin, fs::copy_options::recursive);

    const struct { std::vector<std::string> folders; bool different; std::string message; } cases[] = {
        {{(runs / "missing").string()}, false, "batch \"missing\": " + (runs / "missing").string() + " does not exist"},
        {{(runs / "empty").string()}, false, "is not a results folder"},
        {{interrupted}, false, "half-written results.sqlite.partial-4242 of a run that was interrupted"},
        {{garbage}, false, "batch \"garbage\": " + garbage + "/results.sqlite is not a results database"},
        {{truncated}, false, "batch \"truncated\": " + truncated + "/results.sqlite is damaged or cut short"},
        {{Batch("newer", "UPDATE schema_version SET version = 3")}, false, "newer quan-batch (results schema 3"},
        {{Batch("older", "UPDATE schema_version SET version = 1")}, false, "earlier quan-batch (results schema 1)"},
        {{Batch("no-record", "DELETE FROM batch")}, false, "results.sqlite is half-written: it holds 0 batch records"},
        {{Batch("short", "DELETE FROM results WHERE sample = 13")}, false, "is half-written"},
        {{Batch("week-1"), twin}, false, "two batches are named \"week-1\""},
        {{Batch("units", "UPDATE compounds SET units = 'mg/L' WHERE name = 'Lindane'")}, true,
         "batch \"units\" reports \"Lindane\" in \"mg/L\", batch \"week-1\" in \"ng/mL\""},
        {{Batch("weighting", "UPDATE curves SET WeightingFunction = 2 WHERE compound = 'Lindane'")}, true,
         "batch \"weighting\" calibrates \"Lindane\" differently from batch \"week-1\": weighting 2 against"},
        {{Batch("unset", "UPDATE curves SET WeightingFunction = NULL WHERE compound = 'Lindane'")}, true,
         "batch \"unset\" calibrates \"Lindane\" differently from batch \"week-1\": weighting "},
        {{Batch("renamed", rename)}, false,
         "batch \"renamed\" has other compounds than batch \"week-1\": it lacks \"Lindane\"; it adds \"Lindane (gamma)\""},
        {{Batch("twice", "UPDATE compounds SET name = 'Lindane' WHERE name = 'Atrazine'")}, true,
         "names the compound \"Lindane\" twice"},
        {{Batch("week-3")}, false, ""},  // a good batch with a bad targets file
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const std::string targets = c.message.empty() ? m_folder / "no-such-targets.csv" : "";
        EXPECT_EQ(Merge(c.folders, error, c.different, targets), Study::MergeOutcome::kRefused);
        EXPECT_THAT(error, HasSubstr(c.message));
        EXPECT_EQ(ReadText(StudyFile()), before);
    }
    EXPECT_EQ(Merge({}, error), Study::MergeOutcome::kRefused);

    // With --different-compounds a renamed compound joins as a compound of its own.
    ASSERT_EQ(Merge({Batch("renamed", rename)}, error, true), Study::MergeOutcome::kMerged) << error;
    EXPECT_EQ(Query(StudyFile(), "SELECT count(*) FROM results WHERE compound = (SELECT id FROM compounds WHERE name "
                                 "= 'Lindane (gamma)')"),
              (Table{{"13"}}));
    EXPECT_EQ(m_report.compounds, 18u);

    // A study database of another layout, or a file that is none, is never overwritten.
    Execute(StudyFile(), "UPDATE study_schema_version SET version = 2");
    EXPECT_EQ(Merge({Batch("week-5")}, error), Study::MergeOutcome::kRefused);
    EXPECT_THAT(error, HasSubstr("study schema 2"));
    WriteText(StudyFile(), "notes");
    EXPECT_EQ(Merge({Batch("week-5")}, error), Study::MergeOutcome::kRefused);
    EXPECT_THAT(error, HasSubstr("is not a study database"));
    EXPECT_EQ(ReadText(StudyFile()), "notes");
}

TEST_F(StudyMergeTest, PageKeepsNamesFromTheBatchesAsText) {
    // Names come from outside files: markup or a quote in them must stay text in the page, in
    // its tables and in the data its script reads.
    std::string error;
    const std::string odd = "Lindane \"gamma\" </script><b>";
    const std::string folder = Batch("week<1>", "UPDATE compounds SET name = '" + odd + "' WHERE name = 'Lindane';"
                                                "UPDATE samples SET id = 'QC-01\n&' WHERE id = 'QC-01'");
    ASSERT_EQ(Merge({folder}, error), Study::MergeOutcome::kMerged) << error;
    const std::string page = ReadText(fs::path(Out()) / "study.html");
    const size_t data = page.find("<script type=\"application/json\" id=\"study-data\">");
    ASSERT_NE(data, std::string::npos);
    const size_t end = page.find("</script>", data);
    ASSERT_NE(end, std::string::npos);
    const std::string json = page.substr(data, end - data);
    // What the page's script reads is one JSON value, whatever the names hold.
    Station::JsonValue parsed;
    const size_t open = json.find('>') + 1;
    EXPECT_TRUE(Station::JsonValue::Parse(std::string_view(json).substr(open), parsed, error)) << error;
    EXPECT_NE(json.find("\"Lindane \\\"gamma\\\" \\u003c/script>\\u003cb>\""), std::string::npos);
    EXPECT_NE(json.find("\"QC-01\\u000a&\""), std::string::npos);
    EXPECT_NE(json.find("\"week\\u003c1>\""), std::string::npos);
    // Outside the data: escaped markup, and no element the names would have opened.
    EXPECT_NE(page.find("Lindane &quot;gamma&quot; &lt;/script&gt;&lt;b&gt;"), std::string::npos);
    EXPECT_EQ(page.find("<b>"), std::string::npos);
    EXPECT_NE(page.find("<td class=\"t\">week&lt;1&gt;</td>"), std::string::npos);
    EXPECT_NE(page.find("1 batch, 13 injections, 17 compounds, 30 QC levels;"), std::string::npos);
}

TEST_F(StudyMergeTest, ToolPrintsWhatItMerged) {
    const ToolRun run = RunStudy(Out(), {Batch("week-1"), Batch("week-2")});
    EXPECT_EQ(run.status, Study::kStudyExitOK);
    EXPECT_EQ(run.err, "");
    EXPECT_THAT(run.out, HasSubstr("Added: week-1, week-2\n2 batches, 26 injections, 17 compounds, 30 QC levels.\n"
                                   "No Westgard violations.\n"));
    // Both QCs of a batch carry its internal standards at 10: one level of four results.
    EXPECT_EQ(Query(StudyFile(), "SELECT results, batches FROM qc_summary WHERE compound = 'Atrazine-d5'"),
              (Table{{"4", "2"}}));
}

TEST(StudyTool, OptionsAndExitStatus) {
    Study::StudyToolOptions options;
    std::string error;
    EXPECT_TRUE(Study::ParseStudyOptions({"--out", "s", "--different-compounds", "--targets", "t.csv", "a", "b"},
                                         options, error));
    EXPECT_EQ(options.merge.out, "s");
    EXPECT_EQ(options.merge.targetsFile, "t.csv");
    EXPECT_TRUE(options.merge.differentCompounds);
    EXPECT_EQ(options.merge.resultsFolders, (std::vector<std::string>{"a", "b"}));
    const struct { std::vector<std::string> args; const char* message; } bad[] = {
        {{}, "no results folders"}, {{"--out"}, "--out needs a value"}, {{"--frobnicate", "a"}, "unknown option"}};
    for (const auto& c : bad) {
        Study::StudyToolOptions fresh;
        EXPECT_FALSE(Study::ParseStudyOptions(c.args, fresh, error));
        EXPECT_THAT(error, HasSubstr(c.message));
    }
    Study::StudyToolOptions help;
    EXPECT_TRUE(Study::ParseStudyOptions({"-h"}, help, error));
    EXPECT_TRUE(help.help);

    TempFolder folder;
    const ToolRun run = RunStudy(folder / "study", {folder / "nothing"});
    EXPECT_EQ(run.status, Study::kStudyExitBadInput);
    EXPECT_THAT(run.err, HasSubstr("Nothing was merged"));
    EXPECT_FALSE(fs::exists(folder / "study"));
}

}  // namespace
