// Shared by the location engine's tests: access to the engine's private operations, and small
// builders for method entries, peaks and samples so that each test states only what it varies;
// for the steps that complete a run (internal-standard responses, totals, responses, the
// peak-list update), element records and a periodic-table database file made for one test.
#pragma once

#include "ListBuilders.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "calibrate/ElementRecord.h"
#include "calibrate/PeriodicDatabase.h"
#include "locate/LocateStatus.h"
#include "locate/QuanLocate.h"
#include "platform/FlatDatabase.h"
#include "records/KeywordTables.h"

struct QuanLocateTestAccess {
    static int LocateSecondary(CQuanLocate& engine, CPeakList& peaks, CPeakData& primary, CMethodData& entry,
                               int i, int mustExist, int k) {
        return engine.LocateSecondary(peaks, primary, entry, i, mustExist, k);
    }
    static bool GetPeakResponseRatio(const CQuanLocate& engine, const CPeakData& primary, const CPeakData& secondary,
                                     const CMethodData& entry, double* ratio, bool* within, int k) {
        return engine.GetPeakResponseRatio(primary, secondary, entry, ratio, within, k);
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
    static bool SameTraceText(CQuanLocate& engine, const std::string& a, const std::string& b) {
        return engine.ChromatogramsIdentical(a, b);
    }
};

namespace locate_test {

using test_lists::Methods;
using test_lists::Peaks;
using test_lists::With;

// An "RT" entry on trace 304.0 searched at predRT with the given window, area-based, one trace.
inline CMethodData Entry(float predRT, float window = 0.5f, const std::string& trace = "304.0") {
    CMethodData entry;
    entry.SetName("compound");
    entry.SetQuanTrace(trace);
    entry.SetLocateBy(kLocateByRT);
    entry.SetLocateChoice(CMethodData::kChooseClosest);
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
    return With(Peak(foundRT, area, area / 10.0, trace), [](CPeakData& p) { p.SetMDBIntegrateEntryPeak(1); });
}

// A placeholder for a peak integration did not find.
inline CPeakData Placeholder(const std::string& trace = "304.0") {
    return With(Peak(0.0f, 0.0, 0.0, trace), [](CPeakData& p) { p.SetPlaceHolder(1); });
}

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

struct LocateCompletionTestAccess {
    static int CalculateISResponses(CQuanLocate& engine, CMethodList& methods) {
        return engine.CalculateISResponses(methods);
    }
    static int UpdateMethodISResponse(CQuanLocate& engine, CMethodList& methods, int i) {
        return engine.UpdateMethodISResponse(methods, i);
    }
    static int UpdateResponseFields(CQuanLocate& engine, CPeakList& peaks, int j, CMethodList& methods, int e) {
        return engine.UpdateResponseFields(peaks, j, methods, e);
    }
    static double CalculateFormula(CQuanLocate& engine, CPeakList& peaks, const tagELEMENTstruct& element) {
        return engine.CalculateFormula(peaks, element);
    }
    static int QuanUpdateLocatedPDBEntries(CQuanLocate& engine, CPeakList& peaks, CMethodList& methods,
                                           const CSampleRecord& sample) {
        return engine.QuanUpdateLocatedPDBEntries(peaks, methods, sample);
    }
    static int LocateMethodEntryTotals(CQuanLocate& engine, CPeakList& peaks, CMethodList& methods, int i) {
        return engine.LocateMethodEntryTotals(peaks, methods, i);
    }
    static int LocateCalculateTotalsPeak(CQuanLocate& engine, CPeakData* totals, const CPeakList& peaks,
                                         const CMethodData& entry, int k) {
        return engine.LocateCalculateTotalsPeak(totals, peaks, entry, k);
    }
};

namespace completion_test {
using Access = LocateCompletionTestAccess;


// A compound on `trace` at predRT, area-based, quantified on its main trace only.
inline CMethodData Entry(const std::string& name, float predRT = 5.0f, const std::string& trace = "290.0") {
    CMethodData entry = locate_test::Entry(predRT, 0.2f, trace);
    entry.SetName(name);
    for (int k = 0; k < 6; ++k) entry.SetIStd(k, -1);
    return entry;
}

// An entry as location leaves an internal standard: located (unless 0) with an absolute response.
inline CMethodData LocatedStandard(double absResponse, double fixedConc, double noise = 0.0, int located = 1) {
    CMethodData entry = Entry("standard");
    entry.SetLocated(located);
    entry.SetAbsResponse(absResponse);
    entry.SetFixedConc(fixedConc);
    entry.SetNoiseConversion(noise);
    return entry;
}

inline CPeakData Peak(float foundRT, double area, double height, const std::string& trace = "290.0") {
    return locate_test::Peak(foundRT, area, height, trace);
}

// A peak as location leaves it: assigned to entry e with its absolute values.
inline CPeakData AssignedPeak(int e, double absResponse, double absNoise = 0.0, double absCorrected = 0.0) {
    CPeakData peak = Peak(5.0f, absResponse, absResponse / 10.0);
    peak.SetMDBEntry(e);
    peak.SetAbsResponse(absResponse);
    peak.SetAbsNoiseHeight(absNoise);
    peak.SetAbsCorrectedResponse(absCorrected);
    return peak;
}

using locate_test::Methods;
using locate_test::Peaks;
using locate_test::Sample;
using locate_test::With;

// One element record: symbol, element mass, and isotope slots from 1 as (mass, abundance).
struct Isotope {
    double mass, abundance;
};
inline tagELEMENTstruct Element(const char* symbol, double elementMass, const std::vector<Isotope>& isotopes) {
    tagELEMENTstruct element;
    std::memset(&element, 0, sizeof element);
    std::strncpy(element.Symbol, symbol, sizeof element.Symbol - 1);
    element.ElementMass = elementMass;
    int slot = 1;
    for (const Isotope& isotope : isotopes) {
        element.Isotopes[slot].Mass = isotope.mass;
        element.Isotopes[slot].Abundance = isotope.abundance;
        element.IsotopeInUse[slot] = 1;
        ++slot;
    }
    return element;
}

inline void AddInterference(tagELEMENTstruct& element, int k, const char* name, int slot, double mass, double factor) {
    std::strncpy(element.Interferences[k].Name, name, sizeof element.Interferences[k].Name - 1);
    element.Interferences[k].IsotopeSlot = slot;
    element.Interferences[k].Mass = mass;
    element.Interferences[k].Factor = factor;
    element.InterferenceInUse[k] = 1;
}

// A periodic-table database file holding the given elements, removed with the object. The
// database is closed again before the constructor returns, so every test starts and must end
// with the open count it found.
class PeriodicDatabaseFile {
public:
    PeriodicDatabaseFile(const std::string& leafName, const std::vector<std::pair<int, tagELEMENTstruct>>& elements)
        : m_path(testing::TempDir() + leafName) {
        EXPECT_EQ(FlatDatabase::CreateTable(m_path, sizeof(tagELEMENTstruct)), FlatDatabase::kOk);
        EXPECT_TRUE(OpenFlatDatabase(kPeriodicDatabaseKind, m_path.c_str(), true));
        for (const auto& [atomicNumber, element] : elements) EXPECT_EQ(WriteElementRecord(atomicNumber, element), 0);
        CloseFlatDatabase(kPeriodicDatabaseKind);
    }
    ~PeriodicDatabaseFile() { std::remove(m_path.c_str()); }
    PeriodicDatabaseFile(const PeriodicDatabaseFile&) = delete;
    PeriodicDatabaseFile& operator=(const PeriodicDatabaseFile&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace completion_test
