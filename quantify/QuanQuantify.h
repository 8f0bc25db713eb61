// The quantification engine: turns the located peaks of one sample into reported
// concentrations. For every peak that represents a method compound it finds the compound's
// curve, inverts it at the peak's response, applies the sample's concentration factors,
// derives detection and quantitation limits from the noise, clamps and rounds the result,
// stores it with its toxic equivalents and bound values, and sets the result flags; totals
// and totals groups are summed last.
//
// Invariants: curve i of the calibration list belongs to method entry i, so the two lists have
// the same size. The engine keeps between calls only the periodic-table database name, its own
// copy of the current sample and the TLOD switch; one engine serves one sample at a time and
// can be reused for the next sample (set the sample, quantify again). Every result is written
// into the records passed in.
#pragma once

#include <string>

#include "calibrate/ElementRecord.h"
#include "platform/ClassFramework.h"
#include "records/CalibrationList.h"
#include "records/MethodList.h"
#include "records/PeakList.h"
#include "records/QuanSampleData.h"

class CQuanQuantify : public CQuanObject {
    QUAN_DECLARE_CLASS(CQuanQuantify)
public:
    CQuanQuantify() = default;
    ~CQuanQuantify() override = default;

    const std::string& GetPeriodicDBName() const { return m_periodicDBName; }
    void SetPeriodicDBName(const std::string& name) { m_periodicDBName = name; }
    void SetCurrentSample(const CQuanSampleData& sample) { m_currentSample = sample; }
    const CQuanSampleData& GetCurrentSample() const { return m_currentSample; }
    void SetCalculateUsingTLOD(bool value) { m_calculateUsingTLOD = value; }
    bool GetCalculateUsingTLOD() const { return m_calculateUsingTLOD; }

    // Quantifies every peak of the current sample. 0, or a status of quantify/QuantifyStatus.h.
    int DoQuantify(CCalibrationList* calList, CMethodList* methodList, CPeakList* peakList,
                   const std::string& periodicDBName);
    int QuantifyPDBEntries(CCalibrationList* calList, CPeakList* peakList, CMethodList* methodList);
    // One peak entry; `cal` may be null (user response factor, semi-quantitative entry).
    int QuantifyPDBEntry(CCalibrationData* cal, CPeakData* peak, CMethodList* methodList);
    // Stamps the curve database's file name, date and time into the peak entry.
    void SetCalData(const CCalibrationList* calList, CPeakData* peak) const;
    // The peak's copies of the sample factors, each applied only when strictly positive.
    double ApplyConcentrationFactors(const CPeakData* peak, double value) const;
    // floor(value * 10^decimals + 0.5) / 10^decimals; negative decimals count as 0.
    static double GetRoundedValue(double value, int decimals);

    // The concentration the curve maps `response` to (curve inversion). 0 with *conc set, or a
    // curve status of quantify/QuantifyStatus.h (4 and 13 leave *conc unchanged, 29 sets it 0).
    static int QuanGetConc(double response, double* conc, const double* coeffs, int curveType,
                           int axisTransform, double minConc, double maxConc);

    // --- totals and semi-quantitative entries ---
    int QuantifyTotalsEntries(CPeakList* peaks, CMethodList* methods);
    int QuantifyTotalsEntry(CPeakData* total, CPeakList* peaks, const CMethodData* method);
    int QuantifyTotalsGroupEntry(CPeakData* group, CPeakList* peaks, const CMethodData* method);
    // Stores the element-based concentration in the peak (SetAnalConc) and returns it; when
    // there is none, 0 is stored and returned and the peak flagged as having no solution.
    double DoSemiQuanQuan(CPeakData* peak, CMethodList* methods);
    // The response factor of the isotope whose nominal mass is the quantification trace's.
    static double FindResponseFactor(const CMethodData* method, tagELEMENTstruct element);

private:
    // The deviation-band settings of one sample kind (QC or standard).
    struct DeviationBands {
        double highThresh, midThresh, lowThresh;
        int highOn, midOn, lowOn;
        int midConcOn, lowConcOn;
        double midConc, lowConc;
    };

    // The curve database's name, date and time as SetCalData stamps them into a peak.
    struct CurveDBStamp {
        std::string name, date, time;
    };
    static CurveDBStamp StampOf(const CCalibrationList& calList);
    static void ApplyStamp(const CurveDBStamp& stamp, CPeakData& peak);

    int SampleType() const { return m_currentSample.GetSampleType(); }
    bool IsBlankSample() const { return SampleType() == CQuanSampleData::kBlank; }

    // --- result flags (ResultFlags.cpp) ---
    // The concentration flags of a stored result, in their order.
    void SetConcentrationFlags(CPeakData& peak, const CMethodData& method, const CCalibrationData* cal) const;
    void SetRecoveryFlag(CPeakData& peak, const CMethodData& method) const;
    static void SetDeviationBandFlags(CPeakData& peak, const DeviationBands& bands, double deviation);
    static DeviationBands QCBands(const CMethodData& method);
    static DeviationBands StandardBands(const CMethodData& method);
    // |stored - fixed| / fixed in per cent; 0 without a valid result, for totals, or with no
    // fixed concentration.
    static double ConcentrationDeviation(const CPeakData& peak);
    // The detection and quantitation flags of a total or group (set to 0 or 1), and its blank flag.
    void SetTotalsFlags(CPeakData& total, const CMethodData& method) const;

    // --- semi-quantification helpers (TotalsQuantify.cpp) ---
    double SemiQuanFailed(CPeakData& peak) const;

    std::string m_periodicDBName;
    CQuanSampleData m_currentSample;
    bool m_calculateUsingTLOD = false;
};
