// The sample list: list protocol and copying.
#include "records/QuanSampleDataList.h"

#include <algorithm>
#include <new>

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

bool CQuanSampleDataList::Add(const CQuanSampleData& sample) {
    CQuanSampleData* copy = new (std::nothrow) CQuanSampleData(sample);
    return copy != nullptr && m_samples.Append(copy);
}

bool CQuanSampleDataList::Add(const CQuanSampleData* sample) { return sample != nullptr && Add(*sample); }

bool CQuanSampleDataList::SetNumSamples(int count) {
    if (count < 0) return false;
    m_sizeSet = true;
    return m_samples.SetSize(count);
}

bool CQuanSampleDataList::SetAt(int index, const CQuanSampleData& sample) {
    if (!m_sizeSet || !m_samples.IsValidIndex(index)) return false;
    // Copy first: the argument may be the very sample being replaced.
    CQuanSampleData* copy = new (std::nothrow) CQuanSampleData(sample);
    return copy != nullptr && m_samples.Replace(index, copy);
}

bool CQuanSampleDataList::SetAt(int index, const CQuanSampleData* sample) {
    return sample != nullptr && SetAt(index, *sample);
}

CQuanSampleData& CQuanSampleDataList::GetAt(int index) const {
    if (CQuanSampleData* sample = m_samples.At(index)) return *sample;
    // A caller walking a list with a hole gets an empty sample rather than a crash.
    if (m_placeholder) *m_placeholder = CQuanSampleData();
    else m_placeholder = std::make_unique<CQuanSampleData>();
    return *m_placeholder;
}

void CQuanSampleDataList::CopyData(const CQuanSampleDataList& other) {
    if (&other != this && m_sizeSet) {
        const int count = std::min(GetNumSamples(), other.GetNumSamples());
        for (int i = 0; i < count; ++i) {
            if (const CQuanSampleData* sample = other.GetEntry(i)) SetAt(i, *sample);
            else Remove(i);
        }
    }
    m_dbName = other.m_dbName;
    m_modifiedTime = other.m_modifiedTime;
}
