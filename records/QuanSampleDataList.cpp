// The sample list: list protocol and copying.
#include "records/QuanSampleDataList.h"

QUAN_REGISTER_CLASS(CQuanSampleDataList);

CQuanSampleDataList::CQuanSampleDataList(const CQuanSampleDataList& other) : CQuanObject() {
    SetNumSamples(other.GetNumSamples());
    CopyData(other);
}

CQuanSampleDataList& CQuanSampleDataList::operator=(const CQuanSampleDataList& other) {
    SetNumSamples(other.GetNumSamples());
    if (&other != this) CopyData(other);
    return *this;
}

CQuanSampleDataList::~CQuanSampleDataList() { EmptyQuanSampleDataList(); }

void CQuanSampleDataList::CopyData(const CQuanSampleDataList& other) {
    if (&other != this && IsSized()) CopyEntriesFrom(other);
    CopyStamp(other);
}
