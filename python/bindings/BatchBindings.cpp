// A batch: a batch folder read and checked, calibration of its standards (or of standards a
// script holds), and whole runs, which go through the batch session as quan-batch's do.
#include "Bindings.h"
#include "workflow/batch/BatchInput.h"
#include "workflow/batch/BatchRun.h"
#include "workflow/batch/BatchSession.h"
#include "workflow/batch/Elements.h"

namespace QuanPython {
namespace {

using namespace Batch;

std::shared_ptr<BatchInput> ReadBatchFolder(const std::string& folder) {
    auto batch = std::make_shared<BatchInput>();
    Quan::Problems problems;
    bool ok = false;
    {
        py::gil_scoped_release unlocked;
        ok = ReadBatch(folder, *batch, problems, true);
    }
    if (!ok) RaiseProblems(problems);
    return batch;
}

void CheckJobs(int jobs) {
    if (jobs < 1 || jobs > 256) throw py::value_error("jobs takes a number of threads from 1 to 256");
}

CCalibrationList CalibrateInput(const BatchInput& input, int jobs) {
    CheckJobs(jobs);
    PeriodicDatabaseFile periodic;
    Quan::Problems problems;
    if (!periodic.Build(input.elementsFile, problems)) RaiseProblems(problems);
    RunOptions run;
    run.threads = jobs;
    run.periodicDatabase = periodic.Path();
    CCalibrationList curves;
    bool ok = false;
    {
        py::gil_scoped_release unlocked;
        ok = CalibrateBatch(input, run, curves, problems);
    }
    if (!ok) RaiseProblems(problems);
    return curves;
}

// Calibration from standards a script holds: (sample, peaks) pairs, each sample a standard.
CCalibrationList CalibrateStandards(const Method& method, const std::vector<py::tuple>& standards,
                                    const std::string& elementsFile, int jobs) {
    BatchInput input;
    input.method = method;
    input.elementsFile = elementsFile;
    for (const py::tuple& standard : standards) {
        if (standard.size() != 2) throw py::value_error("each standard is a (SampleData, PeakList) pair");
        auto sample = std::make_unique<SampleInput>();
        sample->sample = standard[0].cast<const CQuanSampleData&>();
        sample->peaks = standard[1].cast<const CPeakList&>();
        sample->id = sample->sample.GetSampleID();
        if (sample->id.empty()) sample->id = "standard " + std::to_string(input.samples.size() + 1);
        sample->sample.GetRecord().GetType(sample->type);
        if (sample->type != CQuanSampleData::kStandard)
            throw py::value_error(sample->id + " is not a standard (its type is " + CSampleRecord::TypeText(sample->type) + ")");
        if (sample->peaks.GetSize() == 0) throw py::value_error(sample->id + " has no peaks");
        input.samples.push_back(std::move(sample));
    }
    return CalibrateInput(input, jobs);
}

// What run_batch returns: the session's outcome as frames.
struct BatchRun {
    py::object results, samples, acceptance;
    CCalibrationList curves;
    py::dict status;
    int exitStatus = 0;
    std::string rules;
    std::vector<std::string> messages;
};

py::object ResultsFrame(const BatchResults& results) {
    const size_t n = results.rows.size();
    std::vector<double> foundRT(n), area(n), response(n), conc(n), lod(n), loq(n), sn(n), ionRatio(n);
    std::vector<int32_t> entry(n);
    std::vector<bool> found(n);
    py::list sample, type, compound, units, flags, verdict;
    const double kNone = std::nan("");
    for (size_t i = 0; i < n; ++i) {
        const ResultRow& row = results.rows[i];
        const SampleResult& from = results.samples[row.sample];
        sample.append(from.id);
        type.append(from.type);
        compound.append(row.compound);
        entry[i] = row.entry;
        found[i] = row.found;
        foundRT[i] = row.found ? row.foundRT : kNone;
        area[i] = row.found ? row.area : kNone;
        response[i] = row.found ? row.response : kNone;
        conc[i] = row.validConc ? row.conc : kNone;
        units.append(row.units);
        lod[i] = row.lod;
        loq[i] = row.loq;
        sn[i] = row.signalToNoise;
        ionRatio[i] = row.ionRatio;
        flags.append(row.flagsText);
        verdict.append(row.Verdict());
    }
    py::dict columns;
    columns["Sample"] = sample;
    columns["Type"] = type;
    columns["Entry"] = ToArray(std::move(entry));
    columns["Compound"] = compound;
    columns["Found"] = py::array_t<bool>(py::cast(found));
    columns["FoundRT"] = ToArray(std::move(foundRT));
    columns["Area"] = ToArray(std::move(area));
    columns["Response"] = ToArray(std::move(response));
    columns["Concentration"] = ToArray(std::move(conc));
    columns["Units"] = units;
    columns["LOD"] = ToArray(std::move(lod));
    columns["LOQ"] = ToArray(std::move(loq));
    columns["S/N"] = ToArray(std::move(sn));
    columns["IonRatio"] = ToArray(std::move(ionRatio));
    columns["Flags"] = flags;
    columns["Result"] = verdict;
    return DataFrame({"Sample", "Type", "Entry", "Compound", "Found", "FoundRT", "Area", "Response", "Concentration",
                      "Units", "LOD", "LOQ", "S/N", "IonRatio", "Flags", "Result"},
                     columns);
}

py::object AcceptanceFrame(const AcceptanceResult& acceptance) {
    py::list compound, rule, sample, reason;
    std::vector<bool> passed;
    for (const RuleVerdict& verdict : acceptance.verdicts) {
        compound.append(verdict.compound);
        rule.append(verdict.rule);
        sample.append(verdict.sample);
        reason.append(verdict.reason);
        passed.push_back(verdict.passed);
    }
    py::dict columns;
    columns["Compound"] = compound;
    columns["Rule"] = rule;
    columns["Sample"] = sample;
    columns["Passed"] = py::array_t<bool>(py::cast(passed));
    columns["Reason"] = reason;
    return DataFrame({"Compound", "Rule", "Sample", "Passed", "Reason"}, columns);
}

// Runs a batch folder through a batch session, as quan-batch does. What stops the session
// raises, with quan-batch's exit status for it as the error's exit_status.
std::unique_ptr<BatchRun> RunBatch(const std::string& folder, std::optional<std::string> out, int jobs,
                                   std::optional<std::string> curvesFile, bool fullPrecision,
                                   std::optional<std::string> acceptance, std::optional<double> outlierLimit,
                                   std::optional<std::string> exclusionsFile,
                                   std::optional<std::string> integrationsFile) {
    CheckJobs(jobs);
    SessionOptions options;
    options.out = out.value_or(std::string());
    options.threads = jobs;
    options.curvesFile = curvesFile.value_or(std::string());
    options.exclusionsFile = exclusionsFile.value_or(std::string());
    options.integrationsFile = integrationsFile.value_or(std::string());
    options.acceptance = acceptance.value_or(std::string());
    if (outlierLimit && !(*outlierLimit > 0.0)) throw py::value_error("exclude_outliers takes a studentized residual above 0");
    options.outlierLimit = outlierLimit.value_or(0.0);
    options.fullPrecision = fullPrecision;
    options.keepRows = true;  // for the frame
    BatchSession session(options);
    {
        py::gil_scoped_release unlocked;
        session.Run(folder);
    }
    const BatchOutcome& outcome = session.Outcome();
    const int exitStatus = outcome.ExitStatus();
    WarnNotes(outcome.notes);  // as quan-batch prints them: a calibration table's pairing, say
    const std::string count = std::to_string(outcome.problems.size()) + (outcome.problems.size() == 1 ? " problem:" : " problems:");
    switch (outcome.end) {
        case SessionEnd::kBadInput: RaiseProblems(outcome.problems, "nothing was run; " + count, exitStatus);
        case SessionEnd::kCalibrationFailed: RaiseProblems(outcome.problems, "calibration failed; nothing was written:", exitStatus);
        case SessionEnd::kRunFailed: RaiseProblems(outcome.problems, "the batch could not be run:", exitStatus);
        case SessionEnd::kWriteFailed:
            Raise(g_error, outcome.failure + "; the earlier results in " + options.out + " are kept", "exit_status",
                  py::int_(exitStatus));
        case SessionEnd::kCompleted: break;
    }

    auto run = std::make_unique<BatchRun>();
    const BatchResults& results = outcome.results;
    for (const Quan::Problem& problem : outcome.problems) run->messages.push_back(problem.Text());
    run->exitStatus = exitStatus;
    run->rules = RuleSetName(outcome.review.rules);
    for (const CurveResult& curve : results.curves) run->curves.Add(curve.curve);
    run->results = ResultsFrame(results);
    run->acceptance = AcceptanceFrame(results.acceptance);
    py::list id, type, description, peakFile, status;
    std::vector<int32_t> locateStatus, quantifyStatus;
    for (size_t s = 0; s < results.samples.size(); ++s) {
        const SampleResult& sample = results.samples[s];
        id.append(sample.id);
        type.append(sample.type);
        description.append(sample.description);
        peakFile.append(sample.peakFile);
        locateStatus.push_back(sample.locateStatus);
        quantifyStatus.push_back(sample.quantifyStatus);
        status.append(outcome.SampleStatus(s));
        run->status[py::str(sample.id)] = outcome.SampleStatus(s);
    }
    py::dict columns;
    columns["Sample"] = id;
    columns["Type"] = type;
    columns["Description"] = description;
    columns["PeakFile"] = peakFile;
    columns["LocateStatus"] = ToArray(std::move(locateStatus));
    columns["QuantifyStatus"] = ToArray(std::move(quantifyStatus));
    columns["Status"] = status;
    run->samples = DataFrame({"Sample", "Type", "Description", "PeakFile", "LocateStatus", "QuantifyStatus", "Status"}, columns);
    return run;
}

}  // namespace

void BindBatch(py::module_& m) {
    py::class_<SampleInput>(m, "Sample", "One injection of a batch: its row of batch.csv and its peaks.")
        .def_readonly("id", &SampleInput::id)
        .def_readonly("peak_file", &SampleInput::peakFile)
        .def_readonly("type_number", &SampleInput::type)
        .def_property_readonly("type", [](const SampleInput& s) { return CSampleRecord::TypeText(s.type); })
        .def_readonly("data", &SampleInput::sample, py::return_value_policy::reference_internal)
        .def_readonly("peaks", &SampleInput::peaks, py::return_value_policy::reference_internal)
        .def_readonly("excluded", &SampleInput::excluded);

    py::class_<BatchInput, std::shared_ptr<BatchInput>>(m, "Batch", "A batch folder as read and checked.")
        .def_readonly("folder", &BatchInput::folder)
        .def_property_readonly("method", [](BatchInput& b) -> Method& { return b.method; },
                               py::return_value_policy::reference_internal)
        .def_property_readonly("samples", [](py::object self) {
            BatchInput& batch = self.cast<BatchInput&>();
            py::list samples;
            for (auto& sample : batch.samples)
                samples.append(py::cast(*sample, py::return_value_policy::reference_internal, self));
            return samples;
        })
        .def("__len__", [](const BatchInput& b) { return b.samples.size(); });
    m.def("read_batch", &ReadBatchFolder, py::arg("folder"),
          "Reads and checks a batch folder (method.xml, batch.csv, the peak files, elements.csv).");

    m.def("calibrate", [](const BatchInput& batch, int jobs) { return CalibrateInput(batch, jobs); }, py::arg("batch"),
          py::arg("jobs") = 1, "Locates the batch's standards and fits one curve per method entry from their main peaks.");
    m.def("calibrate", &CalibrateStandards, py::arg("method"), py::arg("standards"), py::arg("elements") = "",
          py::arg("jobs") = 1,
          "Locates each standard, a (SampleData, PeakList) pair, and fits one curve per method entry from "
          "their main peaks; `elements`: an element table (elements.csv) for element entries.");

    py::class_<BatchRun>(m, "BatchRun", "The outcome of run_batch.")
        .def_readonly("results", &BatchRun::results, "One row per sample and compound (the columns of results.csv).")
        .def_readonly("samples", &BatchRun::samples, "One row per sample with its engine statuses.")
        .def_readonly("status", &BatchRun::status, "Sample ID to 'ok' or every status an engine reported for it.")
        .def_readonly("exit_status", &BatchRun::exitStatus,
                      "quan-batch's exit status for this run: 0, 1 (an engine stopped some sample's run) or 4 "
                      "(the batch fails its acceptance rules).")
        .def_readonly("messages", &BatchRun::messages, "What quan-batch prints about samples whose run stopped.")
        .def_readonly("rules", &BatchRun::rules, "The acceptance rules the batch was judged by (\"none\", \"M10\", \"SANTE\").")
        .def_readonly("acceptance", &BatchRun::acceptance,
                      "Every check of the acceptance rules (Compound, Rule, Sample, Passed, Reason), as the "
                      "acceptance table of results.sqlite holds them.")
        .def_readonly("curves", &BatchRun::curves, py::return_value_policy::reference_internal,
                      "The fitted curves, in method order.");
    m.def("run_batch", &RunBatch, py::arg("folder"), py::arg("out") = py::none(), py::arg("jobs") = 1,
          py::arg("curves") = py::none(), py::arg("full_precision") = false, py::arg("acceptance") = py::none(),
          py::arg("exclude_outliers") = py::none(), py::arg("exclusions") = py::none(),
          py::arg("integrations") = py::none(),
          "Runs a batch folder as quan-batch does and returns its outcome (numbers with every digit). `out`: "
          "write the outputs there too (`full_precision`: every digit in its CSV files, as --full-precision); "
          "`curves`: reuse the curves of an earlier results.sqlite, or apply a lab's calibration table (CSV), instead of calibrating (--curves); "
          "`acceptance`: the rule set instead of the method's (--acceptance); `exclude_outliers`: automatic "
          "outlier exclusion at this limit (--exclude-outliers); `exclusions`: points excluded by hand "
          "(--exclusions); `integrations`: integration corrected by hand, an integrations.csv (--integrations). Input problems raise InputError, and a run that cannot finish Error, each with "
          "exit_status as quan-batch's.");
}

}  // namespace QuanPython
