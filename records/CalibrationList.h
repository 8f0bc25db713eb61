// The calibration database of a batch: owned curves in order (curve i belongs to method entry
// i), the database's name, creation date and time and last modification time.
// Invariants: every stored curve is a copy the list made and owns; a curve displaced by SetAt,
// removed, or cut off by a shrinking SetSize is released. Slots may be empty after Remove or
// SetSize; operations that walk the list pass over them.
#pragma once

#include <ctime>
#include <string>

#include "platform/ClassFramework.h"
#include "records/CalibrationData.h"
#include "records/OwnedList.h"

class CCalibrationList : public CQuanObject, public OwnedList<CCalibrationData>, public ListStamp {
    QUAN_DECLARE_CLASS(CCalibrationList)
public:
    CCalibrationList() = default;
    CCalibrationList(const CCalibrationList& other);
    // Sizes this list to the other's count (even when assigning to itself), then copies.
    CCalibrationList& operator=(const CCalibrationList& other);
    ~CCalibrationList() override;

    virtual void EmptyCalibrationList() { ClearEntries(); }

    // For every index below both counts, the other's curve (an empty slot empties ours), then
    // the DB name, creation date and time and modified time. Curves are copied only once this
    // list has been sized.
    void CopyData(const CCalibrationList& other);

    // Copies the first curve (in list order) whose name equals `name` ignoring letter case into
    // `curve` and returns true; false, with `curve` unchanged, when none matches.
    bool GetMatchingCalibration(CCalibrationData& curve, std::string name) const;
    // The index of that curve, or -1.
    int FindMatchingCalibration(const std::string& name) const;
    bool GetMatchingCalibration(CCalibrationData* curve, std::string name) const;

    // The first curve, in list order, that answers GetFieldStr with true gives the result and
    // the number; false for an empty list or when no curve answers (empty slots are passed over).
    bool GetFieldStr(CCalibrationData::CalibrationDataFields field, bool unusedFlag, char* text,
                     double& number) const;
    bool GetFieldStr(CCalibrationData::CalibrationDataFields field, bool unusedFlag, char* text,
                     size_t capacity, double& number) const;
    bool GetFieldStr(CCalibrationData::CalibrationDataFields field, bool unusedFlag, std::string& text,
                     double& number) const;
};
