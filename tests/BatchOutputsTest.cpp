// The batch's outputs as a lab reads them: numbers printed as the peak report prints them (or
// with every digit), the sample-by-compound matrix with units and flag markers, and the report
// page's embedded data: texts that cannot break out of their script element, and curves with
// nothing that is not a number; and a file replaced whole or not at all. The page's behaviour in a
// browser is BatchEndToEnd's.
#include <cmath>
#include <limits>

#include "BatchTestSupport.h"
#include "workflow/output/HtmlReport.h"
#include "workflow/output/SafeFile.h"
#include "workflow/output/Writers.h"
#include "workflow/station/JsonValue.h"

namespace {

using namespace batch_test;
using Batch::BatchResults;
using Batch::CurveResult;
using Batch::ResultRow;

CurveResult ResultFor(int entry, const CCalibrationData& curve) {
    return {entry, curve.GetName(), curve.GetDescription(), curve, {}, {}};
}

ResultRow Row(int sample, int entry, const std::string& compound, std::vector<std::string> flags) {
    ResultRow row;
    row.sample = sample;
    row.entry = entry;
    row.compound = compound;
    row.found = true;
    row.conc = 2.0 * entry;
    row.validConc = true;
    row.flagsSet = std::move(flags);
    return row;
}

const std::string kAwkwardName = "p,p'-DDE <ring> & \"isomer\"";

// Two samples, three compounds: a linear curve with an excluded point, an RF curve, and one
// that was never calibrated; two rows carry flags.
BatchResults SmallBatch() {
    BatchResults results;
    results.methodFile = "method <pesticides> & more.xml";
    results.samples = {{"Std 1", "Standard", 1, "level 1", "std1.csv", 0, 0},
                       {"QC \"low\"", "QC", 3, "", "qc1.csv", 0, 0}};
    CCalibrationData linear = Calibrated(CurveOf(
        kAwkwardName, kCurveLinear, kAxisNone, {{1, 3}, {2, 5}, {4, 9}, {8, 40, true}}));
    linear.SetRepUnits("ng/mL");
    const CCalibrationData rf = Calibrated(CurveOf("Atrazine", kCurveRF, kAxisNone, {{1, 4}, {2, 8}}));
    CCalibrationData uncalibrated = CurveOf("Simazine", kCurveLinear, kAxisNone, {{1, 2}});
    uncalibrated.SetCurveValid(0);
    uncalibrated.SetRepUnits("ug/L");
    results.curves = {ResultFor(1, linear), ResultFor(2, rf), ResultFor(3, uncalibrated)};
    for (int sample = 0; sample < 2; ++sample) {
        results.rows.push_back(Row(sample, 1, kAwkwardName, {}));
        results.rows.push_back(Row(sample, 2, "Atrazine", sample == 1 ? std::vector<std::string>{"AboveCal"}
                                                                      : std::vector<std::string>{}));
        results.rows.push_back(Row(sample, 3, "Simazine", {"NotCalibrated", "LowSN"}));
    }
    return results;
}

// ---- reading the page's data back ------------------------------------------------------------

// The JSON of the curves block, from "quan-batch".
std::string BatchJson(const std::string& html) {
    const std::string open = "<script id=\"quan-batch\" type=\"application/json\">";
    const size_t start = html.find(open);
    if (start == std::string::npos) return std::string();
    return html.substr(start + open.size(), html.find("</script>", start) - start - open.size());
}

TEST(BatchOutputs, NumbersPrintAsThePeakReportPrintsThem) {
    // Columns of results.csv: 3 FoundRT, 4 Area, 5 Response, 6 Concentration, 8 LOD, 10 S/N, 11 IonRatio.
    const struct { size_t column; double value; const char* text; } cases[] = {
        {3, 9.79831, "9.798"},      {3, 10.0, "10.000"},        {4, 49535.4, "49535"},
        {5, 0.617964, "0.6180"},    {5, 49534.6, "49530"},      {6, 0.0380449, "0.0380"},
        {6, 1.0, "1.00"},           {6, 100.0, "100"},          {6, 123456.0, "123000"},
        {6, 1.23e-5, "0.0000123"},  {6, -0.5, "-0.500"},        {8, 0.127, "0.127"},
        {10, 786.2634933, "786.3"}, {11, 1.85, "1.8500"},       {6, std::nan(""), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Batch::ReportNumberCell(c.column, c.value), c.text) << c.value;
    // Every digit: the shortest text that reads back as the same double.
    EXPECT_EQ(Batch::NumberCell(0.1), "0.1");
    EXPECT_EQ(Batch::NumberCell(1.0 / 3.0), "0.3333333333333333");
    EXPECT_EQ(Batch::NumberCell(-2e-300), "-2e-300");
    EXPECT_EQ(Batch::NumberCell(std::numeric_limits<double>::infinity()), "");

    BatchResults results = SmallBatch();
    results.rows[0].conc = 0.0380449;
    EXPECT_EQ(Batch::ResultCells(results, results.rows[0])[6], "0.0380");
    EXPECT_EQ(Batch::ResultCells(results, results.rows[0], true)[6], "0.0380449");
}

TEST(BatchOutputs, MatrixHasOneRowPerSampleWithUnitsAndFlagMarkers) {
    BatchResults results = SmallBatch();
    results.rows[4].validConc = false;  // found, flagged, but no concentration
    results.rows[0].found = false;      // not found: empty, whatever else the row says
    const std::string matrix =
        Batch::MatrixCsvHeader(results) + Batch::MatrixCsvRows(results, results.rows, false) +
        Batch::MatrixCsvRows(results, {}, false);
    // Concentrations 2, 4 and 6 for entries 1 to 3 (Row), three figures.
    EXPECT_EQ(matrix,
              "Sample,Type,\"p,p'-DDE <ring> & \"\"isomer\"\" (ng/mL)\",Atrazine,Simazine (ug/L)\n"
              "Std 1,Standard,,4.00,6.00*\n"
              "\"QC \"\"low\"\"\",QC,2.00,*,6.00*\n");
    EXPECT_EQ(Batch::MatrixCsvRows(results, {results.rows[1]}, true), "Std 1,Standard,,4,\n");
}

TEST(BatchOutputs, PageDataTextsAreRepairedAndCannotEndTheirScript) {
    const std::string replacement = "\\ufffd";
    const struct { std::string text, json; } cases[] = {
        {"say \"x\" \\ y", "\"say \\\"x\\\" \\\\ y\""},
        {"</script><b>&", "\"\\u003c/script\\u003e\\u003cb\\u003e\\u0026\""},
        {"tab\tline\nbell\x07", "\"tab\\u0009line\\nbell\\u0007\""},
        {"\xC3\xA9 \xF0\x9F\x92\xA7", "\"\xC3\xA9 \xF0\x9F\x92\xA7\""},  // kept whole
        {"Lat\xE9n", "\"Lat" + replacement + "n\""},                      // Latin-1 byte
        {"\xED\xA0\x80", "\"" + replacement + replacement + replacement + "\""},  // a surrogate
        {"\xC0\xAF", "\"" + replacement + replacement + "\""},                    // overlong
        {std::string("a\0b", 3), "\"a\\u0000b\""},
    };
    for (const auto& c : cases) EXPECT_EQ(Batch::JsonString(c.text), c.json) << c.text;

    BatchResults results = SmallBatch();
    results.samples[0].id = "</script><script>alert(1)</script>";
    const std::string html = Batch::HtmlReport(results);
    EXPECT_EQ(HtmlParseErrors(html), std::vector<std::string>{});
    // The page's own scripts end their elements (the error hook, the rows, the batch, the
    // chromatograms, the charting library and the page's script); no text does.
    size_t ends = 0;
    for (size_t at = html.find("</script>"); at != std::string::npos; at = html.find("</script>", at + 1)) ++ends;
    EXPECT_EQ(ends, 6u);
}

// The JSON without its texts (the engine's curve descriptions may spell "nan").
std::string OutsideTexts(const std::string& json) {
    std::string rest;
    for (size_t at = 0; at < json.size(); ++at) {
        if (json[at] != '"') rest += json[at];
        else
            for (++at; at < json.size() && json[at] != '"'; ++at) at += json[at] == '\\';
    }
    return rest;
}

// Numbers JSON cannot spell (points and coefficients that are not numbers, a back-transformation
// that overflows) and a point count past the record's slots: the page still parses, and its data
// holds nothing that would stop its script.
// The curve a page draws is the fitted one over the included standards' range: a response
// factor's slope alone (its c0 is no part of the curve), a polynomial of the curve's order.
TEST(BatchOutputs, DrawnCurvesFollowTheirFitOverTheStandardsRange) {
    const std::vector<Standard> standards = {{1, 0}, {2, 0}, {4, 0}, {8, 0, true}};
    const struct { int type; std::vector<double> c; double (*at)(double); } cases[] = {
        {kCurveRF, {5.0, 2.0}, [](double x) { return 2.0 * x; }},
        {kCurveLinear, {1.0, 2.0}, [](double x) { return 1.0 + 2.0 * x; }},
        {kCurveQuadratic, {1.0, 2.0, 0.5}, [](double x) { return 1.0 + 2.0 * x + 0.5 * x * x; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        CCalibrationData curve = CurveOf("c", c.type, kAxisNone, standards);
        for (size_t i = 0; i < c.c.size(); ++i) curve.SetCC(c.c[i], static_cast<int>(i));
        curve.SetCurveValid(1);
        Station::JsonValue json;
        std::string error;
        ASSERT_TRUE(Station::JsonValue::Parse(Batch::CurveJson({1, "c", "", curve, {}, {}}), json, error)) << error;
        const auto& fit = json.Find("fit")->GetItems();
        ASSERT_GE(fit.size(), 2u * 49);
        EXPECT_EQ(fit.front().GetNumber(), 1.0);         // the lowest included standard
        EXPECT_EQ(fit[fit.size() - 2].GetNumber(), 4.0);  // the highest included one; 8 is excluded
        for (size_t k = 0; k + 1 < fit.size(); k += 2) {
            EXPECT_NEAR(fit[k + 1].GetNumber(), c.at(fit[k].GetNumber()), 1e-5 * c.at(fit[k].GetNumber())) << k;
            if (k > 0) {
                EXPECT_GE(fit[k].GetNumber(), fit[k - 2].GetNumber());
            }
        }
    }
}

TEST(BatchOutputs, DegenerateCurvesGivePageDataWithoutNonNumbers) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::nan("");
    CCalibrationData badPoints = CurveOf("bad points", kCurveLinear, kAxisNone, {{nan, 2}, {1, inf}, {2, 4}, {3, 6}});
    badPoints.SetCC(2.0, 1);
    CCalibrationData badCoefficients = CurveOf("bad coefficients", kCurveLinear, kAxisNone, {{1, 2}, {2, 4}});
    badCoefficients.SetCC(nan, 0);
    badCoefficients.SetCC(inf, 1);
    CCalibrationData overflow = CurveOf("exp", kCurveLinear, kAxisLn, {{1, 1}, {2, 2}});
    overflow.SetCC(-100.0, 0);
    overflow.SetCC(400.0, 1);
    CCalibrationData pastSlots = CurveOf("count past slots", kCurveLinear, kAxisNone, {{1, 2}, {3, 4}});
    pastSlots.SetCC(1.0, 1);
    pastSlots.SetNumCaliPts(100000);
    BatchResults results;
    for (CCalibrationData* curve : {&badPoints, &badCoefficients, &overflow, &pastSlots}) {
        curve->SetCurveValid(1);
        results.curves.push_back({static_cast<int>(results.curves.size()) + 1, curve->GetName(), "", *curve, {}, {}});
    }
    const std::string html = Batch::HtmlReport(results);
    EXPECT_EQ(HtmlParseErrors(html), std::vector<std::string>{});
    const std::string json = OutsideTexts(BatchJson(html));
    ASSERT_NE(json.find("[[1,2,0,"), std::string::npos) << "the points are there";
    for (const char* bad : {"nan", "NaN", "inf", "Infinity"}) EXPECT_EQ(json.find(bad), std::string::npos) << bad;
    EXPECT_EQ(HtmlParseErrors(Batch::HtmlReport(BatchResults{})), std::vector<std::string>{});
}

}  // namespace

namespace {
// A file is written whole or not at all: through a temporary beside it, renamed into place. A
// temporary that cannot be made, or a place it cannot be renamed to (a folder), is an error naming
// the file, and neither the place nor a temporary is left changed.
TEST(SafeFile, AFileIsReplacedWholeOrLeftAsItWas) {
    TempFolder temp;
    std::string error;
    ASSERT_TRUE(Batch::WriteFileSafely(temp / "a.txt", "first\n", error)) << error;
    ASSERT_TRUE(Batch::WriteFileSafely(temp / "a.txt", "second\n", error)) << error;
    EXPECT_EQ(ReadText(temp / "a.txt"), "second\n");
    EXPECT_FALSE(Batch::WriteFileSafely(temp / "missing/a.txt", "x", error));
    EXPECT_THAT(error, HasSubstr("cannot write " + Batch::TemporaryNameFor(temp / "missing/a.txt")));
    fs::create_directory(temp / "folder");
    WriteText(temp / "folder/kept.txt", "kept\n");
    EXPECT_FALSE(Batch::WriteFileSafely(temp / "folder", "x", error));
    EXPECT_THAT(error, HasSubstr("cannot replace " + temp / "folder"));
    EXPECT_EQ(ReadText(temp / "folder/kept.txt"), "kept\n");
    EXPECT_FALSE(fs::exists(Batch::TemporaryNameFor(temp / "folder")));
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator()), 2);  // a.txt, folder
}
}  // namespace
