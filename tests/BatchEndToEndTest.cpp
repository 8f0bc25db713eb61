// The bundled example through the whole batch tool: the report page in a browser, the analyst's
// exclusions, stored curves, outputs that do not depend on the number of threads, and the
// concentrations against the batch's stated true values.
#include "BatchTestSupport.h"
#include "workflow/support/Csv.h"

namespace {

using namespace batch_test;

// The example run once for the suite.
class BatchEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        temp_ = new TempFolder();
        out_ = temp_->Path() / "out";
        run_ = RunTool({ExampleFolder().string(), "--out", out_.string()});
    }
    static void TearDownTestSuite() { delete temp_; }
    void SetUp() override { ASSERT_EQ(run_.status, Batch::kExitOK) << run_.err; }

    static inline TempFolder* temp_ = nullptr;
    static inline fs::path out_;
    static inline ToolRun run_;
};

TEST_F(BatchEndToEnd, OutputsAreTheSameForOneAndFourThreads) {
    TempFolder temp;
    const fs::path four = temp.Path() / "four";
    ASSERT_EQ(RunTool({ExampleFolder().string(), "--out", four.string(), "-j", "4"}).status, Batch::kExitOK);
    for (const char* name : {"results.csv", "matrix.csv", "curves.txt", "report.html", "results.sqlite"})
        EXPECT_EQ(ReadText(four / name), ReadText(out_ / name)) << name;
}

// Every result the example states a true value for comes out within 2 % of it and passes; the
// two planted faults are flagged as the example says; nothing is found in the blank.
TEST_F(BatchEndToEnd, ResultsRecoverTheExamplesTrueConcentrations) {
    std::vector<Csv::Row> truth, results;
    std::string error;
    ASSERT_TRUE(Csv::Parse(ReadText(ExampleFolder() / "truth.csv"), truth, error)) << error;
    ASSERT_TRUE(Csv::Parse(ReadText(out_ / "results.csv"), results, error)) << error;
    std::map<std::pair<std::string, std::string>, const Csv::Row*> byKey;
    for (const Csv::Row& row : results) byKey[{row.cells[0], row.cells[2]}] = &row;
    int checked = 0;
    for (size_t i = 1; i < truth.size(); ++i) {
        const auto& t = truth[i].cells;
        SCOPED_TRACE(t[0] + " " + t[1]);
        const auto found = byKey.find({t[0], t[1]});
        ASSERT_NE(found, byKey.end());
        const auto& r = found->second->cells;
        if (t[3] == "ion ratio") {
            EXPECT_NE(r[13].find("IRWinFlag"), std::string::npos) << r[13];
        } else if (t[3] == "above range") {
            EXPECT_NE(r[13].find("MaxConcFlag"), std::string::npos) << r[13];
        } else {
            EXPECT_EQ(r[13], "pass");
            EXPECT_EQ(r[7], "ng/mL");
            EXPECT_NEAR(std::stod(r[6]), std::stod(t[2]), 0.02 * std::stod(t[2]));
            ++checked;
        }
    }
    EXPECT_GT(checked, 100);
    for (const char* compound : {"Atrazine", "Lindane"}) EXPECT_EQ(byKey.at({"BLANK-01", compound})->cells[13], "flagged: NotFound");
}

// The number after "key": in the page's self-test answer, or -1.
long SelfTestNumber(const std::string& answer, const std::string& key) {
    const size_t at = answer.find("\"" + key + "\":");
    return at == std::string::npos ? -1 : std::strtol(answer.c_str() + at + key.size() + 3, nullptr, 10);
}

// The report in a real browser: headless Chromium opens it with its self-test hook, which
// reports what the page shows after it has driven it (filter, calibration view).
TEST_F(BatchEndToEnd, ReportWorksInABrowser) {
    std::string dom;
    ASSERT_TRUE(BrowserDom(out_ / "report.html", "#selftest", dom)) << dom;
    const size_t start = dom.find("<pre id=\"selftest\">");
    ASSERT_NE(start, std::string::npos) << "the page's script did not run to its end:\n" << dom.substr(0, 2000);
    const std::string answer = dom.substr(start, dom.find("</pre>", start) - start);
    EXPECT_NE(answer.find("\"errors\":[]"), std::string::npos) << answer;

    // What the grid should show, counted in the database: all rows, the first entry's (no other
    // name contains "Atrazine-d5"), and those found but not passed.
    const Table counts =
        Query(out_ / "results.sqlite", "SELECT count(*), sum(entry = 1), sum(found = 1 AND passed = 0) FROM results");
    ASSERT_EQ(counts.size(), 1u);
    const long flagged = std::stol(counts[0][2]);
    EXPECT_EQ(SelfTestNumber(answer, "rows"), std::stol(counts[0][0])) << answer;
    EXPECT_GT(SelfTestNumber(answer, "rendered"), 5) << answer;
    EXPECT_LT(SelfTestNumber(answer, "rendered"), 100) << answer;  // only what is on screen
    EXPECT_EQ(SelfTestNumber(answer, "filtered"), std::stol(counts[0][1])) << answer;
    EXPECT_EQ(SelfTestNumber(answer, "flagged"), flagged) << answer;
    EXPECT_GE(flagged, 2);
    // The first compound with a drawn curve (an analyte: the internal standards sit at one
    // concentration) shows its six standards, the STD-06 point excluded in batch.csv included.
    EXPECT_EQ(SelfTestNumber(answer, "points"), 6) << answer;
    EXPECT_EQ(SelfTestNumber(answer, "residuals"), 6) << answer;
    EXPECT_EQ(SelfTestNumber(answer, "accuracyRows"), 6) << answer;
    EXPECT_GT(SelfTestNumber(answer, "curve"), 40) << answer;
    // That compound is Dichlorvos (entry 3); the click on its third standard is offered as a
    // file to save, in the form --exclusions reads.
    EXPECT_EQ(SelfTestNumber(answer, "entry"), 3) << answer;
    EXPECT_THAT(answer,
                HasSubstr("\"exclusions\":\"Compound,Standard,Reason\\nDichlorvos,STD-03,excluded in the report\\n\""));
    EXPECT_NE(answer.find("\"saveLink\":true"), std::string::npos) << answer;
}

