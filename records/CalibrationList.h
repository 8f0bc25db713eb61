// The calibration database of a batch: owned curves in order (curve i belongs to method entry
// i), the database's name, creation date and time and last modification time.
// Invariants: every stored curve is a copy the list made and owns; a curve displaced by SetAt,
// removed, or cut off by a shrinking SetSize is released. Slots may be empty after Remove or
// SetSize; operations that walk the list pass over them.
#pragma once

#include <ctime>
#include <memory>
#include <string>

#include "platform/ClassFramework.h"
#include "records/CalibrationData.h"
#include "records/OwnedPointerArray.h"

class CCalibrationList : public CQuanObject {
    QUAN_DECLARE_CLASS(CCalibrationList)
public:
    CCalibrationList() = default;
    CCalibrationList(const CCalibrationList& other);
    // Sizes this list to the other's count (even when assigning to itself), then copies.
    CCalibrationList& operator=(const CCalibrationList& other);
    ~CCalibrationList() override;

    // Appends a copy; the caller keeps its curve. A null pointer appends nothing (false).
    virtual bool Add(const CCalibrationData& curve);
    virtual bool Add(const CCalibrationData* curve);
    // Releases curve i and leaves its slot empty; false (and no change) outside the list.
    virtual bool Remove(int index);
    virtual bool SetSize(int size);
    virtual int GetSize() const;
    // False until SetSize has been called once, and for an index outside the list or a null
    // pointer; otherwise stores a copy, releasing the curve it replaces.
    virtual bool SetAt(int index, const CCalibrationData& curve);
    virtual bool SetAt(int index, const CCalibrationData* curve);
    // The curve in slot index. For an empty slot or an index outside the list it gives a
    // default curve that belongs to no slot (changes to it are not kept).
    virtual CCalibrationData& GetAt(int index) const;
    virtual void EmptyCalibrationList();

    // The curve in slot index as GetAt gives it, or null for an empty slot or an index outside
    // the list. The engines read the list through this, so a host's GetAt override is honoured
    // and empty slots are passed over (an override must not call GetEntry back).
    CCalibrationData* GetEntry(int index) const { return m_entries.At(index) != nullptr ? &GetAt(index) : nullptr; }

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

    std::string GetCreationDate() const { return m_creationDate; }
    std::string GetCreationTime() const { return m_creationTime; }
    std::string GetDBName() const { return m_dbName; }
    void SetCreationDate(std::string value) { m_creationDate = std::move(value); }
    void SetCreationTime(std::string value) { m_creationTime = std::move(value); }
    void SetDBName(std::string value) { m_dbName = std::move(value); }
    time_t GetModifiedTime() const { return m_modifiedTime; }
    void SetModifiedTime(time_t value) { m_modifiedTime = value; }

private:
    std::string m_creationDate;
    std::string m_creationTime;
    std::string m_dbName;
    time_t m_modifiedTime = 0;
    OwnedPointerArray<CCalibrationData> m_entries;
    bool m_sizeSet = false;
    mutable std::unique_ptr<CCalibrationData> m_placeholder;
};
