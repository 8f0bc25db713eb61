// Numbers keep their decimal point while the host process runs in a decimal-comma locale
// (German): the method XML both ways, report texts, the element look-up by trace mass and the
// batch tool's CSV cells. Skipped, saying why, on a machine that cannot provide the locale.
#include <gtest/gtest.h>

#include <cstdio>
#include <locale>
#include <stdexcept>

#include "quan.h"
#include "workflow/support/Csv.h"

namespace {
class DecimalCommaLocale : public ::testing::Test {
protected:
    void SetUp() override {
        try {
            std::locale::global(std::locale("de_DE.UTF-8"));  // the C library's locale too
        } catch (const std::runtime_error&) {
            GTEST_SKIP() << "locale de_DE.UTF-8 is not available here (Debian: apt-get install locales; "
                            "localedef -i de_DE -f UTF-8 de_DE.UTF-8), so the decimal-comma case is not run";
        }
        char printed[8];
        std::snprintf(printed, sizeof printed, "%.1f", 2.5);
        ASSERT_STREQ(printed, "2,5") << "the locale is in force for the C library";
    }
    void TearDown() override { std::locale::global(std::locale::classic()); }
};

const char* const kHandWrittenMethod =
    "<?xml version=\"1.0\"?><METHODLIST><METHODENTRY Name=\"Atrazine\" LocateBy=\"1\" PredRT=\"12.5\" "
    "LocateRTWin=\"0.25\" QuanTrace=\"304.2\" QuantificationTraces=\"1\" PredResp=\"1234.5\"/></METHODLIST>";
}  // namespace

TEST_F(DecimalCommaLocale, MethodXmlReadsAndWritesWithAPoint) {
    CMethodList read;
    ASSERT_TRUE(read.ReadXML(std::string(kHandWrittenMethod)));
    ASSERT_EQ(read.GetSize(), 1) << "the entry was skipped";
    EXPECT_EQ(read.GetAt(0).GetPredRT(), 12.5f);

    Brisk::CXMLBuilderT<256> builder;
    ASSERT_TRUE(read.WriteXML(builder));
    const std::string written = builder.GetText();
    EXPECT_NE(written.find("PredRT=\"12.5\""), std::string::npos);
    CMethodList again;
    ASSERT_TRUE(again.ReadXML(written));
    EXPECT_TRUE(static_cast<const CMethodRecord&>(again.GetAt(0)) == read.GetAt(0));
}

TEST_F(DecimalCommaLocale, ReportTextsAndLookUpsUseAPoint) {
    const CPeakData peak;
    std::string fixed;
    peak.FormatNumber(0, 2, 0, 3.14159, fixed);
    EXPECT_EQ(fixed, "3.14");
    EXPECT_EQ(peak.SetStringSignificance(1.23e-5, 3), "0.0000123");
    EXPECT_EQ(Utility::NumberToText(62.9296, 2), "62.93");
    CPeakData quality;
    quality.SetPeakQualityStr("S/N #12.34567#");  // read and written again
    std::string field;
    double number = 0.0;
    quality.PeakGetFieldStr(CPeakData::PeakDataFields(177), false, field, number);
    EXPECT_EQ(field, "S/N 12.3457");

    // The element look-up takes the trace's nominal mass: 62.93 rounds to copper's isotope 63.
    tagELEMENTstruct copper{};
    copper.Isotopes[1] = {62.9296, 69.17, 0.8, {}};
    copper.IsotopeInUse[1] = 1;
    CMethodData entry;
    entry.SetQuanTrace("62.93");
    EXPECT_EQ(CQuanQuantify::FindResponseFactor(&entry, copper), 0.8);

    double cell = 0.0;
    EXPECT_TRUE(Csv::ToDouble(" 12.5 ", cell));
    EXPECT_EQ(cell, 12.5);
    EXPECT_FALSE(Csv::ToDouble("12,5", cell));  // a comma separates cells; it is never a decimal mark
}
