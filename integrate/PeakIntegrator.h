// Finding and integrating the peaks of one chromatogram so that each chromatographic peak comes
// out as one peak, whole, with its baseline drawn through the baseline around it. The steps:
//
//  1. Noise. The baseline noise is the standard deviation of the raw points about a smooth
//     curve, measured robustly as 1.4826 x the median absolute deviation of the first
//     differences, divided by the square root of 2 (a difference carries two points' noise);
//     differences ignore a slow drift, and the median ignores the peaks. When the median
//     deviation is zero (mostly equal intensities, as sparse counts are) the mean absolute
//     deviation stands in for it. A method may give the noise itself: a noise level above 0 with
//     automatic processing off. Counting detectors add noise that grows with the signal (its
//     variance in proportion to the counts), so the noise at a level L above the chromatogram's
//     floor is taken as sqrt(noise^2 + gain x L), the gain measured from the points on the peaks
//     (the median of their squared second differences, over ten points at least); every test below of whether a rise or a
//     dip is real uses the noise at its own level, so noise on a tall peak does not split it.
//  2. Smoothing. Detection, bounds, apexes and shapes use the smoothed signal, areas the raw
//     points. The method's smoothing applies where it gives one. Otherwise the smoothing is sized
//     to the chromatogram's own peaks: a quadratic Savitzky-Golay filter whose window is about
//     0.8 of the width at half height of the tallest peak (5 to 15 points), which removes most
//     of the noise of a peak of 8 to 30 points across while keeping its height and width.
//  3. Detection. Apexes are the maxima of the smoothed signal that rise and fall by at least
//     three times the noise at their level: a peak-valley (zigzag) scan with that hysteresis.
//     Between two apexes the valley is the lowest smoothed point. Noise here is that of the
//     smoothed signal: the point noise times the root of the sum of the filter's squared weights.
//  4. Where a peak begins and ends. From each apex the bound walks outward along the smoothed
//     signal, at least two half-widths at half height of that side (2.4 standard deviations of
//     a Gaussian; the tailing side of a tailing peak is the wider), and on until the signal
//     stops falling: until the lowest point within the next half-window lies less than one
//     noise below it (the signal is back at a baseline, flat or drifting), or until the valley
//     to the next apex. Neighbouring apexes form one cluster when their valley stands more than
//     three noises above the line joining the cluster's outer bounds: the signal did not return
//     to a baseline between them. A chromatogram may begin on a peak (a scheduled window
//     opening late): a maximum after the first point that the signal then falls from is an
//     apex, with no rise seen before it. A cluster narrower than the minimum width (step 8) is a
//     spike, not a peak.
//  5. Baseline. A straight line fitted by least squares through the raw points at and outside a
//     cluster's two bounds (as many on each side as the cluster is wide, at least
//     three, never into a neighbouring cluster): real baseline points on both sides, never
//     valleys inside the cluster. A cluster that runs into the end of the data has the points at
//     that end as its baseline there.
//  6. Splitting. A cluster's apexes are split by a perpendicular drop at their valley only when
//     the valley is deep relative to the smaller apex (heights above the baseline): at least the
//     splitting percentage (the method's, else 50 %) of it and three noises at the valley's
//     level. Shallower valleys join their apexes into one peak (the taller apex stands).
//  7. Shoulders. Within a peak, a shoulder is a second lobe of negative curvature: the second
//     derivative of the smoothed signal falls below four of its own noise units (scaled to the
//     level) over at least three points, separated from the apex's lobe by points of positive
//     curvature, holds no maximum of its own (that would be an apex the splitting rule joined),
//     and stands three noises above the baseline. It becomes a peak of
//     its own, split from its parent by a perpendicular drop at the flattest point between
//     them. Tailing or fronting alone gives one lobe and no shoulder. The method's shoulder
//     detection switch turns this off when it gives settings with the switch at 0.
//  8. Minimum width. A split part narrower than the minimum (five points from start to end) is
//     a sliver of noise: it joins the neighbour it shares its higher drop with, and so does a
//     part whose area above the baseline is not positive. No part of a peak is dropped: areas
//     of joined parts go to their neighbour.
//  9. Measures. Area: the trapezoidal integral of the raw points above the baseline from start
//     to end, in intensity x seconds (times in minutes; the seconds keep areas in the range of
//     the batch's stored peak lists). Height: the vertex of the parabola through the three
//     smoothed points around the apex, above the baseline; the vertex is the apex time (a
//     shoulder's apex is its point of strongest curvature).
// 10. Quality figures (PeakQuality), from the smoothed signal above the baseline, crossings
//     found by linear interpolation: width at half height; asymmetry at 10 % of the height
//     (trailing over leading half-width); USP tailing factor at 5 % ((leading + trailing) /
//     (2 x leading)); points across (raw points from start to end). Where the signal does not
//     fall to the level inside the peak's bounds (a perpendicular drop, a cut end), the bound
//     stands in for the crossing.
// 11. Thresholds, as the method asks: a peak is kept when its area and height reach the
//     absolute thresholds and the relative ones (percent of the largest peak of the
//     chromatogram); the threshold method says which apply (0 all, 1 area only, 2 height only).
//     A peak lower than three times the baseline noise is never kept: it cannot be told from
//     the noise.
//
// Settings "none given": a method entry whose integration settings are all zero (as a method
// imported from a transition list has) gets the defaults above; SettingsFromBlock tells them
// apart. Of the method's settings, the shoulder threshold, balance, tail-reduction, peak-mode
// and Kel parameters are not used: they tune proprietary detection steps this integrator does
// not have.
#pragma once

