// Updating stored results in place (ResultsUpdate.h). A changed result's rows are deleted and
// written again rather than patched column by column: a result that lost its peak has no
// peak_values or peak_quality row, and one that gained a peak needs them.
#include "workflow/output/ResultsUpdate.h"

#include <sqlite3.h>

#include "workflow/output/ResultsRows.h"

namespace Batch {

namespace {

class Delete {
public:
    Delete(sqlite3* database, const char* sql) : m_database(database) {
        if (sqlite3_prepare_v2(database, sql, -1, &m_statement, nullptr) != SQLITE_OK) {
            sqlite3_finalize(m_statement);
            m_statement = nullptr;
        }
    }
    ~Delete() { sqlite3_finalize(m_statement); }
    Delete(const Delete&) = delete;
    Delete& operator=(const Delete&) = delete;

    // Deletes the rows of key (first, second); a statement with one parameter ignores `second`.
    bool Run(int first, int second, std::string& error) {
        if (m_statement == nullptr) {
            error = sqlite3_errmsg(m_database);
            return false;
        }
        sqlite3_bind_int(m_statement, 1, first);
        if (sqlite3_bind_parameter_count(m_statement) > 1) sqlite3_bind_int(m_statement, 2, second);
        const bool done = sqlite3_step(m_statement) == SQLITE_DONE;
        if (!done) error = sqlite3_errmsg(m_database);
        sqlite3_reset(m_statement);
        return done;
    }

private:
    sqlite3* m_database;
    sqlite3_stmt* m_statement = nullptr;
};

// The stored chromatograms' location windows of each sample located again. A batch run from
// peak lists keeps no chromatograms: nothing to follow.
bool UpdateWindows(sqlite3* database, const ResultsChange& change, std::string& error) {
    if (change.windows.empty()) return true;
    sqlite3_stmt* update = nullptr;
    if (sqlite3_prepare_v2(database,
                           "UPDATE chromatograms SET predicted_rt = ?3, window_start = ?4, window_end = ?5 "
                           "WHERE sample = ?1 AND entry = ?2",
                           -1, &update, nullptr) != SQLITE_OK) {
        sqlite3_finalize(update);
        sqlite3_stmt* table = nullptr;
        const bool kept =
            sqlite3_prepare_v2(database, "SELECT 1 FROM chromatograms LIMIT 0", -1, &table, nullptr) == SQLITE_OK;
        sqlite3_finalize(table);
        if (kept) error = sqlite3_errmsg(database);
        return !kept;
    }
    bool ok = true;
    for (const auto& [sample, windows] : change.windows)
        for (size_t w = 0; ok && w < windows->size(); ++w) {
            const EntryWindow& window = (*windows)[w];
            sqlite3_bind_int64(update, 1, static_cast<sqlite3_int64>(sample) + 1);
            sqlite3_bind_int(update, 2, window.entry);
            sqlite3_bind_double(update, 3, window.predictedRT);
            sqlite3_bind_double(update, 4, window.windowStart);
            sqlite3_bind_double(update, 5, window.windowEnd);
            ok = sqlite3_step(update) == SQLITE_DONE;
            if (!ok) error = sqlite3_errmsg(database);
            sqlite3_reset(update);
        }
    sqlite3_finalize(update);
    return ok;
}

}  // namespace

bool UpdateResults(sqlite3* database, const BatchResults& results, const ResultsChange& change, std::string& error) {
    Delete peakValues(database, "DELETE FROM peak_values WHERE sample = ?1 AND entry = ?2");
    Delete peakQuality(database, "DELETE FROM peak_quality WHERE sample = ?1 AND entry = ?2");
    Delete points(database, "DELETE FROM calibration_points WHERE entry = ?1");
    for (const ResultRow* row : change.rows)
        if (!peakValues.Run(row->sample + 1, row->entry, error) || !peakQuality.Run(row->sample + 1, row->entry, error))
            return false;
    for (const CurveResult* curve : change.curves)
        if (!points.Run(curve->entry, 0, error)) return false;
    if (change.acceptance) {
        char* failure = nullptr;
        if (sqlite3_exec(database, "DELETE FROM acceptance", nullptr, nullptr, &failure) != SQLITE_OK) {
            error = failure != nullptr ? failure : sqlite3_errmsg(database);
            sqlite3_free(failure);
            return false;
        }
    }

    ResultsRowWriter writer;
    if (!writer.Prepare(database, true, error)) return false;
    for (size_t sample : change.samples)
        if (!writer.WriteSamples(results, sample, sample + 1, error)) return false;
    std::vector<ResultRow> rows;
    rows.reserve(change.rows.size());
    for (const ResultRow* row : change.rows) rows.push_back(*row);
    if (!writer.WriteRows(results, rows, error)) return false;
    std::vector<CurveResult> curves;
    for (const CurveResult* curve : change.curves) curves.push_back(*curve);
    if (!writer.WriteCurves(curves, error)) return false;
    return (!change.acceptance || writer.WriteAcceptance(results, error)) && UpdateWindows(database, change, error);
}

}  // namespace Batch
