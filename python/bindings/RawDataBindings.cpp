// Raw data and integration: chromatograms read from mzML files and detector exports (or given
// by a script), integrated one at a time or for a method into a peak list.
#include "Bindings.h"
#include "integrate/MethodIntegration.h"
#include "rawdata/RawDataReader.h"

namespace QuanPython {
namespace {

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

std::vector<RawData::Chromatogram> ReadRaw(const std::string& path, const Method* method,
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
CPeakList IntegrateTraces(const Method& method, const std::vector<RawData::Chromatogram>& traces) {
    CPeakList peaks;
    Quan::Problems problems;
    {
        py::gil_scoped_release unlocked;
        problems = Integrate::IntegrateForMethod(method, traces, peaks);
    }
    if (!problems.empty()) RaiseProblems(problems);
    return peaks;
}

CPeakList IntegrateForMethod(const Method& method, const py::iterable& chromatograms) {
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
    py::object frame =
        DataFrame({"StartRT", "FoundRT", "EndRT", "StHeight", "EnHeight", "Area", "Height",
                   "WidthAtHalfHeight", "Asymmetry", "TailingFactor", "PointsAcross"},
                  columns);
    frame.attr("attrs")["noise"] = result.noise;
    return frame;
}

}  // namespace

void BindRawData(py::module_& m) {
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
        [](const std::string& path, const Method* method, const std::optional<std::vector<std::string>>& traces,
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
        [](const std::string& path, const Method& method) {
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
}

}  // namespace QuanPython
