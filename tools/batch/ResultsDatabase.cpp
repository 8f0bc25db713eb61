// Writing the results database and reading curves back from it. Every value goes in through a
// bound parameter; the only text built into SQL is the column names, which come from the
// program's own tables and are quoted as identifiers. The database is built under a temporary
// name in one transaction, so a reader never sees half a batch and a failed run leaves the
// earlier database in place.
#include "tools/batch/ResultsDatabase.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "platform/NumberText.h"
#include "report/PeakFieldStrings.h"
#include "tools/batch/SafeFile.h"

namespace Batch {

namespace {

// ---- SQLite handles -------------------------------------------------------------------------

struct Database {
    sqlite3* handle = nullptr;
    Database() = default;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database() { sqlite3_close(handle); }  // closing null does nothing
    std::string Message() const { return handle != nullptr ? sqlite3_errmsg(handle) : "out of memory"; }
};

struct Statement {
    sqlite3_stmt* handle = nullptr;
    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(handle); }
};

bool Prepare(Database& database, const std::string& sql, Statement& statement, std::string& error) {
    if (sqlite3_prepare_v2(database.handle, sql.c_str(), static_cast<int>(sql.size()), &statement.handle, nullptr) ==
        SQLITE_OK)
        return true;
    error = database.Message();
    return false;
}

bool Execute(Database& database, const std::string& sql, std::string& error) {
    Statement statement;
    if (!Prepare(database, sql, statement, error)) return false;
    if (sqlite3_step(statement.handle) == SQLITE_DONE) return true;
    error = database.Message();
    return false;
}

bool BindText(Statement& statement, int index, const std::string& text) {
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
bool StepInsert(Database& database, Statement& statement, std::string& error) {
    const bool done = sqlite3_step(statement.handle) == SQLITE_DONE;
    if (!done) error = database.Message();
    sqlite3_reset(statement.handle);
    sqlite3_clear_bindings(statement.handle);
    return done;
}

// ---- table layout ---------------------------------------------------------------------------

std::string QuotedIdentifier(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

struct Column {
    std::string name;
    const char* type;
};

// Column names as SQLite compares them: ASCII letters without case.
std::string Folded(const std::string& name) { return NumberText::LowerAscii(name); }

// Adds a column, appending "_number" until the name is free: two peak fields may share a
// name, and a peak field may share one with a results column ("Area").
void AddUniqueColumn(std::vector<Column>& columns, std::set<std::string>& taken, std::string name, int number,
                     const char* type) {
    while (!taken.insert(Folded(name)).second) name += "_" + std::to_string(number);
    columns.push_back({name, type});
}

std::vector<Column> SampleColumns() {
    return {{"position", "INTEGER"},   {"id", "TEXT"},        {"type", "TEXT"},
            {"type_number", "INTEGER"}, {"description", "TEXT"}, {"peak_file", "TEXT"},
            {"locate_status", "INTEGER"}, {"quantify_status", "INTEGER"}};
}

std::vector<Column> ResultTableColumns() {
    std::vector<Column> columns;
    std::set<std::string> taken;
    AddUniqueColumn(columns, taken, "sample_position", 0, "INTEGER");
    AddUniqueColumn(columns, taken, "entry", 0, "INTEGER");
    for (const std::string& name : ResultColumns()) AddUniqueColumn(columns, taken, name, 0, "TEXT");
    for (const PeakFieldInfo& field : PeakFieldList())
        AddUniqueColumn(columns, taken, field.name, static_cast<int>(field.field), "TEXT");
    return columns;
}

struct CurveReportField {
    CCalibrationData::CalibrationDataFields field;
    const char* name;
};

constexpr CurveReportField kCurveReportFields[] = {
#define CURVE_REPORT_FIELD(number, Name, Getter) {CCalibrationData::kCali##Name, #Name},
#include "report/CurveReportFields.def"
};

std::vector<Column> CurveTableColumns() {
    std::vector<Column> columns;
    std::set<std::string> taken;
    AddUniqueColumn(columns, taken, "entry", 0, "INTEGER");
    AddUniqueColumn(columns, taken, "compound", 0, "TEXT");
    AddUniqueColumn(columns, taken, "description", 0, "TEXT");
    for (const CurveReportField& field : kCurveReportFields)
        AddUniqueColumn(columns, taken, field.name, static_cast<int>(field.field), "TEXT");
    AddUniqueColumn(columns, taken, "record", 0, "BLOB");
    return columns;
}

std::string CreateTableSql(const std::string& table, const std::vector<Column>& columns) {
    std::string sql = "CREATE TABLE " + QuotedIdentifier(table) + " (";
    for (size_t i = 0; i < columns.size(); ++i)
        sql += (i > 0 ? ", " : "") + QuotedIdentifier(columns[i].name) + " " + columns[i].type;
    return sql + ")";
}

std::string InsertSql(const std::string& table, size_t columnCount) {
    std::string sql = "INSERT INTO " + QuotedIdentifier(table) + " VALUES (";
    for (size_t i = 0; i < columnCount; ++i) sql += i > 0 ? ", ?" : "?";
    return sql + ")";
}

// ---- rows -----------------------------------------------------------------------------------

bool InsertSamples(Database& database, const BatchResults& results, size_t from, std::string& error) {
    Statement insert;
    if (!Prepare(database, InsertSql("samples", SampleColumns().size()), insert, error)) return false;
    for (size_t i = from; i < results.samples.size(); ++i) {
        const SampleResult& sample = results.samples[i];
        const bool bound = BindInt(insert, 1, static_cast<int>(i) + 1) && BindText(insert, 2, sample.id) &&
                           BindText(insert, 3, sample.type) && BindInt(insert, 4, sample.typeNumber) &&
                           BindText(insert, 5, sample.description) && BindText(insert, 6, sample.peakFile) &&
                           BindInt(insert, 7, sample.locateStatus) && BindInt(insert, 8, sample.quantifyStatus);
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

bool InsertResults(Database& database, const BatchResults& results, const std::vector<ResultRow>& rows,
                   std::string& error) {
    const size_t peakFieldCount = PeakFieldList().size();
    Statement insert;
    if (!Prepare(database, InsertSql("results", ResultTableColumns().size()), insert, error)) return false;
    for (const ResultRow& row : rows) {
        const std::vector<std::string> cells = ResultCells(results, row);
        // A row without any peak field text has no peak; any other count is a fault upstream
        // that would shift every column after it.
        const std::vector<std::string> peakFields = row.PeakFieldTexts();
        if (!peakFields.empty() && peakFields.size() != peakFieldCount) {
            error = RowName(results, row) + " has " + std::to_string(peakFields.size()) +
                    " peak fields, not " + std::to_string(peakFieldCount);
            return false;
        }
        int index = 1;
        bool bound = BindInt(insert, index++, row.sample + 1) && BindInt(insert, index++, row.entry);
        for (const std::string& cell : cells) bound = bound && BindText(insert, index++, cell);
        for (size_t i = 0; i < peakFieldCount; ++i)
            bound = bound && BindText(insert, index++, peakFields.empty() ? std::string() : peakFields[i]);
        if (!bound) {
            error = database.Message();
            return false;
        }
        if (!StepInsert(database, insert, error)) return false;
    }
    return true;
}

std::string CurveFieldText(const CCalibrationData& curve, CCalibrationData::CalibrationDataFields field) {
    std::string text;
    double number = std::nan("");
    if (!curve.GetFieldStr(field, false, text, number)) return std::string();
    return NumberCell(number);
}

bool InsertCurves(Database& database, const BatchResults& results, std::string& error) {
    Statement insert;
    if (!Prepare(database, InsertSql("curves", CurveTableColumns().size()), insert, error)) return false;
    for (const CurveResult& result : results.curves) {
        _tagINTERNAL_CURVE_DB_RECORD record{};
        result.curve.GetRecord(record);
        int index = 1;
        bool bound = BindInt(insert, index++, result.entry) && BindText(insert, index++, result.compound) &&
                     BindText(insert, index++, result.description);
        for (const CurveReportField& field : kCurveReportFields)
            bound = bound && BindText(insert, index++, CurveFieldText(result.curve, field.field));
        bound = bound && BindBlob(insert, index++, &record, sizeof record);
        if (!bound) {
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

bool ReadStoredCurves(Database& database, const std::string& path, std::vector<StoredCurve>& stored,
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
        if (bytes == nullptr || size != static_cast<int>(sizeof curve.record)) {
            error = where + " has " + std::to_string(size) + " bytes, not " + std::to_string(sizeof curve.record);
            return false;
        }
        std::memcpy(&curve.record, bytes, sizeof curve.record);
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
    std::string path, temporary;
    size_t samplesWritten = 0;
    bool open = false;
};

ResultsDatabaseWriter::ResultsDatabaseWriter() = default;

ResultsDatabaseWriter::~ResultsDatabaseWriter() { Abandon(); }

void ResultsDatabaseWriter::Abandon() {
    if (!m_state) return;
    sqlite3_close(m_state->database.handle);
    m_state->database.handle = nullptr;
    RemoveTemporary(m_state->temporary);
    m_state.reset();
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
    if (sqlite3_open_v2(m_state->temporary.c_str(), &m_state->database.handle,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        return Fail("cannot create", m_state->database.Message(), error);
    // The file is thrown away whole if anything fails, and flushed once when complete, so it
    // needs no rollback journal of its own (and leaves none behind an interrupted run).
    std::string message;
    // The journal pragma answers with a row, so it goes through sqlite3_exec.
    const bool ready = sqlite3_exec(m_state->database.handle, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF",
                                    nullptr, nullptr, nullptr) == SQLITE_OK &&
                       Execute(m_state->database, "BEGIN", message) &&
                       Execute(m_state->database, CreateTableSql("samples", SampleColumns()), message) &&
                       Execute(m_state->database, CreateTableSql("results", ResultTableColumns()), message) &&
                       Execute(m_state->database, CreateTableSql("curves", CurveTableColumns()), message);
    if (!ready) return Fail("cannot write", message, error);
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
    if (!InsertSamples(m_state->database, results, m_state->samplesWritten, message) ||
        !InsertResults(m_state->database, results, rows, message))
        return Fail("cannot write", message, error);
    m_state->samplesWritten = results.samples.size();
    return true;
}

bool ResultsDatabaseWriter::Finish(const BatchResults& results, std::string& error) {
    if (!AddResults(results, {}, error)) return false;
    std::string message;
    if (!InsertCurves(m_state->database, results, message) || !Execute(m_state->database, "COMMIT", message))
        return Fail("cannot write", message, error);
    if (sqlite3_close(m_state->database.handle) != SQLITE_OK)
        return Fail("cannot close", m_state->database.Message(), error);
    m_state->database.handle = nullptr;
    const std::string temporary = m_state->temporary, path = m_state->path;
    m_state.reset();
    return CommitTemporary(temporary, path, error);
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

}  // namespace Batch
