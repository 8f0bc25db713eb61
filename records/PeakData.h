// One entry of a sample's peak database: an integrated peak, the method settings copied onto
// it when it is located, and every result the engines attach to it. The persistent part is the
// flat record; the object adds an identity number, an absolute noise height and a cached
// mass-trace comparitor shared between copies by reference count.
//
// Every stored field has Get<Name>/Set<Name> generated from PeakFields.def; the flag word's bits
// from PeakFlagBits.def. Text getters never read past their field, even for a record whose text
// is not terminated; text setters always leave the field terminated.
#pragma once

#include <cstring>
#include <string>

#include "platform/ClassFramework.h"
#include "platform/MassStringComparitor.h"
#include "records/PeakRecord.h"

class CPeakData : public CQuanObject {
    QUAN_DECLARE_CLASS(CPeakData)
public:
    // Toxic-equivalent slots of a peak (ToxicConc, ToxicLOD, ToxicLOQ 0 to 3).
    static constexpr int kNumToxicEquivalents = 4;

    CPeakData();
    CPeakData(const CPeakData& other);
    explicit CPeakData(const _tagINTERNAL_PEAK_DB_RECORD& record);
    ~CPeakData() override;

    CPeakData& operator=(const CPeakData& other);
    CPeakData& operator=(const _tagINTERNAL_PEAK_DB_RECORD& record);
    // Identity, not content: true only for the same object.
    bool operator==(const CPeakData& other) const { return this == &other; }
    bool operator!=(const CPeakData& other) const { return this != &other; }
    // A main or group peak of a totals entry.
    bool IsTotals() const { return GetTotalsPeak() != 0 || GetTotalsGroupPeak() != 0; }

    void Initialise();
    // Whole entry: record, ID, absolute noise height, and a share of the source's comparitor.
    void CopyData(const CPeakData& other);
    // Record only; ID, noise height and comparitor stay as they are.
    void CopyData(const _tagINTERNAL_PEAK_DB_RECORD& record);
    // Into a record (cleared first).
    void CopyData(_tagINTERNAL_PEAK_DB_RECORD& record) const;
    void GetPeak(_tagINTERNAL_PEAK_DB_RECORD& record) const { CopyData(record); }
    const _tagINTERNAL_PEAK_DB_RECORD& GetRecord() const { return m_record; }

#define PEAK_FIELD(offset, type, Name)                          \
    type Get##Name() const { return m_record.Name; }            \
    void Set##Name(const type& value) { m_record.Name = value; }
#define PEAK_FIELD_STORED(offset, type, Name) \
    void Set##Name(const type& value) { m_record.Name = value; }
#define PEAK_BOOL(offset, Name)                                  \
    bool Get##Name() const { return m_record.Name != 0; }        \
    void Set##Name(const int& value) { m_record.Name = value; }
#define PEAK_TEXT(offset, size, maxChars, Name)                                         \
    std::string Get##Name() const { return BoundedText(m_record.Name, size); }          \
    void Set##Name(const std::string& text) { StoreText(m_record.Name, size, maxChars, text); }
#define PEAK_TEXT_INPLACE(offset, size, maxChars, Name)                                 \
    const char* Get##Name() const { return TerminatedInPlace(m_record.Name, size); }    \
    void Set##Name(const std::string& text) { StoreText(m_record.Name, size, maxChars, text); }
#define PEAK_TEXT_STORED(offset, size, maxChars, Name) \
    void Set##Name(const std::string& text) { StoreText(m_record.Name, size, maxChars, text); }
#define PEAK_ARRAY(offset, type, count, Name, outside)                                   \
    type Get##Name(const int& index) const {                                             \
        return index >= 0 && index < (count) ? m_record.Name[index] : type(outside);     \
    }                                                                                    \
    void Set##Name(const int& index, const type& value) {                                \
        if (index >= 0 && index < (count)) m_record.Name[index] = value;                 \
    }
#define PEAK_TEXT_ARRAY(offset, size, count, maxChars, Name)                                 \
    const char* Get##Name(const int& index) const {                                          \
        return index >= 0 && index < (count) ? TerminatedInPlace(m_record.Name[index], size) \
                                             : nullptr;                                      \
    }                                                                                        \
    void Set##Name(const int& index, const std::string& text) {                              \
        if (index >= 0 && index < (count)) StoreText(m_record.Name[index], size, maxChars, text); \
    }
#define PEAK_FLAGWORD(offset, Name)                               \
    uint32_t Get##Name() const { return m_record.Name; }          \
    void Set##Name(const uint32_t& value) { m_record.Name = value; }
#include "records/PeakFields.def"

#define PEAK_FLAG_BIT(bit, Name)                                                               \
    int Get##Name() const { return (m_record.FlagWord >> (bit)) & 1u; }                        \
    void Set##Name(const int& value) {                                                         \
        m_record.FlagWord = value != 0 ? (m_record.FlagWord | (1u << (bit)))                   \
                                       : (m_record.FlagWord & ~(1u << (bit)));                 \
    }
