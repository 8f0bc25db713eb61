#include "tools/batch/BatchResults.h"

namespace Batch {

std::string ResultRow::Verdict() const {
    if (flagsSet.empty()) return "pass";
    std::string text = "flagged:";
    for (const std::string& flag : flagsSet) text += " " + flag;
    return text;
}

}  // namespace Batch
