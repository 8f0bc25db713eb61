#include "records/KeywordTables.h"

#include "platform/NumberText.h"

const char* const StdLevelCodes[23] = {"FIXED", "STOCK", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J",
                                       "K",     "L",     "M", "N", "O", "P", "Q", "R", "S", "T", ""};
const char* const LocateMethodCodes[8] = {"RNUM", "RT", "RRT", "RESP", "COMB", "NAME", "P_CN", ""};
const char* const ResponseTypeCodes[7] = {"ES", "IS", "ISODIL", "UNCALP", "INTERN", "NAMED", ""};
const char* const ResponseTypeNames[7] = {"External Std",  "Internal Std", "Isotope Dilution", "Uncalibrated %",
                                          "Internal Ref", "Referred",     ""};
const char* const ResponseBasisCodes[3] = {"A", "H", ""};
const char* const ResponseBasisNames[3] = {"Area", "Height", ""};
const char* const CurveTypeCodes[9] = {"RF", "LINEAR", "2ND", "3RD", "4TH", "5TH", "6TH", "", ""};
const char* const CurveTypeNames[9] = {"RF",        "Linear",    "2nd Order", "3rd Order", "4th Order",
                                       "5th Order", "6th Order", "",          ""};
const char* const AxisTransformCodes[5] = {"N", "L", "T", "S", ""};
const char* const AxisTransformNames[5] = {"None", "Ln", "Log", "Square Root", ""};
const char* const OriginCodes[5] = {"I", "E", "F", "M", ""};
const char* const OriginNames[5] = {"Include", "Exclude", "Force", "Matrix match", ""};
const char* const IncludeExcludeCodes[3] = {"I", "E", ""};
const char* const WeightingCodes[6] = {"NULL", "1/X", "1/(X^2)", "1/Y", "1/(Y^2)", ""};
const char* const WeightingNames[6] = {"Null", "1/x", "1/x^2", "1/y", "1/y^2", ""};
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

const std::vector<EnumeratedSetting>& EnumeratedSettings() {
    // Only "FIXED", "STOCK" and the levels "A" to "T" stand for a standard level; the locate
    // methods include the ones location does not offer, so a method that names one reads and
    // the method check can say what is wrong with it.
    static const std::vector<EnumeratedSetting> settings = {
        {"LocateBy", LocateMethodCodes, nullptr, 7},
        {"RCalc", ResponseTypeCodes, ResponseTypeNames, 6},
        {"RAH", ResponseBasisCodes, ResponseBasisNames, 2},
        {"CCalc", CurveTypeCodes, CurveTypeNames, 7},
        {"XYTrans", AxisTransformCodes, AxisTransformNames, 4},
        {"Origin", OriginCodes, OriginNames, 4},
        {"WeightingFunction", WeightingCodes, WeightingNames, 5},
        {"StdLevels", StdLevelCodes, nullptr, 22},
    };
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
