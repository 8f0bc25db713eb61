// The location engine: for one sample, assigns to every method entry the peak of the sample's
// peak list that represents the compound, with its qualifier peaks, absolute responses,
// signal-to-noise and flags, then the totals, internal-standard responses and responses, and
// finally copies the method settings into the peaks.
//
// Invariants of a run: method entries are numbered from 1 in list order (entry i is GetAt(i - 1));
// a peak's MDBEntry is the number of its entry, 0 while unassigned, and an assigned peak is never
// a candidate again; an entry passes from not located to located at most once. Empty slots of
// either list are passed over. The engine keeps only the periodic-table database name and the
// sample type between calls; everything else lives in the records passed in.
#pragma once

#include <string>

#include "locate/PeakTraceIndex.h"
#include "platform/ClassFramework.h"
#include "platform/SampleRecord.h"
#include "records/MethodList.h"
#include "records/PeakList.h"

struct tagELEMENTstruct;
class CMassStringComparitor;

class CQuanLocate : public CQuanObject {
    QUAN_DECLARE_CLASS(CQuanLocate)
public:
    CQuanLocate() = default;
    ~CQuanLocate() override = default;

    // Locates every entry of `methods` in `peaks` for the sample and computes the responses.
    // Returns 0 or one of the status codes of locate/LocateStatus.h.
    int QuanDoLocation(CMethodList& methods, CPeakList& peaks, CSampleRecord& sample,
                       const std::string& periodicDBName);

private:
    friend struct QuanLocateTestAccess;
    friend struct LocateCompletionTestAccess;

    static constexpr int kNumTargets = 4;

    // --- driver and retention-time location (QuanLocate.cpp) ---
    int CreateMethodArrayWorkingData(CMethodList& methods, const CSampleRecord& sample);
    int InitialisePeakLocateInformation(CPeakList& peaks);
    int LocateAnalytesInPDB(CPeakList& peaks, CMethodList& methods, bool listsOfEqualLength);
    int WalkFromEntry(CPeakList& peaks, CMethodList& methods, int start, bool listsOfEqualLength,
                      bool& backTrackPossible);
    int LocateEntry(CPeakList& peaks, CMethodList& methods, CMethodData& entry, int i, bool listsOfEqualLength,
                    bool& backTrackPossible);
    static void ClearBackTrackEntries(CMethodList& methods);
    int LocateByRT(CPeakList& peaks, CMethodData& entry, int entryNumber);
    bool ChromatogramsIdentical(CPeakData& peak, CMethodData& entry, int slot);
    bool ChromatogramsIdentical(const std::string& a, const std::string& b);
    bool ChromatogramsIdenticalMRM(const std::string& a, const std::string& b, bool secondMass);
    int ConvertTraceChannelsToMasses(const CPeakData& peak, const CMethodData& entry, bool targetTrace);
    int GetSampleTypeEnum(const std::string& sampleType) const;
    void ProcessYield();

    const std::string& GetPeriodicDBName() const { return m_periodicDBName; }
    void SetPeriodicDBName(const std::string& name) { m_periodicDBName = name; }

    // --- other strategies and qualifier traces (LocateStrategies.cpp) ---
    int LocateByRRT(CPeakList& peaks, CMethodList& methods, int entryNumber);
    int LocateByRecordNumber(CPeakData& peak, CMethodData& entry, int entryNumber);
    int LocateByPeakCentre(CPeakList& peaks, CMethodList& methods, int entryNumber);
    int LocateByResponse(CPeakList& peaks, CMethodList& methods, int entryNumber);
    int LocateByCombination(CPeakList& peaks, CMethodList& methods, int entryNumber);
    int LocateByName(CPeakList& peaks, CMethodList& methods, int entryNumber);
    int LocateSecondary(CPeakList& peaks, CPeakData& primary, CMethodData& entry, int entryNumber,
                        int mustExist, int target);
    void CopySecondaryArray(const int* source, int* destination) const;
    // The entry is only read; it is taken by reference so that the qualifier search, which
    // calls this for every candidate pair, copies nothing.
    bool GetPeakResponseRatio(const CPeakData& primary, const CPeakData& secondary,
                              const CMethodData& entry, double* ratio, bool* withinWindow,
                              const int& target) const;
    double GetEntryPeakResponse(const CPeakData& peak, const CMethodData& entry) const;

