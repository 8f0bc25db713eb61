// The location driver: resets the working state of a run, walks the method entries and hands
// each to the strategy of its locate method, following the reference chain between entries
// located relative to one another, and the retention-time search that every RT-based strategy
// ends in. Also the trace identity tests shared by all strategies.
//
// The retention-time scan reads every text it needs once per entry and compares traces through
// the cached comparitors, so the per-peak work allocates nothing.
#include "locate/QuanLocate.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "locate/LocateStatus.h"
#include "platform/MassStringComparitor.h"
#include "platform/NumberText.h"
#include "platform/RawData.h"
#include "platform/Utility.h"
#include "records/KeywordTables.h"

QUAN_REGISTER_CLASS(CQuanLocate);

namespace {
constexpr double kMRMMassTolerance = 0.005;
constexpr int kMaxMRMMasses = 32;
constexpr int kChannelDescriptionSize = 81;

bool EqualIgnoringCase(const std::string& a, const std::string& b) { return NumberText::EqualIgnoringCase(a, b); }
}  // namespace

// --- shared helpers --------------------------------------------------------------------------

CMethodData* CQuanLocate::EntryAt(const CMethodList& methods, int entryNumber) {
    return methods.GetEntry(entryNumber - 1);
}

CPeakData* CQuanLocate::PeakAt(const CPeakList& peaks, int index) {
    return peaks.GetEntry(index);
}

int CQuanLocate::BackTrackStatus(const CMethodData& entry) {
    return entry.GetBackTrackMDBEntry() >= 1 ? kLocateBackTrack : kLocateOK;
}

bool CQuanLocate::SameTrace(CPeakData& peak, const CMassStringComparitor* entryComparitor) {
    const CMassStringComparitor* peakComparitor = peak.GetMassComparitor();
    if (peakComparitor == nullptr || entryComparitor == nullptr) return false;
    return *peakComparitor == *entryComparitor;
}

bool CQuanLocate::MonitorEnabled(const CMethodData& entry, Monitor kind, int sampleType) {
    // Per sample type (0 analyte, 1 standard, 2 QC): the type's master switch and its
    // retention-time, ion-ratio, signal-to-noise and peak-shape switches.
    using Getter = int (CMethodRecord::*)() const;
    struct Switches {
        Getter enabled, retentionTime, ionRatio, signalToNoise, shape;
    };
    static const Switches kBySampleType[] = {
        {&CMethodRecord::GetMonitorAnalyteEnabled, &CMethodRecord::GetMonitorAnalyteRTEnabled,
         &CMethodRecord::GetMonitorAnalyteRatioEnabled, &CMethodRecord::GetMonitorAnalyteSigNosEnabled,
         &CMethodRecord::GetMonitorAnalyteShapeEnabled},
        {&CMethodRecord::GetMonitorStandardEnabled, &CMethodRecord::GetMonitorStandardRTEnabled,
         &CMethodRecord::GetMonitorStandardRatioEnabled, &CMethodRecord::GetMonitorStandardSigNosEnabled,
         &CMethodRecord::GetMonitorStandardShapeEnabled},
        {&CMethodRecord::GetMonitorQCEnabled, &CMethodRecord::GetMonitorQCRTEnabled,
         &CMethodRecord::GetMonitorQCRatioEnabled, &CMethodRecord::GetMonitorQCSigNosEnabled,
         &CMethodRecord::GetMonitorQCShapeEnabled},
    };
    if (sampleType < 0 || sampleType > 2) return false;
    const Switches& switches = kBySampleType[sampleType];
    const Getter particular = kind == Monitor::RetentionTime   ? switches.retentionTime
                              : kind == Monitor::IonRatio      ? switches.ionRatio
                              : kind == Monitor::SignalToNoise ? switches.signalToNoise
                                                               : switches.shape;
    return (entry.*particular)() != 0 && (entry.*switches.enabled)() != 0;
}

