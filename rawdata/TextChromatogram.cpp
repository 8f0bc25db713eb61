// Detector channels exported as text by chromatography data systems (UV, FID, ...). The file
// opens with any number of "key<TAB>value" lines (of which "Channel" names the trace), then a
// table: a header row that names a time column ("Time (min)", "RT [s]", "Retention time") and
// a signal column ("Value (mAU)", "Signal", "Intensity", ...), then one row per point.
//
// The separator is the header row's: tab, semicolon or comma. Exports print numbers the way
// their locale does, so: in a tab-separated table a comma inside a number is a thousands
// separator ("1,069.553806"), but only where it groups digits by three, so that a decimal
// comma never silently turns 1,5 into 15; in a semicolon-separated table a comma in a number
// without a point is its decimal comma ("1,5"); in a comma-separated table numbers are plain.
// Times in seconds (a unit "(s)", "[s]", "sec") are converted to minutes.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/NumberText.h"
#include "rawdata/RawDataReader.h"
#include "rawdata/ReadSupport.h"

namespace RawData {
namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '"')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '"' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::string Lower(std::string_view text) { return NumberText::LowerAscii(std::string(text)); }

std::vector<std::string_view> SplitCells(std::string_view line, char separator) {
    std::vector<std::string_view> cells;
    size_t begin = 0;
    while (true) {
        const size_t end = line.find(separator, begin);
        cells.push_back(Trimmed(line.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin)));
        if (end == std::string_view::npos) break;
        begin = end + 1;
    }
    return cells;
}

char SeparatorOf(std::string_view line) {
    if (line.find('\t') != std::string_view::npos) return '\t';
    if (line.find(';') != std::string_view::npos) return ';';
    return ',';
}

bool ParsePlain(std::string_view text, double& value) { return NumberText::Read(text, value); }

// "1,069.55" with commas only between groups of three digits before the point.
bool RemoveThousandsSeparators(std::string_view text, std::string& plain) {
    plain.clear();
    const size_t point = std::min(text.find_first_of(".eE"), text.size());
    size_t digitsSinceComma = 0;
    bool sawComma = false;
    for (size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        if (c == ',') {
            if (k >= point || digitsSinceComma == 0 || (sawComma && digitsSinceComma != 3) || digitsSinceComma > 3)
                return false;
            sawComma = true;
            digitsSinceComma = 0;
            continue;
        }
        if (k < point && NumberText::IsDigitAscii(c)) ++digitsSinceComma;
        plain += c;
    }
    return !sawComma || digitsSinceComma == 3;
}

// A cell as a number, by the rules of its table's separator; false when it is not one.
bool ParseCell(std::string_view cell, char separator, std::string& scratch, double& value) {
    if (cell.find(',') == std::string_view::npos) return ParsePlain(cell, value);
    if (separator == '\t') return RemoveThousandsSeparators(cell, scratch) && ParsePlain(scratch, value);
    if (separator == ';' && cell.find('.') == std::string_view::npos && std::count(cell.begin(), cell.end(), ',') == 1) {
        scratch.assign(cell);
        std::replace(scratch.begin(), scratch.end(), ',', '.');
        return ParsePlain(scratch, value);
    }
    return false;
}

bool IsNumber(std::string_view cell, char separator) {
    std::string scratch;
    double value = 0.0;
    return ParseCell(cell, separator, scratch, value);
}

bool IsTimeColumn(const std::string& name) {
    return name.rfind("time", 0) == 0 || name.rfind("retention", 0) == 0 || name == "rt" || name.rfind("rt ", 0) == 0 ||
           name.rfind("rt(", 0) == 0 || name.rfind("rt[", 0) == 0;
}

// Signal columns by the words exports use, in order of preference.
constexpr std::string_view kSignalWords[] = {"value", "signal", "intensity", "absorbance", "response",
                                             "counts", "height", "mau", "mv", "pa"};

int SignalColumn(const std::vector<std::string>& names, size_t timeColumn) {
    for (std::string_view word : kSignalWords)
        for (size_t k = 0; k < names.size(); ++k)
            if (k != timeColumn && names[k].rfind(word, 0) == 0) return static_cast<int>(k);
    return -1;
}

// Minutes per unit of the time column, by the unit its name gives.
double MinutesPerOfColumn(const std::string& name) {
    const bool seconds = name.find("(s)") != std::string::npos || name.find("[s]") != std::string::npos ||
                         name.find("sec") != std::string::npos;
    return seconds ? 1.0 / 60.0 : 1.0;
}

std::string FileStem(const std::string& name) {
    const size_t slash = name.find_last_of("/\\");
    std::string stem = slash == std::string::npos ? name : name.substr(slash + 1);
    const size_t dot = stem.find_last_of('.');
    if (dot != std::string::npos && dot > 0) stem.erase(dot);
    return stem;
}

struct Table {
    int headerLine = 0;
    char separator = '\t';
    size_t timeColumn = 0;
    size_t signalColumn = 0;
    double minutesPer = 1.0;
};

// Recognises the table's header row: two or more cells, none a number, one naming a time column
// and another a signal column.
bool ReadHeaderRow(std::string_view line, Table& table) {
    const char separator = SeparatorOf(line);
    const std::vector<std::string_view> cells = SplitCells(line, separator);
    if (cells.size() < 2) return false;
    std::vector<std::string> names;
    int timeColumn = -1;
    for (std::string_view cell : cells) {
        if (IsNumber(cell, separator)) return false;
        names.push_back(Lower(cell));
        if (timeColumn < 0 && IsTimeColumn(names.back())) timeColumn = static_cast<int>(names.size()) - 1;
    }
    if (timeColumn < 0) return false;
    const int signalColumn = SignalColumn(names, static_cast<size_t>(timeColumn));
    if (signalColumn < 0) return false;
    table.separator = separator;
    table.timeColumn = static_cast<size_t>(timeColumn);
    table.signalColumn = static_cast<size_t>(signalColumn);
    table.minutesPer = MinutesPerOfColumn(names[static_cast<size_t>(timeColumn)]);
    return true;
}

}  // namespace

