// One chromatogram as the raw-data reader hands it to the integrator: a trace's intensities
// over retention time, with what identifies the trace (MRM transition, single mass or a named
// detector channel). Times are in minutes and strictly ascending; readers convert seconds and
// refuse data that goes backwards, so the integrator never has to.
#pragma once

#include <string>
#include <vector>

namespace RawData {

struct Chromatogram {
    std::string id;            // the file's own id (mzML chromatogram id, "EIC 304.2", channel name)
    std::string trace;         // the trace as a method writes it: "216.1>174.1", "304.2" or a channel name
    double precursorMz = 0.0;  // Q1 of an MRM transition, or the extracted mass; 0 for a detector channel
    double productMz = 0.0;    // Q3 of an MRM transition; 0 when there is none (SIM, extracted, channel)
    int function = 0;          // acquisition function the trace came from (0 when the file has one)
    std::vector<double> times;        // minutes, strictly ascending
    std::vector<double> intensities;  // same length as times, finite
    std::vector<int> scans;           // scan (spectrum) number of each point; empty when the file has none
};

}  // namespace RawData
