// The module's exceptions: quan.Error and its kinds InputError and EngineError, carrying the
// same texts and numbers the command-line programs print.
#include "Bindings.h"

namespace QuanPython {

PyObject* g_error = nullptr;
PyObject* g_inputError = nullptr;
PyObject* g_engineError = nullptr;

void Raise(PyObject* type, const std::string& message, const char* attribute, py::object value) {
    py::object exception = py::reinterpret_borrow<py::object>(type)(message);
    if (attribute != nullptr) exception.attr(attribute) = value;
    PyErr_SetObject(type, exception.ptr());
    throw py::error_already_set();
}

void RaiseProblems(const Quan::Problems& problems, const std::string& summary, std::optional<int> exitStatus) {
    std::vector<std::string> texts;
    std::string message = summary;
    for (const Quan::Problem& problem : problems) {
        texts.push_back(problem.Text());
        if (!message.empty()) message += '\n';
        message += problem.Text();
    }
    py::object exception = py::reinterpret_borrow<py::object>(g_inputError)(message);
    exception.attr("problems") = py::cast(texts);
    exception.attr("exit_status") = exitStatus ? py::object(py::int_(*exitStatus)) : py::none();
    PyErr_SetObject(g_inputError, exception.ptr());
    throw py::error_already_set();
}

void RaiseStatus(const std::string& what, int status, const std::string& meaning) {
    Raise(g_engineError, what + " stopped with status " + meaning, "status", py::int_(status));
}

void WarnNotes(const Quan::Problems& notes) {
    for (const auto& note : notes)
        if (PyErr_WarnEx(PyExc_UserWarning, note.Text().c_str(), 1) < 0) throw py::error_already_set();
}

void BindErrors(py::module_& m) {

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
}

}  // namespace QuanPython
