// Totals location. A totals (or totals-group) entry stands for the sum of the compounds of a
// group; in the main location loop it took its totals peak, a summary record per trace. Here
// each such entry is given the group's peaks that no named compound took (unnamed peaks), and
// each of its totals peaks is filled with the summed area, height and count of the member
// peaks of its trace.
//
// A totals peak sums ordinary member peaks only and a totals-group peak sums the totals peaks
// of its group, never itself: summary records share their group's name, so without that rule
// they would count themselves (and each other) as members.
#include <cmath>
#include <cstring>

#include "locate/FilteredPeakIterator.h"
#include "locate/LocateStatus.h"
#include "locate/QuanLocate.h"
#include "locate/TestRatioFailed.h"

namespace {
constexpr int kTotalsIncludeNamed = 1;    // only peaks a named compound took
constexpr int kTotalsIncludeUnnamed = 2;  // only the group's unnamed peaks

}  // namespace

int CQuanLocate::LocateMethodTotals(CPeakList& peaks, CMethodList& methods) {
    const int n = methods.GetSize();
    for (int i = 1; i <= n; ++i) {
        CMethodData* entry = EntryAt(methods, i);
        if (entry == nullptr || !entry->IsTotals()) continue;
        if (const CPeakData* first = PeakAt(peaks, 0)) {
            ConvertTraceChannelsToMasses(*first, *entry, false);
            ConvertTraceChannelsToMasses(*first, *entry, true);
        }
        const int status = LocateMethodEntryTotals(peaks, methods, i);
        if (status >= kLocateFirstFatal) return status;
    }
    return LocateCalculateTotalsEntries(&peaks, &methods);
}

int CQuanLocate::LocateMethodEntryTotals(CPeakList& peaks, CMethodList& methods, int entryNumber) {
    CMethodData* entryPointer = EntryAt(methods, entryNumber);
    if (entryPointer == nullptr) return kLocateOK;
    CMethodData& entry = *entryPointer;
    const int i = entryNumber;
    const float soughtRT = entry.GetSoughtRT();
    const float window = entry.GetLocateRTWin();
    const int acquisitionFunction = entry.GetRawAcquisitionFunction();
    const std::string group = entry.GetTotalsGroup();
    int peakID = 1;

    const int size = peaks.GetSize();
    for (int j = 0; j < size; ++j) {
        CPeakData* candidate = PeakAt(peaks, j);
        if (candidate == nullptr) continue;
        CPeakData& p = *candidate;
        if (p.GetMDBEntry() != 0 || p.IsTotals() || p.GetPlaceHolder() || p.GetPeakDeleted()) continue;
        const int integratedFor = p.GetMDBIntegrateEntry();
        if (integratedFor > 0 && integratedFor != i) continue;
        if (acquisitionFunction > 0 && acquisitionFunction != p.GetRawAcquisitionFunction()) continue;
        if (!p.IsMemberOf(group)) continue;
        if (!ChromatogramsIdentical(p, entry, 0)) continue;
        if (window > 0.0f && std::fabs(p.GetFoundRT() - soughtRT) > window) continue;

        CPeakData* qualifiers[kNumTargets] = {nullptr, nullptr, nullptr, nullptr};
        bool rejected = false;
        bool qualifierMissing = false;
        for (int k = 0; k < kNumTargets; ++k) {
            if (entry.GetTargetTrace(k).empty()) continue;
            const int mustExist = entry.GetTargetMustExist(k);
            const int index = LocateSecondary(peaks, p, entry, i, mustExist, k);
            qualifiers[k] = index >= 0 ? PeakAt(peaks, index) : nullptr;
            if (qualifiers[k] == nullptr && mustExist != 0) rejected = true;
            if (qualifiers[k] != nullptr && qualifiers[k]->GetPlaceHolder()) qualifierMissing = true;
        }
        // A peak at exactly the place of one already assigned is that compound seen twice.
        for (int earlier = 0; earlier < j && !rejected; ++earlier) {
            const CPeakData* other = PeakAt(peaks, earlier);
            if (other != nullptr && CheckForMatchingNamed(*other, p)) rejected = true;
        }
        if (rejected) continue;

        // The flag is written only on a peak that is taken, as the retention-time search does.
        p.SetPeakMissingFlag(qualifierMissing ? 1 : 0);
        UpdateLocatedEntry(p, qualifiers, entry, i, peakID);
        ++peakID;
        p.SetTotalsUnnamedPeak(1);
        for (CPeakData* qualifier : qualifiers)
            if (qualifier != nullptr) qualifier->SetTotalsUnnamedPeak(1);
    }
    return kLocateOK;
}

