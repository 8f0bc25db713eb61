// Shared by the calibration engine's tests: access to the engine's private operations, and
// builders for curves and batches so that each test states only what it varies.
#pragma once

#include "ListBuilders.h"

#include <cmath>
#include <string>
#include <vector>

#include "calibrate/CurveFitting.h"
#include "calibrate/QuanCalibrate.h"

struct CalibrateTestAccess {
    static int QuanFitCaliCurve(CQuanCalibrate& engine, CCalibrationData& curve, tag_STATS_STRUCT& stats) {
        return engine.QuanFitCaliCurve(&curve, &stats);
    }
    static int TotalsCurves(CQuanCalibrate& engine, CCalibrationList& curves) {
        return engine.CalculateTotalsCurves(&curves);
    }
};

namespace calibrate_test {

using test_lists::With;

struct Point {
    double conc;
    double resp;
    double weight = 1.0;
    bool excluded = false;
};

inline CCalibrationData Curve(int curveType, int origin, const std::vector<Point>& points, int weighting = 0,
                              int axis = 0) {
    CCalibrationData curve;
    curve.SetName("C" + std::to_string(curveType));
    curve.SetCCalc(curveType);
    curve.SetOrigin(origin);
    curve.SetWeightingFunction(weighting);
    curve.SetXYTrans(axis);
    int i = 0;
    for (const Point& p : points) {
        tag_CALI_POINT point{};
        point.Conc = p.conc;
        point.Resp = p.resp;
        point.Weight = p.weight;
        point.Flags = p.excluded ? kCaliPointExcluded : 0;
        curve.SetCaliPoint(point, i++);
    }
    curve.SetNumCaliPts(i);
    return curve;
}

inline CQuanSampleData Sample(int type) {
    CQuanSampleData sample;
    sample.SetSampleType(type);
    return sample;
}

}  // namespace calibrate_test
