// The audit table and its hash chain (AuditTrail.h). Each row's hash is SHA-256 over the
// previous row's hash (64 hexadecimal digits) followed by the canonical text of the row's own
// columns, id to version in table order, each written by its storage class:
//   NULL "N;"   INTEGER "I" decimal ";"   REAL "R" shortest exact text ";"
//   TEXT "T" byte count ":" bytes ";"     BLOB "B" byte count ":" bytes ";"
// The shortest exact text is the fewest digits that read back as the same double, in plain or
// scientific notation, whichever is shorter ("12.5", "1e-07", "100"), independent of locale.
// A row is hashed from the values as SQLite hands them back, so a third party recomputes it
// from `SELECT * FROM audit` with typeof() alone (docs/RESULTS_DATABASE.md shows how).
#include "workflow/review/AuditTrail.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <iterator>

#include "platform/Sha256.h"
#include "workflow/study/SqlHandles.h"
#include "workflow/support/Version.h"

namespace Batch {

namespace {

using Study::SqlStatement;

// ---- the columns ------------------------------------------------------------------------------

enum class CellKind { kNull, kInteger, kReal, kText, kBlob };

// One stored value, as SQLite gives it back.
struct Cell {
    CellKind kind = CellKind::kNull;
    long long integer = 0;
    double real = 0.0;
    std::string text;  // TEXT and BLOB bytes
};

Cell Integer(long long value) { return {CellKind::kInteger, value, 0.0, {}}; }
Cell Text(std::string text) { return {CellKind::kText, 0, 0.0, std::move(text)}; }
Cell OptionalText(std::string text) { return text.empty() ? Cell{} : Text(std::move(text)); }
// Absent numbers are NULL; negative zero is stored as zero (SQLite may not keep its sign).
Cell Real(double value) {
    if (!std::isfinite(value)) return {};
    return {CellKind::kReal, 0, value == 0.0 ? 0.0 : value, {}};
}

// The table's columns in order; every one but the last two goes into the row's hash.
constexpr const char* kColumns[][2] = {
    // AUTOINCREMENT: an id is never given twice, so a last row deleted leaves a gap that the
    // next change shows, rather than a whole chain under the same ids.
    {"id", "INTEGER PRIMARY KEY AUTOINCREMENT"},
    {"time", "TEXT NOT NULL"},
    {"user", "TEXT NOT NULL"},
    {"action", "TEXT NOT NULL"},
    {"sample", "TEXT"},
    {"compound", "TEXT"},
    {"slot", "INTEGER NOT NULL"},
    {"change_kind", "TEXT"},
    {"change_start", "REAL"},
    {"change_end", "REAL"},
    {"change_baseline_start", "REAL"},
    {"change_baseline_end", "REAL"},
    {"change_apex", "REAL"},
#define AUDIT_VALUE_COLUMNS(when)                                                                        \
    {when "_found", "INTEGER"}, {when "_start", "REAL"}, {when "_end", "REAL"},                          \
        {when "_baseline_start", "REAL"}, {when "_baseline_end", "REAL"}, {when "_area", "REAL"},         \
        {when "_height", "REAL"}, {when "_response", "REAL"}, {when "_concentration", "REAL"},           \
        {when "_flags", "TEXT"}
    AUDIT_VALUE_COLUMNS("before"),
    AUDIT_VALUE_COLUMNS("after"),
#undef AUDIT_VALUE_COLUMNS
    {"reason", "TEXT NOT NULL"},
    {"version", "TEXT NOT NULL"},
    {"previous_hash", "TEXT NOT NULL"},
    {"hash", "TEXT NOT NULL"},
};
constexpr int kColumnCount = static_cast<int>(std::size(kColumns));
constexpr int kHashedColumns = kColumnCount - 2;
constexpr int kValueColumns = 10;

std::string ColumnList() {
    std::string list;
    for (int i = 0; i < kColumnCount; ++i) list += (i > 0 ? ", " : "") + std::string(kColumns[i][0]);
    return list;
}

std::string TableSql() {
    std::string sql = "CREATE TABLE IF NOT EXISTS audit (";
    for (int i = 0; i < kColumnCount; ++i) sql += (i > 0 ? ", " : "") + std::string(kColumns[i][0]) + " " + kColumns[i][1];
    return sql + ");";
}

constexpr const char* kTriggersSql = R"(
CREATE TRIGGER IF NOT EXISTS audit_no_update BEFORE UPDATE ON audit
BEGIN SELECT RAISE(ABORT, 'the audit trail is append-only: its rows cannot be changed'); END;
CREATE TRIGGER IF NOT EXISTS audit_no_delete BEFORE DELETE ON audit
BEGIN SELECT RAISE(ABORT, 'the audit trail is append-only: its rows cannot be deleted'); END;
)";

void AddValueCells(const AuditValues& values, std::vector<Cell>& cells) {
    cells.push_back(Integer(values.found ? 1 : 0));
    for (double number : {values.start, values.end, values.baselineStart, values.baselineEnd, values.area,
                          values.height, values.response, values.conc})
        cells.push_back(Real(number));
    cells.push_back(OptionalText(values.flags));
}

// The row's cells, id to version, as they are stored. A change's numbers are kept only where
// its kind uses them.
std::vector<Cell> EntryCells(const AuditEntry& entry) {
    std::vector<Cell> cells = {Integer(entry.id),          Text(entry.time),     Text(entry.user),
                               Text(entry.action),         OptionalText(entry.sample),
                               OptionalText(entry.compound), Integer(entry.slot)};
    const IntegrationChange& change = entry.change;
    const bool integration = IsIntegrationAction(entry.action);
    const bool bounds = integration && change.kind == IntegrationKind::kBounds;
    const bool chosen = integration && change.kind == IntegrationKind::kChosenPeak;
    cells.push_back(integration ? Text(IntegrationKindText(change.kind)) : Cell{});
    for (double number : {change.start, change.end, change.baselineStart, change.baselineEnd})
        cells.push_back(bounds ? Real(number) : Cell{});
    cells.push_back(chosen ? Real(change.apexRT) : Cell{});
    AddValueCells(entry.before, cells);
    AddValueCells(entry.after, cells);
    cells.push_back(Text(entry.reason));
    cells.push_back(Text(entry.version));
    return cells;
}

void AppendCanonical(const Cell& cell, std::string& out) {
    switch (cell.kind) {
        case CellKind::kNull: out += "N;"; return;
        case CellKind::kInteger:
            // Appended piece by piece: g++ 12's optimised build warns of an overlapping copy in "I" + string.
            out += 'I';
            out += std::to_string(cell.integer);
            out += ';';
            return;
        case CellKind::kReal: {
            // std::to_chars' own shortest form (fixed or scientific, whichever is shorter), which
            // the format's description can state without reference to printf's %g rules.
            char text[32];
            const auto written = std::to_chars(text, text + sizeof text, cell.real);
            out += "R";
            out.append(text, written.ptr);
            out += ";";
            return;
        }
        case CellKind::kText:
        case CellKind::kBlob:
            out += cell.kind == CellKind::kText ? "T" : "B";
            out += std::to_string(cell.text.size()) + ":";
            out += cell.text;
            out += ";";
            return;
    }
}

std::string RowHash(const std::string& previousHash, const std::vector<Cell>& cells) {
    std::string canonical = previousHash;
    for (const Cell& cell : cells) AppendCanonical(cell, canonical);
    return QuanPlatform::Sha256Hex(canonical);
}

bool BindCell(SqlStatement& statement, int index, const Cell& cell) {
    switch (cell.kind) {
        case CellKind::kNull: return sqlite3_bind_null(statement.handle, index) == SQLITE_OK;
        case CellKind::kInteger: return statement.Int(index, cell.integer);
        case CellKind::kReal: return sqlite3_bind_double(statement.handle, index, cell.real) == SQLITE_OK;
        case CellKind::kText: return statement.Text(index, cell.text);
        case CellKind::kBlob:
            return sqlite3_bind_blob(statement.handle, index, cell.text.data(), static_cast<int>(cell.text.size()),
                                     SQLITE_TRANSIENT) == SQLITE_OK;
    }
    return false;
}

Cell ColumnCell(sqlite3_stmt* statement, int column) {
    switch (sqlite3_column_type(statement, column)) {
        case SQLITE_INTEGER: return Integer(sqlite3_column_int64(statement, column));
        case SQLITE_FLOAT: return {CellKind::kReal, 0, sqlite3_column_double(statement, column), {}};
        case SQLITE_TEXT:
        case SQLITE_BLOB: {
            const bool text = sqlite3_column_type(statement, column) == SQLITE_TEXT;
            const void* bytes = text ? static_cast<const void*>(sqlite3_column_text(statement, column))
                                     : sqlite3_column_blob(statement, column);
            const int size = sqlite3_column_bytes(statement, column);
            return {text ? CellKind::kText : CellKind::kBlob, 0, 0.0,
                    bytes != nullptr ? std::string(static_cast<const char*>(bytes), static_cast<size_t>(size)) : std::string()};
        }
        default: return {};
    }
}

bool TableExists(sqlite3* db, const char* type, const char* name) {
    SqlStatement query;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE type = ?1 AND name = ?2", -1, &query.handle,
                           nullptr) != SQLITE_OK)
        return false;
    query.Text(1, type);
    query.Text(2, name);
    return sqlite3_step(query.handle) == SQLITE_ROW;
}

