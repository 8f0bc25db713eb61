#include "records/KeywordTables.h"

#include "platform/NumberText.h"

namespace {
// A value's name as people are shown it: its display name, or its code where it has none.
constexpr const char* ShownName(const char* code, const char* name) { return name != nullptr ? name : code; }

// Every row's number in row order, and whether it is blank; the table's rows must be numbered
// 0, 1, 2, ... and its blank rows come last.
struct RowNumber {
    int number;
    bool blank;
};
template <size_t N>
constexpr bool NumberedInOrder(const RowNumber (&rows)[N]) {
    for (size_t i = 0; i < N; ++i)
        if (rows[i].number != static_cast<int>(i) || (i > 0 && rows[i - 1].blank && !rows[i].blank)) return false;
    return true;
}
#define KEYWORD_SETTING(Setting, attribute) constexpr RowNumber k##Setting##Numbers[] = {
#define KEYWORD_VALUE(number, Enumerator, code, name) {(number), false},
#define KEYWORD_BLANK(number, Enumerator) {(number), true},
#define KEYWORD_SPARE(number) {(number), true},
#define KEYWORD_END(Setting) \
    }                        \
    ;                        \
    static_assert(NumberedInOrder(k##Setting##Numbers), "KeywordValues.def: " #Setting " rows out of order");
#include "records/KeywordValues.def"
}  // namespace

#define KEYWORD_SETTING(Setting, attribute) const char* const Setting##Codes[Keywords::k##Setting##Rows] = {
#define KEYWORD_VALUE(number, Enumerator, code, name) code,
#define KEYWORD_BLANK(number, Enumerator) "",
#define KEYWORD_SPARE(number) "",
#define KEYWORD_END(Setting) };
#include "records/KeywordValues.def"

#define KEYWORD_SETTING(Setting, attribute) const char* const Setting##Names[Keywords::k##Setting##Rows] = {
#define KEYWORD_VALUE(number, Enumerator, code, name) ShownName(code, name),
#define KEYWORD_BLANK(number, Enumerator) "",
#define KEYWORD_SPARE(number) "",
#define KEYWORD_END(Setting) };
#include "records/KeywordValues.def"

const char* const MassColumnLetters[30] = {"A", "B", "C", "D", "E", "F", "G", "H", "I",  "J",
                                           "K", "L", "M", "N", "O", "P", "Q", "R", "S",  "T",
                                           "U", "V", "W", "X", "Y", "Z", "AA", "BB", "CC", "DD"};
const char* const WavelengthColumnLetters[10] = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"};

namespace Keywords {
int FindRowIgnoringCase(const char* const* table, int rows, const std::string& text) {
    if (text.empty()) return -1;
    for (int row = 0; row < rows; ++row) {
        const char* word = table[row];
        size_t i = 0;
        while (i < text.size() && word[i] != '\0' &&
               NumberText::LowerAscii(text[i]) == NumberText::LowerAscii(word[i]))
            ++i;
        if (i == text.size() && word[i] == '\0') return row;
    }
    return -1;
}

namespace {
// Whether a setting's values have display names of their own.
#define KEYWORD_SETTING(Setting, attribute) constexpr bool k##Setting##Named = false
#define KEYWORD_VALUE(number, Enumerator, code, name) || (name) != nullptr
#define KEYWORD_END(Setting) ;
#include "records/KeywordValues.def"
}  // namespace

const std::vector<EnumeratedSetting>& EnumeratedSettings() {
    static const std::vector<EnumeratedSetting> settings = [] {
        const EnumeratedSetting tables[] = {
#define KEYWORD_SETTING(Setting, attribute) \
    {attribute, Setting##Codes, k##Setting##Named ? Setting##Names : nullptr, k##Setting##Values},
#include "records/KeywordValues.def"
        };
        std::vector<EnumeratedSetting> list;
        for (const EnumeratedSetting& table : tables)
            if (table.attribute[0] != '\0') list.push_back(table);  // a table no method field uses
        return list;
    }();
    return settings;
}

const EnumeratedSetting* FindEnumeratedSetting(const std::string& attribute) {
    for (const EnumeratedSetting& setting : EnumeratedSettings())
        if (attribute == setting.attribute) return &setting;
    return nullptr;
}

int SettingValue(const EnumeratedSetting& setting, const std::string& text) {
    const int byCode = FindRowIgnoringCase(setting.codes, setting.values, text);
    if (byCode >= 0 || setting.names == nullptr) return byCode;
    return FindRowIgnoringCase(setting.names, setting.values, text);
}

std::string SettingText(const EnumeratedSetting& setting, int value) {
    if (value < 0 || value >= setting.values) return std::string();
    return setting.names != nullptr ? setting.names[value] : setting.codes[value];
}

std::string SettingText(const std::string& attribute, int value) {
    const EnumeratedSetting* setting = FindEnumeratedSetting(attribute);
    return setting != nullptr ? SettingText(*setting, value) : std::string();
}

std::string AllowedTexts(const EnumeratedSetting& setting) {
    std::string texts;
    for (int row = 0; row < setting.values; ++row) {
        texts += (row == 0 ? "" : ", ") + std::string(setting.codes[row]);
        if (setting.names != nullptr && std::string(setting.names[row]) != setting.codes[row])
            texts += std::string(" (") + setting.names[row] + ")";
    }
    return texts;
}

bool ReadEnumeratedSetting(const std::string& attribute, const std::string& text, int& value) {
    const EnumeratedSetting* setting = FindEnumeratedSetting(attribute);
    const int row = setting != nullptr ? SettingValue(*setting, text) : -1;
    if (row < 0) return false;
    value = row;
    return true;
}
}  // namespace Keywords
