// The location strategies other than the plain retention-time search: relative retention time
// (also used by RT entries that follow a reference compound), record number, peak centre and
// the methods this engine does not offer; and the qualifier-trace search with its ion-ratio
// computation, which the retention-time search runs for every candidate peak.
//
// The qualifier search is the innermost loop of a run (entries x candidates x peaks): it reads
// only numbers from the entry and compares traces through cached comparitors.
#include <cmath>
#include <string>

#include "locate/LocateStatus.h"
#include "locate/QuanLocate.h"
#include "platform/MassStringComparitor.h"
#include "records/KeywordTables.h"

namespace {
constexpr int kAbsoluteIonWindow = 1;
constexpr int kRatioDecimals = 4;
}  // namespace

int CQuanLocate::LocateByRRT(CPeakList& peaks, CMethodList& methods, int entryNumber) {
    const int i = entryNumber;
    CMethodData* entry = EntryAt(methods, i);
    if (entry == nullptr) return kLocateOK;
    CMethodData& e = *entry;
    if (e.GetLocated() != 0) return BackTrackStatus(e);

    const int reference = e.GetRRTRef();
    if (reference == i) {
        e.SetSoughtRT(e.GetPredRRT() * e.GetPredRT());
    } else {
        // A reference outside the list (or an empty slot) counts as none: nothing is located.
        CMethodData* referenced = reference == 0 ? nullptr : EntryAt(methods, reference);
        if (referenced == nullptr) return kLocateOK;
        const CMethodData& f = *referenced;
        const bool referenceFailed = f.GetLocateFailed() != 0;
        if (f.GetLocated() == 0 && !referenceFailed) {
            // Someone else already waits for the reference: the references go round in a circle.
            if (f.GetBackTrackMDBEntry() != 0) return kLocateCircularReference;
            referenced->SetBackTrackMDBEntry(i);
            return kLocateReferenceFirst;
        }
        if (referenceFailed && e.GetLocateBy() == kLocateByRRT) {
            e.SetLocateFailed(1);
            return BackTrackStatus(e);
        }
        if (e.GetLocateBy() == kLocateByRRT) {
            e.SetSoughtRT(f.GetFoundRT() * e.GetPredRRT());
        } else {
            // An RT entry follows its reference's drift from the predicted RT.
            const float shift = referenceFailed ? 0.0f : f.GetFoundRT() - f.GetPredRT();
            e.SetSoughtRT(e.GetPredRT() + shift);
        }
    }

    const int status = LocateByRT(peaks, e, i);
    if (status != kLocateOK) return status;
    return BackTrackStatus(e);
}

int CQuanLocate::LocateByRecordNumber(CPeakData& peak, CMethodData& entry, int entryNumber) {
    if (peak.GetMDBEntry() != 0) return kLocatePeakAssigned;
    const int acquisitionFunction = entry.GetRawAcquisitionFunction();
    if (acquisitionFunction > 0 && acquisitionFunction != peak.GetRawAcquisitionFunction())
        return kLocateFunctionDiffers;
    if (!ChromatogramsIdentical(peak, entry, 0)) return kLocateChromatogramDiffers;
    return UpdateLocatedEntry(peak, nullptr, entry, entryNumber, 0);
}

