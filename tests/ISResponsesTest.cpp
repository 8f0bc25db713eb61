// Internal-standard responses: one standard by reference, several by list index, the standards
// that do not count (not found, no response, no concentration), and the weighted mean and noise
// conversion a totals entry takes from its members.
#include <gtest/gtest.h>

#include "LocateCompletionSupport.h"
#include "quan.h"

using namespace completion_test;

namespace {
// Entry 1 the standard, entry 2 an "IS" compound naming it.
CMethodList SingleStandardMethod(const CMethodData& standard, int reference = 1, int responseType = kIS) {
    CMethodData compound = Entry("analyte");
    compound.SetRCalc(responseType);
    compound.SetRRef(reference);
    return Methods({standard, compound});
}
}  // namespace

TEST(ISResponses, SingleStandardGivesResponsePerUnitConcentration) {
    CMethodData unlocated = LocatedStandard(5000.0, 10.0);
    unlocated.SetLocated(0);
    const struct {
        const char* what;
        CMethodData standard;
        int reference;
        int responseType;
        int status;
        double isResponse;
        int numResponses;
    } cases[] = {
        {"found standard", LocatedStandard(5000.0, 10.0), 1, kIS, kLocateOK, 500.0, 1},
        {"standard not found", unlocated, 1, kIS, kLocateOK, 0.0, 0},
        {"standard without response", LocatedStandard(0.0, 10.0), 1, kIS, kLocateOK, 0.0, 0},
        {"standard without concentration", LocatedStandard(5000.0, 0.0), 1, kIS, 15, 0.0, 0},
        {"negative concentration gives no usable scale", LocatedStandard(5000.0, -10.0), 1, kIS, kLocateOK, 0.0, 0},
        {"no reference", LocatedStandard(5000.0, 10.0), 0, kIS, kLocateOK, 0.0, 0},
        {"reference beyond the list", LocatedStandard(5000.0, 10.0), 3, kIS, kLocateOK, 0.0, 0},
        {"external-standard entry naming a standard", LocatedStandard(5000.0, 10.0), 1, kES, kLocateOK, 0.0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CQuanLocate engine;
        CMethodList methods = SingleStandardMethod(c.standard, c.reference, c.responseType);
        EXPECT_EQ(Access::UpdateMethodISResponse(engine, methods, 2), c.status);
        EXPECT_DOUBLE_EQ(methods.GetAt(1).GetISResponse(), c.isResponse);
        EXPECT_EQ(methods.GetAt(1).GetNumISResponses(), c.numResponses);
    }
}

TEST(ISResponses, SeveralStandardsAreAveragedUpToTheFirstMissingOne) {
    CMethodData unlocated = LocatedStandard(800.0, 4.0);
    unlocated.SetLocated(0);
    const struct {
        const char* what;
        int istd[6];
        int status;
        double isResponse;
    } cases[] = {
        // List indices 2 = 1000 / 10, 3 = no response (still counts), 4 = 900 / 3, 5 = not found.
        {"response and no response", {2, 3, -1, 4, 4, 4}, kLocateOK, (100.0 + 0.0) / 2},
        {"three standards", {2, 3, 4, -1, -1, -1}, kLocateOK, (100.0 + 0.0 + 300.0) / 3},
        {"first standard not found: nothing counts", {5, 2, 3, -1, -1, -1}, kLocateOK, 0.0},
        {"standard after one not found is ignored", {2, 5, 4, -1, -1, -1}, kLocateOK, 100.0},
        {"no standard at all", {-1, 2, 3, -1, -1, -1}, kLocateOK, 0.0},
        {"only standards without response", {3, 3, -1, -1, -1, -1}, kLocateOK, 0.0},
        {"index beyond the list ends the list", {2, 17, 4, -1, -1, -1}, kLocateOK, 100.0},
        {"standard with response but no concentration", {2, 6, -1, -1, -1, -1}, 15, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CMethodData compound = Entry("analyte");
        compound.SetRCalc(kIS);
        compound.SetUseMulti(1);
        compound.SetRRef(1);  // ignored while several standards are used
        for (int k = 0; k < 6; ++k) compound.SetIStd(k, c.istd[k]);
        CMethodList methods = Methods({compound, LocatedStandard(7000.0, 1.0), LocatedStandard(1000.0, 10.0),
                                       LocatedStandard(0.0, 5.0), LocatedStandard(900.0, 3.0), unlocated,
                                       LocatedStandard(50.0, 0.0)});
        CQuanLocate engine;
        EXPECT_EQ(Access::UpdateMethodISResponse(engine, methods, 1), c.status);
        EXPECT_DOUBLE_EQ(methods.GetAt(0).GetISResponse(), c.isResponse);
        EXPECT_EQ(methods.GetAt(0).GetNumISResponses(), c.isResponse > 0.0 ? 1 : 0);
    }
}

TEST(ISResponses, TotalsEntryTakesWeightedMeanAndStandardsNoiseConversion) {
    // Entries 1 and 2 are standards with noise conversions 2 and 4; entry 3 a standard with 9.
    CMethodData first = Entry("PCB 138");
    first.SetTotalsGroup("HxCB");
    first.SetISResponse(100.0);
    first.SetNumISResponses(1);
    first.SetUseMulti(1);
    first.SetIStd(0, 0);
    first.SetIStd(1, 1);
    CMethodData second = Entry("PCB 153");
    second.SetTotalsGroup("HxCB, PCB");
    second.SetISResponse(200.0);
    second.SetNumISResponses(2);
    second.SetRRef(3);
    CMethodData withoutStandard = Entry("PCB 156");
    withoutStandard.SetTotalsGroup("HxCB");
    withoutStandard.SetRRef(1);  // IS response 0: neither its response nor its standard counts
    CMethodData outsider = Entry("PCB 101");
    outsider.SetTotalsGroup("PeCB");
    outsider.SetISResponse(1000.0);
    outsider.SetNumISResponses(1);
    outsider.SetRRef(3);
    CMethodData otherTotals = Entry("Total HxCB again");
    otherTotals.SetLocateChoice(kTotalsChoice);
    otherTotals.SetTotalsGroup("HxCB");
    otherTotals.SetISResponse(5000.0);
    otherTotals.SetNumISResponses(1);
    CMethodData totals = Entry("Total HxCB");
    totals.SetLocateChoice(kTotalsChoice);
    totals.SetTotalsGroup("hxcb");
    totals.SetNoiseConversion(77.0);

    CMethodList methods = Methods({LocatedStandard(1.0, 1.0, 2.0), LocatedStandard(1.0, 1.0, 4.0),
                                   LocatedStandard(1.0, 1.0, 9.0), first, second, withoutStandard, outsider,
                                   otherTotals, totals});
    CQuanLocate engine;
    EXPECT_EQ(Access::UpdateMethodTotalISResponse(engine, methods, 9), kLocateOK);
    const CMethodData& result = methods.GetAt(8);
    EXPECT_EQ(result.GetNumISResponses(), 3);
    EXPECT_DOUBLE_EQ(result.GetISResponse(), (100.0 + 2 * 200.0) / 3);
    // Member one lists standards 2 and 4; member two names its standard only by reference.
    EXPECT_DOUBLE_EQ(result.GetNoiseConversion(), (2.0 + 4.0) / 2);
}

TEST(ISResponses, TotalsEntryWithOneMemberOrNoneOrOwnStandardIsHandled) {
    CMethodData member = Entry("member");
    member.SetTotalsGroup("G");
    member.SetISResponse(250.0);
    member.SetNumISResponses(1);

    {
        SCOPED_TRACE("one member: its response unchanged");
        CMethodData totals = Entry("total");
        totals.SetLocateChoice(kTotalsGroupChoice);
        totals.SetTotalsGroup("G");
        CMethodList methods = Methods({member, totals});
        CQuanLocate engine;
        Access::UpdateMethodTotalISResponse(engine, methods, 2);
        EXPECT_DOUBLE_EQ(methods.GetAt(1).GetISResponse(), 250.0);
        EXPECT_EQ(methods.GetAt(1).GetNumISResponses(), 1);
        EXPECT_DOUBLE_EQ(methods.GetAt(1).GetNoiseConversion(), 0.0);  // no standard named
    }
    {
        SCOPED_TRACE("no member: reset to nothing");
        CMethodData totals = Entry("total");
        totals.SetLocateChoice(kTotalsChoice);
        totals.SetTotalsGroup("Other");
        totals.SetISResponse(9.0);
        totals.SetNumISResponses(4);
        totals.SetNoiseConversion(3.0);
        CMethodList methods = Methods({member, totals});
        CQuanLocate engine;
        Access::UpdateMethodTotalISResponse(engine, methods, 2);
        EXPECT_DOUBLE_EQ(methods.GetAt(1).GetISResponse(), 0.0);
        EXPECT_EQ(methods.GetAt(1).GetNumISResponses(), 0);
        EXPECT_DOUBLE_EQ(methods.GetAt(1).GetNoiseConversion(), 3.0);
    }
    const struct {
        const char* what;
        const char* group;
        int useMulti;
        int reference;
    } untouched[] = {{"empty group", "", 0, 0}, {"own standards", "G", 1, 0}, {"own reference", "G", 0, 1}};
    for (const auto& c : untouched) {
        SCOPED_TRACE(c.what);
        CMethodData totals = Entry("total");
        totals.SetLocateChoice(kTotalsChoice);
        totals.SetTotalsGroup(c.group);
        totals.SetUseMulti(c.useMulti);
        totals.SetRRef(c.reference);
        totals.SetISResponse(9.0);
        totals.SetNumISResponses(4);
        CMethodList methods = Methods({member, totals});
        CQuanLocate engine;
        Access::UpdateMethodTotalISResponse(engine, methods, 2);
        EXPECT_DOUBLE_EQ(methods.GetAt(1).GetISResponse(), 9.0);
        EXPECT_EQ(methods.GetAt(1).GetNumISResponses(), 4);
    }
}

TEST(ISResponses, CalculateRunsEveryEntryThenTheTotalsAndIgnoresFailures) {
    // Entry 2 fails with a zero-concentration standard, entry 3 still gets its response, and
    // the totals entry (listed before its members) averages what they got.
    CMethodData failing = Entry("failing");
    failing.SetRCalc(kIS);
    failing.SetRRef(4);
    failing.SetTotalsGroup("G");
    CMethodData working = Entry("working");
    working.SetRCalc(kIS);
    working.SetRRef(5);
    working.SetTotalsGroup("G");
    CMethodData totals = Entry("total");
    totals.SetLocateChoice(kTotalsChoice);
    totals.SetTotalsGroup("G");
    totals.SetRCalc(kIS);
    CMethodList methods =
        Methods({totals, failing, working, LocatedStandard(100.0, 0.0), LocatedStandard(600.0, 2.0, 1.5)});
    CQuanLocate engine;
    EXPECT_EQ(Access::CalculateISResponses(engine, methods), kLocateOK);
    EXPECT_DOUBLE_EQ(methods.GetAt(1).GetISResponse(), 0.0);
    EXPECT_DOUBLE_EQ(methods.GetAt(2).GetISResponse(), 300.0);
    EXPECT_DOUBLE_EQ(methods.GetAt(0).GetISResponse(), 300.0);
    EXPECT_EQ(methods.GetAt(0).GetNumISResponses(), 1);
    EXPECT_DOUBLE_EQ(methods.GetAt(0).GetNoiseConversion(), 0.0);  // no member lists a standard
}
