#include "workflow/study/QcTargets.h"

#include <cmath>
#include <vector>

#include "platform/NumberText.h"
#include "workflow/support/Csv.h"

namespace Study {

bool QcTargets::Read(const std::string& path, std::string& error) {
    m_targets.clear();
    std::string text;
    if (!Csv::ReadFile(path, text)) {
        error = "cannot read the targets file " + path;
        return false;
    }
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    std::vector<Csv::Row> rows;
    std::string message;
    if (!Csv::Parse(text, rows, message)) {
        error = path + ": " + message;
        return false;
    }
    if (rows.empty()) {
        error = path + ": no header row (Compound,Level,Mean,SD)";
        return false;
    }
    const char* const kColumns[] = {"Compound", "Level", "Mean", "SD"};
    int column[4] = {-1, -1, -1, -1};
    for (size_t c = 0; c < rows[0].cells.size(); ++c)
        for (int k = 0; k < 4; ++k)
            if (NumberText::EqualIgnoringCase(Csv::Trim(rows[0].cells[c]), kColumns[k])) column[k] = static_cast<int>(c);
    for (int k = 0; k < 4; ++k) {
        if (column[k] < 0) {
            error = path + ":" + std::to_string(rows[0].line) + ": the header names no " + kColumns[k] +
                    " column (Compound,Level,Mean,SD)";
            return false;
        }
    }
    std::map<std::pair<std::string, double>, QcTarget> targets;
    for (size_t r = 1; r < rows.size(); ++r) {
        const Csv::Row& row = rows[r];
        const std::string where = path + ":" + std::to_string(row.line) + ": ";
        const auto cell = [&row](int c) {
            return static_cast<size_t>(c) < row.cells.size() ? Csv::Trim(row.cells[static_cast<size_t>(c)]) : std::string();
        };
        const std::string compound = cell(column[0]);
        double level = 0.0;
        QcTarget target;
        if (compound.empty()) {
            error = where + "no compound named";
            return false;
        }
        if (!NumberText::Read(cell(column[1]), level) || !std::isfinite(level) || !(level > 0.0)) {
            error = where + "the level \"" + cell(column[1]) + "\" is not a concentration above 0";
            return false;
        }
        if (!NumberText::Read(cell(column[2]), target.mean) || !std::isfinite(target.mean)) {
            error = where + "the mean \"" + cell(column[2]) + "\" is not a number";
            return false;
        }
        if (!NumberText::Read(cell(column[3]), target.sd) || !std::isfinite(target.sd) || !(target.sd > 0.0)) {
            error = where + "the SD \"" + cell(column[3]) + "\" is not a number above 0";
            return false;
        }
        if (!targets.emplace(std::make_pair(compound, level), target).second) {
            error = where + "a second target for " + compound + " at " + cell(column[1]);
            return false;
        }
    }
    m_targets = std::move(targets);
    return true;
}

const QcTarget* QcTargets::Find(const std::string& compound, double level) const {
    const auto found = m_targets.find(std::make_pair(compound, level));
    return found != m_targets.end() ? &found->second : nullptr;
}

}  // namespace Study
