// Internal-standard slots name entries by 0-based index, so 0 is entry 1: a slot nobody wrote,
// in a new record or in a method entry whose XML leaves it out, must name no standard, while a
// written 0 still names entry 1. Checked on the record, through the XML reader, on the mean of
// several standards and on the noise conversion a totals entry takes from listed standards.
#include <gtest/gtest.h>

#include "LocateCompletionSupport.h"
#include "quan.h"

using namespace completion_test;

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

TEST(InternalStandardSlots, TotalsNoiseConversionComesFromListedStandardsOnly) {
    // Standards at list indices 0 and 1 with noise conversions 3 and 7. The member with one
    // reference but a listed slot counts that slot; the one with a reference alone adds nothing.
    CMethodData listed = Entry("listed");
    listed.SetTotalsGroup("G");
    listed.SetISResponse(10.0);
    listed.SetNumISResponses(1);
    listed.SetRRef(1);
    listed.SetIStd(0, 1);
    CMethodData referenced = Entry("referenced");
    referenced.SetTotalsGroup("G");
    referenced.SetISResponse(20.0);
    referenced.SetNumISResponses(1);
    referenced.SetRRef(1);
    CMethodData totals = Entry("total");
    totals.SetLocateChoice(kTotalsChoice);
    totals.SetTotalsGroup("G");
    CMethodList methods =
        Methods({LocatedStandard(1.0, 1.0, 3.0), LocatedStandard(1.0, 1.0, 7.0), listed, referenced, totals});
    CQuanLocate engine;
    ASSERT_EQ(Access::UpdateMethodTotalISResponse(engine, methods, 5), kLocateOK);
    EXPECT_DOUBLE_EQ(methods.GetAt(4).GetISResponse(), 15.0);
    EXPECT_DOUBLE_EQ(methods.GetAt(4).GetNoiseConversion(), 7.0);
}
