#include "workflow/study/StudyPage.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <vector>

#include "platform/NumberText.h"
#include "workflow/study/SqlHandles.h"

namespace Study {

namespace {

std::string Escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// Four significant figures, as a lab reads a concentration; blank for no value.
std::string Figure(double value) { return std::isfinite(value) ? NumberText::General(value, 4) : ""; }
std::string Percent(double value) { return std::isfinite(value) ? NumberText::Fixed(value, 1) : ""; }
std::string Coordinate(double value) { return NumberText::Fixed(value, 1); }

const char* const kStyle = R"(<style>
body{font:14px system-ui,sans-serif;margin:1.5em;color:#222}
h1{font-size:1.5em}h2{font-size:1.2em;margin-top:2em}
table{border-collapse:collapse;margin:.5em 0}
th,td{border:1px solid #ccc;padding:2px 6px;text-align:right;white-space:nowrap}
th{background:#f2f2f2}td.t,th.t{text-align:left}
td.flag{background:#fde2e1;font-weight:bold}
.bad{color:#b00020;font-weight:bold}.ok{color:#1b7f2a}
.chart{display:inline-block;margin:0 1em 1em 0;vertical-align:top}
.matrix{overflow:auto;max-height:40em}
</style>
)";

// One Levey-Jennings chart: the level's results in run order against its limits.
struct ChartPoint {
    long long batch;
    std::string batchName, sample;
    double value;
    bool violated;
};

void AppendChart(std::string& page, const std::string& title, double mean, double sd,
                 const std::vector<ChartPoint>& points) {
    constexpr double kWidth = 560, kHeight = 220, kLeft = 70, kRight = 10, kTop = 24, kBottom = 30;
    page += "<div class=\"chart\"><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"560\" height=\"220\" "
            "role=\"img\" aria-label=\"" + Escaped(title) + "\">";
    page += "<text x=\"4\" y=\"15\" font-size=\"13\" font-weight=\"bold\">" + Escaped(title) + "</text>";
    if (!(std::isfinite(mean) && std::isfinite(sd) && sd > 0.0) || points.empty()) {
        page += "<text x=\"70\" y=\"110\" font-size=\"12\">no spread to chart (one result, or all equal)</text></svg></div>\n";
        return;
    }
    double low = mean - 3.5 * sd, high = mean + 3.5 * sd;
    for (const ChartPoint& point : points) {
        low = std::min(low, point.value);
        high = std::max(high, point.value);
    }
    const double plotWidth = kWidth - kLeft - kRight, plotHeight = kHeight - kTop - kBottom;
    const auto y = [&](double value) { return kTop + plotHeight * (high - value) / (high - low); };
    const auto x = [&](size_t i) {
        return kLeft + plotWidth * (points.size() == 1 ? 0.5 : static_cast<double>(i) / static_cast<double>(points.size() - 1));
    };
    const struct {
        double sds;
        const char* colour;
        const char* label;
    } lines[] = {{3, "#b00020", "+3 SD"}, {2, "#e08000", "+2 SD"}, {0, "#1b5fbf", "mean"},
                 {-2, "#e08000", "-2 SD"}, {-3, "#b00020", "-3 SD"}};
    for (const auto& line : lines) {
        const std::string at = Coordinate(y(mean + line.sds * sd));
        page += "<line x1=\"" + Coordinate(kLeft) + "\" x2=\"" + Coordinate(kWidth - kRight) + "\" y1=\"" + at +
                "\" y2=\"" + at + "\" stroke=\"" + line.colour + "\"" +
                (line.sds == 0 ? "" : " stroke-dasharray=\"4 3\"") + "/>";
        page += "<text x=\"2\" y=\"" + Coordinate(y(mean + line.sds * sd) + 4) + "\" font-size=\"10\">" + line.label +
                " " + Escaped(Figure(mean + line.sds * sd)) + "</text>";
    }
    // Batch boundaries, each batch named under its first result.
    for (size_t i = 0; i < points.size(); ++i) {
        if (i > 0 && points[i].batch == points[i - 1].batch) continue;
        const std::string at = Coordinate(i == 0 ? x(0) : 0.5 * (x(i - 1) + x(i)));
        if (i > 0)
            page += "<line x1=\"" + at + "\" x2=\"" + at + "\" y1=\"" + Coordinate(kTop) + "\" y2=\"" +
                    Coordinate(kHeight - kBottom) + "\" stroke=\"#999\" stroke-dasharray=\"2 2\"/>";
        page += "<text x=\"" + at + "\" y=\"" + Coordinate(kHeight - 10) + "\" font-size=\"10\">" +
                Escaped(points[i].batchName) + "</text>";
    }
    std::string path;
    for (size_t i = 0; i < points.size(); ++i)
        path += (i == 0 ? "M" : " L") + Coordinate(x(i)) + " " + Coordinate(y(points[i].value));
    page += "<path d=\"" + path + "\" fill=\"none\" stroke=\"#555\"/>";
    for (size_t i = 0; i < points.size(); ++i) {
        const ChartPoint& point = points[i];
        page += "<circle cx=\"" + Coordinate(x(i)) + "\" cy=\"" + Coordinate(y(point.value)) + "\" r=\"" +
                (point.violated ? "5\" fill=\"#b00020\"" : "3\" fill=\"#222\"") + "><title>" +
                Escaped(point.batchName + " " + point.sample + ": " + Figure(point.value)) + "</title></circle>";
    }
    page += "</svg></div>\n";
}

bool Step(SqlStatement& statement, int& step) {
    step = sqlite3_step(statement.handle);
    return step == SQLITE_ROW;
}

}  // namespace

bool BuildStudyPage(sqlite3* handle, std::string& page, std::string& error) {
    SqlDatabase database;
    database.handle = handle;  // borrowed: given back before returning
    struct GiveBack {
        SqlDatabase& database;
        ~GiveBack() { database.handle = nullptr; }
    } giveBack{database};
    SqlStatement select;
    int step = SQLITE_DONE;
    const auto finished = [&] {
        if (step == SQLITE_DONE) return true;
        error = "cannot read the study: " + database.Message();
        return false;
    };

    page = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Study</title>\n";
    page += kStyle;
    page += "</head><body>\n<h1>Study</h1>\n";

    // Batches.
    std::string section = "<h2>Batches</h2>\n<table><tr><th>#</th><th class=\"t\">Batch</th><th class=\"t\">Results "
                          "folder</th><th class=\"t\">Method</th><th>Injections</th><th>Compounds</th></tr>\n";
    size_t batchCount = 0;
    if (!select.Prepare(database, "SELECT id, name, source, method_file, sample_count, compound_count FROM batches ORDER BY id",
                        error))
        return false;
    while (Step(select, step)) {
        ++batchCount;
        section += "<tr><td>" + std::to_string(select.ColumnInt(0)) + "</td><td class=\"t\">" +
                   Escaped(select.ColumnText(1)) + "</td><td class=\"t\">" + Escaped(select.ColumnText(2)) +
                   "</td><td class=\"t\">" + Escaped(select.ColumnText(3)) + "</td><td>" +
                   std::to_string(select.ColumnInt(4)) + "</td><td>" + std::to_string(select.ColumnInt(5)) +
                   "</td></tr>\n";
    }
    if (!finished()) return false;
    section += "</table>\n";

    // Westgard violations.
    std::string rules = "<h2>Westgard rules</h2>\n";
    std::set<std::pair<long long, long long>> violatedPoints;  // (level, batch * 2^32 + sample)
    size_t violations = 0;
    if (!select.Prepare(database,
                        "SELECT w.level, w.batch, w.sample, w.rule, b.name, c.name, l.nominal, l.units, s.id, fb.name, fs.id,"
                        " w.first_batch = w.batch AND w.first_sample = w.sample"
                        " FROM westgard_violations w JOIN batches b ON b.id = w.batch JOIN compounds c ON c.id = w.compound"
                        " JOIN qc_levels l ON l.id = w.level JOIN samples s ON s.batch = w.batch AND s.position = w.sample"
                        " JOIN batches fb ON fb.id = w.first_batch"
                        " JOIN samples fs ON fs.batch = w.first_batch AND fs.position = w.first_sample"
                        " ORDER BY w.batch, w.sample, c.id, w.rowid",
                        error))
        return false;
    std::string ruleRows;
    while (Step(select, step)) {
        ++violations;
        violatedPoints.insert({select.ColumnInt(0), (select.ColumnInt(1) << 32) + select.ColumnInt(2)});
        ruleRows += "<tr><td class=\"t\">" + Escaped(select.ColumnText(4)) + "</td><td class=\"t bad\">" +
                    Escaped(select.ColumnText(3)) + "</td><td class=\"t\">" + Escaped(select.ColumnText(5)) +
                    "</td><td>" + Figure(select.ColumnReal(6)) + " " + Escaped(select.ColumnText(7)) +
                    "</td><td class=\"t\">" + Escaped(select.ColumnText(8)) + "</td><td class=\"t\">" +
                    (select.ColumnInt(11) != 0 ? std::string()
                                               : Escaped(select.ColumnText(10) + " (" + select.ColumnText(9) + ")")) +
                    "</td></tr>\n";
    }
    if (!finished()) return false;
    if (violations == 0) {
        rules += "<p class=\"ok\">No QC result breaks a Westgard rule (1-3s, 2-2s, R-4s, 4-1s, 10-x).</p>\n";
    } else {
        rules += "<p class=\"bad\">" + std::to_string(violations) + " violation" + (violations == 1 ? "" : "s") +
                 ".</p>\n<table><tr><th class=\"t\">Batch</th><th class=\"t\">Rule</th><th class=\"t\">Compound</th>"
                 "<th>Level</th><th class=\"t\">QC</th><th class=\"t\">From</th></tr>\n" +
                 ruleRows + "</table>\n";
    }

    // QC accuracy and precision, and the charts.
    std::string qc = "<h2>QC accuracy and precision</h2>\n<table><tr><th class=\"t\">Compound</th><th>Level</th>"
                     "<th>Results</th><th>Batches</th><th>Mean</th><th>SD</th><th>CV %</th><th>Accuracy %</th>"
                     "<th>Within-batch CV %</th><th>Between-batch CV %</th><th>Inter-batch CV %</th>"
                     "<th class=\"t\">Limits from</th></tr>\n";
    struct Level {
        std::string title;
        double mean, sd;
        std::vector<ChartPoint> points;
    };
    std::map<long long, Level> levels;
    if (!select.Prepare(database,
                        "SELECT l.id, c.name, l.nominal, l.units, l.results, l.batches, l.mean, l.sd, l.cv_percent,"
                        " l.accuracy_percent, l.within_batch_cv_percent, l.between_batch_cv_percent,"
                        " l.inter_batch_cv_percent, l.limits_from, l.limit_mean, l.limit_sd"
                        " FROM qc_levels l JOIN compounds c ON c.id = l.compound ORDER BY l.id",
                        error))
        return false;
    while (Step(select, step)) {
        const std::string level = Figure(select.ColumnReal(2)) + " " + select.ColumnText(3);
        levels[select.ColumnInt(0)] = {select.ColumnText(1) + " at " + level, select.ColumnReal(14),
                                       select.ColumnReal(15), {}};
        qc += "<tr><td class=\"t\">" + Escaped(select.ColumnText(1)) + "</td><td>" + Escaped(level) + "</td><td>" +
              std::to_string(select.ColumnInt(4)) + "</td><td>" + std::to_string(select.ColumnInt(5)) + "</td><td>" +
              Figure(select.ColumnReal(6)) + "</td><td>" + Figure(select.ColumnReal(7)) + "</td><td>" +
              Percent(select.ColumnReal(8)) + "</td><td>" + Percent(select.ColumnReal(9)) + "</td><td>" +
              Percent(select.ColumnReal(10)) + "</td><td>" + Percent(select.ColumnReal(11)) + "</td><td>" +
              Percent(select.ColumnReal(12)) + "</td><td class=\"t\">" + Escaped(select.ColumnText(13)) + "</td></tr>\n";
    }
    if (!finished()) return false;
    qc += "</table>\n";
    if (!select.Prepare(database,
                        "SELECT p.level, p.batch, p.sample, b.name, s.id, p.concentration FROM qc_points p"
                        " JOIN batches b ON b.id = p.batch JOIN samples s ON s.batch = p.batch AND s.position = p.sample"
                        " ORDER BY p.level, p.batch, p.sample",
                        error))
        return false;
    while (Step(select, step)) {
        const long long level = select.ColumnInt(0);
        const bool violated = violatedPoints.count({level, (select.ColumnInt(1) << 32) + select.ColumnInt(2)}) > 0;
        levels[level].points.push_back(
            {select.ColumnInt(1), select.ColumnText(3), select.ColumnText(4), select.ColumnReal(5), violated});
    }
    if (!finished()) return false;
    std::string charts = "<h2>Levey-Jennings charts</h2>\n<p>Mean, 2 and 3 SD of each QC level (from the study's "
                         "QC results, or from stated targets); results that complete a Westgard violation are "
                         "red.</p>\n";
    for (const auto& [id, level] : levels) AppendChart(charts, level.title, level.mean, level.sd, level.points);

    // Injections.
    std::string injections = "<h2>Injections</h2>\n<table><tr><th class=\"t\">Batch</th><th>#</th><th class=\"t\">"
                             "Sample</th><th class=\"t\">Type</th><th class=\"t\">Description</th><th>Locate "
                             "status</th><th>Quantify status</th></tr>\n";
    size_t injectionCount = 0;
    if (!select.Prepare(database,
                        "SELECT b.name, s.position, s.id, s.type, s.description, s.locate_status, s.quantify_status"
                        " FROM samples s JOIN batches b ON b.id = s.batch ORDER BY s.batch, s.position",
                        error))
        return false;
    while (Step(select, step)) {
        ++injectionCount;
        injections += "<tr><td class=\"t\">" + Escaped(select.ColumnText(0)) + "</td><td>" +
                      std::to_string(select.ColumnInt(1)) + "</td><td class=\"t\">" + Escaped(select.ColumnText(2)) +
                      "</td><td class=\"t\">" + Escaped(select.ColumnText(3)) + "</td><td class=\"t\">" +
                      Escaped(select.ColumnText(4)) + "</td><td>" + std::to_string(select.ColumnInt(5)) + "</td><td>" +
                      std::to_string(select.ColumnInt(6)) + "</td></tr>\n";
    }
    if (!finished()) return false;
    injections += "</table>\n";

    // The matrix: one row per injection, one column per compound. The largest part of the
    // page by far, so it goes straight into the page rather than through a copy.
    std::string matrix = "<h2>Results</h2>\n<p>Concentrations of every injection; <span class=\"bad\">red</span> "
                         "cells did not pass (the flag letters show on hover).</p>\n<div class=\"matrix\"><table><tr>"
                         "<th class=\"t\">Batch</th><th class=\"t\">Sample</th>";
    std::vector<long long> compoundIds;
    if (!select.Prepare(database, "SELECT id, name, units FROM compounds ORDER BY id", error)) return false;
    while (Step(select, step)) {
        compoundIds.push_back(select.ColumnInt(0));
        matrix += "<th>" + Escaped(select.ColumnText(1)) + "<br>" + Escaped(select.ColumnText(2)) + "</th>";
    }
    if (!finished()) return false;
    matrix += "</tr>\n";
    page += "<p>" + std::to_string(batchCount) + " batches, " + std::to_string(injectionCount) + " injections, " +
            std::to_string(compoundIds.size()) + " compounds, " + std::to_string(levels.size()) + " QC levels; " +
            (violations == 0 ? std::string("<span class=\"ok\">no Westgard violations</span>")
                             : "<span class=\"bad\">" + std::to_string(violations) + " Westgard violation" +
                                   (violations == 1 ? "" : "s") + "</span>") +
            ".</p>\n";
    for (const std::string* part : {&section, &rules, &qc, &charts, &injections, &matrix}) page += *part;
    std::map<long long, size_t> columnOf;
    for (size_t i = 0; i < compoundIds.size(); ++i) columnOf[compoundIds[i]] = i;
    if (!select.Prepare(database,
                        "SELECT r.batch, r.sample, r.compound, r.concentration, r.passed = 0 AND r.found = 1,"
                        " r.flag_letters, b.name, s.id FROM results r JOIN batches b ON b.id = r.batch"
                        " JOIN samples s ON s.batch = r.batch AND s.position = r.sample"
                        " ORDER BY r.batch, r.sample, r.compound",
                        error))
        return false;
    std::vector<std::string> cells(compoundIds.size());
    long long rowBatch = -1, rowSample = -1;
    std::string rowHead;
    const auto endRow = [&] {
        if (rowBatch < 0) return;
        page += rowHead;
        for (std::string& cell : cells) {
            page += cell.empty() ? "<td></td>" : cell;
            cell.clear();
        }
        page += "</tr>\n";
    };
    while (Step(select, step)) {
        if (select.ColumnInt(0) != rowBatch || select.ColumnInt(1) != rowSample) {
            endRow();
            rowBatch = select.ColumnInt(0);
            rowSample = select.ColumnInt(1);
            rowHead = "<tr><td class=\"t\">" + Escaped(select.ColumnText(6)) + "</td><td class=\"t\">" +
                      Escaped(select.ColumnText(7)) + "</td>";
        }
        const auto column = columnOf.find(select.ColumnInt(2));
        if (column == columnOf.end()) continue;
        const std::string value = Figure(select.ColumnReal(3));
        cells[column->second] = select.ColumnInt(4) != 0
                                    ? "<td class=\"flag\" title=\"" + Escaped(select.ColumnText(5)) + "\">" +
                                          (value.empty() ? "-" : value) + "</td>"
                                    : "<td>" + value + "</td>";
    }
    if (!finished()) return false;
    endRow();
    page += "</table></div>\n</body></html>\n";
    return true;
}

}  // namespace Study
