// The record library's method record: the persistent settings of one target compound.
// Every setting is generated from MethodRecordFields.def, so the getters, setters, storage and
// XML attributes cannot drift apart. Indexed accessors ignore an index outside their range
// (getters then give zero or an empty text). Every setting starts at zero or empty, except the
// internal-standard slots, which start at -1 (none); a slot that an XML entry leaves out keeps it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/ClassFramework.h"

namespace Brisk {
class CXMLParserT;
template <int Depth>
class CXMLBuilderT;
}  // namespace Brisk

class CMethodRecord : public CQuanObject {
    QUAN_DECLARE_CLASS(CMethodRecord)
public:
    // The internal-standard slots are 0-based entry indices, so 0 names entry 1: a slot that
    // was never written must name no standard.
    static constexpr int kNoInternalStandard = -1;
    CMethodRecord() { m_IStd.fill(kNoInternalStandard); }
    CMethodRecord(const CMethodRecord&) = default;
    CMethodRecord& operator=(const CMethodRecord&) = default;
    ~CMethodRecord() override = default;

#define METHOD_FIELD(type, Name)                   \
    type Get##Name() const { return m_##Name; }    \
    void Set##Name(type value) { m_##Name = value; }
#define METHOD_TEXT(Name)                                           \
    std::string Get##Name() const { return m_##Name; }              \
    void Set##Name(const std::string& value) { m_##Name = value; }
#define METHOD_INDEXED(type, Name, count)                                                   \
    type Get##Name(const int& index) const {                                                \
        return index >= 0 && index < (count) ? m_##Name[index] : type{};                    \
    }                                                                                       \
    void Set##Name(const int& index, type value) {                                          \
        if (index >= 0 && index < (count)) m_##Name[index] = value;                         \
    }
#define METHOD_INDEXED_TEXT(Name, count)                                                    \
    std::string Get##Name(const int& index) const {                                         \
        return index >= 0 && index < (count) ? m_##Name[index] : std::string();             \
    }                                                                                       \
    void Set##Name(const int& index, const std::string& value) {                            \
        if (index >= 0 && index < (count)) m_##Name[index] = value;                         \
    }
#include "platform/MethodRecordFields.def"

    // Totals-group membership: the word-match library's comparison of TotalsGroup with `group`.
    bool IsMemberOf(const std::string& group) const;

    // Reads the parser's current element: one attribute per setting, named as in the field list.
    // False for a node that is not an element or an attribute whose number does not parse; the
    // record is then unchanged. Unknown attributes are ignored.
    bool ReadXML(Brisk::CXMLParserT& parser);
    // Writes one element "METHODENTRY" under the builder's open element. False, with nothing
    // added to the builder, when a text cannot be written so that ReadXML reads it back.
    bool WriteXML(Brisk::CXMLBuilderT<256>& builder) const;

    bool operator==(const CMethodRecord& other) const;
    bool operator!=(const CMethodRecord& other) const { return !(*this == other); }

private:
#define METHOD_FIELD(type, Name) type m_##Name{};
#define METHOD_TEXT(Name) std::string m_##Name;
#define METHOD_INDEXED(type, Name, count) std::array<type, count> m_##Name{};
#define METHOD_INDEXED_TEXT(Name, count) std::array<std::string, count> m_##Name{};
#include "platform/MethodRecordFields.def"
};
