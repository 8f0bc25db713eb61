// What a method asks of a raw-data file: one request per distinct trace of its entries'
// quantification and qualifier traces, with the mass tolerance the entry allows and the
// acquisition function it names. Readers keep only the chromatograms some request matches, so
// a file of hundreds of transitions costs memory only for the few the method quantifies.
//
// Matching follows the location engine's idea of a trace: an MRM transition "216.1>174.1"
// matches a chromatogram whose precursor (Q1) and product (Q3) both lie within the tolerance,
// a single mass "304.2" matches a selected-ion or extracted chromatogram of that mass, and a
// name ("TIC", "UV_VIS_2") matches a chromatogram or detector channel of that name, ignoring
// case and surrounding blanks.
#pragma once

#include <string>
#include <vector>

#include "rawdata/Chromatogram.h"

class CMethodList;

namespace RawData {

enum class TraceKind { Transition, Mass, Name };

struct TraceRequest {
    std::string trace;  // as the method writes it; the chromatogram read for it carries this text
    TraceKind kind = TraceKind::Name;
    double precursorMz = 0.0;  // Q1, or the single mass
    double productMz = 0.0;    // Q3 of a transition
    // The chromatogram mass window is a full width centred on the mass: 1.0 Da accepts masses
    // within 0.5 Da. Absolute (Da) or relative (ppm of the mass), as the method entry says.
    double windowDa = 1.0;
    double windowPpm = 0.0;  // used instead of windowDa when above 0
    int function = 0;        // acquisition function the entry names; 0 for any

    // Half the window at `mz`: the largest distance at which a mass still matches.
    double Tolerance(double mz) const;
};

// Builds a request from a trace text. A text of one number is a mass, two numbers joined by
// '>' a transition; anything else (including more than two masses) is a name.
TraceRequest MakeTraceRequest(const std::string& trace, double windowDa = 1.0, double windowPpm = 0.0,
                              int function = 0);

// One request per distinct trace (ignoring case) and function among the entries' quantification
// and qualifier traces, in method order. An entry's chromatogram mass window (absolute or ppm)
// gives the tolerance; a window of 0 or less means the default of 1.0 Da. Where two entries
// ask for the same trace, the wider window wins.
std::vector<TraceRequest> BuildTraceRequests(const CMethodList& method);

// Whether a chromatogram described by its masses and name answers the request, and how far its
// masses lie from the request's (the closest answer wins when several chromatograms match).
// A request's function of 0 and a chromatogram's function of 0 match any function.
bool MatchesRequest(const TraceRequest& request, double precursorMz, double productMz, const std::string& name,
                    int function, double& distance);

// The trace text of a chromatogram no request asked for: "Q1>Q3" for a transition, the mass
// for a selected-ion chromatogram, else its name. Numbers in their shortest exact form.
std::string TraceOf(double precursorMz, double productMz, const std::string& name);

}  // namespace RawData
