// Peak report fields by number: forms, the absent-peak and extra conditions, the special
// fields, round trips through the field texts, and the safety of the text-buffer forms.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "quan.h"

namespace {
using Field = CPeakData::PeakDataFields;
Field F(int number) { return static_cast<Field>(number); }

struct Shown {
    int result;
    std::string text;
    double number;
};

Shown Read(const CPeakData& peak, int field) {
    std::string text = "stale";
    double number = -999.0;
    const int result = peak.PeakGetFieldStr(F(field), false, text, number);
    return {result, text, number};
}

int Write(CPeakData& peak, int field, const std::string& value) {
    std::string text = value;
    return peak.PeakSetFieldStr(F(field), 0, text);
}

// A peak on which every condition of every field holds, so reads show what writes stored.
CPeakData PeakShowingEverything() {
    CPeakData peak;
    peak.SetUserRFMode(1);
    peak.SetResponseFlag(1);
    peak.SetSecondaryPeaks(1);
    peak.SetInterferenceFlags(1);
    peak.SetValidConc(1);
    peak.SetUseEMPC(1);
    peak.SetDetectionThreshold(1.0);
    peak.SetQuantitationThreshold(1.0);
    peak.SetFixedConc(10.0);
    peak.SetRRFMean(1.0);
    return peak;
}
}  // namespace

TEST(PeakFieldStrings, EveryStoredFieldReadsBackWhatItsOwnTextWrote) {
    int checked = 0;
    for (const PeakFieldInfo& info : PeakFieldList()) {
        if (!info.settable) continue;
        CPeakData peak = PeakShowingEverything();
        const int field = info.field;
        switch (info.form) {
            case PeakFieldForm::kNumber:
                ASSERT_EQ(Write(peak, field, "7"), 1) << "field " << field;
                EXPECT_EQ(Read(peak, field).number, 7.0) << "field " << field;
                break;
            case PeakFieldForm::kText:
                ASSERT_EQ(Write(peak, field, "Q1 trace"), 1) << "field " << field;
                EXPECT_EQ(Read(peak, field).text, "Q1 trace") << "field " << field;
                break;
            case PeakFieldForm::kYesIfZero:
            case PeakFieldForm::kYesIfSet:
            case PeakFieldForm::kCoded:
                // Whatever a field shows, written back, shows the same again.
                for (const char* text : {"YES", "NO", "H", "L", "Pass", "Fail", "Ref", "n/a", "B", "IS"}) {
                    ASSERT_EQ(Write(peak, field, text), 1) << "field " << field;
                    const std::string shown = Read(peak, field).text;
                    ASSERT_EQ(Write(peak, field, shown), 1) << "field " << field;
                    EXPECT_EQ(Read(peak, field).text, shown) << "field " << field << " after " << text;
                }
                break;
            case PeakFieldForm::kNoSource: ADD_FAILURE() << "field " << field << " has no source"; break;
        }
        ++checked;
    }
    EXPECT_GT(checked, 150);
}

