// The stand-ins for the outside components: comparitors and the method entry's mass windows,
// raw-data trace texts, locale-free number texts, keyword tables, the settings folder, the XML
// builder's limits and text conversion, flat tables and the periodic-table database on them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <unistd.h>

#include "platform/NumberText.h"
#include "quan.h"

namespace {
std::string TempPath(const char* name) {
    return std::string(::testing::TempDir()) + "/quan_" + std::to_string(::getpid()) + "_" + name;
}
}  // namespace

TEST(MassStringComparitor, MatchingRulesAndTheMethodEntrysWindow) {
    const struct { const char* a; double windowA; const char* b; double windowB; bool equal; } cases[] = {
        {"304.2", 0.005, "304.204", 0.005, true},
        {"304.2", 0.005, "304.21", 0.005, false},
        {"304.2", 0.0001, "304.21", 0.05, true},  // the larger window decides
        {"216.1>174.1", 0.005, " 216.1 > 174.1 ", 0.005, true},
        {"216.1>174.1", 0.005, "216.1", 0.005, false},  // different number of masses
        {"TIC", 0.005, "tic", 0.005, true},
    };
    for (const auto& c : cases) {
        CMassStringComparitor a(c.a, c.windowA), b(c.b, c.windowB);
        EXPECT_EQ(a == b, c.equal) << c.a << " vs " << c.b;
        EXPECT_EQ(b == a, c.equal) << c.b << " vs " << c.a;
    }

    // An accurate-mass entry compares its traces within 0.0001, a nominal one within 0.005; a
    // comparitor slot outside the entry's five is none.
    const CMassStringComparitor measured("304.203", 0.0001);
    for (int accurate : {0, 1}) {
        CMethodData entry;
        entry.SetQuanTrace("304.2");
        entry.SetIsAccurateMass(accurate);
        const CMassStringComparitor* quan = entry.GetMassComparitor(0);
        ASSERT_NE(quan, nullptr);
        EXPECT_EQ(*quan == measured, accurate == 0) << "accurate " << accurate;
        EXPECT_EQ(entry.GetMassComparitor(-1), nullptr);
        EXPECT_EQ(entry.GetMassComparitor(CMethodData::kNumComparitors), nullptr);
    }
}

TEST(RawData, TraceTextToMasses) {
    float masses[4] = {};
    EXPECT_EQ(RawData::MRMStringToMasses("304.2", masses, 4, false), 1);
    EXPECT_EQ(masses[0], 304.2f);
    EXPECT_EQ(RawData::MRMStringToMasses("216.1>174.1, 218.1 > 176.1", masses, 4, true), 2);
    EXPECT_EQ((std::array{masses[0], masses[1]}), (std::array{174.1f, 176.1f}));
    EXPECT_EQ(RawData::MRMStringToMasses("TIC", masses, 4, false), -1);
    EXPECT_EQ(RawData::MRMStringToMasses("216.1>", masses, 4, true), -1);  // no second mass
    float few[2];
    EXPECT_EQ(RawData::MRMStringToMasses("1 2 3", few, 2, false), -2);  // never writes past the room
    char description[8];
    RawData::RawFileDescription file;
    file.fileName = "sample01";
    EXPECT_EQ(RawData::GetChannelDescription(file, 3, description, sizeof description), 0);
    EXPECT_EQ(std::strlen(description), 7u);
    EXPECT_EQ(std::strncmp(description, "Ch3", 3), 0);
}

