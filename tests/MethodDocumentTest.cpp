// The method document: list settings read beside the entries, checked where they stand, and
// written back by both forms so that a method read and written again keeps every setting; and
// the one problem type's text, which every front end prints.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/Problem.h"
#include "workflow/method/MethodDocument.h"

namespace {

using MethodTools::MethodDocument;

const std::string kEntries =
    "  <METHODENTRY Name=\"IS\" LocateBy=\"RT\" PredRT=\"5\" LocateRTWin=\"0.2\" QuanTrace=\"100>50\"/>\n"
    "  <METHODENTRY Name=\"A\" LocateBy=\"RT\" PredRT=\"6\" LocateRTWin=\"0.2\" QuanTrace=\"120>60\" RRef=\"1\"/>\n";

std::string Document(const std::string& listAttributes) {
    return "<?xml version=\"1.0\"?>\n<METHODLIST" + listAttributes + ">\n" + kEntries + "</METHODLIST>\n";
}

TEST(MethodDocument, ListSettingsReadBesideTheEntriesAndOverrideTheRuleSet) {
    MethodDocument document;
    Quan::Problems problems;
    ASSERT_TRUE(document.Read("m.xml", Document(" OutlierLimit=\"2.5\" StandardTolerance=\"10\" Acceptance=\"sante\""),
                              problems))
        << Quan::ProblemsText(problems);
    EXPECT_EQ(document.GetSize(), 2);
    const Batch::ReviewSettings& review = document.settings.review;
    EXPECT_EQ(review.rules, Batch::RuleSet::kPesticideResidues);
    // The rule set is applied first, whatever the attribute order: the method's limit stays.
    EXPECT_EQ(review.limits.standardTolerance, 10.0);
    EXPECT_EQ(review.limits.ionRatioTolerance, 30.0);  // SANTE's own
    EXPECT_EQ(review.outlierLimit, 2.5);
    EXPECT_FALSE(review.excludeOutliers);

    // Without list settings: no rules, nothing excluded automatically.
    ASSERT_TRUE(document.Read("m.xml", Document(""), problems));
    EXPECT_EQ(document.settings, MethodTools::ListSettings());
}

TEST(MethodDocument, BadListSettingsAreProblemsAtTheirPlaceAndChangeNothing) {
    const struct { const char* attributes; const char* expected; } cases[] = {
        {" Acceptance=\"FDA\"", "m.xml:2:1: METHODLIST Acceptance=\"FDA\": the acceptance rules are none, M10 or SANTE"},
        {" Acceptence=\"SANTE\"", "m.xml:2:13: METHODLIST: \"Acceptence\" is not a method list setting"},
        {" OutlierExclusion=\"maybe\"", "m.xml:2:1: METHODLIST OutlierExclusion=\"maybe\": on or off"},
        {" OutlierLimit=\"0\"", "m.xml:2:1: METHODLIST OutlierLimit=\"0\": a studentized residual above 0 is needed"},
        {" OutlierMinPoints=\"-1\"", "METHODLIST OutlierMinPoints=\"-1\": a number of points from 0 to"},
        {" MinStandardsPassingPercent=\"101\"", "METHODLIST MinStandardsPassingPercent=\"101\": a number from 0 to 100"},
        {" QCTolerance=\"x\"", "METHODLIST QCTolerance=\"x\": a number from 0 to"},
    };
    for (const auto& c : cases) {
        MethodDocument document;
        Quan::Problems problems;
        ASSERT_TRUE(document.Read("m.xml", Document(" Acceptance=\"M10\""), problems));
        EXPECT_FALSE(document.Read("m.xml", Document(c.attributes), problems)) << c.attributes;
        ASSERT_EQ(problems.size(), 1u) << Quan::ProblemsText(problems);
        EXPECT_NE(problems[0].Text().find(c.expected), std::string::npos) << problems[0].Text();
        // A document that did not read keeps what it held.
        EXPECT_EQ(document.settings.review.rules, Batch::RuleSet::kBioanalytical) << c.attributes;
        EXPECT_EQ(document.GetSize(), 2);
    }
}

TEST(MethodDocument, BothWrittenFormsKeepEverySetting) {
    MethodDocument document;
    Quan::Problems problems;
    ASSERT_TRUE(document.Read(
        "m.xml",
        Document(" Acceptance=\"M10\" QCTolerance=\"12.5\" MinQCsPassingPercent=\"0\" OutlierExclusion=\"on\" "
                 "OutlierLimit=\"3.25\" OutlierMinPoints=\"5\""),
        problems));
    for (const bool readable : {true, false}) {
        MethodDocument again;
        ASSERT_TRUE(again.Read("again.xml", document.Xml(readable), problems)) << Quan::ProblemsText(problems);
        EXPECT_EQ(again.settings, document.settings) << readable;
        ASSERT_EQ(again.GetSize(), 2);
        EXPECT_EQ(again.GetAt(1).GetRRef(), 1);
        EXPECT_EQ(again.GetAt(1).GetQuanTrace(), "120>60");
        // Written again, the text is the same: nothing drifts from one round to the next.
        EXPECT_EQ(again.Xml(readable), document.Xml(readable));
    }
    // Only what differs from the rule set's own is written, after the rule set.
    const auto attributes = MethodTools::ListAttributes(document.settings);
    ASSERT_EQ(attributes.size(), 6u);
    EXPECT_EQ(attributes[0], (std::pair<std::string, std::string>{"Acceptance", "M10"}));
    EXPECT_EQ(attributes[1], (std::pair<std::string, std::string>{"QCTolerance", "12.5"}));
    EXPECT_EQ(attributes[2], (std::pair<std::string, std::string>{"MinQCsPassingPercent", "0"}));

    // Through a file: written whole and read back the same; a file that cannot be written or
    // read is a problem naming it, and the document read into keeps what it held.
    const std::string folder = ::testing::TempDir() + "quan_document_" + std::to_string(::getpid());
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    MethodDocument fromFile;
    ASSERT_TRUE(document.Write(folder + "/m.xml", true, problems)) << Quan::ProblemsText(problems);
    ASSERT_TRUE(fromFile.ReadFile(folder + "/m.xml", problems)) << Quan::ProblemsText(problems);
    EXPECT_EQ(fromFile.settings, document.settings);
    EXPECT_EQ(fromFile.Xml(true), document.Xml(true));
    problems.clear();
    EXPECT_FALSE(document.Write(folder + "/missing/m.xml", true, problems));
    EXPECT_FALSE(fromFile.ReadFile(folder + "/missing.xml", problems));
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].file, folder + "/missing/m.xml");
    EXPECT_EQ(problems[1].file, folder + "/missing.xml");
    EXPECT_EQ(fromFile.Xml(true), document.Xml(true));
    std::remove((folder + "/m.xml").c_str());
    ::rmdir(folder.c_str());

    // A plain method writes a plain list element, as stored methods have it.
    MethodDocument plain;
    ASSERT_TRUE(plain.Read("m.xml", Document(""), problems));
    EXPECT_NE(plain.Xml(false).find("<METHODLIST>"), std::string::npos);
    EXPECT_NE(plain.Xml(true).find("<METHODLIST>"), std::string::npos);
}