// --- the run ---------------------------------------------------------------------------------

int CQuanLocate::QuanDoLocation(CMethodList& methods, CPeakList& peaks, CSampleRecord& sample,
                                const std::string& periodicDBName) {
    SetPeriodicDBName(periodicDBName);
    CreateMethodArrayWorkingData(methods, sample);  // a bad standard level does not stop location
    InitialisePeakLocateInformation(peaks);
    m_sampleType = 1;
    sample.GetType(m_sampleType);
    const bool listsOfEqualLength = methods.GetSize() == peaks.GetSize();

    int status = LocateAnalytesInPDB(peaks, methods, listsOfEqualLength);
    if (status != kLocateOK) return status;
    if (LocateMethodTotals(peaks, methods) != kLocateOK) return kLocateTotalsFailed;
    status = CalculateResponses(peaks, methods);
    if (status != kLocateOK) return status;
    return QuanUpdateLocatedPDBEntries(peaks, methods, sample);
}

int CQuanLocate::CreateMethodArrayWorkingData(CMethodList& methods, const CSampleRecord& sample) {
    // Every entry is reset, also after one with a standard level outside the table: otherwise
    // the entries after it would carry the previous sample's results into this one. Such an
    // entry gets no fixed concentration, and the run still reports the bad level.
    int status = kLocateOK;
    const int n = methods.GetSize();
    for (int index = 0; index < n; ++index) {
        CMethodData* entry = methods.GetEntry(index);
        if (entry == nullptr) continue;
        entry->SetLocatedPDBEntry(0);
        entry->SetBackTrackMDBEntry(0);
        entry->SetLocated(0);
        entry->SetLocateFailed(0);
        entry->SetAbsResponse(0.0);
        entry->SetResponse(0.0);
        entry->SetFixedConc(0.0);

        const int level = entry->GetStdLevels();
        if (level == kStdLevelFixed) {
            entry->SetFixedConc(entry->GetStdConc());
        } else if (level == kStdLevelStock) {
            entry->SetFixedConc(entry->GetStdConc() * sample.GetStockDilution());
        } else if (level >= kStdLevelA && level <= kStdLevelT) {
            double concentration = sample.GetConcentration(level - kStdLevelA);
            if (entry->GetUseConcFactor() != 0) concentration *= entry->GetConcFactor();
            entry->SetFixedConc(concentration);
        } else {
            status = kLocateBadStdLevel;
        }

        entry->SetSoughtRT(entry->GetPredRT());
        entry->SetFoundRT(0.0f);
        entry->SetISResponse(0.0);
        entry->SetNumISResponses(0);
        entry->SetNoiseConversion(0.0);
    }
    return status;
}

int CQuanLocate::InitialisePeakLocateInformation(CPeakList& peaks) {
    const int size = peaks.GetSize();
    for (int index = 0; index < size; ++index) {
        CPeakData* peak = PeakAt(peaks, index);
        if (peak == nullptr) continue;
        peak->SetMDBEntry(0);
        peak->SetMDBEntryPeak(0);
        peak->SetMDBEntryPeakID(0);
        peak->SetAbsNoiseHeight(0.0);
        peak->SetTotalsUnnamedPeak(0);
        // The ion-ratio flag is read while the absolute response is formed, before this run
        // sets it afresh; a flag stored by an earlier processing of the sample must not count.
        peak->SetIRWinFlag(0);
    }
    return 0;
}

