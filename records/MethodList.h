// The method: the owned entries of one method in list order (entry number i is GetAt(i - 1)),
// the method database's name and dates, and the method's XML form.
#pragma once

#include <ctime>
#include <string>

#include "platform/ClassFramework.h"
#include "records/MethodData.h"
#include "records/OwnedPointerArray.h"

namespace Brisk {
template <int Depth>
class CXMLBuilderT;
}

class CMethodList : public CQuanObject {
    QUAN_DECLARE_CLASS(CMethodList)
public:
    CMethodList() = default;
    CMethodList(const CMethodList& other);
    CMethodList& operator=(const CMethodList& other);
    ~CMethodList() override;

    virtual bool Add(const CMethodData& entry);
    virtual bool Add(const CMethodData* entry);
    // Destroys entry i and leaves its slot empty; false (and no change) outside the list.
    virtual bool Remove(int index);
    virtual bool SetSize(int size);
    virtual int GetSize() const;
    // False until SetSize has been called once, and for an index outside the list.
    virtual bool SetAt(int index, const CMethodData& entry);
    virtual bool SetAt(int index, const CMethodData* entry);
    virtual CMethodData& GetAt(int index) const;
    virtual void EmptyMethodList();

    // The entry in slot index as GetAt gives it, or null for an empty slot or an index outside
    // the list. The engines read the list through this, so a host's GetAt override is honoured
    // and empty slots are passed over (an override must not call GetEntry back).
    CMethodData* GetEntry(int index) const { return m_entries.At(index) != nullptr ? &GetAt(index) : nullptr; }

    std::string GetCreationDate() const { return m_creationDate; }
    std::string GetCreationTime() const { return m_creationTime; }
    std::string GetDBName() const { return m_dbName; }
    void SetCreationDate(std::string value) { m_creationDate = std::move(value); }
    void SetCreationTime(std::string value) { m_creationTime = std::move(value); }
    void SetDBName(std::string value) { m_dbName = std::move(value); }
    time_t GetModifiedTime() const { return m_modifiedTime; }
    void SetModifiedTime(time_t value) { m_modifiedTime = value; }

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

private:

    std::string m_creationDate;
    std::string m_creationTime;
    std::string m_dbName;
    time_t m_modifiedTime = 0;
    OwnedPointerArray<CMethodData> m_entries;
    bool m_sizeSet = false;
};
