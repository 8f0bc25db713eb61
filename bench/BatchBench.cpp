// The batch tool end to end: a generated batch of 200 samples x 500 compounds (one qualifier
// each, about 1500 peaks a sample) written to a temporary folder once, then `quan-batch` from
// this build folder run on it as a separate process with -j 1 and -j 2, every output written.
// Wall time of the whole process, one run per repetition.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/BenchSupport.h"
#include "bench/generator/SyntheticBatch.h"

namespace {
namespace fs = std::filesystem;

constexpr int kSamples = 200;
constexpr int kCompounds = 500;
constexpr int kQualifiers = 1;
constexpr int kPeaksPerSample = 1500;

fs::path BuildFolder() {
    std::error_code code;
    const fs::path self = fs::read_symlink("/proc/self/exe", code);
    return code ? fs::current_path() : self.parent_path();
}

// The generated batch, made on first use and removed when the program ends.
struct GeneratedBatch {
    fs::path root;
    std::string error;

    GeneratedBatch() {
        std::string pattern = (fs::temp_directory_path() / "quan-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            error = "cannot make a temporary folder";
            return;
        }
        root = pattern;
        const bench::SyntheticMethod method(kCompounds, kQualifiers);
        bench::WriteBatchFolder((root / "batch").string(), method, kSamples, kPeaksPerSample, error);
    }
    ~GeneratedBatch() {
        std::error_code code;
        if (!root.empty()) fs::remove_all(root, code);
    }
};

GeneratedBatch& Batch() {
    static GeneratedBatch batch;
    return batch;
}

// The exit status of the command, or -1 when it did not run to an end.
int Run(const std::string& command) {
    const int status = std::system(command.c_str());
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_BatchEndToEnd(benchmark::State& state) {
    const fs::path tool = BuildFolder() / "quan-batch";
    if (!fs::exists(tool)) {
        state.SkipWithError("skipped: quan-batch not built");
        return;
    }
    GeneratedBatch& batch = Batch();
    if (!batch.error.empty()) {
        state.SkipWithError(batch.error.c_str());
        return;
    }
    const std::string jobs = std::to_string(state.range(0));
    const fs::path out = batch.root / ("out-j" + jobs);
    const std::string command = "'" + tool.string() + "' --out '" + out.string() + "' -j " + jobs + " '" +
                                (batch.root / "batch").string() + "' > /dev/null 2> '" +
                                (batch.root / "stderr.txt").string() + "'";
    for (auto _ : state) {
        std::error_code code;
        fs::remove_all(out, code);
        int exitStatus = 0;
        const double seconds = bench::SecondsFor([&] { exitStatus = Run(command); });
        if (exitStatus != 0) {
            state.SkipWithError(("quan-batch failed with status " + std::to_string(exitStatus) + ", see " +
                                 (batch.root / "stderr.txt").string()).c_str());
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["samples"] = kSamples;
    state.counters["compounds"] = kCompounds;
}
BENCHMARK(BM_BatchEndToEnd)->ArgName("j")->Arg(1)->Arg(2)->UseManualTime()->Iterations(1)->Repetitions(3)
    ->Unit(benchmark::kSecond);

}  // namespace
