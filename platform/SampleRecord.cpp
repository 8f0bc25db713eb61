#include "platform/SampleRecord.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {
struct TypeName {
    int type;
    const char* text;
};
constexpr TypeName kTypeNames[] = {{0, "Analyte"}, {1, "Standard"}, {2, "QC"},
                                   {3, "Blank"},   {6, "Recovery"}, {7, "Solvent"}};

bool EqualIgnoringCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == '\0';
}
}  // namespace

std::string CSampleRecord::TypeText(int type) {
    for (const TypeName& name : kTypeNames)
        if (name.type == type) return name.text;
    return std::to_string(type);
}

bool CSampleRecord::TypeFromText(const std::string& text, int& type) {
    for (const TypeName& name : kTypeNames) {
        if (EqualIgnoringCase(text, name.text)) {
            type = name.type;
            return true;
        }
    }
    // The text form of a type without a name is its number.
    if (text.empty()) return false;
    char* stop = nullptr;
    errno = 0;
    long number = std::strtol(text.c_str(), &stop, 10);
    if (errno != 0 || *stop != '\0' || number < INT_MIN || number > INT_MAX) return false;
    type = static_cast<int>(number);
    return true;
}

std::string CSampleRecord::GetType() const { return TypeText(m_Type); }

bool CSampleRecord::SetType(const char* text) {
    if (text == nullptr) return false;
    int type = 0;
    if (!TypeFromText(text, type)) return false;
    m_Type = type;
    return true;
}
