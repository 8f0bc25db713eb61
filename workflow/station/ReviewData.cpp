// The review station's answers from results.sqlite (ReviewData.h). Queries bind every value;
// the only SQL text built here is from the program's own constants.
#include "workflow/station/ReviewData.h"

#include <sqlite3.h>

#include <cmath>
#include <map>
#include <set>
#include <vector>

#include "workflow/batch/BatchResults.h"
#include "workflow/output/ChromatogramJson.h"
#include "workflow/output/HtmlReport.h"
#include "workflow/output/ResultsDatabase.h"
#include "workflow/output/SafeFile.h"
#include "workflow/output/Writers.h"
#include "workflow/station/JsonValue.h"

namespace Station {

namespace {

class Query {
public:
    Query(sqlite3* database, const char* sql) {
        if (sqlite3_prepare_v2(database, sql, -1, &m_statement, nullptr) != SQLITE_OK) {
            m_error = sqlite3_errmsg(database);
            sqlite3_finalize(m_statement);
            m_statement = nullptr;
        }
    }
    ~Query() { sqlite3_finalize(m_statement); }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    bool Ok() const { return m_statement != nullptr; }
    const std::string& Error() const { return m_error; }
    // A parameter the statement does not have is left alone.
    void Bind(int index, int value) {
        if (index <= sqlite3_bind_parameter_count(m_statement)) sqlite3_bind_int(m_statement, index, value);
    }
    void Bind(int index, const char* text) { sqlite3_bind_text(m_statement, index, text, -1, SQLITE_TRANSIENT); }
    // An empty text binds NULL.
    void BindText(int index, const std::string& text) {
        if (index > sqlite3_bind_parameter_count(m_statement)) return;
        if (text.empty()) sqlite3_bind_null(m_statement, index);
        else sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    bool Next() { return m_statement != nullptr && sqlite3_step(m_statement) == SQLITE_ROW; }
    int Int(int column) const { return sqlite3_column_int(m_statement, column); }
    bool IsNull(int column) const { return sqlite3_column_type(m_statement, column) == SQLITE_NULL; }
    double Real(int column) const { return IsNull(column) ? std::nan("") : sqlite3_column_double(m_statement, column); }
    std::string Text(int column) const {
        const unsigned char* text = sqlite3_column_text(m_statement, column);
        return text != nullptr ? std::string(reinterpret_cast<const char*>(text), sqlite3_column_bytes(m_statement, column))
                               : std::string();
    }
    bool Floats(int column, std::vector<float>& values) const {
        const void* bytes = sqlite3_column_blob(m_statement, column);
        const int size = sqlite3_column_bytes(m_statement, column);
        return Batch::DecodeFloats(bytes, size > 0 ? static_cast<size_t>(size) : 0, values);
    }

private:
    sqlite3_stmt* m_statement = nullptr;
    std::string m_error;
};

std::vector<std::string> SplitWords(const std::string& text) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find(' ', start);
        const size_t stop = end == std::string::npos ? text.size() : end;
        if (stop > start) words.push_back(text.substr(start, stop - start));
        start = stop + 1;
    }
    return words;
}

bool TableExists(sqlite3* database, const char* name) {
    Query query(database, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
    query.Bind(1, name);
    return query.Next();
}

constexpr const char* kNoChromatograms =
    "No chromatograms were kept with these results: the samples were run from peak lists, not from raw data "
    "(or quan-batch was told not to keep them).";

}  // namespace

Answer ErrorAnswer(int status, const std::string& message) { return {status, "{\"error\":" + Batch::JsonString(message) + "}"}; }

ReviewData::~ReviewData() { sqlite3_close(m_database); }

bool ReviewData::Open(const std::string& resultsFolder, std::string& error) {
    m_folder = resultsFolder;
    m_path = resultsFolder + "/results.sqlite";
    sqlite3_close(m_database);
    m_database = nullptr;
    if (sqlite3_open_v2(m_path.c_str(), &m_database, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        error = "cannot open " + m_path + ": " + (m_database ? sqlite3_errmsg(m_database) : "out of memory");
        sqlite3_close(m_database);
        m_database = nullptr;
        return false;
    }
    // The station's editor writes through its own connection; a read waits out its commit.
    sqlite3_busy_timeout(m_database, 5000);
    for (const char* table : {"samples", "compounds", "results", "curves", "batch"})
        if (!TableExists(m_database, table)) {
            error = m_path + " is not a results database of quan-batch (it has no table " + table + ")";
            return false;
        }
    Query batch(m_database, "SELECT method_file, sample_count, compound_count FROM batch");
    if (!batch.Next()) {
        error = m_path + " holds no finished batch (its batch table is empty)";
        return false;
    }
    m_title = "Batch review: " + (batch.IsNull(0) ? std::string("(no method file)") : batch.Text(0));
    m_samples = batch.Int(1);
    m_compounds = batch.Int(2);
    if (TableExists(m_database, "chromatograms")) {
        Query any(m_database, "SELECT 1 FROM chromatograms LIMIT 1");
        m_hasChromatograms = any.Next();
    }
    return true;
}

Answer ReviewData::BatchAnswer() {
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_batchJson.empty()) return {200, m_batchJson};
    if (m_database == nullptr) return ErrorAnswer(503, "no results database is open");
    Batch::BatchResults results;
    Query method(m_database, "SELECT method_file FROM batch");
    if (method.Next()) results.methodFile = method.Text(0);
    Query samples(m_database,
                  "SELECT id, type, type_number, description, peak_file, locate_status, quantify_status FROM samples "
                  "ORDER BY position");
    while (samples.Next())
        results.samples.push_back({samples.Text(0), samples.Text(1), samples.Int(2), samples.Text(3), samples.Text(4),
                                   samples.Int(5), samples.Int(6)});
    // The curves as stored, with who excluded which point and why.
    std::vector<std::pair<int, CCalibrationData>> records;
    std::string error;
    if (!Batch::ReadCurveRecords(m_path, records, error)) return ErrorAnswer(500, error);
    std::map<int, std::string> names, descriptions;
    Query compounds(m_database, "SELECT c.entry, c.name, v.description FROM compounds c LEFT JOIN curves v ON v.entry = c.entry");
    while (compounds.Next()) {
        names[compounds.Int(0)] = compounds.Text(1);
        descriptions[compounds.Int(0)] = compounds.Text(2);
    }
    for (auto& [entry, curve] : records) {
        Batch::CurveResult result;
        result.entry = entry;
        result.compound = names[entry];
        result.description = descriptions[entry];
        result.curve = curve;
        results.curves.push_back(std::move(result));
    }
    Query points(m_database,
                 "SELECT entry, standard, excluded_by, exclusion_reason, studentized_residual FROM calibration_points "
                 "WHERE excluded = 1 AND excluded_by IS NOT NULL");
    while (points.Next())
        for (Batch::CurveResult& curve : results.curves)
            if (curve.entry == points.Int(0)) {
                curve.exclusions[points.Text(1)] = {points.Text(2), points.Text(3)};
                if (!points.IsNull(4)) curve.residuals[points.Text(1)] = points.Real(4);
            }
    // The acceptance verdicts; the limits are the rule set's own (a method's overrides only
    // move the residual plot's band).
    Query acceptance(m_database, "SELECT rule_set, compound, rule, sample, passed, reason FROM acceptance");
    while (acceptance.Next()) {
        Batch::RuleSet rules = Batch::RuleSet::kNone;
        if (results.acceptance.verdicts.empty() && Batch::RuleSetFromText(acceptance.Text(0), rules)) {
            results.acceptance.rules = rules;
            results.acceptance.limits = Batch::DefaultLimits(rules);
        }
        Batch::RuleVerdict verdict;
        verdict.compound = acceptance.Text(1);
        verdict.rule = acceptance.Text(2);
        verdict.sample = acceptance.Text(3);
        verdict.passed = acceptance.Int(4) != 0;
        verdict.reason = acceptance.Text(5);
        results.acceptance.verdicts.push_back(std::move(verdict));
    }
    // The grid's rows, as the report's writer prints them.
    std::vector<double> nominals;
    Query rows(m_database,
               "SELECT sample, entry, found, found_rt, area, response, concentration, units, nominal, lod, loq, "
               "signal_to_noise, ion_ratio, flag_letters, flags FROM results ORDER BY sample, entry");
    while (rows.Next()) {
        Batch::ResultRow row;
        row.sample = rows.Int(0) - 1;
        row.entry = rows.Int(1);
        row.compound = names[row.entry];
        row.found = rows.Int(2) != 0;
        row.foundRT = rows.Real(3);
        row.area = rows.Real(4);
        row.response = rows.Real(5);
        row.validConc = !rows.IsNull(6);
        row.conc = rows.Real(6);
        row.units = rows.Text(7);
        nominals.push_back(rows.Real(8));
        row.lod = rows.Real(9);
        row.loq = rows.Real(10);
        row.signalToNoise = rows.Real(11);
        row.ionRatio = rows.Real(12);
        row.flagsText = rows.Text(13);
        row.flagsSet = SplitWords(rows.Text(14));
        results.rows.push_back(std::move(row));
    }
    Batch::HtmlReportWriter writer;
    const std::string rowsJson = writer.RowsJson(results, results.rows, nominals);
    m_batchJson = "{\"batch\":" + writer.BatchJson(results) + ",\"rows\":" + rowsJson + "}";
    return {200, m_batchJson};
}

namespace {
Answer PanelAnswer(std::string json, const std::string& values, PanelForm form) {
    if (form == PanelForm::kJson) return {200, std::move(json)};
    std::string pack = Batch::PanelPack(json, values);
    if (pack.empty()) return ErrorAnswer(500, "the panels are too large for one answer: ask for fewer");
    return {200, std::move(pack), true};
}
}  // namespace

Answer ReviewData::Panels(const std::string& where, int first, int second, const std::string& only,
                          const std::string& head, PanelForm form) {
    if (!m_hasChromatograms)
        return PanelAnswer(head + ",\"panels\":null,\"note\":" + Batch::JsonString(kNoChromatograms) + "}", {}, form);
    // `where` names the chromatograms' rows as c; the peaks are found through them, by key.
    const std::string traces =
        "SELECT sample, entry, slot, trace, overlay_scale, internal_standard, predicted_rt, window_start, window_end, "
        "times, intensities FROM chromatograms c WHERE " + where + " ORDER BY sample, entry, slot";
    const std::string peaks =
        "SELECT p.sample, p.entry, p.\"FoundRT\", p.\"StartRT\", p.\"EndRT\", p.\"StHeight\", p.\"EnHeight\" "
        "FROM chromatograms c JOIN peak_values p ON p.sample = c.sample AND p.entry = c.entry WHERE c.slot = 0 AND " + where;
    Query found(m_database, peaks.c_str());
    if (!found.Ok()) return ErrorAnswer(500, "cannot read the peaks: " + found.Error());
    found.Bind(1, first);
    found.Bind(2, second);
    found.BindText(3, only);
    std::map<std::pair<int, int>, Batch::PanelPeak> peakOf;
    while (found.Next())
        peakOf[{found.Int(0), found.Int(1)}] = {found.Real(2), found.Real(3), found.Real(4), found.Real(5), found.Real(6)};
    Query query(m_database, traces.c_str());
    if (!query.Ok()) return ErrorAnswer(500, "cannot read the chromatograms: " + query.Error());
    query.Bind(1, first);
    query.Bind(2, second);
    query.BindText(3, only);
    std::string json = head + ",\"panels\":[", values;
    std::vector<Batch::EntryTrace> group;
    int panels = 0;
    // Rows come grouped by sample and entry; each group is one panel.
    int groupSample = -1, groupEntry = -1;
    const auto emit = [&] {
        if (group.empty()) return;
        std::vector<const Batch::EntryTrace*> pointers;
        for (const Batch::EntryTrace& trace : group) pointers.push_back(&trace);
        const auto peak = peakOf.find({groupSample, groupEntry});
        if (panels++ > 0) json += ',';
        const Batch::PanelPeak* shaded = peak != peakOf.end() ? &peak->second : nullptr;
        json += form == PanelForm::kJson ? Batch::PanelJson(groupSample - 1, groupEntry, shaded, pointers)
                                         : Batch::PanelPackJson(groupSample - 1, groupEntry, shaded, pointers, values);
        group.clear();
    };
    while (query.Next()) {
        const int sample = query.Int(0), entry = query.Int(1);
        if (sample != groupSample || entry != groupEntry) {
            emit();
            groupSample = sample;
            groupEntry = entry;
        }
        Batch::EntryTrace trace;
        trace.entry = entry;
        trace.slot = query.Int(2);
        trace.trace = query.Text(3);
        trace.overlayScale = query.Real(4);
        trace.internalStandard = query.IsNull(5) ? 0 : query.Int(5);
        trace.predictedRT = query.Real(6);
        trace.windowStart = query.Real(7);
        trace.windowEnd = query.Real(8);
        if (!query.Floats(9, trace.times) || !query.Floats(10, trace.intensities) ||
            trace.times.size() != trace.intensities.size())
            return ErrorAnswer(500, "the stored chromatogram of sample " + std::to_string(sample) + ", entry " +
                                        std::to_string(entry) + ", trace " + trace.trace + " is damaged");
        group.push_back(std::move(trace));
    }
    emit();
    return PanelAnswer(json + "],\"note\":\"\"}", values, form);
}

namespace {
// The numbers as a JSON array text for json_each, each plus `offset`; empty for none.
std::string NumberList(const std::vector<int>& numbers, int offset) {
    std::string list;
    for (int number : numbers) {
        list += list.empty() ? '[' : ',';
        list += std::to_string(number + offset);
    }
    return list.empty() ? list : list + "]";
}
}  // namespace

Answer ReviewData::CompoundAnswer(int entry, const std::vector<int>& only, PanelForm form) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (entry < 1 || entry > m_compounds)
        return ErrorAnswer(404, "the batch has no compound " + std::to_string(entry) + " (entries are 1 to " +
                                    std::to_string(m_compounds) + ")");
    // The entry's own panels and its internal standard's, which the view draws beside them.
    int standard = 0;
    if (m_hasChromatograms) {
        Query named(m_database,
                    "SELECT internal_standard FROM chromatograms WHERE entry = ?1 AND internal_standard IS NOT NULL LIMIT 1");
        named.Bind(1, entry);
        if (named.Next()) standard = named.Int(0);
    }
    return Panels("c.entry IN (?1, ?2) AND (?3 IS NULL OR c.sample IN (SELECT value FROM json_each(?3)))", entry, standard,
                  NumberList(only, 1), "{\"entry\":" + std::to_string(entry), form);
}

