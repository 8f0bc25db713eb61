// Sample report fields: every field against its own record member, the standard concentration
// under each sample type and standard level, and edits of the stored texts read back through their
// own fields. Replicate statistics: accessors at and beyond their bounds, the running sum, and the
// report texts with their buffer limits.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstring>
#include <string>

#include "quan.h"

namespace {

using Field = CQuanSampleData::SampleDataFields;

// Field 1 of `sample` for `entry`: the call's result, with `number` starting at -1 so that a
// written zero shows.
bool StdConcField(const CQuanSampleData& sample, const CMethodData& entry, double& number) {
    std::string text = "old";
    number = -1.0;
    const bool result = sample.SampleGetFieldStr(CQuanSampleData::kSampleStdConc, false, text, 0, number, &entry);
    EXPECT_EQ(text, "");
    return result;
}

CMethodData EntryAtLevel(int stdLevels, double stdConc = 0.0) {
    CMethodData entry;
    entry.SetStdLevels(stdLevels);
    entry.SetStdConc(stdConc);
    return entry;
}
}  // namespace

TEST(SampleFieldStrings, EveryFieldReadsItsOwnRecordMember) {
    CQuanSampleData sample;
    CSampleRecord& record = sample.GetRecord();
    const struct { int field; void (CSampleRecord::*set)(const std::string&); } texts[] = {
        {0, &CSampleRecord::SetDataFile},   {2, &CSampleRecord::SetDescription}, {3, &CSampleRecord::SetMSFile},
        {4, &CSampleRecord::SetInletFile},  {5, &CSampleRecord::SetASFile},      {6, &CSampleRecord::SetProcess},
        {7, &CSampleRecord::SetProcessParameters}, {8, &CSampleRecord::SetVialReference}, {9, &CSampleRecord::SetJob},
        {10, &CSampleRecord::SetTask},      {11, &CSampleRecord::SetUser},       {12, &CSampleRecord::SetSubmitter},
        {13, &CSampleRecord::SetConditions}, {15, &CSampleRecord::SetID},        {24, &CSampleRecord::SetSubjectText},
        {26, &CSampleRecord::SetQualityReference}, {27, &CSampleRecord::SetQuantityReference},
    };
    // Distinct values everywhere, so a field reading a neighbour's member shows.
    for (const auto& t : texts) (record.*t.set)("text of field " + std::to_string(t.field));
    record.SetQuanRef("not field 27");
    record.SetType(CQuanSampleData::kStandard);
    const struct { int field; void (CSampleRecord::*set)(double); } numbers[] = {
        {17, &CSampleRecord::SetInjectionVolume}, {18, &CSampleRecord::SetUserFactor3},
        {19, &CSampleRecord::SetUserDivisor1},    {20, &CSampleRecord::SetUserFactor2},
        {21, &CSampleRecord::SetUserFactor1},     {22, &CSampleRecord::SetStockDilution},
        {25, &CSampleRecord::SetSubjectTime}};
    for (const auto& n : numbers) (record.*n.set)(n.field + 0.5);

    std::string text;
    double number = 9.5;
    for (const auto& t : texts) {
        EXPECT_TRUE(sample.SampleGetFieldStr(Field(t.field), false, text, 0, number, nullptr));
        EXPECT_EQ(text, "text of field " + std::to_string(t.field));
    }
    EXPECT_EQ(number, 9.5);  // text fields leave the number alone
    for (const auto& n : numbers) {
        text = "old";
        EXPECT_TRUE(sample.SampleGetFieldStr(Field(n.field), false, text, 3, number, nullptr));
        EXPECT_EQ(number, n.field + 0.5);
        EXPECT_EQ(text, "");
    }

    // Fields 16 and 23 take the caller's index; outside the record's columns they are empty.
    for (int i = 0; i < CSampleRecord::kNumConcentrations; ++i) sample.SetStdConc(i, 100.0 + i);
    for (int i = 0; i < CSampleRecord::kNumSpares; ++i) record.SetSpare(i, "spare " + std::to_string(i));
    record.SetSpare(CSampleRecord::kNumSpares, "past the end");  // changes nothing, its neighbour included
    EXPECT_EQ(record.GetMass(0), "");
    const struct { int index; double concentration; const char* spare; } indexed[] = {
        {0, 100.0, "spare 0"}, {19, 119.0, ""}, {20, 0.0, ""}, {-1, 0.0, ""}};
    for (const auto& c : indexed) {
        EXPECT_TRUE(sample.SampleGetFieldStr(CQuanSampleData::kSampleConcentration, false, text, c.index, number,
                                             nullptr));
        EXPECT_EQ(number, c.concentration) << c.index;
        EXPECT_TRUE(sample.SampleGetFieldStr(CQuanSampleData::kSampleSpare, false, text, c.index, number, nullptr));
        EXPECT_EQ(text, c.spare) << c.index;
    }

    // Masses and wavelengths by column letter, in either case; a letter past the columns is empty.
    CSampleRecord columns;
    for (int i = 0; i < CSampleRecord::kNumMasses; ++i) columns.SetMass(i, std::to_string(100 + i));
    for (int i = 0; i < CSampleRecord::kNumWavelengths; ++i) columns.SetWavelength(i, 200.5 + i);
    const CQuanSampleData lettered(columns);
    const struct { const char* letter; const char* mass; const char* wavelength; } letters[] = {
        {"A", "100", "200.500000"}, {"j", "109", "209.500000"}, {"K", "110", ""}, {"dd", "129", ""},
        {"EE", "", ""},             {"", "", ""}};
    for (const auto& l : letters) {
        EXPECT_EQ(lettered.GetMass(l.letter), l.mass) << l.letter;
        EXPECT_EQ(lettered.GetWavelength(l.letter), l.wavelength) << l.letter;
    }
    for (const int index : {-1, CSampleRecord::kNumWavelengths}) EXPECT_EQ(lettered.GetWavelength(index), "") << index;
}

