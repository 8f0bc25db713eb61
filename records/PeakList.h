// The peak database of one sample: owned peak entries in list order, the database's name and
// creation date and time, and an in-place selection sort by found RT, area or height.
#pragma once

#include <string>

#include "platform/ClassFramework.h"
#include "records/OwnedPointerArray.h"
#include "records/PeakData.h"

class CPeakList : public CQuanObject {
    QUAN_DECLARE_CLASS(CPeakList)
public:
    enum SortType { kSortFoundRT = 0, kSortArea = 1, kSortHeight = 2 };

    CPeakList() = default;
    CPeakList(const CPeakList& other);
    CPeakList& operator=(const CPeakList& other);
    ~CPeakList() override;

    virtual bool Add(const CPeakData& entry);
    virtual bool Add(const CPeakData* entry);
    // Destroys entry i and leaves its slot empty; false (and no change) outside the list.
    virtual bool Remove(int index);
    virtual bool SetSize(int size);
    virtual int GetSize() const;
    // False until SetSize has been called once, and for an index outside the list.
    virtual bool SetAt(int index, const CPeakData& entry);
    virtual bool SetAt(int index, const CPeakData* entry);
    virtual CPeakData& GetAt(int index) const;
    virtual void EmptyPeakList();

    // The entry in slot index as GetAt gives it, or null for an empty slot or an index outside
    // the list. The engines read the list through this, so a host's GetAt override is honoured
    // and empty slots are passed over (an override must not call GetEntry back).
    CPeakData* GetEntry(int index) const { return m_entries.At(index) != nullptr ? &GetAt(index) : nullptr; }

    std::string GetDBName() const { return m_dbName; }
    std::string GetCreationDate() const { return m_creationDate; }
    std::string GetCreationTime() const { return m_creationTime; }
    void SetDBName(std::string value) { m_dbName = std::move(value); }
    void SetCreationDate(std::string value) { m_creationDate = std::move(value); }
    void SetCreationTime(std::string value) { m_creationTime = std::move(value); }

    void CopyData(const CPeakList& other);

    // Selection sort of the entries (pointers move, entries do not); among equal keys the one
    // nearest the front wins. 1 when any entry moved, else 0; an unknown key or a list with an
    // empty slot is left as it is.
    int Sort(int sortType, int ascending);

private:
    OwnedPointerArray<CPeakData> m_entries;
    std::string m_dbName;
    std::string m_creationDate;
    std::string m_creationTime;
    bool m_sizeSet = false;
};
