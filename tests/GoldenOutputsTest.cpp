// The bundled example under variants of its method that reach most of what a batch does: curve
// types, weightings, origins and axis transformations, heights, result flags and monitors,
// location choices and ion-ratio windows, integration settings, acceptance rules and outliers.
// Each run's outputs are compared with the ones recorded when they were last checked by hand:
// results.csv (every digit) and curves.txt in full, so a difference shows the values that moved,
// and every other output by its SHA-256 (each table of results.sqlite, matrix.csv, the data the
// report page embeds). Any change in any number, flag, bound or stored point fails.
// How to record them again after a deliberate change: GoldenSupport.h.

#include "BatchTestSupport.h"
#include "GoldenSupport.h"
#include "workflow/method/MethodDocument.h"
#include "workflow/method/TransitionList.h"

namespace {

using namespace batch_test;
using golden::ExpectRecorded;

struct Variant {
    const char* name;
    std::vector<std::pair<std::string, std::string>> edits;  // on method.xml, every occurrence
    std::vector<std::string> options;
};

const std::string kEveryMonitor =
    " QuantificationTraces=\"1\" MonitorBlankEnabled=\"1\" MonitorBlankConc=\"0.05\" MinSigNoise=\"3000\""
    " SigNoiseFlag=\"1\" ReportLimit=\"3\" ReportLimitFlag=\"1\" MinRecovery=\"99\" MaxRecovery=\"101\""
    " RecoveryFlagQC=\"1\" RecoveryFlagAnalyte=\"1\" MinCoeffDet=\"0.999999\" CoeffDetFlag=\"1\" MaxStdDev=\"3\""
    " MaxStdDevFlag=\"1\" RTToleranceLower=\"0.01\" RTToleranceUpper=\"0.01\" RTToleranceFlag=\"1\" MinArea=\"5000\""
    " MinHeight=\"800\" MonitorQCEnabled=\"1\" MonitorQCHighThresh=\"1\" MonitorQCHighThreshEnabled=\"1\""
    " MonitorStandardEnabled=\"1\" MonitorStandardHighThresh=\"0.5\" MonitorStandardHighThreshEnabled=\"1\""
    " MonitorStandardMidThresh=\"1\" MonitorStandardMidThreshEnabled=\"1\" MonitorStandardMidConc=\"10\""
    " MonitorStandardMidConcEnabled=\"1\" CarryOverThreshold=\"0.1\" LinearityLimit=\"40\"";

const Variant kVariants[] = {
    {"plain", {}, {}},
    {"quadratic", {{"CCalc=\"Linear\"", "CCalc=\"2nd Order\""}, {"=\"1/x\"", "=\"1/x^2\""}}, {"-j", "2"}},
    {"cubic_root",
     {{"CCalc=\"Linear\"", "CCalc=\"3rd Order\""}, {"=\"1/x\"", "=\"1/y^2\""}, {"=\"None\"", "=\"Square Root\""}}, {}},
    {"forced_log", {{"=\"Include\"", "=\"Force\""}, {"=\"1/x\"", "=\"1/y\""}, {"=\"None\"", "=\"Log\""}}, {}},
    {"heights", {{"=\"Area\"", "=\"Height\""}, {"=\"Include\"", "=\"Exclude\""}, {"=\"1/x\"", "=\"Null\""}}, {}},
    {"monitors", {{" QuantificationTraces=\"1\"", kEveryMonitor}}, {}},
    {"sante", {{"<METHODLIST>", "<METHODLIST Acceptance=\"SANTE\" OutlierExclusion=\"on\" OutlierLimit=\"2.5\">"}}, {}},
    {"m10", {}, {"--acceptance", "M10", "--exclude-outliers", "3"}},
    {"largest", {{"LocateRTWin=\"0.1\"", "LocateRTWin=\"0.5\" LocateChoice=\"1\""},
                 {"TargetWindow0=\"20\"", "TargetWindow0=\"5\" TargetMustPass0=\"1\""}}, {}},
    {"wide_smoothing", {{"SmooWidth=\"3\"", "SmooWidth=\"9\" PkSplitting=\"10\" PkBalance=\"20\" PkShldrDetect=\"1\""},
                        {"SmooMethod=\"1\"", "SmooMethod=\"2\""}}, {}},
    {"earliest_unsmoothed", {{"SmooEnabled=\"1\"", "SmooEnabled=\"0\""},
                             {"LocateRTWin=\"0.1\"", "LocateRTWin=\"0.3\" LocateChoice=\"2\""}}, {}},
    {"latest_isotope_dilution", {{"LocateRTWin=\"0.1\"", "LocateRTWin=\"0.3\" LocateChoice=\"3\""},
                                 {"=\"Internal Std\"", "=\"Isotope Dilution\""}}, {}},
};


// What a run wrote, besides results.csv and curves.txt, one "name digest" line each.
std::string Fingerprints(const fs::path& out, const std::string& batch) {
    std::vector<std::pair<std::string, std::string>> hashes;
    for (const auto& [table, digest] : TableDigests(out / "results.sqlite", batch))
        hashes.emplace_back("table " + table, digest);
    hashes.emplace_back("matrix.csv", QuanPlatform::Sha256Hex(ReadText(out / "matrix.csv")));
    const std::string report = ReplaceAll(ReadText(out / "report.html"), batch, "BATCH");
    const std::string open = "<script id=\"", type = "\" type=\"application/json\">";
    for (size_t at = report.find(open); at != std::string::npos; at = report.find(open, at + 1)) {
        const size_t name = at + open.size(), data = report.find(type, name), end = report.find("</script>", name);
        if (data >= end) continue;
        const std::string block = report.substr(data + type.size(), end - data - type.size());
        hashes.emplace_back("report " + report.substr(name, data - name), QuanPlatform::Sha256Hex(block));
    }
    std::string text;
    for (const auto& [name, digest] : hashes) text += name + " " + digest + "\n";
    return text;
}

void PrintTo(const Variant& variant, std::ostream* out) { *out << variant.name; }

class GoldenOutputs : public ::testing::TestWithParam<Variant> {};

TEST_P(GoldenOutputs, MatchWhatWasRecorded) {
    const Variant& variant = GetParam();
    TempFolder temp;
    const fs::path batch = CopyExample(temp.Path());
    std::string method = ReadText(batch / "method.xml");
    for (const auto& [from, to] : variant.edits) {
        ASSERT_NE(method.find(from), std::string::npos) << from;
        method = ReplaceAll(method, from, to);
    }
    WriteText(batch / "method.xml", method);
    const fs::path out = temp.Path() / "out";
    std::vector<std::string> args = {batch.string(), "--out", out.string(), "--full-precision"};
    args.insert(args.end(), variant.options.begin(), variant.options.end());
    const ToolRun run = RunTool(args);
    ASSERT_TRUE(run.status == Batch::kExitOK || run.status == Batch::kExitRejected) << run.err;

    ExpectRecorded(variant.name, "results.csv", ReadText(out / "results.csv"));
    ExpectRecorded(variant.name, "curves.txt", ReadText(out / "curves.txt"));
    ExpectRecorded(variant.name, "fingerprints.txt", Fingerprints(out, batch.string()));
    ExpectRecorded(variant.name, "exit.txt", std::to_string(run.status) + "\n");
}

// The bundled transition lists imported with the importer's defaults and with each of its
// options changed (the method in both its written forms, and the notes it gives), and the yeast
// cut integrated with the yeast method: every peak, its fields and its shape figures.
TEST(GoldenImports, TransitionListsAndTheYeastCutsPeaks) {
    using MethodTools::ImportOptions;
    const fs::path data = fs::path(QUAN_SOURCE_DIR) / "tests" / "data";
    const auto with = [](auto change) { ImportOptions o; change(o); return o; };
    const std::tuple<std::string, std::string, ImportOptions> imports[] = {
        {"yeast", "", {}},
        {"gcms-sim", "", {}},
        {"gcms-sim", "-two-qualifiers", with([](ImportOptions& o) { o.maxQualifiers = 2; o.ratioWindow = 30; })},
        {"yeast", "-own-times", with([](ImportOptions& o) { o.followStandards = false; o.rtWindow = 0.3; })},
        {"yeast", "-closest", with([](ImportOptions& o) {
             o.standardChoice = MethodTools::kChooseClosest; o.standardWindow = 1.0; o.partnerWindow = 0.2; })},
        {"yeast", "-curves", with([](ImportOptions& o) {
             o.curveType = 2; o.weighting = 2; o.origin = 2; o.axisTransform = 2; o.responseBasis = 1;
             o.units = "uM"; o.standardConc = 5.0; o.massWindow = 0.7; o.rtUnit = MethodTools::TimeUnit::kMinutes; })},
    };
    for (const auto& [list, variant, options] : imports) {
        SCOPED_TRACE(list + variant);
        MethodTools::MethodDocument method;
        MethodTools::Problems problems, notes;
        ASSERT_TRUE(MethodTools::ImportTransitionList((data / (list + "-transitions.csv")).string(), options, method,
                                                      problems, notes));
        std::string noted;
        for (const auto& note : notes) noted += ReplaceAll(note.Text(), data.string(), "DATA") + "\n";
        ExpectRecorded("imports", list + variant + "-readable.xml", method.Xml(true));
        ExpectRecorded("imports", list + variant + "-stored.xml", method.Xml(false));
        ExpectRecorded("imports", list + variant + "-notes.txt", noted);
        if (list + variant != "yeast") continue;
        CPeakList peaks;
        std::vector<Batch::Problem> read;
        std::vector<Integrate::PeakQuality> quality;
        ASSERT_TRUE(Batch::ReadRawPeaks({(data / "yeast-cut.mzML").string()}, method, peaks, read, nullptr, &quality));
        ExpectRecorded("imports", "yeast-cut-peaks.csv", Batch::PeakListCsv(peaks, &quality));
    }
}

INSTANTIATE_TEST_SUITE_P(ExampleBatch, GoldenOutputs, ::testing::ValuesIn(kVariants),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
