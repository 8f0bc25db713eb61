// Checks and choices shared by the raw-data readers.
#include "rawdata/ReadSupport.h"

#include <cmath>

#include "platform/NumberText.h"

namespace RawData {

ProblemSink::~ProblemSink() {
    if (m_count > kMaxProblems)
        m_problems.push_back({m_file, 0, 0, "and " + std::to_string(m_count - kMaxProblems) + " more problems"});
}

void ProblemSink::Add(int line, std::string where, std::string message) {
    if (m_count++ < kMaxProblems) m_problems.push_back({m_file, line, 0, std::move(message), std::move(where)});
}

std::string CheckChromatogram(const std::vector<double>& times, const std::vector<double>& intensities) {
    if (times.size() != intensities.size())
        return "the time array holds " + std::to_string(times.size()) + " values and the intensity array " +
               std::to_string(intensities.size());
    for (size_t k = 0; k < times.size(); ++k) {
        const std::string point = std::to_string(k + 1);
        if (!std::isfinite(times[k])) return "time at point " + point + " is not a finite number";
        if (!std::isfinite(intensities[k])) return "intensity at point " + point + " is not a finite number";
        if (k == 0) continue;
        if (times[k] < times[k - 1])
            return "time goes backwards at point " + point + " (" + NumberText::Shortest(times[k]) + " after " +
                   NumberText::Shortest(times[k - 1]) + ")";
        if (times[k] == times[k - 1]) return "time repeats at point " + point + " (" + NumberText::Shortest(times[k]) + ")";
    }
    return "";
}

bool ChromatogramChooser::Wanted(double precursorMz, double productMz, const std::string& name, int function) const {
    if (m_options.everyChromatogram) return true;
    double distance = 0.0;
    for (const TraceRequest& request : m_requests)
        if (MatchesRequest(request, precursorMz, productMz, name, function, distance)) return true;
    return false;
}

void ChromatogramChooser::Offer(Chromatogram&& chromatogram) {
    const long slot = static_cast<long>(m_kept.size());
    int choosers = 0;
    for (size_t r = 0; r < m_requests.size(); ++r) {
        double distance = 0.0;
        if (!MatchesRequest(m_requests[r], chromatogram.precursorMz, chromatogram.productMz, chromatogram.id,
                            chromatogram.function, distance))
            continue;
        Choice& best = m_best[r];
        if (best.slot >= 0 && distance >= best.distance) continue;
        if (best.slot >= 0 && --m_choosers[static_cast<size_t>(best.slot)] == 0 && !m_options.everyChromatogram)
            m_kept[static_cast<size_t>(best.slot)] = Chromatogram();  // outdone: let its arrays go now
        best = {slot, distance};
        ++choosers;
    }
    if (choosers == 0 && !m_options.everyChromatogram) return;
    m_kept.push_back(std::move(chromatogram));
    m_choosers.push_back(choosers);
}

void ChromatogramChooser::Finish(std::vector<Chromatogram>& out, std::vector<bool>& answered) {
    answered.assign(m_requests.size(), false);
    std::vector<std::vector<size_t>> askers(m_kept.size());
    for (size_t r = 0; r < m_requests.size(); ++r)
        if (m_best[r].slot >= 0) askers[static_cast<size_t>(m_best[r].slot)].push_back(r);
    for (size_t slot = 0; slot < m_kept.size(); ++slot) {
        Chromatogram& kept = m_kept[slot];
        if (askers[slot].empty()) {
            if (!m_options.everyChromatogram) continue;
            kept.trace = TraceOf(kept.precursorMz, kept.productMz, kept.id);
            out.push_back(std::move(kept));
            continue;
        }
        for (size_t k = 0; k < askers[slot].size(); ++k) {
            const TraceRequest& request = m_requests[askers[slot][k]];
            answered[askers[slot][k]] = true;
            Chromatogram copy;
            if (k + 1 < askers[slot].size())
                copy = kept;
            else
                copy = std::move(kept);
            copy.trace = request.trace;
            if (copy.function == 0) copy.function = request.function;
            out.push_back(std::move(copy));
        }
    }
    m_kept.clear();
    m_choosers.clear();
}

}  // namespace RawData
