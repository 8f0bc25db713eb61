// A method's traces, compiled once per call into comparitors, then each chromatogram matched,
// integrated and turned into peak entries (MethodIntegration.h says which settings and fields).
#include "integrate/MethodIntegration.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <unordered_map>

#include "platform/IntegrateParams.h"
#include "platform/MassStringComparitor.h"
#include "records/MethodList.h"
#include "records/PeakList.h"

namespace Integrate {

namespace {

constexpr double kNominalWindow = 0.005;
constexpr double kAccurateWindow = 0.0001;
constexpr int kTraceSlots = 5;  // the quantification trace, then four qualifier traces
constexpr size_t kMaxGroupText = 255;

struct EntryTrace {
    int entry = 0;  // list index
    int slot = 0;   // 0 quantification, 1 to 4 qualifier
    std::string text;
    std::unique_ptr<CMassStringComparitor> comparitor;
};

double MatchWindow(const CMethodData& entry, const CMassStringComparitor& trace) {
    double window = entry.GetIsAccurateMass() != 0 ? kAccurateWindow : kNominalWindow;
    int isAbsolute = 0;
    const double given = entry.GetChroMassWindow(isAbsolute);
    if (!(given > 0.0)) return window;  // also refuses NaN
    double largestMass = 0.0;
    for (int m = 0; m < trace.GetNumMasses(); ++m) largestMass = std::max(largestMass, trace.GetMass(m));
    const double halfWidth = 0.5 * (isAbsolute != 0 ? given : given * 1e-6 * largestMass);
    return std::max(window, halfWidth);
}

std::vector<EntryTrace> MethodTraces(const CMethodList& method) {
    std::vector<EntryTrace> traces;
    for (int i = 0; i < method.GetSize(); ++i) {
        const CMethodData& entry = method.GetAt(i);
        for (int slot = 0; slot < kTraceSlots; ++slot) {
            const std::string text = slot == 0 ? entry.GetQuanTrace() : entry.GetTargetTrace(slot - 1);
            if (text.empty()) continue;
            const CMassStringComparitor parsed(text, kNominalWindow);
            EntryTrace trace{i, slot, text, std::make_unique<CMassStringComparitor>(text, MatchWindow(entry, parsed))};
            traces.push_back(std::move(trace));
        }
    }
    return traces;
}

// How the method uses one chromatogram.
struct TraceUse {
    const EntryTrace* quantification = nullptr;  // first entry with it as its quantification trace
    const EntryTrace* qualifier = nullptr;       // first entry with it as a qualifier trace
    std::string groups;
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The entries' traces a chromatogram is: those of its very text (a reader names each
// chromatogram by the trace asked for), else those within the comparison window. Text first,
// because nearby transitions ("169>97", "169.001>97") compare equal within the window.
TraceUse UseOf(const RawData::Chromatogram& chromatogram, const std::vector<EntryTrace>& traces,
              const std::unordered_multimap<std::string, const EntryTrace*>& byText, const CMethodList& method) {
    std::vector<const EntryTrace*> matches;
    const auto [first, last] = byText.equal_range(Lower(chromatogram.trace));
    for (auto match = first; match != last; ++match) matches.push_back(match->second);
    // In list order, as the entries name them (the traces are held in that order).
    std::sort(matches.begin(), matches.end());
    if (matches.empty()) {
        const CMassStringComparitor own(chromatogram.trace, kNominalWindow);
        for (const EntryTrace& trace : traces)
            if (*trace.comparitor == own) matches.push_back(&trace);
    }
    TraceUse use;
    for (const EntryTrace* trace : matches) {
        if (trace->slot == 0 && use.quantification == nullptr) use.quantification = trace;
        if (trace->slot > 0 && use.qualifier == nullptr) use.qualifier = trace;
        const std::string group = method.GetAt(trace->entry).GetTotalsGroup();
        if (group.empty() || use.groups.find(group) != std::string::npos) continue;
        const std::string joined = use.groups.empty() ? group : use.groups + "; " + group;
        if (joined.size() <= kMaxGroupText) use.groups = joined;
    }
    return use;
}

CPeakData PeakEntry(const RawData::Chromatogram& chromatogram, const Peak& peak, double noise, const std::string& trace) {
    auto scanOf = [&](int point) {
        return static_cast<uint32_t>(chromatogram.scans.size() == chromatogram.times.size() ? chromatogram.scans[point] : point + 1);
    };
    CPeakData entry;
    entry.SetQuanTrace(trace);
    entry.SetFoundRT(static_cast<float>(peak.apexTime));
    entry.SetStartRT(static_cast<float>(peak.startTime));
    entry.SetEndRT(static_cast<float>(peak.endTime));
    entry.SetStHeight(peak.startBaseline);
    entry.SetEnHeight(peak.endBaseline);
    entry.SetArea(peak.area);
    entry.SetHeight(peak.height);
    entry.SetChromNoise(noise);
    entry.SetFoundScan(scanOf(peak.apex));
    entry.SetStScan(scanOf(peak.start));
    entry.SetEnScan(scanOf(peak.end));
    entry.SetPeakMass(static_cast<float>(chromatogram.productMz > 0.0 ? chromatogram.productMz : chromatogram.precursorMz));
    entry.SetRawAcquisitionFunction(chromatogram.function);
    entry.SetPeakAsymmetryValue(static_cast<float>(peak.quality.asymmetry));
    return entry;
}

// The summary record a totals entry collects its members' sums in.
CPeakData TotalsRecord(const CMethodData& entry) {
    CPeakData record;
    record.SetQuanTrace(entry.GetQuanTrace());
    record.SetFoundRT(entry.GetPredRT());
    record.SetTotalsGroup(entry.GetTotalsGroup());
    record.SetRawAcquisitionFunction(entry.GetRawAcquisitionFunction());
    if (entry.GetTotalsEntry()) record.SetTotalsPeak(1);
    else record.SetTotalsGroupPeak(1);
    return record;
}

}  // namespace

const char* StatusText(Status status) {
    switch (status) {
    case Status::OK: return "integrated";
    case Status::LengthsDiffer: return "its time and intensity arrays differ in length";
    case Status::NotFinite: return "it holds a value that is not a finite number";
    case Status::TimesNotAscending: return "its times do not ascend";
    }
    return "unknown status";
}

std::vector<Quan::Problem> IntegrateForMethod(const CMethodList& method, const std::vector<RawData::Chromatogram>& chromatograms,
                                            CPeakList& peaks, std::vector<PeakQuality>* quality) {
    std::vector<Quan::Problem> problems;
    const std::vector<EntryTrace> traces = MethodTraces(method);
    std::unordered_multimap<std::string, const EntryTrace*> byText;  // the traces by their text, ignoring case
    for (const EntryTrace& trace : traces) byText.emplace(Lower(trace.text), &trace);
    tagINTEGRATE_PARAMS block{};
    for (const RawData::Chromatogram& chromatogram : chromatograms) {
        const TraceUse use = UseOf(chromatogram, traces, byText, method);
        const EntryTrace* named = use.quantification != nullptr ? use.quantification : use.qualifier;
        Settings settings;
        if (named != nullptr) {
            method.GetAt(named->entry).GetIntegrateParameters(&block, false);
            settings = SettingsFromBlock(block);
        }
        const Result integration = IntegrateSignal(chromatogram.times, chromatogram.intensities, settings);
        if (integration.status != Status::OK) {
            problems.push_back({"", 0, 0, StatusText(integration.status), "chromatogram " + chromatogram.id});
            continue;
        }
        const std::string& trace = named != nullptr ? named->text : chromatogram.trace;
        for (const Peak& peak : integration.peaks) {
            CPeakData entry = PeakEntry(chromatogram, peak, integration.noise, trace);
            entry.SetMDBIntegrateEntryPeak(use.qualifier != nullptr ? use.qualifier->slot : 0);
            if (!use.groups.empty()) entry.SetTotalsGroup(use.groups);
            peaks.Add(entry);
            if (quality != nullptr) quality->push_back(peak.quality);
        }
    }
    for (int i = 0; i < method.GetSize(); ++i) {
        const CMethodData& entry = method.GetAt(i);
        if (!entry.GetTotalsEntry() && !entry.GetTotalsGroupEntry()) continue;
        peaks.Add(TotalsRecord(entry));
        if (quality != nullptr) quality->push_back(PeakQuality{});
    }
    return problems;
}

}  // namespace Integrate
