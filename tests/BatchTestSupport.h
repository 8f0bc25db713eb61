// What the batch tool's tests share: running quan-batch in the test process on copies of the
// bundled example, reading its results back (results.csv, the database, the report page as a
// parser and as a browser see it), and building calibration standards by hand.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "calibrate/QuanCalibrate.h"
#include "workflow/support/Csv.h"
#include "apps/cli/BatchTool.h"
#include "workflow/batch/RawPeaks.h"
#include "platform/Sha256.h"

namespace batch_test {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using Table = std::vector<std::vector<std::string>>;

inline fs::path ExampleFolder() { return fs::path(QUAN_SOURCE_DIR) / "examples" / "batch"; }

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "quan-batch-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) m_path = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!m_path.empty()) fs::remove_all(m_path, ignored);
    }
    const fs::path& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

private:
    fs::path m_path;
};

// The example batch copied into `folder`/batch, ready to be changed by a test.
inline fs::path CopyExample(const fs::path& folder) {
    const fs::path batch = folder / "batch";
    fs::copy(ExampleFolder(), batch, fs::copy_options::recursive);
    return batch;
}

inline std::string ReadText(const fs::path& path) {
    std::string text;
    Csv::ReadFile(path.string(), text);
    return text;
}

inline void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Replaces the first `from` in the file; false when it is not there.
inline bool ReplaceInFile(const fs::path& path, const std::string& from, const std::string& to) {
    std::string text = ReadText(path);
    const size_t at = text.find(from);
    if (at == std::string::npos) return false;
    text.replace(at, from.size(), to);
    WriteText(path, text);
    return true;
}

// Every file of a folder by name, with its contents.
inline std::map<std::string, std::string> FolderContents(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& file : fs::directory_iterator(folder)) files[file.path().filename().string()] = ReadText(file.path());
    return files;
}

// Turns a sample of the batch into a peak list, as quan-integrate writes one from its raw file,
// optionally changed by `edit`, and points the batch at it; returns the peak list's path.
inline fs::path AsPeakList(const fs::path& batch, const std::string& sample,
                           const std::function<void(CPeakList&)>& edit = {}) {
    CMethodList method;
    CPeakList peaks;
    std::vector<Batch::Problem> problems;
    Batch::ReadMethodFile((batch / "method.xml").string(), method, problems);
    Batch::ReadRawPeaks({(batch / "raw" / (sample + ".mzML")).string()}, method, peaks, problems);
    EXPECT_TRUE(problems.empty());
    if (edit) edit(peaks);
    fs::create_directories(batch / "peaks");
    const fs::path list = batch / "peaks" / (sample + ".csv");
    WriteText(list, Batch::PeakListCsv(peaks));
    EXPECT_TRUE(ReplaceInFile(batch / "batch.csv", "raw/" + sample + ".mzML", "peaks/" + sample + ".csv"));
    return list;
}

struct ToolRun {
    int status = -1;
    std::string out, err;
};

inline std::string Drain(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
    std::fclose(file);
    return text;
}

// A tool's run in this process: `run` writes to the two files and answers the exit status.
inline ToolRun Captured(const std::function<int(std::FILE* out, std::FILE* err)>& run) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = run(out, err);
    return {status, Drain(out), Drain(err)};
}

// quan-batch with these arguments, in this process.
inline ToolRun RunTool(const std::vector<std::string>& args) {
    Batch::ToolOptions options;
    std::string error;
    if (!Batch::ParseToolOptions(args, options, error)) return {Batch::kExitBadInput, "", error};
    return Captured([&](std::FILE* out, std::FILE* err) { return Batch::RunTool(options, out, err); });
}

// Every row of a query on a results database, each value as SQLite prints it, NULL as "<null>".
inline Table Query(const fs::path& database, const std::string& sql) {
    Table rows;
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
                row.push_back(text != nullptr ? text : "<null>");
            }
            rows.push_back(row);
        }
    }
    EXPECT_NE(statement, nullptr) << sql << ": " << sqlite3_errmsg(db);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

// Runs `sql` on the database file at `path`.
inline void Execute(const fs::path& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql << ": " << sqlite3_errmsg(db);
    sqlite3_close(db);
}

