// Applying an analyst's integration decisions to a sample's peaks (ManualIntegration.h), and
// the readable file that records them.
//
// How a decision is made to stick through location. Location takes a modified peak (detection
// flag "M") integrated for the entry (MDBIntegrateEntry = the entry's number) over the entry's
// other candidates, but an unassigned peak of the trace (MDBIntegrateEntry 0, as the integrator
// leaves every peak) still competes with it by the entry's choice rule, and a placeholder loses
// to any real peak. So a corrected trace's automatic peaks are given to the entry as well
// (unmodified, they then lose to the modified one), and for a qualifier trace they stop being
// qualifier candidates: the analyst's decision is the only one location can take. Peaks that
// another entry reading the same trace could take (apex inside that entry's location window, or
// anywhere when it has none) are left as they were.
#include "workflow/review/ManualIntegration.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "platform/NumberText.h"
#include "quan.h"
#include "workflow/batch/BatchInput.h"
#include "workflow/batch/BatchResults.h"
#include "workflow/output/Writers.h"
#include "workflow/support/Csv.h"

namespace Batch {

namespace {

const char* const kColumns[] = {"sample", "compound", "trace", "kind",  "start", "end",
                                "baseline_start", "baseline_end", "apex", "user", "time", "reason"};
enum Column { kSample, kCompound, kTrace, kKind, kStart, kEnd, kBaselineStart, kBaselineEnd, kApex, kUser, kTime, kReason, kColumnCount };

const double kNoValue = std::nan("");

std::string Where(const IntegrationChange& change) {
    return "sample " + change.sample + ", compound " + change.compound + ", trace " + std::to_string(change.slot);
}

std::string SlotTrace(const CMethodData& entry, int slot) {
    return slot == kQuantifierSlot ? entry.GetQuanTrace() : entry.GetTargetTrace(slot - 1);
}

// A peak of the trace: named by its text (the integrator names peaks by the method's text).
bool OfTrace(const CPeakData& peak, const std::string& trace) {
    return NumberText::EqualIgnoringCase(peak.GetQuanTrace(), trace);
}

// The integrator's peaks of a trace that a change may take or hide: real, unassigned peaks.
bool AutomaticPeakOf(const CPeakData& peak, const std::string& trace) {
    return OfTrace(peak, trace) && !peak.GetPlaceHolder() && !peak.IsTotals() && !peak.GetModified() &&
           peak.GetMDBIntegrateEntry() == 0;
}

// The trace's intensity at `time` by linear interpolation (times ascending, time inside them).
double TraceAt(const std::vector<float>& times, const std::vector<float>& intensities, double time) {
    const size_t above = static_cast<size_t>(std::lower_bound(times.begin(), times.end(), time) - times.begin());
    if (above >= times.size()) return intensities.back();
    if (above == 0 || times[above] == time) return intensities[above];
    const double share = (time - times[above - 1]) / (static_cast<double>(times[above]) - times[above - 1]);
    return intensities[above - 1] + share * (static_cast<double>(intensities[above]) - intensities[above - 1]);
}

// "2026-12-08T01:23:45Z" into the peak record's date ("20261208") and time ("01:23:45").
bool SplitUtcTime(const std::string& text, std::string& date, std::string& time) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char tail = 0;
    if (text.size() != 20 || std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &year, &month, &day, &hour,
                                         &minute, &second, &tail) != 7 || tail != 'Z')
        return false;
    if (text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':') return false;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return false;
    date = text.substr(0, 4) + text.substr(5, 2) + text.substr(8, 2);
    time = text.substr(11, 8);
    return true;
}

