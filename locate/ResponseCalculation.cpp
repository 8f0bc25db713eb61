// Response calculation: once every entry is located, each assigned peak gets the response that
// calibration and quantification work from (its absolute response unchanged for an external
// standard, divided by the entry's internal-standard response otherwise), its corrected
// response, its noise expressed as a response and, for isotope dilution, the molar ratio.
// Entries whose flags begin with 'Y' are synthetic: their main peak is given a height ratio of
// two integrated peaks ("Y?R...") or an element amount summed over isotope peaks with the help
// of the periodic-table database.
//
// Qualifier peaks get response fields from their own absolute values, but only the entry's main
// peak writes the entry's response and corrected response and only a main peak is given a
// synthetic value, so the entry does not depend on where its qualifiers stand in the list and a
// qualifier keeps its integrated height and area.
#include <cstring>
#include <string>

#include "calibrate/ElementRecord.h"
#include "calibrate/PeriodicDatabase.h"
#include "locate/LocateStatus.h"
#include "locate/QuanLocate.h"
#include "platform/Utility.h"
#include "records/KeywordTables.h"

namespace {
constexpr int kFirstIsotopeSlot = 1;  // slot 0 of the element record is never searched

// Statuses of this step (they end the run).
constexpr int kResponseTypeUnknown = 13;


// A text field of the element record, which need not be terminated inside its bytes.
std::string RecordText(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

// The name an isotope (or interference) peak is integrated under: nominal mass, then symbol.
std::string IsotopePeakName(double mass, const std::string& suffix) { return Utility::NumberToText(mass, 0) + suffix; }
}  // namespace

int CQuanLocate::CalculateResponses(CPeakList& peaks, CMethodList& methods) {
    CalculateISResponses(methods);
    const int n = methods.GetSize();
    const int size = peaks.GetSize();
    for (int j = 1; j <= size; ++j) {
        const CPeakData* peak = PeakAt(peaks, j - 1);
        if (peak == nullptr) continue;
        const int e = peak->GetMDBEntry();
        if (e == 0) continue;
        if (e < 0 || e > n) return kPeakNamesNoEntry;
        const int status = UpdateResponseFields(peaks, j, methods, e);
        if (status != kLocateOK) return status;
    }
    return kLocateOK;
}

int CQuanLocate::UpdateResponseFields(CPeakList& peaks, int peakNumber, CMethodList& methods, int entryNumber) {
    CPeakData* peak = PeakAt(peaks, peakNumber - 1);
    CMethodData* entry = EntryAt(methods, entryNumber);
    if (peak == nullptr) return kLocateOK;
    if (entry == nullptr) return kPeakNamesNoEntry;
    CPeakData& p = *peak;
    CMethodData& e = *entry;
    const bool mainPeak = p.GetMDBEntryPeak() == 0;

    double absolute = 0.0;
    double noise = 0.0;
    double correctedIn = 0.0;
    const std::string flags = e.GetFlags();
    if (mainPeak && !flags.empty() && flags[0] == 'Y') {
        if (flags.size() >= 3 && flags[2] == 'R') {
            p.SetHeight(CalculateRatio(peaks, e));
        } else {
            tagELEMENTstruct element{};
            if (!OpenFlatDatabase(kPeriodicDatabaseKind, GetPeriodicDBName().c_str(), false)) return kLocateElementUnreadable;
            const int read = ReadElementRecord(e.GetAtomicNumber(), element);
            CloseFlatDatabase(kPeriodicDatabaseKind);
            if (read != 0) return kLocateElementUnreadable;
            p.SetHeight(CalculateFormula(peaks, element));
            p.SetPeakMass(static_cast<float>(element.ElementMass * 0.001));
        }
        p.SetArea(p.GetHeight());
        absolute = p.GetHeight();
    } else {
        absolute = p.GetAbsResponse();
        noise = p.GetAbsNoiseHeight();
        correctedIn = p.GetAbsCorrectedResponse();
    }

    // Noise conversion: from the standards the entry is scaled by, else the entry's own.
    double noiseConversion = 0.0;
    if (e.GetUseMulti() != 0) {
        double sum = 0.0;
        int count = 0;
        for (int k = 0; k < CMethodData::kMaxStandards; ++k) {
            const int index = e.GetIStd(k);
            if (index < 0) continue;
            if (const CMethodData* standard = methods.GetEntry(index)) {
                sum += standard->GetNoiseConversion();
                ++count;
            }
        }
        noiseConversion = count > 0 ? sum / count : 0.0;
    } else if (e.GetRRef() > 0) {
        const CMethodData* reference = EntryAt(methods, e.GetRRef());
        noiseConversion = reference != nullptr && reference->GetNoiseConversion() > 0.0 ? reference->GetNoiseConversion()
                                                                                      : e.GetNoiseConversion();
    } else {
        noiseConversion = e.GetNoiseConversion();
    }

    // An internal-standard entry without a standard is an external-standard entry from here on.
    if (e.GetUseMulti() == 0 && e.GetRRef() <= 0 && e.GetRCalc() == kResponseInternalStd && !e.IsTotals())
        e.SetRCalc(kResponseExternalStd);

    double response = 0.0;
    double corrected = 0.0;
    double noiseResponse = 0.0;
    int responseFlag = 0;
    const int responseType = e.GetRCalc();
    if (responseType == kResponseExternalStd) {
        response = absolute;
        corrected = correctedIn;
        noiseResponse = noiseConversion * noise;
        responseFlag = 1;
    } else if (responseType == kResponseInternalStd) {
        const double isResponse = e.GetISResponse();
        if (isResponse > 0.0) {
            response = absolute / isResponse;
            corrected = correctedIn / isResponse;
            noiseResponse = noiseConversion * noise / isResponse;
            responseFlag = 1;
        }
    } else if (responseType >= kResponseIsotopeDilution && responseType <= kResponseNamed) {
        response = absolute;
        corrected = correctedIn;
    } else {
        return kResponseTypeUnknown;
    }

    if (mainPeak) {
        e.SetResponse(response);
        e.SetCorrectedResponse(corrected);
    }

    if (response > 0.0 && e.GetMoleRatio() != 0) {
        const double unlabelled = e.GetUnlabelledRatio();
        const double labelled = e.GetLabelledRatio();
        const double denominator = (response - unlabelled) * (labelled + 1.0);
        if (denominator != 0.0) {
            p.SetResponse(((labelled - response) * (unlabelled + 1.0)) / denominator);
        } else {
            // A response equal to the unlabelled ratio has no molar ratio: rather than keep
            // whatever an earlier processing left in the peak, it has no response.
            p.SetResponse(0.0);
            responseFlag = 0;
        }
    } else {
        p.SetResponse(response);
    }
    p.SetCorrectedResponse(corrected);
    p.SetChromNoiseResp(noiseResponse);
    p.SetResponseFlag(responseFlag);
    return kLocateOK;
}

double CQuanLocate::CalculateRatio(CPeakList& peaks, CMethodData& entry) {
    const int top = entry.GetTopOfRatio();
    const int bottom = entry.GetBottomOfRatio();
    // A peak that is missing counts as height 1, so the ratio degrades to the other height.
    double topHeight = 1.0;
    double bottomHeight = 1.0;
    const int size = peaks.GetSize();
    for (int j = 0; j < size; ++j) {
        const CPeakData* peak = PeakAt(peaks, j);
        if (peak == nullptr) continue;
        if (peak->GetMDBIntegrateEntry() == top) topHeight = peak->GetHeight();
        if (peak->GetMDBIntegrateEntry() == bottom) bottomHeight = peak->GetHeight();
    }
    // A bottom peak of no height gives no ratio, not an infinite one.
    if (bottomHeight == 0.0) return 0.0;
    return topHeight / bottomHeight;
}

double CQuanLocate::CalculateFormula(CPeakList& peaks, tagELEMENTstruct element) {
    const std::string symbol = RecordText(element.Symbol, sizeof element.Symbol);
    double sum = 0.0;
    double abundanceTotal = 0.0;
    bool found = false;
    const int size = peaks.GetSize();
    for (int slot = kFirstIsotopeSlot; slot < tagELEMENTstruct::kNumIsotopeSlots; ++slot) {
        if (element.IsotopeInUse[slot] == 0) continue;
        const tagELEMENTISOTOPE& isotope = element.Isotopes[slot];
        const std::string name = IsotopePeakName(isotope.Mass, symbol);
        for (int j = 0; j < size; ++j) {
            const CPeakData* peak = PeakAt(peaks, j);
            if (peak == nullptr || peak->GetName() != name) continue;
            found = true;
            // A peak not integrated for an entry only shows that the isotope was looked for.
            if (peak->GetMDBIntegrateEntry() == 0) continue;
            double height = peak->GetHeight();
            abundanceTotal += isotope.Abundance;
            for (int k = 0; k < tagELEMENTstruct::kNumInterferences; ++k) {
                const tagELEMENTINTERFERENCE& interference = element.Interferences[k];
                if (element.InterferenceInUse[k] == 0 || interference.IsotopeSlot != slot) continue;
                const std::string interferenceName =
                    IsotopePeakName(interference.Mass, RecordText(interference.Name, sizeof interference.Name));
                for (int m = 0; m < size; ++m) {
                    const CPeakData* other = PeakAt(peaks, m);
                    if (other == nullptr || other->GetHeight() == 0.0 || other->GetName() != interferenceName) continue;
                    height -= other->GetHeight() * interference.Factor;
                    if (height <= 0.0) height = 0.0;
                }
            }
            sum += height;
        }
    }
    // Without the abundance of an integrated isotope the amount cannot be scaled to 100 %.
    if (!found || abundanceTotal <= 0.0) return 0.0;
    return sum / abundanceTotal * 100.0;
}
