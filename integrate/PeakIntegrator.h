// Finding and integrating the peaks of one chromatogram, by the classical steps of a
// chromatography data system:
//
//  1. Noise. The chromatogram's noise is the standard deviation of its baseline noise, measured
//     robustly from the raw points as 1.4826 x the median absolute deviation of the first
//     differences, divided by the square root of 2 (a difference of two noisy points carries the
//     noise twice). Differences ignore a slow drift, and the median ignores the peaks, which move
//     only a minority of the differences. When the median deviation is zero (intensities that
//     are mostly equal, as sparse counts are), the mean absolute deviation stands in for it. A
//     method may instead give the noise itself: a noise level above 0 with automatic processing
//     off.
//  2. Smoothing, as the method asks (Smoothing.h); detection and apex heights use the smoothed
//     signal, areas the raw points.
//  3. Detection. Apexes are the maxima of the smoothed signal that rise and fall by at least three
//     times the noise: a peak-valley (zigzag) scan with that hysteresis, one pass. Between two
//     apexes the valley is the lowest smoothed point. A maximum at either end of the data, not
//     seen to rise and fall, is not a peak.
//  4. Clusters. Two neighbouring apexes overlap when their valley stands more than the detection
//     threshold above the line joining the lowest points on their far sides; overlapping apexes
//     form one cluster under one straight baseline and are split by a perpendicular drop at
//     each valley. Otherwise the signal went back to the baseline between them.
//  5. Bounds. A cluster's outer bound lies five half-widths at half height from its outer apex
//     (5.9 standard deviations of a Gaussian; a tailing side has the wider half-width), so a
//     tail lost in the noise is still integrated, but never past the valley to the next apex
//     nor past the data.
//  6. Baseline. The least-squares line through the raw points at and just outside the cluster's
//     bounds on either side (as many as the cluster is wide, but not into a neighbouring
//     cluster): a line through averaged ends is not thrown off by the noise of a single end
//     point, and is exact on a straight drifting baseline. A valley shallower than the splitting
//     percentage of the smaller of its two apexes (heights above the baseline) joins them into
//     one peak.
//  7. Measures. Area: the trapezoidal integral of the raw points above the baseline from start
//     to end, in intensity x seconds (times are in minutes; the seconds keep areas in the range
//     of the batch's stored peak lists, whose areas are counts x seconds). Height: the apex of the
//     parabola through the three smoothed points around the highest one, above the baseline
//     there; the parabola's vertex is the apex time.
//  8. Thresholds, as the method asks: a peak is kept when its area and height reach the absolute
//     thresholds and the relative ones (percent of the largest peak of the chromatogram); the
//     threshold method says which apply (0 all, 1 area only, 2 height only). A peak lower than
//     three times the noise is never kept: it cannot be told from the noise.
//
// Of the integration settings, the shoulder, balance, tail-reduction, peak-mode and Kel
// parameters are not used: they tune proprietary detection steps this integrator does not have.
#pragma once

#include <span>
#include <vector>

#include "integrate/Smoothing.h"

struct tagINTEGRATE_PARAMS;

namespace Integrate {

enum class ThresholdMethod { All = 0, AreaOnly = 1, HeightOnly = 2 };

struct Settings {
    Smoothing smoothing;
    ThresholdMethod thresholdMethod = ThresholdMethod::All;
    double areaRelative = 0.0;    // percent of the largest area
    double areaAbsolute = 0.0;    // intensity x seconds
    double heightRelative = 0.0;  // percent of the largest height
    double heightAbsolute = 0.0;  // intensity
    double noiseLevel = 0.0;      // the noise to use, when above 0 and not automatic
    bool automaticNoise = false;  // measure the noise even when a level is given
    double splitting = 0.0;       // least valley depth, percent of the smaller apex, that splits
};

// The settings a method entry's integration block holds (unknown smoothing or threshold
// methods are taken as the first of their kind; non-finite numbers as 0).
Settings SettingsFromBlock(const tagINTEGRATE_PARAMS& block);

// Detection hysteresis and the least height kept, in multiples of the noise.
constexpr double kDetectionNoiseMultiple = 3.0;
// Where a cluster's outer bound lies, in half-widths at half height from its outer apex.
constexpr double kBoundHalfWidths = 5.0;
// How far on either side of a cluster the baseline is fitted, in widths of the cluster.
constexpr int kBaselineWindowWidths = 2;
constexpr double kSecondsPerMinute = 60.0;

struct Peak {
    int start = 0, apex = 0, end = 0;     // point indexes
    double startTime = 0.0, apexTime = 0.0, endTime = 0.0;  // minutes
    double startBaseline = 0.0, endBaseline = 0.0;           // the baseline at start and end
    double area = 0.0;    // above the baseline, intensity x seconds
    double height = 0.0;  // apex above the baseline
};

enum class Status { OK, LengthsDiffer, NotFinite, TimesNotAscending };

struct Result {
    Status status = Status::OK;
    double noise = 0.0;  // the noise used (standard deviation)
    std::vector<Peak> peaks;  // in time order
};

// Integrates one chromatogram: `times` in minutes, strictly ascending, `intensities` as long,
// all finite. Input that breaks this gets its status and no peaks. An empty or flat
// chromatogram has no peaks.
Result IntegrateSignal(std::span<const double> times, std::span<const double> intensities, const Settings& settings);

// The noise of step 1 (0 for fewer than three points).
double ChromatogramNoise(std::span<const double> intensities);

}  // namespace Integrate
