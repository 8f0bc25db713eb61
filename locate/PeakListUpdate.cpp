// The last step of a location run: every peak of the sample is made self-contained for
// calibration, quantification and reports. An assigned peak gets the identity and settings of
// its method entry, an unassigned one has them blanked; every peak gets the sample's dilution
// and user factors, has the result fields that later engines fill reset, and gets its solvent
// and peak-asymmetry monitoring flags.
//
// What location itself wrote on an assigned peak (responses, ion ratios, secondary values,
// signal-to-noise limit flags) is kept; on an unassigned peak it is cleared, so nothing of an
// earlier processing of the sample is left on a peak that no compound claims.
#include "locate/LocateStatus.h"
#include "locate/QuanLocate.h"
#include "records/KeywordTables.h"

namespace {
constexpr int kSampleTypeStandard = 1;  // as GetSampleTypeEnum numbers the type text
constexpr int kSampleTypeSolvent = 7;

// Settings an assigned peak takes from its entry under the same name (0 on an unassigned one).
#define QUAN_ENTRY_SETTINGS(X) \
    X(UserRFMode)              \
    X(UserRF)                  \
    X(LocateBy)                \
    X(LocateChoice)            \
    X(RRTRef)                  \
    X(RAH)                     \
    X(RCalc)                   \
    X(RRef)                    \
    X(WeightingFunction)       \
    X(PredRRT)                 \
    X(LocateRTWin)             \
    X(PredResp)                \
    X(LocateRespWin)           \
    X(RSubX)                   \
    X(RSubY)                   \
    X(StdConc)                 \
    X(StdLevels)               \
    X(UseEMPC)                 \
    X(UseMulti)

// Results that calibration and quantification fill in afresh for every peak.
#define QUAN_LATER_RESULTS(X)                                                                           \
    X(CCalc) X(XYTrans) X(ZeroResp) X(Origin)                                                            \
    X(MinArea) X(MinHeight) X(DetectionThreshold) X(QuantitationThreshold) X(LinearityLimit)            \
    X(CarryOverThreshold) X(CCThreshold) X(UserRatio)                                                    \
    X(MinAreaFlag) X(MinHeightFlag) X(LOLFlag) X(COLFlag) X(MinCCFlag) X(NoSolutionFlag) X(LODFlag)      \
    X(LOQFlag) X(CoeffDetFlag) X(MaxConcFlag) X(ReportFlag) X(RecoveryFlag)                              \
    X(AnalConc) X(ValidConc) X(Blank) X(BSAnalConc) X(BlankSubtractConc) X(EMPC) X(TotalsNumPeaks)      \
    X(PeakQuality)

// What location wrote on an assigned peak; an unassigned peak has them cleared.
#define QUAN_LOCATION_RESULTS(X)                                                                        \
    X(SecondaryPeaks) X(ActualIonRatio) X(SecondaryArea) X(SecondaryHeight) X(AbsResponse) X(Response)  \
    X(CorrectedResponse) X(AbsCorrectedResponse) X(IonRatio) X(IonRatioWin) X(IRWinFlag)                \
    X(SignalToNoiseLODFlag) X(SignalToNoiseLOQFlag)


int SampleTypeNumber(const CSampleRecord& sample) {
    int type = 1;
    sample.GetType(type);
    return type;
}
}  // namespace

