// Spectrum set-up and scoring with arbitrary values and counts: a measured and a predicted
// spectrum (counts from -2 to 80, values from the input, now and then a null array), then the
// score, then the measured spectrum scored against itself.
// Invariants: set-up answers 0 or 1; a failed set-up leaves its table all zero; a loaded table
// is all zero or has 1000 as its largest intensity; the same spectrum loads the same table on
// either side; the scores are finite. Score values are the unit tests' business.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "spectrum/MatchScoring.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {
using MatchScoring::SpectrumTable;

struct Spectrum {
    std::vector<float> masses, intensities;
    int count = 0;
    bool nullArrays = false;
};

Spectrum MakeSpectrum(FuzzInput& input) {
    Spectrum s;
    s.count = input.Int(-2, 80);
    s.nullArrays = input.Int(0, 31) == 0;
    float mass = 40.0f;
    for (int i = 0; i < s.count; ++i) {
        // Mostly ascending masses as an instrument writes them, sometimes any value at all.
        const bool raw = input.Int(0, 7) == 0;
        mass = raw ? input.Float() : mass + input.Int(0, 400) / 10.0f;
        const float intensity = input.Float();
        s.masses.push_back(mass);
        s.intensities.push_back(intensity);
    }
    return s;
}

int Setup(int (*setup)(const float*, const float*, int), const Spectrum& s) {
    const float* masses = s.nullArrays || s.masses.empty() ? nullptr : s.masses.data();
    const float* intensities = s.nullArrays || s.intensities.empty() ? nullptr : s.intensities.data();
    return setup(masses, intensities, s.count);
}

void CheckTable(int status, const SpectrumTable& table) {
    FUZZ_CHECK(status == 0 || status == 1);
    const bool allZero = std::all_of(table.begin(), table.end(), [](const auto& e) { return e.mass == 0 && e.intensity == 0; });
    const auto byIntensity = [](const auto& a, const auto& b) { return a.intensity < b.intensity; };
    FUZZ_CHECK(status == 1 || allZero);
    FUZZ_CHECK(allZero || std::max_element(table.begin(), table.end(), byIntensity)->intensity == 1000);
}

// Scores are finite whatever the spectra hold.
void CheckScore() {
    double whole = -1.0, predicted = -1.0;
    FUZZ_CHECK(std::isfinite(BestMatch(&whole, &predicted)));
    FUZZ_CHECK(std::isfinite(whole) && std::isfinite(predicted));
    (void)BestMatch(nullptr, nullptr);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const Spectrum measured = MakeSpectrum(input);
    const Spectrum predicted = MakeSpectrum(input);

    const int realStatus = Setup(SetupRealValsF_F, measured);
    CheckTable(realStatus, MatchScoring::MeasuredTable());
    const int predStatus = Setup(SetupPredValsF_F, predicted);
    CheckTable(predStatus, MatchScoring::PredictedTable());
    CheckScore();

    FUZZ_CHECK(Setup(SetupPredValsF_F, measured) == realStatus);
    const SpectrumTable a = MatchScoring::MeasuredTable(), b = MatchScoring::PredictedTable();
    FUZZ_CHECK(std::memcmp(&a, &b, sizeof a) == 0);
    CheckScore();
    return 0;
}
