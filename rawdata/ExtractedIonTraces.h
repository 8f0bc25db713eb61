// Extracted-ion chromatograms built from spectra, one spectrum at a time, for the requests a
// file's chromatograms do not answer. A spectrum adds a point to a request's trace when it
// measured the request's mass: a full-scan or SIM spectrum (MS level 1) for a single mass, an
// MS/MS or SRM spectrum whose precursor is the transition's Q1 for a transition (its product
// m/z then being the Q3). It measured the mass when one of its scan windows holds it; a SIM
// spectrum without windows measured it when it has a point within the mass window, any other
// spectrum without windows always. The point is the sum of the intensities within the mass
// window (centroid or profile alike), at the spectrum's time.
//
// Spectra of different acquisition functions make separate traces, since interleaving two
// experiments' points would make one meaningless trace; a request that names no function gets
// the trace of the function with the most points.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "rawdata/Chromatogram.h"
#include "rawdata/TraceRequest.h"

namespace RawData {

struct Spectrum {
    int msLevel = 0;            // 0 when the file does not say
    bool sim = false;
    double precursorMz = 0.0;   // 0 without a precursor
    double minutes = 0.0;
    int function = 0;           // 0 when the file has none
    int scan = 0;
    std::vector<std::pair<double, double>> scanWindows;  // lower and upper m/z
    std::vector<double> mz;          // in any order; sorted by Add
    std::vector<double> intensities;  // one per m/z, all finite
};

class ExtractedIonTraces {
public:
    explicit ExtractedIonTraces(const std::vector<TraceRequest>& requests) : m_requests(requests) {}

    // Whether some request could take a point from such a spectrum (so its arrays are worth
    // decoding).
    bool Wants(int msLevel, double precursorMz, int function) const;
    // Adds the spectrum's points. Returns an empty string, or what is wrong: a time that does
    // not come after the trace's last one.
    std::string Add(Spectrum& spectrum);
    // Appends the trace of each request not `answered` otherwise (one per request at most);
    // requests without either go to `unmatched`.
    void Finish(const std::vector<bool>& answered, std::vector<Chromatogram>& out, std::vector<std::string>& unmatched);

private:
    struct Trace {
        size_t request = 0;
        int function = 0;
        Chromatogram chromatogram;
    };
    bool Takes(const TraceRequest& request, int msLevel, double precursorMz, int function) const;
    std::string AddPoint(size_t request, double mass, const Spectrum& spectrum);

    const std::vector<TraceRequest>& m_requests;
    std::vector<Trace> m_traces;
    std::map<std::pair<size_t, int>, size_t> m_traceIndex;  // (request, function) -> trace
};

}  // namespace RawData
