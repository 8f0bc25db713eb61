#include "tools/batch/BatchTool.h"

#include <unistd.h>

#include <cstdlib>
#include <map>

#include "platform/NumberText.h"
#include "tools/batch/BatchRun.h"
#include "tools/batch/Elements.h"
#include "tools/batch/ResultsDatabase.h"
#include "tools/batch/Writers.h"

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
  --curves FILE  reuse the curves stored in FILE (a results.sqlite of an earlier run) instead
                 of calibrating from this batch's standards.
  -j N           locate and quantify N samples at a time (default 1); the outputs are the same
                 for any N.
  -h, --help     this page.

The batch folder holds:
  method.xml     the method: a METHODLIST element with one METHODENTRY element per compound,
                 its settings as attributes (curve type, axis transformation, origin handling,
                 weighting, correlation threshold and result thresholds included).
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
  curves.txt      every curve's description.
  results.sqlite  samples, results with every peak report field, curves with their stored records.
  report.html     the results table and a calibration plot per compound.

Exit status: 0 success; 1 outputs written but an engine stopped on some sample (the messages
name it); 2 bad input, nothing written; 3 calibration or writing failed, earlier outputs kept.
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
                  const std::string& outFolder) {
    counts.resize(results.samples.size());
    std::fprintf(out, "%-16s %-10s %9s %8s  %s\n", "Sample", "Type", "Found", "Flagged", "Status");
    for (size_t s = 0; s < results.samples.size(); ++s) {
        const SampleResult& sample = results.samples[s];
        const std::string found = std::to_string(counts[s].found) + "/" + std::to_string(counts[s].compounds);
        std::string status = "ok";
        if (sample.locateStatus >= kLocateFirstFatal) status = "location " + LocateStatusText(sample.locateStatus);
        else if (sample.quantifyStatus != 0) status = "quantification " + QuantifyStatusText(sample.quantifyStatus);
        std::fprintf(out, "%-16s %-10s %9s %8d  %s\n", sample.id.c_str(), sample.type.c_str(), found.c_str(),
                     counts[s].flagged, status.c_str());
    }
    int calibrated = 0;
    for (const CurveResult& curve : results.curves) calibrated += curve.curve.GetCurveValid() != 0;
    std::fprintf(out, "%zu samples, %zu compounds, %d curves calibrated.\n", results.samples.size(),
                 results.curves.size(), calibrated);
    std::fprintf(out, "Results in %s/ (report: %s/report.html)\n", outFolder.c_str(), outFolder.c_str());
}

}  // namespace

int RunTool(const ToolOptions& options, std::FILE* out, std::FILE* err) {
    // 1. Read and check everything before anything runs.
    BatchInput input;
    std::vector<Problem> problems;
    ReadBatch(options.folder, input, problems, false);
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

    // 2. Calibrate, unless stored curves were given.
    if (options.curvesFile.empty() && !CalibrateBatch(input, run, curves, problems)) {
        Report(err, problems);
        std::fprintf(err, "quan-batch: calibration failed; nothing was written.\n");
        return kExitFailed;
    }

    // 3. Quantify every sample, writing each one's results as it comes, then the curves.
    BatchResults results;
    results.methodFile = options.folder + "/method.xml";
    results.curves = DescribeCurves(input.method, curves);
    OutputWriter writer;
    std::string error;
    if (!writer.Begin(options.out, results, error)) {
        std::fprintf(err, "quan-batch: %s; the earlier results in %s are kept.\n", error.c_str(), options.out.c_str());
        return kExitFailed;
    }
    std::vector<SampleCount> counts;
    run.onSample = [&](const SampleResult&, std::vector<ResultRow>& rows, std::string& sinkError) {
        CountRows(rows, counts);
        return writer.AddSample(results, rows, sinkError);
    };
    const bool ran = QuantifyBatch(input, curves, run, results, problems);
    Report(err, problems);
    if (!ran) {
        std::fprintf(err, "quan-batch: the batch could not be run; the earlier results in %s are kept.\n",
                     options.out.c_str());
        return kExitFailed;
    }
    if (!writer.Finish(results, error)) {
        std::fprintf(err, "quan-batch: %s; the earlier results in %s are kept.\n", error.c_str(), options.out.c_str());
        return kExitFailed;
    }
    PrintSummary(out, results, counts, options.out);
    return problems.empty() ? kExitOK : kExitEngineStatus;
}

}  // namespace Batch
