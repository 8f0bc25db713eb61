// Calibration points excluded by hand: the exclusions file, batch.csv's Exclude column and the
// notes of who excluded what.
#include "workflow/review/Exclusions.h"

#include <cmath>
#include <map>
#include <set>

#include "platform/NumberText.h"
#include "workflow/support/Csv.h"

namespace Batch {

namespace {

struct ExclusionColumn {
    const char* name;
    bool required;
    std::string Exclusion::*field;
};
const ExclusionColumn kColumns[] = {
    {"Compound", true, &Exclusion::compound},
    {"Standard", true, &Exclusion::standard},
    {"Reason", false, &Exclusion::reason},
    {"Who", false, &Exclusion::who},
};

std::string Quoted(const std::string& cell) {
    if (cell.find_first_of(",\"\r\n") == std::string::npos && (cell.empty() || cell[0] != '#')) return cell;
    std::string quoted = "\"";
    for (char c : cell) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

}  // namespace

bool ReadExclusionsFile(const std::string& path, const BatchInput& batch, std::vector<Exclusion>& exclusions,
                        std::vector<Problem>& problems) {
    const size_t before = problems.size();
    std::vector<Csv::Row> rows;
    if (!ReadCsvRows(path, rows, problems)) return false;
    if (rows.empty()) return true;  // nothing excluded
    std::map<const ExclusionColumn*, int> at;  // column -> 0-based cell
    for (size_t c = 0; c < rows[0].cells.size(); ++c) {
        const ExclusionColumn* known = nullptr;
        for (const ExclusionColumn& column : kColumns)
            if (NumberText::EqualIgnoringCase(Csv::Trim(rows[0].cells[c]), column.name)) known = &column;
        if (known == nullptr || at.count(known) != 0)
            problems.push_back({path, rows[0].line, static_cast<int>(c + 1),
                                (known ? "the column \"" : "unknown column \"") + rows[0].cells[c] + (known ? "\" appears twice" : "\"")});
        else at[known] = static_cast<int>(c);
    }
    for (const ExclusionColumn& column : kColumns)
        if (column.required && at.count(&column) == 0)
            problems.push_back({path, rows[0].line, 0, std::string("the column \"") + column.name + "\" is missing"});
    if (problems.size() != before) return false;

    std::set<std::string> compounds, standards;
    for (int i = 0; i < batch.method.GetSize(); ++i) compounds.insert(batch.method.GetAt(i).GetName());
    for (const auto& sample : batch.samples)
        if (sample->type == CQuanSampleData::kStandard) standards.insert(sample->id);
    std::vector<Exclusion> read;
    for (size_t r = 1; r < rows.size(); ++r) {
        const Csv::Row& row = rows[r];
        if (row.cells.size() != rows[0].cells.size()) {
            problems.push_back({path, row.line, 0, "has " + std::to_string(row.cells.size()) + " cells, the header " +
                                                       std::to_string(rows[0].cells.size())});
            continue;
        }
        Exclusion exclusion;
        for (const auto& [column, cell] : at) exclusion.*column->field = Csv::Trim(row.cells[cell]);
        auto problem = [&](const ExclusionColumn& column, const std::string& message) {
            problems.push_back({path, row.line, at[&column] + 1, message});
        };
        if (compounds.count(exclusion.compound) == 0)
            problem(kColumns[0], "\"" + exclusion.compound + "\" is not a method entry");
        if (standards.count(exclusion.standard) == 0)
            problem(kColumns[1], "\"" + exclusion.standard + "\" is not a standard of the batch");
        if (exclusion.who.empty()) exclusion.who = kExcludedByAnalyst;
        else if (NumberText::EqualIgnoringCase(exclusion.who, kExcludedAutomatically))
            problem(kColumns[3], "\"automatic\" is kept for the points the tool excludes itself");
        read.push_back(exclusion);
    }
    if (problems.size() != before) return false;
    exclusions.insert(exclusions.end(), read.begin(), read.end());
    return true;
}

void ApplyExclusions(const std::vector<Exclusion>& exclusions, BatchInput& batch, ExclusionNotes& notes) {
    std::map<std::string, SampleInput*> byID;
    for (const auto& sample : batch.samples) byID[sample->id] = sample.get();
    for (const Exclusion& exclusion : exclusions) {
        auto found = byID.find(exclusion.standard);
        if (found == byID.end()) continue;
        found->second->excluded.insert(exclusion.compound);
        notes[{exclusion.compound, exclusion.standard}] = {exclusion.who.empty() ? kExcludedByAnalyst : exclusion.who,
                                                           exclusion.reason.empty() ? "excluded by hand" : exclusion.reason};
    }
}

bool ApplyExclusionsFile(const std::string& path, BatchInput& input, ExclusionNotes& notes, std::vector<Problem>& problems) {
    std::vector<Exclusion> exclusions;
    if (!ReadExclusionsFile(path, input, exclusions, problems)) return false;
    ApplyExclusions(exclusions, input, notes);
    return true;
}

void NoteBatchListExclusions(const BatchInput& input, ExclusionNotes& notes) {
    for (const auto& sample : input.samples)
        for (const std::string& compound : sample->excluded)
            notes.emplace(std::make_pair(compound, sample->id), ExclusionNote{kExcludedByAnalyst, "Exclude column of batch.csv"});
}

std::string ExclusionsFileText(const std::vector<Exclusion>& exclusions) {
    std::string text = "Compound,Standard,Reason,Who\n";
    for (const Exclusion& e : exclusions)
        text += Quoted(e.compound) + "," + Quoted(e.standard) + "," + Quoted(e.reason) + "," + Quoted(e.who) + "\n";
    return text;
}

}  // namespace Batch
