// A problem found in something a user gave: a method, a batch list, a peak or raw-data file,
// a chromatogram that does not integrate. It says where (file, line, column, and inside the
// file what a line cannot name: a chromatogram id, a spectrum index, a method entry) and what
// is wrong. Readers and checks collect every problem rather than stopping at the first, so a
// user fixes a file in one go, and never print: the programs and the Python module decide how
// to show them. Engines report status codes, not problems; this type is for what surrounds them.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace Quan {

struct Problem {
    Problem() = default;
    Problem(std::string file_, int line_, int column_, std::string message_, std::string where_ = {})
        : file(std::move(file_)), line(line_), column(column_), message(std::move(message_)), where(std::move(where_)) {}

    std::string file;     // empty when the problem is not in a file (data a script passed in)
    int line = 0;         // 0 when the problem concerns the whole file
    int column = 0;       // 0 when it concerns the whole line
    std::string message;
    std::string where;    // "chromatogram \"TIC\"", "spectrum index 12", "entry 3"; empty for none

    // "file:line:column: where: message", leaving out the parts that are not known.
    std::string Text() const;
};

using Problems = std::vector<Problem>;

// Every problem's text, one per line.
std::string ProblemsText(const Problems& problems);

}  // namespace Quan
