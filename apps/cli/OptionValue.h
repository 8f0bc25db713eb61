// The value of a command-line option that takes one ("--out DIR"), shared by the programs'
// option parsers so that every program says the same thing when it is missing.
#pragma once

#include <string>
#include <vector>

namespace Cli {

// Takes args[i + 1] into `into` and moves `i` past it; false with `error` when there is no
// value, or an empty one.
inline bool TakeOptionValue(const std::vector<std::string>& args, size_t& i, std::string& into, std::string& error) {
    if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = args[i] + " needs a value";
        return false;
    }
    into = args[++i];
    return true;
}

}  // namespace Cli