bool Execute(sqlite3* db, const std::string& sql, std::string& error) {
    char* failure = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &failure) == SQLITE_OK) return true;
    error = failure != nullptr ? failure : sqlite3_errmsg(db);
    sqlite3_free(failure);
    return false;
}

// The last row's id and hash; id 0 and the chain's start when the table is empty.
bool LastRow(sqlite3* db, long long& id, std::string& hash, std::string& error) {
    SqlStatement query;
    if (sqlite3_prepare_v2(db, "SELECT id, hash FROM audit ORDER BY id DESC LIMIT 1", -1, &query.handle, nullptr) !=
        SQLITE_OK) {
        error = sqlite3_errmsg(db);
        return false;
    }
    const int step = sqlite3_step(query.handle);
    if (step == SQLITE_DONE) {
        id = 0;
        hash = kChainStart;
        return true;
    }
    if (step != SQLITE_ROW) {
        error = sqlite3_errmsg(db);
        return false;
    }
    id = sqlite3_column_int64(query.handle, 0);
    hash = query.ColumnText(1);
    return true;
}

// The highest id ever given (the rows after it may have been deleted).
long long HighestIdGiven(sqlite3* db, long long lastId) {
    SqlStatement query;
    if (sqlite3_prepare_v2(db, "SELECT seq FROM sqlite_sequence WHERE name = 'audit'", -1, &query.handle, nullptr) !=
            SQLITE_OK ||
        sqlite3_step(query.handle) != SQLITE_ROW)
        return lastId;
    return std::max(lastId, static_cast<long long>(sqlite3_column_int64(query.handle, 0)));
}

