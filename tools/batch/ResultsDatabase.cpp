#include "tools/batch/ResultsDatabase.h"
#include "tools/batch/SafeFile.h"
namespace Batch {
bool WriteResultsDatabase(const std::string& path, const BatchResults&, std::string& error) { return WriteFileSafely(path, "", error); }
bool ReadCurvesFromDatabase(const std::string&, const CMethodList&, CCalibrationList&, std::string& error) { error = "stub"; return false; }
}
