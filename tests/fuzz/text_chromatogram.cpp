// The text chromatogram reader on any bytes, with no request (keep the channel) and with a
// name request.
// Invariants: those of CheckRead; a file that reads keeps exactly one chromatogram, named (by
// its header or the file name) and holding a point per data row at most; asking for another
// channel name keeps nothing but reads the same way.
#include <algorithm>
#include <string>
#include <string_view>

#include "tests/fuzz/RawDataChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    RawData::ReadResult kept;
    const bool ok = RawData::ReadTextChromatogram(text, "dir/channel.txt", {}, kept);
    CheckRead(ok, kept, "dir/channel.txt");
    if (ok) {
        FUZZ_CHECK(kept.chromatograms.size() == 1);
        FUZZ_CHECK(!kept.chromatograms[0].id.empty());
        const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
        FUZZ_CHECK(kept.chromatograms[0].times.size() < lines);
    }
    RawData::ReadResult other;
    const bool otherOk =
        RawData::ReadTextChromatogram(text, "dir/channel.txt", {RawData::MakeTraceRequest("no such channel")}, other);
    CheckRead(otherOk, other, "dir/channel.txt");
    FUZZ_CHECK(otherOk == ok);
    FUZZ_CHECK(!ok || other.chromatograms.empty() ||
               (!kept.chromatograms.empty() && kept.chromatograms[0].id == "no such channel"));
    return 0;
}
