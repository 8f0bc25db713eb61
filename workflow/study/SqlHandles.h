// Owning handles for SQLite connections and statements, and the few calls the study code makes
// through them. Every value goes in through a bound parameter; an absent number (NaN) is bound
// as NULL, never stored as a number.
#pragma once

#include <sqlite3.h>

#include <cmath>
#include <string>
#include <string_view>

namespace Study {

struct SqlDatabase {
    sqlite3* handle = nullptr;
    SqlDatabase() = default;
    SqlDatabase(const SqlDatabase&) = delete;
    SqlDatabase& operator=(const SqlDatabase&) = delete;
    ~SqlDatabase() { Close(); }
    void Close() {
        sqlite3_close(handle);  // closing null does nothing
        handle = nullptr;
    }
    std::string Message() const { return handle != nullptr ? sqlite3_errmsg(handle) : "out of memory"; }
};

struct SqlStatement {
    sqlite3_stmt* handle = nullptr;
    SqlStatement() = default;
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;
    ~SqlStatement() { sqlite3_finalize(handle); }

    bool Prepare(SqlDatabase& database, const std::string& sql, std::string& error) {
        sqlite3_finalize(handle);
        handle = nullptr;
        if (sqlite3_prepare_v2(database.handle, sql.c_str(), static_cast<int>(sql.size()), &handle, nullptr) ==
            SQLITE_OK)
            return true;
        error = database.Message();
        return false;
    }
    bool Text(int index, std::string_view text) {
        return sqlite3_bind_text(handle, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) ==
               SQLITE_OK;
    }
    bool Int(int index, long long value) { return sqlite3_bind_int64(handle, index, value) == SQLITE_OK; }
    bool Real(int index, double value) {
        return std::isfinite(value) ? sqlite3_bind_double(handle, index, value) == SQLITE_OK
                                    : sqlite3_bind_null(handle, index) == SQLITE_OK;
    }
    // Runs a statement that returns no rows and makes it ready for the next.
    bool Run(SqlDatabase& database, std::string& error) {
        const bool done = sqlite3_step(handle) == SQLITE_DONE;
        if (!done) error = database.Message();
        sqlite3_reset(handle);
        sqlite3_clear_bindings(handle);
        return done;
    }
    std::string ColumnText(int column) const {
        const unsigned char* text = sqlite3_column_text(handle, column);
        return text != nullptr ? std::string(reinterpret_cast<const char*>(text),
                                             static_cast<size_t>(sqlite3_column_bytes(handle, column)))
                               : std::string();
    }
    // NaN for NULL.
    double ColumnReal(int column) const {
        return sqlite3_column_type(handle, column) == SQLITE_NULL ? std::nan("") : sqlite3_column_double(handle, column);
    }
    long long ColumnInt(int column) const { return sqlite3_column_int64(handle, column); }
    bool ColumnIsNull(int column) const { return sqlite3_column_type(handle, column) == SQLITE_NULL; }
};

// Runs SQL text (several statements allowed) that returns no rows of interest.
inline bool ExecuteSql(SqlDatabase& database, const std::string& sql, std::string& error) {
    char* failure = nullptr;
    if (sqlite3_exec(database.handle, sql.c_str(), nullptr, nullptr, &failure) == SQLITE_OK) return true;
    error = failure != nullptr ? failure : database.Message();
    sqlite3_free(failure);
    return false;
}

}  // namespace Study
