// The stand-ins for the outside components: comparitors, raw-data trace texts, keyword tables
// and the XML builder's depth limit.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <unistd.h>

#include "quan.h"

namespace {
}  // namespace

TEST(MassStringComparitor, MatchingRules) {
    const struct {
        const char* a;
        double windowA;
        const char* b;
        double windowB;
        bool equal;
    } cases[] = {
        {"304.2", 0.005, "304.204", 0.005, true},
        {"304.2", 0.005, "304.21", 0.005, false},
        {"304.2", 0.0001, "304.21", 0.05, true},  // the larger window decides
        {"216.1>174.1", 0.005, " 216.1 > 174.1 ", 0.005, true},
        {"216.1>174.1", 0.005, "216.1>175.1", 0.005, false},
        {"216.1>174.1", 0.005, "216.1", 0.005, false},  // different number of masses
        {"TIC", 0.005, "tic", 0.005, true},
        {"ch1", 0.005, "CH1", 0.005, true},
        {"ch1", 0.005, "ch2", 0.005, false},
        {"TIC", 0.005, "304.2", 0.005, false},
        {"", 0.005, "", 0.005, true},
        {"12abc", 0.005, "12", 0.005, false},
    };
    for (const auto& c : cases) {
        CMassStringComparitor a(c.a, c.windowA), b(c.b, c.windowB);
        EXPECT_EQ(a == b, c.equal) << c.a << " vs " << c.b;
        EXPECT_EQ(b == a, c.equal) << c.b << " vs " << c.a;
    }
}

namespace {
class Probe : public CQuanObject {
    QUAN_DECLARE_CLASS(Probe)
};
}  // namespace

TEST(RawData, TraceTextToMasses) {
    const struct {
        const char* text;
        bool second;
        int result;
        float first, next;
    } cases[] = {
        {"304.2", false, 1, 304.2f, 0.0f},
        {"216.1>174.1", false, 1, 216.1f, 0.0f},
        {"216.1 > 174.1", true, 1, 174.1f, 0.0f},
        {"216.1>174.1, 218.1>176.1", true, 2, 174.1f, 176.1f},
        {"TIC", false, -1, 0.0f, 0.0f},
        {"", false, -1, 0.0f, 0.0f},
        {"216.1>", false, 1, 216.1f, 0.0f},
        {"216.1>", true, -1, 0.0f, 0.0f},
    };
    for (const auto& c : cases) {
        float masses[32];
        std::fill(std::begin(masses), std::end(masses), -1.0f);
        EXPECT_EQ(RawData::MRMStringToMasses(c.text, masses, 32, c.second), c.result) << c.text;
        if (c.result > 0) {
            EXPECT_EQ(masses[0], c.first) << c.text;
            EXPECT_EQ(masses[1], c.next) << c.text;
        }
    }
    float few[2];
    EXPECT_EQ(RawData::MRMStringToMasses("1 2 3", few, 2, false), -2);  // never writes past the room
    char description[8];
    RawData::RawFileDescription file;
    file.fileName = "sample01";
    EXPECT_EQ(RawData::GetChannelDescription(file, 3, description, sizeof description), 0);
    EXPECT_EQ(std::strlen(description), 7u);
    EXPECT_EQ(std::strncmp(description, "Ch3", 3), 0);
}

TEST(KeywordTables, TextsSizesAndBounds) {
    EXPECT_EQ(std::size(StdLevelCodes), 23u);
    EXPECT_STREQ(StdLevelCodes[21], "T");
    EXPECT_STREQ(StdLevelCodes[22], "");
    EXPECT_STREQ(Keywords::TextOf(StdLevelCodes, 12, Keywords::kShownStdLevels), "K");
    EXPECT_EQ(Keywords::TextOf(StdLevelCodes, 13, Keywords::kShownStdLevels), nullptr);
    EXPECT_STREQ(Keywords::TextOf(ResponseTypeCodes, 6), "");
    EXPECT_EQ(Keywords::TextOf(ResponseTypeCodes, 7), nullptr);
    EXPECT_EQ(Keywords::TextOf(ResponseTypeCodes, -1), nullptr);
    EXPECT_STREQ(Keywords::TextOf(LocateMethodCodes, 6), "P_CN");
    EXPECT_EQ(std::size(CurveTypeNames), 9u);
    EXPECT_STREQ(CurveTypeNames[2], "2nd Order");
    EXPECT_STREQ(WeightingCodes[2], "1/(X^2)");
    EXPECT_STREQ(OriginNames[3], "Matrix match");
    EXPECT_STREQ(AxisTransformNames[3], "Square Root");
    EXPECT_EQ(Keywords::FindRowIgnoringCase(MassColumnLetters, "aa"), 26);
    EXPECT_EQ(Keywords::FindRowIgnoringCase(MassColumnLetters, "AA"), 26);
    EXPECT_EQ(Keywords::FindRowIgnoringCase(MassColumnLetters, "dd"), 29);
    EXPECT_EQ(Keywords::FindRowIgnoringCase(MassColumnLetters, "EE"), -1);
    EXPECT_EQ(Keywords::FindRowIgnoringCase(WavelengthColumnLetters, "j"), 9);
    EXPECT_EQ(Keywords::FindRowIgnoringCase(WavelengthColumnLetters, "K"), -1);
    EXPECT_EQ(Keywords::FindRowIgnoringCase(WavelengthColumnLetters, ""), -1);
}

TEST(XmlBuilder, DepthLimitAndUnbalancedClose) {
    Brisk::CXMLBuilderT<256> builder;
    EXPECT_FALSE(builder.CloseElement());
    EXPECT_FALSE(builder.AddAttribute("a", "b"));
    for (int i = 0; i < 256; ++i) ASSERT_TRUE(builder.OpenElement("e"));
    EXPECT_FALSE(builder.OpenElement("e"));
    EXPECT_EQ(builder.GetLastStatus(), Brisk::CXMLBuilderT<256>::kTooDeep);
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(builder.CloseElement());
    // The builder frees the 246 elements still open when it goes away (sanitizer-checked).
}