// Numbers are read as the C locale reads them whatever the process locale: a whole text with
// blanks around it and an optional '+', nothing after it, nothing out of range; printed forms
// follow printf's; letter tests are ASCII only, boundaries included.
TEST(NumberText, ReadsWholeNumbersAndPrintsAsTheCLocale) {
    const struct { const char* text; bool ok; double value; } doubles[] = {
        {" 12.5\t", true, 12.5}, {"+3", true, 3},      {"-2e-3", true, -0.002}, {"++3", false, 0}, {"+-3", false, 0},
        {"1e400", false, 0},     {"12.5x", false, 0},  {"1,5", false, 0},       {"", false, 0},    {" ", false, 0},
    };
    for (const auto& c : doubles) {
        double value = 99.0;
        EXPECT_EQ(NumberText::Read(c.text, value), c.ok) << c.text;
        EXPECT_EQ(value, c.ok ? c.value : 99.0) << c.text;
    }
    const struct { const char* text; bool ok; int value; } ints[] = {
        {"2147483647", true, INT_MAX}, {"-2147483648", true, INT_MIN}, {"2147483648", false, 0}, {" 7\n", true, 7},
        {"12.0", false, 0},
    };
    for (const auto& c : ints) {
        int value = 99;
        EXPECT_EQ(NumberText::Read(c.text, value), c.ok) << c.text;
        EXPECT_EQ(value, c.ok ? c.value : 99) << c.text;
    }
    double leading = 99.0;
    EXPECT_EQ(NumberText::ReadLeading("  +304.2>174.1", leading), 8u);
    EXPECT_EQ(leading, 304.2);
    EXPECT_EQ(NumberText::ReadLeading("m/z 304", leading), 0u);
    EXPECT_EQ(leading, 304.2);

    const std::pair<std::string, std::string> printed[] = {
        {NumberText::Shortest(205.2f), "205.2"},        {NumberText::Shortest(1e-7), "1e-07"},
        {NumberText::General(0.0001, 3, true), "0.000100"}, {NumberText::General(0.00001, 3, true), "1.00e-05"},
        {NumberText::General(123.0, 3, true), "123."},  {NumberText::General(1234.0, 3, true), "1.23e+03"},
        {NumberText::General(99.96, 3, true), "100."},  {NumberText::General(100.0, 3), "100"},
        {NumberText::General(0.5, 0), "0.5"},           {NumberText::Fixed(2.5, 0), "2"},
        {NumberText::Scientific(12345.0, 2), "1.23e+04"},
    };
    for (const auto& [got, wanted] : printed) EXPECT_EQ(got, wanted);

    EXPECT_EQ(NumberText::LowerAscii("AZ@[az`{\xC4"), "az@[az`{\xC4");
    EXPECT_TRUE(NumberText::EqualIgnoringCase("Mass Z", "mASS z"));
    EXPECT_FALSE(NumberText::EqualIgnoringCase("Mass", "Mass "));
    for (char c : std::string("\t\n\v\f\r ")) EXPECT_TRUE(NumberText::IsSpaceAscii(c)) << int(c);
    for (char c : std::string("\x08\x0e_")) EXPECT_FALSE(NumberText::IsSpaceAscii(c)) << int(c);
    for (char c : std::string("09AZaz")) EXPECT_EQ(NumberText::IsDigitAscii(c), c <= '9') << c;
    for (char c : std::string("AZaz")) EXPECT_TRUE(NumberText::IsAlphaAscii(c)) << c;
    for (char c : std::string("/:@[`{")) EXPECT_FALSE(NumberText::IsDigitAscii(c) || NumberText::IsAlphaAscii(c)) << c;
}

TEST(KeywordTables, BoundsAndLookUps) {
    EXPECT_STREQ(Keywords::TextOf(StdLevelCodes, 12, Keywords::kShownStdLevels), "K");
    EXPECT_EQ(Keywords::TextOf(StdLevelCodes, 13, Keywords::kShownStdLevels), nullptr);
    EXPECT_STREQ(Keywords::TextOf(ResponseTypeCodes, 6), "");
    EXPECT_EQ(Keywords::TextOf(ResponseTypeCodes, 7), nullptr);
    EXPECT_EQ(Keywords::FindRowIgnoringCase(MassColumnLetters, "aa"), 26);
    EXPECT_EQ(Keywords::FindRowIgnoringCase(MassColumnLetters, "EE"), -1);
    EXPECT_EQ(Keywords::FindRowIgnoringCase(WavelengthColumnLetters, "K"), -1);
    // The texts a method may give for a setting, as the method check lists them.
    EXPECT_EQ(Keywords::AllowedTexts(*Keywords::FindEnumeratedSetting("XYTrans")),
              "N (None), L (Ln), T (Log), S (Square Root)");
    // A value outside the setting's rows, however far, has no text.
    EXPECT_EQ(Keywords::SettingText("XYTrans", 3), "Square Root");
    for (int outside : {-1, 4, INT_MIN, INT_MAX}) EXPECT_EQ(Keywords::SettingText("XYTrans", outside), "") << outside;
}

