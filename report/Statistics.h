// Per-compound summary statistics over a group of samples (for example the replicates of one
// quality-control level), filled and read by the host for its summary reports. It keeps the
// contributing sample numbers in the order added and one CStatsCompound per compound, also in
// the order added; it computes nothing beyond each entry's running sum and count. Every indexed
// accessor takes an entry index that is in range when 0 <= i < GetNoOfCompounds(); outside it,
// getters return their neutral value and setters change nothing. Nothing here persists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ClassFramework.h"
#include "records/OwnedPointerArray.h"
#include "report/StatsCompound.h"

class CStatistics : public CQuanObject {
    QUAN_DECLARE_CLASS(CStatistics)
public:
    // Report fields of StatsFieldStr. Any int may arrive from a host, hence the fixed type.
    enum StatsFields : int {
        kStatsName = 0,
        kStatsNoOfSamples = 1,
        kStatsMean = 2,
        kStatsStdDev = 3,
        kStatsRSD = 4,
        kStatsBias = 5,
        kStatsPercBias = 6,
    };
    // Room for the longest field text and its terminator: "%lf" of the largest double is 317
    // characters, the percentage bias adds a percent sign.
    static constexpr size_t kStatsFieldTextSize = 320;

    // A new, empty object owned by the caller, to be destroyed with Delete.
    static CStatistics* Create();
    void Delete();

    CStatistics() = default;
    CStatistics(const CStatistics& other);
    CStatistics& operator=(const CStatistics& other);
    ~CStatistics() override;

    int GetGroupID() const { return m_groupID; }
    void SetGroupID(int value) { m_groupID = value; }
    int GetType() const { return m_type; }
    void SetType(int value) { m_type = value; }

    void AddSample(int sampleNumber);
    int GetNoOfSamples() const { return static_cast<int>(m_samples.size()); }
    // Sample number i, or 0 when i is out of range.
    int GetSample(int i) const;

    // Appends an entry with all statistics zero; a null name gives an empty name.
    void AddCompound(int compoundID, const char* name);
    int GetNoOfCompounds() const { return m_compounds.GetSize(); }
    // Compound ID of entry i, or -1 when i is out of range.
    int GetCompound(int i) const;
    // Name of entry i, or null when i is out of range. Valid until the entry changes.
    const char* GetName(int i) const;
    // Ignores an out-of-range index and a null name; longer names are cut to 83 characters.
    void SetName(int i, const char* name);
    void AddConcentration(int i, double c);
    int GetCount(int i) const;

#define QUAN_STATS_INDEXED_ACCESSORS(Name, member) \
    double Get##Name(int i) const;                 \
    void Set##Name(int i, double value);
    QUAN_STATS_VALUE_FIELDS(QUAN_STATS_INDEXED_ACCESSORS)
#undef QUAN_STATS_INDEXED_ACCESSORS

    // Report text of one field of entry i: the name, the object's number of samples ("%d"),
    // or a statistic ("%lf", the percentage bias followed by "%"). Returns 1 with the text
    // written, or 0 with an empty text for a field outside 0 to 6 or a null buffer. The
    // buffer must hold kStatsFieldTextSize characters.
    int StatsFieldStr(int i, StatsFields field, char* text) const;
    // The same into a buffer of `capacity` characters: never writes past it, and a text that
    // does not fit leaves the buffer empty and returns 0 (no half-printed numbers).
    int StatsFieldStr(int i, StatsFields field, char* text, size_t capacity) const;
    int StatsFieldStr(int i, StatsFields field, std::string& text) const;

    // Entry i itself, or null when out of range.
    CStatsCompound* GetCompoundEntry(int i) const { return m_compounds.At(i); }

private:
    void CopyFrom(const CStatistics& other);

    int m_groupID = 0;
    int m_type = 0;
    std::vector<uint32_t> m_samples;
    OwnedPointerArray<CStatsCompound> m_compounds;
};
