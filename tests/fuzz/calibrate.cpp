// The calibration engine on a list of curves built from the input: curve types, origin
// handling, weighting, axis transformations, totals settings and points (mostly a straight line
// with noise, now and then any value, counts also beyond the point array).
// Invariants: statuses are among the engine's codes; a calibration that does not start leaves
// every curve exactly as it was; a reused engine gives exactly what a fresh one gives. Fitted values and the transformations'
// round trips are the unit tests' business (CalibrateTest, AxisTransformTest).
#include <set>
#include <string>
#include <vector>

#include "quan.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {
using Record = _tagINTERNAL_CURVE_DB_RECORD;

int SmallInt(FuzzInput& input, int low, int high) {
    return input.Int(0, 15) == 0 ? input.Int(-1000, 1000) : input.Int(low, high);
}

CCalibrationData MakeCurve(FuzzInput& input, int number) {
    static const char* const kGroups[] = {"", "PAH", "PAH; EPA16", "EPA16"};
    CCalibrationData curve;
    curve.SetName("E" + std::to_string(number));
    curve.SetCCalc(SmallInt(input, 0, 6));
    curve.SetOrigin(SmallInt(input, 0, 3));
    curve.SetWeightingFunction(SmallInt(input, 0, 4));
    curve.SetXYTrans(SmallInt(input, 0, 3));
    curve.SetTotalsEntry(input.Int(0, 7) == 0);
    curve.SetTotalsGroupEntry(input.Int(0, 7) == 0);
    curve.SetTotalsGroup(input.Choice(kGroups));
    curve.SetCCThreshold(input.Int(0, 1000) / 1000.0);
    const int points = input.Int(0, 14);
    const double slope = input.Int(1, 1000) / 100.0, intercept = input.Int(0, 100) / 100.0 - 0.5;
    for (int i = 0; i < points; ++i) {
        tag_CALI_POINT point{};
        point.Conc = input.Int(0, 7) == 0 ? input.Double() : input.Int(0, 5000) / 100.0;
        point.Resp = input.Int(0, 7) == 0 ? input.Double() : intercept + slope * point.Conc * (1.0 + (input.Int(0, 20) - 10) / 1000.0);
        point.Weight = input.Double();
        point.Flags = input.Int(0, 5) == 0 ? kCaliPointExcluded : 0;
        curve.SetCaliPoint(point, i);
    }
    // Now and then a count that says more than the points given, or more than the array holds.
    curve.SetNumCaliPts(input.Int(0, 15) == 0 ? input.Int(-3, 130) : points);
    return curve;
}

// Compared as written records: NaN is never equal to itself.
bool SameCurves(const CCalibrationList& a, const CCalibrationList& b) {
    if (a.GetSize() != b.GetSize()) return false;
    for (int i = 0; i < a.GetSize(); ++i) {
        FUZZ_CHECK(a.GetEntry(i) != nullptr && b.GetEntry(i) != nullptr);
        Record x, y;
        a.GetAt(i).GetRecord(x);
        b.GetAt(i).GetRecord(y);
        if (!SameBytes(x, y)) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    CCalibrationList original;
    const int curves = input.Int(0, 5);
    for (int i = 0; i < curves; ++i) original.Add(MakeCurve(input, i + 1));
    const bool version1 = input.Bool();

    CCalibrationList calibrated(original);
    CQuanCalibrate engine;
    const int status = engine.QuanDoCalibration(&calibrated, version1);
    static const std::set<int> kListCodes = {kCaliOK, kCaliBadWeighting, kCaliMissingList, kCaliBadPointForAxis};
    FUZZ_CHECK(kListCodes.count(status) == 1);
    FUZZ_CHECK(status == kCaliOK || SameCurves(original, calibrated));  // one that does not start changes nothing

    CCalibrationList again(original);
    FUZZ_CHECK(engine.QuanDoCalibration(&again, version1) == status);
    FUZZ_CHECK(SameCurves(again, calibrated));
    return 0;
}
