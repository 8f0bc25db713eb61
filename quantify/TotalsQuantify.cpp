// Results that are not read off a compound's own curve. A totals entry sums the quantified
// members of its named group (after every ordinary entry is done); a totals group entry sums
// totals entries and other group entries, as they stand when it is reached in list order. A
// semi-quantitative entry takes its concentration from the response factor stored for its
// element in the periodic-table database, optionally scaled by a reference entry's factor.
#include <cmath>
#include <limits>

#include "calibrate/PeriodicDatabase.h"
#include "locate/TestRatioFailed.h"
#include "platform/NumberText.h"
#include "quantify/QuanQuantify.h"
#include "quantify/QuantifyStatus.h"

namespace {
constexpr int kNumBoundValues = 12;
constexpr int kFirstIsotopeSlot = 1;  // slot 0 of the element record is never searched

// Which members a total counts (peak and method GetTotalsInclude).
constexpr int kIncludeNamedOnly = 1;
constexpr int kIncludeUnnamedOnly = 2;


// The method entry a totals peak belongs to, or null for a peak that is not a main totals peak.
const CMethodData* TotalsMethod(const CPeakData& peak, const CMethodList& methods) {
    const int e = peak.GetMDBEntry();
    if (e == 0 || e > methods.GetSize() || peak.GetMDBEntryPeak() >= 1) return nullptr;
    return methods.GetEntry(e - 1);
}

// Values a total starts from. `allLimits` also clears the limits, which a total that sums only
// named members gathers from them, and which a group always gathers.
void ResetTotal(CPeakData& total, const CMethodData& method, bool allLimits) {
    total.SetValidConc(0);
    total.SetAnalConc(0.0);
    total.SetEMPC(0.0);
    total.SetTotalsNumPeaks(0);
    total.SetTotalsInclude(method.GetTotalsInclude());
    total.SetResponse(0.0);
    if (allLimits) {
        total.SetDetectionThreshold(0.0);
        total.SetQuantitationThreshold(0.0);
    }
    for (int i = 0; i < CPeakData::kNumToxicEquivalents; ++i) {
        total.SetToxicConc(i, 0.0);
        if (allLimits) {
            total.SetToxicLOD(i, 0.0);
            total.SetToxicLOQ(i, 0.0);
        }
    }
    for (int i = 0; i < kNumBoundValues; ++i) total.SetBoundValue(i, 0.0);
}

void AddBoundValues(CPeakData& total, const CPeakData& member) {
    for (int i = 0; i < kNumBoundValues; ++i) total.SetBoundValue(i, total.GetBoundValue(i) + member.GetBoundValue(i));
}

void AddLimits(CPeakData& total, const CPeakData& member) {
    for (int i = 0; i < CPeakData::kNumToxicEquivalents; ++i) {
        total.SetToxicLOD(i, total.GetToxicLOD(i) + member.GetToxicLOD(i));
        total.SetToxicLOQ(i, total.GetToxicLOQ(i) + member.GetToxicLOQ(i));
    }
    total.SetDetectionThreshold(total.GetDetectionThreshold() + member.GetDetectionThreshold());
    total.SetQuantitationThreshold(total.GetQuantitationThreshold() + member.GetQuantitationThreshold());
}

void AddToxicConcentrations(CPeakData& total, const CPeakData& member) {
    for (int i = 0; i < CPeakData::kNumToxicEquivalents; ++i) total.SetToxicConc(i, total.GetToxicConc(i) + member.GetToxicConc(i));
}

void AddEMPC(CPeakData& total, const CPeakData& member) { total.SetEMPC(total.GetEMPC() + member.GetEMPC()); }

// The element record keyed by the entry's predicted time read as an atomic number.
bool ReadEntryElement(const CMethodData& method, tagELEMENTstruct& element) {
    const float key = method.GetPredRT();
    // Truncating a value outside int's range would be undefined; no element has such a number.
    if (!(key > -1.0f && key < static_cast<float>(std::numeric_limits<int>::max()))) return false;
    return ReadElementRecord(static_cast<int>(key), element) == 0;
}

bool FlagsMarkElementFactor(const CMethodData& method) {
    const std::string flags = method.GetFlags();
    return !flags.empty() && flags[0] == 'Y';
}

// Releases the open taken by semi-quantification when it goes out of scope.
struct PeriodicDatabaseOpen {
    ~PeriodicDatabaseOpen() { CloseFlatDatabase(kPeriodicDatabaseKind); }
};
}  // namespace

