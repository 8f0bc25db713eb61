// Writing the results database and reading curves back from it. Every value goes in through a
// bound parameter; the only text built into SQL is the column names, which come from the
// program's own tables and are quoted as identifiers. The database is built under a temporary
// name in one transaction, so a reader never sees half a batch and a failed run leaves the
// earlier database in place.
#include "workflow/output/ResultsDatabase.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <type_traits>
#include <unordered_map>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string_view>
#include <vector>

#include "platform/NumberText.h"
#include "report/PeakFieldStrings.h"
#include "workflow/output/ResultsRows.h"
#include "workflow/output/SafeFile.h"
#include "workflow/review/AuditTrail.h"

namespace Batch {

namespace {

// ---- SQLite handles -------------------------------------------------------------------------

// A connection as the row writers use it; Database owns one, an update borrows its caller's.
struct Connection {
    sqlite3* handle = nullptr;
    std::string Message() const { return handle != nullptr ? sqlite3_errmsg(handle) : "out of memory"; }
};

struct Database : Connection {
    Database() = default;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database() { sqlite3_close(handle); }  // closing null does nothing
};

struct Statement {
    sqlite3_stmt* handle = nullptr;
    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(handle); }
};

bool Prepare(Connection& database, const std::string& sql, Statement& statement, std::string& error) {
    if (sqlite3_prepare_v2(database.handle, sql.c_str(), static_cast<int>(sql.size()), &statement.handle, nullptr) ==
        SQLITE_OK)
        return true;
    error = database.Message();
    return false;
}

bool Execute(Connection& database, const std::string& sql, std::string& error) {
    Statement statement;
    if (!Prepare(database, sql, statement, error)) return false;
    if (sqlite3_step(statement.handle) == SQLITE_DONE) return true;
    error = database.Message();
    return false;
}

bool BindText(Statement& statement, int index, std::string_view text) {
    return sqlite3_bind_text(statement.handle, index, text.data(), static_cast<int>(text.size()),
                             SQLITE_TRANSIENT) == SQLITE_OK;
}

bool BindInt(Statement& statement, int index, int value) {
    return sqlite3_bind_int(statement.handle, index, value) == SQLITE_OK;
}

bool BindBlob(Statement& statement, int index, const void* bytes, size_t size) {
    return sqlite3_bind_blob(statement.handle, index, bytes, static_cast<int>(size), SQLITE_TRANSIENT) ==
           SQLITE_OK;
}

// Runs one bound insert and makes it ready for the next row.
bool StepInsert(Connection& database, Statement& statement, std::string& error) {
    const bool done = sqlite3_step(statement.handle) == SQLITE_DONE;
    if (!done) error = database.Message();
    sqlite3_reset(statement.handle);
    sqlite3_clear_bindings(statement.handle);
    return done;
}

bool BindReal(Statement& statement, int index, double value) {
    // Absent values are NULL, never NaN (which SQLite would store as NULL anyway, silently).
    return std::isfinite(value) ? sqlite3_bind_double(statement.handle, index, value) == SQLITE_OK
                                : sqlite3_bind_null(statement.handle, index) == SQLITE_OK;
}

bool BindOptionalText(Statement& statement, int index, const std::string& text) {
    return text.empty() ? sqlite3_bind_null(statement.handle, index) == SQLITE_OK : BindText(statement, index, text);
}

// ---- table layout ---------------------------------------------------------------------------

std::string QuotedIdentifier(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// Column names as SQLite compares them: ASCII letters without case.
std::string Folded(const std::string& name) { return NumberText::LowerAscii(name); }

// The peak report fields that hold something, each with its column: a number is REAL, a
// yes/no field INTEGER (1 for "YES"), a text or coded text TEXT. Two fields may share a name;
// the later one gets "_" and its number appended.
//
// A batch repeats most fields: a peak carries its method entry's settings and its sample's
// names and factors. Those are stored once for each different set of values, in
// peak_entry_values and peak_sample_values, and each located peak's row in peak_values points
// at its two sets; the view peak_fields joins them back into one row per peak. Which fields
// go where only decides how much is shared, never what is kept: a field that differs from
// peak to peak simply makes another set.
enum PeakFieldGroup { kPerPeak, kEntrySettings, kSampleSettings, kPeakFieldGroups };

PeakFieldGroup GroupOf(int field) {
    const auto within = [field](int first, int last) { return field >= first && field <= last; };
    // What a located peak measures, and the results computed from it.
    if (within(8, 9) || within(18, 19) || within(92, 142) || within(146, 152) || within(157, 159) || field == 161 ||
        within(163, 177) || field == 206 || within(219, 229))
        return kPerPeak;
    if (within(1, 6) || within(10, 12) || field == 17 || within(20, 22) || within(65, 70) || field == 91)
        return kSampleSettings;
    // The method entry's settings, and the fields few methods use.
    return kEntrySettings;
}

constexpr const char* kGroupTables[kPeakFieldGroups] = {"peak_values", "peak_entry_values", "peak_sample_values"};

struct PeakFieldColumn {
    const PeakFieldInfo* info;
    int position;  // in a row's packed texts
    std::string name;
    const char* type;
    PeakFieldGroup group;
};

const std::vector<PeakFieldColumn>& PeakFieldColumns() {
    static const std::vector<PeakFieldColumn> columns = [] {
        std::vector<PeakFieldColumn> list;
        std::set<std::string> taken = {"sample", "entry", "id", "entry_values", "sample_values"};
        int position = 0;
        for (const PeakFieldInfo& info : PeakFieldList()) {
            const int at = position++;
            if (info.form == PeakFieldForm::kNoSource) continue;
            std::string name = info.name;
            while (!taken.insert(Folded(name)).second) {
                name += '_';
                name += std::to_string(static_cast<int>(info.field));
            }
            const char* type = info.form == PeakFieldForm::kNumber ? "REAL"
                               : info.form == PeakFieldForm::kYesIfZero || info.form == PeakFieldForm::kYesIfSet
                                   ? "INTEGER"
                                   : "TEXT";
            list.push_back({&info, at, name, type, GroupOf(static_cast<int>(info.field))});
        }
        return list;
    }();
    return columns;
}

// The curve record's numbers and texts, one column each, named as the record names them.
struct CurveColumn {
    const char* name;
    const char* type;
    double (*number)(const CCalibrationData&);
    std::string (*text)(const CCalibrationData&);
};

const std::vector<CurveColumn>& CurveRecordColumns() {
    static const std::vector<CurveColumn> columns = {
#define CURVE_TEXT(offset, size, Name) \
    {#Name, "TEXT", nullptr, [](const CCalibrationData& c) { return std::string(c.Get##Name()); }},
#define CURVE_FIELD(offset, type, Name) \
    {#Name, std::is_integral_v<type> ? "INTEGER" : "REAL", \
     [](const CCalibrationData& c) { return static_cast<double>(c.Get##Name()); }, nullptr},
#include "records/CurveRecordFields.def"
    };
    return columns;
}

constexpr int kCoefficients = 7;

// The shape of each located main peak whose integration gave one (peaks from raw data, or a
// peak list with quan-integrate's shape columns), for review and quality rules: width at half
// height in minutes, asymmetry at 10 % of the height, USP tailing factor at 5 %, raw points
// across the peak. A figure the peak could not give (no leading side) is NULL.
std::string PeakQualitySql() {
    return R"(CREATE TABLE peak_quality (
  sample INTEGER NOT NULL REFERENCES samples (position), entry INTEGER NOT NULL REFERENCES compounds (entry),
  width_at_half_height REAL, asymmetry REAL, tailing_factor REAL, points_across INTEGER NOT NULL,
  PRIMARY KEY (sample, entry)) WITHOUT ROWID;
)";
}

std::string SchemaSql() {
    std::string groupColumns[kPeakFieldGroups], viewColumns;
    static const char* const kAlias[kPeakFieldGroups] = {"p.", "e.", "s."};
    for (const PeakFieldColumn& column : PeakFieldColumns()) {
        groupColumns[column.group] += ", " + QuotedIdentifier(column.name) + " " + column.type;
        viewColumns += std::string(", ") + kAlias[column.group] + QuotedIdentifier(column.name);
    }
    std::string curveColumns;
    for (const CurveColumn& column : CurveRecordColumns())
        if (std::string(column.name) != "Name")  // the compound column holds it
            curveColumns += ", " + QuotedIdentifier(column.name) + " " + column.type;
    for (int i = 0; i < kCoefficients; ++i) curveColumns += ", c" + std::to_string(i) + " REAL";
    return R"(
CREATE TABLE schema_version (version INTEGER NOT NULL);
CREATE TABLE batch (method_file TEXT, sample_count INTEGER NOT NULL, compound_count INTEGER NOT NULL);
CREATE TABLE run (name TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE samples (
  position INTEGER PRIMARY KEY, id TEXT NOT NULL, type TEXT NOT NULL, type_number INTEGER NOT NULL,
  description TEXT, peak_file TEXT, locate_status INTEGER NOT NULL, quantify_status INTEGER NOT NULL);
CREATE INDEX samples_by_id ON samples (id);
CREATE TABLE compounds (entry INTEGER PRIMARY KEY, name TEXT NOT NULL, units TEXT);
CREATE INDEX compounds_by_name ON compounds (name);
CREATE TABLE results (
  sample INTEGER NOT NULL REFERENCES samples (position), entry INTEGER NOT NULL REFERENCES compounds (entry),
  found INTEGER NOT NULL, found_rt REAL, area REAL, response REAL, concentration REAL, units TEXT,
  nominal REAL, lod REAL, loq REAL, signal_to_noise REAL, ion_ratio REAL, flag_letters TEXT, flags TEXT,
  passed INTEGER NOT NULL,
  PRIMARY KEY (sample, entry)) WITHOUT ROWID;
CREATE INDEX results_by_entry ON results (entry, sample);
CREATE TABLE peak_entry_values (id INTEGER PRIMARY KEY)" + groupColumns[kEntrySettings] + R"();
CREATE TABLE peak_sample_values (id INTEGER PRIMARY KEY)" + groupColumns[kSampleSettings] + R"();
CREATE TABLE peak_values (
  sample INTEGER NOT NULL REFERENCES samples (position), entry INTEGER NOT NULL REFERENCES compounds (entry),
  entry_values INTEGER NOT NULL REFERENCES peak_entry_values (id),
  sample_values INTEGER NOT NULL REFERENCES peak_sample_values (id))" +
           groupColumns[kPerPeak] + R"(,
  PRIMARY KEY (sample, entry)) WITHOUT ROWID;
CREATE VIEW peak_fields AS SELECT p.sample, p.entry)" + viewColumns + R"(
  FROM peak_values p JOIN peak_entry_values e ON e.id = p.entry_values
  JOIN peak_sample_values s ON s.id = p.sample_values;
CREATE TABLE curves (
  entry INTEGER PRIMARY KEY REFERENCES compounds (entry), compound TEXT NOT NULL, calibrated INTEGER NOT NULL,
  not_calibrated_reason TEXT, coefficient_of_determination REAL, description TEXT NOT NULL)" +
           curveColumns + R"(, record BLOB NOT NULL);
CREATE TABLE calibration_points (
  entry INTEGER NOT NULL REFERENCES curves (entry), point INTEGER NOT NULL, standard TEXT, nominal REAL,
  response REAL, excluded INTEGER NOT NULL, back_calculated REAL, deviation_percent REAL, excluded_by TEXT,
  exclusion_reason TEXT, studentized_residual REAL, PRIMARY KEY (entry, point)) WITHOUT ROWID;
CREATE VIEW excluded_points AS
  SELECT p.entry, c.name AS compound, p.standard, p.excluded_by, p.exclusion_reason AS reason, p.studentized_residual
  FROM calibration_points p JOIN compounds c ON c.entry = p.entry WHERE p.excluded = 1;
CREATE TABLE acceptance (
  rule_set TEXT NOT NULL, entry INTEGER REFERENCES compounds (entry), compound TEXT NOT NULL, rule TEXT NOT NULL,
  sample TEXT, passed INTEGER NOT NULL, reason TEXT NOT NULL);
CREATE INDEX acceptance_by_entry ON acceptance (entry);
CREATE VIEW concentration_matrix AS
  SELECT s.position AS sample_position, s.id AS sample, s.type AS sample_type, c.entry, c.name AS compound,
         r.concentration, c.units, r.passed = 0 AND r.found = 1 AS flagged
  FROM results r JOIN samples s ON s.position = r.sample JOIN compounds c ON c.entry = r.entry;
CREATE VIEW qc_accuracy AS
  SELECT s.position AS sample_position, s.id AS sample, c.entry, c.name AS compound, r.nominal, r.concentration,
         c.units, 100.0 * r.concentration / r.nominal AS accuracy_percent,
         100.0 * (r.concentration - r.nominal) / r.nominal AS deviation_percent
  FROM results r JOIN samples s ON s.position = r.sample JOIN compounds c ON c.entry = r.entry
  WHERE s.type = 'QC' AND r.nominal > 0;
CREATE VIEW flagged_results AS
  SELECT s.position AS sample_position, s.id AS sample, s.type AS sample_type, c.entry, c.name AS compound,
         r.concentration, c.units, r.flag_letters, r.flags
  FROM results r JOIN samples s ON s.position = r.sample JOIN compounds c ON c.entry = r.entry
  WHERE r.passed = 0;
)" + PeakQualitySql();
}

// The chromatograms kept with the results (SampleTraces.h). A table of its own, with a rowid:
// its rows are large, and the two indexes serve the review views (one compound across the
// samples, one sample across the compounds).
constexpr const char* kChromatogramsSchema = R"(
CREATE TABLE chromatograms (
  sample INTEGER NOT NULL REFERENCES samples (position), entry INTEGER NOT NULL REFERENCES compounds (entry),
  slot INTEGER NOT NULL, trace TEXT NOT NULL, expected_ratio REAL, overlay_scale REAL, internal_standard INTEGER,
  predicted_rt REAL, window_start REAL, window_end REAL, point_count INTEGER NOT NULL, times BLOB NOT NULL,
  intensities BLOB NOT NULL, first_scan INTEGER, scans BLOB);
CREATE UNIQUE INDEX chromatograms_by_sample ON chromatograms (sample, entry, slot);
CREATE INDEX chromatograms_by_entry ON chromatograms (entry, sample);
)";
constexpr int kChromatogramColumns = 15;

// With `replace`, a row whose key is taken replaces the row there (an update in place).
std::string InsertSql(const std::string& table, size_t columnCount, bool replace = false) {
    std::string sql = (replace ? "INSERT OR REPLACE INTO " : "INSERT INTO ") + QuotedIdentifier(table) + " VALUES (";
    for (size_t i = 0; i < columnCount; ++i) sql += i > 0 ? ", ?" : "?";
    return sql + ")";
}

// ---- the stored curve record, packed ----------------------------------------------------------
//
// A curve record is 19496 bytes, most of them the zeros of unused point and file slots, so the
// database keeps it packed: runs of a 16-bit little-endian count of literal bytes, those bytes,
// and a 16-bit little-endian count of zero bytes, until the record is complete. A blob of
// exactly the record's size is the record itself (as the first layout stored it, and as this
// one does for a record that would not get smaller).

std::string PackRecord(const unsigned char* bytes, size_t size) {
    std::string packed;
    const auto count = [&packed](size_t n) {
        packed += static_cast<char>(n & 0xFF);
        packed += static_cast<char>(n >> 8);
    };
    size_t at = 0;
    while (at < size) {
        size_t literal = 0;
        while (at + literal < size && literal < 0xFFFF && bytes[at + literal] != 0) ++literal;
        count(literal);
        packed.append(reinterpret_cast<const char*>(bytes + at), literal);
        at += literal;
        size_t zeros = 0;
        while (at + zeros < size && zeros < 0xFFFF && bytes[at + zeros] == 0) ++zeros;
        count(zeros);
        at += zeros;
    }
    return packed.size() < size ? packed : std::string(reinterpret_cast<const char*>(bytes), size);
}

// False when the blob is not a packed record of exactly `size` bytes.
bool UnpackRecord(const unsigned char* blob, size_t blobSize, unsigned char* record, size_t size) {
    if (blobSize == size) {
        std::memcpy(record, blob, size);
        return true;
    }
    size_t in = 0, out = 0;
    const auto count = [&](size_t& n) {
        if (in + 2 > blobSize) return false;
        n = blob[in] | (static_cast<size_t>(blob[in + 1]) << 8);
        in += 2;
        return true;
    };
    while (in < blobSize) {
        size_t literal = 0, zeros = 0;
        if (!count(literal) || literal > blobSize - in || literal > size - out) return false;
        std::memcpy(record + out, blob + in, literal);
        in += literal;
        out += literal;
        if (!count(zeros) || zeros > size - out) return false;
        std::memset(record + out, 0, zeros);
        out += zeros;
    }
    return out == size;
}

// ---- rows -----------------------------------------------------------------------------------

// The statements a batch inserts through, prepared once.
struct Inserts {
    Statement sample, result, compound, curve, point, chromatogram, quality;
    Statement peakFields[kPeakFieldGroups];
};

// The value sets stored so far, by their packed texts, with their ids; new sets are numbered
// after `after` (the ids a database being updated already holds).
struct SharedPeakValues {
    std::unordered_map<std::string, int> ids[kPeakFieldGroups];
    int after[kPeakFieldGroups] = {};
};

size_t GroupColumnCount(PeakFieldGroup group) {
    size_t count = 0;
    for (const PeakFieldColumn& column : PeakFieldColumns()) count += column.group == group;
    return count;
}

void FinalizeInserts(Inserts& inserts) {
    for (Statement* statement : {&inserts.sample, &inserts.result, &inserts.peakFields[0], &inserts.peakFields[1],
                                 &inserts.peakFields[2], &inserts.compound, &inserts.curve, &inserts.point,
                                 &inserts.chromatogram, &inserts.quality}) {
        sqlite3_finalize(statement->handle);
        statement->handle = nullptr;
    }
}

bool PrepareInserts(Connection& database, Inserts& inserts, std::string& error, bool replace = false) {
    return Prepare(database, InsertSql("samples", 8, replace), inserts.sample, error) &&
           Prepare(database, InsertSql("results", 16, replace), inserts.result, error) &&
           Prepare(database, InsertSql(kGroupTables[kPerPeak], 4 + GroupColumnCount(kPerPeak), replace),
                   inserts.peakFields[kPerPeak], error) &&
           Prepare(database, InsertSql(kGroupTables[kEntrySettings], 1 + GroupColumnCount(kEntrySettings), replace),
                   inserts.peakFields[kEntrySettings], error) &&
           Prepare(database, InsertSql(kGroupTables[kSampleSettings], 1 + GroupColumnCount(kSampleSettings), replace),
                   inserts.peakFields[kSampleSettings], error) &&
           Prepare(database, InsertSql("compounds", 3, replace), inserts.compound, error) &&
           Prepare(database, InsertSql("curves", 6 + CurveRecordColumns().size() - 1 + kCoefficients + 1, replace),
                   inserts.curve, error) &&
           Prepare(database, InsertSql("calibration_points", 11, replace), inserts.point, error) &&
           Prepare(database, InsertSql("peak_quality", 6, replace), inserts.quality, error);
}

bool InsertSamples(Connection& database, Statement& insert, const BatchResults& results, size_t from, size_t to,
                   std::string& error) {
    for (size_t i = from; i < to && i < results.samples.size(); ++i) {
        const SampleResult& sample = results.samples[i];
        const bool bound = BindInt(insert, 1, static_cast<int>(i) + 1) && BindText(insert, 2, sample.id) &&
                           BindText(insert, 3, sample.type) && BindInt(insert, 4, sample.typeNumber) &&
                           BindOptionalText(insert, 5, sample.description) &&
                           BindOptionalText(insert, 6, sample.peakFile) && BindInt(insert, 7, sample.locateStatus) &&
                           BindInt(insert, 8, sample.quantifyStatus);
        if (!bound) {
            error = database.Message();
            return false;
        }
        if (!StepInsert(database, insert, error)) return false;
    }
    return true;
}

std::string RowName(const BatchResults& results, const ResultRow& row) {
    const bool known = row.sample >= 0 && row.sample < static_cast<int>(results.samples.size());
    return "the result of sample " + (known ? results.samples[row.sample].id : std::to_string(row.sample)) +
           ", entry " + std::to_string(row.entry);
}

std::string FlagNames(const ResultRow& row) {
    std::string names;
    for (const std::string& flag : row.flagsSet) names += (names.empty() ? "" : " ") + flag;
    return names;
}

// The number a field's text stands for; the text is the shortest form of a double.
bool ReadNumber(std::string_view text, double& value) {
    const auto read = std::from_chars(text.data(), text.data() + text.size(), value);
    return read.ec == std::errc() && read.ptr == text.data() + text.size() && !text.empty();
}

bool BindPeakField(Statement& statement, int index, const PeakFieldColumn& column, std::string_view text) {
    if (text.empty()) return sqlite3_bind_null(statement.handle, index) == SQLITE_OK;
    switch (column.info->form) {
        case PeakFieldForm::kNumber: {
            double value = 0.0;
            // A number field's text that is not a number would be a fault upstream: keep it
            // as text rather than lose it.
            return ReadNumber(text, value) ? BindReal(statement, index, value) : BindText(statement, index, text);
        }
        case PeakFieldForm::kYesIfZero:
        case PeakFieldForm::kYesIfSet:
            if (text == "YES" || text == "NO") return BindInt(statement, index, text == "YES" ? 1 : 0);
            return BindText(statement, index, text);
        default:
            return BindText(statement, index, text);
    }
}

// The id of the set of `group`'s values that `texts` hold, inserting the set when it is new.
bool SharedValuesId(Connection& database, Inserts& inserts, SharedPeakValues& shared, PeakFieldGroup group,
                    const std::vector<std::string_view>& texts, int& id, std::string& error) {
    std::string key;
    for (const PeakFieldColumn& column : PeakFieldColumns())
        if (column.group == group) {
            key += texts[column.position];
            key += kPeakFieldSeparator;
        }
    const auto [at, added] = shared.ids[group].emplace(std::move(key), shared.after[group] + static_cast<int>(shared.ids[group].size()) + 1);
    id = at->second;
    if (!added) return true;
    Statement& insert = inserts.peakFields[group];
    bool bound = BindInt(insert, 1, id);
    int index = 2;
    for (const PeakFieldColumn& column : PeakFieldColumns())
        if (column.group == group) bound = bound && BindPeakField(insert, index++, column, texts[column.position]);
    if (!bound) {
        error = database.Message();
        return false;
    }
    return StepInsert(database, insert, error);
}

bool InsertPeakFields(Connection& database, Inserts& inserts, SharedPeakValues& shared, const ResultRow& row,
                      const std::vector<std::string_view>& texts, std::string& error) {
    int entryValues = 0, sampleValues = 0;
    if (!SharedValuesId(database, inserts, shared, kEntrySettings, texts, entryValues, error) ||
        !SharedValuesId(database, inserts, shared, kSampleSettings, texts, sampleValues, error))
        return false;
    Statement& insert = inserts.peakFields[kPerPeak];
    bool bound = BindInt(insert, 1, row.sample + 1) && BindInt(insert, 2, row.entry) &&
                 BindInt(insert, 3, entryValues) && BindInt(insert, 4, sampleValues);
    int index = 5;
    for (const PeakFieldColumn& column : PeakFieldColumns())
        if (column.group == kPerPeak) bound = bound && BindPeakField(insert, index++, column, texts[column.position]);
    if (!bound) {
        error = database.Message();
        return false;
    }
    return StepInsert(database, insert, error);
}

// The row's peak field texts as views into its packed texts (a batch has many rows).
std::vector<std::string_view> PackedTexts(const ResultRow& row) {
    std::vector<std::string_view> texts;
    const std::string_view packed = row.packedPeakFields;
    if (packed.empty()) return texts;
    texts.reserve(PeakFieldList().size());
    for (size_t start = 0;;) {
        const size_t end = packed.find(kPeakFieldSeparator, start);
        texts.push_back(packed.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return texts;
        start = end + 1;
    }
}

// A row's peak_quality row, when its peak has shape figures.
bool InsertPeakQuality(Connection& database, Statement& insert, const ResultRow& row, std::string& error) {
    const Integrate::PeakQuality& q = row.quality;
    if (!row.found || q.pointsAcross <= 0) return true;
    auto figure = [](double value) { return value > 0.0 ? value : std::nan(""); };
    if (!(BindInt(insert, 1, row.sample + 1) && BindInt(insert, 2, row.entry) &&
          BindReal(insert, 3, figure(q.widthAtHalfHeight)) && BindReal(insert, 4, figure(q.asymmetry)) &&
          BindReal(insert, 5, figure(q.tailingFactor)) && BindInt(insert, 6, q.pointsAcross))) {
        error = database.Message();
        return false;
    }
    return StepInsert(database, insert, error);
}

bool InsertResults(Connection& database, Inserts& inserts, SharedPeakValues& shared, const BatchResults& results,
                   const std::vector<ResultRow>& rows, std::string& error) {
    const size_t peakFieldCount = PeakFieldList().size();
    const double kNone = std::nan("");
    for (const ResultRow& row : rows) {
        // A row without any peak field text has no peak; any other count is a fault upstream
        // that would shift every column after it.
        const std::vector<std::string_view> peakFields = PackedTexts(row);
        if (!peakFields.empty() && peakFields.size() != peakFieldCount) {
            error = RowName(results, row) + " has " + std::to_string(peakFields.size()) +
                    " peak fields, not " + std::to_string(peakFieldCount);
            return false;
        }
        const double nominal = NominalConcentration(results, row);
        Statement& insert = inserts.result;
        const bool bound = BindInt(insert, 1, row.sample + 1) && BindInt(insert, 2, row.entry) &&
                           BindInt(insert, 3, row.found ? 1 : 0) && BindReal(insert, 4, row.found ? row.foundRT : kNone) &&
                           BindReal(insert, 5, row.found ? row.area : kNone) &&
                           BindReal(insert, 6, row.found ? row.response : kNone) &&
                           BindReal(insert, 7, row.validConc ? row.conc : kNone) &&
                           BindOptionalText(insert, 8, row.units) &&
                           BindReal(insert, 9, nominal) && BindReal(insert, 10, row.lod) &&
                           BindReal(insert, 11, row.loq) && BindReal(insert, 12, row.signalToNoise) &&
                           BindReal(insert, 13, row.ionRatio) && BindOptionalText(insert, 14, row.flagsText) &&
                           BindOptionalText(insert, 15, FlagNames(row)) &&
                           BindInt(insert, 16, row.flagsSet.empty() ? 1 : 0);
        if (!bound) {
            error = database.Message();
            return false;
        }
        if (!StepInsert(database, insert, error)) return false;
        if (!InsertPeakQuality(database, inserts.quality, row, error)) return false;
        if (peakFields.empty()) continue;  // no peak, no peak fields
        if (!InsertPeakFields(database, inserts, shared, row, peakFields, error)) return false;
    }
    return true;
}

bool InsertCurves(Connection& database, Inserts& inserts, const std::vector<CurveResult>& curves, std::string& error) {
    for (const CurveResult& result : curves) {
        const CCalibrationData& curve = result.curve;
        Statement& compound = inserts.compound;
        if (!(BindInt(compound, 1, result.entry) && BindText(compound, 2, result.compound) &&
              BindOptionalText(compound, 3, curve.GetRepUnits())) ||
            !StepInsert(database, compound, error)) {
            if (error.empty()) error = database.Message();
            return false;
        }
        _tagINTERNAL_CURVE_DB_RECORD record{};
        curve.GetRecord(record);
        const bool calibrated = curve.GetCurveValid() != 0;
        Statement& insert = inserts.curve;
        int index = 1;
        bool bound = BindInt(insert, index++, result.entry) && BindText(insert, index++, result.compound) &&
                     BindInt(insert, index++, calibrated ? 1 : 0) &&
                     BindOptionalText(insert, index++, NotCalibratedReason(curve)) &&
                     BindReal(insert, index++, calibrated && curve.GetCCalc() != kCurveRF ? curve.GetCoeffOfDet() : std::nan("")) &&
                     BindText(insert, index++, result.description);
        for (const CurveColumn& column : CurveRecordColumns()) {
            if (std::string_view(column.name) == "Name") continue;
            bound = bound && (column.number ? BindReal(insert, index++, column.number(curve))
                                            : BindOptionalText(insert, index++, column.text(curve)));
        }
        for (int i = 0; i < kCoefficients; ++i) bound = bound && BindReal(insert, index++, curve.GetCC(i));
        const std::string packed = PackRecord(reinterpret_cast<const unsigned char*>(&record), sizeof record);
        bound = bound && BindBlob(insert, index++, packed.data(), packed.size());
        if (!bound) {
            error = database.Message();
            return false;
        }
        if (!StepInsert(database, insert, error)) return false;
        int number = 1;
        for (const StandardPoint& point : StandardPoints(result)) {
            Statement& row = inserts.point;
            const bool pointBound =
                BindInt(row, 1, result.entry) && BindInt(row, 2, number++) && BindOptionalText(row, 3, point.standard) &&
                BindReal(row, 4, point.nominal) && BindReal(row, 5, point.response) &&
                BindInt(row, 6, point.excluded ? 1 : 0) && BindReal(row, 7, point.backCalculated) &&
                BindReal(row, 8, DeviationPercent(point.nominal, point.backCalculated)) &&
                BindOptionalText(row, 9, point.excludedBy) && BindOptionalText(row, 10, point.reason) &&
                BindReal(row, 11, point.residual);
            if (!pointBound) {
                error = database.Message();
                return false;
            }
            if (!StepInsert(database, row, error)) return false;
        }
    }
    return true;
}

// Every verdict of the acceptance rules, passed or not, with its reason.
bool InsertAcceptance(Connection& database, const BatchResults& results, std::string& error) {
    const AcceptanceResult& acceptance = results.acceptance;
    if (acceptance.verdicts.empty()) return true;
    std::map<std::string, int> entries;
    for (const CurveResult& curve : results.curves) entries.emplace(curve.compound, curve.entry);
    Statement insert;
    if (!Prepare(database, InsertSql("acceptance", 7), insert, error)) return false;
    const std::string rules = RuleSetName(acceptance.rules);
    for (const RuleVerdict& verdict : acceptance.verdicts) {
        const auto entry = entries.find(verdict.compound);
        const bool bound = BindText(insert, 1, rules) &&
                           (entry != entries.end() ? BindInt(insert, 2, entry->second) : BindReal(insert, 2, std::nan(""))) &&
                           BindText(insert, 3, verdict.compound) && BindText(insert, 4, verdict.rule) &&
                           BindOptionalText(insert, 5, verdict.sample) && BindInt(insert, 6, verdict.passed ? 1 : 0) &&
                           BindText(insert, 7, verdict.reason);
        if (!bound) {
            error = database.Message();
            return false;
        }
        if (!StepInsert(database, insert, error)) return false;
    }
    return true;
}

// How the batch was run (BatchResults::run), one row per setting.
bool InsertRun(Database& database, const BatchResults& results, std::string& error) {
    Statement insert;
    if (!Prepare(database, InsertSql("run", 2), insert, error)) return false;
    for (const auto& [name, value] : results.run) {
        if (!(BindText(insert, 1, name) && BindText(insert, 2, value))) {
            error = database.Message();
            return false;
        }
        if (!StepInsert(database, insert, error)) return false;
    }
    return true;
}

void RemoveTemporary(const std::string& temporary) {
    std::remove(temporary.c_str());
    std::remove((temporary + "-journal").c_str());
}

// ---- reading curves back --------------------------------------------------------------------

struct StoredCurve {
    int entry = 0;
    _tagINTERNAL_CURVE_DB_RECORD record{};
};

bool ReadStoredCurves(Connection& database, const std::string& path, std::vector<StoredCurve>& stored,
                      std::string& error) {
    Statement select;
    std::string message;
    if (!Prepare(database, "SELECT \"entry\", \"record\" FROM \"curves\" ORDER BY \"entry\"", select, message)) {
        error = path + " is not a results database with curves: " + message;
        return false;
    }
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(select.handle)) == SQLITE_ROW) {
        StoredCurve curve;
        curve.entry = sqlite3_column_int(select.handle, 0);
        const std::string where = path + ": the curve record of entry " + std::to_string(curve.entry);
        const int type = sqlite3_column_type(select.handle, 1);
        if (type == SQLITE_NULL) {
            error = where + " is missing";
            return false;
        }
        if (type != SQLITE_BLOB) {
            error = where + " is not stored as bytes";
            return false;
        }
        const void* bytes = sqlite3_column_blob(select.handle, 1);
        const int size = sqlite3_column_bytes(select.handle, 1);
        if (bytes == nullptr || size <= 0 ||
            !UnpackRecord(static_cast<const unsigned char*>(bytes), static_cast<size_t>(size),
                          reinterpret_cast<unsigned char*>(&curve.record), sizeof curve.record)) {
            error = where + " (" + std::to_string(size) + " bytes) is neither a curve record of " +
                    std::to_string(sizeof curve.record) + " bytes nor one packed";
            return false;
        }
        stored.push_back(curve);
    }
    if (step != SQLITE_DONE) {
        error = path + ": cannot read the curves: " + database.Message();
        return false;
    }
    return true;
}

// The entry's name as a stored record holds it: the record keeps at most its field less one.
std::string NameAsStored(const std::string& name) {
    constexpr size_t kMostStored = sizeof(_tagINTERNAL_CURVE_DB_RECORD::Name) - 1;
    return name.substr(0, std::min(name.size(), kMostStored));
}

bool CurvesMatchMethod(const std::vector<StoredCurve>& stored, const std::vector<CCalibrationData>& loaded,
                       const std::string& path, const CMethodList& method, std::string& error) {
    if (static_cast<int>(stored.size()) != method.GetSize()) {
        error = path + " holds " + std::to_string(stored.size()) + " curves, but the method has " +
                std::to_string(method.GetSize()) + " entries";
        return false;
    }
    for (size_t i = 0; i < stored.size(); ++i) {
        const int entry = static_cast<int>(i) + 1;
        if (stored[i].entry != entry) {
            error = path + ": the curves are not numbered 1 to " + std::to_string(stored.size()) + " (found entry " +
                    std::to_string(stored[i].entry) + " where entry " + std::to_string(entry) + " belongs)";
            return false;
        }
        const std::string expected = method.GetAt(static_cast<int>(i)).GetName();
        if (loaded[i].GetName() != NameAsStored(expected)) {
            error = path + ": the curve of entry " + std::to_string(entry) + " is for \"" + loaded[i].GetName() +
                    "\", but method entry " + std::to_string(entry) + " is \"" + expected + "\"";
            return false;
        }
    }
    return true;
}

}  // namespace

