#include "workflow/output/Writers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>

#include "workflow/output/HtmlReport.h"
#include "workflow/output/ResultsDatabase.h"
#include "workflow/output/SafeFile.h"

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

std::string ResultsCsv(const BatchResults& results, bool fullPrecision) {
    return ResultsCsvHeader() + ResultsCsvRows(results, results.rows, fullPrecision);
}

std::string ResultsCsvHeader() {
    std::string out;
    AppendCsvLine(out, ResultColumns());
    return out;
}

std::string ResultsCsvRows(const BatchResults& results, const std::vector<ResultRow>& rows, bool fullPrecision) {
    std::string out;
    for (const ResultRow& row : rows) AppendCsvLine(out, ResultCells(results, row, fullPrecision));
    return out;
}

namespace {
constexpr size_t kConcentrationColumn = 6;  // in ResultColumns()
constexpr const char* kFlaggedMarker = "*";
}  // namespace

std::string MatrixCsvHeader(const BatchResults& results) {
    std::vector<std::string> cells = {"Sample", "Type"};
    for (const CurveResult& curve : results.curves) {
        const std::string units = curve.curve.GetRepUnits();
        cells.push_back(units.empty() ? curve.compound : curve.compound + " (" + units + ")");
    }
    std::string out;
    AppendCsvLine(out, cells);
    return out;
}

