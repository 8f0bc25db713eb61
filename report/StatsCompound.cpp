// The compound entry of CStatistics: name limit and the running concentration sum.
#include "report/StatsCompound.h"

#include <climits>
#include <cstring>

QUAN_REGISTER_CLASS(CStatsCompound);

CStatsCompound::CStatsCompound(int compoundID, const char* name) : m_compoundID(compoundID) {
    SetName(name);
}

void CStatsCompound::SetName(const char* name) {
    if (name == nullptr) return;
    m_name.assign(name, strnlen(name, kMaxNameLength));
}

void CStatsCompound::AddConcentration(double c) {
    if (m_count == INT_MAX) return;
    m_mean += c;
    ++m_count;
}
