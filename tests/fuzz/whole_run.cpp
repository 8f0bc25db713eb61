// A whole run on a small method, peak list and sample built from the input (RunInput.h):
// location, then a calibration of one curve per method entry (points on a line through the
// entry's located response, or any values), then quantification of the same sample, and the
// same quantification again with the engine reused.
// Invariants: every status is one its engine defines; the lists keep their sizes; every
// concentration stored is finite and not negative, and for a compound (not a totals entry)
// at most 1e12, with detection and quantitation limits within 1e-12..1e12; a reused
// quantification engine gives exactly what it gave the first time.
#include <cmath>
#include <cstring>
#include <set>

#include "locate/LocateStatus.h"
#include "quantify/QuantifyStatus.h"
#include "tests/fuzz/RunInput.h"

namespace {
CCalibrationList MakeCurves(const CMethodList& methods, FuzzInput& input) {
    CCalibrationList curves;
    for (int i = 0; i < methods.GetSize(); ++i) {
        const CMethodData& entry = methods.GetAt(i);
        CCalibrationData curve;
        curve.SetName(entry.GetName());
        curve.SetCCalc(input.Int(0, 7) == 0 ? fuzz_run::SmallInt(input) : entry.GetCCalc());
        curve.SetOrigin(input.Int(0, 3));
        curve.SetWeightingFunction(input.Int(0, 4));
        curve.SetXYTrans(input.Int(0, 3));
        curve.SetTotalsEntry(entry.GetTotalsEntry());
        curve.SetTotalsGroupEntry(entry.GetTotalsGroupEntry());
        curve.SetTotalsGroup(entry.GetTotalsGroup());
        const double response = std::isfinite(entry.GetResponse()) && entry.GetResponse() > 0 ? entry.GetResponse() : 1.0;
        const double conc = entry.GetFixedConc() > 0 && std::isfinite(entry.GetFixedConc()) ? entry.GetFixedConc() : 10.0;
        const int points = input.Int(0, 6);
        for (int p = 0; p < points; ++p) {
            tag_CALI_POINT point{};
            const double level = (p + 1) / 3.0;
            point.Conc = input.Int(0, 7) == 0 ? input.Double() : conc * level;
            point.Resp = input.Int(0, 7) == 0 ? input.Double() : response * level * (1.0 + (input.Int(0, 20) - 10) / 500.0);
            curve.SetCaliPoint(point, p);
        }
        curve.SetNumCaliPts(points);
        curves.Add(curve);
    }
    return curves;
}

std::string PeakRecords(const CPeakList& peaks) {
    std::string bytes;
    for (int j = 0; j < peaks.GetSize(); ++j)
        bytes.append(reinterpret_cast<const char*>(&peaks.GetAt(j).GetRecord()), sizeof(_tagINTERNAL_PEAK_DB_RECORD));
    return bytes;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    fuzz_run::Run run = fuzz_run::MakeRun(input);
    const int entries = run.methods.GetSize(), peaks = run.peaks.GetSize();

    CQuanLocate locate;
    const int located = locate.QuanDoLocation(run.methods, run.peaks, run.sample, "/nonexistent/periodic.db");
    static const std::set<int> kLocateCodes = {0, 1, 2, 3, 4, 5, 9, 13, 15, 17, 21, 22, 23, 24, 26};
    FUZZ_CHECK(kLocateCodes.count(located) == 1);

    CCalibrationList curves = MakeCurves(run.methods, input);
    CQuanCalibrate calibrate;
    const int calibrated = calibrate.QuanDoCalibration(&curves, input.Bool());
    FUZZ_CHECK(calibrated == kCaliOK || calibrated == kCaliBadWeighting || calibrated == kCaliBadPointForAxis);
    FUZZ_CHECK(curves.GetSize() == entries);

    // Results of earlier software must not pass for this run's: every peak starts unquantified.
    for (int j = 0; j < peaks; ++j) {
        run.peaks.GetAt(j).SetValidConc(0);
        run.peaks.GetAt(j).SetAnalConc(-1.0);
    }
    CQuanSampleData sample;
    sample.SetSampleType(input.Int(-1, 8));
    const CPeakList before = run.peaks;
    CQuanQuantify quantify;
    quantify.SetCurrentSample(sample);
    quantify.SetCalculateUsingTLOD(input.Bool());
    const int status = quantify.DoQuantify(&curves, &run.methods, &run.peaks, "/nonexistent/periodic.db");
    static const std::set<int> kQuantifyCodes = {kQuantifyOK, kQuantifyListsUnequal, kQuantifyBadEntry, kQuantifyMissingList};
    FUZZ_CHECK(kQuantifyCodes.count(status) == 1);
    FUZZ_CHECK(run.methods.GetSize() == entries && run.peaks.GetSize() == peaks && curves.GetSize() == entries);

    for (int j = 0; j < peaks; ++j) {
        const CPeakData& peak = run.peaks.GetAt(j);
        if (peak.GetValidConc() == 0) continue;
        const double conc = peak.GetAnalConc();
        FUZZ_CHECK(std::isfinite(conc) && conc >= 0.0);
        const int entry = peak.GetMDBEntry();
        if (entry < 1 || entry > entries) continue;
        if (run.methods.GetAt(entry - 1).GetTotalsEntry() || run.methods.GetAt(entry - 1).GetTotalsGroupEntry()) continue;
        FUZZ_CHECK(conc <= 1e12);
        FUZZ_CHECK(peak.GetDetectionThreshold() >= 1e-12 && peak.GetDetectionThreshold() <= 1e12);
        FUZZ_CHECK(peak.GetQuantitationThreshold() >= 1e-12 && peak.GetQuantitationThreshold() <= 1e12);
    }

    // The same sample again through the engine that has just run.
    CPeakList again = before;
    FUZZ_CHECK(quantify.DoQuantify(&curves, &run.methods, &again, "/nonexistent/periodic.db") == status);
    FUZZ_CHECK(PeakRecords(again) == PeakRecords(run.peaks));
    return 0;
}
