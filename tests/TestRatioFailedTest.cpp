// The ion-ratio test: a flagged peak fails only when its entry defines a must-pass target.
#include <gtest/gtest.h>

#include "quan.h"

TEST(TestRatioFailed, FlaggedPeakFailsOnlyWithADefinedMustPassTarget) {
    const struct {
        const char* what;
        int flagged;
        const char* traces[4];
        int mustPass[4];
        bool acceptable;
    } cases[] = {
        {"not flagged, all must pass", 0, {"306", "307", "308", "309"}, {1, 1, 1, 1}, true},
        {"flagged, defined targets not must-pass", 1, {"306", "307", "", ""}, {0, 0, 0, 0}, true},
        {"flagged, must-pass target without trace", 1, {"306", "", "", ""}, {0, 1, 0, 0}, true},
        {"flagged, must-pass target 3 defined", 1, {"", "", "", "309"}, {0, 0, 0, 1}, false},
        {"flagged, must-pass target 0 defined", 1, {"306", "", "", ""}, {1, 0, 0, 0}, false},
        {"flagged, no targets at all", 1, {"", "", "", ""}, {0, 0, 0, 0}, true},
    };
    for (const auto& c : cases) {
        CMethodData entry;
        for (int k = 0; k < 4; ++k) {
            entry.SetTargetTrace(k, c.traces[k]);
            entry.SetTargetMustPass(k, c.mustPass[k]);
        }
        CPeakData peak;
        peak.SetIRWinFlag(c.flagged);
        EXPECT_EQ(CTestRatioFailed().TestRatio(peak, entry), c.acceptable) << c.what;
    }
}
