// Placeholder until the report and database writers land.
#pragma once
#include <string>
#include "tools/batch/BatchResults.h"
namespace Batch {
bool WriteResultsDatabase(const std::string& path, const BatchResults& results, std::string& error);
bool ReadCurvesFromDatabase(const std::string& path, const CMethodList& method, CCalibrationList& curves, std::string& error);
}
