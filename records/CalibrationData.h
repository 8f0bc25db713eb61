// One calibration curve of one compound: identity, calibration settings, the calibration points
// with the file each came from, the fitted coefficients c0..c6 and the curve statistics, and
// its conversion to and from the host's flat curve record.
// Invariants: after construction, Initialise or a copy the file and point arrays hold at least
// 101 elements and the coefficient array 7; indexed operations outside an array change nothing
// (setters return false, getters give a zero element). The flags text reads back right-aligned
// in at least 9 characters; copies and stored records carry that padded form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ClassFramework.h"
#include "records/CurveRecord.h"

class CCalibrationData : public CQuanObject {
    QUAN_DECLARE_CLASS(CCalibrationData)
public:
    // Elements of the point and file arrays after construction, and coefficients c0..c6.
    static constexpr int kNumCaliSlots = 101;
    static constexpr int kNumCoefficients = 7;
    // Width the flags text is right-aligned to when read back.
    static constexpr int kFlagsWidth = 9;

    CCalibrationData();
    CCalibrationData(const CCalibrationData& other);
    ~CCalibrationData() override = default;

    CCalibrationData& operator=(const CCalibrationData& other);
    CCalibrationData& operator=(const _tagINTERNAL_CURVE_DB_RECORD& record);

    // Every member back to its default: numbers 0, texts empty, 101 zero points and files,
    // 7 zero coefficients.
    void Initialise();
    void CopyData(const CCalibrationData& other);
    // Writes the flat record: all 19496 bytes are set (reserved ranges and padding zero).
    void GetRecord(_tagINTERNAL_CURVE_DB_RECORD& record) const;

    // Every member and every array element equal (points by value and flags, files byte for
    // byte, flags text as stored).
    bool operator==(const CCalibrationData& other) const;
    bool operator!=(const CCalibrationData& other) const { return !(*this == other); }

#define CURVE_TEXT(offset, size, Name)                             \
    std::string Get##Name() const { return m_##Name; }             \
    void Set##Name(std::string value) { m_##Name = std::move(value); }
#define CURVE_FLAGS_TEXT(offset, size, Name)                       \
    std::string Get##Name() const;                                 \
    void Set##Name(std::string value) { m_##Name = std::move(value); }
#define CURVE_FIELD(offset, type, Name)                            \
    type Get##Name() const { return m_##Name; }                    \
    void Set##Name(type value) { m_##Name = value; }
#define CURVE_FIELD_CREF(offset, type, Name)                       \
    type Get##Name() const { return m_##Name; }                    \
    void Set##Name(const type& value) { m_##Name = value; }
#define CURVE_UNSTORED(type, Name) CURVE_FIELD(0, type, Name)
#include "records/CurveRecordFields.def"

    // The files share the point count: file i belongs to point i.
    int GetNumCaliFiles() const { return m_NumCaliPts; }
    double GetCoeffOfDet() const { return m_CorrCoeff * m_CorrCoeff; }

    // Points. The reference form gives the element itself, for changes in place; outside the
    // array it gives a zeroed scratch point that belongs to no index.
    tag_CALI_POINT GetCaliPoint(int index) const;
    tag_CALI_POINT& GetCaliPoint(int index);
    bool SetCaliPoint(const tag_CALI_POINT& point, int index);
    bool SetCaliPointWeight(int index, double weight);
    bool SetCaliPointConc(int index, double conc);
    bool SetCaliPointResp(int index, double resp);
    bool SetCaliPointFlags(int index, uint16_t flags);
    // Appends after the last element (index 101 on a new curve); NumCaliPts is unchanged.
    void AddCaliPoint(const tag_CALI_POINT& point);
    int GetNumCaliPointSlots() const { return static_cast<int>(m_caliPoints.size()); }

    // Files, with the same meaning as the points.
    tagFILE_INFO GetCaliFile(int index) const;
    tagFILE_INFO& GetCaliFile(int index);
    bool SetCaliFile(const tagFILE_INFO& file, int index);
    void AddCaliFile(const tagFILE_INFO& file);
    int GetNumCaliFileSlots() const { return static_cast<int>(m_caliFiles.size()); }

    // Coefficients c0.. (the coefficient of x^i is GetCC(i)); 0 outside the array.
    int GetNumCC() const { return static_cast<int>(m_coefficients.size()); }
    double GetCC(int index) const;
    bool SetCC(double value, int index);
    void AddCC(double value);

    // Report fields of GetFieldStr. Any int may arrive from a host, hence the fixed type.
    enum CalibrationDataFields : int {
#define CURVE_REPORT_FIELD(number, Name, Getter) kCali##Name = (number),
#include "report/CurveReportFields.def"
    };

    // The curve as a block of text lines joined by line feeds (none at the end): compound name,
    // correlation, curve equation, response type and curve settings. Any curve, valid or not and
    // with any stored settings, gives a text.
    std::string GetDescription() const;

    // A correlation value of a valid, fitted curve. The text is only ever set to empty (a null
    // text is refused with false); the value goes to `number`. False for an invalid curve, and
    // for an RF curve asked for a correlation field; true for any other field, with nothing
    // written. `unusedFlag` is part of the host's call and is not read.
    bool GetFieldStr(CalibrationDataFields field, bool unusedFlag, char* text, double& number) const;
    bool GetFieldStr(CalibrationDataFields field, bool unusedFlag, char* text, size_t capacity,
                     double& number) const;
    bool GetFieldStr(CalibrationDataFields field, bool unusedFlag, std::string& text, double& number) const;

    // The index of the first file whose name equals `name` exactly (case-sensitive), or -1.
    int FindMatchingPoint(const std::string& name) const;
    // Whether TotalsGroup shares a word with `group` (the word-match library's comparison).
    bool IsMemberOf(const std::string& group) const;

private:
    bool IsPointIndex(int index) const { return index >= 0 && index < GetNumCaliPointSlots(); }
    bool IsFileIndex(int index) const { return index >= 0 && index < GetNumCaliFileSlots(); }

#define CURVE_TEXT(offset, size, Name) std::string m_##Name;
#define CURVE_FIELD(offset, type, Name) type m_##Name = 0;
#define CURVE_UNSTORED(type, Name) type m_##Name = 0;
#include "records/CurveRecordFields.def"

    std::vector<tagFILE_INFO> m_caliFiles;
    std::vector<tag_CALI_POINT> m_caliPoints;
    std::vector<double> m_coefficients;
    // Handed out by the reference accessors for an index outside the arrays.
    tag_CALI_POINT m_scratchPoint{};
    tagFILE_INFO m_scratchFile{};
};
