// The steps of PeakIntegrator.h, each a small function over the point indexes of one
// chromatogram. Every step is one or a few passes over the points (the bound walk looks a
// half-window ahead), so a chromatogram costs time in proportion to its length.
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

// The median of a squared standard normal: squared deviations are scaled by it to variances.
constexpr double kMedianOfSquaredNormal = 0.45493642311957;

// The noise at a level of the smoothed signal (step 1).
struct NoiseModel {
    double base = 0.0;   // the baseline noise
    double gain = 0.0;   // variance added per unit of signal above the floor
    double floor = 0.0;      // the lowest smoothed level, from which the signal is counted
    double smoothing = 1.0;  // the part of a point's noise left after smoothing
    double At(double level) const { return std::sqrt(base * base + gain * std::max(0.0, level - floor)); }
    // The noise of the smoothed signal at a level: what a rise or dip of it is tested against.
    double Smoothed(double level) const { return smoothing * At(level); }
};

// What the smoothing leaves of unit white noise, in the smoothed signal and in its second
// difference: the roots of the sums of the squared weights of the whole filter (all passes),
// and of its second difference, found by smoothing a unit impulse.
struct SmoothedNoise {
    double signal = 1.0, curvature = std::sqrt(6.0);  // unsmoothed: a second difference is 1, -2, 1
};
SmoothedNoise SmoothedNoiseFractions(const Smoothing& smoothing) {
    SmoothedNoise fractions;
    if (!smoothing.enabled) return fractions;
    const int reach = smoothing.halfWidth * smoothing.passes;
    std::vector<double> impulse(4 * reach + 3, 0.0), response;
    impulse[2 * reach + 1] = 1.0;
    Smooth(impulse, smoothing, response);
    double sum = 0.0, curvature = 0.0;
    for (int i = reach; i <= 3 * reach + 2; ++i) {
        sum += response[i] * response[i];
        const double d2 = response[i - 1] - 2.0 * response[i] + response[i + 1];
        curvature += d2 * d2;
    }
    fractions.signal = std::sqrt(sum);
    fractions.curvature = std::sqrt(curvature);
    return fractions;
}

// The gain from the points well above the floor: the raw points' second differences, less the
// smoothed signal's (the peak's own curvature), carry 1.5 times the point variance. Ten points
// at least: the median of fewer squared deviates strays by an order of magnitude from draw to
// draw, and on a narrow peak of a few points the smoother cannot follow the peak's own
// curvature, which then passes for noise; a gain read from five points of a sharp peak of
// counts can hide that very peak under its own "noise". Without ten, the baseline noise alone
// stands.
NoiseModel MeasureNoiseModel(std::span<const double> y, const std::vector<double>& s, double base, bool smoothed) {
    NoiseModel model;
    model.base = base;
    const int n = static_cast<int>(s.size());
    model.floor = *std::min_element(s.begin(), s.end());
    if (!smoothed || !(base > 0.0)) return model;
    std::vector<double> values;
    for (int i = 1; i + 1 < n; ++i) {
        const double level = s[i] - model.floor;
        if (level <= 10.0 * base) continue;
        const double e = (y[i] - 0.5 * (y[i - 1] + y[i + 1])) - (s[i] - 0.5 * (s[i - 1] + s[i + 1]));
        values.push_back((e * e / (1.5 * kMedianOfSquaredNormal) - base * base) / level);
    }
    constexpr size_t kLeastPointsForGain = 10;
    if (values.size() >= kLeastPointsForGain) model.gain = std::max(0.0, Median(values));
    return model;
}

