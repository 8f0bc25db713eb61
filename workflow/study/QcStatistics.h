// Accuracy and precision of quality-control results: one QC level of one compound, its results
// grouped by batch. Within a batch: count, mean, standard deviation, CV and accuracy against the
// nominal concentration. Across the study: the same over every result, and the precision split
// by a one-way analysis of variance into the part within batches (repeatability) and the part
// between them; the inter-batch (intermediate) CV combines the two. Values that cannot be
// estimated (a standard deviation from one result, a CV of a zero mean) are NaN, which the
// study database stores as NULL.
#pragma once

#include <cstddef>
#include <vector>

namespace Study {

struct QcSummary {
    size_t count = 0;
    double mean;
    double sd;               // sample standard deviation (n - 1)
    double cvPercent;
    double accuracyPercent;  // mean as a percentage of the nominal concentration
};

struct QcPrecision {
    size_t count = 0;
    size_t batches = 0;          // batches with at least one result
    double withinBatchSd;        // repeatability: pooled within-batch standard deviation
    double betweenBatchSd;       // the batch-to-batch component (never below zero)
    double interBatchSd;         // intermediate precision: both components together
    double withinBatchCvPercent;
    double betweenBatchCvPercent;
    double interBatchCvPercent;
};

class QcStatistics {
public:
    static QcSummary Summarise(const std::vector<double>& values, double nominal);
    // `batches` holds each batch's results; empty batches are left out.
    static QcPrecision Precision(const std::vector<std::vector<double>>& batches);
};

}  // namespace Study
