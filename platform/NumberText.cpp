// Locale-free number texts over std::from_chars and std::to_chars. The printf-style forms
// follow the C locale's printf digit for digit, so stored files and reports keep their look.
#include "platform/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace NumberText {
namespace {
constexpr int kMaxPrecision = 400;

// Where the number proper starts: after leading blanks and a lone '+' (from_chars takes only '-').
const char* NumberStart(const char* begin, const char* end) {
    while (begin < end && IsSpaceAscii(*begin)) ++begin;
    if (end - begin >= 2 && begin[0] == '+' && begin[1] != '+' && begin[1] != '-') ++begin;
    return begin;
}

template <class T>
size_t ReadLeadingNumber(std::string_view text, T& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    const char* start = NumberStart(begin, end);
    T parsed{};
    std::from_chars_result result;
    if constexpr (std::is_floating_point_v<T>) result = std::from_chars(start, end, parsed, std::chars_format::general);
    else result = std::from_chars(start, end, parsed, 10);
    if (result.ec != std::errc()) return 0;
    value = parsed;
    return static_cast<size_t>(result.ptr - begin);
}

template <class T>
bool ReadWhole(std::string_view text, T& value) {
    T parsed{};
    size_t used = ReadLeading(text, parsed);
    if (used == 0) return false;
    while (used < text.size() && IsSpaceAscii(text[used])) ++used;
    if (used != text.size()) return false;
    value = parsed;
    return true;
}

template <class T>
std::string Printed(T value, std::chars_format form, int precision, size_t room) {
    std::string text(room, '\0');
    const std::to_chars_result result = precision < 0 ? std::to_chars(text.data(), text.data() + room, value, form)
                                                      : std::to_chars(text.data(), text.data() + room, value, form, precision);
    if (result.ec != std::errc()) return std::string();
    text.resize(static_cast<size_t>(result.ptr - text.data()));
    return text;
}

int Clamped(int precision) { return std::clamp(precision, 0, kMaxPrecision); }
}  // namespace

size_t ReadLeading(std::string_view text, double& value) { return ReadLeadingNumber(text, value); }
size_t ReadLeading(std::string_view text, float& value) { return ReadLeadingNumber(text, value); }
size_t ReadLeading(std::string_view text, long long& value) { return ReadLeadingNumber(text, value); }

bool Read(std::string_view text, double& value) { return ReadWhole(text, value); }
bool Read(std::string_view text, float& value) { return ReadWhole(text, value); }
bool Read(std::string_view text, long long& value) { return ReadWhole(text, value); }
bool Read(std::string_view text, int& value) {
    long long wide = 0;
    if (!ReadWhole(text, wide) || wide < std::numeric_limits<int>::min() || wide > std::numeric_limits<int>::max())
        return false;
    value = static_cast<int>(wide);
    return true;
}

std::string Shortest(double value) { return Printed(value, std::chars_format::general, -1, 32); }
std::string Shortest(float value) { return Printed(value, std::chars_format::general, -1, 32); }

std::string Fixed(double value, int decimals) {
    decimals = Clamped(decimals);
    return Printed(value, std::chars_format::fixed, decimals, 320 + static_cast<size_t>(decimals));
}

std::string Scientific(double value, int precision) {
    precision = Clamped(precision);
    return Printed(value, std::chars_format::scientific, precision, 16 + static_cast<size_t>(precision));
}

std::string General(double value, int precision, bool keepZeros) {
    const int figures = std::max(1, Clamped(precision));
    if (!keepZeros || !std::isfinite(value))
        return Printed(value, std::chars_format::general, figures, 16 + static_cast<size_t>(figures));
    // "%#g": the style is chosen by the exponent the value has once rounded to `figures`.
    std::string text = Scientific(value, figures - 1);
    const size_t mark = text.find('e');
    int exponent = 0;
    Read(std::string_view(text).substr(mark + 1), exponent);
    if (exponent >= -4 && exponent < figures) {
        text = Fixed(value, figures - 1 - exponent);
        if (text.find('.') == std::string::npos) text += '.';
    } else if (text.find('.') == std::string::npos) {
        text.insert(mark, 1, '.');
    }
    return text;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) c = LowerAscii(c);
    return text;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

}  // namespace NumberText
