// The filtered walk over a peak list. The position never leaves 0..count, so a wrapping walk
// visits every slot at most once per call.
#include "locate/FilteredPeakIterator.h"

#include "records/PeakList.h"

CFilteredPeakIterator::CFilteredPeakIterator(const CPeakList& peaks) : m_peaks(peaks), m_count(peaks.GetSize()) {}

CPeakData* CFilteredPeakIterator::Next() {
    if (m_wrap && m_position >= m_count) m_position = 0;
    const int start = m_position;
    while (m_position >= 0 && m_position < m_count) {
        CPeakData* peak = m_peaks.GetEntry(m_position);
        ++m_position;
        if (peak != nullptr && Accept(*peak)) return peak;
        if (m_wrap) {
            if (m_position >= m_count) m_position = 0;
            if (m_position == start) return nullptr;
        }
    }
    return nullptr;
}

bool CFilteredPeakIterator::Accept(const CPeakData& peak) const {
    if (peak.GetMDBIntegrateEntryPeak() != m_entryPeak) return false;
    if (m_acquisitionFunction > 0 && peak.GetRawAcquisitionFunction() != m_acquisitionFunction) return false;
    if (!m_includePlaceholders && peak.GetPlaceHolder()) return false;
    if (m_totalsOnly && peak.GetTotalsPeak() == 0 && peak.GetTotalsGroupPeak() == 0) return false;
    if (!m_group.empty()) {
        if (!peak.IsMemberOf(m_group)) return false;
    } else if (m_entry != 0 && !m_byAssignment && peak.GetMDBIntegrateEntry() != m_entry) {
        return false;
    }
    if (m_byAssignment) {
        if (peak.GetMDBEntry() == 0) return false;
        if (m_entry != 0 && peak.GetMDBEntry() != m_entry) return false;
        if (!m_includeDeleted && peak.GetPeakDeleted()) return false;
        return peak.GetTotalsUnnamedPeak() != 0 ? m_includeUnnamed : m_includeNamed;
    }
    return true;
}