int CQuanLocate::LocateAnalytesInPDB(CPeakList& peaks, CMethodList& methods, bool listsOfEqualLength) {
    if (peaks.GetSize() == 0) return kLocateEmptyPeakList;
    const int n = methods.GetSize();

    // Traces and slots stay as they are for the whole walk, so one packed copy serves every scan.
    m_traceIndex.Build(peaks);
    m_traceIndexList = &peaks;
    struct IndexRelease {
        const CPeakList*& list;
        ~IndexRelease() { list = nullptr; }
    } release{m_traceIndexList};

    for (int c = 1; c <= n; ++c) {
        // Only the relative-retention search sets back-track entries: after the first pass has
        // cleared whatever the list came with, a pass without that search has none to clear.
        bool backTrackPossible = c == 1;
        const int status = WalkFromEntry(peaks, methods, c, listsOfEqualLength, backTrackPossible);
        if (status >= kLocateFirstFatal) return status;
        if (backTrackPossible) ClearBackTrackEntries(methods);
    }
    return kLocateOK;
}

// One pass of the walk, begun at entry `start`. Jumps between an entry and its reference stay
// inside the pass: every jump to a reference sets a back-track entry that was free, and every
// return finds the reference located or failed, so the pass ends.
int CQuanLocate::WalkFromEntry(CPeakList& peaks, CMethodList& methods, int start, bool listsOfEqualLength,
                               bool& backTrackPossible) {
    const int n = methods.GetSize();
    const auto validEntryNumber = [n](int number) { return number >= 1 && number <= n; };
    int i = start;
    while (CMethodData* entry = EntryAt(methods, i)) {
        // What the walk decides on is read before the strategy runs.
        const bool searchedBefore = entry->GetLocated() != 0 || entry->GetLocateFailed() != 0;
        const int rrtRef = entry->GetRRTRef();
        const int backTrack = entry->GetBackTrackMDBEntry();

        if (CPeakData* first = PeakAt(peaks, 0)) {
            ConvertTraceChannelsToMasses(*first, *entry, false);
            ConvertTraceChannelsToMasses(*first, *entry, true);
        }
        // An entry already searched in this run without result is not searched again.
        if (searchedBefore) break;

        const int status = LocateEntry(peaks, methods, *entry, i, listsOfEqualLength, backTrackPossible);
        if (status >= kLocateFirstFatal) return status;

        if (status == kLocateReferenceFirst) {
            if (!validEntryNumber(rrtRef)) break;
            i = rrtRef;
            continue;
        }
        // The search is over for this entry; mark it failed when it found nothing, so that
        // an entry located relative to it can tell "tried, not found" from "not yet tried".
        if (entry->GetLocated() == 0) entry->SetLocateFailed(1);
        // Whatever the strategy reported, an entry waiting for this one is resumed now.
        if (!validEntryNumber(backTrack)) break;
        i = backTrack;
    }
    return kLocateOK;
}

// Entry i searched by its location strategy; notes when the relative-retention search ran.
int CQuanLocate::LocateEntry(CPeakList& peaks, CMethodList& methods, CMethodData& entry, int i,
                             bool listsOfEqualLength, bool& backTrackPossible) {
    const int rrtRef = entry.GetRRTRef();
    switch (entry.GetLocateBy()) {
    case kLocateByRecordNumber:
        if (!listsOfEqualLength) return kLocateListsUnequal;
        if (CPeakData* peak = PeakAt(peaks, i - 1)) return LocateByRecordNumber(*peak, entry, i);
        return kLocateOK;
    case kLocateByRT:
        if (rrtRef > 0 && rrtRef != i && rrtRef <= methods.GetSize()) {
            backTrackPossible = true;
            return LocateByRRT(peaks, methods, i);
        }
        return LocateByRT(peaks, entry, i);
    case kLocateByRRT:
        backTrackPossible = true;
        return LocateByRRT(peaks, methods, i);
    case kLocateByResponse: return LocateByResponse(peaks, methods, i);
    case kLocateByCombination: return LocateByCombination(peaks, methods, i);
    case kLocateByName: return LocateByName(peaks, methods, i);
    case kLocateByPeakCentre: return LocateByPeakCentre(peaks, methods, i);
    case kLocateByNothing: return kLocateOK;
    // Codes above the table end the run; so do negative ones, which name no method either.
    default: return kLocateBadLocateMethod;
    }
}