inline std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The SHA-256 of each table (or view, with `views`) of a results database by name: its rows in
// stored order, every value's type and bytes, the batch folder (often a temporary one) named by
// a fixed word.
inline std::map<std::string, std::string> TableDigests(const fs::path& database, const std::string& batch,
                                                       bool views = false) {
    std::map<std::string, std::string> digests;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK) << database;
    const std::string kinds = views ? "('table', 'view')" : "('table')";
    for (const auto& table : Query(database, "SELECT name FROM sqlite_master WHERE type IN " + kinds + " ORDER BY name")) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, ("SELECT * FROM \"" + table[0] + "\"").c_str(), -1, &statement, nullptr);
        QuanPlatform::Sha256 hash;
        while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, i));
                const int type = sqlite3_column_type(statement, i);
                const std::string value(bytes != nullptr ? bytes : "", sqlite3_column_bytes(statement, i));
                hash.Add(&type, sizeof type);
                hash.Add(type == SQLITE_TEXT ? ReplaceAll(value, batch, "BATCH") : value);
                hash.Add("\t");
            }
            hash.Add("\n");
        }
        sqlite3_finalize(statement);
        digests[table[0]] = hash.FinishHex();
    }
    sqlite3_close(db);
    return digests;
}

// Appends a standard to a hand-built curve; standard n comes from the sample "S<n>".
inline void AddStandard(CCalibrationData& curve, double conc, double resp, bool excluded) {
    const int n = curve.GetNumCaliPts();
    curve.SetCaliPoint({1.0, conc, resp, static_cast<uint16_t>(excluded ? kCaliPointExcluded : 0), {}}, n);
    tagFILE_INFO info{};
    SetFileInfoName(info, "S" + std::to_string(n + 1));
    curve.SetCaliFile(info, n);
    curve.SetNumCaliPts(n + 1);
}

// A standard of a hand-built curve: its nominal concentration and response, and whether it is
// left out of the fit.
struct Standard {
    double conc, resp;
    bool excluded = false;
};

// A curve through these standards.
inline CCalibrationData CurveOf(const std::string& name, int curveType, int axis, const std::vector<Standard>& standards) {
    CCalibrationData curve;
    curve.SetName(name);
    curve.SetCCalc(curveType);
    curve.SetOrigin(kOriginExclude);
    curve.SetXYTrans(axis);
    for (const Standard& s : standards) AddStandard(curve, s.conc, s.resp, s.excluded);
    return curve;
}

// Fitted by the calibration engine, so a transformed curve holds its points and coefficients in
// transformed units exactly as a batch run leaves them.
inline CCalibrationData Calibrated(const CCalibrationData& curve) {
    CCalibrationList list;
    list.Add(curve);
    CQuanCalibrate engine;
    EXPECT_EQ(engine.QuanDoCalibration(&list, 0), kCaliOK) << curve.GetName();
    EXPECT_EQ(list.GetAt(0).GetCurveValid(), 1) << curve.GetName();
    return list.GetAt(0);
}

// libxml2's HTML parser knows HTML 4 only, so it reports inline SVG elements as unknown tags;
// every other complaint is a fault of the page.
inline std::vector<std::string> HtmlParseErrors(const std::string& html) {
    std::vector<std::string> errors;
    htmlParserCtxtPtr context = htmlNewParserCtxt();
    xmlSetStructuredErrorFunc(&errors, [](void* sink, xmlErrorPtr error) {
        if (error->code == XML_HTML_UNKNOWN_TAG) return;
        static_cast<std::vector<std::string>*>(sink)->push_back(std::to_string(error->line) + ": " + error->message);
    });
    htmlDocPtr document = htmlCtxtReadMemory(context, html.data(), static_cast<int>(html.size()), "report.html",
                                             "UTF-8", HTML_PARSE_NONET);
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    if (document == nullptr) errors.push_back("no document");
    xmlFreeDoc(document);
    htmlFreeParserCtxt(context);
    return errors;
}

// The page as headless Chromium leaves it once its script has run (QUAN_CHROMIUM names another
// browser binary); false, with the reason in `dom`, when there is no browser to run.
inline bool BrowserDom(const fs::path& page, const std::string& hash, std::string& dom) {
    const char* configured = std::getenv("QUAN_CHROMIUM");
    const std::string browser = configured != nullptr && *configured != '\0' ? configured : "chromium";
    if (std::system(("command -v '" + browser + "' > /dev/null 2>&1").c_str()) != 0) {
        dom = browser + " is not installed: the browser tests need the Debian package chromium (.ci/run installs it)";
        return false;
    }
    TempFolder profile;
    const std::string command = "'" + browser +
                                "' --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
                                "--disable-background-networking --disable-component-update --disable-sync "
                                "--user-data-dir='" + profile.Path().string() + "' --dump-dom 'file://" +
                                fs::absolute(page).string() + hash + "' 2> /dev/null";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        dom = "cannot start " + browser;
        return false;
    }
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) dom.append(buffer, n);
    ::pclose(pipe);
    return true;
}

}  // namespace batch_test
