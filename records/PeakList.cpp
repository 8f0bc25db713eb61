#include "records/PeakList.h"

#include <new>

QUAN_REGISTER_CLASS(CPeakList);

namespace {
bool KeyOf(const CPeakData& peak, int sortType, double& key) {
    switch (sortType) {
        case CPeakList::kSortFoundRT: key = static_cast<double>(peak.GetFoundRT()); return true;
        case CPeakList::kSortArea: key = peak.GetArea(); return true;
        case CPeakList::kSortHeight: key = peak.GetHeight(); return true;
        default: return false;
    }
}
}  // namespace

CPeakList::CPeakList(const CPeakList& other) : CQuanObject() { CopyData(other); }

CPeakList& CPeakList::operator=(const CPeakList& other) {
    SetSize(other.GetSize());  // also for itself: assignment always makes the list sized
    if (&other != this) CopyData(other);
    return *this;
}

CPeakList::~CPeakList() { m_entries.Clear(); }

bool CPeakList::Add(const CPeakData& entry) {
    CPeakData* copy = new (std::nothrow) CPeakData(entry);
    return copy != nullptr && m_entries.Append(copy);
}

bool CPeakList::Add(const CPeakData* entry) { return entry != nullptr && Add(*entry); }

bool CPeakList::Remove(int index) { return m_entries.Remove(index); }

bool CPeakList::SetSize(int size) {
    if (size < 0) return false;
    m_sizeSet = true;
    return m_entries.SetSize(size);
}

int CPeakList::GetSize() const { return m_entries.GetSize(); }

bool CPeakList::SetAt(int index, const CPeakData& entry) {
    if (!m_sizeSet || !m_entries.IsValidIndex(index)) return false;
    CPeakData* copy = new (std::nothrow) CPeakData(entry);  // first: the argument may be the replaced entry
    return copy != nullptr && m_entries.Replace(index, copy);
}

bool CPeakList::SetAt(int index, const CPeakData* entry) { return entry != nullptr && SetAt(index, *entry); }

CPeakData& CPeakList::GetAt(int index) const { return *m_entries.At(index); }

void CPeakList::EmptyPeakList() { m_entries.Clear(); }

void CPeakList::CopyData(const CPeakList& other) {
    if (&other == this) return;
    SetSize(other.GetSize());
    for (int i = 0; i < other.GetSize(); ++i) {
        if (const CPeakData* entry = other.GetEntry(i)) SetAt(i, *entry);
        else Remove(i);
    }
    m_dbName = other.m_dbName;
    m_creationDate = other.m_creationDate;
    m_creationTime = other.m_creationTime;
}

int CPeakList::Sort(int sortType, int ascending) {
    const int size = GetSize();
    if (size < 2) return 0;
    if (sortType < kSortFoundRT || sortType > kSortHeight) return 0;
    for (int i = 0; i < size; ++i)
        if (m_entries.At(i) == nullptr) return 0;  // an empty slot has no key: leave the list alone
    int moved = 0;
    for (int i = 0; i < size - 1; ++i) {
        int best = i;
        double bestKey = 0.0;
        KeyOf(*m_entries.At(i), sortType, bestKey);
        for (int j = i + 1; j < size; ++j) {
            double key = 0.0;
            KeyOf(*m_entries.At(j), sortType, key);
            if (ascending != 0 ? key < bestKey : key > bestKey) {
                best = j;
                bestKey = key;
            }
        }
        if (best != i) {
            m_entries.Swap(i, best);
            moved = 1;
        }
    }
    return moved;
}