struct ResultsDatabaseWriter::State {
    Database database;
    Inserts inserts;  // finalized before the database closes: members go in reverse order
    SharedPeakValues shared;
    std::string path, temporary;
    size_t samplesWritten = 0;
    bool open = false;
};

ResultsDatabaseWriter::ResultsDatabaseWriter() = default;

ResultsDatabaseWriter::~ResultsDatabaseWriter() { Abandon(); }

void ResultsDatabaseWriter::Abandon() {
    if (!m_state) return;
    const std::string temporary = m_state->temporary;
    m_state.reset();  // the statements, then the database
    RemoveTemporary(temporary);
}

bool ResultsDatabaseWriter::Fail(const std::string& what, const std::string& message, std::string& error) {
    error = what + " " + (m_state ? m_state->temporary : std::string()) + ": " + message;
    Abandon();
    return false;
}

bool ResultsDatabaseWriter::Open(const std::string& path, std::string& error) {
    Abandon();
    if (path.empty()) {
        error = "no file name given for the results database";
        return false;
    }
    m_state = std::make_unique<State>();
    m_state->path = path;
    m_state->temporary = TemporaryNameFor(path);
    // A temporary left by an interrupted run would make the new tables collide with old ones.
    RemoveTemporary(m_state->temporary);
    // One thread at a time writes through the connection (the batch hands samples over in
    // turn), so SQLite need not lock it for every call.
    if (sqlite3_open_v2(m_state->temporary.c_str(), &m_state->database.handle,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        return Fail("cannot create", m_state->database.Message(), error);
    // The file is thrown away whole if anything fails, and flushed once when complete, so it
    // needs no rollback journal of its own (and leaves none behind an interrupted run).
    std::string message;
    // The journal pragma answers with a row, so it goes through sqlite3_exec.
    char* failure = nullptr;
    const std::string schema = "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA user_version=" +
                               std::to_string(kResultsSchemaVersion) + "; BEGIN;" + SchemaSql() + kChromatogramsSchema +
                               "INSERT INTO schema_version VALUES (" + std::to_string(kResultsSchemaVersion) + ");";
    if (sqlite3_exec(m_state->database.handle, schema.c_str(), nullptr, nullptr, &failure) != SQLITE_OK) {
        message = failure != nullptr ? failure : m_state->database.Message();
        sqlite3_free(failure);
        return Fail("cannot write", message, error);
    }
    // The record of changes made in review starts empty with every run.
    if (!CreateAuditTable(m_state->database.handle, message)) return Fail("cannot write", message, error);
    // Only a new database takes chromatograms: one an earlier version wrote, updated in review,
    // keeps its own layout of them.
    if (!PrepareInserts(m_state->database, m_state->inserts, message) ||
        !Prepare(m_state->database, InsertSql("chromatograms", kChromatogramColumns), m_state->inserts.chromatogram, message))
        return Fail("cannot write", message, error);
    m_state->open = true;
    return true;
}

bool ResultsDatabaseWriter::AddResults(const BatchResults& results, const std::vector<ResultRow>& rows,
                                       std::string& error) {
    if (!m_state || !m_state->open) {
        error = "the results database is not open";
        return false;
    }
    std::string message;
    if (!InsertSamples(m_state->database, m_state->inserts.sample, results, m_state->samplesWritten,
                       results.samples.size(), message) ||
        !InsertResults(m_state->database, m_state->inserts, m_state->shared, results, rows, message))
        return Fail("cannot write", message, error);
    m_state->samplesWritten = results.samples.size();
    return true;
}

bool ResultsDatabaseWriter::AddChromatograms(int sampleIndex, const std::vector<EntryTrace>& traces,
                                             std::string& error) {
    if (!m_state || !m_state->open) {
        error = "the results database is not open";
        return false;
    }
    Database& database = m_state->database;
    Statement& insert = m_state->inserts.chromatogram;
    std::string message;
    for (const EntryTrace& trace : traces) {
        const auto mismatch = [&](size_t count, const char* what) {
            return Fail("cannot write", "the chromatogram of entry " + std::to_string(trace.entry) + ", trace " +
                                            trace.trace + " has " + std::to_string(trace.times.size()) + " times but " +
                                            std::to_string(count) + " " + what,
                        error);
        };
        if (!trace.scans.empty() && trace.scans.size() != trace.times.size()) return mismatch(trace.scans.size(), "scans");
        if (trace.times.size() != trace.intensities.size()) return mismatch(trace.intensities.size(), "intensities");
        const std::string times = EncodeFloats(trace.times), intensities = EncodeFloats(trace.intensities),
                          scans = EncodeScans(trace.scans);
        const bool bound =
            BindInt(insert, 1, sampleIndex + 1) && BindInt(insert, 2, trace.entry) && BindInt(insert, 3, trace.slot) &&
            BindText(insert, 4, trace.trace) &&
            BindReal(insert, 5, trace.slot == kQuantifierSlot ? std::nan("") : trace.expectedRatio) &&
            BindReal(insert, 6, trace.overlayScale) &&
            (trace.internalStandard > 0 ? BindInt(insert, 7, trace.internalStandard)
                                        : sqlite3_bind_null(insert.handle, 7) == SQLITE_OK) &&
            BindReal(insert, 8, trace.predictedRT) && BindReal(insert, 9, trace.windowStart) &&
            BindReal(insert, 10, trace.windowEnd) && BindInt(insert, 11, static_cast<int>(trace.times.size())) &&
            BindBlob(insert, 12, times.data(), times.size()) && BindBlob(insert, 13, intensities.data(), intensities.size()) &&
            BindInt(insert, 14, trace.firstScan) &&
            (trace.scans.empty() ? sqlite3_bind_null(insert.handle, 15) == SQLITE_OK
                                 : BindBlob(insert, 15, scans.data(), scans.size()));
        if (!bound || !StepInsert(database, insert, message))
            return Fail("cannot write", message.empty() ? database.Message() : message, error);
    }
    return true;
}

bool ResultsDatabaseWriter::Finish(const BatchResults& results, std::string& error) {
    if (!AddResults(results, {}, error)) return false;
    std::string message;
    bool batchWritten = false;
    {
        Statement batch;
        batchWritten = Prepare(m_state->database, InsertSql("batch", 3), batch, message) &&
                       BindOptionalText(batch, 1, results.methodFile) &&
                       BindInt(batch, 2, static_cast<int>(results.samples.size())) &&
                       BindInt(batch, 3, static_cast<int>(results.curves.size())) &&
                       StepInsert(m_state->database, batch, message);
    }
    if (!batchWritten || !InsertRun(m_state->database, results, message) ||
        !InsertCurves(m_state->database, m_state->inserts, results.curves, message) ||
        !InsertAcceptance(m_state->database, results, message) ||
        !Execute(m_state->database, "COMMIT", message))
        return Fail("cannot write", message.empty() ? m_state->database.Message() : message, error);
    FinalizeInserts(m_state->inserts);
    if (sqlite3_close(m_state->database.handle) != SQLITE_OK)
        return Fail("cannot close", m_state->database.Message(), error);
    m_state->database.handle = nullptr;
    const std::string temporary = m_state->temporary, path = m_state->path;
    m_state.reset();
    return CommitTemporary(temporary, path, error);
}

// ---- rows written into a database the caller holds (ResultsRows.h) ---------------------------

struct ResultsRowWriter::State {
    Connection database;
    Inserts inserts;
    SharedPeakValues shared;
    ~State() { FinalizeInserts(inserts); }
};

ResultsRowWriter::ResultsRowWriter() = default;
ResultsRowWriter::~ResultsRowWriter() = default;

bool ResultsRowWriter::Prepare(sqlite3* database, bool replace, std::string& error) {
    m_state = std::make_unique<State>();
    m_state->database.handle = database;
    // New value sets are numbered after those the database holds.
    for (int group : {kEntrySettings, kSampleSettings}) {
        Statement last;
        if (!Batch::Prepare(m_state->database, std::string("SELECT coalesce(max(id), 0) FROM ") + kGroupTables[group], last,
                            error))
            return false;
        if (sqlite3_step(last.handle) == SQLITE_ROW) m_state->shared.after[group] = sqlite3_column_int(last.handle, 0);
    }
    return PrepareInserts(m_state->database, m_state->inserts, error, replace);
}

bool ResultsRowWriter::WriteSamples(const BatchResults& results, size_t from, size_t to, std::string& error) {
    return m_state && InsertSamples(m_state->database, m_state->inserts.sample, results, from, to, error);
}

bool ResultsRowWriter::WriteRows(const BatchResults& results, const std::vector<ResultRow>& rows, std::string& error) {
    return m_state && InsertResults(m_state->database, m_state->inserts, m_state->shared, results, rows, error);
}

bool ResultsRowWriter::WriteCurves(const std::vector<CurveResult>& curves, std::string& error) {
    return m_state && InsertCurves(m_state->database, m_state->inserts, curves, error);
}

bool ResultsRowWriter::WriteAcceptance(const BatchResults& results, std::string& error) {
    return m_state && InsertAcceptance(m_state->database, results, error);
}

bool WriteResultsDatabase(const std::string& path, const BatchResults& results, std::string& error) {
    ResultsDatabaseWriter writer;
    return writer.Open(path, error) && writer.AddResults(results, results.rows, error) && writer.Finish(results, error);
}

bool ReadCurvesFromDatabase(const std::string& path, const CMethodList& method, CCalibrationList& curves,
                            std::string& error) {
    if (path.empty()) {
        error = "no file name given for the curves database";
        return false;
    }
    std::vector<StoredCurve> stored;
    {
        Database database;
        if (sqlite3_open_v2(path.c_str(), &database.handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            error = "cannot open " + path + ": " + database.Message();
            return false;
        }
        if (!ReadStoredCurves(database, path, stored, error)) return false;
    }
    std::vector<CCalibrationData> loaded(stored.size());
    for (size_t i = 0; i < stored.size(); ++i) loaded[i] = stored[i].record;
    if (!CurvesMatchMethod(stored, loaded, path, method, error)) return false;

    CCalibrationList list;
    for (const CCalibrationData& curve : loaded) list.Add(curve);
    list.SetDBName(curves.GetDBName());
    list.SetCreationDate(curves.GetCreationDate());
    list.SetCreationTime(curves.GetCreationTime());
    list.SetModifiedTime(curves.GetModifiedTime());
    curves = list;
    return true;
}

bool ReadCurveRecords(const std::string& path, std::vector<std::pair<int, CCalibrationData>>& curves,
                      std::string& error) {
    std::vector<StoredCurve> stored;
    Database database;
    if (sqlite3_open_v2(path.c_str(), &database.handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        error = "cannot open " + path + ": " + database.Message();
        return false;
    }
    if (!ReadStoredCurves(database, path, stored, error)) return false;
    std::vector<std::pair<int, CCalibrationData>> read;
    for (const StoredCurve& curve : stored) {
        read.emplace_back(curve.entry, CCalibrationData());
        read.back().second = curve.record;
    }
    curves = std::move(read);
    return true;
}

}  // namespace Batch
