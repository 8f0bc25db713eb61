// The quantification driver and the quantification of one peak entry, in this order: reset the
// entry's results, find its concentration (user response factor, element-based, or through its
// curve), apply the sample factors, test the limits, clamp and round, store with toxic
// equivalents, set the concentration flags, then store the limits and bound values (which a
// placeholder or deleted entry also receives).
#include "quantify/QuanQuantify.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/NumberText.h"
#include "quantify/CurveInversion.h"
#include "quantify/QuantifyStatus.h"

QUAN_REGISTER_CLASS(CQuanQuantify);

namespace {

// Compound names compare as the curve look-up compares them: letter case aside (ASCII only,
// whatever the host's locale).
bool SameCompoundName(const std::string& a, const std::string& b) {
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return fold(x) == fold(y); });
}

// A slot holds its own entry's curve when the curve bears that entry's name.
bool HoldsOwnCurve(const CCalibrationList& curves, const CMethodList& methods, int slot) {
    const CCalibrationData* curve = curves.GetEntry(slot);
    const CMethodData* entry = slot < methods.GetSize() ? methods.GetEntry(slot) : nullptr;
    return curve != nullptr && entry != nullptr && SameCompoundName(curve->GetName(), entry->GetName());
}

// The first curve named `compound` (ignoring case), for the entry of slot `slot`; null when no
// curve has the name. The curve is brought into the entry's slot by exchanging the two curves,
// never by writing one over the other, so no curve is lost; and only when neither slot holds
// its own entry's curve, so that a host reading curve i as entry i's still finds it there
// after an entry calibrated on another compound's curve has been quantified.
CCalibrationData* CurveForCompound(CCalibrationList& curves, const CMethodList& methods, int slot,
                                   const std::string& compound) {
    const int found = curves.FindMatchingCalibration(compound);
    if (found < 0) return nullptr;
    if (found != slot && !HoldsOwnCurve(curves, methods, slot) && !HoldsOwnCurve(curves, methods, found)) {
        std::swap(*curves.GetEntry(slot), *curves.GetEntry(found));
        return curves.GetEntry(slot);
    }
    return curves.GetEntry(found);
}

constexpr double kMaxConcentration = 1e12;
constexpr double kMinLimit = 1e-12;
constexpr int kConcentrationDecimals = 10;

// Response basis (method GetRAH).
constexpr int kBasisArea = 0;
constexpr int kBasisHeight = 1;

// A peak's flag text marks it semi-quantitative with 'S' as its fourth character.
constexpr size_t kSemiQuanFlagPosition = 3;
constexpr char kSemiQuanFlag = 'S';

bool IsSemiQuantitative(const CPeakData& peak) {
    const std::string flags = peak.GetFlags();
    return flags.size() > kSemiQuanFlagPosition && flags[kSemiQuanFlagPosition] == kSemiQuanFlag;
}

// Detection and quantitation limits are kept within 1e-12..1e12; a limit that could not be
// worked out (0, negative or no number) reads as the smallest.
double ClampLimit(double limit) {
    if (!(limit > 0.0)) return kMinLimit;
    return std::min(limit, kMaxConcentration);
}

// The file-name part of a database name, without drive, folders or extension. Hosts hand over
// names written with either separator.
std::string DatabaseLeafName(const std::string& path) {
    std::string name = path;
    if (name.size() >= 2 && name[1] == ':' && NumberText::IsAlphaAscii(name[0])) name.erase(0, 2);
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

// Month names of the C locale, whatever locale the host process runs in.
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
}  // namespace

int CQuanQuantify::DoQuantify(CCalibrationList* calList, CMethodList* methodList, CPeakList* peakList,
                              const std::string& periodicDBName) {
    if (calList == nullptr || methodList == nullptr || peakList == nullptr) return kQuantifyMissingList;
    if (calList->GetSize() != methodList->GetSize()) return kQuantifyListsUnequal;
    m_periodicDBName = periodicDBName;
    return QuantifyPDBEntries(calList, peakList, methodList);
}

