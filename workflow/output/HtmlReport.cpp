// The batch report page. The server side only serialises: the results grid's rows as they
// come (the numbers as results.csv prints them, repeated texts as short codes), then the
// samples, compounds and curves. Curves go out in the analyst's units: the calibration engine
// keeps a transformed curve's points and coefficients in transformed units, so every stored
// point and every sampled point of the fitted polynomial is mapped back through the curve's
// inverse axis transformation, exactly as quantification maps a concentration back; points,
// curve and the results table therefore agree. No value that is not a finite number reaches
// the page: such values become null, which the script leaves undrawn.
#include "workflow/output/HtmlReport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

#include "calibrate/AxisTransform.h"
#include "platform/NumberText.h"
#include "calibrate/PolynomialFit.h"
#include "quantify/CurveInversion.h"
#include "workflow/output/ChromatogramJson.h"
#include "workflow/output/SafeFile.h"

namespace Batch {

namespace {

// ---- text ----------------------------------------------------------------------------------

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at text[i], or 0 when the bytes there are not
// one (overlong forms, surrogates and values past U+10FFFF included).
size_t Utf8SequenceLength(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return length;
}

}  // namespace

std::string JsonString(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string json = "\"";
    json.reserve(text.size() + 2);
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            json += "\\ufffd";
            ++i;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (length > 1) {
            json.append(text.substr(i, length));
        } else if (c == '"' || c == '\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c == '\n') {
            json += "\\n";
        } else if (c < 0x20 || c == '<' || c == '>' || c == '&' || c == 0x7F) {
            json += "\\u00";
            json += kHex[c >> 4];
            json += kHex[c & 15];
        } else {
            json += static_cast<char>(c);
        }
        i += length;
    }
    return json + "\"";
}

namespace {

// A number for the page: shortest round trip, or six significant figures for drawing; null
// when it is not a finite number.
std::string JsonNumber(double value, bool forDrawing = false) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    const auto written = forDrawing ? std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6)
                                    : std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

// Appends every part in order (and spares the temporaries of a chain of "+").
template <typename... Parts>
void Append(std::string& out, const Parts&... parts) {
    (out += ... += parts);
}

// ---- the fitted curve as values -------------------------------------------------------------

// Values beyond this are not drawn: scaling them would overflow.
constexpr double kLargestPlotted = 1e300;
// Samples of the fitted curve, evenly spaced and (when the range is above zero) evenly spaced
// in the logarithm as well, so the curve is smooth on both axis scales.
constexpr int kCurveSamples = 48;

bool Plottable(double value) { return std::isfinite(value) && std::fabs(value) <= kLargestPlotted; }

// The response the fit gives at x, both in the units the curve was fitted in: c1 * x for a
// response factor (its c0 is not part of the curve), the polynomial of the curve's order
// otherwise. NaN for a curve type that has no curve.
double FittedResponse(const CCalibrationData& curve, double x) {
    const int type = curve.GetCCalc();
    if (type == kCurveRF || type == kCurveRFAlternative) return curve.GetCC(1) * x;
    if (type < kCurveLinear || type > QuanCurve::kCurveHighestOrder) return std::nan("");
    double coefficients[QuanCurve::kMaxCurveCoefficients];
    for (int i = 0; i < QuanCurve::kMaxCurveCoefficients; ++i) coefficients[i] = curve.GetCC(i);
    return EvaluatePolynomial(x, type, coefficients);
}

