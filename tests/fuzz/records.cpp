// Stored records loaded from arbitrary bytes. The first input byte chooses what is done; the
// record (4112 bytes for a peak, 19496 for a curve, zero filled when the input is shorter)
// follows it, and the rest drives edits and questions:
//   0, 1: a peak record read through every report field (0) or a curve record's description
//         (1), then a sample filled through its setters, read the same way with buffers of any size;
//   3: a curve record read and written;
//   2, 4: a peak record edited through PeakSetFieldStr by any field number, index and text,
//         then sorted with copies of itself.
// Invariants: a peak record writes out byte for byte and loads again unchanged, after every edit;
// sorting keeps every entry; an edit answers 0 or 1,
// and one answered 0 or of an unknown field changes no byte. A curve record's point count is
// clamped to the record's 100, its texts are written terminated, and reading and writing it is
// a fixed point, copies included. Report fields answer 0 or 1 and show no text with a 0; buffer
// forms never write past the capacity given, agree with the string form whenever the text fits
// and leave an empty text when it does not. What each field holds is the unit tests' business.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "quan.h"
#include "report/PeakFieldStrings.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {
using PeakRecord = _tagINTERNAL_PEAK_DB_RECORD;
using CurveRecord = _tagINTERNAL_CURVE_DB_RECORD;

constexpr int kAnyInt = -2147483647 - 1;

// --- peak records ------------------------------------------------------------------------------
void CheckRoundTrip(const CPeakData& peak) {
    PeakRecord written;
    std::memset(&written, 0xA5, sizeof written);
    peak.GetPeak(written);
    FUZZ_CHECK(SameBytes(written, peak.GetRecord()));
    const CPeakData reloaded(written);
    FUZZ_CHECK(SameBytes(reloaded.GetRecord(), written));
}

// --- PeakSetFieldStr ---------------------------------------------------------------------------
int FieldNumber(FuzzInput& input) {
    const auto fields = PeakFieldList();
    switch (input.Int(0, 7)) {
        case 0: return input.Int(kAnyInt, 2147483647);
        case 1: return input.Int(-3, 240);
        default: return fields[input.Int(0, static_cast<int>(fields.size()) - 1)].field;
    }
}

void FuzzPeakSetField(const uint8_t* data, size_t size) {
    static const char* const kTexts[] = {"0",   "1",  "-1", "1.5", "1e300", "1e-320", "nan", "inf", "-inf", "2147483648",
                                         "YES", "NO", "RT", "RRT", "M!",    "304.0",  " 12 ", "",   "0x10", "1,5"};
    PeakRecord stored;
    FuzzInput input = LoadRecord(data, size, stored);
    CPeakData peak(stored);
    const int edits = input.Int(1, 24);
    for (int e = 0; e < edits && input.Remaining() > 0; ++e) {
        const int number = FieldNumber(input);
        const auto field = static_cast<CPeakData::PeakDataFields>(number);
        const int index = input.Int(-2, 12);
        std::string text = input.Choice(kTexts, 300);
        const PeakRecord before = peak.GetRecord();
        int answer = 0;
        if (input.Bool()) {
            answer = peak.PeakSetFieldStr(field, index, text);
        } else {
            const size_t wide = input.Int(0, 3) == 0 ? input.Int(0, 80) : 1024;
            const size_t capacity = std::max<size_t>(text.size() + 1, wide);
            GuardedWrite(capacity, text.c_str(), [&](char* buffer, size_t room) {
                answer = peak.PeakSetFieldStr(field, index, buffer, room);
            });
        }
        FUZZ_CHECK(answer == 0 || answer == 1);
        if (answer == 0 || FindPeakField(number) == nullptr) FUZZ_CHECK(SameBytes(before, peak.GetRecord()));
        CheckRoundTrip(peak);
    }
    // Sorting records of any content (NaN times and areas included) keeps every entry.
    CPeakList list;
    FUZZ_CHECK(list.Add(peak) && list.Add(CPeakData(stored)) && list.Add(CPeakData()));
    (void)list.Sort(input.Int(-1, 3), input.Int(0, 1));
    FUZZ_CHECK(list.GetSize() == 3 && list.GetEntry(2) != nullptr);
}

// --- curve records -----------------------------------------------------------------------------
CurveRecord Written(const CCalibrationData& curve) {
    CurveRecord written;
    std::memset(&written, 0xA5, sizeof written);
    curve.GetRecord(written);
    return written;
}

