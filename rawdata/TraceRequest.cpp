// Requests from a method and the matching of chromatograms against them. Traces are parsed by
// the same comparitor the location engine uses, so a trace the location reads as a transition
// is a transition here too.
#include "rawdata/TraceRequest.h"

#include <algorithm>
#include <cmath>

#include "platform/MassStringComparitor.h"
#include "platform/NumberText.h"
#include "records/MethodList.h"

namespace RawData {
namespace {

constexpr double kDefaultWindowDa = 1.0;

// A trace as names compare: without surrounding blanks, ASCII letters in lower case.
std::string Folded(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && NumberText::IsSpaceAscii(text[begin])) ++begin;
    while (end > begin && NumberText::IsSpaceAscii(text[end - 1])) --end;
    return NumberText::LowerAscii(text.substr(begin, end - begin));
}

void AddRequest(std::vector<TraceRequest>& requests, std::vector<std::string>& keys, const std::string& trace,
                double windowDa, double windowPpm, int function) {
    if (Folded(trace).empty()) return;
    const std::string key = Folded(trace) + '\n' + std::to_string(function);
    const auto found = std::find(keys.begin(), keys.end(), key);
    if (found == keys.end()) {
        keys.push_back(key);
        requests.push_back(MakeTraceRequest(trace, windowDa, windowPpm, function));
        return;
    }
    TraceRequest& earlier = requests[static_cast<size_t>(found - keys.begin())];
    earlier.windowDa = std::max(earlier.windowDa, windowDa);
    earlier.windowPpm = std::max(earlier.windowPpm, windowPpm);
}

}  // namespace

double TraceRequest::Tolerance(double mz) const {
    return 0.5 * (windowPpm > 0.0 ? std::fabs(mz) * windowPpm * 1e-6 : windowDa);
}

TraceRequest MakeTraceRequest(const std::string& trace, double windowDa, double windowPpm, int function) {
    TraceRequest request;
    request.trace = trace;
    request.windowDa = windowDa > 0.0 ? windowDa : kDefaultWindowDa;
    request.windowPpm = windowPpm > 0.0 ? windowPpm : 0.0;
    request.function = function > 0 ? function : 0;
    const CMassStringComparitor parsed(trace, 0.0);
    if (parsed.IsName() || parsed.GetNumMasses() > 2) return request;
    request.kind = parsed.GetNumMasses() == 2 ? TraceKind::Transition : TraceKind::Mass;
    request.precursorMz = parsed.GetMass(0);
    request.productMz = parsed.GetMass(1);
    return request;
}

std::vector<TraceRequest> BuildTraceRequests(const CMethodList& method) {
    std::vector<TraceRequest> requests;
    std::vector<std::string> keys;
    for (int i = 0; i < method.GetSize(); ++i) {
        const CMethodData* entry = method.GetEntry(i);
        if (entry == nullptr) continue;
        int isAbsolute = 1;
        const double window = entry->GetChroMassWindow(isAbsolute);
        const double windowDa = isAbsolute != 0 && window > 0.0 ? window : kDefaultWindowDa;
        const double windowPpm = isAbsolute == 0 && window > 0.0 ? window : 0.0;
        const int function = entry->GetRawAcquisitionFunction();
        AddRequest(requests, keys, entry->GetQuanTrace(), windowDa, windowPpm, function);
        for (int k = 0; k < 4; ++k) AddRequest(requests, keys, entry->GetTargetTrace(k), windowDa, windowPpm, function);
    }
    return requests;
}

bool MatchesRequest(const TraceRequest& request, double precursorMz, double productMz, const std::string& name,
                    int function, double& distance) {
    distance = 0.0;
    if (request.function > 0 && function > 0 && request.function != function) return false;
    switch (request.kind) {
        case TraceKind::Name:
            return Folded(request.trace) == Folded(name);
        case TraceKind::Mass:
            if (precursorMz <= 0.0 || productMz > 0.0) return false;
            distance = std::fabs(precursorMz - request.precursorMz);
            return distance <= request.Tolerance(request.precursorMz);
        case TraceKind::Transition: {
            if (precursorMz <= 0.0 || productMz <= 0.0) return false;
            const double q1 = std::fabs(precursorMz - request.precursorMz);
            const double q3 = std::fabs(productMz - request.productMz);
            distance = q1 + q3;
            return q1 <= request.Tolerance(request.precursorMz) && q3 <= request.Tolerance(request.productMz);
        }
    }
    return false;
}

std::string TraceOf(double precursorMz, double productMz, const std::string& name) {
    if (precursorMz > 0.0 && productMz > 0.0) return NumberText::Shortest(precursorMz) + ">" + NumberText::Shortest(productMz);
    if (precursorMz > 0.0) return NumberText::Shortest(precursorMz);
    return name;
}

}  // namespace RawData