void CQuanLocate::ClearBackTrackEntries(CMethodList& methods) {
    const int n = methods.GetSize();
    for (int index = 0; index < n; ++index)
        if (CMethodData* other = methods.GetEntry(index)) other->SetBackTrackMDBEntry(0);
}

// --- retention-time location -----------------------------------------------------------------

int CQuanLocate::LocateByRT(CPeakList& peaks, CMethodData& entry, int entryNumber) {
    const int i = entryNumber;
    const float soughtRT = entry.GetSoughtRT();
    const float window = entry.GetLocateRTWin();
    const int acquisitionFunction = entry.GetRawAcquisitionFunction();
    const std::string groupByRef = entry.GetTotalsGroupByRef();
    const bool byGroup = !groupByRef.empty();
    const bool totalsEntry = entry.GetTotalsEntry();
    const bool totalsGroupEntry = entry.GetTotalsGroupEntry();
    const int choice = entry.GetLocateChoice();
    const bool byHeight = entry.GetRAH() == kRAHHeight;
    const CMassStringComparitor* quanComparitor = entry.GetMassComparitor(0);
    const CPeakTraceIndex* traceIndex = TraceIndexFor(peaks);
    const CPeakTraceIndex::Key quanKey = CPeakTraceIndex::KeyOf(quanComparitor);
    bool hasTarget[kNumTargets];
    int mustExist[kNumTargets];
    bool mustBeFound[kNumTargets];
    for (int k = 0; k < kNumTargets; ++k) {
        hasTarget[k] = !entry.GetTargetTrace(k).empty();
        mustExist[k] = entry.GetTargetMustExist(k);
        mustBeFound[k] = mustExist[k] != 0 || entry.GetTargetMustPass(k) != 0;
    }

    // Without a finite RT to search around there is nothing to compare peaks with.
    if (!std::isfinite(soughtRT)) return BackTrackStatus(entry);

    int best = -1;
    float bestDifference = 0.0f;
    // Kept in double so that equal responses compare equal and the earlier peak stays.
    double bestResponse = 0.0;
    bool bestIsModified = false;
    bool bestIsPlaceholder = false;
    int bestSecondary[kNumTargets] = {-1, -1, -1, -1};

    const int size = peaks.GetSize();
    for (int j = 0; j < size; ++j) {
        // A peak of another trace fails below in any case; the index says so without its record.
        if (traceIndex != nullptr && !traceIndex->MayMatch(j, quanKey)) continue;
        CPeakData* peak = PeakAt(peaks, j);
        if (peak == nullptr) continue;
        CPeakData& p = *peak;
        if (p.GetMDBEntry() != 0) continue;
        const int integratedFor = p.GetMDBIntegrateEntry();
        if (integratedFor != 0 && integratedFor != i) continue;
        if (acquisitionFunction > 0 && acquisitionFunction != p.GetRawAcquisitionFunction()) continue;
        if (byGroup && !p.IsMemberOf(groupByRef)) continue;
        if (!SameTrace(p, quanComparitor)) continue;
        const bool modified = p.GetModified();
        const bool placeholder = p.GetPlaceHolder();
        // Once a modified peak is held, only modified peaks integrated for an entry compete.
        if (bestIsModified && !modified && integratedFor != 0) continue;
        if (best >= 0 && placeholder) continue;

        const bool totalsPeak = p.GetTotalsPeak() != 0;
        const bool totalsGroupPeak = p.GetTotalsGroupPeak() != 0;
        if ((totalsEntry && totalsPeak) || (totalsGroupEntry && totalsGroupPeak)) {
            best = j;  // the last totals peak of the trace wins
            continue;
        }

        // A modified peak integrated for an entry was placed by the analyst: no window applies.
        const bool manuallyPlaced = modified && integratedFor != 0;
        // A peak without a finite RT would win every forced take and then lose no comparison.
        if (!placeholder && !std::isfinite(p.GetFoundRT())) continue;
        const float difference = placeholder ? 0.0f : p.GetFoundRT() - soughtRT;
        if (!placeholder && !manuallyPlaced && window > 0.0f && std::fabs(difference) > window) continue;

        int secondary[kNumTargets] = {-1, -1, -1, -1};
        bool rejected = false;
        for (int k = 0; k < kNumTargets; ++k) {
            if (!hasTarget[k]) continue;
            if (!totalsPeak && !totalsGroupPeak)
                secondary[k] = LocateSecondary(peaks, p, entry, i, mustExist[k], k);
            if (!placeholder && mustBeFound[k]) {
                const CPeakData* qualifier = secondary[k] >= 0 ? PeakAt(peaks, secondary[k]) : nullptr;
                if (qualifier == nullptr || qualifier->GetPlaceHolder()) rejected = true;
            }
        }
        if (rejected) continue;

        const double response = byHeight ? p.GetHeight() : p.GetArea();
        const bool forced = (!bestIsModified && manuallyPlaced) || best == -1 || bestIsPlaceholder;
        bool take = forced;
        switch (choice) {
        case CMethodData::kChooseLargestResponse:
            if (forced || response > bestResponse) {
                take = true;
                bestResponse = response;
            }
            break;
        case CMethodData::kChooseEarliest:
            if (forced || difference < bestDifference) {
                take = true;
                bestDifference = difference;
            }
            break;
        case CMethodData::kChooseLatest:
            if (forced || difference > bestDifference) {
                take = true;
                bestDifference = difference;
            }
            break;
        case CMethodData::kChooseFirst: break;
        case CMethodData::kTotalsChoice:
        case CMethodData::kTotalsGroupChoice:
            // Totals entries take their totals peak above; a candidate reaching here still
            // leaves its qualifiers behind.
            CopySecondaryArray(secondary, bestSecondary);
            break;
        default:
            if (forced || std::fabs(difference) < std::fabs(bestDifference)) {
                take = true;
                bestDifference = difference;
            }
            break;
        }
        if (!take) continue;
        best = j;
        bestIsModified = modified;
        CopySecondaryArray(secondary, bestSecondary);
        bestIsPlaceholder = placeholder;
    }

    if (best == -1) return BackTrackStatus(entry);
    CPeakData& q = *PeakAt(peaks, best);

    double referenceRT = soughtRT;
    if (entry.GetRRTRef() == i && entry.GetLocateBy() == kLocateByRRT) referenceRT = q.GetFoundRT();
    q.SetRTToleranceFlag(0);
    q.SetQCRetTimeFlag(0);
    if (entry.GetRTToleranceFlag() != 0 && !totalsEntry && !totalsGroupEntry) {
        const double upper = (entry.GetRTToleranceUpper() * 0.01 + 1.0) * referenceRT;
        const double lower = (1.0 - entry.GetRTToleranceLower() * 0.01) * referenceRT;
        const double foundRT = q.GetFoundRT();
        if (foundRT > upper || foundRT < lower) {
            q.SetRTToleranceFlag(1);
            if (MonitorEnabled(entry, Monitor::RetentionTime)) q.SetQCRetTimeFlag(1);
        }
    }

    CPeakData* qualifiers[kNumTargets];
    bool qualifierMissing = false;
    for (int k = 0; k < kNumTargets; ++k) {
        qualifiers[k] = bestSecondary[k] >= 0 ? PeakAt(peaks, bestSecondary[k]) : nullptr;
        if (qualifiers[k] != nullptr && qualifiers[k]->GetPlaceHolder()) qualifierMissing = true;
    }
    q.SetPeakMissingFlag(qualifierMissing ? 1 : 0);

    const int status = UpdateLocatedEntry(q, qualifiers, entry, i, 0);
    if (status != kLocateOK) return status;
    return BackTrackStatus(entry);
}