Answer ReviewData::SampleAnswer(int sample, const std::vector<int>& only, PanelForm form) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (sample < 0 || sample >= m_samples)
        return ErrorAnswer(404, "the batch has no sample " + std::to_string(sample) + " (samples are 0 to " +
                                    std::to_string(m_samples - 1) + " in injection order)");
    return Panels("c.sample = ?1 + 1 AND (?3 IS NULL OR c.entry IN (SELECT value FROM json_each(?3)))", sample, 0,
                  NumberList(only, 0), "{\"sample\":" + std::to_string(sample), form);
}

Answer ReviewData::SaveExclusions(std::string_view body) {
    JsonValue list;
    std::string error;
    if (!JsonValue::Parse(body, list, error)) return ErrorAnswer(400, "the exclusions are not JSON: " + error);
    if (!list.IsArray()) return ErrorAnswer(400, "the exclusions must be a JSON array of {compound, standard, reason}");
    if (list.GetItems().size() > kMostExclusions)
        return ErrorAnswer(413, "more than " + std::to_string(kMostExclusions) + " exclusions");
    std::set<std::string> compounds, standards;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        Query names(m_database, "SELECT name FROM compounds");
        while (names.Next()) compounds.insert(names.Text(0));
        Query ids(m_database, "SELECT id FROM samples WHERE type_number = 1");
        while (ids.Next()) standards.insert(ids.Text(0));
    }
    std::string csv = "Compound,Standard,Reason\n";
    int index = 0;
    for (const JsonValue& item : list.GetItems()) {
        const std::string where = "exclusion " + std::to_string(++index);
        const JsonValue* compound = item.Find("compound");
        const JsonValue* standard = item.Find("standard");
        const JsonValue* reason = item.Find("reason");
        if (!item.IsObject() || compound == nullptr || standard == nullptr || !compound->IsString() ||
            !standard->IsString() || (reason != nullptr && !reason->IsString()))
            return ErrorAnswer(400, where + " is not an object with the texts compound, standard and reason");
        if (compounds.count(compound->GetString()) == 0)
            return ErrorAnswer(422, where + ": the batch has no compound \"" + compound->GetString() + "\"");
        if (standards.count(standard->GetString()) == 0)
            return ErrorAnswer(422, where + ": \"" + standard->GetString() + "\" is not a standard of the batch");
        const std::string why = reason != nullptr ? reason->GetString() : std::string();
        if (why.size() > kLongestReason)
            return ErrorAnswer(422, where + ": the reason is longer than " + std::to_string(kLongestReason) + " bytes");
        for (char c : why)
            if (static_cast<unsigned char>(c) < 0x20)
                return ErrorAnswer(422, where + ": the reason holds a line break or another control character");
        csv += Batch::CsvCell(compound->GetString()) + "," + Batch::CsvCell(standard->GetString()) + "," +
               Batch::CsvCell(why) + "\n";
    }
    const std::string path = m_folder + "/exclusions.csv";
    if (!Batch::WriteFileSafely(path, csv, error)) return ErrorAnswer(500, error);
    return {200, "{\"saved\":" + std::to_string(list.GetItems().size()) + ",\"file\":" + Batch::JsonString(path) + "}"};
}

}  // namespace Station
