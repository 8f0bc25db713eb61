// The batch's outputs as a lab reads them: numbers printed as the peak report prints them (or
// with every digit), the sample-by-compound matrix with units and flag markers, and the report
// page's embedded data: texts that cannot break out of their script element, and calibration
// curves that run through their standards in the analyst's units whatever the axis
// transformation, with nothing that is not a number. The page's behaviour in a browser is
// BatchEndToEnd's.
#include <charconv>
#include <cmath>
#include <limits>

#include "BatchTestSupport.h"
#include "tools/batch/HtmlReport.h"
#include "tools/batch/Writers.h"

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
    row.foundRT = 5.25 + entry;
    row.area = 1000.0 * entry;
    row.response = 0.5 * entry;
    row.conc = 2.0 * entry;
    row.validConc = true;
    row.units = "ng/mL";
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

// Every number of the JSON array that follows `key` at or after `from` (nested arrays
// flattened, texts skipped, null as NaN).
std::vector<double> NumbersAfter(const std::string& json, const std::string& key, size_t from = 0) {
    std::vector<double> numbers;
    size_t at = json.find(key, from);
    if (at == std::string::npos) return numbers;
    at += key.size();
    int depth = 0;
    for (; at < json.size(); ++at) {
        const char c = json[at];
        if (c == '[') ++depth;
        else if (c == ']' && --depth == 0) break;
        else if (c == '"') at = json.find('"', at + 1);
        else if (json.compare(at, 4, "null") == 0) numbers.push_back(std::nan("")), at += 3;
        else if (c == '-' || (c >= '0' && c <= '9')) {
            double value = 0.0;
            const auto read = std::from_chars(json.data() + at, json.data() + json.size(), value);
            numbers.push_back(value);
            at = static_cast<size_t>(read.ptr - json.data()) - 1;
        }
    }
    return numbers;
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
    results.rows[0].foundRT = 6.251234;
    EXPECT_EQ(Batch::ResultCells(results, results.rows[0])[6], "0.0380");
    EXPECT_EQ(Batch::ResultCells(results, results.rows[0], true)[6], "0.0380449");
    EXPECT_EQ(Batch::ResultCells(results, results.rows[0], true)[3], "6.251234");
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
        {"plain", "\"plain\""},
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
    // The page's own scripts end their elements; no text does.
    size_t ends = 0;
    for (size_t at = html.find("</script>"); at != std::string::npos; at = html.find("</script>", at + 1)) ++ends;
    EXPECT_EQ(ends, 4u);
}

TEST(BatchOutputs, CalibrationDataRunsThroughTheStandardsInAnalystUnits) {
    const auto power = [](double c) { return 3.0 * std::pow(c, 1.5); };  // straight in log-log
    const auto rootLine = [](double c) { return std::pow(1.0 + 2.0 * std::sqrt(c), 2.0); };
    struct Case {
        const char* name;
        int curveType;
        int axis;
        double (*response)(double);
    } cases[] = {
        {"linear", kCurveLinear, kAxisNone, [](double c) { return 2.0 + 3.0 * c; }},
        {"quadratic", 2, kAxisNone, [](double c) { return 1.0 + 2.0 * c + 0.5 * c * c; }},
        {"log axes", kCurveLinear, kAxisLog10, power},
        {"root axes", kCurveLinear, kAxisSquareRoot, rootLine},
        {"response factor", kCurveRF, kAxisNone, [](double c) { return 4.0 * c; }},
    };
    for (const Case& c : cases) {
        // Standards exactly on the curve; the excluded one lies off it and beyond the range.
        std::vector<Standard> points;
        for (double conc : {1.0, 2.0, 5.0, 10.0, 20.0}) points.push_back({conc, c.response(conc)});
        points.push_back({40.0, c.response(40.0) * 0.2, true});
        CCalibrationData curve = Calibrated(CurveOf(c.name, c.curveType, c.axis, points));
        if (c.curveType == kCurveRF) curve.SetCC(500.0, 0);  // no part of a response factor's curve
        BatchResults results;
        results.curves = {ResultFor(1, curve)};
        const std::string json = BatchJson(Batch::HtmlReport(results));
        // Nominal, response, excluded, back-calculated: the standards as entered, each on the
        // curve giving back its own concentration.
        const std::vector<double> stored = NumbersAfter(json, "\"points\":");
        ASSERT_EQ(stored.size(), 6u * 4u) << c.name;
        for (size_t i = 0; i < 6; ++i) {
            EXPECT_NEAR(stored[4 * i], points[i].conc, 1e-9 * points[i].conc) << c.name;
            EXPECT_NEAR(stored[4 * i + 1], points[i].resp, 1e-9 * points[i].resp) << c.name;
            EXPECT_EQ(stored[4 * i + 2], i == 5 ? 1.0 : 0.0) << c.name;
            if (i < 5) {
                EXPECT_NEAR(stored[4 * i + 3], points[i].conc, 1e-3 * points[i].conc) << c.name << " " << i;
            }
        }
        // The curve: over the included standards' range, every sample on the true curve.
        const std::vector<double> fit = NumbersAfter(json, "\"fit\":");
        ASSERT_GE(fit.size(), 2u * 49u) << c.name;
        EXPECT_DOUBLE_EQ(fit.front(), 1.0) << c.name;
        EXPECT_NEAR(fit[fit.size() - 2], 20.0, 1e-4) << c.name;
        for (size_t i = 0; i + 1 < fit.size(); i += 2)
            EXPECT_NEAR(fit[i + 1], c.response(fit[i]), 2e-5 * c.response(fit[i])) << c.name << " at " << fit[i];
    }
}

