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
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
bool ReadBytes(const std::filesystem::path& path, std::vector<uint8_t>& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s corpus-folder-or-file...\n", argv[0]);
        return 2;
    }
    size_t replayed = 0;
    for (int a = 1; a < argc; ++a) {
        std::error_code error;
        std::vector<std::filesystem::path> inputs;
        if (std::filesystem::is_directory(argv[a], error)) {
            for (const auto& item : std::filesystem::directory_iterator(argv[a], error))
                if (item.is_regular_file()) inputs.push_back(item.path());
            std::sort(inputs.begin(), inputs.end());
        } else if (std::filesystem::is_regular_file(argv[a], error)) {
            inputs.emplace_back(argv[a]);
        } else {
            std::fprintf(stderr, "%s: no such corpus file or folder\n", argv[a]);
            return 2;
        }
        for (const auto& input : inputs) {
            std::vector<uint8_t> bytes;
            if (!ReadBytes(input, bytes)) {
                std::fprintf(stderr, "%s: cannot be read\n", input.c_str());
                return 2;
            }
            // An empty vector's data() may be null; libFuzzer passes a valid pointer for size 0.
            static const uint8_t kNothing = 0;
            LLVMFuzzerTestOneInput(bytes.empty() ? &kNothing : bytes.data(), bytes.size());
            ++replayed;
        }
    }
    if (replayed == 0) {
        std::fprintf(stderr, "the corpus holds no inputs\n");
        return 2;
    }
    std::printf("replayed %zu inputs\n", replayed);
    return 0;
}
