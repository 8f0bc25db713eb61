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
}  // namespace Keywords
