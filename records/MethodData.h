// One method entry: the persistent settings of a compound (the record library's method record)
// plus the working state that location fills in for the sample being processed, and a cache of
// mass-trace comparitors shared between copies by reference count.
#pragma once

#include <array>
#include <string>

#include "platform/MassStringComparitor.h"
#include "platform/MethodRecord.h"

struct tagINTEGRATE_PARAMS;

class CMethodData : public CMethodRecord {
    QUAN_DECLARE_CLASS(CMethodData)
public:
    // Comparitor slots: 0 the quantification trace, 1 to 4 the target traces 0 to 3.
    static constexpr int kNumComparitors = 5;
    // Values of GetLocateChoice: how location chooses among the peaks inside the window, then
    // the values that mark totals entries.
    static constexpr int kChooseClosest = 0;
    static constexpr int kChooseLargestResponse = 1;
    static constexpr int kChooseEarliest = 2;
    static constexpr int kChooseLatest = 3;
    static constexpr int kChooseFirst = 4;
    static constexpr int kTotalsChoice = 5;
    static constexpr int kTotalsGroupChoice = 6;
    // Internal-standard slots of an entry (IStd 0 to 5).
    static constexpr int kMaxStandards = 6;

    CMethodData();
    explicit CMethodData(const CMethodRecord& record);
    CMethodData(const CMethodData& other);
    ~CMethodData() override;

    CMethodData& operator=(const CMethodData& other);
    CMethodData& operator=(const CMethodRecord& record);
    void CopyData(const CMethodData& other);

    const char* GetBaseClassName() const override { return CMethodRecord::StaticClassName(); }

    // Working state.
    int GetLocatedPDBEntry() const { return m_locatedPDBEntry; }
    void SetLocatedPDBEntry(int value) { m_locatedPDBEntry = value; }
    int GetBackTrackMDBEntry() const { return m_backTrackMDBEntry; }
    void SetBackTrackMDBEntry(int value) { m_backTrackMDBEntry = value; }
    int GetLocated() const { return m_located; }
    void SetLocated(int value) { m_located = value; }
    int GetLocateFailed() const { return m_locateFailed; }
    void SetLocateFailed(int value) { m_locateFailed = value; }
    double GetAbsResponse() const { return m_absResponse; }
    void SetAbsResponse(double value) { m_absResponse = value; }
    double GetResponse() const { return m_response; }
    void SetResponse(double value) { m_response = value; }
    double GetFixedConc() const { return m_fixedConc; }
    void SetFixedConc(double value) { m_fixedConc = value; }
    float GetSoughtRT() const { return m_soughtRT; }
    void SetSoughtRT(float value) { m_soughtRT = value; }
    float GetFoundRT() const { return m_foundRT; }
    void SetFoundRT(float value) { m_foundRT = value; }
    double GetISResponse() const { return m_isResponse; }
    void SetISResponse(double value) { m_isResponse = value; }
    int GetNumISResponses() const { return m_numISResponses; }
    void SetNumISResponses(int value) { m_numISResponses = value; }
    double GetNoiseConversion() const { return m_noiseConversion; }
    void SetNoiseConversion(double value) { m_noiseConversion = value; }

    // Forwarders to the record under the names the engines use.
    int GetIntStd(const int& index) const { return GetIStd(index); }
    void SetIntStd(const int& index, int value) { SetIStd(index, value); }
    double GetCorrResponse() const { return GetCorrectedResponse(); }
    void SetCorrResponse(const double& value) { SetCorrectedResponse(value); }
    double GetAbsCorrResponse() const { return GetAbsCorrectedResponse(); }
    void SetAbsCorrResponse(const double& value) { SetAbsCorrectedResponse(value); }
    double GetUnlabledRatio() const { return GetUnlabelledRatio(); }
    void SetUnlabledRatio(const double& value) { SetUnlabelledRatio(value); }
    double GetLabledRatio() const { return GetLabelledRatio(); }
    void SetLabledRatio(const double& value) { SetLabelledRatio(value); }
    int GetUseMolRatio() const { return GetMoleRatio(); }
    void SetUseMolRatio(int value) { SetMoleRatio(value); }

    bool GetTotalsEntry() const { return GetLocateChoice() == kTotalsChoice; }
    bool GetTotalsGroupEntry() const { return GetLocateChoice() == kTotalsGroupChoice; }
    // A totals or totals-group entry: its result sums other entries'.
    bool IsTotals() const { return GetTotalsEntry() || GetTotalsGroupEntry(); }
    bool UseTargetOverQuan() const { return GetTargetIonRatioMethod() == 1; }

    // The chromatogram mass window; `isAbsolute` receives the record's absolute switch.
    float GetChroMassWindow(int& isAbsolute) const;

    // The comparitor of a trace slot, built on first use; null for a slot outside 0..4.
    CMassStringComparitor* GetMassComparitor(int slot);

    // Fills the integration block from this entry, or from the integration settings file.
    bool GetIntegrateParameters(tagINTEGRATE_PARAMS* block, const bool& fromSettingsFile) const;

private:
    void Initialise();
    void ReleaseComparitors();
    void CopyWorkingState(const CMethodData& other);

    int m_locatedPDBEntry;
    int m_backTrackMDBEntry;
    int m_located;
    int m_locateFailed;
    double m_absResponse;
    double m_response;
    double m_fixedConc;
    float m_soughtRT;
    float m_foundRT;
    double m_isResponse;
    int m_numISResponses;
    double m_noiseConversion;
    std::array<CMassStringComparitor*, kNumComparitors> m_comparitors;
};
