// A whole run on a small method, peak list and sample built from the input (RunInput.h):
// location, and the same location again on fresh copies with the engine reused; then a
// calibration of one curve per method entry (points on a line through the entry's located
// response, or any values), quantification of the sample, and the same quantification again
// with the engine reused.
// Invariants: every status is one its engine defines; the lists keep their sizes and every
// slot; a peak is assigned to no entry or to an entry of the method; a located entry has a peak
// assigned to it; a complete location clears every back-track entry; every concentration stored
// is finite and not negative, and for a compound (not a totals entry) at most 1e12, with
// detection and quantitation limits within 1e-12..1e12; a reused engine gives exactly what a
// fresh one gives.
#include <cmath>
#include <set>

#include "locate/LocateStatus.h"
#include "quantify/QuantifyStatus.h"
#include "tests/fuzz/RunInput.h"

namespace {
const char* const kNoPeriodicTable = "/nonexistent/periodic.db";

void CheckLocated(const fuzz_run::Run& run, int entries, int peaks, int status) {
    static const std::set<int> kLocateCodes = {
        kLocateOK,          kLocateReferenceFirst,    kLocateBackTrack,   kLocateNotFound,
        kLocateBadLocateMethod, kLocateListsUnequal,  kLocateElementUnreadable, kLocateBadStdLevel,
        kLocateEmptyPeakList, kLocateMissingList,     kLocateCircularReference, kLocatePeakAssigned,
        kLocateFunctionDiffers, kLocateChromatogramDiffers, kLocateNotAvailable};
    FUZZ_CHECK(kLocateCodes.count(status) == 1);
    FUZZ_CHECK(run.methods.GetSize() == entries && run.peaks.GetSize() == peaks);
    FUZZ_CHECK(peaks > 0 || status == kLocateEmptyPeakList);
    std::set<int> assigned;
    for (int j = 0; j < peaks; ++j) {
        FUZZ_CHECK(run.peaks.GetEntry(j) != nullptr);
        assigned.insert(run.peaks.GetAt(j).GetMDBEntry());
    }
    FUZZ_CHECK(assigned.empty() || (*assigned.begin() >= 0 && *assigned.rbegin() <= entries));
    for (int i = 0; i < entries; ++i) {
        FUZZ_CHECK(run.methods.GetEntry(i) != nullptr);
        const CMethodData& entry = run.methods.GetAt(i);
        FUZZ_CHECK(entry.GetLocated() == 0 || (entry.GetLocated() == 1 && assigned.count(i + 1) == 1));
        FUZZ_CHECK(status != kLocateOK || entry.GetBackTrackMDBEntry() == 0);
    }
}

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
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const fuzz_run::Run original = fuzz_run::MakeRun(input);
    fuzz_run::Run run = original, second = original;
    const int entries = run.methods.GetSize(), peaks = run.peaks.GetSize();

    CQuanLocate locate;
    const int located = locate.QuanDoLocation(run.methods, run.peaks, run.sample, kNoPeriodicTable);
    CheckLocated(run, entries, peaks, located);
    FUZZ_CHECK(locate.QuanDoLocation(second.methods, second.peaks, second.sample, kNoPeriodicTable) == located);
    FUZZ_CHECK(fuzz_run::Snapshot(second.methods, second.peaks) == fuzz_run::Snapshot(run.methods, run.peaks));

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
    CPeakList again = run.peaks;
    CQuanQuantify quantify;
    quantify.SetCurrentSample(sample);
    quantify.SetCalculateUsingTLOD(input.Bool());
    const int status = quantify.DoQuantify(&curves, &run.methods, &run.peaks, kNoPeriodicTable);
    static const std::set<int> kQuantifyCodes = {kQuantifyOK, kQuantifyListsUnequal, kQuantifyBadEntry, kQuantifyMissingList};
    FUZZ_CHECK(kQuantifyCodes.count(status) == 1);
    FUZZ_CHECK(run.methods.GetSize() == entries && run.peaks.GetSize() == peaks && curves.GetSize() == entries);
    for (int j = 0; j < peaks; ++j) {
        const CPeakData& peak = run.peaks.GetAt(j);
        const int entry = peak.GetMDBEntry();
        if (peak.GetValidConc() == 0) continue;
        FUZZ_CHECK(std::isfinite(peak.GetAnalConc()) && peak.GetAnalConc() >= 0.0);
        if (entry < 1 || entry > entries || run.methods.GetAt(entry - 1).GetTotalsEntry() ||
            run.methods.GetAt(entry - 1).GetTotalsGroupEntry())
            continue;
        FUZZ_CHECK(peak.GetAnalConc() <= 1e12);
        FUZZ_CHECK(peak.GetDetectionThreshold() >= 1e-12 && peak.GetDetectionThreshold() <= 1e12);
        FUZZ_CHECK(peak.GetQuantitationThreshold() >= 1e-12 && peak.GetQuantitationThreshold() <= 1e12);
    }
    FUZZ_CHECK(quantify.DoQuantify(&curves, &run.methods, &again, kNoPeriodicTable) == status);
    FUZZ_CHECK(fuzz_run::Snapshot(run.methods, again) == fuzz_run::Snapshot(run.methods, run.peaks));
    return 0;
}
