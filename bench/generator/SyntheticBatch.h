// Synthetic but lab-shaped data for the benchmarks and the batch stress test: a multi-residue
// MRM method (internal standards, analytes with zero to two qualifier transitions, each analyte
// referred to an internal standard), sample peak lists in which about a third of the peaks are
// the method's compounds and the rest interferences on the same transitions, and whole batch
// folders in the batch tool's input format (method.xml, batch.csv, peaks/<id>.csv).
//
// Everything follows from the seed: the same seed and sizes give the same bytes on every
// machine (own random generator, no library distributions, fixed number formats).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "quan.h"

namespace bench {

// splitmix64: small, fast and identical everywhere.
class Random {
public:
    explicit Random(uint64_t seed) : m_state(seed) {}
    uint64_t Next();
    double Uniform(double low, double high);  // [low, high)
    int Below(int count);                       // 0 .. count - 1
    bool Chance(double probability) { return Uniform(0.0, 1.0) < probability; }

private:
    uint64_t m_state;
};

// One mass trace of the method; `id` is unique over the method (and -1 for traces no entry uses).
struct Trace {
    std::string text;
    int id = -1;
};

struct Compound {
    std::string name;
    bool internalStandard = false;
    int internalStandardEntry = 0;  // 1-based entry of its internal standard (0 for a standard)
    float predictedRT = 0.0f;
    Trace quan;
    std::vector<Trace> qualifiers;  // 0 to 2
    std::vector<double> ratios;     // main / qualifier response, one per qualifier
    double sensitivity = 1.0;       // response per unit concentration against its standard
};

// A peak as the integrator reports it; the batch tool's peak-file columns.
struct PeakRow {
    Trace trace;
    float foundRT = 0.0f;
    double area = 0.0;
    double height = 0.0;
    double chromNoise = 0.0;
    int integratedAs = 0;  // MDBIntegrateEntryPeak: 0 main trace, k + 1 qualifier trace k
};

enum class SampleKind { Standard, QC, Blank, Analyte };

struct SamplePlan {
    std::string id;
    SampleKind kind = SampleKind::Analyte;
    double level = 0.0;  // concentration of every compound in a standard or QC
    int index = 0;       // position in the batch: seeds the sample's peaks
};

class SyntheticMethod {
public:
    static constexpr double kInternalStandardConc = 10.0;
    static constexpr float kLocateWindow = 0.1f;
    static constexpr float kQualifierWindow = 0.05f;
    static constexpr int kIonRatioWindowPercent = 20;

    // `entries` compounds (the first twenty-fifth, at least one, internal standards), each with
    // `qualifiers` qualifier traces (0 to 2).
    SyntheticMethod(int entries, int qualifiers, uint64_t seed = 20240611);

    int Entries() const { return static_cast<int>(m_compounds.size()); }
    int Qualifiers() const { return m_qualifiers; }
    int TraceCount() const { return m_traceCount; }
    const std::vector<Compound>& Compounds() const { return m_compounds; }

    // The method document in the form the method list reads.
    std::string MethodXML() const;
    // The method list read from that document (so both forms say the same).
    CMethodList MethodList() const;

    // The peaks of one sample, sorted by retention time: compound peaks for about a third of
    // `peakCount` (every internal standard always), interferences for the rest.
    std::vector<PeakRow> SamplePeaks(const SamplePlan& sample, int peakCount) const;
    static CPeakList PeakList(const std::vector<PeakRow>& rows);
    static std::string PeakFileCSV(const std::vector<PeakRow>& rows);

    // An empty curve per entry, in method order, named after the entry's calibration compound.
    CCalibrationList EmptyCurves() const;

private:
    Trace MakeTrace(int entryIndex, int slot);
    double ConcentrationIn(const SamplePlan& sample, int entryIndex, Random& random) const;

    std::vector<Compound> m_compounds;
    int m_qualifiers;
    int m_traceCount = 0;
    uint64_t m_seed;
};

// The batch's samples in injection order: six calibration standards, a blank, then analytes
// with a QC after every tenth; `count` of at least 8.
std::vector<SamplePlan> BatchPlan(int count);

// Writes method.xml, batch.csv and peaks/<id>.csv under `folder` (created). False with
// `error` set when a file cannot be written.
bool WriteBatchFolder(const std::string& folder, const SyntheticMethod& method, int samples, int peaksPerSample,
                      std::string& error);

}  // namespace bench
