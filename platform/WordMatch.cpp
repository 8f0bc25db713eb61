#include "platform/WordMatch.h"

#include <string_view>

#include "platform/NumberText.h"

namespace {
bool IsSeparator(char c) {
    return c == ',' || c == ';' || NumberText::IsSpaceAscii(c);
}

// Calls visit(word) for every word of the list until it returns true.
template <class Visit>
bool AnyWord(std::string_view list, Visit visit) {
    size_t i = 0;
    while (i < list.size()) {
        while (i < list.size() && IsSeparator(list[i])) ++i;
        size_t end = i;
        while (end < list.size() && !IsSeparator(list[end])) ++end;
        if (end > i && visit(list.substr(i, end - i))) return true;
        i = end;
    }
    return false;
}
}  // namespace

namespace WordMatch {
bool ListsShareWord(const std::string& first, const std::string& second) {
    return AnyWord(first, [&](std::string_view word) {
        return AnyWord(second, [&](std::string_view other) { return NumberText::EqualIgnoringCase(word, other); });
    });
}
}  // namespace WordMatch
