// What the mzML and text readers share: the checks every chromatogram passes before it is
// handed on (the promises Chromatogram.h makes), the cap on problems per file, and the choice
// of chromatograms among the requests.
#pragma once

#include <string>
#include <vector>

#include "rawdata/RawDataReader.h"

namespace RawData {

// Problems of one file, collected up to a cap: a file of a million broken rows says so in a
// few dozen lines and a count, not a million.
class ProblemSink {
public:
    static constexpr size_t kMaxProblems = 25;

    ProblemSink(std::string file, std::vector<Problem>& problems) : m_file(std::move(file)), m_problems(problems) {}
    ~ProblemSink();  // adds "and N more problems" when the cap was reached
    ProblemSink(const ProblemSink&) = delete;
    ProblemSink& operator=(const ProblemSink&) = delete;

    void Add(int line, std::string where, std::string message);
    bool Any() const { return m_count > 0; }
    const std::string& File() const { return m_file; }

private:
    std::string m_file;
    std::vector<Problem>& m_problems;
    size_t m_count = 0;
};

// Times and intensities of equal length, all finite, times strictly ascending. Returns an
// empty string, or what is wrong with the first point that breaks a rule ("time goes
// backwards at point 12 (3.25 after 3.5)"). Points are numbered from 1.
std::string CheckChromatogram(const std::vector<double>& times, const std::vector<double>& intensities);

// Assigns the chromatograms of a file to requests: each request takes the closest matching
// chromatogram (the first of equally close ones). `Finish` appends the chosen ones to the
// result in file order, one copy per distinct trace asking for it, and returns the requests
// nothing answered so that a reader can try other sources for them.
class ChromatogramChooser {
public:
    ChromatogramChooser(const std::vector<TraceRequest>& requests, const ReadOptions& options);

    // Whether a chromatogram of these masses and name is worth reading at all.
    bool Wanted(double precursorMz, double productMz, const std::string& name, int function) const;
    // Offers a read chromatogram (its masses, name and function set); it is kept if wanted.
    void Offer(Chromatogram&& chromatogram);
    // Appends the chosen chromatograms; `answered[r]` tells whether request r got one.
    void Finish(std::vector<Chromatogram>& out, std::vector<bool>& answered);

private:
    struct Choice {
        long slot = -1;
        double distance = 0.0;
    };
    // Calls `visit(r)` for every request r that could match a chromatogram of this precursor
    // mass: the named requests, and the mass requests within the widest tolerance of it (a
    // file of hundreds of transitions is not compared with every request of the method).
    template <class Visit>
    void ForCandidates(double precursorMz, Visit visit) const;

    const std::vector<TraceRequest>& m_requests;
    ReadOptions m_options;
    std::vector<size_t> m_named;   // requests for a trace by name
    std::vector<size_t> m_byMass;  // the others, by ascending precursor (or single) mass
    double m_widest = 0.0;         // the largest half window among m_byMass
    std::vector<Choice> m_best;
    std::vector<Chromatogram> m_kept;
    std::vector<int> m_choosers;  // how many requests currently choose each kept chromatogram
};

}  // namespace RawData