int CQuanQuantify::QuantifyPDBEntries(CCalibrationList* calList, CPeakList* peakList, CMethodList* methodList) {
    if (calList == nullptr || peakList == nullptr || methodList == nullptr) return kQuantifyMissingList;
    if (peakList->GetSize() == 0) return kQuantifyOK;
    // The list's name and time do not change while its curves are used: formatted once, not per peak.
    const CurveDBStamp stamp = StampOf(*calList);
    for (int j = 0; j < peakList->GetSize(); ++j) {
        CPeakData* peak = peakList->GetEntry(j);
        if (peak == nullptr) continue;
        const int e = peak->GetMDBEntry();
        CCalibrationData* cal = nullptr;
        if (e > 0 && IsSemiQuantitative(*peak)) {
            // Element-based: no curve, and the entry's own checks decide.
        } else {
            if (e <= 0) continue;
            if (e > methodList->GetSize()) return kQuantifyBadEntry;
            const CMethodData* method = methodList->GetEntry(e - 1);
            if (method == nullptr) continue;
            if (peak->GetMDBEntryPeak() > 0) continue;  // a qualifier of its entry
            if (method->GetUserRFMode() == 0) {
                cal = calList->GetEntry(e - 1);
                const std::string compound = method->GetCalCompound();
                if (cal != nullptr && cal->GetName() != compound)
                    cal = CurveForCompound(*calList, *methodList, e - 1, compound);
            }
        }
        ApplyStamp(stamp, *peak);
        const int status = QuantifyPDBEntry(cal, peak, methodList);
        if (status != kQuantifyOK) return status;
    }
    return QuantifyTotalsEntries(peakList, methodList);
}

CQuanQuantify::CurveDBStamp CQuanQuantify::StampOf(const CCalibrationList& calList) {
    CurveDBStamp stamp;
    stamp.name = DatabaseLeafName(calList.GetDBName());
    const time_t modified = calList.GetModifiedTime();
    struct tm local {};
    char date[16] = "";
    char time[16] = "";
    if (localtime_r(&modified, &local) != nullptr && local.tm_mon >= 0 && local.tm_mon < 12) {
        std::snprintf(date, sizeof date, "%02d/%s/%02d", local.tm_mday, kMonthNames[local.tm_mon],
                      (local.tm_year % 100 + 100) % 100);
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    }
    stamp.date = date;
    stamp.time = time;
    return stamp;
}

void CQuanQuantify::ApplyStamp(const CurveDBStamp& stamp, CPeakData& peak) {
    peak.SetCurveDBName(stamp.name);
    peak.SetCurveDBDate(stamp.date);
    peak.SetCurveDBTime(stamp.time);
}

void CQuanQuantify::SetCalData(const CCalibrationList* calList, CPeakData* peak) const {
    if (calList == nullptr || peak == nullptr) return;
    ApplyStamp(StampOf(*calList), *peak);
}

double CQuanQuantify::ApplyConcentrationFactors(const CPeakData* peak, double value) const {
    if (peak == nullptr) return value;
    // Each factor counts only when set (strictly positive), so a missing initial amount never
    // divides by zero.
    if (peak->GetUserFactor2() > 0.0) value *= peak->GetUserFactor2();
    if (peak->GetGPDilutionFactor() > 0.0) value *= peak->GetGPDilutionFactor();
    if (peak->GetUserFactor3() > 0.0) value *= peak->GetUserFactor3();
    if (peak->GetUserDivisor1() > 0.0) value /= peak->GetUserDivisor1();
    if (peak->GetUserFactor1() > 0.0) value *= peak->GetUserFactor1();
    return value;
}

double CQuanQuantify::GetRoundedValue(double value, int decimals) { return CPeakData::GetRoundedValue(value, decimals); }

