// The list protocol the peak, method, calibration and sample lists share: entries are copies
// the list makes and owns, kept in an OwnedPointerArray whose slots may be empty. SetAt works
// only once the list has been sized with SetSize (as the stored lists are filled slot by slot
// after reading their count); Add and Remove work at any time. GetAt never fails: an empty slot
// or an index outside the list gives a default entry that belongs to no slot, so an engine
// walking a list with a hole reads defaults rather than crashing, and changes to it are lost.
// ListStamp is the name and dates every stored list carries.
#pragma once

#include <ctime>
#include <memory>
#include <new>
#include <string>

#include "records/OwnedPointerArray.h"

template <class T>
class OwnedList {
public:
    OwnedList() = default;
    OwnedList(const OwnedList&) = delete;
    OwnedList& operator=(const OwnedList&) = delete;
    virtual ~OwnedList() = default;

    // Appends a copy; the caller keeps its entry. A null pointer appends nothing (false).
    virtual bool Add(const T& entry) {
        T* copy = new (std::nothrow) T(entry);
        return copy != nullptr && m_entries.Append(copy);
    }
    virtual bool Add(const T* entry) { return entry != nullptr && Add(*entry); }
    // Destroys entry i and leaves its slot empty; false (and no change) outside the list.
    virtual bool Remove(int index) { return m_entries.Remove(index); }
    virtual bool SetSize(int size) {
        if (size < 0) return false;
        m_sizeSet = true;
        return m_entries.SetSize(size);
    }
    virtual int GetSize() const { return m_entries.GetSize(); }
    // False until SetSize has been called once, and for an index outside the list or a null
    // pointer; otherwise stores a copy, destroying the entry it replaces.
    virtual bool SetAt(int index, const T& entry) {
        if (!m_sizeSet || !m_entries.IsValidIndex(index)) return false;
        // Copy first: the argument may be the very entry being replaced.
        T* copy = new (std::nothrow) T(entry);
        return copy != nullptr && m_entries.Replace(index, copy);
    }
    virtual bool SetAt(int index, const T* entry) { return entry != nullptr && SetAt(index, *entry); }
    virtual T& GetAt(int index) const {
        if (T* entry = m_entries.At(index)) return *entry;
        if (m_standIn) *m_standIn = T();
        else m_standIn = std::make_unique<T>();
        return *m_standIn;
    }

    // The entry in slot index as GetAt gives it, or null for an empty slot or an index outside
    // the list. The engines read the list through this, so a host's GetAt override is honoured
    // and empty slots are passed over (an override must not call GetEntry back).
    T* GetEntry(int index) const { return m_entries.At(index) != nullptr ? &GetAt(index) : nullptr; }

protected:
    bool IsSized() const { return m_sizeSet; }
    // The stored entry itself, whatever GetAt is made to give.
    T* StoredAt(int index) const { return m_entries.At(index); }
    void ClearEntries() { m_entries.Clear(); }
    void SwapEntries(int a, int b) { m_entries.Swap(a, b); }

    // For every index of the other list, its entry (an empty slot empties ours); slots this
    // list does not have, or all of them before it is sized, are passed over.
    void CopyEntriesFrom(const OwnedList& other) {
        for (int i = 0; i < other.GetSize(); ++i) {
            if (const T* entry = other.GetEntry(i)) SetAt(i, *entry);
            else Remove(i);
        }
    }

private:
    OwnedPointerArray<T> m_entries;
    bool m_sizeSet = false;
    mutable std::unique_ptr<T> m_standIn;
};

// What a stored list says about itself: its database name, creation date and time, and the time
// of its last change. Copying a list copies its stamp.
class ListStamp {
public:
    std::string GetDBName() const { return m_dbName; }
    std::string GetCreationDate() const { return m_creationDate; }
    std::string GetCreationTime() const { return m_creationTime; }
    time_t GetModifiedTime() const { return m_modifiedTime; }
    void SetDBName(std::string value) { m_dbName = std::move(value); }
    void SetCreationDate(std::string value) { m_creationDate = std::move(value); }
    void SetCreationTime(std::string value) { m_creationTime = std::move(value); }
    void SetModifiedTime(time_t value) { m_modifiedTime = value; }

protected:
    void CopyStamp(const ListStamp& other) { *this = other; }

private:
    std::string m_dbName;
    std::string m_creationDate;
    std::string m_creationTime;
    time_t m_modifiedTime = 0;
};