TEST(PeakFieldStrings, ExtraConditionsDecideWhetherAFieldIsShown) {
    struct Case {
        const char* what;
        int field;
        void (*prepare)(CPeakData&);
        int expected;
    };
    const Case cases[] = {
        {"several internal standards", 62, [](CPeakData& p) { p.SetUseMulti(1); }, 0},
        {"one internal standard", 62, [](CPeakData& p) { p.SetUseMulti(0); }, 1},
        {"no detection threshold", 80, [](CPeakData& p) { p.SetDetectionThreshold(0.0); }, 0},
        {"no quantitation threshold", 81, [](CPeakData& p) { p.SetQuantitationThreshold(0.0); }, 0},
        {"user RF off", 90, [](CPeakData& p) { p.SetUserRFMode(0); }, 0},
        {"LOD without a threshold", 95, [](CPeakData& p) { p.SetDetectionThreshold(0.0); }, 0},
        {"LOD without a valid concentration", 95, [](CPeakData& p) { p.SetValidConc(0); }, 0},
        {"LOQ without a threshold", 96, [](CPeakData& p) { p.SetQuantitationThreshold(0.0); }, 0},
        {"LOQ shown", 96, [](CPeakData&) {}, 1},
        {"placeholder totals peak area", 116, [](CPeakData& p) { p.SetPlaceHolder(1); p.SetTotalsPeak(1); }, 1},
        {"placeholder totals group height", 117, [](CPeakData& p) { p.SetPlaceHolder(1); p.SetTotalsGroupPeak(1); }, 1},
        {"deleted totals peak area", 116, [](CPeakData& p) { p.SetPeakDeleted(1); p.SetTotalsPeak(1); }, 0},
        {"response not calculated", 120, [](CPeakData& p) { p.SetResponseFlag(0); }, 0},
        {"totals placeholder response", 120, [](CPeakData& p) { p.SetResponseFlag(0); p.SetPlaceHolder(1); p.SetTotalsPeak(1); }, 1},
        {"concentration not valid", 122, [](CPeakData& p) { p.SetValidConc(0); }, 0},
        {"blank-subtracted not valid", 129, [](CPeakData& p) { p.SetValidConc(0); }, 0},
        {"no secondary peaks", 132, [](CPeakData& p) { p.SetSecondaryPeaks(0); }, 0},
        {"no secondary peaks height", 133, [](CPeakData& p) { p.SetSecondaryPeaks(0); }, 0},
        {"recovery of a totals peak", 141, [](CPeakData& p) { p.SetTotalsPeak(1); }, 0},
        {"recovery without fixed concentration", 142, [](CPeakData& p) { p.SetFixedConc(0.0); }, 0},
        {"recovery shown", 142, [](CPeakData&) {}, 1},
        {"RRF mean zero", 144, [](CPeakData& p) { p.SetRRFMean(0.0); }, 0},
        {"secondary S/N without secondary peaks", 150, [](CPeakData& p) { p.SetSecondaryPeaks(0); }, 0},
        {"EMPC not used", 157, [](CPeakData& p) { p.SetUseEMPC(0); }, 0},
        {"EMPC without valid concentration", 157, [](CPeakData& p) { p.SetValidConc(0); }, 0},
        {"corrected response without EMPC", 158, [](CPeakData& p) { p.SetUseEMPC(0); }, 0},
        {"no interference", 204, [](CPeakData& p) { p.SetInterferenceFlags(0); }, 0},
        {"no interference percentage", 205, [](CPeakData& p) { p.SetInterferenceFlags(0); }, 0},
    };
    for (const Case& c : cases) {
        CPeakData peak = PeakShowingEverything();
        c.prepare(peak);
        EXPECT_EQ(Read(peak, c.field).result, c.expected) << c.what;
    }
}

