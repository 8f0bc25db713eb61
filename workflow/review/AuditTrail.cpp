#include "workflow/review/AuditTrail.h"

namespace Batch {

bool CreateAuditTable(sqlite3*, std::string& error) {
    error = "the audit trail is not built yet";
    return false;
}
bool AppendAudit(sqlite3*, AuditEntry&, std::string& error) {
    error = "the audit trail is not built yet";
    return false;
}
bool ReadAudit(sqlite3*, std::vector<AuditEntry>&, std::string& error) {
    error = "the audit trail is not built yet";
    return false;
}
std::vector<Problem> VerifyAuditChain(sqlite3*) { return {{"", 0, 0, "the audit trail is not built yet"}}; }
bool VerifyResultsFolder(const std::string& resultsFolder, std::vector<Problem>& problems) {
    problems.push_back({resultsFolder, 0, 0, "verification is not built yet"});
    return false;
}

}  // namespace Batch
