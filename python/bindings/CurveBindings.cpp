// Curves: fitted calibration curves, their points and standards as an analyst reads them,
// their report fields, and quantification against them.
#include <algorithm>
#include <tuple>

#include "Bindings.h"
#include "workflow/batch/BatchResults.h"
#include "workflow/batch/BatchRun.h"

namespace QuanPython {
namespace {

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
    const std::vector<Batch::StandardPoint> points = Batch::StandardPoints(curve);
    py::list standard;
    std::vector<double> nominal, response, back, deviation;
    std::vector<bool> excluded;
    for (const Batch::StandardPoint& point : points) {
        standard.append(point.standard);
        nominal.push_back(point.nominal);
        response.push_back(point.response);
        back.push_back(point.backCalculated);
        deviation.push_back(Batch::DeviationPercent(point.nominal, point.backCalculated));
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

}  // namespace

void BindCurves(py::module_& m) {
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
        .def_property_readonly("not_calibrated_reason", &Batch::NotCalibratedReason,
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
    m.def(
        "quantify",
        [](CCalibrationList& curves, Method& method, CPeakList& peaks, const std::optional<CQuanSampleData>& sample,
           const std::string& periodicDatabase) {
            if (curves.GetSize() != method.GetSize())
                RaiseStatus("quantification", kQuantifyListsUnequal, Batch::QuantifyStatusText(kQuantifyListsUnequal));
            int status = 0;
            {
                py::gil_scoped_release unlocked;
                CQuanQuantify engine;
                engine.SetCurrentSample(SampleOrDefault(sample));
                status = engine.DoQuantify(&curves, &method, &peaks, periodicDatabase);
            }
            if (status != kQuantifyOK) RaiseStatus("quantification", status, Batch::QuantifyStatusText(status));
        },
        py::arg("curves"), py::arg("method"), py::arg("peaks"), py::arg("sample") = py::none(),
        py::arg("periodic_database") = "",
        "Quantifies located peaks in place against the curves (one per method entry, as calibrate gives).");
}

}  // namespace QuanPython
