// Shared by the quantification engine's tests: small builders for method entries, located
// peaks, curves and samples, so that each test states only what it varies. Curves are built by
// setting their coefficients directly, as curve fitting would have left them.
#pragma once

#include "ListBuilders.h"

#include <string>
#include <vector>

#include "quan.h"

namespace quantify_test {

// Short names for the library's sample types and curve types.
constexpr int kAnalyte = CQuanSampleData::kAnalyte, kStandard = CQuanSampleData::kStandard, kQC = CQuanSampleData::kQC,
              kBlank = CQuanSampleData::kBlank, kRecovery = CQuanSampleData::kRecovery;
constexpr int kRF = kCurveRF, kLinear = kCurveLinear, kQuadratic = kCurveQuadratic;

// An area-based compound whose calibration compound is itself.
inline CMethodData Method(const std::string& name = "benzene") {
    CMethodData method;
    method.SetName(name);
    method.SetCalCompound(name);
    method.SetRAH(0);
    for (int k = 0; k < 6; ++k) method.SetIStd(k, -1);
    return method;
}

// A peak as location leaves it: the main peak of entry e with a response.
inline CPeakData Located(int e, double response, double corrected = -1.0, double noiseResponse = 0.0) {
    CPeakData peak;
    peak.SetMDBEntry(e);
    peak.SetResponseFlag(1);
    peak.SetResponse(response);
    peak.SetCorrectedResponse(corrected < 0.0 ? response : corrected);
    peak.SetChromNoiseResp(noiseResponse);
    peak.SetArea(1000.0);
    peak.SetHeight(100.0);
    return peak;
}

// A valid curve y = c0 + c1 x + ... of the given type over the range lo..hi.
inline CCalibrationData Curve(const std::string& name, const std::vector<double>& c, int type = kLinear,
                              int axis = 0, double lo = 0.0, double hi = 100.0) {
    CCalibrationData curve;
    curve.SetName(name);
    for (size_t k = 0; k < c.size(); ++k) {
        if (static_cast<int>(k) < curve.GetNumCC()) curve.SetCC(c[k], static_cast<int>(k));
        else curve.AddCC(c[k]);
    }
    curve.SetCCalc(type);
    curve.SetXYTrans(axis);
    curve.SetMinConc(lo);
    curve.SetMaxConc(hi);
    curve.SetCurveValid(1);
    return curve;
}

using namespace test_lists;

inline CQuanSampleData Sample(int type) {
    CQuanSampleData sample;
    sample.SetSampleType(type);
    return sample;
}

// Quantifies one sample with the given engine (a fresh one unless given).
inline int Quantify(CQuanQuantify& engine, CCalibrationList& curves, CMethodList& methods, CPeakList& peaks,
                    int sampleType = kAnalyte) {
    engine.SetCurrentSample(Sample(sampleType));
    return engine.DoQuantify(&curves, &methods, &peaks, "periodic.db");
}

inline int Quantify(CCalibrationList& curves, CMethodList& methods, CPeakList& peaks, int sampleType = kAnalyte) {
    CQuanQuantify engine;
    return Quantify(engine, curves, methods, peaks, sampleType);
}

}  // namespace quantify_test
