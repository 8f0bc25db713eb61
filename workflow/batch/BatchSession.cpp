// The batch session: the order of a run and what each step leaves in the outcome.
#include "workflow/batch/BatchSession.h"

#include <time.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>

#include "platform/NumberText.h"
#include "workflow/batch/CalibrationTable.h"
#include "workflow/batch/Elements.h"
#include "workflow/output/ResultsDatabase.h"
#include "workflow/output/Writers.h"
#include "workflow/review/BatchReview.h"
#include "workflow/support/Version.h"

namespace Batch {

namespace {

using Clock = std::chrono::steady_clock;

double ProcessorSeconds(clockid_t clock) {
    timespec now{};
    ::clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

void CountRows(const std::vector<ResultRow>& rows, std::vector<SampleCount>& counts) {
    for (const ResultRow& row : rows) {
        if (row.sample < 0) continue;
        if (row.sample >= static_cast<int>(counts.size())) counts.resize(row.sample + 1);
        SampleCount& count = counts[row.sample];
        ++count.compounds;
        if (row.found) ++count.found;
        if (row.found && row.Verdict() != "pass") ++count.flagged;
    }
}

// A path as the run saw it, made absolute so the batch can be run again from anywhere.
std::string AbsolutePath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code failed;
    const std::filesystem::path absolute = std::filesystem::absolute(path, failed);
    return failed ? path : absolute.lexically_normal().string();
}

// What running the batch again needs (BatchResults::run): where its inputs are, and every
// option that changes its results.
std::vector<std::pair<std::string, std::string>> RunProvenance(const BatchInput& input, const SessionOptions& options) {
    const std::string folder = AbsolutePath(input.folder);
    return {
        {"program_version", ProgramVersion()},
        {"batch_folder", folder},
        {"method_file", folder.empty() ? std::string() : folder + "/method.xml"},
        {"curves_file", AbsolutePath(options.curvesFile)},
        {"exclusions_file", AbsolutePath(options.exclusionsFile)},
        {"integrations_file", AbsolutePath(options.integrationsFile)},
        {"acceptance", options.acceptance},
        {"outlier_limit", NumberText::Shortest(options.outlierLimit)},
        {"whole_traces", options.wholeTraces ? "1" : "0"},
        {"keep_chromatograms", options.keepChromatograms ? "1" : "0"},
        {"full_precision", options.fullPrecision ? "1" : "0"},
    };
}

}  // namespace

int BatchOutcome::ExitStatus() const {
    switch (end) {
        case SessionEnd::kBadInput: return kExitBadInput;
        case SessionEnd::kCalibrationFailed:
        case SessionEnd::kRunFailed:
        case SessionEnd::kWriteFailed: return kExitFailed;
        case SessionEnd::kCompleted: break;
    }
    if (!problems.empty()) return kExitEngineStatus;
    return results.acceptance.Failures() > 0 ? kExitRejected : kExitOK;
}

std::string BatchOutcome::SampleStatus(size_t index) const {
    if (index >= results.samples.size()) return std::string();
    const SampleResult& sample = results.samples[index];
    std::string status;
    if (sample.locateStatus != kLocateOK) status = "location " + LocateStatusText(sample.locateStatus);
    if (sample.quantifyStatus != kQuantifyOK) {
        if (!status.empty()) status += "; ";
        status += "quantification ";
        status += QuantifyStatusText(sample.quantifyStatus);
    }
    return status.empty() ? "ok" : status;
}

bool ReadStoredCurves(const std::string& path, CMethodList& method, CCalibrationList& curves,
                      std::vector<Problem>& problems, std::vector<Problem>& notes) {
    if (IsCalibrationTable(path)) return ReadCalibrationTable(path, method, curves, problems, notes);
    std::string error;
    if (ReadCurvesFromDatabase(path, method, curves, error)) return true;
    problems.push_back({path, 0, 0, error});
    return false;
}

struct BatchSession::State {
    Clock::time_point start = Clock::now();
    BatchReview review;
    PeriodicDatabaseFile periodic;
    RunOptions run;
    bool opened = false, calibrated = false;
};

BatchSession::BatchSession(SessionOptions options) : m_options(std::move(options)), m_state(std::make_unique<State>()) {}

BatchSession::~BatchSession() = default;

bool BatchSession::Stop(SessionEnd end) {
    m_outcome.end = end;
    m_outcome.seconds = Seconds(Clock::now() - m_state->start);
    m_outcome.processorSeconds = ProcessorSeconds(CLOCK_PROCESS_CPUTIME_ID);
    return false;
}

bool BatchSession::Open(const std::string& folder) {
    m_state->start = Clock::now();
    BatchInput input;
    // The peaks are read and checked here, then let go: a large batch is held one sample at a
    // time while it runs.
    ReadBatch(folder, input, m_outcome.problems, false, m_options.threads);
    m_input = std::move(input);
    return Check();
}

bool BatchSession::Open(BatchInput input) {
    m_state->start = Clock::now();
    m_input = std::move(input);
    return Check();
}

// The integrations file's decisions handed to their samples, then tried on each sample's peaks
// (its raw traces read for bounds), so that a decision that cannot be applied stops the run
// before anything runs.
void BatchSession::TakeIntegrations(std::vector<Problem>& problems) {
    const std::string& path = m_options.integrationsFile;
    std::vector<IntegrationChange> changes;
    if (!ReadIntegrations(path, changes, problems)) return;
    std::map<std::string, SampleInput*> byId;
    for (const auto& sample : m_input.samples) byId.emplace(sample->id, sample.get());
    std::set<std::string> compounds;
    for (int i = 0; i < m_input.method.GetSize(); ++i) compounds.insert(m_input.method.GetAt(i).GetName());
    for (const IntegrationChange& change : changes) {
        const auto sample = byId.find(change.sample);
        const std::string where = "sample " + change.sample + ", compound " + change.compound;
        if (sample == byId.end()) problems.push_back({path, 0, 0, "the batch has no sample \"" + change.sample + "\"", where});
        else if (compounds.count(change.compound) == 0)
            problems.push_back({path, 0, 0, "the method has no compound \"" + change.compound + "\"", where});
        else sample->second->integrations.push_back(change);
    }
    if (!problems.empty()) return;
    for (const auto& sample : m_input.samples) {
        if (sample->integrations.empty()) continue;
        CPeakList peaks;
        std::vector<Integrate::PeakQuality> quality;
        std::vector<Problem> found;
        LoadSamplePeaks(m_input.method, *sample, peaks, quality, found);
        for (Problem& problem : found) {
            if (problem.file.empty()) problem.file = path;
            problems.push_back(std::move(problem));
        }
    }
}

bool BatchSession::Check() {
    std::vector<Problem>& problems = m_outcome.problems;
    const std::string batchFile = m_input.folder.empty() ? std::string() : m_input.folder + "/batch.csv";
    if (m_options.threads < 1 || m_options.threads > 256)
        problems.push_back({"", 0, 0, "the number of threads is from 1 to 256, not " + std::to_string(m_options.threads)});
    RuleSet rules = RuleSet::kNone;
    if (!m_options.acceptance.empty() && !RuleSetFromText(m_options.acceptance, rules))
        problems.push_back({"", 0, 0, "the acceptance rules are none, M10 or SANTE, not \"" + m_options.acceptance + "\""});
    if (!(m_options.outlierLimit >= 0.0) || !std::isfinite(m_options.outlierLimit))
        problems.push_back({"", 0, 0, "the outlier limit is a studentized residual above 0"});
    if (!m_options.exclusionsFile.empty() && !m_options.curvesFile.empty())
        problems.push_back({"", 0, 0, "exclusions change a calibration, and stored curves are used as they were fitted: give one"});
    // Found now rather than after every sample has run: results could never be written there.
    std::error_code unreadable;
    if (!m_options.out.empty() && std::filesystem::exists(m_options.out, unreadable) &&
        !std::filesystem::is_directory(m_options.out, unreadable))
        problems.push_back({m_options.out, 0, 0, "exists and is not a folder, so no results can be written there"});

    if (!m_options.exclusionsFile.empty() && problems.empty())
        ApplyExclusionsFile(m_options.exclusionsFile, m_input, m_outcome.exclusions, problems);
    NoteBatchListExclusions(m_input, m_outcome.exclusions);
    m_state->review.Configure(m_input.method.settings.review, m_options.acceptance, m_options.outlierLimit);
    m_outcome.review = m_state->review.Settings();

    if (!m_options.integrationsFile.empty() && problems.empty()) TakeIntegrations(problems);

    if (!m_options.curvesFile.empty() && problems.empty())
        ReadStoredCurves(m_options.curvesFile, m_input.method, m_curves, problems, m_outcome.notes);
    if (m_options.curvesFile.empty() && problems.empty()) {
        bool standards = false;
        for (const auto& sample : m_input.samples) standards = standards || sample->type == CQuanSampleData::kStandard;
        if (!standards)
            problems.push_back({batchFile, 0, 0, "the batch has no standards to calibrate from (--curves reuses stored curves)"});
    }
    if (problems.empty()) m_state->periodic.Build(m_input.elementsFile, problems);
    if (!problems.empty()) return Stop(SessionEnd::kBadInput);

    RunOptions& run = m_state->run;
    run.threads = m_options.threads;
    run.periodicDatabase = m_state->periodic.Path();
    run.progress = m_options.progress;
    m_state->opened = true;
    return true;
}

bool BatchSession::Calibrate() {
    if (!m_state->opened) return false;
    RunOptions& run = m_state->run;
    // Outliers go just before the fit, after the analyst's exclusions.
    run.beforeFit = [this](CCalibrationList& prepared) {
        m_state->review.ExcludeOutliers(m_input.method, prepared);
        if (hooks.beforeFit) hooks.beforeFit(prepared);
    };
    if (m_options.curvesFile.empty() && !CalibrateBatch(m_input, run, m_curves, m_outcome.problems))
        return Stop(SessionEnd::kCalibrationFailed);
    m_outcome.outliers = m_state->review.Excluded();
    BatchResults& results = m_outcome.results;
    results.methodFile = m_input.folder.empty() ? std::string() : m_input.folder + "/method.xml";
    results.run = RunProvenance(m_input, m_options);
    results.curves = DescribeCurves(m_input.method, m_curves);
    for (CurveResult& curve : results.curves)
        for (const auto& [key, note] : m_outcome.exclusions)
            if (key.first == curve.compound) curve.exclusions[key.second] = {note.by, note.reason};
    m_state->review.NoteExclusions(results.curves);
    m_state->calibrated = true;
    return true;
}

bool BatchSession::Finish() {
    if (!m_state->calibrated) return false;
    BatchResults& results = m_outcome.results;
    std::vector<Problem>& problems = m_outcome.problems;
    const bool writing = !m_options.out.empty();
    Clock::duration written{};
    double writtenProcessor = 0.0;
    // The writer's share of the run: wall time, and the processor time of the thread that
    // wrote (which a busy machine does not inflate).
    const auto timed = [&written, &writtenProcessor](auto&& write) {
        const Clock::time_point start = Clock::now();
        const double processorStart = ProcessorSeconds(CLOCK_THREAD_CPUTIME_ID);
        const bool ok = write();
        writtenProcessor += ProcessorSeconds(CLOCK_THREAD_CPUTIME_ID) - processorStart;
        written += Clock::now() - start;
        return ok;
    };
    const auto writeFailed = [&](const std::string& error) {
        m_outcome.failure = error;
        m_outcome.writingSeconds = Seconds(written);
        m_outcome.writingProcessorSeconds = writtenProcessor;
        return Stop(SessionEnd::kWriteFailed);
    };

    OutputWriter writer;
    OutputOptions outputOptions;
    outputOptions.fullPrecision = m_options.fullPrecision;
    std::string error;
    if (writing && !timed([&] { return writer.Begin(m_options.out, results, error, outputOptions); }))
        return writeFailed(error);

    RunOptions& run = m_state->run;
    // The raw traces each compound was integrated on, for the review views.
    run.traces.keep = writing && m_options.keepChromatograms;
    run.traces.wholeTraces = m_options.wholeTraces;
    run.onTraces = [&](const SampleResult&, const std::vector<ResultRow>& rows, std::vector<EntryTrace>& traces,
                       std::string& sinkError) {
        const int sampleIndex = static_cast<int>(results.samples.size()) - 1;  // the sample just delivered
        return timed([&] { return writer.AddChromatograms(sampleIndex, rows, traces, sinkError); });
    };
    run.onSample = [&](const SampleResult& sample, std::vector<ResultRow>& rows, std::string& sinkError) {
        CountRows(rows, m_outcome.counts);
        m_state->review.Gather(results, sample, rows);
        if (writing && !timed([&] { return writer.AddSample(results, rows, sinkError); })) return false;
        if (hooks.onSample && !hooks.onSample(sample, rows, sinkError)) return false;
        if (m_options.keepRows)
            for (ResultRow& row : rows) results.rows.push_back(std::move(row));
        return true;
    };
    if (!QuantifyBatch(m_input, m_curves, run, results, problems)) return Stop(SessionEnd::kRunFailed);
    m_outcome.counts.resize(results.samples.size());
    m_state->review.Judge(m_input.method, results);
    if (writing && !timed([&] { return writer.Finish(results, error); })) return writeFailed(error);
    m_outcome.writingSeconds = Seconds(written);
    m_outcome.writingProcessorSeconds = writtenProcessor;
    m_outcome.end = SessionEnd::kCompleted;
    m_outcome.seconds = Seconds(Clock::now() - m_state->start);
    m_outcome.processorSeconds = ProcessorSeconds(CLOCK_PROCESS_CPUTIME_ID);
    return true;
}

const BatchOutcome& BatchSession::Run(const std::string& folder) {
    if (Open(folder) && Calibrate()) Finish();
    return m_outcome;
}

}  // namespace Batch
