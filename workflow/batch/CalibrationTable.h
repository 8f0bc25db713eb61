// A lab's calibration table: known curves, one row per compound, so that a batch of unknowns is
// quantified without standards of its own (quan-batch --curves TABLE). Each row names the
// compound (as a method entry, or in the transition-name form "arg-L.arg-L_1.Light"), its
// internal standard (likewise; empty for an external standard), the response basis, the model
// (linear: response ratio = slope x concentration ratio + intercept), the weighting it was fitted
// with, and optionally the units, the limits of quantitation and the correlation coefficient.
// Columns are known by name, ignoring case, including those the other open-source pipeline
// writes (IS_name, component_name, feature_name, transformation_model_param_slope, ...).
//
// The table describes the lab's own quantification, so it wins over the method where they
// differ: the compound's internal standard and response basis become the table's (the standard
// is then measured on the same basis), and a note says so. Entries the table does not name get
// no curve and are not quantified.
#pragma once

#include <string>
#include <vector>

#include "quan.h"
#include "workflow/batch/BatchInput.h"

namespace Batch {

// The text a curve carries when the table has none for its entry (NotCalibratedReason says it).
constexpr const char* kNotInTable = "not in the calibration table";

// Whether `path` holds a calibration table rather than a results database (by its first bytes;
// a file that cannot be read is left to the database reader to report).
bool IsCalibrationTable(const std::string& path);

// Reads the table `text` (named `file` in problems and notes) against `method`: on success
// `curves` holds one curve per method entry, in method order, and `method` carries the table's
// pairings and bases. On a problem nothing is changed and every problem found is reported.
bool CalibrationFromTable(const std::string& file, const std::string& text, CMethodList& method,
                          CCalibrationList& curves, std::vector<Problem>& problems, std::vector<Problem>& notes);

// The same, on a file.
bool ReadCalibrationTable(const std::string& path, CMethodList& method, CCalibrationList& curves,
                          std::vector<Problem>& problems, std::vector<Problem>& notes);

}  // namespace Batch
