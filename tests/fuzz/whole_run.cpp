// A whole run on a small method, peak list and sample built from the input (see MakeRun):
// location, and the same location again on fresh copies with the engine reused; then a
// calibration of one curve per method entry (points on a line through the entry's located
// response, or any values), quantification of the sample, and the same quantification again
// with the engine reused.
// Invariants: every status is one its engine defines; the lists keep their sizes and every
// slot; a peak is assigned to no entry or to an entry of the method; every concentration stored
// is finite and not negative, and for a compound (not a totals entry) at most 1e12, with a
// detection limit of at least 1e-12; a reused engine gives exactly what a fresh one gives.
#include <cmath>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "locate/LocateStatus.h"
#include "quan.h"
#include "quantify/QuantifyStatus.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {
// The run: a small method, peak list and sample built from the input. Each entry and peak
// starts as a plausible one (an "RT" entry on one of a few traces, a peak near some entry's
// retention time) and then has any number of its settings, chosen by index from the whole field
// table, set to values from the input: small numbers mostly, so that entry numbers, codes and
// switches mean something, now and then any value at all.
constexpr int kMaxEntries = 6;
constexpr int kMaxPeaks = 12;

int SmallInt(FuzzInput& input) {
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

std::string Trace(FuzzInput& input) {
    static const char* const kTexts[] = {"304.0", "306.0", "128.1", "127.1", "216.1>174.1", "216.1>176.1",
                                         "ch1",   "",      "E1",    "E2",    "PAH",         "PAH; EPA16",
                                         "Y",     "C6H6",  "AREA",  "HEIGHT"};
    return input.Choice(kTexts, 24);
}

using EntrySetter = std::function<void(CMethodData&, FuzzInput&)>;
using PeakSetter = std::function<void(CPeakData&, FuzzInput&)>;

const std::vector<EntrySetter>& EntrySetters() {
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

const std::vector<PeakSetter>& PeakSetters() {
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

Run MakeRun(FuzzInput& input) {
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
std::string Snapshot(const CMethodList& methods, const CPeakList& peaks) {
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

const char* const kNoPeriodicTable = "/nonexistent/periodic.db";

void CheckLocated(const Run& run, int entries, int peaks, int status) {
    static const std::set<int> kLocateCodes = {
        kLocateOK,          kLocateReferenceFirst,    kLocateBackTrack,   kLocateNotFound,
        kLocateBadLocateMethod, kLocateListsUnequal,  kLocateElementUnreadable, kLocateBadStdLevel,
        kLocateEmptyPeakList, kLocateMissingList,     kLocateCircularReference, kLocatePeakAssigned,
        kLocateFunctionDiffers, kLocateChromatogramDiffers, kLocateNotAvailable};
    FUZZ_CHECK(kLocateCodes.count(status) == 1);
    FUZZ_CHECK(run.methods.GetSize() == entries && run.peaks.GetSize() == peaks);
    for (int j = 0; j < peaks; ++j) {
        FUZZ_CHECK(run.peaks.GetEntry(j) != nullptr);
        const int entry = run.peaks.GetAt(j).GetMDBEntry();
        FUZZ_CHECK(entry >= 0 && entry <= entries);
    }
}

// One curve per entry, its points on a line through the entry's response (now and then any
// value), with the entry's curve type and totals settings and any origin and weighting.
CCalibrationList MakeCurves(const CMethodList& methods, FuzzInput& input) {
    CCalibrationList curves;
    for (int i = 0; i < methods.GetSize(); ++i) {
        const CMethodData& entry = methods.GetAt(i);
        CCalibrationData curve;
        curve.SetName(entry.GetName());
        curve.SetCCalc(entry.GetCCalc());
        curve.SetOrigin(input.Int(0, 3));
        curve.SetWeightingFunction(input.Int(0, 4));
        curve.SetTotalsEntry(entry.GetTotalsEntry());
        curve.SetTotalsGroupEntry(entry.GetTotalsGroupEntry());
        curve.SetTotalsGroup(entry.GetTotalsGroup());
        const double response = std::isfinite(entry.GetResponse()) && entry.GetResponse() > 0 ? entry.GetResponse() : 1.0;
        const int points = input.Int(0, 6);
        for (int p = 0; p < points; ++p) {
            tag_CALI_POINT point{};
            point.Conc = 10.0 * (p + 1);
            point.Resp = input.Int(0, 7) == 0 ? input.Double() : response * (p + 1) * (1.0 + input.Int(-10, 10) / 500.0);
            curve.SetCaliPoint(point, p);
        }
        curve.SetNumCaliPts(points);
        curves.Add(curve);
    }
    return curves;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const Run original = MakeRun(input);
    Run run = original, second = original;
    const int entries = run.methods.GetSize(), peaks = run.peaks.GetSize();

    CQuanLocate locate;
    const int located = locate.QuanDoLocation(run.methods, run.peaks, run.sample, kNoPeriodicTable);
    CheckLocated(run, entries, peaks, located);
    FUZZ_CHECK(locate.QuanDoLocation(second.methods, second.peaks, second.sample, kNoPeriodicTable) == located);
    FUZZ_CHECK(Snapshot(second.methods, second.peaks) == Snapshot(run.methods, run.peaks));

    CCalibrationList curves = MakeCurves(run.methods, input);
    CQuanCalibrate calibrate;
    const int calibrated = calibrate.QuanDoCalibration(&curves, input.Bool());
    FUZZ_CHECK(calibrated == kCaliOK || calibrated == kCaliBadWeighting || calibrated == kCaliBadPointForAxis);

    // Results of earlier software must not pass for this run's: every peak starts unquantified.
    for (int j = 0; j < peaks; ++j) {
        run.peaks.GetAt(j).SetValidConc(0);
        run.peaks.GetAt(j).SetAnalConc(-1.0);
    }
    CQuanSampleData sample;
    sample.SetSampleType(input.Int(-1, 8));
    CPeakList again = run.peaks;
    CQuanQuantify quantify;
    quantify.SetCurrentSample(sample);
    quantify.SetCalculateUsingTLOD(input.Bool());
    const int status = quantify.DoQuantify(&curves, &run.methods, &run.peaks, kNoPeriodicTable);
    static const std::set<int> kQuantifyCodes = {kQuantifyOK, kQuantifyListsUnequal, kQuantifyBadEntry, kQuantifyMissingList};
    FUZZ_CHECK(kQuantifyCodes.count(status) == 1);
    FUZZ_CHECK(run.methods.GetSize() == entries && run.peaks.GetSize() == peaks && curves.GetSize() == entries);
    for (int j = 0; j < peaks; ++j) {
        const CPeakData& peak = run.peaks.GetAt(j);
        if (peak.GetValidConc() == 0) continue;
        FUZZ_CHECK(std::isfinite(peak.GetAnalConc()) && peak.GetAnalConc() >= 0.0);
        const int entry = peak.GetMDBEntry();
        const bool compound = entry >= 1 && entry <= entries && !run.methods.GetAt(entry - 1).GetTotalsEntry() &&
                              !run.methods.GetAt(entry - 1).GetTotalsGroupEntry();
        if (compound) FUZZ_CHECK(peak.GetAnalConc() <= 1e12 && peak.GetDetectionThreshold() >= 1e-12);
    }
    FUZZ_CHECK(quantify.DoQuantify(&curves, &run.methods, &again, kNoPeriodicTable) == status);
    FUZZ_CHECK(Snapshot(run.methods, again) == Snapshot(run.methods, run.peaks));
    return 0;
}