// The fitted curve over the range of the included standards, in the analyst's units, as
// (concentration, response) pairs in concentration order.
std::vector<std::pair<double, double>> FittedCurve(const CCalibrationData& curve,
                                                   const std::vector<StandardPoint>& points) {
    std::vector<std::pair<double, double>> fit;
    if (curve.GetCurveValid() == 0) return fit;
    double lowest = INFINITY, highest = -INFINITY;
    for (const StandardPoint& point : points)
        if (!point.excluded && Plottable(point.nominal)) {
            lowest = std::min(lowest, point.nominal);
            highest = std::max(highest, point.nominal);
        }
    if (!(lowest < highest)) return fit;  // a range of one concentration has no curve to draw
    std::vector<double> at;
    for (int k = 0; k <= kCurveSamples; ++k) at.push_back(lowest + (highest - lowest) * k / kCurveSamples);
    if (lowest > 0.0)
        for (int k = 1; k < kCurveSamples; ++k) at.push_back(lowest * std::pow(highest / lowest, double(k) / kCurveSamples));
    std::sort(at.begin(), at.end());
    const int transformation = curve.GetXYTrans();
    for (double conc : at) {
        const double x = transformation == kAxisNone ? conc : QuanCurve::ForwardTransformation(conc, transformation);
        const double y = FittedResponse(curve, x);
        // Under the square-root axis a negative fitted value is no response: squaring it back
        // would draw a response the curve never gives.
        if (transformation == kAxisSquareRoot && y < 0.0) continue;
        const double resp = InverseTransformation(y, transformation);
        if (Plottable(conc) && Plottable(resp)) fit.emplace_back(conc, resp);
    }
    return fit;
}

}  // namespace

std::string CurveJson(const CurveResult& result) {
    const CCalibrationData& curve = result.curve;
    const std::vector<StandardPoint> points = StandardPoints(result);
    std::string json;
    Append(json, "{\"entry\":", std::to_string(result.entry), ",\"ok\":", curve.GetCurveValid() != 0 ? "1" : "0",
           ",\"why\":", JsonString(NotCalibratedReason(curve)), ",\"description\":",
           JsonString(result.description.empty() ? curve.GetDescription() : result.description), ",\"points\":[");
    for (size_t i = 0; i < points.size(); ++i) {
        const StandardPoint& point = points[i];
        Append(json, i > 0 ? ",[" : "[", JsonNumber(point.nominal), ",", JsonNumber(point.response), ",",
               point.excluded ? "1" : "0", ",", JsonNumber(point.backCalculated), ",", JsonString(point.standard), ",",
               JsonString(point.excludedBy), ",", JsonString(point.reason), "]");
    }
    json += "],\"fit\":[";
    const auto fit = FittedCurve(curve, points);
    for (size_t i = 0; i < fit.size(); ++i)
        Append(json, i > 0 ? "," : "", JsonNumber(fit[i].first, true), ",", JsonNumber(fit[i].second, true));
    return json + "]}";
}

namespace {

std::string TitleOf(const BatchResults& results) {
    return "Batch results: " + (results.methodFile.empty() ? std::string("(no method file)") : results.methodFile);
}

// Text for element content.
std::string Escape(std::string_view text) {
    std::string escaped;
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            escaped += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        const char c = text[i];
        if (c == '&') escaped += "&amp;";
        else if (c == '<') escaped += "&lt;";
        else if (c == '>') escaped += "&gt;";
        else if (length == 1 && static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') escaped += "\xEF\xBF\xBD";
        else escaped.append(text.substr(i, length));
        i += length;
    }
    return escaped;
}

#include "workflow/output/ReportPage.inc"
#include "workflow/output/UPlotAssets.inc"

// A script as it goes into the page: every "</" written "<\/" (the same text to the script),
// so that no parser, HTML 4's included, takes markup the script holds for the end of the
// script element.
std::string ScriptForPage(const char* script) {
    std::string text = script;
    for (size_t at = text.find("</"); at != std::string::npos; at = text.find("</", at + 3)) text.replace(at, 2, "<\\/");
    return text;
}

const std::string& UPlotScriptText() {
    static const std::string text = ScriptForPage(kUPlotScript);
    return text;
}

const std::string& ScriptText() {
    static const std::string text = ScriptForPage(kReportScript);
    return text;
}

// The rows of the grid: one flat array, kRowWidth values a row.
constexpr const char* kRowsOpen = "<script id=\"quan-rows\" type=\"application/json\">[";
constexpr const char* kRowsClose = "]</script>\n";

// The page up to its data: head, style, the error hook the tests read, the title and where the
// review station is.
std::string PageStart(const std::string& title) {
    std::string page;
    Append(page,
           "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n<title>",
           title, "</title>\n<style>", kUPlotStyle, kReportStyle,
           "</style>\n<script>window.quanErrors=[];window.addEventListener('error',function(e){"
           "window.quanErrors.push(String(e.message||e));});</script>\n</head>\n<body>\n<h1>",
           title,
           "</h1>\n<noscript><p>This report draws its tables and plots with JavaScript; the same results are in "
           "results.csv, matrix.csv and results.sqlite beside it.</p></noscript>\n");
    return page;
}

// The page's end: the charting library (with its licence) and the page's own script.
std::string PageEnd() {
    std::string page;
    Append(page, "<script>/* uPlot ", kUPlotVersion, ", https://github.com/leeoniya/uPlot\n", kUPlotLicence,
           "*/\n", UPlotScriptText(), "</script>\n<script>", ScriptText(), "</script>\n</body>\n</html>\n");
    return page;
}

}  // namespace