int CQuanLocate::LocateByPeakCentre(CPeakList& peaks, CMethodList& methods, int entryNumber) {
    const int i = entryNumber;
    if (peaks.GetSize() == 0) return kLocateNotFound;
    CMethodData* entry = EntryAt(methods, i);
    if (entry == nullptr) return kLocateNotFound;
    CMethodData& e = *entry;

    // A flags text starting with 'Y' marks an entry whose peak the host integrated for it.
    const std::string flags = e.GetFlags();
    const bool integratedForEntry = !flags.empty() && flags[0] == 'Y';
    const int acquisitionFunction = e.GetRawAcquisitionFunction();
    const float massWindow = e.GetLocateMassWin();
    const int choice = e.GetLocateChoice();
    const bool byHeight = e.GetRAH() == kRAHHeight;

    int best = -1;
    float bestMeasure = 0.0f;
    double bestResponse = 0.0;  // double, so that equal responses keep the earlier peak
    const int size = peaks.GetSize();
    for (int j = 0; j < size; ++j) {
        CPeakData* peak = PeakAt(peaks, j);
        if (peak == nullptr || peak->GetMDBEntry() != 0) continue;
        CPeakData& p = *peak;
        const int integratedFor = p.GetMDBIntegrateEntry();
        if (integratedForEntry) {
            if (integratedFor == i) {
                p.SetFoundRT(0.0f);
                best = j;  // the last peak integrated for the entry wins
            }
            continue;
        }
        if (integratedFor > 0 && integratedFor != i) continue;
        if (acquisitionFunction > 0 && acquisitionFunction != p.GetRawAcquisitionFunction()) continue;
        const float measure = p.GetFoundRT();
        if (!std::isfinite(measure)) continue;
        if (massWindow > 0.0f && std::fabs(measure) > massWindow) continue;

        switch (choice) {
        case CMethodData::kChooseLargestResponse: {
            const double response = byHeight ? p.GetHeight() : p.GetArea();
            if (response > bestResponse) {
                bestResponse = response;
                best = j;
            }
            break;
        }
        case CMethodData::kChooseEarliest:
            if (best == -1 || measure < bestMeasure) {
                bestMeasure = measure;
                best = j;
            }
            break;
        case CMethodData::kChooseLatest:
            if (best == -1 || measure > bestMeasure) {
                bestMeasure = measure;
                best = j;
            }
            break;
        default:
            if (best == -1 || std::fabs(measure) < std::fabs(bestMeasure)) {
                bestMeasure = measure;
                best = j;
            }
            break;
        }
    }
    if (best == -1) return kLocateNotFound;

    const int status = UpdateLocatedEntry(*PeakAt(peaks, best), nullptr, e, i, 0);
    if (status != kLocateOK) return status;
    return BackTrackStatus(e);
}

int CQuanLocate::LocateByResponse(CPeakList&, CMethodList&, int) { return kLocateNotAvailable; }
int CQuanLocate::LocateByCombination(CPeakList&, CMethodList&, int) { return kLocateNotAvailable; }
int CQuanLocate::LocateByName(CPeakList&, CMethodList&, int) { return kLocateNotAvailable; }