TEST(SampleFieldStrings, StandardConcentrationUnderEachSampleTypeAndLevel) {
    CQuanSampleData sample;
    std::string text;
    double number = 0.0;
    EXPECT_FALSE(sample.SampleGetFieldStr(CQuanSampleData::kSampleStdConc, false, text, 0, number, nullptr));

    // Level 2 ("A") reads concentration column 0. A zero there counts only for standards, QCs
    // and recovery samples.
    const CMethodData levelA = EntryAtLevel(2);
    const struct { int type; bool zeroCounts; } types[] = {
        {0, false}, {1, true}, {2, true}, {3, false}, {4, false}, {6, true}, {7, false}, {-1, false}};
    for (const auto& t : types) {
        sample.SetSampleType(t.type);
        sample.SetStdConc(0, 0.0);
        EXPECT_EQ(StdConcField(sample, levelA, number), t.zeroCounts) << "type " << t.type;
        EXPECT_EQ(number, 0.0);
        sample.SetStdConc(0, 12.5);
        EXPECT_TRUE(StdConcField(sample, levelA, number)) << "type " << t.type;
        EXPECT_EQ(number, 12.5);
    }

    sample.SetSampleType(CQuanSampleData::kBlank);
    for (int i = 0; i < CSampleRecord::kNumConcentrations; ++i) sample.SetStdConc(i, 10.0 * (i + 1));
    const struct { CMethodData entry; bool result; double number; } levels[] = {
        {EntryAtLevel(0, 0.0), true, 0.0},  // no standard levels: the entry's value, even zero
        {EntryAtLevel(1, 0.0), false, 0.0},  // STOCK: the entry's value, but zero does not count
        {EntryAtLevel(4, 99.0), true, 30.0},  // "C" is column 2
        {EntryAtLevel(21), true, 200.0},      // "T", the last column
        {EntryAtLevel(22), false, 0.0},       // beyond the sample's columns
    };
    for (const auto& l : levels) {
        EXPECT_EQ(StdConcField(sample, l.entry, number), l.result) << "level " << l.entry.GetStdLevels();
        EXPECT_EQ(number, l.number) << "level " << l.entry.GetStdLevels();
    }

    // The entry's concentration factor applies to sample columns only, and only when switched on.
    CMethodData scaled = EntryAtLevel(4, 7.0);
    scaled.SetConcFactor(2.5);
    EXPECT_TRUE(StdConcField(sample, scaled, number));
    EXPECT_EQ(number, 30.0);
    scaled.SetUseConcFactor(1);
    EXPECT_TRUE(StdConcField(sample, scaled, number));
    EXPECT_EQ(number, 75.0);
}

TEST(SampleFieldStrings, EditedTextsReadBackThroughTheirOwnFields) {
    CQuanSampleData sample;
    sample.SetUser("analyst");
    const struct { int field; const char* text; } stored[] = {
        {10, "PAH screen"}, {12, "lab 2"}, {13, "40C, 1 mL/min"}, {14, "QC"}};
    for (const auto& s : stored) {
        char buffer[32];
        std::strcpy(buffer, s.text);
        EXPECT_TRUE(sample.SampleSetFieldStr(Field(s.field), 5, buffer)) << s.field;
        EXPECT_STREQ(buffer, "");  // the caller's text is left empty
        std::string text;
        double number = 0.0;
        EXPECT_TRUE(sample.SampleGetFieldStr(Field(s.field), false, text, 0, number, nullptr));
        EXPECT_EQ(text, s.text);
    }
    EXPECT_EQ(sample.GetSampleType(), CQuanSampleData::kQC);

    // The type text is read without regard to case, or as a number (the text of a type without
    // a name); a text that names no type is refused and the type kept.
    const auto typeName = CQuanSampleData::kSampleTypeName;
    EXPECT_TRUE(sample.SampleSetFieldStr(typeName, 0, std::string("blank")));
    EXPECT_EQ(sample.GetSampleType(), CQuanSampleData::kBlank);
    EXPECT_TRUE(sample.SampleSetFieldStr(typeName, 0, std::string("4")));
    EXPECT_EQ(sample.GetSampleTypeString(), "4");
    EXPECT_TRUE(sample.SampleSetFieldStr(typeName, 0, std::string("6")));
    EXPECT_FALSE(sample.SampleSetFieldStr(typeName, 0, std::string("Banana")));
    EXPECT_FALSE(sample.SetSampleType(static_cast<const char*>(nullptr)));
    EXPECT_EQ(sample.GetSampleType(), CQuanSampleData::kRecovery);

    // Every other field accepts the text and changes nothing, the user included.
    for (int field : {0, 1, 11, 16, 23, 27, 28, -1}) {
        char buffer[16] = "changed";
        EXPECT_TRUE(sample.SampleSetFieldStr(Field(field), 0, buffer)) << field;
        EXPECT_STREQ(buffer, "");
    }
    EXPECT_EQ(sample.GetUser(), "analyst");
    EXPECT_EQ(sample.GetTask(), "PAH screen");
    EXPECT_FALSE(sample.SampleSetFieldStr(CQuanSampleData::kSampleTask, 0, static_cast<char*>(nullptr)));
}

