// Method tools: the method checks that quan-method check and quan-batch share, and transition
// lists read into methods. The round trip of a list through export and import is the method
// tools fuzz target's; a bad list's refusal is the Python module's.
#include <gtest/gtest.h>

#include "quan.h"
#include "workflow/method/MethodCheck.h"
#include "workflow/method/MethodXml.h"
#include "workflow/method/TransitionList.h"

namespace {

using MethodTools::Problems;

std::string AllText(const Problems& problems) {
    std::string text;
    for (const auto& problem : problems) text += problem.Text() + "\n";
    return text;
}

TEST(MethodCheck, AProblemNamesItsLineColumnAndSetting) {
    const std::string sound =
        "<?xml version=\"1.0\"?>\n<METHODLIST>\n"
        "  <METHODENTRY Name=\"IS\" LocateBy=\"RT\" PredRT=\"5\" LocateRTWin=\"0.2\" QuanTrace=\"100>50\"/>\n"
        "  <METHODENTRY Name=\"A\" LocateBy=\"RT\" PredRT=\"6\" LocateRTWin=\"0.2\" QuanTrace=\"120>60\"/>\n"
        "</METHODLIST>\n";
    CMethodList method;
    Problems problems;
    EXPECT_TRUE(MethodTools::ReadMethodText("method.xml", sound, method, problems)) << AllText(problems);
    EXPECT_EQ(method.GetSize(), 2);

    // Line 4, column 50: where the second entry's window starts.
    std::string spoilt = sound;
    spoilt.replace(spoilt.rfind("LocateRTWin=\"0.2\""), 17, "LocateRTWin=\"-1\"");
    problems.clear();
    EXPECT_FALSE(MethodTools::ReadMethodText("method.xml", spoilt, method, problems));
    ASSERT_EQ(problems.size(), 1u) << AllText(problems);
    EXPECT_EQ(problems[0].Text(), "method.xml:4:50: entry 2 (A): its retention-time window LocateRTWin is -1; it must be above 0");
}

std::string Trace(const CMethodData& e, int slot) { return slot < 0 ? e.GetQuanTrace() : e.GetTargetTrace(slot); }

TEST(TransitionList, OneEntryPerCompoundWithItsQualifiersAndStandard) {
    // Small-molecule style, tab-separated: single-ion traces, times and full-width windows in
    // minutes; the heavy label is the light compound's internal standard.
    const std::string list =
        "Molecule List Name\tMolecule Name\tPrecursor m/z\tProduct m/z\tExplicit Retention Time\t"
        "Explicit Retention Time Window\tLabel Type\tQuantitative\tNote\n"
        "PAH\tNaphthalene\t128.1\t\t7.46\t0.4\tlight\tTrue\t\n"
        "PAH\tNaphthalene\t127.1\t0\t7.46\t0.4\tlight\tFalse\t\n"
        "PAH\tNaphthalene\t136.1\t\t7.42\t0.4\t\tTrue\tISTD\n";
    MethodTools::ImportOptions options;
    options.curveType = 2;
    options.weighting = 1;
    std::vector<MethodTools::Transition> transitions;
    CMethodList method;
    Problems problems, notes;
    ASSERT_TRUE(MethodTools::ReadTransitions("list", list, options, transitions, problems, notes) &&
                MethodTools::BuildMethod("list", transitions, options, method, problems, notes))
        << AllText(problems);
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
        EXPECT_FLOAT_EQ(e.GetLocateRTWin(), 0.2f);
        EXPECT_EQ((std::vector<int>{e.GetLocateBy(), e.GetRCalc(), e.GetRRef(), e.GetCCalc(), e.GetStdLevels(), e.GetWeightingFunction()}),
                  (std::vector<int>{1, c.rcalc, c.rref, c.ccalc, c.stdLevels, c.weighting}));
        EXPECT_EQ(e.GetCalCompound(), c.name);
        EXPECT_EQ(e.GetStdConc(), c.rcalc == 0 ? 1.0 : 0.0);
    }
}

}  // namespace
