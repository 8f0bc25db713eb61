// XML form, comparison and membership of the method record. One element per record; every
// setting is an attribute named after its field, so a record written and read back is equal
// field by field (floating values are printed with enough digits to read back bit-identical).
#include "platform/MethodRecord.h"

#include <cmath>
#include <functional>
#include <unordered_map>

#include "platform/NumberText.h"
#include "platform/WordMatch.h"
#include "records/KeywordTables.h"
#include "platform/XMLParser.h"

namespace {
constexpr const char* kEntryElement = "METHODENTRY";

// Numbers in the shortest text that reads back bit for bit, whatever the host's locale.
std::string FormatValue(int value) { return std::to_string(value); }
std::string FormatValue(float value) { return NumberText::Shortest(value); }
std::string FormatValue(double value) { return NumberText::Shortest(value); }
const std::string& FormatValue(const std::string& value) { return value; }

template <class Number>
bool ParseValue(const std::string& text, Number& value) { return NumberText::Read(text, value); }
bool ParseValue(const std::string& text, std::string& value) {
    value = text;
    return true;
}

// An enumerated setting may also be given by its keyword text; the record keeps the row number.
bool ParseSetting(const std::string& name, const std::string& text, int& value) {
    return ParseValue(text, value) || Keywords::ReadEnumeratedSetting(name, text, value);
}
template <class T>
bool ParseSetting(const std::string&, const std::string& text, T& value) { return ParseValue(text, value); }

bool SameValue(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }
bool SameValue(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }
template <class T>
bool SameValue(const T& a, const T& b) { return a == b; }
}  // namespace

bool CMethodRecord::IsMemberOf(const std::string& group) const {
    return WordMatch::ListsShareWord(m_TotalsGroup, group);
}

bool CMethodRecord::ReadXML(Brisk::CXMLParserT& parser) {
    if (!parser.IsElement()) return false;
    // One reader per setting name, made once: an entry is read by looking up the few attributes
    // it has, not by looking for each of the record's many settings among them.
    using Reader = std::function<bool(CMethodRecord&, const std::string&)>;
    static const std::unordered_map<std::string, Reader> kReaders = [] {
        std::unordered_map<std::string, Reader> readers;
#define METHOD_FIELD(type, Name) \
    readers.emplace(#Name, [](CMethodRecord& record, const std::string& text) { return ParseSetting(#Name, text, record.m_##Name); });
#define METHOD_TEXT(Name) METHOD_FIELD(std::string, Name)
#define METHOD_INDEXED(type, Name, count)                                                           \
    for (int i = 0; i < (count); ++i) {                                                              \
        const std::string name = #Name + std::to_string(i);                                          \
        readers.emplace(name, [i, name](CMethodRecord& record, const std::string& text) {            \
            return ParseSetting(name, text, record.m_##Name[i]);                                     \
        });                                                                                          \
    }
#define METHOD_INDEXED_TEXT(Name, count) METHOD_INDEXED(std::string, Name, count)
#include "platform/MethodRecordFields.def"
        return readers;
    }();
    // Read into a copy, so that a bad attribute leaves this record as it was. Attributes that
    // are no setting are passed over, as a newer writer's additions must be.
    CMethodRecord read;
    for (const auto& [name, value] : parser.GetAttributes()) {
        const auto reader = kReaders.find(name);
        if (reader != kReaders.end() && !reader->second(read, value)) return false;
    }
    *this = read;
    return true;
}

bool CMethodRecord::WriteXML(Brisk::CXMLBuilderT<256>& builder) const {
    if (!builder.OpenElement(kEntryElement)) return false;
    bool ok = true;
#define METHOD_FIELD(type, Name) ok = ok && builder.AddAttribute(#Name, FormatValue(m_##Name));
#define METHOD_TEXT(Name) METHOD_FIELD(std::string, Name)
#define METHOD_INDEXED(type, Name, count) \
    for (int i = 0; i < (count); ++i) ok = ok && builder.AddAttribute(#Name + std::to_string(i), FormatValue(m_##Name[i]));
#define METHOD_INDEXED_TEXT(Name, count) METHOD_INDEXED(std::string, Name, count)
#include "platform/MethodRecordFields.def"
    // A record that cannot be written whole leaves no trace in the builder.
    if (!ok) {
        builder.DiscardElement();
        return false;
    }
    return builder.CloseElement();
}

bool CMethodRecord::operator==(const CMethodRecord& other) const {
#define METHOD_FIELD(type, Name) if (!SameValue(m_##Name, other.m_##Name)) return false;
#define METHOD_TEXT(Name) METHOD_FIELD(std::string, Name)
#define METHOD_INDEXED(type, Name, count) \
    for (int i = 0; i < (count); ++i) if (!SameValue(m_##Name[i], other.m_##Name[i])) return false;
#define METHOD_INDEXED_TEXT(Name, count) METHOD_INDEXED(std::string, Name, count)
#include "platform/MethodRecordFields.def"
    return true;
}
