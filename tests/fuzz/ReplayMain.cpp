// Runs a fuzz target once over every file of its corpus, so the normal (g++, sanitized) build
// replays each input that ever found a fault without needing clang or libFuzzer. Arguments are
// files or folders (folders are read in name order, not recursively). An argument that names
// nothing, or a corpus without a single input, fails: a replay that ran nothing proves nothing.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    size_t replayed = 0;
    for (int a = 1; a < argc; ++a) {
        std::error_code error;
        std::vector<fs::path> found;
        if (fs::is_regular_file(argv[a], error)) found.emplace_back(argv[a]);
        for (const auto& item : fs::directory_iterator(argv[a], error))
            if (item.is_regular_file()) found.push_back(item.path());
        if (found.empty()) {
            std::fprintf(stderr, "%s: no corpus file, nor a folder holding inputs\n", argv[a]);
            return 2;
        }
        std::sort(found.begin(), found.end());
        for (const fs::path& input : found) {
            std::ifstream file(input, std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            // An empty vector's data() may be null; libFuzzer passes a valid pointer for size 0.
            static const uint8_t kNothing = 0;
            LLVMFuzzerTestOneInput(bytes.empty() ? &kNothing : bytes.data(), bytes.size());
            ++replayed;
        }
    }
    std::printf("replayed %zu inputs\n", replayed);
    return replayed > 0 ? 0 : 2;
}
