// The review station's editor on the example batch: a change is written into results.sqlite
// and the text outputs, and the results are what a fresh run of quan-batch with the recorded
// decisions gives; a refit is the calibration engine's own fit without the point; every bad or
// stale request is refused with nothing changed; a station killed in the middle of a change
// leaves the database before or after it, never between.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "BatchTestSupport.h"
#include "platform/NumberText.h"
#include "workflow/review/ManualIntegration.h"
#include "workflow/batch/BatchRun.h"
#include "workflow/review/AuditTrail.h"
#include "workflow/station/JsonValue.h"
#include "workflow/station/ReviewEditor.h"

namespace {

using namespace batch_test;
using Station::JsonValue;

Station::ReviewEditorOptions EditorOptions(const fs::path& results) {
    Station::ReviewEditorOptions options;
    options.resultsFolder = results.string();
    options.batchFolder = ExampleFolder().string();
    options.user = "tester";
    options.rewriteDelayMs = 0;
    return options;
}

// Opens an editor on these options and waits until it has loaded the batch.
bool OpenLoaded(Station::ReviewEditor& editor, const Station::ReviewEditorOptions& options) {
    std::string error;
    const bool opened = editor.Open(options, error);
    EXPECT_TRUE(opened) << error;
    return opened && editor.WaitUntilLoaded();
}

JsonValue Parsed(const Station::Answer& answer) {
    JsonValue value;
    std::string error;
    EXPECT_TRUE(JsonValue::Parse(answer.body, value, error)) << error << ": " << answer.body;
    return value;
}

int VersionOf(const Station::ReviewEditor& editor) { return static_cast<int>(Parsed(editor.StateAnswer()).Find("version")->GetNumber()); }

// Spaced and broken over lines, as a request typed by hand (curl) comes.
std::string ExclusionBody(int version, int entry, int standard, bool excluded, const std::string& reason = "bad injection") {
    return "{ \"version\": " + std::to_string(version) + ",\r\n\t\"entry\" : " + std::to_string(entry) +
           ", \"standard\": " + std::to_string(standard) + ", \"excluded\": " + (excluded ? "true" : "false") +
           ",\n  \"reason\": \"" + reason + "\" }\n";
}

// The example batch run into `results`, its database then altered by `sql`.
void RunExampleAltered(const fs::path& results, const char* sql) {
    ASSERT_EQ(RunTool({ExampleFolder().string(), "--out", results.string()}).status, Batch::kExitOK);
    Execute(results / "results.sqlite", sql);
}

// The example batch run once into a fresh folder per test; the editor on it.
class ReviewEditing : public ::testing::Test {
protected:
    void SetUp() override {
        results_ = temp_.Path() / "results";
        const ToolRun run = RunTool({ExampleFolder().string(), "--out", results_.string()});
        ASSERT_EQ(run.status, Batch::kExitOK) << run.err;
        original_ = FolderContents(results_);
        ASSERT_TRUE(OpenLoaded(editor_, EditorOptions(results_))) << editor_.StateAnswer().body;
    }

    // A fresh quan-batch run with the decisions the station recorded in the results folder
    // writes what the station holds: the text outputs and every table and view of the database
    // but the audit trail (the station's own), the run's record of its options, the peak tables'
    // shared values (the peak_fields view compares what they hold) and the stored chromatograms'
    // points (kept as the run cut them; a fresh run with narrowed bounds cuts them narrower):
    // their location windows are compared, as an entry following a corrected reference moves.
    void ExpectAFreshRunAgrees(const std::vector<std::string>& options) {
        const fs::path fresh = temp_.Path() / "fresh";
        std::vector<std::string> args = {ExampleFolder().string(), "--out", fresh.string()};
        args.insert(args.end(), options.begin(), options.end());
        const ToolRun run = RunTool(args);
        EXPECT_LE(run.status, Batch::kExitEngineStatus) << run.err;
        editor_.FlushOutputs();
        for (const char* name : {"results.csv", "matrix.csv", "curves.txt"})
            EXPECT_EQ(ReadText(results_ / name), ReadText(fresh / name)) << name;
        auto held = TableDigests(results_ / "results.sqlite", ExampleFolder().string(), true);
        auto fromRun = TableDigests(fresh / "results.sqlite", ExampleFolder().string(), true);
        for (const char* own : {"audit", "run", "sqlite_sequence", "peak_values", "peak_entry_values", "peak_sample_values",
                                "chromatograms"})
            held.erase(own), fromRun.erase(own);
        EXPECT_EQ(held, fromRun);
        const std::string windows = "SELECT sample, entry, slot, predicted_rt, window_start, window_end FROM chromatograms "
                                    "ORDER BY sample, entry, slot";
        EXPECT_EQ(Query(results_ / "results.sqlite", windows), Query(fresh / "results.sqlite", windows));
    }