int CQuanQuantify::QuantifyTotalsEntries(CPeakList* peaks, CMethodList* methods) {
    if (peaks == nullptr || methods == nullptr) return kQuantifyMissingList;
    if (peaks->GetSize() == 0) return kQuantifyOK;
    // Totals first, so that every group is summed from complete totals.
    for (int j = 0; j < peaks->GetSize(); ++j) {
        CPeakData* peak = peaks->GetEntry(j);
        if (peak == nullptr || peak->GetTotalsPeak() == 0) continue;
        if (const CMethodData* method = TotalsMethod(*peak, *methods)) QuantifyTotalsEntry(peak, peaks, method);
    }
    for (int j = 0; j < peaks->GetSize(); ++j) {
        CPeakData* peak = peaks->GetEntry(j);
        if (peak == nullptr || peak->GetTotalsGroupPeak() == 0) continue;
        if (const CMethodData* method = TotalsMethod(*peak, *methods)) QuantifyTotalsGroupEntry(peak, peaks, method);
    }
    return kQuantifyOK;
}

int CQuanQuantify::QuantifyTotalsEntry(CPeakData* total, CPeakList* peaks, const CMethodData* method) {
    if (total == nullptr || peaks == nullptr || method == nullptr) return kQuantifyOK;
    const bool namedOnly = method->GetTotalsInclude() == kIncludeNamedOnly;
    ResetTotal(*total, *method, namedOnly);
    const std::string group = total->GetTotalsGroup();
    if (group.empty()) return kQuantifyOK;

    const float window = method->GetLocateRTWin();
    const int include = total->GetTotalsInclude();
    const CTestRatioFailed ratioTest;
    for (int j = 0; j < peaks->GetSize(); ++j) {
        const CPeakData* member = peaks->GetEntry(j);
        if (member == nullptr || member == total) continue;
        const CPeakData& p = *member;
        if (p.GetMDBEntry() == 0 || p.IsTotals() || !p.IsMemberOf(group)) continue;
        if (window > 0.0f && std::fabs(p.GetFoundRT() - method->GetPredRT()) > window) continue;
        const bool unnamed = p.GetTotalsUnnamedPeak() != 0;
        if (include == kIncludeNamedOnly && unnamed) continue;
        if (include == kIncludeUnnamedOnly && !unnamed) continue;

        AddBoundValues(*total, p);
        if (namedOnly) AddLimits(*total, p);
        if (p.GetValidConc() == 0 || p.GetPlaceHolder() || p.GetPeakDeleted()) continue;
        if (ratioTest.TestRatio(p, *method)) {
            total->SetAnalConc(total->GetAnalConc() + p.GetAnalConc());
            total->SetResponse(total->GetResponse() + p.GetResponse());
            total->SetTotalsNumPeaks(total->GetTotalsNumPeaks() + 1);
            total->SetValidConc(1);
            if (p.GetUseEMPC() != 0) AddEMPC(*total, p);
            AddToxicConcentrations(*total, p);
        } else if (method->GetUseEMPC() != 0) {
            // A member whose ion ratios fail still counts as a maximum possible concentration.
            AddEMPC(*total, p);
            total->SetValidConc(1);
        }
    }
    SetTotalsFlags(*total, *method);
    return kQuantifyOK;
}

