// A stored calibration-curve record loaded from arbitrary bytes: the first 19496 bytes are the
// record (zero filled when the input is shorter), the rest drives edits of the loaded curve.
// Invariants: the point count kept is the stored one clamped to the record's 100; every stored
// number, the points and files up to that count and the coefficients come back bit for bit;
// texts come back as their terminated prefix; reserved and padding bytes are written as zero;
// the flags field holds the read-back form without its left padding, cut to the field; a
// written record is a fixed point of reading and writing;
// copies compare equal; indexed operations outside the arrays change nothing.
#include <algorithm>
#include <cstring>
#include <string>

#include "quan.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {
using Record = _tagINTERNAL_CURVE_DB_RECORD;

bool SameBytes(const void* a, const void* b, size_t size) { return std::memcmp(a, b, size) == 0; }

template <size_t Size>
std::string FieldText(const char (&field)[Size]) { return std::string(field, strnlen(field, Size)); }

// What the flags field must hold for a curve whose flags read back as `readBack`.
std::string StoredFlags(const std::string& readBack) {
    const size_t first = readBack.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : readBack.substr(first, 8);
}

void CheckWritten(const Record& written, const Record& stored, const CCalibrationData& curve) {
    const int count = std::clamp(stored.NumCaliPts, 0, kCurveRecordPoints);
    FUZZ_CHECK(curve.GetNumCaliPts() == count && written.NumCaliPts == count);
#define CURVE_GAP(offset, size, Name) \
    FUZZ_CHECK(std::all_of(written.Name, written.Name + (size), [](uint8_t b) { return b == 0; }));
#define CURVE_FIELD(offset, type, Name) \
    if (std::string(#Name) != "NumCaliPts") FUZZ_CHECK(SameBytes(&written.Name, &stored.Name, sizeof(type)));
#define CURVE_TEXT(offset, size, Name)                                       \
    FUZZ_CHECK(strnlen(written.Name, size) < (size));                        \
    FUZZ_CHECK(FieldText(written.Name) == FieldText(stored.Name).substr(0, (size) - 1));
#define CURVE_FLAGS_TEXT(offset, size, Name) \
    FUZZ_CHECK(FieldText(written.Name) == StoredFlags(curve.GetFlags()));
#include "records/CurveRecordFields.def"
    for (int i = 0; i < kCurveRecordPoints; ++i) {
        const tag_CALI_POINT& point = written.CaliPoints[i];
        FUZZ_CHECK(std::all_of(point.Padding, point.Padding + 6, [](uint8_t b) { return b == 0; }));
        if (i < count) {
            const tag_CALI_POINT& from = stored.CaliPoints[i];
            FUZZ_CHECK(SameBytes(&point, &from, offsetof(tag_CALI_POINT, Padding)));
            FUZZ_CHECK(SameBytes(&written.CaliFiles[i], &stored.CaliFiles[i], sizeof(tagFILE_INFO)));
        }
    }
    FUZZ_CHECK(SameBytes(written.CC, stored.CC, sizeof stored.CC));
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
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Record stored;
    std::memset(&stored, 0, sizeof stored);
    const size_t recordBytes = std::min(size, sizeof stored);
    std::memcpy(&stored, data, recordBytes);
    FuzzInput input(data + recordBytes, size - recordBytes);

    CCalibrationData curve;
    curve = stored;
    Record written;
    std::memset(&written, 0xA5, sizeof written);
    curve.GetRecord(written);
    CheckWritten(written, stored, curve);

    // Read back and written again: byte for byte the same record, flags included.
    CCalibrationData reread;
    reread = written;
    Record again;
    reread.GetRecord(again);
    FUZZ_CHECK(SameBytes(&written, &again, sizeof written));

    CCalibrationData copy(curve);
    FUZZ_CHECK(copy.GetFlags() == curve.GetFlags());
    // A copy of a copy is the same curve (compared as written: NaN is never equal to itself).
    CCalibrationData copyOfCopy(copy);
    Record fromCopy, fromCopyOfCopy;
    copy.GetRecord(fromCopy);
    copyOfCopy.GetRecord(fromCopyOfCopy);
    FUZZ_CHECK(SameBytes(&fromCopy, &fromCopyOfCopy, sizeof fromCopy));

    Edit(copy, input);
    CCalibrationData edited(copy);
    // A copy carries the points and files up to the count, as far as the source holds them.
    const int kept = std::clamp(copy.GetNumCaliPts(), 0, std::min(copy.GetNumCaliPointSlots(), copy.GetNumCaliFileSlots()));
    FUZZ_CHECK(edited.GetNumCaliPointSlots() >= std::max(kept, static_cast<int>(CCalibrationData::kNumCaliSlots)));
    for (int i = 0; i < kept; ++i) {
        const tag_CALI_POINT a = edited.GetCaliPoint(i), b = copy.GetCaliPoint(i);
        FUZZ_CHECK(SameBytes(&a, &b, offsetof(tag_CALI_POINT, Padding)));
        const tagFILE_INFO fa = edited.GetCaliFile(i), fb = copy.GetCaliFile(i);
        FUZZ_CHECK(SameBytes(&fa, &fb, sizeof fa));
    }
    FUZZ_CHECK(edited.GetFlags() == copy.GetFlags() && edited.GetNumCC() == CCalibrationData::kNumCoefficients);
    copy.GetRecord(written);
    FUZZ_CHECK(written.NumCaliPts >= 0 && written.NumCaliPts <= kCurveRecordPoints);
    FUZZ_CHECK(strnlen(written.Flags, sizeof written.Flags) < sizeof written.Flags);
    return 0;
}
