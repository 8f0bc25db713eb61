#include "tools/batch/BatchResults.h"

#include <cmath>
#include <cstdio>

#include "platform/NumberText.h"

namespace Batch {

std::string ResultRow::Verdict() const {
    if (flagsSet.empty()) return "pass";
    std::string text = "flagged:";
    for (const std::string& flag : flagsSet) text += " " + flag;
    return text;
}

namespace {
// The unit separator: no report field text holds control characters.
constexpr char kFieldSeparator = '\x1f';
}  // namespace

std::vector<std::string> ResultRow::PeakFieldTexts() const {
    std::vector<std::string> texts;
    if (packedPeakFields.empty()) return texts;
    size_t start = 0;
    for (;;) {
        const size_t end = packedPeakFields.find(kFieldSeparator, start);
        texts.push_back(packedPeakFields.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return texts;
        start = end + 1;
    }
}

void ResultRow::SetPeakFieldTexts(const std::vector<std::string>& texts) {
    packedPeakFields.clear();
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) packedPeakFields += kFieldSeparator;
        for (char c : texts[i]) packedPeakFields += c == kFieldSeparator ? ' ' : c;
    }
}

std::string NumberCell(double value) {
    if (!std::isfinite(value)) return std::string();
    return NumberText::General(value, 10);
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