// The analyst's exclusions under ICH M10: the one saved from the report page and STD-06's from
// the Exclude column leave four of Dichlorvos's six standards, so its calibration fails, for
// that reason, in the summary and the database.
TEST_F(BatchEndToEnd, ExclusionsSavedFromTheReportAreAppliedAndShownWithWhoMadeThem) {
    TempFolder temp;
    const fs::path file = temp.Path() / "exclusions.csv";
    WriteText(file, "Compound,Standard,Reason\nDichlorvos,STD-03,excluded in the report\n");
    const ToolRun run = RunTool({ExampleFolder().string(), "--out", temp / "out", "--exclusions", file.string(),
                                 "--acceptance", "ich-m10"});
    ASSERT_EQ(run.status, Batch::kExitRejected) << run.err;
    const std::string reason = "4 of 6 standards pass; 75 % must; at least 6 must; outside the limits: STD-03 (excluded), "
                               "STD-06 (excluded)";
    EXPECT_THAT(run.out, HasSubstr("  Dichlorvos standards: " + reason + "\n"));
    const fs::path database = temp.Path() / "out" / "results.sqlite";
    EXPECT_EQ(Query(database, "SELECT standard, excluded_by, exclusion_reason FROM calibration_points "
                              "WHERE entry = 3 AND excluded = 1 ORDER BY point"),
              (Table{{"STD-03", "analyst", "excluded in the report"}, {"STD-06", "analyst", "Exclude column of batch.csv"}}));
    EXPECT_EQ(Query(database, "SELECT rule_set, entry, rule, reason FROM acceptance WHERE passed = 0"),
              (Table{{"M10", "3", "standards", reason}}));
    EXPECT_EQ(Query(database, "SELECT count(*) FROM acceptance WHERE compound = 'Atrazine-d5'"), Table{{"0"}})
        << "an internal standard";

    // A file naming what the batch does not hold is refused before anything runs.
    WriteText(file, "Compound,Standard\nNope,STD-03\nDichlorvos,QC-01\n");
    const ToolRun bad = RunTool({ExampleFolder().string(), "--out", temp / "bad", "--exclusions", file.string()});
    EXPECT_EQ(bad.status, Batch::kExitBadInput);
    EXPECT_THAT(bad.err, AllOf(HasSubstr("exclusions.csv:2:1: \"Nope\" is not a method entry"),
                               HasSubstr("exclusions.csv:3:2: \"QC-01\" is not a standard of the batch")));
    EXPECT_FALSE(fs::exists(temp.Path() / "bad"));
}

TEST_F(BatchEndToEnd, StoredCurvesGiveTheSameConcentrationsAsCalibrating) {
    TempFolder temp;
    const fs::path again = temp.Path() / "again";
    const ToolRun reuse = RunTool({ExampleFolder().string(), "--out", again.string(), "--curves", (out_ / "results.sqlite").string()});
    ASSERT_EQ(reuse.status, Batch::kExitOK) << reuse.err;
    EXPECT_EQ(ReadText(again / "results.csv"), ReadText(out_ / "results.csv"));
    EXPECT_EQ(ReadText(again / "curves.txt"), ReadText(out_ / "curves.txt"));
    // A stored-curves file that is not one is refused before anything runs.
    const ToolRun bad = RunTool({ExampleFolder().string(), "--out", (temp.Path() / "bad").string(), "--curves",
                                 (out_ / "results.csv").string()});
    EXPECT_EQ(bad.status, Batch::kExitBadInput);
    EXPECT_NE(bad.err.find("results.csv"), std::string::npos) << bad.err;
    EXPECT_FALSE(fs::exists(temp.Path() / "bad"));
}

}  // namespace