double NumberOr(const Cell& cell, double absent) {
    if (cell.kind == CellKind::kReal) return cell.real;
    if (cell.kind == CellKind::kInteger) return static_cast<double>(cell.integer);
    return absent;
}

void ReadValues(const std::vector<Cell>& cells, size_t at, AuditValues& values) {
    values.found = cells[at].kind == CellKind::kInteger && cells[at].integer != 0;
    double* numbers[] = {&values.start,  &values.end,    &values.baselineStart, &values.baselineEnd,
                         &values.area,   &values.height, &values.response,      &values.conc};
    for (size_t i = 0; i < std::size(numbers); ++i) *numbers[i] = NumberOr(cells[at + 1 + i], std::nan(""));
    values.flags = cells[at + 9].text;
}

AuditEntry EntryFromCells(const std::vector<Cell>& cells) {
    AuditEntry entry;
    entry.id = cells[0].integer;
    entry.time = cells[1].text;
    entry.user = cells[2].text;
    entry.action = cells[3].text;
    entry.sample = cells[4].text;
    entry.compound = cells[5].text;
    entry.slot = static_cast<int>(cells[6].integer);
    IntegrationChange& change = entry.change;
    if (cells[7].kind == CellKind::kText) IntegrationKindFromText(cells[7].text, change.kind);
    change.start = NumberOr(cells[8], 0.0);
    change.end = NumberOr(cells[9], 0.0);
    change.baselineStart = NumberOr(cells[10], 0.0);
    change.baselineEnd = NumberOr(cells[11], 0.0);
    change.apexRT = NumberOr(cells[12], 0.0);
    ReadValues(cells, 13, entry.before);
    ReadValues(cells, 13 + kValueColumns, entry.after);
    entry.reason = cells[13 + 2 * kValueColumns].text;
    entry.version = cells[14 + 2 * kValueColumns].text;
    entry.previousHash = cells[15 + 2 * kValueColumns].text;
    entry.hash = cells[16 + 2 * kValueColumns].text;
    change.sample = entry.sample;
    change.compound = entry.compound;
    change.slot = entry.slot;
    change.user = entry.user;
    change.time = entry.time;
    change.reason = entry.reason;
    return entry;
}