    TempFolder temp_;
    fs::path results_;
    std::map<std::string, std::string> original_;
    Station::ReviewEditor editor_;
};

// STD-03 is sample 2 of the example; entry 1 its first compound.
constexpr int kStandard = 2, kEntry = 1;

TEST_F(ReviewEditing, ExcludingAPointRefitsAsTheEngineDoesAndAFreshRunAgrees) {
    const Station::Answer answer = editor_.ExclusionAnswer(ExclusionBody(0, kEntry, kStandard, true));
    ASSERT_EQ(answer.status, 200) << answer.body;
    const JsonValue changed = Parsed(answer);
    EXPECT_EQ(changed.Find("version")->GetNumber(), 1);
    EXPECT_EQ(VersionOf(editor_), 1);
    ASSERT_EQ(changed.Find("curves")->GetItems().size(), 1u);
    // The refit curve itself, as the page draws it, so the page need not read the batch again.
    const JsonValue& refit = changed.Find("curves")->GetItems()[0];
    EXPECT_EQ(refit.Find("entry")->GetNumber(), kEntry);
    ASSERT_NE(refit.Find("points"), nullptr);
    EXPECT_FALSE(refit.Find("points")->GetItems().empty());
    EXPECT_FALSE(changed.Find("rows")->GetItems().empty());

    // The calibration engine's own fit of the same standards without that point.
    Batch::BatchInput input;
    std::vector<Batch::Problem> problems;
    ASSERT_TRUE(Batch::ReadBatch(ExampleFolder().string(), input, problems));
    input.samples[kStandard]->excluded.insert(input.method.GetAt(kEntry - 1).GetName());
    CCalibrationList curves;
    ASSERT_TRUE(Batch::CalibrateBatch(input, Batch::RunOptions(), curves, problems));
    const fs::path database = results_ / "results.sqlite";
    const Table stored = Query(database, "SELECT c0, c1, c2 FROM curves WHERE entry = 1");
    ASSERT_EQ(stored.size(), 1u);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(std::stod(stored[0][i]), curves.GetAt(0).GetCC(i), 1e-12 * (1 + std::fabs(curves.GetAt(0).GetCC(i))));
    EXPECT_EQ(Query(database, "SELECT excluded, excluded_by, exclusion_reason FROM calibration_points WHERE entry = 1 AND "
                              "standard = 'STD-03'"),
              (Table{{"1", "tester", "bad injection"}}));
    EXPECT_EQ(Query(database, "PRAGMA integrity_check"), (Table{{"ok"}}));

    // The recorded exclusion gives the same outputs on a fresh run.
    editor_.FlushOutputs();
    const std::string exclusions = (results_ / "exclusions.csv").string();
    ASSERT_TRUE(fs::exists(exclusions));
    ExpectAFreshRunAgrees({"--exclusions", exclusions});
    EXPECT_NE(ReadText(results_ / "results.csv"), original_["results.csv"]);

    // Restoring it brings back the batch as first run, row for row.
    const Station::Answer restored = editor_.ExclusionAnswer(ExclusionBody(1, kEntry, kStandard, false, "was fine"));
    ASSERT_EQ(restored.status, 200) << restored.body;
    EXPECT_EQ(VersionOf(editor_), 2);
    editor_.FlushOutputs();
    EXPECT_EQ(ReadText(results_ / "results.csv"), original_["results.csv"]);
    for (const char* output : {"matrix.csv", "curves.txt", "report.html"})
        EXPECT_EQ(ReadText(results_ / output), original_[output]) << output;
    EXPECT_EQ(Query(database, "SELECT excluded FROM calibration_points WHERE entry = 1 AND standard = 'STD-03'"),
              (Table{{"0"}}));
}

// A station started again on corrected results takes up the decisions recorded with them: the
// stored results are what it computes (else it would refuse changes), at the same version.
TEST_F(ReviewEditing, AStationStartedAgainContinuesFromTheRecordedChanges) {
    ASSERT_EQ(editor_.ExclusionAnswer(ExclusionBody(0, kEntry, kStandard, true)).status, 200);
    editor_.FlushOutputs();
    Station::ReviewEditor again;
    ASSERT_TRUE(OpenLoaded(again, EditorOptions(results_))) << again.StateAnswer().body;
    EXPECT_EQ(VersionOf(again), 1);
    EXPECT_EQ(again.ExclusionAnswer(ExclusionBody(0, kEntry, kStandard, false, "again")).status, 409) << "stale";
    const Station::Answer restored = again.ExclusionAnswer(ExclusionBody(1, kEntry, kStandard, false, "was fine"));
    EXPECT_EQ(restored.status, 200) << restored.body;
    again.FlushOutputs();
    EXPECT_EQ(ReadText(results_ / "results.csv"), original_["results.csv"]);
}

// Results that are not what the inputs give (a stored area edited by hand) are not corrected
// over: the station says why and refuses every change.
TEST(ReviewEditorStart, RefusesChangesWhenTheStoredResultsAreNotTheInputs) {
    TempFolder temp;
    const fs::path results = temp.Path() / "results";
    ASSERT_NO_FATAL_FAILURE(RunExampleAltered(results, "UPDATE results SET area = area * 2 WHERE sample = 12 AND entry = 2"));
    Station::ReviewEditor editor;
    EXPECT_FALSE(OpenLoaded(editor, EditorOptions(results)));
    const JsonValue state = Parsed(editor.StateAnswer());
    EXPECT_FALSE(state.Find("editable")->GetBool());
    EXPECT_NE(state.Find("why")->GetString().find("SAMPLE-03"), std::string::npos) << state.Find("why")->GetString();
    const Station::Answer refused = editor.ExclusionAnswer(ExclusionBody(0, kEntry, kStandard, true));
    EXPECT_EQ(refused.status, 409) << refused.body;
}

// Each refusal: its status and message, the version unchanged, no file of the results folder changed.
TEST_F(ReviewEditing, RefusesBadAndStaleChangesAndChangesNothing) {
    const std::string longReason(Station::ReviewEditor::kLongestReason + 1, 'x');
    const struct {
        const char* what;
        bool integration;
        std::string body;
        int status;
        const char* says;
    } cases[] = {
        {"malformed JSON", false, "{\"version\":0,", 400, "not JSON"},
        {"a list, not an object", false, "[1]", 400, "JSON object"},
        {"no version", false, R"({"entry":1,"standard":2,"excluded":true,"reason":"r"})", 400, "version"},
        {"a stale version", false, ExclusionBody(3, kEntry, kStandard, true), 409, "changed since"},
        {"an unknown compound", false, ExclusionBody(0, 99, kStandard, true), 404, "no such compound"},
        {"entry zero", false, ExclusionBody(0, 0, kStandard, true), 404, "no such compound"},
        {"a sample past the end", false, ExclusionBody(0, kEntry, 13, true), 404, "no such sample"},
        {"a QC as a standard", false, ExclusionBody(0, kEntry, 6, true), 404, "not a standard"},
        {"no reason", false, R"({"version":0,"entry":1,"standard":2,"excluded":true})", 400, "needs a reason"},
        {"an empty reason", false, ExclusionBody(0, kEntry, kStandard, true, ""), 400, "needs a reason"},
        {"a reason across lines", false, ExclusionBody(0, kEntry, kStandard, true, "a\\nb"), 400, "one line"},
        {"an overlong reason", false, ExclusionBody(0, kEntry, kStandard, true, longReason), 400, "longer than"},
        {"restoring a used point", false, ExclusionBody(0, kEntry, kStandard, false), 422, "already used"},
        {"excluded as a text", false, R"({"version":0,"entry":1,"standard":2,"excluded":"yes","reason":"r"})", 400, "excluded"},
        {"a fractional entry", false, R"({"version":0,"entry":1.5,"standard":2,"excluded":true,"reason":"r"})", 404, "no such compound"},
        {"bounds reversed", true, R"({"version":0,"sample":11,"entry":1,"slot":0,"kind":"bounds","start":5.2,"end":5.1,"reason":"r"})", 400, "before its end"},
        {"bounds not finite", true, R"({"version":0,"sample":11,"entry":1,"slot":0,"kind":"bounds","start":"x","end":5.1,"reason":"r"})", 400, "finite"},
        {"bounds outside the trace", true, R"({"version":0,"sample":11,"entry":1,"slot":0,"kind":"bounds","start":0.001,"end":99,"reason":"r"})", 422, "within the stored trace"},
        {"an unknown kind", true, R"({"version":0,"sample":11,"entry":1,"slot":0,"kind":"move","reason":"r"})", 400, "kind"},
        {"a slot past 4", true, R"({"version":0,"sample":11,"entry":1,"slot":5,"kind":"none","reason":"r"})", 404, "slot"},
        {"an unknown sample", true, R"({"version":0,"sample":-1,"entry":1,"slot":0,"kind":"none","reason":"r"})", 404, "no such sample"},
        {"a stale integration", true, R"({"version":7,"sample":11,"entry":1,"slot":0,"kind":"none","reason":"r"})", 409, "changed since"},
        {"a chosen peak without apex", true, R"({"version":0,"sample":11,"entry":1,"slot":0,"kind":"peak","reason":"r"})", 400, "apex"},
    };
    for (const auto& c : cases) {
        const Station::Answer answer = c.integration ? editor_.IntegrationAnswer(c.body) : editor_.ExclusionAnswer(c.body);
        EXPECT_EQ(answer.status, c.status) << c.what << ": " << answer.body;
        const JsonValue refusal = Parsed(answer);
        ASSERT_NE(refusal.Find("error"), nullptr) << c.what;
        EXPECT_NE(refusal.Find("error")->GetString().find(c.says), std::string::npos) << c.what << ": " << answer.body;
        EXPECT_EQ(VersionOf(editor_), 0) << c.what;
    }
    editor_.FlushOutputs();
    EXPECT_EQ(FolderContents(results_), original_);
}

// Narrowed bounds on an unknown sample: the stored area is the integrator's for those bounds
// on the stored points, only that sample's rows change, and a fresh run with the recorded
// decisions gives the same results.csv.
TEST_F(ReviewEditing, MovedBoundsAreMeasuredFromTheStoredPointsAndAFreshRunAgrees) {
    const fs::path database = results_ / "results.sqlite";
    const int sample = 11;  // SAMPLE-02
    const Table bounds = Query(database, "SELECT \"StartRT\", \"EndRT\" FROM peak_values WHERE sample = 12 AND entry = 1");
    ASSERT_EQ(bounds.size(), 1u);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* trace = nullptr;
    sqlite3_prepare_v2(db, "SELECT times, intensities FROM chromatograms WHERE sample = 12 AND entry = 1 AND slot = 0", -1, &trace,
                       nullptr);
    ASSERT_EQ(sqlite3_step(trace), SQLITE_ROW);
    std::vector<float> times, intensities;
    ASSERT_TRUE(Batch::DecodeFloats(sqlite3_column_blob(trace, 0), sqlite3_column_bytes(trace, 0), times));
    ASSERT_TRUE(Batch::DecodeFloats(sqlite3_column_blob(trace, 1), sqlite3_column_bytes(trace, 1), intensities));
    sqlite3_finalize(trace);
    sqlite3_close(db);
    // The start moved a quarter of the way in, the end kept; baselines given.
    const double start = std::stod(bounds[0][0]), end = std::stod(bounds[0][1]);
    const double newStart = start + (end - start) / 4;
    const std::string body = "{\"version\":0,\"sample\":" + std::to_string(sample) +
                             ",\"entry\":1,\"slot\":0,\"kind\":\"bounds\",\"start\":" + NumberText::Shortest(newStart) +
                             ",\"end\":" + NumberText::Shortest(end) + ",\"baselineStart\":0,\"baselineEnd\":0,\"reason\":\"Peak start cut by the integrator\"}";
    const Station::Answer answer = editor_.IntegrationAnswer(body);
    ASSERT_EQ(answer.status, 200) << answer.body;
    const JsonValue changed = Parsed(answer);
    EXPECT_EQ(changed.Find("version")->GetNumber(), 1);
    ASSERT_EQ(changed.Find("samples")->GetItems().size(), 1u);
    EXPECT_EQ(changed.Find("samples")->GetItems()[0].GetNumber(), sample);
    Integrate::Peak expected;
    std::string error;
    ASSERT_TRUE(Batch::MeasurePeak(times, intensities, newStart, end, 0.0, 0.0, expected, error)) << error;
    const Table area = Query(database, "SELECT area FROM results WHERE sample = 12 AND entry = 1");
    EXPECT_NEAR(std::stod(area[0][0]), expected.area, 1e-9 * expected.area);
    // Then the end moved in too, baselines not given: the baseline runs between the trace's own
    // values at the bounds, each on the straight line between the points around it.
    const auto traceAt = [&](double time) {
        const size_t k = static_cast<size_t>(std::lower_bound(times.begin(), times.end(), time) - times.begin());
        return intensities[k - 1] + (time - times[k - 1]) / (double(times[k]) - times[k - 1]) *
                                        (double(intensities[k]) - intensities[k - 1]);
    };
    const double newEnd = end - (end - start) / 4;
    const std::string movedEnd = "{\"version\":1,\"sample\":" + std::to_string(sample) +
                                 ",\"entry\":1,\"slot\":0,\"kind\":\"bounds\",\"start\":" + NumberText::Shortest(newStart) +
                                 ",\"end\":" + NumberText::Shortest(newEnd) + ",\"reason\":\"Tail cut by hand\"}";
    ASSERT_EQ(editor_.IntegrationAnswer(movedEnd).status, 200);
    ASSERT_TRUE(Batch::MeasurePeak(times, intensities, newStart, newEnd, traceAt(newStart), traceAt(newEnd), expected, error))
        << error;
    const Table narrowed = Query(database, "SELECT area FROM results WHERE sample = 12 AND entry = 1");
    EXPECT_NEAR(std::stod(narrowed[0][0]), expected.area, 1e-9 * expected.area);
    editor_.FlushOutputs();
    ExpectAFreshRunAgrees({"--integrations", (results_ / "integrations.csv").string()});
}

TEST_F(ReviewEditing, StateAndReasonsSayWhatTheStationOffers) {
    const JsonValue state = Parsed(editor_.StateAnswer());
    EXPECT_TRUE(state.Find("ready")->GetBool());
    EXPECT_TRUE(state.Find("editable")->GetBool());
    EXPECT_EQ(state.Find("user")->GetString(), "tester");
    // A lab's reasons follow the built-in ones; blank and repeated lines are left out.
    WriteText(results_ / "reasons.txt", "Lab reason one\r\n\nWrong peak chosen\nLab reason two\n");
    const JsonValue reasons = Parsed(editor_.ReasonsAnswer());
    std::vector<std::string> texts;
    for (const JsonValue& reason : reasons.Find("reasons")->GetItems()) texts.push_back(reason.GetString());
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Wrong peak chosen"), 1);
    EXPECT_EQ(texts[texts.size() - 2], "Lab reason one");
    EXPECT_EQ(texts.back(), "Lab reason two");
}

// A database written before the stored chromatograms kept their scans still takes moved bounds;
// the scans of such a peak are then counted in the kept points, not the file's.
TEST(ReviewEditorStart, ADatabaseWithoutStoredScansStillTakesMovedBounds) {
    TempFolder temp;
    const fs::path results = temp.Path() / "results", database = results / "results.sqlite";
    ASSERT_NO_FATAL_FAILURE(RunExampleAltered(
        results, "ALTER TABLE chromatograms DROP COLUMN scans; ALTER TABLE chromatograms DROP COLUMN first_scan"));
    const auto peak = [&] {
        return Query(database, "SELECT \"StartRT\", \"EndRT\", \"StScan\" FROM peak_values WHERE sample = 12 AND entry = 1");
    };
    const Table before = peak();
    ASSERT_EQ(before.size(), 1u);
    Station::ReviewEditor editor;
    ASSERT_TRUE(OpenLoaded(editor, EditorOptions(results))) << editor.StateAnswer().body;
    const Station::Answer answer = editor.IntegrationAnswer(
        "{\"version\":0,\"sample\":11,\"entry\":1,\"slot\":0,\"kind\":\"bounds\",\"start\":" + before[0][0] +
        ",\"end\":" + before[0][1] + ",\"reason\":\"Baseline redrawn\"}");
    ASSERT_EQ(answer.status, 200) << answer.body;
    EXPECT_LT(std::stod(peak()[0][2]), std::stod(before[0][2]));
}

// A stored trace that no longer decodes is named when a change needs it, and nothing changes;
// changes that do not need it go on.
TEST(ReviewEditorStart, ADamagedStoredTraceIsNamedAndRefusesOnlyTheChangesThatNeedIt) {
    TempFolder temp;
    const fs::path results = temp.Path() / "results";
    ASSERT_NO_FATAL_FAILURE(RunExampleAltered(
        results, "UPDATE chromatograms SET times = X'00FF00' WHERE sample = 12 AND entry = 1 AND slot = 0"));
    Station::ReviewEditor editor;
    ASSERT_TRUE(OpenLoaded(editor, EditorOptions(results))) << editor.StateAnswer().body;
    const Station::Answer moved = editor.IntegrationAnswer(
        R"({"version":0,"sample":11,"entry":1,"slot":0,"kind":"bounds","start":5.1,"end":5.2,"reason":"r"})");
    EXPECT_EQ(moved.status, 500) << moved.body;
    EXPECT_NE(moved.body.find("damaged"), std::string::npos) << moved.body;
    EXPECT_EQ(VersionOf(editor), 0);
    EXPECT_EQ(editor.ExclusionAnswer(ExclusionBody(0, kEntry, kStandard, true)).status, 200);
    editor.FlushOutputs();
    EXPECT_EQ(VersionOf(editor), 1);
    EXPECT_TRUE(fs::exists(results / "report.html"));
}

// A batch run with its own decision files and settings (--exclusions, --integrations,
// --acceptance): the station takes them from the run's record, corrects on top of them, and the
// files it keeps beside the results rebuild the corrected results on a fresh run.
TEST(ReviewEditorStart, TakesTheRunsOwnDecisionsAndSettingsFromItsRecord) {
    TempFolder temp;
    const fs::path results = temp.Path() / "results";
    const fs::path exclusions = temp.Path() / "lab-exclusions.csv", integrations = temp.Path() / "lab-integrations.csv";
    Batch::BatchInput input;
    std::vector<Batch::Problem> problems;
    ASSERT_TRUE(Batch::ReadBatch(ExampleFolder().string(), input, problems));
    const std::string first = input.method.GetAt(0).GetName(), second = input.method.GetAt(1).GetName();
    WriteText(exclusions, "Compound,Standard,Reason\n" + first + ",STD-03,bad injection\n");
    WriteText(integrations, "sample,compound,trace,kind,reason\nSAMPLE-02," + second + ",0,none,interference\n");
    const ToolRun run = RunTool({ExampleFolder().string(), "--out", results.string(), "--exclusions", exclusions.string(),
                                 "--integrations", integrations.string(), "--acceptance", "SANTE"});
    ASSERT_LE(run.status, Batch::kExitRejected) << run.err;
    Station::ReviewEditorOptions options = EditorOptions(results);
    options.batchFolder.clear();  // the run's record names it
    Station::ReviewEditor editor;
    ASSERT_TRUE(OpenLoaded(editor, options)) << editor.StateAnswer().body;
    const Station::Answer answer = editor.IntegrationAnswer(
        "{\"version\":0,\"sample\":12,\"entry\":1,\"slot\":0,\"kind\":\"none\",\"reason\":\"co-eluting interference\"}");
    ASSERT_EQ(answer.status, 200) << answer.body;
    editor.FlushOutputs();
    const std::string kept = ReadText(results / "integrations.csv");
    EXPECT_NE(kept.find("SAMPLE-02"), std::string::npos) << kept;
    EXPECT_NE(kept.find("co-eluting interference"), std::string::npos) << kept;
    const fs::path fresh = temp.Path() / "fresh";
    ASSERT_LE(RunTool({ExampleFolder().string(), "--out", fresh.string(), "--exclusions", exclusions.string(),
                       "--integrations", (results / "integrations.csv").string(), "--acceptance", "SANTE"})
                  .status,
              Batch::kExitRejected);
    EXPECT_EQ(ReadText(results / "results.csv"), ReadText(fresh / "results.csv"));
    EXPECT_EQ(Query(results / "results.sqlite", "SELECT count(*) FROM acceptance"),
              Query(fresh / "results.sqlite", "SELECT count(*) FROM acceptance"));
}

// A station killed with SIGKILL before a change's transaction, inside it (after its rows and
// audit row are written, before the commit) and after the commit leaves a database that checks
// whole and holds the batch either as before the change, with no audit row, or as after it,
// with one: never between.
TEST(ReviewEditorKill, KilledAroundAChangeLeavesBeforeOrAfterNeverBetween) {
    TempFolder temp;
    const fs::path first = temp.Path() / "first";
    ASSERT_EQ(RunTool({ExampleFolder().string(), "--out", first.string()}).status, Batch::kExitOK);
    const std::string kCurves = "SELECT entry, c0, c1, c2 FROM curves ORDER BY entry";
    const std::string kResults = "SELECT sample, entry, area, concentration, flags FROM results ORDER BY sample, entry";
    const Table beforeCurves = Query(first / "results.sqlite", kCurves), beforeResults = Query(first / "results.sqlite", kResults);
    // The state after the change, made without a kill.
    const fs::path reference = temp.Path() / "reference";
    fs::copy(first, reference);
    {
        Station::ReviewEditor editor;
        ASSERT_TRUE(OpenLoaded(editor, EditorOptions(reference)));
        ASSERT_EQ(editor.ExclusionAnswer(ExclusionBody(0, kEntry, kStandard, true)).status, 200);
    }
    const Table afterCurves = Query(reference / "results.sqlite", kCurves);
    const Table afterResults = Query(reference / "results.sqlite", kResults);
    ASSERT_NE(beforeCurves, afterCurves);
    ASSERT_NE(beforeResults, afterResults);

    // The child says 'l' when loaded, 't' inside the transaction (where it then waits), 'a'
    // after the answer; the parent kills it a few milliseconds after the signal it waits for.
    const struct {
        char waitFor;
        int delayMs;
        const char* expected;  // "before", "after" or "either"
    } kills[] = {{'l', 0, "either"}, {'t', 0, "before"}, {'t', 60, "before"}, {'a', 0, "after"}};
    int index = 0, journals = 0;
    for (const auto& kill : kills) {
        const std::string what = std::string("killed ") + std::to_string(kill.delayMs) + " ms after '" + kill.waitFor + "'";
        const fs::path results = temp.Path() / ("kill-" + std::to_string(index++));
        fs::copy(first, results);
        int signals[2];
        ASSERT_EQ(pipe(signals), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(signals[0]);
            const auto say = [&](char c) {
                if (write(signals[1], &c, 1) != 1) _exit(3);
            };
            Station::ReviewEditorOptions options = EditorOptions(results);
            options.insideTransaction = [&] {
                say('t');
                std::this_thread::sleep_for(std::chrono::milliseconds(400));
            };
            Station::ReviewEditor editor;
            if (!OpenLoaded(editor, options)) _exit(3);
            say('l');
            editor.ExclusionAnswer(ExclusionBody(0, kEntry, kStandard, true));
            say('a');
            for (int i = 0; i < 100; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            _exit(0);
        }
        close(signals[1]);
        bool seen = false;
        for (char c = 0; !seen && read(signals[0], &c, 1) == 1;) seen = c == kill.waitFor;
        std::this_thread::sleep_for(std::chrono::milliseconds(kill.delayMs));
        ::kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        close(signals[0]);
        ASSERT_TRUE(seen) << what << ": the child ended first";
        const fs::path database = results / "results.sqlite";
        journals += fs::exists(results / "results.sqlite-journal");
        // Opening for writing rolls back what a killed change left in its journal.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, "SELECT count(*) FROM results", nullptr, nullptr, nullptr), SQLITE_OK);
        EXPECT_TRUE(Batch::VerifyAuditChain(db).empty()) << what;
        sqlite3_close(db);
        EXPECT_EQ(Query(database, "PRAGMA integrity_check"), (Table{{"ok"}})) << what;
        const bool hasTrail = Query(database, "SELECT count(*) FROM sqlite_master WHERE name = 'audit'") == Table{{"1"}};
        const int rows = hasTrail ? std::stoi(Query(database, "SELECT count(*) FROM audit")[0][0]) : 0;
        const Table curves = Query(database, kCurves), stored = Query(database, kResults);
        const std::string found = rows == 0 ? "before" : "after";
        EXPECT_TRUE(found == kill.expected || std::string(kill.expected) == "either") << what << ": " << found;
        EXPECT_LE(rows, 1) << what;
        EXPECT_EQ(curves, rows == 0 ? beforeCurves : afterCurves) << what;
        EXPECT_EQ(stored, rows == 0 ? beforeResults : afterResults) << what;
    }
    EXPECT_GT(journals, 0) << "no kill came inside a transaction";
}

}  // namespace
