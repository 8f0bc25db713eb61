// The record of every change an analyst made to a batch's results: an append-only table
// `audit` in results.sqlite, one row per change (UTC time, user, action, sample, compound,
// trace, the values before and after, reason, program version), each row carrying a SHA-256
// chained over the previous row's hash and its own content, so that an edit or a deletion made
// outside the program breaks the chain at the row it touched.
//
// Verification checks the chain, and that the stored results are what the batch's inputs plus
// the recorded changes give (the batch run again in memory and compared row by row).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "workflow/review/ManualIntegration.h"
#include "workflow/support/Problem.h"

struct sqlite3;

namespace Batch {

// The values of one result that a change shows before and after.
struct AuditValues {
    bool found = false;
    double start = 0.0, end = 0.0, baselineStart = 0.0, baselineEnd = 0.0;
    double area = 0.0, height = 0.0, response = 0.0, conc = 0.0;
    std::string flags;
};

struct AuditEntry {
    long long id = 0;        // 1-based row number, given on append
    std::string time, user;  // UTC, ISO 8601
    std::string action;      // "integrate", "choose peak", "no peak", "automatic", "exclude point", "restore point"
    std::string sample, compound;
    int slot = 0;            // the trace slot (SampleTraces.h)
    AuditValues before, after;
    IntegrationChange change;  // the change as made (for an integration action)
    std::string reason, version;
    std::string previousHash, hash;  // 64 hexadecimal digits each; the first row's previous is 64 zeros
};

// The actions a row records: an integration change's (by its kind), and a calibration point
// excluded or restored (sample: the standard's id).
inline constexpr const char* kActionIntegrate = "integrate";
inline constexpr const char* kActionChoosePeak = "choose peak";
inline constexpr const char* kActionNoPeak = "no peak";
inline constexpr const char* kActionAutomatic = "automatic";
inline constexpr const char* kActionExcludePoint = "exclude point";
inline constexpr const char* kActionRestorePoint = "restore point";
const char* IntegrationAction(IntegrationKind kind);
// True for the four integration actions: their rows carry the change (change_kind and its numbers).
bool IsIntegrationAction(std::string_view action);

// The first row's previous hash.
inline constexpr const char* kChainStart = "0000000000000000000000000000000000000000000000000000000000000000";

// The time now, UTC, as the trail writes it: "2026-12-08T01:23:45Z".
std::string UtcNow();

// Creates the audit table (and the triggers that refuse an update or delete through SQL) in a
// results database being written; a database that has one keeps it.
bool CreateAuditTable(sqlite3* db, std::string& error);
// Appends `entry` inside the caller's transaction (or on its own when none is open): its id,
// previous hash and hash are set, and an empty time or version is filled with now (UTC) and
// this program's version. Refused, with nothing written, without a user, an action or a reason.
bool AppendAudit(sqlite3* db, AuditEntry& entry, std::string& error);
bool ReadAudit(sqlite3* db, std::vector<AuditEntry>& entries, std::string& error);
// Every break of the chain, naming the row (an edited row, a missing or inserted one), and a
// missing table or missing triggers. Empty when the chain is whole.
std::vector<Problem> VerifyAuditChain(sqlite3* db);

// What quan-review --verify does: the chain, then the batch run again from its inputs with the
// recorded changes and compared with the stored results. Every difference is a problem naming
// the table, sample, compound and column. True when there is none.
bool VerifyResultsFolder(const std::string& resultsFolder, std::vector<Problem>& problems);

}  // namespace Batch
