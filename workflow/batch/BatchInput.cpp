#include "workflow/batch/BatchInput.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

#include "platform/NumberText.h"
#include "workflow/support/Csv.h"
#include "workflow/batch/RawPeaks.h"
#include "workflow/batch/Workers.h"
#include "workflow/method/MethodCheck.h"

namespace Batch {

namespace {

std::string Lower(std::string text) { return NumberText::LowerAscii(std::move(text)); }

bool ParseInteger(std::string_view text, long long low, long long high, long long& value) {
    long long parsed = 0;
    if (!NumberText::Read(Csv::TrimView(text), parsed) || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

// --- peak columns: one setter per stored field, from the peak field table ------------------

using PeakSetter = std::function<bool(CPeakData&, std::string_view)>;

template <class T>
bool ParseNumber(std::string_view text, T& value) {
    if constexpr (std::is_floating_point_v<T>) {
        double parsed = 0.0;
        if (!Csv::ToDouble(text, parsed)) return false;
        if (std::is_same_v<T, float> && std::fabs(parsed) > 3.4028234663852886e38) return false;
        value = static_cast<T>(parsed);
        return true;
    } else {
        long long parsed = 0;
        if (!ParseInteger(text, std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), parsed)) return false;
        value = static_cast<T>(parsed);
        return true;
    }
}

template <class T, class Set>
PeakSetter NumberSetter(Set set) {
    return [set](CPeakData& peak, std::string_view text) {
        T value{};
        if (!ParseNumber(text, value)) return false;
        set(peak, value);
        return true;
    };
}

template <class Set>
PeakSetter TextSetter(size_t maxChars, Set set) {
    return [maxChars, set](CPeakData& peak, std::string_view text) {
        if (text.size() > maxChars) return false;  // never cut a text silently
        set(peak, std::string(text));
        return true;
    };
}

const std::map<std::string, PeakSetter>& PeakSetters() {
    static const std::map<std::string, PeakSetter> setters = [] {
        std::map<std::string, PeakSetter> table;
#define PEAK_FIELD(offset, type, Name) \
    table[#Name] = NumberSetter<type>([](CPeakData& p, type v) { p.Set##Name(v); });
#define PEAK_FIELD_STORED(offset, type, Name) PEAK_FIELD(offset, type, Name)
#define PEAK_BOOL(offset, Name) PEAK_FIELD(offset, int32_t, Name)
#define PEAK_TEXT(offset, size, maxChars, Name) \
    table[#Name] = TextSetter(maxChars, [](CPeakData& p, const std::string& t) { p.Set##Name(t); });
#define PEAK_TEXT_INPLACE(offset, size, maxChars, Name) PEAK_TEXT(offset, size, maxChars, Name)
#define PEAK_TEXT_STORED(offset, size, maxChars, Name) PEAK_TEXT(offset, size, maxChars, Name)
#define PEAK_ARRAY(offset, type, count, Name, outside)                                             \
    for (int k = 0; k < (count); ++k)                                                              \
        table[#Name + std::to_string(k)] = NumberSetter<type>([k](CPeakData& p, type v) { p.Set##Name(k, v); });
#define PEAK_TEXT_ARRAY(offset, size, count, maxChars, Name)                                        \
    for (int k = 0; k < (count); ++k)                                                               \
        table[#Name + std::to_string(k)] =                                                          \
            TextSetter(maxChars, [k](CPeakData& p, const std::string& t) { p.Set##Name(k, t); });
#define PEAK_FLAGWORD(offset, Name) PEAK_FIELD(offset, uint32_t, Name)
#include "records/PeakFields.def"
#define PEAK_FLAG_BIT(bit, Name) \
    table[#Name] = NumberSetter<int>([](CPeakData& p, int v) { p.Set##Name(v); });
#include "records/PeakFlagBits.def"
        table["ID"] = NumberSetter<int>([](CPeakData& p, int v) { p.SetID(v); });
        table["AbsNoiseHeight"] = NumberSetter<double>([](CPeakData& p, double v) { p.SetAbsNoiseHeight(v); });
        return table;
    }();
    return setters;
}

// One peak's shape figures from its row; an empty cell (a totals record) leaves a figure 0, and
// a cell that is not a finite number of its kind is a problem, as any other peak cell is.
Integrate::PeakQuality ShapeOfRow(const std::string& path, int line, const std::vector<std::string_view>& cells,
                                  const std::vector<int>& at, std::vector<Problem>& problems) {
    Integrate::PeakQuality quality;
    double* const figures[] = {&quality.widthAtHalfHeight, &quality.asymmetry, &quality.tailingFactor};
    for (size_t k = 0; k < std::size(kQualityColumns); ++k) {
        if (at[k] < 0 || Csv::TrimView(cells[at[k]]).empty()) continue;
        const std::string cell(cells[at[k]]);
        const bool read = k < std::size(figures) ? ParseNumber(cell, *figures[k]) && std::isfinite(*figures[k])
                                                  : ParseNumber(cell, quality.pointsAcross) && quality.pointsAcross >= 0;
        if (!read) {
            std::string message = "\"" + cell;
            message += "\" is not a valid ";
            message += kQualityColumns[k];
            problems.push_back({path, line, at[k] + 1, message});
        }
    }
    return quality;
}

}  // namespace

std::vector<std::string> PeakColumnNames() {
    std::vector<std::string> names;
    for (const auto& setter : PeakSetters()) names.push_back(setter.first);
    return names;
}

const SampleFactorColumn kSampleFactorColumns[6] = {
    {"InjectionVolume", &CQuanSampleData::SetInjectionVolume},
    {"InitialAmount", &CQuanSampleData::SetInitialAmount},
    {"ExtractVolume", &CQuanSampleData::SetExtractVolume},
    {"ExtractDilutionFactor", &CQuanSampleData::SetExtractDilutionFactor},
    {"UserDilutionFactor", &CQuanSampleData::SetUserDilutionFactor},
    {"StockDilutionFactor", &CQuanSampleData::SetStockDilutionFactor},
};

bool ReadCsvRows(const std::string& path, std::vector<Csv::Row>& rows, std::vector<Problem>& problems) {
    std::string text, error;
    if (!Csv::ReadFile(path, text)) {
        problems.push_back({path, 0, 0, "cannot be read"});
        return false;
    }
    if (!Csv::Parse(text, rows, error)) {
        problems.push_back({path, 0, 0, error});
        return false;
    }
    return true;
}

namespace {
// Reads a peak file into `peaks`, or, given no list, only checks it: the same problems either way.
// The file is taken row by row as it is split (a batch reads hundreds of them, twice); a file
// with quotes is split whole first, so that an unclosed quote is its only problem. With
// `quality`, the shape columns quan-integrate writes go beside the peaks, one figure set per peak.
bool ReadPeakRows(const std::string& path, CPeakList* peaks, std::vector<Problem>& problems,
                  std::vector<Integrate::PeakQuality>* quality) {
    const size_t before = problems.size();
    std::string text, error;
    if (!Csv::ReadFile(path, text)) {
        problems.push_back({path, 0, 0, "cannot be read"});
        return false;
    }
    const auto& setters = PeakSetters();
    std::vector<std::string> names;  // the header's, trimmed
    std::vector<const PeakSetter*> columns;
    std::vector<int> shapeColumn(std::size(kQualityColumns), -1);  // where each shape column is
    bool shapes = false;
    int headerLine = 0, peakNumber = 0;
    bool headerRead = false;
    const auto readRow = [&](int line, const std::vector<std::string_view>& cells) {
        if (headerLine == 0) {
            headerLine = line;
            for (size_t c = 0; c < cells.size(); ++c) {
                names.emplace_back(Csv::TrimView(cells[c]));
                // The peak shape columns quan-integrate writes go beside the peaks, not into them.
                const auto shape = std::find(std::begin(kQualityColumns), std::end(kQualityColumns), names.back());
                if (shape != std::end(kQualityColumns)) {
                    shapeColumn[shape - std::begin(kQualityColumns)] = static_cast<int>(c);
                    shapes = true;
                    columns.push_back(nullptr);
                    continue;
                }
                auto found = setters.find(names.back());
                if (found == setters.end())
                    problems.push_back({path, line, static_cast<int>(c + 1), "unknown peak field \"" + names.back() + "\""});
                columns.push_back(found == setters.end() ? nullptr : &found->second);
            }
            headerRead = problems.size() == before;
            return;
        }
        if (!headerRead) return;  // a bad header: the rows are not read
        ++peakNumber;
        if (cells.size() != columns.size()) {
            problems.push_back({path, line, 0, "has " + std::to_string(cells.size()) + " cells, the header " +
                                                   std::to_string(columns.size())});
            return;
        }
        CPeakData peak;
        for (size_t c = 0; c < columns.size(); ++c) {
            // an empty cell keeps the field's initial value
            if (columns[c] == nullptr || Csv::TrimView(cells[c]).empty()) continue;
            if (!(*columns[c])(peak, cells[c]))
                problems.push_back({path, line, static_cast<int>(c + 1),
                                    std::string(1, '"').append(cells[c]).append("\" is not a valid ").append(names[c])});
        }
        peak.SetID(peakNumber);
        if (peaks != nullptr) peaks->Add(peak);
        if (quality != nullptr && shapes) quality->push_back(ShapeOfRow(path, line, cells, shapeColumn, problems));
    };
    bool split = true;
    if (text.find('"') == std::string::npos) {
        split = Csv::ForEachRow(text, readRow, error);
    } else {
        std::vector<Csv::Row> rows;
        split = Csv::Parse(text, rows, error);
        for (size_t r = 0; split && r < rows.size(); ++r)
            readRow(rows[r].line, std::vector<std::string_view>(rows[r].cells.begin(), rows[r].cells.end()));
    }
    if (!split) {
        problems.push_back({path, 0, 0, error});
        return false;
    }
    if (headerLine == 0) {
        problems.push_back({path, 0, 0, "has no header row"});
        return false;
    }
    return problems.size() == before;
}
}  // namespace

bool ReadPeakFile(const std::string& path, CPeakList& peaks, std::vector<Problem>& problems,
                  std::vector<Integrate::PeakQuality>* quality) {
    return ReadPeakRows(path, &peaks, problems, quality);
}

bool ReadSamplePeaks(const SampleInput& sample, const CMethodList& method, CPeakList& peaks,
                     std::vector<Problem>& problems, std::vector<RawData::Chromatogram>* chromatograms,
                     std::vector<Integrate::PeakQuality>* quality) {
    if (sample.rawData) return ReadRawPeaks(sample.peakPaths, method, peaks, problems, chromatograms, quality);
    return ReadPeakFile(sample.peakPath, peaks, problems, quality);
}

namespace {
struct BatchColumn {
    const char* name;
    bool required;
};
const BatchColumn kBatchColumns[] = {
    {"SampleID", true},           {"PeakFile", true},           {"Type", true},
    {"InjectionVolume", false},   {"InitialAmount", false},     {"ExtractVolume", false},
    {"ExtractDilutionFactor", false}, {"UserDilutionFactor", false}, {"StockDilutionFactor", false},
    {"Description", false},       {"Exclude", false},
};
}  // namespace

bool ReadBatchList(const std::string& folder, const std::string& path, const CMethodList& method,
                   std::vector<std::unique_ptr<SampleInput>>& samples, std::vector<Problem>& problems,
                   bool keepPeaks, int threads) {
    const size_t before = problems.size();
    std::vector<Csv::Row> rows;
    if (!ReadCsvRows(path, rows, problems)) return false;
    if (rows.size() < 2) {
        problems.push_back({path, 0, 0, "has no samples"});
        return false;
    }
    std::map<std::string, int> column;  // lower-case name -> index
    for (size_t c = 0; c < rows[0].cells.size(); ++c) {
        const std::string name = Lower(Csv::Trim(rows[0].cells[c]));
        bool known = name.size() == 5 && name.compare(0, 4, "conc") == 0 && name[4] >= 'a' && name[4] <= 't';
        for (const BatchColumn& batchColumn : kBatchColumns) known = known || name == Lower(batchColumn.name);
        if (!known) problems.push_back({path, rows[0].line, static_cast<int>(c + 1), "unknown column \"" + rows[0].cells[c] + "\""});
        else column[name] = static_cast<int>(c);
    }
    for (const BatchColumn& batchColumn : kBatchColumns)
        if (batchColumn.required && column.count(Lower(batchColumn.name)) == 0)
            problems.push_back({path, rows[0].line, 0, std::string("the column \"") + batchColumn.name + "\" is missing"});
    if (problems.size() != before) return false;

    std::set<std::string> names, ids;
    for (int i = 0; i < method.GetSize(); ++i) names.insert(method.GetAt(i).GetName());
    // The peak files are read once the list is, several at a time (they are most of the
    // reading); each file's problems then go where reading it with its row puts them.
    struct PeakRead {
        SampleInput* sample;
        size_t problemsBefore;
        std::vector<Problem> problems;
    };
    std::vector<PeakRead> reads;
    for (size_t r = 1; r < rows.size(); ++r) {
        const Csv::Row& row = rows[r];
        auto cell = [&](const char* name) -> std::string {
            auto found = column.find(Lower(name));
            if (found == column.end() || found->second >= static_cast<int>(row.cells.size())) return std::string();
            return Csv::Trim(row.cells[found->second]);
        };
        auto at = [&](const char* name) { return column.count(Lower(name)) ? column[Lower(name)] + 1 : 0; };
        if (row.cells.size() != rows[0].cells.size()) {
            problems.push_back({path, row.line, 0, "has " + std::to_string(row.cells.size()) + " cells, the header " +
                                                       std::to_string(rows[0].cells.size())});
            continue;
        }
        auto sample = std::make_unique<SampleInput>();
        sample->id = cell("SampleID");
        if (sample->id.empty()) problems.push_back({path, row.line, at("SampleID"), "the sample ID is empty"});
        else if (!ids.insert(sample->id).second) problems.push_back({path, row.line, at("SampleID"), "the sample ID \"" + sample->id + "\" appears twice"});
        sample->sample.SetSampleID(sample->id.c_str());
        const std::string typeText = cell("Type");
        int type = -1;
        const bool named = !typeText.empty() && !NumberText::IsDigitAscii(typeText[0]) &&
                           typeText[0] != '-' && CSampleRecord::TypeFromText(typeText, type);
        if (!named) problems.push_back({path, row.line, at("Type"), "unknown sample type \"" + typeText + "\""});
        sample->type = type;
        sample->sample.SetSampleType(type);
        for (char level = 'A'; level <= 'T'; ++level) {
            const std::string name = std::string("Conc") + level;
            const std::string value = cell(name.c_str());
            double concentration = 0.0;
            if (!value.empty() && !Csv::ToDouble(value, concentration))
                problems.push_back({path, row.line, at(name.c_str()), "\"" + value + "\" is not a concentration"});
            sample->sample.SetStdConc(level - 'A', concentration);
        }
        for (const auto& factor : kSampleFactorColumns) {
            const std::string value = cell(factor.name);
            double number = 1.0;  // an amount or factor not given is neutral
            if (!value.empty() && (!Csv::ToDouble(value, number) || number <= 0.0))
                problems.push_back({path, row.line, at(factor.name), "\"" + value + "\" is not a positive " + factor.name});
            (sample->sample.*factor.set)(number);
        }
        sample->sample.SetDescription(cell("Description"));
        for (std::string compound : Csv::Split(cell("Exclude"), ';')) {
            for (std::string part : Csv::Split(compound, '|')) {
                if (names.count(part) == 0) problems.push_back({path, row.line, at("Exclude"), "excluded compound \"" + part + "\" is not a method entry"});
                sample->excluded.insert(part);
            }
        }
        sample->peakFile = cell("PeakFile");
        sample->sample.SetRawDataFileName(sample->peakFile.c_str());
        bool readable = true;
        for (const std::string& name : SplitPeakFiles(sample->peakFile)) {
            sample->peakPaths.push_back(name[0] == '/' ? name : folder + "/" + name);
            if (std::ifstream(sample->peakPaths.back(), std::ios::binary).good()) continue;
            problems.push_back({path, row.line, at("PeakFile"), "the peak file " + sample->peakPaths.back() + " cannot be read"});
            readable = false;
        }
        if (sample->peakPaths.empty()) {
            problems.push_back({path, row.line, at("PeakFile"), "the peak file is empty"});
        } else {
            sample->peakPath = sample->peakPaths.front();
            sample->rawData = NamesRawData(sample->peakPaths);
            if (readable) reads.push_back({sample.get(), problems.size(), {}});
        }
        samples.push_back(std::move(sample));
    }
    RunOnWorkers(static_cast<int>(reads.size()), threads, [&](int, int index) {
        PeakRead& read = reads[static_cast<size_t>(index)];
        if (!keepPeaks && !read.sample->rawData) {
            ReadPeakRows(read.sample->peakPath, nullptr, read.problems, nullptr);
            return;
        }
        ReadSamplePeaks(*read.sample, method, read.sample->peaks, read.problems, nullptr, &read.sample->quality);
        if (!keepPeaks) {
            read.sample->peaks.EmptyPeakList();
            read.sample->quality.clear();
        }
    });
    std::vector<Problem> inOrder;
    size_t taken = 0;
    for (PeakRead& read : reads) {
        if (read.problems.empty()) continue;
        inOrder.insert(inOrder.end(), problems.begin() + static_cast<std::ptrdiff_t>(taken),
                       problems.begin() + static_cast<std::ptrdiff_t>(read.problemsBefore));
        inOrder.insert(inOrder.end(), read.problems.begin(), read.problems.end());
        taken = read.problemsBefore;
    }
    if (!inOrder.empty()) {
        inOrder.insert(inOrder.end(), problems.begin() + static_cast<std::ptrdiff_t>(taken), problems.end());
        problems = std::move(inOrder);
    }
    return problems.size() == before;
}

bool ReadBatch(const std::string& folder, BatchInput& batch, std::vector<Problem>& problems, bool keepPeaks,
               int threads) {
    const size_t before = problems.size();
    batch.folder = folder;
    ReadMethodFile(folder + "/method.xml", batch.method, problems, &batch.method.settings);
    ReadBatchList(folder, folder + "/batch.csv", batch.method, batch.samples, problems, keepPeaks, threads);
    std::string text;
    const std::string elements = folder + "/elements.csv";
    if (Csv::ReadFile(elements, text)) batch.elementsFile = elements;
    return problems.size() == before;
}

}  // namespace Batch
