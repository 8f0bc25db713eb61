// Internal-standard responses: one standard by reference, the weighted mean and noise
// conversion a totals entry takes from its members, and the standards a method's slots name.
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
        int reference, responseType, status;
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
    const auto member = [](const char* group, double isResponse, int numResponses, int reference) {
        CMethodData entry = Entry(group);
        entry.SetTotalsGroup(group);
        entry.SetISResponse(isResponse);
        entry.SetNumISResponses(numResponses);
        entry.SetRRef(reference);
        return entry;
    };
    CMethodData first = member("HxCB", 100.0, 1, 0);
    first.SetUseMulti(1);
    first.SetIStd(0, 0);
    first.SetIStd(1, 1);
    CMethodData second = member("HxCB, PCB", 200.0, 2, 3);
    CMethodData withoutStandard = member("HxCB", 0.0, 0, 1);  // neither its response nor its standard counts
    CMethodData outsider = member("PeCB", 1000.0, 1, 3);
    CMethodData otherTotals = member("HxCB", 5000.0, 1, 0);
    otherTotals.SetLocateChoice(kTotalsChoice);
    CMethodData totals = member("hxcb", 0.0, 0, 0);
    totals.SetLocateChoice(kTotalsChoice);
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

// Internal-standard slots name entries by 0-based index, so 0 is entry 1: a slot nobody wrote,
// in a new record or in a method entry whose XML leaves it out, must name no standard, while a
// written 0 still names entry 1. Checked on the record, through the XML reader and on the mean
// of several standards.
TEST(InternalStandardSlots, UnwrittenSlotsNameNoStandard) {
    const CMethodRecord record;
    const CMethodData entry;
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(record.GetIStd(k), -1) << k;
        EXPECT_EQ(entry.GetIntStd(k), -1) << k;
    }

    // Standards A (1000 per 10) and B (4000 per 10); X lists B only, Y lists A then B with an
    // explicit 0, Z lists nothing.
    CMethodList methods;
    ASSERT_TRUE(methods.ReadXML(std::string(
        "<?xml version=\"1.0\"?><METHODLIST>"
        "<METHODENTRY Name=\"A\"/><METHODENTRY Name=\"B\"/>"
        "<METHODENTRY Name=\"X\" RCalc=\"1\" UseMulti=\"1\" IStd0=\"1\"/>"
        "<METHODENTRY Name=\"Y\" RCalc=\"1\" UseMulti=\"1\" IStd0=\"0\" IStd1=\"1\"/>"
        "<METHODENTRY Name=\"Z\" RCalc=\"1\" UseMulti=\"1\"/>"
        "</METHODLIST>")));
    ASSERT_EQ(methods.GetSize(), 5);
    const int expectedSlots[3][6] = {{1, -1, -1, -1, -1, -1}, {0, 1, -1, -1, -1, -1}, {-1, -1, -1, -1, -1, -1}};
    for (int e = 0; e < 3; ++e)
        for (int k = 0; k < 6; ++k) EXPECT_EQ(methods.GetAt(2 + e).GetIStd(k), expectedSlots[e][k]) << e << "," << k;

    const double standards[2][2] = {{1000.0, 10.0}, {4000.0, 10.0}};
    for (int s = 0; s < 2; ++s) {
        methods.GetAt(s).SetLocated(1);
        methods.GetAt(s).SetAbsResponse(standards[s][0]);
        methods.GetAt(s).SetFixedConc(standards[s][1]);
    }
    CQuanLocate engine;
    ASSERT_EQ(Access::CalculateISResponses(engine, methods), kLocateOK);
    // X: B alone, 4000 / 10. Y: (100 + 400) / 2. Z: no standard, nothing set.
    EXPECT_DOUBLE_EQ(methods.GetAt(2).GetISResponse(), 400.0);
    EXPECT_DOUBLE_EQ(methods.GetAt(3).GetISResponse(), 250.0);
    EXPECT_DOUBLE_EQ(methods.GetAt(4).GetISResponse(), 0.0);
}
