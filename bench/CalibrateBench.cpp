// Calibration over curves x points x curve type x weighting: every curve of the list fitted
// from points at the standard levels, with a few per cent of scatter so that the statistics have
// something to measure. Each iteration calibrates a fresh copy of the same list (the copy is not
// timed), as a host calibrates a batch once.
#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"
#include "bench/generator/SyntheticBatch.h"

namespace {

CCalibrationList CurvesWithPoints(int curves, int points, int curveType, int weighting) {
    bench::Random random(7 + curves * 31 + points);
    CCalibrationList list;
    for (int i = 0; i < curves; ++i) {
        CCalibrationData curve;
        curve.SetName("Residue-" + std::to_string(i + 1));
        curve.SetCCalc(curveType);
        curve.SetOrigin(kOriginExclude);
        curve.SetWeightingFunction(weighting);
        const double slope = random.Uniform(0.2, 2.0), bend = curveType >= 2 ? random.Uniform(-0.002, 0.002) : 0.0;
        for (int p = 0; p < points; ++p) {
            tag_CALI_POINT point{};
            point.Conc = 50.0 * (p + 1) / points;  // spread over the calibrated range
            point.Resp = (slope * point.Conc + bend * point.Conc * point.Conc) * random.Uniform(0.97, 1.03);
            point.Weight = 1.0;
            curve.SetCaliPoint(point, p);
        }
        curve.SetNumCaliPts(points);
        list.Add(curve);
    }
    return list;
}

void BM_Calibrate(benchmark::State& state) {
    const int curves = static_cast<int>(state.range(0)), points = static_cast<int>(state.range(1));
    const CCalibrationList pristine = CurvesWithPoints(curves, points, static_cast<int>(state.range(2)),
                                                       static_cast<int>(state.range(3)));
    CQuanSampleDataList standards;
    for (int p = 0; p < points; ++p) {
        CQuanSampleData standard;
        standard.SetSampleType(CQuanSampleData::kStandard);
        standards.Add(standard);
    }
    CMethodList methods;
    CQuanCalibrate engine;
    std::vector<double> times;
    for (auto _ : state) {
        CCalibrationList list = pristine;
        int status = 0;
        const double seconds = bench::SecondsFor(
            [&] { status = engine.Calibrate(&methods, &list, &standards, "", 0, 0, nullptr, false); });
        if (status != kCaliOK) {
            state.SkipWithError("calibration failed");
            break;
        }
        state.SetIterationTime(seconds);
        times.push_back(seconds);
    }
    state.counters["us_per_100_curves"] = bench::Median(times) * 1e6 * 100.0 / curves;
}

// Curves and points at linear 1/x; then every curve type and weighting at 500 curves x 6 points.
void CalibrationSizes(benchmark::internal::Benchmark* b) {
    for (int curves : {100, 500, 1000})
        for (int points : {6, 20}) b->Args({curves, points, kCurveLinear, kWeightInverseX});
    for (int type : {kCurveRF, kCurveLinear, kCurveQuadratic, kCurveCubic})
        for (int weighting : {kWeightNone, kWeightInverseX, kWeightInverseX2}) b->Args({500, 6, type, weighting});
}
BENCHMARK(BM_Calibrate)->ArgNames({"curves", "points", "type", "weight"})->Apply(CalibrationSizes)->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
