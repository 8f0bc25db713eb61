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

#include "GoldenSupport.h"
#include "ListBuilders.h"
#include "platform/NumberText.h"
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

// Realistic sampling: 8 to 20 points across the width at half height (FWHM = 2.355 sigma). Clean
// peaks come within 2 % of their true area, peaks at signal-to-noise 20 (apex height over the
// baseline noise, with counting noise growing with the signal on top) within 5 %, and each
// true peak is one peak, with the defaults a method without integration settings gets.
Signal Sampled(const PeakCase& c, double pointsAcrossHalfHeight, double& trueArea, double& trueHeight) {
    return Make(c, 2.3548 * c.sigma / pointsAcrossHalfHeight, trueArea, trueHeight);
}

// Baseline noise `sigma` plus counting noise of variance `gain` x signal above the offset.
void AddCountingNoise(Signal& s, double sigma, double gain, double offset, unsigned seed) {
    std::mt19937 twister(seed);
    auto normal = [&] {
        const double u = (twister() + 0.5) / 4294967296.0, v = (twister() + 0.5) / 4294967296.0;
        return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * M_PI * v);
    };
    for (double& y : s.y) y += std::sqrt(sigma * sigma + gain * std::max(0.0, y - offset)) * normal();
}

TEST(Integrate, OnePeakPerTruePeakWithinTwoPercentCleanAndFivePercentAtSignalToNoiseTwenty) {
    const Settings defaults;
    const struct {
        PeakCase peak;
        double pointsAcross;
    } cases[] = {
        {{Shape::Gauss, 0.05, 1000.0, 0, 50.0, 0.0, defaults}, 8},
        {{Shape::Gauss, 0.05, 1000.0, 0, 50.0, 0.0, defaults}, 12},
        {{Shape::Gauss, 0.05, 1000.0, 0, 50.0, 0.0, defaults}, 20},
        {{Shape::Tailing, 0.04, 40.0, 0.02, 20.0, 0.0, defaults}, 12},
        {{Shape::Tailing, 0.04, 40.0, 0.04, 20.0, 0.0, defaults}, 16},
        {{Shape::Gauss, 0.05, 1000.0, 0, 200.0, 5.0, defaults}, 12},
    };
    for (const auto& c : cases) {
        double noisyError = 0.0;  // mean absolute error over the noisy seeds
        const unsigned seeds[] = {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u};
        for (const unsigned seed : seeds) {
            const bool clean = seed == 0;
            SCOPED_TRACE(::testing::Message() << "case " << &c - cases << " seed " << seed);
            double trueArea = 0.0, trueHeight = 0.0;
            Signal s = Sampled(c.peak, c.pointsAcross, trueArea, trueHeight);
            const double noise = trueHeight / 20.0;
            // Counting noise: at the apex as large again as the baseline noise.
            if (!clean) AddCountingNoise(s, noise, noise * noise / trueHeight, c.peak.offset, seed);
            const Result result = IntegrateSignal(s.t, s.y, c.peak.settings);
            ASSERT_EQ(result.status, Status::OK);
            ASSERT_EQ(result.peaks.size(), 1u);
            const Peak& peak = result.peaks[0];
            // One noisy draw may stray further; the error over draws is what the 5 % bounds.
            EXPECT_NEAR(peak.area, trueArea, (clean ? 0.02 : 0.15) * trueArea);
            EXPECT_NEAR(peak.height, trueHeight, (clean ? 0.03 : 0.1) * trueHeight);
            EXPECT_GE(peak.quality.pointsAcross, static_cast<int>(2 * c.pointsAcross));
            if (!clean) noisyError += std::fabs(peak.area / trueArea - 1.0) / (std::size(seeds) - 1);
        }
        EXPECT_LT(noisyError, 0.05);
    }
}

// The figures of a peak's shape against those of its analytic form: a Gaussian's width at half
// height is 2.3548 sigma and it is symmetric (asymmetry and tailing 1); a tailing peak's
// trailing side is the longer.
TEST(Integrate, QualityFiguresDescribeThePeakShape) {
    double trueArea = 0.0, trueHeight = 0.0;
    const Signal gauss = Sampled({Shape::Gauss, 0.05, 1000.0, 0, 10.0, 0.0, {}}, 20, trueArea, trueHeight);
    const Result symmetric = IntegrateSignal(gauss.t, gauss.y, Settings{});
    ASSERT_EQ(symmetric.peaks.size(), 1u);
    const PeakQuality& q = symmetric.peaks[0].quality;
    EXPECT_NEAR(q.widthAtHalfHeight, 2.3548 * 0.05, 0.03 * 2.3548 * 0.05);
    EXPECT_NEAR(q.asymmetry, 1.0, 0.05);
    EXPECT_NEAR(q.tailingFactor, 1.0, 0.05);
    EXPECT_EQ(q.pointsAcross, symmetric.peaks[0].end - symmetric.peaks[0].start + 1);
    const Signal tailing = Sampled({Shape::Tailing, 0.04, 40.0, 0.06, 10.0, 0.0, {}}, 20, trueArea, trueHeight);
    const Result tailed = IntegrateSignal(tailing.t, tailing.y, Settings{});
    ASSERT_EQ(tailed.peaks.size(), 1u);
    EXPECT_GT(tailed.peaks[0].quality.asymmetry, 1.5);
    EXPECT_GT(tailed.peaks[0].quality.tailingFactor, 1.2);
    EXPECT_LT(tailed.peaks[0].quality.tailingFactor, tailed.peaks[0].quality.asymmetry);
}

