// Response calculation: every response type with and without an internal-standard response.
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
