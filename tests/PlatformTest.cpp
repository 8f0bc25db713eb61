// The stand-ins for the outside components: comparitors, word match, sample record, class
// framework, flat database, security, raw data, utility, integration settings and keywords.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <unistd.h>

#include "quan.h"

namespace {
std::string TempPath(const char* name) {
    return std::string(::testing::TempDir()) + "/quan_" + std::to_string(::getpid()) + "_" + name;
}
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

TEST(MassStringComparitor, ReferenceCount) {
    auto* comparitor = new CMassStringComparitor("304.2", 0.005);
    EXPECT_EQ(comparitor->GetCount(), 1);
    EXPECT_EQ(comparitor->AddCount(), comparitor);
    EXPECT_FALSE(comparitor->RemoveCount());
    EXPECT_TRUE(comparitor->RemoveCount());
    delete comparitor;
}

TEST(WordMatch, ListComparison) {
    const struct {
        const char* first;
        const char* second;
        bool match;
    } cases[] = {
        {"PAH", "pah", true},       {"PAH, EPA16", "epa16", true}, {"PAH;EPA16", "EPA16", true},
        {"PAH EPA", "PCB", false},  {"", "PAH", false},            {"PAH", "", false},
        {" , ; ", " ", false},      {"PAHS", "PAH", false},
    };
    for (const auto& c : cases) EXPECT_EQ(WordMatch::ListsShareWord(c.first, c.second), c.match) << c.first << "|" << c.second;
    CMethodRecord record;
    record.SetTotalsGroup("Dioxins, Furans");
    EXPECT_TRUE(record.IsMemberOf("furans"));
    EXPECT_FALSE(record.IsMemberOf("PCB"));
}

TEST(SampleRecord, TypeTextBothWays) {
    const struct {
        int type;
        const char* text;
    } cases[] = {{0, "Analyte"}, {1, "Standard"}, {2, "QC"}, {3, "Blank"}, {6, "Recovery"}, {7, "Solvent"}, {4, "4"}, {-2, "-2"}};
    for (const auto& c : cases) {
        CSampleRecord record;
        record.SetType(c.type);
        EXPECT_EQ(record.GetType(), c.text);
        CSampleRecord parsed;
        EXPECT_TRUE(parsed.SetType(c.text));
        int type = -99;
        parsed.GetType(type);
        EXPECT_EQ(type, c.type) << c.text;
    }
    CSampleRecord record;
    EXPECT_TRUE(record.SetType("sTaNdArD"));
    int type = 0;
    record.GetType(type);
    EXPECT_EQ(type, 1);
    EXPECT_FALSE(record.SetType("Unknown"));
    EXPECT_FALSE(record.SetType(static_cast<const char*>(nullptr)));
    record.GetType(type);
    EXPECT_EQ(type, 1);
    // indexed members ignore an index outside their range
    record.SetConcentration(19, 5.0);
    record.SetConcentration(20, 7.0);
    EXPECT_EQ(record.GetConcentration(19), 5.0);
    EXPECT_EQ(record.GetConcentration(20), 0.0);
    EXPECT_EQ(record.GetMass(-1), "");
}

namespace {
class Probe : public CQuanObject {
    QUAN_DECLARE_CLASS(Probe)
};
}  // namespace

TEST(ClassFramework, CreationByName) {
    EXPECT_TRUE(QuanClassFramework::RegisterClass("Probe", [] { return static_cast<CQuanObject*>(new Probe()); }));
    EXPECT_FALSE(QuanClassFramework::RegisterClass("Probe", [] { return static_cast<CQuanObject*>(new Probe()); }));
    auto object = QuanClassFramework::Create("Probe");
    ASSERT_NE(object, nullptr);
    EXPECT_STREQ(object->GetClassName(), "Probe");
    EXPECT_TRUE(QuanClassFramework::UnregisterClass("Probe"));
    EXPECT_EQ(QuanClassFramework::Create("Probe"), nullptr);
    EXPECT_EQ(QuanClassFramework::Create("NoSuchClass"), nullptr);
    auto list = QuanClassFramework::Create("CMethodList");
    ASSERT_NE(list, nullptr);
    EXPECT_NE(dynamic_cast<CMethodList*>(list.get()), nullptr);
}

TEST(FlatDatabase, RecordsByNumber) {
    const std::string path = TempPath("flat.db");
    constexpr int kTable = 42;
    ASSERT_EQ(FlatDatabase::CreateTable(path, 16), FlatDatabase::kOk);
    char record[16] = "first";
    EXPECT_EQ(FlatDatabase::RecordOperation(kTable, 1, record, 16, FlatDatabase::kReadRecord, 0), FlatDatabase::kNotOpen);
    ASSERT_EQ(FlatDatabase::OpenTable(kTable, path.c_str(), FlatDatabase::kRead), FlatDatabase::kOk);
    EXPECT_EQ(FlatDatabase::RecordOperation(kTable, 1, record, 16, FlatDatabase::kWriteRecord, 0), FlatDatabase::kReadOnly);
    ASSERT_EQ(FlatDatabase::OpenTable(kTable, path.c_str(), FlatDatabase::kReadWrite | FlatDatabase::kPrivileged),
              FlatDatabase::kOk);
    EXPECT_EQ(FlatDatabase::RecordOperation(kTable, 3, record, 16, FlatDatabase::kWriteRecord, 0), FlatDatabase::kOk);
    EXPECT_EQ(FlatDatabase::RecordCount(kTable), 3);
    EXPECT_EQ(FlatDatabase::RecordOperation(kTable, 1, record, 8, FlatDatabase::kReadRecord, 0), FlatDatabase::kBadArgument);
    EXPECT_EQ(FlatDatabase::CloseTable(kTable), FlatDatabase::kOk);
    EXPECT_EQ(FlatDatabase::CloseTable(kTable), FlatDatabase::kNotOpen);

    ASSERT_EQ(FlatDatabase::OpenTable(kTable, path.c_str(), FlatDatabase::kRead), FlatDatabase::kOk);
    char read[16];
    std::memset(read, 0x55, sizeof read);
    ASSERT_EQ(FlatDatabase::RecordOperation(kTable, 3, read, 16, FlatDatabase::kReadRecord, 0), FlatDatabase::kOk);
    EXPECT_STREQ(read, "first");
    ASSERT_EQ(FlatDatabase::RecordOperation(kTable, 2, read, 16, FlatDatabase::kReadRecord, 0), FlatDatabase::kOk);
    EXPECT_EQ(read[0], 0);  // the gap was zero-filled
    EXPECT_EQ(FlatDatabase::RecordOperation(kTable, 4, read, 16, FlatDatabase::kReadRecord, 0), FlatDatabase::kNoRecord);
    EXPECT_EQ(FlatDatabase::RecordOperation(kTable, 0, read, 16, FlatDatabase::kReadRecord, 0), FlatDatabase::kBadArgument);
    FlatDatabase::CloseTable(kTable);

    EXPECT_EQ(FlatDatabase::OpenTable(kTable, (path + ".missing").c_str(), FlatDatabase::kRead), FlatDatabase::kNoFile);
    EXPECT_FALSE(FlatDatabase::IsOpen(kTable));
    // A file that is not a table, and one whose header promises more than it holds.
    { std::ofstream(path) << "this is not a table"; }
    EXPECT_EQ(FlatDatabase::OpenTable(kTable, path.c_str(), FlatDatabase::kRead), FlatDatabase::kBadFile);
    {
        std::ofstream file(path, std::ios::binary);
        const unsigned char header[16] = {'Q', 'F', 'D', 'B', 1, 0, 0, 0, 16, 0, 0, 0, 9, 0, 0, 0};
        file.write(reinterpret_cast<const char*>(header), 16);
    }
    EXPECT_EQ(FlatDatabase::OpenTable(kTable, path.c_str(), FlatDatabase::kRead), FlatDatabase::kBadFile);
    std::remove(path.c_str());
}

TEST(Security, PermissionsAreGrantedExplicitly) {
    EXPECT_FALSE(Security::IsPermissionGranted(1002, false));
    Security::GrantPermission(1002, true);
    const int audited = Security::AuditedEnquiries();
    EXPECT_TRUE(Security::IsPermissionGranted(1002, false));
    EXPECT_EQ(Security::AuditedEnquiries(), audited);
    Security::GrantPermission(1002, false);
    EXPECT_FALSE(Security::IsPermissionGranted(1002, true));
    EXPECT_EQ(Security::AuditedEnquiries(), audited + 1);
}

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

TEST(Utility, NumberToTextAndProject) {
    EXPECT_EQ(Utility::NumberToText(62.9296, 0), "63");
    EXPECT_EQ(Utility::NumberToText(106.905, 2), "106.91");
    EXPECT_EQ(Utility::NumberToText(1.0 / 0.0, 0), "");
    char small[3];
    EXPECT_EQ(Utility::NumberToText(1234.0, small, sizeof small, 0), 2);
    EXPECT_STREQ(small, "12");
    Utility::SetCurrentProject("/data/projects", "Soil2026");
    EXPECT_EQ(Utility::GetCurrentProjectFolder(), "/data/projects");
    EXPECT_EQ(Utility::GetCurrentProjectName(), "Soil2026");
}

TEST(Integration, SettingsFileFillsTheBlock) {
    const std::string folder = ::testing::TempDir();
    setenv("QUAN_SETTINGS_DIR", folder.c_str(), 1);
    const std::string path = Integration::SettingsFilePath("ChrIntegrate");
    {
        std::ofstream file(path);
        file << "PkMode=3\r\nPkBalance=0.25\nPkThreshMethod=70000\nNoSuchSetting=1\nSmooWidth=abc\n";
    }
    CMethodData entry;
    entry.SetPkMode(9);  // ignored: the settings file decides
    tagINTEGRATE_PARAMS block;
    ASSERT_TRUE(entry.GetIntegrateParameters(&block, true));
    EXPECT_EQ(block.PkMode, 3);
    EXPECT_EQ(block.PkBalance, 0.25f);
    EXPECT_EQ(block.PkThreshMethod, 0);  // out of range for its 16 bits: left as cleared
    EXPECT_EQ(block.SmooWidth, 0);
    EXPECT_EQ(block.Constant2, 0);
    std::remove(path.c_str());
    // Without a settings file the block stays cleared, and the call still succeeds.
    ASSERT_TRUE(entry.GetIntegrateParameters(&block, true));
    EXPECT_EQ(block.PkMode, 0);
    unsetenv("QUAN_SETTINGS_DIR");
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
