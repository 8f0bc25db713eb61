// Reading, checking and writing a method document with its list settings.
#include "workflow/method/MethodDocument.h"

#include "workflow/method/MethodXml.h"
#include "workflow/output/SafeFile.h"

#include <string>

namespace MethodTools {

std::vector<std::pair<std::string, std::string>> ListAttributes(const ListSettings& settings) {
    return Batch::ReviewAttributes(settings.review);
}

bool MethodDocument::Read(const std::string& file, const std::string& text, Problems& problems) {
    CMethodList read;
    ListSettings readSettings;
    if (!ReadMethodText(file, text, read, problems, &readSettings)) return false;
    CMethodList::operator=(read);
    settings = readSettings;
    return true;
}

bool MethodDocument::ReadFile(const std::string& path, Problems& problems) {
    CMethodList read;
    ListSettings readSettings;
    if (!ReadMethodFile(path, read, problems, &readSettings)) return false;
    CMethodList::operator=(read);
    settings = readSettings;
    return true;
}

void MethodDocument::Check(const std::string& file, Problems& problems) const {
    CheckMethod(file, *this, {}, problems);
    // The settings go through the reader's own checks, as the text they would be written as.
    const auto attributes = ListAttributes(settings);
    const auto find = [&attributes](const char* name, std::string& value) {
        for (const auto& [attribute, text] : attributes)
            if (attribute == name) {
                value = text;
                return true;
            }
        return false;
    };
    Batch::ReviewSettings review;
    Batch::ReadReviewAttributes(find, review, [&](const std::string& name, const std::string& value, const std::string& expected) {
        problems.push_back({file, 0, 0, "METHODLIST " + name + "=\"" + value + "\": " + expected});
    });
}

std::string MethodDocument::Xml(bool readable) const {
    const auto attributes = ListAttributes(settings);
    if (readable) return ReadableMethodXML(*this, attributes);
    // The stored form is the list's own; the list settings go on its element.
    Brisk::CXMLBuilderT<256> builder;
    if (!WriteXML(builder)) return std::string();
    std::string xml = builder.GetText();
    const size_t tag = xml.find("<METHODLIST");
    if (tag == std::string::npos) return std::string();
    std::string written;
    for (const auto& [name, value] : attributes) AppendAttribute(written, name, value);
    xml.insert(tag + std::char_traits<char>::length("<METHODLIST"), written);
    return xml;
}

bool MethodDocument::Write(const std::string& path, bool readable, Problems& problems) const {
    const std::string text = Xml(readable);
    std::string error;
    if (text.empty()) error = "the method could not be written as XML";
    else if (Batch::WriteFileSafely(path, text, error)) return true;
    problems.push_back({path, 0, 0, error});
    return false;
}

}  // namespace MethodTools
