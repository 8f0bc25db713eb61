// What is written once a peak is chosen: summed absolute responses over the quantified traces,
// signal-to-noise with its limit and monitoring flags, and the secondary values of the main peak.
#include <gtest/gtest.h>

#include "LocateTestSupport.h"
#include "quan.h"

using namespace locate_test;
using Access = QuanLocateTestAccess;

TEST(LocatedEntryUpdate, AbsoluteResponseSumsTheQuantifiedTraces) {
    // Traces as bits: 1 the main trace, 2, 4, 8 and 16 the qualifier traces 0 to 3.
    const struct { int traces; bool withQualifiers; double response, noise; } cases[] = {
        {1, true, 1000.0, 10.0}, {2, true, 500.0, 5.0},   {3, true, 1500.0, 15.0}, {16, true, 200.0, 2.0},
        {31, true, 1900.0, 19.0}, {0, true, 0.0, 0.0},     {4, true, 0.0, 0.0},
        {3, false, 1000.0, 10.0},  // without a qualifier array only the main trace can contribute
    };
    const auto withNoise = [](CPeakData peak, double noise) {
        peak.SetChromNoise(noise);
        return peak;
    };
    const CPeakData main = withNoise(Peak(10.0f, 1000.0, 100.0), 10.0);
    CPeakData q0 = withNoise(Qualifier(10.0f, 500.0), 5.0);
    CPeakData q2 = withNoise(Qualifier(10.0f, 200.0, "308.0"), 2.0);
    CPeakData q3 = withNoise(Qualifier(10.0f, 200.0, "309.0"), 2.0);
    CPeakData* qualifiers[4] = {&q0, nullptr, &q2, &q3};  // target 1 has no peak
    CQuanLocate engine;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.traces << (c.withQualifiers ? "" : " without qualifiers"));
        CMethodData entry = Entry(10.0f);
        entry.SetQuantificationTraces(c.traces);
        double response = -1, noise = -1, factor = -1, corrected = -1;
        Access::GetEntryAbsoluteResponse(engine, main, c.withQualifiers ? qualifiers : nullptr, entry, response, noise,
                                         factor, corrected);
        EXPECT_EQ(response, c.response);
        EXPECT_EQ(corrected, c.response);
        EXPECT_EQ(noise, c.noise);
        EXPECT_EQ(factor, 10.0);  // area 1000 / height 100
    }
}

TEST(LocatedEntryUpdate, SignalToNoiseLimitsAndMonitoringFlags) {
    const struct {
        const char* what;
        double noise;       // 0: the peak keeps the signal-to-noise it brought, 5
        double lod, loq, minimum;
        int testSN, sampleType;
        int analyteSwitches, qcSwitches;  // both switches set to this
        int lodFlag, loqFlag, snFlag, qcSNFlag;
    } cases[] = {
        // Height 100 over noise 5 gives 20.
        {"all below the value", 5.0, 10.0, 15.0, 20.0, 1, 0, 1, 0, 0, 0, 0, 0},
        {"detection limit above", 5.0, 25.0, 15.0, 0.0, 1, 0, 1, 0, 1, 0, 0, 0},
        {"quantitation limit above", 5.0, 10.0, 25.0, 0.0, 1, 0, 1, 0, 0, 1, 0, 0},
        {"minimum above, analyte monitored", 5.0, 0.0, 0.0, 25.0, 1, 0, 1, 0, 0, 0, 1, 1},
        {"minimum above, analyte not monitored", 5.0, 0.0, 0.0, 25.0, 1, 0, 0, 1, 0, 0, 1, 0},
        {"minimum above, QC monitored", 5.0, 0.0, 0.0, 25.0, 1, 2, 0, 1, 0, 0, 1, 1},
        {"minimum above, test off", 5.0, 0.0, 0.0, 25.0, 0, 0, 1, 1, 0, 0, 0, 0},
        {"no noise: the brought value counts", 0.0, 6.0, 4.0, 0.0, 1, 0, 1, 0, 1, 0, 0, 0},
    };
    for (const auto& c : cases) {
        CQuanLocate engine;
        Access::SetSampleType(engine, c.sampleType);
        CMethodData entry = Entry(10.0f);
        entry.SetDetectionThreshold(c.lod);
        entry.SetQuantitationThreshold(c.loq);
        entry.SetMinSigNoise(c.minimum);
        entry.SetSigNoiseFlag(c.testSN);
        entry.SetMonitorAnalyteSigNosEnabled(c.analyteSwitches);
        entry.SetMonitorAnalyteEnabled(c.analyteSwitches);
        entry.SetMonitorQCSigNosEnabled(c.qcSwitches);
        entry.SetMonitorQCEnabled(c.qcSwitches);
        CPeakData peak = Peak(10.0f, 1000.0, 100.0);
        peak.SetChromNoise(c.noise);
        peak.SetSignalToNoise(5.0);
        peak.SetSigNoiseFlag(1);  // stale: cleared before the test
        Access::UpdateLocatedEntry(engine, peak, nullptr, entry, 1, 0);
        EXPECT_EQ(peak.GetSignalToNoiseLODFlag(), c.lodFlag) << c.what;
        EXPECT_EQ(peak.GetSignalToNoiseLOQFlag(), c.loqFlag) << c.what;
        EXPECT_EQ(peak.GetSigNoiseFlag(), c.snFlag) << c.what;
        EXPECT_EQ(peak.GetQCSigNoiseFlag(), c.qcSNFlag) << c.what;
    }
}

// The main peak's secondary values are its first qualifier's; its secondary signal-to-noise must
// be the qualifier's own of this sample (height over chromatogram noise), not whatever the
// qualifier carried in before location worked it out.
TEST(SecondarySignalToNoise, IsTheFirstQualifiersValueOfThisSample) {
    const struct {
        const char* what;
        double area;       // qualifier height is a tenth of it
        double noise;
        double carriedIn;  // the qualifier's signal-to-noise before location
        double expected;
    } cases[] = {
        {"worked out: 50 / 2", 500.0, 2.0, 0.0, 25.0},
        {"stale value replaced: 30 / 4", 300.0, 4.0, 99.0, 7.5},
        {"no noise: the value it brought along", 300.0, 0.0, 6.0, 6.0},
    };
    for (const auto& c : cases) {
        CMethodData entry = Entry(10.0f);
        entry.SetTargetTrace(0, "306.0");
        entry.SetTargetTrace(1, "307.0");
        CPeakData main = Peak(10.0f, 1000.0, 100.0);
        CPeakData first = Qualifier(10.0f, c.area);
        first.SetChromNoise(c.noise);
        first.SetSignalToNoise(c.carriedIn);
        CPeakData second = Qualifier(10.0f, 800.0, "307.0");
        second.SetChromNoise(1.0);  // 80: never the main peak's secondary value
        CPeakData* qualifiers[4] = {&first, &second, nullptr, nullptr};
        CQuanLocate engine;
        ASSERT_EQ(Access::UpdateLocatedEntry(engine, main, qualifiers, entry, 1, 1), kLocateOK);
        EXPECT_DOUBLE_EQ(first.GetSignalToNoise(), c.expected) << c.what;
        EXPECT_DOUBLE_EQ(main.GetSecondarySignalToNoise(), c.expected) << c.what;
        EXPECT_DOUBLE_EQ(main.GetSecondaryChromNoise(), c.noise) << c.what;
    }
}
