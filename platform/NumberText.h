// Numbers as text, and the letter tests that go with them, the same in every process locale.
// A host that runs in a decimal-comma locale still reads and writes "12.5" here: every place in
// the library (method XML, mass traces, report texts, element look-ups, the batch tool's files)
// converts through these functions and nowhere else. Reading uses std::from_chars and writing
// std::to_chars, so Shortest() reads back bit for bit.
#pragma once

#include <string>
#include <string_view>

namespace NumberText {

// ---- reading ---------------------------------------------------------------------------------
// A number may follow ASCII blanks and carry a '+' sign, as hand-edited files write it. Decimal
// only (no hexadecimal); "inf" and "nan" are read. A value outside the type's range is no number
// (never silently the largest value or zero).

// The number at the start of `text`: the count of characters it took, blanks included; 0 when
// the text does not start with one (the value is then left as it was).
size_t ReadLeading(std::string_view text, double& value);
size_t ReadLeading(std::string_view text, float& value);
size_t ReadLeading(std::string_view text, long long& value);

// The whole text (blanks around it allowed) is one number; otherwise false and value unchanged.
bool Read(std::string_view text, double& value);
bool Read(std::string_view text, float& value);
bool Read(std::string_view text, int& value);
bool Read(std::string_view text, long long& value);

// ---- writing ---------------------------------------------------------------------------------
// The shortest text that reads back as exactly this value ("12.5", "1e-07", "nan", "-inf").
std::string Shortest(double value);
std::string Shortest(float value);
// printf's "%.*f": `decimals` places (0 to 400).
std::string Fixed(double value, int decimals);
// printf's "%.*e": `precision` digits after the point (0 to 400), exponent of two digits or more.
std::string Scientific(double value, int precision);
// printf's "%.*g" (`precision` significant figures, 0 counting as 1); with keepZeros its
// "%#.*g": trailing zeros kept, and the point kept when the number has one.
std::string General(double value, int precision, bool keepZeros = false);

// ---- letters ---------------------------------------------------------------------------------
// ASCII only: bytes of other characters are never changed or matched loosely.
constexpr char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr bool IsDigitAscii(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsAlphaAscii(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
// Blank, tab, line feed, vertical tab, form feed, carriage return.
constexpr bool IsSpaceAscii(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
std::string LowerAscii(std::string text);
bool EqualIgnoringCase(std::string_view a, std::string_view b);

}  // namespace NumberText