std::string HtmlReportWriter::TextsJson() const {
    std::string json = "[";
    for (size_t i = 0; i < m_texts.size(); ++i) Append(json, i > 0 ? "," : "", JsonString(m_texts[i]));
    return json + "]";
}

int HtmlReportWriter::TextCode(const std::string& text) {
    const auto [at, added] = m_codes.emplace(text, static_cast<int>(m_texts.size()));
    if (added) m_texts.push_back(text);
    return at->second;
}

std::string HtmlReportWriter::Head(const BatchResults& results) {
    m_codes.clear();
    m_texts.clear();
    m_rowsWritten = 0;
    m_panels.clear();
    m_panelCount = m_chromatogramBytes = m_chromatogramPoints = 0;
    m_chromatogramsDropped = false;
    return PageStart(Escape(TitleOf(results))) +
           "<p id=\"review-note\">To look at every peak on its chromatogram, with the whole batch at hand, open the "
           "review station on this results folder: <code>quan-review RESULTS_FOLDER</code> (it prints the address "
           "to open in a browser).</p>\n" +
           kRowsOpen;
}

std::string HtmlReportWriter::RowJson(const ResultRow& row, const std::vector<std::string>& cells, double nominal) {
    std::string json;
    // sample, entry, the number cells FoundRT to IonRatio (Units left out), flags, verdict,
    // units, nominal
    Append(json, std::to_string(row.sample), ",", std::to_string(row.entry));
    for (size_t i = 3; i <= 11; ++i)
        if (i != 7) Append(json, ",", JsonString(cells[i]));
    Append(json, ",", std::to_string(TextCode(row.flagsText)), ",", std::to_string(TextCode(cells[13])), ",",
           std::to_string(TextCode(row.units)), ",", JsonNumber(nominal));
    return json;
}

std::string HtmlReportWriter::Rows(const BatchResults& results, const std::vector<ResultRow>& rows,
                                   const std::vector<std::vector<std::string>>& rowCells) {
    std::string json;
    json.reserve(rows.size() * 96);
    for (size_t r = 0; r < rows.size() && r < rowCells.size(); ++r) {
        if (m_rowsWritten++ > 0) json += ',';
        json += RowJson(rows[r], rowCells[r], NominalConcentration(results, rows[r]));
    }
    return json;
}

std::string HtmlReportWriter::RowsJson(const BatchResults& results, const std::vector<ResultRow>& rows,
                                       const std::vector<double>& nominals) {
    std::string json = "[";
    json.reserve(rows.size() * 96);
    for (size_t r = 0; r < rows.size(); ++r) {
        if (r > 0) json += ',';
        json += RowJson(rows[r], ResultCells(results, rows[r]), r < nominals.size() ? nominals[r] : std::nan(""));
    }
    return json + "]";
}

