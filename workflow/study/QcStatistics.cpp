#include "workflow/study/QcStatistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Study {

namespace {
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

double PercentOf(double part, double whole) { return whole != 0.0 ? 100.0 * part / whole : kNone; }
}  // namespace

QcSummary QcStatistics::Summarise(const std::vector<double>& values, double nominal) {
    QcSummary summary{values.size(), kNone, kNone, kNone, kNone};
    if (values.empty()) return summary;
    double sum = 0.0;
    for (double value : values) sum += value;
    summary.mean = sum / static_cast<double>(values.size());
    if (values.size() > 1) {
        double squares = 0.0;
        for (double value : values) squares += (value - summary.mean) * (value - summary.mean);
        summary.sd = std::sqrt(squares / static_cast<double>(values.size() - 1));
        summary.cvPercent = PercentOf(summary.sd, summary.mean);
    }
    summary.accuracyPercent = nominal > 0.0 ? PercentOf(summary.mean, nominal) : kNone;
    return summary;
}

QcPrecision QcStatistics::Precision(const std::vector<std::vector<double>>& batches) {
    QcPrecision precision{0, 0, kNone, kNone, kNone, kNone, kNone, kNone};
    double total = 0.0, sumOfSquaredSizes = 0.0;
    for (const std::vector<double>& batch : batches) {
        if (batch.empty()) continue;
        ++precision.batches;
        precision.count += batch.size();
        sumOfSquaredSizes += static_cast<double>(batch.size()) * static_cast<double>(batch.size());
        for (double value : batch) total += value;
    }
    if (precision.count < 2) return precision;
    const double n = static_cast<double>(precision.count), k = static_cast<double>(precision.batches);
    const double grandMean = total / n;
    double withinSquares = 0.0, betweenSquares = 0.0;
    for (const std::vector<double>& batch : batches) {
        if (batch.empty()) continue;
        double sum = 0.0;
        for (double value : batch) sum += value;
        const double mean = sum / static_cast<double>(batch.size());
        for (double value : batch) withinSquares += (value - mean) * (value - mean);
        betweenSquares += static_cast<double>(batch.size()) * (mean - grandMean) * (mean - grandMean);
    }
    const bool replicated = precision.count > precision.batches;  // some batch has two results
    if (precision.batches < 2) {
        // One batch: only the repeatability can be told.
        precision.withinBatchSd = std::sqrt(withinSquares / (n - 1.0));
        precision.interBatchSd = precision.withinBatchSd;
    } else if (!replicated) {
        // One result per batch: the spread of the results is all the study shows; it cannot be
        // split, so it stands for the between-batch and the whole precision alike.
        precision.betweenBatchSd = std::sqrt(betweenSquares / (k - 1.0));
        precision.interBatchSd = precision.betweenBatchSd;
    } else {
        const double withinMeanSquare = withinSquares / (n - k);
        const double betweenMeanSquare = betweenSquares / (k - 1.0);
        // The effective batch size when batches hold different numbers of results.
        const double batchSize = (n - sumOfSquaredSizes / n) / (k - 1.0);
        const double betweenVariance = std::max(0.0, (betweenMeanSquare - withinMeanSquare) / batchSize);
        precision.withinBatchSd = std::sqrt(withinMeanSquare);
        precision.betweenBatchSd = std::sqrt(betweenVariance);
        precision.interBatchSd = std::sqrt(withinMeanSquare + betweenVariance);
    }
    precision.withinBatchCvPercent = PercentOf(precision.withinBatchSd, grandMean);
    precision.betweenBatchCvPercent = PercentOf(precision.betweenBatchSd, grandMean);
    precision.interBatchCvPercent = PercentOf(precision.interBatchSd, grandMean);
    return precision;
}

}  // namespace Study
