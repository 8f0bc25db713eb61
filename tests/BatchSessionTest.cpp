// The batch session on the bundled example: inputs held in memory run as the folder does, the
// options quan-batch and the Python module pass are checked by the session itself, the rule set
// judges the batch into the exit status, the hooks see what they promise, and a session that
// cannot go on says which step stopped it.
#include <gtest/gtest.h>

#include "BatchTestSupport.h"
#include "workflow/batch/BatchSession.h"
#include "workflow/review/BatchReview.h"

namespace {

using namespace batch_test;
using namespace Batch;

TEST(BatchSession, InputsHeldInMemoryRunAsTheFolderDoes) {
    SessionOptions options;
    options.threads = 2;
    options.keepRows = true;
    BatchSession fromFolder(options);
    const BatchOutcome& folder = fromFolder.Run(ExampleFolder().string());
    ASSERT_EQ(folder.end, SessionEnd::kCompleted) << Quan::ProblemsText(folder.problems);
    EXPECT_EQ(folder.ExitStatus(), kExitOK);
    ASSERT_EQ(folder.results.rows.size(), 13u * 17u);
    ASSERT_EQ(folder.counts.size(), 13u);
    EXPECT_EQ(folder.counts[0].compounds, 17);
    EXPECT_EQ(folder.SampleStatus(0), "ok");
    EXPECT_EQ(folder.SampleStatus(13), "");

    BatchInput input;
    Quan::Problems problems;
    ASSERT_TRUE(ReadBatch(ExampleFolder().string(), input, problems, true));
    BatchSession inMemory(options);
    std::vector<std::string> seen;
    int fitted = 0;
    inMemory.hooks.onSample = [&seen](const SampleResult& sample, const std::vector<ResultRow>& rows, std::string&) {
        seen.push_back(sample.id + " " + std::to_string(rows.size()));
        return true;
    };
    inMemory.hooks.beforeFit = [&fitted](CCalibrationList& curves) { fitted = curves.GetSize(); };
    EXPECT_FALSE(inMemory.Calibrate());  // not opened yet
    ASSERT_TRUE(inMemory.Open(std::move(input)));
    EXPECT_FALSE(inMemory.Finish());  // not calibrated yet
    ASSERT_TRUE(inMemory.Calibrate());
    EXPECT_EQ(fitted, 17);
    EXPECT_EQ(inMemory.Curves().GetSize(), 17);
    ASSERT_TRUE(inMemory.Finish());
    const BatchOutcome& memory = inMemory.Outcome();
    ASSERT_EQ(seen.size(), 13u);
    EXPECT_EQ(seen.front(), "STD-01 17");  // injection order
    ASSERT_EQ(memory.results.rows.size(), folder.results.rows.size());
    for (size_t i = 0; i < memory.results.rows.size(); ++i) {
        const ResultRow& a = memory.results.rows[i];
        const ResultRow& b = folder.results.rows[i];
        EXPECT_EQ(a.compound, b.compound);
        EXPECT_EQ(a.found, b.found);
        EXPECT_EQ(a.validConc, b.validConc) << a.compound;
        if (a.validConc) {
            EXPECT_EQ(a.conc, b.conc) << a.compound;
        }
    }
}

TEST(BatchSession, RuleSetJudgesTheBatchIntoTheExitStatus) {
    SessionOptions options;
    options.acceptance = "sante";
    BatchSession session(options);
    const BatchOutcome& outcome = session.Run(ExampleFolder().string());
    ASSERT_EQ(outcome.end, SessionEnd::kCompleted) << Quan::ProblemsText(outcome.problems);
    EXPECT_EQ(outcome.review.rules, RuleSet::kPesticideResidues);
    EXPECT_EQ(outcome.results.acceptance.rules, RuleSet::kPesticideResidues);
    EXPECT_FALSE(outcome.results.acceptance.verdicts.empty());
    const int failures = outcome.results.acceptance.Failures();
    EXPECT_EQ(outcome.ExitStatus(), failures > 0 ? kExitRejected : kExitOK);
    // The summary says how many checks failed, as quan-batch prints it.
    const std::string summary = ReviewSummaryText(outcome.results.acceptance, outcome.outliers);
    EXPECT_NE(summary.find("Acceptance (SANTE)"), std::string::npos) << summary;
}

TEST(BatchSession, OptionsAreCheckedBeforeAnythingRuns) {
    TempFolder temp;
    const struct {
        void (*set)(SessionOptions&);
        const char* expected;
    } cases[] = {
        {[](SessionOptions& o) { o.acceptance = "FDA"; }, "the acceptance rules are none, M10 or SANTE, not \"FDA\""},
        {[](SessionOptions& o) { o.threads = 0; }, "the number of threads is from 1 to 256, not 0"},
        {[](SessionOptions& o) { o.outlierLimit = -1.0; }, "the outlier limit is a studentized residual above 0"},
        {[](SessionOptions& o) {
             o.curvesFile = "a";
             o.exclusionsFile = "b";
         },
         "give one"},
        {[](SessionOptions& o) { o.curvesFile = "/nonexistent/results.sqlite"; }, "/nonexistent/results.sqlite"},
    };
    for (const auto& c : cases) {
        SessionOptions options;
        options.out = temp / "out";
        c.set(options);
        BatchSession session(options);
        const BatchOutcome& outcome = session.Run(ExampleFolder().string());
        EXPECT_EQ(outcome.end, SessionEnd::kBadInput) << c.expected;
        EXPECT_EQ(outcome.ExitStatus(), kExitBadInput);
        EXPECT_NE(Quan::ProblemsText(outcome.problems).find(c.expected), std::string::npos)
            << Quan::ProblemsText(outcome.problems);
        EXPECT_FALSE(fs::exists(temp.Path() / "out")) << c.expected;
    }
}

TEST(BatchSession, AStoppedSessionSaysWhichStepStoppedIt) {
    TempFolder temp;
    // A hook that refuses a sample stops the run; nothing is written.
    SessionOptions options;
    options.out = temp / "out";
    BatchSession refused(options);
    refused.hooks.onSample = [](const SampleResult& sample, const std::vector<ResultRow>&, std::string& error) {
        error = "no room for " + sample.id;
        return sample.id != "QC-01";
    };
    EXPECT_EQ(refused.Run(ExampleFolder().string()).end, SessionEnd::kRunFailed);
    EXPECT_EQ(refused.Outcome().ExitStatus(), kExitFailed);
    EXPECT_FALSE(fs::exists(temp.Path() / "out" / "results.csv"));

    // A results folder that cannot be made: the outputs fail, with the reason.
    WriteText(temp.Path() / "file", "not a folder");
    options.out = temp / "file/out";
    BatchSession unwritable(options);
    EXPECT_EQ(unwritable.Run(ExampleFolder().string()).end, SessionEnd::kWriteFailed);
    EXPECT_EQ(unwritable.Outcome().ExitStatus(), kExitFailed);
    EXPECT_FALSE(unwritable.Outcome().failure.empty());

    // A batch folder that is not there: bad input, every problem named.
    BatchSession missing(SessionOptions{});
    EXPECT_EQ(missing.Run((temp.Path() / "none").string()).ExitStatus(), kExitBadInput);
    EXPECT_FALSE(missing.Outcome().problems.empty());
}

}  // namespace
