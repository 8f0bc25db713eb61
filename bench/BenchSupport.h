// Shared by the benchmarks: wall-clock timing of one call, medians of repeated measurements,
// and the process-wide count of operator new calls (BenchMain.cpp replaces the global
// allocation functions, so the library's allocations are counted too).
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace bench {

// Allocations made through any operator new since the program started.
uint64_t AllocationCount();

template <class Work>
double SecondsFor(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : 0.5 * (values[middle - 1] + values[middle]);
}

// The folder of this benchmark program, where the build puts the tools it runs (the current
// folder when /proc does not say).
inline std::filesystem::path BuildFolder() {
    std::error_code code;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", code);
    return code ? std::filesystem::current_path() : self.parent_path();
}

}  // namespace bench
