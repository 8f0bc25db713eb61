// Verifying a results folder (VerifyResultsFolder in AuditTrail.h): the audit chain, then the
// batch run again from the inputs its table `run` records, with the changes its audit trail
// records, into a scratch folder, and the stored tables compared with the ones the run wrote,
// value by value. Both databases come from the same writer, so any difference is a value that
// was not computed from the inputs and the recorded decisions: an edit made outside the
// program, an input changed since, or a fault in whatever updated the results.
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <thread>

#include "platform/NumberText.h"
#include "workflow/batch/BatchSession.h"
#include "workflow/output/SafeFile.h"
#include "workflow/review/AuditTrail.h"
#include "workflow/study/SqlHandles.h"

namespace Batch {

namespace {

using Study::SqlDatabase;
using Study::SqlStatement;

// Past this many differences the rest are counted, not listed: a changed input changes everything.
constexpr size_t kMostDifferencesListed = 200;

// A scratch folder removed with everything in it when done.
struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        std::error_code failed;
        std::string pattern = (std::filesystem::temp_directory_path(failed) / "quan-verify-XXXXXX").string();
        if (failed) pattern = "/tmp/quan-verify-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
};

bool OpenReadOnly(const std::string& path, SqlDatabase& database, std::string& error) {
    if (sqlite3_open_v2(path.c_str(), &database.handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) return true;
    error = "cannot open " + path + ": " + database.Message();
    return false;
}

bool ReadRunSettings(SqlDatabase& database, std::map<std::string, std::string>& run, std::string& error) {
    SqlStatement query;
    if (!query.Prepare(database, "SELECT name, value FROM run", error)) return false;
    while (sqlite3_step(query.handle) == SQLITE_ROW) run[query.ColumnText(0)] = query.ColumnText(1);
    return true;
}

// ---- the changes recorded, as the run's inputs -----------------------------------------------

// The analyst's exclusions: the run's exclusions file, then each exclusion or restoration of
// the trail in the order made.
bool RecordedExclusions(const std::string& file, const std::vector<AuditEntry>& trail, const BatchInput& input,
                        std::vector<Exclusion>& exclusions, std::vector<Problem>& problems) {
    if (!file.empty() && !ReadExclusionsFile(file, input, exclusions, problems)) return false;
    for (const AuditEntry& entry : trail) {
        const bool exclude = entry.action == kActionExcludePoint;
        if (!exclude && entry.action != kActionRestorePoint) continue;
        std::erase_if(exclusions, [&entry](const Exclusion& e) {
            return e.compound == entry.compound && e.standard == entry.sample;
        });
        if (exclude) exclusions.push_back({entry.compound, entry.sample, entry.reason, entry.user});
    }
    return true;
}

// The integration changes: the run's integrations file, then the trail's (a later change of the
// same entry and trace replaces an earlier one where they are applied).
bool RecordedIntegrations(const std::string& file, const std::vector<AuditEntry>& trail,
                          std::vector<IntegrationChange>& changes, std::vector<Problem>& problems) {
    if (!file.empty() && !ReadIntegrations(file, changes, problems)) return false;
    for (const AuditEntry& entry : trail)
        if (IsIntegrationAction(entry.action)) changes.push_back(entry.change);
    return true;
}

bool OptionFlag(const std::map<std::string, std::string>& run, const char* name) {
    const auto at = run.find(name);
    return at != run.end() && at->second == "1";
}

// Runs the batch again as recorded into `out`; false with the reasons in `problems`.
bool RunAgain(const std::map<std::string, std::string>& run, const std::vector<AuditEntry>& trail,
              const std::string& scratch, std::vector<Problem>& problems, const std::string& where) {
    const auto setting = [&run](const char* name) {
        const auto at = run.find(name);
        return at != run.end() ? at->second : std::string();
    };
    const std::string folder = setting("batch_folder");
    if (folder.empty()) {
        problems.push_back({where, 0, 0,
                            "the results do not record the batch folder they were run from (an older version, or "
                            "inputs held in memory): the batch cannot be run again"});
        return false;
    }
    std::error_code failed;
    if (!std::filesystem::is_directory(folder, failed)) {
        problems.push_back({where, 0, 0, "the batch folder " + folder + " recorded with the results is missing: "
                                         "the batch cannot be run again"});
        return false;
    }
    SessionOptions options;
    options.out = scratch + "/results";
    options.curvesFile = setting("curves_file");
    options.acceptance = setting("acceptance");
    if (!NumberText::Read(setting("outlier_limit"), options.outlierLimit)) options.outlierLimit = 0.0;
    options.wholeTraces = OptionFlag(run, "whole_traces");
    options.fullPrecision = OptionFlag(run, "full_precision");
    options.keepChromatograms = false;  // the traces are not compared; their peaks are
    options.threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    bool inputsThere = true;
    for (const char* name : {"curves_file", "exclusions_file", "integrations_file"})
        if (!setting(name).empty() && !std::filesystem::exists(setting(name), failed)) {
            problems.push_back({setting(name), 0, 0, std::string("the ") + name + " recorded with the results is missing"});
            inputsThere = false;
        }
    if (!inputsThere) return false;

    BatchInput input;
    std::vector<Problem> inputProblems;
    ReadBatch(folder, input, inputProblems, false, options.threads);
    std::vector<Exclusion> exclusions;
    std::vector<IntegrationChange> integrations;
    if (inputProblems.empty()) {
        RecordedExclusions(setting("exclusions_file"), trail, input, exclusions, inputProblems);
        RecordedIntegrations(setting("integrations_file"), trail, integrations, inputProblems);
    }
    std::string error;
    if (inputProblems.empty() && !exclusions.empty()) {
        options.exclusionsFile = scratch + "/exclusions.csv";
        if (!WriteFileSafely(options.exclusionsFile, ExclusionsFileText(exclusions), error))
            inputProblems.push_back({options.exclusionsFile, 0, 0, error});
    }
    if (inputProblems.empty() && !integrations.empty()) {
        options.integrationsFile = scratch + "/integrations.csv";
        if (!WriteFileSafely(options.integrationsFile, IntegrationsCsv(integrations), error))
            inputProblems.push_back({options.integrationsFile, 0, 0, error});
    }
    if (!inputProblems.empty()) {
        problems.push_back({where, 0, 0, "the batch's inputs no longer read: the batch cannot be run again"});
        problems.insert(problems.end(), inputProblems.begin(), inputProblems.end());
        return false;
    }
    BatchSession session(options);
    if (session.Open(std::move(input)) && session.Calibrate()) session.Finish();
    const BatchOutcome& outcome = session.Outcome();
    if (outcome.end != SessionEnd::kCompleted) {
        problems.push_back({where, 0, 0, "the batch did not run again" +
                                             (outcome.failure.empty() ? std::string() : ": " + outcome.failure)});
        problems.insert(problems.end(), outcome.problems.begin(), outcome.problems.end());
        return false;
    }
    return true;
}

// ---- comparing the stored tables with the recomputed ones -----------------------------------

struct StoredValue {
    int type = SQLITE_NULL;
    long long integer = 0;
    double real = 0.0;
    std::string bytes;

    bool operator==(const StoredValue& other) const {
        if (type != other.type) return false;
        switch (type) {
            case SQLITE_INTEGER: return integer == other.integer;
            case SQLITE_FLOAT: return real == other.real;  // exact: the same double, or a difference
            case SQLITE_NULL: return true;
            default: return bytes == other.bytes;
        }
    }
    std::string Text() const {
        switch (type) {
            case SQLITE_INTEGER: return std::to_string(integer);
            case SQLITE_FLOAT: return NumberText::Shortest(real);
            case SQLITE_NULL: return "NULL";
            case SQLITE_TEXT: return "\"" + bytes + "\"";
            default: return std::to_string(bytes.size()) + " bytes";
        }
    }
};

StoredValue ReadValue(sqlite3_stmt* statement, int column) {
    StoredValue value;
    value.type = sqlite3_column_type(statement, column);
    if (value.type == SQLITE_INTEGER) value.integer = sqlite3_column_int64(statement, column);
    else if (value.type == SQLITE_FLOAT) value.real = sqlite3_column_double(statement, column);
    else if (value.type == SQLITE_TEXT || value.type == SQLITE_BLOB) {
        const void* bytes = value.type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(statement, column))
                                                      : sqlite3_column_blob(statement, column);
        if (bytes != nullptr)
            value.bytes.assign(static_cast<const char*>(bytes), static_cast<size_t>(sqlite3_column_bytes(statement, column)));
    }
    return value;
}

// A table's rows by their key (the first `keyColumns` columns of `select`), every column by name.
struct TableRows {
    std::vector<std::string> columns;
    std::map<std::vector<long long>, std::vector<StoredValue>> rows;
};

bool ReadTable(SqlDatabase& database, const std::string& select, size_t keyColumns, TableRows& table,
               std::string& error) {
    SqlStatement query;
    if (!query.Prepare(database, select, error)) return false;
    const int count = sqlite3_column_count(query.handle);
    for (int i = 0; i < count; ++i) table.columns.push_back(sqlite3_column_name(query.handle, i));
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(query.handle)) == SQLITE_ROW) {
        std::vector<long long> key;
        std::vector<StoredValue> values;
        for (int i = 0; i < count; ++i) {
            values.push_back(ReadValue(query.handle, i));
            if (static_cast<size_t>(i) < keyColumns) key.push_back(values.back().integer);
        }
        table.rows[key] = std::move(values);
    }
    if (step != SQLITE_DONE) {
        error = database.Message();
        return false;
    }
    return true;
}

