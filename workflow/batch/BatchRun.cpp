#include "workflow/batch/BatchRun.h"

#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "platform/NumberText.h"
#include "workflow/batch/Workers.h"

namespace Batch {

// --- status texts ---------------------------------------------------------------------------

namespace {
std::string StatusText(int status, const std::map<int, const char*>& meanings) {
    auto found = meanings.find(status);
    return std::to_string(status) + " (" + (found == meanings.end() ? "unknown status" : found->second) + ")";
}
}  // namespace

std::string LocateStatusText(int status) {
    static const std::map<int, const char*> meanings = {
        {kLocateOK, "success"},
        {kLocateTotalsFailed, "totals location failed"},
        {kLocateBackTrack, "location loop did not settle"},
        {kLocateNotFound, "an entry was not found"},
        {kLocateBadLocateMethod, "an entry has an unknown locate method"},
        {kLocateListsUnequal, "lists of unequal length"},
        {kLocateElementUnreadable, "the periodic-table database could not be opened or read"},
        {kLocateBadStdLevel, "an entry has an unknown standard level"},
        {kLocateEmptyPeakList, "the peak list is empty"},
        {kLocateMissingList, "a list is missing"},
        {kLocateCircularReference, "circular relative-retention reference"},
        {kLocatePeakAssigned, "a peak is already assigned"},
        {kLocateFunctionDiffers, "the acquisition function differs"},
        {kLocateChromatogramDiffers, "the chromatogram differs"},
        {kLocateNotAvailable, "not available"},
    };
    return StatusText(status, meanings);
}

std::string CalibrateStatusText(int status) {
    static const std::map<int, const char*> meanings = {
        {kCaliOK, "success"},
        {13, "a sample is not a standard, or a curve has a weighting outside 0 to 4"},
        {kCaliMissingList, "no calibration list"},
        {kCaliBadPointForAxis, "a calibration point is not above zero under the axis transformation"},
        {kCaliMissingSampleList, "no sample list"},
        {kCaliMissingCurve, "no curve"},
    };
    return StatusText(status, meanings);
}

std::string QuantifyStatusText(int status) {
    static const std::map<int, const char*> meanings = {
        {kQuantifyOK, "success"},
        {kQuantifyListsUnequal, "the calibration and method lists differ in size"},
        {kQuantifyBadEntry, "a peak names no method entry, or an entry has an unknown response basis"},
        {kQuantifyMissingList, "a list is missing"},
    };
    return StatusText(status, meanings);
}

// --- curves from the method -----------------------------------------------------------------

CCalibrationList EmptyCurves(const CMethodList& method) {
    CCalibrationList curves;
    for (int i = 0; i < method.GetSize(); ++i) {
        const CMethodData& entry = method.GetAt(i);
        CCalibrationData curve;
        // The quantification engine looks a curve up by the entry's calibration compound.
        curve.SetName(entry.GetCalCompound().empty() ? entry.GetName() : entry.GetCalCompound());
#define COPY_SETTING(Name) curve.Set##Name(entry.Get##Name());
        COPY_SETTING(Cas) COPY_SETTING(RepUnits) COPY_SETTING(RAH) COPY_SETTING(RCalc) COPY_SETTING(RRef)
        COPY_SETTING(CCalc) COPY_SETTING(XYTrans) COPY_SETTING(ZeroResp) COPY_SETTING(Origin)
        COPY_SETTING(WeightingFunction) COPY_SETTING(MinArea) COPY_SETTING(MinHeight)
        COPY_SETTING(DetectionThreshold) COPY_SETTING(QuantitationThreshold) COPY_SETTING(LinearityLimit)
        COPY_SETTING(CarryOverThreshold) COPY_SETTING(CCThreshold) COPY_SETTING(TotalsEntry)
        COPY_SETTING(TotalsGroupEntry) COPY_SETTING(TotalsGroup) COPY_SETTING(UseMulti)
#undef COPY_SETTING
        curves.Add(curve);
    }
    return curves;
}

bool LoadSamplePeaks(const CMethodList& method, const SampleInput& sample, CPeakList& peaks,
                     std::vector<Integrate::PeakQuality>& quality, std::vector<Problem>& problems,
                     std::vector<RawData::Chromatogram>* chromatograms) {
    const bool corrected = !sample.integrations.empty();
    std::vector<RawData::Chromatogram> ownTraces;
    if (corrected && sample.rawData && chromatograms == nullptr) chromatograms = &ownTraces;
    // Peaks read with the batch come without their chromatograms: read the files again for them.
    if (sample.peaks.GetSize() > 0 && (chromatograms == nullptr || !sample.rawData)) {
        peaks = sample.peaks;
        quality = sample.quality;
    } else if (!ReadSamplePeaks(sample, method, peaks, problems, chromatograms, &quality)) {
        return false;
    }
    if (!corrected) return true;
    const std::vector<RawData::Chromatogram> none;
    return ApplyIntegrations(method, sample.integrations, chromatograms != nullptr ? *chromatograms : none, peaks,
                             quality, problems);
}

namespace {

bool LoadPeaks(const CMethodList& method, const SampleInput& sample, CPeakList& peaks,
               std::vector<Integrate::PeakQuality>& quality, std::vector<Problem>& problems,
               std::vector<RawData::Chromatogram>* chromatograms) {
    return LoadSamplePeaks(method, sample, peaks, quality, problems, chromatograms);
}

// Each entry's located peaks, found in one pass over the sample's peaks rather than one pass
// per entry: the main peak, and the first qualifier with a measured ratio.
struct EntryPeaks {
    std::vector<const CPeakData*> main, qualifier;  // by 1-based entry number; null when none
    std::vector<int> mainIndex;                     // the main peak's place in the list
    std::vector<char> manual;                       // the main peak or a qualifier was set by hand

