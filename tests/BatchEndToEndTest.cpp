// The bundled example through the whole batch tool: the concentrations it was generated from
// come back, the samples made to fail are flagged for the reason they were made to fail, and the
// outputs do not depend on the number of threads.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "BatchTestSupport.h"
#include "tools/batch/ResultsDatabase.h"
#include "tools/batch/BatchRun.h"

namespace {

using namespace batch_test;

using Row = std::map<std::string, std::string>;

const Row* Find(const std::vector<Row>& rows, const std::string& sample, const std::string& compound) {
    for (const Row& row : rows)
        if (row.at("Sample") == sample && row.at("Compound") == compound) return &row;
    return nullptr;
}

class BatchEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        temp_ = new TempFolder();
        out_ = temp_->Path() / "out";
        run_ = RunTool({ExampleFolder().string(), "--out", out_.string()});
    }
    static void TearDownTestSuite() { delete temp_; }

    static TempFolder* temp_;
    static fs::path out_;
    static ToolRun run_;
};
TempFolder* BatchEndToEnd::temp_ = nullptr;
fs::path BatchEndToEnd::out_;
ToolRun BatchEndToEnd::run_;

TEST_F(BatchEndToEnd, EveryUnflaggedCompoundComesBackWithinTwoPercentOfItsTrueValue) {
    ASSERT_EQ(run_.status, Batch::kExitOK) << run_.err;
    const std::vector<Row> results = ReadResults(out_ / "results.csv");
    const std::vector<Row> truth = ReadResults(ExampleFolder() / "truth.csv");  // same reader, other columns
    ASSERT_GT(truth.size(), 100u);
    int checked = 0;
    for (const Row& expected : truth) {
        SCOPED_TRACE(expected.at("SampleID") + " " + expected.at("Compound"));
        const Row* row = Find(results, expected.at("SampleID"), expected.at("Compound"));
        ASSERT_NE(row, nullptr);
        const double trueConc = std::stod(expected.at("TrueConc"));
        const std::string flag = expected.at("ExpectedFlag");
        const std::string& verdict = row->at("Result");
        if (flag == "ion ratio") {
            EXPECT_NE(verdict.find("IRWinFlag"), std::string::npos) << verdict;
        } else if (flag == "above range") {
            EXPECT_NE(verdict.find("MaxConcFlag"), std::string::npos) << verdict;
        } else {
            EXPECT_EQ(verdict, "pass");
            ASSERT_FALSE(row->at("Concentration").empty());
            EXPECT_NEAR(std::stod(row->at("Concentration")), trueConc, 0.02 * trueConc);
            EXPECT_EQ(row->at("Units"), "ng/mL");
            ++checked;
        }
    }
    EXPECT_GT(checked, 100);
}

TEST_F(BatchEndToEnd, BlankFindsNoAnalyteAndTotalsAddTheirMembers) {
    ASSERT_EQ(run_.status, Batch::kExitOK) << run_.err;
    const std::vector<Row> results = ReadResults(out_ / "results.csv");
    ASSERT_EQ(results.size(), 13u * 17u);  // every sample, every method entry
    for (const Row& row : results) {
        if (row.at("Sample") != "BLANK-01" || row.at("Compound").find("-d") != std::string::npos ||
            row.at("Compound").find("total") != std::string::npos)
            continue;
        EXPECT_EQ(row.at("Result"), "flagged: NotFound") << row.at("Compound");
        EXPECT_TRUE(row.at("Concentration").empty());
    }
    // SAMPLE-02 holds Endosulfan I at 9.5 and II at 5.5.
    const Row* total = Find(results, "SAMPLE-02", "Endosulfan (total)");
    ASSERT_NE(total, nullptr);
    EXPECT_EQ(total->at("Result"), "pass");
    const double sum = std::stod(Find(results, "SAMPLE-02", "Endosulfan I")->at("Concentration")) +
                       std::stod(Find(results, "SAMPLE-02", "Endosulfan II")->at("Concentration"));
    EXPECT_NEAR(std::stod(total->at("Concentration")), sum, 1e-6 * sum);
    EXPECT_NEAR(sum, 15.0, 0.3);
    // The summary names every sample and says where the report is.
    for (const char* id : {"STD-01", "QC-02", "BLANK-01", "SAMPLE-04"}) EXPECT_NE(run_.out.find(id), std::string::npos);
    EXPECT_NE(run_.out.find("report.html"), std::string::npos);
}

