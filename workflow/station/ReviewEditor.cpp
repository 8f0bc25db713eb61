// The review station's editor (ReviewEditor.h). The batch is held in memory as a run left it:
// every sample's peaks (the corrected ones in place of the integrator's for a sample an analyst
// changed, the integrator's kept aside), the curves, and one row per sample and entry in the
// order the outputs print them (sample by sample, entries in method order). A change computes
// the new rows beside the held ones, writes those that differ in one transaction, and only then
// takes them in; a failure anywhere before the commit puts the peaks and exclusions back.
#include "workflow/station/ReviewEditor.h"

#include <pwd.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "platform/NumberText.h"
#include "workflow/batch/BatchSession.h"
#include "workflow/batch/Elements.h"
#include "workflow/batch/Workers.h"
#include "workflow/output/HtmlReport.h"
#include "workflow/output/ResultsDatabase.h"
#include "workflow/output/ResultsUpdate.h"
#include "workflow/output/SafeFile.h"
#include "workflow/output/Writers.h"
#include "workflow/review/BatchReview.h"
#include "workflow/review/Exclusions.h"
#include "workflow/station/JsonValue.h"

namespace Station {

namespace {

using Clock = std::chrono::steady_clock;
using Batch::Problem;

constexpr const char* kBuiltInReasons[] = {
    "Peak tail cut by the integrator",
    "Peak start cut by the integrator",
    "Baseline drawn through noise",
    "Co-eluting interference integrated",
    "Wrong peak chosen",
    "Shoulder split from the peak",
    "No real peak: noise integrated",
    "Calibration point outlier",
    "Standard prepared wrongly",
    "Injection failed",
};

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool FileExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// The run's recorded settings (table run, name and value); none from results written before
// the table was.
std::map<std::string, std::string> RecordedRun(sqlite3* database) {
    std::map<std::string, std::string> run;
    sqlite3_stmt* query = nullptr;
    if (sqlite3_prepare_v2(database, "SELECT name, value FROM run", -1, &query, nullptr) == SQLITE_OK)
        while (sqlite3_step(query) == SQLITE_ROW)
            if (sqlite3_column_text(query, 0) != nullptr && sqlite3_column_text(query, 1) != nullptr)
                run[reinterpret_cast<const char*>(sqlite3_column_text(query, 0))] =
                    reinterpret_cast<const char*>(sqlite3_column_text(query, 1));
    sqlite3_finalize(query);
    return run;
}

bool SameNumber(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

bool SameRow(const Batch::ResultRow& a, const Batch::ResultRow& b) {
    return a.found == b.found && SameNumber(a.foundRT, b.foundRT) && SameNumber(a.area, b.area) &&
           SameNumber(a.response, b.response) && SameNumber(a.conc, b.conc) && a.validConc == b.validConc &&
           a.units == b.units && SameNumber(a.lod, b.lod) && SameNumber(a.loq, b.loq) &&
           SameNumber(a.signalToNoise, b.signalToNoise) && SameNumber(a.ionRatio, b.ionRatio) &&
           a.flagsText == b.flagsText && a.flagsSet == b.flagsSet && a.packedPeakFields == b.packedPeakFields &&
           SameNumber(a.quality.widthAtHalfHeight, b.quality.widthAtHalfHeight) &&
           SameNumber(a.quality.asymmetry, b.quality.asymmetry) &&
           SameNumber(a.quality.tailingFactor, b.quality.tailingFactor) && a.quality.pointsAcross == b.quality.pointsAcross;
}

bool SameCurve(const Batch::CurveResult& a, const Batch::CurveResult& b) {
    _tagINTERNAL_CURVE_DB_RECORD first{}, second{};
    a.curve.GetRecord(first);
    b.curve.GetRecord(second);
    return a.description == b.description && a.exclusions == b.exclusions && a.residuals == b.residuals &&
           std::memcmp(&first, &second, sizeof first) == 0;
}

bool SameAcceptance(const Batch::AcceptanceResult& a, const Batch::AcceptanceResult& b) {
    if (a.rules != b.rules || a.verdicts.size() != b.verdicts.size()) return false;
    for (size_t i = 0; i < a.verdicts.size(); ++i) {
        const Batch::RuleVerdict &x = a.verdicts[i], &y = b.verdicts[i];
        if (x.compound != y.compound || x.rule != y.rule || x.sample != y.sample || x.passed != y.passed ||
            x.reason != y.reason)
            return false;
    }
    return true;
}

Batch::AuditValues ValuesOf(const Batch::ResultRow& row) {
    Batch::AuditValues values;
    values.found = row.found;
    values.start = Batch::PeakFieldNumber(row, CPeakData::kPeakStartRT);
    values.end = Batch::PeakFieldNumber(row, CPeakData::kPeakEndRT);
    values.baselineStart = Batch::PeakFieldNumber(row, CPeakData::kPeakStHeight);
    values.baselineEnd = Batch::PeakFieldNumber(row, CPeakData::kPeakEnHeight);
    values.area = row.found ? row.area : std::nan("");
    values.height = Batch::PeakFieldNumber(row, CPeakData::kPeakHeight);
    values.response = row.found ? row.response : std::nan("");
    values.conc = row.validConc ? row.conc : std::nan("");
    values.flags = row.flagsText;
    return values;
}

std::string NumberJson(double value) { return std::isfinite(value) ? NumberText::Shortest(value) : "null"; }

std::string AuditValuesJson(const Batch::AuditValues& v) {
    return "{\"found\":" + std::string(v.found ? "true" : "false") + ",\"start\":" + NumberJson(v.start) +
           ",\"end\":" + NumberJson(v.end) + ",\"baselineStart\":" + NumberJson(v.baselineStart) +
           ",\"baselineEnd\":" + NumberJson(v.baselineEnd) + ",\"area\":" + NumberJson(v.area) +
           ",\"height\":" + NumberJson(v.height) + ",\"response\":" + NumberJson(v.response) +
           ",\"concentration\":" + NumberJson(v.conc) + ",\"flags\":" + Batch::JsonString(v.flags) + "}";
}

std::string AuditJson(const Batch::AuditEntry& e) {
    return "{\"id\":" + std::to_string(e.id) + ",\"time\":" + Batch::JsonString(e.time) +
           ",\"user\":" + Batch::JsonString(e.user) + ",\"action\":" + Batch::JsonString(e.action) +
           ",\"sample\":" + Batch::JsonString(e.sample) + ",\"compound\":" + Batch::JsonString(e.compound) +
           ",\"slot\":" + std::to_string(e.slot) + ",\"before\":" + AuditValuesJson(e.before) +
           ",\"after\":" + AuditValuesJson(e.after) + ",\"reason\":" + Batch::JsonString(e.reason) +
           ",\"version\":" + Batch::JsonString(e.version) + ",\"hash\":" + Batch::JsonString(e.hash) + "}";
}

// A request's reason: required, one short line.
bool CheckReason(const JsonValue& request, std::string& reason, std::string& error) {
    const JsonValue* given = request.Find("reason");
    if (given == nullptr || !given->IsString() || given->GetString().empty()) {
        error = "a change needs a reason (\"reason\": a short text)";
        return false;
    }
    reason = given->GetString();
    if (reason.size() > ReviewEditor::kLongestReason) {
        error = "the reason is longer than " + std::to_string(ReviewEditor::kLongestReason) + " bytes";
        return false;
    }
    for (char c : reason)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            error = "the reason must be one line, without control characters";
            return false;
        }
    return true;
}

// A whole number member within [low, high]; false when absent, fractional or outside.
bool WholeNumber(const JsonValue& request, const char* name, int low, int high, int& value) {
    const JsonValue* given = request.Find(name);
    if (given == nullptr || given->GetKind() != JsonValue::Kind::kNumber) return false;
    const double number = given->GetNumber();
    if (!(number >= low && number <= high) || number != std::floor(number)) return false;
    value = static_cast<int>(number);
    return true;
}

// A finite number member; false when absent or not a finite number.
bool FiniteNumber(const JsonValue& request, const char* name, double& value) {
    const JsonValue* given = request.Find(name);
    if (given == nullptr || given->GetKind() != JsonValue::Kind::kNumber || !std::isfinite(given->GetNumber()))
        return false;
    value = given->GetNumber();
    return true;
}

// Intensity of a trace at `time`, on the straight line between the points around it.
double IntensityAt(const std::vector<float>& times, const std::vector<float>& intensities, double time) {
    for (size_t i = 1; i < times.size(); ++i)
        if (time <= times[i]) {
            const double t0 = times[i - 1], t1 = times[i];
            const double share = t1 > t0 ? (time - t0) / (t1 - t0) : 0.0;
            return intensities[i - 1] + share * (static_cast<double>(intensities[i]) - intensities[i - 1]);
        }
    return intensities.empty() ? 0.0 : intensities.back();
}

// The scans of a stored trace from its first_scan and scans columns: `firstScan` 0 when the
// database keeps none (an earlier version's), the one-per-point list only when it is kept.
// False when the list does not fit the points.
bool ReadScans(sqlite3_stmt* query, int column, Batch::EntryTrace& trace) {
    trace.firstScan = 0;
    if (sqlite3_column_type(query, column) == SQLITE_NULL) return true;
    trace.firstScan = sqlite3_column_int(query, column);
    if (sqlite3_column_type(query, column + 1) == SQLITE_NULL) return true;
    const int size = sqlite3_column_bytes(query, column + 1);
    return Batch::DecodeScans(sqlite3_column_blob(query, column + 1), size > 0 ? static_cast<size_t>(size) : 0,
                              trace.scans) &&
           trace.scans.size() == trace.times.size();
}

// The scan of a stored trace's point i; 0 when the database keeps none.
int ScanOf(const Batch::EntryTrace& trace, size_t i) {
    if (!trace.scans.empty()) return trace.scans[i];
    return trace.firstScan > 0 ? trace.firstScan + static_cast<int>(i) : 0;
}

}  // namespace

std::string LoginName() {
    char name[256] = {};
    if (getlogin_r(name, sizeof name) == 0 && name[0] != '\0') return name;
    if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_name != nullptr && entry->pw_name[0])
        return entry->pw_name;
    if (const char* user = std::getenv("USER"); user != nullptr && user[0] != '\0') return user;
    return "analyst";
}

