#include "platform/SampleRecord.h"

#include "platform/NumberText.h"

namespace {
struct TypeName {
    int type;
    const char* text;
};
constexpr TypeName kTypeNames[] = {{0, "Analyte"}, {1, "Standard"}, {2, "QC"},
                                   {3, "Blank"},   {6, "Recovery"}, {7, "Solvent"}};

}  // namespace

std::string CSampleRecord::TypeText(int type) {
    for (const TypeName& name : kTypeNames)
        if (name.type == type) return name.text;
    return std::to_string(type);
}

bool CSampleRecord::TypeFromText(const std::string& text, int& type) {
    for (const TypeName& name : kTypeNames) {
        if (NumberText::EqualIgnoringCase(text, name.text)) {
            type = name.type;
            return true;
        }
    }
    // The text form of a type without a name is its number.
    return NumberText::Read(text, type);
}

std::string CSampleRecord::GetType() const { return TypeText(m_Type); }

bool CSampleRecord::SetType(const char* text) {
    if (text == nullptr) return false;
    int type = 0;
    if (!TypeFromText(text, type)) return false;
    m_Type = type;
    return true;
}
