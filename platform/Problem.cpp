// The text of a problem. Built piece by piece: g++ 12 warns falsely (-Wrestrict) when a
// temporary like `":" + std::to_string(n)` is appended in one expression in an optimised build.
#include "platform/Problem.h"

namespace Quan {

std::string Problem::Text() const {
    std::string text = file;
    if (!file.empty() && line > 0) {
        text += ':';
        text += std::to_string(line);
        if (column > 0) {
            text += ':';
            text += std::to_string(column);
        }
    }
    if (!text.empty()) text += ": ";
    if (!where.empty()) {
        text += where;
        text += ": ";
    }
    text += message;
    return text;
}

std::string ProblemsText(const Problems& problems) {
    std::string text;
    for (const Problem& problem : problems) {
        if (!text.empty()) text += '\n';
        text += problem.Text();
    }
    return text;
}

}  // namespace Quan
