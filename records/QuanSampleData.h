// One sample of a batch as the engines see it: a thin value class over the record library's
// sample record, which it owns and through which every field is read and written. It names the
// record's generic numeric slots by their quantitative meaning: initial amount (UserDivisor1, a
// divisor), extract volume (UserFactor3), extract dilution factor (UserFactor1) and user
// dilution factor (UserFactor2). No accessor keeps state, checks a range or converts a value.
// Sample type codes: 0 analyte, 1 standard, 2 QC, 3 blank, 6 recovery, 7 solvent check.
#pragma once

#include <cstddef>
#include <string>

#include "platform/ClassFramework.h"
#include "platform/SampleRecord.h"

class CMethodData;

class CQuanSampleData : public CQuanObject {
    QUAN_DECLARE_CLASS(CQuanSampleData)
public:
    static constexpr int kAnalyte = 0;
    static constexpr int kStandard = 1;
    static constexpr int kQC = 2;
    static constexpr int kBlank = 3;
    static constexpr int kRecovery = 6;
    static constexpr int kSolventCheck = 7;

    CQuanSampleData() { Initialise(); }
    CQuanSampleData(const CQuanSampleData& other) : CQuanObject(), m_record(other.m_record) {}
    explicit CQuanSampleData(const CSampleRecord& record) : m_record(record) {}
    ~CQuanSampleData() override = default;

    CQuanSampleData& operator=(const CQuanSampleData& other);
    CQuanSampleData& operator=(const CSampleRecord& record);

    // Nothing beyond the empty record of construction.
    void Initialise() {}

    void CopyData(const CQuanSampleData& other);
    // Replaces this sample's record by a copy of `record`.
    void CopyData(const CSampleRecord& record);
    // Copies this sample's record OUT into `record` (the non-constant overload: a caller with a
    // modifiable record who wants to copy it in must pass it as constant or use operator=).
    void CopyData(CSampleRecord& record);
    void Get(CSampleRecord& record) const { record = m_record; }

    // The record itself, for the report fields and the host.
    const CSampleRecord& GetRecord() const { return m_record; }
    CSampleRecord& GetRecord() { return m_record; }

    std::string GetRawDataFileName() const { return m_record.GetDataFile(); }
    void SetRawDataFileName(const char* value) { SetText(&CSampleRecord::SetDataFile, value); }
    std::string GetDescription() const { return m_record.GetDescription(); }
    void SetDescription(const std::string& value) { m_record.SetDescription(value); }
    std::string GetJob() const { return m_record.GetJob(); }
    void SetJob(const char* value) { SetText(&CSampleRecord::SetJob, value); }
    std::string GetSampleID() const { return m_record.GetID(); }
    void SetSampleID(const char* value) { SetText(&CSampleRecord::SetID, value); }

    int GetSampleType() const;
    void SetSampleType(int type) { m_record.SetType(type); }
    // The type's text ("Standard" for 1); both getters give the same text.
    std::string GetSampleTypeString() const { return m_record.GetType(); }
    std::string GetSampleText() const { return m_record.GetType(); }
    // From the type's text or number in text form; false (and no change) for a text that names
    // no type, or a null pointer.
    bool SetSampleType(const char* text) { return m_record.SetType(text); }

    std::string GetVial() const { return m_record.GetVialReference(); }
    void SetVial(const std::string& value) { m_record.SetVialReference(value); }
    std::string GetConditions() const { return m_record.GetConditions(); }
    void SetConditions(const std::string& value) { m_record.SetConditions(value); }
    std::string GetSubmitter() const { return m_record.GetSubmitter(); }
    void SetSubmitter(const std::string& value) { m_record.SetSubmitter(value); }
    std::string GetTask() const { return m_record.GetTask(); }
    void SetTask(const std::string& value) { m_record.SetTask(value); }

    double GetInitialAmount() const { return m_record.GetUserDivisor1(); }
    void SetInitialAmount(double value) { m_record.SetUserDivisor1(value); }
    double GetExtractVolume() const { return m_record.GetUserFactor3(); }
    void SetExtractVolume(double value) { m_record.SetUserFactor3(value); }
    double GetExtractDilutionFactor() const { return m_record.GetUserFactor1(); }
    void SetExtractDilutionFactor(double value) { m_record.SetUserFactor1(value); }
    double GetUserDilutionFactor() const { return m_record.GetUserFactor2(); }
    void SetUserDilutionFactor(double value) { m_record.SetUserFactor2(value); }
    double GetInjectionVolume() const { return m_record.GetInjectionVolume(); }
    void SetInjectionVolume(double value) { m_record.SetInjectionVolume(value); }
    double GetStockDilutionFactor() const { return m_record.GetStockDilution(); }
    void SetStockDilutionFactor(double value) { m_record.SetStockDilution(value); }

