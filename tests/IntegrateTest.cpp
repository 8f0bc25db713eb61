// Peak integration on chromatograms whose true peaks are known: Gaussian and exponentially
// modified Gaussian (tailing) peaks on flat and drifting baselines, clean and at a
// signal-to-noise of 10, overlapping pairs, the method's thresholds and smoothing, input that
// breaks the reader's promises, the method-level peak list, and a few real chromatograms.
// True areas are analytic: a Gaussian's is height x sigma x sqrt(2 pi); the modified Gaussian is
// generated with a stated area. Areas are in intensity x seconds, times in minutes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "ListBuilders.h"
#include "quan.h"

namespace {

using namespace Integrate;

constexpr double kRootTwoPi = 2.5066282746310002;

struct Signal {
    std::vector<double> t, y;
};

// Points every `step` minutes over [0, end].
Signal Grid(double step, double end) {
    Signal s;
    for (int i = 0; i * step <= end + 1e-12; ++i) s.t.push_back(i * step);
    s.y.assign(s.t.size(), 0.0);
    return s;
}

double Gaussian(double t, double apex, double sigma, double height) {
    const double z = (t - apex) / sigma;
    return height * std::exp(-0.5 * z * z);
}

// Exponentially modified Gaussian of the given area (intensity x minutes).
double Emg(double t, double mu, double sigma, double tau, double area) {
    const double z = (sigma / tau - (t - mu) / sigma) / std::sqrt(2.0);
    // erfcx form keeps the far tail finite: exp(a) erfc(z) = exp(a - z^2) erfcx(z) for z > 0.
    const double a = 0.5 * (sigma / tau) * (sigma / tau) - (t - mu) / tau;
    const double value = z < 5.0 ? std::exp(a) * std::erfc(z) : std::exp(a - z * z) / (z * std::sqrt(M_PI)) * (1.0 - 0.5 / (z * z));
    return area / (2.0 * tau) * value;
}

// Gaussian noise from a fixed seed (Box-Muller over the standard Mersenne twister, so the same
// numbers on every platform).
void AddNoise(Signal& s, double sigma, unsigned seed) {
    std::mt19937 twister(seed);
    auto uniform = [&] { return (twister() + 0.5) / 4294967296.0; };
    for (double& y : s.y) y += sigma * std::sqrt(-2.0 * std::log(uniform())) * std::cos(2.0 * M_PI * uniform());
}

Settings SmoothedBy(SmoothingMethod method, int halfWidth, int passes = 1) {
    Settings settings;
    settings.smoothing = {true, method, halfWidth, passes};
    return settings;
}

enum class Shape { Gauss, Tailing };
struct PeakCase {
    Shape shape;
    double sigma, size;       // size: height (Gauss) or area in intensity x minutes (Tailing)
    double tau;               // tailing time constant
    double offset, drift;     // baseline at 0 min, and its slope per minute
    Settings settings;
};

// The signal of a case and its true area (intensity x seconds) and apex height.
Signal Make(const PeakCase& c, double step, double& trueArea, double& trueHeight) {
    Signal s = Grid(step, 4.0);
    trueHeight = 0.0;
    for (size_t i = 0; i < s.t.size(); ++i) {
        const double peak = c.shape == Shape::Gauss ? Gaussian(s.t[i], 2.0, c.sigma, c.size) : Emg(s.t[i], 1.9, c.sigma, c.tau, c.size);
        trueHeight = std::max(trueHeight, peak);
        s.y[i] = peak + c.offset + c.drift * s.t[i];
    }
    trueArea = 60.0 * (c.shape == Shape::Gauss ? c.size * c.sigma * kRootTwoPi : c.size);
    return s;
}

// Signal-to-noise as the engines reckon it: apex height over the noise's standard deviation.
// The noise integrated with the peak is a random error no integrator avoids; at 50 points per
// standard deviation of the peak (a detector sampling at 10 to 20 Hz) it is about 2 %, so clean
// peaks must come within 1 % and peaks at S/N 10 within 5 %.
TEST(Integrate, PeakAreasWithinOnePercentCleanAndFivePercentAtSignalToNoiseTen) {
    const Settings savitzkyGolay = SmoothedBy(SmoothingMethod::SavitzkyGolay, 10);
    const Settings movingMean = SmoothedBy(SmoothingMethod::MovingMean, 5, 2);
    const struct {
        PeakCase peak;
        std::vector<unsigned> noiseSeeds;  // none: clean
    } cases[] = {
        {{Shape::Gauss, 0.05, 1000.0, 0, 50.0, 0.0, {}}, {}},
        {{Shape::Tailing, 0.04, 40.0, 0.04, 20.0, 0.0, {}}, {}},
        {{Shape::Tailing, 0.05, 40.0, 0.10, 0.0, 10.0, SmoothedBy(SmoothingMethod::SavitzkyGolay, 4)}, {}},
        {{Shape::Gauss, 0.05, 1000.0, 0, 200.0, 20.0, savitzkyGolay}, {1, 2, 3}},
        {{Shape::Gauss, 0.05, 1000.0, 0, 200.0, 20.0, movingMean}, {4, 5, 6}},
        {{Shape::Tailing, 0.05, 100.0, 0.05, 200.0, 20.0, savitzkyGolay}, {7, 8}},
        {{Shape::Tailing, 0.05, 100.0, 0.05, 200.0, 20.0, movingMean}, {9, 10}},
    };
    for (const auto& c : cases) {
        const bool clean = c.noiseSeeds.empty();
        for (const unsigned seed : clean ? std::vector<unsigned>{0} : c.noiseSeeds) {
            SCOPED_TRACE(::testing::Message() << "case " << &c - cases << " seed " << seed);
            double trueArea = 0.0, trueHeight = 0.0;
            Signal s = Make(c.peak, clean ? 0.005 : 0.001, trueArea, trueHeight);
            const double noise = clean ? 0.0 : trueHeight / 10.0;
            if (!clean) AddNoise(s, noise, seed);
            const Result result = IntegrateSignal(s.t, s.y, c.peak.settings);
            ASSERT_EQ(result.status, Status::OK);
            // Nothing else stands three noises above the baseline.
            ASSERT_EQ(result.peaks.size(), 1u);
            const Peak& peak = result.peaks[0];
            EXPECT_NEAR(peak.area, trueArea, (clean ? 0.01 : 0.05) * trueArea);
            if (!clean) {
                EXPECT_NEAR(result.noise, noise, 0.15 * noise);
                EXPECT_NEAR(peak.height, trueHeight, 0.15 * trueHeight);
                continue;
            }
            // The baseline at the ends is the drifting baseline itself.
            EXPECT_NEAR(peak.startBaseline, c.peak.offset + c.peak.drift * peak.startTime, 1e-3 * trueHeight);
            EXPECT_NEAR(peak.endBaseline, c.peak.offset + c.peak.drift * peak.endTime, 1e-3 * trueHeight);
        }
    }
}

TEST(Integrate, OverlappingPeaksSplitAtTheValleyUnlessItIsShallowerThanTheSplitting) {
    const double sigma = 0.05, height = 1000.0, single = 60.0 * height * sigma * kRootTwoPi;
    // Apexes 4 sigma apart: the valley stands at 2 exp(-2) = 27 % of an apex, 73 % deep.
    const struct {
        double apart, splitting;
        size_t peaks;
        bool sharedBaseline;
    } cases[] = {
        {0.2, 0.0, 2, true}, {0.2, 70.0, 2, true}, {0.2, 76.0, 1, true}, {1.0, 0.0, 2, false}, {1.0, 100.0, 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "apart " << c.apart << " splitting " << c.splitting);
        Signal s = Grid(0.005, 4.0);
        for (size_t i = 0; i < s.t.size(); ++i)
            s.y[i] = 10.0 + Gaussian(s.t[i], 2.0 - c.apart / 2, sigma, height) + Gaussian(s.t[i], 2.0 + c.apart / 2, sigma, height);
        Settings settings;
        settings.splitting = c.splitting;
        const Result result = IntegrateSignal(s.t, s.y, settings);
        ASSERT_EQ(result.peaks.size(), c.peaks);
        if (c.peaks == 1) {
            EXPECT_NEAR(result.peaks[0].area, 2.0 * single, 0.01 * single);
            continue;
        }
        const Peak &first = result.peaks[0], &second = result.peaks[1];
        // Equal peaks: a perpendicular drop at the valley halves their sum exactly.
        EXPECT_NEAR(first.area, single, 0.01 * single);
        EXPECT_NEAR(second.area, single, 0.01 * single);
        EXPECT_NEAR(first.apexTime, 2.0 - c.apart / 2, 0.005);
        EXPECT_EQ(first.end == second.start, c.sharedBaseline);
    }
}

TEST(Integrate, ThresholdsAndTheNoiseLevelDecideWhichPeaksAreKept) {
    Signal s = Grid(0.005, 4.0);
    const double heights[] = {1000.0, 200.0, 30.0};
    for (size_t i = 0; i < s.t.size(); ++i)
        for (int k = 0; k < 3; ++k) s.y[i] += Gaussian(s.t[i], 1.0 + k, 0.05, heights[k]);
    const double area200 = 60.0 * 200.0 * 0.05 * kRootTwoPi;
    using M = ThresholdMethod;
    // Settings: method, area % and absolute, height % and absolute, noise level, automatic noise.
    const struct {
        Settings settings;
        size_t kept;
    } cases[] = {
        {{{}, M::All, 0, 0, 0, 0, 0, false}, 3},
        {{{}, M::All, 0, area200 * 1.01, 0, 0, 0, false}, 1},
        {{{}, M::All, 19, 0, 0, 0, 0, false}, 2},             // the 200 peak has 20 % of the area
        {{{}, M::All, 21, 0, 0, 0, 0, false}, 1},
        {{{}, M::AreaOnly, 0, 0, 50, 500, 0, false}, 3},      // height thresholds not applied
        {{{}, M::HeightOnly, 50, 1e9, 0, 100, 0, false}, 2},  // area thresholds not applied
        {{{}, M::All, 0, 0, 0, 0, 20, false}, 2},             // 30 is below three noises of 20
        {{{}, M::All, 0, 0, 0, 0, 20, true}, 3},              // automatic: the measured noise
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case " << &c - cases);
        const Result result = IntegrateSignal(s.t, s.y, c.settings);
        ASSERT_EQ(result.peaks.size(), c.kept);
        for (size_t k = 0; k < c.kept; ++k) EXPECT_NEAR(result.peaks[k].height, heights[k], 0.01 * heights[k]);
        EXPECT_EQ(result.noise == 20.0, c.settings.noiseLevel == 20.0 && !c.settings.automaticNoise);
    }
}

TEST(Integrate, BrokenInputGetsItsStatusAndDegenerateInputNoPeaks) {
    const double nan = std::nan("");
    const struct {
        std::vector<double> t, y;
        Status status;
    } cases[] = {
        {{0, 1, 2}, {1, 2}, Status::LengthsDiffer},
        {{0, 1, 2, 3}, {0, 5, nan, 0}, Status::NotFinite},
        {{0, 1, 1, 2}, {0, 5, 5, 0}, Status::TimesNotAscending},
        {{}, {}, Status::OK},
        {{0, 1, 2, 3, 4}, {0, 0, 0, 0, 100}, Status::OK},      // rises at the end: never seen to fall
    };
    for (const auto& c : cases) {
        const Result result = IntegrateSignal(c.t, c.y, Settings{});
        EXPECT_EQ(result.status, c.status) << c.t.size();
        EXPECT_TRUE(result.peaks.empty());
    }
}

RawData::Chromatogram TwoPeaks(const std::string& id, const std::string& trace, double q1, double q3) {
    RawData::Chromatogram c;
    c.id = id;
    c.trace = trace;
    c.precursorMz = q1;
    c.productMz = q3;
    c.function = 2;
    const Signal s = Grid(0.01, 10.0);
    c.times = s.t;
    for (double t : s.t) c.intensities.push_back(5.0 + Gaussian(t, 3.0, 0.05, 800.0) + Gaussian(t, 7.0, 0.05, 400.0));
    for (size_t i = 0; i < c.times.size(); ++i) c.scans.push_back(static_cast<int>(100 + i));
    return c;
}

// The bundled example's end-to-end run covers qualifiers and totals records on real files; this
// covers the matching rules it does not reach: a trace within the entry's window is its, a
// qualifier is integrated with the settings of the entry whose main trace it is, and a broken
// chromatogram is reported and skipped.
TEST(Integrate, MethodPeakListNamesTracesAsTheMethodDoesAndMarksQualifiers) {
    CMethodData quan;
    quan.SetQuanTrace("216.1>174.1");
    quan.SetTargetTrace(0, "216.1>132.0");
    quan.SetChroMassWindowAbs(1);
    quan.SetChroMassWindowABS(0.05f);
    quan.SetPkRespHeightRel(60.0f);  // keeps only the larger peak of a quantification trace
    CMethodData other;
    other.SetQuanTrace("216.1>132.0");  // A's qualifier is B's main trace
    const CMethodList method = test_lists::Methods({quan, other});

    std::vector<RawData::Chromatogram> chromatograms = {
        TwoPeaks("c1", "216.12>174.08", 216.12, 174.08),  // within A's 0.05 window
        TwoPeaks("c2", "216.1>132", 216.1, 132.0),
        TwoPeaks("bad", "1>2", 1.0, 2.0),
    };
    chromatograms[2].times[5] = chromatograms[2].times[4];
    CPeakList peaks;
    const Quan::Problems problems = Integrate::IntegrateForMethod(method, chromatograms, peaks);
    EXPECT_EQ(Quan::ProblemsText(problems), "chromatogram bad: its times do not ascend");

    const struct {
        std::string trace;
        float foundRT;
        int entryPeak;
        uint32_t foundScan;
    } expected[] = {
        {"216.1>174.1", 3.0f, 0, 400},
        {"216.1>132.0", 3.0f, 1, 400},  // A's qualifier, and B's settings keep both
        {"216.1>132.0", 7.0f, 1, 800},
    };
    ASSERT_EQ(peaks.GetSize(), 3);
    for (int i = 0; i < 3; ++i) {
        const CPeakData& p = peaks.GetAt(i);
        SCOPED_TRACE(i);
        EXPECT_EQ(std::string(p.GetQuanTrace()), expected[i].trace);
        EXPECT_NEAR(p.GetFoundRT(), expected[i].foundRT, 0.002f);
        EXPECT_EQ(p.GetMDBIntegrateEntryPeak(), expected[i].entryPeak);
        EXPECT_EQ(p.GetFoundScan(), expected[i].foundScan);
        EXPECT_EQ(p.GetRawAcquisitionFunction(), 2);
    }
}

// Real chromatograms: each must give a peak at the other pipeline's apex.
std::map<std::string, Signal> ReadCuts(const std::string& name, std::map<std::string, double>* apexes) {
    std::ifstream file(std::string(QUAN_SOURCE_DIR) + "/tests/data/integrate/" + name);
    std::map<std::string, Signal> traces;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::stringstream cells(line);
        std::string trace = "uv", apex, t, y;
        if (apexes != nullptr) std::getline(cells, trace, ',') && std::getline(cells, apex, ',');
        std::getline(cells, t, ',');
        std::getline(cells, y, ',');
        if (apexes != nullptr) (*apexes)[trace] = std::stod(apex);
        traces[trace].t.push_back(std::stod(t));
        traces[trace].y.push_back(std::stod(y));
    }
    return traces;
}

TEST(Integrate, RealChromatogramsGiveTheirPeaksWhereOthersFoundThem) {
    std::map<std::string, double> apexes;
    const auto yeast = ReadCuts("yeast-cuts.csv", &apexes);
    ASSERT_EQ(yeast.size(), 3u);
    auto uv = ReadCuts("uv-cut.csv", nullptr);
    apexes["uv"] = 3.43;  // Tryptophan, by the lab's compound list
    for (const auto& [trace, signal] : yeast) uv[trace] = signal;
    for (const auto& [trace, signal] : uv) {
        SCOPED_TRACE(trace);
        const Result result = IntegrateSignal(signal.t, signal.y, SmoothedBy(SmoothingMethod::SavitzkyGolay, 2));
        ASSERT_EQ(result.status, Status::OK);
        EXPECT_GT(result.noise, 0.0);
        const auto largest = std::max_element(result.peaks.begin(), result.peaks.end(),
                                              [](const Peak& a, const Peak& b) { return a.area < b.area; });
        ASSERT_NE(largest, result.peaks.end());
        EXPECT_NEAR(largest->apexTime, apexes[trace], 0.05);
        EXPECT_GT(largest->height / result.noise, 10.0);
    }
}

}  // namespace
