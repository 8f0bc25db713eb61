// Moving-mean and Savitzky-Golay smoothing by direct convolution with symmetric weights; the
// weights of every window size needed (the full one and the shrunken ones at the ends) are
// worked out once per call. The Savitzky-Golay weights are the closed form of the quadratic
// least-squares fit: w(i) = 3 (3h^2 + 3h - 1 - 5 i^2) / ((4h^2 - 1)(2h + 3)) for half-width h.
#include "integrate/Smoothing.h"

#include <algorithm>

namespace Integrate {

namespace {

// Weights w(0..h) of the centred window of half-width h (w(-i) = w(i)).
std::vector<double> WindowWeights(SmoothingMethod method, int h) {
    std::vector<double> weights(h + 1);
    for (int i = 0; i <= h; ++i) {
        if (method == SmoothingMethod::SavitzkyGolay) {
            const double hh = h;
            weights[i] = 3.0 * (3.0 * hh * hh + 3.0 * hh - 1.0 - 5.0 * i * i) / ((4.0 * hh * hh - 1.0) * (2.0 * hh + 3.0));
        } else {
            weights[i] = 1.0 / (2.0 * h + 1.0);
        }
    }
    return weights;
}

void SmoothOnce(const std::vector<double>& in, const std::vector<std::vector<double>>& weightsByHalfWidth,
                std::vector<double>& out) {
    const int n = static_cast<int>(in.size());
    const int widest = static_cast<int>(weightsByHalfWidth.size()) - 1;
    out.resize(in.size());
    // Widest is at most (n - 1) / 2, so the two ends with their shrunken windows and the
    // interior with the full one partition the points.
    const int interiorEnd = n - widest;
    auto smoothAt = [&](int i, int h) {
        const double* w = weightsByHalfWidth[h].data();
        double sum = w[0] * in[i];
        for (int k = 1; k <= h; ++k) sum += w[k] * (in[i - k] + in[i + k]);
        out[i] = sum;
    };
    for (int i = 0; i < widest; ++i) smoothAt(i, i);
    for (int i = interiorEnd; i < n; ++i) smoothAt(i, n - 1 - i);
    for (int i = widest; i < interiorEnd; ++i) smoothAt(i, widest);
}

}  // namespace

Smoothing Effective(const Smoothing& smoothing) {
    Smoothing effective = smoothing;
    effective.halfWidth = std::clamp(smoothing.halfWidth, 0, kMaxSmoothingHalfWidth);
    effective.passes = std::clamp(smoothing.passes, 1, kMaxSmoothingPasses);
    if (effective.method != SmoothingMethod::SavitzkyGolay) effective.method = SmoothingMethod::MovingMean;
    // A quadratic fit through three points passes through them: half-width 1 changes nothing.
    const int leastWidth = effective.method == SmoothingMethod::SavitzkyGolay ? 2 : 1;
    effective.enabled = smoothing.enabled && effective.halfWidth >= leastWidth;
    return effective;
}

void Smooth(std::span<const double> signal, const Smoothing& smoothing, std::vector<double>& out) {
    const Smoothing effective = Effective(smoothing);
    out.assign(signal.begin(), signal.end());
    if (!effective.enabled || signal.size() < 3) return;
    const int widest = std::min<int>(effective.halfWidth, static_cast<int>(signal.size() - 1) / 2);
    std::vector<std::vector<double>> weights;
    for (int h = 0; h <= widest; ++h) weights.push_back(WindowWeights(effective.method, h));
    std::vector<double> pass;
    for (int p = 0; p < effective.passes; ++p) {
        SmoothOnce(out, weights, pass);
        out.swap(pass);
    }
}

}  // namespace Integrate
