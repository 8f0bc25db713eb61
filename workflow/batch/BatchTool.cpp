#include "workflow/batch/BatchTool.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <cstdlib>
#include <map>

#include "platform/NumberText.h"
#include "workflow/review/BatchReview.h"
#include "workflow/batch/BatchRun.h"
#include "workflow/batch/Elements.h"
#include "workflow/review/Exclusions.h"
#include "workflow/output/ResultsDatabase.h"
#include "workflow/output/Writers.h"

namespace Batch {

std::string ToolHelp() {
    return R"(usage: quan-batch [options] BATCH_FOLDER

Runs a batch of injections through peak location, calibration and quantification, and writes
the results. Everything is read and checked first: any problem is reported with its file, line
and column, and then nothing is run or written (exit status 2).

Options:
  --out DIR      where the results go (default: results, in the working folder). Each file is
                 written in full under a temporary name and renamed into place only when all
                 are complete, so a run that fails or is interrupted keeps the earlier results.
  --curves FILE  reuse the curves stored in FILE (a results.sqlite of an earlier run, of this
                 version or an earlier one) instead of calibrating from this batch's standards.
  --exclusions FILE
                 leave out of the calibration the points FILE names: a CSV file with the columns
                 Compound, Standard (a standard's SampleID), and optionally Reason and Who (the
                 analyst), as the report page saves it when points are clicked in a calibration
                 view. Each row means what the Exclude column of batch.csv means; the report
                 and the database show who excluded each point (the analyst, or automatic for
                 a standard without a usable peak or an outlier the method excludes) and why.
  --acceptance RULES
                 judge the batch by these acceptance rules instead of the method's choice:
                 none, M10 (bioanalytical method validation, ICH M10) or SANTE (pesticide
                 residues, SANTE/11312/2021); ich-m10 and sante are read too. See "Acceptance
                 rules and outliers" below.
  --exclude-outliers LIMIT
                 switch automatic outlier exclusion on with this limit of the studentized
                 residual (3 is usual), whatever the method says. See below.
  --full-precision
                 print every digit of every number in results.csv and matrix.csv (the shortest
                 text that reads back as the same value) instead of the report's rounding.
  --timings      print to the messages how long the run took and how much of it went into
                 writing the outputs.
  -j N           locate and quantify N samples at a time (default 1); the outputs are the same
                 for any N.
  -h, --help     this page.

The batch folder holds:
  method.xml     the method: a METHODLIST element with one METHODENTRY element per compound,
                 its settings as attributes (curve type, axis transformation, origin handling,
                 weighting, correlation threshold and result thresholds included). The
                 METHODLIST element may carry the review settings (see below).
  batch.csv      one row per injection, in injection order, after a header row naming the
                 columns: SampleID, PeakFile, Type (Analyte, Standard, QC, Blank, ...), ConcA to
                 ConcT (the standard level concentrations), InjectionVolume, InitialAmount,
                 ExtractVolume, ExtractDilutionFactor, UserDilutionFactor, StockDilutionFactor
                 (1 when empty), Description, Exclude (compounds, separated by ';', whose
                 calibration point from this standard is excluded).
  peaks/...      one CSV per injection (the PeakFile column names it): one row per integrated
                 peak, the columns named after the peak fields (QuanTrace, FoundRT, StartRT,
                 EndRT, StHeight, EnHeight, Area, Height, ChromNoise, PlaceHolder,
                 MDBIntegrateEntry, ...). Empty cells keep the field's initial value.
  elements.csv   optional: the elements for element and semi-quantitative entries
                 (Symbol,AtomicNumber,Mass,ResponseFactor,ScaleFactor,Isotopes,Interferences).
CSV files may quote cells ("a, b" and "say ""x""" inside quotes), carry a byte-order mark and
hold blank lines and '#' comment lines.

Outputs in the results folder:
  results.csv     one row per sample and compound: found RT, area, response, concentration
                  and units, LOD, LOQ, S/N, ion ratio, the flag letters, and pass or the flags set.
                  Numbers as the peak report prints them: retention times to 3 decimals, areas
                  whole, responses to 4 and concentrations, LOD and LOQ to 3 significant
                  figures, S/N to 1 decimal, ion ratios to 4 decimals (see --full-precision).
  matrix.csv      the table a lab sends out: one row per sample, one column per compound with
                  its units in the header, the concentration (empty when not found), and "*"
                  after a flagged result.
  curves.txt      every curve's description.
  results.sqlite  a typed SQLite database: samples, compounds, results (one row per sample and
                  compound, numbers as REAL, NULL where absent), peak_fields (every peak report
                  field of every located peak), curves (coefficients, statistics and the stored
                  curve record), calibration_points (every standard, back-calculated, with who
                  excluded it and why), acceptance (every check of the acceptance rules), views
                  concentration_matrix, qc_accuracy, flagged_results and excluded_points, and
                  schema_version.
                  docs/RESULTS_DATABASE.md describes it with example queries.
  report.html     one self-contained page for any browser, offline: a summary (samples,
                  compounds, curves not calibrated and why, flags by kind, QC accuracy), the
                  failed acceptance checks and why, a results grid to sort and filter, and per
                  compound a calibration view (curve, standards with excluded ones marked with
                  who and why, residuals of the back-calculated standards in %, accuracy table,
                  log-log axes, the curve's description). Clicking a standard chooses it for
                  exclusion by hand; the page offers the choices as a file for --exclusions.
The terminal summary lists every sample with its counts and any engine status, then every
curve that could not be calibrated and why, every acceptance rule that failed and why, and the
points excluded automatically.

Acceptance rules and outliers, as attributes of the METHODLIST element (none by default):
  Acceptance="M10"    back-calculated standards within StandardTolerance (15 %) of nominal,
                      LowestStandardTolerance (20 %) at the lowest level the curve uses; at
                      least MinStandardsPassingPercent (75 %) of the standards, an excluded one
                      counting as failed, and at least MinStandardsPassing (6) passing; QCs
                      within QCTolerance (15 %), MinQCsPassingPercent (two thirds) of all QCs
                      and MinQCsPassingPerLevelPercent (50 %) at each level passing.
  Acceptance="SANTE"  every standard the curve uses within StandardTolerance (20 %); every
                      located peak outside the standards within IonRatioTolerance (30 %,
                      relative) of the standards' mean ion ratio and RTTolerance (0.1 min) of
                      their mean retention time.
  OutlierExclusion="on"
                      while a curve fails its standards rule (or, with no rules, at all),
                      exclude the standard with the largest absolute studentized residual
                      (externally studentized) if it exceeds OutlierLimit (3) and fit again,
                      never below OutlierMinPoints (default: the rule's minimum of passing
                      standards, and at least the curve's coefficients plus two). Each point
                      is reported as excluded by "automatic" with its residual; "off" gives
                      the curve back whole.
Internal standards and totals are not judged. Limits are inclusive.

Exit status: 0 success; 1 outputs written but an engine stopped on some sample (the messages
name it); 2 bad input, nothing written; 3 calibration or writing failed, earlier outputs kept;
4 outputs written, but the batch fails its acceptance rules.
)";
}

bool ParseToolOptions(const std::vector<std::string>& args, ToolOptions& options, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = arg + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--out") {
            if (!value(options.out)) return false;
        } else if (arg == "--full-precision") {
            options.fullPrecision = true;
        } else if (arg == "--timings") {
            options.timings = true;
        } else if (arg == "--exclusions") {
            if (!value(options.exclusionsFile)) return false;
        } else if (arg == "--acceptance") {
            RuleSet rules = RuleSet::kNone;
            if (!value(options.acceptance)) return false;
            if (!RuleSetFromText(options.acceptance, rules)) {
                error = "--acceptance takes none, M10 or SANTE, not \"" + options.acceptance + "\"";
                return false;
            }
        } else if (arg == "--exclude-outliers") {
            std::string limit;
            if (!value(limit)) return false;
            if (!NumberText::Read(limit, options.outlierLimit) || !(options.outlierLimit > 0.0) ||
                !std::isfinite(options.outlierLimit)) {
                error = "--exclude-outliers takes a studentized residual above 0, not \"" + limit + "\"";
                return false;
            }
        } else if (arg == "--curves") {
            if (!value(options.curvesFile)) return false;
        } else if (arg == "-j" || (arg.size() > 2 && arg.compare(0, 2, "-j") == 0)) {
            std::string count = arg.size() > 2 ? arg.substr(2) : std::string();
            if (count.empty() && !value(count)) return false;
            int threads = 0;
            if (!NumberText::Read(count, threads) || threads < 1 || threads > 256) {
                error = "-j takes a number of threads from 1 to 256, not \"" + count + "\"";
                return false;
            }
            options.threads = threads;
        } else if (!arg.empty() && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else if (options.folder.empty()) {
            options.folder = arg;
        } else {
            error = "one batch folder only (" + options.folder + ", " + arg + ")";
            return false;
        }
    }
    if (!options.exclusionsFile.empty() && !options.curvesFile.empty()) {
        error = "--exclusions changes a calibration, and --curves uses stored curves as they were fitted: give one";
        return false;
    }
    if (options.folder.empty() && !options.help) {
        error = "no batch folder given";
        return false;
    }
    return true;
}

namespace {

double CpuSeconds(clockid_t clock) {
    timespec now{};
    ::clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void Report(std::FILE* err, const std::vector<Problem>& problems) {
    for (const Problem& problem : problems) std::fprintf(err, "quan-batch: %s\n", problem.Text().c_str());
}

// The periodic-table database the engines open, built from the batch's elements.csv into a
// temporary file that goes when the run ends.
class PeriodicDatabaseFile {
public:
    ~PeriodicDatabaseFile() {
        if (!m_path.empty()) ::unlink(m_path.c_str());
    }
    bool Build(const std::string& elementsFile, std::vector<Problem>& problems) {
        if (elementsFile.empty()) return true;
        std::vector<Element> elements;
        std::string error;
        if (!ReadElementsFile(elementsFile, elements, error)) {
            problems.push_back({"", 0, 0, error});
            return false;
        }
        const char* folder = std::getenv("TMPDIR");
        std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/quan-periodic-XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) {
            problems.push_back({elementsFile, 0, 0, "cannot make a temporary periodic-table database"});
            return false;
        }
        ::close(fd);
        m_path = pattern;
        if (!WritePeriodicDatabase(m_path, elements, error)) {
            problems.push_back({elementsFile, 0, 0, error});
            return false;
        }
        return true;
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// What the summary shows of a sample, counted as its rows go by.
struct SampleCount {
    int found = 0, flagged = 0, compounds = 0;
};

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

void PrintSummary(std::FILE* out, const BatchResults& results, std::vector<SampleCount> counts,
                  const std::string& outFolder, const std::string& review) {
    counts.resize(results.samples.size());
    std::fprintf(out, "%-16s %-10s %9s %8s  %s\n", "Sample", "Type", "Found", "Flagged", "Status");
    int withStatus = 0;
    for (size_t s = 0; s < results.samples.size(); ++s) {
        const SampleResult& sample = results.samples[s];
        const std::string found = std::to_string(counts[s].found) + "/" + std::to_string(counts[s].compounds);
        // Every status an engine reported is named, not only those that ended the sample's run.
        std::string status;
        if (sample.locateStatus != kLocateOK) status = "location " + LocateStatusText(sample.locateStatus);
        if (sample.quantifyStatus != kQuantifyOK)
            status += (status.empty() ? "" : "; ") + std::string("quantification ") + QuantifyStatusText(sample.quantifyStatus);
        if (status.empty()) status = "ok";
        else ++withStatus;
        std::fprintf(out, "%-16s %-10s %9s %8d  %s\n", sample.id.c_str(), sample.type.c_str(), found.c_str(),
                     counts[s].flagged, status.c_str());
    }
    int calibrated = 0;
    std::string notCalibrated;
    for (const CurveResult& curve : results.curves) {
        const std::string reason = NotCalibratedReason(curve.curve);
        if (reason.empty()) ++calibrated;
        else notCalibrated += "  entry " + std::to_string(curve.entry) + " " + curve.compound + ": " + reason + "\n";
    }
    std::fprintf(out, "%zu samples, %zu compounds, %d of %zu curves calibrated.\n", results.samples.size(),
                 results.curves.size(), calibrated, results.curves.size());
    if (withStatus > 0) std::fprintf(out, "%d sample%s with an engine status (above).\n", withStatus, withStatus == 1 ? "" : "s");
    if (!notCalibrated.empty())
        std::fprintf(out, "%zu curve%s not calibrated:\n%s", results.curves.size() - calibrated,
                     results.curves.size() - calibrated == 1 ? "" : "s", notCalibrated.c_str());
    std::fputs(review.c_str(), out);
    std::fprintf(out, "Results in %s/ (report: %s/report.html)\n", outFolder.c_str(), outFolder.c_str());
}

}  // namespace

int RunTool(const ToolOptions& options, std::FILE* out, std::FILE* err) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point runStart = Clock::now();
    // 1. Read and check everything before anything runs.
    BatchInput input;
    std::vector<Problem> problems;
    ReadBatch(options.folder, input, problems, false, options.threads);
    ExclusionNotes exclusions;
    if (!options.exclusionsFile.empty() && problems.empty())
        ApplyExclusionsFile(options.exclusionsFile, input, exclusions, problems);
    NoteBatchListExclusions(input, exclusions);
    BatchReview review;
    if (problems.empty()) review.ReadSettings(options.folder + "/method.xml", options.acceptance, options.outlierLimit, problems);
    CCalibrationList curves;
    if (!options.curvesFile.empty() && problems.empty()) {
        std::string error;
        if (!ReadCurvesFromDatabase(options.curvesFile, input.method, curves, error))
            problems.push_back({options.curvesFile, 0, 0, error});
    }
    if (options.curvesFile.empty() && problems.empty()) {
        bool standards = false;
        for (const auto& sample : input.samples) standards = standards || sample->type == CQuanSampleData::kStandard;
        if (!standards)
            problems.push_back({options.folder + "/batch.csv", 0, 0,
                                "the batch has no standards to calibrate from (--curves reuses stored curves)"});
    }
    PeriodicDatabaseFile periodic;
    if (problems.empty()) periodic.Build(input.elementsFile, problems);
    if (!problems.empty()) {
        Report(err, problems);
        std::fprintf(err, "quan-batch: nothing was run; %zu problem%s.\n", problems.size(), problems.size() == 1 ? "" : "s");
        return kExitBadInput;
    }

    RunOptions run;
    run.threads = options.threads;
    run.periodicDatabase = periodic.Path();
    const bool showProgress = ::isatty(::fileno(err)) != 0;
    if (showProgress)
        run.progress = [err](int done, int total) {
            std::fprintf(err, "\rquan-batch: %d/%d samples", done, total);
            if (done == total) std::fputc('\n', err);
            std::fflush(err);
        };

    // 2. Calibrate, unless stored curves were given; outliers go just before the fit.
    run.beforeFit = [&](CCalibrationList& prepared) { review.ExcludeOutliers(input.method, prepared); };
    if (options.curvesFile.empty() && !CalibrateBatch(input, run, curves, problems)) {
        Report(err, problems);
        std::fprintf(err, "quan-batch: calibration failed; nothing was written.\n");
        return kExitFailed;
    }

    Clock::duration writing{};
    double writingCpu = 0.0;
    // Time spent in the output writer, so --timings can say what the outputs cost: wall time,
    // and the processor time of the thread that wrote (which a busy machine does not inflate).
    const auto timed = [&writing, &writingCpu](auto&& write) {
        const Clock::time_point start = Clock::now();
        const double cpuStart = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const bool ok = write();
        writingCpu += CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
        writing += Clock::now() - start;
        return ok;
    };

    // 3. Quantify every sample, writing each one's results as it comes, then the curves.
    BatchResults results;
    results.methodFile = options.folder + "/method.xml";
    results.curves = DescribeCurves(input.method, curves);
    for (CurveResult& curve : results.curves)
        for (const auto& [key, note] : exclusions)
            if (key.first == curve.compound) curve.exclusions[key.second] = {note.by, note.reason};
    review.NoteExclusions(results.curves);
    OutputWriter writer;
    std::string error;
    OutputOptions outputOptions;
    outputOptions.fullPrecision = options.fullPrecision;
    if (!timed([&] { return writer.Begin(options.out, results, error, outputOptions); })) {
        std::fprintf(err, "quan-batch: %s; the earlier results in %s are kept.\n", error.c_str(), options.out.c_str());
        return kExitFailed;
    }
    std::vector<SampleCount> counts;
    run.onSample = [&](const SampleResult& sample, std::vector<ResultRow>& rows, std::string& sinkError) {
        CountRows(rows, counts);
        review.Gather(results, sample, rows);
        return timed([&] { return writer.AddSample(results, rows, sinkError); });
    };
    const bool ran = QuantifyBatch(input, curves, run, results, problems);
    Report(err, problems);
    if (!ran) {
        std::fprintf(err, "quan-batch: the batch could not be run; the earlier results in %s are kept.\n",
                     options.out.c_str());
        return kExitFailed;
    }
    review.Judge(input.method, results);
    if (!timed([&] { return writer.Finish(results, error); })) {
        std::fprintf(err, "quan-batch: %s; the earlier results in %s are kept.\n", error.c_str(), options.out.c_str());
        return kExitFailed;
    }
    if (options.timings) {
        const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
        std::fprintf(err,
                     "quan-batch: timings: whole run %.3f s (processor %.3f s), of which writing the outputs "
                     "%.3f s (processor %.3f s)\n",
                     seconds(Clock::now() - runStart), CpuSeconds(CLOCK_PROCESS_CPUTIME_ID), seconds(writing),
                     writingCpu);
    }
    PrintSummary(out, results, counts, options.out, review.SummaryText(results));
    if (!problems.empty()) return kExitEngineStatus;
    return results.acceptance.Failures() > 0 ? kExitRejected : kExitOK;
}

}  // namespace Batch
