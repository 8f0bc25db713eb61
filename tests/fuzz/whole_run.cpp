// A whole run on a small method, peak list and sample built from the input (see MakeRun):
// location, and the same location again on fresh copies with the engine reused; then a
// calibration of one curve per method entry (points on a line through the entry's located
// response, or any values), quantification of the sample, and the same quantification again
// with the engine reused.
// Invariants: every status is one its engine defines; a reused engine gives exactly what a
// fresh one gives (the peak records compared byte for byte). What the stored results hold is the unit tests'
// business.
#include <cmath>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "locate/LocateStatus.h"
#include "quan.h"
#include "quantify/QuantifyStatus.h"
#include "report/PeakFieldStrings.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {
// The run: a small method, peak list and sample built from the input. Each entry and peak
// starts as a plausible one (an "RT" entry on one of a few traces, a peak near some entry's
// retention time) and then has any number of its settings, chosen by index from the whole field
// table (a peak's through its report fields), set to values from the input: small numbers
// mostly, so that entry numbers, codes and switches mean something, now and then any value.
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
    static const char* const kPeakTexts[] = {"0", "1", "2", "-1", "1.5", "304.0", "E1", "PAH", "PAH; EPA16", "Y", ""};
    const auto fields = PeakFieldList();
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
        for (int c = 0; c < changes; ++c) {
            const int field = fields[input.Int(0, static_cast<int>(fields.size()) - 1)].field;
            std::string text = input.Choice(kPeakTexts);
            (void)peak.PeakSetFieldStr(static_cast<CPeakData::PeakDataFields>(field), input.Int(-1, 6), text);
        }
        run.peaks.Add(peak);
    }
    run.sample.SetType(input.Int(-1, 8));
    run.sample.SetStockDilution(input.Double());
    for (int level = 0; level < CSampleRecord::kNumConcentrations; ++level) run.sample.SetConcentration(level, level + 1.0);
    const int changes = input.Int(0, 4);
    for (int c = 0; c < changes; ++c) run.sample.SetConcentration(input.Int(-1, 20), input.Double());
    return run;
}

// Every peak record: what a run left behind, for comparing two runs.
std::string Snapshot(const CPeakList& peaks) {
    std::string text;
    for (int j = 0; j < peaks.GetSize(); ++j) {
        FUZZ_CHECK(peaks.GetEntry(j) != nullptr);
        text.append(reinterpret_cast<const char*>(&peaks.GetEntry(j)->GetRecord()), sizeof(_tagINTERNAL_PEAK_DB_RECORD));
    }
    return text;
}

const char* const kNoPeriodicTable = "/nonexistent/periodic.db";

// One curve per entry, its points on a line through the entry's response (now and then any
// value), with any origin and weighting.
CCalibrationList MakeCurves(const CMethodList& methods, FuzzInput& input) {
    CCalibrationList curves;
    for (int i = 0; i < methods.GetSize(); ++i) {
        const CMethodData& entry = methods.GetAt(i);
        CCalibrationData curve;
        curve.SetName(entry.GetName());
        curve.SetCCalc(entry.GetCCalc());
        curve.SetOrigin(input.Int(0, 3));
        curve.SetWeightingFunction(input.Int(0, 4));
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
    static const std::set<int> kLocateCodes = {
        kLocateOK,          kLocateReferenceFirst,    kLocateBackTrack,   kLocateNotFound,
        kLocateBadLocateMethod, kLocateListsUnequal,  kLocateElementUnreadable, kLocateBadStdLevel,
        kLocateEmptyPeakList, kLocateMissingList,     kLocateCircularReference, kLocatePeakAssigned,
        kLocateFunctionDiffers, kLocateChromatogramDiffers, kLocateNotAvailable};
    static const std::set<int> kQuantifyCodes = {kQuantifyOK, kQuantifyListsUnequal, kQuantifyBadEntry, kQuantifyMissingList};
    FuzzInput input(data, size);
    const Run original = MakeRun(input);
    Run run = original, second = original;

    CQuanLocate locate;
    const int located = locate.QuanDoLocation(run.methods, run.peaks, run.sample, kNoPeriodicTable);
    FUZZ_CHECK(kLocateCodes.count(located) == 1);
    FUZZ_CHECK(locate.QuanDoLocation(second.methods, second.peaks, second.sample, kNoPeriodicTable) == located);
    FUZZ_CHECK(Snapshot(second.peaks) == Snapshot(run.peaks));

    CCalibrationList curves = MakeCurves(run.methods, input);
    CQuanCalibrate calibrate;
    const int calibrated = calibrate.QuanDoCalibration(&curves, input.Bool());
    FUZZ_CHECK(calibrated == kCaliOK || calibrated == kCaliBadWeighting || calibrated == kCaliBadPointForAxis);

    CQuanSampleData sample;
    sample.SetSampleType(input.Int(-1, 8));
    CPeakList again = run.peaks;
    CQuanQuantify quantify;
    quantify.SetCurrentSample(sample);
    quantify.SetCalculateUsingTLOD(input.Bool());
    const int status = quantify.DoQuantify(&curves, &run.methods, &run.peaks, kNoPeriodicTable);
    FUZZ_CHECK(kQuantifyCodes.count(status) == 1);
    FUZZ_CHECK(quantify.DoQuantify(&curves, &run.methods, &again, kNoPeriodicTable) == status);
    FUZZ_CHECK(Snapshot(again) == Snapshot(run.peaks));
    return 0;
}
