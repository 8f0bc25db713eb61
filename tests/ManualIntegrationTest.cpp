// Integration corrected by hand: a peak measured between given bounds (against a trapezoid
// worked independently here), decisions applied through the real location, calibration and
// quantification of the example batch, the integrations file read back, and quan-batch run
// with --integrations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <tuple>

#include "BatchTestSupport.h"
#include "workflow/batch/BatchSession.h"
#include "workflow/review/ManualIntegration.h"

namespace {

using namespace batch_test;
using Batch::IntegrationChange;
using Batch::IntegrationKind;

// The area above the baseline from `start` to `end` of the trace drawn as straight lines
// between its points: each segment clipped to the bounds and integrated exactly, in
// intensity x seconds.
double ReferenceArea(const std::vector<float>& t, const std::vector<float>& y, double start, double end, double b0,
                     double b1) {
    double area = 0.0;
    for (size_t i = 0; i + 1 < t.size(); ++i) {
        const double a = std::max<double>(t[i], start), b = std::min<double>(t[i + 1], end);
        if (!(b > a)) continue;
        auto at = [&](double x) { return y[i] + (x - t[i]) / (double(t[i + 1]) - t[i]) * (double(y[i + 1]) - y[i]); };
        area += 0.5 * (b - a) * (at(a) + at(b));
    }
    return 60.0 * (area - 0.5 * (b0 + b1) * (end - start));
}

// MeasurePeak on these points, which must take the bounds.
Integrate::Peak Measure(std::span<const float> t, std::span<const float> y, double start, double end, double b0,
                        double b1) {
    Integrate::Peak peak;
    std::string error;
    EXPECT_TRUE(Batch::MeasurePeak(t, y, start, end, b0, b1, peak, error)) << error;
    return peak;
}

// A decision by anna, at a fixed time, for the reason most decisions give; bounds from start to end.
IntegrationChange Change(const std::string& sample, const std::string& compound, int slot, IntegrationKind kind,
                         double start = 0.0, double end = 0.0) {
    return {.sample = sample, .compound = compound, .slot = slot, .kind = kind, .start = start, .end = end,
            .user = "anna", .time = "2026-12-08T01:23:45Z", .reason = "Peak tail cut by the integrator"};
}

// A parabola of height 100 at 2.033 min over a flat 10, sampled every 0.01 min from 2 to 2.1.
struct Trace {
    std::vector<float> times, intensities;
};
Trace ParabolaTrace() {
    Trace trace;
    for (int i = 0; i <= 10; ++i) {
        const double t = 2.0 + 0.01 * i;
        trace.times.push_back(static_cast<float>(t));
        trace.intensities.push_back(static_cast<float>(std::max(10.0, 110.0 - 1e5 * (t - 2.033) * (t - 2.033))));
    }
    return trace;
}

TEST(ManualIntegration, MeasuredAreaIsTheTrapezoidBetweenAnyBounds) {
    const Trace trace = ParabolaTrace();
    const auto& t = trace.times;
    const struct {
        double start, end, b0, b1;
    } cases[] = {
        {t[1], t[7], 10.0, 10.0},            // on points
        {2.0137, 2.0561, 10.0, 12.0},        // between points, sloping baseline
        {t.front(), t.back(), 0.0, 0.0},     // the trace's very ends
        {2.0, 2.005, 10.0, 10.0},            // inside one segment
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        const Integrate::Peak peak = Measure(trace.times, trace.intensities, c.start, c.end, c.b0, c.b1);
        const double expected = ReferenceArea(trace.times, trace.intensities, c.start, c.end, c.b0, c.b1);
        EXPECT_NEAR(peak.area, expected, 1e-9 * std::max(1.0, std::fabs(expected)));
        EXPECT_DOUBLE_EQ(peak.startTime, c.start);
        EXPECT_DOUBLE_EQ(peak.endTime, c.end);
        EXPECT_EQ(peak.startBaseline, c.b0);
        EXPECT_EQ(peak.endBaseline, c.b1);
    }
}

TEST(ManualIntegration, HeightAndApexAreTheParabolasVertex) {
    // The quadratic smoothing keeps a parabola as it is, and the vertex lies between points.
    const Trace trace = ParabolaTrace();
    const Integrate::Peak peak = Measure(trace.times, trace.intensities, 2.01, 2.06, 10.0, 10.0);
    EXPECT_NEAR(peak.apexTime, 2.033, 1e-5);
    EXPECT_NEAR(peak.height, 100.0, 0.01);
    EXPECT_EQ(peak.apex, 3);  // the point nearest the vertex
    EXPECT_EQ(peak.start, 1);
    EXPECT_EQ(peak.end, 6);
    EXPECT_GT(peak.quality.widthAtHalfHeight, 0.0);
    // Against a baseline at the top of the flanks the height is what stands above it.
    EXPECT_NEAR(Measure(trace.times, trace.intensities, 2.01, 2.06, 50.0, 50.0).height, 60.0, 0.01);
}

TEST(ManualIntegration, PointsOutsideTheBoundsDoNotCount) {
    // The review station measures on the stored cut of a trace, a fresh run on the whole one.
    Trace whole = ParabolaTrace();
    Trace cut;
    cut.times.assign(whole.times.begin() + 2, whole.times.begin() + 9);
    cut.intensities.assign(whole.intensities.begin() + 2, whole.intensities.begin() + 9);
    whole.intensities[0] = 5000.0f;  // far outside: changes nothing
    const Integrate::Peak a = Measure(whole.times, whole.intensities, 2.0234, 2.0711, 10.0, 11.0);
    const Integrate::Peak b = Measure(cut.times, cut.intensities, 2.0234, 2.0711, 10.0, 11.0);
    EXPECT_EQ(a.area, b.area);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.apexTime, b.apexTime);
}

