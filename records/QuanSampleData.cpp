// Sample entry: copying to and from the owned sample record.
#include "records/QuanSampleData.h"

QUAN_REGISTER_CLASS(CQuanSampleData);

CQuanSampleData& CQuanSampleData::operator=(const CQuanSampleData& other) {
    if (&other != this) m_record = other.m_record;
    return *this;
}

CQuanSampleData& CQuanSampleData::operator=(const CSampleRecord& record) {
    m_record = record;
    return *this;
}

void CQuanSampleData::CopyData(const CQuanSampleData& other) {
    if (&other != this) m_record = other.m_record;
}

void CQuanSampleData::CopyData(const CSampleRecord& record) { m_record = record; }

void CQuanSampleData::CopyData(CSampleRecord& record) { record = m_record; }

int CQuanSampleData::GetSampleType() const {
    int type = 0;
    m_record.GetType(type);
    return type;
}