// --- trace identity --------------------------------------------------------------------------

bool CQuanLocate::ChromatogramsIdentical(CPeakData& peak, CMethodData& entry, int slot) {
    return SameTrace(peak, entry.GetMassComparitor(slot));
}

bool CQuanLocate::ChromatogramsIdenticalMRM(const std::string& a, const std::string& b, bool secondMass) {
    if (EqualIgnoringCase(a, b)) return true;
    float massesA[kMaxMRMMasses];
    float massesB[kMaxMRMMasses];
    if (RawData::MRMStringToMasses(a.c_str(), massesA, kMaxMRMMasses, secondMass) < 0) return false;
    if (RawData::MRMStringToMasses(b.c_str(), massesB, kMaxMRMMasses, secondMass) < 0) return false;
    for (int k = 0; k < kMaxMRMMasses; ++k) {
        if (std::fabs(massesA[k] - massesB[k]) > kMRMMassTolerance) return false;
        if (massesA[k] == 0.0f) return true;  // end of both lists
    }
    return true;
}

bool CQuanLocate::ChromatogramsIdentical(const std::string& a, const std::string& b) {
    // A channel may be named with the low or high mass of a pair appended.
    static const char* const kSuffixes[] = {"", ": Low Mass", ": High Mass"};
    const bool aIsMRM = a.find('>') != std::string::npos;
    for (const char* suffix : kSuffixes) {
        const std::string extended = b + suffix;
        const bool bIsMRM = extended.find('>') != std::string::npos;
        bool same = false;
        if (!aIsMRM && !bIsMRM) {
            same = ChromatogramsIdenticalMRM(a, extended, false);
        } else if (aIsMRM && bIsMRM) {
            same = ChromatogramsIdenticalMRM(a, extended, false) && ChromatogramsIdenticalMRM(a, extended, true);
        } else {
            same = ChromatogramsIdenticalMRM(a, extended, false) || ChromatogramsIdenticalMRM(a, extended, true);
        }
        if (same) return true;
    }
    return false;
}

