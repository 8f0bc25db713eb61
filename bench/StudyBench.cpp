// Merging a study: 50 batches of 100 samples x 200 compounds (a generated batch run once by
// quan-batch from this build folder, its results copied under 50 batch names with every
// concentration moved a little, so each batch's QCs differ), merged by `quan-study` from this
// build folder as a separate process. For 10, 25 and 50 batches: wall time and processor time
// (user and system, which a machine shared with other work shows better), the process's peak
// resident memory, and the sizes of study.sqlite and study.html; then merging one re-run batch
// into the 50-batch study (which rebuilds the study around the kept batches), and the time the
// 50-batch study's page takes to become usable in headless Chromium.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/generator/SyntheticBatch.h"

extern char** environ;

namespace {
namespace fs = std::filesystem;

constexpr int kSamples = 100;
constexpr int kCompounds = 200;
constexpr int kPeaksPerSample = 600;
constexpr int kMostBatches = 50;

std::string BatchName(int number) {
    char name[32];
    std::snprintf(name, sizeof name, "batch-%02d", number);
    return name;
}

struct ProcessRun {
    int status = -1;
    double seconds = 0.0;
    double peakMegabytes = 0.0;
    double processorSeconds = 0.0;  // user and system: what the run costs on a busy machine
};

// Runs a program with its output sent to `log`; its exit status, wall time and peak memory.
ProcessRun RunProgram(std::vector<std::string> args, const fs::path& log) {
    ProcessRun run;
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t child = 0;
    run.seconds = bench::SecondsFor([&] {
        if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) return;
        int status = 0;
        struct rusage usage {};
        if (::wait4(child, &status, 0, &usage) == child && WIFEXITED(status)) {
            run.status = WEXITSTATUS(status);
            run.peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
            run.processorSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                                   1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
        }
    });
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

// The batches' results folders, made on first use and removed when the program ends.
struct GeneratedStudy {
    fs::path root;
    std::string error;

