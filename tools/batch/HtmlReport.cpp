// The batch report page. The calibration plots show the curve in the analyst's units: the
// calibration engine keeps a transformed curve's points and coefficients in transformed units,
// so every stored point and every point of the fitted polynomial is mapped back through the
// curve's inverse axis transformation before it is drawn, exactly as quantification maps a
// concentration back. Points and curve therefore always agree with each other and with the
// concentrations in the results table.
//
// The plot is built in two steps: the curve becomes a list of finite values (anything that is
// not a number, or too large to scale, is left out), and only then is it scaled to pixels, so
// no NaN or infinity can reach the SVG however degenerate the curve.
#include "tools/batch/HtmlReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

#include "calibrate/AxisTransform.h"
#include "calibrate/PolynomialFit.h"
#include "platform/NumberText.h"
#include "quantify/CurveInversion.h"
#include "tools/batch/SafeFile.h"

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

// Control characters are not allowed in an HTML page; tab and line ends are text.
bool IsForbiddenControl(std::string_view sequence) {
    const auto lead = static_cast<unsigned char>(sequence[0]);
    if (sequence.size() == 1) return (lead < 0x20 && lead != '\t' && lead != '\n' && lead != '\r') || lead == 0x7F;
    // U+0080 to U+009F, the C1 controls.
    return sequence.size() == 2 && lead == 0xC2 && static_cast<unsigned char>(sequence[1]) <= 0x9F;
}

// Text for element content, or for a quoted attribute value, where tabs and line ends are
// written as references so that no parser folds them into spaces.
std::string Escape(std::string_view text, bool attribute = false) {
    std::string escaped;
    escaped.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            escaped += kReplacementCharacter;
            ++i;
            continue;
        }
        const std::string_view sequence = text.substr(i, length);
        i += length;
        if (IsForbiddenControl(sequence)) {
            escaped += kReplacementCharacter;
            continue;
        }
        switch (sequence[0]) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            case '\'': escaped += "&#39;"; break;
            case '\t': escaped += attribute ? "&#9;" : "\t"; break;
            case '\n': escaped += attribute ? "&#10;" : "\n"; break;
            case '\r': escaped += attribute ? "&#13;" : "\r"; break;
            default: escaped += sequence;
        }
    }
    return escaped;
}


// ---- the page around the content ----------------------------------------------------------

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:1.5em;color:#222}"
    "table.results{border-collapse:collapse;font-size:0.85em}"
    "table.results th,table.results td{border:1px solid #bbb;padding:2px 6px;text-align:left}"
    "table.results th{background:#e8e8e8}"
    "tr.flagged td{background:#fde0dc}"
    "tr.flagged td.verdict{color:#a40000;font-weight:bold}"
    ".curve{display:flex;flex-wrap:wrap;gap:1.5em;align-items:flex-start;margin-bottom:2em}"
    ".curve pre{background:#f6f6f6;padding:0.6em;margin:0}"
    "svg.calibration-plot{background:#fff;border:1px solid #ccc}"
    "svg .axis{stroke:#333;stroke-width:1}"
    "svg .tick-label,svg .axis-title{font-size:11px;fill:#333}"
    "svg .fit{fill:none;stroke:#1f5fa8;stroke-width:1.5}"
    "svg .point{fill:#1f5fa8;stroke:#1f5fa8}"
    "svg .excluded{fill:none;stroke:#c03020;stroke-width:1.5}";

std::string TitleOf(const BatchResults& results) {
    return "Batch results: " + (results.methodFile.empty() ? std::string("(no method file)") : results.methodFile);
}

// ---- results table ------------------------------------------------------------------------

std::string ResultsTableHead() {
    std::string html = "<h2>Results</h2>\n<table class=\"results\">\n<thead><tr>";
    for (const std::string& column : ResultColumns()) html += "<th>" + Escape(column) + "</th>";
    return html + "</tr></thead>\n<tbody>\n";
}

std::string ResultsTableRows(const BatchResults& results, const std::vector<ResultRow>& rows) {
    std::string html;
    for (const ResultRow& row : rows) {
        const bool passed = row.Verdict() == "pass";
        html += passed ? "<tr>" : "<tr class=\"flagged\">";
        const std::vector<std::string> cells = ResultCells(results, row);
        for (size_t i = 0; i < cells.size(); ++i) {
            // The last column is the verdict, which a flagged row also shows in colour.
            html += i + 1 == cells.size() ? "<td class=\"verdict\">" : "<td>";
            html += Escape(cells[i]) + "</td>";
        }
        html += "</tr>\n";
    }
    return html;
}

const char kResultsTableEnd[] = "</tbody>\n</table>\n";

