// Builds a small method, peak list and sample from fuzz input, for the targets that run the
// engines. Each entry and peak starts as a plausible one (an "RT" entry on one of a few traces,
// a peak near some entry's retention time) and then has any number of its settings, chosen by
// index from the whole field table, set to values from the input: small numbers mostly, so that
// entry numbers, codes and switches mean something, now and then any value at all.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "quan.h"
#include "tests/fuzz/FuzzSupport.h"

namespace fuzz_run {

constexpr int kMaxEntries = 6;
constexpr int kMaxPeaks = 12;

inline int SmallInt(FuzzInput& input) {
    const uint8_t selector = input.Byte();
    if (selector < 0xF0) return static_cast<int>(selector % 12) - 2;
    return input.Int(-2147483647 - 1, 2147483647);
}

template <class T>
T Value(FuzzInput& input) {
    if constexpr (std::is_same_v<T, float>) return input.Float();
    else if constexpr (std::is_floating_point_v<T>) return input.Double();
    else return static_cast<T>(SmallInt(input));
}

inline std::string Trace(FuzzInput& input) {
    static const char* const kTexts[] = {"304.0", "306.0", "128.1", "127.1", "216.1>174.1", "216.1>176.1",
                                         "ch1",   "",      "E1",    "E2",    "PAH",         "PAH; EPA16",
                                         "Y",     "C6H6",  "AREA",  "HEIGHT"};
    return input.Choice(kTexts, 24);
}

using EntrySetter = std::function<void(CMethodData&, FuzzInput&)>;
using PeakSetter = std::function<void(CPeakData&, FuzzInput&)>;

inline const std::vector<EntrySetter>& EntrySetters() {
    static const std::vector<EntrySetter> setters = [] {
        std::vector<EntrySetter> table;
#define METHOD_FIELD(type, Name) table.push_back([](CMethodData& e, FuzzInput& in) { e.Set##Name(Value<type>(in)); });
#define METHOD_TEXT(Name) table.push_back([](CMethodData& e, FuzzInput& in) { e.Set##Name(Trace(in)); });
#define METHOD_INDEXED(type, Name, count) \
    table.push_back([](CMethodData& e, FuzzInput& in) { const int k = in.Int(-1, count); e.Set##Name(k, Value<type>(in)); });
#define METHOD_INDEXED_TEXT(Name, count) \
    table.push_back([](CMethodData& e, FuzzInput& in) { const int k = in.Int(-1, count); e.Set##Name(k, Trace(in)); });
#include "platform/MethodRecordFields.def"
        return table;
    }();
    return setters;
}

inline const std::vector<PeakSetter>& PeakSetters() {
    static const std::vector<PeakSetter> setters = [] {
        std::vector<PeakSetter> table;
#define PEAK_FIELD(offset, type, Name) table.push_back([](CPeakData& p, FuzzInput& in) { p.Set##Name(Value<type>(in)); });
#define PEAK_FIELD_STORED(offset, type, Name) PEAK_FIELD(offset, type, Name)
#define PEAK_BOOL(offset, Name) table.push_back([](CPeakData& p, FuzzInput& in) { p.Set##Name(in.Int(0, 1)); });
#define PEAK_TEXT(offset, bytes, maxChars, Name) table.push_back([](CPeakData& p, FuzzInput& in) { p.Set##Name(Trace(in)); });
#define PEAK_TEXT_INPLACE(offset, bytes, maxChars, Name) PEAK_TEXT(offset, bytes, maxChars, Name)
#define PEAK_TEXT_STORED(offset, bytes, maxChars, Name) PEAK_TEXT(offset, bytes, maxChars, Name)
#define PEAK_ARRAY(offset, type, count, Name, outside) \
    table.push_back([](CPeakData& p, FuzzInput& in) { const int k = in.Int(-1, count); p.Set##Name(k, Value<type>(in)); });
#define PEAK_TEXT_ARRAY(offset, bytes, count, maxChars, Name) \
    table.push_back([](CPeakData& p, FuzzInput& in) { const int k = in.Int(-1, count); p.Set##Name(k, Trace(in)); });
#define PEAK_FLAGWORD(offset, Name) table.push_back([](CPeakData& p, FuzzInput& in) { p.Set##Name(Value<uint32_t>(in)); });
#include "records/PeakFields.def"
#define PEAK_FLAG_BIT(bit, Name) table.push_back([](CPeakData& p, FuzzInput& in) { p.Set##Name(in.Int(0, 1)); });
#include "records/PeakFlagBits.def"
        return table;
    }();
    return setters;
}

struct Run {
    CMethodList methods;
    CPeakList peaks;
    CSampleRecord sample;
};

inline Run MakeRun(FuzzInput& input) {
    Run run;
    const int entries = input.Int(0, kMaxEntries);
    std::vector<float> predicted;
    for (int i = 0; i < entries; ++i) {
        CMethodData entry;
        entry.SetName("E" + std::to_string(i + 1));
        entry.SetCalCompound(entry.GetName());
        entry.SetQuanTrace(Trace(input));
        entry.SetLocateBy(1);
        entry.SetPredRT(input.Int(1, 200) / 10.0f);
        entry.SetLocateRTWin(input.Int(0, 10) / 10.0f);
        entry.SetQuantificationTraces(1);
        entry.SetStdConc(10.0);
        entry.SetStdLevels(input.Int(0, 4));
        const int changes = input.Int(0, 24);
        const auto& setters = EntrySetters();
        for (int c = 0; c < changes; ++c) setters[input.Int(0, static_cast<int>(setters.size()) - 1)](entry, input);
        predicted.push_back(entry.GetPredRT());
        run.methods.Add(entry);
    }
    const int peaks = input.Int(0, kMaxPeaks);
    for (int j = 0; j < peaks; ++j) {
        CPeakData peak;
        peak.SetQuanTrace(Trace(input));
        const float near = predicted.empty() ? 5.0f : predicted[input.Int(0, static_cast<int>(predicted.size()) - 1)];
        peak.SetFoundRT(near + (input.Int(0, 40) - 20) / 100.0f);
        peak.SetStartRT(peak.GetFoundRT() - 0.05f);
        peak.SetEndRT(peak.GetFoundRT() + 0.05f);
        peak.SetArea(input.Int(0, 100000));
        peak.SetHeight(input.Int(0, 10000));
        peak.SetChromNoise(input.Int(0, 50));
        const int changes = input.Int(0, 16);
        const auto& setters = PeakSetters();
        for (int c = 0; c < changes; ++c) setters[input.Int(0, static_cast<int>(setters.size()) - 1)](peak, input);
        run.peaks.Add(peak);
    }
    run.sample.SetType(input.Int(-1, 8));
    run.sample.SetStockDilution(input.Double());
    for (int level = 0; level < CSampleRecord::kNumConcentrations; ++level) run.sample.SetConcentration(level, level + 1.0);
    const int changes = input.Int(0, 4);
    for (int c = 0; c < changes; ++c) run.sample.SetConcentration(input.Int(-1, 20), input.Double());
    return run;
}

// The method as text and every peak record: what a run left behind, for comparing two runs.
inline std::string Snapshot(const CMethodList& methods, const CPeakList& peaks) {
    Brisk::CXMLBuilderT<256> builder;
    FUZZ_CHECK(methods.WriteXML(builder));
    std::string text = builder.GetText();
    for (int i = 0; i < methods.GetSize(); ++i) {
        const CMethodData& e = methods.GetAt(i);
        text += std::to_string(e.GetLocated()) + "," + std::to_string(e.GetLocatedPDBEntry()) + "," +
                std::to_string(e.GetBackTrackMDBEntry()) + ";";
    }
    for (int j = 0; j < peaks.GetSize(); ++j) {
        const CPeakData* peak = peaks.GetEntry(j);
        if (peak == nullptr) continue;
        text.append(reinterpret_cast<const char*>(&peak->GetRecord()), sizeof(_tagINTERNAL_PEAK_DB_RECORD));
    }
    return text;
}

}  // namespace fuzz_run
