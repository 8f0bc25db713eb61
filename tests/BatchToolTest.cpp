// The batch tool's handling of what it is given: every kind of input error is reported with
// the file, line and column it is in, nothing is run and nothing is written (a missing peak file
// and a bad concentration are the Python module's cases); an engine status that ends a sample's
// run is reported with its meaning and sample.
#include <functional>

#include "BatchTestSupport.h"

namespace {

using namespace batch_test;

using Spoil = std::function<void(const fs::path& batch)>;

// Replaces `from` by `to` in the batch's file `name`.
Spoil Replace(const char* name, const char* from, const char* to) {
    return [=](const fs::path& batch) { EXPECT_TRUE(ReplaceInFile(batch / name, from, to)) << from; };
}

struct InputErrorCase {
    Spoil spoil;
    const char* expected;  // a part of the message: file, line and column, then the problem
};

const InputErrorCase kInputErrors[] = {
    {Replace("batch.csv", "calibration standard,\n", "calibration standard\n"), "batch.csv:2: has 30 cells, the header 31"},
    {Replace("batch.csv", "QC-01,raw/QC-01.mzML,QC", "QC-01,raw/QC-01.mzML,Quality"),
     "batch.csv:8:3: unknown sample type \"Quality\""},
    {[](const fs::path& b) { ReplaceInFile(AsPeakList(b, "QC-02"), "ChromNoise", "ChromNoize"); },
     "QC-02.csv:1:9: unknown peak field \"ChromNoize\""},
    {Replace("method.xml", "RRef=\"1\"", "RRef=\"40\""),
     "method.xml:6:179: entry 3 (Dichlorvos): its internal standard RRef 40 is not an entry"},
    {Replace("method.xml", "<METHODLIST>", "<METHODLIST Acceptance=\"FDA\">"), "method.xml:2:1: METHODLIST Acceptance=\"FDA\""},
    {Replace("method.xml", "</METHODLIST>", "</METHOD"), "method.xml: is not a well-formed method document"},
    {Replace("batch.csv", "calibration standard,Dichlorvos", "calibration standard,Dichlorvoss"),
     "batch.csv:7:31: excluded compound \"Dichlorvoss\" is not a method entry"},
    {[](const fs::path& b) {
         const std::string text = ReadText(b / "raw/QC-01.mzML");
         WriteText(b / "raw/QC-01.mzML", text.substr(0, text.size() / 2));
     },
     "QC-01.mzML:"},
    {[](const fs::path& b) {
         for (int i = 0; i < 6; ++i) ReplaceInFile(b / "batch.csv", ",Standard,", ",QC,");
     },
     "batch.csv: the batch has no standards"},
    {[](const fs::path& b) {
         WriteText(b / "elements.csv", "Symbol,AtomicNumber,Mass,ResponseFactor,ScaleFactor\nFe,26,55.8,1,1\nCu,200,63.5,1,1\n");
     },
     "elements.csv: line 3: atomic number must be 1 to 118"},
};

TEST(BatchTool, EveryInputErrorNamesItsPlaceAndNothingIsWritten) {
    for (const InputErrorCase& c : kInputErrors) {
        SCOPED_TRACE(c.expected);
        TempFolder temp;
        const fs::path batch = CopyExample(temp.Path());
        c.spoil(batch);
        const ToolRun run = RunTool({batch.string(), "--out", temp / "out"});
        EXPECT_EQ(run.status, Batch::kExitBadInput);
        EXPECT_NE(run.err.find(c.expected), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("nothing was run"), std::string::npos);
        EXPECT_FALSE(fs::exists(temp.Path() / "out"));
        EXPECT_TRUE(run.out.empty());
    }
}

TEST(BatchTool, SummaryNamesEngineStatusesAndCurvesThatCouldNotBeCalibrated) {
    TempFolder temp;
    const fs::path batch = CopyExample(temp.Path());
    // Two entries each located relative to the other: location cannot start either.
    ASSERT_TRUE(ReplaceInFile(batch / "method.xml", "Name=\"Dichlorvos\" LocateBy=\"RT\"",
                              "Name=\"Dichlorvos\" LocateBy=\"RRT\" RRTRef=\"4\" PredRRT=\"0.57\""));
    ASSERT_TRUE(ReplaceInFile(batch / "method.xml", "Name=\"Trifluralin\" LocateBy=\"RT\"",
                              "Name=\"Trifluralin\" LocateBy=\"RRT\" RRTRef=\"3\" PredRRT=\"1.75\""));
    const ToolRun run = RunTool({batch.string(), "--out", temp / "out"});
    EXPECT_EQ(run.status, Batch::kExitEngineStatus) << run.err;
    EXPECT_NE(run.err.find("sample SAMPLE-02: location stopped with status 21 (circular relative-retention reference)"),
              std::string::npos)
        << run.err;
    // Location never started, so no standard gave a point: every curve says so.
    EXPECT_NE(run.out.find("  entry 3 Dichlorvos: no usable standard (every point excluded)\n"), std::string::npos)
        << run.out;
}

}  // namespace
