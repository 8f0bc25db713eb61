// The review station's editing side: the batch run again in memory from its inputs when the
// station starts (on a thread of its own, so the page opens at once), and every change an
// analyst makes applied to it: an integration corrected (ManualIntegration.h) or a calibration
// point excluded or restored. The changed sample is located and quantified again with the batch
// run's own code; when a standard changed, the curves are fitted again and every sample
// requantified. The rows that changed are written into results.sqlite in one transaction with
// the change's audit row, so the database holds the batch either before a change or after it;
// then integrations.csv and exclusions.csv record the decisions beside the results (what
// quan-batch --integrations / --exclusions reads to rebuild them), and results.csv, matrix.csv
// and report.html are written again from the new state in the background.
//
// Changes are made one at a time; each names the version (the number of changes so far) it
// was made on, and a change made on another version is refused (409) so that nobody's change
// lands on values they did not see. Every refusal is an HTTP status with {"error": ...} and
// changes nothing anywhere.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "workflow/review/AuditTrail.h"
#include "workflow/station/ReviewData.h"

struct sqlite3;

namespace Station {

struct ReviewEditorOptions {
    std::string resultsFolder;
    std::string batchFolder;  // empty: the folder of the stored method file
    std::string user;         // who signs the changes
    int threads = 2;          // samples run at a time when the whole batch runs again
    // Appends a change's audit row inside the update's transaction (AuditTrail.h's AppendAudit
    // unless a test puts another in its place).
    std::function<bool(sqlite3*, Batch::AuditEntry&, std::string&)> appendAudit;
    // Called inside a change's transaction, after its rows and audit row are written and
    // before the commit: lets a test kill the station in the middle of a change. Empty in use.
    std::function<void()> insideTransaction;
    // Milliseconds between a change and writing the text outputs again (later changes within
    // the wait are written together).
    int rewriteDelayMs = 300;
};

class ReviewEditor {
public:
    ReviewEditor();
    ~ReviewEditor();
    ReviewEditor(const ReviewEditor&) = delete;
    ReviewEditor& operator=(const ReviewEditor&) = delete;

    // Opens results.sqlite for writing (recovering it when an earlier station was killed in the
    // middle of a change) and starts loading the batch in the background. False with `error`
    // when the database cannot be opened.
    bool Open(const ReviewEditorOptions& options, std::string& error);
    // Waits until loading ended (for tests and tools). True when the batch is ready for changes.
    bool WaitUntilLoaded();
    // Writes pending text outputs now and waits for them (for tests and a clean stop).
    void FlushOutputs();

    // GET /api/state, GET /api/reasons, GET /api/audit.
    Answer StateAnswer() const;
    Answer ReasonsAnswer() const;
    Answer AuditAnswer();
    // POST /api/integration and POST /api/exclusion: the request's body as sent.
    Answer IntegrationAnswer(std::string_view body);
    Answer ExclusionAnswer(std::string_view body);

    // Called after every change committed (the station's read side forgets what it kept).
    std::function<void()> onChanged;

    static constexpr size_t kLongestReason = 500;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The login name of who runs the program: getlogin_r, the password entry, then $USER;
// "analyst" when none gives one.
std::string LoginName();

}  // namespace Station
