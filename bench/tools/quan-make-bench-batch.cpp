// Writes a synthetic batch folder for the batch tool: the end-to-end benchmark and the batch
// stress test run on what this writes. Same arguments, same bytes.
//
//   quan-make-bench-batch [--samples N] [--compounds N] [--qualifiers 0..2] [--peaks N] [--seed N] FOLDER
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/generator/SyntheticBatch.h"

namespace {
void Usage() {
    std::fprintf(stderr,
                 "usage: quan-make-bench-batch [--samples N] [--compounds N] [--qualifiers 0..2] [--peaks N]"
                 " [--seed N] FOLDER\n"
                 "  defaults: 200 samples, 500 compounds, 1 qualifier, 1500 peaks a sample, seed 20240611\n");
}

bool ParseCount(const char* text, long long low, long long high, long long& value) {
    char* stop = nullptr;
    value = std::strtoll(text, &stop, 10);
    return stop != text && *stop == '\0' && value >= low && value <= high;
}
}  // namespace

int main(int argc, char** argv) {
    long long samples = 200, compounds = 500, qualifiers = 1, peaks = 1500, seed = 20240611;
    std::string folder;
    struct Option {
        const char* name;
        long long* value;
        long long low, high;
    };
    const Option options[] = {{"--samples", &samples, 7, 100000},
                              {"--compounds", &compounds, 1, 100000},
                              {"--qualifiers", &qualifiers, 0, 2},
                              {"--peaks", &peaks, 0, 10000000},
                              {"--seed", &seed, 0, 9223372036854775807LL}};
    for (int a = 1; a < argc; ++a) {
        const Option* matched = nullptr;
        for (const Option& option : options)
            if (std::strcmp(argv[a], option.name) == 0) matched = &option;
        if (matched != nullptr) {
            if (a + 1 >= argc || !ParseCount(argv[a + 1], matched->low, matched->high, *matched->value)) {
                std::fprintf(stderr, "quan-make-bench-batch: %s needs a number from %lld to %lld\n", matched->name,
                             matched->low, matched->high);
                return 2;
            }
            ++a;
        } else if (argv[a][0] == '-' || !folder.empty()) {
            Usage();
            return 2;
        } else {
            folder = argv[a];
        }
    }
    if (folder.empty()) {
        Usage();
        return 2;
    }
    const bench::SyntheticMethod method(static_cast<int>(compounds), static_cast<int>(qualifiers),
                                        static_cast<uint64_t>(seed));
    std::string error;
    if (!bench::WriteBatchFolder(folder, method, static_cast<int>(samples), static_cast<int>(peaks), error)) {
        std::fprintf(stderr, "quan-make-bench-batch: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
