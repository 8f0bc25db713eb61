// The audit trail: rows chained by SHA-256 over the documented canonical text, read back as
// written, refused changes through SQL, every edit made around the triggers named by its row,
// and nothing left by an append that was rolled back. Then verification of a results folder:
// an untouched run verifies, an area or a calibration point changed with SQL is named with its
// table, sample, compound, column and both values, a recorded exclusion reproduces the stored
// results, missing inputs are said; and the report lists the trail.
#include <algorithm>
#include <cmath>
#include <set>

#include "BatchTestSupport.h"
#include "apps/cli/ReviewTool.h"
#include "platform/NumberText.h"
#include "workflow/output/HtmlReport.h"
#include "workflow/review/AuditTrail.h"

namespace {

using namespace batch_test;
using Batch::AuditEntry;
using Batch::IntegrationKind;

// ---- the chain, in a database of its own ---------------------------------------------------

// A row as the documentation's example gives it: a bound moved on a standard's trace.
AuditEntry MovedBound() {
    AuditEntry entry;
    entry.time = "2026-01-02T03:04:05Z";
    entry.user = "ana";
    entry.action = Batch::kActionIntegrate;
    entry.sample = "STD-1";
    entry.compound = "Atrazine";
    entry.slot = 0;
    entry.change.kind = IntegrationKind::kBounds;
    entry.change.start = 5.25;
    entry.change.end = 5.75;
    entry.change.baselineStart = 100;
    entry.change.baselineEnd = 0.5;
    entry.change.apexRT = 5.5;  // not a bound change's: not stored
    entry.before = {true, 5.3, 5.7, 100, 120, 1234.5, 1e-7, 0.8, 1.25, ""};
    entry.after = {true, 5.25, 5.75, 100, 0.5, 1300, 300, 0.875, std::nan(""), "manual"};
    entry.reason = "Peak tail cut by the integrator";
    entry.version = "1.0.0";
    return entry;
}

AuditEntry ExcludedPoint(const std::string& standard) {
    AuditEntry entry;
    entry.user = "ben";
    entry.action = Batch::kActionExcludePoint;
    entry.sample = standard;
    entry.compound = "Atrazine";
    entry.reason = "Injection failed";
    return entry;
}

// Whether a problem of `row` says `word`.
bool Says(const std::vector<Batch::Problem>& problems, const std::string& row, const std::string& word) {
    return std::any_of(problems.begin(), problems.end(), [&](const Batch::Problem& problem) {
        return problem.where == row && problem.message.find(word) != std::string::npos;
    });
}

// An audit table in a database file of its own, open as db_.
class AuditChain : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(sqlite3_open(path_.c_str(), &db_), SQLITE_OK);
        std::string error;
        ASSERT_TRUE(Batch::CreateAuditTable(db_, error)) << error;
    }
    void TearDown() override { sqlite3_close(db_); }

    // Three rows: a moved bound, a chosen peak, an excluded point.
    void AppendThree() {
        AuditEntry first = MovedBound(), second = MovedBound(), third = ExcludedPoint("STD-02");
        second.action = Batch::kActionChoosePeak;
        second.change.kind = IntegrationKind::kChosenPeak;
        second.time.clear();
        for (AuditEntry* entry : {&first, &second, &third}) {
            std::string error;
            ASSERT_TRUE(Batch::AppendAudit(db_, *entry, error)) << error;
        }
    }
    // Runs SQL with the triggers dropped, as someone editing the file by hand would.
    void EditByHand(const std::string& sql) {
        const std::string all = "DROP TRIGGER audit_no_update; DROP TRIGGER audit_no_delete; " + sql;
        ASSERT_EQ(sqlite3_exec(db_, all.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db_);
    }
    Table Count() const { return Query(path_, "SELECT count(*) FROM audit"); }
    TempFolder temp_;
    const std::string path_ = temp_ / "audit.sqlite";
    sqlite3* db_ = nullptr;
};

