// Location over entries x peaks x qualifier traces, with its cost floor measured beside it in
// the same iterations, and the allocation count of a run over a prepared sample.
//
// The floor is the least a location of these entries in these peaks can cost: a plain loop over
// a compact array holding only what the scan tests (assignment, integration entry, acquisition
// function, trace identity, found RT, placeholder), with the same accept tests in the same
// order, the same qualifier search for every candidate, and the same closest-peak choice. Both
// must assign the same number of peaks, or the comparison is void and the benchmark says so.
// "ratio" is the median location time over the median floor time of the same iterations.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/generator/SyntheticBatch.h"

namespace {

// --- the cost floor ------------------------------------------------------------------------------

struct FloorPeak {
    int32_t assignedTo;
    int32_t integratedFor;
    int32_t acquisitionFunction;
    int32_t traceId;
    float foundRT;
    int8_t placeholder;
    int8_t integratedAs;  // 0 main trace, k + 1 qualifier trace k
};

struct FloorEntry {
    int32_t traceId;
    int32_t qualifierTrace[2];
    int32_t qualifiers;
    int32_t acquisitionFunction;
    float soughtRT;
    float window;
    float qualifierWindow;
};

struct Floor {
    std::vector<FloorPeak> peaks;
    std::vector<FloorEntry> entries;

    Floor(const bench::SyntheticMethod& method, const std::vector<bench::PeakRow>& rows) {
        for (const bench::PeakRow& row : rows)
            peaks.push_back({0, 0, 0, row.trace.id, row.foundRT, 0, static_cast<int8_t>(row.integratedAs)});
        for (const bench::Compound& c : method.Compounds()) {
            FloorEntry e{c.quan.id, {-1, -1}, static_cast<int32_t>(c.qualifiers.size()), 0, c.predictedRT,
                         bench::SyntheticMethod::kLocateWindow, bench::SyntheticMethod::kQualifierWindow};
            for (size_t k = 0; k < c.qualifiers.size(); ++k) e.qualifierTrace[k] = c.qualifiers[k].id;
            entries.push_back(e);
        }
    }

    int Secondary(int primary, const FloorEntry& e, int i, int k) const {
        const FloorPeak& p = peaks[primary];
        int best = -1;
        float bestDistance = 0.0f;
        const int n = static_cast<int>(peaks.size());
        for (int j = 0; j < n; ++j) {
            const FloorPeak& c = peaks[j];
            if (j == primary) continue;
            if (c.integratedFor > 0 && c.integratedFor != i) continue;
            if (c.integratedAs <= 0) continue;
            if (c.assignedTo != 0) continue;
            if (c.traceId != e.qualifierTrace[k]) continue;
            if (c.placeholder) continue;
            const float distance = std::fabs(c.foundRT - p.foundRT);
            if (e.qualifierWindow > 0.0f && distance > e.qualifierWindow) continue;
            if (best == -1 || distance < bestDistance) {
                best = j;
                bestDistance = distance;
            }
        }
        return best;
    }

    // Locates every entry; returns the number of peaks assigned (main and qualifier peaks).
    int Run() {
        for (FloorPeak& p : peaks) p.assignedTo = 0;
        int assigned = 0;
        const int n = static_cast<int>(peaks.size());
        for (int i = 1; i <= static_cast<int>(entries.size()); ++i) {
            const FloorEntry& e = entries[i - 1];
            int best = -1;
            float bestDifference = 0.0f;
            int bestQualifier[2] = {-1, -1};
            for (int j = 0; j < n; ++j) {
                const FloorPeak& p = peaks[j];
                if (p.assignedTo != 0) continue;
                if (p.integratedFor != 0 && p.integratedFor != i) continue;
                if (e.acquisitionFunction > 0 && e.acquisitionFunction != p.acquisitionFunction) continue;
                if (p.traceId != e.traceId) continue;
                if (best >= 0 && p.placeholder) continue;
                const float difference = p.placeholder ? 0.0f : p.foundRT - e.soughtRT;
                if (!p.placeholder && e.window > 0.0f && std::fabs(difference) > e.window) continue;
                int qualifier[2] = {-1, -1};
                for (int k = 0; k < e.qualifiers; ++k) qualifier[k] = Secondary(j, e, i, k);
                if (best == -1 || std::fabs(difference) < std::fabs(bestDifference)) {
                    best = j;
                    bestDifference = difference;
                    bestQualifier[0] = qualifier[0];
                    bestQualifier[1] = qualifier[1];
                }
            }
            if (best < 0) continue;
            peaks[best].assignedTo = i;
            ++assigned;
            for (int k = 0; k < e.qualifiers; ++k)
                if (bestQualifier[k] >= 0) {
                    peaks[bestQualifier[k]].assignedTo = i;
                    ++assigned;
                }
        }
        return assigned;
    }
};

// --- the sample under test -----------------------------------------------------------------------

struct LocationCase {
    int entries, peakCount, qualifiers;
    bench::SyntheticMethod method;
    std::vector<bench::PeakRow> rows;
    CMethodList methods;
    CPeakList peaks;
    CSampleRecord sample;

