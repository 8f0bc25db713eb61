// What the binding files of the Python module `quan` share: the exceptions, numpy arrays
// without copies, report fields by name or number, and one Bind function per subject, which
// the module's entry point (Module.cpp) calls in order. The bindings hold no workflow of their
// own: they convert between Python and the workflow library's types and call it.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Problem.h"
#include "quan.h"
#include "workflow/method/MethodDocument.h"

namespace QuanPython {

namespace py = pybind11;

// Python's Method is a method document: the entries and the list settings beside them.
using Method = MethodTools::MethodDocument;

// --- errors (Errors.cpp) ---------------------------------------------------------------------

// quan.Error, and its two kinds: InputError (input that does not read; `problems` lists every
// "file:line:column: message") and EngineError (an engine stopped; `status` is its code).
extern PyObject* g_error;
extern PyObject* g_inputError;
extern PyObject* g_engineError;

[[noreturn]] void Raise(PyObject* type, const std::string& message, const char* attribute = nullptr,
                        py::object value = py::none());
// InputError with every problem's text, after `summary` when given; `exitStatus`, when given,
// is what quan-batch exits with on the same input (the error's `exit_status`).
[[noreturn]] void RaiseProblems(const Quan::Problems& problems, const std::string& summary = "",
                                std::optional<int> exitStatus = std::nullopt);
[[noreturn]] void RaiseStatus(const std::string& what, int status, const std::string& meaning);
// Warnings (notes that do not stop anything) as Python UserWarnings.
void WarnNotes(const Quan::Problems& notes);

// --- numpy and pandas (Support.cpp) -----------------------------------------------------------

// Moves `values` into a new numpy array that owns them.
template <class T>
py::array_t<T> ToArray(std::vector<T>&& values) {
    auto* owned = new std::vector<T>(std::move(values));
    py::capsule release(owned, [](void* p) { delete static_cast<std::vector<T>*>(p); });
    return py::array_t<T>({owned->size()}, {sizeof(T)}, owned->data(), release);
}

py::object DataFrame(const std::vector<std::string>& order, py::dict columns);

// --- report fields by name or number (Support.cpp) ----------------------------------------------

int PeakFieldNumber(const py::object& field);
// A field's value as a script wants it: the number for number fields, the text otherwise, and
// None when the field has no value.
py::object PeakFieldValue(const CPeakData& peak, const PeakFieldInfo& info);
const std::map<std::string, int>& CurveFieldNumbers();
const std::map<std::string, int>& SampleFieldNumbers();
int FieldNumber(const py::object& field, const std::map<std::string, int>& numbers, const char* what);
py::object TextOrNumber(bool has, const std::string& text, double number);

CQuanSampleData SampleOrDefault(const std::optional<CQuanSampleData>& sample);

// --- the subjects, in the order the module binds them -----------------------------------------

void BindErrors(py::module_& m);
void BindMethod(py::module_& m);
void BindPeaks(py::module_& m);
void BindCurves(py::module_& m);
void BindRawData(py::module_& m);
void BindBatch(py::module_& m);

}  // namespace QuanPython