std::string MatrixCsvRows(const BatchResults& results, const std::vector<ResultRow>& rows, bool fullPrecision) {
    std::string out;
    const size_t compounds = results.curves.size();
    for (size_t first = 0; first < rows.size();) {
        // One line per sample: the sample's rows are consecutive, entries in method order.
        size_t last = first;
        while (last < rows.size() && rows[last].sample == rows[first].sample) ++last;
        const int index = rows[first].sample;
        const bool known = index >= 0 && index < static_cast<int>(results.samples.size());
        std::vector<std::string> cells(2 + compounds);
        cells[0] = known ? results.samples[index].id : std::string();
        cells[1] = known ? results.samples[index].type : std::string();
        for (size_t r = first; r < last; ++r) {
            const ResultRow& row = rows[r];
            if (row.entry < 1 || static_cast<size_t>(row.entry) > compounds || !row.found) continue;
            std::string cell;
            if (row.validConc)
                cell = fullPrecision ? NumberCell(row.conc) : ReportNumberCell(kConcentrationColumn, row.conc);
            if (!row.flagsSet.empty()) cell += kFlaggedMarker;
            cells[1 + row.entry] = cell;
        }
        AppendCsvLine(out, cells);
        first = last;
    }
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
    static const std::vector<std::string> names = {"results.csv", "matrix.csv", "curves.txt", "results.sqlite",
                                                   "report.html"};
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

struct OutputWriter::State {
    std::string folder;
    OutputOptions options;
    std::string csvPath, matrixPath, curvesPath, databasePath, reportPath;  // the outputs
    std::string csvStaged, matrixStaged, curvesStaged, databaseStaged, reportStaged;
    std::FILE* csv = nullptr;
    std::FILE* matrix = nullptr;
    std::FILE* report = nullptr;
    HtmlReportWriter html;
    ResultsDatabaseWriter database;
    bool failed = false;
};

OutputWriter::OutputWriter() = default;

OutputWriter::~OutputWriter() { Discard(); }

void OutputWriter::Discard() {
    if (!m_state) return;
    for (std::FILE* file : {m_state->csv, m_state->matrix, m_state->report})
        if (file != nullptr) std::fclose(file);
    for (const std::string* path : {&m_state->csvStaged, &m_state->matrixStaged, &m_state->curvesStaged,
                                    &m_state->databaseStaged, &m_state->reportStaged})
        std::remove(path->c_str());
    m_state.reset();  // the database writer removes its own temporary
    ForgetStaged();
}

namespace {
bool Append(std::FILE* file, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

bool CloseAndFlush(std::FILE*& file, const std::string& path, std::string& error) {
    const bool written = std::ferror(file) == 0;
    const bool closed = std::fclose(file) == 0;
    file = nullptr;
    if (!written || !closed) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return FlushToDisk(path, error);
}
}  // namespace

bool OutputWriter::Begin(const std::string& folder, const BatchResults& results, std::string& error,
                         const OutputOptions& options) {
    Discard();
    if (!MakeFolder(folder, error)) return false;
    m_state = std::make_unique<State>();
    State& s = *m_state;
    s.folder = folder;
    s.options = options;
    s.csvPath = folder + "/results.csv";
    s.matrixPath = folder + "/matrix.csv";
    s.matrixStaged = StagingName(s.matrixPath);
    s.curvesPath = folder + "/curves.txt";
    s.databasePath = folder + "/results.sqlite";
    s.reportPath = folder + "/report.html";
    s.csvStaged = StagingName(s.csvPath);
    s.curvesStaged = StagingName(s.curvesPath);
    s.databaseStaged = StagingName(s.databasePath);
    s.reportStaged = StagingName(s.reportPath);
    int slot = 0;
    for (const std::string* path : {&s.csvStaged, &s.matrixStaged, &s.curvesStaged, &s.databaseStaged, &s.reportStaged})
        NoteStaged(slot++, *path);
    s.csv = std::fopen(s.csvStaged.c_str(), "wb");
    s.matrix = std::fopen(s.matrixStaged.c_str(), "wb");
    s.report = std::fopen(s.reportStaged.c_str(), "wb");
    if (s.csv == nullptr || s.matrix == nullptr || s.report == nullptr) {
        error = "cannot write in " + folder + ": " + std::strerror(errno);
        Discard();
        return false;
    }
    std::string header;
    AppendCsvLine(header, ResultColumns());
    if (!Append(s.csv, header) || !Append(s.matrix, MatrixCsvHeader(results)) ||
        !Append(s.report, s.html.Head(results))) {
        error = "cannot write in " + folder + ": " + std::strerror(errno);
        Discard();
        return false;
    }
    if (!s.database.Open(s.databaseStaged, error)) {
        Discard();
        return false;
    }
    return true;
}

bool OutputWriter::AddSample(const BatchResults& results, const std::vector<ResultRow>& rows, std::string& error) {
    if (!m_state) {
        error = "the outputs are not open";
        return false;
    }
    State& s = *m_state;
    // Each row's cells are formatted once for the CSV and the report, unless they print differently.
    std::vector<std::vector<std::string>> cells;
    cells.reserve(rows.size());
    for (const ResultRow& row : rows) cells.push_back(ResultCells(results, row));
    std::string csv;
    for (size_t i = 0; i < rows.size(); ++i)
        AppendCsvLine(csv, s.options.fullPrecision ? ResultCells(results, rows[i], true) : cells[i]);
    if (!Append(s.csv, csv) || !Append(s.matrix, MatrixCsvRows(results, rows, s.options.fullPrecision)) ||
        !Append(s.report, s.html.Rows(results, rows, cells))) {
        error = "cannot write in " + s.folder + ": " + std::strerror(errno);
        Discard();
        return false;
    }
    if (!s.database.AddResults(results, rows, error)) {
        Discard();
        return false;
    }
    return true;
}

bool OutputWriter::AddChromatograms(int sampleIndex, const std::vector<ResultRow>& rows,
                                    const std::vector<EntryTrace>& traces, std::string& error) {
    if (!m_state) {
        error = "the outputs are not open";
        return false;
    }
    if (!m_state->database.AddChromatograms(sampleIndex, traces, error)) {
        Discard();
        return false;
    }
    m_state->html.AddChromatograms(rows, traces);
    return true;
}

bool OutputWriter::Finish(const BatchResults& results, std::string& error) {
    if (!m_state) {
        error = "the outputs are not open";
        return false;
    }
    State& s = *m_state;
    if (!Append(s.report, s.html.Tail(results))) {
        error = "cannot write in " + s.folder + ": " + std::strerror(errno);
        Discard();
        return false;
    }
    const bool written = CloseAndFlush(s.csv, s.csvStaged, error) && CloseAndFlush(s.matrix, s.matrixStaged, error) &&
                         CloseAndFlush(s.report, s.reportStaged, error) &&
                         WriteFileSafely(s.curvesStaged, CurvesText(results), error) &&
                         s.database.Finish(results, error);
    if (!written) {
        if (error.empty()) error = "cannot write in " + s.folder;
        Discard();
        return false;
    }
    SignalsHeld held;
    ForgetStaged();  // from here every staged file is renamed or removed before a signal acts
    // A staged file already renamed is gone, so discarding after a failed rename removes only
    // the ones still staged.
    const std::pair<const std::string*, const std::string*> moves[] = {
        {&s.csvStaged, &s.csvPath}, {&s.matrixStaged, &s.matrixPath}, {&s.curvesStaged, &s.curvesPath},
        {&s.databaseStaged, &s.databasePath}, {&s.reportStaged, &s.reportPath}};
    for (const auto& move : moves) {
        if (std::rename(move.first->c_str(), move.second->c_str()) != 0) {
            error = "cannot replace " + *move.second + ": " + std::strerror(errno);
            Discard();
            return false;
        }
    }
    m_state.reset();
    return true;
}

bool WriteOutputs(const std::string& folder, const BatchResults& results, std::string& error,
                  const OutputOptions& options) {
    OutputWriter writer;
    return writer.Begin(folder, results, error, options) && writer.AddSample(results, results.rows, error) &&
           writer.Finish(results, error);
}

}  // namespace Batch