// Zigzag scan: a maximum counts once the signal has risen three noises (at its level) above the
// lowest point before it and then fallen three noises below it. `floor` keeps a noiseless
// signal's hysteresis above rounding.
std::vector<int> Apexes(const std::vector<double>& s, const NoiseModel& noise, double least) {
    auto threshold = [&](double level) { return std::max(kDetectionNoiseMultiple * noise.Smoothed(level), least); };
    std::vector<int> apexes;
    // The data may begin on a peak (a scheduled window opening late): a maximum near the start
    // that the signal then falls from by the hysteresis is an apex, with no rise seen before it.
    bool rising = true;
    double low = s[0], high = s[0];
    int highAt = 0;
    for (int i = 1; i < static_cast<int>(s.size()); ++i) {
        if (rising) {
            if (s[i] > high) {
                high = s[i];
                highAt = i;
            } else if (s[i] < high - threshold(high)) {
                // A fall from the very first point may be the tail of an earlier peak: an apex
                // needs a point before it.
                if (highAt > 0) apexes.push_back(highAt);
                low = s[i];
                rising = false;
            }
        } else if (s[i] < low) {
            low = s[i];
        } else if (s[i] > low + threshold(s[i])) {
            high = s[i];
            highAt = i;
            rising = true;
        }
    }
    return apexes;
}

// The first lowest point of s in [from, to].
int LowestBetween(const std::vector<double>& s, int from, int to) {
    if (from > to) std::swap(from, to);
    return static_cast<int>(std::min_element(s.begin() + from, s.begin() + to + 1) - s.begin());
}

// Step 4: from the apex outward until the signal stops falling (the lowest point of the next
// `ahead` points is less than a noise below it), but at least two half-widths at half height of
// that side (2.4 standard deviations of a Gaussian; a tailing side is the wider), or to `limit`.
int WalkOut(std::span<const double> t, const std::vector<double>& s, int apex, int limit, int ahead, const NoiseModel& noise) {
    constexpr double kLeastHalfWidths = 2.0;
    const int step = limit < apex ? -1 : 1;
    const double half = 0.5 * (s[apex] + s[LowestBetween(s, apex, limit)]);
    int i = apex;
    while (i != limit && s[i] > half) i += step;
    const double least = t[apex] + kLeastHalfWidths * (t[i] - t[apex]);
    for (i = apex; i != limit; i += step) {
        if (step > 0 ? t[i] < least : t[i] > least) continue;
        double lowest = s[i];
        for (int k = 1, j = i + step; k <= ahead; ++k, j += step) {
            lowest = std::min(lowest, s[j]);
            if (j == limit) break;
        }
        if (s[i] - lowest < kStillFallingNoises * noise.base) return i;
    }
    return limit;
}

struct Line {
    double slope = 0.0, intercept = 0.0;
    double At(double time) const { return intercept + slope * time; }
};

// Least-squares line through the raw points of [a0, a1] and [b0, b1] (a1 <= b0).
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
    if (apex == 0 || apex + 1 >= static_cast<int>(s.size())) return;
    const double t0 = t[apex - 1], t1 = t[apex], t2 = t[apex + 1];
    const double d1 = (s[apex] - s[apex - 1]) / (t1 - t0);
    const double d2 = (s[apex + 1] - s[apex]) / (t2 - t1);
    const double curvature = (d2 - d1) / (t2 - t0);
    if (!(curvature < 0.0)) return;  // flat top or a shoulder: the point stands
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
    int left = 0, right = 0;   // outer bounds
    std::vector<int> apexes;   // in time order
    std::vector<int> drops;    // between consecutive apexes: where the perpendicular drop stands
};

