// The batch tool's handling of what it is given: every kind of input error is reported with
// the file, line and column it is in, nothing is run and nothing is written; options are
// checked; an engine status that ends a sample's run is reported with its meaning and sample.
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
     [](const fs::path& b) { ReplaceInFile(b / "batch.csv", "raw/STD-02.mzML", "raw/NOPE.mzML"); },
     "batch.csv:3:2: the peak file"},
    {"row with a cell too few",
     [](const fs::path& b) { ReplaceInFile(b / "batch.csv", "calibration standard,\n", "calibration standard\n"); },
     "batch.csv:2: has 30 cells, the header 31"},
    {"concentration that does not parse",
     [](const fs::path& b) { ReplaceInFile(b / "batch.csv", "STD-03,raw/STD-03.mzML,Standard,5,", "STD-03,raw/STD-03.mzML,Standard,5x,"); },
     "batch.csv:4:4: \"5x\" is not a concentration"},
    {"unknown sample type",
     [](const fs::path& b) { ReplaceInFile(b / "batch.csv", "QC-01,raw/QC-01.mzML,QC", "QC-01,raw/QC-01.mzML,Quality"); },
     "batch.csv:8:3: unknown sample type \"Quality\""},
    {"peak area that does not parse",
     [](const fs::path& b) {
         const fs::path list = AsPeakList(b, "STD-01");
         std::string text = ReadText(list);
         size_t at = text.find('\n');  // row 2, cell 7
         for (int comma = 0; comma < 6; ++comma) at = text.find(',', at + 1);
         text.insert(at + 1, "x");
         WriteText(list, text);
     },
     "STD-01.csv:2:7: \"x"},
    {"unknown peak column",
     [](const fs::path& b) { ReplaceInFile(AsPeakList(b, "QC-02"), "ChromNoise", "ChromNoize"); },
     "QC-02.csv:1:9: unknown peak field \"ChromNoize\""},
    {"unclosed quote in a peak file",
     [](const fs::path& b) { ReplaceInFile(AsPeakList(b, "BLANK-01"), "\n", "\n\""); },
     "BLANK-01.csv: line 2: a quoted cell is not closed"},
    {"method entry naming a missing internal standard",
     [](const fs::path& b) { ReplaceInFile(b / "method.xml", "RRef=\"1\"", "RRef=\"40\""); },
     "method.xml:6:179: entry 3 (Dichlorvos): its internal standard RRef 40 is not an entry"},
    {"unknown acceptance rule set",
     [](const fs::path& b) { ReplaceInFile(b / "method.xml", "<METHODLIST>", "<METHODLIST Acceptance=\"FDA\">"); },
     "method.xml:2:1: METHODLIST Acceptance=\"FDA\""},
    {"method that is not XML",
     [](const fs::path& b) { ReplaceInFile(b / "method.xml", "</METHODLIST>", "</METHOD"); },
     "method.xml: is not a well-formed method document"},
    {"excluded compound that is not in the method",
     [](const fs::path& b) { ReplaceInFile(b / "batch.csv", "calibration standard,Dichlorvos", "calibration standard,Dichlorvoss"); },
     "batch.csv:7:31: excluded compound \"Dichlorvoss\" is not a method entry"},
    {"truncated mzML file",
     [](const fs::path& b) {
         const std::string text = ReadText(b / "raw/QC-01.mzML");
         WriteText(b / "raw/QC-01.mzML", text.substr(0, text.size() / 2));
     },
     "QC-01.mzML:"},
    {"text chromatogram with a row that does not parse, one of two raw files",
     [](const fs::path& b) {
         WriteText(b / "raw/fid.txt", "Channel\tFID\nTime (min)\tValue (pA)\n0.0\t1.0\n0.1\tx2\n");
         ReplaceInFile(b / "batch.csv", "raw/QC-02.mzML", "raw/QC-02.mzML; raw/fid.txt");
     },
     "fid.txt:4: signal \"x2\" is not a number"},
    {"no standards and no stored curves",
     [](const fs::path& b) {
         for (int i = 0; i < 6; ++i) ReplaceInFile(b / "batch.csv", ",Standard,", ",QC,");
     },
     "batch.csv: the batch has no standards"},
    {"element table with an atomic number past the table",
     [](const fs::path& b) {
         WriteText(b / "elements.csv", "Symbol,AtomicNumber,Mass,ResponseFactor,ScaleFactor\nFe,26,55.8,1,1\nCu,200,63.5,1,1\n");
     },
     "elements.csv: line 3: atomic number must be 1 to 118"},
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