void HtmlReportWriter::AddChromatograms(const std::vector<ResultRow>& rows, const std::vector<EntryTrace>& traces) {
    if (traces.empty()) return;
    size_t points = 0;
    for (const EntryTrace& trace : traces) points += trace.times.size();
    // Past the budget nothing more is embedded: the rest is only counted for the page's note,
    // at the bytes a point has taken so far (writing it all out would cost more than the run).
    if (m_chromatogramsDropped) {
        if (m_chromatogramPoints > 0)
            m_chromatogramBytes += static_cast<size_t>(static_cast<double>(points) * static_cast<double>(m_chromatogramBytes) /
                                                       static_cast<double>(m_chromatogramPoints));
        m_chromatogramPoints += points;
        return;
    }
    std::vector<const ResultRow*> rowOf;
    for (const ResultRow& row : rows) {
        if (row.entry < 1) continue;
        if (static_cast<size_t>(row.entry) >= rowOf.size()) rowOf.resize(row.entry + 1, nullptr);
        rowOf[row.entry] = &row;
    }
    const auto field = [](const std::vector<std::string>& texts, int number) {
        const int at = PeakFieldPosition(number);
        double value = std::nan("");
        if (at >= 0 && static_cast<size_t>(at) < texts.size() && !texts[at].empty()) {
            const std::string& text = texts[at];
            if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc()) value = std::nan("");
        }
        return value;
    };
    std::string json;
    size_t panels = 0;
    for (size_t first = 0; first < traces.size();) {
        size_t last = first;
        std::vector<const EntryTrace*> ofEntry;
        while (last < traces.size() && traces[last].entry == traces[first].entry) ofEntry.push_back(&traces[last++]);
        const int entry = traces[first].entry;
        const ResultRow* row = static_cast<size_t>(entry) < rowOf.size() ? rowOf[entry] : nullptr;
        PanelPeak peak;
        bool found = false;
        if (row != nullptr && row->found) {
            const std::vector<std::string> texts = row->PeakFieldTexts();
            peak = {field(texts, CPeakData::kPeakFoundRT), field(texts, CPeakData::kPeakStartRT),
                    field(texts, CPeakData::kPeakEndRT), field(texts, CPeakData::kPeakStHeight),
                    field(texts, CPeakData::kPeakEnHeight)};
            found = true;
        }
        if (!json.empty()) json += ',';
        json += PanelJson(row != nullptr ? row->sample : 0, entry, found ? &peak : nullptr, ofEntry);
        ++panels;
        first = last;
    }
    m_chromatogramBytes += json.size();
    m_chromatogramPoints += points;
    if (m_panels.size() + json.size() + 1 > kEmbeddedChromatogramBudget) {
        m_chromatogramsDropped = true;
        m_panels.clear();
        m_panels.shrink_to_fit();
        m_panelCount = 0;
        return;
    }
    if (!m_panels.empty()) m_panels += ',';
    m_panels += json;
    m_panelCount += panels;
}

std::string HtmlReportWriter::ChromatogramBlock() const {
    std::string json;
    if (m_chromatogramsDropped) {
        char size[32];
        std::snprintf(size, sizeof size, "%.1f", static_cast<double>(m_chromatogramBytes) / (1 << 20));
        Append(json, "{\"panels\":null,\"note\":",
               JsonString(std::string("The chromatograms (about ") + size + " MB) are more than this report embeds (" +
                          std::to_string(kEmbeddedChromatogramBudget >> 20) +
                          " MB): open the review station on the results folder (quan-review RESULTS_FOLDER)."),
               "}");
    } else if (m_panelCount == 0) {
        json = "{\"panels\":null,\"note\":\"No chromatograms were kept with these results: the samples were run "
               "from peak lists, not from raw data.\"}";
    } else {
        Append(json, "{\"panels\":[", m_panels, "],\"note\":\"\"}");
    }
    return "<script id=\"quan-chromatograms\" type=\"application/json\">" + json + "</script>\n";
}

