// The batch tool's handling of what it is given: every kind of input error is reported with
// the file, line and column it is in, nothing is run and nothing is written (a missing peak file
// and a bad concentration are the Python module's cases); an engine status that ends a sample's
// run is reported with its meaning and sample.
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <tuple>

#include "BatchTestSupport.h"

namespace {

using namespace batch_test;

using Spoil = std::function<void(const fs::path& batch)>;

// Replaces the first `from` by `to` in the batch's file `name`, `times` times over.
Spoil Replace(const char* name, const char* from, const char* to, int times = 1) {
    return [=](const fs::path& batch) {
        for (int i = 0; i < times; ++i) EXPECT_TRUE(ReplaceInFile(batch / name, from, to)) << from;
    };
}

struct InputErrorCase {
    Spoil spoil;
    const char* expected;  // a part of the message: file, line and column, then the problem
};

const InputErrorCase kInputErrors[] = {
    {Replace("batch.csv", "calibration standard,\n", "calibration standard\n"), "batch.csv:2: has 30 cells, the header 31"},
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
    {Replace("batch.csv", ",Standard,", ",QC,", 6), "batch.csv: the batch has no standards"},
    {Replace("batch.csv", "STD-01,raw/STD-01.mzML,Standard,1,", "STD-01,raw/STD-01.mzML,Standard,x,"),
     "batch.csv:2:4: \"x\" is not a concentration"},
    {Replace("batch.csv", "STD-02,raw/STD-02.mzML,Standard,2,,,,,,,,,,,,,,,,,,,,1,", "STD-02,raw/STD-02.mzML,Standard,2,,,,,,,,,,,,,,,,,,,,0,"),
     "batch.csv:3:24: \"0\" is not a positive InjectionVolume"},
    {Replace("batch.csv", "STD-01,raw/STD-01.mzML,", "STD-01,,"), "batch.csv:2:2: the peak file is empty"},
    {Replace("batch.csv", "SampleID,PeakFile,Type,", "SampleID,PeakFile,Kind,"), "batch.csv:1: the column \"Type\" is missing"},
    {[](const fs::path& b) {
         const std::string text = ReadText(b / "batch.csv");
         WriteText(b / "batch.csv", text.substr(0, text.find('\n') + 1));
     },
     "batch.csv: has no samples"},
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
        EXPECT_THAT(run.err, AllOf(HasSubstr(c.expected), HasSubstr("nothing was run")));
        EXPECT_FALSE(fs::exists(temp.Path() / "out"));
        EXPECT_TRUE(run.out.empty());
    }
}

// An output folder that is a file is refused before anything runs, and the file is kept.
TEST(BatchTool, AnOutputFolderThatIsAFileIsRefusedAndKept) {
    TempFolder temp;
    const fs::path batch = CopyExample(temp.Path());
    WriteText(temp / "out", "an analyst's notes\n");
    const ToolRun run = RunTool({batch.string(), "--out", temp / "out"});
    EXPECT_EQ(run.status, Batch::kExitBadInput);
    EXPECT_THAT(run.err, AllOf(HasSubstr(temp / "out" + ": exists and is not a folder"), HasSubstr("nothing was run")));
    EXPECT_EQ(ReadText(temp / "out"), "an analyst's notes\n");
}

// A disk that fills while the outputs are written (here a limit on the size of any file this
// process writes): the run fails with its reason, the earlier results stay as they were, and
// nothing half-written is left beside them, wherever the writing stops.
TEST(BatchTool, ADiskThatFillsMidWriteKeepsTheEarlierResultsWhole) {
    TempFolder temp;
    const fs::path out = temp.Path() / "out";
    ASSERT_EQ(RunTool({ExampleFolder().string(), "--out", out.string()}).status, Batch::kExitOK);
    const auto earlier = FolderContents(out);
    rlimit usual{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &usual), 0);
    const auto oversize = std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
    // Past results.csv's first rows; past the CSV files, in the report or the database.
    for (const rlim_t limit : {rlim_t{4} << 10, rlim_t{64} << 10, rlim_t{512} << 10}) {
        SCOPED_TRACE(limit);
        rlimit low = usual;
        low.rlim_cur = std::min(limit, usual.rlim_max);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &low), 0);
        const ToolRun run = RunTool({ExampleFolder().string(), "--out", out.string()});
        setrlimit(RLIMIT_FSIZE, &usual);
        EXPECT_EQ(run.status, Batch::kExitFailed) << run.err;
        EXPECT_THAT(run.err, AllOf(HasSubstr("cannot write"), HasSubstr(std::strerror(EFBIG)))) << run.err;
        EXPECT_EQ(FolderContents(out), earlier);
    }
    std::signal(SIGXFSZ, oversize);
}

