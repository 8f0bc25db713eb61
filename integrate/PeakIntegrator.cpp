// The steps of PeakIntegrator.h, each a small function over the point indexes of one
// chromatogram. Everything is one or two passes over the points, so a chromatogram costs time
// in proportion to its length (the smoothing window aside).
#include "integrate/PeakIntegrator.h"

#include <algorithm>
#include <cmath>

#include "platform/IntegrateParams.h"

namespace Integrate {

namespace {

double FiniteOrZero(float value) { return std::isfinite(value) ? value : 0.0; }

Status CheckInput(std::span<const double> times, std::span<const double> intensities) {
    if (times.size() != intensities.size()) return Status::LengthsDiffer;
    for (size_t i = 0; i < times.size(); ++i)
        if (!std::isfinite(times[i]) || !std::isfinite(intensities[i])) return Status::NotFinite;
    for (size_t i = 1; i < times.size(); ++i)
        if (!(times[i] > times[i - 1])) return Status::TimesNotAscending;
    return Status::OK;
}

double Median(std::vector<double>& values) {
    const auto middle = values.begin() + values.size() / 2;
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// Zigzag scan: a maximum counts once the signal has risen `threshold` above the lowest point
// before it and then fallen `threshold` below it.
std::vector<int> Apexes(const std::vector<double>& s, double threshold) {
    std::vector<int> apexes;
    bool rising = false;
    double low = s[0], high = s[0];
    int highAt = 0;
    for (int i = 1; i < static_cast<int>(s.size()); ++i) {
        if (rising) {
            if (s[i] > high) {
                high = s[i];
                highAt = i;
            } else if (s[i] < high - threshold) {
                apexes.push_back(highAt);
                low = s[i];
                rising = false;
            }
        } else if (s[i] < low) {
            low = s[i];
        } else if (s[i] > low + threshold) {
            high = s[i];
            highAt = i;
            rising = true;
        }
    }
    return apexes;
}

// The first lowest point of s in [from, to].
int LowestBetween(const std::vector<double>& s, int from, int to) {
    return static_cast<int>(std::min_element(s.begin() + from, s.begin() + to + 1) - s.begin());
}

// The point from which an apex's outer side is integrated: five half-widths at half height out
// (the half height measured from `lowest`, the side's lowest point), never beyond `limit`.
int OuterBound(std::span<const double> t, const std::vector<double>& s, int apex, int limit, int lowest) {
    const int step = limit < apex ? -1 : 1;
    const double halfLevel = 0.5 * (s[apex] + s[lowest]);
    int i = apex;
    while (i != limit && s[i] > halfLevel) i += step;
    if (s[i] > halfLevel) return limit;  // never falls to half height: the side runs to its limit
    const double inside = s[i - step], outside = s[i];
    const double fraction = inside > outside ? (inside - halfLevel) / (inside - outside) : 1.0;
    const double crossing = t[i - step] + fraction * (t[i] - t[i - step]);
    const double target = t[apex] + kBoundHalfWidths * (crossing - t[apex]);
    while (i != limit && (step > 0 ? t[i] < target : t[i] > target)) i += step;
    return i;
}

struct Line {
    double slope = 0.0, intercept = 0.0;
    double At(double time) const { return intercept + slope * time; }
};

// Least-squares line through the raw points of [a0, a1] and [b0, b1] (a1 < b0).
Line FitBaseline(std::span<const double> t, std::span<const double> y, int a0, int a1, int b0, int b1) {
    double count = 0.0, meanT = 0.0, meanY = 0.0;
    auto each = [&](auto&& visit) {
        for (int i = a0; i <= a1; ++i) visit(t[i], y[i]);
        for (int i = b0; i <= b1; ++i) visit(t[i], y[i]);
    };
    each([&](double ti, double yi) {
        count += 1.0;
        meanT += ti;
        meanY += yi;
    });
    meanT /= count;
    meanY /= count;
    double stt = 0.0, sty = 0.0;
    each([&](double ti, double yi) {
        stt += (ti - meanT) * (ti - meanT);
        sty += (ti - meanT) * (yi - meanY);
    });
    Line line;
    line.slope = stt > 0.0 ? sty / stt : 0.0;
    line.intercept = meanY - line.slope * meanT;
    return line;
}

// Apex time and value of the parabola through the three points around `apex`.
void ParabolicApex(std::span<const double> t, const std::vector<double>& s, int apex, double& time, double& value) {
    time = t[apex];
    value = s[apex];
    const double t0 = t[apex - 1], t1 = t[apex], t2 = t[apex + 1];
    const double d1 = (s[apex] - s[apex - 1]) / (t1 - t0);
    const double d2 = (s[apex + 1] - s[apex]) / (t2 - t1);
    const double curvature = (d2 - d1) / (t2 - t0);
    if (!(curvature < 0.0)) return;  // flat top: the highest point stands
    const double vertex = std::clamp(0.5 * (t0 + t1) - d1 / (2.0 * curvature), t0, t2);
    const double fitted = s[apex - 1] + d1 * (vertex - t0) + curvature * (vertex - t0) * (vertex - t1);
    if (!std::isfinite(fitted)) return;
    time = vertex;
    value = fitted;
}

// Trapezoidal area of the raw points above the line from a to b, intensity x seconds.
double AreaAbove(std::span<const double> t, std::span<const double> y, const Line& line, int a, int b) {
    double area = 0.0;
    for (int i = a; i < b; ++i)
        area += 0.5 * (t[i + 1] - t[i]) * ((y[i] - line.At(t[i])) + (y[i + 1] - line.At(t[i + 1])));
    return area * kSecondsPerMinute;
}

struct Cluster {
    int left = 0, right = 0;       // outer bounds
    std::vector<int> apexes;       // in time order
    std::vector<int> valleys;      // between consecutive apexes
};

std::vector<Cluster> FormClusters(std::span<const double> t, const std::vector<double>& s, const std::vector<int>& apexes,
                                  double threshold) {
    const int n = static_cast<int>(s.size());
    const int count = static_cast<int>(apexes.size());
    std::vector<int> valleys(count > 0 ? count - 1 : 0);
    for (int k = 0; k + 1 < count; ++k) valleys[k] = LowestBetween(s, apexes[k], apexes[k + 1]);
    auto lowestLeft = [&](int k) { return k > 0 ? valleys[k - 1] : LowestBetween(s, 0, apexes[k]); };
    auto lowestRight = [&](int k) { return k + 1 < count ? valleys[k] : LowestBetween(s, apexes[k], n - 1); };

    std::vector<Cluster> clusters;
    for (int k = 0; k < count; ++k) {
        bool overlapsPrevious = false;
        if (k > 0) {
            const int v = valleys[k - 1], a = lowestLeft(k - 1), b = lowestRight(k);
            const double slope = (s[b] - s[a]) / (t[b] - t[a]);
            overlapsPrevious = s[v] - (s[a] + slope * (t[v] - t[a])) > threshold;
        }
        if (overlapsPrevious) {
            clusters.back().valleys.push_back(valleys[k - 1]);
            clusters.back().apexes.push_back(apexes[k]);
            continue;
        }
        if (!clusters.empty()) {
            Cluster& last = clusters.back();
            const int apex = last.apexes.back();
            last.right = OuterBound(t, s, apex, valleys[k - 1], valleys[k - 1]);
        }
        Cluster cluster;
        cluster.apexes.push_back(apexes[k]);
        cluster.left = OuterBound(t, s, apexes[k], k > 0 ? valleys[k - 1] : 0, lowestLeft(k));
        clusters.push_back(cluster);
    }
    if (!clusters.empty()) {
        Cluster& last = clusters.back();
        last.right = OuterBound(t, s, last.apexes.back(), n - 1, lowestRight(count - 1));
    }
    return clusters;
}

// Joins neighbouring apexes of a cluster whose valley is shallower than the splitting percent.
void JoinShallowValleys(Cluster& cluster, std::span<const double> t, const std::vector<double>& s, const Line& line,
                        double splittingPercent) {
    if (splittingPercent <= 0.0) return;
    auto above = [&](int i) { return s[i] - line.At(t[i]); };
    for (size_t v = 0; v < cluster.valleys.size();) {
        const int left = cluster.apexes[v], right = cluster.apexes[v + 1];
        const double smaller = std::min(above(left), above(right));
        const double depth = smaller > 0.0 ? (smaller - above(cluster.valleys[v])) / smaller : 0.0;
        if (depth * 100.0 >= splittingPercent) {
            ++v;
            continue;
        }
        cluster.apexes[v] = s[right] > s[left] ? right : left;
        cluster.apexes.erase(cluster.apexes.begin() + static_cast<long>(v) + 1);
        cluster.valleys.erase(cluster.valleys.begin() + static_cast<long>(v));
    }
}

bool PassesThresholds(const Peak& peak, const Settings& settings, double largestArea, double largestHeight) {
    const bool area = settings.thresholdMethod != ThresholdMethod::HeightOnly;
    const bool height = settings.thresholdMethod != ThresholdMethod::AreaOnly;
    if (area && (peak.area < settings.areaAbsolute || peak.area * 100.0 < settings.areaRelative * largestArea)) return false;
    if (height && (peak.height < settings.heightAbsolute || peak.height * 100.0 < settings.heightRelative * largestHeight))
        return false;
    return true;
}

}  // namespace

Settings SettingsFromBlock(const tagINTEGRATE_PARAMS& block) {
    Settings settings;
    settings.smoothing.enabled = block.SmooEnabled != 0;
    settings.smoothing.method = block.SmooMethod == 1 ? SmoothingMethod::SavitzkyGolay : SmoothingMethod::MovingMean;
    settings.smoothing.halfWidth = block.SmooWidth;
    settings.smoothing.passes = block.SmooIter;
    settings.thresholdMethod = block.PkThreshMethod == 1   ? ThresholdMethod::AreaOnly
                               : block.PkThreshMethod == 2 ? ThresholdMethod::HeightOnly
                                                           : ThresholdMethod::All;
    settings.areaRelative = FiniteOrZero(block.PkRespAreaRel);
    settings.areaAbsolute = FiniteOrZero(block.PkRespAreaAbs);
    settings.heightRelative = FiniteOrZero(block.PkRespHeightRel);
    settings.heightAbsolute = FiniteOrZero(block.PkRespHeightAbs);
    settings.noiseLevel = FiniteOrZero(block.ChroNoiseLevel);
    settings.automaticNoise = block.ChroAuto != 0;
    settings.splitting = FiniteOrZero(block.PkSplitting);
    return settings;
}

double ChromatogramNoise(std::span<const double> intensities) {
    if (intensities.size() < 3) return 0.0;
    std::vector<double> deviations(intensities.size() - 1);
    for (size_t i = 0; i + 1 < intensities.size(); ++i) deviations[i] = intensities[i + 1] - intensities[i];
    const double centre = Median(deviations);
    double sum = 0.0;
    for (double& d : deviations) {
        d = std::fabs(d - centre);
        sum += d;
    }
    const double mean = sum / static_cast<double>(deviations.size());
    const double mad = Median(deviations);
    // 1.4826 x MAD, or sqrt(pi / 2) x the mean absolute deviation, estimate a normal standard
    // deviation; a difference carries the noise of two points.
    const double differenceNoise = mad > 0.0 ? 1.4826 * mad : 1.2533141373155003 * mean;
    return differenceNoise / std::sqrt(2.0);
}

Result IntegrateSignal(std::span<const double> t, std::span<const double> y, const Settings& settings) {
    Result result;
    result.status = CheckInput(t, y);
    if (result.status != Status::OK || t.size() < 3) return result;
    const int n = static_cast<int>(t.size());
    const bool givenNoise = settings.noiseLevel > 0.0 && !settings.automaticNoise;
    result.noise = givenNoise ? settings.noiseLevel : ChromatogramNoise(y);

    std::vector<double> s;
    Smooth(y, settings.smoothing, s);
    const auto [lowest, highest] = std::minmax_element(s.begin(), s.end());
    if (!(*highest > *lowest)) return result;
    // A noiseless signal still needs a hysteresis above rounding.
    const double threshold = std::max(kDetectionNoiseMultiple * result.noise, 1e-9 * (*highest - *lowest));
    const std::vector<int> apexes = Apexes(s, threshold);
    std::vector<Cluster> clusters = FormClusters(t, s, apexes, threshold);

    std::vector<Peak> peaks;
    for (size_t c = 0; c < clusters.size(); ++c) {
        Cluster& cluster = clusters[c];
        const int width = kBaselineWindowWidths * (cluster.right - cluster.left);
        const int before = std::max({0, cluster.left - width, c > 0 ? clusters[c - 1].right : 0});
        const int after = std::min({n - 1, cluster.right + width, c + 1 < clusters.size() ? clusters[c + 1].left : n - 1});
        const Line line = FitBaseline(t, y, before, cluster.left, cluster.right, after);
        JoinShallowValleys(cluster, t, s, line, settings.splitting);
        for (size_t k = 0; k < cluster.apexes.size(); ++k) {
            Peak peak;
            peak.apex = cluster.apexes[k];
            peak.start = k == 0 ? cluster.left : cluster.valleys[k - 1];
            peak.end = k + 1 == cluster.apexes.size() ? cluster.right : cluster.valleys[k];
            peak.startTime = t[peak.start];
            peak.endTime = t[peak.end];
            peak.startBaseline = line.At(peak.startTime);
            peak.endBaseline = line.At(peak.endTime);
            double apexValue = 0.0;
            ParabolicApex(t, s, peak.apex, peak.apexTime, apexValue);
            peak.height = apexValue - line.At(peak.apexTime);
            peak.area = AreaAbove(t, y, line, peak.start, peak.end);
            if (peak.height >= kDetectionNoiseMultiple * result.noise && peak.height > 0.0 && peak.area > 0.0)
                peaks.push_back(peak);
        }
    }
    double largestArea = 0.0, largestHeight = 0.0;
    for (const Peak& peak : peaks) {
        largestArea = std::max(largestArea, peak.area);
        largestHeight = std::max(largestHeight, peak.height);
    }
    for (const Peak& peak : peaks)
        if (PassesThresholds(peak, settings, largestArea, largestHeight)) result.peaks.push_back(peak);
    return result;
}

}  // namespace Integrate