TEST_F(AuditChain, HashesTheDocumentedCanonicalText) {
    // SHA-256 of 64 zeros, then "I1;T20:2026-01-02T03:04:05Z;T3:ana;T9:integrate;T5:STD-1;
    // T8:Atrazine;I0;T6:bounds;R5.25;R5.75;R100;R0.5;N;I1;R5.3;R5.7;R100;R120;R1234.5;R1e-07;
    // R0.8;R1.25;N;I1;R5.25;R5.75;R100;R0.5;R1300;R300;R0.875;N;T6:manual;
    // T31:Peak tail cut by the integrator;T5:1.0.0;", computed with Python's hashlib.
    AuditEntry entry = MovedBound();
    std::string error;
    ASSERT_TRUE(Batch::AppendAudit(db_, entry, error)) << error;
    EXPECT_EQ(entry.id, 1);
    EXPECT_EQ(entry.previousHash, Batch::kChainStart);
    EXPECT_EQ(entry.hash, "d6e871300274ab20cd1844ae9a5616859ee3274ac31fdc7d658101045d5e4b2d");
}

TEST_F(AuditChain, ChainsRowsAndReadsThemBackAsWritten) {
    AppendThree();
    std::vector<AuditEntry> rows;
    std::string error;
    ASSERT_TRUE(Batch::ReadAudit(db_, rows, error)) << error;
    ASSERT_EQ(rows.size(), 3u);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].id, static_cast<long long>(i + 1));
        EXPECT_EQ(rows[i].previousHash, i == 0 ? std::string(Batch::kChainStart) : rows[i - 1].hash);
        EXPECT_EQ(rows[i].hash.size(), 64u);
    }
    const AuditEntry expected = MovedBound();
    const AuditEntry& moved = rows[0];
    EXPECT_EQ(moved.time, expected.time);
    EXPECT_EQ(moved.change.kind, IntegrationKind::kBounds);
    EXPECT_EQ(moved.change.baselineEnd, 0.5);
    EXPECT_EQ(moved.change.sample, "STD-1");
    EXPECT_EQ(moved.before.height, 1e-7);
    EXPECT_EQ(moved.after.area, 1300.0);
    EXPECT_TRUE(std::isnan(moved.after.conc));
    EXPECT_EQ(moved.after.flags, "manual");
    EXPECT_TRUE(moved.before.flags.empty());
    EXPECT_EQ(moved.reason, expected.reason);
    // A chosen peak keeps its apex and no bounds; an exclusion no change at all; empty times
    // and versions are filled in.
    EXPECT_EQ(rows[1].change.kind, IntegrationKind::kChosenPeak);
    EXPECT_EQ(rows[1].change.apexRT, 5.5);
    EXPECT_EQ(rows[1].change.start, 0.0);
    EXPECT_EQ(rows[1].time.size(), 20u);
    EXPECT_EQ(rows[1].time.back(), 'Z');
    EXPECT_FALSE(rows[2].version.empty());
    EXPECT_EQ(Query(path_, "SELECT typeof(change_kind), typeof(change_start), typeof(change_apex) FROM audit "
                           "ORDER BY id"),
              (Table{{"text", "real", "null"}, {"text", "null", "real"}, {"null", "null", "null"}}));
    EXPECT_TRUE(Batch::VerifyAuditChain(db_).empty());
}

TEST_F(AuditChain, RefusesUpdateAndDeleteThroughSqlWithAMessage) {
    AppendThree();
    for (const char* sql : {"UPDATE audit SET reason = 'x' WHERE id = 2", "DELETE FROM audit WHERE id = 3"}) {
        char* message = nullptr;
        EXPECT_NE(sqlite3_exec(db_, sql, nullptr, nullptr, &message), SQLITE_OK) << sql;
        EXPECT_NE(std::string(message != nullptr ? message : "").find("append-only"), std::string::npos) << sql;
        sqlite3_free(message);
    }
    EXPECT_EQ(Count(), Table{{"3"}});
    EXPECT_TRUE(Batch::VerifyAuditChain(db_).empty());
}

