// Parsing and matching of mass traces. A trace is numeric when, after trimming, every part
// between '>' separators is a finite number; anything else (including an empty text) is a name.
#include "platform/MassStringComparitor.h"

#include <algorithm>
#include <cmath>

#include "platform/NumberText.h"

namespace {
std::string Trimmed(const std::string& text, size_t begin, size_t end) {
    while (begin < end && NumberText::IsSpaceAscii(text[begin])) ++begin;
    while (end > begin && NumberText::IsSpaceAscii(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool ParseMass(const std::string& part, double& mass) {
    return NumberText::Read(part, mass) && std::isfinite(mass);
}
}  // namespace

CMassStringComparitor::CMassStringComparitor(const std::string& trace, double window)
    : m_trace(trace), m_window(std::fabs(window)) {
    Parse();
}

void CMassStringComparitor::Parse() {
    m_foldedName = NumberText::LowerAscii(Trimmed(m_trace, 0, m_trace.size()));
    size_t begin = 0;
    int count = 0;
    std::array<double, kMaxMasses> masses{};
    while (true) {
        size_t end = m_trace.find('>', begin);
        if (end == std::string::npos) end = m_trace.size();
        double mass = 0.0;
        if (count == kMaxMasses || !ParseMass(Trimmed(m_trace, begin, end), mass)) return;  // a name
        masses[count++] = mass;
        if (end == m_trace.size()) break;
        begin = end + 1;
    }
    m_isName = false;
    m_numMasses = count;
    m_masses = masses;
}

CMassStringComparitor* CMassStringComparitor::AddCount() {
    ++m_count;
    return this;
}

bool CMassStringComparitor::RemoveCount() {
    if (m_count > 0) --m_count;
    return m_count == 0;
}

bool CMassStringComparitor::operator==(const CMassStringComparitor& other) const {
    if (m_isName || other.m_isName) return m_isName && other.m_isName && m_foldedName == other.m_foldedName;
    if (m_numMasses != other.m_numMasses) return false;
    const double window = std::max(m_window, other.m_window);
    for (int k = 0; k < m_numMasses; ++k)
        if (std::fabs(m_masses[k] - other.m_masses[k]) > window) return false;
    return true;
}