namespace {

// The acceptance rules' outcome: the rule set, its standards tolerance (the residual plot's
// band), how many checks passed, and the failed ones with their reasons. Passed checks are only
// counted: identification checks come one per sample and compound, which at batch sizes the
// page must open at would outweigh the results (the database holds them all).
std::string AcceptanceJson(const AcceptanceResult& acceptance) {
    if (acceptance.rules == RuleSet::kNone) return "null";
    constexpr int kMostFailuresShown = 2000;
    int passed = 0, failed = 0;
    std::string failures;
    for (const RuleVerdict& verdict : acceptance.verdicts) {
        if (verdict.passed) {
            ++passed;
            continue;
        }
        if (failed++ >= kMostFailuresShown) continue;
        Append(failures, failed > 1 ? ",[" : "[", JsonString(verdict.compound), ",", JsonString(verdict.rule), ",",
               JsonString(verdict.sample), ",", JsonString(verdict.reason), "]");
    }
    std::string json;
    Append(json, "{\"rules\":", JsonString(RuleSetName(acceptance.rules)), ",\"tolerance\":",
           JsonNumber(acceptance.limits.standardTolerance), ",\"passed\":", std::to_string(passed),
           ",\"failed\":", std::to_string(failed), ",\"failures\":[", failures, "]}");
    return json;
}

}  // namespace

namespace {

std::string AuditValuesJson(const AuditValues& values) {
    std::string json;
    Append(json, "{\"found\":", values.found ? "true" : "false", ",\"start\":", JsonNumber(values.start),
           ",\"end\":", JsonNumber(values.end), ",\"baselineStart\":", JsonNumber(values.baselineStart),
           ",\"baselineEnd\":", JsonNumber(values.baselineEnd), ",\"area\":", JsonNumber(values.area),
           ",\"height\":", JsonNumber(values.height), ",\"response\":", JsonNumber(values.response),
           ",\"conc\":", JsonNumber(values.conc), ",\"flags\":", JsonString(values.flags), "}");
    return json;
}

std::string AuditChangeJson(const AuditEntry& entry) {
    if (!IsIntegrationAction(entry.action)) return "null";
    const IntegrationChange& change = entry.change;
    std::string json;
    Append(json, "{\"kind\":", JsonString(IntegrationKindText(change.kind)));
    if (change.kind == IntegrationKind::kBounds)
        Append(json, ",\"start\":", JsonNumber(change.start), ",\"end\":", JsonNumber(change.end),
               ",\"baselineStart\":", JsonNumber(change.baselineStart), ",\"baselineEnd\":",
               JsonNumber(change.baselineEnd));
    if (change.kind == IntegrationKind::kChosenPeak) Append(json, ",\"apex\":", JsonNumber(change.apexRT));
    return json + "}";
}

// "area 1234 -> 1300, conc 1.2 -> 1.31": what changed between before and after, for a person.
std::string ChangeSummary(const AuditEntry& entry) {
    const AuditValues& a = entry.before;
    const AuditValues& b = entry.after;
    std::string text;
    const auto number = [](double value) { return std::isfinite(value) ? NumberText::General(value, 6) : std::string("-"); };
    const auto add = [&](const char* name, double from, double to) {
        if (from == to || (!std::isfinite(from) && !std::isfinite(to))) return;
        Append(text, text.empty() ? "" : ", ", name, " ", number(from), " \u2192 ", number(to));
    };
    if (a.found != b.found) Append(text, b.found ? "peak found" : "no peak");
    add("start", a.start, b.start);
    add("end", a.end, b.end);
    add("baseline start", a.baselineStart, b.baselineStart);
    add("baseline end", a.baselineEnd, b.baselineEnd);
    add("area", a.area, b.area);
    add("height", a.height, b.height);
    add("response", a.response, b.response);
    add("conc", a.conc, b.conc);
    if (a.flags != b.flags) Append(text, text.empty() ? "" : ", ", "flags ", a.flags.empty() ? "-" : a.flags, " \u2192 ",
                                   b.flags.empty() ? "-" : b.flags);
    return text;
}

// The changes made in review as a table the page shows without its script (and without a server).
std::string AuditSection(const std::vector<AuditEntry>& audit) {
    if (audit.empty()) return std::string();
    std::string html =
        "<section id=\"review-changes\"><h2>Changes made in review</h2><table><thead><tr><th>#</th><th>Time (UTC)</th>"
        "<th>User</th><th>Action</th><th>Sample</th><th>Compound</th><th>Before \u2192 after</th><th>Reason</th>"
        "</tr></thead><tbody>";
    for (const AuditEntry& entry : audit)
        Append(html, "<tr><td>", std::to_string(entry.id), "</td><td>", Escape(entry.time), "</td><td>",
               Escape(entry.user), "</td><td>", Escape(entry.action), "</td><td>", Escape(entry.sample), "</td><td>",
               Escape(entry.compound), "</td><td>", Escape(ChangeSummary(entry)), "</td><td>", Escape(entry.reason),
               "</td></tr>");
    return html + "</tbody></table></section>\n";
}

}  // namespace