// Steps 3 and 4: apexes grouped into clusters with their outer bounds.
std::vector<Cluster> FormClusters(std::span<const double> t, const std::vector<double>& s, const std::vector<int>& apexes,
                                  const NoiseModel& noise, int ahead) {
    const int n = static_cast<int>(s.size());
    const int count = static_cast<int>(apexes.size());
    std::vector<int> valleys(count > 0 ? count - 1 : 0);
    for (int k = 0; k + 1 < count; ++k) valleys[k] = LowestBetween(s, apexes[k], apexes[k + 1]);
    std::vector<int> lefts(count), rights(count);
    for (int k = 0; k < count; ++k) {
        lefts[k] = WalkOut(t, s, apexes[k], k > 0 ? valleys[k - 1] : 0, ahead, noise);
        rights[k] = WalkOut(t, s, apexes[k], k + 1 < count ? valleys[k] : n - 1, ahead, noise);
    }
    std::vector<Cluster> clusters;
    for (int k = 0; k < count; ++k) {
        bool joinsPrevious = false;
        if (k > 0) {
            // The signal did not come back to a baseline between the two: their valley stands
            // clear of the line joining the outer bounds of the pair.
            const int v = valleys[k - 1], a = clusters.back().left, b = rights[k];
            const double slope = (s[b] - s[a]) / (t[b] - t[a]);
            const double above = s[v] - (s[a] + slope * (t[v] - t[a]));
            joinsPrevious = above > kDetectionNoiseMultiple * noise.Smoothed(s[v]);
        }
        if (joinsPrevious) {
            Cluster& last = clusters.back();
            last.drops.push_back(valleys[k - 1]);
            last.apexes.push_back(apexes[k]);
            last.right = rights[k];
            continue;
        }
        Cluster cluster;
        cluster.apexes.push_back(apexes[k]);
        cluster.left = lefts[k];
        cluster.right = rights[k];
        clusters.push_back(cluster);
    }
    return clusters;
}

// Step 6: neighbouring apexes whose valley is not deep enough are one peak.
void JoinShallowValleys(Cluster& cluster, std::span<const double> t, const std::vector<double>& s, const Line& line,
                        double splittingPercent, const NoiseModel& noise) {
    auto above = [&](int i) { return s[i] - line.At(t[i]); };
    for (size_t v = 0; v < cluster.drops.size();) {
        const int left = cluster.apexes[v], right = cluster.apexes[v + 1];
        const double smaller = std::min(above(left), above(right));
        const double depth = smaller - above(cluster.drops[v]);
        const bool deep = smaller > 0.0 && depth * 100.0 >= splittingPercent * smaller &&
                          depth >= kDetectionNoiseMultiple * noise.Smoothed(s[cluster.drops[v]]);
        if (deep) {
            ++v;
            continue;
        }
        cluster.apexes[v] = s[right] > s[left] ? right : left;
        cluster.apexes.erase(cluster.apexes.begin() + static_cast<long>(v) + 1);
        cluster.drops.erase(cluster.drops.begin() + static_cast<long>(v));
    }
}

