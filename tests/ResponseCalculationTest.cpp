// Response calculation: every response type with and without an internal-standard response,
// the noise conversion's sources, the molar ratio, qualifier peaks, entry numbers out of range,
// and the synthetic entries (height ratio, element amount from a periodic-table database).
#include <gtest/gtest.h>

#include "LocateCompletionSupport.h"
#include "quan.h"

using namespace completion_test;

namespace {
// Entry 1 an internal standard with noise conversion 2.0, entry 2 the compound under test.
CMethodList StandardAndCompound(const CMethodData& compound) {
    return Methods({LocatedStandard(4000.0, 10.0, 2.0), compound});
}
}  // namespace

TEST(Responses, EachResponseTypeWithAndWithoutInternalStandardResponse) {
    // Peak: absolute response 2000, absolute corrected response 1800, absolute noise 50. The
    // compound's own noise conversion is 3.0, its standard's 2.0 (used when it has a reference).
    const struct {
        const char* what;
        int responseType;
        int reference;
        double isResponse;
        int status;
        double response, corrected, noiseResponse;
        int flag;
    } cases[] = {
        {"ES", kES, 0, 0.0, kLocateOK, 2000.0, 1800.0, 3.0 * 50.0, 1},
        {"ES with a reference takes the standard's noise conversion", kES, 1, 0.0, kLocateOK, 2000.0, 1800.0,
         2.0 * 50.0, 1},
        {"IS with IS response", kIS, 1, 400.0, kLocateOK, 5.0, 4.5, 2.0 * 50.0 / 400.0, 1},
        {"IS without IS response", kIS, 1, 0.0, kLocateOK, 0.0, 0.0, 0.0, 0},
        {"IS without a standard is treated as ES", kIS, 0, 400.0, kLocateOK, 2000.0, 1800.0, 3.0 * 50.0, 1},
        {"ISODIL", kISODIL, 1, 400.0, kLocateOK, 2000.0, 1800.0, 0.0, 0},
        {"UNCALP", kUNCALP, 1, 400.0, kLocateOK, 2000.0, 1800.0, 0.0, 0},
        {"INTERN", kINTERN, 1, 400.0, kLocateOK, 2000.0, 1800.0, 0.0, 0},
        {"NAMED", kNAMED, 1, 400.0, kLocateOK, 2000.0, 1800.0, 0.0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CMethodData compound = Entry("compound");
        compound.SetRCalc(c.responseType);
        compound.SetRRef(c.reference);
        compound.SetISResponse(c.isResponse);
        compound.SetNoiseConversion(3.0);
        CMethodList methods = StandardAndCompound(compound);
        CPeakList peaks = Peaks({AssignedPeak(2, 2000.0, 50.0, 1800.0)});
        CQuanLocate engine;
        ASSERT_EQ(Access::UpdateResponseFields(engine, peaks, 1, methods, 2), c.status);
        const CPeakData& peak = peaks.GetAt(0);
        EXPECT_DOUBLE_EQ(peak.GetResponse(), c.response);
        EXPECT_DOUBLE_EQ(peak.GetCorrectedResponse(), c.corrected);
        EXPECT_DOUBLE_EQ(peak.GetChromNoiseResp(), c.noiseResponse);
        EXPECT_EQ(peak.GetResponseFlag(), c.flag);
        EXPECT_DOUBLE_EQ(methods.GetAt(1).GetResponse(), c.response);
        EXPECT_DOUBLE_EQ(methods.GetAt(1).GetCorrectedResponse(), c.corrected);
    }
}

TEST(Responses, MolarRatioOfIsotopeDilution) {
    // Unlabelled ratio 0.1, labelled ratio 10: ratio = (l - R)(u + 1) / ((R - u)(l + 1)).
    const struct {
        double response;
        double expected;
        int flag;
    } cases[] = {
        {1.0, (10.0 - 1.0) * 1.1 / ((1.0 - 0.1) * 11.0), 1},  // = 1.0
        {2.0, (10.0 - 2.0) * 1.1 / ((2.0 - 0.1) * 11.0), 1},
        {20.0, (10.0 - 20.0) * 1.1 / ((20.0 - 0.1) * 11.0), 1},
        // R equal to the unlabelled ratio: no molar ratio exists, and the stale 99 is not kept.
        {0.1, 0.0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.response);
        CMethodData compound = Entry("compound");
        compound.SetRCalc(kES);
        compound.SetMoleRatio(1);
        compound.SetUnlabelledRatio(0.1);
        compound.SetLabelledRatio(10.0);
        CMethodList methods = Methods({compound});
        CPeakData peak = AssignedPeak(1, c.response);
        peak.SetResponse(99.0);
        CPeakList peaks = Peaks({peak});
        CQuanLocate engine;
        ASSERT_EQ(Access::UpdateResponseFields(engine, peaks, 1, methods, 1), kLocateOK);
        EXPECT_NEAR(peaks.GetAt(0).GetResponse(), c.expected, 1e-12);
        EXPECT_EQ(peaks.GetAt(0).GetResponseFlag(), c.flag);
        // The entry keeps the plain response; only the peak carries the molar ratio.
        EXPECT_DOUBLE_EQ(methods.GetAt(0).GetResponse(), c.response);
    }
    // Without a response there is no ratio to form: the peak gets the plain 0.
    CMethodData compound = Entry("compound");
    compound.SetMoleRatio(1);
    compound.SetUnlabelledRatio(0.1);
    compound.SetLabelledRatio(10.0);
    CMethodList methods = Methods({compound});
    CPeakList peaks = Peaks({AssignedPeak(1, 0.0)});
    CQuanLocate engine;
    ASSERT_EQ(Access::UpdateResponseFields(engine, peaks, 1, methods, 1), kLocateOK);
    EXPECT_DOUBLE_EQ(peaks.GetAt(0).GetResponse(), 0.0);
}
