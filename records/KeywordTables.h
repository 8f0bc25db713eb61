// The keyword tables: the text forms of every enumerated setting. A setting's value is the row
// of its table (row 0 first). Every table except the two column-letter tables ends with one
// empty row that counts in its size; the curve-type tables have a second empty row.
// The tables are constant data, readable from any thread.
#pragma once

#include <string>

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

// Bounds the callers apply: only "FIXED", "STOCK" and "A" to "K" are ever shown for a peak.
constexpr int kShownStdLevels = 13;
}  // namespace Keywords
