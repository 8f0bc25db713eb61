// Stored records loaded from arbitrary bytes. The first input byte chooses what is done; the
// record (4112 bytes for a peak, 19496 for a curve, zero filled when the input is shorter)
// follows it, and the rest drives edits and questions:
//   0, 1: a peak (0) or curve (1) record read through every report field, then a sample filled
//         through its setters, read the same way with buffers of any size;
//   2: a peak record with its texts, derived values, number formatting and sorting;
//   3: a curve record with edits through the indexed operations;
//   4: a peak record edited through PeakSetFieldStr by any field number, index and text.
// Invariants, peak records: loading keeps every byte except the terminator it must add to an
// in-place text; the record writes out byte for byte and loads again unchanged, after every edit;
// copies carry the record whole; no text getter reads or hands out more than its field; a text
// stored through its setter reads back as the stored prefix; sorting keeps the list's size and
// entries. An edit answers 0 or 1, and one answered 0 or of an unknown field changes no byte; its
// text comes back empty or, for fields 52 and 92, as their answer; a stored text field reads
// back through PeakGetFieldStr as given.
// Invariants, curve records: the point count kept is the stored one clamped to the record's 100;
// every stored number, the points and files up to that count and the coefficients come back bit
// for bit; texts come back as their terminated prefix; reserved and padding bytes are written as
// zero; the flags field holds the read-back form without its left padding, cut to the field;
// reading and writing is a fixed point; copies write the same record; indexed operations outside
// the arrays answer false and change nothing.
// Invariants, report fields: every numbered field and any other number answers 0 or 1, and a 0
// shows no text; buffer forms never write past the capacity given, agree with the string form
// whenever the text fits and leave an empty text when it does not; asking changes nothing stored;
// a reloaded record answers the same.
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

// --- peak records ------------------------------------------------------------------------------
// Bytes the load may change: the last byte of each text handed out in place.
std::vector<bool> TerminatorBytes() {
    std::vector<bool> mayChange(sizeof(PeakRecord), false);
#define PEAK_TEXT_INPLACE(offset, bytes, maxChars, Name) mayChange[(offset) + (bytes) - 1] = true;
#define PEAK_TEXT_ARRAY(offset, bytes, count, maxChars, Name) \
    for (int k = 0; k < (count); ++k) mayChange[(offset) + k * (bytes) + (bytes) - 1] = true;
#include "records/PeakFields.def"
    return mayChange;
}

// What a text setter keeps of `text`: up to the first NUL, at most maxChars and size - 1.
std::string Kept(const std::string& text, size_t size, size_t maxChars) {
    std::string kept = text.substr(0, std::min({text.size(), maxChars, size - 1}));
    return kept.substr(0, strnlen(kept.c_str(), kept.size()));
}

