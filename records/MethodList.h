// The method: the owned entries of one method in list order (entry number i is GetAt(i - 1)),
// the method database's name and dates, and the method's XML form.
#pragma once

#include <ctime>
#include <string>

#include "platform/ClassFramework.h"
#include "records/MethodData.h"
#include "records/OwnedList.h"

namespace Brisk {
template <int Depth>
class CXMLBuilderT;
}

class CMethodList : public CQuanObject, public OwnedList<CMethodData>, public ListStamp {
    QUAN_DECLARE_CLASS(CMethodList)
public:
    CMethodList() = default;
    CMethodList(const CMethodList& other);
    CMethodList& operator=(const CMethodList& other);
    ~CMethodList() override;

    virtual void EmptyMethodList() { ClearEntries(); }

    void CopyData(const CMethodList& other);

    // Writes a declaration (when the builder has no open element), one "METHODLIST" element
    // and one child per entry.
    bool WriteXML(Brisk::CXMLBuilderT<256>& builder) const;
    // Appends the entries of a method document in UTF-16 text. Entries that do not read are
    // skipped; an empty or malformed text returns false and leaves the list unchanged.
    bool ReadXML(const char16_t* text);
    // The same for UTF-8 text, as read from a file.
    bool ReadXML(const std::string& utf8Text);

    // An entry whose calibration compound names no other entry (exact, case-sensitive) is
    // given its own name.
    void FixCalReferences();
};