// Sample ids by position and compound names by entry, to name a row as a person reads it.
struct RowNames {
    std::map<long long, std::string> samples, compounds;

    void Read(SqlDatabase& database) {
        std::string ignored;
        for (auto [sql, names] : {std::pair{"SELECT position, id FROM samples", &samples},
                                  std::pair{"SELECT entry, name FROM compounds", &compounds}}) {
            SqlStatement query;
            if (!query.Prepare(database, sql, ignored)) continue;
            while (sqlite3_step(query.handle) == SQLITE_ROW) (*names)[query.ColumnInt(0)] = query.ColumnText(1);
        }
    }
    std::string Sample(long long position) const {
        const auto at = samples.find(position);
        return at != samples.end() ? at->second : "at position " + std::to_string(position);
    }
    std::string Compound(long long entry) const {
        const auto at = compounds.find(entry);
        return at != compounds.end() ? at->second : "of entry " + std::to_string(entry);
    }
};

struct ComparedTable {
    const char* name;
    const char* select;  // key columns first
    size_t keyColumns;
    // How a key names its row: which key column is the sample's position, the entry, a point.
    int samplePart, entryPart, pointPart;
};

constexpr ComparedTable kComparedTables[] = {
    {"samples", "SELECT * FROM samples ORDER BY position", 1, 0, -1, -1},
    {"results", "SELECT * FROM results ORDER BY sample, entry", 2, 0, 1, -1},
    {"curves", "SELECT * FROM curves ORDER BY entry", 1, -1, 0, -1},
    {"calibration_points", "SELECT * FROM calibration_points ORDER BY entry, point", 2, -1, 0, 1},
};