// Every row as stored, in id order.
bool ReadRows(sqlite3* db, std::vector<std::vector<Cell>>& rows, std::string& error) {
    SqlStatement query;
    const std::string sql = "SELECT " + ColumnList() + " FROM audit ORDER BY id";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &query.handle, nullptr) != SQLITE_OK) {
        error = std::string("cannot read the audit trail: ") + sqlite3_errmsg(db);
        return false;
    }
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(query.handle)) == SQLITE_ROW) {
        std::vector<Cell> cells;
        for (int i = 0; i < kColumnCount; ++i) cells.push_back(ColumnCell(query.handle, i));
        rows.push_back(std::move(cells));
    }
    if (step != SQLITE_DONE) {
        error = std::string("cannot read the audit trail: ") + sqlite3_errmsg(db);
        return false;
    }
    return true;
}

std::string DatabaseName(sqlite3* db) {
    const char* name = sqlite3_db_filename(db, "main");
    return name != nullptr ? name : "";
}

bool IsHexHash(const std::string& text) {
    if (text.size() != 64) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

}  // namespace

const char* IntegrationAction(IntegrationKind kind) {
    switch (kind) {
        case IntegrationKind::kBounds: return kActionIntegrate;
        case IntegrationKind::kChosenPeak: return kActionChoosePeak;
        case IntegrationKind::kNoPeak: return kActionNoPeak;
        case IntegrationKind::kAutomatic: return kActionAutomatic;
    }
    return kActionIntegrate;
}

bool IsIntegrationAction(std::string_view action) {
    return action == kActionIntegrate || action == kActionChoosePeak || action == kActionNoPeak ||
           action == kActionAutomatic;
}

bool CreateAuditTable(sqlite3* db, std::string& error) {
    if (db == nullptr) {
        error = "no database to create the audit table in";
        return false;
    }
    return Execute(db, TableSql() + kTriggersSql, error);
}

bool AppendAudit(sqlite3* db, AuditEntry& entry, std::string& error) {
    if (db == nullptr) {
        error = "no database to append the audit row to";
        return false;
    }
    if (entry.user.empty() || entry.action.empty() || entry.reason.empty()) {
        error = std::string("an audit row needs ") +
                (entry.user.empty() ? "a user" : entry.action.empty() ? "an action" : "a reason");
        return false;
    }
    // A savepoint nests in the caller's transaction, and is a transaction of its own outside one.
    if (!Execute(db, "SAVEPOINT audit_append", error)) return false;
    const auto undo = [db] {
        std::string ignored;
        Execute(db, "ROLLBACK TO audit_append; RELEASE audit_append", ignored);
        return false;
    };
    AuditEntry row = entry;
    long long lastId = 0;
    if (!LastRow(db, lastId, row.previousHash, error)) return undo();
    row.id = HighestIdGiven(db, lastId) + 1;
    if (row.time.empty()) row.time = UtcNow();
    if (row.version.empty()) row.version = ProgramVersion();
    const std::vector<Cell> cells = EntryCells(row);
    row.hash = RowHash(row.previousHash, cells);
    SqlStatement insert;
    std::string sql = "INSERT INTO audit (" + ColumnList() + ") VALUES (";
    for (int i = 0; i < kColumnCount; ++i) sql += i > 0 ? ", ?" : "?";
    sql += ")";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &insert.handle, nullptr) != SQLITE_OK) {
        error = std::string("cannot append to the audit trail: ") + sqlite3_errmsg(db);
        return undo();
    }
    bool bound = true;
    for (int i = 0; i < kHashedColumns; ++i) bound = bound && BindCell(insert, i + 1, cells[i]);
    bound = bound && insert.Text(kHashedColumns + 1, row.previousHash) && insert.Text(kHashedColumns + 2, row.hash);
    if (!bound || sqlite3_step(insert.handle) != SQLITE_DONE) {
        error = std::string("cannot append to the audit trail: ") + sqlite3_errmsg(db);
        return undo();
    }
    if (!Execute(db, "RELEASE audit_append", error)) return undo();
    entry = std::move(row);
    return true;
}

