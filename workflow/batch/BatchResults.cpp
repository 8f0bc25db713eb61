#include "workflow/batch/BatchResults.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "calibrate/AxisTransform.h"
#include "quantify/QuanQuantify.h"
#include "report/PeakFieldStrings.h"

#include "platform/NumberText.h"
#include "workflow/batch/CalibrationTable.h"

namespace Batch {

std::string ResultRow::Verdict() const {
    if (flagsSet.empty()) return "pass";
    std::string text = "flagged:";
    for (const std::string& flag : flagsSet) text += " " + flag;
    return text;
}


std::vector<std::string> ResultRow::PeakFieldTexts() const {
    std::vector<std::string> texts;
    if (packedPeakFields.empty()) return texts;
    size_t start = 0;
    for (;;) {
        const size_t end = packedPeakFields.find(kPeakFieldSeparator, start);
        texts.push_back(packedPeakFields.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return texts;
        start = end + 1;
    }
}

void ResultRow::SetPeakFieldTexts(const std::vector<std::string>& texts) {
    packedPeakFields.clear();
    for (size_t i = 0; i < texts.size(); ++i) AddPeakFieldText(texts[i], i == 0);
}

void ResultRow::AddPeakFieldText(std::string_view text, bool first) {
    const size_t start = packedPeakFields.size() + (first ? 0 : 1);
    AddPlainPeakFieldText(text, first);
    if (text.find(kPeakFieldSeparator) != std::string_view::npos)
        std::replace(packedPeakFields.begin() + static_cast<std::ptrdiff_t>(start), packedPeakFields.end(),
                     kPeakFieldSeparator, ' ');
}

std::string NumberCell(double value) {
    if (!std::isfinite(value)) return std::string();
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

namespace {

std::string FloatCell(float value) {
    if (!std::isfinite(value)) return std::string();
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

// How results.csv prints each column's numbers, in the modes of the peak report's number
// formatting: 0 a fixed number of decimals, 1 significant figures. Concentrations and limits
// carry three figures, as the report's default does; areas are whole counts.
struct NumberStyle {
    const char* column;
    int mode;
    int decimals;
    int figures;
};
constexpr NumberStyle kNumberStyles[] = {
    {"FoundRT", 0, 3, 0},       {"Area", 0, 0, 0}, {"Response", 1, 0, 4}, {"Concentration", 1, 0, 3},
    {"LOD", 1, 0, 3},           {"LOQ", 1, 0, 3},  {"S/N", 0, 1, 0},      {"IonRatio", 0, 4, 0},
};

// The peak record's number formatting uses no field of the record, so one shared, never
// changed record serves every thread.
const CPeakData& NumberFormatter() {
    static const CPeakData formatter;
    return formatter;
}

}  // namespace

std::string ReportNumberCell(size_t column, double value) {
    if (!std::isfinite(value)) return std::string();
    // Each column's style, found once by name.
    static const std::vector<const NumberStyle*> styles = [] {
        std::vector<const NumberStyle*> byColumn;
        for (const std::string& name : ResultColumns()) {
            byColumn.push_back(nullptr);
            for (const NumberStyle& style : kNumberStyles)
                if (byColumn.back() == nullptr && name == style.column) byColumn.back() = &style;
        }
        return byColumn;
    }();
    const NumberStyle* style = column < styles.size() ? styles[column] : nullptr;
    if (style == nullptr) return NumberCell(value);
    std::string text;
    NumberFormatter().FormatNumber(style->mode, style->decimals, style->figures, value, text);
    return text;
}

int PeakFieldPosition(int field) {
    static const std::vector<int> positions = [] {
        std::vector<int> table(CPeakData::kPeakISDevHighFlag + 1, -1);
        int position = 0;
        for (const PeakFieldInfo& info : PeakFieldList()) table[static_cast<size_t>(info.field)] = position++;
        return table;
    }();
    return field >= 0 && field < static_cast<int>(positions.size()) ? positions[field] : -1;
}

double PeakFieldNumber(const ResultRow& row, int field) {
    const int position = PeakFieldPosition(field);
    if (position < 0 || row.packedPeakFields.empty()) return std::nan("");
    // Walk to the field's text without unpacking the whole row.
    size_t start = 0;
    for (int i = 0; i < position; ++i) {
        start = row.packedPeakFields.find(kPeakFieldSeparator, start);
        if (start == std::string::npos) return std::nan("");
        ++start;
    }
    const size_t end = std::min(row.packedPeakFields.find(kPeakFieldSeparator, start), row.packedPeakFields.size());
    double value = 0.0;
    const char* first = row.packedPeakFields.data() + start;
    const char* last = row.packedPeakFields.data() + end;
    const auto read = std::from_chars(first, last, value);
    return read.ec == std::errc() && read.ptr == last && first != last ? value : std::nan("");
}

double NominalConcentration(const BatchResults& results, const ResultRow& row) {
    const bool known = row.entry >= 1 && row.entry <= static_cast<int>(results.curves.size());
    if (known) {
        const CCalibrationData& curve = results.curves[row.entry - 1].curve;
        if (curve.GetTotalsEntry() || curve.GetTotalsGroupEntry()) return std::nan("");
    }
    const double nominal = PeakFieldNumber(row, CPeakData::kPeakFixedConc);
    return nominal > 0.0 ? nominal : std::nan("");
}

std::vector<StandardPoint> StandardPoints(const CurveResult& result) {
    std::vector<StandardPoint> points = StandardPoints(result.curve);
    for (StandardPoint& point : points) {
        if (!point.excluded) continue;
        const auto note = result.exclusions.find(point.standard);
        point.excludedBy = note != result.exclusions.end() ? note->second.first : "automatic";
        point.reason = note != result.exclusions.end() ? note->second.second : "no usable peak";
        const auto residual = result.residuals.find(point.standard);
        if (residual != result.residuals.end()) point.residual = residual->second;
    }
    return points;
}

std::string NotCalibratedReason(const CCalibrationData& curve) {
    if (curve.GetCurveValid() != 0) return std::string();
    if (curve.GetTotalsEntry() || curve.GetTotalsGroupEntry()) return "no member of the total was calibrated";
    if (curve.GetText() == kNotInTable) return kNotInTable;
    const int count = std::clamp(curve.GetNumCaliPts(), 0, curve.GetNumCaliPointSlots());
    int usable = 0;
    double lowest = INFINITY, highest = -INFINITY;
    for (int i = 0; i < count; ++i) {
        const tag_CALI_POINT point = curve.GetCaliPoint(i);
        if ((point.Flags & kCaliPointExcluded) != 0) continue;
        ++usable;
        lowest = std::min(lowest, point.Conc);
        highest = std::max(highest, point.Conc);
    }
    if (usable == 0) return count == 0 ? "no usable standard" : "no usable standard (every point excluded)";
    // A polynomial of order k needs k + 1 points; an origin that is included or forced counts
    // as one of them.
    static const char* const kOrderNames[] = {"response-factor", "linear", "quadratic", "cubic",
                                              "fourth-order", "fifth-order", "sixth-order"};
    const int type = curve.GetCCalc();
    const int order = type >= kCurveLinear && type <= kCurveSixthOrder ? type : 0;
    const bool originPoint = order > 0 && (curve.GetOrigin() == kOriginInclude || curve.GetOrigin() == kOriginForce);
    const int needed = order == 0 ? 1 : order + 1 - (originPoint ? 1 : 0);
    if (usable < needed)
        return "too few points: " + std::to_string(usable) + " usable, " + std::to_string(needed) + " needed for a " +
               kOrderNames[order] + " curve";
    if (order > 0 && lowest == highest) return "every usable standard has the same concentration";
    return "the fit has no solution (its equations are singular)";
}

const std::vector<std::string>& ResultColumns() {
    static const std::vector<std::string> columns = {
        "Sample", "Type", "Compound", "FoundRT", "Area",         "Response", "Concentration",
        "Units",  "LOD",  "LOQ",      "S/N",     "IonRatio",     "Flags",    "Result"};
    return columns;
}

std::vector<std::string> ResultCells(const BatchResults& results, const ResultRow& row, bool fullPrecision) {
    const SampleResult* sample =
        row.sample >= 0 && row.sample < static_cast<int>(results.samples.size()) ? &results.samples[row.sample] : nullptr;
    const double kNone = std::nan("");
    size_t column = 3;  // the first number column, FoundRT
    const auto number = [&](double value) {
        const size_t at = column++;
        return fullPrecision ? NumberCell(value) : ReportNumberCell(at, value);
    };
    std::vector<std::string> cells;
    cells.reserve(ResultColumns().size());
    cells.push_back(sample ? sample->id : std::string());
    cells.push_back(sample ? sample->type : std::string());
    cells.push_back(row.compound);
    // Retention times are held in single precision: every digit of one is its shortest float text.
    if (fullPrecision && row.found) {
        cells.push_back(FloatCell(static_cast<float>(row.foundRT)));
        ++column;
    } else {
        cells.push_back(number(row.found ? row.foundRT : kNone));
    }
    cells.push_back(number(row.found ? row.area : kNone));
    cells.push_back(number(row.found ? row.response : kNone));
    cells.push_back(number(row.validConc ? row.conc : kNone));
    cells.push_back(row.units);
    ++column;
    cells.push_back(number(row.lod));
    cells.push_back(number(row.loq));
    cells.push_back(number(row.signalToNoise));
    cells.push_back(number(row.ionRatio));
    cells.push_back(row.flagsText);
    cells.push_back(row.Verdict());
    return cells;
}

}  // namespace Batch