TEST_F(AuditChain, NamesTheRowOfEveryEditMadeAroundTheTriggers) {
    const struct {
        const char* edit;
        std::vector<std::pair<std::string, std::string>> named;  // row, a word of its problem
    } cases[] = {
        {"UPDATE audit SET reason = 'Typo' WHERE id = 2", {{"audit row 2", "content"}}},
        {"UPDATE audit SET after_area = after_area * (1 + 1e-15) WHERE id = 1", {{"audit row 1", "content"}}},
        {"UPDATE audit SET after_flags = NULL WHERE id = 1", {{"audit row 1", "content"}}},
        {"UPDATE audit SET hash = upper(hash) WHERE id = 3", {{"audit row 3", "hexadecimal"}}},
        {"DELETE FROM audit WHERE id = 2", {{"audit row 3", "row 2 is missing"}, {"audit row 3", "follow row 1"}}},
        {"DELETE FROM audit WHERE id = 1", {{"audit row 2", "row 1 is missing"}, {"audit row 2", "start the chain"}}},
        // Two rows' places swapped, their ids kept in order.
        {"UPDATE audit SET id = 10 WHERE id = 1; UPDATE audit SET id = 1 WHERE id = 2; UPDATE audit SET id = 2 WHERE id = 10",
         {{"audit row 1", "start the chain"}, {"audit row 1", "content"}, {"audit row 2", "follow row 1"},
          {"audit row 2", "content"}, {"audit row 3", "follow row 2"}}},
        // A forged row slipped in at the end, its hash made right but its link wrong.
        {"INSERT INTO audit SELECT 4, time, user, action, sample, compound, slot, change_kind, change_start, change_end, "
         "change_baseline_start, change_baseline_end, change_apex, before_found, before_start, before_end, "
         "before_baseline_start, before_baseline_end, before_area, before_height, before_response, before_concentration, "
         "before_flags, after_found, after_start, after_end, after_baseline_start, after_baseline_end, after_area, "
         "after_height, after_response, after_concentration, after_flags, reason, version, previous_hash, hash "
         "FROM audit WHERE id = 2",
         {{"audit row 4", "follow row 3"}, {"audit row 4", "content"}}},
    };
    for (const auto& c : cases) {
        TearDown();
        fs::remove(path_);
        SetUp();
        AppendThree();
        EditByHand(c.edit);
        const std::vector<Batch::Problem> problems = Batch::VerifyAuditChain(db_);
        std::set<std::string> rowsNamed;
        for (const auto& problem : problems) rowsNamed.insert(problem.where);
        rowsNamed.erase("");  // the dropped triggers, said once for the table
        std::set<std::string> expectedRows;
        for (const auto& [row, word] : c.named) {
            expectedRows.insert(row);
            EXPECT_TRUE(Says(problems, row, word))
                << c.edit << ": " << row << " should say " << word << "\n" << Quan::ProblemsText(problems);
        }
        EXPECT_EQ(rowsNamed, expectedRows) << c.edit << "\n" << Quan::ProblemsText(problems);
        int triggerProblems = 0;
        for (const auto& problem : problems) triggerProblems += problem.message.find("trigger") != std::string::npos;
        EXPECT_EQ(triggerProblems, 2) << c.edit;
    }
}

TEST_F(AuditChain, AChangeAfterTheLastRowWasDeletedShowsTheGap) {
    AppendThree();
    EditByHand("DELETE FROM audit WHERE id = 3");
    AuditEntry next = ExcludedPoint("STD-03");
    std::string error;
    ASSERT_TRUE(Batch::AppendAudit(db_, next, error)) << error;
    EXPECT_EQ(next.id, 4);
    EXPECT_TRUE(Says(Batch::VerifyAuditChain(db_), "audit row 4", "row 3 is missing"));
}

TEST_F(AuditChain, LeavesNothingWhenRefusedOrRolledBack) {
    AuditEntry entry = MovedBound();
    entry.reason.clear();
    std::string error;
    EXPECT_FALSE(Batch::AppendAudit(db_, entry, error));
    EXPECT_NE(error.find("reason"), std::string::npos);
    entry = MovedBound();
    entry.user.clear();
    EXPECT_FALSE(Batch::AppendAudit(db_, entry, error));
    EXPECT_EQ(Count(), Table{{"0"}});

    ASSERT_EQ(sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
    entry = MovedBound();
    ASSERT_TRUE(Batch::AppendAudit(db_, entry, error)) << error;
    ASSERT_TRUE(Batch::AppendAudit(db_, entry, error)) << error;
    ASSERT_EQ(sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(Count(), Table{{"0"}});
    // The chain starts again where the rolled-back rows would have been.
    entry = MovedBound();
    ASSERT_TRUE(Batch::AppendAudit(db_, entry, error)) << error;
    EXPECT_EQ(entry.id, 1);
    EXPECT_EQ(entry.previousHash, Batch::kChainStart);
    EXPECT_TRUE(Batch::VerifyAuditChain(db_).empty());
}

TEST(AuditTrail, AMissingTableIsAProblemAndReadsAsNoRows) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    const auto problems = Batch::VerifyAuditChain(db);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].message.find("no audit table"), std::string::npos);
    std::vector<AuditEntry> entries{AuditEntry{}};
    std::string error;
    EXPECT_TRUE(Batch::ReadAudit(db, entries, error));
    EXPECT_TRUE(entries.empty());
    sqlite3_close(db);
}