// ---- the curve as values ------------------------------------------------------------------

// Values beyond this are not drawn: scaling them would overflow.
constexpr double kLargestPlotted = 1e300;
// Samples of the fitted curve over the calibrated range.
constexpr int kCurveSamples = 200;

struct PlotPoint {
    double conc;
    double resp;
    bool excluded;
};

struct CurveValues {
    std::vector<PlotPoint> points;
    std::vector<PlotPoint> fit;  // the fitted curve, in concentration order
};

bool Plottable(double value) { return std::isfinite(value) && std::fabs(value) <= kLargestPlotted; }

bool IsCalibrated(const CCalibrationData& curve) {
    return curve.GetCurveValid() == 1 && curve.GetNumCaliPts() >= 1 && curve.GetNumCaliPointSlots() >= 1;
}

int StoredPointCount(const CCalibrationData& curve) {
    return std::clamp(curve.GetNumCaliPts(), 0, curve.GetNumCaliPointSlots());
}

// The response the fit gives at x, both in the units the curve was fitted in: c1 * x for a
// response factor (its c0 is not part of the curve), the polynomial of the curve's order
// otherwise. NaN for a curve type that has no curve.
double FittedResponse(const CCalibrationData& curve, double x) {
    const int type = curve.GetCCalc();
    if (type == QuanCurve::kCurveRF || type == QuanCurve::kCurveRFAlternative) return curve.GetCC(1) * x;
    if (type < QuanCurve::kCurveLinear || type > QuanCurve::kCurveHighestOrder) return std::nan("");
    double coefficients[QuanCurve::kMaxCurveCoefficients];
    for (int i = 0; i < QuanCurve::kMaxCurveCoefficients; ++i) coefficients[i] = curve.GetCC(i);
    return EvaluatePolynomial(x, type, coefficients);
}

CurveValues ValuesOf(const CCalibrationData& curve) {
    const int transformation = curve.GetXYTrans();
    CurveValues values;
    double lowestConc = INFINITY, highestConc = -INFINITY;  // included points, fitted units
    for (int i = 0; i < StoredPointCount(curve); ++i) {
        const tag_CALI_POINT point = curve.GetCaliPoint(i);
        const bool excluded = (point.Flags & kCaliPointExcluded) != 0;
        const double conc = InverseTransformation(point.Conc, transformation);
        const double resp = InverseTransformation(point.Resp, transformation);
        if (!Plottable(conc) || !Plottable(resp)) continue;
        values.points.push_back({conc, resp, excluded});
        if (!excluded) {
            lowestConc = std::min(lowestConc, point.Conc);
            highestConc = std::max(highestConc, point.Conc);
        }
    }
    // A range of one concentration has no curve to draw.
    if (!(lowestConc < highestConc)) return values;
    for (int k = 0; k <= kCurveSamples; ++k) {
        const double x = lowestConc + (highestConc - lowestConc) * k / kCurveSamples;
        const double y = FittedResponse(curve, x);
        // Under the square-root axis a negative fitted value is no response: squaring it back
        // would draw a response the curve never gives.
        if (transformation == kAxisSquareRoot && y < 0.0) continue;
        const double conc = InverseTransformation(x, transformation);
        const double resp = InverseTransformation(y, transformation);
        if (Plottable(conc) && Plottable(resp)) values.fit.push_back({conc, resp, false});
    }
    return values;
}

// ---- scaling ------------------------------------------------------------------------------

// A value range widened to whole steps of a 1-2-5 tick spacing; the origin is always shown.
struct Axis {
    double low = 0.0;
    double high = 1.0;
    double step = 0.5;

    void Include(double value) {
        low = std::min(low, value);
        high = std::max(high, value);
    }

    // Call once, after every value is included.
    void RoundToTicks() {
        constexpr int kTargetTicks = 5;
        // Spans too small to divide are shown as one unit.
        if (!(high - low > 1e-290)) high = low + 1.0;
        const double rough = (high - low) / kTargetTicks;
        const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
        const double ratio = rough / magnitude;
        step = magnitude * (ratio <= 1.0 ? 1.0 : ratio <= 2.0 ? 2.0 : ratio <= 5.0 ? 5.0 : 10.0);
        const double roundedLow = std::floor(low / step) * step;
        const double roundedHigh = std::ceil(high / step) * step;
        if (std::isfinite(roundedLow) && std::isfinite(roundedHigh) && roundedLow < roundedHigh) {
            low = roundedLow;
            high = roundedHigh;
        }
        if (!(std::isfinite(step) && step > 0.0)) step = high - low;
    }

    // 0 at `low`, 1 at `high`.
    double Fraction(double value) const { return (value - low) / (high - low); }

