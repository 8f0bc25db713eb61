// A mass trace ("304.2", an MRM transition "216.1>174.1", or a channel name such as "TIC")
// with its matching window, shared between copies of method and peak entries by a reference
// count. The trace is parsed once, at construction, so that comparing two comparitors in the
// location scan neither parses nor allocates.
#pragma once

#include <array>
#include <string>

class CMassStringComparitor {
public:
    static constexpr int kMaxMasses = 8;

    // A new comparitor holds one share, owned by its creator.
    CMassStringComparitor(const std::string& trace, double window);
    ~CMassStringComparitor() = default;
    CMassStringComparitor(const CMassStringComparitor&) = delete;
    CMassStringComparitor& operator=(const CMassStringComparitor&) = delete;

    // Takes one more share and returns this comparitor.
    CMassStringComparitor* AddCount();
    // Drops one share; true when none remains and the caller must delete the comparitor.
    bool RemoveCount();
    int GetCount() const { return m_count; }

    // Same trace: both names equal ignoring case, or the same number of masses with every pair
    // within the larger of the two windows.
    bool operator==(const CMassStringComparitor& other) const;
    bool operator!=(const CMassStringComparitor& other) const { return !(*this == other); }

    const std::string& GetTrace() const { return m_trace; }
    double GetWindow() const { return m_window; }
    bool IsName() const { return m_isName; }
    int GetNumMasses() const { return m_numMasses; }
    double GetMass(int index) const { return index >= 0 && index < m_numMasses ? m_masses[index] : 0.0; }

private:
    void Parse();

    std::string m_trace;
    std::string m_foldedName;  // lower-case trace, for name comparison without allocation
    double m_window;
    int m_count = 1;
    bool m_isName = true;
    int m_numMasses = 0;
    std::array<double, kMaxMasses> m_masses{};
};