TEST(MethodDocument, CheckFindsWhatAProgramSetOutOfBounds) {
    MethodDocument document;
    Quan::Problems problems;
    ASSERT_TRUE(document.Read("m.xml", Document(" Acceptance=\"SANTE\""), problems));
    document.Check("m.xml", problems);
    EXPECT_TRUE(problems.empty()) << Quan::ProblemsText(problems);

    document.settings.review.outlierLimit = -2.0;
    document.settings.review.limits.minStandardsPassingPercent = 150.0;
    document.Check("m.xml", problems);
    ASSERT_EQ(problems.size(), 2u) << Quan::ProblemsText(problems);
    EXPECT_NE(problems[0].Text().find("MinStandardsPassingPercent=\"150\""), std::string::npos);
    EXPECT_NE(problems[1].Text().find("OutlierLimit=\"-2\""), std::string::npos);
    // Such a document does not read back either.
    MethodDocument again;
    problems.clear();
    EXPECT_FALSE(again.Read("again.xml", document.Xml(), problems));
    EXPECT_EQ(problems.size(), 2u);

    // An entry's enumerated setting a program set to a number no table row has.
    MethodDocument entries;
    ASSERT_TRUE(entries.Read("m.xml", Document(""), problems));
    entries.GetAt(1).SetCCalc(9);
    entries.GetAt(0).SetWeightingFunction(-1);
    problems.clear();
    entries.Check("m.xml", problems);
    ASSERT_EQ(problems.size(), 2u) << Quan::ProblemsText(problems);
    EXPECT_NE(problems[0].Text().find("WeightingFunction -1 is not one of"), std::string::npos) << problems[0].Text();
    EXPECT_NE(problems[1].Text().find("CCalc 9 is not one of"), std::string::npos) << problems[1].Text();
}

TEST(Problem, TextLeavesOutWhatIsNotKnown) {
    const struct { Quan::Problem problem; const char* text; } cases[] = {
        {{"m.xml", 4, 50, "bad window"}, "m.xml:4:50: bad window"},
        {{"m.xml", 4, 0, "bad row"}, "m.xml:4: bad row"},
        {{"m.xml", 0, 7, "bad file"}, "m.xml: bad file"},
        {{"a.mzML", 0, 0, "no times", "chromatogram \"TIC\""}, "a.mzML: chromatogram \"TIC\": no times"},
        {{"a.txt", 12, 0, "not a number", "spectrum index 3"}, "a.txt:12: spectrum index 3: not a number"},
        {{"", 0, 0, "times go backwards", "chromatogram c1"}, "chromatogram c1: times go backwards"},
        {{"", 0, 0, "no batch folder"}, "no batch folder"},
    };
    Quan::Problems all;
    std::string expected;
    for (const auto& c : cases) {
        EXPECT_EQ(c.problem.Text(), c.text);
        all.push_back(c.problem);
        expected += (expected.empty() ? "" : "\n") + std::string(c.text);
    }
    EXPECT_EQ(Quan::ProblemsText(all), expected);
    EXPECT_EQ(Quan::ProblemsText({}), "");
}

}  // namespace
