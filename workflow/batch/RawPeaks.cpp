// Raw files to peak entries and peak entries to CSV (RawPeaks.h). The columns written are the
// peak fields an integration fills plus those that route peaks to entries and totals; the
// batch's peak reader takes them back as they are.
#include "workflow/batch/RawPeaks.h"

#include <algorithm>
#include <charconv>
#include <fstream>

#include "workflow/support/Csv.h"

namespace Batch {

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && std::equal(end.rbegin(), end.rend(), text.rbegin(),
                                                   [](char a, char b) { return std::tolower(a) == std::tolower(b); });
}

// A .csv holds a peak list when its first row (comments and blank lines aside) names a peak
// field: a peak list with a misspelt column is still a peak list, and gets its error as such.
bool IsPeakList(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        if (line.size() >= 3 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (Csv::Trim(line).empty() || line[0] == '#') continue;
        const std::vector<std::string> known = PeakColumnNames();
        for (const std::string& cell : Csv::Split(line, ','))
            if (std::binary_search(known.begin(), known.end(), Csv::Trim(cell))) return true;
        return false;
    }
    return false;
}

template <class T>
std::string Number(T value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

struct Column {
    const char* name;
    std::string (*cell)(const CPeakData&);
};
#define NUMBER_COLUMN(Name) {#Name, [](const CPeakData& p) { return Number(p.Get##Name()); }}
const Column kColumns[] = {
    {"QuanTrace", [](const CPeakData& p) { return std::string(p.GetQuanTrace()); }},
    NUMBER_COLUMN(FoundRT), NUMBER_COLUMN(StartRT), NUMBER_COLUMN(EndRT), NUMBER_COLUMN(StHeight),
    NUMBER_COLUMN(EnHeight), NUMBER_COLUMN(Area), NUMBER_COLUMN(Height), NUMBER_COLUMN(ChromNoise),
    NUMBER_COLUMN(FoundScan), NUMBER_COLUMN(StScan), NUMBER_COLUMN(EnScan), NUMBER_COLUMN(PeakMass),
    NUMBER_COLUMN(RawAcquisitionFunction), NUMBER_COLUMN(MDBIntegrateEntry), NUMBER_COLUMN(MDBIntegrateEntryPeak),
    {"TotalsGroup", [](const CPeakData& p) { return std::string(p.GetTotalsGroup()); }},
    NUMBER_COLUMN(TotalsPeak), NUMBER_COLUMN(TotalsGroupPeak),
};
#undef NUMBER_COLUMN

// A cell quoted when it holds a comma, a quote or a line end.
std::string Quoted(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

}  // namespace

std::vector<std::string> SplitPeakFiles(const std::string& cell) {
    std::vector<std::string> names;
    for (const std::string& part : Csv::Split(cell, ';'))
        if (!Csv::Trim(part).empty()) names.push_back(Csv::Trim(part));
    return names;
}

bool NamesRawData(const std::vector<std::string>& paths) {
    if (paths.size() > 1) return true;
    for (const std::string& path : paths) {
        if (RawData::KindOfRawFile(path) != RawData::RawFileKind::Unknown) return true;
        if (EndsWith(path, ".csv")) return !IsPeakList(path);
    }
    return false;
}

const char* const kQualityColumns[4] = {"WidthAtHalfHeight", "Asymmetry", "TailingFactor", "PointsAcross"};

bool ReadRawPeaks(const std::vector<std::string>& paths, const CMethodList& method, CPeakList& peaks,
                  std::vector<Problem>& problems, std::vector<RawData::Chromatogram>* chromatograms,
                  std::vector<Integrate::PeakQuality>* quality) {
    const size_t before = problems.size();
    const std::vector<RawData::TraceRequest> requests = RawData::BuildTraceRequests(method);
    RawData::ReadResult read;
    for (const std::string& path : paths) {
        // Text exports of one channel each; a name that is not mzML is read as such.
        const bool mzml = RawData::KindOfRawFile(path) == RawData::RawFileKind::Mzml;
        if (mzml) RawData::ReadMzmlFile(path, requests, read);
        else RawData::ReadTextChromatogramFile(path, requests, read);
    }
    problems.insert(problems.end(), read.problems.begin(), read.problems.end());
    if (problems.size() != before) return false;
    // Integrated straight into the caller's list (a peak record is 4 kB: copying them all again
    // was a good part of a file's time), and taken back out when a chromatogram had a problem.
    const int kept = peaks.GetSize();
    const size_t shapesKept = quality != nullptr ? quality->size() : 0;
    const std::string sample = paths.empty() ? std::string() : paths.front();
    for (Problem& problem : Integrate::IntegrateForMethod(method, read.chromatograms, peaks, quality)) {
        problem.file = sample;
        problems.push_back(std::move(problem));
    }
    if (problems.size() != before) {
        peaks.SetSize(kept);
        if (quality != nullptr) quality->resize(shapesKept);
        return false;
    }
    if (chromatograms != nullptr) *chromatograms = std::move(read.chromatograms);
    return true;
}

std::string PeakListCsv(const CPeakList& peaks, const std::vector<Integrate::PeakQuality>* quality) {
    const bool shapes = quality != nullptr && quality->size() == static_cast<size_t>(peaks.GetSize());
    std::string text;
    for (const Column& column : kColumns) {
        if (!text.empty()) text += ',';
        text += column.name;
    }
    if (shapes)
        for (const char* name : kQualityColumns) {
            text += ',';
            text += name;
        }
    text += '\n';
    for (int i = 0; i < peaks.GetSize(); ++i) {
        const CPeakData* peak = peaks.GetEntry(i);
        if (peak == nullptr) continue;
        for (const Column& column : kColumns) {
            if (&column != kColumns) text += ',';
            text += Quoted(column.cell(*peak));
        }
        if (shapes) {
            // A totals record has no shape: its cells stay empty.
            const Integrate::PeakQuality& q = (*quality)[i];
            // Appended piece by piece: g++ 12 warns (wrongly) of an overlapping copy in "," + string.
            if (q.pointsAcross > 0) {
                for (const double figure : {q.widthAtHalfHeight, q.asymmetry, q.tailingFactor,
                                            static_cast<double>(q.pointsAcross)}) {
                    text += ',';
                    text += Number(figure);
                }
            } else {
                text += ",,,,";
            }
        }
        text += '\n';
    }
    return text;
}

}  // namespace Batch
