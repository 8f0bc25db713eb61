// Reading one yeast MRM mzML file (340 chromatograms, 3.2 MB) the way a batch does, against a
// plain streaming parse of the same file by libxml2's reader that touches every node (name,
// value and each attribute) and does nothing else, timed alternately in the same iterations so
// that both see the same machine. "ratio" is the median batch-style time over the median parse
// time. The method asks for every transition of the lab's transition list, as a method built
// from it would.
//
// The file is the first yeast injection of the shared example data (../shared/data beside the
// source folder); QUAN_YEAST_MZML names another. Without it the benchmark says so and skips.
#include <benchmark/benchmark.h>
#include <libxml/xmlreader.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "quan.h"

namespace {
namespace fs = std::filesystem;

fs::path YeastFolder() { return fs::path(QUAN_SOURCE_DIR) / ".." / "shared" / "data" / "yeast-mrm"; }

std::string YeastFile() {
    if (const char* named = std::getenv("QUAN_YEAST_MZML")) return named;
    return (YeastFolder() / "mzML" / "170808_Jonathan_yeast_Yarr1_1x.mzML").string();
}

// A method of one entry per transition of the lab's list (traML.csv: PrecursorMz, ProductMz).
CMethodList YeastMethod() {
    CMethodList method;
    std::ifstream list(YeastFolder() / "traML.csv");
    std::string line;
    std::getline(list, line);
    std::vector<std::string> header;
    for (std::stringstream cells(line); std::getline(cells, line, ',');) header.push_back(line);
    const auto column = [&](const char* name) {
        for (size_t k = 0; k < header.size(); ++k)
            if (header[k] == name) return k;
        return header.size();
    };
    const size_t q1 = column("PrecursorMz");
    const size_t q3 = column("ProductMz");
    while (std::getline(list, line)) {
        std::vector<std::string> cells;
        for (std::stringstream row(line); std::getline(row, line, ',');) cells.push_back(line);
        if (q1 >= cells.size() || q3 >= cells.size()) continue;
        CMethodData entry;
        entry.SetQuanTrace(cells[q1] + ">" + cells[q3]);
        // No integration settings, as a method imported from the list has: the integrator's
        // defaults apply, as in the comparison docs/INTEGRATION.md reports.
        method.Add(entry);
    }
    return method;
}

// What a batch does with one sample's raw file: read the traces the method asks for and
// integrate them into the sample's peak list. Returns the number of points read.
size_t ProcessLikeABatch(const std::string& path, const CMethodList& method,
                         const std::vector<RawData::TraceRequest>& requests) {
    RawData::ReadResult result;
    RawData::ReadRawFile(path, requests, result);
    size_t points = 0;
    for (const RawData::Chromatogram& chromatogram : result.chromatograms) points += chromatogram.times.size();
    CPeakList peaks;
    Integrate::IntegrateForMethod(method, result.chromatograms, peaks);
    benchmark::DoNotOptimize(peaks.GetSize());
    return result.Ok() ? points : 0;
}

// The floor: libxml2's streaming reader over every node and attribute, nothing kept.
size_t PlainStreamingParse(const std::string& path) {
    xmlTextReaderPtr reader = xmlReaderForFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_HUGE | XML_PARSE_NOBLANKS);
    if (reader == nullptr) return 0;
    size_t touched = 0;
    while (xmlTextReaderRead(reader) == 1) {
        touched += xmlTextReaderConstLocalName(reader) != nullptr;
        if (const xmlChar* value = xmlTextReaderConstValue(reader)) touched += value[0] != 0;
        while (xmlTextReaderMoveToNextAttribute(reader) == 1)
            touched += xmlTextReaderConstValue(reader) != nullptr;
        xmlTextReaderMoveToElement(reader);
    }
    xmlFreeTextReader(reader);
    return touched;
}

void BM_ReadYeastMzml(benchmark::State& state) {
    const std::string path = YeastFile();
    if (!fs::exists(path)) {
        state.SkipWithError(("no yeast mzML at " + path + " (set QUAN_YEAST_MZML)").c_str());
        return;
    }
    const CMethodList method = YeastMethod();
    const std::vector<RawData::TraceRequest> requests = RawData::BuildTraceRequests(method);
    std::vector<double> batchTimes;
    std::vector<double> parseTimes;
    size_t points = 0;
    for (auto _ : state) {
        const double parse = bench::SecondsFor([&] { benchmark::DoNotOptimize(PlainStreamingParse(path)); });
        const double batch = bench::SecondsFor([&] { points = ProcessLikeABatch(path, method, requests); });
        benchmark::DoNotOptimize(points);
        state.SetIterationTime(batch);
        parseTimes.push_back(parse);
        batchTimes.push_back(batch);
    }
    if (points == 0) state.SkipWithError("the file did not read");
    const double parse = bench::Median(parseTimes);
    const double batch = bench::Median(batchTimes);
    state.counters["traces"] = static_cast<double>(requests.size());
    state.counters["points"] = static_cast<double>(points);
    state.counters["xml_ms"] = parse * 1e3;
    state.counters["read_ms"] = batch * 1e3;
    state.counters["ratio"] = parse > 0.0 ? batch / parse : 0.0;
}
BENCHMARK(BM_ReadYeastMzml)->Name("RawData/ReadYeastMzml")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// The integration alone: the file's chromatograms, read once, integrated for the method into a
// fresh peak list per iteration. "ns_per_point" is the time per chromatogram point.
void BM_IntegrateYeastChromatograms(benchmark::State& state) {
    const std::string path = YeastFile();
    if (!fs::exists(path)) {
        state.SkipWithError(("no yeast mzML at " + path + " (set QUAN_YEAST_MZML)").c_str());
        return;
    }
    const CMethodList method = YeastMethod();
    RawData::ReadResult read;
    RawData::ReadRawFile(path, RawData::BuildTraceRequests(method), read);
    size_t points = 0;
    for (const RawData::Chromatogram& chromatogram : read.chromatograms) points += chromatogram.times.size();
    int peaks = 0;
    for (auto _ : state) {
        CPeakList list;
        Integrate::IntegrateForMethod(method, read.chromatograms, list);
        peaks = list.GetSize();
        benchmark::DoNotOptimize(peaks);
    }
    if (points == 0) state.SkipWithError("the file did not read");
    state.counters["chromatograms"] = static_cast<double>(read.chromatograms.size());
    state.counters["points"] = static_cast<double>(points);
    state.counters["peaks"] = peaks;
    state.counters["ns_per_point"] =
        benchmark::Counter(static_cast<double>(points) * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_IntegrateYeastChromatograms)->Name("Integrate/YeastChromatograms")->Unit(benchmark::kMillisecond);

}  // namespace
