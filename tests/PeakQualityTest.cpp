// Per-peak shape figures on their way from the integration to the analyst: written with each
// peak into quan-integrate's peak CSV, read back beside the peaks by the batch (a bad cell named
// with its place, a peak list without them accepted as before), and stored per located peak in
// the results database's peak_quality table.
#include "BatchTestSupport.h"
#include "workflow/batch/RawPeaks.h"
#include "workflow/output/ResultsDatabase.h"

namespace {

using namespace batch_test;

// Two peaks with figures and a totals record without.
CPeakList ThreePeaks(std::vector<Integrate::PeakQuality>& quality) {
    CPeakList peaks;
    for (int k = 0; k < 3; ++k) {
        CPeakData peak;
        peak.SetQuanTrace(k < 2 ? "100>50" : "total");
        peak.SetFoundRT(1.0f + k);
        peak.SetArea(1000.0 * (k + 1));
        if (k == 2) peak.SetTotalsPeak(1);
        peaks.Add(peak);
    }
    quality = {{0.125, 1.5, 1.25, 17}, {0.0625, 0.75, 0.875, 9}, {}};
    return peaks;
}

TEST(PeakQuality, ShapeColumnsOfThePeakCsvReadBackBesideThePeaks) {
    const TempFolder folder;
    std::vector<Integrate::PeakQuality> written;
    const CPeakList peaks = ThreePeaks(written);
    const std::string text = Batch::PeakListCsv(peaks, &written);
    EXPECT_NE(text.find(",WidthAtHalfHeight,Asymmetry,TailingFactor,PointsAcross\n"), std::string::npos);
    EXPECT_NE(text.find(",0.125,1.5,1.25,17\n"), std::string::npos);
    EXPECT_NE(text.find(",,,,\n"), std::string::npos);  // the totals record has no shape
    WriteText(folder / "peaks.csv", text);

    CPeakList read;
    std::vector<Integrate::PeakQuality> quality;
    std::vector<Batch::Problem> problems;
    ASSERT_TRUE(Batch::ReadPeakFile(folder / "peaks.csv", read, problems, &quality));
    ASSERT_EQ(read.GetSize(), 3);
    ASSERT_EQ(quality.size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(quality[k].widthAtHalfHeight, written[k].widthAtHalfHeight);
        EXPECT_EQ(quality[k].asymmetry, written[k].asymmetry);
        EXPECT_EQ(quality[k].tailingFactor, written[k].tailingFactor);
        EXPECT_EQ(quality[k].pointsAcross, written[k].pointsAcross);
    }
    EXPECT_EQ(read.GetAt(1).GetArea(), 2000.0);

    // Without figures the columns are not written, and nothing is read beside the peaks.
    WriteText(folder / "plain.csv", Batch::PeakListCsv(peaks));
    quality.clear();
    ASSERT_TRUE(Batch::ReadPeakFile(folder / "plain.csv", read, problems, &quality));
    EXPECT_TRUE(quality.empty());

    // A cell that is not a number of its kind is reported at its place.
    const struct {
        const char* cell;
        int column;  // 1-based, counted from the first shape column
    } bad[] = {{",x,1.5,1.25,17", 1}, {",0.125,1.5,1.25,-3", 4}, {",0.125,1.5,1.25,2.5", 4}, {",0.125,inf,1.25,17", 2}};
    const size_t shapeStart = std::count(text.begin(), text.begin() + text.find('\n'), ',') - 3;
    for (const auto& b : bad) {
        SCOPED_TRACE(b.cell);
        std::string damaged = text;
        damaged.replace(damaged.find(",0.125,1.5,1.25,17"), std::string(",0.125,1.5,1.25,17").size(), b.cell);
        WriteText(folder / "bad.csv", damaged);
        problems.clear();
        CPeakList none;
        EXPECT_FALSE(Batch::ReadPeakFile(folder / "bad.csv", none, problems, &quality));
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems[0].line, 2);
        EXPECT_EQ(problems[0].column, static_cast<int>(shapeStart) + b.column);
    }
}

TEST(PeakQuality, LocatedPeaksWithFiguresGetARowOfPeakQuality) {
    const TempFolder folder;
    Batch::BatchResults results;
    results.samples = {{"S1", "Analyte", 0, "", "s1.csv", 0, 0}};
    const struct {
        bool found;
        Integrate::PeakQuality quality;
    } rows[] = {{true, {0.125, 1.5, 1.25, 17}}, {true, {0.0625, 0.0, 0.0, 6}}, {true, {}}, {false, {0.1, 1, 1, 5}}};
    for (int e = 0; e < 4; ++e) {
        Batch::ResultRow row;
        row.entry = e + 1;
        row.compound = "C" + std::to_string(e + 1);
        row.found = rows[e].found;
        row.quality = rows[e].quality;
        results.rows.push_back(row);
        results.curves.push_back({e + 1, row.compound, "", CCalibrationData(), {}, {}});
    }
    std::string error;
    ASSERT_TRUE(Batch::WriteResultsDatabase(folder / "results.sqlite", results, error)) << error;
    // Only located peaks with figures; a figure the peak could not give is NULL.
    EXPECT_EQ(Query(folder / "results.sqlite", "SELECT sample, entry, width_at_half_height, asymmetry, tailing_factor, "
                                               "points_across FROM peak_quality ORDER BY entry"),
              (Table{{"1", "1", "0.125", "1.5", "1.25", "17"}, {"1", "2", "0.0625", "<null>", "<null>", "6"}}));
}

}  // namespace
