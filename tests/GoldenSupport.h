// Outputs compared with the texts recorded when they were last checked by hand, in
// tests/data/golden. After a deliberate change of results, record them again and read the
// difference before committing it: QUAN_UPDATE_GOLDEN=1 ./quan_tests --gtest_filter='*Golden*';
// git diff tests/data/golden.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace golden {

// The first lines where two texts differ, numbered, for a failure message.
inline std::string FirstDifferences(const std::string& expected, const std::string& actual) {
    std::istringstream a(expected), b(actual);
    std::string left, right, shown;
    int differences = 0;
    for (int line = 1; (std::getline(a, left) ? 1 : 0) + (std::getline(b, right) ? 1 : 0) > 0; ++line) {
        if (left != right && ++differences <= 5) shown += "line " + std::to_string(line) + ":\n  recorded " + left +
                                                          "\n  now      " + right + "\n";
        left.clear();
        right.clear();
    }
    return std::to_string(differences) + " lines differ\n" + shown;
}

// The recorded text of `name` in the folder `group`, compared or, when updating, written.
inline void ExpectRecorded(const std::string& group, const std::string& name, const std::string& text) {
    const std::filesystem::path recorded = std::filesystem::path(QUAN_SOURCE_DIR) / "tests" / "data" / "golden" / group;
    if (std::getenv("QUAN_UPDATE_GOLDEN") != nullptr) {
        std::filesystem::create_directories(recorded);
        std::ofstream(recorded / name, std::ios::binary) << text;
        return;
    }
    std::ifstream file(recorded / name, std::ios::binary);
    const std::string expected((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(expected == text) << group << "/" << name << ": " << FirstDifferences(expected, text);
}

}  // namespace golden
