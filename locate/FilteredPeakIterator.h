// A cursor over a peak list that yields, one at a time, the peaks a filter accepts: by trace
// (main or qualifier), acquisition function, totals group or entry, placeholder, totals,
// deleted and named/unnamed state. Made for one pass and then dropped.
//
// The walk and the filter are separate: `Next` walks, the virtual `Accept` decides, so other
// filters can be put on the same walk. With wrap on, the walk goes on at the start of the list
// after its end and stops when it comes back to where the call started, so successive calls
// can look for different traces from where the last one was found. Empty slots of the list
// are passed over; the end of the walk is the list's size when the cursor was made.
#pragma once

#include <string>

class CPeakData;
class CPeakList;

class CFilteredPeakIterator {
public:
    explicit CFilteredPeakIterator(const CPeakList& peaks);
    virtual ~CFilteredPeakIterator() = default;
    CFilteredPeakIterator(const CFilteredPeakIterator&) = delete;
    CFilteredPeakIterator& operator=(const CFilteredPeakIterator&) = delete;

    // The next accepted peak, or null when the walk is over.
    CPeakData* Next();

    void SetWrap(bool wrap) { m_wrap = wrap; }
    // Entry number the peaks must belong to (0 = any): by MDBEntry when by-assignment is on,
    // by MDBIntegrateEntry otherwise.
    void SetEntry(int entryNumber) { m_entry = entryNumber; }
    // Required MDBIntegrateEntryPeak: 0 the main trace, 1 to 3 the qualifier traces.
    void SetEntryPeak(int entryPeak) { m_entryPeak = entryPeak; }
    // Required acquisition function when above 0.
    void SetAcquisitionFunction(int function) { m_acquisitionFunction = function; }
    // Required totals group (membership by word match); empty = none.
    void SetGroup(const std::string& group) { m_group = group; }
    void SetByAssignment(bool on) { m_byAssignment = on; }
    void SetIncludeUnnamed(bool on) { m_includeUnnamed = on; }
    void SetIncludeNamed(bool on) { m_includeNamed = on; }
    void SetIncludePlaceholders(bool on) { m_includePlaceholders = on; }
    // Only totals and totals-group peaks; these summary records are never dropped as
    // placeholders, so switching this on lets placeholders in too.
    void SetTotalsOnly(bool on) {
        m_totalsOnly = on;
        if (on) m_includePlaceholders = true;
    }
    void SetIncludeDeleted(bool on) { m_includeDeleted = on; }

protected:
    // Whether the walk yields this peak.
    virtual bool Accept(const CPeakData& peak) const;

private:
    const CPeakList& m_peaks;
    int m_position = 0;
    int m_count;
    bool m_wrap = false;
    int m_entry = 0;
    int m_entryPeak = 0;
    int m_acquisitionFunction = 0;
    std::string m_group;
    bool m_byAssignment = true;
    bool m_includeUnnamed = true;
    bool m_includeNamed = true;
    bool m_includePlaceholders = true;
    bool m_totalsOnly = false;
    bool m_includeDeleted = true;
};
