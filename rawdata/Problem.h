// A problem found while reading a raw-data file: which file, where in it (a line of a text
// export, or a chromatogram id or spectrum index of an mzML file) and what is wrong. Readers
// report every problem they find rather than stopping at the first, so a user fixes a file in
// one go; the batch turns them into its own problem list and runs nothing.
#pragma once

#include <string>

namespace RawData {

struct Problem {
    std::string file;
    int line = 0;       // line of the file, 0 when not known or not meaningful
    std::string where;  // "chromatogram \"TIC\"", "spectrum index 12"; empty for the whole file
    std::string message;
    // "file:line: where: message", leaving out the parts that are not known.
    std::string Text() const;
};

}  // namespace RawData
