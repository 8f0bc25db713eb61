// Calibration curves: defaults, the padded flags text, the flat record's byte layout and round
// trips, hostile stored records, copying, point and file access, and the name and group look-ups.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "quan.h"

namespace {

using Record = _tagINTERNAL_CURVE_DB_RECORD;

std::unique_ptr<Record> NewRecord() {
    auto record = std::make_unique<Record>();
    std::memset(record.get(), 0xA5, sizeof(Record));  // so "written as zero" is visible
    return record;
}

const unsigned char* Bytes(const Record& record) { return reinterpret_cast<const unsigned char*>(&record); }

template <class T>
T At(const Record& record, size_t offset) {
    T value;
    std::memcpy(&value, Bytes(record) + offset, sizeof value);
    return value;
}

bool AllZero(const Record& record, size_t offset, size_t size) {
    for (size_t i = 0; i < size; ++i)
        if (Bytes(record)[offset + i] != 0) return false;
    return true;
}

tagFILE_INFO FileNamed(const std::string& name, unsigned char hostByte) {
    tagFILE_INFO file;
    std::memset(&file, hostByte, sizeof file);  // host data after the name
    SetFileInfoName(file, name);
    return file;
}

tag_CALI_POINT Point(double weight, double conc, double resp, uint16_t flags) {
    tag_CALI_POINT point{};
    point.Weight = weight;
    point.Conc = conc;
    point.Resp = resp;
    point.Flags = flags;
    return point;
}

// A curve with a distinct value in every stored numeric member and text, and `points` points.
CCalibrationData FullCurve(int points) {
    CCalibrationData curve;
    int n = 1;
#define CURVE_TEXT(offset, size, Name) curve.Set##Name("t" #Name);
#define CURVE_FIELD(offset, type, Name) curve.Set##Name(static_cast<type>(n++) + static_cast<type>(0.5));
#include "records/CurveRecordFields.def"
    curve.SetFlags("YNYNYNYNYN");  // ten letters: read back unchanged
    curve.SetNumCaliPts(points);
    for (int i = 0; i < points; ++i) {
        curve.SetCaliPoint(Point(1.0 / (i + 1), 0.5 * i, 1000.0 + i, static_cast<uint16_t>(i % 2)), i);
        curve.SetCaliFile(FileNamed("STD" + std::to_string(i), static_cast<unsigned char>(i)), i);
    }
    for (int i = 0; i < CCalibrationData::kNumCoefficients; ++i) curve.SetCC(-1.5 * (i + 1), i);
    return curve;
}

}  // namespace

TEST(CalibrationData, FlagsReadBackRightAlignedInNineCharacters) {
    const struct {
        const char* stored;
        const char* readBack;
    } cases[] = {
        {"", "         "},
        {"Y", "        Y"},
        {"AB", "       AB"},
        {"ABCDEFGH", " ABCDEFGH"},
        {"ABCDEFGHI", "ABCDEFGHI"},
        {"ABCDEFGHIJKL", "ABCDEFGHIJKL"},
    };
    for (const auto& c : cases) {
        CCalibrationData curve;
        curve.SetFlags(c.stored);
        EXPECT_EQ(curve.GetFlags(), c.readBack) << c.stored;
        // A copy stores the padded form, so copying again changes nothing further.
        CCalibrationData copy(curve);
        EXPECT_EQ(copy.GetFlags(), c.readBack);
        CCalibrationData assigned;
        assigned = copy;
        EXPECT_EQ(assigned, copy);
    }
    CCalibrationData curve;
    curve.SetFlags("Y");
    CCalibrationData copy(curve);
    EXPECT_NE(copy, curve);  // the original keeps its unpadded text
}

// The record keeps the flags without their read-back padding, so saving and loading a curve
// any number of times, or saving a copy, keeps every letter that fits the 8-character field.
TEST(CalibrationData, RecordFlagsFieldKeepsTheLettersThroughRepeatedSaves) {
    const struct {
        const char* flags;
        const char* field;
    } cases[] = {
        {"AB", "AB"},
        {"Y", "Y"},
        {"", ""},
        {"  Y", "Y"},
        {"YNYNYNYN", "YNYNYNYN"},
        {"YNNNNNNNNN", "YNNNNNNN"},  // only 8 characters fit the field
    };
    for (const auto& c : cases) {
        CCalibrationData curve;
        curve.SetFlags(c.flags);
        CCalibrationData current(curve);  // a copy holds the padded form
        for (int save = 0; save < 3; ++save) {
            auto record = NewRecord();
            current.GetRecord(*record);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(Bytes(*record) + 0x190)), c.field) << c.flags;
            EXPECT_EQ(Bytes(*record)[0x190 + 8], 0);
            current = *record;
        }
    }
}

