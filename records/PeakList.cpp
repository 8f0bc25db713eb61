#include "records/PeakList.h"

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

CPeakList::~CPeakList() { ClearEntries(); }

void CPeakList::CopyData(const CPeakList& other) {
    if (&other == this) return;
    SetSize(other.GetSize());
    CopyEntriesFrom(other);
    CopyStamp(other);
}

int CPeakList::Sort(int sortType, int ascending) {
    const int size = GetSize();
    if (size < 2) return 0;
    if (sortType < kSortFoundRT || sortType > kSortHeight) return 0;
    for (int i = 0; i < size; ++i)
        if (StoredAt(i) == nullptr) return 0;  // an empty slot has no key: leave the list alone
    int moved = 0;
    for (int i = 0; i < size - 1; ++i) {
        int best = i;
        double bestKey = 0.0;
        KeyOf(*StoredAt(i), sortType, bestKey);
        for (int j = i + 1; j < size; ++j) {
            double key = 0.0;
            KeyOf(*StoredAt(j), sortType, key);
            if (ascending != 0 ? key < bestKey : key > bestKey) {
                best = j;
                bestKey = key;
            }
        }
        if (best != i) {
            SwapEntries(i, best);
            moved = 1;
        }
    }
    return moved;
}