// ---- the report ----------------------------------------------------------------------------

TEST(AuditTrail, TheReportListsTheChangesMadeInReview) {
    Batch::BatchResults results;
    const std::string plain = Batch::HtmlReport(results);
    EXPECT_EQ(plain.find("Changes made in review"), std::string::npos);
    EXPECT_NE(plain.find("\"audit\":[]"), std::string::npos);

    AuditEntry moved = MovedBound();
    moved.id = 1;
    moved.reason = "Tail <cut>";
    results.audit = {moved};
    const std::string page = Batch::HtmlReport(results);
    for (const char* shown :
         {"<h2>Changes made in review</h2>", "<td>ana</td>", "Tail &lt;cut&gt;", "area 1234.5 \u2192 1300",
          "start 5.3 \u2192 5.25, end 5.7 \u2192 5.75", "flags - \u2192 manual",
          "\"audit\":[{\"id\":1,\"time\":\"2026-01-02T03:04:05Z\",\"user\":\"ana\"",
          "\"change\":{\"kind\":\"bounds\",\"start\":5.25,\"end\":5.75,\"baselineStart\":100,\"baselineEnd\":0.5}",
          "\"conc\":null,\"flags\":\"manual\"}"})
        EXPECT_NE(page.find(shown), std::string::npos) << shown;
    EXPECT_EQ(page.find("start 5.3 \u2192 5.25, end 5.7 \u2192 5.75"), page.find("start 5.3"));
    EXPECT_TRUE(HtmlParseErrors(page).empty());
}

// ---- verifying a results folder --------------------------------------------------------------

class ResultsVerification : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        temp_ = new TempFolder();
        run_ = RunTool({ExampleFolder().string(), "--out", (temp_->Path() / "results").string()});
    }
    static void TearDownTestSuite() { delete temp_; }
    void SetUp() override { ASSERT_EQ(run_.status, Batch::kExitOK) << run_.err; }

    // A copy of the example's results to change.
    fs::path CopyOfResults(const std::string& name) {
        const fs::path copy = temp_->Path() / name;
        fs::copy(temp_->Path() / "results", copy, fs::copy_options::recursive);
        return copy;
    }
    // Appends a row to the trail of a results folder.
    static void Append(const fs::path& results, AuditEntry entry) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((results / "results.sqlite").c_str(), &db), SQLITE_OK);
        std::string error;
        EXPECT_TRUE(Batch::AppendAudit(db, entry, error)) << error;
        sqlite3_close(db);
    }
    // quan-review with these arguments, in this process.
    static ToolRun Review(const std::vector<std::string>& args) {
        return Captured([&](std::FILE* out, std::FILE* err) { return Station::RunReviewTool(args, out, err); });
    }
    static inline TempFolder* temp_ = nullptr;
    static inline ToolRun run_;
};

TEST_F(ResultsVerification, RecordsHowTheBatchRanAndAnEmptyTrail) {
    const fs::path database = temp_->Path() / "results" / "results.sqlite";
    const Table run = Query(database, "SELECT name, value FROM run WHERE name IN ('batch_folder', 'method_file', "
                                      "'exclusions_file', 'outlier_limit', 'program_version') ORDER BY name");
    const std::string folder = fs::absolute(ExampleFolder()).lexically_normal().string();
    EXPECT_EQ(run, (Table{{"batch_folder", folder},
                          {"exclusions_file", ""},
                          {"method_file", folder + "/method.xml"},
                          {"outlier_limit", "0"},
                          {"program_version", "1.0.0"}}));
    EXPECT_EQ(Query(database, "SELECT count(*) FROM audit"), (Table{{"0"}}));
}

