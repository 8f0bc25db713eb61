// Writing the readable method document. Numbers are written in their shortest form that reads
// back as the same value, independently of the locale.
#include "workflow/method/MethodXml.h"

#include <charconv>
#include <cmath>

namespace MethodTools {

std::string EscapedAttribute(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '"': escaped += "&quot;"; break;
            case '\t': escaped += "&#9;"; break;
            case '\n': escaped += "&#10;"; break;
            case '\r': escaped += "&#13;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

void AppendAttribute(std::string& element, const std::string& name, const std::string& value) {
    element += ' ';
    element += name;
    element += "=\"";
    element += EscapedAttribute(value);
    element += '"';
}

namespace {

template <class T>
std::string NumberText(T value) {
    char text[48];
    auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : std::string("0");
}

class EntryWriter {
public:
    explicit EntryWriter(std::string& out) : m_out(out) {}

    void Setting(const std::string& name, int value) {
        const Keywords::EnumeratedSetting* setting = Keywords::FindEnumeratedSetting(name);
        const std::string text = setting != nullptr ? Keywords::SettingText(*setting, value) : std::string();
        // Enumerated settings are always written, so that a reader sees what each entry does.
        if (setting != nullptr) Attribute(name, text.empty() ? NumberText(value) : text);
        else if (value != 0) Attribute(name, NumberText(value));
    }
    void Setting(const std::string& name, float value) {
        if (value != 0.0f || std::signbit(value)) Attribute(name, NumberText(value));
    }
    void Setting(const std::string& name, double value) {
        if (value != 0.0 || std::signbit(value)) Attribute(name, NumberText(value));
    }
    void Setting(const std::string& name, const std::string& value) {
        if (!value.empty() || name == "Name") Attribute(name, value);
    }

private:
    void Attribute(const std::string& name, const std::string& value) { AppendAttribute(m_out, name, value); }
    std::string& m_out;
};

}  // namespace

std::string ReadableMethodXML(const CMethodList& method,
                              const std::vector<std::pair<std::string, std::string>>& listAttributes) {
    std::string xml = "<?xml version=\"1.0\"?>\n<METHODLIST";
    for (const auto& [name, value] : listAttributes) AppendAttribute(xml, name, value);
    xml += ">\n";
    for (int i = 0; i < method.GetSize(); ++i) {
        const CMethodData& entry = method.GetAt(i);
        xml += "  <METHODENTRY";
        EntryWriter writer(xml);
#define METHOD_FIELD(type, Name) writer.Setting(#Name, entry.Get##Name());
#define METHOD_TEXT(Name) writer.Setting(#Name, entry.Get##Name());
#define METHOD_INDEXED(type, Name, count) \
    for (int k = 0; k < (count); ++k) writer.Setting(#Name + std::to_string(k), entry.Get##Name(k));
#define METHOD_INDEXED_TEXT(Name, count) METHOD_INDEXED(std::string, Name, count)
#include "platform/MethodRecordFields.def"
        xml += "/>\n";
    }
    return xml + "</METHODLIST>\n";
}

}  // namespace MethodTools
