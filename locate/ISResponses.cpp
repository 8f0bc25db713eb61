// Internal-standard responses: before the responses of a sample are formed, every entry
// quantified against internal standards gets the absolute response of its standard(s) per unit
// of the standard's fixed concentration, and every totals or totals-group entry gets the
// weighted mean of its members' internal-standard responses and the mean noise conversion of
// the standards they name by list index.
//
// An entry keeps the IS response 0 that the run started with whenever no usable standard is
// found; its response is then 0 with the response flag off. Standards are named either by the
// single 1-based reference (RRef) or, with UseMulti on, by up to six 0-based list indices
// (IStd), the first negative index ending the list.
#include "locate/LocateStatus.h"
#include "locate/QuanLocate.h"
#include "records/KeywordTables.h"

namespace {
// A standard with a response but no fixed concentration cannot scale anything.
constexpr int kISZeroFixedConc = 15;
}  // namespace

int CQuanLocate::CalculateISResponses(CMethodList& methods) {
    const int n = methods.GetSize();
    for (int i = 1; i <= n; ++i) UpdateMethodISResponse(methods, i);  // a zero-concentration standard is not fatal
    CalculateTotalsISResponses(methods);
    return kLocateOK;
}

int CQuanLocate::UpdateMethodISResponse(CMethodList& methods, int entryNumber) {
    CMethodData* entry = EntryAt(methods, entryNumber);
    if (entry == nullptr || entry->GetRCalc() != kResponseInternalStd) return kLocateOK;

    double perUnit = 0.0;
    if (entry->GetUseMulti() == 0) {
        const CMethodData* standard = entry->GetRRef() > 0 ? EntryAt(methods, entry->GetRRef()) : nullptr;
        if (standard == nullptr || standard->GetLocated() == 0 || standard->GetAbsResponse() == 0.0)
            return kLocateOK;
        if (standard->GetFixedConc() == 0.0) return kISZeroFixedConc;
        perUnit = standard->GetAbsResponse() / standard->GetFixedConc();
    } else {
        double sum = 0.0;
        int counted = 0;
        for (int k = 0; k < CMethodData::kMaxStandards; ++k) {
            const int index = entry->GetIStd(k);
            const CMethodData* standard = index >= 0 ? methods.GetEntry(index) : nullptr;
            // The list of standards ends at the first free slot or the first standard not found.
            if (standard == nullptr || standard->GetLocated() == 0) break;
            // A standard found without response still counts: it pulls the mean down.
            if (standard->GetAbsResponse() != 0.0) {
                if (standard->GetFixedConc() == 0.0) return kISZeroFixedConc;
                sum += standard->GetAbsResponse() / standard->GetFixedConc();
            }
            ++counted;
        }
        perUnit = counted > 0 ? sum / counted : 0.0;
    }

    if (perUnit > 0.0) {
        entry->SetISResponse(perUnit);
        entry->SetNumISResponses(1);
    }
    return kLocateOK;
}

int CQuanLocate::CalculateTotalsISResponses(CMethodList& methods) {
    const int n = methods.GetSize();
    for (int i = 1; i <= n; ++i) {
        const CMethodData* entry = EntryAt(methods, i);
        if (entry != nullptr && entry->IsTotals()) UpdateMethodTotalISResponse(methods, i);
    }
    return kLocateOK;
}

int CQuanLocate::UpdateMethodTotalISResponse(CMethodList& methods, int entryNumber) {
    CMethodData* totals = EntryAt(methods, entryNumber);
    if (totals == nullptr) return kLocateOK;
    const std::string group = totals->GetTotalsGroup();
    // A totals entry that names its own standards keeps what they gave it.
    if (group.empty() || totals->GetUseMulti() != 0 || totals->GetRRef() > 0) return kLocateOK;

    int numResponses = 0;
    double weightedSum = 0.0;
    double noiseSum = 0.0;
    int noiseCount = 0;
    const int n = methods.GetSize();
    for (int index = 0; index < n; ++index) {
        const CMethodData* member = methods.GetEntry(index);
        if (member == nullptr || member->IsTotals() || !member->IsMemberOf(group)) continue;
        if (member->GetISResponse() <= 0.0) continue;
        numResponses += member->GetNumISResponses();
        weightedSum += member->GetISResponse() * member->GetNumISResponses();

        // The noise conversion of every standard the member names by list index.
        for (int k = 0; k < CMethodData::kMaxStandards; ++k) {
            const int standardIndex = member->GetIStd(k);
            if (standardIndex < 0) continue;
            if (const CMethodData* standard = methods.GetEntry(standardIndex)) {
                noiseSum += standard->GetNoiseConversion();
                ++noiseCount;
            }
        }
    }

    totals->SetNumISResponses(numResponses);
    totals->SetISResponse(numResponses > 1 ? weightedSum / numResponses : weightedSum);
    if (noiseCount > 0) totals->SetNoiseConversion(noiseSum / noiseCount);
    return kLocateOK;
}
