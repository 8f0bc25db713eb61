// Peak entry: initialisation, copies, the shared comparitor, and the derived tests.
#include "records/PeakData.h"

#include <algorithm>
#include <new>

#include "platform/NumberText.h"
#include "platform/WordMatch.h"

QUAN_REGISTER_CLASS(CPeakData);

namespace {
constexpr double kAccurateMassWindow = 0.0001;
constexpr double kNominalMassWindow = 0.005;
constexpr double kUnsetQualityValue = -10.0;
constexpr int kQualityFail = 2;

// Places a terminator at the end of a field that has none within it.
void TerminateWithin(char* field, size_t size) {
    if (strnlen(field, size) == size) field[size - 1] = '\0';
}
}  // namespace

CPeakData::CPeakData() { Initialise(); }

CPeakData::CPeakData(const CPeakData& other) : CQuanObject() {
    Initialise();
    CopyData(other);
}

CPeakData::CPeakData(const _tagINTERNAL_PEAK_DB_RECORD& record) {
    Initialise();
    CopyData(record);
}

CPeakData::~CPeakData() { ReleaseComparitor(); }

CPeakData& CPeakData::operator=(const CPeakData& other) {
    if (&other != this) CopyData(other);
    return *this;
}

CPeakData& CPeakData::operator=(const _tagINTERNAL_PEAK_DB_RECORD& record) {
    CopyData(record);
    return *this;
}

void CPeakData::Initialise() {
    m_comparitor = nullptr;  // emptied, not released: only constructors call this
    std::memset(&m_record, 0, sizeof m_record);
    m_id = 0;
    m_absNoiseHeight = 0.0;
    m_record.UseMulti = 0;
    m_record.UseEMPC = 0;
    for (int32_t& standard : m_record.IntStd) standard = -1;
    m_record.Vulp = m_record.VulpNorm = m_record.Confidence = kUnsetQualityValue;
    m_record.FoundMass = m_record.mDaError = m_record.ppmError = kUnsetQualityValue;
}

void CPeakData::ReleaseComparitor() {
    if (m_comparitor != nullptr && m_comparitor->RemoveCount()) delete m_comparitor;
    m_comparitor = nullptr;
}

void CPeakData::CopyData(const CPeakData& other) {
    if (&other == this) return;
    m_record = other.m_record;
    m_id = other.m_id;
    m_absNoiseHeight = other.m_absNoiseHeight;
    CMassStringComparitor* shared = other.m_comparitor != nullptr ? other.m_comparitor->AddCount() : nullptr;
    ReleaseComparitor();
    m_comparitor = shared;
}

void CPeakData::CopyData(const _tagINTERNAL_PEAK_DB_RECORD& record) {
    if (&record != &m_record) std::memcpy(&m_record, &record, sizeof m_record);
    TerminateInPlaceTexts();
}

void CPeakData::CopyData(_tagINTERNAL_PEAK_DB_RECORD& record) const {
    if (&record == &m_record) return;
    std::memset(&record, 0, sizeof record);
    std::memcpy(&record, &m_record, sizeof record);
}

void CPeakData::TerminateInPlaceTexts() {
    // Texts handed out in place must end inside their field, whatever a stored record held.
    TerminateWithin(m_record.QuanTrace, sizeof m_record.QuanTrace);
    TerminateWithin(m_record.TotalsGroup, sizeof m_record.TotalsGroup);
    for (auto& formula : m_record.Formula) TerminateWithin(formula, sizeof formula);
}

void CPeakData::StoreText(char* field, size_t size, size_t maxChars, const std::string& text) {
    const size_t length = std::min({text.size(), maxChars, size - 1});
    std::memcpy(field, text.data(), length);
    std::memset(field + length, 0, size - length);
}

bool CPeakData::DetectionFlagsContain(char flag) const {
    const char* flags = m_record.PeakDetectionFlags;
    return std::memchr(flags, flag, strnlen(flags, sizeof m_record.PeakDetectionFlags)) != nullptr;
}

bool CPeakData::GetTargetFlagged() const {
    const _tagINTERNAL_PEAK_DB_RECORD& r = m_record;
    return r.MinAreaFlag != 0 || r.MinHeightFlag != 0 || (r.LODFlag != 0 && r.ValidConc != 0) ||
           (r.LOQFlag != 0 && r.ValidConc != 0) || r.MinCCFlag != 0 || r.IRWinFlag != 0 || r.NoSolutionFlag != 0 ||
           GetMatrixFlag() || GetISDevHighFlag() || GetQCDevHighFlag() || GetQCDevMidFlag() || GetQCDevLowFlag() ||
           GetSolventFlag() || GetCoeffDetFlag() || GetSigNoiseFlag() || GetRecoveryFlag() || GetPeakMissingFlag() ||
           GetMaxStdDevFlag() || GetRTToleranceFlag() || r.SymmetryFailedFlag != 0 || GetPeakAsymmetryFlag() ||
           GetPICSFlag() || r.VulpFlag != 0 || r.VulpNormFlag != 0 || r.ConfidenceFlag != 0 || r.ppmErrorFlag != 0 ||
           r.mDaErrorFlag != 0 || r.PeakQuality == kQualityFail;
}

double CPeakData::GetRecoveryValue() const {
    const _tagINTERNAL_PEAK_DB_RECORD& r = m_record;
    if (r.FixedConc == 0.0) return 0.0;
    double c = r.AnalConc;
    if (r.UserFactor2 > 0.0) c /= r.UserFactor2;
    if (r.GPDilutionFactor > 0.0) c /= r.GPDilutionFactor;
    if (r.UserFactor3 > 0.0) c /= r.UserFactor3;
    if (r.UserDivisor1 > 0.0) c *= r.UserDivisor1;
    if (r.UserFactor1 > 0.0) c /= r.UserFactor1;
    return (c - r.FixedConc) / r.FixedConc * 100.0 + 100.0;
}

CMassStringComparitor* CPeakData::GetMassComparitor() {
    if (m_comparitor != nullptr) return m_comparitor;
    const double window = m_record.IsAccurateMass != 0 ? kAccurateMassWindow : kNominalMassWindow;
    m_comparitor = new (std::nothrow) CMassStringComparitor(GetQuanTrace(), window);
    return m_comparitor;
}

bool CPeakData::IsMemberOf(const std::string& group) const {
    return WordMatch::ListsShareWord(GetTotalsGroup(), group);
}

std::string CPeakData::GetPeakQualityStr(int mode, int decimals, int significantFigures) const {
    const std::string text = BoundedText(m_record.PeakQualityStr, sizeof m_record.PeakQualityStr);
    size_t mark = text.find('#');
    if (mark == std::string::npos) return text;
    std::string result;
    size_t position = 0;
    while (mark != std::string::npos) {
        result.append(text, position, mark - position);
        position = mark + 1;
        const size_t closing = text.find('#', position);
        if (closing == std::string::npos) {
            position = mark;  // an unmatched last mark stays in the text
            break;
        }
        const std::string number = text.substr(position, closing - position);
        // A number of fewer than two characters counts as 0, as the host's texts expect.
        double value = 0.0;
        if (number.size() >= 2) NumberText::ReadLeading(number, value);
        std::string formatted = number;
        FormatNumber(mode, decimals, significantFigures, value, formatted);
        result += formatted;
        position = closing + 1;
        mark = text.find('#', position);
    }
    result.append(text, position, std::string::npos);
    return result;
}