int CQuanQuantify::QuantifyTotalsGroupEntry(CPeakData* group, CPeakList* peaks, const CMethodData* method) {
    if (group == nullptr || peaks == nullptr || method == nullptr) return kQuantifyOK;
    ResetTotal(*group, *method, true);
    const std::string groupName = group->GetTotalsGroup();
    if (groupName.empty()) return kQuantifyOK;

    const int include = group->GetTotalsInclude();
    for (int j = 0; j < peaks->GetSize(); ++j) {
        const CPeakData* member = peaks->GetEntry(j);
        if (member == nullptr || *member == *group) continue;
        const CPeakData& p = *member;
        if (p.GetMDBEntry() == 0 || !p.IsTotals() || !p.IsMemberOf(groupName)) continue;
        if (include != 0 && include != p.GetTotalsInclude()) continue;

        AddToxicConcentrations(*group, p);
        AddLimits(*group, p);
        AddBoundValues(*group, p);
        if (p.GetValidConc() == 0 || p.GetPeakDeleted()) continue;
        group->SetAnalConc(group->GetAnalConc() + p.GetAnalConc());
        AddEMPC(*group, p);
        group->SetResponse(group->GetResponse() + p.GetResponse());
        group->SetTotalsNumPeaks(group->GetTotalsNumPeaks() + p.GetTotalsNumPeaks());
        group->SetValidConc(1);
    }
    SetTotalsFlags(*group, *method);
    return kQuantifyOK;
}

double CQuanQuantify::SemiQuanFailed(CPeakData& peak) const {
    // No element response means no concentration: say so rather than report 0 as measured, and
    // drop whatever the peak held (an earlier result, or the value before a missing reference
    // could scale it): a result without a solution carries no number.
    peak.SetAnalConc(0.0);
    peak.SetNoSolutionFlag(1);
    return 0.0;
}

double CQuanQuantify::DoSemiQuanQuan(CPeakData* peak, CMethodList* methods) {
    if (peak == nullptr) return 0.0;
    if (!OpenFlatDatabase(kPeriodicDatabaseKind, m_periodicDBName.c_str(), false)) return SemiQuanFailed(*peak);
    const PeriodicDatabaseOpen open;

    const int e = peak->GetMDBEntry();
    const CMethodData* method = methods != nullptr && e >= 1 && e <= methods->GetSize() ? methods->GetEntry(e - 1) : nullptr;
    if (method == nullptr) return SemiQuanFailed(*peak);
    tagELEMENTstruct element;
    if (!ReadEntryElement(*method, element)) return SemiQuanFailed(*peak);

    const bool elementFactor = FlagsMarkElementFactor(*method);
    const double factor = elementFactor ? element.ScaleFactor * element.ResponseFactor
                                        : FindResponseFactor(method, element) * element.ScaleFactor;
    // A factor of 0 (no isotope at the trace's mass) would make the quotient infinite and be
    // reported as the 1e12 cap.
    const double conc = peak->GetResponse() / factor;
    if (factor == 0.0 || !std::isfinite(factor) || !std::isfinite(conc)) return SemiQuanFailed(*peak);
    peak->SetAnalConc(conc);

    const int r = method->GetRRef();
    if (r != 0) {
        const CMethodData* reference = r >= 1 && r <= methods->GetSize() ? methods->GetEntry(r - 1) : nullptr;
        if (reference == nullptr) return SemiQuanFailed(*peak);
        tagELEMENTstruct referenceElement;
        if (!ReadEntryElement(*reference, referenceElement)) return SemiQuanFailed(*peak);
        // The entry's own flags decide how the reference's factor is read.
        const double referenceFactor = elementFactor
                                           ? referenceElement.ScaleFactor * referenceElement.ResponseFactor
                                           : FindResponseFactor(reference, referenceElement);
        if (referenceFactor == 0.0 || !std::isfinite(referenceFactor)) return SemiQuanFailed(*peak);
        peak->SetAnalConc(peak->GetAnalConc() * referenceFactor);
    }
    return peak->GetAnalConc();
}

double CQuanQuantify::FindResponseFactor(const CMethodData* method, tagELEMENTstruct element) {
    if (method == nullptr) return 0.0;
    const std::string trace = method->GetQuanTrace();
    // The trace's nominal mass, rounded half up.
    double mass = 0.0;
    NumberText::ReadLeading(trace, mass);
    const double target = std::trunc(mass + 0.5);
    if (!std::isfinite(target)) return 0.0;
    for (int slot = kFirstIsotopeSlot; slot < tagELEMENTstruct::kNumIsotopeSlots; ++slot) {
        if (element.IsotopeInUse[slot] == 0) continue;
        if (std::trunc(element.Isotopes[slot].Mass + 0.5) == target) return element.Isotopes[slot].ResponseFactor;
    }
    return 0.0;
}