    std::vector<double> Ticks() const {
        constexpr int kMostTicks = 12;
        std::vector<double> ticks;
        for (int i = 0; i < kMostTicks; ++i) {
            double value = low + i * step;
            if (value > high + step * 1e-6) break;
            if (std::fabs(value) < step * 1e-9) value = 0.0;  // no "-0" or 1e-17 labels
            if (!ticks.empty() && !(value > ticks.back())) break;
            ticks.push_back(value);
        }
        return ticks;
    }
};

// Pixel layout of one plot.
constexpr double kPlotWidth = 480.0;
constexpr double kPlotHeight = 320.0;
constexpr double kMarginLeft = 72.0;
constexpr double kMarginRight = 16.0;
constexpr double kMarginTop = 14.0;
constexpr double kMarginBottom = 46.0;
constexpr double kPointRadius = 3.5;

struct Frame {
    Axis x;
    Axis y;

    double Left() const { return kMarginLeft; }
    double Right() const { return kPlotWidth - kMarginRight; }
    double Top() const { return kMarginTop; }
    double Bottom() const { return kPlotHeight - kMarginBottom; }
    double PixelX(double conc) const { return Left() + x.Fraction(conc) * (Right() - Left()); }
    double PixelY(double resp) const { return Bottom() - y.Fraction(resp) * (Bottom() - Top()); }
};

Frame FrameFor(const CurveValues& values) {
    Frame frame;
    frame.x.low = frame.x.high = 0.0;
    frame.y.low = frame.y.high = 0.0;
    for (const std::vector<PlotPoint>* list : {&values.points, &values.fit})
        for (const PlotPoint& point : *list) {
            frame.x.Include(point.conc);
            frame.y.Include(point.resp);
        }
    frame.x.RoundToTicks();
    frame.y.RoundToTicks();
    return frame;
}

// ---- SVG ----------------------------------------------------------------------------------

std::string Pixel(double value) { return NumberText::Fixed(value, 2); }

std::string TickLabel(double value) { return Escape(NumberText::General(value, 6)); }

std::string Line(double x1, double y1, double x2, double y2, const char* cssClass) {
    return "<line class=\"" + std::string(cssClass) + "\" x1=\"" + Pixel(x1) + "\" y1=\"" + Pixel(y1) + "\" x2=\"" +
           Pixel(x2) + "\" y2=\"" + Pixel(y2) + "\"/>\n";
}

std::string Text(double x, double y, const char* anchor, const std::string& escapedText,
                 const char* cssClass = "tick-label", const std::string& transform = std::string()) {
    std::string svg = "<text class=\"" + std::string(cssClass) + "\" x=\"" + Pixel(x) + "\" y=\"" + Pixel(y) +
                      "\" text-anchor=\"" + anchor + "\"";
    if (!transform.empty()) svg += " transform=\"" + transform + "\"";
    return svg + ">" + escapedText + "</text>\n";
}

std::string AxesSvg(const Frame& frame) {
    std::string svg = Line(frame.Left(), frame.Bottom(), frame.Right(), frame.Bottom(), "axis");
    svg += Line(frame.Left(), frame.Top(), frame.Left(), frame.Bottom(), "axis");
    for (double tick : frame.x.Ticks()) {
        const double px = frame.PixelX(tick);
        svg += Line(px, frame.Bottom(), px, frame.Bottom() + 5.0, "axis");
        svg += Text(px, frame.Bottom() + 17.0, "middle", TickLabel(tick));
    }
    for (double tick : frame.y.Ticks()) {
        const double py = frame.PixelY(tick);
        svg += Line(frame.Left() - 5.0, py, frame.Left(), py, "axis");
        svg += Text(frame.Left() - 8.0, py + 4.0, "end", TickLabel(tick));
    }
    const double middleX = (frame.Left() + frame.Right()) / 2.0;
    const double middleY = (frame.Top() + frame.Bottom()) / 2.0;
    svg += Text(middleX, kPlotHeight - 8.0, "middle", "Concentration", "axis-title");
    svg += Text(16.0, middleY, "middle", "Response", "axis-title",
                "rotate(-90 " + Pixel(16.0) + " " + Pixel(middleY) + ")");
    return svg;
}

std::string FitSvg(const Frame& frame, const std::vector<PlotPoint>& fit) {
    if (fit.size() < 2) return std::string();
    std::string svg = "<polyline class=\"fit\" points=\"";
    for (size_t i = 0; i < fit.size(); ++i) {
        if (i > 0) svg += ' ';
        svg += Pixel(frame.PixelX(fit[i].conc)) + "," + Pixel(frame.PixelY(fit[i].resp));
    }
    return svg + "\"/>\n";
}

