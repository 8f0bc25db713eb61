// A batch run stopped by a signal at any moment, writing included, leaves the results folder
// with the earlier run's outputs complete and unchanged, or with the new run's outputs complete:
// never a mix, never a half-written file, and no staging files behind it.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "BatchTestSupport.h"

namespace {

using namespace batch_test;
using Snapshot = std::map<std::string, std::string>;

// Starts quan-batch as its own process; returns its process number.
pid_t Start(const fs::path& batch, const fs::path& out) {
    const pid_t child = ::fork();
    if (child == 0) {
        const int devnull = ::open("/dev/null", O_WRONLY);
        ::dup2(devnull, 1);
        ::dup2(devnull, 2);
        ::execl(QUAN_BATCH_BINARY, QUAN_BATCH_BINARY, "--out", out.c_str(), batch.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return child;
}

int Wait(pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

}  // namespace

TEST(BatchInterrupt, ASignalAtAnyMomentLeavesTheOldOutputsOrTheNewOnesWhole) {
    TempFolder temp;
    const fs::path oldBatch = CopyExample(temp.Path());
    const fs::path newBatch = temp.Path() / "new";
    fs::copy(oldBatch, newBatch, fs::copy_options::recursive);
    // The new run differs in every output: another description and QC level.
    ASSERT_TRUE(ReplaceInFile(newBatch / "batch.csv", "QC-01,raw/QC-01.mzML,QC,8,", "QC-01,raw/QC-01.mzML,QC,9,"));
    ASSERT_TRUE(ReplaceInFile(newBatch / "method.xml", "Name=\"Dichlorvos\"", "Name=\"Dichlorvos-new\""));
    ASSERT_TRUE(ReplaceInFile(newBatch / "method.xml", "CalCompound=\"Dichlorvos\"", "CalCompound=\"Dichlorvos-new\""));
    ASSERT_TRUE(ReplaceInFile(newBatch / "batch.csv", "calibration standard,Dichlorvos", "calibration standard,Dichlorvos-new"));

    const fs::path fresh = temp.Path() / "fresh";
    auto began = std::chrono::steady_clock::now();
    ASSERT_EQ(Wait(Start(newBatch, fresh)), 0);
    auto runTime = std::chrono::steady_clock::now() - began;
    const Snapshot newOutputs = FolderContents(fresh);

    // The shorter of two runs: the first, on cold caches or a busy machine, can take several
    // times as long, and signals timed by it would all come after the end.
    const fs::path out = temp.Path() / "out";
    began = std::chrono::steady_clock::now();
    ASSERT_EQ(Wait(Start(oldBatch, out)), 0);
    runTime = std::min(runTime, std::chrono::steady_clock::now() - began);
    const Snapshot oldOutputs = FolderContents(out);
    ASSERT_EQ(oldOutputs.size(), 5u);
    for (const auto& file : oldOutputs) EXPECT_NE(file.second, newOutputs.at(file.first)) << file.first;

    // Signals spread over the whole run, the last ones near its end, where the writing is.
    const int kTrials = 24;
    int sawOld = 0, sawNew = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        const auto delay = runTime * (0.3 + 0.75 * trial / kTrials);
        const pid_t child = Start(newBatch, out);
        std::this_thread::sleep_for(delay);
        ::kill(child, trial % 2 == 0 ? SIGINT : SIGTERM);
        Wait(child);
        const Snapshot now = FolderContents(out);
        if (now == oldOutputs) {
            ++sawOld;
        } else {
            EXPECT_TRUE(now == newOutputs) << "trial " << trial << ": the folder holds a mix or a partial file";
            ++sawNew;
            // Back to the old outputs for the next trial.
            ASSERT_EQ(Wait(Start(oldBatch, out)), 0);
            ASSERT_TRUE(FolderContents(out) == oldOutputs);
        }
    }
    EXPECT_GT(sawOld, 0) << "no signal came before the outputs were in place; " << sawNew << " came after";
}