bool ReadAudit(sqlite3* db, std::vector<AuditEntry>& entries, std::string& error) {
    if (db == nullptr) {
        error = "no database to read the audit trail from";
        return false;
    }
    std::vector<AuditEntry> read;
    if (TableExists(db, "table", "audit")) {
        std::vector<std::vector<Cell>> rows;
        if (!ReadRows(db, rows, error)) return false;
        for (const auto& cells : rows) read.push_back(EntryFromCells(cells));
    }
    entries = std::move(read);
    return true;
}

std::vector<Problem> VerifyAuditChain(sqlite3* db) {
    std::vector<Problem> problems;
    const std::string file = db != nullptr ? DatabaseName(db) : std::string();
    const auto problem = [&](long long id, const std::string& message) {
        problems.push_back({file, 0, 0, message, id > 0 ? "audit row " + std::to_string(id) : std::string()});
    };
    if (db == nullptr || !TableExists(db, "table", "audit")) {
        problem(0, "there is no audit table (the results were written by an older version, or it was dropped)");
        return problems;
    }
    for (const char* trigger : {"audit_no_update", "audit_no_delete"})
        if (!TableExists(db, "trigger", trigger))
            problem(0, std::string("the trigger ") + trigger +
                           " that keeps the audit trail append-only is missing: it was dropped outside the program");
    std::vector<std::vector<Cell>> rows;
    std::string error;
    if (!ReadRows(db, rows, error)) {
        problem(0, error);
        return problems;
    }
    long long expectedId = 1;
    std::string previousHash = kChainStart;
    long long previousId = 0;
    for (const auto& cells : rows) {
        const Cell& idCell = cells[0];
        const long long id = idCell.integer;
        if (id > expectedId)
            problem(id, id == expectedId + 1 ? "row " + std::to_string(expectedId) + " is missing: it was deleted"
                                             : "rows " + std::to_string(expectedId) + " to " + std::to_string(id - 1) +
                                                   " are missing: they were deleted");
        else if (id < expectedId)
            problem(id, "the row is numbered out of order (after row " + std::to_string(previousId) + ")");
        const Cell& previousCell = cells[kHashedColumns];
        const Cell& hashCell = cells[kHashedColumns + 1];
        if (previousCell.kind != CellKind::kText || previousCell.text != previousHash)
            problem(id, previousId == 0 ? "the first row does not start the chain: rows before it were deleted"
                                        : "the row does not follow row " + std::to_string(previousId) +
                                              " (its previous hash differs from that row's hash): rows were deleted, "
                                              "inserted or reordered");
        const std::vector<Cell> content(cells.begin(), cells.begin() + kHashedColumns);
        const std::string recomputed =
            RowHash(previousCell.kind == CellKind::kText ? previousCell.text : std::string(), content);
        if (hashCell.kind != CellKind::kText || !IsHexHash(hashCell.text))
            problem(id, "the row's hash is not 64 hexadecimal digits: it was edited outside the program");
        else if (hashCell.text != recomputed)
            problem(id, "the row's content does not give its hash: it was edited outside the program");
        previousHash = hashCell.text;
        previousId = id;
        expectedId = id + 1;
    }
    return problems;
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace Batch