std::string AuditJson(const std::vector<AuditEntry>& audit) {
    std::string json = "[";
    for (size_t i = 0; i < audit.size(); ++i) {
        const AuditEntry& entry = audit[i];
        Append(json, i > 0 ? "," : "", "{\"id\":", std::to_string(entry.id), ",\"time\":", JsonString(entry.time),
               ",\"user\":", JsonString(entry.user), ",\"action\":", JsonString(entry.action), ",\"sample\":",
               JsonString(entry.sample), ",\"compound\":", JsonString(entry.compound), ",\"slot\":",
               std::to_string(entry.slot), ",\"change\":", AuditChangeJson(entry), ",\"before\":",
               AuditValuesJson(entry.before), ",\"after\":", AuditValuesJson(entry.after), ",\"reason\":",
               JsonString(entry.reason), ",\"version\":", JsonString(entry.version), ",\"hash\":",
               JsonString(entry.hash), "}");
    }
    return json + "]";
}

std::string HtmlReportWriter::BatchJson(const BatchResults& results) {
    std::string json;
    Append(json, "{\"title\":", JsonString(TitleOf(results)), ",\"columns\":[");
    for (size_t i = 0; i < ResultColumns().size(); ++i) Append(json, i > 0 ? "," : "", JsonString(ResultColumns()[i]));
    json += "],\"samples\":[";
    for (size_t i = 0; i < results.samples.size(); ++i) {
        const SampleResult& sample = results.samples[i];
        Append(json, i > 0 ? ",[" : "[", JsonString(sample.id), ",", JsonString(sample.type), ",",
               std::to_string(sample.locateStatus), ",", std::to_string(sample.quantifyStatus), "]");
    }
    json += "],\"compounds\":[";
    for (size_t i = 0; i < results.curves.size(); ++i) {
        const CurveResult& curve = results.curves[i];
        Append(json, i > 0 ? ",[" : "[", std::to_string(curve.entry), ",", JsonString(curve.compound), ",",
               JsonString(curve.curve.GetRepUnits()), "]");
    }
    json += "],\"texts\":[";
    for (size_t i = 0; i < m_texts.size(); ++i) Append(json, i > 0 ? "," : "", JsonString(m_texts[i]));
    json += "],\"curves\":[";
    for (size_t i = 0; i < results.curves.size(); ++i) Append(json, i > 0 ? "," : "", CurveJson(results.curves[i]));
    json += "],\"acceptance\":" + AcceptanceJson(results.acceptance) + ",\"audit\":" + AuditJson(results.audit) + "}";
    return json;
}

std::string HtmlReportWriter::Tail(const BatchResults& results) {
    std::string page;
    Append(page, kRowsClose, "<script id=\"quan-batch\" type=\"application/json\">", BatchJson(results), "</script>\n",
           ChromatogramBlock(), AuditSection(results.audit), PageEnd());
    return page;
}

std::string ReviewStationPage(const std::string& title) {
    return PageStart(Escape(title)) +
           "<script id=\"quan-source\" type=\"application/json\">{\"server\":true}</script>\n" + PageEnd();
}

std::string HtmlReport(const BatchResults& results) {
    HtmlReportWriter writer;
    std::vector<std::vector<std::string>> cells;
    for (const ResultRow& row : results.rows) cells.push_back(ResultCells(results, row));
    std::string page = writer.Head(results);
    page += writer.Rows(results, results.rows, cells);
    page += writer.Tail(results);
    return page;
}

bool WriteHtmlReport(const std::string& path, const BatchResults& results, std::string& error) {
    return WriteFileSafely(path, HtmlReport(results), error);
}

}  // namespace Batch