// Each setting's enum names the row of its texts, the blank rows count in the tables' size, and
// the method record's settings are listed in the method tools' order with the rows that stand
// for a value; every value's text reads back as the value.
TEST(KeywordTables, EnumsNameTheRowsOfTheirTexts) {
    const struct {
        int value;
        const char* const* codes;
        const char* const* names;
        const char* code;
        const char* name;
    } rows[] = {
        {kLocateByPeakCentre, LocateMethodCodes, LocateMethodNames, "P_CN", "P_CN"},
        {kLocateByNothing, LocateMethodCodes, LocateMethodNames, "", ""},
        {kResponseInternalStd, ResponseTypeCodes, ResponseTypeNames, "IS", "Internal Std"},
        {kResponseNamed, ResponseTypeCodes, ResponseTypeNames, "NAMED", "Referred"},
        {kRAHHeight, ResponseBasisCodes, ResponseBasisNames, "H", "Height"},
        {kCurveQuadratic, CurveTypeCodes, CurveTypeNames, "2ND", "2nd Order"},
        {kCurveRFAlternative, CurveTypeCodes, CurveTypeNames, "", ""},
        {kAxisLog10, AxisTransformCodes, AxisTransformNames, "T", "Log"},
        {kOriginMatrixMatch, OriginCodes, OriginNames, "M", "Matrix match"},
        {kWeightInverseX2, WeightingCodes, WeightingNames, "1/(X^2)", "1/x^2"},
        {kStdLevelT, StdLevelCodes, StdLevelNames, "T", "T"},
        {kExcludeEntry, IncludeExcludeCodes, IncludeExcludeNames, "E", "E"},
    };
    for (const auto& row : rows) {
        EXPECT_STREQ(row.codes[row.value], row.code) << row.value;
        EXPECT_STREQ(row.names[row.value], row.name) << row.value;
    }
    EXPECT_EQ(std::size(CurveTypeCodes), 9u);  // a value row each for RF to 6th, then two blank rows
    EXPECT_EQ(std::size(StdLevelCodes), 23u);
    EXPECT_EQ(std::size(ResponseBasisNames), 3u);
    EXPECT_EQ(Keywords::kShownStdLevels, 13);

    const struct {
        const char* attribute;
        int values;
        bool named;
    } settings[] = {{"LocateBy", 7, false}, {"RCalc", 6, true},   {"RAH", 2, true},
                    {"CCalc", 7, true},     {"XYTrans", 4, true}, {"Origin", 4, true},
                    {"WeightingFunction", 5, true}, {"StdLevels", 22, false}};
    const std::vector<Keywords::EnumeratedSetting>& listed = Keywords::EnumeratedSettings();
    ASSERT_EQ(listed.size(), std::size(settings));
    for (size_t i = 0; i < listed.size(); ++i) {
        SCOPED_TRACE(settings[i].attribute);
        EXPECT_STREQ(listed[i].attribute, settings[i].attribute);
        EXPECT_EQ(listed[i].values, settings[i].values);
        EXPECT_EQ(listed[i].names != nullptr, settings[i].named);
        for (int value = 0; value < listed[i].values; ++value)
            EXPECT_EQ(Keywords::SettingValue(listed[i], Keywords::SettingText(listed[i], value)), value);
        EXPECT_EQ(Keywords::SettingText(listed[i], listed[i].values), "");  // a blank row is no value
    }
    EXPECT_EQ(Keywords::FindEnumeratedSetting(""), nullptr);  // the include/exclude table is no method field
    EXPECT_EQ(Keywords::AllowedTexts(*Keywords::FindEnumeratedSetting("LocateBy")), "RNUM, RT, RRT, RESP, COMB, NAME, P_CN");
}

