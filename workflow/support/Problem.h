// A problem found in a file a method tool reads: where it is and what is wrong. Readers and
// checks collect every problem instead of stopping at the first, and never print; the programs
// (quan-method, quan-batch) decide how to show them.
#pragma once

#include <string>
#include <vector>

namespace MethodTools {

struct Problem {
    std::string file;
    int line = 0;    // 0 when the problem concerns the whole file
    int column = 0;  // 0 when it concerns the whole line
    std::string message;
    std::string Text() const {  // "file:line:column: message"
        std::string text = file;
        if (line > 0) text += ":" + std::to_string(line);
        if (line > 0 && column > 0) text += ":" + std::to_string(column);
        return text + ": " + message;
    }
};

using Problems = std::vector<Problem>;

}  // namespace MethodTools