    LocationCase(int e, int p, int q)
        : entries(e), peakCount(p), qualifiers(q), method(e, q),
          rows(method.SamplePeaks({"SAMPLE-0001", bench::SampleKind::Analyte, 0.0, 7}, p)),
          methods(method.MethodList()), peaks(bench::SyntheticMethod::PeakList(rows)) {
        sample.SetType(CQuanSampleData::kAnalyte);
    }
};

// One sample at a time: a 20000-peak list holds 80 MB of records.
LocationCase& CaseFor(int entries, int peaks, int qualifiers) {
    static std::unique_ptr<LocationCase> current;
    if (!current || current->entries != entries || current->peakCount != peaks || current->qualifiers != qualifiers) {
        current.reset();
        current = std::make_unique<LocationCase>(entries, peaks, qualifiers);
    }
    return *current;
}

int AssignedPeaks(const CPeakList& peaks) {
    int assigned = 0;
    for (int j = 0; j < peaks.GetSize(); ++j) assigned += peaks.GetAt(j).GetMDBEntry() != 0 ? 1 : 0;
    return assigned;
}

void BM_Location(benchmark::State& state) {
    LocationCase& c = CaseFor(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                              static_cast<int>(state.range(2)));
    CQuanLocate engine;
    // The first run prepares the sample (builds the trace comparitors); the timed runs repeat it.
    if (engine.QuanDoLocation(c.methods, c.peaks, c.sample, "") != kLocateOK) {
        state.SkipWithError("location failed");
        return;
    }
    const int located = AssignedPeaks(c.peaks);
    Floor floor(c.method, c.rows);
    const int floorLocated = floor.Run();
    if (floorLocated != located) {
        state.SkipWithError("the floor and the location assign different numbers of peaks");
        return;
    }

    std::vector<double> locationTimes, floorTimes;
    uint64_t allocations = 0;
    for (auto _ : state) {
        const uint64_t before = bench::AllocationCount();
        const double locationTime = bench::SecondsFor([&] { engine.QuanDoLocation(c.methods, c.peaks, c.sample, ""); });
        allocations = bench::AllocationCount() - before;
        int floorAssigned = 0;
        const double floorTime = bench::SecondsFor([&] { floorAssigned = floor.Run(); });
        benchmark::DoNotOptimize(floorAssigned);
        state.SetIterationTime(locationTime);
        locationTimes.push_back(locationTime);
        floorTimes.push_back(floorTime);
    }
    if (AssignedPeaks(c.peaks) != located) state.SkipWithError("a repeated location assigned other peaks");
    const double floorMedian = bench::Median(floorTimes);
    state.counters["floor_ms"] = floorMedian * 1e3;
    state.counters["ratio"] = floorMedian > 0.0 ? bench::Median(locationTimes) / floorMedian : 0.0;
    state.counters["assigned"] = located;
    state.counters["allocs"] = static_cast<double>(allocations);
}

// entries x peaks x qualifiers: each dimension swept with the others at 1000 x 10000 x 2.
void LocationSizes(benchmark::internal::Benchmark* b) {
    for (int entries : {50, 100, 250, 500, 1000}) b->Args({entries, 10000, 2});
    for (int peaks : {500, 1000, 2500, 5000, 20000}) b->Args({1000, peaks, 2});
    for (int qualifiers : {0, 1}) b->Args({1000, 10000, qualifiers});
}
BENCHMARK(BM_Location)->ArgNames({"entries", "peaks", "quals"})->Apply(LocationSizes)->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A run over a prepared sample allocates per entry at most, never per peak: the same method
// over ten times the peaks (every compound present in both) makes no more allocations.
void BM_LocationAllocations(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    std::vector<uint64_t> counts;
    for (int peaks : {1000, 10000}) {
        LocationCase& c = CaseFor(entries, peaks, 2);
        CQuanLocate engine;
        engine.QuanDoLocation(c.methods, c.peaks, c.sample, "");  // prepares the sample
        const uint64_t before = bench::AllocationCount();
        engine.QuanDoLocation(c.methods, c.peaks, c.sample, "");
        counts.push_back(bench::AllocationCount() - before);
    }
    for (auto _ : state) benchmark::DoNotOptimize(counts.data());
    state.counters["allocs_1000_peaks"] = static_cast<double>(counts[0]);
    state.counters["allocs_10000_peaks"] = static_cast<double>(counts[1]);
    state.counters["allocs_per_extra_peak"] = (static_cast<double>(counts[1]) - static_cast<double>(counts[0])) / 9000.0;
    if (counts[1] > counts[0]) state.SkipWithError("location allocates per peak");
}
BENCHMARK(BM_LocationAllocations)->Arg(50)->ArgName("entries")->Iterations(1)->Repetitions(1);

}  // namespace
