// The mzML reader on any bytes, asked for a fixed set of traces (transitions, a mass, a name),
// once for what the requests want and once for every chromatogram.
// Invariants: those of CheckRead for both reads; a file that reads whole when every
// chromatogram is decoded also reads when only the requested ones are; a read that succeeds
// answers each request once, with a chromatogram or as unmatched; reading again gives the same
// chromatograms.
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/RawDataChecks.h"

namespace {
const std::vector<RawData::TraceRequest>& Requests() {
    static const std::vector<RawData::TraceRequest> requests = [] {
        std::vector<RawData::TraceRequest> made;
        for (const char* trace : {"216.1>174.1", "179>136", "304.2", "TIC", "500"})
            made.push_back(RawData::MakeTraceRequest(trace));
        return made;
    }();
    return requests;
}

bool SameChromatograms(const RawData::ReadResult& a, const RawData::ReadResult& b) {
    if (a.chromatograms.size() != b.chromatograms.size()) return false;
    for (size_t k = 0; k < a.chromatograms.size(); ++k) {
        const RawData::Chromatogram& x = a.chromatograms[k];
        const RawData::Chromatogram& y = b.chromatograms[k];
        if (x.trace != y.trace || x.times != y.times || x.intensities != y.intensities || x.scans != y.scans) return false;
    }
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    RawData::ReadResult wanted;
    const bool wantedOk = RawData::ReadMzmlBuffer(text, "f.mzML", Requests(), wanted);
    CheckRead(wantedOk, wanted, "f.mzML");
    FUZZ_CHECK(!wantedOk || wanted.chromatograms.size() + wanted.unmatched.size() == Requests().size());

    RawData::ReadOptions every;
    every.everyChromatogram = true;
    RawData::ReadResult all;
    const bool allOk = RawData::ReadMzmlBuffer(text, "f.mzML", Requests(), all, every);
    CheckRead(allOk, all, "f.mzML");
    FUZZ_CHECK(!allOk || wantedOk);

    RawData::ReadResult again;
    FUZZ_CHECK(RawData::ReadMzmlBuffer(text, "f.mzML", Requests(), again) == wantedOk);
    FUZZ_CHECK(SameChromatograms(wanted, again));
    return 0;
}