TEST(PeakFieldStrings, CodedFieldsShowTheirCodesAndTakeNumbersOrCodes) {
    CPeakData peak;
    const struct {
        int field;
        void (*store)(CPeakData&, int);
        int value;
        const char* text;
    } reads[] = {
        {60, [](CPeakData& p, int v) { p.SetRAH(v); }, 0, "A"},
        {60, [](CPeakData& p, int v) { p.SetRAH(v); }, 3, ""},
        {60, [](CPeakData& p, int v) { p.SetRAH(v); }, -1, ""},
        {61, [](CPeakData& p, int v) { p.SetRCalc(v); }, 5, "NAMED"},
        {61, [](CPeakData& p, int v) { p.SetRCalc(v); }, 7, ""},
        {72, [](CPeakData& p, int v) { p.SetStdLevels(v); }, 0, "FIXED"},
        {72, [](CPeakData& p, int v) { p.SetStdLevels(v); }, 12, "K"},
        {72, [](CPeakData& p, int v) { p.SetStdLevels(v); }, 13, ""},
        {176, [](CPeakData& p, int v) { p.SetPeakQuality(v); }, 1, "Pass"},
        {176, [](CPeakData& p, int v) { p.SetPeakQuality(v); }, 3, "Ref"},
        {176, [](CPeakData& p, int v) { p.SetPeakQuality(v); }, 9, "n/a"},
        {204, [](CPeakData& p, int v) { p.SetInterferenceFlags(v); }, 1, "H"},
        {204, [](CPeakData& p, int v) { p.SetInterferenceFlags(v); }, 2, "L"},
        {204, [](CPeakData& p, int v) { p.SetInterferenceFlags(v); }, -4, "L"},
    };
    for (const auto& c : reads) {
        c.store(peak, c.value);
        const Shown shown = Read(peak, c.field);
        EXPECT_EQ(shown.result, 1) << "field " << c.field << " value " << c.value;
        EXPECT_EQ(shown.text, c.text) << "field " << c.field << " value " << c.value;
    }

    EXPECT_EQ(Write(peak, 72, "5"), 1);
    EXPECT_EQ(peak.GetStdLevels(), 5);
    EXPECT_EQ(Write(peak, 72, "B"), 1);
    EXPECT_EQ(peak.GetStdLevels(), 3);
    EXPECT_EQ(Write(peak, 72, "L"), 1);  // not a level a peak shows: read as a number, 0
    EXPECT_EQ(peak.GetStdLevels(), 0);
    EXPECT_EQ(Write(peak, 61, "INTERN"), 1);
    EXPECT_EQ(peak.GetRCalc(), 4);
    EXPECT_EQ(Write(peak, 176, "Fail"), 1);
    EXPECT_EQ(peak.GetPeakQuality(), 2);
    EXPECT_EQ(Write(peak, 176, "fail"), 1);
    EXPECT_EQ(peak.GetPeakQuality(), 0);
    EXPECT_EQ(Write(peak, 204, "H"), 1);
    EXPECT_EQ(peak.GetInterferenceFlags(), 1);
    for (const char* other : {"L", "h", "", "1"}) {
        EXPECT_EQ(Write(peak, 204, other), 1);
        EXPECT_EQ(peak.GetInterferenceFlags(), 2) << other;
    }
}

TEST(PeakFieldStrings, NumbersAreStoredOnlyWhenTheFieldCanHoldThem) {
    CPeakData peak;
    const struct {
        int field;
        const char* text;
        int result;
        double readBack;
    } cases[] = {
        {7, "3.9", 1, 3.0},          {7, "-3.9", 1, -3.0},       {7, "2147483647", 1, 2147483647.0},
        {7, "2147483648", 0, 2147483647.0}, {7, "nan", 0, 2147483647.0},        {7, "abc", 1, 0.0},
        {7, " +12 units", 1, 12.0},  {105, "4294967295", 1, 4294967295.0}, {105, "-1", 0, 4294967295.0},
        {105, "-0.5", 1, 0.0},       {53, "1e39", 0, 0.0},       {53, "2.5", 1, 2.5},
        {53, "inf", 0, 2.5},         {57, "1e308", 1, 1e308},    {57, "1e999", 0, 1e308},
        {57, "-infinity", 0, 1e308}, {57, "", 1, 0.0},           {57, "0x10", 1, 0.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Write(peak, c.field, c.text), c.result) << "field " << c.field << " text " << c.text;
        EXPECT_EQ(Read(peak, c.field).number, c.readBack) << "field " << c.field << " text " << c.text;
    }
}

TEST(PeakFieldStrings, StoredWindowAndThresholdMethodBytes) {
    _tagINTERNAL_PEAK_DB_RECORD record{};
    record.ChroMassWindow = 0.0f;
    record.ChroMassWindowAbs = 0;
    const unsigned char word[4] = {0x02, 0x00, 0x01, 0x00};  // method 2, reserved bytes 0x0001
    std::memcpy(reinterpret_cast<unsigned char*>(&record) + 1512, word, sizeof word);
    CPeakData peak(record);
    // The stored values, not the getters' defaults for an unset window.
    EXPECT_EQ(Read(peak, 26).number, 0.0);
    EXPECT_EQ(Read(peak, 27).text, "YES");
    EXPECT_EQ(Read(peak, 39).number, 65538.0);

    EXPECT_EQ(Write(peak, 39, "7"), 1);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&peak.GetRecord());
    EXPECT_EQ(bytes[1512], 7);
    EXPECT_EQ(bytes[1513], 0);
    EXPECT_EQ(bytes[1514], 0);
    EXPECT_EQ(bytes[1515], 0);
    EXPECT_EQ(peak.GetPkThreshMethod(), 7);
    EXPECT_EQ(Write(peak, 26, "0.5"), 1);
    EXPECT_EQ(peak.GetChroMassWindow(), 0.5f);
}

