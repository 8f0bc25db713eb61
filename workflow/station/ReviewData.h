// What the review station serves, read from a finished batch's results folder: the batch and
// its results grid (the same JSON the static report embeds, rebuilt from results.sqlite), the
// chromatogram panels of one compound (with its internal standard's) or of one sample, and the
// exclusions an analyst chose, saved beside the results for the next quan-batch --exclusions.
//
// Every answer is an HTTP status and a JSON body (panels asked for packed come as one binary
// pack instead, ChromatogramJson.h); a request the batch cannot answer (an entry
// or sample it does not hold, a malformed or unreasonable exclusions list) gets a 4xx status
// and {"error": "..."} saying why, and changes nothing. The database is opened read-only, and
// the one file ever written has a fixed name: no text of a request reaches a file path.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace Station {

struct Answer {
    int status = 200;
    std::string body;     // JSON, or a panel pack (ChromatogramJson.h) when `packed`
    bool packed = false;
};

// The two forms a view's panels are served in: the report's JSON, or one binary pack.
enum class PanelForm { kJson, kPacked };

// An answer of `status` whose body is {"error": message}.
Answer ErrorAnswer(int status, const std::string& message);

class ReviewData {
public:
    ReviewData() = default;
    ~ReviewData();
    ReviewData(const ReviewData&) = delete;
    ReviewData& operator=(const ReviewData&) = delete;

    // Opens RESULTS_DIR/results.sqlite read-only and checks that it is a results database.
    bool Open(const std::string& resultsFolder, std::string& error);
    const std::string& Title() const { return m_title; }
    int SampleCount() const { return m_samples; }
    int CompoundCount() const { return m_compounds; }

    // {"batch": {...}, "rows": [...]}: read once, on the first call, and kept.
    Answer BatchAnswer();
    // {"entry": E, "panels": [...] or null, "note": "..."}: the panels of entry E (1-based) and
    // of its internal standard, for the samples (0-based, in injection order) in `only`, or
    // every sample when it is empty.
    // With PanelForm::kPacked the same answer comes as a panel pack (errors stay JSON).
    Answer CompoundAnswer(int entry, const std::vector<int>& only = {}, PanelForm form = PanelForm::kJson);
    // {"sample": S, "panels": [...] or null, "note": "..."}: the panels of sample S of the
    // entries in `only`, or of every entry when it is empty.
    Answer SampleAnswer(int sample, const std::vector<int>& only = {}, PanelForm form = PanelForm::kJson);
    // Forgets the batch's JSON kept by BatchAnswer (after the results changed).
    void Forget() {
        std::lock_guard<std::mutex> hold(m_lock);
        m_batchJson.clear();
    }
    // Saves a JSON array of {"compound", "standard", "reason"} as exclusions.csv in the results
    // folder (replacing it whole): every compound must be one of the batch's, every standard a
    // standard sample of it, every reason a short single line.
    Answer SaveExclusions(std::string_view body);

    static constexpr size_t kLongestReason = 500;
    static constexpr size_t kMostExclusions = 10000;

private:
    // The panels of the chromatograms' rows `where` selects (as c, with parameters ?1 and ?2).
    // (`only`, as a JSON array text or empty for all, is ?3.)
    Answer Panels(const std::string& where, int first, int second, const std::string& only, const std::string& head,
                  PanelForm form);
    std::mutex m_lock;  // one query at a time on the connection
    sqlite3* m_database = nullptr;
    std::string m_folder, m_path, m_title;
    int m_samples = 0, m_compounds = 0;
    bool m_hasChromatograms = false;
    std::string m_batchJson;  // kept once built
};

}  // namespace Station
