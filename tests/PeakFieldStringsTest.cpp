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

bool SameRecord(const CPeakData& a, const CPeakData& b) {
    return std::memcmp(&a.GetRecord(), &b.GetRecord(), sizeof(_tagINTERNAL_PEAK_DB_RECORD)) == 0;
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

TEST(PeakFieldStrings, EachFormReadsItsStoredValue) {
    CPeakData peak;
    peak.SetName("Chlorpyrifos");
    peak.SetArea(1234.5);
    peak.SetPkBalance(0.25f);
    peak.SetPredScan(4000000000u);
    peak.SetDeltaScan(-12);
    peak.SetExcludedStd(0);
    peak.SetNoSolutionFlag(0);
    peak.SetMatrixFlag(1);
    peak.SetRAH(1);
    peak.SetRCalc(2);
    peak.SetStdLevels(4);
    const struct {
        int field;
        std::string text;
        double number;
    } cases[] = {
        {13, "Chlorpyrifos", -999.0}, {116, "", 1234.5}, {33, "", 0.25},   {105, "", 4000000000.0},
        {107, "", -12.0},             {19, "YES", -999.0}, {101, "NO", -999.0}, {211, "YES", -999.0},
        {60, "H", -999.0},            {61, "ISODIL", -999.0}, {72, "C", -999.0}, {207, "NO", -999.0},
    };
    for (const auto& c : cases) {
        const Shown shown = Read(peak, c.field);
        EXPECT_EQ(shown.result, 1) << "field " << c.field;
        EXPECT_EQ(shown.text, c.text) << "field " << c.field;
        EXPECT_EQ(shown.number, c.number) << "field " << c.field;
    }
}

TEST(PeakFieldStrings, NumbersOutsideTheTableAndUnusedNumbersShowNothing) {
    CPeakData peak;
    peak.SetISDevHighFlag(1);
    for (int field : {160, 162, 199, 203, 208, 209, 236, -1, 16383, 16385, INT_MIN, INT_MAX})
        EXPECT_EQ(Read(peak, field).result, 0) << "field " << field;
    EXPECT_EQ(Read(peak, 16384).text, "YES");
    peak.SetISDevHighFlag(0);
    EXPECT_EQ(Read(peak, 16384).text, "NO");
    EXPECT_EQ(Read(peak, 160).text, "");
}

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

TEST(PeakFieldStrings, FieldsThatTakeNoValueChangeNothing) {
    CPeakData peak = PeakShowingEverything();
    peak.SetChromNoise(3.0);
    peak.SetMatrixFlag(0);
    peak.SetISDevHighFlag(0);
    const CPeakData before(peak);
    for (const PeakFieldInfo& info : PeakFieldList()) {
        if (info.settable) continue;
        for (const char* text : {"5", "YES", "", "H"}) {
            EXPECT_EQ(Write(peak, info.field, text), 1) << "field " << info.field;
            EXPECT_TRUE(SameRecord(peak, before)) << "field " << info.field << " changed the peak";
        }
    }
    for (int field : {236, -1, 16383, INT_MIN, INT_MAX}) {
        EXPECT_EQ(Write(peak, field, "5"), 1);
        EXPECT_TRUE(SameRecord(peak, before));
    }
    EXPECT_EQ(Read(peak, 146).number, 3.0);
}