// Included points are filled circles; excluded points hollow circles with a cross, so they
// stay apart in print without colour.
std::string PointsSvg(const Frame& frame, const std::vector<PlotPoint>& points) {
    std::string svg;
    for (const PlotPoint& point : points) {
        const double px = frame.PixelX(point.conc);
        const double py = frame.PixelY(point.resp);
        if (!point.excluded) {
            svg += "<circle class=\"point\" cx=\"" + Pixel(px) + "\" cy=\"" + Pixel(py) + "\" r=\"" +
                   Pixel(kPointRadius) + "\"/>\n";
            continue;
        }
        svg += "<g class=\"excluded\"><circle cx=\"" + Pixel(px) + "\" cy=\"" + Pixel(py) + "\" r=\"" +
               Pixel(kPointRadius + 1.0) + "\"/>";
        svg += "<line x1=\"" + Pixel(px - kPointRadius) + "\" y1=\"" + Pixel(py - kPointRadius) + "\" x2=\"" +
               Pixel(px + kPointRadius) + "\" y2=\"" + Pixel(py + kPointRadius) + "\"/>";
        svg += "<line x1=\"" + Pixel(px - kPointRadius) + "\" y1=\"" + Pixel(py + kPointRadius) + "\" x2=\"" +
               Pixel(px + kPointRadius) + "\" y2=\"" + Pixel(py - kPointRadius) + "\"/></g>\n";
    }
    return svg;
}

std::string CalibrationPlot(const CurveResult& result) {
    const CurveValues values = ValuesOf(result.curve);
    const Frame frame = FrameFor(values);
    std::string svg = "<svg class=\"calibration-plot\" data-compound=\"" + Escape(result.compound, true) +
                      "\" data-entry=\"" + std::to_string(result.entry) + "\" width=\"" + Pixel(kPlotWidth) +
                      "\" height=\"" + Pixel(kPlotHeight) + "\" viewBox=\"0 0 " + Pixel(kPlotWidth) + " " +
                      Pixel(kPlotHeight) + "\" role=\"img\" aria-label=\"Calibration curve of " +
                      Escape(result.compound, true) + "\">\n";
    svg += AxesSvg(frame);
    svg += FitSvg(frame, values.fit);
    svg += PointsSvg(frame, values.points);
    return svg + "</svg>\n";
}

std::string CurveHeading(const CurveResult& result) {
    return "Entry " + std::to_string(result.entry) + ": " + Escape(result.compound);
}

std::string CalibrationSection(const BatchResults& results) {
    std::string html = "<h2>Calibration curves</h2>\n";
    std::string uncalibrated;
    int plots = 0;
    for (const CurveResult& result : results.curves) {
        if (!IsCalibrated(result.curve)) {
            uncalibrated += (uncalibrated.empty() ? "" : ", ") + Escape(result.compound);
            continue;
        }
        ++plots;
        const std::string description =
            result.description.empty() ? result.curve.GetDescription() : result.description;
        html += "<h3>" + CurveHeading(result) + "</h3>\n<div class=\"curve\">\n";
        html += CalibrationPlot(result);
        html += "<pre class=\"curve-description\">" + Escape(description) + "</pre>\n</div>\n";
    }
    if (plots == 0) html += "<p class=\"empty\">No calibrated curves.</p>\n";
    if (!uncalibrated.empty()) html += "<p class=\"uncalibrated\">Not calibrated: " + uncalibrated + "</p>\n";
    return html;
}

}  // namespace

std::string HtmlReportHead(const BatchResults& results) {
    const std::string title = Escape(TitleOf(results));
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>" + title +
           "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<h1>" + title + "</h1>\n" + ResultsTableHead();
}

std::string HtmlReportRows(const BatchResults& results, const std::vector<ResultRow>& rows) {
    return ResultsTableRows(results, rows);
}

std::string HtmlReportTail(const BatchResults& results) {
    return kResultsTableEnd + CalibrationSection(results) + "</body>\n</html>\n";
}

std::string HtmlReport(const BatchResults& results) {
    if (results.rows.empty()) {
        const std::string title = Escape(TitleOf(results));
        return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>" + title +
               "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<h1>" + title +
               "</h1>\n<h2>Results</h2>\n<p class=\"empty\">No results.</p>\n" + CalibrationSection(results) +
               "</body>\n</html>\n";
    }
    return HtmlReportHead(results) + HtmlReportRows(results, results.rows) + HtmlReportTail(results);
}

bool WriteHtmlReport(const std::string& path, const BatchResults& results, std::string& error) {
    return WriteFileSafely(path, HtmlReport(results), error);
}

}  // namespace Batch