struct ReviewEditor::State {
    ReviewEditorOptions options;
    sqlite3* database = nullptr;
    std::thread loader, rewriter;

    // Loading, and whether changes may be made.
    mutable std::mutex status;
    bool loaded = false, editable = false;
    std::string loading = "starting", why;
    int version = 0;
    std::condition_variable loadedSignal;

    // One change at a time; the held batch below changes only under it.
    std::mutex change;
    Batch::BatchInput input;
    Batch::PeriodicDatabaseFile periodic;
    Batch::RunOptions run;
    // The run as results.sqlite records it (table run): the settings that change results.
    std::map<std::string, std::string> recorded;
    std::string acceptance;
    double outlierLimit = 0.0;
    bool fullPrecision = false;
    std::map<int, std::pair<CPeakList, std::vector<Integrate::PeakQuality>>> automatic;  // by sample index
    std::vector<Batch::IntegrationChange> changes;   // in the order made
    std::set<std::pair<std::string, std::string>> listExclusions;  // batch.csv's own, by compound and standard
    Batch::ExclusionNotes notes;
    CCalibrationList curves;
    Batch::BatchResults results;  // rows: samples x entries

    // The text outputs, written again after changes by the rewriter thread.
    std::mutex outputs;
    std::condition_variable outputsSignal;
    bool outputsPending = false, outputsWriting = false, stopping = false;
    Clock::time_point outputsDue;

    int Entries() const { return input.method.GetSize(); }
    bool Loaded() const {
        std::lock_guard<std::mutex> hold(status);
        return loaded;
    }
    void Load();
    void SetStatus(const std::string& text) {
        std::lock_guard<std::mutex> hold(status);
        loading = text;
    }
    bool Calibrate(CCalibrationList& fitted, std::vector<Batch::CurveResult>& described, std::vector<Problem>& problems);
    void QuantifyAll(const CCalibrationList& with, std::vector<Batch::SampleRun>& runs);
    // Judges `next` on the held rows, those of the samples in `fresh` replaced.
    void Judge(Batch::BatchResults& next, const std::map<int, std::vector<Batch::ResultRow>>& fresh);
    // The stored traces of a sample, of `entries` only when given (every entry's otherwise), as
    // the batch run kept them. A damaged trace is left out, named in `error`, and gives false.
    bool ReadTraces(int sample, const std::set<int>* entries, std::vector<Batch::EntryTrace>& traces,
                    std::string& error);
    std::vector<RawData::Chromatogram> TracesForIntegration(const std::vector<Batch::EntryTrace>& stored);
    bool ApplySampleChanges(int sample, std::vector<Problem>& problems);
    Answer Commit(const std::vector<int>& rerun, bool refit, Batch::AuditEntry& audit, const Clock::time_point& began,
                  const std::function<void()>& undo);
    bool CheckStoredResults(std::string& difference);
    void ReplayExclusions(const std::vector<Batch::AuditEntry>& trail);
    void WriteDecisionFiles();
    void QueueOutputs();
    void RewriteOutputs();
    bool FormatOutputs(std::string& csv, std::string& matrix, std::string& curvesText, std::string& report);
    // Whether changes may be made and `request` names the version the results are at now; else
    // the refusal (409 for a stale version: never applied over another's change).
    bool CurrentVersionAsked(const JsonValue& request, Answer& refusal) const;
    // A change request taken in: well formed, the batch loaded, the change lock held in
    // `serial` (changes one at a time) and made on the current version; else the refusal.
    bool AdmitChange(std::string_view body, JsonValue& request, std::unique_lock<std::mutex>& serial, Answer& refusal);
    int CurrentVersion() const {
        std::lock_guard<std::mutex> hold(status);
        return version;
    }
    void WriteOutputsNow();
};

ReviewEditor::ReviewEditor() = default;

