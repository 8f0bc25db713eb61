// The batch: owned sample entries in order, with the batch's method file name, curve database
// file name, quantification function number, database name and modification time.
// Invariants: every stored sample is a copy the list made and owns; a sample displaced by
// SetAt, removed, or cut off by a shrinking SetNumSamples is released. Slots may be empty after
// Remove or SetNumSamples. Copying a list carries the samples and the list's stamp, but not
// the method file name, the curve DB file name or the quan function.
#pragma once

#include <ctime>
#include <string>

#include "platform/ClassFramework.h"
#include "records/OwnedList.h"
#include "records/QuanSampleData.h"

class CQuanSampleDataList : public CQuanObject, public OwnedList<CQuanSampleData>, public ListStamp {
    QUAN_DECLARE_CLASS(CQuanSampleDataList)
public:
    CQuanSampleDataList() = default;
    CQuanSampleDataList(const CQuanSampleDataList& other);
    // Sizes this list to the other's count (even when assigning to itself), then copies.
    CQuanSampleDataList& operator=(const CQuanSampleDataList& other);
    ~CQuanSampleDataList() override;

    // The batch's names for the list's size.
    int GetNumSamples() const { return GetSize(); }
    bool SetNumSamples(int count) { return SetSize(count); }
    void EmptyQuanSampleDataList() { ClearEntries(); }

    // For every index below both counts, the other's sample (an empty slot empties ours), then
    // the DB name and modified time. Samples are copied only once this list has been sized.
    void CopyData(const CQuanSampleDataList& other);

    int GetQuanFunction() const { return m_quanFunction; }
    void SetQuanFunction(int value) { m_quanFunction = value; }
    std::string GetMethodFileName() const { return m_methodFileName; }
    void SetMethodFileName(std::string value) { m_methodFileName = std::move(value); }
    std::string GetCurveDBFileName() const { return m_curveDBFileName; }
    void SetCurveDBFileName(std::string value) { m_curveDBFileName = std::move(value); }

private:
    int m_quanFunction = 0;
    std::string m_methodFileName;
    std::string m_curveDBFileName;
};
