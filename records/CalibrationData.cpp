// Calibration curve: defaults, copying, and conversion to and from the flat curve record.
// The record holds 100 points and files; a stored count outside 0..100 is clamped, so a hostile
// record never makes the curve read or write outside either array.
#include "records/CalibrationData.h"

#include <algorithm>
#include <cstring>

#include "platform/WordMatch.h"

QUAN_REGISTER_CLASS(CCalibrationData);

namespace {
// Copies a text into a fixed field, truncated to leave room for the terminator.
template <size_t Size>
void WriteText(char (&field)[Size], const std::string& text) {
    const size_t length = std::min(text.size(), Size - 1);
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

// The flags as the record keeps them: the read-back form without its left padding. The field
// holds only 8 characters, so writing the padded form would push a short text out of the
// field a letter at a time with every save ("Y" would be stored as blanks).
std::string StoredFlagsText(const std::string& readBack) {
    const size_t first = readBack.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : readBack.substr(first);
}

// Reads a fixed text field up to its terminator, never past the field.
template <size_t Size>
std::string ReadText(const char (&field)[Size]) {
    return std::string(field, strnlen(field, Size));
}

int ClampToRecordPoints(int count) { return std::clamp(count, 0, kCurveRecordPoints); }

bool SamePoint(const tag_CALI_POINT& a, const tag_CALI_POINT& b) {
    return a.Weight == b.Weight && a.Conc == b.Conc && a.Resp == b.Resp && a.Flags == b.Flags;
}
}  // namespace

CCalibrationData::CCalibrationData() { Initialise(); }

CCalibrationData::CCalibrationData(const CCalibrationData& other) : CQuanObject() { CopyData(other); }

CCalibrationData& CCalibrationData::operator=(const CCalibrationData& other) {
    if (&other != this) CopyData(other);
    return *this;
}

void CCalibrationData::Initialise() {
#define CURVE_TEXT(offset, size, Name) m_##Name.clear();
#define CURVE_FIELD(offset, type, Name) m_##Name = 0;
#define CURVE_UNSTORED(type, Name) m_##Name = 0;
#include "records/CurveRecordFields.def"
    m_caliFiles.assign(kNumCaliSlots, tagFILE_INFO{});
    m_caliPoints.assign(kNumCaliSlots, tag_CALI_POINT{});
    m_coefficients.assign(kNumCoefficients, 0.0);
}

std::string CCalibrationData::GetFlags() const {
    if (m_Flags.size() >= static_cast<size_t>(kFlagsWidth)) return m_Flags;
    return std::string(kFlagsWidth - m_Flags.size(), ' ') + m_Flags;
}

void CCalibrationData::CopyData(const CCalibrationData& other) {
    if (&other == this) return;
#define CURVE_FIELD(offset, type, Name) m_##Name = other.m_##Name;
#define CURVE_UNSTORED(type, Name) m_##Name = other.m_##Name;
// Texts go through the getters, so the flags arrive in their padded read-back form.
#define CURVE_TEXT(offset, size, Name) Set##Name(other.Get##Name());
#include "records/CurveRecordFields.def"

    // Points and files up to the source's count; a count beyond the standard 101 slots (points
    // added by AddCaliPoint) still copies whole, limited to what the source really holds.
    const int count = std::clamp(other.m_NumCaliPts, 0, std::min(other.GetNumCaliPointSlots(), other.GetNumCaliFileSlots()));
    const size_t slots = static_cast<size_t>(std::max(count, static_cast<int>(kNumCaliSlots)));
    m_caliFiles.resize(slots, tagFILE_INFO{});
    m_caliPoints.resize(slots, tag_CALI_POINT{});
    std::copy_n(other.m_caliFiles.begin(), count, m_caliFiles.begin());
    std::copy_n(other.m_caliPoints.begin(), count, m_caliPoints.begin());

    m_coefficients.assign(kNumCoefficients, 0.0);
    std::copy_n(other.m_coefficients.begin(), std::min(other.GetNumCC(), static_cast<int>(kNumCoefficients)),
                m_coefficients.begin());
}

CCalibrationData& CCalibrationData::operator=(const _tagINTERNAL_CURVE_DB_RECORD& record) {
#define CURVE_TEXT(offset, size, Name) m_##Name = ReadText(record.Name);
#define CURVE_FIELD(offset, type, Name) m_##Name = record.Name;
#include "records/CurveRecordFields.def"

    // Only the stored points are read, into the existing arrays; the count kept is the number
    // actually read.
    const int count = std::min({ClampToRecordPoints(record.NumCaliPts), GetNumCaliPointSlots(), GetNumCaliFileSlots()});
    m_NumCaliPts = count;
    for (int i = 0; i < count; ++i) {
        m_caliFiles[i] = record.CaliFiles[i];
        tag_CALI_POINT& point = m_caliPoints[i];
        point = tag_CALI_POINT{};
        point.Weight = record.CaliPoints[i].Weight;
        point.Conc = record.CaliPoints[i].Conc;
        point.Resp = record.CaliPoints[i].Resp;
        point.Flags = record.CaliPoints[i].Flags;
    }
    for (int i = 0; i < kNumCoefficients && i < GetNumCC(); ++i) m_coefficients[i] = record.CC[i];
    return *this;
}

void CCalibrationData::GetRecord(_tagINTERNAL_CURVE_DB_RECORD& record) const {
    std::memset(&record, 0, sizeof record);
#define CURVE_TEXT(offset, size, Name) WriteText(record.Name, Get##Name());
#define CURVE_FLAGS_TEXT(offset, size, Name) WriteText(record.Name, StoredFlagsText(Get##Name()));
#define CURVE_FIELD(offset, type, Name) record.Name = m_##Name;
#include "records/CurveRecordFields.def"
    record.NumCaliPts = ClampToRecordPoints(m_NumCaliPts);

    // All 100 stored points and files, whatever the count says; point padding stays zero.
    const int files = std::min(kCurveRecordPoints, GetNumCaliFileSlots());
    std::copy_n(m_caliFiles.begin(), files, record.CaliFiles);
    const int points = std::min(kCurveRecordPoints, GetNumCaliPointSlots());
    for (int i = 0; i < points; ++i) {
        record.CaliPoints[i].Weight = m_caliPoints[i].Weight;
        record.CaliPoints[i].Conc = m_caliPoints[i].Conc;
        record.CaliPoints[i].Resp = m_caliPoints[i].Resp;
        record.CaliPoints[i].Flags = m_caliPoints[i].Flags;
    }
    std::copy_n(m_coefficients.begin(), std::min(GetNumCC(), static_cast<int>(kNumCoefficients)), record.CC);
}

bool CCalibrationData::operator==(const CCalibrationData& other) const {
#define CURVE_TEXT(offset, size, Name) if (m_##Name != other.m_##Name) return false;
#define CURVE_FIELD(offset, type, Name) if (m_##Name != other.m_##Name) return false;
#define CURVE_UNSTORED(type, Name) if (m_##Name != other.m_##Name) return false;
#include "records/CurveRecordFields.def"
    if (m_caliFiles.size() != other.m_caliFiles.size() || m_caliPoints.size() != other.m_caliPoints.size())
        return false;
    for (size_t i = 0; i < m_caliFiles.size(); ++i)
        if (std::memcmp(&m_caliFiles[i], &other.m_caliFiles[i], sizeof(tagFILE_INFO)) != 0) return false;
    for (size_t i = 0; i < m_caliPoints.size(); ++i)
        if (!SamePoint(m_caliPoints[i], other.m_caliPoints[i])) return false;
    return m_coefficients == other.m_coefficients;
}

tag_CALI_POINT CCalibrationData::GetCaliPoint(int index) const {
    return IsPointIndex(index) ? m_caliPoints[index] : tag_CALI_POINT{};
}

tag_CALI_POINT& CCalibrationData::GetCaliPoint(int index) {
    if (IsPointIndex(index)) return m_caliPoints[index];
    m_scratchPoint = tag_CALI_POINT{};
    return m_scratchPoint;
}

bool CCalibrationData::SetCaliPoint(const tag_CALI_POINT& point, int index) {
    if (!IsPointIndex(index)) return false;
    m_caliPoints[index] = point;
    return true;
}

bool CCalibrationData::SetCaliPointWeight(int index, double weight) {
    if (!IsPointIndex(index)) return false;
    m_caliPoints[index].Weight = weight;
    return true;
}

bool CCalibrationData::SetCaliPointConc(int index, double conc) {
    if (!IsPointIndex(index)) return false;
    m_caliPoints[index].Conc = conc;
    return true;
}

bool CCalibrationData::SetCaliPointResp(int index, double resp) {
    if (!IsPointIndex(index)) return false;
    m_caliPoints[index].Resp = resp;
    return true;
}

bool CCalibrationData::SetCaliPointFlags(int index, uint16_t flags) {
    if (!IsPointIndex(index)) return false;
    m_caliPoints[index].Flags = flags;
    return true;
}

void CCalibrationData::AddCaliPoint(const tag_CALI_POINT& point) { m_caliPoints.push_back(point); }

tagFILE_INFO CCalibrationData::GetCaliFile(int index) const {
    return IsFileIndex(index) ? m_caliFiles[index] : tagFILE_INFO{};
}

tagFILE_INFO& CCalibrationData::GetCaliFile(int index) {
    if (IsFileIndex(index)) return m_caliFiles[index];
    m_scratchFile = tagFILE_INFO{};
    return m_scratchFile;
}

bool CCalibrationData::SetCaliFile(const tagFILE_INFO& file, int index) {
    if (!IsFileIndex(index)) return false;
    m_caliFiles[index] = file;
    return true;
}

void CCalibrationData::AddCaliFile(const tagFILE_INFO& file) { m_caliFiles.push_back(file); }

double CCalibrationData::GetCC(int index) const {
    return index >= 0 && index < GetNumCC() ? m_coefficients[index] : 0.0;
}

bool CCalibrationData::SetCC(double value, int index) {
    if (index < 0 || index >= GetNumCC()) return false;
    m_coefficients[index] = value;
    return true;
}

void CCalibrationData::AddCC(double value) { m_coefficients.push_back(value); }

int CCalibrationData::FindMatchingPoint(const std::string& name) const {
    for (int i = 0; i < GetNumCaliFileSlots(); ++i)
        if (GetFileInfoName(m_caliFiles[i]) == name) return i;
    return -1;
}

bool CCalibrationData::IsMemberOf(const std::string& group) const { return WordMatch::ListsShareWord(m_TotalsGroup, group); }