ReviewEditor::~ReviewEditor() {
    if (!m_state) return;
    if (m_state->loader.joinable()) m_state->loader.join();
    FlushOutputs();
    {
        std::lock_guard<std::mutex> hold(m_state->outputs);
        m_state->stopping = true;
    }
    m_state->outputsSignal.notify_all();
    if (m_state->rewriter.joinable()) m_state->rewriter.join();
    sqlite3_close(m_state->database);
}

bool ReviewEditor::Open(const ReviewEditorOptions& options, std::string& error) {
    m_state = std::make_unique<State>();
    State& s = *m_state;
    s.options = options;
    if (!s.options.appendAudit) s.options.appendAudit = Batch::AppendAudit;
    if (s.options.user.empty()) s.options.user = LoginName();
    const std::string path = options.resultsFolder + "/results.sqlite";
    if (sqlite3_open_v2(path.c_str(), &s.database, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        error = "cannot open " + path + " for changes: " + (s.database ? sqlite3_errmsg(s.database) : "out of memory");
        sqlite3_close(s.database);
        s.database = nullptr;
        return false;
    }
    // A rollback journal flushed at every commit: a station killed in the middle of a change
    // leaves a journal that the next opening rolls back, and the first query here does so.
    sqlite3_busy_timeout(s.database, 5000);
    char* failure = nullptr;
    if (sqlite3_exec(s.database, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; SELECT count(*) FROM results",
                     nullptr, nullptr, &failure) != SQLITE_OK) {
        error = path + ": " + (failure != nullptr ? failure : sqlite3_errmsg(s.database));
        sqlite3_free(failure);
        return false;
    }
    s.loader = std::thread([&s] { s.Load(); });
    s.rewriter = std::thread([&s] { s.RewriteOutputs(); });
    return true;
}

bool ReviewEditor::WaitUntilLoaded() {
    if (!m_state) return false;
    std::unique_lock<std::mutex> hold(m_state->status);
    m_state->loadedSignal.wait(hold, [this] { return m_state->loaded; });
    return m_state->editable;
}

// ---- loading ------------------------------------------------------------------------------

void ReviewEditor::State::Load() {
    std::string failure;
    const auto finish = [this](bool ok, const std::string& reason) {
        std::lock_guard<std::mutex> hold(status);
        loaded = true;
        editable = ok;
        why = reason;
        loading = ok ? "ready" : "not editable";
        loadedSignal.notify_all();
    };
    std::lock_guard<std::mutex> hold(change);
    recorded = RecordedRun(database);
    const auto setting = [this](const char* name) {
        const auto at = recorded.find(name);
        return at == recorded.end() ? std::string() : at->second;
    };
    if (!setting("curves_file").empty())
        return finish(false, "the batch was quantified against stored curves (quan-batch --curves): corrections need "
                             "a batch that calibrates from its own standards");
    acceptance = setting("acceptance");
    if (!NumberText::Read(setting("outlier_limit"), outlierLimit)) outlierLimit = 0.0;
    fullPrecision = setting("full_precision") == "1";
    std::string folder = options.batchFolder.empty() ? setting("batch_folder") : options.batchFolder;
    if (folder.empty()) {
        sqlite3_stmt* query = nullptr;
        if (sqlite3_prepare_v2(database, "SELECT method_file FROM batch", -1, &query, nullptr) == SQLITE_OK &&
            sqlite3_step(query) == SQLITE_ROW && sqlite3_column_text(query, 0) != nullptr)
            folder = FolderOf(reinterpret_cast<const char*>(sqlite3_column_text(query, 0)));
        sqlite3_finalize(query);
    }
    if (folder.empty())
        return finish(false, "the results do not say where the batch's inputs are: start quan-review with --batch DIR");
    SetStatus("reading the batch in " + folder);
    std::vector<Problem> problems;
    if (!Batch::ReadBatch(folder, input, problems, true, options.threads))
        return finish(false, "the batch's inputs in " + folder + " do not read: " +
                                 (problems.empty() ? std::string("unknown problem") : problems.front().message));
    for (const auto& sample : input.samples)
        for (const std::string& compound : sample->excluded) listExclusions.insert({compound, sample->id});
    // The station keeps every exclusion made by hand in exclusions.csv beside the results; before
    // its first change, the run's own exclusions file holds them.
    std::string exclusionsFile = options.resultsFolder + "/exclusions.csv";
    if (!FileExists(exclusionsFile)) exclusionsFile = setting("exclusions_file");
    if (!exclusionsFile.empty() && !Batch::ApplyExclusionsFile(exclusionsFile, input, notes, problems))
        return finish(false, exclusionsFile + " does not read: " + problems.front().message);
    // The audit trail is the record of every change, committed with it: a station killed after
    // a commit but before the files beside the results were written again finds the decisions
    // there. Without a readable trail the files are taken as they are.
    std::vector<Batch::AuditEntry> trail;
    std::string trailError;
    const bool haveTrail = Batch::ReadAudit(database, trail, trailError);
    if (haveTrail) ReplayExclusions(trail);
    Batch::NoteBatchListExclusions(input, notes);
    if (!periodic.Build(input.elementsFile, problems))
        return finish(false, problems.empty() ? "the element table does not read" : problems.front().message);
    run.threads = options.threads;
    run.periodicDatabase = periodic.Path();

    // The decisions: the run's own integrations file, then the trail's changes (integrations.csv
    // beside the results holds both once the station has written it).
    const std::string runIntegrations = setting("integrations_file");
    std::string integrationsFile = options.resultsFolder + "/integrations.csv";
    if (haveTrail || !FileExists(integrationsFile)) integrationsFile = runIntegrations;
    if (!integrationsFile.empty() && !Batch::ReadIntegrations(integrationsFile, changes, problems))
        return finish(false, integrationsFile + " does not read: " +
                                 (problems.empty() ? std::string("unknown problem") : problems.front().message));
    if (haveTrail) {
        for (const Batch::AuditEntry& entry : trail)
            if (entry.action == "integrate" || entry.action == "choose peak" || entry.action == "no peak" ||
                entry.action == "automatic")
                changes.push_back(entry.change);
    }
    if (!changes.empty()) {
        std::set<int> changed;
        for (const Batch::IntegrationChange& c : changes)
            for (size_t i = 0; i < input.samples.size(); ++i)
                if (input.samples[i]->id == c.sample) changed.insert(static_cast<int>(i));
        for (int sample : changed)
            if (!ApplySampleChanges(sample, problems))
                return finish(false, integrationsFile + ": " + problems.front().message);
    }

    SetStatus("calibrating");
    std::vector<Batch::CurveResult> described;
    if (!Calibrate(curves, described, problems))
        return finish(false, "the batch does not calibrate: " +
                                 (problems.empty() ? std::string("unknown problem") : problems.front().message));
    SetStatus("quantifying " + std::to_string(input.samples.size()) + " samples");
    std::vector<Batch::SampleRun> runs;
    QuantifyAll(curves, runs);
    results.methodFile = folder + "/method.xml";
    results.curves = std::move(described);
    for (Batch::SampleRun& sample : runs) {
        if (!sample.ran || static_cast<int>(sample.rows.size()) != Entries())
            return finish(false, "sample " + sample.result.id + " does not run again from its inputs");
        results.samples.push_back(sample.result);
        for (Batch::ResultRow& row : sample.rows) results.rows.push_back(std::move(row));
    }
    Judge(results, {});

    std::string difference;
    if (!CheckStoredResults(difference))
        return finish(false, "the stored results are not what the batch's inputs and recorded changes give (" +
                                 difference + "): run quan-batch again before correcting them");
    sqlite3_stmt* count = nullptr;
    if (sqlite3_prepare_v2(database, "SELECT count(*) FROM audit", -1, &count, nullptr) == SQLITE_OK &&
        sqlite3_step(count) == SQLITE_ROW) {
        std::lock_guard<std::mutex> state(status);
        version = sqlite3_column_int(count, 0);
    }
    sqlite3_finalize(count);
    if (haveTrail && !trail.empty()) WriteDecisionFiles();
    finish(true, "");
}

bool ReviewEditor::State::Calibrate(CCalibrationList& fitted, std::vector<Batch::CurveResult>& described,
                                    std::vector<Problem>& problems) {
    Batch::BatchReview review;
    review.Configure(input.method.settings.review, acceptance, outlierLimit);
    Batch::RunOptions options = run;
    options.beforeFit = [&](CCalibrationList& prepared) { review.ExcludeOutliers(input.method, prepared); };
    if (!Batch::CalibrateBatch(input, options, fitted, problems)) return false;
    described = Batch::DescribeCurves(input.method, fitted);
    for (Batch::CurveResult& curve : described)
        for (const auto& [key, note] : notes)
            if (key.first == curve.compound) curve.exclusions[key.second] = {note.by, note.reason};
    review.NoteExclusions(described);
    return true;
}

void ReviewEditor::State::QuantifyAll(const CCalibrationList& with, std::vector<Batch::SampleRun>& runs) {
    runs.assign(input.samples.size(), Batch::SampleRun());
    const bool match = Batch::CurvesMatchEntries(input.method, with);
    Batch::RunOnWorkers(static_cast<int>(input.samples.size()), run.threads, [&](int, int index) {
        thread_local CQuanLocate locate;
        thread_local CQuanQuantify quantify;
        Batch::QuantifySample(locate, quantify, input, index, with, match, run, runs[index]);
    });
}

void ReviewEditor::State::Judge(Batch::BatchResults& next, const std::map<int, std::vector<Batch::ResultRow>>& fresh) {
    Batch::BatchReview review;
    review.Configure(input.method.settings.review, acceptance, outlierLimit);
    const size_t entries = static_cast<size_t>(Entries());
    // Gathering takes a sample's rows whole; without rules there is nothing to gather.
    for (size_t s = 0; review.Settings().rules != Batch::RuleSet::kNone && s < next.samples.size(); ++s) {
        const auto own = fresh.find(static_cast<int>(s));
        if (own != fresh.end()) {
            review.Gather(next, next.samples[s], own->second);
        } else {
            const auto from = results.rows.begin() + s * entries;
            review.Gather(next, next.samples[s], std::vector<Batch::ResultRow>(from, from + entries));
        }
    }
    review.Judge(input.method, next);
}

// Compares what the batch gives now with what results.sqlite holds, result by result.
bool ReviewEditor::State::CheckStoredResults(std::string& difference) {
    sqlite3_stmt* query = nullptr;
    if (sqlite3_prepare_v2(database, "SELECT sample, entry, found, area, concentration FROM results ORDER BY sample, entry",
                           -1, &query, nullptr) != SQLITE_OK) {
        difference = sqlite3_errmsg(database);
        return false;
    }
    size_t count = 0;
    bool same = true;
    while (same && sqlite3_step(query) == SQLITE_ROW) {
        const int sample = sqlite3_column_int(query, 0) - 1, entry = sqlite3_column_int(query, 1);
        const size_t at = static_cast<size_t>(sample) * Entries() + (entry - 1);
        const auto real = [query](int column) {
            return sqlite3_column_type(query, column) == SQLITE_NULL ? std::nan("") : sqlite3_column_double(query, column);
        };
        if (sample < 0 || entry < 1 || entry > Entries() || at >= results.rows.size()) {
            difference = "a stored result of sample " + std::to_string(sample + 1) + ", entry " + std::to_string(entry) +
                         " that the batch does not have";
            same = false;
            break;
        }
        const Batch::ResultRow& row = results.rows[at];
        const double area = row.found ? row.area : std::nan(""), conc = row.validConc ? row.conc : std::nan("");
        if ((sqlite3_column_int(query, 2) != 0) != row.found || !SameNumber(real(3), area) || !SameNumber(real(4), conc)) {
            difference = "sample " + results.samples[sample].id + ", " + row.compound;
            same = false;
        }
        ++count;
    }
    sqlite3_finalize(query);
    if (same && count != results.rows.size()) {
        difference = std::to_string(count) + " stored results, " + std::to_string(results.rows.size()) + " computed";
        same = false;
    }
    return same;
}

// ---- a sample's corrected peaks -----------------------------------------------------------

bool ReviewEditor::State::ReadTraces(int sample, const std::set<int>* entries, std::vector<Batch::EntryTrace>& traces,
                                     std::string& error) {
    traces.clear();
    sqlite3_stmt* query = nullptr;
    // Databases of earlier versions keep no scans: the points are then numbered as they come.
    const auto prepare = [&](const char* scans) {
        sqlite3_finalize(query);
        query = nullptr;
        const std::string sql = "SELECT entry, slot, trace, expected_ratio, overlay_scale, internal_standard, "
                                "predicted_rt, window_start, window_end, times, intensities" +
                                std::string(scans) + " FROM chromatograms WHERE sample = ?1" +
                                (entries != nullptr ? " AND entry = ?2" : "") + " ORDER BY entry, slot";
        return sqlite3_prepare_v2(database, sql.c_str(), -1, &query, nullptr) == SQLITE_OK;
    };
    const bool withScans = prepare(", first_scan, scans");
    if (!withScans && !prepare("")) {
        // A batch run from peak lists keeps no chromatograms table at all.
        sqlite3_finalize(query);
        return true;
    }
    const auto read = [&]() {
        while (sqlite3_step(query) == SQLITE_ROW) {
            Batch::EntryTrace trace;
            const auto real = [query](int column) {
                return sqlite3_column_type(query, column) == SQLITE_NULL ? 0.0 : sqlite3_column_double(query, column);
            };
            const auto floats = [query](int column, std::vector<float>& values) {
                const int size = sqlite3_column_bytes(query, column);
                return Batch::DecodeFloats(sqlite3_column_blob(query, column), size > 0 ? static_cast<size_t>(size) : 0,
                                           values);
            };
            trace.entry = sqlite3_column_int(query, 0);
            trace.slot = sqlite3_column_int(query, 1);
            const unsigned char* name = sqlite3_column_text(query, 2);
            trace.trace = name != nullptr ? reinterpret_cast<const char*>(name) : "";
            trace.expectedRatio = real(3);
            trace.overlayScale = real(4);
            trace.internalStandard = sqlite3_column_int(query, 5);
            trace.predictedRT = real(6);
            trace.windowStart = real(7);
            trace.windowEnd = real(8);
            trace.firstScan = 0;
            if (floats(9, trace.times) && floats(10, trace.intensities) && trace.times.size() == trace.intensities.size() &&
                (!withScans || ReadScans(query, 11, trace)))
                traces.push_back(std::move(trace));
            else if (error.empty())
                error = "the stored chromatogram of entry " + std::to_string(trace.entry) + ", trace " + trace.trace +
                        " is damaged";
        }
        sqlite3_reset(query);
    };
    sqlite3_bind_int(query, 1, sample + 1);
    if (entries == nullptr) read();
    else
        for (int entry : *entries) {
            sqlite3_bind_int(query, 2, entry);
            read();
        }
    sqlite3_finalize(query);
    return error.empty();
}

// The sample's traces as the integrator's input, from the stored points: the windows kept of
// one trace (several entries may use it) merged into one list of points, each window whole,
// so bounds inside any entry's window see every point the raw trace has there.
std::vector<RawData::Chromatogram> ReviewEditor::State::TracesForIntegration(const std::vector<Batch::EntryTrace>& stored) {
    // Each point's intensity and scan (0 when the database keeps none) by time.
    std::map<std::string, std::map<float, std::pair<float, int>>> points;
    for (const Batch::EntryTrace& trace : stored)
        for (size_t i = 0; i < trace.times.size(); ++i)
            points[trace.trace].emplace(trace.times[i], std::make_pair(trace.intensities[i], ScanOf(trace, i)));
    std::vector<RawData::Chromatogram> traces;
    for (const auto& [name, byTime] : points) {
        RawData::Chromatogram trace;
        trace.id = trace.trace = name;
        const size_t arrow = name.find('>');
        double mz = 0.0;
        if (NumberText::Read(name.substr(0, arrow), mz)) trace.precursorMz = mz;
        if (arrow != std::string::npos && NumberText::Read(name.substr(arrow + 1), mz)) trace.productMz = mz;
        bool scanned = true;
        for (const auto& [time, point] : byTime) {
            trace.times.push_back(time);
            trace.intensities.push_back(point.first);
            trace.scans.push_back(point.second);
            scanned = scanned && point.second > 0;
        }
        if (!scanned) trace.scans.clear();
        traces.push_back(std::move(trace));
    }
    return traces;
}

// Puts the sample's changes so far (in `changes`) on a fresh copy of its automatic peaks.
bool ReviewEditor::State::ApplySampleChanges(int sample, std::vector<Problem>& problems) {
    Batch::SampleInput& in = *input.samples[sample];
    auto kept = automatic.find(sample);
    if (kept == automatic.end()) kept = automatic.emplace(sample, std::make_pair(in.peaks, in.quality)).first;
    std::vector<Batch::IntegrationChange> mine;
    // Moved bounds are measured on their entry's own stored window, which holds every point
    // between them: only those entries' traces are read.
    std::set<int> measured;
    for (const Batch::IntegrationChange& c : changes)
        if (c.sample == in.id) {
            mine.push_back(c);
            for (int e = 0; c.kind == Batch::IntegrationKind::kBounds && e < Entries(); ++e)
                if (input.method.GetAt(e).GetName() == c.compound) measured.insert(e + 1);
        }
    std::vector<Batch::EntryTrace> stored;
    std::string error;
    if (!ReadTraces(sample, &measured, stored, error)) {
        problems.push_back({"", 0, 0, error});
        return false;
    }
    CPeakList peaks = kept->second.first;
    std::vector<Integrate::PeakQuality> quality = kept->second.second;
    if (!Batch::ApplyIntegrations(input.method, mine, TracesForIntegration(stored), peaks, quality, problems)) {
        if (problems.empty()) problems.push_back({"", 0, 0, "the change cannot be applied"});
        return false;
    }
    in.peaks = std::move(peaks);
    in.quality = std::move(quality);
    return true;
}

// ---- making a change ----------------------------------------------------------------------

// Runs the samples `rerun` again (every sample after a refit), writes what differs together with
// `audit`, and takes the new state in. `undo` puts the inputs back when anything fails.
Answer ReviewEditor::State::Commit(const std::vector<int>& rerun, bool refit, Batch::AuditEntry& audit,
                                   const Clock::time_point& began, const std::function<void()>& undo) {
    std::vector<Problem> problems;
    CCalibrationList fitted;
    std::vector<Batch::CurveResult> described;
    if (refit && !Calibrate(fitted, described, problems)) {
        undo();
        return ErrorAnswer(422, "the curves cannot be fitted after this change: " +
                                    (problems.empty() ? std::string("unknown problem") : problems.front().message));
    }
    const CCalibrationList& with = refit ? fitted : curves;
    std::vector<Batch::SampleRun> runs;
    std::vector<int> samples = rerun;
    if (refit) {
        QuantifyAll(with, runs);
        samples.clear();
        for (size_t i = 0; i < runs.size(); ++i) samples.push_back(static_cast<int>(i));
    } else {
        const bool match = Batch::CurvesMatchEntries(input.method, with);
        CQuanLocate locate;
        CQuanQuantify quantify;
        for (int sample : samples) {
            runs.emplace_back();
            Batch::QuantifySample(locate, quantify, input, sample, with, match, run, runs.back());
        }
    }
    // The batch after the change: the rows of the samples run again beside the held ones.
    Batch::BatchResults next;
    next.methodFile = results.methodFile;
    next.samples = results.samples;
    next.curves = refit ? std::move(described) : results.curves;
    std::map<int, std::vector<Batch::ResultRow>> fresh;
    const size_t entries = static_cast<size_t>(Entries());
    for (size_t r = 0; r < samples.size(); ++r) {
        Batch::SampleRun& sample = runs[r];
        if (!sample.ran || sample.rows.size() != entries) {
            undo();
            return ErrorAnswer(500, "sample " + sample.result.id + " could not be run again");
        }
        next.samples[samples[r]] = sample.result;
        fresh[samples[r]] = std::move(sample.rows);
    }
    Judge(next, fresh);

    Batch::ResultsChange change;
    std::set<int> changedSamples;
    for (const auto& [sample, sampleRows] : fresh)
        for (size_t e = 0; e < entries; ++e)
            if (!SameRow(sampleRows[e], results.rows[sample * entries + e])) {
                change.rows.push_back(&sampleRows[e]);
                changedSamples.insert(sample);
            }
    for (size_t s = 0; s < next.samples.size(); ++s)
        if (next.samples[s].locateStatus != results.samples[s].locateStatus ||
            next.samples[s].quantifyStatus != results.samples[s].quantifyStatus)
            change.samples.push_back(s);
    std::vector<int> changedCurves;
    for (size_t c = 0; c < next.curves.size() && c < results.curves.size(); ++c)
        if (!SameCurve(next.curves[c], results.curves[c])) {
            change.curves.push_back(&next.curves[c]);
            changedCurves.push_back(next.curves[c].entry);
        }
    change.acceptance = !SameAcceptance(next.acceptance, results.acceptance);
    // The corrected samples were located again: their stored windows follow.
    for (size_t r = 0; r < samples.size(); ++r)
        if (std::find(rerun.begin(), rerun.end(), samples[r]) != rerun.end())
            change.windows.emplace_back(static_cast<size_t>(samples[r]), &runs[r].windows);

    // The audit row: the result the change was made on, before and after.
    for (const auto& [sample, sampleRows] : fresh)
        if (next.samples[sample].id == audit.sample)
            for (size_t e = 0; e < entries; ++e)
                if (sampleRows[e].compound == audit.compound) {
                    audit.before = ValuesOf(results.rows[sample * entries + e]);
                    audit.after = ValuesOf(sampleRows[e]);
                }

    std::string error;
    char* failure = nullptr;
    bool written = sqlite3_exec(database, "BEGIN IMMEDIATE", nullptr, nullptr, &failure) == SQLITE_OK;
    if (written) {
        written = Batch::UpdateResults(database, next, change, error) && options.appendAudit(database, audit, error);
        if (written && options.insideTransaction) options.insideTransaction();
        if (written) written = sqlite3_exec(database, "COMMIT", nullptr, nullptr, &failure) == SQLITE_OK;
        if (!written) sqlite3_exec(database, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    if (!written) {
        if (error.empty()) error = failure != nullptr ? failure : sqlite3_errmsg(database);
        sqlite3_free(failure);
        undo();
        return ErrorAnswer(500, "the change could not be saved (nothing was changed): " + error);
    }

    // Committed: the held batch becomes the new one.
    std::vector<Batch::ResultRow> changedRows;
    std::vector<double> nominals;
    for (const Batch::ResultRow* row : change.rows) {
        changedRows.push_back(*row);
        nominals.push_back(Batch::NominalConcentration(next, *row));
    }
    results.samples = std::move(next.samples);
    results.curves = std::move(next.curves);
    results.acceptance = std::move(next.acceptance);
    for (auto& [sample, sampleRows] : fresh)
        std::move(sampleRows.begin(), sampleRows.end(), results.rows.begin() + sample * entries);
    if (refit) curves = std::move(fitted);
    int now = 0;
    {
        std::lock_guard<std::mutex> hold(status);
        now = ++version;
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - began).count();
    Batch::HtmlReportWriter writer;
    const std::string rowsJson = writer.RowsJson(results, changedRows, nominals);
    std::string json = "{\"version\":" + std::to_string(now) + ",\"rows\":" + rowsJson + ",\"texts\":" + writer.TextsJson() +
                       ",\"samples\":[";
    bool first = true;
    for (int sample : changedSamples) {
        json += (first ? "" : ",") + std::to_string(sample);
        first = false;
    }
    json += "],\"curves\":[";
    first = true;
    // The refit curves themselves: the page redraws them without reading the batch again.
    for (int entry : changedCurves) {
        if (entry < 1 || entry > static_cast<int>(results.curves.size())) continue;
        json += (first ? "" : ",") + Batch::CurveJson(results.curves[entry - 1]);
        first = false;
    }
    json += "],\"audit\":" + AuditJson(audit) + ",\"ms\":" + NumberText::General(ms, 4) + "}";
    return {200, json};
}

// The exclusions and restorations of the trail, in order, over those the files gave.
void ReviewEditor::State::ReplayExclusions(const std::vector<Batch::AuditEntry>& trail) {
    for (const Batch::AuditEntry& entry : trail) {
        const bool exclude = entry.action == "exclude point";
        if (!exclude && entry.action != "restore point") continue;
        for (const auto& sample : input.samples)
            if (sample->id == entry.sample) {
                if (exclude) {
                    sample->excluded.insert(entry.compound);
                    notes[{entry.compound, entry.sample}] = {entry.user, entry.reason};
                } else {
                    sample->excluded.erase(entry.compound);
                    notes.erase({entry.compound, entry.sample});
                }
            }
    }
}

// integrations.csv and exclusions.csv as the held decisions are; a failure is told on stderr
// (the database and its trail, which the station rebuilds them from, are already committed).
void ReviewEditor::State::WriteDecisionFiles() {
    std::vector<Batch::Exclusion> file;
    for (const auto& [point, note] : notes)
        if (note.by != Batch::kExcludedAutomatically && listExclusions.count(point) == 0)
            file.push_back({point.first, point.second, note.reason, note.by});
    std::string error;
    if (!changes.empty() &&
        !Batch::WriteFileSafely(options.resultsFolder + "/integrations.csv", Batch::IntegrationsCsv(changes), error))
        std::fprintf(stderr, "quan-review: %s\n", error.c_str());
    if ((!file.empty() || FileExists(options.resultsFolder + "/exclusions.csv")) &&
        !Batch::WriteFileSafely(options.resultsFolder + "/exclusions.csv", Batch::ExclusionsFileText(file), error))
        std::fprintf(stderr, "quan-review: %s\n", error.c_str());
}

void ReviewEditor::State::QueueOutputs() {
    {
        std::lock_guard<std::mutex> hold(outputs);
        outputsPending = true;
        outputsDue = Clock::now() + std::chrono::milliseconds(options.rewriteDelayMs);
    }
    outputsSignal.notify_all();
}

void ReviewEditor::State::RewriteOutputs() {
    std::unique_lock<std::mutex> hold(outputs);
    while (true) {
        outputsSignal.wait(hold, [this] { return outputsPending || stopping; });
        if (!outputsPending) return;
        // Later changes within the wait move the deadline: they are written together.
        while (!stopping && outputsDue > Clock::now()) outputsSignal.wait_until(hold, outputsDue);
        outputsPending = false;
        outputsWriting = true;
        hold.unlock();
        std::string csv, matrix, curvesText, report;
        if (FormatOutputs(csv, matrix, curvesText, report)) {
            std::string error;
            const std::string& folder = options.resultsFolder;
            // Each file whole or not at all; a failure leaves the earlier file and is told on
            // stderr (the database, which the station answers from, is already up to date).
            if (!Batch::WriteFileSafely(folder + "/results.csv", csv, error) ||
                !Batch::WriteFileSafely(folder + "/matrix.csv", matrix, error) ||
                !Batch::WriteFileSafely(folder + "/curves.txt", curvesText, error) ||
                !Batch::WriteFileSafely(folder + "/report.html", report, error))
                std::fprintf(stderr, "quan-review: %s\n", error.c_str());
        }
        hold.lock();
        outputsWriting = false;
        outputsSignal.notify_all();
    }
}

// The text outputs of the held batch, as a batch run writes them, made a sample at a time
// between changes so that a change waits for one sample's lines at most. False when a change
// came in the meantime: the texts would mix two states, and that change has asked for new ones.
bool ReviewEditor::State::FormatOutputs(std::string& csv, std::string& matrix, std::string& curvesText,
                                        std::string& report) {
    Batch::HtmlReportWriter writer;
    int startVersion = 0;
    size_t sampleCount = 0;
    {
        std::lock_guard<std::mutex> held(change);
        startVersion = CurrentVersion();
        sampleCount = results.samples.size();
        csv = Batch::ResultsCsvHeader();
        matrix = Batch::MatrixCsvHeader(results);
        report = writer.Head(results);
    }
    const size_t entries = static_cast<size_t>(Entries());
    for (size_t s = 0; s < sampleCount; ++s) {
        std::lock_guard<std::mutex> held(change);
        if (CurrentVersion() != startVersion) return false;
        const std::vector<Batch::ResultRow> rows(results.rows.begin() + s * entries, results.rows.begin() + (s + 1) * entries);
        csv += Batch::ResultsCsvRows(results, rows, fullPrecision);
        matrix += Batch::MatrixCsvRows(results, rows, fullPrecision);
        std::vector<std::vector<std::string>> cells;
        for (const Batch::ResultRow& row : rows) cells.push_back(Batch::ResultCells(results, row));
        // A batch run hands a sample's traces on before its rows; a damaged one is left out of
        // the report (the station names it when it is needed for a change).
        std::vector<Batch::EntryTrace> traces;
        std::string damaged;
        ReadTraces(static_cast<int>(s), nullptr, traces, damaged);
        writer.AddChromatograms(rows, traces);
        report += writer.Rows(results, rows, cells);
    }
    std::lock_guard<std::mutex> held(change);
    if (CurrentVersion() != startVersion) return false;
    curvesText = Batch::CurvesText(results);
    report += writer.Tail(results);
    return true;
}

void ReviewEditor::FlushOutputs() {
    if (!m_state) return;
    std::unique_lock<std::mutex> hold(m_state->outputs);
    m_state->outputsDue = Clock::now();
    m_state->outputsSignal.notify_all();
    m_state->outputsSignal.wait(hold, [this] { return !m_state->outputsPending && !m_state->outputsWriting; });
}

// ---- the answers --------------------------------------------------------------------------

Answer ReviewEditor::StateAnswer() const {
    if (!m_state) return ErrorAnswer(503, "the editor is not open");
    std::lock_guard<std::mutex> hold(m_state->status);
    const State& s = *m_state;
    return {200, "{\"version\":" + std::to_string(s.version) + ",\"ready\":" + (s.loaded ? "true" : "false") +
                     ",\"loading\":" + Batch::JsonString(s.loading) + ",\"user\":" + Batch::JsonString(s.options.user) +
                     ",\"editable\":" + (s.editable ? "true" : "false") + ",\"why\":" + Batch::JsonString(s.why) + "}"};
}

Answer ReviewEditor::ReasonsAnswer() const {
    std::vector<std::string> reasons(std::begin(kBuiltInReasons), std::end(kBuiltInReasons));
    if (m_state) {
        // The lab's own, one per line; blank lines and overlong or repeated ones are left out.
        std::ifstream lab(m_state->options.resultsFolder + "/reasons.txt");
        std::string line;
        while (reasons.size() < 200 && std::getline(lab, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            bool plain = !line.empty() && line.size() <= kLongestReason;
            for (char c : line) plain = plain && static_cast<unsigned char>(c) >= 0x20;
            if (plain && std::find(reasons.begin(), reasons.end(), line) == reasons.end()) reasons.push_back(line);
        }
    }
    std::string json = "{\"reasons\":[";
    for (size_t i = 0; i < reasons.size(); ++i) json += (i > 0 ? "," : "") + Batch::JsonString(reasons[i]);
    return {200, json + "]}"};
}

Answer ReviewEditor::AuditAnswer() {
    if (!m_state) return ErrorAnswer(503, "the editor is not open");
    // Loading holds the batch (and the connection) for its whole length.
    if (!m_state->Loaded()) return ErrorAnswer(503, "the batch is still loading: try again in a moment");
    std::lock_guard<std::mutex> hold(m_state->change);
    std::vector<Batch::AuditEntry> entries;
    std::string error;
    if (!Batch::ReadAudit(m_state->database, entries, error)) return ErrorAnswer(500, "cannot read the audit trail: " + error);
    std::string json = "{\"rows\":[";
    for (size_t i = 0; i < entries.size(); ++i) json += (i > 0 ? "," : "") + AuditJson(entries[i]);
    return {200, json + "]}"};
}

namespace {
// The checks every change passes before anything is computed: JSON, the editor ready, the
// version. `request` is the parsed body.
bool Admit(const std::string_view body, JsonValue& request, Answer& refusal) {
    std::string error;
    if (!JsonValue::Parse(body, request, error)) {
        refusal = ErrorAnswer(400, "the request is not JSON: " + error);
        return false;
    }
    if (!request.IsObject()) {
        refusal = ErrorAnswer(400, "the request must be a JSON object");
        return false;
    }
    return true;
}
}  // namespace

bool ReviewEditor::State::CurrentVersionAsked(const JsonValue& request, Answer& refusal) const {
    std::lock_guard<std::mutex> hold(status);
    int asked = -1;
    if (!editable)
        refusal = ErrorAnswer(409, "the results cannot be changed: " + why);
    else if (!WholeNumber(request, "version", 0, 1 << 30, asked))
        refusal = ErrorAnswer(400, "the request needs the version it was made on (\"version\")");
    else if (asked != version)
        refusal = ErrorAnswer(409, "the results changed since this page read them (version " + std::to_string(asked) +
                                       ", now " + std::to_string(version) + "): reload and make the change again");
    else
        return true;
    return false;
}

bool ReviewEditor::State::AdmitChange(std::string_view body, JsonValue& request, std::unique_lock<std::mutex>& serial,
                                      Answer& refusal) {
    if (!Admit(body, request, refusal)) return false;
    if (!Loaded()) {
        refusal = ErrorAnswer(503, "the batch is still loading: try again in a moment");
        return false;
    }
    serial = std::unique_lock<std::mutex>(change);
    return CurrentVersionAsked(request, refusal);
}

Answer ReviewEditor::IntegrationAnswer(std::string_view body) {
    const Clock::time_point began = Clock::now();
    if (!m_state) return ErrorAnswer(503, "the editor is not open");
    State& s = *m_state;
    JsonValue request;
    Answer refusal;
    std::unique_lock<std::mutex> serial;
    if (!s.AdmitChange(body, request, serial, refusal)) return refusal;
    const int samples = static_cast<int>(s.input.samples.size());
    int sample = -1, entry = 0, slot = -1;
    if (!WholeNumber(request, "sample", 0, samples - 1, sample))
        return ErrorAnswer(404, "the batch has no such sample (samples are 0 to " + std::to_string(samples - 1) + ")");
    if (!WholeNumber(request, "entry", 1, s.Entries(), entry))
        return ErrorAnswer(404, "the batch has no such compound (entries are 1 to " + std::to_string(s.Entries()) + ")");
    if (!WholeNumber(request, "slot", 0, 4, slot))
        return ErrorAnswer(404, "there is no such trace: the slot is 0 (quantification trace) to 4");
    const JsonValue* kindText = request.Find("kind");
    Batch::IntegrationChange change;
    if (kindText == nullptr || !kindText->IsString() || !Batch::IntegrationKindFromText(kindText->GetString(), change.kind))
        return ErrorAnswer(400, "\"kind\" is one of \"bounds\", \"peak\", \"none\" and \"auto\"");
    std::string error;
    if (!CheckReason(request, change.reason, error)) return ErrorAnswer(400, error);
    Batch::SampleInput& in = *s.input.samples[sample];
    change.sample = in.id;
    change.compound = s.input.method.GetAt(entry - 1).GetName();
    change.slot = slot;
    change.user = s.options.user;
    change.time = Batch::UtcNow();

    if (change.kind == Batch::IntegrationKind::kBounds) {
        if (!FiniteNumber(request, "start", change.start) || !FiniteNumber(request, "end", change.end))
            return ErrorAnswer(400, "moved bounds need \"start\" and \"end\" as finite numbers (minutes)");
        if (!(change.start < change.end)) return ErrorAnswer(400, "the peak's start must come before its end");
        std::vector<Batch::EntryTrace> stored;
        const std::set<int> entries{entry};
        if (!s.ReadTraces(sample, &entries, stored, error)) return ErrorAnswer(500, error);
        const Batch::EntryTrace* trace = nullptr;
        for (const Batch::EntryTrace& t : stored)
            if (t.entry == entry && t.slot == slot) trace = &t;
        if (trace == nullptr || trace->times.size() < 2)
            return ErrorAnswer(404, "no trace of this compound and slot is stored for this sample (a batch from peak "
                                    "lists keeps none): its bounds cannot be moved");
        if (change.start < trace->times.front() || change.end > trace->times.back())
            return ErrorAnswer(422, "the bounds must lie within the stored trace, " + NumberText::General(trace->times.front(), 6) +
                                        " to " + NumberText::General(trace->times.back(), 6) + " min");
        const bool givenStart = request.Find("baselineStart") != nullptr, givenEnd = request.Find("baselineEnd") != nullptr;
        if ((givenStart && !FiniteNumber(request, "baselineStart", change.baselineStart)) ||
            (givenEnd && !FiniteNumber(request, "baselineEnd", change.baselineEnd)))
            return ErrorAnswer(400, "the baseline's ends must be finite numbers");
        if (!givenStart) change.baselineStart = IntensityAt(trace->times, trace->intensities, change.start);
        if (!givenEnd) change.baselineEnd = IntensityAt(trace->times, trace->intensities, change.end);
    } else if (change.kind == Batch::IntegrationKind::kChosenPeak) {
        if (!FiniteNumber(request, "apex", change.apexRT))
            return ErrorAnswer(400, "choosing a peak needs its \"apex\" as a finite number (minutes)");
    }

    // The sample's peaks with this change added; put back as they were if it goes no further.
    CPeakList oldPeaks = in.peaks;
    std::vector<Integrate::PeakQuality> oldQuality = in.quality;
    const bool hadAutomatic = s.automatic.count(sample) > 0;
    s.changes.push_back(change);
    const auto undo = [&] {
        s.changes.pop_back();
        in.peaks = std::move(oldPeaks);
        in.quality = std::move(oldQuality);
        if (!hadAutomatic) s.automatic.erase(sample);
    };
    std::vector<Problem> problems;
    if (!s.ApplySampleChanges(sample, problems)) {
        undo();
        return ErrorAnswer(422, "the change cannot be applied: " + problems.front().message);
    }
    Batch::AuditEntry audit;
    audit.time = change.time;
    audit.user = change.user;
    audit.action = Batch::IntegrationAction(change.kind);
    audit.sample = change.sample;
    audit.compound = change.compound;
    audit.slot = slot;
    audit.change = change;
    audit.reason = change.reason;
    audit.version = QUAN_VERSION;
    const bool standard = in.type == CQuanSampleData::kStandard;
    Answer answer = s.Commit({sample}, standard, audit, began, undo);
    if (answer.status != 200) return answer;
    s.WriteDecisionFiles();
    s.QueueOutputs();
    if (onChanged) onChanged();
    return answer;
}

Answer ReviewEditor::ExclusionAnswer(std::string_view body) {
    const Clock::time_point began = Clock::now();
    if (!m_state) return ErrorAnswer(503, "the editor is not open");
    State& s = *m_state;
    JsonValue request;
    Answer refusal;
    std::unique_lock<std::mutex> serial;
    if (!s.AdmitChange(body, request, serial, refusal)) return refusal;
    const int samples = static_cast<int>(s.input.samples.size());
    int entry = 0, standard = -1;
    if (!WholeNumber(request, "entry", 1, s.Entries(), entry))
        return ErrorAnswer(404, "the batch has no such compound (entries are 1 to " + std::to_string(s.Entries()) + ")");
    if (!WholeNumber(request, "standard", 0, samples - 1, standard))
        return ErrorAnswer(404, "the batch has no such sample (samples are 0 to " + std::to_string(samples - 1) + ")");
    const JsonValue* excluded = request.Find("excluded");
    if (excluded == nullptr || excluded->GetKind() != JsonValue::Kind::kBool)
        return ErrorAnswer(400, "\"excluded\" is true (leave the point out) or false (use it again)");
    std::string reason, error;
    if (!CheckReason(request, reason, error)) return ErrorAnswer(400, error);
    Batch::SampleInput& in = *s.input.samples[standard];
    if (in.type != CQuanSampleData::kStandard) return ErrorAnswer(404, "sample " + in.id + " is not a standard");
    const std::string compound = s.input.method.GetAt(entry - 1).GetName();
    bool hasPoint = false;
    for (const Batch::StandardPoint& point : Batch::StandardPoints(s.results.curves[entry - 1]))
        hasPoint = hasPoint || point.standard == in.id;
    if (!hasPoint) return ErrorAnswer(422, "the curve of " + compound + " has no point from standard " + in.id);
    const bool exclude = excluded->GetBool();
    if (exclude == (in.excluded.count(compound) > 0))
        return ErrorAnswer(422, "the point of " + in.id + " on the curve of " + compound + " is already " +
                                    (exclude ? "excluded" : "used"));
    if (!exclude && s.listExclusions.count({compound, in.id}) > 0)
        return ErrorAnswer(422, "this point is excluded in the batch list (batch.csv's Exclude column): restore it there");

    const std::pair<std::string, std::string> key{compound, in.id};
    const auto oldNote = s.notes.find(key);
    const std::optional<Batch::ExclusionNote> hadNote =
        oldNote != s.notes.end() ? std::optional<Batch::ExclusionNote>(oldNote->second) : std::nullopt;
    if (exclude) {
        in.excluded.insert(compound);
        s.notes[key] = {s.options.user, reason};
    } else {
        in.excluded.erase(compound);
        s.notes.erase(key);
    }
    const auto undo = [&] {
        if (exclude) in.excluded.erase(compound);
        else in.excluded.insert(compound);
        if (hadNote) s.notes[key] = *hadNote;
        else s.notes.erase(key);
    };
    Batch::AuditEntry audit;
    audit.time = Batch::UtcNow();
    audit.user = s.options.user;
    audit.action = exclude ? "exclude point" : "restore point";
    audit.sample = in.id;
    audit.compound = compound;
    audit.reason = reason;
    audit.version = QUAN_VERSION;
    Answer answer = s.Commit({}, true, audit, began, undo);
    if (answer.status != 200) return answer;
    s.WriteDecisionFiles();
    s.QueueOutputs();
    if (onChanged) onChanged();
    return answer;
}

}  // namespace Station