// At most `bytes` of a UTF-8 text, never cutting a character in two.
std::string Utf8Prefix(const std::string& text, size_t bytes) {
    if (text.size() <= bytes) return text;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

constexpr size_t kModifiedUserChars = 80, kModifiedTextChars = 83;

void MarkModified(CPeakData& peak, const IntegrationChange& change, int entryNumber) {
    std::string flags = peak.GetPeakDetectionFlags();
    if (flags.find('M') == std::string::npos) {
        // The flags text holds seven characters: the mark replaces the last when it is full.
        constexpr size_t kFlagChars = 7;
        if (flags.size() >= kFlagChars) flags.resize(kFlagChars - 1);
        flags += 'M';
    }
    peak.SetPeakDetectionFlags(flags);
    peak.SetMDBIntegrateEntry(entryNumber);
    if (change.slot != kQuantifierSlot) peak.SetMDBIntegrateEntryPeak(change.slot);
    std::string date, time;
    if (SplitUtcTime(change.time, date, time)) {
        peak.SetModifiedDate(date);
        peak.SetModifiedTime(time);
    }
    peak.SetModifiedUser(Utf8Prefix(change.user, kModifiedUserChars));
    peak.SetModifiedText(Utf8Prefix(change.reason, kModifiedTextChars));
}

// Whether another entry (not the changed one) could take a peak of `trace` at `apex`: it reads
// the trace and the apex lies inside its location window (any apex when it has none).
bool AnotherEntryMayTake(const CMethodList& method, int changedIndex, const std::string& trace, double apex) {
    for (int j = 0; j < method.GetSize(); ++j) {
        if (j == changedIndex) continue;
        const CMethodData& other = method.GetAt(j);
        // A total takes its summary record, and afterwards only peaks no entry holds.
        if (other.IsTotals()) continue;
        bool reads = false;
        for (int slot = 0; slot <= kQualifierSlots; ++slot)
            reads = reads || NumberText::EqualIgnoringCase(SlotTrace(other, slot), trace);
        if (!reads) continue;
        const double window = other.GetLocateRTWin();
        if (!(window > 0.0) || std::fabs(apex - other.GetPredRT()) <= window) return true;
    }
    return false;
}

// One change checked against the sample, with what applying it needs.
struct PlannedChange {
    const IntegrationChange* change = nullptr;
    int entryIndex = 0;
    std::string trace;
    int chosen = -1;        // kChosenPeak: the peak taken
    CPeakData added;        // kBounds and kNoPeak: the peak put in front of the list
    Integrate::PeakQuality quality;
};

bool FindEntry(const CMethodList& method, const std::string& name, int& index) {
    for (int i = 0; i < method.GetSize(); ++i)
        if (method.GetAt(i).GetName() == name) {
            index = i;
            return true;
        }
    return false;
}

// The peak a kBounds change puts in: the integrator's fields for a peak of that trace, measured
// from the trace's points in single precision (as the results keep them).
bool MeasuredPeak(const CMethodData& entry, const RawData::Chromatogram& chromatogram, const CPeakList& peaks,
                  PlannedChange& plan, std::string& error) {
    const IntegrationChange& change = *plan.change;
    std::vector<float> times(chromatogram.times.begin(), chromatogram.times.end());
    std::vector<float> intensities(chromatogram.intensities.begin(), chromatogram.intensities.end());
    if (times.empty() || times.size() != intensities.size()) {
        error = "the trace " + plan.trace + " has no points to measure";
        return false;
    }
    const bool inside = change.start >= times.front() && change.end <= times.back();
    const double startBaseline = std::isnan(change.baselineStart) && inside ? TraceAt(times, intensities, change.start)
                                                                            : change.baselineStart;
    const double endBaseline = std::isnan(change.baselineEnd) && inside ? TraceAt(times, intensities, change.end)
                                                                        : change.baselineEnd;
    Integrate::Peak measured;
    if (!MeasurePeak(times, intensities, change.start, change.end, startBaseline, endBaseline, measured, error))
        return false;
    // Identity and noise as the integrator gave the trace's own peaks, when it found any.
    const CPeakData* automatic = nullptr;
    for (int j = 0; j < peaks.GetSize() && automatic == nullptr; ++j)
        if (const CPeakData* peak = peaks.GetEntry(j); peak != nullptr && OfTrace(*peak, plan.trace) && !peak->IsTotals() &&
                                                       !peak->GetPlaceHolder())
            automatic = peak;
    auto scanOf = [&](int point) {
        return static_cast<uint32_t>(chromatogram.scans.size() == chromatogram.times.size() ? chromatogram.scans[point]
                                                                                             : point + 1);
    };
    CPeakData peak;
    peak.SetQuanTrace(plan.trace);
    if (automatic != nullptr) {
        peak.SetChromNoise(automatic->GetChromNoise());
        peak.SetTotalsGroup(automatic->GetTotalsGroup());
        peak.SetMDBIntegrateEntryPeak(automatic->GetMDBIntegrateEntryPeak());
    } else {
        std::vector<double> rounded(intensities.begin(), intensities.end());
        peak.SetChromNoise(Integrate::ChromatogramNoise(rounded));
        peak.SetTotalsGroup(entry.GetTotalsGroup());
    }
    peak.SetFoundRT(static_cast<float>(measured.apexTime));
    peak.SetStartRT(static_cast<float>(measured.startTime));
    peak.SetEndRT(static_cast<float>(measured.endTime));
    peak.SetStHeight(measured.startBaseline);
    peak.SetEnHeight(measured.endBaseline);
    peak.SetArea(measured.area);
    peak.SetHeight(measured.height);
    peak.SetFoundScan(scanOf(measured.apex));
    peak.SetStScan(scanOf(measured.start));
    peak.SetEnScan(scanOf(measured.end));
    peak.SetPeakMass(static_cast<float>(chromatogram.productMz > 0.0 ? chromatogram.productMz : chromatogram.precursorMz));
    peak.SetRawAcquisitionFunction(chromatogram.function);
    peak.SetPeakAsymmetryValue(static_cast<float>(measured.quality.asymmetry));
    plan.added = peak;
    plan.quality = measured.quality;
    return true;
}

// The "no peak" stand-in: a placeholder where the entry looks.
CPeakData NoPeakPlaceholder(const CMethodData& entry, const std::string& trace) {
    CPeakData peak;
    peak.SetQuanTrace(trace);
    peak.SetPlaceHolder(1);
    peak.SetFoundRT(entry.GetPredRT());
    peak.SetRawAcquisitionFunction(entry.GetRawAcquisitionFunction());
    return peak;
}

// The detected peak of the trace whose apex is nearest `apex`, within kChosenApexTolerance.
int ChosenPeak(const CPeakList& peaks, const std::string& trace, double apex) {
    int best = -1;
    double bestDistance = 0.0;
    for (int j = 0; j < peaks.GetSize(); ++j) {
        const CPeakData* peak = peaks.GetEntry(j);
        if (peak == nullptr || !OfTrace(*peak, trace) || peak->GetPlaceHolder() || peak->IsTotals()) continue;
        const double distance = std::fabs(static_cast<double>(peak->GetFoundRT()) - apex);
        if (!(distance <= kChosenApexTolerance)) continue;
        if (best < 0 || distance < bestDistance) {
            best = j;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace

const char* IntegrationKindText(IntegrationKind kind) {
    switch (kind) {
        case IntegrationKind::kBounds: return "bounds";
        case IntegrationKind::kChosenPeak: return "peak";
        case IntegrationKind::kNoPeak: return "none";
        case IntegrationKind::kAutomatic: return "auto";
    }
    return "";
}

bool IntegrationKindFromText(std::string_view text, IntegrationKind& kind) {
    for (IntegrationKind k : {IntegrationKind::kBounds, IntegrationKind::kChosenPeak, IntegrationKind::kNoPeak,
                              IntegrationKind::kAutomatic})
        if (text == IntegrationKindText(k)) {
            kind = k;
            return true;
        }
    return false;
}

bool MeasurePeak(std::span<const float> times, std::span<const float> intensities, double start, double end,
                 double baselineStart, double baselineEnd, Integrate::Peak& peak, std::string& error) {
    if (times.size() != intensities.size() || times.size() < 2) {
        error = "the trace has too few points to measure a peak";
        return false;
    }
    if (!std::isfinite(start) || !std::isfinite(end)) {
        error = "the peak's start and end must be numbers";
        return false;
    }
    if (!(start < end)) {
        error = "the peak's start (" + NumberCell(start) + ") must come before its end (" + NumberCell(end) + ")";
        return false;
    }
    if (start < times.front() || end > times.back()) {
        error = "the peak from " + NumberCell(start) + " to " + NumberCell(end) + " min reaches outside the trace (" +
                NumberCell(times.front()) + " to " + NumberCell(times.back()) + " min)";
        return false;
    }
    if (!std::isfinite(baselineStart) || !std::isfinite(baselineEnd)) {
        error = "the baseline's ends must be numbers";
        return false;
    }
    const std::vector<double> t(times.begin(), times.end()), y(intensities.begin(), intensities.end());
    if (!Integrate::MeasureBetween(t, y, start, end, baselineStart, baselineEnd, peak)) {
        error = "the trace's points are not finite or do not ascend in time";
        return false;
    }
    return true;
}

bool ApplyIntegrations(const CMethodList& method, const std::vector<IntegrationChange>& changes,
                       const std::vector<RawData::Chromatogram>& traces, CPeakList& peaks,
                       std::vector<Integrate::PeakQuality>& quality, std::vector<Problem>& problems) {
    // Only the last change of an entry's trace counts; the order of the others is kept.
    std::map<std::pair<std::string, int>, size_t> last;
    for (size_t c = 0; c < changes.size(); ++c) last[{changes[c].compound, changes[c].slot}] = c;

    const size_t before = problems.size();
    std::vector<PlannedChange> plans;
    for (size_t c = 0; c < changes.size(); ++c) {
        const IntegrationChange& change = changes[c];
        if (last[{change.compound, change.slot}] != c) continue;
        auto refuse = [&](const std::string& why) { problems.push_back({"", 0, 0, why, Where(change)}); };
        PlannedChange plan;
        plan.change = &change;
        if (!FindEntry(method, change.compound, plan.entryIndex)) {
            refuse("the method has no compound \"" + change.compound + "\"");
            continue;
        }
        const CMethodData& entry = method.GetAt(plan.entryIndex);
        if (change.slot < kQuantifierSlot || change.slot > kQualifierSlots) {
            refuse("the trace is 0 (quantification) or 1 to 4 (qualifiers), not " + std::to_string(change.slot));
            continue;
        }
        plan.trace = SlotTrace(entry, change.slot);
        if (plan.trace.empty()) {
            refuse("the compound has no qualifier trace " + std::to_string(change.slot));
            continue;
        }
        if (change.kind == IntegrationKind::kAutomatic) continue;
        if (change.kind == IntegrationKind::kChosenPeak) {
            plan.chosen = ChosenPeak(peaks, plan.trace, change.apexRT);
            if (plan.chosen < 0) {
                refuse("no detected peak of the trace " + plan.trace + " has its apex within " +
                       NumberCell(kChosenApexTolerance) + " min of " + NumberCell(change.apexRT));
                continue;
            }
        } else if (change.kind == IntegrationKind::kNoPeak) {
            plan.added = NoPeakPlaceholder(entry, plan.trace);
        } else {
            const RawData::Chromatogram* chromatogram =
                FindTraceChromatogram(traces, plan.trace, entry.GetRawAcquisitionFunction());
            if (chromatogram == nullptr) {
                refuse(traces.empty() ? "the sample has no chromatograms (it was read from a peak list): bounds need its raw data"
                                      : "the sample has no chromatogram of the trace " + plan.trace);
                continue;
            }
            std::string error;
            if (!MeasuredPeak(entry, *chromatogram, peaks, plan, error)) {
                refuse(error);
                continue;
            }
        }
        plans.push_back(std::move(plan));
    }
    if (problems.size() != before) return false;
    if (plans.empty()) return true;

    // Everything checked: apply. The list is rebuilt once, new peaks in front (a placeholder
    // behind a real peak of its trace would never be looked at).
    const bool keepQuality = quality.size() == static_cast<size_t>(peaks.GetSize());
    std::vector<CPeakData> front;
    std::vector<Integrate::PeakQuality> frontQuality;
    for (PlannedChange& plan : plans) {
        const int number = plan.entryIndex + 1;
        const bool qualifier = plan.change->slot != kQuantifierSlot;
        for (int j = 0; j < peaks.GetSize(); ++j) {
            CPeakData* peak = peaks.GetEntry(j);
            if (peak == nullptr || j == plan.chosen || !AutomaticPeakOf(*peak, plan.trace)) continue;
            if (AnotherEntryMayTake(method, plan.entryIndex, plan.trace, peak->GetFoundRT())) continue;
            if (qualifier) peak->SetMDBIntegrateEntryPeak(0);
            else peak->SetMDBIntegrateEntry(number);
        }
        if (plan.chosen >= 0) {
            MarkModified(*peaks.GetEntry(plan.chosen), *plan.change, number);
            continue;
        }
        MarkModified(plan.added, *plan.change, number);
        front.push_back(plan.added);
        frontQuality.push_back(plan.quality);
    }
    if (front.empty()) return true;
    std::vector<CPeakData> rest;
    rest.reserve(static_cast<size_t>(peaks.GetSize()));
    for (int j = 0; j < peaks.GetSize(); ++j) rest.push_back(peaks.GetAt(j));
    peaks.EmptyPeakList();
    for (const CPeakData& peak : front) peaks.Add(peak);
    for (const CPeakData& peak : rest) peaks.Add(peak);
    if (keepQuality) quality.insert(quality.begin(), frontQuality.begin(), frontQuality.end());
    return true;
}

std::string IntegrationsCsv(const std::vector<IntegrationChange>& changes) {
    std::string out;
    for (int c = 0; c < kColumnCount; ++c) out += std::string(c > 0 ? "," : "") + kColumns[c];
    out += '\n';
    for (const IntegrationChange& change : changes) {
        const bool bounds = change.kind == IntegrationKind::kBounds;
        const std::string cells[kColumnCount] = {
            CsvCell(change.sample),
            CsvCell(change.compound),
            std::to_string(change.slot),
            IntegrationKindText(change.kind),
            bounds ? NumberCell(change.start) : "",
            bounds ? NumberCell(change.end) : "",
            bounds ? NumberCell(change.baselineStart) : "",
            bounds ? NumberCell(change.baselineEnd) : "",
            change.kind == IntegrationKind::kChosenPeak ? NumberCell(change.apexRT) : "",
            CsvCell(change.user),
            CsvCell(change.time),
            CsvCell(change.reason),
        };
        for (int c = 0; c < kColumnCount; ++c) out += (c > 0 ? "," : "") + cells[c];
        out += '\n';
    }
    return out;
}

bool ReadIntegrations(const std::string& path, std::vector<IntegrationChange>& changes,
                      std::vector<Problem>& problems) {
    const size_t before = problems.size();
    std::vector<Csv::Row> rows;
    if (!ReadCsvRows(path, rows, problems)) return false;
    if (rows.empty()) return true;  // nothing changed by hand
    int at[kColumnCount];
    std::fill(std::begin(at), std::end(at), -1);
    const Csv::Row& header = rows[0];
    for (size_t c = 0; c < header.cells.size(); ++c) {
        int known = -1;
        for (int k = 0; k < kColumnCount; ++k)
            if (NumberText::EqualIgnoringCase(Csv::TrimView(header.cells[c]), kColumns[k])) known = k;
        if (known < 0 || at[known] >= 0)
            problems.push_back({path, header.line, static_cast<int>(c + 1),
                                (known < 0 ? "unknown column \"" : "the column \"") + header.cells[c] +
                                    (known < 0 ? "\"" : "\" appears twice")});
        else at[known] = static_cast<int>(c);
    }
    for (int k = 0; k < kColumnCount; ++k)
        if (at[k] < 0 && (k == kSample || k == kCompound || k == kTrace || k == kKind || k == kReason))
            problems.push_back({path, header.line, 0, std::string("the column \"") + kColumns[k] + "\" is missing"});
    if (problems.size() != before) return false;

    std::vector<IntegrationChange> read;
    for (size_t r = 1; r < rows.size(); ++r) {
        const Csv::Row& row = rows[r];
        if (row.cells.size() != header.cells.size()) {
            problems.push_back({path, row.line, 0, "has " + std::to_string(row.cells.size()) + " cells, the header " +
                                                       std::to_string(header.cells.size())});
            continue;
        }
        auto cell = [&](int k) { return at[k] < 0 ? std::string() : Csv::Trim(row.cells[static_cast<size_t>(at[k])]); };
        auto bad = [&](int k, const std::string& why) { problems.push_back({path, row.line, at[k] + 1, why}); };
        IntegrationChange change;
        change.sample = cell(kSample);
        change.compound = cell(kCompound);
        change.user = cell(kUser);
        change.time = cell(kTime);
        change.reason = cell(kReason);
        const size_t rowStart = problems.size();
        if (change.sample.empty()) bad(kSample, "the sample is missing");
        if (change.compound.empty()) bad(kCompound, "the compound is missing");
        if (!Csv::ToInt(cell(kTrace), change.slot) || change.slot < kQuantifierSlot || change.slot > kQualifierSlots)
            bad(kTrace, "the trace is 0 (quantification) or 1 to 4 (qualifiers), not \"" + cell(kTrace) + "\"");
        if (!IntegrationKindFromText(cell(kKind), change.kind))
            bad(kKind, "the kind is bounds, peak, none or auto, not \"" + cell(kKind) + "\"");
        if (change.reason.empty()) bad(kReason, "the reason is missing");
        std::string date, time;
        if (!change.time.empty() && !SplitUtcTime(change.time, date, time))
            bad(kTime, "the time is UTC as 2026-12-08T01:23:45Z, not \"" + change.time + "\"");
        if (problems.size() != rowStart) continue;
        // The numbers a kind takes, and no others.
        auto number = [&](int k, double& value, bool required, const char* what) {
            const std::string text = cell(k);
            value = kNoValue;
            if (text.empty()) {
                if (required) bad(k, std::string("the ") + what + " is missing");
                return;
            }
            if (!Csv::ToDouble(text, value)) bad(k, std::string("the ") + what + " is not a number: \"" + text + "\"");
        };
        auto none = [&](int k) {
            if (!cell(k).empty())
                bad(k, std::string("a \"") + IntegrationKindText(change.kind) + "\" change takes no " + kColumns[k]);
        };
        const bool bounds = change.kind == IntegrationKind::kBounds;
        const bool chosen = change.kind == IntegrationKind::kChosenPeak;
        if (bounds) {
            number(kStart, change.start, true, "start");
            number(kEnd, change.end, true, "end");
            number(kBaselineStart, change.baselineStart, false, "baseline's start");
            number(kBaselineEnd, change.baselineEnd, false, "baseline's end");
            if (problems.size() == rowStart && !(change.start < change.end))
                bad(kEnd, "the end (" + NumberCell(change.end) + ") must come after the start (" +
                              NumberCell(change.start) + ")");
        } else {
            for (int k : {kStart, kEnd, kBaselineStart, kBaselineEnd}) none(k);
        }
        if (chosen) number(kApex, change.apexRT, true, "apex");
        else none(kApex);
        if (problems.size() == rowStart) read.push_back(std::move(change));
    }
    if (problems.size() != before) return false;
    changes.insert(changes.end(), read.begin(), read.end());
    return true;
}

}  // namespace Batch
