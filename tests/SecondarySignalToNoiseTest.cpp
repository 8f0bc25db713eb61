// The main peak's secondary values are its first qualifier's; its secondary signal-to-noise must
// be the qualifier's own of this sample (height over chromatogram noise), not whatever the
// qualifier carried in before location worked it out.
#include <gtest/gtest.h>

#include "LocateTestSupport.h"
#include "quan.h"

using namespace locate_test;
using Access = QuanLocateTestAccess;

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
