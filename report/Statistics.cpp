// CStatistics: sample numbers, compound entries, indexed accessors and the report texts.
#include "report/Statistics.h"

#include <new>

#include "platform/NumberText.h"
#include "report/FieldText.h"

QUAN_REGISTER_CLASS(CStatistics);

namespace {
constexpr int kNoCompound = -1;
constexpr int kFieldWritten = 1;
constexpr int kNoField = 0;

// "%lf" and a unit, within the field's text size.
std::string FormatDouble(double value, const char* unit = "") {
    const std::string text = NumberText::Fixed(value, 6) + unit;
    return text.substr(0, CStatistics::kStatsFieldTextSize - 1);
}
}  // namespace

CStatistics* CStatistics::Create() { return new (std::nothrow) CStatistics(); }

void CStatistics::Delete() { delete this; }

CStatistics::CStatistics(const CStatistics& other) : CQuanObject() { CopyFrom(other); }

CStatistics& CStatistics::operator=(const CStatistics& other) {
    if (&other != this) CopyFrom(other);
    return *this;
}

CStatistics::~CStatistics() { m_compounds.Clear(); }

void CStatistics::CopyFrom(const CStatistics& other) {
    m_groupID = other.m_groupID;
    m_type = other.m_type;
    m_samples = other.m_samples;
    m_compounds.Clear();
    for (int i = 0; i < other.GetNoOfCompounds(); ++i) {
        if (const CStatsCompound* entry = other.m_compounds.At(i)) {
            m_compounds.Append(new (std::nothrow) CStatsCompound(*entry));
        }
    }
}

void CStatistics::AddSample(int sampleNumber) { m_samples.push_back(static_cast<uint32_t>(sampleNumber)); }

int CStatistics::GetSample(int i) const {
    if (i < 0 || i >= GetNoOfSamples()) return 0;
    return static_cast<int>(m_samples[static_cast<size_t>(i)]);
}

void CStatistics::AddCompound(int compoundID, const char* name) {
    CStatsCompound* entry = new (std::nothrow) CStatsCompound(compoundID, name);
    if (entry != nullptr) m_compounds.Append(entry);
}

int CStatistics::GetCompound(int i) const {
    const CStatsCompound* entry = m_compounds.At(i);
    return entry != nullptr ? entry->GetCompoundID() : kNoCompound;
}

const char* CStatistics::GetName(int i) const {
    const CStatsCompound* entry = m_compounds.At(i);
    return entry != nullptr ? entry->GetName() : nullptr;
}

void CStatistics::SetName(int i, const char* name) {
    if (CStatsCompound* entry = m_compounds.At(i)) entry->SetName(name);
}

void CStatistics::AddConcentration(int i, double c) {
    if (CStatsCompound* entry = m_compounds.At(i)) entry->AddConcentration(c);
}

int CStatistics::GetCount(int i) const {
    const CStatsCompound* entry = m_compounds.At(i);
    return entry != nullptr ? entry->GetCount() : 0;
}

#define QUAN_STATS_INDEXED_DEFINITIONS(Name, member)                  \
    double CStatistics::Get##Name(int i) const {                      \
        const CStatsCompound* entry = m_compounds.At(i);              \
        return entry != nullptr ? entry->Get##Name() : 0.0;           \
    }                                                                 \
    void CStatistics::Set##Name(int i, double value) {                \
        if (CStatsCompound* entry = m_compounds.At(i)) entry->Set##Name(value); \
    }
QUAN_STATS_VALUE_FIELDS(QUAN_STATS_INDEXED_DEFINITIONS)
#undef QUAN_STATS_INDEXED_DEFINITIONS

int CStatistics::StatsFieldStr(int i, StatsFields field, std::string& text) const {
    text.clear();
    switch (field) {
        case kStatsName: {
            const char* name = GetName(i);
            if (name != nullptr) text = name;
            return kFieldWritten;
        }
        // The whole object's sample count, whichever entry is asked.
        case kStatsNoOfSamples: text = std::to_string(GetNoOfSamples()); return kFieldWritten;
        case kStatsMean: text = FormatDouble(GetMean(i)); return kFieldWritten;
        case kStatsStdDev: text = FormatDouble(GetStdDev(i)); return kFieldWritten;
        case kStatsRSD: text = FormatDouble(GetRSD(i)); return kFieldWritten;
        case kStatsBias: text = FormatDouble(GetBias(i)); return kFieldWritten;
        case kStatsPercBias: text = FormatDouble(GetPercBias(i), "%"); return kFieldWritten;
    }
    // Above 6, and negative values, name no field.
    return kNoField;
}

int CStatistics::StatsFieldStr(int i, StatsFields field, char* text, size_t capacity) const {
    if (!ReportText::ClearBuffer(text, capacity)) return kNoField;
    std::string value;
    const int result = StatsFieldStr(i, field, value);
    if (result != kFieldWritten) return result;
    return ReportText::CopyToBuffer(value, text, capacity) ? result : kNoField;
}

int CStatistics::StatsFieldStr(int i, StatsFields field, char* text) const {
    return StatsFieldStr(i, field, text, kStatsFieldTextSize);
}