#include "records/PeakFlagBits.def"

    // The stored window when above 0, else 1.0; the absolute switch then reads 1.
    float GetChroMassWindow() const { return m_record.ChroMassWindow > 0.0f ? m_record.ChroMassWindow : 1.0f; }
    int GetChroMassWindowAbs() const { return m_record.ChroMassWindow > 0.0f ? m_record.ChroMassWindowAbs : 1; }

    // The quality text with its "#"-marked numbers formatted (default: mode 0, 4 decimals, 3 figures).
    std::string GetPeakQualityStr() const { return GetPeakQualityStr(0, 4, 3); }
    std::string GetPeakQualityStr(int mode, int decimals, int significantFigures) const;

    // Report fields by number, one row each in report/PeakFieldTable.def. Any int may arrive
    // from a host, hence the fixed underlying type; numbers without a row show nothing.
    enum PeakDataFields : int {
#define PEAK_REPORT_FIELD(number, Name, ...) kPeak##Name = number,
#include "report/PeakFieldTable.def"
    };
    // Capacity the plain text-buffer forms assume: every stored text fits, and so does a quality
    // text with a few very long numbers. Longer texts need the capacity or std::string forms.
    static constexpr size_t kPeakFieldTextSize = 1024;

    // One field as text or number. Returns 1 when the field was produced, 0 when the peak has
    // nothing to show for it (the text is then empty). `unused` is kept for hosts that pass it.
    int PeakGetFieldStr(PeakDataFields field, bool unused, std::string& text, double& number) const;
    // Into a buffer of `capacity` characters: never writes past it; a text that does not fit
    // leaves the buffer empty and returns 0. A null buffer serves fields that give a number.
    int PeakGetFieldStr(PeakDataFields field, bool unused, char* text, size_t capacity, double& number) const;
    int PeakGetFieldStr(PeakDataFields field, bool unused, char* text, double& number) const;
    // Stores a field from text; afterwards `text` is empty, or holds the locate-method code
    // (field 52) or the flag letters (field 92). Returns 1 when stored or when the field takes
    // no value, 0 when the text cannot be stored whole (a number that is not finite or does not
    // fit the field, a text longer than the field) or the reply does not fit: nothing changes then.
    int PeakSetFieldStr(PeakDataFields field, int index, std::string& text);
    int PeakSetFieldStr(PeakDataFields field, int index, char* text, size_t capacity);
    int PeakSetFieldStr(PeakDataFields field, int index, char* text);

    int GetID() const { return m_id; }
    void SetID(int id) { m_id = id; }
    double GetAbsNoiseHeight() const { return m_absNoiseHeight; }
    void SetAbsNoiseHeight(double value) { m_absNoiseHeight = value; }

    bool GetModified() const { return DetectionFlagsContain('M'); }
    bool GetFlagged() const { return DetectionFlagsContain('!'); }
    bool GetTargetFlagged() const;
    bool GetBelowRL() const { return GetMaxConcFlag() == 0 && GetReportFlag() == 0 && GetMatrixFlag() == 0; }
    double GetRecoveryValue() const;
    double GetBaselineWidth() const { return (static_cast<double>(m_record.EndRT) - m_record.StartRT) * 60.0; }
    double GetHeightDivArea() const { return m_record.Area <= 0.0001 ? 0.0 : m_record.Height / m_record.Area; }

    // The cached comparitor of the quantification trace, built on first use; null when it
    // cannot be allocated (nothing is cached then).
    CMassStringComparitor* GetMassComparitor();
    // Totals-group membership: the word-match library's comparison of TotalsGroup with `group`.
    bool IsMemberOf(const std::string& group) const;

    // Number formatting used by the report texts.
    void FormatNumber(int mode, int decimals, int significantFigures, double value, std::string& text) const;
    std::string SetStringSignificance(const double& value, const int& significantFigures) const;
    std::string FormatScientific(double value, int digits) const;
    static double GetRoundedValue(double value, int places);

    // Text helpers shared by the accessors: a field's text up to its terminator or its end.
    static std::string BoundedText(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

private:
    static void StoreText(char* field, size_t size, size_t maxChars, const std::string& text);
    // In-place texts are terminated within their field on every path that stores them; a record
    // copied in from outside is terminated when it is loaded.
    static const char* TerminatedInPlace(const char* field, size_t) { return field; }
    bool DetectionFlagsContain(char flag) const;
    void ReleaseComparitor();
    void TerminateInPlaceTexts();

    _tagINTERNAL_PEAK_DB_RECORD m_record;
    CMassStringComparitor* m_comparitor = nullptr;
    int32_t m_id = 0;
    double m_absNoiseHeight = 0.0;
};
