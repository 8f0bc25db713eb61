// The peak integrator on any settings and any signal: counts 0 to 600, times mostly ascending
// in steps of any size (now and then equal, backwards or not finite), intensities as an
// instrument gives them (a baseline, peaks and noise) or any value at all.
// Invariants: the status is OK exactly when the input keeps the reader's promises (equal lengths,
// finite values, strictly ascending times); peaks come only with OK, lie inside the data with
// start < apex < end, in time order without overlap; the same input integrates the same twice.
// Areas and heights are the unit tests' business (worked against peaks of known area).
#include <cmath>
#include <vector>

#include "integrate/PeakIntegrator.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {
using namespace Integrate;

Settings MakeSettings(FuzzInput& input) {
    Settings s;
    s.smoothing.enabled = input.Bool();
    s.smoothing.method = static_cast<SmoothingMethod>(input.Int(-1, 2));
    s.smoothing.halfWidth = input.Int(-2, 120);
    s.smoothing.passes = input.Int(-1, 12);
    s.thresholdMethod = static_cast<ThresholdMethod>(input.Int(0, 3));
    if (input.Bool()) {
        for (double* threshold : {&s.areaRelative, &s.areaAbsolute, &s.heightRelative, &s.heightAbsolute})
            *threshold = input.Double();
    }
    if (input.Bool()) s.noiseLevel = input.Double();
    s.automaticNoise = input.Bool();
    s.splitting = input.Bool() ? input.Double() : 0.0;
    return s;
}

bool KeepsPromises(const std::vector<double>& t, const std::vector<double>& y) {
    if (t.size() != y.size()) return false;
    for (size_t i = 0; i < t.size(); ++i)
        if (!std::isfinite(t[i]) || !std::isfinite(y[i]) || (i > 0 && !(t[i] > t[i - 1]))) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const Settings settings = MakeSettings(input);
    const int count = input.Int(0, 600);
    std::vector<double> t, y;
    double time = input.Double();
    if (!std::isfinite(time)) time = 0.0;
    const double step = 0.001 + input.Int(0, 1000) / 1000.0;
    const double noise = input.Int(0, 100);
    for (int i = 0; i < count && input.Remaining() > 0; ++i) {
        const int kind = input.Int(0, 15);
        time = kind == 15 ? input.Double() : time + (kind == 14 ? 0.0 : step);
        t.push_back(time);
        const double shaped = 50.0 + 1000.0 * std::exp(-0.5 * std::pow((i % 97 - 48) / 6.0, 2)) + noise * (input.Int(0, 200) - 100) / 100.0;
        y.push_back(kind == 13 ? input.Double() : shaped);
    }
    if (input.Int(0, 15) == 15 && !t.empty()) t.pop_back();

    const Result result = IntegrateSignal(t, y, settings);
    FUZZ_CHECK((result.status == Status::OK) == KeepsPromises(t, y));
    FUZZ_CHECK(result.status == Status::OK || result.peaks.empty());
    int previousEnd = 0;
    for (const Peak& peak : result.peaks) {
        FUZZ_CHECK(previousEnd <= peak.start && peak.start < peak.apex && peak.apex < peak.end && peak.end < static_cast<int>(t.size()));
        previousEnd = peak.end;
    }
    const Result again = IntegrateSignal(t, y, settings);
    FUZZ_CHECK(again.noise == result.noise || std::isnan(result.noise));
    FUZZ_CHECK(again.peaks.size() == result.peaks.size());
    return 0;
}
