// The calibration list: list protocol, copying and the look-up of a curve by compound name.
#include "records/CalibrationList.h"

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

void CCalibrationList::CopyData(const CCalibrationList& other) {
    if (&other != this && IsSized()) CopyEntriesFrom(other);
    CopyStamp(other);
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
