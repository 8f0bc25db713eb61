// The batch tool's handling of bad input: every kind of input error is reported with the file,
// line and column it is in, nothing is run and nothing is written, and earlier results stay.
#include <gtest/gtest.h>

#include <functional>

#include "BatchTestSupport.h"

namespace {

using namespace batch_test;

struct InputErrorCase {
    const char* what;
    std::function<void(const fs::path& batch)> spoil;
    const char* expected;  // a part of the message: file, line and column, then the problem
};

const InputErrorCase kInputErrors[] = {
    {"missing peak file",
     [](const fs::path& b) { ReplaceInFile(b / "batch.csv", "peaks/STD-02.csv", "peaks/NOPE.csv"); },
     "batch.csv:3:2: the peak file"},
    {"row with a cell too few",
     [](const fs::path& b) { ReplaceInFile(b / "batch.csv", "calibration standard,\n", "calibration standard\n"); },
     "batch.csv:2: has 30 cells, the header 31"},
    {"concentration that does not parse",
     [](const fs::path& b) { ReplaceInFile(b / "batch.csv", "STD-03,peaks/STD-03.csv,Standard,5,", "STD-03,peaks/STD-03.csv,Standard,5x,"); },
     "batch.csv:4:4: \"5x\" is not a concentration"},
    {"unknown sample type",
     [](const fs::path& b) { ReplaceInFile(b / "batch.csv", "QC-01,peaks/QC-01.csv,QC", "QC-01,peaks/QC-01.csv,Quality"); },
     "batch.csv:8:3: unknown sample type \"Quality\""},
    {"peak area that does not parse",
     [](const fs::path& b) { ReplaceInFile(b / "peaks/STD-01.csv", "3061.0574", "30x1.0574"); },
     "STD-01.csv:2:7: \"30x1.0574\" is not a valid Area"},
    {"unknown peak column",
     [](const fs::path& b) { ReplaceInFile(b / "peaks/QC-02.csv", "ChromNoise", "ChromNoize"); },
     "QC-02.csv:1:9: unknown peak field \"ChromNoize\""},
    {"unclosed quote in a peak file",
     [](const fs::path& b) { ReplaceInFile(b / "peaks/BLANK-01.csv", "205.1,", "\"205.1,"); },
     "BLANK-01.csv: line 2: a quoted cell is not closed"},
    {"method entry naming a missing internal standard",
     [](const fs::path& b) { ReplaceInFile(b / "method.xml", "RCalc=\"1\" RRef=\"1\"", "RCalc=\"1\" RRef=\"40\""); },
     "method.xml:6:3: entry 3 (Dichlorvos): its internal standard RRef 40 is not an entry"},
    {"method that is not XML",
     [](const fs::path& b) { ReplaceInFile(b / "method.xml", "</METHODLIST>", "</METHOD"); },
     "method.xml: is not a well-formed method document"},
    {"excluded compound that is not in the method",
     [](const fs::path& b) { ReplaceInFile(b / "batch.csv", "calibration standard,Dichlorvos", "calibration standard,Dichlorvoss"); },
     "batch.csv:7:31: excluded compound \"Dichlorvoss\" is not a method entry"},
    {"no standards and no stored curves",
     [](const fs::path& b) {
         for (int i = 0; i < 6; ++i) ReplaceInFile(b / "batch.csv", ",Standard,", ",QC,");
     },
     "batch.csv: the batch has no standards"},
};

TEST(BatchTool, EveryInputErrorNamesItsPlaceAndNothingIsWritten) {
    for (const InputErrorCase& c : kInputErrors) {
        SCOPED_TRACE(c.what);
        TempFolder temp;
        const fs::path batch = CopyExample(temp.Path());
        c.spoil(batch);
        const fs::path out = temp.Path() / "out";
        const ToolRun run = RunTool({batch.string(), "--out", out.string()});
        EXPECT_EQ(run.status, Batch::kExitBadInput);
        EXPECT_NE(run.err.find(c.expected), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("nothing was run"), std::string::npos);
        EXPECT_FALSE(fs::exists(out));
        EXPECT_TRUE(run.out.empty());
    }
}

TEST(BatchTool, BadInputLeavesEarlierResultsAsTheyWere) {
    TempFolder temp;
    const fs::path batch = CopyExample(temp.Path());
    const fs::path out = temp.Path() / "out";
    ASSERT_EQ(RunTool({batch.string(), "--out", out.string()}).status, Batch::kExitOK);
    std::map<std::string, std::string> before;
    for (const auto& file : fs::directory_iterator(out)) before[file.path().filename().string()] = ReadText(file.path());
    EXPECT_EQ(before.size(), 4u);  // results, curves, database, report; no staging files left

    kInputErrors[3].spoil(batch);
    EXPECT_EQ(RunTool({batch.string(), "--out", out.string()}).status, Batch::kExitBadInput);
    std::map<std::string, std::string> after;
    for (const auto& file : fs::directory_iterator(out)) after[file.path().filename().string()] = ReadText(file.path());
    EXPECT_EQ(after, before);
}

}  // namespace
