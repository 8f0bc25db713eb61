// Method tools: the method checks that quan-method check and quan-batch share, and transition
// lists in and out.
#include <gtest/gtest.h>

#include "quan.h"
#include "tools/method/MethodCheck.h"
#include "tools/method/MethodXml.h"
#include "tools/method/TransitionList.h"

namespace {

using MethodTools::Problems;

std::string AllText(const Problems& problems) {
    std::string text;
    for (const auto& problem : problems) text += problem.Text() + "\n";
    return text;
}

// A transition list read and built into a method, as quan-method import does.
bool Import(const std::string& list, const MethodTools::ImportOptions& options, CMethodList& method, Problems& problems) {
    std::vector<MethodTools::Transition> transitions;
    Problems notes;
    return MethodTools::ReadTransitions("list", list, options, transitions, problems, notes) &&
           MethodTools::BuildMethod("list", transitions, options, method, problems, notes);
}

// A sound method, lines 1 to 6; each case spoils it in one place.
const char* const kSoundMethod =
    "<?xml version=\"1.0\"?>\n<METHODLIST>\n"
    "  <METHODENTRY Name=\"IS\" LocateBy=\"RT\" PredRT=\"5\" LocateRTWin=\"0.2\" QuanTrace=\"100>50\" RCalc=\"External Std\" CalCompound=\"IS\"/>\n"
    "  <METHODENTRY Name=\"A\" LocateBy=\"RT\" PredRT=\"6\" LocateRTWin=\"0.2\" QuanTrace=\"120>60\" TargetTrace0=\"120>40\" "
    "TargetRatio0=\"2\" TargetWindow0=\"20\" RCalc=\"Internal Std\" RRef=\"1\" TotalsGroup=\"G\"/>\n"
    "  <METHODENTRY Name=\"T\" LocateBy=\"RRT\" PredRRT=\"1.1\" RRTRef=\"1\" LocateRTWin=\"0.2\" LocateChoice=\"5\" "
    "TotalsGroup=\"G\" QuanTrace=\"TIC\"/>\n"
    "</METHODLIST>\n";

TEST(MethodCheck, EveryProblemNamesItsLineColumnAndSetting) {
    const struct {
        const char* from;
        const char* to;
        int line;
        const char* attribute;  // the problem points at it; null: at the entry's element
        const char* message;
    } cases[] = {
        {"RRef=\"1\"", "RRef=\"1\" XYTrans=\"Log10\"", 4, "XYTrans",
         "entry 2: XYTrans=\"Log10\" is not one of N (None), L (Ln), T (Log), S (Square Root)"},
        {"PredRT=\"5\"", "PredRT=\"nan\"", 3, "PredRT", "entry 1: PredRT=\"nan\" is not a finite number"},
        {"PredRT=\"5\"", "PredRt=\"5\"", 3, "PredRt", "entry 1: \"PredRt\" is not a method setting"},
        {"LocateRTWin=\"0.2\" QuanTrace=\"120", "LocateRTWin=\"-1\" QuanTrace=\"120", 4, "LocateRTWin",
         "entry 2 (A): its retention-time window LocateRTWin is -1; it must be above 0"},
        {" RRef=\"1\"", "", 4, nullptr, "entry 2 (A): its response (Internal Std) needs an internal standard and RRef names none"},
        {"RRTRef=\"1\"", "RRTRef=\"3\"", 5, "RRTRef", "entry 3 (T): it is its own RRT reference"},
        {"QuanTrace=\"100>50\"", "QuanTrace=\"100>\"", 3, "QuanTrace",
         "entry 1 (IS): its quantification trace \"100>\" is not a mass, a transition or a name"},
        {"Name=\"A\"", "Name=\"IS\"", 4, nullptr, "entry 2 has the name \"IS\" of an earlier entry"},
        {"<?xml version=\"1.0\"?>", "", 1, nullptr, "the document does not start with the declaration"},
    };
    CMethodList sound;
    Problems none;
    EXPECT_TRUE(MethodTools::ReadMethodText("method.xml", kSoundMethod, sound, none)) << AllText(none);
    EXPECT_EQ(sound.GetSize(), 3);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.to);
        std::string text = kSoundMethod;
        const size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, std::string(c.from).size(), c.to);
        // The column, counted independently: where the attribute (or the element) starts on its line.
        size_t lineStart = 0;
        for (int line = 1; line < c.line; ++line) lineStart = text.find('\n', lineStart) + 1;
        const std::string lineText = text.substr(lineStart, text.find('\n', lineStart) - lineStart);
        const size_t column = c.line == 1 ? 0 : lineText.find(c.attribute ? std::string(" ") + c.attribute + "=" : "<") + (c.attribute ? 1 : 0);
        CMethodList method;
        Problems problems;
        EXPECT_FALSE(MethodTools::ReadMethodText("method.xml", text, method, problems));
        ASSERT_EQ(problems.size(), 1u) << AllText(problems);
        const std::string expected = "method.xml:" + std::to_string(c.line) + ":" + std::to_string(column + 1) + ": " + c.message;
        EXPECT_EQ(problems[0].Text().substr(0, expected.size()), expected);
    }
}

