// The batch report page: it parses as HTML (and as well-formed XML, so no escaping slip hides
// behind a lenient parser), highlights the rows that did not pass, holds one calibration plot
// per calibrated compound, draws the fitted curve through its points in the analyst's units
// whatever the axis transformation, and never writes a coordinate that is not a number.
#include <gtest/gtest.h>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "calibrate/QuanCalibrate.h"
#include "tools/batch/HtmlReport.h"
#include "tools/batch/SafeFile.h"
#include "HtmlTestSupport.h"

namespace {

using Batch::BatchResults;
using Batch::CurveResult;
using Batch::ResultRow;

struct Point {
    double conc;
    double resp;
    bool excluded = false;
};

CCalibrationData CurveWithPoints(const std::string& name, int curveType, int axis, const std::vector<Point>& points) {
    CCalibrationData curve;
    curve.SetName(name);
    curve.SetCCalc(curveType);
    curve.SetOrigin(kOriginExclude);
    curve.SetWeightingFunction(kWeightNone);
    curve.SetXYTrans(axis);
    int i = 0;
    for (const Point& p : points) {
        tag_CALI_POINT point{};
        point.Weight = 1.0;
        point.Conc = p.conc;
        point.Resp = p.resp;
        point.Flags = p.excluded ? kCaliPointExcluded : 0;
        curve.SetCaliPoint(point, i++);
    }
    curve.SetNumCaliPts(i);
    return curve;
}

// Fitted by the calibration engine, so transformed curves carry their points and coefficients
// in transformed units exactly as a batch run leaves them.
CCalibrationData Calibrated(CCalibrationData curve) {
    CCalibrationList list;
    list.Add(curve);
    CQuanCalibrate engine;
    EXPECT_EQ(engine.QuanDoCalibration(&list, 0), kCaliOK);
    EXPECT_EQ(list.GetAt(0).GetCurveValid(), 1) << curve.GetName();
    return list.GetAt(0);
}

CurveResult ResultFor(int entry, const CCalibrationData& curve) {
    return {entry, curve.GetName(), curve.GetDescription(), curve};
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
    const CCalibrationData linear = Calibrated(CurveWithPoints(
        kAwkwardName, kCurveLinear, kAxisNone, {{1, 3}, {2, 5}, {4, 9}, {8, 40, true}}));
    const CCalibrationData rf = Calibrated(CurveWithPoints("Atrazine", kCurveRF, kAxisNone, {{1, 4}, {2, 8}}));
    CCalibrationData uncalibrated = CurveWithPoints("Simazine", kCurveLinear, kAxisNone, {{1, 2}});
    uncalibrated.SetCurveValid(0);
    results.curves = {ResultFor(1, linear), ResultFor(2, rf), ResultFor(3, uncalibrated)};
    for (int sample = 0; sample < 2; ++sample) {
        results.rows.push_back(Row(sample, 1, kAwkwardName, {}));
        results.rows.push_back(Row(sample, 2, "Atrazine", sample == 1 ? std::vector<std::string>{"AboveCal"}
                                                                      : std::vector<std::string>{}));
        results.rows.push_back(Row(sample, 3, "Simazine", {"NotCalibrated", "LowSN"}));
    }
    return results;
}

// ---- parsing ---------------------------------------------------------------------------------

// The page read strictly as XML, for queries.
class Page {
public:
    explicit Page(const std::string& html) {
        document_ = xmlReadMemory(html.data(), static_cast<int>(html.size()), "report.html", "UTF-8",
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        if (document_ != nullptr) context_ = xmlXPathNewContext(document_);
    }
    ~Page() {
        xmlXPathFreeContext(context_);
        xmlFreeDoc(document_);
    }
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    bool WellFormed() const { return document_ != nullptr; }

    std::vector<xmlNodePtr> Nodes(const std::string& xpath, xmlNodePtr within = nullptr) const {
        std::vector<xmlNodePtr> nodes;
        if (context_ == nullptr) return nodes;
        context_->node = within != nullptr ? within : xmlDocGetRootElement(document_);
        xmlXPathObjectPtr found = xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(xpath.c_str()), context_);
        if (found != nullptr && found->nodesetval != nullptr)
            for (int i = 0; i < found->nodesetval->nodeNr; ++i) nodes.push_back(found->nodesetval->nodeTab[i]);
        xmlXPathFreeObject(found);
        return nodes;
    }
    size_t Count(const std::string& xpath) const { return Nodes(xpath).size(); }

