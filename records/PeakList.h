// The peak database of one sample: owned peak entries in list order, the database's name and
// creation date and time, and an in-place selection sort by found RT, area or height.
#pragma once

#include <string>

#include "platform/ClassFramework.h"
#include "records/OwnedList.h"
#include "records/PeakData.h"

class CPeakList : public CQuanObject, public OwnedList<CPeakData>, public ListStamp {
    QUAN_DECLARE_CLASS(CPeakList)
public:
    enum SortType { kSortFoundRT = 0, kSortArea = 1, kSortHeight = 2 };

    CPeakList() = default;
    CPeakList(const CPeakList& other);
    CPeakList& operator=(const CPeakList& other);
    ~CPeakList() override;

    virtual void EmptyPeakList() { ClearEntries(); }

    void CopyData(const CPeakList& other);

    // Selection sort of the entries (pointers move, entries do not); among equal keys the one
    // nearest the front wins. 1 when any entry moved, else 0; an unknown key or a list with an
    // empty slot is left as it is.
    int Sort(int sortType, int ascending);
};
