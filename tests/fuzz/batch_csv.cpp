// The batch tool's comma-separated readers. The first input byte chooses the reader: 0 the CSV
// splitter alone, 1 a peak file, 2 a batch sheet (with the example batch's method) whose peak
// files are the further parts of the input, separated by a line "--8<--" and named
// peaks/p0.csv, peaks/p1.csv, ... in a scratch folder.
// Invariants: rows written back with every cell quoted split into the same cells; a reader
// reports success exactly when it reported no problem, and every problem names its file and
// says what is wrong. What the rows hold is the unit tests' business.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "workflow/support/Csv.h"
#include "workflow/batch/BatchInput.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {
const std::string kPartSeparator = "\n--8<--\n";

// Made once per run and removed at exit; kept on the heap so that it outlives the exit handler.
const std::string& ScratchFolder() {
    static const std::string* folder = [] {
        char pattern[] = "/tmp/quan-fuzz-csv-XXXXXX";
        const char* made = mkdtemp(pattern);
        FUZZ_CHECK(made != nullptr);
        std::filesystem::create_directory(std::string(made) + "/peaks");
        std::atexit([] { std::error_code ignored; std::filesystem::remove_all(ScratchFolder(), ignored); });
        return new std::string(made);
    }();
    return *folder;
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    FUZZ_CHECK(file << text);
}

std::vector<std::string> Parts(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0, at = 0;
    for (; (at = text.find(kPartSeparator, start)) != std::string::npos; start = at + kPartSeparator.size())
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

std::string Quoted(const std::vector<Csv::Row>& rows) {
    std::string text;
    for (const Csv::Row& row : rows) {
        for (size_t c = 0; c < row.cells.size(); ++c) {
            if (c > 0) text += ',';
            text += '"';
            for (char ch : row.cells[c]) text += ch == '"' ? std::string("\"\"") : std::string(1, ch);
            text += '"';
        }
        text += '\n';
    }
    return text;
}

void CheckSplit(const std::string& text) {
    std::vector<Csv::Row> rows, again;
    std::string error;
    if (!Csv::Parse(text, rows, error)) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    FUZZ_CHECK(Csv::Parse(Quoted(rows), again, error));
    FUZZ_CHECK(again.size() == rows.size());
    for (size_t r = 0; r < rows.size(); ++r) FUZZ_CHECK(again[r].cells == rows[r].cells);
}

void CheckPeakFile(const std::string& text) {
    const std::string path = ScratchFolder() + "/peaks.csv";
    WriteFile(path, text);
    CPeakList peaks;
    std::vector<Batch::Problem> problems;
    CheckReport(Batch::ReadPeakFile(path, peaks, problems), problems);
}

// Peak file names that leave the scratch folder are not the reader's business here.
bool StaysInFolder(const std::string& sheet) {
    std::vector<Csv::Row> rows;
    std::string error;
    if (!Csv::Parse(sheet, rows, error)) return true;
    for (const Csv::Row& row : rows)
        for (const std::string& cell : row.cells)
            if (Csv::Trim(cell).rfind('/', 0) == 0 || cell.find("..") != std::string::npos) return false;
    return true;
}

void CheckBatchSheet(const std::string& text) {
    static const CMethodList method = [] {
        CMethodList list;
        std::vector<Batch::Problem> problems;
        FUZZ_CHECK(Batch::ReadMethodFile(QUAN_SOURCE_DIR "/examples/batch/method.xml", list, problems));
        return list;
    }();
    const std::vector<std::string> parts = Parts(text);
    if (!StaysInFolder(parts[0]) || parts.size() > 16) return;
    const std::string& folder = ScratchFolder();
    for (const auto& item : std::filesystem::directory_iterator(folder + "/peaks")) std::filesystem::remove(item.path());
    for (size_t k = 1; k < parts.size(); ++k) WriteFile(folder + "/peaks/p" + std::to_string(k - 1) + ".csv", parts[k]);
    WriteFile(folder + "/batch.csv", parts[0]);

    std::vector<std::unique_ptr<Batch::SampleInput>> samples;
    std::vector<Batch::Problem> problems;
    CheckReport(Batch::ReadBatchList(folder, folder + "/batch.csv", method, samples, problems), problems);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 256 * 1024) return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 3) {
        case 0: CheckSplit(text); break;
        case 1: CheckSplit(text); CheckPeakFile(text); break;
        default: CheckBatchSheet(text); break;
    }
    return 0;
}
