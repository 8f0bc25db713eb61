// Internal-standard responses: one standard by reference, and the weighted mean and noise
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