TEST(CalibrationData, RecordLayoutMatchesHostOffsets) {
    CCalibrationData curve = FullCurve(3);
    curve.SetName("Benzo[a]pyrene");
    curve.SetCas("50-32-8");
    curve.SetRepUnits("ng/mL");
    curve.SetTotalsGroup("PAH EPA16");
    curve.SetUserValue1(1.25);
    curve.SetRAH(1);
    curve.SetReportCorrFlags(2);
    curve.SetCCThreshold(0.995);
    curve.SetIonRatioRef(4);
    curve.SetUserRatio(0.75);
    curve.SetNumCaliPts(3);
    curve.SetMeanRT(12.5f);
    curve.SetMeanRTPeakWidth(0.25f);
    curve.SetCorrCoeff(0.999);
    curve.SetMinCCFlag(1);
    curve.SetPercRelSD(3.5);
    curve.SetCurveValid(1);
    curve.SetTotalsGroupEntry(6);
    curve.SetUseMulti(1);
    curve.SetTargetFlags(0x55);
    curve.SetCaliPoint(Point(0.5, 2.0, 300.0, 1), 2);
    curve.SetCaliFile(FileNamed("S3", 0x11), 2);

    auto record = NewRecord();
    curve.GetRecord(*record);
    const Record& r = *record;
    EXPECT_STREQ(reinterpret_cast<const char*>(Bytes(r) + 0x097), "Benzo[a]pyrene");
    EXPECT_STREQ(reinterpret_cast<const char*>(Bytes(r) + 0x0E8), "50-32-8");
    EXPECT_STREQ(reinterpret_cast<const char*>(Bytes(r) + 0x16E), "ng/mL");
    EXPECT_STREQ(reinterpret_cast<const char*>(Bytes(r) + 0x4BF0), "PAH EPA16");
    EXPECT_EQ(At<double>(r, 0x180), 1.25);
    EXPECT_EQ(At<int32_t>(r, 0x19C), 1);
    EXPECT_EQ(At<int32_t>(r, 0x1BC), 2);
    EXPECT_EQ(At<double>(r, 0x1F0), 0.995);
    EXPECT_EQ(At<int32_t>(r, 0x200), 4);
    EXPECT_EQ(At<double>(r, 0x208), 0.75);
    EXPECT_EQ(At<int32_t>(r, 0x214), 3);
    // Third file: 0x218 + 2 * 147; its host bytes travel whole.
    EXPECT_STREQ(reinterpret_cast<const char*>(Bytes(r) + 0x218 + 294), "S3");
    EXPECT_EQ(Bytes(r)[0x218 + 294 + 146], 0x11);
    // Third point: 0x3B88 + 2 * 32, padding zero.
    EXPECT_EQ(At<double>(r, 0x3B88 + 64), 0.5);
    EXPECT_EQ(At<double>(r, 0x3B88 + 64 + 8), 2.0);
    EXPECT_EQ(At<double>(r, 0x3B88 + 64 + 16), 300.0);
    EXPECT_EQ(At<uint16_t>(r, 0x3B88 + 64 + 24), 1);
    EXPECT_TRUE(AllZero(r, 0x3B88 + 64 + 26, 6));
    EXPECT_EQ(At<float>(r, 0x4B28), 12.5f);
    EXPECT_EQ(At<float>(r, 0x4B2C), 0.25f);
    EXPECT_EQ(At<double>(r, 0x4B70), 0.999);
    EXPECT_EQ(At<int32_t>(r, 0x4B78), 1);
    EXPECT_EQ(At<double>(r, 0x4BA0), 3.5);
    EXPECT_EQ(At<int32_t>(r, 0x4BA8), 1);
    EXPECT_EQ(At<double>(r, 0x4BB0), -1.5);        // c0
    EXPECT_EQ(At<double>(r, 0x4BB0 + 48), -10.5);  // c6
    EXPECT_EQ(At<int32_t>(r, 0x4BEC), 6);
    EXPECT_EQ(At<int32_t>(r, 0x4C1C), 1);
    EXPECT_EQ(At<int32_t>(r, 0x4C20), 0x55);
    // Reserved ranges and every padding gap are zero.
    const struct {
        size_t offset, size;
    } gaps[] = {{0x0000, 151}, {0x017E, 2}, {0x0199, 3}, {0x0204, 4}, {0x3B84, 4}, {0x4808, 800},
                {0x4B7C, 4},   {0x4BAC, 4}, {0x4C19, 3}, {0x4C24, 4}};
    for (const auto& gap : gaps) EXPECT_TRUE(AllZero(r, gap.offset, gap.size)) << std::hex << gap.offset;
    // Files and points past the count are still written (here: zero from construction).
    EXPECT_TRUE(AllZero(r, 0x218 + 3 * 147, 97 * 147));
}

