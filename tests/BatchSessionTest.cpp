// The batch session on the bundled example: inputs held in memory run as the folder does, the
// options quan-batch and the Python module pass are checked by the session itself, the rule set
// judges the batch into the exit status, the hooks see what they promise, and a session that
// cannot go on says which step stopped it.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <tuple>

#include "BatchTestSupport.h"
#include "workflow/batch/BatchSession.h"
#include "workflow/batch/Elements.h"
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
    // The summary's counts per sample are what its rows say: found, and found but not passing.
    std::vector<int> found(13), flagged(13);
    for (const ResultRow& row : folder.results.rows) {
        found.at(row.sample) += row.found;
        flagged.at(row.sample) += row.found && row.Verdict() != "pass";
    }
    for (size_t k = 0; k < 13; ++k) {
        EXPECT_EQ(std::tie(folder.counts[k].found, folder.counts[k].flagged), std::tie(found[k], flagged[k])) << k;
    }
    EXPECT_GT(std::accumulate(flagged.begin(), flagged.end(), 0), 0);
    EXPECT_LT(std::accumulate(flagged.begin(), flagged.end(), 0), std::accumulate(found.begin(), found.end(), 0));

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
        EXPECT_EQ(std::tie(a.compound, a.found, a.validConc), std::tie(b.compound, b.found, b.validConc)) << i;
        EXPECT_EQ(a.validConc ? a.conc : 0.0, b.validConc ? b.conc : 0.0) << a.compound;  // no concentration: none
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
    EXPECT_THAT(summary, HasSubstr("Acceptance (SANTE)"));
}

