// Stored records read through every report field. The first input byte chooses the record: even
// a peak record (the next 4112 bytes, zero filled), odd a curve record (19496 bytes); the rest
// fills a sample through its setters and chooses buffer sizes and extra field numbers.
// Invariants: every numbered field and any other number answers without fault; the buffer
// forms never write past the capacity given, agree with the string form whenever the text
// fits, and leave an empty text when they answer 0 or when the text does not fit; a field
// answered 0 shows no text; asking changes nothing stored; a reloaded record answers the same.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "quan.h"
#include "report/PeakFieldStrings.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {
constexpr char kCanary = '\x5A';

template <class Ask>
void CheckBufferForm(size_t capacity, const std::string& fullText, int fullAnswer, Ask ask) {
    // A character buffer ends at the first NUL; a string form may carry one (a sample text set
    // from arbitrary bytes), and what follows it cannot reach a buffer.
    const std::string full = fullText.substr(0, fullText.find('\0'));
    std::vector<char> buffer(capacity + 16, kCanary);
    const int answer = ask(buffer.data(), capacity);
    FUZZ_CHECK(std::all_of(buffer.begin() + capacity, buffer.end(), [](char c) { return c == kCanary; }));
    if (capacity == 0) return;
    const std::string text(buffer.data(), strnlen(buffer.data(), capacity));
    FUZZ_CHECK(text.size() < capacity);
    if (full.size() < capacity) {
        if (std::getenv("QUAN_FUZZ_VERBOSE") != nullptr && !(answer == fullAnswer && text == full))
            std::fprintf(stderr, "capacity %zu: buffer form %d \"%s\", string form %d \"%s\"\n", capacity, answer,
                         text.c_str(), fullAnswer, full.c_str());
        FUZZ_CHECK(answer == fullAnswer && text == full);
    } else {
        FUZZ_CHECK(text.empty() && answer == 0);
    }
}

void CheckPeakFields(const CPeakData& peak, FuzzInput& input) {
    const _tagINTERNAL_PEAK_DB_RECORD before = peak.GetRecord();
    const CPeakData reloaded(before);
    std::vector<int> fields;
    for (const PeakFieldInfo& info : PeakFieldList()) fields.push_back(info.field);
    const int extra = input.Int(0, 4);
    for (int k = 0; k < extra; ++k) fields.push_back(input.Int(-2147483647 - 1, 2147483647));
    fields.push_back(-1);
    fields.push_back(236);
    for (int number : fields) {
        const auto field = static_cast<CPeakData::PeakDataFields>(number);
        std::string text = "stale";
        double value = -12345.0;
        const int answer = peak.PeakGetFieldStr(field, false, text, value);
        FUZZ_CHECK(answer == 0 || answer == 1);
        if (answer == 0) FUZZ_CHECK(text.empty());
        std::string again;
        double againValue = 0.0;
        FUZZ_CHECK(reloaded.PeakGetFieldStr(field, false, again, againValue) == answer && again == text);
        const size_t capacity = input.Int(0, 3) == 0 ? input.Int(0, 300) : CPeakData::kPeakFieldTextSize;
        CheckBufferForm(capacity, text, answer, [&](char* buffer, size_t room) {
            double ignored = 0.0;
            return peak.PeakGetFieldStr(field, false, buffer, room, ignored);
        });
        if (FindPeakField(number) == nullptr) FUZZ_CHECK(answer == 0 && text.empty());
    }
    FUZZ_CHECK(std::memcmp(&before, &peak.GetRecord(), sizeof before) == 0);
}

void CheckCurveFields(const CCalibrationData& curve, FuzzInput& input) {
    const std::string description = curve.GetDescription();
    FUZZ_CHECK(description.empty() || description.back() != '\n');
    for (int number : {-1, 0, 1, 2, input.Int(-2147483647 - 1, 2147483647)}) {
        const auto field = static_cast<CCalibrationData::CalibrationDataFields>(number);
        std::string text = "stale";
        double value = 0.0;
        const bool answer = curve.GetFieldStr(field, false, text, value);
        FUZZ_CHECK(text.empty() || text == "stale");
        char buffer[8];
        std::memset(buffer, kCanary, sizeof buffer);
        double bufferValue = 0.0;
        FUZZ_CHECK(curve.GetFieldStr(field, false, buffer, 4, bufferValue) == answer);
        FUZZ_CHECK(std::all_of(buffer + 4, buffer + 8, [](char c) { return c == kCanary; }));
        FUZZ_CHECK(!curve.GetFieldStr(field, false, static_cast<char*>(nullptr), value));
    }
    CCalibrationList list;
    list.Add(curve);
    std::string text;
    double value = 0.0;
    (void)list.GetFieldStr(CCalibrationData::kCaliCorrCoeff, false, text, value);
}

void CheckSampleFields(FuzzInput& input) {
    CQuanSampleData sample;
    CMethodData entry;
    entry.SetStdLevels(input.Int(-1, 22));
    entry.SetStdConc(input.Double());
    const int edits = input.Int(0, 6);
    for (int e = 0; e < edits; ++e) {
        const auto field = static_cast<CQuanSampleData::SampleDataFields>(input.Int(-2, CQuanSampleData::kNumSampleFields + 1));
        std::string text = input.Text(600);
        (void)sample.SampleSetFieldStr(field, input.Int(-1, 25), text);
    }
    sample.SetStdConc(input.Int(-1, 20), input.Double());
    for (int number = -2; number <= CQuanSampleData::kNumSampleFields + 1; ++number) {
        const auto field = static_cast<CQuanSampleData::SampleDataFields>(number);
        const int index = input.Int(-2, 25);
        const CMethodData* which = input.Bool() ? &entry : nullptr;
        std::string text;
        double value = 0.0;
        const bool answer = sample.SampleGetFieldStr(field, false, text, index, value, which);
        if (std::getenv("QUAN_FUZZ_VERBOSE") != nullptr) std::fprintf(stderr, "sample field %d index %d: ", number, index);
        const size_t capacity = input.Int(0, 3) == 0 ? input.Int(0, 600) : CQuanSampleData::kSampleFieldTextSize;
        CheckBufferForm(capacity, text, answer, [&](char* buffer, size_t room) {
            double ignored = 0.0;
            return sample.SampleGetFieldStr(field, false, buffer, room, index, ignored, which) ? 1 : 0;
        });
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool curveRecord = (data[0] & 1) != 0;
    const size_t recordSize = curveRecord ? sizeof(_tagINTERNAL_CURVE_DB_RECORD) : sizeof(_tagINTERNAL_PEAK_DB_RECORD);
    std::vector<uint8_t> record(recordSize, 0);
    const size_t recordBytes = std::min(size - 1, recordSize);
    std::memcpy(record.data(), data + 1, recordBytes);
    FuzzInput input(data + 1 + recordBytes, size - 1 - recordBytes);
    if (curveRecord) {
        _tagINTERNAL_CURVE_DB_RECORD stored;
        std::memcpy(&stored, record.data(), sizeof stored);
        CCalibrationData curve;
        curve = stored;
        CheckCurveFields(curve, input);
    } else {
        _tagINTERNAL_PEAK_DB_RECORD stored;
        std::memcpy(&stored, record.data(), sizeof stored);
        CheckPeakFields(CPeakData(stored), input);
    }
    CheckSampleFields(input);
    return 0;
}