// Step 7: shoulders of each peak of the cluster become apexes of their own. `curvature` is the
// second difference of the smoothed signal, `curvatureNoise` its noise on the baseline.
void SplitShoulders(Cluster& cluster, std::span<const double> t, const std::vector<double>& s, const Line& line,
                    const std::vector<double>& curvature, double curvatureNoise, const NoiseModel& noise) {
    if (!(curvatureNoise > 0.0)) return;
    const int n = static_cast<int>(s.size());
    auto noiseAt = [&](int i) { return curvatureNoise * noise.At(s[i]) / noise.base; };
    // Lobes of negative curvature inside the cluster, each with its strongest point.
    struct Lobe {
        int first, last, strongest;
    };
    std::vector<Lobe> lobes;
    for (int i = std::max(1, cluster.left); i <= std::min(n - 2, cluster.right); ++i) {
        if (!(curvature[i] < 0.0)) continue;
        Lobe lobe{i, i, i};
        while (lobe.last + 1 <= std::min(n - 2, cluster.right) && curvature[lobe.last + 1] < 0.0) {
            ++lobe.last;
            if (curvature[lobe.last] < curvature[lobe.strongest]) lobe.strongest = lobe.last;
        }
        lobes.push_back(lobe);
        i = lobe.last;
    }
    constexpr int kLeastLobePoints = 3;
    // A lobe holding a maximum of its own is an apex the splitting rule joined, not a shoulder.
    auto holdsMaximum = [&](const Lobe& lobe) {
        for (int i = lobe.first; i <= lobe.last; ++i)
            if (s[i] >= s[i - 1] && s[i] >= s[i + 1]) return true;
        return false;
    };
    auto significant = [&](const Lobe& lobe) {
        return lobe.last - lobe.first + 1 >= kLeastLobePoints && !holdsMaximum(lobe) &&
               curvature[lobe.strongest] < -kShoulderCurvatureNoises * noiseAt(lobe.strongest) &&
               s[lobe.strongest] - line.At(t[lobe.strongest]) >= kDetectionNoiseMultiple * noise.Smoothed(s[lobe.strongest]);
    };
    auto separated = [&](int from, int to) {  // points of clear positive curvature between
        for (int i = from; i <= to; ++i)
            if (curvature[i] > noiseAt(i)) return true;
        return false;
    };
    auto flattest = [&](int from, int to) {
        int best = std::min(from, to);
        for (int i = from; i <= to; ++i)
            if (std::fabs(s[i + 1] - s[i - 1]) < std::fabs(s[best + 1] - s[best - 1])) best = i;
        return best;
    };
    std::vector<int> apexes, drops;
    for (size_t k = 0; k < cluster.apexes.size(); ++k) {
        const int apex = cluster.apexes[k];
        const int from = k == 0 ? cluster.left : cluster.drops[k - 1];
        const int to = k + 1 == cluster.apexes.size() ? cluster.right : cluster.drops[k];
        int ownFirst = apex, ownLast = apex;
        for (const Lobe& lobe : lobes)
            if (lobe.first <= apex && apex <= lobe.last) ownFirst = lobe.first, ownLast = lobe.last;
        // Outward from the apex on either side: a shoulder lobe counts when clear positive
        // curvature separates it from the last lobe that counted.
        std::vector<int> leading, trailing;
        int edge = ownFirst;
        for (auto lobe = lobes.rbegin(); lobe != lobes.rend(); ++lobe) {
            if (lobe->last >= ownFirst || lobe->strongest <= from) continue;
            if (significant(*lobe) && separated(lobe->last + 1, edge - 1)) {
                leading.push_back(lobe->strongest);
                edge = lobe->first;
            }
        }
        edge = ownLast;
        for (const Lobe& lobe : lobes) {
            if (lobe.first <= ownLast || lobe.strongest >= to) continue;
            if (significant(lobe) && separated(edge + 1, lobe.first - 1)) {
                trailing.push_back(lobe.strongest);
                edge = lobe.last;
            }
        }
        std::vector<int> centres(leading.rbegin(), leading.rend());
        centres.push_back(apex);
        centres.insert(centres.end(), trailing.begin(), trailing.end());
        if (k > 0) drops.push_back(cluster.drops[k - 1]);
        for (size_t c = 0; c < centres.size(); ++c) {
            if (c > 0) drops.push_back(flattest(centres[c - 1] + 1, centres[c] - 1));
            apexes.push_back(centres[c]);
        }
    }
    cluster.apexes = std::move(apexes);
    cluster.drops = std::move(drops);
}

// Step 8: parts narrower than the minimum, or with no area above the baseline, join the
// neighbour they share their higher drop with.
void JoinSlivers(Cluster& cluster, std::span<const double> t, std::span<const double> y, const std::vector<double>& s,
                 const Line& line, int minimumPoints) {
    auto startOf = [&](size_t k) { return k == 0 ? cluster.left : cluster.drops[k - 1]; };
    auto endOf = [&](size_t k) { return k + 1 == cluster.apexes.size() ? cluster.right : cluster.drops[k]; };
    for (bool joined = true; joined && cluster.apexes.size() > 1;) {
        joined = false;
        for (size_t k = 0; k < cluster.apexes.size(); ++k) {
            const bool sliver = endOf(k) - startOf(k) + 1 < minimumPoints || AreaAbove(t, y, line, startOf(k), endOf(k)) <= 0.0;
            if (!sliver) continue;
            // The drop to join across: the only one, or the higher of the two.
            size_t drop = k == 0 ? 0 : k - 1;
            if (k > 0 && k < cluster.drops.size() && s[cluster.drops[k]] > s[cluster.drops[k - 1]]) drop = k;
            const int a = cluster.apexes[drop], b = cluster.apexes[drop + 1];
            cluster.apexes[drop] = s[b] > s[a] ? b : a;
            cluster.apexes.erase(cluster.apexes.begin() + static_cast<long>(drop) + 1);
            cluster.drops.erase(cluster.drops.begin() + static_cast<long>(drop));
            joined = true;
            break;
        }
    }
}