bool CQuanLocate::CheckForMatchingNamed(const CPeakData& earlier, const CPeakData& candidate) const {
    const char* earlierTrace = earlier.GetQuanTrace();
    const char* candidateTrace = candidate.GetQuanTrace();
    return earlier.GetPlaceHolder() == candidate.GetPlaceHolder() && earlier.GetMDBEntry() != 0 &&
           earlier.GetRawAcquisitionFunction() == candidate.GetRawAcquisitionFunction() &&
           earlier.GetFoundRT() == candidate.GetFoundRT() && earlierTrace != nullptr && candidateTrace != nullptr &&
           std::strcmp(earlierTrace, candidateTrace) == 0 && !earlier.GetPeakDeleted();
}

int CQuanLocate::LocateCalculateTotalsEntries(CPeakList* peaks, CMethodList* methods) {
    if (peaks == nullptr || methods == nullptr) return kLocateMissingList;
    int status = kLocateOK;
    const int n = methods->GetSize();
    for (int i = 1; i <= n; ++i) {
        const CMethodData* entry = EntryAt(*methods, i);
        if (entry != nullptr && entry->IsTotals()) status = LocateCalculateTotalsEntry(peaks, *entry, i);
    }
    return status;
}

int CQuanLocate::LocateCalculateTotalsEntry(CPeakList* peaks, const CMethodData& entry, int entryNumber) {
    if (peaks == nullptr) return kLocateOK;
    CFilteredPeakIterator totalsPeaks(*peaks);
    totalsPeaks.SetWrap(true);
    totalsPeaks.SetEntry(entryNumber);
    totalsPeaks.SetTotalsOnly(true);
    CPeakData* mainTotals = nullptr;
    for (int k = 0; k < kNumTargets; ++k) {
        totalsPeaks.SetEntryPeak(k);
        CPeakData* totals = totalsPeaks.Next();
        // The traces are summed in order; a missing one ends the entry's totals.
        if (totals == nullptr) break;
        LocateCalculateTotalsPeak(totals, *peaks, entry, k);
        if (k == 0) mainTotals = totals;
        mainTotals->SetSecondaryPeaks(k);
    }
    return kLocateOK;
}

int CQuanLocate::LocateCalculateTotalsPeak(CPeakData* totalsPeak, const CPeakList& peaks, const CMethodData& entry,
                                           int target) {
    if (totalsPeak == nullptr) return kLocateOK;
    CPeakData& t = *totalsPeak;
    t.SetTotalsNumPeaks(0);
    t.SetArea(0.0);
    t.SetHeight(0.0);
    const int include = entry.GetTotalsInclude();
    const std::string group = entry.GetTotalsGroup();
    if (group.empty()) return kLocateOK;

    const bool groupPeak = t.GetTotalsGroupPeak() != 0;
    CFilteredPeakIterator members(peaks);
    members.SetGroup(group);
    members.SetEntryPeak(target);
    members.SetIncludePlaceholders(false);
    members.SetIncludeDeleted(false);
    if (include == kTotalsIncludeNamed) members.SetIncludeUnnamed(false);
    if (include == kTotalsIncludeUnnamed) members.SetIncludeNamed(false);
    if (groupPeak) members.SetTotalsOnly(true);

    const float soughtRT = entry.GetSoughtRT();
    const float window = entry.GetLocateRTWin();
    const CTestRatioFailed ratioTest;
    double area = 0.0;
    double height = 0.0;
    int count = 0;
    double noise = t.GetChromNoise();
    while (const CPeakData* member = members.Next()) {
        if (member == &t || (!groupPeak && member->IsTotals())) continue;
        if (!ratioTest.TestRatio(*member, entry)) continue;
        if (groupPeak && include != 0 && member->GetTotalsInclude() != include) continue;
        if (window > 0.0f && std::fabs(member->GetFoundRT() - soughtRT) > window) continue;
        area += member->GetArea();
        height += member->GetHeight();
        ++count;
        noise = member->GetAbsNoiseHeight();
    }
    t.SetTotalsNumPeaks(count);
    t.SetArea(area);
    t.SetHeight(height);
    t.SetAbsNoiseHeight(noise);
    return kLocateOK;
}
