// Method entry: working state and the shared comparitor cache. A comparitor is shared by every
// copy of the entry that took it; the copy whose RemoveCount reports the last share deletes it.
#include "records/MethodData.h"

#include <cstring>
#include <new>

#include "platform/IntegrateParams.h"
#include "platform/Integration.h"

namespace {
constexpr double kAccurateMassWindow = 0.0001;
constexpr double kNominalMassWindow = 0.005;
constexpr const char* kIntegrationSettingsName = "ChrIntegrate";
}  // namespace

CMethodData::CMethodData() { Initialise(); }

CMethodData::CMethodData(const CMethodRecord& record) : CMethodRecord(record) { Initialise(); }

CMethodData::CMethodData(const CMethodData& other) : CMethodRecord(other) {
    Initialise();
    CopyWorkingState(other);
    for (int slot = 0; slot < kNumComparitors; ++slot)
        if (other.m_comparitors[slot] != nullptr) m_comparitors[slot] = other.m_comparitors[slot]->AddCount();
}

CMethodData::~CMethodData() { ReleaseComparitors(); }

void CMethodData::Initialise() {
    m_locatedPDBEntry = 0;
    m_backTrackMDBEntry = 0;
    m_located = 0;
    m_locateFailed = 0;
    m_absResponse = 0.0;
    m_response = 0.0;
    m_fixedConc = 0.0;
    m_soughtRT = 0.0f;
    m_foundRT = 0.0f;
    m_isResponse = 0.0;
    m_numISResponses = 0;
    m_noiseConversion = 0.0;
    m_comparitors.fill(nullptr);  // emptied, not released: only constructors call this
}

void CMethodData::ReleaseComparitors() {
    for (CMassStringComparitor*& comparitor : m_comparitors) {
        if (comparitor != nullptr && comparitor->RemoveCount()) delete comparitor;
        comparitor = nullptr;
    }
}

void CMethodData::CopyWorkingState(const CMethodData& other) {
    m_locatedPDBEntry = other.m_locatedPDBEntry;
    m_backTrackMDBEntry = other.m_backTrackMDBEntry;
    m_located = other.m_located;
    m_locateFailed = other.m_locateFailed;
    m_absResponse = other.m_absResponse;
    m_response = other.m_response;
    m_fixedConc = other.m_fixedConc;
    m_soughtRT = other.m_soughtRT;
    m_foundRT = other.m_foundRT;
    m_isResponse = other.m_isResponse;
    m_numISResponses = other.m_numISResponses;
    m_noiseConversion = other.m_noiseConversion;
}

void CMethodData::CopyData(const CMethodData& other) {
    if (&other == this) return;
    CMethodRecord::operator=(other);
    CopyWorkingState(other);
    for (int slot = 0; slot < kNumComparitors; ++slot) {
        // Take the source's share before dropping ours: both may be the same comparitor.
        CMassStringComparitor* taken = other.m_comparitors[slot] != nullptr ? other.m_comparitors[slot]->AddCount() : nullptr;
        CMassStringComparitor* own = m_comparitors[slot];
        if (own != nullptr && own->RemoveCount()) delete own;
        m_comparitors[slot] = taken;
    }
}

CMethodData& CMethodData::operator=(const CMethodData& other) {
    CopyData(other);
    return *this;
}

CMethodData& CMethodData::operator=(const CMethodRecord& record) {
    CopyData(CMethodData(record));
    return *this;
}

float CMethodData::GetChroMassWindow(int& isAbsolute) const {
    isAbsolute = GetChroMassWindowAbs();
    return isAbsolute != 0 ? GetChroMassWindowABS() : GetChroMassWindowPPM();
}

CMassStringComparitor* CMethodData::GetMassComparitor(int slot) {
    if (slot < 0 || slot >= kNumComparitors) return nullptr;
    if (m_comparitors[slot] != nullptr) return m_comparitors[slot];
    const double window = GetIsAccurateMass() != 0 ? kAccurateMassWindow : kNominalMassWindow;
    const std::string trace = slot == 0 ? GetQuanTrace() : GetTargetTrace(slot - 1);
    m_comparitors[slot] = new (std::nothrow) CMassStringComparitor(trace, window);
    return m_comparitors[slot];
}

bool CMethodData::GetIntegrateParameters(tagINTEGRATE_PARAMS* block, const bool& fromSettingsFile) const {
    if (block == nullptr) return false;
    std::memset(block, 0, sizeof *block);
    if (fromSettingsFile) {
        Integration::ReadSettings(block, kIntegrationSettingsName);  // its verdict does not matter
        return true;
    }
    block->SmooEnabled = GetSmooEnabled();
    block->SmooMethod = GetSmooMethod();
    block->Constant2 = 2;
    block->SmooWidth = GetSmooWidth();
    block->SmooIter = GetSmooIter();
    block->ConstantPoint3 = 0.3f;
    block->PkMode = GetPkMode();
    block->PkShldrDetect = GetPkShldrDetect();
    block->PkBalance = GetPkBalance();
    block->PkShldrThresh = GetPkShldrThresh();
    block->PkSplitting = GetPkSplitting();
    block->PkReduceTail = GetPkReduceTail();
    block->PkMaxReduceHt = GetPkMaxReduceHt();
    block->PkKelThreshold = GetPkKelThreshold();
    block->PkKelWidth = GetPkKelWidth();
    block->PkKelUpThreshold = GetPkKelUpThreshold();
    block->PkKelDownThreshold = GetPkKelDownThreshold();
    block->PkKelOperations = GetPkKelOperations();
    block->PkThreshMethod = static_cast<uint16_t>(GetPkThreshMethod());
    block->PkRespAreaRel = GetPkRespAreaRel();
    block->PkRespAreaAbs = GetPkRespAreaAbs();
    block->PkRespHeightRel = GetPkRespHeightRel();
    block->PkRespHeightAbs = GetPkRespHeightAbs();
    block->ChroNoiseLevel = GetChroNoiseLevel();
    block->ChroAuto = GetChroAuto();
    return true;
}