TEST_F(ResultsVerification, AnUntouchedRunVerifiesAndEveryValueChangedWithSqlIsNamed) {
    const ToolRun clean = Review({"--verify", (temp_->Path() / "results").string()});
    EXPECT_EQ(clean.status, Station::kVerifyClean) << clean.out << clean.err;
    EXPECT_NE(clean.out.find("verified"), std::string::npos);

    const fs::path tampered = CopyOfResults("tampered");
    const fs::path database = tampered / "results.sqlite";
    const Table before = Query(database, "SELECT s.id, c.name, r.area FROM results r JOIN samples s ON s.position = r.sample "
                                         "JOIN compounds c ON c.entry = r.entry WHERE r.sample = 3 AND r.entry = 1");
    ASSERT_EQ(before.size(), 1u);
    // A recorded change that changes nothing (a point restored that was never excluded), so
    // that the trail has a row to edit.
    AuditEntry restored = ExcludedPoint("STD-02");
    restored.action = Batch::kActionRestorePoint;
    Append(tampered, restored);
    Execute(tampered / "results.sqlite", "UPDATE results SET area = 1234.5 WHERE sample = 3 AND entry = 1;"
                   "UPDATE calibration_points SET excluded = 1 WHERE entry = 2 AND point = 1;"
                   "DROP TRIGGER audit_no_update; UPDATE audit SET reason = 'Better reason' WHERE id = 1;");
    std::vector<Batch::Problem> all;
    EXPECT_FALSE(Batch::VerifyResultsFolder(tampered.string(), all));
    ASSERT_EQ(all.size(), 4u) << Quan::ProblemsText(all);
    EXPECT_NE(all[0].message.find("audit_no_update"), std::string::npos);
    EXPECT_EQ(all[1].where, "audit row 1");
    const std::vector<Batch::Problem> problems(all.begin() + 2, all.end());
    EXPECT_EQ(problems[0].where, "table results, sample " + before[0][0] + ", compound " + before[0][1]);
    const std::string stored = "column area: stored 1234.5, expected ";
    ASSERT_EQ(problems[0].message.substr(0, stored.size()), stored);
    double expected = 0.0, printed = 0.0;  // SQLite prints 15 digits; the problem gives every one
    ASSERT_TRUE(NumberText::Read(problems[0].message.substr(stored.size()), expected)) << problems[0].message;
    ASSERT_TRUE(NumberText::Read(before[0][2], printed));
    EXPECT_NEAR(expected, printed, 1e-9 * printed);
    EXPECT_EQ(problems[1].where.rfind("table calibration_points, compound ", 0), 0u) << problems[1].where;
    EXPECT_NE(problems[1].where.find(", point 1"), std::string::npos);
    EXPECT_EQ(problems[1].message, "column excluded: stored 1, expected 0");

    const ToolRun named = Review({"--verify", tampered.string()});
    EXPECT_EQ(named.status, Station::kVerifyProblems);
    EXPECT_NE(named.out.find("column area: stored"), std::string::npos) << named.out;
    EXPECT_NE(named.out.find("4 problems"), std::string::npos) << named.out;
}

TEST_F(ResultsVerification, ARecordedExclusionGivesTheStoredResults) {
    // A run with a point excluded, whose exclusion is then found only in the trail: as if the
    // analyst had excluded it in review.
    const fs::path exclusions = temp_->Path() / "exclusions.csv";
    WriteText(exclusions, "Compound,Standard,Reason,Who\nAtrazine,STD-02,Injection failed,ben\n");
    const fs::path results = temp_->Path() / "excluded";
    const ToolRun excluded = RunTool({ExampleFolder().string(), "--out", results.string(), "--exclusions", exclusions.string()});
    ASSERT_EQ(excluded.status, Batch::kExitOK) << excluded.err;
    Execute(results / "results.sqlite", "UPDATE run SET value = '' WHERE name = 'exclusions_file'");
    std::vector<Batch::Problem> problems;
    EXPECT_FALSE(Batch::VerifyResultsFolder(results.string(), problems)) << "the exclusion is recorded nowhere";

    Append(results, ExcludedPoint("STD-02"));
    problems.clear();
    EXPECT_TRUE(Batch::VerifyResultsFolder(results.string(), problems)) << Quan::ProblemsText(problems);

    // A restoration in the trail undoes an exclusion of the run's own file: results stored with
    // the point left out no longer follow from the record.
    const fs::path restored = temp_->Path() / "restored";
    ASSERT_EQ(RunTool({ExampleFolder().string(), "--out", restored.string(), "--exclusions", exclusions.string()}).status,
              Batch::kExitOK);
    AuditEntry restore = ExcludedPoint("STD-02");
    restore.action = Batch::kActionRestorePoint;
    Append(restored, restore);
    problems.clear();
    EXPECT_FALSE(Batch::VerifyResultsFolder(restored.string(), problems));
    EXPECT_NE(Quan::ProblemsText(problems).find("column excluded: stored 1, expected 0"), std::string::npos)
        << Quan::ProblemsText(problems);
}