// The time where the signal above the baseline falls to `level` walking from the apex towards
// `bound`; the bound's time when it does not fall that far before it.
double Crossing(std::span<const double> t, const std::vector<double>& s, const Line& line, int apex, int bound, double level) {
    const int step = bound < apex ? -1 : 1;
    auto above = [&](int i) { return s[i] - line.At(t[i]); };
    for (int i = apex; i != bound; i += step) {
        const double inside = above(i), outside = above(i + step);
        if (outside <= level) {
            const double fraction = inside > outside ? (inside - level) / (inside - outside) : 1.0;
            return t[i] + std::clamp(fraction, 0.0, 1.0) * (t[i + step] - t[i]);
        }
    }
    return t[bound];
}

PeakQuality QualityOf(std::span<const double> t, const std::vector<double>& s, const Line& line, const Peak& peak) {
    PeakQuality quality;
    quality.pointsAcross = peak.end - peak.start + 1;
    if (!(peak.height > 0.0)) return quality;
    auto halfWidths = [&](double fraction, double& leading, double& trailing) {
        leading = peak.apexTime - Crossing(t, s, line, peak.apex, peak.start, fraction * peak.height);
        trailing = Crossing(t, s, line, peak.apex, peak.end, fraction * peak.height) - peak.apexTime;
    };
    double leading = 0.0, trailing = 0.0;
    halfWidths(0.5, leading, trailing);
    quality.widthAtHalfHeight = leading + trailing;
    halfWidths(0.1, leading, trailing);
    if (leading > 0.0) quality.asymmetry = trailing / leading;
    halfWidths(0.05, leading, trailing);
    if (leading > 0.0) quality.tailingFactor = (leading + trailing) / (2.0 * leading);
    return quality;
}

bool PassesThresholds(const Peak& peak, const Settings& settings, double largestArea, double largestHeight) {
    const bool area = settings.thresholdMethod != ThresholdMethod::HeightOnly;
    const bool height = settings.thresholdMethod != ThresholdMethod::AreaOnly;
    if (area && (peak.area < settings.areaAbsolute || peak.area * 100.0 < settings.areaRelative * largestArea)) return false;
    if (height && (peak.height < settings.heightAbsolute || peak.height * 100.0 < settings.heightRelative * largestHeight))
        return false;
    return true;
}

// Step 2's automatic smoothing: a Savitzky-Golay window of about 0.8 of the tallest peak's
// width at half height, measured on a lightly smoothed copy.
Smoothing SizedToPeaks(std::span<const double> y) {
    constexpr int kLeastHalfWidth = 2, kMostHalfWidth = 7;
    Smoothing smoothing{true, SmoothingMethod::SavitzkyGolay, kLeastHalfWidth, 1};
    std::vector<double> light;
    Smooth(y, smoothing, light);
    const int n = static_cast<int>(light.size());
    const int top = static_cast<int>(std::max_element(light.begin(), light.end()) - light.begin());
    const double half = 0.5 * (light[top] + *std::min_element(light.begin(), light.end()));
    int left = top, right = top;
    while (left > 0 && light[left] > half) --left;
    while (right + 1 < n && light[right] > half) ++right;
    smoothing.halfWidth = std::clamp(static_cast<int>(std::lround(0.4 * (right - left))), kLeastHalfWidth, kMostHalfWidth);
    return smoothing;
}

}  // namespace

