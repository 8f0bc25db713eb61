// The batch: owned sample entries in order, with the batch's method file name, curve database
// file name, quantification function number, database name and modification time.
// Invariants: every stored sample is a copy the list made and owns; a sample displaced by
// SetAt, removed, or cut off by a shrinking SetNumSamples is released. Slots may be empty after
// Remove or SetNumSamples. Copying a list carries the samples, the DB name and the modified
// time, but not the method file name, the curve DB file name or the quan function.
#pragma once

#include <ctime>
#include <memory>
#include <string>

#include "platform/ClassFramework.h"
#include "records/OwnedPointerArray.h"
#include "records/QuanSampleData.h"

class CQuanSampleDataList : public CQuanObject {
    QUAN_DECLARE_CLASS(CQuanSampleDataList)
public:
    CQuanSampleDataList() = default;
    CQuanSampleDataList(const CQuanSampleDataList& other);
    // Sizes this list to the other's count (even when assigning to itself), then copies.
    CQuanSampleDataList& operator=(const CQuanSampleDataList& other);
    ~CQuanSampleDataList() override;

    int GetNumSamples() const { return m_samples.GetSize(); }
    // Appends a copy; the caller keeps its sample. A null pointer appends nothing (false).
    bool Add(const CQuanSampleData* sample);
    bool Add(const CQuanSampleData& sample);
    bool SetNumSamples(int count);
    // False until SetNumSamples has been called once, and for an index outside the list or a
    // null pointer; otherwise stores a copy, releasing the sample it replaces.
    bool SetAt(int index, const CQuanSampleData* sample);
    bool SetAt(int index, const CQuanSampleData& sample);
    // The sample in slot index. For an empty slot or an index outside the list it gives an
    // empty sample that belongs to no slot (changes to it are not kept).
    CQuanSampleData& GetAt(int index) const;
    // Releases sample i and leaves its slot empty; false (and no change) outside the list.
    bool Remove(int index) { return m_samples.Remove(index); }
    void EmptyQuanSampleDataList() { m_samples.Clear(); }

    // The sample in slot index, or null for an empty slot or an index outside the list.
    CQuanSampleData* GetEntry(int index) const { return m_samples.At(index); }

    // For every index below both counts, the other's sample (an empty slot empties ours), then
    // the DB name and modified time. Samples are copied only once this list has been sized.
    void CopyData(const CQuanSampleDataList& other);

    int GetQuanFunction() const { return m_quanFunction; }
    void SetQuanFunction(int value) { m_quanFunction = value; }
    std::string GetMethodFileName() const { return m_methodFileName; }
    void SetMethodFileName(std::string value) { m_methodFileName = std::move(value); }
    std::string GetCurveDBFileName() const { return m_curveDBFileName; }
    void SetCurveDBFileName(std::string value) { m_curveDBFileName = std::move(value); }
    std::string GetDBName() const { return m_dbName; }
    void SetDBName(std::string value) { m_dbName = std::move(value); }
    time_t GetModifiedTime() const { return m_modifiedTime; }
    void SetModifiedTime(time_t value) { m_modifiedTime = value; }

private:
    int m_quanFunction = 0;
    bool m_sizeSet = false;
    std::string m_methodFileName;
    std::string m_curveDBFileName;
    OwnedPointerArray<CQuanSampleData> m_samples;
    std::string m_dbName;
    time_t m_modifiedTime = 0;
    mutable std::unique_ptr<CQuanSampleData> m_placeholder;
};
