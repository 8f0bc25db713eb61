// Number formatting of the report texts: fixed decimals, significant figures and a compact
// scientific form. These are members of the peak entry that use none of its fields.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "records/PeakData.h"

namespace {
std::string Printed(const char* format, double value) {
    char text[512];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Whole numbers print in full, also beyond the 32-bit range.
std::string WholeNumberText(double value) {
    const double truncated = std::trunc(value);
    if (truncated >= INT_MIN && truncated <= INT_MAX) return std::to_string(static_cast<int>(truncated));
    return Printed("%.0f", truncated);
}
}  // namespace

void CPeakData::FormatNumber(int mode, int decimals, int significantFigures, double value, std::string& text) const {
    switch (mode) {
        case 0: {
            char format[32];
            std::snprintf(format, sizeof format, "%%.%if", decimals < 0 ? 0 : (decimals > 100 ? 100 : decimals));
            text = Printed(format, value);
            break;
        }
        case 1: text = SetStringSignificance(value, significantFigures); break;
        case 2: text = FormatScientific(value, significantFigures); break;
        default: break;  // the output stays as it was
    }
}

std::string CPeakData::SetStringSignificance(const double& value, const int& significantFigures) const {
    const int figures = significantFigures < 1 ? 1 : (significantFigures > 100 ? 100 : significantFigures);
    const int width = value < 0.0 ? figures + 1 : figures;
    char format[40];
    std::snprintf(format, sizeof format, "%%#%d.%dg", width, figures);
    std::string text = Printed(format, value);
    const size_t exponent = text.find_first_of("eE");
    if (exponent != std::string::npos && std::isfinite(value)) {
        if (value >= 1.0 || value <= -1.0) {
            text = WholeNumberText(std::strtod(text.c_str(), nullptr));
        } else {
            // Written out in full: "0." then k - 1 zeros, then the mantissa's digits. A negative
            // value keeps its sign in front of the leading zero.
            std::string mantissa = text.substr(0, exponent);
            const bool negative = !mantissa.empty() && mantissa[0] == '-';
            std::string digits;
            for (char c : mantissa)
                if (c >= '0' && c <= '9') digits += c;
            const int k = static_cast<int>(std::fabs(std::floor(std::log10(std::fabs(value)))));
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
    char text[512];
    std::snprintf(text, sizeof text, "%.*e", precision, value);
    std::string result = text;
    const size_t exponent = result.find_first_of("eE");
    if (exponent == std::string::npos) return result;  // inf or nan
    const long power = std::strtol(result.c_str() + exponent + 1, nullptr, 10);
    return result.substr(0, exponent + 1) + std::to_string(power);
}

double CPeakData::GetRoundedValue(double value, int places) {
    if (places < 0) places = 0;
    const double scale = std::pow(10.0, places);
    return std::floor(value * scale + 0.5) / scale;
}
