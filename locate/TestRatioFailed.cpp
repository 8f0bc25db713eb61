// The ion-ratio test. A target without a trace text is not defined, whatever its must-pass
// switch says.
#include "locate/TestRatioFailed.h"

#include "records/MethodData.h"
#include "records/PeakData.h"

bool CTestRatioFailed::TestRatio(const CPeakData& peak, const CMethodData& entry) const {
    if (peak.GetIRWinFlag() == 0) return true;
    for (int k = 0; k < 4; ++k) {
        // The switch is read first: the trace text is only fetched for a must-pass target.
        if (entry.GetTargetMustPass(k) != 0 && !entry.GetTargetTrace(k).empty()) return false;
    }
    return true;
}