    EntryPeaks(const CPeakList& peaks, int entries)
        : main(entries + 1, nullptr), qualifier(entries + 1, nullptr), mainIndex(entries + 1, -1),
          manual(entries + 1, 0) {
        for (int j = 0; j < peaks.GetSize(); ++j) {
            const CPeakData& peak = peaks.GetAt(j);
            const int e = peak.GetMDBEntry();
            if (e < 1 || e > entries) continue;
            if (peak.GetModified()) manual[e] = 1;
            if (peak.GetMDBEntryPeak() == 0) {
                if (main[e] == nullptr) {
                    main[e] = &peak;
                    mainIndex[e] = j;
                }
            } else if (qualifier[e] == nullptr && !peak.GetPlaceHolder() && peak.GetActualIonRatio() != 0.0f) {
                qualifier[e] = &peak;
            }
        }
    }
};

// Everything one located sample holds that later steps need.
struct LocatedSample {
    int status = 0;
    CMethodList method;  // the method as located in this sample (found RTs, fixed concentrations)
    CPeakList peaks;
    std::vector<RawData::Chromatogram> chromatograms;  // as read, when asked for
    std::vector<Integrate::PeakQuality> quality;       // one per peak, or empty (BatchInput.h)
};

bool LocateSample(CQuanLocate& engine, const BatchInput& input, const SampleInput& sample,
                  const RunOptions& options, LocatedSample& located, std::vector<Problem>& problems,
                  bool keepChromatograms = false) {
    if (!LoadPeaks(input.method, sample, located.peaks, located.quality, problems,
                   keepChromatograms ? &located.chromatograms : nullptr))
        return false;
    located.method = input.method;
    CSampleRecord record = sample.sample.GetRecord();
    located.status = engine.QuanDoLocation(located.method, located.peaks, record, options.periodicDatabase);
    if (located.status >= kLocateFirstFatal)
        problems.push_back({sample.peakPath, 0, 0, "sample " + sample.id + ": location stopped with status " +
                                                       LocateStatusText(located.status)});
    return true;
}

// One calibration point per standard from the entry's main peak: its fixed concentration and
// response; excluded when the peak is missing, has no response or the analyst excluded it.
void AddCalibrationPoint(CCalibrationData& curve, const CMethodData& entry, const CPeakData* peak,
                         const SampleInput& sample) {
    const bool hasResponse = peak != nullptr && peak->GetResponseFlag() != 0 && peak->GetResponse() > 0.0;
    const bool excluded = !hasResponse || sample.excluded.count(entry.GetName()) > 0;
    tag_CALI_POINT point{};
    point.Conc = peak != nullptr && peak->GetFixedConc() > 0.0 ? peak->GetFixedConc() : entry.GetFixedConc();
    point.Resp = hasResponse ? peak->GetResponse() : 0.0;
    point.Weight = 1.0;
    point.Flags = excluded ? kCaliPointExcluded : 0;
    // A transformed axis cannot take a point at or below zero, not even an excluded one.
    if (curve.GetXYTrans() != kAxisNone && (point.Conc <= 0.0 || point.Resp <= 0.0)) return;
    if (!(point.Conc > 0.0)) return;  // a standard without this compound gives no point
    const int n = curve.GetNumCaliPts();
    tagFILE_INFO file{};
    std::snprintf(file.Name, sizeof file.Name, "%s", sample.id.c_str());
    curve.SetCaliPoint(point, n);
    curve.SetCaliFile(file, n);
    curve.SetNumCaliPts(n + 1);
}

}  // namespace

bool CalibrateBatch(const BatchInput& input, const RunOptions& options, CCalibrationList& curves,
                    std::vector<Problem>& problems) {
    std::vector<const SampleInput*> standards;
    for (const auto& sample : input.samples)
        if (sample->type == CQuanSampleData::kStandard) standards.push_back(sample.get());
    const std::string batchFile = input.folder + "/batch.csv";
    if (standards.empty()) {
        problems.push_back({batchFile, 0, 0, "the batch has no standards to calibrate from (give --curves to reuse stored curves)"});
        return false;
    }
    if (static_cast<int>(standards.size()) > kCurveRecordPoints) {
        problems.push_back({batchFile, 0, 0, "the batch has " + std::to_string(standards.size()) +
                                                 " standards; a stored curve holds at most " +
                                                 std::to_string(kCurveRecordPoints) + " points"});
        return false;
    }

    // Locate the standards, several at a time; keep only each entry's main peak.
    std::vector<std::vector<std::optional<CPeakData>>> mainPeaks(standards.size());
    std::vector<CMethodList> methods(standards.size());
    std::vector<std::vector<Problem>> found(standards.size());
    std::atomic<bool> readAll{true};
    RunOnWorkers(static_cast<int>(standards.size()), options.threads, [&](int worker, int index) {
        (void)worker;
        thread_local CQuanLocate engine;
        LocatedSample located;
        if (!LocateSample(engine, input, *standards[index], options, located, found[index])) {
            readAll = false;
            return;
        }
        const EntryPeaks entryPeaks(located.peaks, input.method.GetSize());
        for (int e = 1; e <= input.method.GetSize(); ++e) {
            const CPeakData* peak = entryPeaks.main[e];
            mainPeaks[index].push_back(peak ? std::optional<CPeakData>(*peak) : std::nullopt);
        }
        methods[index] = std::move(located.method);
    });
    for (auto& list : found) problems.insert(problems.end(), list.begin(), list.end());
    if (!readAll) return false;

    curves = EmptyCurves(input.method);
    CQuanSampleDataList standardList;
    for (size_t s = 0; s < standards.size(); ++s) {
        for (int i = 0; i < input.method.GetSize(); ++i) {
            const CMethodData& entry = methods[s].GetAt(i);
            if (entry.IsTotals()) continue;  // built from the members
            const std::optional<CPeakData>& peak = mainPeaks[s][i];
            AddCalibrationPoint(*curves.GetEntry(i), entry, peak ? &*peak : nullptr, *standards[s]);
        }
        standardList.Add(standards[s]->sample);
    }
    if (options.beforeFit) options.beforeFit(curves);
    CMethodList method = input.method;
    CQuanCalibrate engine;
    const int status = engine.Calibrate(&method, &curves, &standardList, options.periodicDatabase, 0, 0, nullptr, false);
    if (status != kCaliOK) {
        problems.push_back({batchFile, 0, 0, "calibration stopped with status " + CalibrateStatusText(status)});
        return false;
    }
    return true;
}

// --- quantification ----------------------------------------------------------------------------

namespace {

struct FlagName {
    const char* name;
    int (*get)(const CPeakData&);
};

// The result flags a reader must see: the named flags, then every bit of the flag word.
const std::vector<FlagName>& ResultFlags() {
    static const std::vector<FlagName> flags = [] {
        std::vector<FlagName> table;
#define RESULT_FLAG(Name) table.push_back({#Name, [](const CPeakData& p) { return static_cast<int>(p.Get##Name()); }});
        RESULT_FLAG(MinAreaFlag) RESULT_FLAG(MinHeightFlag) RESULT_FLAG(LODFlag) RESULT_FLAG(LOQFlag)
        RESULT_FLAG(LOLFlag) RESULT_FLAG(COLFlag) RESULT_FLAG(MinCCFlag) RESULT_FLAG(IRWinFlag)
        RESULT_FLAG(NoSolutionFlag) RESULT_FLAG(SignalToNoiseLODFlag) RESULT_FLAG(SignalToNoiseLOQFlag)
        RESULT_FLAG(SymmetryFailedFlag) RESULT_FLAG(MethodQCDevFlag)
#define PEAK_FLAG_BIT(bit, Name) RESULT_FLAG(Name)
#include "records/PeakFlagBits.def"
#undef RESULT_FLAG
        return table;
    }();
    return flags;
}

// A single-precision value as the number it was written as (9.7983, not 9.798299789).
double FromFloat(float value) {
    double shown = 0.0;
    NumberText::Read(NumberText::General(value, 7), shown);
    return shown;
}

// A limit the engine stores as its floor (1e-12) when it computed none is shown as no limit.
double ShownLimit(double limit) { return limit > 1e-12 ? limit : std::nan(""); }

// A field's text, or its number as the shortest text that reads back exactly, as its form says.
// `scratch` is the caller's, reused from field to field (a batch reports millions of fields).
std::string_view FieldText(const CPeakData& peak, const PeakFieldInfo& info, std::string& scratch, char (&digits)[32]) {
    double number = 0.0;
    if (!peak.PeakGetFieldStr(info.field, false, scratch, number)) return std::string_view();
    if (info.form != PeakFieldForm::kNumber) return scratch;
    if (!std::isfinite(number)) return std::string_view();
    const auto written = std::to_chars(digits, digits + sizeof digits, number);
    return std::string_view(digits, static_cast<size_t>(written.ptr - digits));
}

// Enumerated settings are reported by the texts method files and quan-method show use (the
// peak field strings give some as codes, others as bare numbers); a value outside its table
// keeps the field's own text. Which fields those are is worked out once, by name.
struct ReportedField {
    const PeakFieldInfo* info;
    const Keywords::EnumeratedSetting* setting;  // null for a field that is no enumerated setting
    int32_t (CPeakData::*get)() const;
};

const std::vector<ReportedField>& ReportedFields() {
    static const std::vector<ReportedField> fields = [] {
        static const struct {
            const char* name;
            int32_t (CPeakData::*get)() const;
        } kSettings[] = {
            {"LocateBy", &CPeakData::GetLocateBy}, {"RAH", &CPeakData::GetRAH},         {"RCalc", &CPeakData::GetRCalc},
            {"StdLevels", &CPeakData::GetStdLevels}, {"CCalc", &CPeakData::GetCCalc},   {"XYTrans", &CPeakData::GetXYTrans},
            {"Origin", &CPeakData::GetOrigin},     {"WeightingFunction", &CPeakData::GetWeightingFunction},
        };
        std::vector<ReportedField> table;
        for (const PeakFieldInfo& info : PeakFieldList()) {
            ReportedField field{&info, nullptr, nullptr};
            for (const auto& setting : kSettings)
                if (std::string_view(setting.name) == info.name) {
                    field.setting = Keywords::FindEnumeratedSetting(setting.name);
                    field.get = setting.get;
                }
            table.push_back(field);
        }
        return table;
    }();
    return fields;
}

ResultRow MakeRow(int sampleIndex, int entryNumber, const CMethodData& entry, const EntryPeaks& peaks,
                  const std::vector<Integrate::PeakQuality>& quality) {
    const CPeakData* peak = peaks.main[entryNumber];
    ResultRow row;
    row.sample = sampleIndex;
    row.entry = entryNumber;
    row.compound = entry.GetName();
    row.units = entry.GetRepUnits();
    const double kNone = std::nan("");
    row.lod = row.loq = row.signalToNoise = row.ionRatio = kNone;
    // A placeholder located as the main peak stands for a peak that is not there (an analyst's
    // "no peak"): the compound is not found.
    if (peak == nullptr || peak->GetPlaceHolder()) {
        row.flagsSet.push_back("NotFound");
        if (peaks.manual[entryNumber]) row.flagsSet.push_back(kManualFlag);
        return row;
    }
    row.found = true;
    const int place = peaks.mainIndex[entryNumber];
    if (place >= 0 && static_cast<size_t>(place) < quality.size()) row.quality = quality[place];
    row.foundRT = FromFloat(peak->GetFoundRT());
    row.area = peak->GetArea();
    row.response = peak->GetResponse();
    row.validConc = peak->GetValidConc() != 0;
    row.conc = peak->GetAnalConc();
    if (!peak->GetRepUnits().empty()) row.units = peak->GetRepUnits();
    if (row.validConc) {
        row.lod = ShownLimit(peak->GetDetectionThreshold());
        row.loq = ShownLimit(peak->GetQuantitationThreshold());
    }
    if (peak->GetSignalToNoise() > 0.0) row.signalToNoise = peak->GetSignalToNoise();
    const CPeakData* qualifier = peaks.qualifier[entryNumber];
    row.ionRatio = qualifier != nullptr ? FromFloat(qualifier->GetActualIonRatio()) : std::nan("");
    std::string scratch;
    char digits[32];
    row.flagsText = FieldText(*peak, *FindPeakField(CPeakData::kPeakDetectionFlags), scratch, digits);
    // A total's concentration is the sum of its members, not a point on its own curve, so the
    // curve's no-solution flag says nothing about it.
    const bool total = entry.IsTotals();
    for (const FlagName& flag : ResultFlags())
        if (flag.get(*peak) != 0 && !(total && std::string(flag.name) == "NoSolutionFlag")) row.flagsSet.push_back(flag.name);
    if (peaks.manual[entryNumber]) row.flagsSet.push_back(kManualFlag);
    bool first = true;
    std::string settingText;
    for (const ReportedField& field : ReportedFields()) {
        std::string_view text;
        if (field.setting != nullptr) {
            settingText = Keywords::SettingText(*field.setting, (peak->*field.get)());
            text = settingText;
        }
        const bool plain = !text.empty() || field.info->form == PeakFieldForm::kNumber;
        if (text.empty()) text = FieldText(*peak, *field.info, scratch, digits);
        if (plain) row.AddPlainPeakFieldText(text, first);
        else row.AddPeakFieldText(text, first);
        first = false;
    }
    return row;
}

}  // namespace

bool CurvesMatchEntries(const CMethodList& method, const CCalibrationList& curves) {
    bool match = curves.GetSize() == method.GetSize();
    for (int i = 0; match && i < curves.GetSize(); ++i)
        match = curves.GetEntry(i) != nullptr && curves.GetEntry(i)->GetName() == method.GetAt(i).GetCalCompound();
    return match;
}

void QuantifySample(CQuanLocate& locate, CQuanQuantify& quantify, const BatchInput& input, int index,
                    const CCalibrationList& curves, bool curvesMatch, const RunOptions& options, SampleRun& outcome) {
    const SampleInput& sample = *input.samples[index];
    outcome.result.id = sample.id;
    outcome.result.typeNumber = sample.type;
    outcome.result.type = CSampleRecord::TypeText(sample.type);
    outcome.result.description = sample.sample.GetDescription();
    outcome.result.peakFile = sample.peakFile;
    LocatedSample located;
    const bool keepTraces = options.traces.keep && options.onTraces && sample.rawData;
    if (!LocateSample(locate, input, sample, options, located, outcome.problems, keepTraces)) return;
    outcome.ran = true;
    outcome.result.locateStatus = located.status;
    // Quantification copies a matching curve into an entry's slot when the slot holds
    // another compound's curve. Then each sample works on its own copy, so the outcome
    // does not depend on which samples ran before; otherwise nothing writes to the
    // curves and every thread reads the one list.
    std::optional<CCalibrationList> ownCurves;
    if (!curvesMatch) ownCurves.emplace(curves);
    CCalibrationList* sampleCurves = ownCurves ? &*ownCurves : const_cast<CCalibrationList*>(&curves);
    quantify.SetCurrentSample(sample.sample);
    outcome.result.quantifyStatus =
        quantify.DoQuantify(sampleCurves, &located.method, &located.peaks, options.periodicDatabase);
    if (outcome.result.quantifyStatus != kQuantifyOK)
        outcome.problems.push_back({sample.peakPath, 0, 0, "sample " + sample.id + ": quantification stopped with status " +
                                                               QuantifyStatusText(outcome.result.quantifyStatus)});
    const EntryPeaks entryPeaks(located.peaks, located.method.GetSize());
    for (int e = 1; e <= located.method.GetSize(); ++e) {
        const CMethodData& entry = located.method.GetAt(e - 1);
        outcome.rows.push_back(MakeRow(index, e, entry, entryPeaks, located.quality));
        if (!entry.IsTotals()) outcome.windows.push_back(LocationWindow(entry, e));
    }
    if (keepTraces) {
        outcome.traces = CutEntryTraces(located.method, located.peaks, located.chromatograms, options.traces);
        located.chromatograms.clear();
    }
}

bool QuantifyBatch(const BatchInput& input, const CCalibrationList& curves, const RunOptions& options,
                   BatchResults& results, std::vector<Problem>& problems) {
    const int total = static_cast<int>(input.samples.size());
    results.samples.clear();
    results.rows.clear();

    // Results are handed on in injection order: a finished sample waits in its slot until
    // every earlier one has gone.
    const bool curvesMatch = CurvesMatchEntries(input.method, curves);
    std::vector<std::optional<SampleRun>> slots(total);
    std::mutex deliver;
    int next = 0, done = 0;
    bool ok = true;
    std::string sinkError;

    RunOnWorkers(total, options.threads, [&](int worker, int index) {
        (void)worker;
        thread_local CQuanLocate locate;
        thread_local CQuanQuantify quantify;
        SampleRun outcome;
        QuantifySample(locate, quantify, input, index, curves, curvesMatch, options, outcome);

        std::lock_guard<std::mutex> lock(deliver);
        slots[index] = std::move(outcome);
        for (; next < total && slots[next]; ++next) {
            SampleRun& ready = *slots[next];
            problems.insert(problems.end(), ready.problems.begin(), ready.problems.end());
            if (!ready.ran) ok = false;
            results.samples.push_back(ready.result);
            if (ok && options.onTraces && !ready.traces.empty() &&
                !options.onTraces(ready.result, ready.rows, ready.traces, sinkError)) {
                ok = false;
                problems.push_back({"", 0, 0, sinkError});
            }
            if (ok && options.onSample) {
                if (!options.onSample(ready.result, ready.rows, sinkError)) {
                    ok = false;
                    problems.push_back({"", 0, 0, sinkError});
                }
            } else if (ok) {
                for (ResultRow& row : ready.rows) results.rows.push_back(std::move(row));
            }
            slots[next].reset();
        }
        ++done;
        if (options.progress) options.progress(done, total);
    });
    return ok;
}

std::vector<CurveResult> DescribeCurves(const CMethodList& method, const CCalibrationList& curves) {
    std::vector<CurveResult> described;
    for (int i = 0; i < curves.GetSize() && i < method.GetSize(); ++i) {
        CurveResult curve;
        curve.entry = i + 1;
        curve.compound = method.GetAt(i).GetName();
        curve.curve = curves.GetAt(i);
        curve.description = curve.curve.GetDescription();
        described.push_back(std::move(curve));
    }
    return described;
}

}  // namespace Batch
