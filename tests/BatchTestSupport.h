// Running the batch tool in the test process on copies of the bundled example.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tools/Csv.h"
#include "tools/batch/BatchTool.h"

namespace batch_test {

namespace fs = std::filesystem;

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

// quan-batch with these arguments, in this process.
inline ToolRun RunTool(const std::vector<std::string>& args) {
    ToolRun run;
    Batch::ToolOptions options;
    std::string error;
    if (!Batch::ParseToolOptions(args, options, error)) {
        run.status = Batch::kExitBadInput;
        run.err = error;
        return run;
    }
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    run.status = Batch::RunTool(options, out, err);
    run.out = Drain(out);
    run.err = Drain(err);
    return run;
}

// results.csv as one map per row, keyed by column name.
inline std::vector<std::map<std::string, std::string>> ReadResults(const fs::path& file) {
    std::vector<Csv::Row> rows;
    std::string error;
    Csv::Parse(ReadText(file), rows, error);
    std::vector<std::map<std::string, std::string>> table;
    for (size_t r = 1; r < rows.size(); ++r) {
        std::map<std::string, std::string> row;
        for (size_t c = 0; c < rows[0].cells.size() && c < rows[r].cells.size(); ++c) row[rows[0].cells[c]] = rows[r].cells[c];
        table.push_back(row);
    }
    return table;
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
