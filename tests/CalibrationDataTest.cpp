// Calibration curves: the padded flags text, the flat record's byte layout held against the
// documented offsets, its round trip, and the descriptions and field texts the reports show.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
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
    return std::all_of(Bytes(record) + offset, Bytes(record) + offset + size, [](unsigned char b) { return b == 0; });
}

tagFILE_INFO FileNamed(const std::string& name, unsigned char hostByte) {
    tagFILE_INFO file;
    std::memset(&file, hostByte, sizeof file);  // host data after the name
    SetFileInfoName(file, name);
    return file;
}

tag_CALI_POINT Point(double weight, double conc, double resp, uint16_t flags) {
    return {weight, conc, resp, flags, {}};  // padding zero
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

CCalibrationData ValidCurve(const char* name, int curveType, std::initializer_list<double> coefficients,
                            double r = 0.0) {
    CCalibrationData curve;
    curve.SetName(name);
    curve.SetCurveValid(1);
    curve.SetCCalc(curveType);
    curve.SetCorrCoeff(r);
    int order = 0;
    for (double c : coefficients) curve.SetCC(c, order++);
    return curve;
}

// A straight line y = 1.2 x + 0.5 with r = 0.998 (r^2 = 0.996004).
CCalibrationData Line(int reportCorr, int weighting, int origin) {
    CCalibrationData curve = ValidCurve("Benzene", 1, {0.5, 1.2}, 0.998);
    curve.SetReportCorrFlags(reportCorr);
    curve.SetWeightingFunction(weighting);
    curve.SetOrigin(origin);
    return curve;
}

std::string LineOf(const CCalibrationData& curve, int number) {
    std::string text = curve.GetDescription() + "\n";
    for (; number > 0; --number) text.erase(0, text.find('\n') + 1);
    return text.substr(0, text.find('\n'));
}

}  // namespace

// The flags read back right-aligned in nine characters; the record keeps them without that
// padding, so saving and loading a curve any number of times, or saving a copy (which stores
// the padded form), keeps every letter that fits the 8-character field.
TEST(CalibrationData, FlagsReadBackPaddedAndKeepTheirLettersThroughSaves) {
    const struct { const char* stored; const char* readBack; const char* field; } cases[] = {
        {"", "         ", ""},                   {"  Y", "        Y", "Y"},
        {"ABCDEFGH", " ABCDEFGH", "ABCDEFGH"}, {"ABCDEFGHI", "ABCDEFGHI", "ABCDEFGH"},
        {"ABCDEFGHIJKL", "ABCDEFGHIJKL", "ABCDEFGH"},  // only 8 characters fit the field
    };
    for (const auto& c : cases) {
        CCalibrationData curve;
        curve.SetFlags(c.stored);
        EXPECT_EQ(curve.GetFlags(), c.readBack) << c.stored;
        CCalibrationData current(curve);
        for (int save = 0; save < 3; ++save) {
            auto record = NewRecord();
            current.GetRecord(*record);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(Bytes(*record) + 0x190)), c.field) << c.stored;
            EXPECT_EQ(Bytes(*record)[0x190 + 8], 0);
            current = *record;
        }
    }
}

