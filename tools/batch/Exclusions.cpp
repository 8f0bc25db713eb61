#include "tools/batch/Exclusions.h"

#include <set>

#include "tools/Csv.h"

namespace Batch {

bool ApplyExclusionsFile(const std::string& path, BatchInput& input, ExclusionNotes& notes,
                         std::vector<Problem>& problems) {
    const size_t before = problems.size();
    std::string text, error;
    std::vector<Csv::Row> rows;
    if (!Csv::ReadFile(path, text)) {
        problems.push_back({path, 0, 0, "cannot read the exclusions file"});
        return false;
    }
    if (!Csv::Parse(text, rows, error)) {
        problems.push_back({path, 0, 0, error});
        return false;
    }
    if (rows.empty()) return true;  // nothing excluded
    int compoundColumn = -1, standardColumn = -1, reasonColumn = -1;
    for (size_t c = 0; c < rows[0].cells.size(); ++c) {
        const std::string name = Csv::Trim(rows[0].cells[c]);
        if (name == "Compound") compoundColumn = static_cast<int>(c);
        if (name == "Standard") standardColumn = static_cast<int>(c);
        if (name == "Reason") reasonColumn = static_cast<int>(c);
    }
    if (compoundColumn < 0 || standardColumn < 0) {
        problems.push_back({path, rows[0].line, 0, "the header must name the columns Compound and Standard"});
        return false;
    }
    std::set<std::string> compounds;
    for (int i = 0; i < input.method.GetSize(); ++i) compounds.insert(input.method.GetAt(i).GetName());
    for (size_t r = 1; r < rows.size(); ++r) {
        const Csv::Row& row = rows[r];
        const auto cell = [&row](int column) {
            return column >= 0 && column < static_cast<int>(row.cells.size()) ? Csv::Trim(row.cells[column]) : std::string();
        };
        const std::string compound = cell(compoundColumn), standard = cell(standardColumn);
        std::string reason = cell(reasonColumn);
        if (compounds.count(compound) == 0) {
            problems.push_back({path, row.line, compoundColumn + 1, "\"" + compound + "\" is not a method entry"});
            continue;
        }
        SampleInput* sample = nullptr;
        for (const auto& candidate : input.samples)
            if (candidate->id == standard && candidate->type == CQuanSampleData::kStandard) sample = candidate.get();
        if (sample == nullptr) {
            problems.push_back({path, row.line, standardColumn + 1, "\"" + standard + "\" is not a standard of the batch"});
            continue;
        }
        sample->excluded.insert(compound);
        notes[{compound, standard}] = {"analyst", reason.empty() ? "excluded by hand" : reason};
    }
    return problems.size() == before;
}

void NoteBatchListExclusions(const BatchInput& input, ExclusionNotes& notes) {
    for (const auto& sample : input.samples)
        for (const std::string& compound : sample->excluded)
            notes.emplace(std::make_pair(compound, sample->id), ExclusionNote{"analyst", "Exclude column of batch.csv"});
}

}  // namespace Batch