TEST(BatchSession, OptionsAreCheckedBeforeAnythingRuns) {
    TempFolder temp;
    const struct { void (*set)(SessionOptions&); const char* expected; } cases[] = {
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
        EXPECT_THAT(Quan::ProblemsText(outcome.problems), HasSubstr(c.expected));
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

// The element table of a semi-quantitative batch: isotopes fill slots from 1 in order (response
// factor 1 unless given), interferences name an isotope slot in use; the first bad row is named
// with its line and nothing of the table is kept; the database written holds the records.
TEST(ElementTable, ReadsIsotopesAndInterferencesAndNamesTheFirstBadRow) {
    TempFolder temp;
    const std::string header = "Symbol,AtomicNumber,Mass,ResponseFactor,ScaleFactor,Isotopes,Interferences\n";
    WriteText(temp.Path() / "good.csv", header + "Cu,29,63.546,2.5,0.5,62.93:69.17|64.93:30.83:0.9,ArO:1:62.92:0.002\n"
                                                 "Li,3,6.941,1,1,,\nBe,4,9.01,1,1\n"
                                                 // every limit at its edge: accepted
                                                 "H,1,1.008,1,1,1:0|2:100|3:1|4:1|5:1|6:1|7:1|8:1|9:1|10:1,"
                                                 "abcdefghijklmnopqrstuvw:1:1:1|b:10:1:1|c:2:1:1|d:3:1:1\n"
                                                 "abcdefghijklmnopqrstuvwxyz,118,294,1,1\n");
    std::vector<Element> elements;
    std::string error;
    ASSERT_TRUE(ReadElementsFile((temp.Path() / "good.csv").string(), elements, error)) << error;
    ASSERT_EQ(elements.size(), 5u);
    const tagELEMENTstruct& cu = elements[0].record;
    EXPECT_EQ(elements[0].atomicNumber, 29);
    EXPECT_STREQ(cu.Symbol, "Cu");
    // Copper's masses and factors: its own, its isotopes' (the first's response factor 1, not
    // given) and its interference's.
    EXPECT_EQ((std::vector<double>{cu.ElementMass, cu.ResponseFactor, cu.ScaleFactor, cu.Isotopes[1].Mass,
                                   cu.Isotopes[1].Abundance, cu.Isotopes[1].ResponseFactor, cu.Isotopes[2].ResponseFactor,
                                   cu.Interferences[0].Mass, cu.Interferences[0].Factor}),
              (std::vector<double>{63.546, 2.5, 0.5, 62.93, 69.17, 1.0, 0.9, 62.92, 0.002}));
    // Slots in use: isotopes 1 and 2, one interference on isotope slot 1.
    EXPECT_EQ(std::vector<int>(cu.IsotopeInUse, cu.IsotopeInUse + 4), (std::vector<int>{0, 1, 1, 0}));
    EXPECT_EQ((std::vector<int>{cu.InterferenceInUse[0], cu.InterferenceInUse[1], cu.Interferences[0].IsotopeSlot}),
              (std::vector<int>{1, 0, 1}));
    EXPECT_STREQ(cu.Interferences[0].Name, "ArO");
    EXPECT_EQ(elements[1].record.IsotopeInUse[1], 0);
    const tagELEMENTstruct& h = elements[3].record;
    EXPECT_EQ((std::vector<int>{h.IsotopeInUse[10], h.InterferenceInUse[3], h.Interferences[1].IsotopeSlot}),
              (std::vector<int>{1, 1, 10}));
    EXPECT_EQ(h.Isotopes[10].Mass, 10.0);
    EXPECT_STREQ(h.Interferences[0].Name, "abcdefghijklmnopqrstuvw");
    EXPECT_EQ(elements[4].atomicNumber, 118);
    EXPECT_STREQ(elements[4].record.Symbol, "abcdefghijklmnopqrstuvwxyz");

    const struct { const char* row; const char* message; } bad[] = {
        {"Cu,29,63.5,1", "expected 5 to 7 columns"},
        {",29,63.5,1,1", "symbol must be 1 to 26 characters"},
        {"abcdefghijklmnopqrstuvwxyz_,29,63.5,1,1", "symbol must be 1 to 26 characters"},
        {"Cu,29,63.5,1,1,62.9:69,abcdefghijklmnopqrstuvwx:1:62.9:0.1", "interference name must be 1 to 23 characters"},
        {"Cu,29,63.5,1,1,62.9:69,ArO:11:62.9:0.1", "names an isotope slot not in use"},
        {"Cu,29,63.5,1,1,62.9:69:x", "is not mass:abundance"},
        {"Cu,29,63.5,1,1,62.9:69:1:2", "is not mass:abundance"},
        {"Cu,0,63.5,1,1", "atomic number must be 1 to 118"},
        {"Cu,119,63.5,1,1", "atomic number must be 1 to 118"},
        {"Cu,29,0,1,1", "element mass must be a positive number"},
        {"Cu,29,63.5,x,1", "response factor is not a number"},
        {"Cu,29,63.5,1,x", "scale factor is not a number"},
        {"Cu,29,63.5,1,1,62.9", "is not mass:abundance"},
        {"Cu,29,63.5,1,1,62.9:100.5", "out of range"},
        {"Cu,29,63.5,1,1,0:50", "out of range"},
        {"Cu,29,63.5,1,1,62.9:-1", "out of range"},
        {"Cu,29,63.5,1,1,1:1|2:1|3:1|4:1|5:1|6:1|7:1|8:1|9:1|10:1|11:1", "more than 10 isotopes"},
        {"Cu,29,63.5,1,1,62.9:69,ArO:2:62.9:0.1", "names an isotope slot not in use"},
        {"Cu,29,63.5,1,1,62.9:69,ArO:0:62.9:0.1", "names an isotope slot not in use"},
        {"Cu,29,63.5,1,1,62.9:69,ArO:1:62.9", "is not name:slot:mass:factor"},
        {"Cu,29,63.5,1,1,62.9:69,:1:62.9:0.1", "interference name must be 1 to 23 characters"},
        {"Cu,29,63.5,1,1,62.9:69,a:1:1:1|b:1:1:1|c:1:1:1|d:1:1:1|e:1:1:1", "more than 4 interferences"},
        {"Li,29,63.5,1,1", "atomic number 29 appears twice"},
    };
    for (const auto& c : bad) {
        WriteText(temp.Path() / "bad.csv", header + "Cu,29,63.5,1,1\n" + c.row + "\n");
        std::vector<Element> read;
        std::string message;
        EXPECT_FALSE(ReadElementsFile((temp.Path() / "bad.csv").string(), read, message)) << c.row;
        EXPECT_THAT(message, AllOf(HasSubstr("bad.csv: line 3: "), HasSubstr(c.message)));
    }
    std::string message;
    EXPECT_FALSE(ReadElementsFile((temp.Path() / "none.csv").string(), elements, message));
    EXPECT_THAT(message, HasSubstr("cannot be read"));

    const std::string database = (temp.Path() / "periodic.db").string();
    ASSERT_TRUE(WritePeriodicDatabase(database, elements, error)) << error;
    ASSERT_TRUE(OpenFlatDatabase(kPeriodicDatabaseKind, database.c_str(), false));
    tagELEMENTstruct back{};
    EXPECT_EQ(ReadElementRecord(29, back), 0);
    CloseFlatDatabase(kPeriodicDatabaseKind);
    EXPECT_EQ(std::memcmp(&back, &cu, sizeof back), 0);
    EXPECT_FALSE(WritePeriodicDatabase((temp.Path() / "no" / "periodic.db").string(), elements, error));
}
