// Shared by the location engine's tests: access to the engine's private operations, and small
// builders for method entries, peaks and samples so that each test states only what it varies.
#pragma once

#include "ListBuilders.h"

#include <string>
#include <vector>

#include "locate/LocateStatus.h"
#include "locate/QuanLocate.h"

struct QuanLocateTestAccess {
    static int LocateByRT(CQuanLocate& engine, CPeakList& peaks, CMethodData& entry, int i) {
        return engine.LocateByRT(peaks, entry, i);
    }
    static int LocateSecondary(CQuanLocate& engine, CPeakList& peaks, CPeakData& primary, CMethodData& entry,
                               int i, int mustExist, int k) {
        return engine.LocateSecondary(peaks, primary, entry, i, mustExist, k);
    }
    static bool GetPeakResponseRatio(const CQuanLocate& engine, const CPeakData& primary, const CPeakData& secondary,
                                     const CMethodData& entry, double* ratio, bool* within, int k) {
        return engine.GetPeakResponseRatio(primary, secondary, entry, ratio, within, k);
    }
    static bool ChromatogramsIdenticalMRM(CQuanLocate& engine, const std::string& a, const std::string& b,
                                          bool second) {
        return engine.ChromatogramsIdenticalMRM(a, b, second);
    }
    static void GetEntryAbsoluteResponse(const CQuanLocate& engine, const CPeakData& peak, CPeakData* const* q,
                                         const CMethodData& entry, double& abs, double& noise, double& factor,
                                         double& corrected) {
        engine.GetEntryAbsoluteResponse(peak, q, entry, abs, noise, factor, corrected);
    }
    static int UpdateLocatedEntry(CQuanLocate& engine, CPeakData& peak, CPeakData* const* q, CMethodData& entry,
                                  int i, int id) {
        return engine.UpdateLocatedEntry(peak, q, entry, i, id);
    }
    static void SetSampleType(CQuanLocate& engine, int type) { engine.m_sampleType = type; }
    static const std::string& PeriodicDBName(const CQuanLocate& engine) { return engine.GetPeriodicDBName(); }
};

namespace locate_test {

// Locate methods and choice rules as the method stores them.
constexpr int kRNUM = 0, kRT = 1, kRRT = 2, kPeakCentre = 6;
constexpr int kClosest = 0, kLargest = 1, kEarliest = 2, kLatest = 3, kFirst = 4;

// An "RT" entry on trace 304.0 searched at predRT with the given window, area-based, one trace.
inline CMethodData Entry(float predRT, float window = 0.5f, const std::string& trace = "304.0") {
    CMethodData entry;
    entry.SetName("compound");
    entry.SetQuanTrace(trace);
    entry.SetLocateBy(kRT);
    entry.SetLocateChoice(kClosest);
    entry.SetPredRT(predRT);
    entry.SetLocateRTWin(window);
    entry.SetRAH(0);
    entry.SetQuantificationTraces(1);
    entry.SetStdLevels(0);
    return entry;
}

// A real peak of trace 304.0 at foundRT.
inline CPeakData Peak(float foundRT, double area = 1000.0, double height = 100.0,
                      const std::string& trace = "304.0") {
    CPeakData peak;
    peak.SetQuanTrace(trace);
    peak.SetFoundRT(foundRT);
    peak.SetArea(area);
    peak.SetHeight(height);
    return peak;
}

// A qualifier peak: integrated as a target trace of some entry.
inline CPeakData Qualifier(float foundRT, double area, const std::string& trace = "306.0") {
    CPeakData peak = Peak(foundRT, area, area / 10.0, trace);
    peak.SetMDBIntegrateEntryPeak(1);
    return peak;
}

inline CPeakData Placeholder(const std::string& trace = "304.0") {
    CPeakData peak = Peak(0.0f, 0.0, 0.0, trace);
    peak.SetPlaceHolder(1);
    return peak;
}

using test_lists::Methods;

using test_lists::Peaks;

inline CSampleRecord Sample(int type = 0) {
    CSampleRecord sample;
    sample.SetType(type);
    return sample;
}

// Runs one location with a fresh engine unless one is given.
inline int Locate(CMethodList& methods, CPeakList& peaks, int sampleType = 0) {
    CQuanLocate engine;
    CSampleRecord sample = Sample(sampleType);
    return engine.QuanDoLocation(methods, peaks, sample, "periodic.db");
}

}  // namespace locate_test
