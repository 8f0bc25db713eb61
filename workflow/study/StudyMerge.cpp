// The study merge: check every batch, then build the study database afresh under a temporary
// name (the batches kept from the earlier study copied row for row, the new ones read from
// their results databases), compute the QC statistics and Westgard verdicts over the whole
// study, write the page, and only then put the database in place.
#include "workflow/study/StudyMerge.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "platform/NumberText.h"
#include "workflow/output/ResultsDatabase.h"
#include "workflow/output/SafeFile.h"
#include "workflow/study/QcStatistics.h"
#include "workflow/study/QcTargets.h"
#include "workflow/study/SqlHandles.h"
#include "workflow/study/StudyPage.h"
#include "workflow/study/WestgardRules.h"

namespace Study {

namespace {
namespace fs = std::filesystem;

const char* const kResultsFile = "results.sqlite";
const char* const kStudyFile = "study.sqlite";
const char* const kPageFile = "study.html";

// The method settings that must agree for results to be comparable, as the curves table of a
// results database names them.
struct Setting {
    const char* column;  // in the results database's curves table
    const char* name;    // in the study's batch_compounds table
    const char* label;   // in messages
};
const Setting kSettings[] = {
    {"CCalc", "curve_type", "curve type"},
    {"XYTrans", "axis_transformation", "axis transformation"},
    {"Origin", "origin", "origin handling"},
    {"WeightingFunction", "weighting", "weighting"},
    {"RCalc", "response_calculation", "response calculation"},
    {"RAH", "response_type", "response type (area or height)"},
};
constexpr size_t kSettingCount = std::size(kSettings);

struct BatchCompound {
    int entry = 0;
    std::string name, units;
    double settings[kSettingCount] = {};
};

struct BatchSource {
    std::string name, folder, methodFile;
    long long sampleCount = 0, compoundCount = 0;
    std::vector<BatchCompound> compounds;
    long long studyId = 0;  // > 0 for a batch kept from the earlier study
};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The batch's name: its results folder's own name.
std::string BatchName(const std::string& folder) {
    fs::path path = fs::path(folder).lexically_normal();
    if (path.filename().empty()) path = path.parent_path();
    std::string name = path.filename().string();
    if (name.empty() || name == "." || name == "..") {
        std::error_code code;
        name = fs::absolute(path, code).lexically_normal().filename().string();
    }
    return name;
}

std::string ShortText(double value) { return std::isfinite(value) ? NumberText::Shortest(value) : "none"; }

// ---- reading one batch's results database ---------------------------------------------------

bool ReadCompounds(SqlDatabase& database, const std::string& where, BatchSource& batch, std::string& error) {
    std::string sql = "SELECT c.entry, c.name, c.units";
    for (const Setting& setting : kSettings) sql += ", cu.\"" + std::string(setting.column) + "\"";
    sql += " FROM compounds c LEFT JOIN curves cu ON cu.entry = c.entry ORDER BY c.entry";
    SqlStatement select;
    std::string message;
    if (!select.Prepare(database, sql, message)) {
        error = where + " is not a results database: " + message;
        return false;
    }
    std::map<std::string, int> seen;
    int step;
    while ((step = sqlite3_step(select.handle)) == SQLITE_ROW) {
        BatchCompound compound;
        compound.entry = static_cast<int>(select.ColumnInt(0));
        compound.name = select.ColumnText(1);
        compound.units = select.ColumnText(2);
        for (size_t s = 0; s < kSettingCount; ++s) compound.settings[s] = select.ColumnReal(static_cast<int>(3 + s));
        const auto [at, added] = seen.emplace(compound.name, compound.entry);
        if (!added) {
            error = where + " names the compound " + Quoted(compound.name) + " twice (entries " +
                    std::to_string(at->second) + " and " + std::to_string(compound.entry) +
                    "); a study merges compounds by name";
            return false;
        }
        batch.compounds.push_back(std::move(compound));
    }
    if (step != SQLITE_DONE) {
        error = where + " cannot be read: " + database.Message();
        return false;
    }
    return true;
}

long long CountRows(SqlDatabase& database, const std::string& table, std::string& error) {
    SqlStatement count;
    if (!count.Prepare(database, "SELECT count(*) FROM " + table, error)) return -1;
    if (sqlite3_step(count.handle) != SQLITE_ROW) {
        error = database.Message();
        return -1;
    }
    return count.ColumnInt(0);
}

// Reads and checks the results folder's database: the schema it was written in, that it is
// complete, and its compounds with their settings.
bool InspectBatch(const std::string& folder, BatchSource& batch, std::string& error) {
    batch.folder = folder;
    batch.name = BatchName(folder);
    const std::string path = (fs::path(folder) / kResultsFile).string();
    std::error_code code;
    if (!fs::is_directory(folder, code)) {
        error = "batch " + Quoted(batch.name) + ": " + folder +
                (fs::exists(folder, code) ? " is not a folder" : " does not exist");
        return false;
    }
    if (!fs::exists(path, code)) {
        const std::string partial = fs::path(Batch::TemporaryNameFor(path)).filename().string();
        const std::string stem = partial.substr(0, partial.rfind('-') + 1);  // "results.sqlite.partial-"
        for (const fs::directory_entry& entry : fs::directory_iterator(folder, code)) {
            if (entry.path().filename().string().rfind(stem, 0) == 0) {
                error = "batch " + Quoted(batch.name) + ": " + folder + " holds only the half-written " +
                        entry.path().filename().string() + " of a run that was interrupted; run the batch again";
                return false;
            }
        }
        error = "batch " + Quoted(batch.name) + ": " + folder + " is not a results folder (it holds no " +
                kResultsFile + "; quan-batch --out writes one)";
        return false;
    }
    const std::string where = "batch " + Quoted(batch.name) + ": " + path;
    SqlDatabase database;
    if (sqlite3_open_v2(path.c_str(), &database.handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        error = where + " cannot be opened: " + database.Message();
        return false;
    }
    SqlStatement version;
    std::string message;
    if (!version.Prepare(database, "SELECT version FROM schema_version", message) ||
        sqlite3_step(version.handle) != SQLITE_ROW) {
        // A file cut short (a copy that stopped, a full disk) reads as damaged, not as foreign.
        const bool damaged = sqlite3_errcode(database.handle) == SQLITE_CORRUPT;
        if (message.empty()) message = database.Message();
        error = where + (damaged ? " is damaged or cut short: " : " is not a results database: ") + message;
        return false;
    }
    const long long schema = version.ColumnInt(0);
    if (schema > Batch::kResultsSchemaVersion) {
        error = where + " was written by a newer quan-batch (results schema " + std::to_string(schema) +
                "; this quan-study reads schema " + std::to_string(Batch::kResultsSchemaVersion) + ")";
        return false;
    }
    if (schema < Batch::kResultsSchemaVersion) {
        error = where + " was written by an earlier quan-batch (results schema " + std::to_string(schema) +
                "); run the batch again with this version to merge it";
        return false;
    }
    SqlStatement record;
    if (!record.Prepare(database, "SELECT method_file, sample_count, compound_count FROM batch", message)) {
        error = where + " is not a results database: " + message;
        return false;
    }
    int rows = 0;
    while (sqlite3_step(record.handle) == SQLITE_ROW) {
        ++rows;
        batch.methodFile = record.ColumnText(0);
        batch.sampleCount = record.ColumnInt(1);
        batch.compoundCount = record.ColumnInt(2);
    }
    if (rows != 1) {
        error = where + " is half-written: it holds " + std::to_string(rows) +
                " batch records where a complete run writes one; run the batch again";
        return false;
    }
    const long long samples = CountRows(database, "samples", message);
    const long long compounds = CountRows(database, "compounds", message);
    const long long results = CountRows(database, "results", message);
    if (samples < 0 || compounds < 0 || results < 0) {
        error = where + " cannot be read: " + message;
        return false;
    }
    if (samples != batch.sampleCount || compounds != batch.compoundCount ||
        results != batch.sampleCount * batch.compoundCount) {
        error = where + " is half-written: its batch record counts " + std::to_string(batch.sampleCount) +
                " samples and " + std::to_string(batch.compoundCount) + " compounds, but it holds " +
                std::to_string(samples) + " samples, " + std::to_string(compounds) + " compounds and " +
                std::to_string(results) + " results; run the batch again";
        return false;
    }
    SqlStatement check;
    if (!check.Prepare(database, "PRAGMA quick_check", message)) {
        error = where + " cannot be checked: " + message;
        return false;
    }
    const bool checked = sqlite3_step(check.handle) == SQLITE_ROW;
    const std::string verdict = checked ? check.ColumnText(0) : database.Message();
    if (verdict != "ok") {
        error = where + " is damaged: " + verdict;
        return false;
    }
    return ReadCompounds(database, where, batch, error);
}

// ---- the earlier study ------------------------------------------------------------------------

bool ReadEarlierStudy(const std::string& path, std::vector<BatchSource>& batches, std::string& error) {
    SqlDatabase database;
    if (sqlite3_open_v2(path.c_str(), &database.handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        error = "the study database " + path + " cannot be opened: " + database.Message();
        return false;
    }
    SqlStatement version;
    std::string message;
    if (!version.Prepare(database, "SELECT version FROM study_schema_version", message) ||
        sqlite3_step(version.handle) != SQLITE_ROW) {
        error = path + " is not a study database" + (message.empty() ? std::string() : ": " + message) +
                "; move it away or choose another --out";
        return false;
    }
    if (version.ColumnInt(0) != kStudySchemaVersion) {
        error = path + " was written in study schema " + std::to_string(version.ColumnInt(0)) +
                " (this quan-study writes schema " + std::to_string(kStudySchemaVersion) +
                "); merge into another --out folder";
        return false;
    }
    SqlStatement select;
    if (!select.Prepare(database,
                        "SELECT id, name, source, method_file, sample_count, compound_count FROM batches ORDER BY id",
                        message)) {
        error = path + " cannot be read: " + message;
        return false;
    }
    std::map<long long, size_t> byId;
    while (sqlite3_step(select.handle) == SQLITE_ROW) {
        BatchSource batch;
        batch.studyId = select.ColumnInt(0);
        batch.name = select.ColumnText(1);
        batch.folder = select.ColumnText(2);
        batch.methodFile = select.ColumnText(3);
        batch.sampleCount = select.ColumnInt(4);
        batch.compoundCount = select.ColumnInt(5);
        byId[batch.studyId] = batches.size();
        batches.push_back(std::move(batch));
    }
    std::string sql = "SELECT bc.batch, bc.entry, c.name, bc.units";
    for (const Setting& setting : kSettings) sql += ", bc." + std::string(setting.name);
    sql += " FROM batch_compounds bc JOIN compounds c ON c.id = bc.compound ORDER BY bc.batch, bc.entry";
    if (!select.Prepare(database, sql, message)) {
        error = path + " cannot be read: " + message;
        return false;
    }
    while (sqlite3_step(select.handle) == SQLITE_ROW) {
        const auto batch = byId.find(select.ColumnInt(0));
        if (batch == byId.end()) continue;
        BatchCompound compound;
        compound.entry = static_cast<int>(select.ColumnInt(1));
        compound.name = select.ColumnText(2);
        compound.units = select.ColumnText(3);
        for (size_t s = 0; s < kSettingCount; ++s) compound.settings[s] = select.ColumnReal(static_cast<int>(4 + s));
        batches[batch->second].compounds.push_back(std::move(compound));
    }
    return true;
}

// ---- do the methods agree? --------------------------------------------------------------------

bool SameSetting(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

bool MethodsAgree(const std::vector<BatchSource>& batches, bool differentCompounds, std::string& error) {
    struct Reference {
        const BatchSource* batch;
        const BatchCompound* compound;
    };
    std::map<std::string, Reference> first;
    for (const BatchSource& batch : batches) {
        for (const BatchCompound& compound : batch.compounds) {
            const auto [at, added] = first.emplace(compound.name, Reference{&batch, &compound});
            if (added) continue;
            const BatchSource& earlier = *at->second.batch;
            const BatchCompound& known = *at->second.compound;
            if (compound.units != known.units) {
                error = "batch " + Quoted(batch.name) + " reports " + Quoted(compound.name) + " in " +
                        Quoted(compound.units) + ", batch " + Quoted(earlier.name) + " in " + Quoted(known.units) +
                        "; batches of different units are not merged";
                return false;
            }
            for (size_t s = 0; s < kSettingCount; ++s) {
                if (SameSetting(compound.settings[s], known.settings[s])) continue;
                error = "batch " + Quoted(batch.name) + " calibrates " + Quoted(compound.name) +
                        " differently from batch " + Quoted(earlier.name) + ": " + kSettings[s].label + " " +
                        ShortText(compound.settings[s]) + " against " + ShortText(known.settings[s]) +
                        "; batches of different calibration settings are not merged";
                return false;
            }
        }
    }
    if (differentCompounds || batches.empty()) return true;
    const BatchSource& reference = batches.front();
    std::set<std::string> names;
    for (const BatchCompound& compound : reference.compounds) names.insert(compound.name);
    for (const BatchSource& batch : batches) {
        std::set<std::string> own;
        for (const BatchCompound& compound : batch.compounds) own.insert(compound.name);
        if (own == names) continue;
        std::string missing, extra;
        for (const std::string& name : names)
            if (own.count(name) == 0) missing += (missing.empty() ? "" : ", ") + Quoted(name);
        for (const std::string& name : own)
            if (names.count(name) == 0) extra += (extra.empty() ? "" : ", ") + Quoted(name);
        error = "batch " + Quoted(batch.name) + " has other compounds than batch " + Quoted(reference.name) + ":" +
                (missing.empty() ? "" : " it lacks " + missing) + (missing.empty() || extra.empty() ? "" : ";") +
                (extra.empty() ? "" : " it adds " + extra) +
                " (--different-compounds merges such batches by compound name)";
        return false;
    }
    return true;
}

// ---- the study database -----------------------------------------------------------------------

std::string SchemaSql() {
    std::string settingColumns;
    for (const Setting& setting : kSettings) settingColumns += ", " + std::string(setting.name) + " REAL";
    return R"(
CREATE TABLE study_schema_version (version INTEGER NOT NULL);
CREATE TABLE batches (
  id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, source TEXT NOT NULL, method_file TEXT,
  sample_count INTEGER NOT NULL, compound_count INTEGER NOT NULL);
CREATE TABLE compounds (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, units TEXT);
CREATE TABLE batch_compounds (
  batch INTEGER NOT NULL REFERENCES batches (id), entry INTEGER NOT NULL, compound INTEGER NOT NULL REFERENCES compounds (id),
  units TEXT)" + settingColumns + R"(, PRIMARY KEY (batch, entry)) WITHOUT ROWID;
CREATE TABLE samples (
  batch INTEGER NOT NULL REFERENCES batches (id), position INTEGER NOT NULL, id TEXT NOT NULL, type TEXT NOT NULL,
  type_number INTEGER NOT NULL, description TEXT, peak_file TEXT, locate_status INTEGER NOT NULL,
  quantify_status INTEGER NOT NULL, PRIMARY KEY (batch, position)) WITHOUT ROWID;
CREATE TABLE results (
  batch INTEGER NOT NULL, sample INTEGER NOT NULL, compound INTEGER NOT NULL REFERENCES compounds (id),
  entry INTEGER NOT NULL, found INTEGER NOT NULL, found_rt REAL, area REAL, response REAL, concentration REAL,
  units TEXT, nominal REAL, lod REAL, loq REAL, signal_to_noise REAL, ion_ratio REAL, flag_letters TEXT, flags TEXT,
  passed INTEGER NOT NULL, PRIMARY KEY (batch, sample, compound),
  FOREIGN KEY (batch, sample) REFERENCES samples (batch, position)) WITHOUT ROWID;
CREATE TABLE qc_levels (
  id INTEGER PRIMARY KEY, compound INTEGER NOT NULL REFERENCES compounds (id), nominal REAL NOT NULL, units TEXT,
  results INTEGER NOT NULL, batches INTEGER NOT NULL, mean REAL, sd REAL, cv_percent REAL, accuracy_percent REAL,
  within_batch_cv_percent REAL, between_batch_cv_percent REAL, inter_batch_cv_percent REAL,
  limits_from TEXT NOT NULL, limit_mean REAL, limit_sd REAL, UNIQUE (compound, nominal));
CREATE TABLE qc_batch_statistics (
  level INTEGER NOT NULL REFERENCES qc_levels (id), batch INTEGER NOT NULL REFERENCES batches (id),
  results INTEGER NOT NULL, mean REAL, sd REAL, cv_percent REAL, accuracy_percent REAL,
  PRIMARY KEY (level, batch)) WITHOUT ROWID;
CREATE TABLE qc_points (
  level INTEGER NOT NULL REFERENCES qc_levels (id), batch INTEGER NOT NULL, sample INTEGER NOT NULL,
  concentration REAL NOT NULL, z_score REAL, PRIMARY KEY (level, batch, sample)) WITHOUT ROWID;
CREATE TABLE westgard_violations (
  compound INTEGER NOT NULL REFERENCES compounds (id), level INTEGER NOT NULL REFERENCES qc_levels (id),
  rule TEXT NOT NULL, batch INTEGER NOT NULL REFERENCES batches (id), sample INTEGER NOT NULL,
  first_batch INTEGER NOT NULL, first_sample INTEGER NOT NULL);
CREATE VIEW injections AS
  SELECT b.id AS batch_order, b.name AS batch, s.position, s.id AS sample, s.type, s.description, s.peak_file,
         s.locate_status, s.quantify_status
  FROM samples s JOIN batches b ON b.id = s.batch;
CREATE VIEW study_matrix AS
  SELECT b.id AS batch_order, b.name AS batch, s.position AS sample_position, s.id AS sample, s.type AS sample_type,
         c.name AS compound, r.concentration, c.units, r.passed = 0 AND r.found = 1 AS flagged, r.flag_letters
  FROM results r JOIN samples s ON s.batch = r.batch AND s.position = r.sample
  JOIN batches b ON b.id = r.batch JOIN compounds c ON c.id = r.compound;
CREATE VIEW qc_summary AS
  SELECT c.name AS compound, l.nominal, l.units, l.results, l.batches, l.mean, l.sd, l.cv_percent,
         l.accuracy_percent, l.within_batch_cv_percent, l.between_batch_cv_percent, l.inter_batch_cv_percent,
         l.limits_from, l.limit_mean, l.limit_sd
  FROM qc_levels l JOIN compounds c ON c.id = l.compound;
CREATE VIEW qc_by_batch AS
  SELECT c.name AS compound, l.nominal, b.name AS batch, q.results, q.mean, q.sd, q.cv_percent, q.accuracy_percent
  FROM qc_batch_statistics q JOIN qc_levels l ON l.id = q.level JOIN compounds c ON c.id = l.compound
  JOIN batches b ON b.id = q.batch;
CREATE VIEW levey_jennings AS
  SELECT c.name AS compound, l.nominal, b.id AS batch_order, b.name AS batch, s.id AS sample, p.concentration,
         p.z_score, l.limit_mean, l.limit_sd
  FROM qc_points p JOIN qc_levels l ON l.id = p.level JOIN compounds c ON c.id = l.compound
  JOIN batches b ON b.id = p.batch JOIN samples s ON s.batch = p.batch AND s.position = p.sample;
CREATE VIEW westgard AS
  SELECT w.rowid AS number, c.name AS compound, l.nominal, w.rule, b.name AS batch, s.id AS sample,
         fb.name AS first_batch, fs.id AS first_sample
  FROM westgard_violations w JOIN compounds c ON c.id = w.compound JOIN qc_levels l ON l.id = w.level
  JOIN batches b ON b.id = w.batch JOIN samples s ON s.batch = w.batch AND s.position = w.sample
  JOIN batches fb ON fb.id = w.first_batch
  JOIN samples fs ON fs.batch = w.first_batch AND fs.position = w.first_sample;
)";
}

std::string SettingList(const char* prefix, bool useStudyNames) {
    std::string list;
    for (const Setting& setting : kSettings)
        list += std::string(", ") + prefix + (useStudyNames ? setting.name : "\"" + std::string(setting.column) + "\"");
    return list;
}

bool InsertBatchRow(SqlDatabase& database, long long id, const BatchSource& batch, std::string& error) {
    SqlStatement insert;
    return insert.Prepare(database, "INSERT INTO batches VALUES (?, ?, ?, ?, ?, ?)", error) && insert.Int(1, id) &&
           insert.Text(2, batch.name) && insert.Text(3, batch.folder) &&
           (batch.methodFile.empty() ? insert.Real(4, std::nan("")) : insert.Text(4, batch.methodFile)) &&
           insert.Int(5, batch.sampleCount) && insert.Int(6, batch.compoundCount) && insert.Run(database, error);
}

// Runs `sql` with the new batch id bound to every ?1 (and the earlier study's id to ?2).
bool CopyRows(SqlDatabase& database, const std::string& sql, long long id, long long earlierId, std::string& error) {
    SqlStatement copy;
    return copy.Prepare(database, sql, error) && copy.Int(1, id) &&
           (earlierId <= 0 || copy.Int(2, earlierId)) && copy.Run(database, error);
}

const char* const kResultColumns =
    "r.entry, r.found, r.found_rt, r.area, r.response, r.concentration, r.units, r.nominal, r.lod, r.loq, "
    "r.signal_to_noise, r.ion_ratio, r.flag_letters, r.flags, r.passed";
const char* const kSampleColumns =
    "position, id, type, type_number, description, peak_file, locate_status, quantify_status";

bool CopyEarlierBatch(SqlDatabase& database, long long id, const BatchSource& batch, std::string& error) {
    return InsertBatchRow(database, id, batch, error) &&
           CopyRows(database, std::string("INSERT INTO samples SELECT ?1, ") + kSampleColumns +
                                  " FROM earlier.samples WHERE batch = ?2 ORDER BY position",
                    id, batch.studyId, error) &&
           CopyRows(database,
                    "INSERT INTO batch_compounds SELECT ?1, bc.entry, nc.id, bc.units" + SettingList("bc.", true) +
                        " FROM earlier.batch_compounds bc JOIN earlier.compounds oc ON oc.id = bc.compound"
                        " JOIN main.compounds nc ON nc.name = oc.name WHERE bc.batch = ?2 ORDER BY bc.entry",
                    id, batch.studyId, error) &&
           CopyRows(database,
                    std::string("INSERT INTO results SELECT ?1, r.sample, nc.id, ") + kResultColumns +
                        " FROM earlier.results r JOIN earlier.compounds oc ON oc.id = r.compound"
                        " JOIN main.compounds nc ON nc.name = oc.name WHERE r.batch = ?2 ORDER BY r.sample, nc.id",
                    id, batch.studyId, error);
}

bool CopyNewBatch(SqlDatabase& database, long long id, const BatchSource& batch, std::string& error) {
    const std::string path = (fs::path(batch.folder) / kResultsFile).string();
    SqlStatement attach;
    if (!attach.Prepare(database, "ATTACH DATABASE ? AS batch", error) || !attach.Text(1, path) ||
        !attach.Run(database, error))
        return false;
    const bool copied =
        InsertBatchRow(database, id, batch, error) &&
        CopyRows(database, std::string("INSERT INTO samples SELECT ?1, ") + kSampleColumns +
                               " FROM batch.samples ORDER BY position",
                 id, 0, error) &&
        CopyRows(database,
                 "INSERT INTO batch_compounds SELECT ?1, c.entry, nc.id, c.units" + SettingList("cu.", false) +
                     " FROM batch.compounds c JOIN main.compounds nc ON nc.name = c.name"
                     " LEFT JOIN batch.curves cu ON cu.entry = c.entry ORDER BY c.entry",
                 id, 0, error) &&
        CopyRows(database,
                 std::string("INSERT INTO results SELECT ?1, r.sample, nc.id, ") + kResultColumns +
                     " FROM batch.results r JOIN batch.compounds c ON c.entry = r.entry"
                     " JOIN main.compounds nc ON nc.name = c.name ORDER BY r.sample, nc.id",
                 id, 0, error);
    std::string detachError;
    const bool detached = ExecuteSql(database, "DETACH DATABASE batch", detachError);
    if (copied && !detached) error = detachError;
    if (!copied) error = batch.name + ": " + error;
    return copied && detached;
}

// ---- QC statistics and Westgard verdicts ---------------------------------------------------------

struct QcResult {
    long long compound, batch, sample;
    double nominal, concentration;
    std::string batchName, sampleId;
};

struct LevelKey {
    long long compound;
    double nominal;
    bool operator<(const LevelKey& other) const {
        return compound != other.compound ? compound < other.compound : nominal < other.nominal;
    }
};

std::string LevelText(const std::string& compound, double nominal, const std::string& units) {
    return compound + " at " + NumberText::Shortest(nominal) + (units.empty() ? "" : " " + units);
}

bool WriteQcStatistics(SqlDatabase& database, const QcTargets& targets, MergeReport& report, std::string& error) {
    std::vector<QcResult> qc;
    std::map<long long, std::pair<std::string, std::string>> compounds;  // id: name, units
    {
        SqlStatement select;
        if (!select.Prepare(database, "SELECT id, name, units FROM compounds", error)) return false;
        while (sqlite3_step(select.handle) == SQLITE_ROW)
            compounds[select.ColumnInt(0)] = {select.ColumnText(1), select.ColumnText(2)};
        // QC results with a nominal concentration and a measured one; type 2 is a QC whatever
        // the type's text. The QC samples lead (CROSS JOIN keeps that order), so only their
        // results are read, not the whole table.
        if (!select.Prepare(database,
                            "SELECT r.compound, r.batch, r.sample, r.nominal, r.concentration, b.name, s.id"
                            " FROM samples s CROSS JOIN results r ON r.batch = s.batch AND r.sample = s.position"
                            " JOIN batches b ON b.id = s.batch"
                            " WHERE s.type_number = 2 AND r.nominal > 0 AND r.concentration IS NOT NULL",
                            error))
            return false;
        while (sqlite3_step(select.handle) == SQLITE_ROW)
            qc.push_back({select.ColumnInt(0), select.ColumnInt(1), select.ColumnInt(2), select.ColumnReal(3),
                          select.ColumnReal(4), select.ColumnText(5), select.ColumnText(6)});
        // Compound by compound, each in run order.
        std::sort(qc.begin(), qc.end(), [](const QcResult& a, const QcResult& b) {
            return std::tie(a.compound, a.batch, a.sample) < std::tie(b.compound, b.batch, b.sample);
        });
    }
    std::map<LevelKey, std::vector<size_t>> levels;
    for (size_t i = 0; i < qc.size(); ++i) levels[{qc[i].compound, qc[i].nominal}].push_back(i);

    SqlStatement insertLevel, insertBatch, insertPoint, insertViolation;
    if (!insertLevel.Prepare(database, "INSERT INTO qc_levels VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                             error) ||
        !insertBatch.Prepare(database, "INSERT INTO qc_batch_statistics VALUES (?, ?, ?, ?, ?, ?, ?)", error) ||
        !insertPoint.Prepare(database, "INSERT INTO qc_points VALUES (?, ?, ?, ?, ?)", error) ||
        !insertViolation.Prepare(database, "INSERT INTO westgard_violations VALUES (?, ?, ?, ?, ?, ?, ?)", error))
        return false;

    std::vector<double> zOf(qc.size(), std::nan(""));
    std::vector<long long> levelOf(qc.size(), 0);
    long long levelId = 0;
    for (const auto& [key, members] : levels) {
        ++levelId;
        const auto& [name, units] = compounds[key.compound];
        std::map<long long, std::vector<double>> byBatch;
        std::vector<double> all;
        for (size_t i : members) {
            byBatch[qc[i].batch].push_back(qc[i].concentration);
            all.push_back(qc[i].concentration);
        }
        std::vector<std::vector<double>> groups;
        for (const auto& [batch, values] : byBatch) groups.push_back(values);
        const QcSummary summary = QcStatistics::Summarise(all, key.nominal);
        const QcPrecision precision = QcStatistics::Precision(groups);
        const QcTarget* target = targets.Find(name, key.nominal);
        const double limitMean = target != nullptr ? target->mean : summary.mean;
        const double limitSd = target != nullptr ? target->sd : summary.sd;
        int column = 1;
        bool bound = insertLevel.Int(column++, levelId) && insertLevel.Int(column++, key.compound) &&
                     insertLevel.Real(column++, key.nominal) && insertLevel.Text(column++, units) &&
                     insertLevel.Int(column++, static_cast<long long>(summary.count)) &&
                     insertLevel.Int(column++, static_cast<long long>(precision.batches));
        for (double value : {summary.mean, summary.sd, summary.cvPercent, summary.accuracyPercent,
                             precision.withinBatchCvPercent, precision.betweenBatchCvPercent,
                             precision.interBatchCvPercent})
            bound = bound && insertLevel.Real(column++, value);
        bound = bound && insertLevel.Text(column++, target != nullptr ? "targets" : "study") &&
                insertLevel.Real(column++, limitMean) && insertLevel.Real(column++, limitSd);
        if (!bound || !insertLevel.Run(database, error)) return false;
        for (const auto& [batch, values] : byBatch) {
            const QcSummary own = QcStatistics::Summarise(values, key.nominal);
            if (!(insertBatch.Int(1, levelId) && insertBatch.Int(2, batch) &&
                  insertBatch.Int(3, static_cast<long long>(own.count)) && insertBatch.Real(4, own.mean) &&
                  insertBatch.Real(5, own.sd) && insertBatch.Real(6, own.cvPercent) &&
                  insertBatch.Real(7, own.accuracyPercent)) ||
                !insertBatch.Run(database, error))
                return false;
        }
        const bool spread = std::isfinite(limitSd) && limitSd > 0.0 && std::isfinite(limitMean);
        for (size_t i : members) {
            levelOf[i] = levelId;
            if (spread) zOf[i] = (qc[i].concentration - limitMean) / limitSd;
            if (!(insertPoint.Int(1, levelId) && insertPoint.Int(2, qc[i].batch) && insertPoint.Int(3, qc[i].sample) &&
                  insertPoint.Real(4, qc[i].concentration) && insertPoint.Real(5, zOf[i])) ||
                !insertPoint.Run(database, error))
                return false;
        }
    }
    report.qcLevels = levels.size();

    // The rules, compound by compound, over its results in run order (qc is ordered so).
    for (size_t begin = 0; begin < qc.size();) {
        size_t end = begin;
        while (end < qc.size() && qc[end].compound == qc[begin].compound) ++end;
        std::vector<ControlResult> run;
        for (size_t i = begin; i < end; ++i)
            run.push_back({static_cast<int>(qc[i].batch), static_cast<int>(levelOf[i]), zOf[i]});
        for (const RuleViolation& violation : WestgardRules::Check(run)) {
            const QcResult& at = qc[begin + violation.result];
            const QcResult& first = qc[begin + violation.first];
            if (!(insertViolation.Int(1, at.compound) && insertViolation.Int(2, levelOf[begin + violation.result]) &&
                  insertViolation.Text(3, violation.rule) && insertViolation.Int(4, at.batch) &&
                  insertViolation.Int(5, at.sample) && insertViolation.Int(6, first.batch) &&
                  insertViolation.Int(7, first.sample)) ||
                !insertViolation.Run(database, error))
                return false;
            const auto& [name, units] = compounds[at.compound];
            report.violations.push_back("batch " + at.batchName + ": " + violation.rule + " on " +
                                        LevelText(name, at.nominal, units) + " at " + at.sampleId +
                                        (violation.first != violation.result
                                             ? " (from " + first.sampleId +
                                                   (first.batch != at.batch ? " of batch " + first.batchName : "") + ")"
                                             : ""));
        }
        begin = end;
    }
    return true;
}

void RemoveTemporary(const std::string& temporary) {
    std::error_code code;
    fs::remove(temporary, code);
    fs::remove(temporary + "-journal", code);
}

}  // namespace

MergeOutcome StudyMerge::Run(const MergeOptions& options, MergeReport& report, std::string& error) {
    report = MergeReport();
    if (options.resultsFolders.empty()) {
        error = "no results folders given";
        return MergeOutcome::kRefused;
    }
    // 1. Every input, checked before anything is written.
    std::vector<BatchSource> incoming;
    std::map<std::string, std::string> folderOf;
    for (const std::string& folder : options.resultsFolders) {
        const std::string name = BatchName(folder);
        const auto [at, added] = folderOf.emplace(name, folder);
        if (!added) {
            error = "two batches are named " + Quoted(name) + ": " + at->second + " and " + folder +
                    " (a batch is known by its results folder's name)";
            return MergeOutcome::kRefused;
        }
    }
    for (const std::string& folder : options.resultsFolders) {
        BatchSource batch;
        if (!InspectBatch(folder, batch, error)) return MergeOutcome::kRefused;
        incoming.push_back(std::move(batch));
    }
    QcTargets targets;
    if (!options.targetsFile.empty() && !targets.Read(options.targetsFile, error)) return MergeOutcome::kRefused;

    std::error_code code;
    if (fs::exists(options.out, code) && !fs::is_directory(options.out, code)) {
        error = "the study folder " + options.out + " is a file";
        return MergeOutcome::kRefused;
    }
    const std::string studyPath = (fs::path(options.out) / kStudyFile).string();
    std::vector<BatchSource> study;  // the study's batches in study order
    if (fs::exists(studyPath, code) && !ReadEarlierStudy(studyPath, study, error)) return MergeOutcome::kRefused;
    const bool hadEarlier = !study.empty();
    for (BatchSource& batch : incoming) {
        const auto same = std::find_if(study.begin(), study.end(),
                                       [&batch](const BatchSource& held) { return held.name == batch.name; });
        if (same != study.end()) {
            report.replaced.push_back(batch.name);
            *same = std::move(batch);
        } else {
            report.added.push_back(batch.name);
            study.push_back(std::move(batch));
        }
    }
    if (!MethodsAgree(study, options.differentCompounds, error)) return MergeOutcome::kRefused;

    // 2. The new study, under a temporary name.
    fs::create_directories(options.out, code);
    if (code) {
        error = "cannot make the study folder " + options.out + ": " + code.message();
        return MergeOutcome::kFailed;
    }
    const std::string temporary = Batch::TemporaryNameFor(studyPath);
    RemoveTemporary(temporary);
    std::string page;
    const auto fail = [&](const std::string& message) {
        error = "cannot write " + studyPath + ": " + message;
        return MergeOutcome::kFailed;
    };
    {
        SqlDatabase database;
        if (sqlite3_open_v2(temporary.c_str(), &database.handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK) {
            const std::string message = database.Message();
            database.Close();
            RemoveTemporary(temporary);
            return fail(message);
        }
        std::string message;
        const auto abandon = [&](const std::string& what) {
            database.Close();
            RemoveTemporary(temporary);
            return fail(what);
        };
        // Thrown away whole on failure and flushed once when complete: no journal needed. The
        // batches are copied outside a transaction, as SQLite attaches and detaches their
        // databases only between transactions; each copy is one statement per table.
        if (!ExecuteSql(database,
                        "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA user_version=" +
                            std::to_string(kStudySchemaVersion) + "; BEGIN;" + SchemaSql() +
                            "INSERT INTO study_schema_version VALUES (" + std::to_string(kStudySchemaVersion) +
                            "); COMMIT;",
                        message))
            return abandon(message);
        // Compounds are numbered in the order the study first meets them.
        {
            SqlStatement insert;
            if (!insert.Prepare(database, "INSERT OR IGNORE INTO compounds (name, units) VALUES (?, ?)", message))
                return abandon(message);
            for (const BatchSource& batch : study)
                for (const BatchCompound& compound : batch.compounds)
                    if (!insert.Text(1, compound.name) || !insert.Text(2, compound.units) ||
                        !insert.Run(database, message))
                        return abandon(message);
        }
        if (hadEarlier) {
            SqlStatement attach;
            if (!attach.Prepare(database, "ATTACH DATABASE ? AS earlier", message) || !attach.Text(1, studyPath) ||
                !attach.Run(database, message))
                return abandon(message);
        }
        long long id = 0;
        for (const BatchSource& batch : study) {
            ++id;
            const bool copied = batch.studyId > 0 ? CopyEarlierBatch(database, id, batch, message)
                                                  : CopyNewBatch(database, id, batch, message);
            if (!copied) return abandon(message);
            report.injections += static_cast<size_t>(batch.sampleCount);
        }
        if (hadEarlier && !ExecuteSql(database, "DETACH DATABASE earlier", message)) return abandon(message);
        // Built once over all rows, which is faster than keeping it up to date row by row.
        if (!ExecuteSql(database, "CREATE INDEX results_by_compound ON results (compound, batch, sample)", message))
            return abandon(message);
        if (!ExecuteSql(database, "BEGIN", message) || !WriteQcStatistics(database, targets, report, message) ||
            !BuildStudyPage(database.handle, page, message) || !ExecuteSql(database, "COMMIT", message))
            return abandon(message);
        if (sqlite3_close(database.handle) != SQLITE_OK) return abandon(database.Message());
        database.handle = nullptr;
    }
    report.batches = study.size();
    {
        std::set<std::string> names;
        for (const BatchSource& batch : study)
            for (const BatchCompound& compound : batch.compounds) names.insert(compound.name);
        report.compounds = names.size();
    }
    if (!Batch::CommitTemporary(temporary, studyPath, error)) return MergeOutcome::kFailed;
    if (!Batch::WriteFileSafely((fs::path(options.out) / kPageFile).string(), page, error)) return MergeOutcome::kFailed;
    return MergeOutcome::kMerged;
}

}  // namespace Study
