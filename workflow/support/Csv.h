// A small reader for the comma-separated files the command-line programs take: RFC 4180
// quoting (double quotes, "" inside quotes), CR/LF or LF line ends, '#' comment lines and blank
// lines skipped. Every row keeps the line number it started on, for error messages. Numbers are
// read with a decimal point whatever the locale: the files are exchanged between machines.
#pragma once

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/NumberText.h"

namespace Csv {

struct Row {
    int line = 0;
    std::vector<std::string> cells;
};

// Splits `text` into rows of cells divided by `separator` (',' or a tab) and hands each row
// that is neither blank nor a comment to `visit(line, cells)`, the cells as views that last for
// the call; false with `error` set when a quoted cell is not closed (the rows before it have
// been visited by then). For files read once, row by row, without keeping them.
template <class Visit>
bool ForEachRow(std::string_view text, Visit&& visit, std::string& error, char separator = ',') {
    std::string cells;         // the row's cell texts, one after another
    std::vector<size_t> ends;  // where each of the row's cells ends in `cells`
    std::vector<std::string_view> views;
    bool quoted = false;
    int line = 1, rowLine = 1;
    auto endRow = [&] {
        ends.push_back(cells.size());
        views.clear();
        size_t start = 0;
        for (size_t end : ends) {
            views.emplace_back(cells.data() + start, end - start);
            start = end;
        }
        const bool blank = views.size() == 1 && views[0].find_first_not_of(" \t") == std::string_view::npos;
        const bool comment = !views[0].empty() && views[0][0] == '#';
        if (!blank && !comment) visit(rowLine, static_cast<const std::vector<std::string_view>&>(views));
        cells.clear();
        ends.clear();
        rowLine = line;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                cells += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                if (c == '\n') ++line;
                cells += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == separator) {
            ends.push_back(cells.size());
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        } else if (c == '\n' || c == '\r') {
            ++line;
            endRow();
        } else {
            // The rest of an unquoted cell at once: peak files are mostly numbers.
            size_t end = i + 1;
            while (end < text.size() && text[end] != separator && text[end] != '"' && text[end] != '\n' &&
                   text[end] != '\r')
                ++end;
            cells.append(text, i, end - i);
            i = end - 1;
        }
    }
    if (quoted) {
        error = "line " + std::to_string(rowLine) + ": a quoted cell is not closed";
        return false;
    }
    endRow();
    return true;
}

// The same, keeping every row.
inline bool Parse(const std::string& text, std::vector<Row>& rows, std::string& error, char separator = ',') {
    rows.clear();
    return ForEachRow(
        text,
        [&rows](int line, const std::vector<std::string_view>& cells) {
            rows.push_back({line, std::vector<std::string>(cells.begin(), cells.end())});
        },
        error, separator);
}

inline bool ReadFile(const std::string& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::stringstream buffer;
    buffer << file.rdbuf();
    text = buffer.str();
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    return true;
}

// The text without the spaces and tabs around it, as a view into it.
inline std::string_view TrimView(std::string_view text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) return std::string_view();
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

inline std::string Trim(const std::string& text) { return std::string(TrimView(text)); }

// A finite number filling the whole (trimmed) cell.
inline bool ToDouble(std::string_view cell, double& value) {
    double parsed = 0.0;
    if (!NumberText::Read(TrimView(cell), parsed) || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

inline bool ToInt(std::string_view cell, int& value) {
    return NumberText::Read(TrimView(cell), value);
}

inline std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    if (Trim(text).empty()) return parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator)) parts.push_back(Trim(part));
    return parts;
}

}  // namespace Csv
