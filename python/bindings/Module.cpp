// The Python module `quan`: the engines and the workflow library for scripts and notebooks.
//
// A script reads a batch folder or its pieces (method, peak files, raw data), runs location,
// calibration and quantification, and reads the report field texts; or runs a whole batch as
// quan-batch does, through the same batch session, and gets its outcome as pandas DataFrames.
// The engines report through status codes and the readers through lists of problems; here both
// become Python exceptions carrying the same texts the command-line programs print. Every call
// that may run for long lets go of the interpreter lock, and large numeric results are handed
// to numpy without a copy. One file per subject; this one only binds them in order.
#include "Bindings.h"

PYBIND11_MODULE(quan, m) {
    m.doc() = "The quantification engine: batches, methods, peaks, location, calibration, quantification.";
    QuanPython::BindErrors(m);
    QuanPython::BindMethod(m);
    QuanPython::BindPeaks(m);
    QuanPython::BindCurves(m);
    QuanPython::BindRawData(m);
    QuanPython::BindBatch(m);
    m.attr("__version__") = QUAN_VERSION;
}
