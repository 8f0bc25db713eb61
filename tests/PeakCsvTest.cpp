// The batch's peak CSV as quan-integrate writes it: single-precision fields as their shortest
// texts that read back the same ("3.42", not the double's "3.4200000762939453"), doubles with
// every digit they need.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "quan.h"
#include "workflow/batch/BatchInput.h"
#include "workflow/batch/RawPeaks.h"

namespace {

TEST(PeakCsv, NumbersAreTheShortestTextsOfTheirOwnPrecision) {
    CPeakData peak;
    peak.SetQuanTrace("100>50");
    peak.SetFoundRT(3.42f);
    peak.SetStartRT(3.4f);
    peak.SetEndRT(3.5f);
    peak.SetArea(0.1 + 0.2);  // a double: 0.30000000000000004 is its shortest exact text
    peak.SetHeight(1234.5);
    CPeakList peaks;
    peaks.Add(peak);
    const std::string text = Batch::PeakListCsv(peaks);
    EXPECT_NE(text.find("\n100>50,3.42,3.4,3.5,"), std::string::npos) << text;
    EXPECT_NE(text.find(",0.30000000000000004,1234.5,"), std::string::npos) << text;

    // Read back as a peak list, every value is the one written.
    CPeakList read;
    std::vector<Batch::Problem> problems;
    const std::string path = ::testing::TempDir() + "peak-csv-test.csv";
    { std::ofstream(path) << text; }
    ASSERT_TRUE(Batch::ReadPeakFile(path, read, problems));
    ASSERT_EQ(read.GetSize(), 1);
    EXPECT_EQ(read.GetAt(0).GetFoundRT(), 3.42f);
    EXPECT_EQ(read.GetAt(0).GetArea(), 0.1 + 0.2);
    std::remove(path.c_str());
}

}  // namespace
