// The Python module `quan`: the engines and the batch runner for scripts and notebooks.
//
// A script reads a batch folder or its pieces (method, peak files), runs location, calibration
// and quantification, and reads the report field texts; or runs a whole batch as quan-batch
// does and gets its results as pandas DataFrames. The engines report through status codes and
// the readers through lists of problems; here both become Python exceptions carrying the same
// texts the command-line tools print. Every call that may run for long lets go of the
// interpreter lock, and large numeric results are handed to numpy without a copy: a column
// built here is moved into the array, and a curve's points are a view of the curve itself.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <unistd.h>

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "quan.h"
#include "workflow/batch/BatchInput.h"
#include "workflow/batch/BatchRun.h"
#include "workflow/batch/BatchTool.h"
#include "workflow/batch/Elements.h"
#include "workflow/output/ResultsDatabase.h"
#include "workflow/output/SafeFile.h"
#include "workflow/output/Writers.h"
#include "workflow/method/MethodCheck.h"
#include "workflow/method/MethodXml.h"
#include "workflow/method/TransitionList.h"

namespace py = pybind11;
using namespace Batch;

namespace {

// --- errors ---------------------------------------------------------------------------------

// quan.Error, and its two kinds: InputError (a file that does not read; `problems` lists every
// "file:line:column: message") and EngineError (an engine stopped; `status` is its code).
PyObject* g_error = nullptr;
PyObject* g_inputError = nullptr;
PyObject* g_engineError = nullptr;

[[noreturn]] void Raise(PyObject* type, const std::string& message, const char* attribute = nullptr,
                        py::object value = py::none()) {
    py::object exception = py::reinterpret_borrow<py::object>(type)(message);
    if (attribute != nullptr) exception.attr(attribute) = value;
    PyErr_SetObject(type, exception.ptr());
    throw py::error_already_set();
}

// Problems of the batch reader or of the method tools: both are "file:line:column: message".
template <class Problem>
[[noreturn]] void RaiseProblems(const std::vector<Problem>& problems, const std::string& summary = "") {
    std::vector<std::string> texts;
    std::string message = summary;
    for (const Problem& problem : problems) {
        texts.push_back(problem.Text());
        if (!message.empty()) message += '\n';
        message += problem.Text();
    }
    Raise(g_inputError, message, "problems", py::cast(texts));
}

[[noreturn]] void RaiseStatus(const std::string& what, int status, const std::string& meaning) {
    Raise(g_engineError, what + " stopped with status " + meaning, "status", py::int_(status));
}

// --- numpy without copies -------------------------------------------------------------------

// Moves `values` into a new numpy array that owns them.
template <class T>
py::array_t<T> ToArray(std::vector<T>&& values) {
    auto* owned = new std::vector<T>(std::move(values));
    py::capsule release(owned, [](void* p) { delete static_cast<std::vector<T>*>(p); });
    return py::array_t<T>({owned->size()}, {sizeof(T)}, owned->data(), release);
}

py::object DataFrame(const std::vector<std::string>& order, py::dict columns) {
    py::object pandas = py::module_::import("pandas");
    return pandas.attr("DataFrame")(columns, py::arg("columns") = py::cast(order), py::arg("copy") = false);
}

// --- report fields by name or number --------------------------------------------------------

int PeakFieldNumber(const py::object& field) {
    if (py::isinstance<py::int_>(field)) {
        const int number = field.cast<int>();
        if (FindPeakField(number) == nullptr) throw py::key_error("no peak field " + std::to_string(number));
        return number;
    }
    const std::string name = py::str(field);
    for (const PeakFieldInfo& info : PeakFieldList())
        if (name == info.name) return info.field;
    throw py::key_error("no peak field named " + name);
}

// A field's value as a script wants it: the number for number fields, the text otherwise, and
// None when the field has no value.
py::object PeakFieldValue(const CPeakData& peak, const PeakFieldInfo& info) {
    std::string text;
    double number = 0.0;
    if (!peak.PeakGetFieldStr(info.field, false, text, number)) return py::none();
    if (info.form == PeakFieldForm::kNumber && text.empty()) return py::float_(number);
    return py::str(text);
}

const std::map<std::string, int>& CurveFieldNumbers() {
    static const std::map<std::string, int> numbers = {
#define CURVE_REPORT_FIELD(number, Name, Getter) {#Name, number},
#include "report/CurveReportFields.def"
    };
    return numbers;
}

const std::map<std::string, int>& SampleFieldNumbers() {
    static const std::map<std::string, int> numbers = {
#define SAMPLE_REPORT_FIELD(number, Name, Kind, Getter, Store) {#Name, number},
#include "report/SampleReportFields.def"
    };
    return numbers;
}

int FieldNumber(const py::object& field, const std::map<std::string, int>& numbers, const char* what) {
    if (py::isinstance<py::int_>(field)) return field.cast<int>();
    const std::string name = py::str(field);
    const auto found = numbers.find(name);
    if (found == numbers.end()) throw py::key_error(std::string("no ") + what + " field named " + name);
    return found->second;
}

py::object TextOrNumber(bool has, const std::string& text, double number) {
    if (!has) return py::none();
    if (text.empty()) return py::float_(number);
    return py::str(text);
}

// --- method entries as dictionaries ---------------------------------------------------------

py::dict EntryDict(const CMethodData& entry) {
    py::dict fields;
#define METHOD_FIELD(type, Name) fields[#Name] = entry.Get##Name();
#define METHOD_TEXT(Name) fields[#Name] = entry.Get##Name();
#define METHOD_INDEXED(type, Name, count) \
    for (int k = 0; k < (count); ++k) fields[(#Name + std::to_string(k)).c_str()] = entry.Get##Name(k);
#define METHOD_INDEXED_TEXT(Name, count) METHOD_INDEXED(std::string, Name, count)
#include "platform/MethodRecordFields.def"
#undef METHOD_FIELD
#undef METHOD_TEXT
#undef METHOD_INDEXED
#undef METHOD_INDEXED_TEXT
    return fields;
}

// Setting fields by name from Python values: one setter per field of the record's table, and
// a TypeError naming the field for a value of the wrong kind. Indexed fields are named with
// their index, as the method XML names them (TargetTrace0).
template <class Record>
using FieldSetters = std::map<std::string, std::function<void(Record&, py::handle)>>;

template <class Record>
void SetFields(Record& record, const FieldSetters<Record>& setters, const py::dict& fields, const char* what) {
    for (auto [key, value] : fields) {
        const std::string name = py::str(key);
        const auto setter = setters.find(name);
        if (setter == setters.end()) throw py::key_error(std::string("no ") + what + " field named " + name);
        try {
            setter->second(record, value);
        } catch (const py::cast_error&) {
            throw py::type_error(std::string(what) + " field " + name + " cannot take " +
                                 std::string(py::str(py::type::of(value).attr("__name__"))));
        }
    }
}

// A setting's value; an enumerated setting also takes one of its texts, as method files do
// (LocateBy="RT", WeightingFunction="1/x").
template <class T>
T SettingCast(const char* name, py::handle value) {
    if constexpr (std::is_same_v<T, int>) {
        if (py::isinstance<py::str>(value)) {
            const Keywords::EnumeratedSetting* setting = Keywords::FindEnumeratedSetting(name);
            if (setting == nullptr) throw py::cast_error();
            const std::string text = value.cast<std::string>();
            const int number = Keywords::SettingValue(*setting, text);
            if (number < 0)
                throw py::value_error("\"" + text + "\" is not a " + name + " (" + Keywords::AllowedTexts(*setting) + ")");
            return number;
        }
    }
    return value.cast<T>();
}

const FieldSetters<CMethodData>& MethodSetters() {
    static const FieldSetters<CMethodData> setters = [] {
        FieldSetters<CMethodData> table;
#define METHOD_FIELD(type, Name) table[#Name] = [](CMethodData& e, py::handle v) { e.Set##Name(SettingCast<type>(#Name, v)); };
#define METHOD_TEXT(Name) table[#Name] = [](CMethodData& e, py::handle v) { e.Set##Name(v.cast<std::string>()); };
#define METHOD_INDEXED(type, Name, count)                                                   \
    for (int k = 0; k < (count); ++k)                                                       \
        table[#Name + std::to_string(k)] = [k](CMethodData& e, py::handle v) { e.Set##Name(k, v.cast<type>()); };
#define METHOD_INDEXED_TEXT(Name, count) METHOD_INDEXED(std::string, Name, count)
#include "platform/MethodRecordFields.def"
#undef METHOD_FIELD
#undef METHOD_TEXT
#undef METHOD_INDEXED
#undef METHOD_INDEXED_TEXT
        return table;
    }();
    return setters;
}

// A sample from batch.csv's columns: SampleID, Description, ConcA to ConcT and the amounts and
// factors, which are neutral (1) when not given, as in batch.csv.
CQuanSampleData MakeSample(const std::string& type, const py::kwargs& columns) {
    CQuanSampleData sample;
    int typeNumber = 0;
    if (!CSampleRecord::TypeFromText(type, typeNumber)) throw py::value_error("no sample type " + type);
    sample.SetSampleType(typeNumber);
    std::set<std::string> factorNames;
    for (const auto& factor : Batch::kSampleFactorColumns) {
        const std::string name = factor.name;
        factorNames.insert(name);
        const double value = columns.contains(name) ? columns[factor.name].cast<double>() : 1.0;
        if (!(value > 0.0) || !std::isfinite(value)) throw py::value_error(name + " must be a positive number");
        (sample.*factor.set)(value);
    }
    for (auto [key, value] : columns) {
        const std::string name = py::str(key);
        if (factorNames.count(name) > 0) continue;
        if (name == "SampleID") {
            sample.SetSampleID(value.cast<std::string>().c_str());
        } else if (name == "Description") {
            sample.SetDescription(value.cast<std::string>());
        } else if (name.size() == 5 && name.compare(0, 4, "Conc") == 0 && name[4] >= 'A' && name[4] <= 'T') {
            sample.SetStdConc(name[4] - 'A', value.cast<double>());
        } else {
            throw py::key_error("no batch column " + name + " for a sample");
        }
    }
    return sample;
}

CMethodData& EntryAt(const CMethodList& method, int index) {
    if (index < 0) index += method.GetSize();
    CMethodData* entry = index >= 0 && index < method.GetSize() ? method.GetEntry(index) : nullptr;
    if (entry == nullptr) throw py::index_error("no method entry " + std::to_string(index));
    return *entry;
}

CMethodList ReadMethod(const std::string& path) {
    CMethodList method;
    std::vector<Problem> problems;
    bool ok = false;
    {
        py::gil_scoped_release unlocked;
        ok = ReadMethodFile(path, method, problems);
    }
    if (!ok) RaiseProblems(problems);
    return method;
}

std::string MethodXml(const CMethodList& method, bool readable) {
    if (readable) return MethodTools::ReadableMethodXML(method);
    Brisk::CXMLBuilderT<256> builder;
    if (!method.WriteXML(builder)) Raise(g_error, "the method could not be written as XML");
    return builder.GetText();
}

// --- transition lists ---------------------------------------------------------------------

void WarnNotes(const MethodTools::Problems& notes) {
    for (const auto& note : notes)
        if (PyErr_WarnEx(PyExc_UserWarning, note.Text().c_str(), 1) < 0) throw py::error_already_set();
}

MethodTools::TimeUnit TimeUnitOf(const std::optional<std::string>& unit) {
    if (!unit) return MethodTools::TimeUnit::kColumn;
    if (*unit == "minutes" || *unit == "min") return MethodTools::TimeUnit::kMinutes;
    if (*unit == "seconds" || *unit == "s") return MethodTools::TimeUnit::kSeconds;
    throw py::value_error("rt_unit is \"minutes\" or \"seconds\", not \"" + *unit + "\"");
}

int SettingOption(const char* attribute, const std::string& text) {
    const Keywords::EnumeratedSetting* setting = Keywords::FindEnumeratedSetting(attribute);
    const int value = setting != nullptr ? Keywords::SettingValue(*setting, text) : -1;
    if (value < 0)
        throw py::value_error("\"" + text + "\" is not a " + attribute +
                              (setting != nullptr ? " (" + Keywords::AllowedTexts(*setting) + ")" : std::string()));
    return value;
}

CMethodList ImportTransitions(const std::string& path, double rtWindow, double massWindow, const std::string& units,
                              int ratioWindow, const std::optional<std::string>& rtUnit, double standardConc,
                              const std::string& curve, const std::string& weighting, const std::string& origin,
                              const std::string& transform, const std::string& basis) {
    MethodTools::ImportOptions options;
    if (!(rtWindow > 0.0) || !(massWindow > 0.0) || !(standardConc > 0.0) || ratioWindow <= 0 || ratioWindow > 1000)
        throw py::value_error("windows, the ratio window and istd_conc must be positive");
    options.rtWindow = rtWindow;
    options.massWindow = massWindow;
    options.units = units;
    options.ratioWindow = ratioWindow;
    options.rtUnit = TimeUnitOf(rtUnit);
    options.standardConc = standardConc;
    options.curveType = SettingOption("CCalc", curve);
    options.weighting = SettingOption("WeightingFunction", weighting);
    options.origin = SettingOption("Origin", origin);
    options.axisTransform = SettingOption("XYTrans", transform);
    options.responseBasis = SettingOption("RAH", basis);
    CMethodList method;
    MethodTools::Problems problems, notes;
    {
        py::gil_scoped_release unlocked;
        // What the list gave must also make a sound method, as quan-method import checks.
        if (MethodTools::ImportTransitionList(path, options, method, problems, notes))
            MethodTools::CheckMethod(path, method, {}, problems);
    }
    WarnNotes(notes);
    if (!problems.empty()) RaiseProblems(problems);
    return method;
}

std::string TransitionsText(const CMethodList& method, const std::string& style, const std::optional<std::string>& rtUnit) {
    if (style != "openswath" && style != "molecule") throw py::value_error("style is \"openswath\" or \"molecule\"");
    MethodTools::Problems notes;
    const std::string text = MethodTools::TransitionListText(
        method, style == "molecule" ? MethodTools::ListStyle::kSmallMolecule : MethodTools::ListStyle::kOpenSwath,
        TimeUnitOf(rtUnit), notes);
    WarnNotes(notes);
    return text;
}

// --- raw data and integration ----------------------------------------------------------------

// A view of one of a chromatogram's arrays, kept alive by the chromatogram's Python object.
template <class T>
py::array_t<T> ArrayView(py::object owner, std::vector<T>& values) {
    return py::array_t<T>({values.size()}, {sizeof(T)}, values.data(), owner);
}

template <class T>
std::vector<T> VectorOf(const py::array_t<T, py::array::c_style | py::array::forcecast>& values, const char* what) {
    if (values.ndim() != 1) throw py::value_error(std::string(what) + " must be one-dimensional");
    return std::vector<T>(values.data(), values.data() + values.size());
}

std::vector<RawData::Chromatogram> ReadRaw(const std::string& path, const CMethodList* method,
                                           const std::optional<std::vector<std::string>>& traces, bool every) {
    std::vector<RawData::TraceRequest> requests;
    if (method != nullptr) requests = RawData::BuildTraceRequests(*method);
    if (traces)
        for (const std::string& trace : *traces) requests.push_back(RawData::MakeTraceRequest(trace));
    RawData::ReadOptions options;
    // Asked for nothing in particular, a reader keeps everything the file holds.
    options.everyChromatogram = every || requests.empty();
    RawData::ReadResult result;
    {
        py::gil_scoped_release unlocked;
        RawData::ReadRawFile(path, requests, result, options);
    }
    if (!result.Ok()) RaiseProblems(result.problems);
    for (const std::string& trace : result.unmatched)
        if (PyErr_WarnEx(PyExc_UserWarning, (path + ": no chromatogram for trace " + trace).c_str(), 1) < 0)
            throw py::error_already_set();
    return std::move(result.chromatograms);
}

std::vector<RawData::Chromatogram> ChromatogramsOf(const py::iterable& chromatograms) {
    std::vector<RawData::Chromatogram> copies;
    for (py::handle chromatogram : chromatograms) copies.push_back(chromatogram.cast<const RawData::Chromatogram&>());
    return copies;
}

// Integrates every chromatogram with its method entry's settings into a peak list ready for
// location; a chromatogram that breaks the reader's promises is an InputError, as no peaks of
// a sample may go missing unnoticed.
CPeakList IntegrateTraces(const CMethodList& method, const std::vector<RawData::Chromatogram>& traces) {
    CPeakList peaks;
    std::vector<std::string> problems;
    {
        py::gil_scoped_release unlocked;
        problems = Integrate::IntegrateForMethod(method, traces, peaks);
    }
    if (!problems.empty()) {
        std::string message;
        for (const std::string& problem : problems) {
            if (!message.empty()) message += '\n';
            message += problem;
        }
        Raise(g_inputError, message, "problems", py::cast(problems));
    }
    return peaks;
}

CPeakList IntegrateForMethod(const CMethodList& method, const py::iterable& chromatograms) {
    return IntegrateTraces(method, ChromatogramsOf(chromatograms));
}

// One chromatogram's peaks with the settings given, as a table.
py::object IntegrateOne(const RawData::Chromatogram& chromatogram, const std::string& smoothing, int halfWidth,
                        int passes, double areaThreshold, double heightThreshold, double relativeArea,
                        double relativeHeight, double noise, double splitting) {
    Integrate::Settings settings;
    if (smoothing == "savitzky-golay") settings.smoothing.method = Integrate::SmoothingMethod::SavitzkyGolay;
    else if (smoothing != "mean" && smoothing != "none" && smoothing != "auto")
        throw py::value_error("smoothing is \"auto\", \"none\", \"mean\" or \"savitzky-golay\"");
    settings.smoothing.enabled = smoothing != "none" && smoothing != "auto";
    settings.automaticSmoothing = smoothing == "auto";
    settings.smoothing.halfWidth = halfWidth;
    settings.smoothing.passes = passes;
    settings.areaAbsolute = areaThreshold;
    settings.heightAbsolute = heightThreshold;
    settings.areaRelative = relativeArea;
    settings.heightRelative = relativeHeight;
    settings.noiseLevel = noise;
    settings.splitting = splitting;
    Integrate::Result result;
    {
        py::gil_scoped_release unlocked;
        result = Integrate::IntegrateSignal(chromatogram.times, chromatogram.intensities, settings);
    }
    if (result.status != Integrate::Status::OK)
        Raise(g_inputError, "chromatogram " + chromatogram.id + ": " + Integrate::StatusText(result.status));
    std::vector<double> start, apex, end, startBaseline, endBaseline, area, height, width, asymmetry, tailing;
    std::vector<int> points;
    for (const Integrate::Peak& peak : result.peaks) {
        width.push_back(peak.quality.widthAtHalfHeight);
        asymmetry.push_back(peak.quality.asymmetry);
        tailing.push_back(peak.quality.tailingFactor);
        points.push_back(peak.quality.pointsAcross);
        start.push_back(peak.startTime);
        apex.push_back(peak.apexTime);
        end.push_back(peak.endTime);
        startBaseline.push_back(peak.startBaseline);
        endBaseline.push_back(peak.endBaseline);
        area.push_back(peak.area);
        height.push_back(peak.height);
    }
    py::dict columns;
    columns["StartRT"] = ToArray(std::move(start));
    columns["FoundRT"] = ToArray(std::move(apex));
    columns["EndRT"] = ToArray(std::move(end));
    columns["StHeight"] = ToArray(std::move(startBaseline));
    columns["EnHeight"] = ToArray(std::move(endBaseline));
    columns["Area"] = ToArray(std::move(area));
    columns["Height"] = ToArray(std::move(height));
    columns["WidthAtHalfHeight"] = ToArray(std::move(width));
    columns["Asymmetry"] = ToArray(std::move(asymmetry));
    columns["TailingFactor"] = ToArray(std::move(tailing));
    columns["PointsAcross"] = ToArray(std::move(points));
    py::object frame = DataFrame({"StartRT", "FoundRT", "EndRT", "StHeight", "EnHeight", "Area", "Height",
                                  "WidthAtHalfHeight", "Asymmetry", "TailingFactor", "PointsAcross"},
                                 columns);
    frame.attr("attrs")["noise"] = result.noise;
    return frame;
}

// --- the batch ------------------------------------------------------------------------------

// A batch folder as read: its method, its samples with their peaks, its element table.
struct BatchFolder {
    BatchInput input;
};

std::shared_ptr<BatchFolder> ReadBatchFolder(const std::string& folder) {
    auto batch = std::make_shared<BatchFolder>();
    std::vector<Problem> problems;
    bool ok = false;
    {
        py::gil_scoped_release unlocked;
        ok = ReadBatch(folder, batch->input, problems, true);
    }
    if (!ok) RaiseProblems(problems);
    return batch;
}

// The periodic-table database of a batch with an element table, removed when it goes.
class PeriodicDatabase {
public:
    explicit PeriodicDatabase(const std::string& elementsFile) {
        if (elementsFile.empty()) return;
        std::vector<Element> elements;
        std::string error;
        if (!ReadElementsFile(elementsFile, elements, error))
            Raise(g_inputError, error, "problems", py::cast(std::vector<std::string>{error}));
        const char* folder = std::getenv("TMPDIR");
        std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/quan-periodic-XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) Raise(g_error, elementsFile + ": cannot make a temporary periodic-table database");
        ::close(fd);
        m_path = pattern;
        if (!WritePeriodicDatabase(m_path, elements, error)) Raise(g_error, error);
    }
    ~PeriodicDatabase() {
        if (!m_path.empty()) ::unlink(m_path.c_str());
    }
    PeriodicDatabase(const PeriodicDatabase&) = delete;
    PeriodicDatabase& operator=(const PeriodicDatabase&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

CCalibrationList CalibrateInput(const BatchInput& input, int jobs) {
    if (jobs < 1 || jobs > 256) throw py::value_error("jobs takes a number of threads from 1 to 256");
    PeriodicDatabase periodic(input.elementsFile);
    RunOptions run;
    run.threads = jobs;
    run.periodicDatabase = periodic.Path();
    CCalibrationList curves;
    std::vector<Problem> problems;
    bool ok = false;
    {
        py::gil_scoped_release unlocked;
        ok = CalibrateBatch(input, run, curves, problems);
    }
    if (!ok) RaiseProblems(problems);
    return curves;
}

CCalibrationList CalibrateFolder(const BatchFolder& batch, int jobs) { return CalibrateInput(batch.input, jobs); }

// Calibration from standards a script holds: (sample, peaks) pairs, each sample a standard.
CCalibrationList CalibrateStandards(const CMethodList& method, const std::vector<py::tuple>& standards,
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

// What run_batch returns.
struct BatchRun {
    py::object results, samples;
    CCalibrationList curves;
    py::dict status;
    int exitStatus = 0;
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

std::string SampleStatusText(const SampleResult& sample) {
    if (sample.locateStatus >= kLocateFirstFatal) return "location " + LocateStatusText(sample.locateStatus);
    if (sample.quantifyStatus != 0) return "quantification " + QuantifyStatusText(sample.quantifyStatus);
    return "ok";
}

// Runs a batch folder as quan-batch does: everything read and checked first (InputError, and
// nothing written, when anything is wrong), calibration from the standards or stored curves,
// every sample located and quantified on `jobs` threads, and the outputs written to `out` when
// given (all or nothing, as the tool writes them).
std::unique_ptr<BatchRun> RunBatch(const std::string& folder, std::optional<std::string> out, int jobs,
                                   std::optional<std::string> curvesFile, bool fullPrecision) {
    if (jobs < 1 || jobs > 256) throw py::value_error("jobs takes a number of threads from 1 to 256");
    BatchInput input;
    std::vector<Problem> problems;
    CCalibrationList curves;
    {
        py::gil_scoped_release unlocked;
        ReadBatch(folder, input, problems, false);
        if (curvesFile && problems.empty()) {
            std::string error;
            if (!ReadCurvesFromDatabase(*curvesFile, input.method, curves, error))
                problems.push_back({*curvesFile, 0, 0, error});
        }
    }
    if (!problems.empty()) RaiseProblems(problems, "nothing was run; " + std::to_string(problems.size()) +
                                                       (problems.size() == 1 ? " problem:" : " problems:"));
    PeriodicDatabase periodic(input.elementsFile);
    RunOptions run;
    run.threads = jobs;
    run.periodicDatabase = periodic.Path();

    auto outcome = std::make_unique<BatchRun>();
    BatchResults results;
    std::string error;
    enum { kRan, kCalibrationFailed, kWriteFailed, kRunFailed } result = kRan;
    {
        py::gil_scoped_release unlocked;
        if (!curvesFile && !CalibrateBatch(input, run, curves, problems)) {
            result = kCalibrationFailed;
        } else {
            results.methodFile = folder + "/method.xml";
            results.curves = DescribeCurves(input.method, curves);
            OutputWriter writer;
            OutputOptions outputOptions;
            outputOptions.fullPrecision = fullPrecision;
            if (out && !writer.Begin(*out, results, error, outputOptions)) {
                result = kWriteFailed;
            } else {
                // The rows are kept for the DataFrame, and written as they come when asked.
                run.onSample = [&](const SampleResult&, std::vector<ResultRow>& rows, std::string& sinkError) {
                    if (out && !writer.AddSample(results, rows, sinkError)) return false;
                    for (ResultRow& row : rows) results.rows.push_back(std::move(row));
                    return true;
                };
                if (!QuantifyBatch(input, curves, run, results, problems)) result = kRunFailed;
                else if (out && !writer.Finish(results, error)) result = kWriteFailed;
            }
        }
    }
    if (result == kCalibrationFailed) RaiseProblems(problems, "calibration failed; nothing was written:");
    if (result == kWriteFailed) Raise(g_error, error + (out ? "; the earlier results in " + *out + " are kept" : ""));
    if (result == kRunFailed) RaiseProblems(problems, "the batch could not be run:");

    for (const Problem& problem : problems) outcome->messages.push_back(problem.Text());
    outcome->exitStatus = problems.empty() ? kExitOK : kExitEngineStatus;
    for (const CurveResult& curve : results.curves) outcome->curves.Add(curve.curve);
    outcome->results = ResultsFrame(results);
    py::list id, type, description, peakFile, status;
    std::vector<int32_t> locateStatus, quantifyStatus;
    for (const SampleResult& sample : results.samples) {
        id.append(sample.id);
        type.append(sample.type);
        description.append(sample.description);
        peakFile.append(sample.peakFile);
        locateStatus.push_back(sample.locateStatus);
        quantifyStatus.push_back(sample.quantifyStatus);
        status.append(SampleStatusText(sample));
        outcome->status[py::str(sample.id)] = SampleStatusText(sample);
    }
    py::dict columns;
    columns["Sample"] = id;
    columns["Type"] = type;
    columns["Description"] = description;
    columns["PeakFile"] = peakFile;
    columns["LocateStatus"] = ToArray(std::move(locateStatus));
    columns["QuantifyStatus"] = ToArray(std::move(quantifyStatus));
    columns["Status"] = status;
    outcome->samples = DataFrame(
        {"Sample", "Type", "Description", "PeakFile", "LocateStatus", "QuantifyStatus", "Status"}, columns);
    return outcome;
}

// --- peaks ----------------------------------------------------------------------------------

CPeakList ReadPeaks(const std::string& path) {
    CPeakList peaks;
    std::vector<Problem> problems;
    bool ok = false;
    {
        py::gil_scoped_release unlocked;
        ok = ReadPeakFile(path, peaks, problems);
    }
    if (!ok) RaiseProblems(problems);
    return peaks;
}

// Every report field of every peak, one row per peak: number fields as float columns (NaN
// where a peak has no value), the others as text (None where it has none).
py::object PeakFrame(const CPeakList& peaks) {
    const int n = peaks.GetSize();
    std::vector<std::string> order;
    py::dict columns;
    for (const PeakFieldInfo& info : PeakFieldList()) {
        if (info.form == PeakFieldForm::kNoSource) continue;
        order.push_back(info.name);
        if (info.form == PeakFieldForm::kNumber) {
            std::vector<double> values(n, std::nan(""));
            for (int i = 0; i < n; ++i) {
                const CPeakData* peak = peaks.GetEntry(i);
                std::string text;
                double number = 0.0;
                if (peak != nullptr && peak->PeakGetFieldStr(info.field, false, text, number) && text.empty())
                    values[i] = number;
            }
            columns[info.name] = ToArray(std::move(values));
        } else {
            py::list values;
            for (int i = 0; i < n; ++i) {
                const CPeakData* peak = peaks.GetEntry(i);
                values.append(peak != nullptr ? PeakFieldValue(*peak, info) : py::none());
            }
            columns[info.name] = values;
        }
    }
    return DataFrame(order, columns);
}

const CPeakData& PeakAt(const CPeakList& peaks, int index) {
    if (index < 0) index += peaks.GetSize();
    const CPeakData* peak = index >= 0 && index < peaks.GetSize() ? peaks.GetEntry(index) : nullptr;
    if (peak == nullptr) throw py::index_error("no peak " + std::to_string(index));
    return *peak;
}

const CCalibrationData& CurveAt(const CCalibrationList& curves, const py::object& key) {
    if (py::isinstance<py::int_>(key)) {
        int index = key.cast<int>();
        if (index < 0) index += curves.GetSize();
        const CCalibrationData* curve = index >= 0 && index < curves.GetSize() ? curves.GetEntry(index) : nullptr;
        if (curve == nullptr) throw py::index_error("no curve " + std::to_string(index));
        return *curve;
    }
    const std::string name = py::str(key);
    for (int i = 0; i < curves.GetSize(); ++i)
        if (const CCalibrationData* curve = curves.GetEntry(i); curve != nullptr && curve->GetName() == name) return *curve;
    throw py::key_error("no curve for " + name);
}

// A curve's calibration points as a structured array that views the curve's own storage.
py::array CurvePoints(py::object self) {
    CCalibrationData& curve = self.cast<CCalibrationData&>();
    const int count = std::max(0, std::min(curve.GetNumCaliPts(), curve.GetNumCaliPointSlots()));
    py::list names, formats, offsets;
    for (auto [name, format, offset] : {std::tuple{"Weight", "<f8", 0}, {"Conc", "<f8", 8}, {"Resp", "<f8", 16},
                                        {"Flags", "<u2", 24}}) {
        names.append(name);
        formats.append(format);
        offsets.append(offset);
    }
    py::dict layout;
    layout["names"] = names;
    layout["formats"] = formats;
    layout["offsets"] = offsets;
    layout["itemsize"] = sizeof(tag_CALI_POINT);
    py::dtype type = py::dtype::from_args(layout);
    if (count == 0) return py::array(type, {0}, {sizeof(tag_CALI_POINT)});
    return py::array(type, {count}, {sizeof(tag_CALI_POINT)}, &curve.GetCaliPoint(0), self);
}

// A curve's standards as an analyst reads them: nominal concentration, response, the
// concentration the curve gives back and its deviation from nominal.
py::object StandardsFrame(const CCalibrationData& curve) {
    const std::vector<StandardPoint> points = StandardPoints(curve);
    py::list standard;
    std::vector<double> nominal, response, back, deviation;
    std::vector<bool> excluded;
    for (const StandardPoint& point : points) {
        standard.append(point.standard);
        nominal.push_back(point.nominal);
        response.push_back(point.response);
        back.push_back(point.backCalculated);
        deviation.push_back(DeviationPercent(point.nominal, point.backCalculated));
        excluded.push_back(point.excluded);
    }
    py::dict columns;
    columns["Standard"] = standard;
    columns["Nominal"] = ToArray(std::move(nominal));
    columns["Response"] = ToArray(std::move(response));
    columns["BackCalculated"] = ToArray(std::move(back));
    columns["Deviation%"] = ToArray(std::move(deviation));
    columns["Excluded"] = py::array_t<bool>(py::cast(excluded));
    return DataFrame({"Standard", "Nominal", "Response", "BackCalculated", "Deviation%", "Excluded"}, columns);
}

py::list Coefficients(const CCalibrationData& curve) {
    py::list values;
    for (int i = 0; i < curve.GetNumCC(); ++i) values.append(curve.GetCC(i));
    return values;
}

CQuanSampleData SampleOrDefault(const std::optional<CQuanSampleData>& sample) {
    return sample ? *sample : CQuanSampleData();
}

}  // namespace

PYBIND11_MODULE(quan, m) {
    m.doc() = "The quantification engine: batches, methods, peaks, location, calibration, quantification.";

    g_error = PyErr_NewExceptionWithDoc("quan.Error", "A quan operation failed; the message says why.",
                                        PyExc_RuntimeError, nullptr);
    g_inputError = PyErr_NewExceptionWithDoc(
        "quan.InputError", "Input that does not read; `problems` lists each as file:line:column: message.",
        g_error, nullptr);
    g_engineError = PyErr_NewExceptionWithDoc("quan.EngineError", "An engine stopped; `status` is its code.",
                                              g_error, nullptr);
    m.attr("Error") = py::handle(g_error);
    m.attr("InputError") = py::handle(g_inputError);
    m.attr("EngineError") = py::handle(g_engineError);

    // --- method ---
    py::class_<CMethodList>(m, "Method", "A method: one entry per compound, in method order.")
        .def(py::init<>())
        .def_static("read", &ReadMethod, py::arg("path"), "Reads a method XML file.")
        .def_static(
            "from_xml",
            [](const std::string& text) {
                CMethodList method;
                MethodTools::Problems problems;
                if (!MethodTools::ReadMethodText("method", text, method, problems)) RaiseProblems(problems);
                return method;
            },
            py::arg("text"), "Reads and checks a method document held as text (problems name it \"method\").")
        .def("to_xml", &MethodXml, py::arg("readable") = true,
             "The method document: readable (only settings that differ from their defaults, enumerated "
             "settings as texts), or the full numeric form stored methods use.")
        .def(
            "write",
            [](const CMethodList& method, const std::string& path, bool readable) {
                std::string error;
                if (!WriteFileSafely(path, MethodXml(method, readable), error)) Raise(g_error, error);
            },
            py::arg("path"), py::arg("readable") = true,
            "Writes the method XML; an earlier file is replaced only when the new one is complete.")
        .def(
            "check",
            [](const CMethodList& method) {
                MethodTools::Problems problems;
                MethodTools::CheckMethod("method", method, {}, problems);
                std::vector<std::string> texts;
                for (const auto& problem : problems) texts.push_back(problem.Text());
                return texts;
            },
            "What quan-method check finds wrong with the method as a whole (references, traces, windows, "
            "settings out of range), as texts; empty when nothing is.")
        .def("to_transitions", &TransitionsText, py::arg("style") = "openswath", py::arg("rt_unit") = py::none(),
             "The method as a transition list (CSV text), in \"openswath\" or \"molecule\" columns; "
             "rt_unit \"minutes\" or \"seconds\" (default: the style's own). What a list cannot carry is "
             "given as warnings.")
        .def("__len__", &CMethodList::GetSize)
        .def(
            "__getitem__", [](const CMethodList& method, int index) { return EntryDict(EntryAt(method, index)); },
            "The entry's settings by name (a copy; change them with set).")
        .def(
            "set",
            [](CMethodList& method, int index, const py::kwargs& fields) {
                SetFields(EntryAt(method, index), MethodSetters(), fields, "method");
            },
            py::arg("index"), "Changes settings of an entry: method.set(0, PredRT=5.2, QuanTrace=\"304.2\").")
        .def(
            "append",
            [](CMethodList& method, const py::kwargs& fields) {
                CMethodData entry;
                SetFields(entry, MethodSetters(), fields, "method");
                method.Add(entry);
            },
            "Appends an entry with the given settings (the others at their defaults).")
        .def_property_readonly("names", [](const CMethodList& method) {
            std::vector<std::string> names;
            for (int i = 0; i < method.GetSize(); ++i)
                names.push_back(method.GetEntry(i) ? method.GetEntry(i)->GetName() : std::string());
            return names;
        });
    m.def("read_method", &ReadMethod, py::arg("path"), "Reads a method XML file into a Method.");
    m.def("import_transitions", &ImportTransitions, py::arg("path"), py::arg("rt_window") = 0.5,
          py::arg("mass_window") = 0.5, py::arg("units") = "ng/mL", py::arg("ratio_window") = 20,
          py::arg("rt_unit") = py::none(), py::arg("istd_conc") = 1.0, py::arg("curve") = "Linear",
          py::arg("weighting") = "Null", py::arg("origin") = "Exclude", py::arg("transform") = "None",
          py::arg("basis") = "Area",
          "Makes a method from a transition list (CSV or tab-separated), as quan-method import does: "
          "one entry per compound, heavy-labelled compounds as internal standards. Notes come as "
          "warnings; problems raise InputError.");

    // --- peaks ---
    py::class_<CPeakList>(m, "PeakList", "A sample's integrated peaks; location and quantification fill them in.")
        .def(py::init<>())
        .def(py::init<const CPeakList&>(), "A copy.")
        .def_static("read", &ReadPeaks, py::arg("path"), "Reads a peak CSV file (columns named after the peak fields).")
        .def("__len__", &CPeakList::GetSize)
        .def(
            "field",
            [](const CPeakList& peaks, int index, const py::object& field) {
                const PeakFieldInfo* info = FindPeakField(PeakFieldNumber(field));
                return PeakFieldValue(PeakAt(peaks, index), *info);
            },
            py::arg("index"), py::arg("field"), "One report field of one peak, by name or number.")
        .def("to_frame", &PeakFrame, "Every report field of every peak as a DataFrame.");
    m.def("read_peaks", &ReadPeaks, py::arg("path"));

    // --- samples ---
    py::class_<CQuanSampleData>(m, "SampleData", "A sample's record: type, level concentrations, amounts, factors.")
        .def(py::init(&MakeSample), py::arg("type") = "Analyte",
             "A sample of `type` (Analyte, Standard, QC, Blank, ...) with batch.csv's columns by name: "
             "SampleData(\"Standard\", SampleID=\"STD-1\", ConcA=5.0, InjectionVolume=2.0); amounts and "
             "factors not given are 1.")
        .def_property_readonly("id", &CQuanSampleData::GetSampleID)
        .def_property_readonly("type", &CQuanSampleData::GetSampleTypeString)
        .def_property_readonly("description", &CQuanSampleData::GetDescription)
        .def(
            "field",
            [](const CQuanSampleData& sample, const py::object& field, int index) {
                std::string text;
                double number = 0.0;
                const int number_ = FieldNumber(field, SampleFieldNumbers(), "sample");
                const bool has = sample.SampleGetFieldStr(static_cast<CQuanSampleData::SampleDataFields>(number_),
                                                          false, text, index, number, nullptr);
                return TextOrNumber(has, text, number);
            },
            py::arg("field"), py::arg("index") = 0, "One report field of the sample, by name or number.");

    py::class_<SampleInput>(m, "Sample", "One injection of a batch: its row of batch.csv and its peaks.")
        .def_readonly("id", &SampleInput::id)
        .def_readonly("peak_file", &SampleInput::peakFile)
        .def_readonly("type_number", &SampleInput::type)
        .def_property_readonly("type", [](const SampleInput& s) { return CSampleRecord::TypeText(s.type); })
        .def_readonly("data", &SampleInput::sample, py::return_value_policy::reference_internal)
        .def_readonly("peaks", &SampleInput::peaks, py::return_value_policy::reference_internal)
        .def_readonly("excluded", &SampleInput::excluded);

    py::class_<BatchFolder, std::shared_ptr<BatchFolder>>(m, "Batch", "A batch folder as read and checked.")
        .def_property_readonly("folder", [](const BatchFolder& b) { return b.input.folder; })
        .def_property_readonly("method", [](BatchFolder& b) -> CMethodList& { return b.input.method; },
                               py::return_value_policy::reference_internal)
        .def_property_readonly("samples", [](py::object self) {
            BatchFolder& batch = self.cast<BatchFolder&>();
            py::list samples;
            for (auto& sample : batch.input.samples)
                samples.append(py::cast(*sample, py::return_value_policy::reference_internal, self));
            return samples;
        })
        .def("__len__", [](const BatchFolder& b) { return b.input.samples.size(); });
    m.def("read_batch", &ReadBatchFolder, py::arg("folder"),
          "Reads and checks a batch folder (method.xml, batch.csv, the peak files, elements.csv).");

    // --- curves ---
    py::class_<CCalibrationData>(m, "Curve", "A compound's calibration curve.")
        .def_property_readonly("name", &CCalibrationData::GetName)
        .def_property_readonly("description", &CCalibrationData::GetDescription)
        .def_property_readonly("valid", [](const CCalibrationData& c) { return c.GetCurveValid() != 0; })
        .def_property_readonly("coefficients", &Coefficients, "c0, c1, ...: the coefficient of x^i is c[i].")
        .def_property_readonly("r2", &CCalibrationData::GetCoeffOfDet)
        .def_property_readonly("standards", &StandardsFrame,
                               "The standards in the analyst's units with their back-calculated concentrations "
                               "and deviations from nominal (per cent), as the report shows them.")
        .def_property_readonly("not_calibrated_reason", &NotCalibratedReason,
                               "Why the curve could not be calibrated, in a lab's words; empty when it was.")
        .def_property_readonly("points", &CurvePoints,
                               "The calibration points (Weight, Conc, Resp, Flags; Flags & 1 = excluded), "
                               "a view of the curve's own storage.")
        .def(
            "field",
            [](const CCalibrationData& curve, const py::object& field) {
                std::string text;
                double number = 0.0;
                const int number_ = FieldNumber(field, CurveFieldNumbers(), "curve");
                const bool has =
                    curve.GetFieldStr(static_cast<CCalibrationData::CalibrationDataFields>(number_), false, text, number);
                return TextOrNumber(has, text, number);
            },
            py::arg("field"), "One report field of the curve, by name or number.");

    py::class_<CCalibrationList>(m, "Curves", "The calibration curves of a method, one per entry, in method order.")
        .def("__len__", &CCalibrationList::GetSize)
        .def("__getitem__", &CurveAt, py::arg("key"), py::return_value_policy::reference_internal,
             "A curve by position or by compound name.")
        .def_property_readonly("names", [](const CCalibrationList& curves) {
            std::vector<std::string> names;
            for (int i = 0; i < curves.GetSize(); ++i)
                names.push_back(curves.GetEntry(i) ? curves.GetEntry(i)->GetName() : std::string());
            return names;
        });

    // --- raw data and integration ---
    py::class_<RawData::Chromatogram>(m, "Chromatogram",
                                      "One trace's intensities over retention time (minutes, strictly ascending).")
        .def(py::init([](const py::array_t<double, py::array::c_style | py::array::forcecast>& times,
                         const py::array_t<double, py::array::c_style | py::array::forcecast>& intensities,
                         const std::string& trace, const std::string& id) {
                 RawData::Chromatogram chromatogram;
                 chromatogram.times = VectorOf(times, "times");
                 chromatogram.intensities = VectorOf(intensities, "intensities");
                 chromatogram.trace = trace;
                 chromatogram.id = id.empty() ? trace : id;
                 const RawData::TraceRequest request = RawData::MakeTraceRequest(trace);
                 chromatogram.precursorMz = request.kind == RawData::TraceKind::Name ? 0.0 : request.precursorMz;
                 chromatogram.productMz = request.kind == RawData::TraceKind::Transition ? request.productMz : 0.0;
                 return chromatogram;
             }),
             py::arg("times"), py::arg("intensities"), py::arg("trace") = "", py::arg("id") = "",
             "A chromatogram of a script's own data (copied in); integration checks it.")
        .def_readonly("id", &RawData::Chromatogram::id)
        .def_readonly("trace", &RawData::Chromatogram::trace)
        .def_readonly("precursor_mz", &RawData::Chromatogram::precursorMz)
        .def_readonly("product_mz", &RawData::Chromatogram::productMz)
        .def_readonly("function", &RawData::Chromatogram::function)
        .def_property_readonly(
            "times", [](py::object self) { return ArrayView(self, self.cast<RawData::Chromatogram&>().times); },
            "Minutes: a view of the chromatogram's own array.")
        .def_property_readonly(
            "intensities",
            [](py::object self) { return ArrayView(self, self.cast<RawData::Chromatogram&>().intensities); },
            "A view of the chromatogram's own array.")
        .def_property_readonly(
            "scans", [](py::object self) { return ArrayView(self, self.cast<RawData::Chromatogram&>().scans); },
            "Scan number of each point (empty when the file has none): a view.")
        .def("__len__", [](const RawData::Chromatogram& c) { return c.times.size(); })
        .def("__repr__", [](const RawData::Chromatogram& c) {
            return "<Chromatogram " + c.trace + " (" + c.id + "), " + std::to_string(c.times.size()) + " points>";
        });
    m.def(
        "read_raw",
        [](const std::string& path, const CMethodList* method, const std::optional<std::vector<std::string>>& traces,
           bool every) { return ReadRaw(path, method, traces, every); },
        py::arg("path"), py::arg("method") = nullptr, py::arg("traces") = py::none(),
        py::arg("every_chromatogram") = false,
        "Reads the chromatograms of an mzML file or a detector text export: those the method's traces (and "
        "`traces`) ask for, or everything when neither is given. Problems raise InputError; traces the file "
        "does not answer come as warnings.");
    m.def("integrate_for_method", &IntegrateForMethod, py::arg("method"), py::arg("chromatograms"),
          "Integrates chromatograms with their method entries' settings into a PeakList ready for locate.");
    m.def(
        "integrate_raw",
        [](const std::string& path, const CMethodList& method) {
            return IntegrateTraces(method, ReadRaw(path, &method, std::nullopt, false));
        },
        py::arg("path"), py::arg("method"),
        "Reads a raw file for the method's traces and integrates it into the sample's PeakList.");
    m.def("integrate", &IntegrateOne, py::arg("chromatogram"), py::arg("smoothing") = "auto",
          py::arg("half_width") = 0, py::arg("passes") = 1, py::arg("area_threshold") = 0.0,
          py::arg("height_threshold") = 0.0, py::arg("relative_area") = 0.0, py::arg("relative_height") = 0.0,
          py::arg("noise") = 0.0, py::arg("splitting") = Integrate::kDefaultSplittingPercent,
          "The peaks of one chromatogram as a DataFrame (times in minutes, areas in intensity x seconds, "
          "baselines at start and end, then each peak's width at half height, asymmetry at 10 %, USP "
          "tailing factor and points across); smoothing \"auto\" sizes it to the peaks, as for a method "
          "without integration settings; attrs['noise'] is the noise used.");

    // --- the engines ---
    m.def(
        "locate",
        [](CMethodList& method, CPeakList& peaks, const std::optional<CQuanSampleData>& sample,
           const std::string& periodicDatabase) {
            CSampleRecord record = SampleOrDefault(sample).GetRecord();
            int status = 0;
            {
                py::gil_scoped_release unlocked;
                CQuanLocate engine;
                status = engine.QuanDoLocation(method, peaks, record, periodicDatabase);
            }
            if (status >= kLocateFirstFatal) RaiseStatus("location", status, LocateStatusText(status));
            return status;
        },
        py::arg("method"), py::arg("peaks"), py::arg("sample") = py::none(), py::arg("periodic_database") = "",
        "Locates every method entry among the peaks, in place: peaks get their entry, role, responses and "
        "flags, and the method its found retention times. Returns the status (0, or a code that did not "
        "stop the run); raises EngineError when location stopped.");
    m.def("calibrate", &CalibrateFolder, py::arg("batch"), py::arg("jobs") = 1,
          "Locates the batch's standards and fits one curve per method entry from their main peaks.");
    m.def("calibrate", &CalibrateStandards, py::arg("method"), py::arg("standards"), py::arg("elements") = "",
          py::arg("jobs") = 1,
          "Locates each standard, a (SampleData, PeakList) pair, and fits one curve per method entry from "
          "their main peaks; `elements`: an element table (elements.csv) for element entries.");
    m.def(
        "quantify",
        [](CCalibrationList& curves, CMethodList& method, CPeakList& peaks, const std::optional<CQuanSampleData>& sample,
           const std::string& periodicDatabase) {
            if (curves.GetSize() != method.GetSize())
                RaiseStatus("quantification", kQuantifyListsUnequal, QuantifyStatusText(kQuantifyListsUnequal));
            int status = 0;
            {
                py::gil_scoped_release unlocked;
                CQuanQuantify engine;
                engine.SetCurrentSample(SampleOrDefault(sample));
                status = engine.DoQuantify(&curves, &method, &peaks, periodicDatabase);
            }
            if (status != kQuantifyOK) RaiseStatus("quantification", status, QuantifyStatusText(status));
        },
        py::arg("curves"), py::arg("method"), py::arg("peaks"), py::arg("sample") = py::none(),
        py::arg("periodic_database") = "",
        "Quantifies located peaks in place against the curves (one per method entry, as calibrate gives).");

    // --- a whole batch ---
    py::class_<BatchRun>(m, "BatchRun", "The results of run_batch.")
        .def_readonly("results", &BatchRun::results, "One row per sample and compound (the columns of results.csv).")
        .def_readonly("samples", &BatchRun::samples, "One row per sample with its engine statuses.")
        .def_readonly("status", &BatchRun::status, "Sample ID to 'ok' or what stopped its run.")
        .def_readonly("exit_status", &BatchRun::exitStatus, "quan-batch's exit status for this run (0 or 1).")
        .def_readonly("messages", &BatchRun::messages, "What quan-batch would print about samples whose run stopped.")
        .def_readonly("curves", &BatchRun::curves, py::return_value_policy::reference_internal,
                      "The fitted curves, in method order.");
    m.def("run_batch", &RunBatch, py::arg("folder"), py::arg("out") = py::none(), py::arg("jobs") = 1,
          py::arg("curves") = py::none(), py::arg("full_precision") = false,
          "Runs a batch folder as quan-batch does and returns its results (numbers with every digit). `out`: "
          "write the outputs there too (`full_precision`: every digit in its CSV files, as --full-precision); "
          "`curves`: reuse the curves of an earlier results.sqlite instead of calibrating.");
    m.attr("__version__") = QUAN_VERSION;
}