    static std::string Attribute(xmlNodePtr node, const char* name) {
        xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
        std::string text = value != nullptr ? reinterpret_cast<const char*>(value) : "";
        xmlFree(value);
        return text;
    }
    static std::string Text(xmlNodePtr node) {
        xmlChar* value = xmlNodeGetContent(node);
        std::string text = value != nullptr ? reinterpret_cast<const char*>(value) : "";
        xmlFree(value);
        return text;
    }

private:
    xmlDocPtr document_ = nullptr;
    xmlXPathContextPtr context_ = nullptr;
};

std::vector<std::string> PlotNames(const Page& page) {
    std::vector<std::string> names;
    for (xmlNodePtr plot : page.Nodes("//svg[@class='calibration-plot']"))
        names.push_back(Page::Attribute(plot, "data-compound"));
    return names;
}

// Every attribute of the plot that holds geometry, and every tick label, is made of finite
// numbers only.
void ExpectOnlyFiniteNumbers(const Page& page, const std::string& what) {
    const char* geometry[] = {"x", "y", "x1", "y1", "x2", "y2", "cx", "cy", "r", "width", "height"};
    for (xmlNodePtr node : page.Nodes("//svg//*")) {
        for (const char* name : geometry) {
            const std::string value = Page::Attribute(node, name);
            if (value.empty()) continue;
            char* end = nullptr;
            const double number = std::strtod(value.c_str(), &end);
            EXPECT_TRUE(*end == '\0' && std::isfinite(number)) << what << ": " << name << "=\"" << value << "\"";
        }
        std::istringstream points(Page::Attribute(node, "points"));
        for (std::string pair; points >> pair;) {
            double x = NAN, y = NAN;
            EXPECT_EQ(std::sscanf(pair.c_str(), "%lf,%lf", &x, &y), 2) << what << ": " << pair;
            EXPECT_TRUE(std::isfinite(x) && std::isfinite(y)) << what << ": " << pair;
        }
    }
    for (xmlNodePtr label : page.Nodes("//svg//*[@class='tick-label']")) {
        const std::string text = Page::Text(label);
        char* end = nullptr;
        EXPECT_TRUE(std::isfinite(std::strtod(text.c_str(), &end)) && *end == '\0') << what << ": tick " << text;
    }
}

// ---- tests -----------------------------------------------------------------------------------

TEST(HtmlReport, PageParsesWithTableAndOnePlotPerCalibratedCompound) {
    const BatchResults results = SmallBatch();
    const std::string html = Batch::HtmlReport(results);
    EXPECT_EQ(HtmlParseErrors(html), std::vector<std::string>{});
    const Page page(html);
    ASSERT_TRUE(page.WellFormed());

    // The title names the method file, its special characters intact.
    const std::vector<xmlNodePtr> titles = page.Nodes("/html/head/title");
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_NE(Page::Text(titles[0]).find(results.methodFile), std::string::npos);
    EXPECT_EQ(page.Count("//script") + page.Count("//link") + page.Count("//*[@src]") + page.Count("//*[@href]"), 0u);

    std::vector<std::string> header;
    for (xmlNodePtr th : page.Nodes("//table[@class='results']/thead/tr/th")) header.push_back(Page::Text(th));
    EXPECT_EQ(header, Batch::ResultColumns());
    const std::vector<xmlNodePtr> rows = page.Nodes("//table[@class='results']/tbody/tr");
    ASSERT_EQ(rows.size(), results.rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const bool flagged = results.rows[i].Verdict() != "pass";
        EXPECT_EQ(Page::Attribute(rows[i], "class"), flagged ? "flagged" : "") << "row " << i;
        std::vector<std::string> cells;
        for (xmlNodePtr td : page.Nodes("./td", rows[i])) cells.push_back(Page::Text(td));
        EXPECT_EQ(cells, Batch::ResultCells(results, results.rows[i])) << "row " << i;
    }
    // The highlight is visible, not only a class name.
    const std::vector<xmlNodePtr> style = page.Nodes("//style");
    ASSERT_EQ(style.size(), 1u);
    EXPECT_NE(Page::Text(style[0]).find("tr.flagged td{background"), std::string::npos);

    // The uncalibrated compound has no plot; the names read back exactly as given.
    EXPECT_EQ(PlotNames(page), (std::vector<std::string>{kAwkwardName, "Atrazine"}));
    const std::vector<xmlNodePtr> descriptions = page.Nodes("//pre[@class='curve-description']");
    ASSERT_EQ(descriptions.size(), 2u);
    EXPECT_EQ(Page::Text(descriptions[0]), results.curves[0].description);
    EXPECT_NE(results.curves[0].description.find(kAwkwardName), std::string::npos);
    ExpectOnlyFiniteNumbers(page, "small batch");

    // Included points filled, the excluded one marked apart.
    const std::vector<xmlNodePtr> plots = page.Nodes("//svg[@class='calibration-plot']");
    EXPECT_EQ(page.Nodes(".//circle[@class='point']", plots[0]).size(), 3u);
    EXPECT_EQ(page.Nodes(".//g[@class='excluded']", plots[0]).size(), 1u);
    EXPECT_EQ(page.Nodes(".//g[@class='excluded']", plots[1]).size(), 0u);
    // A few labelled ticks on each axis.
    EXPECT_GE(page.Nodes(".//*[@class='tick-label']", plots[0]).size(), 6u);
}

TEST(HtmlReport, WritesThePageOrLeavesTheEarlierOne) {
    std::string folder = std::string(::testing::TempDir()) + "/quan_html_XXXXXX";
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    const std::string path = folder + "/report.html";
    const BatchResults results = SmallBatch();
    std::string error;
    ASSERT_TRUE(Batch::WriteHtmlReport(path, results, error)) << error;
    const auto contents = [](const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(contents(path), Batch::HtmlReport(results));

    // A target that cannot be replaced (a folder) fails with a message and no temporary left.
    const std::string blocked = folder + "/blocked.html";
    ASSERT_EQ(::mkdir(blocked.c_str(), 0700), 0);
    EXPECT_FALSE(Batch::WriteHtmlReport(blocked, results, error));
    EXPECT_NE(error.find(blocked), std::string::npos) << error;
    EXPECT_NE(::access(Batch::TemporaryNameFor(blocked).c_str(), F_OK), 0);
    EXPECT_EQ(contents(path), Batch::HtmlReport(results));

    ::rmdir(blocked.c_str());
    std::remove(path.c_str());
    ::rmdir(folder.c_str());
}

}  // namespace