TEST(BatchOutputs, DegenerateCurvesGivePagesWithoutNonNumbers) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::nan("");
    const auto valid = [](CCalibrationData curve, std::vector<double> coefficients) {
        curve.SetCurveValid(1);
        for (size_t i = 0; i < coefficients.size(); ++i) curve.SetCC(coefficients[i], static_cast<int>(i));
        return curve;
    };
    CCalibrationData tooManyPoints = valid(CurveOf("count past slots", kCurveLinear, 0, {{1, 2}, {3, 4}}), {0, 1});
    tooManyPoints.SetNumCaliPts(100000);
    const struct { const char* name; CCalibrationData curve; bool drawn; } cases[] = {
        {"single point", valid(CurveOf("one", kCurveRF, 0, {{2, 10}}), {0, 5}), false},
        {"all excluded", valid(CurveOf("excl", kCurveLinear, 0, {{1, 2, true}, {2, 4, true}}), {0, 2}), false},
        {"points not numbers", valid(CurveOf("bad points", kCurveLinear, 0, {{nan, 2}, {1, inf}, {2, 4}, {3, 6}}), {0, 2}), true},
        {"coefficients not numbers", valid(CurveOf("bad coefficients", kCurveLinear, 0, {{1, 2}, {2, 4}}), {nan, inf}), false},
        {"huge values", valid(CurveOf("huge", kCurveLinear, 0, {{1, 1e299}, {2, -1e299}, {3, 1e305}}), {0, 1e299}), true},
        {"ln axis overflows back", valid(CurveOf("exp", kCurveLinear, kAxisLn, {{1, 1}, {2, 2}}), {-100, 400}), true},
        {"root axis below zero", valid(CurveOf("root", kCurveLinear, kAxisSquareRoot, {{1, 1}, {2, 2}}), {-3, 1}), false},
        {"unknown curve type", valid(CurveOf("type 9", 9, 0, {{1, 2}, {2, 4}}), {0, 2}), false},
        {"point count past the slots", tooManyPoints, true},
    };
    for (const auto& c : cases) {
        BatchResults results;
        results.curves = {ResultFor(1, c.curve)};
        const std::string html = Batch::HtmlReport(results);
        EXPECT_EQ(HtmlParseErrors(html), std::vector<std::string>{}) << c.name;
        const std::string json = BatchJson(html);
        // The numbers (the description is the engine's text, which may spell "nan").
        const std::string numbers = json.substr(json.find("\"points\":"));
        for (const char* bad : {"nan", "NaN", "inf", "Infinity"}) EXPECT_EQ(numbers.find(bad), std::string::npos) << c.name;
        EXPECT_EQ(NumbersAfter(json, "\"fit\":").size() > 2, c.drawn) << c.name;
    }
    EXPECT_EQ(HtmlParseErrors(Batch::HtmlReport(BatchResults{})), std::vector<std::string>{});
}

}  // namespace