int CQuanLocate::QuanUpdateLocatedPDBEntries(CPeakList& peaks, CMethodList& methods, const CSampleRecord& sample) {
    const int n = methods.GetSize();
    const std::string methodName = methods.GetDBName();
    const std::string methodDate = methods.GetCreationDate();
    const std::string methodTime = methods.GetCreationTime();
    const bool standardSample = GetSampleTypeEnum(sample.GetType()) == kSampleTypeStandard;
    const int sampleType = SampleTypeNumber(sample);

    const int size = peaks.GetSize();
    for (int j = 0; j < size; ++j) {
        CPeakData* peak = PeakAt(peaks, j);
        if (peak == nullptr) continue;
        CPeakData& p = *peak;
        const int e = p.GetMDBEntry();
        p.SetSolventFlag(0);
        if (e > n) return kPeakNamesNoEntry;
        const CMethodData* m = e > 0 ? EntryAt(methods, e) : nullptr;

        p.SetMethodName(methodName);
        p.SetMethodDate(methodDate);
        p.SetMethodTime(methodTime);
        p.SetMDBEntry(e);
        p.SetCurveDBName("");
        p.SetCurveDBDate("");
        p.SetCurveDBTime("");

#define QUAN_RESET(Name) p.Set##Name(0);
        QUAN_LATER_RESULTS(QUAN_RESET)
#undef QUAN_RESET
        p.SetPeakQualityStr("");

        if (m != nullptr) {
            p.SetName(m->GetName());
            p.SetCas(m->GetCas());
            p.SetRepUnits(m->GetRepUnits());
            p.SetFlags(m->GetFlags());
#define QUAN_COPY(Name) p.Set##Name(m->Get##Name());
            QUAN_ENTRY_SETTINGS(QUAN_COPY)
#undef QUAN_COPY
            // The retention time the search was centred on, which for an entry located
            // relative to a reference is not the method's predicted time.
            p.SetPredRT(m->GetSoughtRT());
            p.SetLODFactor(static_cast<float>(m->GetDetectionThreshold()));
            p.SetLOQFactor(static_cast<float>(m->GetQuantitationThreshold()));
            p.SetFixedConc(m->GetFixedConc());
            p.SetRRF(p.GetFixedConc() > 0.0 ? p.GetResponse() / p.GetFixedConc() : 0.0);
            const CMethodData* reference = EntryAt(methods, m->GetRRTRef());
            p.SetFoundRRT(reference != nullptr && reference->GetFoundRT() > 0.0f
                              ? m->GetFoundRT() / reference->GetFoundRT()
                              : 0.0f);
            for (int k = 0; k < CMethodData::kMaxStandards; ++k) p.SetIntStd(k, m->GetIStd(k));
        } else {
            p.SetName("");
            p.SetCas("");
            p.SetRepUnits("");
            p.SetFlags("");
#define QUAN_CLEAR(Name) p.Set##Name(0);
            QUAN_ENTRY_SETTINGS(QUAN_CLEAR)
            QUAN_LOCATION_RESULTS(QUAN_CLEAR)
#undef QUAN_CLEAR
            p.SetPredRT(0.0f);
            p.SetLODFactor(0.0f);
            p.SetLOQFactor(0.0f);
            p.SetFixedConc(0.0);
            p.SetRRF(0.0);
            p.SetFoundRRT(0.0f);
            for (int k = 0; k < CMethodData::kMaxStandards; ++k) p.SetIntStd(k, 0);
        }

        // Standards, and compounds at a fixed concentration, are not diluted by the sample.
        if (standardSample || (m != nullptr && m->GetStdLevels() == kStdLevelFixed)) {
            p.SetUserDivisor1(1.0);
            p.SetUserFactor3(1.0);
            p.SetInjectionVolume(1.0);
            p.SetUserFactor2(1.0);
            p.SetGPDilutionFactor(1.0);
            p.SetStockDilutionFactor(1.0);
            p.SetUserFactor1(1.0);
        } else {
            p.SetUserDivisor1(sample.GetUserDivisor1());
            p.SetUserFactor3(sample.GetUserFactor3());
            p.SetInjectionVolume(sample.GetInjectionVolume());
            p.SetUserFactor2(sample.GetUserFactor2());
            p.SetGPDilutionFactor(sample.GetUserFactor1());
            p.SetStockDilutionFactor(sample.GetStockDilution());
            p.SetUserFactor1(m != nullptr ? m->GetUserFactor() : 0.0);
        }

        if (m != nullptr && m->GetMonitorSolventEnabled() != 0 && sampleType == kSampleTypeSolvent &&
            p.GetAbsResponse() > m->GetMonitorSolventConc())
            p.SetSolventFlag(1);

        p.SetQCPKAsymmetryFlag(0);
        p.SetPeakAsymmetryFlag(0);
        if (m != nullptr && m->GetUseAsymmetryExpected() != 0 && m->GetAsymmetryExpectedValue() > 0.0 && !m->IsTotals()) {
            const double expected = m->GetAsymmetryExpectedValue();
            const double halfWindow = expected * 0.01 * m->GetAsymmetryWindow();
            const double asymmetry = p.GetPeakAsymmetryValue();
            if (asymmetry < expected - halfWindow || asymmetry > expected + halfWindow) {
                p.SetPeakAsymmetryFlag(1);
                if (MonitorEnabled(*m, Monitor::Shape, sampleType)) p.SetQCPKAsymmetryFlag(1);
            }
        }
    }
    return kLocateOK;
}

#undef QUAN_ENTRY_SETTINGS
#undef QUAN_LATER_RESULTS
#undef QUAN_LOCATION_RESULTS