// Counting noise on a tall peak is several times the baseline noise; it must not cut the peak.
// A co-eluting neighbour and a shoulder are peaks of their own.
TEST(Integrate, NeighboursAndShouldersAreSplitAndNoiseOnAPeakIsNot) {
    const double sigma = 0.05, step = 2.3548 * sigma / 12;  // 12 points across at half height
    const struct {
        const char* what;
        double secondApart, secondHeight;  // in sigmas, and of the first's height (0: none)
        double gain;                      // counting noise variance per unit of signal
        size_t peaks;
    } cases[] = {
        {"alone, counting noise 10x the baseline's at the apex", 0, 0, 100.0, 1},
        {"co-eluting neighbour 4 sigma away", 4.0, 0.6, 1.0, 2},
        {"shoulder 2.5 sigma away at half height", 2.5, 0.5, 1.0, 2},
    };
    for (const auto& c : cases) {
        for (const unsigned seed : {1u, 2u, 3u}) {
            SCOPED_TRACE(::testing::Message() << c.what << " seed " << seed);
            Signal s = Grid(step, 4.0);
            for (size_t i = 0; i < s.t.size(); ++i)
                s.y[i] = 100.0 + Gaussian(s.t[i], 2.0, sigma, 10000.0) +
                         Gaussian(s.t[i], 2.0 + c.secondApart * sigma, sigma, c.secondHeight * 10000.0);
            AddCountingNoise(s, 10.0, c.gain, 100.0, seed);
            const Result result = IntegrateSignal(s.t, s.y, Settings{});
            ASSERT_EQ(result.peaks.size(), c.peaks);
            double total = 0.0;
            for (const Peak& peak : result.peaks) total += peak.area;
            const double trueTotal = 60.0 * 10000.0 * sigma * kRootTwoPi * (1.0 + c.secondHeight);
            EXPECT_NEAR(total, trueTotal, 0.04 * trueTotal);  // no part of either peak is dropped
            EXPECT_NEAR(result.peaks[0].apexTime, 2.0, 0.2 * sigma);
            if (c.peaks == 2) {
                EXPECT_NEAR(result.peaks[1].apexTime, 2.0 + c.secondApart * sigma, 0.5 * sigma);
            }
        }
    }
}

// A method entry gives integration settings or none; none gets the defaults.
TEST(Integrate, SettingsNoneGivenAreTheDefaultsAndGivenOnesAreKept) {
    tagINTEGRATE_PARAMS block{};
    block.Constant2 = 2;
    block.ConstantPoint3 = 0.3f;
    EXPECT_FALSE(BlockGivesSettings(block));
    const Settings none = SettingsFromBlock(block);
    EXPECT_TRUE(none.automaticSmoothing);
    EXPECT_TRUE(none.shoulders);
    EXPECT_EQ(none.splitting, kDefaultSplittingPercent);
    block.SmooIter = 1;  // smoothing off, but given
    EXPECT_TRUE(BlockGivesSettings(block));
    const Settings off = SettingsFromBlock(block);
    EXPECT_FALSE(off.automaticSmoothing);
    EXPECT_FALSE(Effective(off.smoothing).enabled);
    EXPECT_FALSE(off.shoulders);
    EXPECT_EQ(off.splitting, 0.0);  // given: every valley deep enough to be real splits
    block.PkSplitting = 80.0f;
    block.PkShldrDetect = 1;
    EXPECT_EQ(SettingsFromBlock(block).splitting, 80.0);
    EXPECT_TRUE(SettingsFromBlock(block).shoulders);
}


