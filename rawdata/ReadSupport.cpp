// Checks and choices shared by the raw-data readers.
#include "rawdata/ReadSupport.h"

#include <algorithm>
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
        const bool finite = std::isfinite(times[k]) && std::isfinite(intensities[k]);
        if (finite && (k == 0 || times[k] > times[k - 1])) continue;  // the common case, no text made
        const std::string point = std::to_string(k + 1);
        if (!std::isfinite(times[k])) return "time at point " + point + " is not a finite number";
        if (!std::isfinite(intensities[k])) return "intensity at point " + point + " is not a finite number";
        if (times[k] < times[k - 1])
            return "time goes backwards at point " + point + " (" + NumberText::Shortest(times[k]) + " after " +
                   NumberText::Shortest(times[k - 1]) + ")";
        return "time repeats at point " + point + " (" + NumberText::Shortest(times[k]) + ")";
    }
    return "";
}

ChromatogramChooser::ChromatogramChooser(const std::vector<TraceRequest>& requests, const ReadOptions& options)
    : m_requests(requests), m_options(options), m_best(requests.size()) {
    for (size_t r = 0; r < requests.size(); ++r) {
        if (requests[r].kind == TraceKind::Name) {
            m_named.push_back(r);
            continue;
        }
        m_byMass.push_back(r);
        m_widest = std::max(m_widest, requests[r].Tolerance(requests[r].precursorMz));
    }
    std::stable_sort(m_byMass.begin(), m_byMass.end(),
                     [&requests](size_t a, size_t b) { return requests[a].precursorMz < requests[b].precursorMz; });
}

template <class Visit>
void ChromatogramChooser::ForCandidates(double precursorMz, Visit visit) const {
    for (const size_t r : m_named)
        if (!visit(r)) return;
    if (!(precursorMz > 0.0)) return;  // no mass: only a name can match
    // A little wider than the widest window, so that rounding of the bounds never leaves out a
    // request that MatchesRequest takes at the edge of its window; it decides every candidate.
    const double reach = m_widest + 1e-6;
    auto at = std::lower_bound(m_byMass.begin(), m_byMass.end(), precursorMz - reach,
                               [this](size_t r, double mass) { return m_requests[r].precursorMz < mass; });
    for (; at != m_byMass.end() && m_requests[*at].precursorMz <= precursorMz + reach; ++at)
        if (!visit(*at)) return;
}

bool ChromatogramChooser::Wanted(double precursorMz, double productMz, const std::string& name, int function) const {
    if (m_options.everyChromatogram) return true;
    bool wanted = false;
    ForCandidates(precursorMz, [&](size_t r) {
        double distance = 0.0;
        wanted = MatchesRequest(m_requests[r], precursorMz, productMz, name, function, distance);
        return !wanted;
    });
    return wanted;
}

void ChromatogramChooser::Offer(Chromatogram&& chromatogram) {
    const long slot = static_cast<long>(m_kept.size());
    int choosers = 0;
    ForCandidates(chromatogram.precursorMz, [&](size_t r) {
        double distance = 0.0;
        if (!MatchesRequest(m_requests[r], chromatogram.precursorMz, chromatogram.productMz, chromatogram.id,
                            chromatogram.function, distance))
            return true;
        Choice& best = m_best[r];
        if (best.slot >= 0 && distance >= best.distance) return true;
        if (best.slot >= 0 && --m_choosers[static_cast<size_t>(best.slot)] == 0 && !m_options.everyChromatogram)
            m_kept[static_cast<size_t>(best.slot)] = Chromatogram();  // outdone: let its arrays go now
        best = {slot, distance};
        ++choosers;
        return true;
    });
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
