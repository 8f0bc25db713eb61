// Extracted-ion chromatograms from spectra; see ExtractedIonTraces.h for the rules.
#include "rawdata/ExtractedIonTraces.h"

#include <algorithm>
#include <numeric>

#include "platform/NumberText.h"

namespace RawData {

bool ExtractedIonTraces::Takes(const TraceRequest& request, int msLevel, double precursorMz, int function) const {
    double distance = 0.0;
    switch (request.kind) {
        case TraceKind::Mass:
            return msLevel <= 1 && MatchesRequest(request, request.precursorMz, 0.0, "", function, distance);
        case TraceKind::Transition:
            return msLevel >= 2 && precursorMz > 0.0 &&
                   MatchesRequest(request, precursorMz, request.productMz, "", function, distance);
        case TraceKind::Name:
            return false;
    }
    return false;
}

bool ExtractedIonTraces::Wants(int msLevel, double precursorMz, int function) const {
    for (const TraceRequest& request : m_requests)
        if (Takes(request, msLevel, precursorMz, function)) return true;
    return false;
}

std::string ExtractedIonTraces::Add(Spectrum& spectrum) {
    if (!std::is_sorted(spectrum.mz.begin(), spectrum.mz.end())) {
        // Some writers do not sort m/z; the window sums need them in order.
        std::vector<size_t> order(spectrum.mz.size());
        std::iota(order.begin(), order.end(), size_t{0});
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return spectrum.mz[a] < spectrum.mz[b]; });
        std::vector<double> mz(order.size()), intensities(order.size());
        for (size_t k = 0; k < order.size(); ++k) {
            mz[k] = spectrum.mz[order[k]];
            intensities[k] = spectrum.intensities[order[k]];
        }
        spectrum.mz.swap(mz);
        spectrum.intensities.swap(intensities);
    }
    for (size_t r = 0; r < m_requests.size(); ++r) {
        const TraceRequest& request = m_requests[r];
        if (!Takes(request, spectrum.msLevel, spectrum.precursorMz, spectrum.function)) continue;
        const double mass = request.kind == TraceKind::Transition ? request.productMz : request.precursorMz;
        std::string problem = AddPoint(r, mass, spectrum);
        if (!problem.empty()) return problem;
    }
    return "";
}

std::string ExtractedIonTraces::AddPoint(size_t request, double mass, const Spectrum& spectrum) {
    const double tolerance = m_requests[request].Tolerance(mass);
    const auto low = std::lower_bound(spectrum.mz.begin(), spectrum.mz.end(), mass - tolerance);
    const auto high = std::upper_bound(low, spectrum.mz.end(), mass + tolerance);
    bool measured = true;
    if (!spectrum.scanWindows.empty()) {
        measured = false;
        for (const auto& window : spectrum.scanWindows)
            if (mass >= window.first && mass <= window.second) measured = true;
    } else if (spectrum.sim) {
        measured = low != high;
    }
    if (!measured) return "";
    double sum = 0.0;
    for (auto at = low; at != high; ++at) sum += spectrum.intensities[static_cast<size_t>(at - spectrum.mz.begin())];

    const auto key = std::make_pair(request, spectrum.function);
    auto found = m_traceIndex.find(key);
    if (found == m_traceIndex.end()) {
        const TraceRequest& asked = m_requests[request];
        found = m_traceIndex.emplace(key, m_traces.size()).first;
        Trace trace;
        trace.request = request;
        trace.function = spectrum.function;
        trace.chromatogram.id = "EIC " + asked.trace;
        trace.chromatogram.trace = asked.trace;
        trace.chromatogram.precursorMz = asked.precursorMz;
        trace.chromatogram.productMz = asked.kind == TraceKind::Transition ? asked.productMz : 0.0;
        trace.chromatogram.function = spectrum.function != 0 ? spectrum.function : asked.function;
        m_traces.push_back(std::move(trace));
    }
    Chromatogram& trace = m_traces[found->second].chromatogram;
    if (!trace.times.empty() && !(spectrum.minutes > trace.times.back()))
        return std::string("time ") + (spectrum.minutes == trace.times.back() ? "repeats" : "goes backwards") + " (" +
               NumberText::Shortest(spectrum.minutes) + " min after " + NumberText::Shortest(trace.times.back()) +
               " min in the spectra before)";
    trace.times.push_back(spectrum.minutes);
    trace.intensities.push_back(sum);
    trace.scans.push_back(spectrum.scan);
    return "";
}

void ExtractedIonTraces::Finish(const std::vector<bool>& answered, std::vector<Chromatogram>& out,
                            std::vector<std::string>& unmatched) {
    for (size_t r = 0; r < m_requests.size(); ++r) {
        if (r < answered.size() && answered[r]) continue;
        Trace* fullest = nullptr;
        for (Trace& trace : m_traces)
            if (trace.request == r &&
                (fullest == nullptr || trace.chromatogram.times.size() > fullest->chromatogram.times.size()))
                fullest = &trace;
        if (fullest == nullptr)
            unmatched.push_back(m_requests[r].trace);
        else
            out.push_back(std::move(fullest->chromatogram));
    }
    m_traces.clear();
    m_traceIndex.clear();
}

}  // namespace RawData