bool MeasureBetween(std::span<const double> t, std::span<const double> y, double start, double end,
                    double startBaseline, double endBaseline, Peak& peak) {
    const size_t n = t.size();
    if (CheckInput(t, y) != Status::OK || n < 2) return false;
    if (!std::isfinite(start) || !std::isfinite(end) || !std::isfinite(startBaseline) || !std::isfinite(endBaseline))
        return false;
    if (!(start < end) || start < t.front() || end > t.back()) return false;
    // The points from start to end: the bounds themselves (interpolated between points), then
    // every point strictly inside.
    const size_t first = static_cast<size_t>(std::lower_bound(t.begin(), t.end(), start) - t.begin());
    const size_t beyond = static_cast<size_t>(std::upper_bound(t.begin(), t.end(), end) - t.begin());
    auto at = [&](double time, size_t above) {  // the trace at `time`, t[above - 1] < time <= t[above]
        if (t[above] == time || above == 0) return y[above];
        const double share = (time - t[above - 1]) / (t[above] - t[above - 1]);
        return y[above - 1] + share * (y[above] - y[above - 1]);
    };
    std::vector<double> pt{start}, py{at(start, first)};
    for (size_t i = first; i < beyond; ++i) {
        if (t[i] == start || t[i] == end) continue;
        pt.push_back(t[i]);
        py.push_back(y[i]);
    }
    pt.push_back(end);
    py.push_back(at(end, static_cast<size_t>(std::lower_bound(t.begin(), t.end(), end) - t.begin())));
    const int last = static_cast<int>(pt.size()) - 1;

    Line line;
    line.slope = (endBaseline - startBaseline) / (end - start);
    line.intercept = startBaseline - line.slope * start;
    constexpr int kLightestHalfWidth = 2;
    std::vector<double> s;
    Smooth(py, Smoothing{true, SmoothingMethod::SavitzkyGolay, kLightestHalfWidth, 1}, s);
    int top = 0;
    for (int i = 1; i <= last; ++i)
        if (s[i] - line.At(pt[i]) > s[top] - line.At(pt[top])) top = i;

    Peak measured;
    measured.startTime = start;
    measured.endTime = end;
    measured.startBaseline = startBaseline;
    measured.endBaseline = endBaseline;
    double apexValue = 0.0;
    ParabolicApex(pt, s, top, measured.apexTime, apexValue);
    measured.height = apexValue - line.At(measured.apexTime);
    measured.area = AreaAbove(pt, py, line, 0, last);
    // Quality on the points between the bounds; indexes into them for now.
    measured.start = 0;
    measured.apex = top;
    measured.end = last;
    measured.quality = QualityOf(pt, s, line, measured);
    measured.quality.pointsAcross = static_cast<int>(beyond - first);
    auto nearest = [&](double time) {
        const size_t above = static_cast<size_t>(std::lower_bound(t.begin(), t.end(), time) - t.begin());
        if (above >= n) return static_cast<int>(n - 1);
        if (above > 0 && time - t[above - 1] <= t[above] - time) return static_cast<int>(above - 1);
        return static_cast<int>(above);
    };
    measured.start = nearest(start);
    measured.apex = nearest(measured.apexTime);
    measured.end = nearest(end);
    peak = measured;
    return true;
}

bool BlockGivesSettings(const tagINTEGRATE_PARAMS& block) {
    return block.SmooEnabled != 0 || block.SmooMethod != 0 || block.SmooWidth != 0 || block.SmooIter != 0 ||
           block.PkMode != 0 || block.PkShldrDetect != 0 || block.PkBalance != 0.0f || block.PkShldrThresh != 0.0f ||
           block.PkSplitting != 0.0f || block.PkReduceTail != 0.0f || block.PkMaxReduceHt != 0.0f ||
           block.PkKelThreshold != 0.0f || block.PkKelWidth != 0.0f || block.PkKelUpThreshold != 0.0f ||
           block.PkKelDownThreshold != 0.0f || block.PkKelOperations != 0 || block.PkThreshMethod != 0 ||
           block.PkRespAreaRel != 0.0f || block.PkRespAreaAbs != 0.0f || block.PkRespHeightRel != 0.0f ||
           block.PkRespHeightAbs != 0.0f || block.ChroNoiseLevel != 0.0f || block.ChroAuto != 0;
}