// What each smoother must leave alone, point for point, ends included: a quadratic fit over a
// centred window reproduces any cubic (the odd terms cancel), at every width and pass, and a
// moving mean any straight line. A unit impulse shows the filter's weights: the classical
// seven-point quadratic Savitzky-Golay weights (-2, 3, 6, 7, 6, 3, -2) / 21.
TEST(Integrate, SmoothingKeepsWhatItsFitFollowsAndHasTheClassicalWeights) {
    auto cubic = [](double x) { return 0.02 * x * x * x - 0.7 * x * x + 3.0 * x + 40.0; };
    auto line = [](double x) { return -1.5 * x + 12.0; };
    const struct {
        SmoothingMethod method;
        int halfWidth, passes;
    } cases[] = {{SmoothingMethod::SavitzkyGolay, 2, 1}, {SmoothingMethod::SavitzkyGolay, 5, 2},
                 {SmoothingMethod::SavitzkyGolay, 12, 1}, {SmoothingMethod::MovingMean, 3, 3}};
    for (const auto& c : cases) {
        std::vector<double> signal(31), smoothed;
        const bool quadratic = c.method == SmoothingMethod::SavitzkyGolay;
        for (size_t i = 0; i < signal.size(); ++i) signal[i] = quadratic ? cubic(i) : line(i);
        Smooth(signal, {true, c.method, c.halfWidth, c.passes}, smoothed);
        ASSERT_EQ(smoothed.size(), signal.size());
        for (size_t i = 0; i < signal.size(); ++i)
            EXPECT_NEAR(smoothed[i], signal[i], 1e-9 * (1.0 + std::fabs(signal[i]))) << "case " << &c - cases << " point " << i;
    }
    std::vector<double> impulse(15, 0.0), response;
    impulse[7] = 21.0;
    Smooth(impulse, {true, SmoothingMethod::SavitzkyGolay, 3, 1}, response);
    const double expected[] = {0, 0, 0, 0, -2, 3, 6, 7, 6, 3, -2, 0, 0, 0, 0};
    for (size_t i = 0; i < impulse.size(); ++i) EXPECT_NEAR(response[i], expected[i], 1e-12) << i;
}
TEST(Integrate, OverlappingPeaksSplitAtTheValleyUnlessItIsShallowerThanTheSplitting) {
    const double sigma = 0.05, height = 1000.0, single = 60.0 * height * sigma * kRootTwoPi;
    // Apexes 4 sigma apart: the valley stands at 2 exp(-2) = 27 % of an apex, 73 % deep.
    const struct {
        double apart, splitting;
        size_t peaks;
        bool sharedBaseline;
        double drift = 0.0;  // baseline slope per minute: the same on a rising baseline
    } cases[] = {
        {0.2, 0.0, 2, true},         {0.2, 70.0, 2, true},          {0.2, 76.0, 1, true}, {1.0, 0.0, 2, false},
        {1.0, 100.0, 2, false},      {0.2, 0.0, 2, true, 100.0},    {1.0, 0.0, 2, false, 100.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "apart " << c.apart << " splitting " << c.splitting << " drift " << c.drift);
        Signal s = Grid(0.005, 4.0);
        for (size_t i = 0; i < s.t.size(); ++i)
            s.y[i] = 10.0 + c.drift * s.t[i] + Gaussian(s.t[i], 2.0 - c.apart / 2, sigma, height) +
                     Gaussian(s.t[i], 2.0 + c.apart / 2, sigma, height);
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

// Parts narrower than the minimum join a neighbour across the higher of their two drops. Three
// equal peaks; the last two closer (2.8 sigma) than the first two (3 sigma), so the valley between
// them stands higher.
TEST(Integrate, PartsNarrowerThanTheMinimumJoinAcrossTheirHigherDrop) {
    const double sigma = 0.05, height = 1000.0, single = 60.0 * height * sigma * kRootTwoPi;
    Signal s = Grid(0.005, 4.0);
    for (size_t i = 0; i < s.t.size(); ++i)
        s.y[i] = 10.0 + Gaussian(s.t[i], 1.85, sigma, height) + Gaussian(s.t[i], 2.0, sigma, height) +
                 Gaussian(s.t[i], 2.14, sigma, height);
    const auto areas = [&](int minimumPoints) {
        Settings settings;
        settings.splitting = 0.0;
        settings.minimumPoints = minimumPoints;
        std::vector<double> found;
        for (const Peak& peak : IntegrateSignal(s.t, s.y, settings).peaks) found.push_back(peak.area);
        return found;
    };
    // Every part wide enough (about 55, 30 and 55 points): three, each near a single peak's area.
    const std::vector<double> parts = areas(5);
    ASSERT_EQ(parts.size(), 3u);
    for (double area : parts) EXPECT_NEAR(area, single, 0.15 * single);
    // The middle part alone too narrow: it joins the last. All of them: one peak, none lost.
    const std::vector<double> joined = areas(40), whole = areas(60);
    ASSERT_EQ(joined.size(), 2u);
    EXPECT_NEAR(joined[0], parts[0], 1e-6 * single);
    EXPECT_NEAR(joined[1], parts[1] + parts[2], 1e-6 * single);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_NEAR(whole[0], parts[0] + parts[1] + parts[2], 1e-6 * single);
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

// Every peak, to the last digit, that the integrator finds in real and generated chromatograms
// under the defaults and under each kind of setting a method gives, against the record: a
// change in any bound, baseline, area, height or shape figure shows as a changed line.
TEST(Integrate, GoldenPeaksOfRealAndGeneratedChromatograms) {
    std::map<std::string, Signal> signals = ReadCuts("yeast-cuts.csv", nullptr);
    signals["uv"] = ReadCuts("uv-cut.csv", nullptr)["uv"];
    // Generated on a grid, with counting noise of the seed (none for 0) scaled to the tallest point.
    const auto generated = [&](const std::string& name, double step, double offset, unsigned seed, auto shape) {
        Signal s = Grid(step, 4.0);
        for (size_t i = 0; i < s.t.size(); ++i) s.y[i] = offset + shape(s.t[i]);
        const double top = *std::max_element(s.y.begin(), s.y.end()) - offset;
        if (seed > 0) AddCountingNoise(s, top / 20.0, top / 400.0, offset, seed);
        signals[name] = s;
    };
    generated("gauss", 0.01, 50.0, 1, [](double t) { return Gaussian(t, 2.0, 0.05, 1000.0); });
    generated("tailing", 0.006, 20.0, 2, [](double t) { return Emg(t, 1.9, 0.04, 0.04, 40.0); });
    generated("drifting", 0.01, 200.0, 3, [](double t) { return 40.0 * t + Gaussian(t, 2.0, 0.05, 1000.0); });
    generated("clean pair", 0.008, 0.0, 0,
              [](double t) { return Gaussian(t, 1.8, 0.04, 1000.0) + Emg(t, 2.0, 0.04, 0.05, 12.0); });
    generated("close pair", 0.008, 10.0, 4,
              [](double t) { return Gaussian(t, 1.9, 0.04, 1000.0) + Gaussian(t, 2.03, 0.04, 500.0); });
    generated("shoulder", 0.008, 10.0, 5,
              [](double t) { return Gaussian(t, 2.0, 0.05, 1000.0) + Gaussian(t, 2.1, 0.03, 250.0); });
    generated("on a tail", 0.01, 10.0, 6,
              [](double t) { return Emg(t, 1.5, 0.05, 0.4, 150.0) + Gaussian(t, 2.4, 0.03, 120.0); });
    generated("sparse counts", 0.01, 0.0, 0, [](double t) {
        return std::floor(Gaussian(t, 2.0, 0.06, 40.0) + (std::fmod(t * 977.0, 7.0) < 0.3 ? 9.0 : 0.0)); });
    const Settings none;
    const auto with = [](auto change) { Settings s; change(s); return s; };
    const std::pair<const char*, Settings> settings[] = {
        {"defaults", none},
        {"Savitzky-Golay 5", SmoothedBy(SmoothingMethod::SavitzkyGolay, 2)},
        {"moving mean 7 twice", SmoothedBy(SmoothingMethod::MovingMean, 3, 2)},
        {"unsmoothed", with([](Settings& s) { s.automaticSmoothing = false; })},
        {"split at every valley", with([](Settings& s) { s.splitting = 0.0; })},
        {"split at 90 %, no shoulders", with([](Settings& s) { s.splitting = 90.0; s.shoulders = false; })},
        {"thresholds", with([](Settings& s) { s.areaRelative = 5.0; s.heightAbsolute = 60.0; })},
        {"area threshold only", with([](Settings& s) {
             s.thresholdMethod = ThresholdMethod::AreaOnly; s.areaAbsolute = 2000.0; s.heightAbsolute = 1e9; })},
        {"noise given", with([](Settings& s) { s.noiseLevel = 20.0; })},
        {"nine points at least", with([](Settings& s) { s.minimumPoints = 9; })},
    };
    std::string text;
    const auto number = [](double v) { return " " + NumberText::Shortest(v); };
    for (const auto& [name, signal] : signals) {
        for (const auto& [what, setting] : settings) {
            const Result result = IntegrateSignal(signal.t, signal.y, setting);
            text += name + ", " + what + ": noise" + number(result.noise) + ", " + std::to_string(result.peaks.size()) +
                    " peaks\n";
            for (const Peak& p : result.peaks) {
                text += "  " + std::to_string(p.start) + " " + std::to_string(p.apex) + " " + std::to_string(p.end);
                for (double v : {p.startTime, p.apexTime, p.endTime, p.startBaseline, p.endBaseline, p.area, p.height,
                                 p.quality.widthAtHalfHeight, p.quality.asymmetry, p.quality.tailingFactor})
                    text += number(v);
                text += " " + std::to_string(p.quality.pointsAcross) + "\n";
            }
        }
    }
    golden::ExpectRecorded("integrate", "peaks.txt", text);
}

}  // namespace