bool ReadTextChromatogram(std::string_view text, const std::string& name, const std::vector<TraceRequest>& requests,
                          ReadResult& result, const ReadOptions& options) {
    const size_t before = result.problems.size();
    {
        ProblemSink problems(name, result.problems);
        if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
        if (text.find('\0') != std::string_view::npos) {
            problems.Add(0, "", "not a text file (it holds NUL bytes; UTF-16 exports must be saved as UTF-8)");
            return false;
        }
        Chromatogram chromatogram;
        std::string channel;
        Table table;
        bool inTable = false;
        std::string scratch;
        int lineNumber = 0;
        size_t begin = 0;
        while (begin < text.size()) {
            size_t end = text.find('\n', begin);
            if (end == std::string_view::npos) end = text.size();
            const std::string_view line = Trimmed(text.substr(begin, end - begin)).empty() ? std::string_view()
                                                                                          : text.substr(begin, end - begin);
            begin = end + 1;
            ++lineNumber;
            if (line.empty()) continue;
            if (!inTable) {
                const size_t tab = line.find('\t');
                if (tab != std::string_view::npos && Lower(Trimmed(line.substr(0, tab))) == "channel" && channel.empty())
                    channel = std::string(Trimmed(line.substr(tab + 1)));
                inTable = ReadHeaderRow(line, table);
                table.headerLine = lineNumber;
                continue;
            }
            const std::vector<std::string_view> cells = SplitCells(line, table.separator);
            const size_t needed = std::max(table.timeColumn, table.signalColumn) + 1;
            if (cells.size() < needed) {
                problems.Add(lineNumber, "", "the row has " + std::to_string(cells.size()) + " columns, the table " +
                                                 std::to_string(needed) + " or more");
                continue;
            }
            double time = 0.0;
            double signal = 0.0;
            if (!ParseCell(cells[table.timeColumn], table.separator, scratch, time)) {
                problems.Add(lineNumber, "", "time \"" + std::string(cells[table.timeColumn]) + "\" is not a number");
                continue;
            }
            if (!ParseCell(cells[table.signalColumn], table.separator, scratch, signal)) {
                problems.Add(lineNumber, "", "signal \"" + std::string(cells[table.signalColumn]) + "\" is not a number");
                continue;
            }
            time *= table.minutesPer;
            if (!std::isfinite(time) || !std::isfinite(signal)) {
                problems.Add(lineNumber, "", "the row holds a number that is not finite");
                continue;
            }
            if (!chromatogram.times.empty() && time <= chromatogram.times.back()) {
                problems.Add(lineNumber, "", std::string("time ") + (time == chromatogram.times.back() ? "repeats" : "goes backwards") +
                                                 " (" + NumberText::Shortest(time) + " min after " + NumberText::Shortest(chromatogram.times.back()) + " min)");
                continue;
            }
            chromatogram.times.push_back(time);
            chromatogram.intensities.push_back(signal);
        }
        if (!inTable && !problems.Any())
            problems.Add(0, "", "no table with a time column and a signal column (such as \"Time (min)\" and \"Value\")");
        if (problems.Any()) return false;
        chromatogram.id = channel.empty() ? FileStem(name) : channel;
        chromatogram.trace = chromatogram.id;
        bool wanted = requests.empty() || options.everyChromatogram;
        double distance = 0.0;
        for (const TraceRequest& request : requests)
            if (MatchesRequest(request, 0.0, 0.0, chromatogram.id, 0, distance)) wanted = true;
        if (wanted) {
            for (const TraceRequest& request : requests)
                if (MatchesRequest(request, 0.0, 0.0, chromatogram.id, 0, distance)) chromatogram.trace = request.trace;
            result.chromatograms.push_back(std::move(chromatogram));
        } else {
            for (const TraceRequest& request : requests) result.unmatched.push_back(request.trace);
        }
    }
    return result.problems.size() == before;
}

bool ReadTextChromatogramFile(const std::string& path, const std::vector<TraceRequest>& requests, ReadResult& result,
                              const ReadOptions& options) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        result.problems.push_back({path, 0, 0, "cannot open the file"});
        return false;
    }
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad()) {
        result.problems.push_back({path, 0, 0, "cannot read the file"});
        return false;
    }
    return ReadTextChromatogram(content.str(), path, requests, result, options);
}

RawFileKind KindOfRawFile(const std::string& path) {
    std::string name = Lower(path);
    if (name.size() > 8 && name.compare(name.size() - 8, 8, ".mzml.gz") == 0) return RawFileKind::Mzml;
    const size_t dot = name.find_last_of('.');
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    if (extension == ".mzml") return RawFileKind::Mzml;
    if (extension == ".txt" || extension == ".tsv" || extension == ".asc" || extension == ".arw") return RawFileKind::Text;
    return RawFileKind::Unknown;
}

bool ReadRawFile(const std::string& path, const std::vector<TraceRequest>& requests, ReadResult& result,
                 const ReadOptions& options) {
    if (KindOfRawFile(path) == RawFileKind::Mzml) return ReadMzmlFile(path, requests, result, options);
    return ReadTextChromatogramFile(path, requests, result, options);
}

}  // namespace RawData
