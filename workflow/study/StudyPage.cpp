#include "workflow/study/StudyPage.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
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

std::string Count(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// A JSON string: quoted, with quotes, backslashes and control characters escaped, and '<'
// written \u003c so that no text of the data ends the script element it sits in.
void AppendJsonString(std::string& out, const std::string& text) {
    out += '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == '<') {
            static const char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

// A JSON number, or null for a value that is none.
std::string JsonNumber(double value) { return std::isfinite(value) ? NumberText::Shortest(value) : "null"; }

#include "workflow/study/StudyPage.inc"

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
    page += kStudyPageStyle;
    page += "</head><body>\n<h1>Study</h1>\n";

    // Batches.
    std::string section = "<h2>Batches</h2>\n<table><tr><th>#</th><th class=\"t\">Batch</th><th class=\"t\">Results "
                          "folder</th><th class=\"t\">Method</th><th>Injections</th><th>Compounds</th></tr>\n";
    size_t batchCount = 0;
    if (!select.Prepare(database, "SELECT id, name, source, method_file, sample_count, compound_count FROM batches ORDER BY id",
                        error))
        return false;
    std::string batchNames = "[";
    std::map<long long, size_t> batchIndex;  // study order to the data's index
    while (Step(select, step)) {
        if (batchCount > 0) batchNames += ",";
        AppendJsonString(batchNames, select.ColumnText(1));
        batchIndex[select.ColumnInt(0)] = batchCount;
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
    // Counts by batch and rule in the page; every violation as data, listed by the script with
    // the charts of its compound (a long study can break rules thousands of times).
    static const char* const kRules[] = {"1-3s", "2-2s", "R-4s", "4-1s", "10-x"};
    std::map<long long, std::pair<std::string, std::map<std::string, size_t>>> byBatch;
    std::string violationData = "[";
    while (Step(select, step)) {
        violationData += violations++ == 0 ? "[" : ",[";
        violatedPoints.insert({select.ColumnInt(0), (select.ColumnInt(1) << 32) + select.ColumnInt(2)});
        auto& counts = byBatch[select.ColumnInt(1)];
        counts.first = select.ColumnText(4);
        ++counts.second[select.ColumnText(3)];
        violationData += std::to_string(batchIndex[select.ColumnInt(1)]);
        for (const std::string& text :
             {select.ColumnText(3), select.ColumnText(5), Figure(select.ColumnReal(6)) + " " + select.ColumnText(7),
              select.ColumnText(8),
              select.ColumnInt(11) != 0 ? std::string() : select.ColumnText(10) + " (" + select.ColumnText(9) + ")"}) {
            violationData += ',';
            AppendJsonString(violationData, text);
        }
        violationData += ']';
    }
    if (!finished()) return false;
    violationData += ']';
    if (violations == 0) {
        rules += "<p class=\"ok\">No QC result breaks a Westgard rule (1-3s, 2-2s, R-4s, 4-1s, 10-x).</p>\n";
    } else {
        rules += "<p class=\"bad\">" + Count(violations, "violation", "violations") + " in " +
                 Count(byBatch.size(), "batch", "batches") +
                 "; the charts below list those of the compound chosen.</p>\n<div class=\"scroll\"><table><tr>"
                 "<th class=\"t\">Batch</th>";
        for (const char* rule : kRules) rules += std::string("<th>") + rule + "</th>";
        rules += "</tr>\n";
        for (const auto& [batch, counts] : byBatch) {
            rules += "<tr><td class=\"t\">" + Escaped(counts.first) + "</td>";
            for (const char* rule : kRules) {
                const auto found = counts.second.find(rule);
                rules += found == counts.second.end() ? std::string("<td></td>")
                                                      : "<td class=\"bad\">" + std::to_string(found->second) + "</td>";
            }
            rules += "</tr>\n";
        }
        rules += "</table></div>\n";
    }

    // QC accuracy and precision; the charts' data.
    std::string qc = "<h2>QC accuracy and precision</h2>\n<div class=\"scroll\"><table><tr><th class=\"t\">Compound"
                     "</th><th>Level</th><th>Results</th><th>Batches</th><th>Mean</th><th>SD</th><th>CV %</th>"
                     "<th>Accuracy %</th><th>Within-batch CV %</th><th>Between-batch CV %</th>"
                     "<th>Inter-batch CV %</th><th class=\"t\">Limits from</th></tr>\n";
    struct Level {
        std::string compound, title;
        double mean, sd;
        std::string points;  // JSON
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
        levels[select.ColumnInt(0)] = {select.ColumnText(1), select.ColumnText(1) + " at " + level,
                                       select.ColumnReal(14), select.ColumnReal(15), {}};
        qc += "<tr><td class=\"t\">" + Escaped(select.ColumnText(1)) + "</td><td>" + Escaped(level) + "</td><td>" +
              std::to_string(select.ColumnInt(4)) + "</td><td>" + std::to_string(select.ColumnInt(5)) + "</td><td>" +
              Figure(select.ColumnReal(6)) + "</td><td>" + Figure(select.ColumnReal(7)) + "</td><td>" +
              Percent(select.ColumnReal(8)) + "</td><td>" + Percent(select.ColumnReal(9)) + "</td><td>" +
              Percent(select.ColumnReal(10)) + "</td><td>" + Percent(select.ColumnReal(11)) + "</td><td>" +
              Percent(select.ColumnReal(12)) + "</td><td class=\"t\">" + Escaped(select.ColumnText(13)) + "</td></tr>\n";
    }
    if (!finished()) return false;
    qc += "</table></div>\n";
    if (!select.Prepare(database,
                        "SELECT p.level, p.batch, p.sample, s.id, p.concentration FROM qc_points p"
                        " JOIN samples s ON s.batch = p.batch AND s.position = p.sample"
                        " ORDER BY p.level, p.batch, p.sample",
                        error))
        return false;
    while (Step(select, step)) {
        const long long level = select.ColumnInt(0);
        const bool violated = violatedPoints.count({level, (select.ColumnInt(1) << 32) + select.ColumnInt(2)}) > 0;
        std::string& points = levels[level].points;
        points += points.empty() ? "[" : ",[";
        points += std::to_string(batchIndex[select.ColumnInt(1)]) + ",";
        AppendJsonString(points, select.ColumnText(3));
        points += ',';
        points += JsonNumber(select.ColumnReal(4));
        points += violated ? ",1]" : ",0]";
    }
    if (!finished()) return false;
    const std::string charts =
        "<h2>Levey-Jennings charts</h2>\n<p>Mean, 2 and 3 SD of each QC level (from the study's QC results, or from "
        "stated targets); results that complete a Westgard violation are red. Compound: "
        "<select id=\"chart-compound\"></select></p>\n<div id=\"charts\"></div>\n<div id=\"violations\"></div>\n";

    // Injections: data for the script, drawn a batch at a time with the matrix.
    std::string injections = "[";
    size_t injectionCount = 0;
    if (!select.Prepare(database,
                        "SELECT batch, position, id, type, description, locate_status, quantify_status"
                        " FROM samples ORDER BY batch, position",
                        error))
        return false;
    while (Step(select, step)) {
        injections += injectionCount++ == 0 ? "[" : ",[";
        injections += std::to_string(batchIndex[select.ColumnInt(0)]) + "," + std::to_string(select.ColumnInt(1)) + ",";
        AppendJsonString(injections, select.ColumnText(2));
        injections += ',';
        AppendJsonString(injections, select.ColumnText(3));
        injections += ',';
        AppendJsonString(injections, select.ColumnText(4));
        for (int column : {5, 6}) {
            injections += ',';
            injections += std::to_string(select.ColumnInt(column));
        }
        injections += ']';
    }
    if (!finished()) return false;
    injections += "]";

    // The page so far; the data follow.
    std::string compoundNames = "[", compoundUnits = "[";
    std::map<long long, size_t> columnOf;
    if (!select.Prepare(database, "SELECT id, name, units FROM compounds ORDER BY id", error)) return false;
    while (Step(select, step)) {
        const size_t column = columnOf.size();
        columnOf[select.ColumnInt(0)] = column;
        if (column > 0) {
            compoundNames += ",";
            compoundUnits += ",";
        }
        AppendJsonString(compoundNames, select.ColumnText(1));
        AppendJsonString(compoundUnits, select.ColumnText(2));
    }
    if (!finished()) return false;
    page += "<p>" + Count(batchCount, "batch", "batches") + ", " + Count(injectionCount, "injection", "injections") +
            ", " + Count(columnOf.size(), "compound", "compounds") + ", " + Count(levels.size(), "QC level", "QC levels") +
            "; " +
            (violations == 0 ? std::string("<span class=\"ok\">no Westgard violations</span>")
                             : "<span class=\"bad\">" + std::to_string(violations) + " Westgard violation" +
                                   (violations == 1 ? "" : "s") + "</span>") +
            ".</p>\n";
    for (const std::string* part : std::initializer_list<const std::string*>{&section, &rules, &qc, &charts})
        page += *part;
    page += "<h2>Injections and results</h2>\n<p>Batch: <select id=\"matrix-batch\"></select></p>\n"
            "<div class=\"scroll\" id=\"injections\"></div>\n<p>Concentrations of every injection of the batch "
            "chosen; <span class=\"bad\">red</span> cells did not pass (the flag letters show on hover).</p>\n"
            "<div class=\"matrix\" id=\"matrix\"></div>\n";

    page += "<script type=\"application/json\" id=\"study-data\">{\"batches\":" + batchNames + "],\"injections\":";
    page += injections;
    page += ",\"violations\":";
    page += violationData;
    page += ",\"levels\":[";
    bool firstLevel = true;
    for (const auto& [id, level] : levels) {
        page += firstLevel ? "{\"compound\":" : ",{\"compound\":";
        firstLevel = false;
        AppendJsonString(page, level.compound);
        page += ",\"title\":";
        AppendJsonString(page, level.title);
        page += ",\"mean\":" + JsonNumber(level.mean) + ",\"sd\":" + JsonNumber(level.sd) + ",\"points\":[";
        page += level.points;
        page += "]}";
    }
    page += "],\"matrix\":{\"compounds\":" + compoundNames + "],\"units\":" + compoundUnits + "],\"rows\":[";

    // The matrix: one row per injection, one cell per compound. The largest part of the page by
    // far, so it goes straight into the page rather than through a copy.
    if (!select.Prepare(database,
                        "SELECT r.batch, r.sample, r.compound, r.concentration, r.passed = 0 AND r.found = 1,"
                        " r.flag_letters, s.id FROM results r"
                        " JOIN samples s ON s.batch = r.batch AND s.position = r.sample"
                        " ORDER BY r.batch, r.sample, r.compound",
                        error))
        return false;
    std::vector<std::string> cells(columnOf.size());
    long long rowBatch = -1, rowSample = -1;
    std::string rowHead;
    const auto endRow = [&] {
        if (rowBatch < 0) return;
        page += rowHead;
        for (size_t i = 0; i < cells.size(); ++i) {
            if (i > 0) page += ',';
            page += cells[i].empty() ? "null" : cells[i];
            cells[i].clear();
        }
        page += "]]";
    };
    while (Step(select, step)) {
        if (select.ColumnInt(0) != rowBatch || select.ColumnInt(1) != rowSample) {
            endRow();
            rowHead = rowBatch < 0 ? "[" : ",[";
            rowBatch = select.ColumnInt(0);
            rowSample = select.ColumnInt(1);
            rowHead += std::to_string(batchIndex[rowBatch]) + ",";
            AppendJsonString(rowHead, select.ColumnText(6));
            rowHead += ",[";
        }
        const auto column = columnOf.find(select.ColumnInt(2));
        if (column == columnOf.end()) continue;
        const std::string value = Figure(select.ColumnReal(3));
        std::string& cell = cells[column->second];
        if (select.ColumnInt(4) != 0) {
            cell = "[";
            AppendJsonString(cell, value.empty() ? "-" : value);
            cell += ",";
            AppendJsonString(cell, select.ColumnText(5));
            cell += "]";
        } else if (!value.empty()) {
            AppendJsonString(cell, value);
        }
    }
    if (!finished()) return false;
    endRow();
    page += "]}}</script>\n<script>";
    page += kStudyPageScript;
    page += "</script>\n</body></html>\n";
    return true;
}

}  // namespace Study