std::string RowWhere(const ComparedTable& table, const std::vector<long long>& key, const RowNames& names) {
    std::string where = std::string("table ") + table.name;
    if (table.samplePart >= 0) where += ", sample " + names.Sample(key[table.samplePart]);
    if (table.entryPart >= 0) where += ", compound " + names.Compound(key[table.entryPart]);
    if (table.pointPart >= 0) where += ", point " + std::to_string(key[table.pointPart]);
    return where;
}

void CompareTable(const ComparedTable& table, const TableRows& stored, const TableRows& expected, const RowNames& names,
                  const std::string& file, std::vector<Problem>& differences) {
    if (stored.columns != expected.columns) {
        differences.push_back({file, 0, 0, "the columns differ from the ones this version writes",
                               std::string("table ") + table.name});
        return;
    }
    for (const auto& [key, values] : stored.rows) {
        const auto other = expected.rows.find(key);
        if (other == expected.rows.end()) {
            differences.push_back({file, 0, 0, "the row is stored but the batch run again has no such row",
                                   RowWhere(table, key, names)});
            continue;
        }
        for (size_t i = 0; i < values.size(); ++i)
            if (!(values[i] == other->second[i]))
                differences.push_back({file, 0, 0,
                                       "column " + stored.columns[i] + ": stored " + values[i].Text() + ", expected " +
                                           other->second[i].Text(),
                                       RowWhere(table, key, names)});
    }
    for (const auto& [key, values] : expected.rows)
        if (stored.rows.find(key) == stored.rows.end())
            differences.push_back({file, 0, 0, "the row is missing: the batch run again has it",
                                   RowWhere(table, key, names)});
}

