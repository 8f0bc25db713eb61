#include "apps/cli/BatchTool.h"

#include <unistd.h>

#include <cmath>

#include "apps/cli/OptionValue.h"
#include "platform/NumberText.h"
#include "workflow/review/BatchReview.h"

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
  --integrations FILE
                 apply the integration decisions FILE records (integrations.csv, as the review
                 station keeps it beside the results): a CSV file with the columns sample,
                 compound, trace (0 the quantification trace, 1 to 4 the qualifiers), kind
                 (bounds: start, end and optionally baseline_start and baseline_end, in minutes
                 and intensity; peak: the detected peak with its apex at apex; none: no peak;
                 auto: the integrator's own peak again), user, time and reason. The last row of
                 a sample's compound and trace counts. Moved bounds are measured from the raw
                 traces, so the run gives the results the station showed; each such result
                 carries the flag "manual". A row that cannot be applied stops the run (exit 2).
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
  --whole-traces keep every raw trace whole in results.sqlite (for the review station), not only
                 each compound's location window with a margin on both sides of it (the window's
                 width, and at least 0.2 min).
  --no-chromatograms
                 keep no raw traces in results.sqlite (the review views then show none).
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
                  schema_version; and, for samples from raw data, chromatograms: the points of
                  every trace the method used, cut to each compound's location window with a
                  margin (see --whole-traces), which the review station (quan-review) draws.
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
        const auto value = [&](std::string& into) { return Cli::TakeOptionValue(args, i, into, error); };
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--out") {
            if (!value(options.out)) return false;
        } else if (arg == "--full-precision") {
            options.fullPrecision = true;
        } else if (arg == "--whole-traces") {
            options.wholeTraces = true;
        } else if (arg == "--no-chromatograms") {
            options.noChromatograms = true;
        } else if (arg == "--timings") {
            options.timings = true;
        } else if (arg == "--exclusions") {
            if (!value(options.exclusionsFile)) return false;
        } else if (arg == "--integrations") {
            if (!value(options.integrationsFile)) return false;
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
    if (options.wholeTraces && options.noChromatograms) {
        error = "--whole-traces keeps the chromatograms, and --no-chromatograms keeps none: give one";
        return false;
    }
    if (options.folder.empty() && !options.help) {
        error = "no batch folder given";
        return false;
    }
    return true;
}

namespace {

void Report(std::FILE* err, const std::vector<Problem>& problems) {
    for (const Problem& problem : problems) std::fprintf(err, "quan-batch: %s\n", problem.Text().c_str());
}

// The review station's program as the analyst can type it: beside this program when it is
// there (a build folder is seldom on the PATH), else by its name.
std::string ReviewCommand() {
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        std::string path(self, static_cast<size_t>(length));
        path = path.substr(0, path.rfind('/') + 1) + "quan-review";
        if (::access(path.c_str(), X_OK) == 0) return path;
    }
    return "quan-review";
}

void PrintSummary(std::FILE* out, const BatchOutcome& outcome, const std::string& outFolder) {
    const BatchResults& results = outcome.results;
    std::fprintf(out, "%-16s %-10s %9s %8s  %s\n", "Sample", "Type", "Found", "Flagged", "Status");
    int withStatus = 0;
    for (size_t s = 0; s < results.samples.size(); ++s) {
        const SampleResult& sample = results.samples[s];
        const SampleCount count = s < outcome.counts.size() ? outcome.counts[s] : SampleCount();
        const std::string found = std::to_string(count.found) + "/" + std::to_string(count.compounds);
        // Every status an engine reported is named, not only those that ended the sample's run.
        const std::string status = outcome.SampleStatus(s);
        if (status != "ok") ++withStatus;
        std::fprintf(out, "%-16s %-10s %9s %8d  %s\n", sample.id.c_str(), sample.type.c_str(), found.c_str(),
                     count.flagged, status.c_str());
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
    std::fputs(ReviewSummaryText(results.acceptance, outcome.outliers).c_str(), out);
    std::fprintf(out, "Results in %s/ (report: %s/report.html)\n", outFolder.c_str(), outFolder.c_str());
    std::fprintf(out, "To review every peak on its chromatogram: %s %s (then open the address it prints)\n",
                 ReviewCommand().c_str(), outFolder.c_str());
}

}  // namespace

SessionOptions ToSessionOptions(const ToolOptions& options) {
    SessionOptions session;
    session.out = options.out;
    session.curvesFile = options.curvesFile;
    session.exclusionsFile = options.exclusionsFile;
    session.integrationsFile = options.integrationsFile;
    session.acceptance = options.acceptance;
    session.outlierLimit = options.outlierLimit;
    session.threads = options.threads;
    session.fullPrecision = options.fullPrecision;
    session.keepChromatograms = !options.noChromatograms;
    session.wholeTraces = options.wholeTraces;
    return session;
}

int RunTool(const ToolOptions& options, std::FILE* out, std::FILE* err) {
    SessionOptions sessionOptions = ToSessionOptions(options);
    if (::isatty(::fileno(err)) != 0)
        sessionOptions.progress = [err](int done, int total) {
            std::fprintf(err, "\rquan-batch: %d/%d samples", done, total);
            if (done == total) std::fputc('\n', err);
            std::fflush(err);
        };
    BatchSession session(std::move(sessionOptions));
    const BatchOutcome& outcome = session.Run(options.folder);
    const int status = outcome.ExitStatus();
    for (const Problem& note : outcome.notes) std::fprintf(err, "quan-batch: note: %s\n", note.Text().c_str());
    switch (outcome.end) {
        case SessionEnd::kBadInput:
            Report(err, outcome.problems);
            std::fprintf(err, "quan-batch: nothing was run; %zu problem%s.\n", outcome.problems.size(),
                         outcome.problems.size() == 1 ? "" : "s");
            return status;
        case SessionEnd::kCalibrationFailed:
            Report(err, outcome.problems);
            std::fprintf(err, "quan-batch: calibration failed; nothing was written.\n");
            return status;
        case SessionEnd::kRunFailed:
            Report(err, outcome.problems);
            std::fprintf(err, "quan-batch: the batch could not be run; the earlier results in %s are kept.\n",
                         options.out.c_str());
            return status;
        case SessionEnd::kWriteFailed:
            Report(err, outcome.problems);
            std::fprintf(err, "quan-batch: %s; the earlier results in %s are kept.\n", outcome.failure.c_str(),
                         options.out.c_str());
            return status;
        case SessionEnd::kCompleted:
            break;
    }
    Report(err, outcome.problems);
    if (options.timings)
        std::fprintf(err,
                     "quan-batch: timings: whole run %.3f s (processor %.3f s), of which writing the outputs "
                     "%.3f s (processor %.3f s)\n",
                     outcome.seconds, outcome.processorSeconds, outcome.writingSeconds, outcome.writingProcessorSeconds);
    PrintSummary(out, outcome, options.out);
    return status;
}

}  // namespace Batch