TEST(CalibrationData, RecordRoundTripRestoresEveryStoredMember) {
    CCalibrationData written = FullCurve(100);
    written.SetPeakMass(252.1f);
    written.SetFlags("YNYNYNYN");  // read back " YNYNYNYN", stored without the padding
    auto record = NewRecord();
    written.GetRecord(*record);

    CCalibrationData read;
    read.SetPeakMass(77.5f);
    read = *record;

    // Every stored numeric member and text, compared through the field table.
#define CURVE_TEXT(offset, size, Name) EXPECT_EQ(read.Get##Name(), written.Get##Name()) << #Name;
#define CURVE_FLAGS_TEXT(offset, size, Name) EXPECT_EQ(read.Get##Name(), " YNYNYNYN");
#define CURVE_FIELD(offset, type, Name) EXPECT_EQ(read.Get##Name(), written.Get##Name()) << #Name;
#include "records/CurveRecordFields.def"
    EXPECT_EQ(read.GetPeakMass(), 77.5f);  // no place in the record
    for (int i = 0; i < 100; ++i) {
        const tag_CALI_POINT a = read.GetCaliPoint(i), b = written.GetCaliPoint(i);
        EXPECT_EQ(a.Weight, b.Weight);
        EXPECT_EQ(a.Conc, b.Conc);
        EXPECT_EQ(a.Resp, b.Resp);
        EXPECT_EQ(a.Flags, b.Flags);
        EXPECT_EQ(std::memcmp(&read.GetCaliFile(i), &written.GetCaliFile(i), sizeof(tagFILE_INFO)), 0) << i;
    }
    for (int i = 0; i < 7; ++i) EXPECT_EQ(read.GetCC(i), written.GetCC(i));

    // Writing what was read gives the same bytes, the flags included.
    auto again = NewRecord();
    read.GetRecord(*again);
    EXPECT_EQ(std::memcmp(record.get(), again.get(), sizeof(Record)), 0);
    EXPECT_STREQ(again->Flags, "YNYNYNYN");
}

TEST(CalibrationData, HostileRecordCountsStayWithinTheArrays) {
    auto record = NewRecord();
    CCalibrationData(FullCurve(100)).GetRecord(*record);
    const struct {
        int32_t stored;
        int kept;
    } cases[] = {{5000, 100}, {101, 100}, {100, 100}, {-3, 0}, {INT32_MIN, 0}};
    for (const auto& c : cases) {
        record->NumCaliPts = c.stored;
        CCalibrationData curve;
        curve = *record;
        EXPECT_EQ(curve.GetNumCaliPts(), c.kept) << c.stored;
        if (c.kept == 100) {
            EXPECT_EQ(curve.GetCaliPoint(99).Resp, 1099.0);
            EXPECT_EQ(GetFileInfoName(curve.GetCaliFile(99)), "STD99");
        }
        EXPECT_EQ(curve.GetCaliPoint(100).Resp, 0.0);  // the 101st slot is never read into
        CCalibrationData copy(curve);  // the count kept is safe to copy by
        EXPECT_EQ(copy.GetNumCaliPts(), c.kept);
    }
}

TEST(CalibrationData, HostileTextFieldsAreReadWithinTheirSize) {
    auto record = NewRecord();
    CCalibrationData().GetRecord(*record);
    std::memset(record->Name, 'x', sizeof record->Name);  // no terminator before Cas
    std::memcpy(record->Cas, "50-32-8", 8);
    std::memset(record->Flags, 'F', sizeof record->Flags);
    std::memset(record->TotalsGroup, 'g', sizeof record->TotalsGroup);
    CCalibrationData curve;
    curve = *record;
    EXPECT_EQ(curve.GetName(), std::string(81, 'x'));
    EXPECT_EQ(curve.GetCas(), "50-32-8");
    EXPECT_EQ(curve.GetFlags(), std::string(9, 'F'));
    EXPECT_EQ(curve.GetTotalsGroup(), std::string(41, 'g'));

    // Writing truncates to leave the terminator and never spills into the next field.
    curve.SetName(std::string(300, 'n'));
    curve.SetRepUnits(std::string(16, 'u'));
    auto out = NewRecord();
    curve.GetRecord(*out);
    EXPECT_EQ(std::string(out->Name), std::string(80, 'n'));
    EXPECT_STREQ(out->Cas, "50-32-8");
    EXPECT_EQ(std::string(out->RepUnits), std::string(15, 'u'));
    EXPECT_EQ(At<double>(*out, 0x180), 0.0);
    EXPECT_EQ(std::string(out->Flags), std::string(8, 'F'));
}
