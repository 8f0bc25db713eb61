#include "tools/batch/BatchResults.h"

#include <cmath>
#include <cstdio>

namespace Batch {

std::string ResultRow::Verdict() const {
    if (flagsSet.empty()) return "pass";
    std::string text = "flagged:";
    for (const std::string& flag : flagsSet) text += " " + flag;
    return text;
}

std::string NumberCell(double value) {
    if (!std::isfinite(value)) return std::string();
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

const std::vector<std::string>& ResultColumns() {
    static const std::vector<std::string> columns = {
        "Sample", "Type", "Compound", "FoundRT", "Area",         "Response", "Concentration",
        "Units",  "LOD",  "LOQ",      "S/N",     "IonRatio",     "Flags",    "Result"};
    return columns;
}

std::vector<std::string> ResultCells(const BatchResults& results, const ResultRow& row) {
    const SampleResult* sample =
        row.sample >= 0 && row.sample < static_cast<int>(results.samples.size()) ? &results.samples[row.sample] : nullptr;
    const double kNone = std::nan("");
    return {sample ? sample->id : std::string(),
            sample ? sample->type : std::string(),
            row.compound,
            NumberCell(row.found ? row.foundRT : kNone),
            NumberCell(row.found ? row.area : kNone),
            NumberCell(row.found ? row.response : kNone),
            NumberCell(row.validConc ? row.conc : kNone),
            row.units,
            NumberCell(row.lod),
            NumberCell(row.loq),
            NumberCell(row.signalToNoise),
            NumberCell(row.ionRatio),
            row.flagsText,
            row.Verdict()};
}

}  // namespace Batch
