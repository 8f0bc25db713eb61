// What is written once a peak is chosen: summed absolute responses over the quantified traces,
// and signal-to-noise with its limit and monitoring flags.
#include <gtest/gtest.h>

#include "LocateTestSupport.h"
#include "quan.h"

using namespace locate_test;
using Access = QuanLocateTestAccess;

namespace {
}  // namespace

TEST(LocatedEntryUpdate, AbsoluteResponseSumsTheQuantifiedTraces) {
    const struct {
        int traces;
        double response;
        double noise;
    } cases[] = {{1, 1000.0, 10.0}, {2, 500.0, 5.0}, {3, 1500.0, 15.0}, {16, 200.0, 2.0},
                 {31, 1900.0, 19.0}, {0, 0.0, 0.0}, {4, 0.0, 0.0}};
    CQuanLocate engine;
    CPeakData main = Peak(10.0f, 1000.0, 100.0);
    main.SetChromNoise(10.0);
    CPeakData q0 = Qualifier(10.0f, 500.0);
    q0.SetChromNoise(5.0);
    CPeakData q3 = Qualifier(10.0f, 200.0, "309.0");
    q3.SetChromNoise(2.0);
    CPeakData q2 = Qualifier(10.0f, 200.0, "308.0");
    q2.SetChromNoise(2.0);
    CPeakData* qualifiers[4] = {&q0, nullptr, &q2, &q3};  // target 1 has no peak
    for (const auto& c : cases) {
        CMethodData entry = Entry(10.0f);
        entry.SetQuantificationTraces(c.traces);
        double response = -1, noise = -1, factor = -1, corrected = -1;
        Access::GetEntryAbsoluteResponse(engine, main, qualifiers, entry, response, noise, factor, corrected);
        EXPECT_EQ(response, c.response) << c.traces;
        EXPECT_EQ(corrected, c.response) << c.traces;
        EXPECT_EQ(noise, c.noise) << c.traces;
        EXPECT_EQ(factor, 10.0) << c.traces;  // area 1000 / height 100
    }
    // Without a qualifier array only the main trace can contribute.
    CMethodData entry = Entry(10.0f);
    entry.SetQuantificationTraces(3);
    double response = -1, noise = -1, factor = -1, corrected = -1;
    Access::GetEntryAbsoluteResponse(engine, main, nullptr, entry, response, noise, factor, corrected);
    EXPECT_EQ(response, 1000.0);
    EXPECT_EQ(noise, 10.0);
}

TEST(LocatedEntryUpdate, SignalToNoiseLimitsAndMonitoringFlags) {
    const struct {
        const char* what;
        double noise;       // 0: the peak keeps the signal-to-noise it brought, 5
        double lod, loq, minimum;
        int testSN;
        int sampleType;
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
