// What a batch run produces, in the order it is reported: the samples in injection order, one
// row per sample and method entry, and one fitted curve per method entry. Every writer
// (results.csv, curves.txt, results.sqlite, report.html) reads only this, so the outputs agree.
#pragma once

#include <cmath>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quan.h"
#include "workflow/review/Acceptance.h"
#include "workflow/review/AuditTrail.h"
#include "workflow/review/CurveDiagnostics.h"

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

// Divides the packed peak field texts of a row: the unit separator, which no report field text
// holds (a text that did would have it replaced by a space).
constexpr char kPeakFieldSeparator = '\x1f';

// The flag of a result whose main peak or a qualifier peak an analyst set by hand (bounds moved,
// another peak chosen, or "no peak"; ManualIntegration.h). It is a flag like the engines' own:
// the verdict reads "flagged: manual", matrix.csv marks the cell, results.sqlite lists the row
// among flagged_results. A corrected result is no failure, but a reviewer must see every one.
constexpr const char* kManualFlag = "manual";

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
    // The main peak's shape figures as its integration gave them; all zero when its peak list
    // gave none (a peak list without quan-integrate's shape columns).
    Integrate::PeakQuality quality;
    std::vector<std::string> flagsSet;    // the name of every result flag that is set
    std::string Verdict() const;          // "pass", or "flagged: name name ..."
    // The text of every peak report field, in PeakFieldList() order, packed into one string
    // (a batch holds hundreds of thousands of rows); empty texts when the field has no value or
    // no peak was located. PeakFieldTexts() unpacks them.
    std::string packedPeakFields;
    std::vector<std::string> PeakFieldTexts() const;
    void SetPeakFieldTexts(const std::vector<std::string>& texts);
    // Packs one more text after those packed so far; `first` starts the row's texts afresh.
    void AddPeakFieldText(std::string_view text, bool first);
    // The same for a text known to hold no separator (a number, a keyword table's text).
    void AddPlainPeakFieldText(std::string_view text, bool first) {
        if (first) packedPeakFields.clear();
        else packedPeakFields += kPeakFieldSeparator;
        packedPeakFields += text;
    }
};

struct CurveResult {
    int entry = 0;            // 1-based method entry number
    std::string compound;
    std::string description;  // GetDescription()
    CCalibrationData curve;   // as fitted (or as read back with --curves), points included
    // Who excluded a point and why, by the standard's sample id: the analyst's exclusions; an
    // excluded point without a note was left out by the tool (no usable peak).
    std::map<std::string, std::pair<std::string, std::string>> exclusions;
    // The studentized residual that made the outlier rule exclude a point, by standard.
    std::map<std::string, double> residuals;
};

// A curve's standards (CurveDiagnostics.h) with who excluded each point, as the curve's result
// records it.
std::vector<StandardPoint> StandardPoints(const CurveResult& result);

// Why a curve could not be calibrated, in a lab's words ("no usable standard", "too few
// points: 2 usable, 3 needed for a quadratic curve", ...); empty for a calibrated curve.
std::string NotCalibratedReason(const CCalibrationData& curve);

struct BatchResults {
    std::string methodFile;
    std::vector<SampleResult> samples;
    std::vector<ResultRow> rows;      // sample by sample, entries in method order
    std::vector<CurveResult> curves;  // in method order
    AcceptanceResult acceptance;      // the batch under the method's acceptance rules
    // How the batch was run, as (name, value) pairs, so that it can be run again: the batch
    // folder, the method, the options that change results, the program's version (RunProvenance
    // in BatchSession.cpp). The results database keeps them in its table `run`.
    std::vector<std::pair<std::string, std::string>> run;
    // The changes made in review, oldest first (the audit trail; empty for a fresh run): the
    // report lists them.
    std::vector<AuditEntry> audit;
};

// The columns of results.csv, which the report's grid shares, and one row's cells in that
// order, empty where the row has no such value. Numbers are printed as the peak report prints
// them (concentrations and limits to three significant figures, retention times to three
// decimals, ion ratios to four), or with every digit (the shortest text that reads back as the
// same double) when `fullPrecision` is set.
const std::vector<std::string>& ResultColumns();
std::vector<std::string> ResultCells(const BatchResults& results, const ResultRow& row, bool fullPrecision = false);
// The shortest text that reads back as `value`; empty for NaN and infinities.
std::string NumberCell(double value);
// A number as the report prints it in results column `column` (an index into ResultColumns()).
std::string ReportNumberCell(size_t column, double value);

// Where each peak report field sits in a row's packed texts: its index in PeakFieldList(),
// or -1 for a number that names no field.
int PeakFieldPosition(int field);
// The number text of one peak field of a row, read back; NaN when the row has no such value.
double PeakFieldNumber(const ResultRow& row, int field);
// The concentration a standard or QC was made up to (the peak's fixed concentration); NaN
// when there is none, and for a total, whose fixed concentration is its level's, not the sum
// of its members' that its result is.
double NominalConcentration(const BatchResults& results, const ResultRow& row);

}  // namespace Batch
