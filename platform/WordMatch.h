// The word-match library: compares two word lists, as used for totals-group membership.
// Words are separated by commas, semicolons and white space and compared ignoring case; the
// lists match when they share a word. An empty list matches nothing.
#pragma once

#include <string>

namespace WordMatch {
bool ListsShareWord(const std::string& first, const std::string& second);
}