TEST(BatchTool, AllProblemsAreReportedTogetherAndEarlierResultsKept) {
    TempFolder temp;
    const fs::path batch = CopyExample(temp.Path());
    const fs::path out = temp.Path() / "out";
    ASSERT_EQ(RunTool({batch.string(), "--out", out.string()}).status, Batch::kExitOK);
    const auto before = FolderContents(out);
    EXPECT_EQ(before.size(), 5u);  // results, matrix, curves, database, report; no staging files left

    for (int i : {2, 4, 7}) kInputErrors[i].spoil(batch);
    const ToolRun run = RunTool({batch.string(), "--out", out.string()});
    EXPECT_EQ(run.status, Batch::kExitBadInput);
    for (int i : {2, 4, 7}) EXPECT_NE(run.err.find(kInputErrors[i].expected), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("3 problems"), std::string::npos) << run.err;
    EXPECT_EQ(FolderContents(out), before);
}

// The example's element table is read, and the batch's raw files written as peak lists quantify
// as the raw files do.
TEST(BatchTool, PeakListsWrittenFromRawDataGiveTheSameConcentrations) {
    TempFolder temp;
    const fs::path batch = CopyExample(temp.Path());
    fs::copy_file(fs::path(QUAN_SOURCE_DIR) / "examples" / "elements.csv", batch / "elements.csv");
    ASSERT_EQ(RunTool({batch.string(), "--out", temp / "raw"}).status, Batch::kExitOK);
    for (const char* sample : {"STD-01", "STD-06", "QC-02", "BLANK-01", "SAMPLE-02", "SAMPLE-03"}) AsPeakList(batch, sample);
    ASSERT_EQ(RunTool({batch.string(), "--out", temp / "lists"}).status, Batch::kExitOK);
    const auto fromRaw = ReadResults(temp.Path() / "raw" / "results.csv");
    const auto fromLists = ReadResults(temp.Path() / "lists" / "results.csv");
    ASSERT_EQ(fromRaw.size(), fromLists.size());
    for (size_t r = 0; r < fromRaw.size(); ++r)
        for (const char* column : {"Sample", "Compound", "Result", "Concentration", "Area", "FoundRT", "S/N", "IonRatio"}) {
            ASSERT_EQ(fromRaw[r].count(column), 1u) << column;
            EXPECT_EQ(fromLists[r].at(column), fromRaw[r].at(column)) << r << " " << column;
        }
}

