// The ion-ratio test: whether a located peak may still count although its qualifier-ion
// ratios were out of their windows. Such a peak is rejected only when its method entry defines
// at least one target trace that is marked must-pass. Stateless; callers make a temporary.
#pragma once

class CMethodData;
class CPeakData;

class CTestRatioFailed {
public:
    CTestRatioFailed() = default;
    CTestRatioFailed(const CTestRatioFailed&) = default;
    CTestRatioFailed& operator=(const CTestRatioFailed&) = default;
    virtual ~CTestRatioFailed() = default;

    // True when the peak is acceptable, false when it fails the ion-ratio test.
    bool TestRatio(const CPeakData& peak, const CMethodData& entry) const;
};
