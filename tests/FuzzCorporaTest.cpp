// Every input of the fuzz corpora (tests/fuzz/corpus: seeds made from the example and the unit
// tests' cases, and every input that ever found a fault) run once through its fuzz target, built
// into this program with its entry point renamed. Each target checks its invariants and stops the
// program when one fails, as it does under libFuzzer, so a fault any corpus input reaches fails
// here. A corpus goes to the target of its own name, or to the one folded.txt hands it to.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#define QUAN_FUZZ_TARGETS(X) \
    X(batch_csv) X(calibrate) X(integrate) X(match_scoring) X(method_tools) X(method_xml) X(raw_data) X(records) \
    X(whole_run)

#define QUAN_DECLARE_FUZZ_TARGET(name) extern "C" int QuanFuzz_##name(const uint8_t* data, size_t size);
QUAN_FUZZ_TARGETS(QUAN_DECLARE_FUZZ_TARGET)

namespace {

namespace fs = std::filesystem;
using Target = int (*)(const uint8_t*, size_t);

const fs::path kFuzzFolder = fs::path(QUAN_SOURCE_DIR) / "tests" / "fuzz";

std::map<std::string, Target> Targets() {
#define QUAN_LIST_FUZZ_TARGET(name) {#name, &QuanFuzz_##name},
    return {QUAN_FUZZ_TARGETS(QUAN_LIST_FUZZ_TARGET)};
}

// Corpus folder -> target, from folded.txt's "corpus target" lines.
std::map<std::string, std::string> Folded() {
    std::map<std::string, std::string> folded;
    std::ifstream file(kFuzzFolder / "folded.txt");
    for (std::string line; std::getline(file, line);) {
        std::istringstream words(line);
        std::string corpus, target;
        if (!line.empty() && line[0] != '#' && words >> corpus >> target) folded[corpus] = target;
    }
    return folded;
}

// Every target source is listed above: a target left out would build and never run.
TEST(FuzzCorpora, EveryTargetIsReplayed) {
    const auto targets = Targets();
    for (const auto& item : fs::directory_iterator(kFuzzFolder)) {
        const std::string name = item.path().stem().string();
        if (item.path().extension() == ".cpp" && name != "ReplayMain") {
            EXPECT_EQ(targets.count(name), 1u) << name;
        }
    }
}

TEST(FuzzCorpora, EveryInputKeepsItsTargetsPromises) {
    const auto targets = Targets();
    const auto folded = Folded();
    std::vector<fs::path> corpora;
    for (const auto& item : fs::directory_iterator(kFuzzFolder / "corpus"))
        if (item.is_directory()) corpora.push_back(item.path());
    std::sort(corpora.begin(), corpora.end());
    ASSERT_FALSE(corpora.empty());
    for (const fs::path& corpus : corpora) {
        const std::string name = corpus.filename().string();
        const auto hand = folded.find(name);
        const auto target = targets.find(hand != folded.end() ? hand->second : name);
        ASSERT_NE(target, targets.end()) << "corpus " << name << " has no target (see folded.txt)";
        std::vector<fs::path> inputs;
        for (const auto& item : fs::directory_iterator(corpus))
            if (item.is_regular_file()) inputs.push_back(item.path());
        std::sort(inputs.begin(), inputs.end());
        EXPECT_FALSE(inputs.empty()) << "corpus " << name << " holds no input (a replay of nothing proves nothing)";
        for (const fs::path& input : inputs) {
            std::ifstream file(input, std::ios::binary);
            const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            // An empty vector's data() may be null; libFuzzer passes a valid pointer for size 0.
            static const uint8_t kNothing = 0;
            target->second(bytes.empty() ? &kNothing : bytes.data(), bytes.size());
        }
    }
}

}  // namespace