int CQuanQuantify::QuantifyPDBEntry(CCalibrationData* cal, CPeakData* peak, CMethodList* methodList) {
    if (peak == nullptr) return kQuantifyBadEntry;
    const double R = peak->GetResponse();
    const double Rc = peak->GetCorrectedResponse();
    const double N = peak->GetChromNoiseResp();
    double C = 0.0;
    // Every entry's EMPC is its own: 0 unless this entry's corrected response gives one.
    double E = 0.0;
    double LOD = 0.0;
    double LOQ = 0.0;

    peak->SetValidConc(0);
    peak->SetNoSolutionFlag(0);
    peak->SetRRFMean(0.0);
    peak->SetMatrixFlag(0);
    peak->SetQCDevHighFlag(0);
    peak->SetQCDevMidFlag(0);
    peak->SetQCDevLowFlag(0);
    peak->SetISDevHighFlag(0);
    peak->SetMethodQCDevFlag(0);

    if (peak->GetResponseFlag() == 0) return kQuantifyOK;
    const int e = peak->GetMDBEntry();
    if (methodList == nullptr || e < 1 || e > methodList->GetSize()) return kQuantifyBadEntry;
    const CMethodData* entry = methodList->GetEntry(e - 1);
    if (entry == nullptr) return kQuantifyOK;  // an empty slot: nothing to quantify against
    const CMethodData& method = *entry;

    if (method.GetUserRFMode() != 0) {
        const double rf = method.GetUserRF();
        if (!(rf > 0.0)) return kQuantifyOK;
        C = R / rf;
        E = Rc / rf;
        const double noise = N / rf;
        LOD = peak->GetLODFactor() * noise;
        LOQ = peak->GetLOQFactor() * noise;
    } else if (IsSemiQuantitative(*peak)) {
        C = DoSemiQuanQuan(peak, methodList);
    } else {
        if (cal == nullptr || cal->GetCurveValid() == 0) return kQuantifyOK;
        // Sixth order is the highest curve type, so a longer coefficient list is read to c6.
        double coeffs[QuanCurve::kMaxCurveCoefficients] = {};
        const int numCC = std::min(cal->GetNumCC(), QuanCurve::kMaxCurveCoefficients);
        for (int k = 0; k < numCC; ++k) coeffs[k] = cal->GetCC(k);
        const int curveType = cal->GetCCalc();
        const int axis = cal->GetXYTrans();
        const double minConc = cal->GetMinConc();
        const double maxConc = cal->GetMaxConc();
        auto invert = [&](double response, double& conc) {
            return QuanGetConc(response, &conc, coeffs, curveType, axis, minConc, maxConc) == kCurveSolved;
        };
        const bool solved = invert(R, C) && invert(Rc, E);
        if (!solved) {
            if (method.GetMonitorBlankEnabled() != 0 && IsBlankSample()) peak->SetMatrixFlag(1);
            C = 0.0;
            E = 0.0;
            peak->SetNoSolutionFlag(1);
        } else if (C < 0.0) {
            C = 0.0;
            peak->SetNoSolutionFlag(1);
        }
        if (!invert(peak->GetLODFactor() * N, LOD)) LOD = 0.0;
        if (!invert(peak->GetLOQFactor() * N, LOQ)) LOQ = 0.0;
        peak->SetMinCCFlag(cal->GetMinCCFlag());
        if (curveType == kCurveRF) {
            peak->SetRRFMean(cal->GetMeanRelResp());
            peak->SetRRFStdDev(cal->GetStdDev());
            peak->SetRRFPercRelSD(cal->GetPercRelSD());
        }
    }

    switch (method.GetRAH()) {
    case kBasisArea:
        if (peak->GetMinArea() > peak->GetArea()) peak->SetMinAreaFlag(1);
        break;
    case kBasisHeight:
        if (peak->GetMinHeight() > peak->GetHeight()) peak->SetMinHeightFlag(1);
        break;
    default: return kQuantifyBadEntry;
    }

    C = ApplyConcentrationFactors(peak, C);
    E = ApplyConcentrationFactors(peak, E);
    LOD = ApplyConcentrationFactors(peak, LOD);
    LOQ = ApplyConcentrationFactors(peak, LOQ);

    // The limit tests read the concentration before it is clamped.
    if (!method.IsTotals()) {
        if (C < LOD) peak->SetLODFlag(1);
        if (C < LOQ) peak->SetLOQFlag(1);
    }

    // A response that is no number gives no concentration; stored as NaN it would pass every
    // limit unnoticed.
    if (std::isnan(C)) {
        C = 0.0;
        peak->SetNoSolutionFlag(1);
    }
    if (!(E >= 0.0)) E = 0.0;
    if (C < 0.0) C = 0.0;
    if (C > kMaxConcentration) C = kMaxConcentration;
    C = GetRoundedValue(C, kConcentrationDecimals);
    if (E > kMaxConcentration) E = kMaxConcentration;
    LOD = ClampLimit(LOD);
    LOQ = ClampLimit(LOQ);

    if (!peak->GetPlaceHolder() && !peak->GetPeakDeleted()) {
        peak->SetAnalConc(C);
        peak->SetEMPC(E);
        peak->SetValidConc(1);
        for (int i = 0; i < CPeakData::kNumToxicEquivalents; ++i)
            peak->SetToxicConc(i, peak->GetAnalConc() * method.GetToxicEquiv(i));
        SetConcentrationFlags(*peak, method, cal);
    }

    peak->SetDetectionThreshold(LOD);
    peak->SetQuantitationThreshold(LOQ);
    for (int i = 0; i < CPeakData::kNumToxicEquivalents; ++i) {
        const double t = method.GetToxicEquiv(i);
        peak->SetToxicLOD(i, t * LOD);
        peak->SetToxicLOQ(i, t * LOQ);
    }

    // Upper, medium and lower bound of each toxic-equivalent concentration: a result at or
    // below its limit counts as the limit, half the limit, and nothing.
    for (int i = 0; i < CPeakData::kNumToxicEquivalents; ++i) {
        const double tc = peak->GetToxicConc(i);
        const double limit = m_calculateUsingTLOD ? peak->GetToxicLOD(i) : peak->GetToxicLOQ(i);
        if (tc <= limit) {
            peak->SetBoundValue(i, limit);
            peak->SetBoundValue(4 + i, limit * 0.5);
            peak->SetBoundValue(8 + i, 0.0);
        } else {
            peak->SetBoundValue(i, tc);
            peak->SetBoundValue(4 + i, tc);
            peak->SetBoundValue(8 + i, tc);
        }
    }
    return kQuantifyOK;
}