void CheckTextsBounded(const CPeakData& peak) {
#define PEAK_TEXT(offset, bytes, maxChars, Name) FUZZ_CHECK(peak.Get##Name().size() <= (bytes));
#define PEAK_TEXT_INPLACE(offset, bytes, maxChars, Name) FUZZ_CHECK(strnlen(peak.Get##Name(), bytes) < (bytes));
#define PEAK_TEXT_ARRAY(offset, bytes, count, maxChars, Name)                     \
    for (int k = 0; k < (count); ++k) FUZZ_CHECK(strnlen(peak.Get##Name(k), bytes) < (bytes)); \
    FUZZ_CHECK(peak.Get##Name(-1) == nullptr && peak.Get##Name(count) == nullptr);
#include "records/PeakFields.def"
    const std::string quality = CPeakData::BoundedText(peak.GetRecord().PeakQualityStr, 150);
    if (quality.find('#') == std::string::npos) FUZZ_CHECK(peak.GetPeakQualityStr(0, 2, 3) == quality);
}

// Stores one input text in every text field (or an indexed one) and checks what reads back.
void StoreTexts(CPeakData& peak, FuzzInput& input) {
    const std::string text = input.Text(300);
#define PEAK_TEXT(offset, bytes, maxChars, Name) \
    peak.Set##Name(text);                       \
    FUZZ_CHECK(peak.Get##Name() == Kept(text, bytes, maxChars));
#define PEAK_TEXT_INPLACE(offset, bytes, maxChars, Name) PEAK_TEXT(offset, bytes, maxChars, Name)
#define PEAK_TEXT_ARRAY(offset, bytes, count, maxChars, Name)   \
    {                                                          \
        const int k = input.Int(-1, count);                    \
        const PeakRecord before = peak.GetRecord();                \
        peak.Set##Name(k, text);                               \
        if (k < 0 || k >= (count)) FUZZ_CHECK(SameBytes(before, peak.GetRecord())); \
        else FUZZ_CHECK(peak.Get##Name(k) == Kept(text, bytes, maxChars));           \
    }
#include "records/PeakFields.def"
    peak.SetPeakQualityStr(text);
    FUZZ_CHECK(CPeakData::BoundedText(peak.GetRecord().PeakQualityStr, 150) == Kept(text, 150, 149));
}

void CheckRoundTrip(const CPeakData& peak) {
    PeakRecord written;
    std::memset(&written, 0xA5, sizeof written);
    peak.GetPeak(written);
    FUZZ_CHECK(SameBytes(written, peak.GetRecord()));
    const CPeakData reloaded(written);
    FUZZ_CHECK(SameBytes(reloaded.GetRecord(), written));
    const CPeakData copy(peak);
    FUZZ_CHECK(SameBytes(copy.GetRecord(), written) && copy.GetID() == peak.GetID());
}

// The derived values and number texts must not fault, whatever the record holds.
void AskDerived(CPeakData& peak, FuzzInput& input) {
    const int mode = input.Int(-1, 3), decimals = input.Int(-5, 120), figures = input.Int(-5, 120);
    (void)peak.GetPeakQualityStr(mode, decimals, figures);
    (void)peak.GetPeakQualityStr();
    (void)peak.GetTargetFlagged();
    (void)peak.GetRecoveryValue();
    (void)peak.GetBelowRL();
    (void)peak.GetModified();
    (void)peak.GetFlagged();
    (void)peak.GetBaselineWidth();
    (void)peak.GetHeightDivArea();
    (void)peak.GetChroMassWindow();
    (void)peak.GetChroMassWindowAbs();
    (void)peak.IsMemberOf(input.Text(40));
    (void)peak.GetMassComparitor();
    const double value = input.Double();
    std::string text = "unchanged";
    peak.FormatNumber(mode, decimals, figures, value, text);
    if (mode < 0 || mode > 2) FUZZ_CHECK(text == "unchanged");
    (void)peak.SetStringSignificance(value, figures);
    (void)peak.FormatScientific(value, figures);
    (void)CPeakData::GetRoundedValue(value, input.Int(-5, 400));
    for (int k = -1; k <= 12; ++k) (void)peak.GetBoundValue(k);
    FUZZ_CHECK(peak.GetIntStd(-1) == -1 && peak.GetIntStd(6) == -1 && peak.GetToxicConc(4) == 0.0);
}

void FuzzPeakRecord(const uint8_t* data, size_t size) {
    static const std::vector<bool> mayChange = TerminatorBytes();
    PeakRecord stored;
    FuzzInput input = LoadRecord(data, size, stored);

    CPeakData peak(stored);
    const unsigned char* before = reinterpret_cast<const unsigned char*>(&stored);
    const unsigned char* loaded = reinterpret_cast<const unsigned char*>(&peak.GetRecord());
    for (size_t i = 0; i < sizeof stored; ++i) FUZZ_CHECK(loaded[i] == before[i] || (mayChange[i] && loaded[i] == 0));
    CheckTextsBounded(peak);
    CheckRoundTrip(peak);

    CPeakData assigned;
    assigned = stored;
    FUZZ_CHECK(SameBytes(assigned.GetRecord(), peak.GetRecord()));

    AskDerived(peak, input);
    CheckRoundTrip(peak);  // the comparitor built on demand changes nothing stored
    StoreTexts(peak, input);
    CheckTextsBounded(peak);
    CheckRoundTrip(peak);

    CPeakList list;
    FUZZ_CHECK(list.Add(peak) && list.Add(assigned) && list.Add(CPeakData()));
    const int sortType = input.Int(-1, 3);
    (void)list.Sort(sortType, input.Int(0, 1));
    const CPeakList copy(list);
    FUZZ_CHECK(list.GetSize() == 3 && copy.GetSize() == 3);
    int original = 0;
    for (int i = 0; i < 3; ++i) {
        FUZZ_CHECK(list.GetEntry(i) != nullptr && SameBytes(copy.GetAt(i).GetRecord(), list.GetAt(i).GetRecord()));
        original += SameBytes(list.GetAt(i).GetRecord(), peak.GetRecord()) ? 1 : 0;
    }
    FUZZ_CHECK(original >= 1);
}

// --- PeakSetFieldStr ---------------------------------------------------------------------------
int FieldNumber(FuzzInput& input) {
    const auto fields = PeakFieldList();
    switch (input.Int(0, 7)) {
        case 0: return input.Int(-2147483647 - 1, 2147483647);
        case 1: return input.Int(-3, 240);
        default: return fields[input.Int(0, static_cast<int>(fields.size()) - 1)].field;
    }
}

std::string EditText(FuzzInput& input) {
    static const char* const kTexts[] = {"0",   "1",  "-1", "1.5", "1e300", "1e-320", "nan", "inf", "-inf", "2147483648",
                                         "YES", "NO", "RT", "RRT", "M!",    "304.0",  " 12 ", "",   "0x10", "1,5"};
    return input.Choice(kTexts, 300);
}

void FuzzPeakSetField(const uint8_t* data, size_t size) {
    PeakRecord stored;
    FuzzInput input = LoadRecord(data, size, stored);
    CPeakData peak(stored);
    const int edits = input.Int(1, 24);
    for (int e = 0; e < edits && input.Remaining() > 0; ++e) {
        const int number = FieldNumber(input);
        const auto field = static_cast<CPeakData::PeakDataFields>(number);
        const int index = input.Int(-2, 12);
        const std::string given = EditText(input);
        const PeakRecord before = peak.GetRecord();
        int answer = 0;
        std::string reply = given;
        if (input.Bool()) {
            answer = peak.PeakSetFieldStr(field, index, reply);
        } else {
            const size_t capacity = std::max<size_t>(given.size() + 1, input.Int(0, 3) == 0 ? input.Int(0, 80) : 1024);
            reply = GuardedWrite(capacity, given.c_str(),
                                 [&](char* buffer, size_t room) { answer = peak.PeakSetFieldStr(field, index, buffer, room); });
        }
        FUZZ_CHECK(answer == 0 || answer == 1);
        const PeakFieldInfo* info = FindPeakField(number);
        if (answer == 0 || info == nullptr) FUZZ_CHECK(SameBytes(before, peak.GetRecord()));
        if (answer == 1 && number != CPeakData::kPeakLocateBy && number != CPeakData::kPeakDetectionFlags)
            FUZZ_CHECK(reply.empty());
        if (answer == 1 && info != nullptr && info->settable && info->form == PeakFieldForm::kText &&
            given.find('\0') == std::string::npos) {
            std::string text;
            double value = 0.0;
            if (peak.PeakGetFieldStr(field, false, text, value) == 1) FUZZ_CHECK(text == given);
        }
        CheckRoundTrip(peak);
    }
}

// --- curve records -----------------------------------------------------------------------------
bool SameMemory(const void* a, const void* b, size_t size) { return std::memcmp(a, b, size) == 0; }
bool Zero(const uint8_t* bytes, size_t size) { return std::all_of(bytes, bytes + size, [](uint8_t b) { return b == 0; }); }

template <size_t Size>
std::string StoredText(const char (&field)[Size]) { return std::string(field, strnlen(field, Size)); }

// What the flags field must hold for a curve whose flags read back as `readBack`.
std::string StoredFlags(const std::string& readBack) {
    const size_t first = readBack.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : readBack.substr(first, 8);
}

void CheckWritten(const CurveRecord& written, const CurveRecord& stored, const CCalibrationData& curve) {
    const int count = std::clamp(stored.NumCaliPts, 0, kCurveRecordPoints);
    FUZZ_CHECK(curve.GetNumCaliPts() == count && written.NumCaliPts == count);
#define CURVE_GAP(offset, size, Name) FUZZ_CHECK(Zero(written.Name, size));
#define CURVE_FIELD(offset, type, Name) \
    if (std::string(#Name) != "NumCaliPts") FUZZ_CHECK(SameMemory(&written.Name, &stored.Name, sizeof(type)));
#define CURVE_TEXT(offset, size, Name)                                       \
    FUZZ_CHECK(strnlen(written.Name, size) < (size));                        \
    FUZZ_CHECK(StoredText(written.Name) == StoredText(stored.Name).substr(0, (size) - 1));
#define CURVE_FLAGS_TEXT(offset, size, Name) \
    FUZZ_CHECK(StoredText(written.Name) == StoredFlags(curve.GetFlags()));
#include "records/CurveRecordFields.def"
    for (int i = 0; i < kCurveRecordPoints; ++i) {
        FUZZ_CHECK(Zero(written.CaliPoints[i].Padding, sizeof written.CaliPoints[i].Padding));
        FUZZ_CHECK(i >= count || (SameMemory(&written.CaliPoints[i], &stored.CaliPoints[i], offsetof(tag_CALI_POINT, Padding)) &&
                                  SameMemory(&written.CaliFiles[i], &stored.CaliFiles[i], sizeof(tagFILE_INFO))));
    }
    FUZZ_CHECK(SameMemory(written.CC, stored.CC, sizeof stored.CC));
}

// Edits through the indexed operations, inside and outside the arrays.
void Edit(CCalibrationData& curve, FuzzInput& input) {
    const int steps = input.Int(0, 8);
    for (int s = 0; s < steps; ++s) {
        const int index = input.Int(-2, 103);
        const bool inside = index >= 0 && index < curve.GetNumCaliPointSlots();
        tag_CALI_POINT point{};
        point.Conc = input.Double();
        point.Resp = input.Double();
        point.Flags = static_cast<uint16_t>(input.Int(0, 3));
        FUZZ_CHECK(curve.SetCaliPoint(point, index) == inside);
        FUZZ_CHECK(curve.SetCaliPointWeight(index, input.Double()) == inside);
        tagFILE_INFO file{};
        SetFileInfoName(file, input.Text(160));
        FUZZ_CHECK(curve.SetCaliFile(file, index) == (index >= 0 && index < curve.GetNumCaliFileSlots()));
        FUZZ_CHECK(GetFileInfoName(curve.GetCaliFile(index)).size() < sizeof file.Name);
        FUZZ_CHECK(curve.SetCC(input.Double(), index) == (index >= 0 && index < curve.GetNumCC()));
        (void)curve.FindMatchingPoint(GetFileInfoName(file));
        (void)curve.IsMemberOf(input.Text(40));
    }
    switch (input.Int(0, 3)) {
        case 0: curve.AddCaliPoint(tag_CALI_POINT{}); curve.AddCaliFile(tagFILE_INFO{}); break;
        case 1: curve.AddCC(input.Double()); break;
        case 2: curve.SetNumCaliPts(input.Int(-5, 120)); break;
        default: break;
    }
    curve.SetFlags(input.Text(20));
    curve.SetTotalsGroup(input.Text(60));
}

void FuzzCurveRecord(const uint8_t* data, size_t size) {
    CurveRecord stored;
    FuzzInput input = LoadRecord(data, size, stored);

    CCalibrationData curve;
    curve = stored;
    CurveRecord written;
    std::memset(&written, 0xA5, sizeof written);
    curve.GetRecord(written);
    CheckWritten(written, stored, curve);

    // Read back and written again: byte for byte the same record, flags included.
    CCalibrationData reread;
    reread = written;
    CurveRecord again;
    reread.GetRecord(again);
    FUZZ_CHECK(SameMemory(&written, &again, sizeof written));

    // A copy is the same curve (compared as written: NaN is never equal to itself).
    CCalibrationData copy(curve);
    CurveRecord fromCopy;
    copy.GetRecord(fromCopy);
    FUZZ_CHECK(copy.GetFlags() == curve.GetFlags() && SameMemory(&fromCopy, &written, sizeof written));

    Edit(copy, input);
    CCalibrationData edited(copy);
    // A copy carries the points and files up to the count, as far as the source holds them.
    const int kept = std::clamp(copy.GetNumCaliPts(), 0, std::min(copy.GetNumCaliPointSlots(), copy.GetNumCaliFileSlots()));
    FUZZ_CHECK(edited.GetNumCaliPointSlots() >= std::max(kept, static_cast<int>(CCalibrationData::kNumCaliSlots)));
    for (int i = 0; i < kept; ++i) {
        const tag_CALI_POINT points[] = {edited.GetCaliPoint(i), copy.GetCaliPoint(i)};
        const tagFILE_INFO files[] = {edited.GetCaliFile(i), copy.GetCaliFile(i)};
        FUZZ_CHECK(SameMemory(&points[0], &points[1], offsetof(tag_CALI_POINT, Padding)));
        FUZZ_CHECK(SameMemory(&files[0], &files[1], sizeof files[0]));
    }
    FUZZ_CHECK(edited.GetFlags() == copy.GetFlags() && edited.GetNumCC() == CCalibrationData::kNumCoefficients);
    copy.GetRecord(written);
    FUZZ_CHECK(written.NumCaliPts >= 0 && written.NumCaliPts <= kCurveRecordPoints);
    FUZZ_CHECK(strnlen(written.Flags, sizeof written.Flags) < sizeof written.Flags);
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
    FUZZ_CHECK(text.size() < capacity);
    if (full.size() < capacity) FUZZ_CHECK(answer == fullAnswer && text == full);
    else FUZZ_CHECK(text.empty() && answer == 0);
}

void CheckPeakFields(const CPeakData& peak, FuzzInput& input) {
    const PeakRecord before = peak.GetRecord();
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
        FUZZ_CHECK(answer == 1 || (answer == 0 && text.empty()));
        std::string again;
        FUZZ_CHECK(reloaded.PeakGetFieldStr(field, false, again, value) == answer && again == text);
        const size_t capacity = input.Int(0, 3) == 0 ? input.Int(0, 300) : CPeakData::kPeakFieldTextSize;
        CheckBufferForm(capacity, text, answer, [&](char* buffer, size_t room) {
            double ignored = 0.0;
            return peak.PeakGetFieldStr(field, false, buffer, room, ignored);
        });
        FUZZ_CHECK(FindPeakField(number) != nullptr || answer == 0);
    }
    FUZZ_CHECK(SameBytes(before, peak.GetRecord()));
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
        GuardedWrite(4, nullptr, [&](char* buffer, size_t room) {
            FUZZ_CHECK(curve.GetFieldStr(field, false, buffer, room, value) == answer);
        });
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
        const size_t capacity = input.Int(0, 3) == 0 ? input.Int(0, 600) : CQuanSampleData::kSampleFieldTextSize;
        CheckBufferForm(capacity, text, answer, [&](char* buffer, size_t room) {
            double ignored = 0.0;
            return sample.SampleGetFieldStr(field, false, buffer, room, index, ignored, which) ? 1 : 0;
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
        CheckCurveFields(curve, input);
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
        case 2: FuzzPeakRecord(data + 1, size - 1); break;
        case 3: FuzzCurveRecord(data + 1, size - 1); break;
        default: FuzzPeakSetField(data + 1, size - 1); break;
    }
    return 0;
}
