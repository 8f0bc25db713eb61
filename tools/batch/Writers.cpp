#include "tools/batch/Writers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>

#include "tools/batch/HtmlReport.h"
#include "tools/batch/ResultsDatabase.h"
#include "tools/batch/SafeFile.h"

namespace Batch {

std::string CsvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

namespace {
void AppendCsvLine(std::string& out, const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) out += ',';
        out += CsvCell(cells[i]);
    }
    out += '\n';
}
}  // namespace

std::string ResultsCsv(const BatchResults& results) {
    std::string out;
    AppendCsvLine(out, ResultColumns());
    for (const ResultRow& row : results.rows) AppendCsvLine(out, ResultCells(results, row));
    return out;
}

std::string CurvesText(const BatchResults& results) {
    std::string out;
    for (size_t i = 0; i < results.curves.size(); ++i) {
        if (i > 0) out += '\n';
        out += results.curves[i].description + "\n";
    }
    return out;
}

const std::vector<std::string>& OutputFileNames() {
    static const std::vector<std::string> names = {"results.csv", "curves.txt", "results.sqlite", "report.html"};
    return names;
}

namespace {

bool MakeFolder(const std::string& folder, std::string& error) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return true;
        error = folder + " exists and is not a folder";
        return false;
    }
    if (::mkdir(folder.c_str(), 0777) == 0) return true;
    error = "cannot make the folder " + folder + ": " + std::strerror(errno);
    return false;
}

// Holds back the signals that would end the program while the staged files are renamed, so
// that an interrupted run leaves either all the earlier outputs or all the new ones.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&held, signal);
        pthread_sigmask(SIG_BLOCK, &held, &m_before);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &m_before, nullptr); }

private:
    sigset_t m_before;
};

std::string StagingName(const std::string& path) { return path + ".staged-" + std::to_string(::getpid()); }

// The files being staged, as plain character arrays a signal handler may read. A slot is in use
// when its first character is not zero.
constexpr int kStagedSlots = 8;
constexpr size_t kStagedPathSize = 4096;
char g_staged[kStagedSlots][kStagedPathSize];

void NoteStaged(int slot, const std::string& path) {
    if (slot < 0 || slot >= kStagedSlots || path.size() >= kStagedPathSize) return;
    std::memcpy(g_staged[slot] + 1, path.c_str() + 1, path.size());
    g_staged[slot][0] = path[0];  // the slot counts only once the whole path is there
}

void ForgetStaged() {
    for (auto& slot : g_staged) slot[0] = '\0';
}

extern "C" void RemoveStagedAndEnd(int signal) {
    for (auto& slot : g_staged)
        if (slot[0] != '\0') {
            ::unlink(slot);
            // The writer of a file under way writes its own temporary beside the staging name.
            char partial[kStagedPathSize + 32];
            const size_t length = std::strlen(slot);
            if (length + 32 < sizeof partial) {
                std::memcpy(partial, slot, length);
                std::memcpy(partial + length, ".partial-", 9);
                size_t at = length + 9;
                char digits[16];
                int n = 0;
                for (long pid = ::getpid(); pid > 0 && n < 16; pid /= 10) digits[n++] = static_cast<char>('0' + pid % 10);
                while (n > 0) partial[at++] = digits[--n];
                partial[at] = '\0';
                ::unlink(partial);
            }
        }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

void RemoveStagedFilesOnSignal() {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, RemoveStagedAndEnd);
}

bool WriteOutputs(const std::string& folder, const BatchResults& results, std::string& error) {
    if (!MakeFolder(folder, error)) return false;
    const std::string csvPath = folder + "/results.csv", curvesPath = folder + "/curves.txt";
    const std::string databasePath = folder + "/results.sqlite", reportPath = folder + "/report.html";
    const std::vector<std::pair<std::string, std::function<bool(const std::string&, std::string&)>>> outputs = {
        {csvPath, [&](const std::string& to, std::string& e) { return WriteFileSafely(to, ResultsCsv(results), e); }},
        {curvesPath, [&](const std::string& to, std::string& e) { return WriteFileSafely(to, CurvesText(results), e); }},
        {databasePath, [&](const std::string& to, std::string& e) { return WriteResultsDatabase(to, results, e); }},
        {reportPath, [&](const std::string& to, std::string& e) { return WriteFileSafely(to, HtmlReport(results), e); }},
    };
    std::vector<std::string> staged;
    auto discard = [&] {
        for (const std::string& path : staged) std::remove(path.c_str());
    };
    for (const auto& output : outputs) {
        const std::string staging = StagingName(output.first);
        NoteStaged(static_cast<int>(staged.size()), staging);
        if (!output.second(staging, error)) {
            discard();
            ForgetStaged();
            return false;
        }
        staged.push_back(staging);
    }
    SignalsHeld held;
    ForgetStaged();  // from here every staged file is renamed or removed before a signal acts
    for (size_t i = 0; i < outputs.size(); ++i) {
        if (std::rename(staged[i].c_str(), outputs[i].first.c_str()) != 0) {
            error = "cannot replace " + outputs[i].first + ": " + std::strerror(errno);
            for (size_t j = i; j < staged.size(); ++j) std::remove(staged[j].c_str());
            return false;
        }
    }
    return true;
}

}  // namespace Batch
