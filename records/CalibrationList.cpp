// The calibration list: list protocol, copying and the look-up of a curve by compound name.
#include "records/CalibrationList.h"

#include <new>

#include "platform/NumberText.h"

QUAN_REGISTER_CLASS(CCalibrationList);

CCalibrationList::CCalibrationList(const CCalibrationList& other) : CQuanObject() {
    SetSize(other.GetSize());
    CopyData(other);
}

CCalibrationList& CCalibrationList::operator=(const CCalibrationList& other) {
    SetSize(other.GetSize());
    if (&other != this) CopyData(other);
    return *this;
}

CCalibrationList::~CCalibrationList() { EmptyCalibrationList(); }

bool CCalibrationList::Add(const CCalibrationData& curve) {
    CCalibrationData* copy = new (std::nothrow) CCalibrationData(curve);
    return copy != nullptr && m_entries.Append(copy);
}

bool CCalibrationList::Add(const CCalibrationData* curve) { return curve != nullptr && Add(*curve); }

bool CCalibrationList::Remove(int index) { return m_entries.Remove(index); }

bool CCalibrationList::SetSize(int size) {
    if (size < 0) return false;
    m_sizeSet = true;
    return m_entries.SetSize(size);
}

int CCalibrationList::GetSize() const { return m_entries.GetSize(); }

bool CCalibrationList::SetAt(int index, const CCalibrationData& curve) {
    if (!m_sizeSet || !m_entries.IsValidIndex(index)) return false;
    // Copy first: the argument may be the very curve being replaced.
    CCalibrationData* copy = new (std::nothrow) CCalibrationData(curve);
    return copy != nullptr && m_entries.Replace(index, copy);
}

bool CCalibrationList::SetAt(int index, const CCalibrationData* curve) { return curve != nullptr && SetAt(index, *curve); }

CCalibrationData& CCalibrationList::GetAt(int index) const {
    if (CCalibrationData* curve = m_entries.At(index)) return *curve;
    // An engine walking a list with a hole gets a default curve rather than a crash.
    if (m_placeholder) m_placeholder->Initialise();
    else m_placeholder = std::make_unique<CCalibrationData>();
    return *m_placeholder;
}

void CCalibrationList::EmptyCalibrationList() { m_entries.Clear(); }

void CCalibrationList::CopyData(const CCalibrationList& other) {
    if (&other != this && m_sizeSet) {
        const int count = std::min(GetSize(), other.GetSize());
        for (int i = 0; i < count; ++i) {
            if (const CCalibrationData* curve = other.GetEntry(i)) SetAt(i, *curve);
            else Remove(i);
        }
    }
    m_dbName = other.m_dbName;
    m_creationDate = other.m_creationDate;
    m_creationTime = other.m_creationTime;
    m_modifiedTime = other.m_modifiedTime;
}

int CCalibrationList::FindMatchingCalibration(const std::string& name) const {
    for (int i = 0; i < GetSize(); ++i) {
        const CCalibrationData* entry = GetEntry(i);
        if (entry != nullptr && NumberText::EqualIgnoringCase(entry->GetName(), name)) return i;
    }
    return -1;
}

bool CCalibrationList::GetMatchingCalibration(CCalibrationData& curve, std::string name) const {
    const int found = FindMatchingCalibration(name);
    if (found < 0) return false;
    if (GetEntry(found) != &curve) curve = *GetEntry(found);
    return true;
}

bool CCalibrationList::GetMatchingCalibration(CCalibrationData* curve, std::string name) const {
    return curve != nullptr && GetMatchingCalibration(*curve, std::move(name));
}
