// The calibration engine on a list of curves built from the input: curve types, origin
// handling, weighting, axis transformations, totals settings and points (mostly a straight line
// with noise, now and then any value, counts also beyond the point array), then a batch of
// samples of any type through Calibrate.
// Invariants: statuses are among the engine's codes; a calibration that does not start leaves
// every curve exactly as it was; one that runs keeps the list's size and every point count and
// leaves CurveValid and CaliPtsValid 0 or 1; a curve fitted from finite points has finite
// coefficients; the reverse transformation brings transformed points back; a reused engine
// gives exactly what a fresh one gives.
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "calibrate/AxisTransform.h"
#include "quan.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {
using Record = _tagINTERNAL_CURVE_DB_RECORD;

int SmallInt(FuzzInput& input, int low, int high) {
    return input.Int(0, 15) == 0 ? input.Int(-1000, 1000) : input.Int(low, high);
}

CCalibrationData MakeCurve(FuzzInput& input, int number) {
    static const char* const kGroups[] = {"", "PAH", "PAH; EPA16", "EPA16"};
    static const char* const kFlags[] = {"", "Y", "N", "YNYNYNYNY", "       Y"};
    CCalibrationData curve;
    curve.SetName("E" + std::to_string(number));
    curve.SetCCalc(SmallInt(input, 0, 6));
    curve.SetOrigin(SmallInt(input, 0, 3));
    curve.SetWeightingFunction(SmallInt(input, 0, 4));
    curve.SetXYTrans(SmallInt(input, 0, 3));
    curve.SetTotalsEntry(input.Int(0, 7) == 0);
    curve.SetTotalsGroupEntry(input.Int(0, 7) == 0);
    curve.SetTotalsGroup(input.Choice(kGroups));
    curve.SetFlags(input.Choice(kFlags));
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
        tagFILE_INFO file{};
        SetFileInfoName(file, "STD-" + std::to_string(i + 1));
        curve.SetCaliFile(file, i);
    }
    // Now and then a count that says more than the points given, or more than the array holds.
    const int count = input.Int(0, 15) == 0 ? input.Int(-3, 130) : points;
    curve.SetNumCaliPts(count);
    for (int k = 0; k < CCalibrationData::kNumCoefficients; ++k) curve.SetCC(k == 1 ? 1.0 : 0.0, k);
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

bool FinitePoints(const CCalibrationData& curve) {
    const int count = std::min(std::max(curve.GetNumCaliPts(), 0), curve.GetNumCaliPointSlots());
    for (int i = 0; i < count; ++i) {
        const tag_CALI_POINT p = curve.GetCaliPoint(i);
        if (!std::isfinite(p.Conc) || !std::isfinite(p.Resp)) return false;
    }
    return true;
}

void CheckCalibrated(const CCalibrationList& before, const CCalibrationList& after, int status) {
    static const std::set<int> kListCodes = {kCaliOK, kCaliBadWeighting, kCaliMissingList, kCaliBadPointForAxis};
    FUZZ_CHECK(kListCodes.count(status) == 1);
    FUZZ_CHECK(after.GetSize() == before.GetSize());
    if (status != kCaliOK) {
        FUZZ_CHECK(SameCurves(before, after));
        return;
    }
    for (int i = 0; i < after.GetSize(); ++i) {
        const CCalibrationData& curve = after.GetAt(i);
        FUZZ_CHECK(curve.GetNumCaliPts() == before.GetAt(i).GetNumCaliPts());
        FUZZ_CHECK((curve.GetCurveValid() == 0 || curve.GetCurveValid() == 1) &&
                   (curve.GetCaliPtsValid() == 0 || curve.GetCaliPtsValid() == 1));
        const bool totals = curve.GetTotalsEntry() != 0 || curve.GetTotalsGroupEntry() != 0;
        if (!totals && curve.GetCaliPtsValid() == 1 && FinitePoints(before.GetAt(i)))
            for (int k = 0; k < curve.GetNumCC(); ++k) FUZZ_CHECK(std::isfinite(curve.GetCC(k)));
    }
}

// Forward and back: every transformed point returns to its value.
void CheckTransformationRoundTrip(const CCalibrationList& original) {
    CCalibrationList curves(original);
    CQuanCalibrate engine;
    if (engine.CaliSetCDBAxisTransformation(&curves) != kCaliOK) return;
    FUZZ_CHECK(engine.CaliReverseCDBAxisTransformation(&curves) == kCaliOK);
    for (int i = 0; i < curves.GetSize(); ++i) {
        const CCalibrationData& back = curves.GetAt(i);
        const CCalibrationData& from = original.GetAt(i);
        const int count = std::min(std::max(from.GetNumCaliPts(), 0), from.GetNumCaliPointSlots());
        for (int p = 0; p < count; ++p) {
            const double values[2][2] = {{back.GetCaliPoint(p).Conc, from.GetCaliPoint(p).Conc},
                                         {back.GetCaliPoint(p).Resp, from.GetCaliPoint(p).Resp}};
            for (const auto& v : values)
                if (std::isfinite(v[1]) && std::fabs(v[1]) > 1e-300 && std::fabs(v[1]) < 1e300)
                    FUZZ_CHECK(std::fabs(v[0] - v[1]) <= 1e-9 * std::fabs(v[1]));
        }
    }
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
    CheckCalibrated(original, calibrated, status);

    CCalibrationList again(original);
    FUZZ_CHECK(engine.QuanDoCalibration(&again, version1) == status);
    FUZZ_CHECK(SameCurves(again, calibrated));
    CheckTransformationRoundTrip(original);

    // One curve alone, and no curve at all.
    if (curves > 0) {
        CCalibrationData one(original.GetAt(0));
        const int single = engine.QuanDoCalibration(&one, version1);
        FUZZ_CHECK(single == kCaliOK || single == kCaliBadWeighting);
    }
    FUZZ_CHECK(engine.QuanDoCalibration(static_cast<CCalibrationData*>(nullptr), version1) == kCaliMissingCurve);

    // The whole driver with a batch of samples of any type: anything but standards stops it
    // before a curve changes; a batch of standards reports what the list calibration reported.
    CQuanSampleDataList samples;
    const int count = input.Int(0, 3);
    bool allStandards = true;
    for (int s = 0; s < count; ++s) {
        CQuanSampleData sample;
        const int type = input.Int(0, 3) == 0 ? input.Int(-1, 8) : 1;
        sample.SetSampleType(type);
        allStandards = allStandards && type == 1;
        samples.Add(sample);
    }
    CCalibrationList batch(original);
    CHostProcess host;
    const int driven = engine.Calibrate(nullptr, &batch, &samples, "periodic.db", 0, 0, &host, version1);
    FUZZ_CHECK(driven == (allStandards ? status : kCaliNotAStandard));
    FUZZ_CHECK(SameCurves(batch, allStandards ? calibrated : original));
    FUZZ_CHECK(engine.Calibrate(nullptr, &batch, nullptr, "", 0, 0, &host, version1) == kCaliMissingSampleList);
    FUZZ_CHECK(engine.Calibrate(nullptr, nullptr, &samples, "", 0, 0, &host, version1) == kCaliMissingList);
    return 0;
}