TEST(BatchTool, OptionsAreCheckedBeforeAnythingRuns) {
    struct OptionCase {
        std::vector<std::string> args;
        bool ok;
        int threads;
        const char* error;
    };
    const OptionCase cases[] = {
        {{"b"}, true, 1, ""},
        {{"-j", "4", "b"}, true, 4, ""},
        {{"b", "-j2"}, true, 2, ""},
        {{"-j", "0", "b"}, false, 0, "-j takes a number of threads from 1 to 256"},
        {{"-j", "two", "b"}, false, 0, "not \"two\""},
        {{"b", "-j"}, false, 0, "-j needs a value"},
        {{"b", "--out"}, false, 0, "--out needs a value"},
        {{"b", "--fast"}, false, 0, "unknown option --fast"},
        {{"b", "c"}, false, 0, "one batch folder only"},
        {{}, false, 0, "no batch folder given"},
        {{"--help"}, true, 1, ""},
        {{"b", "--full-precision", "--timings"}, true, 1, ""},
        {{"b", "--exclusions", "x.csv", "--curves", "old.sqlite"}, false, 0, "give one"},
        {{"b", "--acceptance", "fda"}, false, 0, "--acceptance takes none, M10 or SANTE, not \"fda\""},
        {{"b", "--exclude-outliers", "3"}, true, 1, ""},  // with no rules, the residual alone decides
        {{"b", "--acceptance", "sante", "--exclude-outliers", "0"}, false, 0, "above 0, not \"0\""},
        {{"b", "--acceptance", "sante", "--exclude-outliers", "3.5"}, true, 1, ""},
    };
    for (const OptionCase& c : cases) {
        Batch::ToolOptions options;
        std::string error;
        EXPECT_EQ(Batch::ParseToolOptions(c.args, options, error), c.ok) << error;
        if (c.ok) EXPECT_EQ(options.threads, c.threads);
        else EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
    const std::string help = Batch::ToolHelp();
    for (const char* word : {"--out", "--curves", "--full-precision", "--exclusions", "--acceptance", "--exclude-outliers", "-j N", "method.xml", "batch.csv", "elements.csv",
                             "Exclude", "matrix.csv", "results.sqlite", "report.html", "Exit status"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
}

TEST(BatchTool, SummaryNamesEngineStatusesAndCurvesThatCouldNotBeCalibrated) {
    TempFolder temp;
    const fs::path batch = CopyExample(temp.Path());
    // Two entries each located relative to the other: location cannot start either.
    ASSERT_TRUE(ReplaceInFile(batch / "method.xml", "Name=\"Dichlorvos\" LocateBy=\"RT\"",
                              "Name=\"Dichlorvos\" LocateBy=\"RRT\" RRTRef=\"4\" PredRRT=\"0.57\""));
    ASSERT_TRUE(ReplaceInFile(batch / "method.xml", "Name=\"Trifluralin\" LocateBy=\"RT\"",
                              "Name=\"Trifluralin\" LocateBy=\"RRT\" RRTRef=\"3\" PredRRT=\"1.75\""));
    const fs::path out = temp.Path() / "out";
    const ToolRun run = RunTool({batch.string(), "--out", out.string()});
    EXPECT_EQ(run.status, Batch::kExitEngineStatus) << run.err;
    EXPECT_NE(run.err.find("sample SAMPLE-02: location stopped with status 21 (circular relative-retention reference)"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.out.find("location 21"), std::string::npos) << run.out;
    // Location never started, so no standard gave a point: every curve says so.
    EXPECT_NE(run.out.find("  entry 3 Dichlorvos: no usable standard (every point excluded)\n"), std::string::npos)
        << run.out;

    // A sixth-order curve without the origin needs seven standards; the batch has six.
    fs::create_directories(temp.Path() / "sixth");
    const fs::path sixth = CopyExample(temp.Path() / "sixth");
    const std::string atrazine = " StdLevels=\"A\" CalCompound=\"Atrazine\" RepUnits=\"ng/mL\" MaxConcLimit=\"55.0\" "
                                 "ConcLimitFlag=\"1\" WeightingFunction=\"1/x\" Origin=";
    ASSERT_TRUE(ReplaceInFile(sixth / "method.xml", "CCalc=\"Linear\"" + atrazine + "\"Include\"",
                              "CCalc=\"6th Order\"" + atrazine + "\"Exclude\""));
    const ToolRun uncalibrated = RunTool({sixth.string(), "--out", (temp.Path() / "out6").string()});
    EXPECT_EQ(uncalibrated.status, Batch::kExitOK) << uncalibrated.err;
    EXPECT_NE(uncalibrated.out.find("16 of 17 curves calibrated.\n1 curve not calibrated:\n"
                                    "  entry 5 Atrazine: too few points: 6 usable, 7 needed for a sixth-order curve\n"),
              std::string::npos)
        << uncalibrated.out;
}

}  // namespace