// A stored curve holds at most 100 points: a batch of 100 standards calibrates, one of 101 is
// refused and nothing is written.
TEST(BatchTool, AtMostAsManyStandardsAsACurveHoldsPoints) {
    for (const int standards : {100, 101}) {
        SCOPED_TRACE(standards);
        TempFolder temp;
        const fs::path batch = CopyExample(temp.Path());
        std::string text = ReadText(batch / "batch.csv");
        const size_t from = text.find("\nSTD-01,") + 1, to = text.find('\n', from) + 1;
        const std::string rest = text.substr(from + 6, to - from - 6);  // the row after its id
        std::string added;
        for (int k = 6; k < standards; ++k) added += "STD-X" + std::to_string(k) + rest;
        WriteText(batch / "batch.csv", text.insert(to, added));
        const ToolRun run = RunTool({batch.string(), "--out", temp / "out"});
        if (standards == 100) {
            EXPECT_EQ(run.status, Batch::kExitOK) << run.err;
        } else {
            EXPECT_EQ(run.status, Batch::kExitFailed);
            EXPECT_THAT(run.err, HasSubstr("the batch has 101 standards; a stored curve holds at most 100 points"));
            EXPECT_FALSE(fs::exists(temp.Path() / "out"));
        }
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
    EXPECT_THAT(run.err,
                HasSubstr("sample SAMPLE-02: location stopped with status 21 (circular relative-retention reference)"));
    // Location never started, so no standard gave a point: every curve says so.
    EXPECT_THAT(run.out, HasSubstr("  entry 3 Dichlorvos: no usable standard (every point excluded)\n"));
}

// The peak files are checked on the run's threads: whatever the number, the problems come in
// the order of the batch list, each file's among the list's own, and a check that keeps no
// peaks finds exactly what a full read finds.
TEST(BatchInput, ProblemsKeepTheListsOrderWhateverTheThreads) {
    TempFolder temp;
    const fs::path batch = CopyExample(temp.Path());
    const fs::path qc = AsPeakList(batch, "QC-01"), sample = AsPeakList(batch, "SAMPLE-02");
    ASSERT_TRUE(ReplaceInFile(qc, "\n", "\n1.5,2.5\n"));             // a short first row
    ASSERT_TRUE(ReplaceInFile(sample, "ChromNoise", "ChromNoize"));  // an unknown column
    ASSERT_TRUE(ReplaceInFile(batch / "batch.csv", "QC-02,raw/QC-02.mzML,QC", "QC-02,raw/QC-02.mzML,Quality"));
    ASSERT_TRUE(ReplaceInFile(batch / "batch.csv", "SAMPLE-04,raw/SAMPLE-04.mzML,Analyte", "SAMPLE-04,raw/SAMPLE-04.mzML,Unknown"));
    const auto texts = [&](bool keepPeaks, int threads) {
        Batch::BatchInput input;
        std::vector<Batch::Problem> problems;
        EXPECT_FALSE(Batch::ReadBatch(batch.string(), input, problems, keepPeaks, threads));
        std::vector<std::string> lines;
        for (const Batch::Problem& problem : problems) lines.push_back(problem.Text());
        const bool kept = !input.samples.empty() && input.samples.front()->peaks.GetSize() > 0;
        EXPECT_EQ(kept, keepPeaks) << threads;
        return lines;
    };
    const std::vector<std::string> oneByOne = texts(true, 1);
    ASSERT_EQ(oneByOne.size(), 4u);
    const char* const order[] = {"QC-01.csv:2: has 2 cells", "batch.csv:9:3: unknown sample type \"Quality\"",
                                 "SAMPLE-02.csv:1:9: unknown peak field \"ChromNoize\"",
                                 "batch.csv:14:3: unknown sample type \"Unknown\""};
    for (size_t i = 0; i < oneByOne.size(); ++i) EXPECT_NE(oneByOne[i].find(order[i]), std::string::npos) << oneByOne[i];
    for (int threads : {2, 3, 16}) {
        EXPECT_EQ(texts(true, threads), oneByOne) << threads;
        EXPECT_EQ(texts(false, threads), oneByOne) << threads;
    }
    EXPECT_EQ(texts(false, 1), oneByOne);
}

// The CSV reader: quoted cells (separators, doubled quotes, line ends inside), CR LF, a lone CR,
// comment and blank rows skipped, and each row's line number where the row starts. Rows handed
// over one at a time read the same as rows kept.
TEST(Csv, RowsKeepTheirLinesAndQuotedCells) {
    const std::string text = "a,b\r\n# comment,x\n\n  \n\"q,1\",\"say \"\"hi\"\"\"\n\"two\nlines\",z\rlast,\"\"\n";
    const std::vector<Csv::Row> expected = {{1, {"a", "b"}}, {5, {"q,1", "say \"hi\""}},
                                            {6, {"two\nlines", "z"}}, {8, {"last", ""}}};
    std::vector<Csv::Row> rows, visited;
    std::string error;
    ASSERT_TRUE(Csv::Parse(text, rows, error)) << error;
    ASSERT_TRUE(Csv::ForEachRow(text, [&](int line, const std::vector<std::string_view>& cells) {
        visited.push_back({line, std::vector<std::string>(cells.begin(), cells.end())});
    }, error)) << error;
    for (const std::vector<Csv::Row>* got : {&rows, &visited}) {
        ASSERT_EQ(got->size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(std::tie((*got)[i].line, (*got)[i].cells), std::tie(expected[i].line, expected[i].cells)) << i;
    }
    EXPECT_FALSE(Csv::Parse("a\n\"open,b\nc", rows, error));
    EXPECT_EQ(error, "line 2: a quoted cell is not closed");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].cells, std::vector<std::string>{"a"});
}

}  // namespace