TEST_F(BatchEndToEnd, OutputsAreTheSameForOneAndFourThreads) {
    ASSERT_EQ(run_.status, Batch::kExitOK) << run_.err;
    TempFolder temp;
    const fs::path four = temp.Path() / "four";
    ASSERT_EQ(RunTool({ExampleFolder().string(), "--out", four.string(), "-j", "4"}).status, Batch::kExitOK);
    for (const char* name : {"results.csv", "curves.txt", "report.html", "results.sqlite"})
        EXPECT_EQ(ReadText(four / name), ReadText(out_ / name)) << name;
}

TEST_F(BatchEndToEnd, StoredCurvesGiveTheSameConcentrationsAsCalibrating) {
    ASSERT_EQ(run_.status, Batch::kExitOK) << run_.err;
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

TEST(BatchCalibration, StandardsGiveOnePointEachAndTheAnalystsExclusionIsKept) {
    Batch::BatchInput input;
    std::vector<Batch::Problem> problems;
    ASSERT_TRUE(Batch::ReadBatch(ExampleFolder().string(), input, problems, false));
    CCalibrationList curves;
    Batch::RunOptions options;
    options.threads = 2;
    ASSERT_TRUE(Batch::CalibrateBatch(input, options, curves, problems));
    EXPECT_TRUE(problems.empty());
    ASSERT_EQ(curves.GetSize(), input.method.GetSize());
    for (int i = 0; i < curves.GetSize(); ++i) {
        const CCalibrationData& curve = curves.GetAt(i);
        const CMethodData& entry = input.method.GetAt(i);
        SCOPED_TRACE(entry.GetName());
        EXPECT_EQ(curve.GetCurveValid(), 1);
        if (entry.GetTotalsEntry()) continue;  // built from its members
        ASSERT_EQ(curve.GetNumCaliPts(), 6);
        for (int p = 0; p < 6; ++p) {
            // STD-06 is the top level; the analyst excluded its Dichlorvos point.
            const bool excluded = entry.GetName() == "Dichlorvos" && p == 5;
            EXPECT_EQ((curve.GetCaliPoint(p).Flags & kCaliPointExcluded) != 0, excluded) << p;
            EXPECT_EQ(GetFileInfoName(curve.GetCaliFile(p)), "STD-0" + std::to_string(p + 1));
        }
    }
    // The internal standards' points sit at their fixed concentration; the analytes' at the levels.
    EXPECT_DOUBLE_EQ(curves.GetAt(0).GetCaliPoint(3).Conc, 10.0);
    EXPECT_DOUBLE_EQ(curves.GetAt(2).GetCaliPoint(4).Conc, 20.0);

    // The same batch quantified twice through the same engines gives the same rows.
    Batch::BatchResults first, second;
    ASSERT_TRUE(Batch::QuantifyBatch(input, curves, options, first, problems));
    options.threads = 1;
    ASSERT_TRUE(Batch::QuantifyBatch(input, curves, options, second, problems));
    ASSERT_EQ(first.rows.size(), second.rows.size());
    for (size_t r = 0; r < first.rows.size(); ++r)
        EXPECT_EQ(Batch::ResultCells(first, first.rows[r]), Batch::ResultCells(second, second.rows[r]));
    EXPECT_EQ(first.rows[0].PeakFieldTexts().size(), PeakFieldList().size());

    // Curves stored in another order: quantification finds each compound's curve by name and
    // copies it into the slot. On several threads, every sample still gets what it got above.
    CCalibrationList shuffled = curves;
    shuffled.SetAt(2, curves.GetAt(3));
    shuffled.SetAt(3, curves.GetAt(2));
    Batch::BatchResults third;
    options.threads = 3;
    ASSERT_TRUE(Batch::QuantifyBatch(input, shuffled, options, third, problems));
    ASSERT_EQ(third.rows.size(), first.rows.size());
    for (size_t r = 0; r < first.rows.size(); ++r)
        EXPECT_EQ(Batch::ResultCells(third, third.rows[r]), Batch::ResultCells(first, first.rows[r])) << r;
    EXPECT_EQ(shuffled.GetAt(2).GetName(), curves.GetAt(3).GetName());  // the caller's list is not changed
}

}  // namespace
