// Smoothing of a chromatogram before its peaks are detected, as a method entry asks for it: a
// moving mean or a Savitzky-Golay quadratic filter over 2 x width + 1 points, applied a given
// number of times. Both are the classical chromatographic smoothers: the moving mean removes
// the most noise per point of window but lowers and widens a peak; Savitzky-Golay fits a
// parabola in each window and so keeps a peak's height and width much better for the same
// window. Near either end the window shrinks to stay centred, so a straight baseline is left
// exactly as it was. Widths beyond kMaxSmoothingHalfWidth and passes beyond kMaxSmoothingPasses
// are taken as those limits: wider smoothing would flatten any chromatographic peak anyway.
#pragma once

#include <span>
#include <vector>

namespace Integrate {

enum class SmoothingMethod { MovingMean = 0, SavitzkyGolay = 1 };

struct Smoothing {
    bool enabled = false;
    SmoothingMethod method = SmoothingMethod::MovingMean;
    int halfWidth = 0;  // points on either side of the centre
    int passes = 1;
};

constexpr int kMaxSmoothingHalfWidth = 100;
constexpr int kMaxSmoothingPasses = 10;

// The smoothing as it will be applied: limits imposed, zero passes taken as one, and disabled
// when it would change nothing (width 0).
Smoothing Effective(const Smoothing& smoothing);

// `out` receives the smoothed signal, as long as `signal`; a copy when smoothing is off.
void Smooth(std::span<const double> signal, const Smoothing& smoothing, std::vector<double>& out);

}  // namespace Integrate