    // --- located-entry update, absolute responses, signal-to-noise (LocatedEntryUpdate.cpp) ---
    int UpdateLocatedEntry(CPeakData& peak, CPeakData* const* qualifiers, CMethodData& entry,
                           int entryNumber, int peakID);
    void GetEntryAbsoluteResponse(const CPeakData& peak, CPeakData* const* qualifiers,
                                  const CMethodData& entry, double& absResponse, double& absNoise,
                                  double& noiseFactor, double& absCorrectedResponse) const;
    double CalcNoiseFactor(const CPeakData* peak, CPeakData* const* qualifiers,
                           const CMethodData* entry) const;

    // --- internal-standard responses ---
    int CalculateISResponses(CMethodList& methods);
    int UpdateMethodISResponse(CMethodList& methods, int entryNumber);
    int CalculateTotalsISResponses(CMethodList& methods);
    int UpdateMethodTotalISResponse(CMethodList& methods, int entryNumber);

    // --- totals location ---
    int LocateMethodTotals(CPeakList& peaks, CMethodList& methods);
    int LocateMethodEntryTotals(CPeakList& peaks, CMethodList& methods, int entryNumber);
    bool CheckForMatchingNamed(const CPeakData& earlier, const CPeakData& candidate) const;
    int LocateCalculateTotalsEntries(CPeakList* peaks, CMethodList* methods);
    int LocateCalculateTotalsEntry(CPeakList* peaks, const CMethodData& entry, int entryNumber);
    int LocateCalculateTotalsPeak(CPeakData* totalsPeak, const CPeakList& peaks,
                                  const CMethodData& entry, int target);

    // --- response calculation ---
    int CalculateResponses(CPeakList& peaks, CMethodList& methods);
    int UpdateResponseFields(CPeakList& peaks, int peakNumber, CMethodList& methods, int entryNumber);
    double CalculateRatio(CPeakList& peaks, CMethodData& entry);
    double CalculateFormula(CPeakList& peaks, tagELEMENTstruct element);

    // --- peak-list update after location ---
    int QuanUpdateLocatedPDBEntries(CPeakList& peaks, CMethodList& methods, const CSampleRecord& sample);

    // --- shared helpers ---
    // Entry number i (1-based), or null for a number outside the list or an empty slot.
    static CMethodData* EntryAt(const CMethodList& methods, int entryNumber);
    // Peak at list index j (0-based), or null for an index outside the list or an empty slot.
    static CPeakData* PeakAt(const CPeakList& peaks, int index);
    // 2 when the entry has an entry waiting for it, else 0: how every strategy ends.
    static int BackTrackStatus(const CMethodData& entry);
    // The peak's trace against an entry comparitor already fetched (null never matches).
    static bool SameTrace(CPeakData& peak, const CMassStringComparitor* entryComparitor);
    // Whether both monitoring switches of a kind are on for the current sample type, or for
    // the sample type given (0 analyte, 1 standard, 2 QC; other types monitor nothing).
    enum class Monitor { RetentionTime, IonRatio, SignalToNoise, Shape };
    bool MonitorEnabled(const CMethodData& entry, Monitor kind) const {
        return MonitorEnabled(entry, kind, m_sampleType);
    }
    static bool MonitorEnabled(const CMethodData& entry, Monitor kind, int sampleType);

    // The packed traces of the list being located, while LocateAnalytesInPDB runs; null
    // otherwise (a strategy called on its own then compares every peak in full).
    const CPeakTraceIndex* TraceIndexFor(const CPeakList& peaks) const {
        return m_traceIndexList == &peaks && m_traceIndex.Size() == peaks.GetSize() ? &m_traceIndex : nullptr;
    }

    std::string m_periodicDBName;
    int m_sampleType = 1;
    // Scratch of one run, kept only so that its storage is reused by the next.
    CPeakTraceIndex m_traceIndex;
    const CPeakList* m_traceIndexList = nullptr;
};