TEST(PeakFieldStrings, TextsAreStoredWholeOrNotAtAll) {
    CPeakData peak;
    peak.SetName("Atrazine");
    EXPECT_EQ(Write(peak, 13, std::string(81, 'n')), 0);
    EXPECT_EQ(peak.GetName(), "Atrazine");
    EXPECT_EQ(Write(peak, 13, std::string(80, 'n')), 1);
    EXPECT_EQ(peak.GetName(), std::string(80, 'n'));
    EXPECT_EQ(Write(peak, 18, "ABCDEFGHIJ"), 0);  // flags hold nine characters
    EXPECT_EQ(Write(peak, 18, "ABCDEFGHI"), 1);
    EXPECT_EQ(Read(peak, 18).text, "ABCDEFGHI");
    EXPECT_EQ(Write(peak, 13, std::string("Atra\0zine", 9)), 0);
    EXPECT_EQ(Write(peak, 177, std::string(150, 'q')), 0);
    EXPECT_EQ(Write(peak, 177, "Fit #2.5#"), 1);
    EXPECT_EQ(Read(peak, 177).text, "Fit 2.5000");
}

TEST(PeakFieldStrings, BufferFormsNeverWritePastTheirCapacity) {
    CPeakData peak;
    peak.SetName("Chlorpyrifos");  // 12 characters
    peak.SetArea(42.0);
    char buffer[32];
    double number = 0.0;
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(peak.PeakGetFieldStr(F(13), false, buffer, 12, number), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[12], '#');
    EXPECT_EQ(peak.PeakGetFieldStr(F(13), false, buffer, 13, number), 1);
    EXPECT_STREQ(buffer, "Chlorpyrifos");
    EXPECT_EQ(buffer[13], '#');
    // A number needs no room for text; a null buffer still gives it.
    EXPECT_EQ(peak.PeakGetFieldStr(F(116), false, nullptr, 0, number), 1);
    EXPECT_EQ(number, 42.0);
    EXPECT_EQ(peak.PeakGetFieldStr(F(13), false, nullptr, 0, number), 0);
    EXPECT_EQ(peak.PeakGetFieldStr(F(13), false, buffer, number), 1);
    EXPECT_STREQ(buffer, "Chlorpyrifos");

    // The set forms read no further than the capacity, even without a terminator.
    char unterminated[4] = {'1', '2', '3', '4'};
    EXPECT_EQ(peak.PeakSetFieldStr(F(7), 0, unterminated, sizeof unterminated), 1);
    EXPECT_EQ(peak.GetMDBEntry(), 1234);
    EXPECT_EQ(unterminated[0], '\0');
    EXPECT_EQ(peak.PeakSetFieldStr(F(7), 0, nullptr, 16), 1);
    EXPECT_EQ(peak.GetMDBEntry(), 0);
    char plain[CPeakData::kPeakFieldTextSize] = "Simazine";
    EXPECT_EQ(peak.PeakSetFieldStr(F(13), 0, plain), 1);
    EXPECT_EQ(peak.GetName(), "Simazine");
    EXPECT_STREQ(plain, "");
}

// Found by fuzzing: a refused text edit put the old text back through the setter, which cut a
// stored text longer than the setter keeps (the flags field holds 10 characters, the setter
// keeps 9) and cleared the bytes after the terminator. A refused edit changes no byte.
TEST(PeakFieldStrings, RefusedTextEditLeavesEveryByteOfTheRecord) {
    _tagINTERNAL_PEAK_DB_RECORD record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(record.Flags, "ABCDEFGHIJ", 11);                // ten letters, as older records hold
    std::memcpy(record.Name, "Pyrene\0host", 11);                // bytes after the terminator
    CPeakData peak(record);
    for (const CPeakData::PeakDataFields field : {CPeakData::kPeakFlags, CPeakData::kPeakName}) {
        std::string tooLong(300, 'x');
        EXPECT_EQ(peak.PeakSetFieldStr(field, 0, tooLong), 0);
        EXPECT_EQ(std::memcmp(&peak.GetRecord(), &record, sizeof record), 0) << "field " << field;
    }
}
