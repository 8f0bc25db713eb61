// The keyword tables: the enum and the text forms of every enumerated setting, all made from
// KeywordValues.def. A setting's value is the row of its tables (row 0 first); each table ends
// with the setting's blank rows, which count in its size. The column-letter tables are the
// letters of mass and wavelength columns. The tables are constant data, readable from any
// thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One enum per setting: kCurveRF, kOriginExclude, kStdLevelA, ...
#define KEYWORD_SETTING(Setting, attribute) enum Setting : int32_t {
#define KEYWORD_VALUE(number, Enumerator, code, name) Enumerator = (number),
#define KEYWORD_BLANK(number, Enumerator) Enumerator = (number),
#define KEYWORD_END(Setting) };
#include "records/KeywordValues.def"

namespace Keywords {
// Each setting's rows (the size of its tables) and the rows that stand for a value.
#define KEYWORD_SETTING(Setting, attribute) constexpr int k##Setting##Rows = 0
#define KEYWORD_VALUE(number, Enumerator, code, name) +1
#define KEYWORD_BLANK(number, Enumerator) +1
#define KEYWORD_SPARE(number) +1
#define KEYWORD_END(Setting) ;
#include "records/KeywordValues.def"
#define KEYWORD_SETTING(Setting, attribute) constexpr int k##Setting##Values = 0
#define KEYWORD_VALUE(number, Enumerator, code, name) +1
#define KEYWORD_END(Setting) ;
#include "records/KeywordValues.def"
}  // namespace Keywords

// The code table and the name table of each setting: StdLevelCodes, CurveTypeNames, ...
#define KEYWORD_SETTING(Setting, attribute)                                 \
    extern const char* const Setting##Codes[Keywords::k##Setting##Rows]; \
    extern const char* const Setting##Names[Keywords::k##Setting##Rows];
#include "records/KeywordValues.def"
extern const char* const MassColumnLetters[30];
extern const char* const WavelengthColumnLetters[10];

namespace Keywords {
// Value to text: the row's text when 0 <= value < bound (bound never beyond the table), else
// null, so the caller leaves its output as it was.
template <size_t N>
const char* TextOf(const char* const (&table)[N], int value, int bound = static_cast<int>(N)) {
    if (bound > static_cast<int>(N)) bound = static_cast<int>(N);
    return value >= 0 && value < bound ? table[value] : nullptr;
}

// Text to value for the column-letter tables: the first row equal to `text` ignoring ASCII
// case, or -1 for an empty or unknown text.
int FindRowIgnoringCase(const char* const* table, int rows, const std::string& text);

template <size_t N>
int FindRowIgnoringCase(const char* const (&table)[N], const std::string& text) {
    return FindRowIgnoringCase(table, static_cast<int>(N), text);
}

// --- enumerated settings of the method record, by attribute name ---------------------------
// A method file may give such a setting as its row number or as one of its texts: the code or,
// where the table has one, the display name, ignoring ASCII case ("LocateBy=\"RT\"",
// "WeightingFunction=\"1/x\"", "XYTrans=\"Log\"").
struct EnumeratedSetting {
    const char* attribute;       // the record field and XML attribute, as in MethodRecordFields.def
    const char* const* codes;    // the code table
    const char* const* names;    // the display-name table, or null when people are shown the codes
    int values;                  // rows that stand for a value (the blank end rows excluded)
};

// Every enumerated setting of the method record, one row each.
const std::vector<EnumeratedSetting>& EnumeratedSettings();
// The setting behind `attribute` (exact field name), or null for a setting that is no enumeration.
const EnumeratedSetting* FindEnumeratedSetting(const std::string& attribute);
// Text to value: the row whose code or display name equals `text` ignoring case; -1 if none.
int SettingValue(const EnumeratedSetting& setting, const std::string& text);
// Value to text, for people: the display name where the table has one, else the code; empty
// for a value outside the setting's rows. Every tool that shows or writes a setting uses this.
std::string SettingText(const EnumeratedSetting& setting, int value);
std::string SettingText(const std::string& attribute, int value);
// The texts `setting` accepts, for messages: "RNUM, RT, RRT, ...".
std::string AllowedTexts(const EnumeratedSetting& setting);
// The record reader's hook: true with `value` set when `attribute` is an enumerated setting and
// `text` one of its texts.
bool ReadEnumeratedSetting(const std::string& attribute, const std::string& text, int& value);

// Bounds the callers apply: only "FIXED", "STOCK" and "A" to "K" are ever shown for a peak.
constexpr int kShownStdLevels = kStdLevelK + 1;
}  // namespace Keywords
