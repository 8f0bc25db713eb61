// Number formatting of the report texts: fixed decimals, significant figures and a compact
// scientific form. These are members of the peak entry that use none of its fields.
#include <climits>
#include <cmath>
#include <string>

#include "platform/NumberText.h"
#include "records/PeakData.h"

namespace {
// Whole numbers print in full, also beyond the 32-bit range.
std::string WholeNumberText(double value) {
    const double truncated = std::trunc(value);
    if (truncated >= INT_MIN && truncated <= INT_MAX) return std::to_string(static_cast<int>(truncated));
    return NumberText::Fixed(truncated, 0);
}
}  // namespace

void CPeakData::FormatNumber(int mode, int decimals, int significantFigures, double value, std::string& text) const {
    switch (mode) {
        case 0: text = NumberText::Fixed(value, decimals < 0 ? 0 : (decimals > 100 ? 100 : decimals)); break;
        case 1: text = SetStringSignificance(value, significantFigures); break;
        case 2: text = FormatScientific(value, significantFigures); break;
        default: break;  // the output stays as it was
    }
}

std::string CPeakData::SetStringSignificance(const double& value, const int& significantFigures) const {
    const int figures = significantFigures < 1 ? 1 : (significantFigures > 100 ? 100 : significantFigures);
    // "%#.*g": s figures with their trailing zeros; the width of the classic form never pads,
    // as the text always holds at least s digits and the point.
    std::string text = NumberText::General(value, figures, true);
    const size_t exponent = text.find_first_of("eE");
    if (exponent != std::string::npos && std::isfinite(value)) {
        if (value >= 1.0 || value <= -1.0) {
            double printed = 0.0;
            NumberText::Read(text, printed);
            text = WholeNumberText(printed);
        } else {
            // Written out in full: "0." then k - 1 zeros, then the mantissa's digits. k is the
            // printed exponent, not the value's: rounding 9.9996e-6 to 3 figures prints 1.00e-05.
            // A negative value keeps its sign in front of the leading zero.
            std::string mantissa = text.substr(0, exponent);
            const bool negative = !mantissa.empty() && mantissa[0] == '-';
            std::string digits;
            for (char c : mantissa)
                if (NumberText::IsDigitAscii(c)) digits += c;
            int printedExponent = 0;
            NumberText::Read(std::string_view(text).substr(exponent + 1), printedExponent);
            const int k = printedExponent < 0 ? -printedExponent : printedExponent;
            text = std::string(negative ? "-0." : "0.") + std::string(k > 1 ? k - 1 : 0, '0') + digits;
        }
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    const size_t first = text.find_first_not_of(' ');
    text = first == std::string::npos ? std::string() : text.substr(first);
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

std::string CPeakData::FormatScientific(double value, int digits) const {
    const int precision = digits < 1 ? 0 : (digits > 100 ? 100 : digits - 1);
    const std::string result = NumberText::Scientific(value, precision);
    const size_t exponent = result.find_first_of("eE");
    if (exponent == std::string::npos) return result;  // inf or nan
    int power = 0;
    NumberText::Read(std::string_view(result).substr(exponent + 1), power);
    return result.substr(0, exponent + 1) + std::to_string(power);
}

double CPeakData::GetRoundedValue(double value, int places) {
    if (places < 0) places = 0;
    const double scale = std::pow(10.0, places);
    return std::floor(value * scale + 0.5) / scale;
}
