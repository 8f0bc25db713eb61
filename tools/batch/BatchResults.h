// What a batch run produces, in the order it is reported: the samples in injection order, one
// row per sample and method entry, and one fitted curve per method entry. Every writer
// (results.csv, curves.txt, results.sqlite, report.html) reads only this, so the outputs agree.
#pragma once

#include <string>
#include <vector>

#include "quan.h"

namespace Batch {

struct SampleResult {
    std::string id;
    std::string type;         // the sample type as text ("Standard", "QC", ...)
    int typeNumber = 0;
    std::string description;
    std::string peakFile;
    int locateStatus = 0;     // what QuanDoLocation returned
    int quantifyStatus = 0;   // what DoQuantify returned
};

// One sample and method entry. Numbers a peak does not have (no peak found, no ion ratio)
// are NaN; writers print them as empty cells.
struct ResultRow {
    int sample = 0;           // index into BatchResults::samples
    int entry = 0;            // 1-based method entry number
    std::string compound;
    bool found = false;       // a main peak was located for the entry
    double foundRT = 0.0;
    double area = 0.0;
    double response = 0.0;
    double conc = 0.0;
    bool validConc = false;
    std::string units;
    double lod = 0.0;
    double loq = 0.0;
    double signalToNoise = 0.0;
    double ionRatio = 0.0;
    std::string flagsText;                // the text of peak field 92
    std::vector<std::string> flagsSet;    // the name of every result flag that is set
    std::string Verdict() const;          // "pass", or "flagged: name name ..."
    // The text of every peak report field, in PeakFieldList() order, packed into one string
    // (a batch holds hundreds of thousands of rows); empty texts when the field has no value or
    // no peak was located. PeakFieldTexts() unpacks them.
    std::string packedPeakFields;
    std::vector<std::string> PeakFieldTexts() const;
    void SetPeakFieldTexts(const std::vector<std::string>& texts);
};

struct CurveResult {
    int entry = 0;            // 1-based method entry number
    std::string compound;
    std::string description;  // GetDescription()
    CCalibrationData curve;   // as fitted (or as read back with --curves), points included
};

struct BatchResults {
    std::string methodFile;
    std::vector<SampleResult> samples;
    std::vector<ResultRow> rows;      // sample by sample, entries in method order
    std::vector<CurveResult> curves;  // in method order
};

// The columns of results.csv, which the database's results table and the report's table
// share, and one row's cells in that order: numbers in shortest round-trip form ("%.10g"),
// empty when the row has no such value.
const std::vector<std::string>& ResultColumns();
std::vector<std::string> ResultCells(const BatchResults& results, const ResultRow& row);
std::string NumberCell(double value);

}  // namespace Batch