#include <span>
#include <vector>

#include "integrate/Smoothing.h"

struct tagINTEGRATE_PARAMS;

namespace Integrate {

enum class ThresholdMethod { All = 0, AreaOnly = 1, HeightOnly = 2 };

// The splitting depth when the method gives none: a valley at half the smaller apex or lower.
constexpr double kDefaultSplittingPercent = 50.0;
// The least number of points from a peak's start to its end; narrower parts join a neighbour.
constexpr int kMinimumPeakPoints = 5;

struct Settings {
    Smoothing smoothing;          // applied when enabled; otherwise see automaticSmoothing
    ThresholdMethod thresholdMethod = ThresholdMethod::All;
    double areaRelative = 0.0;    // percent of the largest area
    double areaAbsolute = 0.0;    // intensity x seconds
    double heightRelative = 0.0;  // percent of the largest height
    double heightAbsolute = 0.0;  // intensity
    double noiseLevel = 0.0;      // the noise to use, when above 0 and not automatic
    bool automaticNoise = false;  // measure the noise even when a level is given
    double splitting = kDefaultSplittingPercent;  // least valley depth, percent of the smaller apex, that splits
    bool automaticSmoothing = true;  // without smoothing enabled, smooth as sized to the peaks (step 2)
    bool shoulders = true;           // report shoulders as peaks (step 7)
    int minimumPoints = kMinimumPeakPoints;
};

// Whether a method entry's integration block gives any setting at all (every field zero gives
// none; the two constants the method fills in are not settings).
bool BlockGivesSettings(const tagINTEGRATE_PARAMS& block);

// The settings a method entry's integration block holds: the defaults when it gives none;
// otherwise its smoothing as given (off when off), its thresholds and noise, its splitting (0:
// every valley three noises deep splits) and its shoulder switch. Unknown smoothing or threshold methods
// are taken as the first of their kind; non-finite numbers as 0.
Settings SettingsFromBlock(const tagINTEGRATE_PARAMS& block);

// Detection hysteresis and the least height kept, in multiples of the noise.
constexpr double kDetectionNoiseMultiple = 3.0;
// How far below the signal the next half-window must reach, in noises, for a bound to walk on.
constexpr double kStillFallingNoises = 1.0;
// A shoulder's curvature, in noise units of the second derivative.
constexpr double kShoulderCurvatureNoises = 4.0;
constexpr double kSecondsPerMinute = 60.0;

// The shape of one peak, for review and quality rules.
struct PeakQuality {
    double widthAtHalfHeight = 0.0;  // minutes
    double asymmetry = 0.0;          // at 10 % of the height: trailing / leading half-width
    double tailingFactor = 0.0;      // USP, at 5 %: (leading + trailing) / (2 x leading)
    int pointsAcross = 0;            // raw points from start to end
};

struct Peak {
    int start = 0, apex = 0, end = 0;     // point indexes
    double startTime = 0.0, apexTime = 0.0, endTime = 0.0;  // minutes
    double startBaseline = 0.0, endBaseline = 0.0;           // the baseline at start and end
    double area = 0.0;    // above the baseline, intensity x seconds
    double height = 0.0;  // apex above the baseline
    PeakQuality quality;
};

enum class Status { OK, LengthsDiffer, NotFinite, TimesNotAscending };

struct Result {
    Status status = Status::OK;
    double noise = 0.0;  // the baseline noise used (standard deviation)
    std::vector<Peak> peaks;  // in time order
};

// Integrates one chromatogram: `times` in minutes, strictly ascending, `intensities` as long,
// all finite. Input that breaks this gets its status and no peaks. An empty or flat
// chromatogram has no peaks.
Result IntegrateSignal(std::span<const double> times, std::span<const double> intensities, const Settings& settings);

// Step 9 for bounds and a baseline given from outside (an analyst's correction): `start` and
// `end` in minutes, start before end, both inside the first and last times; the baseline the
// straight line from `startBaseline` at start to `endBaseline` at end. A bound between two
// points takes the trace's linear interpolation there, so the area changes continuously as a
// bound is dragged. Area: the trapezoidal integral above the baseline, as step 9. Height and
// apex: the parabola through the three smoothed points around the highest smoothed point above
// the baseline, smoothed with the lightest quadratic Savitzky-Golay filter of step 2 (five
// points) over the points between the bounds only, so the figures depend on nothing outside
// them (a trace cut anywhere outside the bounds measures the same). Quality figures as step
// 10. The point indexes are those of the points nearest the bounds and the apex. Input that
// breaks the promises above (checked: lengths, finiteness, ascending times, bounds) gets false.
bool MeasureBetween(std::span<const double> times, std::span<const double> intensities, double start, double end,
                    double startBaseline, double endBaseline, Peak& peak);

// The baseline noise of step 1 (0 for fewer than three points).
double ChromatogramNoise(std::span<const double> intensities);

}  // namespace Integrate
