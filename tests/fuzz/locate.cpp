// A whole location run on a small method, peak list and sample built from the input (see
// RunInput.h), then the same run again on fresh copies with the engine reused.
// Invariants: the status is one the location engine defines; both lists keep their size and
// every slot; a peak is assigned to no entry or to an entry of the method; a located entry has a
// peak assigned to it; every back-track entry is cleared by a complete run; an engine reused
// for a second sample gives exactly what a fresh engine gives.
#include <set>

#include "locate/LocateStatus.h"
#include "tests/fuzz/RunInput.h"

namespace {
bool DefinedLocateStatus(int status) {
    static const std::set<int> kDefined = {kLocateOK,           kLocateReferenceFirst,    kLocateBackTrack,
                                           kLocateNotFound,     kLocateBadLocateMethod,   kLocateListsUnequal, kLocateElementUnreadable,
                                           kLocateBadStdLevel,  kLocateEmptyPeakList,     kLocateMissingList,
                                           kLocateCircularReference, kLocatePeakAssigned, kLocateFunctionDiffers,
                                           kLocateChromatogramDiffers, kLocateNotAvailable};
    return kDefined.count(status) == 1;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const fuzz_run::Run original = fuzz_run::MakeRun(input);
    fuzz_run::Run run = original;
    const int entries = run.methods.GetSize(), peaks = run.peaks.GetSize();

    CQuanLocate engine;
    const int status = engine.QuanDoLocation(run.methods, run.peaks, run.sample, "/nonexistent/periodic.db");
    if (std::getenv("QUAN_FUZZ_VERBOSE") != nullptr) {
        int located = 0;
        for (int i = 0; i < entries; ++i) located += run.methods.GetAt(i).GetLocated();
        std::fprintf(stderr, "%d entries, %d peaks: status %d, %d located\n", entries, peaks, status, located);
    }
    FUZZ_CHECK(DefinedLocateStatus(status));
    FUZZ_CHECK(run.methods.GetSize() == entries && run.peaks.GetSize() == peaks);
    for (int j = 0; j < peaks; ++j) {
        FUZZ_CHECK(run.peaks.GetEntry(j) != nullptr);
        const int assigned = run.peaks.GetAt(j).GetMDBEntry();
        FUZZ_CHECK(assigned >= 0 && assigned <= entries);
    }
    for (int i = 0; i < entries; ++i) {
        FUZZ_CHECK(run.methods.GetEntry(i) != nullptr);
        const CMethodData& entry = run.methods.GetAt(i);
        FUZZ_CHECK(entry.GetLocated() == 0 || entry.GetLocated() == 1);
        if (status == kLocateOK) FUZZ_CHECK(entry.GetBackTrackMDBEntry() == 0);
        bool hasPeak = false;
        for (int j = 0; j < peaks && !hasPeak; ++j) hasPeak = run.peaks.GetAt(j).GetMDBEntry() == i + 1;
        if (entry.GetLocated() != 0) FUZZ_CHECK(hasPeak);
    }
    if (peaks == 0) FUZZ_CHECK(status == kLocateEmptyPeakList);

    // The same sample again through the engine that has just run: nothing may carry over.
    fuzz_run::Run second = original;
    const int again = engine.QuanDoLocation(second.methods, second.peaks, second.sample, "/nonexistent/periodic.db");
    FUZZ_CHECK(again == status);
    FUZZ_CHECK(fuzz_run::Snapshot(second.methods, second.peaks) == fuzz_run::Snapshot(run.methods, run.peaks));
    return 0;
}
