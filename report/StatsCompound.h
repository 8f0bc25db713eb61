// One compound's replicate summary inside CStatistics: name, the host's compound ID, and the
// statistics the host derives. The mean field holds the running sum of the concentrations added
// until the host stores the mean over it; the count says how many were added. The entry computes
// nothing else. The name never holds more than kMaxNameLength characters (longer names are cut).
#pragma once

#include <string>

#include "platform/ClassFramework.h"

// The statistics the host stores as plain doubles, one line each: accessor name, member.
// Expanded into the entry's accessors here and into CStatistics' indexed accessors.
#define QUAN_STATS_VALUE_FIELDS(X) \
    X(Mean, m_mean)                \
    X(StdDev, m_stdDev)            \
    X(RSD, m_rsd)                  \
    X(Bias, m_bias)                \
    X(PercBias, m_percBias)

class CStatsCompound : public CQuanObject {
    QUAN_DECLARE_CLASS(CStatsCompound)
public:
    static constexpr int kMaxNameLength = 83;

    CStatsCompound() = default;
    // A null name gives an empty name.
    CStatsCompound(int compoundID, const char* name);
    CStatsCompound(const CStatsCompound&) = default;
    CStatsCompound& operator=(const CStatsCompound&) = default;
    ~CStatsCompound() override = default;

    const char* GetName() const { return m_name.c_str(); }
    // A null name is ignored.
    void SetName(const char* name);
    int GetCompoundID() const { return m_compoundID; }
    void SetCompoundID(int value) { m_compoundID = value; }
    int GetCount() const { return m_count; }
    void SetCount(int value) { m_count = value; }

#define QUAN_STATS_VALUE_ACCESSORS(Name, member)     \
    double Get##Name() const { return member; }      \
    void Set##Name(double value) { member = value; }
    QUAN_STATS_VALUE_FIELDS(QUAN_STATS_VALUE_ACCESSORS)
#undef QUAN_STATS_VALUE_ACCESSORS

    // Adds c to the running sum in the mean field and counts it. Once the count has reached
    // the largest int no more are added, so the sum always matches the count.
    void AddConcentration(double c);

private:
    std::string m_name;
    int m_compoundID = 0;
    int m_count = 0;
#define QUAN_STATS_VALUE_MEMBER(Name, member) double member = 0.0;
    QUAN_STATS_VALUE_FIELDS(QUAN_STATS_VALUE_MEMBER)
#undef QUAN_STATS_VALUE_MEMBER
};