int CQuanLocate::LocateSecondary(CPeakList& peaks, CPeakData& primary, CMethodData& entry, int entryNumber,
                                 int mustExist, int target) {
    const int i = entryNumber;
    const int k = target;
    const float primaryRT = primary.GetFoundRT();
    const char* group = primary.GetTotalsGroup();
    const bool byGroup = group != nullptr && group[0] != '\0';
    const bool primaryIsPlaceholder = primary.GetPlaceHolder();
    const bool primaryIsTotals = primary.IsTotals();
    const CMassStringComparitor* targetComparitor = entry.GetMassComparitor(k + 1);
    const CPeakTraceIndex* traceIndex = TraceIndexFor(peaks);
    const CPeakTraceIndex::Key targetKey = CPeakTraceIndex::KeyOf(targetComparitor);
    const float window = entry.GetTargetRTWin(k);
    const bool mustPass = entry.GetTargetMustPass(k) != 0;
    const bool estimatedResponse = entry.GetUseEMPC() != 0;

    int best = -1;
    float bestDistance = 0.0f;
    bool bestIsPlaceholder = false;
    bool bestIsModified = false;
    const int size = peaks.GetSize();
    for (int j = 0; j < size; ++j) {
        // Peaks of other traces fail the trace test below; the index rules them out unread.
        if (traceIndex != nullptr && !traceIndex->MayMatch(j, targetKey)) continue;
        CPeakData* candidate = PeakAt(peaks, j);
        // A peak is never its own qualifier.
        if (candidate == nullptr || candidate == &primary) continue;
        CPeakData& c = *candidate;
        const int integratedFor = c.GetMDBIntegrateEntry();
        if (integratedFor > 0 && integratedFor != i) continue;
        // Only peaks integrated as a qualifier trace of some entry qualify.
        if (c.GetMDBIntegrateEntryPeak() <= 0) continue;
        if (c.GetMDBEntry() != 0) continue;
        if (!SameTrace(c, targetComparitor)) continue;
        if (byGroup && !c.IsMemberOf(group)) continue;

        const bool placeholder = c.GetPlaceHolder();
        if (primaryIsPlaceholder) {
            if (placeholder) return j;
            continue;
        }
        if (placeholder) {
            if (best == -1 && mustExist == 0) {
                best = j;
                bestIsPlaceholder = true;
            }
            continue;
        }

        const float distance = std::fabs(c.GetFoundRT() - primaryRT);
        if (!std::isfinite(distance)) continue;  // an RT that cannot be compared
        if (window > 0.0f && distance > window) continue;

        bool within = false;
        if (!GetPeakResponseRatio(primary, c, entry, nullptr, &within, k)) continue;
        if (mustPass && !within) {
            // With the estimated response the ratio may fail; the main peak carries the mark.
            if (!estimatedResponse) continue;
            if (!primaryIsTotals) primary.SetIRWinFlag(1);
        }

        // Modified (hand-integrated) qualifiers win over unmodified ones.
        const bool modified = c.GetModified();
        if (bestIsModified && !modified) continue;
        const bool take = (!bestIsModified && modified) || best == -1 || distance < bestDistance || bestIsPlaceholder;
        if (!take) continue;
        bestDistance = distance;
        best = j;
        bestIsPlaceholder = placeholder;
        bestIsModified = modified;
    }

    if (best >= 0) {
        const CPeakData& chosen = *PeakAt(peaks, best);
        if (chosen.GetModified()) {
            primary.SetModifiedDate(chosen.GetModifiedDate());
            primary.SetModifiedText(chosen.GetModifiedText());
            primary.SetModifiedTime(chosen.GetModifiedTime());
            primary.SetModifiedUser(chosen.GetModifiedUser());
        }
    }
    return best;
}

void CQuanLocate::CopySecondaryArray(const int* source, int* destination) const {
    if (source == nullptr || destination == nullptr) return;
    for (int k = 0; k < kNumTargets; ++k) destination[k] = source[k];
}

double CQuanLocate::GetEntryPeakResponse(const CPeakData& peak, const CMethodData& entry) const {
    if (peak.GetPlaceHolder() || peak.GetPeakDeleted()) return 0.0;
    switch (entry.GetRAH()) {
    case kRAHArea: return peak.GetArea();
    case kRAHHeight: return peak.GetHeight();
    default: return 0.0;
    }
}

bool CQuanLocate::GetPeakResponseRatio(const CPeakData& primary, const CPeakData& secondary,
                                       const CMethodData& entry, double* ratio, bool* withinWindow,
                                       const int& target) const {
    if (ratio != nullptr) *ratio = 0.0;
    if (withinWindow != nullptr) *withinWindow = false;
    const double primaryResponse = GetEntryPeakResponse(primary, entry);
    const double secondaryResponse = GetEntryPeakResponse(secondary, entry);

    double measured = 0.0;
    if (entry.UseTargetOverQuan()) {
        if (primaryResponse <= 0.0 || secondaryResponse <= 0.0) return false;
        measured = secondaryResponse / primaryResponse;
    } else {
        if (secondaryResponse <= 0.0) return false;
        measured = primaryResponse / secondaryResponse;
    }
    const double window = static_cast<double>(entry.GetTargetWindow(target));
    const double expected = entry.GetTargetRatio(target);
    const double deviation = std::fabs(expected - measured);
    const double allowed = entry.GetTargetIonWindowMethod() == kAbsoluteIonWindow
                               ? window * 0.01
                               : std::fabs(window * 0.01 * expected);
    // No expected ratio or no window means no test; the window edge itself is inside.
    const bool within = expected <= 0.0 || allowed <= 0.0 || deviation <= allowed;
    if (withinWindow != nullptr) *withinWindow = within;
    if (ratio != nullptr) *ratio = CPeakData::GetRoundedValue(measured, kRatioDecimals);
    return true;
}
