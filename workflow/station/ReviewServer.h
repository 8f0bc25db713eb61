// The review station's web server: the review page and its JSON (ReviewData.h) over HTTP on
// 127.0.0.1 only, for the browser of the analyst at this machine.
//
// Every request must carry the station's token (a random 128-bit text made at start, which the
// printed address holds) as the X-Quan-Token header or the token query parameter; without it
// the answer is 401, with another one 403. The Host header must name this machine, so a page
// of another site that a name resolves here cannot talk to the station. Request bodies are
// bounded (413 past kMostBodyBytes), paths holding ".." are refused, and every refusal comes
// with a message. Stop() ends Run() from any thread (a signal's watcher, a test).
//
// Corrections (ReviewEditor.h) come as POST /api/integration and /api/exclusion; GET /api/state
// says whether the batch is loaded for them and at which version, /api/reasons offers the
// reasons to choose from and /api/audit lists the changes made.
#pragma once

#include <memory>
#include <string>

#include "workflow/station/ReviewEditor.h"

namespace Station {

struct ReviewServerOptions {
    std::string resultsFolder;
    int port = 0;       // 0: any free port
    std::string token;  // empty: a new random one
    // Corrections: the batch's inputs, who signs, and the editor's test settings. The results
    // folder is the one above.
    ReviewEditorOptions editor;
};

class ReviewServer {
public:
    static constexpr size_t kMostBodyBytes = 256 * 1024;

    ReviewServer();
    ~ReviewServer();
    ReviewServer(const ReviewServer&) = delete;
    ReviewServer& operator=(const ReviewServer&) = delete;

    // Opens the results and binds the port; false with `error` when either fails.
    bool Open(const ReviewServerOptions& options, std::string& error);
    int Port() const;
    const std::string& Token() const;
    // The address to open: http://127.0.0.1:PORT/?token=TOKEN
    std::string Url() const;
    // Serves until Stop(); false when the server could not run.
    bool Run();
    bool IsRunning() const;
    void Stop();
    // The editor, for tests that wait for it to load.
    ReviewEditor& Editor();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// 32 hexadecimal digits from the system's random source.
std::string NewToken();

}  // namespace Station
