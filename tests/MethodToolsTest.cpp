// Method tools: the method checks that quan-method check and quan-batch share, and transition
// lists read into methods. The round trip of a list through export and import is the method
// tools fuzz target's; a bad list's refusal is the Python module's.
#include <gtest/gtest.h>

#include <cstdio>

#include "BatchTestSupport.h"
#include "quan.h"
#include "workflow/method/MethodCheck.h"
#include "workflow/method/MethodXml.h"
#include "workflow/method/TransitionList.h"

namespace {

using MethodTools::Problems;
using namespace batch_test;

std::string AllText(const Problems& problems) {
    std::string text;
    for (const auto& problem : problems) text += problem.Text() + "\n";
    return text;
}

// A method of an internal standard and a second entry "A", the second with `from` replaced by
// `to` (or `to` added when `from` is empty), read and checked as the file `file`.
bool ReadWithSecondEntry(const std::string& from, const std::string& to, CMethodList& method, Problems& problems,
                         const std::string& file = "m.xml") {
    std::string second = "<METHODENTRY Name=\"A\" LocateBy=\"RT\" PredRT=\"6\" LocateRTWin=\"0.2\" QuanTrace=\"120>60\"";
    if (from.empty()) second += to;
    else second.replace(second.find(from), from.size(), to);
    const std::string text =
        "<?xml version=\"1.0\"?>\n<METHODLIST>\n"
        "  <METHODENTRY Name=\"IS\" LocateBy=\"RT\" PredRT=\"5\" LocateRTWin=\"0.2\" QuanTrace=\"100>50\"/>\n  ";
    return MethodTools::ReadMethodText(file, text + second + "/>\n</METHODLIST>\n", method, problems);
}

TEST(MethodCheck, AProblemNamesItsLineColumnAndSetting) {
    CMethodList method;
    Problems problems;
    EXPECT_TRUE(ReadWithSecondEntry("", "", method, problems, "method.xml")) << AllText(problems);
    EXPECT_EQ(method.GetSize(), 2);

    // Line 4, column 50: where the second entry's window starts.
    problems.clear();
    EXPECT_FALSE(ReadWithSecondEntry("LocateRTWin=\"0.2\"", "LocateRTWin=\"-1\"", method, problems, "method.xml"));
    ASSERT_EQ(problems.size(), 1u) << AllText(problems);
    EXPECT_EQ(problems[0].Text(), "method.xml:4:50: entry 2 (A): its retention-time window LocateRTWin is -1; it must be above 0");
}

// Each check names what a user got wrong, in the words of the method's own settings.
TEST(MethodCheck, EveryCheckNamesTheSettingAtFault) {
    const struct { const char* from; const char* to; const char* message; } cases[] = {
        {"", " Bogus=\"1\"", "entry 2: \"Bogus\" is not a method setting"},
        {"LocateBy=\"RT\"", "LocateBy=\"XYZ\"", "LocateBy=\"XYZ\" is not one of"},
        {"LocateBy=\"RT\"", "LocateBy=\"NAME\"", "locating by NAME is not available"},
        {"PredRT=\"6\"", "PredRT=\"-1\"", "its retention time PredRT is -1; it must be 0 or above"},
        {"LocateBy=\"RT\"", "LocateBy=\"RRT\" RRTRef=\"1\"", "its relative retention time PredRRT is 0; it must be above 0"},
        {"LocateBy=\"RT\"", "LocateBy=\"RRT\" PredRRT=\"1.1\"", "it is located by RRT but RRTRef names no entry"},
        {"", " RRTRef=\"9\"", "its RRT reference 9 is not an entry"},
        {"", " RRTRef=\"2\"", "it is its own RRT reference"},
        {"", " RCalc=\"IS\"", "its response (Internal Std) needs an internal standard and RRef names none"},
        {"", " RCalc=\"IS\" RRef=\"9\"", "its internal standard RRef 9 is not an entry"},
        {"", " RCalc=\"IS\" RRef=\"2\"", "it is its own internal standard (RRef)"},
        {"", " UseMulti=\"1\" RCalc=\"ISODIL\"", "its response needs an internal standard and IStd0 names none"},
        {"", " UseMulti=\"1\" IStd0=\"5\"", "its internal standard IStd0 (list index 5) is not an entry"},
        {"", " UseMulti=\"1\" IStd0=\"0\" IStd1=\"1\"", "it is its own internal standard (IStd1)"},
        {"", " CalCompound=\"&#73;&#x58;\"", "its calibration compound \"IX\" is not an entry"},
        {"", " TotalsGroupByRef=\"G\"", "no entry belongs to the totals group \"G\""},
        {"", " LocateChoice=\"5\"", "it is a totals entry but names no totals group"},
        {"", " LocateMassWin=\"-1\"", "its window LocateMassWin is negative"},
        {"", " TargetTrace0=\"130>60\" TargetRatio0=\"0.5\" TargetWindow0=\"0\"",
         "TargetWindow0 is 0, so no measured ratio can meet TargetRatio0"},
        {"", " TargetTrace1=\"130>60\" TargetWindow1=\"-5\"", "its ion-ratio window TargetWindow1 is negative"},
        {"", " TargetTrace2=\"130>60\" TargetRTWin2=\"-1\"", "its qualifier window TargetRTWin2 is negative"},
        {"QuanTrace=\"120>60\"", "QuanTrace=\"120>>60\"", "its quantification trace \"120>>60\" is not a mass"},
        {"", " TargetTrace3=\"1x>60\"", "its qualifier trace \"1x>60\" is not a mass"},
        {"QuanTrace=\"120>60\"", "QuanTrace=\"120> \"", "its quantification trace \"120> \" is not a mass"},
        {"QuanTrace=\"120>60\"", "QuanTrace=\" >60\"", "its quantification trace \" >60\" is not a mass"},
        {"QuanTrace=\"120>60\"", "QuanTrace=\"120>0\"", "its quantification trace \"120>0\" is not a mass"},
        {"QuanTrace=\"120>60\"", "QuanTrace=\"9>8>7>6>5>4>3>2>1\"", "trace \"9>8>7>6>5>4>3>2>1\" is not a mass"},
        {"Name=\"A\"", "Name=\"IS\"", "entry 2 has the name \"IS\" of an earlier entry"},
        // Allowed (no message): the edges of each rule, a retention time of 0, a zero ratio with a
        // zero window; entities in a value read as their characters, here naming the standard.
        {"PredRT=\"6\"", "PredRT=\"0\"", nullptr},
        {"QuanTrace=\"120>60\"", "QuanTrace=\" 8>7>6>5 > 4>3>2>1\"", nullptr},  // eight masses, spaces around each
        {"", " TargetTrace0=\"130>60\" TargetRatio0=\"0\" TargetWindow0=\"0\"", nullptr},
        {"", " LocateMassWin=\"0\" RTToleranceLower=\"0\" TargetTrace1=\"130>60\" TargetRTWin1=\"0\"", nullptr},
        {"", " CalCompound=\"&#x49;&#83;\"", nullptr},
    };
    for (const auto& c : cases) {
        CMethodList method;
        Problems problems;
        EXPECT_EQ(ReadWithSecondEntry(c.from, c.to, method, problems), c.message == nullptr)
            << c.to << "\n" << AllText(problems);
        if (c.message != nullptr) {
            EXPECT_THAT(AllText(problems), HasSubstr(c.message)) << c.to;
        }
    }
    CMethodList method;
    Problems problems;
    EXPECT_FALSE(MethodTools::ReadMethodText("m.xml", "<?xml version=\"1.0\"?>\n<METHODLIST>\n</METHODLIST>\n", method, problems));
    EXPECT_THAT(AllText(problems), HasSubstr("the method has no entries"));
    problems.clear();
    EXPECT_FALSE(MethodTools::ReadMethodText("m.xml", "<METHODLIST><METHODENTRY Name=\"A\"/></METHODLIST>", method, problems));
    EXPECT_THAT(AllText(problems), HasSubstr("does not start with the declaration"));
}

bool Import(const std::string& list, const MethodTools::ImportOptions& options, CMethodList& method, Problems& problems,
            Problems& notes) {
    std::vector<MethodTools::Transition> transitions;
    return MethodTools::ReadTransitions("list", list, options, transitions, problems, notes) &&
           MethodTools::BuildMethod("list", transitions, options, method, problems, notes);
}

std::string Trace(const CMethodData& e, int slot) { return slot < 0 ? e.GetQuanTrace() : e.GetTargetTrace(slot); }

TEST(TransitionList, OneEntryPerCompoundWithItsQualifiersAndStandard) {
    // Small-molecule style, tab-separated: single-ion traces, times and full-width windows in
    // minutes; the heavy label is the light compound's internal standard. The first row ends
    // early, as writers that drop trailing empty cells leave it: its note is empty.
    const std::string list =
        "Molecule List Name\tMolecule Name\tPrecursor m/z\tProduct m/z\tExplicit Retention Time\t"
        "Explicit Retention Time Window\tLabel Type\tQuantitative\tNote\n"
        "PAH\tNaphthalene\t128.1\t\t7.46\t0.4\tlight\tTrue\n"
        "PAH\tNaphthalene\t127.1\t0\t7.46\t0.4\tlight\tFalse\t\n"
        "PAH\tNaphthalene\t136.1\t\t7.42\t0.4\t\tTrue\tISTD\n";
    MethodTools::ImportOptions options;
    options.curveType = 2;
    options.weighting = 1;
    CMethodList method;
    Problems problems, notes;
    ASSERT_TRUE(Import(list, options, method, problems, notes)) << AllText(problems);
    ASSERT_EQ(method.GetSize(), 2);
    const struct {
        const char* name;
        const char* traces[3];  // quantification, qualifier 0, qualifier 1
        float rt;
        int rcalc, rref, ccalc, stdLevels, weighting;
    } cases[] = {
        {"Naphthalene", {"128.1", "127.1", ""}, 7.46f, 1, 2, 2, 2, 1},
        {"Naphthalene (heavy)", {"136.1", "", ""}, 7.42f, 0, 0, 0, 0, 0},
    };
    for (int i = 0; i < 2; ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        const CMethodData& e = method.GetAt(i);
        EXPECT_EQ(e.GetName(), c.name);
        for (int slot = -1; slot < 2; ++slot) EXPECT_EQ(Trace(e, slot), c.traces[slot + 1]) << slot;
        EXPECT_EQ(e.GetTargetRatio(0), 0.0) << "no intensities, no ratio";
        EXPECT_EQ(e.GetTargetWindow(0), c.traces[1][0] ? 20 : 0);
        EXPECT_FLOAT_EQ(e.GetPredRT(), c.rt);
        // The standard keeps the list's window; its compound is found beside it (RRTRef).
        EXPECT_FLOAT_EQ(e.GetLocateRTWin(), i == 0 ? 0.1f : 0.2f);
        EXPECT_EQ(e.GetRRTRef(), i == 0 ? 2 : 0);
        EXPECT_EQ(e.GetLocateChoice(), i == 0 ? 0 : 1);
        EXPECT_EQ((std::vector<int>{e.GetLocateBy(), e.GetRCalc(), e.GetRRef(), e.GetCCalc(), e.GetStdLevels(), e.GetWeightingFunction()}),
                  (std::vector<int>{1, c.rcalc, c.rref, c.ccalc, c.stdLevels, c.weighting}));
        EXPECT_EQ(e.GetCalCompound(), c.name);
        EXPECT_EQ(e.GetStdConc(), c.rcalc == 0 ? 1.0 : 0.0);
    }
}

int EntryNumber(const CMethodList& method, const std::string& name) {
    for (int i = 0; i < method.GetSize(); ++i)
        if (method.GetAt(i).GetName() == name) return i + 1;
    return 0;
}

TEST(TransitionList, CompoundsFollowTheirStandardsAndTheLabsPairingWins) {
    // OpenSWATH style, times in seconds. "glu" names another compound's standard in the list's
    // transition-name form; "his" has no labelled form and follows the standard nearest in time.
    const std::string list =
        "transition_group_id,transition_name,PrecursorMz,ProductMz,RetentionTime,LabelType,InternalStandard\n"
        "asp,asp.asp_1.Heavy,138,92,159.6,Heavy,\n"
        "asp,asp.asp_1.Light,134,88,160.2,Light,\n"
        "glu,glu.glu_1.Heavy,153,88,162,Heavy,\n"
        "glu,glu.glu_1.Light,148,84,162,Light,asp.asp_1.Heavy\n"
        "his,his.his_1.Light,156,110,300,Light,\n"
        "trp,trp.trp_1.Heavy,216,199,420,Heavy,\n"
        "trp,trp.trp_1.Light,205,188,420,Light,trp\n";
    MethodTools::ImportOptions options;
    CMethodList method;
    Problems problems, notes;
    ASSERT_TRUE(Import(list, options, method, problems, notes)) << AllText(problems);
    ASSERT_EQ(method.GetSize(), 7);
    const int aspHeavy = EntryNumber(method, "asp (heavy)"), gluHeavy = EntryNumber(method, "glu (heavy)"),
              trpHeavy = EntryNumber(method, "trp (heavy)");
    const struct { const char* name; int rref, rrtRef, choice; float window; bool standard; } cases[] = {
        {"asp (heavy)", 0, 0, 1, 0.75f, true},
        {"asp", aspHeavy, aspHeavy, 0, 0.1f, false},
        {"glu (heavy)", 0, 0, 1, 0.75f, true},  // nobody's standard, but glu's partner: kept, no problem
        {"glu", aspHeavy, gluHeavy, 0, 0.1f, false},
        {"his", 0, trpHeavy, 0, 0.5f, false},  // at 5 min: 2.3 from glu (heavy), 2 from trp (heavy)
        {"trp (heavy)", 0, 0, 1, 0.75f, true},
        {"trp", trpHeavy, trpHeavy, 0, 0.1f, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int number = EntryNumber(method, c.name);
        ASSERT_GT(number, 0);
        const CMethodData& e = method.GetAt(number - 1);
        EXPECT_EQ((std::vector<int>{e.GetRRef(), e.GetRRTRef(), e.GetLocateChoice(), e.GetLocateBy()}),
                  (std::vector<int>{c.rref, c.rrtRef, c.choice, 1}));
        EXPECT_FLOAT_EQ(e.GetLocateRTWin(), c.window);
        EXPECT_EQ(e.GetRCalc(), c.standard || c.rref == 0 ? 0 : 1);
        EXPECT_EQ(WordMatch::ListsShareWord(e.GetFlags(), "ISTD"), c.standard);
    }
    MethodTools::CheckMethod("list", method, {}, problems);
    EXPECT_TRUE(problems.empty()) << AllText(problems);

    // Switched off, every compound is found by its own time and window, as the list gives them.
    options.followStandards = false;
    ASSERT_TRUE(Import(list, options, method, problems, notes)) << AllText(problems);
    for (int i = 0; i < method.GetSize(); ++i) {
        EXPECT_EQ(method.GetAt(i).GetRRTRef(), 0) << i;
        EXPECT_EQ(method.GetAt(i).GetLocateChoice(), 0) << i;
        EXPECT_FLOAT_EQ(method.GetAt(i).GetLocateRTWin(), 0.5f) << i;
    }

    // A standard the list does not have is refused, in either form.
    for (const char* missing : {"asp.asp_9.Heavy", "ala"}) {
        std::string spoilt = list;
        spoilt.replace(spoilt.find("asp.asp_1.Heavy\n"), 15, missing);
        problems.clear();
        EXPECT_FALSE(Import(spoilt, options, method, problems, notes));
        ASSERT_EQ(problems.size(), 1u) << AllText(problems);
        EXPECT_THAT(problems[0].Text(),
                    HasSubstr("list:5:7: the internal standard \"" + std::string(missing) + "\" of compound \"glu\""));
    }
}

TEST(TransitionList, SimListsKeepTheMostIntenseQualifiersAndNameTheRest) {
    const std::string list = ReadText(fs::path(QUAN_SOURCE_DIR) / "tests/data/gcms-sim-transitions.csv");
    ASSERT_FALSE(list.empty());
    const struct {
        const char* name;
        const char* quan;
        std::vector<std::string> qualifiers;  // at most 4, in list order
        int listed;                           // qualifier ions in the list
        const char* leftOut;                  // as the note names them
    } cases[] = {
        {"Hexachlorobenzene", "284", {"286", "282", "249", "288"}, 6, "214 (line 6), 142 (line 7)"},
        {"Lindane", "181", {"183", "219", "217", "109"}, 5, "111 (line 14)"},  // the list's quantifier over the most intense
        {"Aldrin", "66", {"263", "261", "265", "293"}, 5, "329 (line 20)"},      // not said: the most intense
        {"Dieldrin", "79", {"263", "277", "345", "380"}, 5, "82 (line 26)"},     // all equal: the first, list order
    };
    MethodTools::ImportOptions options;
    CMethodList method;
    Problems problems, notes;
    ASSERT_TRUE(Import(list, options, method, problems, notes)) << AllText(problems);
    ASSERT_EQ(method.GetSize(), 4);
    const std::string noted = AllText(notes);
    for (int i = 0; i < 4; ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        const CMethodData& e = method.GetAt(i);
        EXPECT_EQ(e.GetName(), c.name);
        EXPECT_EQ(e.GetQuanTrace(), c.quan);
        std::vector<std::string> qualifiers;
        for (int k = 0; k < 4; ++k)
            if (!e.GetTargetTrace(k).empty()) qualifiers.push_back(e.GetTargetTrace(k));
        EXPECT_EQ(qualifiers, c.qualifiers);
        EXPECT_THAT(noted, HasSubstr(std::string(c.name) + "\" has " + std::to_string(c.listed) +
                                     " qualifier ions; the 4 most intense are kept (--qualifiers), left out: " + c.leftOut + "\n"));
    }
    // Hexachlorobenzene's first qualifier, 286 at 81 % of the quantifying ion.
    EXPECT_DOUBLE_EQ(method.GetAt(0).GetTargetRatio(0), 1.23457);

    // Export and import again: the same method, with nothing left to leave out.
    Problems exportNotes, again;
    const std::string exported = MethodTools::TransitionListText(method, MethodTools::ListStyle::kOpenSwath,
                                                                 MethodTools::TimeUnit::kSeconds, exportNotes);
    CMethodList reimported;
    ASSERT_TRUE(Import(exported, options, reimported, problems, again)) << AllText(problems) << exported;
    EXPECT_EQ(MethodTools::ReadableMethodXML(reimported), MethodTools::ReadableMethodXML(method)) << exported;
    EXPECT_THAT(AllText(again), Not(HasSubstr("left out")));

    // Fewer qualifiers on request: the two most intense.
    options.maxQualifiers = 2;
    ASSERT_TRUE(Import(list, options, method, problems, notes)) << AllText(problems);
    EXPECT_EQ(method.GetAt(0).GetTargetTrace(0), "286");
    EXPECT_EQ(method.GetAt(0).GetTargetTrace(1), "282");
    EXPECT_EQ(method.GetAt(0).GetTargetTrace(2), "");
}

TEST(TransitionList, ExportedTimesAreTheShortestTextsThatReadBack) {
    const std::string list =
        "Molecule Name,Precursor m/z,Product m/z,Explicit Retention Time,Explicit Retention Time Window\n"
        "A,100,50,3.42,0.4\n"
        "B,200,60,0.1,0.3\n"
        "C,300,70,12.3456,1.7\n"
        "D,400,80,0.000123,1.5\n";
    MethodTools::ImportOptions options;
    CMethodList method;
    Problems problems, notes;
    ASSERT_TRUE(Import(list, options, method, problems, notes)) << AllText(problems);
    const struct {
        MethodTools::TimeUnit unit;
        const char* rows[4];  // time and window cells of each entry
    } cases[] = {
        {MethodTools::TimeUnit::kSeconds, {",205.2,24,", ",6,18,", ",740.736,102,", ",0.00738,90,"}},
        {MethodTools::TimeUnit::kMinutes, {",3.42,0.4,", ",0.1,0.3,", ",12.3456,1.7,", ",0.000123,1.5,"}},
    };
    for (const auto& c : cases) {
        Problems exportNotes;
        const std::string text = MethodTools::TransitionListText(method, MethodTools::ListStyle::kOpenSwath, c.unit, exportNotes);
        for (const char* row : c.rows) EXPECT_THAT(text, HasSubstr(row));
        CMethodList again;
        ASSERT_TRUE(Import(text, options, again, problems, notes)) << AllText(problems);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(again.GetAt(i).GetPredRT(), method.GetAt(i).GetPredRT()) << i;
            EXPECT_EQ(again.GetAt(i).GetLocateRTWin(), method.GetAt(i).GetLocateRTWin()) << i;
        }
    }
}

#ifdef QUAN_METHOD_BINARY
TEST(QuanMethodTool, ShowPrintsSinglePrecisionFieldsShortestAndHowPeaksAreChosen) {
    const TempFolder folder;
    WriteText(
        folder / "method.xml",
        "<?xml version=\"1.0\"?>\n<METHODLIST>\n"
        "  <METHODENTRY Name=\"IS\" LocateBy=\"RT\" LocateChoice=\"1\" PredRT=\"3.4\" LocateRTWin=\"0.75\" QuanTrace=\"104>54\"/>\n"
        "  <METHODENTRY Name=\"A\" LocateBy=\"RT\" RRTRef=\"1\" PredRT=\"3.42\" LocateRTWin=\"0.2\" "
        "QuanTrace=\"100>50\" TargetTrace0=\"100>40\" TargetRatio0=\"1.23457\" TargetWindow0=\"20\"/>\n</METHODLIST>\n");
    const std::string command = std::string(QUAN_METHOD_BINARY) + " show " + (folder / "method.xml") + " 2>&1";
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        ::pclose(pipe);
    }
    for (const char* shown : {" 3.42 ", " RT, largest ", " RT after IS ", " 0.2 ", "100>40 (1.23457 ±20%)"})
        EXPECT_THAT(out, HasSubstr(shown));
    EXPECT_THAT(out, Not(HasSubstr("00000")));
}
#endif

}  // namespace