TEST(Xml, BuilderLimitsAndParserWalkUpToTheDocument) {
    Brisk::CXMLBuilderT<256> builder;
    EXPECT_FALSE(builder.CloseElement());
    for (int i = 0; i < 256; ++i) ASSERT_TRUE(builder.OpenElement("e"));
    EXPECT_FALSE(builder.OpenElement("e"));  // the open elements are freed with the builder
    EXPECT_TRUE(builder.DiscardElement());    // the innermost; a refused method's write discards its own

    // The parser walks down and back up to the document, and no further.
    const std::string text = "<?xml version=\"1.0\"?><list><entry/></list>";
    Brisk::CXMLParserT parser;
    ASSERT_TRUE(parser.ParseUtf8(text.data(), text.size()));
    ASSERT_TRUE(parser.MoveToFirstChild());  // the declaration
    ASSERT_TRUE(parser.MoveToNextSibling());
    ASSERT_TRUE(parser.MoveToFirstChild());  // the entry
    EXPECT_TRUE(parser.MoveToParent());
    EXPECT_EQ(parser.GetNodeName(), "list");
    EXPECT_TRUE(parser.MoveToParent());  // the document
    EXPECT_FALSE(parser.MoveToParent());
    EXPECT_EQ(parser.GetLastStatus(), Brisk::CXMLParserT::kNoNode);

    // Without a declaration the first child is the root; attributes read with entities replaced;
    // text and element children are told apart.
    const std::string bare = "<list x=\"1\" y=\"a&lt;b\"><entry z=\"\"/>tail</list>";
    ASSERT_TRUE(parser.ParseUtf8(bare.data(), bare.size()));
    ASSERT_TRUE(parser.MoveToFirstChild());
    EXPECT_EQ(parser.GetNodeKind(), Brisk::CXMLParserT::kElement);
    std::string value;
    EXPECT_TRUE(parser.GetAttribute("y", value));
    EXPECT_EQ(value, "a<b");
    EXPECT_TRUE(parser.GetAttribute("x", value));
    EXPECT_EQ(value, "1");
    EXPECT_FALSE(parser.GetAttribute("z", value));
    EXPECT_EQ(value, "1");
    ASSERT_TRUE(parser.MoveToFirstChild());
    EXPECT_TRUE(parser.GetAttribute("z", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(parser.GetAttribute("x", value));  // the parent's attributes are not the child's
    ASSERT_TRUE(parser.MoveToNextSibling());
    EXPECT_EQ(parser.GetNodeKind(), Brisk::CXMLParserT::kText);
    EXPECT_FALSE(parser.MoveToNextSibling());
    EXPECT_FALSE(parser.ParseUtf8(nullptr, 0));
    EXPECT_EQ(parser.GetLastStatus(), Brisk::CXMLParserT::kParseFailed);
    EXPECT_FALSE(parser.MoveToFirstChild());  // nothing parsed: nothing to walk
    EXPECT_FALSE(parser.ParseText(nullptr));
    EXPECT_EQ(parser.GetLastStatus(), Brisk::CXMLParserT::kParseFailed);
}

// Text conversion at every UTF-8 length's boundaries, both ways, and what XML cannot carry:
// unpaired surrogates, overlong forms, controls, non-characters and cut sequences.
TEST(Xml, TextConversionAtEveryEncodingBoundary) {
    const struct { std::u16string utf16; std::string utf8; } both[] = {
        {u"\x7F", "\x7F"},          {u"\x80", "\xC2\x80"},       {u"\x7FF", "\xDF\xBF"},
        {u"\x800", "\xE0\xA0\x80"}, {u"\xD7FF", "\xED\x9F\xBF"}, {u"\xE000", "\xEE\x80\x80"},
        {u"\xFFFD", "\xEF\xBF\xBD"}, {u"a\U00010000", "a\xF0\x90\x80\x80"}, {u"\U0010FFFFz", "\xF4\x8F\xBF\xBFz"},
        {u"\t\n\r ", "\t\n\r "},
    };
    for (const auto& c : both) {
        std::string utf8;
        std::u16string utf16;
        EXPECT_TRUE(Brisk::Utf16ToUtf8(c.utf16.data(), c.utf16.size(), utf8) && utf8 == c.utf8) << c.utf8;
        EXPECT_TRUE(Brisk::Utf8ToUtf16(c.utf8, utf16) && utf16 == c.utf16) << c.utf8;
        EXPECT_TRUE(Brisk::IsWritableXmlText(c.utf8)) << c.utf8;
    }
    const std::u16string unpaired[] = {{0xDC00}, {0xDFFF, u'a'}, {u'a', 0xD800}, {0xDBFF, u'a'}, {0xD800, 0xE000}};
    for (const auto& text : unpaired) {
        std::string utf8;
        EXPECT_FALSE(Brisk::Utf16ToUtf8(text.data(), text.size(), utf8)) << static_cast<int>(text[0]);
    }
    // Cut, not UTF-8 at all, or a surrogate or beyond U+10FFFF: neither converted nor written.
    for (const char* text : {"\xC2", "a\xE0\xA0", "\x80", "\xF8\x88\x80\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                             "\xC2\x41"}) {
        std::u16string utf16;
        EXPECT_FALSE(Brisk::Utf8ToUtf16(text, utf16)) << text;
        EXPECT_FALSE(Brisk::IsWritableXmlText(text)) << text;
    }
    // Well-formed but not for XML: overlong forms, controls, the non-character U+FFFE.
    for (const char* text : {"\xC0\x80", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\x01", "a\x1F", "\xEF\xBF\xBE"})
        EXPECT_FALSE(Brisk::IsWritableXmlText(text)) << text;
}

TEST(FlatDatabase, RecordsByNumber) {
    const std::string path = TempPath("flat.db");
    constexpr int kTable = 42;
    ASSERT_EQ(FlatDatabase::CreateTable(path, 16), FlatDatabase::kOk);
    char record[16] = "first";
    ASSERT_EQ(FlatDatabase::OpenTable(kTable, path.c_str(), FlatDatabase::kRead), FlatDatabase::kOk);
    EXPECT_EQ(FlatDatabase::RecordOperation(kTable, 1, record, 16, FlatDatabase::kWriteRecord, 0), FlatDatabase::kReadOnly);
    ASSERT_EQ(FlatDatabase::OpenTable(kTable, path.c_str(), FlatDatabase::kReadWrite | FlatDatabase::kPrivileged),
              FlatDatabase::kOk);
    EXPECT_EQ(FlatDatabase::RecordOperation(kTable, 3, record, 16, FlatDatabase::kWriteRecord, 0), FlatDatabase::kOk);
    EXPECT_EQ(FlatDatabase::RecordOperation(kTable, 1, record, 8, FlatDatabase::kReadRecord, 0), FlatDatabase::kBadArgument);
    EXPECT_EQ(FlatDatabase::CloseTable(kTable), FlatDatabase::kOk);

    ASSERT_EQ(FlatDatabase::OpenTable(kTable, path.c_str(), FlatDatabase::kRead), FlatDatabase::kOk);
    char read[16];
    std::memset(read, 0x55, sizeof read);
    ASSERT_EQ(FlatDatabase::RecordOperation(kTable, 3, read, 16, FlatDatabase::kReadRecord, 0), FlatDatabase::kOk);
    EXPECT_STREQ(read, "first");
    ASSERT_EQ(FlatDatabase::RecordOperation(kTable, 2, read, 16, FlatDatabase::kReadRecord, 0), FlatDatabase::kOk);
    EXPECT_EQ(read[0], 0);  // the gap was zero-filled
    EXPECT_EQ(FlatDatabase::RecordOperation(kTable, 4, read, 16, FlatDatabase::kReadRecord, 0), FlatDatabase::kNoRecord);
    FlatDatabase::CloseTable(kTable);

    // A file that is not a table, and one whose header promises more than it holds.
    { std::ofstream(path) << "this is not a table"; }
    EXPECT_EQ(FlatDatabase::OpenTable(kTable, path.c_str(), FlatDatabase::kRead), FlatDatabase::kBadFile);
    { std::ofstream(path, std::ios::binary) << std::string("QFDB\1\0\0\0\x10\0\0\0\x09\0\0\0", 16); }
    EXPECT_EQ(FlatDatabase::OpenTable(kTable, path.c_str(), FlatDatabase::kRead), FlatDatabase::kBadFile);
    std::remove(path.c_str());
}

TEST(Utility, NumberTextStaysInsideTheBuffer) {
    EXPECT_EQ(Utility::NumberToText(1.0 / 0.0, 0), "");
    char small[3];
    EXPECT_EQ(Utility::NumberToText(1234.0, small, sizeof small, 0), 2);
    EXPECT_STREQ(small, "12");
}

// Settings files are looked for in the folder the environment names, else the working folder.
TEST(Integration, SettingsFileInTheNamedFolder) {
    const char* previous = std::getenv("QUAN_SETTINGS_DIR");
    const std::string kept = previous != nullptr ? previous : "";
    ::setenv("QUAN_SETTINGS_DIR", "/opt/quan", 1);
    EXPECT_EQ(Integration::SettingsFilePath("Peaks"), "/opt/quan/Peaks.ini");
    ::setenv("QUAN_SETTINGS_DIR", "", 1);
    EXPECT_EQ(Integration::SettingsFilePath("Peaks"), "Peaks.ini");
    ::unsetenv("QUAN_SETTINGS_DIR");
    EXPECT_EQ(Integration::SettingsFilePath("Peaks"), "Peaks.ini");
    if (previous != nullptr) ::setenv("QUAN_SETTINGS_DIR", kept.c_str(), 1);
}

// A settings file gives the block what it names, each field at its own width; values a field
// cannot hold, unknown names and lines without '=' leave the block as it was.
TEST(Integration, SettingsFileFillsTheFieldsItNames) {
    char folder[] = "/tmp/quan-settings-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const char* previous = std::getenv("QUAN_SETTINGS_DIR");
    const std::string kept = previous != nullptr ? previous : "";
    ::setenv("QUAN_SETTINGS_DIR", folder, 1);
    std::ofstream(std::string(folder) + "/Peaks.ini")
        << "SmooWidth=7\r\nPkSplitting=12.5\nPkThreshMethod=65535\nChroAuto=-3\nPkMode=2147483648\n"
           "PkBalance=x\nNoSuchField=4\nSmooIter\nPkShldrDetect=-1\n";
    tagINTEGRATE_PARAMS block{};
    block.PkMode = 9;
    block.PkBalance = 0.5f;
    EXPECT_TRUE(Integration::ReadSettings(&block, "Peaks"));
    EXPECT_EQ(block.SmooWidth, 7);
    EXPECT_EQ(block.PkSplitting, 12.5f);
    EXPECT_EQ(block.PkThreshMethod, 65535);
    EXPECT_EQ(block.ChroAuto, -3);
    EXPECT_EQ(block.PkShldrDetect, -1);
    EXPECT_EQ(block.PkMode, 9);         // beyond 32 bits
    EXPECT_EQ(block.PkBalance, 0.5f);   // not a number
    std::ofstream(std::string(folder) + "/Peaks.ini") << "PkThreshMethod=65536\nSmooWidth=-2147483649\nChroAuto=2147483648\n";
    EXPECT_TRUE(Integration::ReadSettings(&block, "Peaks"));
    EXPECT_EQ(block.PkThreshMethod, 65535);
    EXPECT_EQ(block.SmooWidth, 7);
    EXPECT_EQ(block.ChroAuto, -3);
    std::ofstream(std::string(folder) + "/Peaks.ini") << "PkThreshMethod=0\nSmooWidth=-2147483648\nChroAuto=2147483647\n";
    EXPECT_TRUE(Integration::ReadSettings(&block, "Peaks"));  // the edges of each width are taken
    EXPECT_EQ(block.PkThreshMethod, 0);
    EXPECT_EQ(block.SmooWidth, INT32_MIN);
    EXPECT_EQ(block.ChroAuto, INT32_MAX);
    std::ofstream(std::string(folder) + "/Peaks.ini") << "PkThreshMethod=-1\n";
    EXPECT_TRUE(Integration::ReadSettings(&block, "Peaks"));
    EXPECT_EQ(block.PkThreshMethod, 0);
    EXPECT_FALSE(Integration::ReadSettings(&block, "Missing"));
    EXPECT_FALSE(Integration::ReadSettings(&block, ""));
    EXPECT_FALSE(Integration::ReadSettings(nullptr, "Peaks"));
    std::remove((std::string(folder) + "/Peaks.ini").c_str());
    ::rmdir(folder);
    if (previous != nullptr) ::setenv("QUAN_SETTINGS_DIR", kept.c_str(), 1);
    else ::unsetenv("QUAN_SETTINGS_DIR");
}

// Classes the host creates by name report their own name and their base's.
TEST(ClassFramework, CreatesRegisteredClassesByName) {
    namespace F = QuanClassFramework;
    const auto names = F::RegisteredClassNames();
    for (const char* name : {"CPeakList", "CPeakData", "CQuanLocate", "CCalibrationData"}) {
        EXPECT_TRUE(F::IsRegistered(name)) << name;
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
        const auto object = F::Create(name);
        ASSERT_NE(object, nullptr) << name;
        EXPECT_STREQ(object->GetClassName(), name);
        EXPECT_TRUE(object->IsKindOf(name));
    }
    EXPECT_EQ(F::Create("CNoSuchClass"), nullptr);
    EXPECT_FALSE(F::IsRegistered("CNoSuchClass"));
    const CMethodData entry;
    EXPECT_TRUE(entry.IsKindOf("CMethodRecord"));
    EXPECT_FALSE(entry.IsKindOf("CPeakData"));
    EXPECT_FALSE(entry.IsKindOf(nullptr));
    EXPECT_FALSE(F::RegisterClass("CPeakList", [] { return static_cast<CQuanObject*>(nullptr); }));
    EXPECT_TRUE(F::RegisterClass("CTestOnly", [] { return static_cast<CQuanObject*>(new CPeakList()); }));
    EXPECT_TRUE(F::IsRegistered("CTestOnly"));
    EXPECT_TRUE(F::UnregisterClass("CTestOnly"));
    EXPECT_FALSE(F::UnregisterClass("CTestOnly"));
}

// Element records read back byte for byte. A table whose records are not whole 1024-byte element
// records is refused (a shorter record would leave most of each element, response factors among
// it, unwritten) without disturbing the one open; every read starts from a zeroed record; and a
// stray close never drives the open count below zero.
TEST(PeriodicDatabase, ElementsReadBackByteForByte) {
    tagELEMENTstruct copper{};
    std::strcpy(copper.Symbol, "Cu");
    copper.ElementMass = 63.546;
    copper.Isotopes[1] = {62.929601, 69.17, 1.0, {}};
    copper.IsotopeInUse[1] = 1;
    std::memset(copper.reserved64, 0x5A, sizeof copper.reserved64);  // bytes no engine reads
    const std::string path = TempPath("elements.db");
    ASSERT_EQ(FlatDatabase::CreateTable(path, sizeof(tagELEMENTstruct)), FlatDatabase::kOk);
    ASSERT_TRUE(OpenFlatDatabase(kPeriodicDatabaseKind, path.c_str(), true));
    ASSERT_EQ(WriteElementRecord(29, copper), 0);
    ASSERT_TRUE(CloseFlatDatabase(kPeriodicDatabaseKind));

    ASSERT_TRUE(OpenFlatDatabase(kPeriodicDatabaseKind, path.c_str(), false));
    tagELEMENTstruct read;
    ASSERT_EQ(ReadElementRecord(29, read), 0);
    EXPECT_EQ(std::memcmp(&read, &copper, sizeof read), 0);
    // Elements below the highest written one exist but are empty; beyond it nothing is read.
    const auto* bytes = reinterpret_cast<const unsigned char*>(&read);
    for (int element : {26, 30}) {
        std::memset(&read, 0x5A, sizeof read);
        EXPECT_EQ(ReadElementRecord(element, read) == 0, element == 26);
        EXPECT_TRUE(std::all_of(bytes, bytes + sizeof read, [](unsigned char b) { return b == 0; })) << element;
    }
    EXPECT_NE(WriteElementRecord(30, copper), 0);  // opened for reading only

    // Tables of other record sizes are refused; the one opened first is still the one read.
    for (size_t recordSize : {1023u, 1025u}) {
        const std::string other = TempPath("other.db");
        ASSERT_EQ(FlatDatabase::CreateTable(other, recordSize), FlatDatabase::kOk);
        EXPECT_FALSE(OpenFlatDatabase(kPeriodicDatabaseKind, other.c_str(), false)) << recordSize;
        EXPECT_EQ(PeriodicDatabaseOpenCount(), 1) << recordSize;
        std::remove(other.c_str());
    }
    ASSERT_EQ(ReadElementRecord(29, read), 0);
    EXPECT_STREQ(read.Symbol, "Cu");

    EXPECT_TRUE(CloseFlatDatabase(kPeriodicDatabaseKind));
    EXPECT_NE(ReadElementRecord(29, read), 0);  // closed
    // A stray close is refused and leaves the count at zero, so the next open opens the table.
    EXPECT_FALSE(CloseFlatDatabase(kPeriodicDatabaseKind));
    EXPECT_EQ(PeriodicDatabaseOpenCount(), 0);
    ASSERT_TRUE(OpenFlatDatabase(kPeriodicDatabaseKind, path.c_str(), false));
    EXPECT_EQ(ReadElementRecord(29, read), 0);
    EXPECT_TRUE(CloseFlatDatabase(kPeriodicDatabaseKind));
    std::remove(path.c_str());
}

// Every indexed field of the method, sample and peak records, from their field tables: each slot
// keeps its own value, and an index before the first slot or past the last reads as the field's
// outside value and writes nowhere (a write past the end would land in the next field).
namespace {
// In stages over every field: all slots written, then all writes outside them, then all reads,
// so that a stray write into a neighbouring field is still there to be found.
template <typename Get, typename Set, typename Value>
void CheckSlots(int stage, const char* name, int count, Get get, Set set, Value (*valueOf)(int), Value outside) {
    SCOPED_TRACE(name);
    const int outsideIndices[] = {-1, count, count + 1};
    if (stage == 0) {
        for (int k = 0; k < count; ++k) set(k, valueOf(k + 1));
    } else if (stage == 1) {
        for (const int index : outsideIndices) set(index, valueOf(99));
    } else {
        for (int k = 0; k < count; ++k) EXPECT_EQ(get(k), valueOf(k + 1)) << k;
        for (const int index : outsideIndices) EXPECT_EQ(get(index), outside) << index;
    }
}
template <typename T> T NumberOf(int k) { return static_cast<T>(k); }
std::string TextOf(int k) { return "slot " + std::to_string(k); }
}  // namespace

TEST(RecordSlots, IndexedFieldsKeepTheirSlotsAndIgnoreIndicesOutsideThem) {
    CMethodRecord method;
    CSampleRecord sample;
    CPeakData peak;
    _tagINTERNAL_PEAK_DB_RECORD written;
    for (int stage = 0; stage < 3; ++stage) {
#define METHOD_INDEXED(type, Name, count)                                                                       \
    CheckSlots(stage, #Name, count, [&](int k) { return method.Get##Name(k); },                                       \
               [&](int k, type v) { method.Set##Name(k, v); }, NumberOf<type>, type{});
#define METHOD_INDEXED_TEXT(Name, count)                                                                        \
    CheckSlots(stage, #Name, count, [&](int k) { return method.Get##Name(k); },                                       \
               [&](int k, std::string v) { method.Set##Name(k, v); }, TextOf, std::string());
#include "platform/MethodRecordFields.def"
#define SAMPLE_INDEXED(type, Name, count)                                                                       \
    CheckSlots(stage, #Name, count, [&](int k) { return sample.Get##Name(k); },                                       \
               [&](int k, type v) { sample.Set##Name(k, v); }, NumberOf<type>, type{});
#define SAMPLE_INDEXED_TEXT(Name, count)                                                                        \
    CheckSlots(stage, #Name, count, [&](int k) { return sample.Get##Name(k); },                                       \
               [&](int k, std::string v) { sample.Set##Name(k, v); }, TextOf, std::string());
#include "platform/SampleRecordFields.def"
#define PEAK_ARRAY(offset, type, count, Name, outside)                                                          \
    CheckSlots(stage, #Name, count, [&](int k) { return peak.Get##Name(k); },                                         \
               [&](int k, type v) { peak.Set##Name(k, v); }, NumberOf<type>, type(outside));
#define PEAK_TEXT_ARRAY(offset, size, count, maxChars, Name)                                                    \
    CheckSlots(stage, #Name, count, [&](int k) { return std::string(peak.Get##Name(k) ? peak.Get##Name(k) : "none"); },  \
               [&](int k, std::string v) { peak.Set##Name(k, v); }, TextOf, std::string("none"));
#include "records/PeakFields.def"
        // The peak's fixed layout shows a stray write anywhere in the record.
        _tagINTERNAL_PEAK_DB_RECORD bytes;
        peak.GetPeak(bytes);
        if (stage == 0) std::memcpy(&written, &bytes, sizeof bytes);
        if (stage == 2) {
            EXPECT_EQ(std::memcmp(&written, &bytes, sizeof bytes), 0);
        }
    }
}
