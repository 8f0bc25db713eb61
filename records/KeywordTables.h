// The keyword tables: the text forms of every enumerated setting. A setting's value is the row
// of its table (row 0 first). Every table except the two column-letter tables ends with one
// empty row that counts in its size; the curve-type tables have a second empty row.
// The tables are constant data, readable from any thread.
#pragma once

#include <string>
#include <vector>

extern const char* const StdLevelCodes[23];
extern const char* const LocateMethodCodes[8];
extern const char* const ResponseTypeCodes[7];
extern const char* const ResponseTypeNames[7];
extern const char* const ResponseBasisCodes[3];
extern const char* const ResponseBasisNames[3];
extern const char* const CurveTypeCodes[9];
extern const char* const CurveTypeNames[9];
extern const char* const AxisTransformCodes[5];
extern const char* const AxisTransformNames[5];
extern const char* const OriginCodes[5];
extern const char* const OriginNames[5];
extern const char* const IncludeExcludeCodes[3];
extern const char* const WeightingCodes[6];
extern const char* const WeightingNames[6];
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
    const char* const* names;    // the display-name table, or null when the setting has none
    int values;                  // rows that stand for a value (the empty end rows excluded)
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
constexpr int kShownStdLevels = 13;
}  // namespace Keywords