    GeneratedStudy() {
        std::string pattern = (fs::temp_directory_path() / "quan-study-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            error = "cannot make a temporary folder";
            return;
        }
        root = pattern;
        const fs::path tool = bench::BuildFolder() / "quan-batch";
        if (!fs::exists(tool)) {
            error = "skipped: quan-batch not built";
            return;
        }
        const bench::SyntheticMethod method(kCompounds, 1);
        if (!bench::WriteBatchFolder((root / "batch").string(), method, kSamples, kPeaksPerSample, error)) return;
        const ProcessRun batch = RunProgram({tool.string(), "--out", (root / "results").string(), "-j", "2",
                                             (root / "batch").string()},
                                            root / "quan-batch.log");
        if (batch.status != 0 && batch.status != 1 && batch.status != 4) {
            error = "quan-batch failed, see " + (root / "quan-batch.log").string();
            return;
        }
        for (int number = 1; number <= kMostBatches && error.empty(); ++number) {
            const fs::path folder = root / "runs" / BatchName(number);
            fs::create_directories(folder);
            fs::copy_file(root / "results" / "results.sqlite", folder / "results.sqlite");
            // Every value a few per cent off, differently in every batch.
            const std::string sql = "UPDATE results SET concentration = concentration * (1.0 + 0.01 * (((sample * 7 + "
                                    "entry * 13 + " + std::to_string(number * 31) +
                                    ") % 11) - 5) / 5.0) WHERE concentration IS NOT NULL";
            sqlite3* db = nullptr;
            if (sqlite3_open((folder / "results.sqlite").c_str(), &db) != SQLITE_OK ||
                sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
                error = "cannot change " + folder.string();
            sqlite3_close(db);
        }
    }
    ~GeneratedStudy() {
        std::error_code code;
        if (!root.empty()) fs::remove_all(root, code);
    }
    std::vector<std::string> Folders(int count) const {
        std::vector<std::string> folders;
        for (int number = 1; number <= count; ++number) folders.push_back((root / "runs" / BatchName(number)).string());
        return folders;
    }
};

GeneratedStudy& Study() {
    static GeneratedStudy study;
    return study;
}

void BM_StudyMerge(benchmark::State& state) {
    const fs::path tool = bench::BuildFolder() / "quan-study";
    GeneratedStudy& study = Study();
    if (!fs::exists(tool)) {
        state.SkipWithError("skipped: quan-study not built");
        return;
    }
    if (!study.error.empty()) {
        state.SkipWithError(study.error.c_str());
        return;
    }
    const int batches = static_cast<int>(state.range(0));
    const fs::path out = study.root / ("study-" + std::to_string(batches));
    std::vector<std::string> args = {tool.string(), "--out", out.string()};
    for (const std::string& folder : study.Folders(batches)) args.push_back(folder);
    ProcessRun run;
    for (auto _ : state) {
        std::error_code code;
        fs::remove_all(out, code);
        run = RunProgram(args, study.root / "quan-study.log");
        if (run.status != 0) {
            state.SkipWithError(("quan-study failed, see " + (study.root / "quan-study.log").string()).c_str());
            break;
        }
        state.SetIterationTime(run.seconds);
    }
    if (run.status != 0) return;
    state.counters["peak_MB"] = run.peakMegabytes;
    state.counters["study_MB"] = static_cast<double>(fs::file_size(out / "study.sqlite")) / 1e6;
    state.counters["page_MB"] = static_cast<double>(fs::file_size(out / "study.html")) / 1e6;
    state.counters["cpu_s"] = run.processorSeconds;
    state.counters["cpu_ms_per_batch"] = 1000.0 * run.processorSeconds / batches;
}

// One batch of a 50-batch study run again and merged alone.
void BM_StudyRemergeOne(benchmark::State& state) {
    const fs::path tool = bench::BuildFolder() / "quan-study";
    GeneratedStudy& study = Study();
    if (!fs::exists(tool) || !study.error.empty()) {
        state.SkipWithError("skipped: no study (see BM_StudyMerge)");
        return;
    }
    const fs::path out = study.root / "study-remerge";
    std::vector<std::string> all = {tool.string(), "--out", out.string()};
    for (const std::string& folder : study.Folders(kMostBatches)) all.push_back(folder);
    if (RunProgram(all, study.root / "quan-study.log").status != 0) {
        state.SkipWithError("quan-study failed");
        return;
    }
    const std::vector<std::string> one = {tool.string(), "--out", out.string(), study.Folders(kMostBatches)[24]};
    ProcessRun run;
    for (auto _ : state) {
        run = RunProgram(one, study.root / "quan-study.log");
        if (run.status != 0) {
            state.SkipWithError("quan-study failed");
            break;
        }
        state.SetIterationTime(run.seconds);
    }
    state.counters["peak_MB"] = run.peakMegabytes;
    state.counters["cpu_s"] = run.processorSeconds;
}

// The 50-batch study's page opened in headless Chromium; the page records when it became
// usable (milliseconds since navigation began) on its body element.
void BM_StudyPageOpens(benchmark::State& state) {
    const fs::path page = Study().root / ("study-" + std::to_string(kMostBatches)) / "study.html";
    if (!fs::exists(page)) {
        state.SkipWithError("skipped: no page (BM_StudyMerge/batches:50 writes it)");
        return;
    }
    if (std::system("command -v chromium > /dev/null 2>&1") != 0) {
        state.SkipWithError("skipped: chromium not installed");
        return;
    }
    const fs::path profile = Study().root / "chromium-profile";
    for (auto _ : state) {
        std::error_code code;
        fs::remove_all(profile, code);
        const std::string command =
            "chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
            "--disable-background-networking --disable-component-update --disable-sync --user-data-dir='" +
            profile.string() + "' --dump-dom 'file://" + page.string() + "' 2> /dev/null";
        std::string dom;
        std::FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe != nullptr) {
            char buffer[65536];
            for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) dom.append(buffer, n);
            ::pclose(pipe);
        }
        const size_t at = dom.find("data-ready-ms=\"");
        if (at == std::string::npos) {
            state.SkipWithError("the page did not become usable");
            break;
        }
        state.SetIterationTime(std::atof(dom.c_str() + at + 15) / 1000.0);
    }
    state.counters["page_MB"] = static_cast<double>(fs::file_size(page)) / 1e6;
}

BENCHMARK(BM_StudyMerge)->ArgName("batches")->Arg(10)->Arg(25)->Arg(kMostBatches)->UseManualTime()->Iterations(1)
    ->Repetitions(3)->Unit(benchmark::kSecond);
BENCHMARK(BM_StudyPageOpens)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StudyRemergeOne)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kSecond);

}  // namespace