TEST(Statistics, AccessorsAndFieldTextsAtAndBeyondTheirBounds) {
    // Two compounds, three samples, every statistic distinct.
    CStatistics stats;
    for (int sample : {11, 12, 15}) stats.AddSample(sample);
    stats.AddCompound(4, "Atrazine");
    stats.AddCompound(9, "Simazine");
    stats.SetMean(1, 2.5);
    stats.SetStdDev(1, 0.25);
    stats.SetRSD(1, 10.0);
    stats.SetBias(1, -0.5);
    stats.SetPercBias(1, -16.5);
    stats.AddConcentration(1, 1.0);  // count 1 on top of the stored mean: 3.5
    for (int outside : {-1, 2, INT_MIN, INT_MAX}) {
        EXPECT_EQ(stats.GetName(outside), nullptr) << outside;
        stats.SetName(outside, "changed");
        stats.AddConcentration(outside, 99);
    }
    for (int outside : {-1, 3, INT_MIN, INT_MAX}) EXPECT_EQ(stats.GetSample(outside), 0) << outside;

    // The entries in range saw none of that.
    EXPECT_STREQ(stats.GetName(0), "Atrazine");
    EXPECT_EQ(stats.GetMean(1), 3.5);
    EXPECT_EQ(stats.GetSample(2), 15);

    stats.SetPercBias(0, 12.5);  // "12.500000%": 10 characters
    stats.SetBias(0, 1e-7);  // below six decimals
    const struct { int entry; int field; int result; const char* text; } cases[] = {
        {0, 0, 1, "Atrazine"},  {5, 0, 1, ""},  // out of range: empty, still written
        {0, 1, 1, "3"},         {1, 2, 1, "3.500000"},  {1, 3, 1, "0.250000"},   {1, 4, 1, "10.000000"},
        {1, 5, 1, "-0.500000"}, {0, 5, 1, "0.000000"},  {0, 6, 1, "12.500000%"}, {0, -1, 0, ""},
    };
    for (const auto& c : cases) {
        const auto field = static_cast<CStatistics::StatsFields>(c.field);
        char buffer[CStatistics::kStatsFieldTextSize];
        std::strcpy(buffer, "left over");
        EXPECT_EQ(stats.StatsFieldStr(c.entry, field, buffer), c.result) << c.field;
        EXPECT_STREQ(buffer, c.text) << c.field;
    }

    // The texts stay inside the caller's buffer.
    char small[16];
    std::memset(small, 'Z', sizeof small);
    EXPECT_EQ(stats.StatsFieldStr(0, CStatistics::kStatsPercBias, small, 11), 1);
    EXPECT_STREQ(small, "12.500000%");
    EXPECT_EQ(small[11], 'Z');

    std::memset(small, 'Z', sizeof small);
    EXPECT_EQ(stats.StatsFieldStr(0, CStatistics::kStatsPercBias, small, 10), 0);
    EXPECT_EQ(small[0], '\0');
    EXPECT_EQ(small[1], 'Z');

    EXPECT_EQ(stats.StatsFieldStr(0, CStatistics::kStatsPercBias, nullptr), 0);

    // The longest text: "-", 309 digits, ".000000", "%" = 318 characters and its terminator.
    stats.SetPercBias(0, -DBL_MAX);
    char big[CStatistics::kStatsFieldTextSize + 8];
    std::memset(big, 'Z', sizeof big);
    EXPECT_EQ(stats.StatsFieldStr(0, CStatistics::kStatsPercBias, big), 1);
    EXPECT_EQ(std::strlen(big), 318u);
    EXPECT_EQ(std::string(big + 310), ".000000%");
    EXPECT_EQ(big[319], 'Z');
}