bool CompareDatabases(SqlDatabase& stored, const std::string& storedPath, const std::string& expectedPath,
                      std::vector<Problem>& problems) {
    SqlDatabase expected;
    std::string error;
    if (!OpenReadOnly(expectedPath, expected, error)) {
        problems.push_back({expectedPath, 0, 0, error});
        return false;
    }
    RowNames names;
    names.Read(stored);
    std::vector<Problem> differences;
    for (const ComparedTable& table : kComparedTables) {
        TableRows storedRows, expectedRows;
        if (!ReadTable(stored, table.select, table.keyColumns, storedRows, error)) {
            differences.push_back({storedPath, 0, 0, "cannot read the table: " + error, std::string("table ") + table.name});
            continue;
        }
        if (!ReadTable(expected, table.select, table.keyColumns, expectedRows, error)) {
            problems.push_back({expectedPath, 0, 0, error});
            return false;
        }
        CompareTable(table, storedRows, expectedRows, names, storedPath, differences);
    }
    const size_t listed = std::min(differences.size(), kMostDifferencesListed);
    problems.insert(problems.end(), differences.begin(), differences.begin() + static_cast<std::ptrdiff_t>(listed));
    if (differences.size() > listed)
        problems.push_back({storedPath, 0, 0, "and " + std::to_string(differences.size() - listed) + " more differences"});
    return differences.empty();
}

}  // namespace

bool VerifyResultsFolder(const std::string& resultsFolder, std::vector<Problem>& problems) {
    const size_t before = problems.size();
    const std::string path = resultsFolder + "/results.sqlite";
    std::error_code failed;
    if (!std::filesystem::is_regular_file(path, failed)) {
        problems.push_back({path, 0, 0, "there are no results to verify here (no results.sqlite)"});
        return false;
    }
    SqlDatabase database;
    std::string error;
    std::map<std::string, std::string> run;
    if (!OpenReadOnly(path, database, error) || !ReadRunSettings(database, run, error)) {
        problems.push_back({path, 0, 0, "not a results database that records its run: " + error});
        return false;
    }
    const std::vector<Problem> chain = VerifyAuditChain(database.handle);
    problems.insert(problems.end(), chain.begin(), chain.end());
    std::vector<AuditEntry> trail;
    if (!ReadAudit(database.handle, trail, error)) problems.push_back({path, 0, 0, error});

    ScratchFolder scratch;
    if (scratch.path.empty()) {
        problems.push_back({path, 0, 0, "cannot make a scratch folder to run the batch again in"});
        return false;
    }
    if (RunAgain(run, trail, scratch.path, problems, path))
        CompareDatabases(database, path, scratch.path + "/results/results.sqlite", problems);
    return problems.size() == before;
}

}  // namespace Batch