void FuzzCurveRecord(const uint8_t* data, size_t size) {
    CurveRecord stored;
    (void)LoadRecord(data, size, stored);

    CCalibrationData curve;
    curve = stored;
    const CurveRecord written = Written(curve);
    const int count = std::clamp(stored.NumCaliPts, 0, kCurveRecordPoints);
    FUZZ_CHECK(curve.GetNumCaliPts() == count && written.NumCaliPts == count);
#define CURVE_TEXT(offset, size, Name) FUZZ_CHECK(strnlen(written.Name, size) < (size));
#include "records/CurveRecordFields.def"

    // Read back and written again: byte for byte the same record (compared as bytes: NaN is
    // never equal to itself), and so is a copy's.
    CCalibrationData reread;
    reread = written;
    FUZZ_CHECK(SameBytes(Written(reread), written));
    CCalibrationData copy(curve);
    FUZZ_CHECK(SameBytes(Written(copy), written));
}

// --- report fields -----------------------------------------------------------------------------
// The buffer form of a field, asked with `capacity` bytes: never past them, the string form's
// text and answer whenever that text fits, an empty text and 0 when it does not.
template <class Ask>
void CheckBufferForm(size_t capacity, const std::string& fullText, int fullAnswer, Ask ask) {
    // A character buffer ends at the first NUL; a string form may carry one (a sample text set
    // from arbitrary bytes), and what follows it cannot reach a buffer.
    const std::string full = fullText.substr(0, fullText.find('\0'));
    int answer = 0;
    const std::string text = GuardedWrite(capacity, nullptr, [&](char* buffer, size_t room) { answer = ask(buffer, room); });
    if (capacity == 0) return;
    if (full.size() < capacity) FUZZ_CHECK(answer == fullAnswer && text == full);
    else FUZZ_CHECK(text.empty() && answer == 0);
}

// Mostly the usual capacity, now and then any up to `most`.
size_t Capacity(FuzzInput& input, int most, size_t usual) {
    return input.Int(0, 3) == 0 ? input.Int(0, most) : usual;
}

void CheckPeakFields(const CPeakData& peak, FuzzInput& input) {
    std::vector<int> fields;
    for (const PeakFieldInfo& info : PeakFieldList()) fields.push_back(info.field);
    const int extra = input.Int(0, 4);
    for (int k = 0; k < extra; ++k) fields.push_back(input.Int(kAnyInt, 2147483647));
    fields.insert(fields.end(), {-1, 236});
    for (int number : fields) {
        const auto field = static_cast<CPeakData::PeakDataFields>(number);
        std::string text = "stale";
        double value = -12345.0;
        const int answer = peak.PeakGetFieldStr(field, false, text, value);
        FUZZ_CHECK(answer == 1 || (answer == 0 && text.empty()));
        CheckBufferForm(Capacity(input, 300, CPeakData::kPeakFieldTextSize), text, answer, [&](char* buffer, size_t room) {
            return peak.PeakGetFieldStr(field, false, buffer, room, value);
        });
    }
}

void CheckSampleFields(FuzzInput& input) {
    CQuanSampleData sample;
    CMethodData entry;
    entry.SetStdLevels(input.Int(-1, 22));
    entry.SetStdConc(input.Double());
    const int lastField = CQuanSampleData::kNumSampleFields + 1;
    const int edits = input.Int(0, 6);
    for (int e = 0; e < edits; ++e) {
        const auto field = static_cast<CQuanSampleData::SampleDataFields>(input.Int(-2, lastField));
        std::string text = input.Text(600);
        (void)sample.SampleSetFieldStr(field, input.Int(-1, 25), text);
    }
    sample.SetStdConc(input.Int(-1, 20), input.Double());
    for (int number = -2; number <= lastField; ++number) {
        const auto field = static_cast<CQuanSampleData::SampleDataFields>(number);
        const int index = input.Int(-2, 25);
        const CMethodData* which = input.Bool() ? &entry : nullptr;
        std::string text;
        double value = 0.0;
        const bool answer = sample.SampleGetFieldStr(field, false, text, index, value, which);
        CheckBufferForm(Capacity(input, 600, CQuanSampleData::kSampleFieldTextSize), text, answer, [&](char* buffer, size_t room) {
            return sample.SampleGetFieldStr(field, false, buffer, room, index, value, which) ? 1 : 0;
        });
    }
}

void FuzzReportFields(const uint8_t* data, size_t size, bool curveRecord) {
    CurveRecord curveStored;
    PeakRecord peakStored;
    FuzzInput input = curveRecord ? LoadRecord(data, size, curveStored) : LoadRecord(data, size, peakStored);
    if (curveRecord) {
        CCalibrationData curve;
        curve = curveStored;
        (void)curve.GetDescription();
    } else {
        CheckPeakFields(CPeakData(peakStored), input);
    }
    CheckSampleFields(input);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    switch (data[0] % 5) {
        case 0: FuzzReportFields(data + 1, size - 1, false); break;
        case 1: FuzzReportFields(data + 1, size - 1, true); break;
        case 3: FuzzCurveRecord(data + 1, size - 1); break;
        default: FuzzPeakSetField(data + 1, size - 1); break;  // 2 and 4
    }
    return 0;
}