TEST(ManualIntegration, BoundsThatCannotBeMeasuredAreRefused) {
    const Trace trace = ParabolaTrace();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double start, end, b0, b1;
        const char* message;
    } cases[] = {
        {2.05, 2.02, 0, 0, "must come before"},
        {2.05, 2.05, 0, 0, "must come before"},
        {nan, 2.05, 0, 0, "must be numbers"},
        {2.01, std::numeric_limits<double>::infinity(), 0, 0, "must be numbers"},
        {2.01, 2.05, nan, 0, "baseline"},
        {1.99, 2.05, 0, 0, "outside the trace"},
        {2.01, 2.1001, 0, 0, "outside the trace"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Integrate::Peak peak;
        peak.area = 42.0;
        std::string error;
        EXPECT_FALSE(Batch::MeasurePeak(trace.times, trace.intensities, c.start, c.end, c.b0, c.b1, peak, error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_EQ(peak.area, 42.0);
    }
    Integrate::Peak peak;
    std::string error;
    const std::vector<float> one{2.0f};
    EXPECT_FALSE(Batch::MeasurePeak(one, one, 2.0, 2.0, 0, 0, peak, error));
}

// --- the integrations file ----------------------------------------------------------------

TEST(ManualIntegration, FileReadsBackWhatWasWritten) {
    // Every digit of the numbers must survive.
    IntegrationChange bounds = Change("S,1 \"a\"", "p,p'-DDE", 1, IntegrationKind::kBounds, 0.1 + 0.2, 17.25);
    bounds.baselineStart = 1234.5678901234567;
    bounds.reason = "Tail cut, \"see\" notes\nline two — Überlappung";
    IntegrationChange chosen = bounds;  // its baseline end stays the trace's own (NaN)
    chosen.kind = IntegrationKind::kChosenPeak;
    chosen.slot = 0;
    chosen.apexRT = 9.8123;
    IntegrationChange none = chosen;
    none.kind = IntegrationKind::kNoPeak;
    IntegrationChange automatic = chosen;
    automatic.kind = IntegrationKind::kAutomatic;
    automatic.time.clear();
    const std::vector<IntegrationChange> written{bounds, chosen, none, automatic};

    TempFolder temp;
    WriteText(temp / "integrations.csv", Batch::IntegrationsCsv(written));
    std::vector<IntegrationChange> read;
    std::vector<Batch::Problem> problems;
    ASSERT_TRUE(Batch::ReadIntegrations(temp / "integrations.csv", read, problems)) << Quan::ProblemsText(problems);
    ASSERT_EQ(read.size(), written.size());
    const auto texts = [](const IntegrationChange& c) {
        return std::tie(c.sample, c.compound, c.slot, c.kind, c.user, c.time, c.reason);
    };
    for (size_t i = 0; i < read.size(); ++i) EXPECT_EQ(texts(read[i]), texts(written[i])) << i;
    EXPECT_EQ(read[0].start, 0.1 + 0.2);
    EXPECT_EQ(read[0].end, 17.25);
    EXPECT_EQ(read[0].baselineStart, 1234.5678901234567);
    EXPECT_TRUE(std::isnan(read[0].baselineEnd));
    EXPECT_EQ(read[1].apexRT, 9.8123);
    // Written the same way again: nothing drifts.
    EXPECT_EQ(Batch::IntegrationsCsv(read), Batch::IntegrationsCsv(written));
    // A header alone, or an empty file, is no change at all.
    WriteText(temp / "empty.csv", Batch::IntegrationsCsv({}));
    EXPECT_TRUE(Batch::ReadIntegrations(temp / "empty.csv", read, problems));
    EXPECT_EQ(read.size(), written.size());
}

TEST(ManualIntegration, BadRowsNameLineAndColumnAndAddNothing) {
    const std::string header = "sample,compound,trace,kind,start,end,baseline_start,baseline_end,apex,user,time,reason\n";
    const struct {
        std::string rows;
        const char* expected;
    } cases[] = {
        {"S1,Atrazine,0,bounds,9.9,9.8,,,,a,,why\n", "integrations.csv:2:6: the end (9.8) must come after"},
        {"S1,Atrazine,0,bounds,9.8,,,,,a,,why\n", "integrations.csv:2:6: the end is missing"},
        {"S1,Atrazine,0,bounds,9,8,9.9,,,,a,,why\n", "integrations.csv:2: has 13 cells"},
        {"S1,Atrazine,5,none,,,,,,a,,why\n", "integrations.csv:2:3: the trace is 0"},
        {"S1,Atrazine,0,moved,,,,,,a,,why\n", "integrations.csv:2:4: the kind is bounds"},
        {"S1,Atrazine,0,none,,,,,,a,,\n", "integrations.csv:2:12: the reason is missing"},
        {"S1,Atrazine,0,none,9.8,,,,,a,,why\n", "integrations.csv:2:5: a \"none\" change takes no start"},
        {"S1,Atrazine,0,peak,,,,,abc,a,,why\n", "integrations.csv:2:9: the apex is not a number"},
        {"S1,Atrazine,0,peak,,,,,nan,a,,why\n", "integrations.csv:2:9: the apex is not a number"},
        {"S1,Atrazine,0,none,,,,,,a,yesterday,why\n", "integrations.csv:2:11: the time is UTC"},
        {"S1,Atrazine,0,none,,,,,,a,2026-13-08T01:23:45Z,why\n", "integrations.csv:2:11: the time is UTC"},
        {"S1,Atrazine,0,none,,,,,,a,2026-12-00T01:23:45Z,why\n", "integrations.csv:2:11: the time is UTC"},
        {"S1,Atrazine,0,none,,,,,,a,2026-12-32T01:23:45Z,why\n", "integrations.csv:2:11: the time is UTC"},
        {"S1,Atrazine,0,none,,,,,,a,2026-12-08T24:00:00Z,why\n", "integrations.csv:2:11: the time is UTC"},
        {"S1,Atrazine,0,none,,,,,,a,2026-12-08T23:60:00Z,why\n", "integrations.csv:2:11: the time is UTC"},
        {"S1,Atrazine,0,none,,,,,,a,2026-12-08T23:59:61Z,why\n", "integrations.csv:2:11: the time is UTC"},
        {"S1,Atrazine,0,none,,,,,,a,2026-12-08 23:59:59Z,why\n", "integrations.csv:2:11: the time is UTC"},
        {",Atrazine,0,none,,,,,,a,,why\n", "integrations.csv:2:1: the sample is missing"},
        {"S1,Atrazine,0,none,,,,,,a,,ok\nS1,Atrazine,0,auto,,,,,,a,,\"open\n", "a quoted cell is not closed"},
    };
    TempFolder temp;
    std::vector<IntegrationChange> read(1);  // a bad file adds nothing to it
    std::vector<Batch::Problem> problems;
    const auto readText = [&](const std::string& text) {
        WriteText(temp / "integrations.csv", text);
        problems.clear();
        return Batch::ReadIntegrations(temp / "integrations.csv", read, problems);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_FALSE(readText(header + c.rows));
        EXPECT_NE(Quan::ProblemsText(problems).find(c.expected), std::string::npos) << Quan::ProblemsText(problems);
        EXPECT_EQ(read.size(), 1u);
    }
    for (const char* head : {"sample,compound,kind,reason\n", "sample,compound,trace,kind,reason,Reason\n",
                             "sample,compound,trace,kind,reason,colour\n"}) {
        EXPECT_FALSE(readText(head)) << head;
        EXPECT_FALSE(problems.empty());
        EXPECT_EQ(read.size(), 1u);
    }
    EXPECT_FALSE(Batch::ReadIntegrations(temp / "missing.csv", read, problems));
    // The edges of a UTC time are times: the first of a month, the last second of a year, a leap second.
    read.clear();
    EXPECT_TRUE(readText(header + "S1,Atrazine,0,none,,,,,,a,2026-01-01T00:00:00Z,why\n"
                                  "S1,Atrazine,0,none,,,,,,a,2026-12-31T23:59:60Z,why\n"))
        << Quan::ProblemsText(problems);
    EXPECT_EQ(read.size(), 2u);
}

// --- decisions through location, calibration and quantification of the example batch -----

Batch::BatchOutcome RunExample(const std::vector<IntegrationChange>& changes, const TempFolder& temp) {
    Batch::SessionOptions options;
    options.keepRows = true;
    options.threads = 2;
    options.keepChromatograms = false;
    if (!changes.empty()) {
        options.integrationsFile = temp / "integrations.csv";
        WriteText(options.integrationsFile, Batch::IntegrationsCsv(changes));
    }
    Batch::BatchSession session(options);
    session.Run(ExampleFolder().string());
    return session.TakeOutcome();
}

const Batch::ResultRow& RowOf(const Batch::BatchOutcome& outcome, const std::string& sample, const std::string& compound) {
    for (const Batch::ResultRow& row : outcome.results.rows)
        if (outcome.results.samples[row.sample].id == sample && row.compound == compound) return row;
    ADD_FAILURE() << sample << " " << compound;
    static const Batch::ResultRow none;
    return none;
}

bool Manual(const Batch::ResultRow& row) {
    return std::count(row.flagsSet.begin(), row.flagsSet.end(), Batch::kManualFlag) == 1;
}

// A sample's raw traces and the integrator's peaks, as the batch reads them.
struct RawSample {
    CPeakList peaks;
    std::vector<RawData::Chromatogram> chromatograms;
    const RawData::Chromatogram& Trace(const std::string& trace) const {
        for (const auto& c : chromatograms)
            if (c.trace == trace) return c;
        ADD_FAILURE() << trace;
        return chromatograms.front();
    }
    // The integrator's peak of a trace nearest `rt`.
    const CPeakData& PeakNear(const std::string& trace, double rt) const {
        int best = -1;
        for (int j = 0; j < peaks.GetSize(); ++j)
            if (peaks.GetAt(j).GetQuanTrace() == trace &&
                (best < 0 || std::fabs(peaks.GetAt(j).GetFoundRT() - rt) < std::fabs(peaks.GetAt(best).GetFoundRT() - rt)))
                best = j;
        EXPECT_GE(best, 0) << trace;
        return peaks.GetAt(std::max(best, 0));
    }
};
RawSample ReadRawSample(const std::string& sample) {
    RawSample raw;
    CMethodList method;
    std::vector<Batch::Problem> problems;
    Batch::ReadMethodFile((ExampleFolder() / "method.xml").string(), method, problems);
    Batch::ReadRawPeaks({(ExampleFolder() / "raw" / (sample + ".mzML")).string()}, method, raw.peaks, problems,
                        &raw.chromatograms);
    EXPECT_TRUE(problems.empty());
    return raw;
}

// What MeasurePeak gives for bounds on a trace's points in single precision, and the same
// area worked independently.
Integrate::Peak Measured(const RawData::Chromatogram& trace, const IntegrationChange& change, double* reference = nullptr) {
    const std::vector<float> t(trace.times.begin(), trace.times.end()), y(trace.intensities.begin(), trace.intensities.end());
    if (reference != nullptr)
        *reference = ReferenceArea(t, y, change.start, change.end, change.baselineStart, change.baselineEnd);
    return Measure(t, y, change.start, change.end, change.baselineStart, change.baselineEnd);
}

TEST(ManualIntegration, EveryKindOfDecisionReachesTheResults) {
    TempFolder temp;
    const Batch::BatchOutcome automatic = RunExample({}, temp);
    ASSERT_EQ(automatic.end, Batch::SessionEnd::kCompleted) << Quan::ProblemsText(automatic.problems);

    // Bounds of a main peak, narrower than the integrator's, on a sloping baseline.
    const RawSample sample1 = ReadRawSample("SAMPLE-01");
    const CPeakData& atrazine = sample1.PeakNear("200.1", 9.83);
    IntegrationChange bounds = Change("SAMPLE-01", "Atrazine", 0, IntegrationKind::kBounds,
                                      atrazine.GetStartRT() + 0.0123, atrazine.GetEndRT() - 0.0077);
    bounds.baselineStart = atrazine.GetStHeight() + 50.0;
    bounds.baselineEnd = atrazine.GetEnHeight();
    double reference = 0.0;
    const Integrate::Peak expected = Measured(sample1.Trace("200.1"), bounds, &reference);
    // A qualifier's bounds, baseline taken from the trace.
    const RawSample qc1 = ReadRawSample("QC-01");
    const CPeakData& qualifier = qc1.PeakNear("215.1", 9.83);
    const IntegrationChange qualifierBounds = Change("QC-01", "Atrazine", 1, IntegrationKind::kBounds,
                                                     qualifier.GetStartRT() + 0.01, qualifier.GetEndRT());
    // Another detected peak of a trace two compounds share: Endosulfan II's for Endosulfan I.
    const RawSample sample3 = ReadRawSample("SAMPLE-03");
    const CPeakData& other = sample3.PeakNear("241.0", 18.3);
    IntegrationChange chosen = Change("SAMPLE-03", "Endosulfan I", 0, IntegrationKind::kChosenPeak);
    chosen.apexRT = other.GetFoundRT() + 0.004;
    // A standard's peak: the curve and every result on it move.
    const RawSample std3 = ReadRawSample("STD-03");
    const CPeakData& standard = std3.PeakNear("306.1", 8.95);
    const IntegrationChange standardBounds = Change("STD-03", "Trifluralin", 0, IntegrationKind::kBounds,
                                                    standard.GetStartRT(), standard.GetFoundRT());
    // Withdrawn: the last decision of a trace is the one that counts.
    const IntegrationChange withdrawn = Change("SAMPLE-04", "Malathion", 0, IntegrationKind::kNoPeak);
    const IntegrationChange restored = Change("SAMPLE-04", "Malathion", 0, IntegrationKind::kAutomatic);

    const IntegrationChange noPeak = Change("SAMPLE-02", "Dieldrin", 0, IntegrationKind::kNoPeak);
    const Batch::BatchOutcome corrected =
        RunExample({bounds, qualifierBounds, chosen, standardBounds, withdrawn, noPeak, restored}, temp);
    ASSERT_EQ(corrected.end, Batch::SessionEnd::kCompleted) << Quan::ProblemsText(corrected.problems);

    {  // bounds
        const Batch::ResultRow& before = RowOf(automatic, "SAMPLE-01", "Atrazine");
        const Batch::ResultRow& after = RowOf(corrected, "SAMPLE-01", "Atrazine");
        ASSERT_TRUE(after.found);
        EXPECT_EQ(after.area, expected.area);
        EXPECT_NEAR(after.area, reference, 1e-9 * reference);
        EXPECT_LT(after.area, before.area);
        EXPECT_NEAR(after.foundRT, expected.apexTime, 1e-5);
        // The internal standard is as it was: the response moves with the area.
        EXPECT_NEAR(after.response / before.response, after.area / before.area, 1e-9);
        EXPECT_NE(after.conc, before.conc);
        EXPECT_TRUE(Manual(after));
        EXPECT_FALSE(Manual(before));
        EXPECT_EQ(after.Verdict().rfind("flagged:", 0), 0u) << after.Verdict();
        EXPECT_NE(after.flagsText.find('M'), std::string::npos);
    }
    {  // a qualifier's bounds: the main peak stays, its ion ratio follows the new area
        const Batch::ResultRow& before = RowOf(automatic, "QC-01", "Atrazine");
        const Batch::ResultRow& after = RowOf(corrected, "QC-01", "Atrazine");
        IntegrationChange resolved = qualifierBounds;
        const auto& trace = qc1.Trace("215.1");
        const std::vector<float> t(trace.times.begin(), trace.times.end()), y(trace.intensities.begin(), trace.intensities.end());
        auto at = [&](double time) {  // the trace's own baseline at a bound
            const size_t k = static_cast<size_t>(std::lower_bound(t.begin(), t.end(), time) - t.begin());
            if (t[k] == time) return double(y[k]);
            return y[k - 1] + (time - t[k - 1]) / (double(t[k]) - t[k - 1]) * (double(y[k]) - y[k - 1]);
        };
        resolved.baselineStart = at(resolved.start);
        resolved.baselineEnd = at(resolved.end);
        const double qualifierArea = Measured(trace, resolved).area;
        EXPECT_EQ(after.area, before.area);
        EXPECT_NEAR(after.ionRatio, after.area / qualifierArea, 1e-5 * after.ionRatio);
        EXPECT_NE(after.ionRatio, before.ionRatio);
        EXPECT_TRUE(Manual(after));
    }
    {  // another detected peak
        const Batch::ResultRow& after = RowOf(corrected, "SAMPLE-03", "Endosulfan I");
        ASSERT_TRUE(after.found);
        EXPECT_EQ(after.area, other.GetArea());
        EXPECT_NEAR(after.foundRT, other.GetFoundRT(), 1e-4);
        EXPECT_TRUE(Manual(after));
    }
    {  // no peak
        const Batch::ResultRow& after = RowOf(corrected, "SAMPLE-02", "Dieldrin");
        EXPECT_TRUE(RowOf(automatic, "SAMPLE-02", "Dieldrin").found);
        EXPECT_FALSE(after.found);
        EXPECT_FALSE(after.validConc);
        EXPECT_TRUE(Manual(after));
        EXPECT_NE(std::find(after.flagsSet.begin(), after.flagsSet.end(), "NotFound"), after.flagsSet.end());
    }
    {  // withdrawn: as the integrator had it
        const Batch::ResultRow& before = RowOf(automatic, "SAMPLE-04", "Malathion");
        const Batch::ResultRow& after = RowOf(corrected, "SAMPLE-04", "Malathion");
        EXPECT_EQ(after.area, before.area);
        EXPECT_EQ(after.conc, before.conc);
        EXPECT_EQ(after.flagsSet, before.flagsSet);
    }
    {  // a standard: its curve is fitted again, and an unknown's unchanged area gives another value
        EXPECT_NE(corrected.results.curves[3].description, automatic.results.curves[3].description);
        const Batch::ResultRow& before = RowOf(automatic, "QC-02", "Trifluralin");
        const Batch::ResultRow& after = RowOf(corrected, "QC-02", "Trifluralin");
        EXPECT_EQ(after.area, before.area);
        EXPECT_NE(after.conc, before.conc);
        EXPECT_FALSE(Manual(after));
        EXPECT_TRUE(Manual(RowOf(corrected, "STD-03", "Trifluralin")));
    }
    // Nothing else changed.
    EXPECT_EQ(std::count_if(corrected.results.rows.begin(), corrected.results.rows.end(), Manual), 5);
}

TEST(ManualIntegration, DecisionsThatCannotBeAppliedStopTheRun) {
    const struct {
        IntegrationChange change;
        const char* expected;
    } cases[] = {
        {Change("SAMPLE-09", "Atrazine", 0, IntegrationKind::kNoPeak), "the batch has no sample \"SAMPLE-09\""},
        {Change("SAMPLE-01", "Atrazin", 0, IntegrationKind::kNoPeak), "the method has no compound \"Atrazin\""},
        {Change("SAMPLE-01", "Atrazine", 2, IntegrationKind::kNoPeak),
         "sample SAMPLE-01, compound Atrazine, trace 2: the compound has no qualifier trace 2"},
        {Change("SAMPLE-01", "Atrazine", 0, IntegrationKind::kBounds, 9.8, 99.0), "reaches outside the trace"},
        {[] {
             auto c = Change("SAMPLE-01", "Atrazine", 0, IntegrationKind::kChosenPeak);
             c.apexRT = 9.5;
             return c;
         }(),
         "no detected peak of the trace 200.1 has its apex within 0.01 min of 9.5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        TempFolder temp;
        const Batch::BatchOutcome outcome = RunExample({c.change}, temp);
        EXPECT_EQ(outcome.end, Batch::SessionEnd::kBadInput);
        EXPECT_EQ(outcome.ExitStatus(), Batch::kExitBadInput);
        EXPECT_NE(Quan::ProblemsText(outcome.problems).find(c.expected), std::string::npos)
            << Quan::ProblemsText(outcome.problems);
        EXPECT_TRUE(outcome.results.rows.empty());
    }
}

TEST(ManualIntegration, QuanBatchAppliesTheFileAndMarksEveryOutput) {
    TempFolder temp;
    const fs::path batch = CopyExample(temp.Path());
    const RawSample sample1 = ReadRawSample("SAMPLE-01");
    const CPeakData& atrazine = sample1.PeakNear("200.1", 9.83);
    IntegrationChange bounds =
        Change("SAMPLE-01", "Atrazine", 0, IntegrationKind::kBounds, atrazine.GetStartRT() + 0.01, atrazine.GetEndRT());
    bounds.reason = "Integrated \"by hand\", tail cut";
    WriteText(temp / "integrations.csv", Batch::IntegrationsCsv({bounds}));

    const ToolRun plain = RunTool({batch.string(), "--out", temp / "plain", "--full-precision"});
    ASSERT_LE(plain.status, Batch::kExitEngineStatus) << plain.err;
    const ToolRun run = RunTool({batch.string(), "--out", temp / "out", "--full-precision", "--integrations", temp / "integrations.csv"});
    ASSERT_LE(run.status, Batch::kExitEngineStatus) << run.err;

    const fs::path out = temp.Path() / "out", plainOut = temp.Path() / "plain";
    const std::string results = ReadText(out / "results.csv");
    EXPECT_EQ(ReadText(plainOut / "results.csv").find("manual"), std::string::npos);
    const size_t line = results.find("SAMPLE-01,Analyte,Atrazine,");
    ASSERT_NE(line, std::string::npos) << results.substr(0, 400);
    const std::string row = results.substr(line, results.find('\n', line) - line);
    EXPECT_NE(row.find("flagged: manual"), std::string::npos) << row;
    EXPECT_EQ(Query(out / "results.sqlite", "SELECT sample, compound FROM flagged_results WHERE flags LIKE '%manual%'"),
              (Table{{"SAMPLE-01", "Atrazine"}}));
    // matrix.csv marks the cell; the report page carries the flag in its grid rows.
    EXPECT_NE(ReadText(out / "matrix.csv"), ReadText(plainOut / "matrix.csv"));
    EXPECT_NE(ReadText(out / "report.html").find("manual"), std::string::npos);

    // A bad file stops quan-batch before anything is written.
    WriteText(temp / "bad.csv", "sample,compound,trace,kind,reason\nSAMPLE-01,Atrazine,7,none,why\n");
    const ToolRun bad = RunTool({batch.string(), "--out", temp / "bad", "--integrations", temp / "bad.csv"});
    EXPECT_EQ(bad.status, Batch::kExitBadInput);
    EXPECT_NE(bad.err.find("bad.csv:2:3: the trace is 0"), std::string::npos) << bad.err;
    EXPECT_FALSE(fs::exists(fs::path(temp / "bad") / "results.csv"));
}

}  // namespace
