// Peaks and samples: peak lists read from files or filled by integration, their report fields,
// sample records as batch.csv describes them, and location.
#include <cmath>
#include <set>

#include "Bindings.h"
#include "workflow/batch/BatchInput.h"
#include "workflow/batch/BatchRun.h"

namespace QuanPython {
namespace {

CPeakList ReadPeaks(const std::string& path) {
    CPeakList peaks;
    Quan::Problems problems;
    bool ok = false;
    {
        py::gil_scoped_release unlocked;
        ok = Batch::ReadPeakFile(path, peaks, problems);
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

}  // namespace

void BindPeaks(py::module_& m) {
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
    m.def(
        "locate",
        [](Method& method, CPeakList& peaks, const std::optional<CQuanSampleData>& sample,
           const std::string& periodicDatabase) {
            CSampleRecord record = SampleOrDefault(sample).GetRecord();
            int status = 0;
            {
                py::gil_scoped_release unlocked;
                CQuanLocate engine;
                status = engine.QuanDoLocation(method, peaks, record, periodicDatabase);
            }
            if (status >= kLocateFirstFatal) RaiseStatus("location", status, Batch::LocateStatusText(status));
            return status;
        },
        py::arg("method"), py::arg("peaks"), py::arg("sample") = py::none(), py::arg("periodic_database") = "",
        "Locates every method entry among the peaks, in place: peaks get their entry, role, responses and "
        "flags, and the method its found retention times. Returns the status (0, or a code that did not "
        "stop the run); raises EngineError when location stopped.");
}

}  // namespace QuanPython
