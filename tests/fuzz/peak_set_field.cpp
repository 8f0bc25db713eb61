// PeakSetFieldStr with arbitrary field numbers, indices and texts on a peak loaded from the
// first 4112 input bytes (zero filled), each edit followed by a record round trip.
// Invariants: an edit answers 0 or 1 and one answered 0 changes no byte of the record; the
// text comes back empty or, for fields 52 and 92, as their answer; a stored text field reads
// back through PeakGetFieldStr as the text given; the buffer form never writes past its
// capacity; after every edit the record writes out and reloads byte for byte.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "quan.h"
#include "report/PeakFieldStrings.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {
using Record = _tagINTERNAL_PEAK_DB_RECORD;

bool SameBytes(const Record& a, const Record& b) { return std::memcmp(&a, &b, sizeof(Record)) == 0; }

int FieldNumber(FuzzInput& input) {
    const auto fields = PeakFieldList();
    switch (input.Int(0, 7)) {
        case 0: return input.Int(-2147483647 - 1, 2147483647);
        case 1: return input.Int(-3, 240);
        default: return fields[input.Int(0, static_cast<int>(fields.size()) - 1)].field;
    }
}

std::string FieldText(FuzzInput& input) {
    static const char* const kTexts[] = {"0", "1", "-1", "1.5", "1e300", "1e-320", "nan", "inf", "-inf",
                                         "2147483648", "YES", "NO", "RT", "RRT", "M!", "304.0", " 12 ", "",
                                         "0x10", "1,5"};
    return input.Choice(kTexts, 300);
}

void CheckRoundTrip(const CPeakData& peak) {
    Record written;
    peak.GetPeak(written);
    const CPeakData reloaded(written);
    FUZZ_CHECK(SameBytes(reloaded.GetRecord(), written) && SameBytes(written, peak.GetRecord()));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Record stored;
    std::memset(&stored, 0, sizeof stored);
    const size_t recordBytes = std::min(size, sizeof stored);
    std::memcpy(&stored, data, recordBytes);
    FuzzInput input(data + recordBytes, size - recordBytes);
    CPeakData peak(stored);

    const int edits = input.Int(1, 24);
    for (int e = 0; e < edits && input.Remaining() > 0; ++e) {
        const int number = FieldNumber(input);
        const auto field = static_cast<CPeakData::PeakDataFields>(number);
        const int index = input.Int(-2, 12);
        const std::string given = FieldText(input);
        const Record before = peak.GetRecord();
        int answer = 0;
        std::string reply = given;
        if (input.Bool()) {
            answer = peak.PeakSetFieldStr(field, index, reply);
        } else {
            const size_t capacity = std::max<size_t>(given.size() + 1, input.Int(0, 3) == 0 ? input.Int(0, 80) : 1024);
            std::vector<char> buffer(capacity + 16, '\x5A');
            std::memcpy(buffer.data(), given.c_str(), given.size() + 1);
            answer = peak.PeakSetFieldStr(field, index, buffer.data(), capacity);
            FUZZ_CHECK(std::all_of(buffer.begin() + capacity, buffer.end(), [](char c) { return c == '\x5A'; }));
            reply.assign(buffer.data(), strnlen(buffer.data(), capacity));
        }
        if (std::getenv("QUAN_FUZZ_VERBOSE") != nullptr)
            std::fprintf(stderr, "field %d index %d text \"%s\" -> %d, reply \"%s\"\n", number, index, given.c_str(), answer,
                         reply.c_str());
        FUZZ_CHECK(answer == 0 || answer == 1);
        if (answer == 0) FUZZ_CHECK(SameBytes(before, peak.GetRecord()));
        if (answer == 1 && number != CPeakData::kPeakLocateBy && number != CPeakData::kPeakDetectionFlags)
            FUZZ_CHECK(reply.empty());
        const PeakFieldInfo* info = FindPeakField(number);
        if (info == nullptr) FUZZ_CHECK(SameBytes(before, peak.GetRecord()));
        if (answer == 1 && info != nullptr && info->settable && info->form == PeakFieldForm::kText &&
            given.find('\0') == std::string::npos) {
            std::string text;
            double value = 0.0;
            if (peak.PeakGetFieldStr(field, false, text, value) == 1) FUZZ_CHECK(text == given);
        }
        CheckRoundTrip(peak);
    }
    return 0;
}