TEST_F(ResultsVerification, SaysWhenTheInputsOrTheResultsAreMissing) {
    std::vector<Batch::Problem> problems;
    EXPECT_FALSE(Batch::VerifyResultsFolder((temp_->Path() / "nowhere").string(), problems));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].message.find("no results.sqlite"), std::string::npos);

    const fs::path moved = temp_->Path() / "moved";
    fs::create_directories(moved);
    const fs::path batch = CopyExample(moved);
    const fs::path results = moved / "results";
    ASSERT_EQ(RunTool({batch.string(), "--out", results.string()}).status, Batch::kExitOK);
    fs::remove(batch / "raw" / "STD-03.mzML");
    problems.clear();
    EXPECT_FALSE(Batch::VerifyResultsFolder(results.string(), problems));
    EXPECT_NE(Quan::ProblemsText(problems).find("STD-03.mzML"), std::string::npos) << Quan::ProblemsText(problems);
    fs::remove_all(batch);
    problems.clear();
    EXPECT_FALSE(Batch::VerifyResultsFolder(results.string(), problems));
    ASSERT_FALSE(problems.empty());
    EXPECT_NE(problems[0].message.find("is missing"), std::string::npos) << Quan::ProblemsText(problems);
    EXPECT_EQ(Review({"--verify", results.string()}).status, Station::kVerifyProblems);
    const ToolRun bad = Review({"--verify"});
    EXPECT_EQ(bad.status, Station::kVerifyBadOptions);
    EXPECT_NE(bad.err.find("results folder"), std::string::npos);
}


// The Python recipe of docs/RESULTS_DATABASE.md, run on a trail of awkward numbers, recomputes
// every hash: a third party can check the chain from the documentation alone.
TEST(AuditTrail, TheDocumentedRecipeRecomputesEveryHash) {
    const std::string doc = ReadText(fs::path(QUAN_SOURCE_DIR) / "docs" / "RESULTS_DATABASE.md");
    const size_t start = doc.find("```python\n");
    ASSERT_NE(start, std::string::npos);
    const size_t end = doc.find("```", start + 10);
    ASSERT_NE(end, std::string::npos);
    TempFolder temp;
    WriteText(temp.Path() / "recipe.py", doc.substr(start + 10, end - start - 10));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((temp.Path() / "results.sqlite").c_str(), &db), SQLITE_OK);
    std::string error;
    ASSERT_TRUE(Batch::CreateAuditTable(db, error)) << error;
    const double numbers[] = {100.0, 1e16, 1e-7, 0.1, -2.5e-5, 123456789012.0, 1234500.0, 1e5, 1.5e300, 0.0, -0.0, 5e-324};
    for (double number : numbers) {
        AuditEntry entry = MovedBound();
        entry.after.area = number;
        entry.before.response = -number;
        entry.reason = "r\xC3\xA9sum\xC3\xA9; 1:2";  // bytes, not characters, are counted
        ASSERT_TRUE(Batch::AppendAudit(db, entry, error)) << error;
    }
    sqlite3_close(db);
    const std::string command = "cd '" + temp.Path().string() + "' && python3 recipe.py > out.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << ReadText(temp.Path() / "out.txt");
    std::string expected;
    for (size_t i = 1; i <= std::size(numbers); ++i) expected += std::to_string(i) + " ok\n";
    EXPECT_EQ(ReadText(temp.Path() / "out.txt"), expected);
}

}  // namespace