TEST(CalibrationData, RecordLayoutMatchesTheDocumentedOffsets) {
    // The host's curve record written out from its documentation, apart from the code's own
    // table: every number at its offset and of its type, each given a value of its own.
    struct Number { size_t offset; void (*set)(CCalibrationData&, int); double (*read)(const Record&, size_t); };
#define F(offset, type, Name)                                                                    \
    Number {                                                                                     \
        offset, [](CCalibrationData& c, int v) { c.Set##Name(static_cast<type>(v)); },            \
            [](const Record& r, size_t at) { return static_cast<double>(At<type>(r, at)); }      \
    }
    const Number numbers[] = {
        F(0x0180, double, UserValue1), F(0x0188, double, UserValue2), F(0x019C, int32_t, RAH),
        F(0x01A0, int32_t, RCalc), F(0x01A4, int32_t, RRef), F(0x01A8, int32_t, CCalc), F(0x01AC, int32_t, XYTrans),
        F(0x01B0, int32_t, ZeroResp), F(0x01B4, int32_t, Origin), F(0x01B8, int32_t, WeightingFunction),
        F(0x01BC, int32_t, ReportCorrFlags), F(0x01C0, double, MinArea), F(0x01C8, double, MinHeight),
        F(0x01D0, double, DetectionThreshold), F(0x01D8, double, QuantitationThreshold),
        F(0x01E0, double, LinearityLimit), F(0x01E8, double, CarryOverThreshold), F(0x01F0, double, CCThreshold),
        F(0x01F8, int32_t, IonRatio), F(0x01FC, int32_t, IonRatioWin), F(0x0200, int32_t, IonRatioRef),
        F(0x0208, double, UserRatio), F(0x0210, int32_t, CaliPtsValid), F(0x0214, int32_t, NumCaliPts),
        F(0x4B28, float, MeanRT), F(0x4B2C, float, MeanRTPeakWidth), F(0x4B30, double, MinResp),
        F(0x4B38, double, MaxResp), F(0x4B40, double, MeanResp), F(0x4B48, double, MeanRelResp),
        F(0x4B50, double, MinConc), F(0x4B58, double, MaxConc), F(0x4B60, double, MeanConc),
        F(0x4B68, double, MeanRelConc), F(0x4B70, double, CorrCoeff), F(0x4B78, int32_t, MinCCFlag),
        F(0x4B80, double, MeanResid), F(0x4B88, double, MnSqErr), F(0x4B90, double, StdDev), F(0x4B98, double, RelSD),
        F(0x4BA0, double, PercRelSD), F(0x4BA8, int32_t, CurveValid), F(0x4BE8, int32_t, TotalsEntry),
        F(0x4BEC, int32_t, TotalsGroupEntry), F(0x4C1C, int32_t, UseMulti), F(0x4C20, int32_t, TargetFlags),
    };
#undef F
    CCalibrationData curve = FullCurve(3);
    int value = 1;
    for (const Number& n : numbers) n.set(curve, value++);
    const struct { size_t offset; const char* text; void (CCalibrationData::*set)(std::string); } texts[] = {
        {0x0097, "Benzo[a]pyrene", &CCalibrationData::SetName}, {0x00E8, "50-32-8", &CCalibrationData::SetCas},
        {0x00F5, "note", &CCalibrationData::SetText},           {0x016E, "ng/mL", &CCalibrationData::SetRepUnits},
        {0x0190, "YN", &CCalibrationData::SetFlags},            {0x4BF0, "PAH", &CCalibrationData::SetTotalsGroup}};
    for (const auto& t : texts) (curve.*t.set)(t.text);
    curve.SetCaliPoint(Point(0.5, 2.0, 300.0, 1), 2);
    curve.SetCaliFile(FileNamed("S3", 0x11), 2);

    auto record = NewRecord();
    curve.GetRecord(*record);
    const Record& r = *record;
    value = 1;
    for (const Number& n : numbers) EXPECT_EQ(n.read(r, n.offset), value++) << std::hex << n.offset;
    for (const auto& t : texts) EXPECT_STREQ(reinterpret_cast<const char*>(Bytes(r) + t.offset), t.text);
    // Third file: 0x218 + 2 * 147; its host bytes travel whole.
    EXPECT_STREQ(reinterpret_cast<const char*>(Bytes(r) + 0x218 + 294), "S3");
    EXPECT_EQ(Bytes(r)[0x218 + 294 + 146], 0x11);
    // Third point: 0x3B88 + 2 * 32, padding zero.
    const size_t third = 0x3B88 + 64;
    EXPECT_EQ((std::array{At<double>(r, third), At<double>(r, third + 8), At<double>(r, third + 16)}),
              (std::array{0.5, 2.0, 300.0}));
    EXPECT_EQ(At<uint16_t>(r, third + 24), 1);
    EXPECT_TRUE(AllZero(r, third + 26, 6));
    EXPECT_EQ(At<double>(r, 0x4BB0), -1.5);        // c0
    EXPECT_EQ(At<double>(r, 0x4BB0 + 48), -10.5);  // c6
    // Reserved ranges and every padding gap are zero.
    const struct { size_t offset, size; } gaps[] = {
        {0x0000, 151}, {0x017E, 2}, {0x0199, 3}, {0x0204, 4}, {0x3B84, 4}, {0x4808, 800},
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
        EXPECT_TRUE(a.Weight == b.Weight && a.Conc == b.Conc && a.Resp == b.Resp && a.Flags == b.Flags) << i;
        EXPECT_EQ(std::memcmp(&read.GetCaliFile(i), &written.GetCaliFile(i), sizeof(tagFILE_INFO)), 0) << i;
    }
    for (int i = 0; i < 7; ++i) EXPECT_EQ(read.GetCC(i), written.GetCC(i));

    // Writing what was read gives the same bytes, the flags included.
    auto again = NewRecord();
    read.GetRecord(*again);
    EXPECT_EQ(std::memcmp(record.get(), again.get(), sizeof(Record)), 0);
    EXPECT_STREQ(again->Flags, "YNYNYNYN");
}

TEST(CalibrationData, IndexedAccessOutsideTheArraysChangesNothingAndEveryPointPartCounts) {
    CCalibrationData curve = FullCurve(3);
    const CCalibrationData before(curve);
    const int slots = curve.GetNumCaliPointSlots();
    for (int index : {-1, slots, slots + 1}) {
        EXPECT_FALSE(curve.SetCaliPoint(Point(1, 1, 1, 1), index));
        EXPECT_FALSE(curve.SetCaliPointFlags(index, 1));
        EXPECT_FALSE(curve.SetCaliPointWeight(index, 1) || curve.SetCaliPointConc(index, 1) || curve.SetCaliPointResp(index, 1));
        EXPECT_FALSE(curve.SetCaliFile(FileNamed("Z", 1), index));
        EXPECT_FALSE(curve.SetCC(1.0, index));
        EXPECT_EQ(curve.GetCC(index), 0.0);
        curve.GetCaliPoint(index).Resp = 42.0;  // scratch element, not part of the curve
        EXPECT_EQ(curve.GetCaliPoint(index).Resp, 0.0);
        std::strcpy(curve.GetCaliFile(index).Name, "Z");
    }
    EXPECT_FALSE(curve.SetCC(1.0, 7));
    EXPECT_EQ(curve, before);
    // One part of one point differs, the first or the last slot.
    const std::function<bool(CCalibrationData&, int)> parts[] = {
        [](CCalibrationData& c, int i) { return c.SetCaliPointFlags(i, 7); },
        [](CCalibrationData& c, int i) { return c.SetCaliPointWeight(i, 0.25); },
        [](CCalibrationData& c, int i) { return c.SetCaliPointConc(i, 0.25); },
        [](CCalibrationData& c, int i) { return c.SetCaliPointResp(i, 0.25); }};
    for (const auto& part : parts)
        for (int index : {0, slots - 1}) {
            CCalibrationData changed(before);
            EXPECT_TRUE(part(changed, index));
            EXPECT_NE(changed, before) << index;
        }
}

TEST(CalibrationDescription, WholeTextsAndTheCorrelationLineEachReportSettingShows) {
    CCalibrationData rf = ValidCurve("Toluene", 0, {0.0, 0.0125}, 0.9);
    rf.SetStdDev(0.00042);
    rf.SetPercRelSD(3.36);
    rf.SetReportCorrFlags(2);  // asked for, but an RF curve has no correlation
    rf.SetRCalc(1);
    rf.SetUseMulti(1);
    rf.SetOrigin(2);  // settings other than the type are not shown for RF
    EXPECT_EQ(rf.GetDescription(),
              "Compound name: Toluene\n"
              "Response Factor: 0.0125\n"
              "RRF SD: 0.00042,  % Relative SD: 3.36\n"
              "Response type: Internal Std ( Ref Multiple ), Area * ( IS Conc. / IS Area )\n"
              "Curve type: RF");

    EXPECT_EQ(Line(0, 0, 1).GetDescription(),
              "Compound name: Benzene\n"
              "Correlation coefficient: r = 0.998000, r^2 = 0.996004\n"
              "Calibration curve: 1.2 * x + 0.5\n"
              "Response type: External Std, Area\n"
              "Curve type: Linear, Origin: Exclude, Weighting: Null, Axis trans: None");

    // The correlation line follows the report setting.
    const std::string corrCoeff = "Correlation coefficient: r = 0.998000, r^2 = 0.996004";
    const std::string coeffOfDet = "Coefficient of Determination: 0.996004";
    const struct { int reportCorr, weighting, origin, curveType; std::string expected; } cases[] = {
        {1, 3, 0, 2, "Coefficient of Determination: R^2 = 0.996004 "},  // the trailing space is the host's
        {2, 4, 2, 3, corrCoeff},
        // Any other setting: r only for an unweighted line with the origin excluded.
        {0, 0, 1, 1, corrCoeff}, {0, 1, 1, 1, coeffOfDet}, {0, 0, 0, 1, coeffOfDet}, {0, 0, 1, 2, coeffOfDet},
    };
    for (const auto& c : cases) {
        CCalibrationData curve = Line(c.reportCorr, c.weighting, c.origin);
        curve.SetCCalc(c.curveType);
        EXPECT_EQ(LineOf(curve, 1), c.expected) << c.reportCorr << c.weighting << c.origin << c.curveType;
    }
    CCalibrationData falling = Line(2, 0, 1);
    falling.SetCorrCoeff(-0.5);
    EXPECT_EQ(LineOf(falling, 1), "Correlation coefficient: r = -0.500000, r^2 = 0.250000");
}

// The first curve that has the value answers; empty slots are passed over.
TEST(CalibrationFieldStrings, ListAsksCurvesInOrder) {
    double number = 3.0;
    std::string text;
    CCalibrationList list;
    EXPECT_FALSE(list.GetFieldStr(CCalibrationData::kCaliCorrCoeff, false, text, number));
    list.SetSize(5);
    list.SetAt(0, ValidCurve("A", 0, {0.0, 1.0}, 0.9));  // RF: has no correlation
    list.SetAt(1, CCalibrationData());                   // not calibrated
    EXPECT_FALSE(list.GetFieldStr(CCalibrationData::kCaliCorrCoeff, false, text, number));
    EXPECT_EQ(number, 3.0);
    list.SetAt(3, ValidCurve("B", 1, {0.0, 1.0}, 0.75));
    list.SetAt(4, ValidCurve("C", 2, {0.0, 1.0, 1.0}, 0.5));
    EXPECT_TRUE(list.GetFieldStr(CCalibrationData::kCaliCorrCoeff, false, text, number));
    EXPECT_EQ(number, 0.75);
}
