// The batch tool end to end: a generated batch of 200 samples x 500 compounds (one qualifier
// each, about 1500 peaks a sample) written to a temporary folder once, then `quan-batch` from
// this build folder run on it as a separate process with -j 1 and -j 2, every output written.
// Wall time of the whole process, one run per repetition, with the share the tool reports for
// writing its outputs (--timings). Then the report of that batch opened in headless Chromium:
// the time from navigation to a usable page (data read, summary and grid drawn), as the page
// itself measures it.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/BenchSupport.h"
#include "bench/generator/SyntheticBatch.h"

namespace {
namespace fs = std::filesystem;

constexpr int kSamples = 200;
constexpr int kCompounds = 500;
constexpr int kQualifiers = 1;
constexpr int kPeaksPerSample = 1500;

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
    const fs::path tool = bench::BuildFolder() / "quan-batch";
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
    const std::string command = "'" + tool.string() + "' --timings --out '" + out.string() + "' -j " + jobs + " '" +
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
        // "... of which writing the outputs W s (processor P s)"
        std::ifstream err(batch.root / "stderr.txt");
        const std::string text((std::istreambuf_iterator<char>(err)), {});
        const size_t at = text.find("writing the outputs ");
        if (at != std::string::npos) state.counters["writing_s"] = std::atof(text.c_str() + at + 20);
    }
    state.counters["samples"] = kSamples;
    state.counters["compounds"] = kCompounds;
}
// The report of the -j 2 run opened in headless Chromium; the page records when it became
// usable (milliseconds since navigation began) on its body element.
void BM_ReportOpens(benchmark::State& state) {
    const fs::path report = Batch().root / "out-j2" / "report.html";
    if (!fs::exists(report)) {
        state.SkipWithError("skipped: no report (BM_BatchEndToEnd/j:2 writes it)");
        return;
    }
    if (Run("command -v chromium > /dev/null 2>&1") != 0) {
        state.SkipWithError("skipped: chromium not installed");
        return;
    }
    const fs::path profile = Batch().root / "chromium-profile";
    double readyMs = 0.0;
    for (auto _ : state) {
        std::error_code code;
        fs::remove_all(profile, code);
        const std::string command =
            "chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
            "--disable-background-networking --disable-component-update --disable-sync --user-data-dir='" +
            profile.string() + "' --dump-dom 'file://" + report.string() + "' 2> /dev/null";
        std::string dom;
        const double seconds = bench::SecondsFor([&] {
            std::FILE* pipe = ::popen(command.c_str(), "r");
            if (pipe == nullptr) return;
            char buffer[65536];
            for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) dom.append(buffer, n);
            ::pclose(pipe);
        });
        const size_t at = dom.find("data-ready-ms=\"");
        if (at == std::string::npos) {
            state.SkipWithError("the page did not become usable");
            break;
        }
        readyMs = std::atof(dom.c_str() + at + 15);
        state.SetIterationTime(readyMs / 1000.0);
        state.counters["browser_process_s"] = seconds;
    }
    state.counters["report_MB"] = static_cast<double>(fs::file_size(report)) / 1e6;
}

BENCHMARK(BM_BatchEndToEnd)->ArgName("j")->Arg(1)->Arg(2)->UseManualTime()->Iterations(1)->Repetitions(3)
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_ReportOpens)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

}  // namespace