int CQuanLocate::ConvertTraceChannelsToMasses(const CPeakData& peak, const CMethodData& entry, bool targetTrace) {
    std::string trace = targetTrace ? entry.GetTargetTrace(0) : entry.GetQuanTrace();
    size_t at = std::string::npos;
    for (size_t k = 0; k + 2 < trace.size(); ++k) {
        if (NumberText::LowerAscii(trace[k]) == 'c' && NumberText::LowerAscii(trace[k + 1]) == 'h' &&
            NumberText::IsDigitAscii(trace[k + 2])) {
            at = k;
            break;
        }
    }
    if (at == std::string::npos) return -1;

    int channel = 0;
    for (size_t k = at + 2; k < trace.size() && NumberText::IsDigitAscii(trace[k]); ++k) {
        const int digit = trace[k] - '0';
        if (channel > (std::numeric_limits<int>::max() - digit) / 10) return -1;  // no such channel
        channel = channel * 10 + digit;
    }

    RawData::RawFileDescription file;
    file.folder = Utility::GetCurrentProjectFolder() + "." + Utility::GetCurrentProjectName() + "\\Data";
    file.fileType = "RAW";
    file.fileName = peak.GetRawName();
    file.function = entry.GetRawAcquisitionFunction();
    char description[kChannelDescriptionSize] = {};
    RawData::GetChannelDescription(file, channel, description, kChannelDescriptionSize);

    // The description's start goes over a scratch copy only: neither record changes.
    const size_t length = std::min({std::strlen(description), size_t{4}, trace.size()});
    trace.replace(0, length, description, length);
    return -1;
}

int CQuanLocate::GetSampleTypeEnum(const std::string& sampleType) const {
    if (sampleType == "Standard") return 1;
    if (sampleType == "Analyte") return 2;
    if (sampleType == "QC") return 3;
    return 0;
}

// Nothing waits for dispatch on this platform: the host's message loop is its own.
void CQuanLocate::ProcessYield() {}