    // Concentration of a standard level (0 for "A").
    double GetStdConc(int index) const { return m_record.GetConcentration(index); }
    void SetStdConc(int index, double value) { m_record.SetConcentration(index, value); }
    std::string GetSpare(int index) const { return m_record.GetSpare(index); }

    std::string GetSubjectText() const { return m_record.GetSubjectText(); }
    void SetSubjectText(const char* value) { SetText(&CSampleRecord::SetSubjectText, value); }
    double GetSubjectTime() const { return m_record.GetSubjectTime(); }
    void SetSubjectTime(double value) { m_record.SetSubjectTime(value); }
    int GetSampleNumber() const { return m_record.GetSampleNumber(); }
    void SetSampleNumber(int value) { m_record.SetSampleNumber(value); }
    std::string GetQualityReference() const { return m_record.GetQualityReference(); }
    void SetQualityReference(const char* value) { SetText(&CSampleRecord::SetQualityReference, value); }
    std::string GetQuantityReference() const { return m_record.GetQuanRef(); }
    void SetQuantityReference(const char* value) { SetText(&CSampleRecord::SetQuanRef, value); }
    std::string GetUser() const { return m_record.GetUser(); }
    void SetUser(const std::string& value) { m_record.SetUser(value); }

    std::string GetMass(int index) const { return m_record.GetMass(index); }
    // The mass of the column with that letter name ("A" to "Z", "AA" to "DD", either case);
    // empty for an empty or unknown name.
    std::string GetMass(const std::string& letter) const;
    // The wavelength of column `index` printed with "%f"; empty outside the record's columns.
    std::string GetWavelength(int index) const;
    // The same by letter name ("A" to "J", either case); empty for an empty or unknown name.
    std::string GetWavelength(const std::string& letter) const;

    // Report fields. Any int may arrive from a host, hence the fixed type.
    enum SampleDataFields : int {
#define SAMPLE_REPORT_FIELD(number, Name, Kind, Getter, Store) kSample##Name = (number),
#include "report/SampleReportFields.def"
    };
    static constexpr int kNumSampleFields = 28;
    // Room the form without a capacity assumes in the caller's buffer.
    static constexpr size_t kSampleFieldTextSize = 512;

    // One field: a text field fills `text`, a number field fills `number` and leaves the text
    // empty. `index` chooses the concentration (field 16) or spare text (field 23); `entry` is
    // the method entry whose standard concentration field 1 gives (false without one, and false
    // when that value is zero, unless the sample is a standard, QC or recovery sample or the
    // entry has no standard levels). A number outside the fields gives true and an empty text.
    // `unusedFlag` is part of the host's call and is not read.
    // The buffer forms refuse a null buffer, and a text that does not fit leaves the buffer
    // empty and returns false.
    bool SampleGetFieldStr(SampleDataFields field, bool unusedFlag, std::string& text, int index, double& number,
                           const CMethodData* entry) const;
    bool SampleGetFieldStr(SampleDataFields field, bool unusedFlag, char* text, size_t capacity, int index,
                           double& number, const CMethodData* entry) const;
    // The buffer must hold kSampleFieldTextSize characters.
    bool SampleGetFieldStr(SampleDataFields field, bool unusedFlag, char* text, int index, double& number,
                           const CMethodData* entry) const;

    // Stores an edited text: task (10), submitter (12), conditions (13) and the sample type by
    // its text (14). Every other field accepts the text and changes nothing. False only for a
    // type text that names no type (the type is then unchanged) or a null text. The buffer
    // form leaves the caller's text empty afterwards, as hosts expect. `index` is not read.
    bool SampleSetFieldStr(SampleDataFields field, int index, char* text);
    bool SampleSetFieldStr(SampleDataFields field, int index, const std::string& text);

private:
    // A null character string leaves the field as it is.
    void SetText(void (CSampleRecord::*set)(const std::string&), const char* value) {
        if (value != nullptr) (m_record.*set)(value);
    }

    CSampleRecord m_record;
};
