// The raw-data readers on any bytes: the mzML reader asked for a fixed set of traces
// (transitions, a mass, a name), once for what the requests want and once for every
// chromatogram; the detector text reader keeping its one channel. Both readers see every input:
// an mzML file is bad text and the reverse.
// Invariants: a read succeeds exactly when it reported no problem; every problem names the file
// and says something, and a file's problems stop at the cap plus one summary line; every
// chromatogram has equal-length, finite arrays, times strictly ascending and scan numbers absent
// or one per point. An mzML file that reads whole with every chromatogram decoded also reads
// with only the requested ones; a successful read answers each request once (a chromatogram or
// unmatched). A text file that reads keeps one chromatogram.
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "quan.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {
void CheckRead(bool ok, const RawData::ReadResult& result, const std::string& file) {
    CheckReport(ok, result.problems, file);
    FUZZ_CHECK(result.problems.size() <= 26);
    for (const RawData::Chromatogram& c : result.chromatograms) {
        FUZZ_CHECK(c.times.size() == c.intensities.size());
        FUZZ_CHECK(c.scans.empty() || c.scans.size() == c.times.size());
        for (size_t k = 0; k < c.times.size(); ++k) {
            FUZZ_CHECK(std::isfinite(c.times[k]) && std::isfinite(c.intensities[k]));
            FUZZ_CHECK(k == 0 || c.times[k] > c.times[k - 1]);
        }
    }
}

void CheckMzml(std::string_view text) {
    static const std::vector<RawData::TraceRequest> requests = [] {
        std::vector<RawData::TraceRequest> made;
        for (const char* trace : {"216.1>174.1", "179>136", "304.2", "TIC", "500"})
            made.push_back(RawData::MakeTraceRequest(trace));
        return made;
    }();
    RawData::ReadResult wanted, all;
    const bool wantedOk = RawData::ReadMzmlBuffer(text, "f.mzML", requests, wanted);
    CheckRead(wantedOk, wanted, "f.mzML");
    FUZZ_CHECK(!wantedOk || wanted.chromatograms.size() + wanted.unmatched.size() == requests.size());

    RawData::ReadOptions every;
    every.everyChromatogram = true;
    const bool allOk = RawData::ReadMzmlBuffer(text, "f.mzML", requests, all, every);
    CheckRead(allOk, all, "f.mzML");
    FUZZ_CHECK(!allOk || wantedOk);
}

void CheckText(std::string_view text) {
    const std::string file = "dir/channel.txt";
    RawData::ReadResult kept;
    const bool ok = RawData::ReadTextChromatogram(text, file, {}, kept);
    CheckRead(ok, kept, file);
    FUZZ_CHECK(!ok || kept.chromatograms.size() == 1);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckMzml(text);
    CheckText(text);
    return 0;
}