std::string Trace(const CMethodData& e, int slot) { return slot < 0 ? e.GetQuanTrace() : e.GetTargetTrace(slot); }

TEST(TransitionList, OneEntryPerCompoundWithItsQualifiersRatiosAndStandard) {
    // OpenSWATH style: retention times in seconds, library intensities, a decoy that is left out.
    const std::string openSwath =
        "transition_group_id,transition_name,PrecursorMz,ProductMz,RetentionTime,LibraryIntensity,LabelType,quantifying_transition,decoy\n"
        "caf,caf_1,195.1,138.1,90,1000,light,TRUE,0\n"
        "caf,caf_2,195.1,110.05,90,250,light,FALSE,0\n"
        "caf,caf_3,195.1,83,90,400,light,FALSE,0\n"
        "caf,caf_h1,198.1,140.1,89.4,1000,heavy,TRUE,0\n"
        "caf,caf_d,195.1,42,90,1,light,FALSE,1\n";
    // Small-molecule style, tab-separated: single-ion traces, times and full-width windows in minutes.
    const std::string molecule =
        "Molecule List Name\tMolecule Name\tPrecursor m/z\tProduct m/z\tExplicit Retention Time\t"
        "Explicit Retention Time Window\tLabel Type\tQuantitative\tNote\n"
        "PAH\tNaphthalene\t128.1\t\t7.46\t0.4\tlight\tTrue\t\n"
        "PAH\tNaphthalene\t127.1\t0\t7.46\t0.4\tlight\tFalse\t\n"
        "PAH\tNaphthalene\t136.1\t\t7.42\t0.4\t\tTrue\tISTD\n";
    MethodTools::ImportOptions options;
    options.curveType = 2;
    options.weighting = 1;
    const struct {
        const std::string* list;
        const char* name;
        const char* traces[3];  // quantification, qualifier 0, qualifier 1
        double ratios[2];
        float rt, window;
        int rcalc, rref, ccalc, stdLevels, weighting;
    } cases[] = {
        {&openSwath, "caf", {"195.1>138.1", "195.1>110.05", "195.1>83"}, {4.0, 2.5}, 1.5f, 0.5f, 1, 2, 2, 2, 1},
        {&openSwath, "caf (heavy)", {"198.1>140.1", "", ""}, {0, 0}, 1.49f, 0.5f, 0, 0, 0, 0, 0},
        {&molecule, "Naphthalene", {"128.1", "127.1", ""}, {0, 0}, 7.46f, 0.2f, 1, 2, 2, 2, 1},
        {&molecule, "Naphthalene (heavy)", {"136.1", "", ""}, {0, 0}, 7.42f, 0.2f, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Problems problems;
        CMethodList method;
        ASSERT_TRUE(Import(*c.list, options, method, problems)) << AllText(problems);
        ASSERT_EQ(method.GetSize(), 2);
        const int index = method.GetAt(0).GetName() == c.name ? 0 : 1;
        const CMethodData& e = method.GetAt(index);
        EXPECT_EQ(e.GetName(), c.name);
        for (int slot = -1; slot < 2; ++slot) EXPECT_EQ(Trace(e, slot), c.traces[slot + 1]) << slot;
        for (int slot = 0; slot < 2; ++slot) EXPECT_DOUBLE_EQ(e.GetTargetRatio(slot), c.ratios[slot]) << slot;
        EXPECT_EQ(e.GetTargetWindow(0), c.traces[1][0] ? 20 : 0);
        EXPECT_FLOAT_EQ(e.GetPredRT(), c.rt);
        EXPECT_FLOAT_EQ(e.GetLocateRTWin(), c.window);
        EXPECT_EQ((std::vector<int>{e.GetLocateBy(), e.GetRCalc(), e.GetRRef(), e.GetCCalc(), e.GetStdLevels(), e.GetWeightingFunction()}),
                  (std::vector<int>{1, c.rcalc, c.rref, c.ccalc, c.stdLevels, c.weighting}));
        EXPECT_EQ(e.GetCalCompound(), c.name);
        EXPECT_EQ(e.GetStdConc(), c.rcalc == 0 ? 1.0 : 0.0);
    }
}

TEST(TransitionList, EveryBadListIsRefusedWithLineAndColumn) {
    const std::string sound =
        "Compound,Precursor m/z,Product m/z,RT,Label Type,Quantitative,Internal Standard\n"
        "A,100,50,1.0,light,True,\n"
        "A,100,40,1.0,light,False,\n"
        "A,104,54,1.0,heavy,True,\n"
        "B,200,80,2.0,light,True,A\n";
    const struct { const char* from; const char* to; const char* expected; } cases[] = {
        {",RT,", ",Time,", "list:1: no column gives the retention time"},
        {"A,100,50,1.0,light,True", "A,100,50,1.0,light,False", "list:2:6: compound \"A\" has no quantifying transition"},
        {"A,100,40", "A,100,50", "list:3:1: compound \"A\" has the transition 100>50 twice (also on line 2)"},
        {"B,200,80", "B,2OO,80", "list:5:2: \"2OO\" is not a precursor m/z"},
        {"A,104,54", "C,104,54", "list:4:1: heavy compound \"C\" has no light partner (and compound \"A\" has no internal standard)"},
        {"B,200,80,2.0,light,True,A", "A (heavy),200,80,2.0,light,True,", "list:5:1: the compound name \"A (heavy)\" is already used on line 4"},
        {"B,200,80,2.0,light,True,A", "B,200,80,,light,True,A", "list:5:4: compound \"B\" has no retention time"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        std::string text = sound;
        text.replace(text.find(c.from), std::string(c.from).size(), c.to);
        Problems problems;
        CMethodList method;
        EXPECT_FALSE(Import(text, {}, method, problems));
        EXPECT_EQ(method.GetSize(), 0);
        ASSERT_EQ(problems.size(), 1u) << AllText(problems);
        EXPECT_EQ(problems[0].Text().substr(0, std::string(c.expected).size()), c.expected);
    }
}

TEST(TransitionList, ImportExportImportGivesTheSameMethod) {
    // A cut of a lab's OpenSWATH list: heavy and light pairs, qualifiers, a pooled standard of its own.
    const std::string path = std::string(QUAN_SOURCE_DIR) + "/tests/data/yeast-transitions.csv";
    CMethodList method;
    Problems problems, notes;
    ASSERT_TRUE(MethodTools::ImportTransitionList(path, {}, method, problems, notes)) << AllText(problems);
    MethodTools::CheckMethod(path, method, {}, problems);
    EXPECT_TRUE(problems.empty()) << AllText(problems);
    ASSERT_EQ(method.GetSize(), 11);
    // The pooled standard keeps its name; every library intensity is 1, so no ratio.
    EXPECT_EQ(method.GetAt(8).GetName(), "Pool_cit_icit");
    EXPECT_EQ(method.GetAt(3).GetTargetTrace(0), "131>95");
    EXPECT_EQ(method.GetAt(3).GetTargetRatio(0), 0.0);
    using MethodTools::ListStyle, MethodTools::TimeUnit;
    const std::pair<ListStyle, TimeUnit> ways[] = {{ListStyle::kOpenSwath, TimeUnit::kSeconds},
                                                   {ListStyle::kOpenSwath, TimeUnit::kMinutes},
                                                   {ListStyle::kSmallMolecule, TimeUnit::kMinutes}};
    // Ratios as import keeps them (six significant digits), through intensities and back.
    const double kRatios[] = {0.28, 1.85, 0.333333, 12.5, 0.0123457, 3};
    for (int withRatios = 0; withRatios < 2; ++withRatios) {
        CMethodList original = method;
        int next = 0;
        for (int i = 0; withRatios && i < original.GetSize(); ++i)
            for (int k = 0; k < 4; ++k)
                if (!original.GetAt(i).GetTargetTrace(k).empty())
                    original.GetAt(i).SetTargetRatio(k, kRatios[next++ % std::size(kRatios)]);
        for (const auto& [style, unit] : ways) {
            SCOPED_TRACE(static_cast<int>(style) * 10 + static_cast<int>(unit) + withRatios * 100);
            Problems lost;
            const std::string list = MethodTools::TransitionListText(original, style, unit, lost);
            EXPECT_TRUE(lost.empty()) << AllText(lost);
            CMethodList back;
            MethodTools::ImportOptions options;
            options.rtUnit = unit;
            ASSERT_TRUE(Import(list, options, back, problems)) << AllText(problems);
            ASSERT_EQ(back.GetSize(), original.GetSize());
            for (int i = 0; i < back.GetSize(); ++i) EXPECT_TRUE(back.GetAt(i) == original.GetAt(i)) << original.GetAt(i).GetName();
        }
    }
}

}  // namespace
