// Shared by the binding files: pandas frames, and report fields by name or number.
#include "Bindings.h"

namespace QuanPython {

py::object DataFrame(const std::vector<std::string>& order, py::dict columns) {
    py::object pandas = py::module_::import("pandas");
    return pandas.attr("DataFrame")(columns, py::arg("columns") = py::cast(order), py::arg("copy") = false);
}


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

CQuanSampleData SampleOrDefault(const std::optional<CQuanSampleData>& sample) {
    return sample ? *sample : CQuanSampleData();
}

}  // namespace QuanPython
