// Quantification over peaks: a located analyte sample of the synthetic method quantified
// against curves fitted from six located standards of the same method, as the batch does it.
// Each iteration quantifies a fresh copy of the located peak list (the copy is not timed).
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/BenchSupport.h"
#include "bench/generator/SyntheticBatch.h"

namespace {

// The method and its fitted curves, built once per method size.
struct CalibratedMethod {
    bench::SyntheticMethod method;
    CMethodList methods;
    CCalibrationList curves;
    bool ok = true;

    CalibratedMethod(int entries, int qualifiers) : method(entries, qualifiers), methods(method.MethodList()) {
        curves = method.EmptyCurves();
        CQuanSampleDataList standards;
        CQuanLocate locate;
        for (const bench::SamplePlan& plan : bench::BatchPlan(7)) {
            if (plan.kind != bench::SampleKind::Standard) continue;
            CPeakList peaks = bench::SyntheticMethod::PeakList(method.SamplePeaks(plan, 0));
            CSampleRecord record;
            record.SetType(CQuanSampleData::kStandard);
            record.SetConcentration(0, plan.level);
            ok = ok && locate.QuanDoLocation(methods, peaks, record, "") == kLocateOK;
            for (int i = 0; i < methods.GetSize(); ++i) {
                const CMethodData& entry = methods.GetAt(i);
                if (entry.GetLocated() == 0) continue;
                tag_CALI_POINT point{};
                point.Conc = entry.GetFixedConc();
                point.Resp = entry.GetResponse();
                point.Weight = 1.0;
                CCalibrationData& curve = curves.GetAt(i);
                const int n = curve.GetNumCaliPts();
                curve.SetCaliPoint(point, n);
                curve.SetNumCaliPts(n + 1);
            }
            standards.Add(CQuanSampleData(record));
        }
        CQuanCalibrate calibrate;
        ok = ok && calibrate.Calibrate(&methods, &curves, &standards, "", 0, 0, nullptr, false) == kCaliOK;
    }
};

CalibratedMethod& MethodFor(int entries, int qualifiers) {
    static std::unique_ptr<CalibratedMethod> current;
    static int currentEntries = -1, currentQualifiers = -1;
    if (!current || currentEntries != entries || currentQualifiers != qualifiers) {
        current.reset();
        current = std::make_unique<CalibratedMethod>(entries, qualifiers);
        currentEntries = entries;
        currentQualifiers = qualifiers;
    }
    return *current;
}

void BM_Quantify(benchmark::State& state) {
    CalibratedMethod& m = MethodFor(static_cast<int>(state.range(0)), 1);
    const int peakCount = static_cast<int>(state.range(1));
    if (!m.ok) {
        state.SkipWithError("the standards could not be located and calibrated");
        return;
    }
    CPeakList located = bench::SyntheticMethod::PeakList(
        m.method.SamplePeaks({"SAMPLE-0001", bench::SampleKind::Analyte, 0.0, 11}, peakCount));
    CSampleRecord record;
    record.SetType(CQuanSampleData::kAnalyte);
    CQuanLocate locate;
    if (locate.QuanDoLocation(m.methods, located, record, "") != kLocateOK) {
        state.SkipWithError("the sample could not be located");
        return;
    }
    int compounds = 0;
    for (int i = 0; i < m.methods.GetSize(); ++i) compounds += m.methods.GetAt(i).GetLocated() != 0 ? 1 : 0;

    CQuanQuantify engine;
    engine.SetCurrentSample(CQuanSampleData(record));
    std::vector<double> times;
    for (auto _ : state) {
        CPeakList peaks = located;
        int status = 0;
        const double seconds = bench::SecondsFor([&] { status = engine.DoQuantify(&m.curves, &m.methods, &peaks, ""); });
        if (status != kQuantifyOK) {
            state.SkipWithError("quantification failed");
            break;
        }
        state.SetIterationTime(seconds);
        times.push_back(seconds);
    }
    state.counters["compounds"] = compounds;
    state.counters["us_per_100_compounds"] = compounds > 0 ? bench::Median(times) * 1e6 * 100.0 / compounds : 0.0;
}

// Peaks at 1000 entries, then entries at 3000 peaks.
void QuantifySizes(benchmark::internal::Benchmark* b) {
    for (int peaks : {500, 2000, 10000, 20000}) b->Args({1000, peaks});
    for (int entries : {100, 500}) b->Args({entries, 3000});
}
BENCHMARK(BM_Quantify)->ArgNames({"entries", "peaks"})->Apply(QuantifySizes)->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
