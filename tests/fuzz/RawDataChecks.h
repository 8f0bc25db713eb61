// Shared by the raw-data fuzz targets: what every read must give, whatever the bytes.
#pragma once

#include <cmath>
#include <string>

#include "quan.h"
#include "tests/fuzz/FuzzSupport.h"

// A read succeeds exactly when it reported no problem; every problem names the file and says
// something; a file's problems stop at the cap plus one summary line; every chromatogram it
// hands on keeps the promises of Chromatogram.h (equal lengths, finite values, times strictly
// ascending, scan numbers absent or one per point).
inline void CheckRead(bool ok, const RawData::ReadResult& result, const std::string& file) {
    FUZZ_CHECK(ok == result.problems.empty());
    FUZZ_CHECK(result.problems.size() <= 26);
    for (const RawData::Problem& problem : result.problems) {
        FUZZ_CHECK(problem.file == file);
        FUZZ_CHECK(!problem.message.empty());
        FUZZ_CHECK(problem.line >= 0);
    }
    for (const RawData::Chromatogram& c : result.chromatograms) {
        FUZZ_CHECK(c.times.size() == c.intensities.size());
        FUZZ_CHECK(c.scans.empty() || c.scans.size() == c.times.size());
        for (size_t k = 0; k < c.times.size(); ++k) {
            FUZZ_CHECK(std::isfinite(c.times[k]) && std::isfinite(c.intensities[k]));
            FUZZ_CHECK(k == 0 || c.times[k] > c.times[k - 1]);
        }
    }
}