Settings SettingsFromBlock(const tagINTEGRATE_PARAMS& block) {
    Settings settings;
    if (!BlockGivesSettings(block)) return settings;
    settings.automaticSmoothing = false;
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
    // 0 keeps its meaning for a method that gives settings: every valley deep enough to be real
    // (three noises) splits, as stored methods rely on.
    settings.splitting = std::max(0.0, FiniteOrZero(block.PkSplitting));
    settings.shoulders = block.PkShldrDetect != 0;
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

    const Smoothing smoothing = settings.smoothing.enabled || !settings.automaticSmoothing ? Effective(settings.smoothing)
                                                                                           : SizedToPeaks(y);
    std::vector<double> s;
    Smooth(y, smoothing, s);
    const auto [lowest, highest] = std::minmax_element(s.begin(), s.end());
    if (!(*highest > *lowest)) return result;
    // A noiseless signal still needs a hysteresis above rounding.
    const double least = 1e-9 * (*highest - *lowest);
    NoiseModel noise = MeasureNoiseModel(y, s, result.noise, smoothing.enabled);
    if (!(noise.base > 0.0)) noise.base = least;
    const SmoothedNoise fractions = SmoothedNoiseFractions(smoothing);
    noise.smoothing = fractions.signal;
    const int ahead = std::max(2, smoothing.enabled ? smoothing.halfWidth : 2);
    std::vector<Cluster> clusters = FormClusters(t, s, Apexes(s, noise, least), noise, ahead);

    std::vector<double> curvature;
    double curvatureNoise = 0.0;
    if (settings.shoulders && !clusters.empty()) {
        curvature.assign(n, 0.0);
        for (int i = 1; i + 1 < n; ++i) curvature[i] = s[i - 1] - 2.0 * s[i] + s[i + 1];
        curvatureNoise = fractions.curvature * noise.base;
    }

    std::vector<Peak> peaks;
    for (size_t c = 0; c < clusters.size(); ++c) {
        Cluster& cluster = clusters[c];
        constexpr int kLeastBaselinePoints = 3;
        const int reach = std::max(kLeastBaselinePoints, cluster.right - cluster.left);
        const int before = std::max({0, cluster.left - reach, c > 0 ? clusters[c - 1].right : 0});
        const int after = std::min({n - 1, cluster.right + reach, c + 1 < clusters.size() ? clusters[c + 1].left : n - 1});
        const Line line = FitBaseline(t, y, before, cluster.left, cluster.right, after);
        JoinShallowValleys(cluster, t, s, line, settings.splitting, noise);
        if (settings.shoulders) SplitShoulders(cluster, t, s, line, curvature, curvatureNoise, noise);
        JoinSlivers(cluster, t, y, s, line, std::max(2, settings.minimumPoints));
        for (size_t k = 0; k < cluster.apexes.size(); ++k) {
            Peak peak;
            peak.apex = cluster.apexes[k];
            peak.start = k == 0 ? cluster.left : cluster.drops[k - 1];
            peak.end = k + 1 == cluster.apexes.size() ? cluster.right : cluster.drops[k];
            peak.startTime = t[peak.start];
            peak.endTime = t[peak.end];
            peak.startBaseline = line.At(peak.startTime);
            peak.endBaseline = line.At(peak.endTime);
            double apexValue = 0.0;
            ParabolicApex(t, s, peak.apex, peak.apexTime, apexValue);
            peak.height = apexValue - line.At(peak.apexTime);
            peak.area = AreaAbove(t, y, line, peak.start, peak.end);
            peak.quality = QualityOf(t, s, line, peak);
            // A cluster narrower than the minimum is a spike, not a chromatographic peak.
            const bool spike = cluster.apexes.size() == 1 && peak.end - peak.start + 1 < settings.minimumPoints;
            if (!spike && peak.height >= kDetectionNoiseMultiple * result.noise && peak.height > 0.0 && peak.area > 0.0)
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
