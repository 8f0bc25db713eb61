// Reading and checking a method document as every tool does before any work (ReadMethodText: the
// scan that places each setting, the record reader and the whole-method checks), on the method
// `quan-method import` makes from the yeast lab's transition list (235 entries). A short tool
// such as quan-integrate spends a fifth of its instructions here, so it is watched on its own.
//
// The list is the shared example data's (../shared/data beside the source folder); without it
// the benchmark says so and skips.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "quan.h"
#include "workflow/method/MethodCheck.h"
#include "workflow/method/MethodXml.h"
#include "workflow/method/TransitionList.h"

namespace {
namespace fs = std::filesystem;

void BM_ReadYeastMethod(benchmark::State& state) {
    const fs::path list = fs::path(QUAN_SOURCE_DIR) / ".." / "shared" / "data" / "yeast-mrm" / "traML.csv";
    MethodTools::Problems problems, notes;
    CMethodList imported;
    if (!fs::exists(list) || !MethodTools::ImportTransitionList(list.string(), {}, imported, problems, notes)) {
        state.SkipWithError(("cannot import the transition list " + list.string()).c_str());
        return;
    }
    const std::string text = MethodTools::ReadableMethodXML(imported);
    int entries = 0;
    for (auto _ : state) {
        CMethodList method;
        MethodTools::Problems found;
        if (!MethodTools::ReadMethodText("method.xml", text, method, found)) {
            state.SkipWithError("the imported method does not read back");
            return;
        }
        entries = method.GetSize();
        benchmark::DoNotOptimize(entries);
    }
    state.counters["entries"] = entries;
    state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_ReadYeastMethod)->Name("Method/ReadYeastMethod")->Unit(benchmark::kMillisecond);

}  // namespace
