// The review station over the example batch: it serves the report's own data and the stored
// chromatograms, refuses every request it should with a 4xx and a message while changing
// nothing, and saves exclusions the batch tool reads. Also the JSON reader behind its requests.
#include <httplib.h>

#include <set>
#include <thread>

#include "BatchTestSupport.h"
#include "workflow/output/ChromatogramJson.h"
#include "workflow/station/JsonValue.h"
#include "workflow/station/ReviewData.h"
#include "workflow/station/ReviewServer.h"

namespace {

using namespace batch_test;
using Station::JsonValue;

// The example run once, and a station serving its results on a free port.
class ReviewStation : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        temp_ = new TempFolder();
        results_ = temp_->Path() / "results";
        run_ = RunTool({ExampleFolder().string(), "--out", results_.string()});
        server_ = new Station::ReviewServer();
        Station::ReviewServerOptions options;
        options.resultsFolder = results_.string();
        opened_ = server_->Open(options, openError_);
        if (opened_) thread_ = new std::thread([] { server_->Run(); });
        for (int i = 0; opened_ && i < 500 && !server_->IsRunning(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (opened_) editable_ = server_->Editor().WaitUntilLoaded();
    }
    static void TearDownTestSuite() {
        server_->Stop();
        if (thread_ != nullptr) thread_->join();
        delete thread_;
        delete server_;
        delete temp_;
    }
    void SetUp() override {
        ASSERT_EQ(run_.status, Batch::kExitOK) << run_.err;
        ASSERT_TRUE(opened_) << openError_;
        ASSERT_TRUE(server_->IsRunning());
    }

    static httplib::Headers WithToken(const std::string& token) { return {{"X-Quan-Token", token}}; }
    // One request to the station, with timeouts; a POST without headers carries the token.
    static httplib::Result Send(bool post, const std::string& path, const std::string& body,
                                const httplib::Headers& headers) {
        httplib::Client client("127.0.0.1", server_->Port());
        client.set_connection_timeout(5);
        client.set_read_timeout(10);
        if (!post) return client.Get(path.c_str(), headers);
        const httplib::Headers sent = headers.empty() ? WithToken(server_->Token()) : headers;
        return client.Post(path.c_str(), sent, body, "application/json");
    }
    static httplib::Result Get(const std::string& path) { return Send(false, path, "", WithToken(server_->Token())); }
    // The JSON of a GET answered with 200, and its text.
    static void GetJson(const std::string& path, JsonValue& value, std::string* text = nullptr) {
        const httplib::Result result = Get(path);
        ASSERT_TRUE(result) << path;
        ASSERT_EQ(result->status, 200) << path << ": " << result->body;
        std::string error;
        ASSERT_TRUE(JsonValue::Parse(result->body, value, error)) << path << ": " << error;
        if (text != nullptr) *text = result->body;
    }

    static inline TempFolder* temp_ = nullptr;
    static inline fs::path results_;
    static inline ToolRun run_;
    static inline Station::ReviewServer* server_ = nullptr;
    static inline std::thread* thread_ = nullptr;
    static inline bool opened_ = false, editable_ = false;
    static inline std::string openError_;
};

std::string ScriptBlock(const std::string& page, const std::string& id) {
    const std::string open = "<script id=\"" + id + "\" type=\"application/json\">";
    const size_t at = page.find(open);
    if (at == std::string::npos) return std::string();
    const size_t from = at + open.size();
    return page.substr(from, page.find("</script>", from) - from);
}

// Each refusal: its status, a JSON message, and no file of the results folder touched or added.
TEST_F(ReviewStation, RefusesBadRequestsWithAMessageAndChangesNothing) {
    ASSERT_TRUE(editable_) << "the station takes changes once loaded";
    const std::map<std::string, std::string> before = FolderContents(results_);
    const std::string token = server_->Token();
    std::string other = token;
    other[0] = other[0] == 'a' ? 'b' : 'a';
    const std::string big(Station::ReviewServer::kMostBodyBytes + 1, '[');
    const struct {
        const char* what;
        bool post;
        std::string path, body;
        httplib::Headers headers;
        int status;
        const char* says;
    } cases[] = {
        {"no token", false, "/api/batch", "", {}, 401, "needs its token"},
        {"no token on the page", false, "/", "", {}, 401, "needs its token"},
        {"a wrong token", false, "/api/batch", "", WithToken(other), 403, "not this review station's"},
        {"a token cut short", false, "/api/batch", "", WithToken(token.substr(1)), 403, "not this review station's"},
        {"the token in the query, wrong", false, "/api/batch?token=" + other, "", {}, 403, "not this review station's"},
        {"another host", false, "/api/batch", "", {{"X-Quan-Token", token}, {"Host", "evil.example:80"}}, 403,
         "answers only at 127.0.0.1"},
        {"an unknown path", false, "/api/nothing", "", WithToken(token), 404, "nothing at this address"},
        {"a path with ..", false, "/api/../results.sqlite", "", WithToken(token), 400, "may not hold"},
        {"an encoded ..", false, "/api/compound/%2e%2e%2fresults.sqlite", "", WithToken(token), 400, "may not hold"},
        {"a compound the batch lacks", false, "/api/compound/18", "", WithToken(token), 404, "no compound 18"},
        {"compound zero", false, "/api/compound/0", "", WithToken(token), 404, "no compound 0"},
        {"a compound by name", false, "/api/compound/Atrazine", "", WithToken(token), 404, "entry number"},
        {"a sample past the end", false, "/api/sample/13", "", WithToken(token), 404, "no sample 13"},
        {"a negative sample", false, "/api/sample/-1", "", WithToken(token), 404, "place in the batch"},
        {"a list of samples with a word", false, "/api/compound/3?samples=1,two", "", WithToken(token), 400,
         "sample numbers separated by commas"},
        {"a list of entries ending in a comma", false, "/api/sample/1?entries=1,2,", "", WithToken(token), 400,
         "entry numbers separated by commas"},
        {"an unknown form of panels", false, "/api/compound/3?form=xml", "", WithToken(token), 400, "form= takes"},
        {"a form of panels for a sample, misspelt", false, "/api/sample/1?form=Pack", "", WithToken(token), 400, "form= takes"},
        {"a packed compound the batch lacks", false, "/api/compound/18?form=pack", "", WithToken(token), 404, "no compound 18"},
        {"a POST without a token", true, "/api/exclusions", "[]", {{"X-Quan-Token", "x"}}, 403, "not this review station's"},
        {"an oversized body", true, "/api/exclusions", big, {}, 413, "larger than the station accepts"},
        {"malformed JSON", true, "/api/exclusions", "[{\"compound\": \"Dichlorvos\",}]", {}, 400, "not JSON"},
        {"JSON that is no list", true, "/api/exclusions", "{\"compound\": \"Dichlorvos\"}", {}, 400, "JSON array"},
        {"an unknown compound", true, "/api/exclusions", R"([{"compound":"Nope","standard":"STD-03"}])", {}, 422,
         "exclusion 1: the batch has no compound"},
        {"a QC as a standard", true, "/api/exclusions", R"([{"compound":"Dichlorvos","standard":"QC-01"}])", {}, 422,
         "not a standard"},
        {"a reason across lines", true, "/api/exclusions",
         R"([{"compound":"Dichlorvos","standard":"STD-03","reason":"a\nb"}])", {}, 422, "line break"},
        {"a standard given as a number", true, "/api/exclusions", R"([{"compound":"Dichlorvos","standard":3}])", {}, 400,
         "texts compound, standard and reason"},
        {"a GET of the POST address", false, "/api/exclusions", "", WithToken(token), 404, "nothing at this address"},
        {"a correction with a wrong token", true, "/api/integration", "{}", {{"X-Quan-Token", "x"}}, 403, "not this review station's"},
        {"a correction without a token", true, "/api/exclusion", "{}", {{"Host", "127.0.0.1"}}, 401, "needs its token"},
        {"an oversized correction", true, "/api/integration", big, {}, 413, "larger than the station accepts"},
        {"a malformed correction", true, "/api/exclusion", "{\"version\":", {}, 400, "not JSON"},
        {"a correction on a stale version", true, "/api/exclusion",
         R"({"version":5,"entry":1,"standard":2,"excluded":true,"reason":"r"})", {}, 409, "changed since"},
        {"a correction of an unknown compound", true, "/api/integration",
         R"({"version":0,"sample":11,"entry":18,"slot":0,"kind":"none","reason":"r"})", {}, 404, "no such compound"},
        {"a correction without a reason", true, "/api/integration",
         R"({"version":0,"sample":11,"entry":1,"slot":0,"kind":"none"})", {}, 400, "needs a reason"},
    };
    for (const auto& c : cases) {
        const httplib::Result result = Send(c.post, c.path, c.body, c.headers);
        ASSERT_TRUE(result) << c.what << ": no answer";
        EXPECT_EQ(result->status, c.status) << c.what << ": " << result->body;
        EXPECT_EQ(result->body.rfind("{\"error\":\"", 0), 0u) << c.what << ": " << result->body;
        EXPECT_NE(result->body.find(c.says), std::string::npos) << c.what << ": " << result->body;
    }
    EXPECT_EQ(FolderContents(results_), before);
}

// The editor's state once loaded, and the reasons offered, over HTTP.
// The station's batch and grid rows are the very JSON the static report embedded, rebuilt from
// results.sqlite; its page is the report's page without the data.
TEST_F(ReviewStation, ServesTheReportsOwnDataFromTheDatabase) {
    const std::string report = ReadText(results_ / "report.html");
    const httplib::Result batch = Get("/api/batch");
    ASSERT_TRUE(batch);
    ASSERT_EQ(batch->status, 200) << batch->body;
    EXPECT_EQ(batch->body, "{\"batch\":" + ScriptBlock(report, "quan-batch") + ",\"rows\":" +
                               ScriptBlock(report, "quan-rows") + "}");

    const httplib::Result page = Send(false, "/?token=" + server_->Token(), "", {});
    ASSERT_TRUE(page);
    ASSERT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("<script id=\"quan-source\" type=\"application/json\">{\"server\":true}</script>"),
              std::string::npos);
    EXPECT_EQ(ScriptBlock(page->body, "quan-rows"), "") << "the data is fetched, not embedded";
    EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'none'"), std::string::npos);
    EXPECT_EQ(page->get_header_value("Cache-Control"), "no-store");
}

// A compound's answer holds its panel and its internal standard's for every sample, each exactly
// as the report embedded it; a sample's holds a panel per compound that has traces.
TEST_F(ReviewStation, ServesTheStoredChromatogramsAsTheReportEmbeddedThem) {
    const std::string embedded = ScriptBlock(ReadText(results_ / "report.html"), "quan-chromatograms");
    JsonValue answer;
    std::string body;
    ASSERT_NO_FATAL_FAILURE(GetJson("/api/compound/3", answer, &body));
    ASSERT_TRUE(answer.Find("panels") && answer.Find("panels")->IsArray());
    std::map<int, int> byEntry;
    for (const JsonValue& panel : answer.Find("panels")->GetItems()) {
        ++byEntry[static_cast<int>(panel.Find("e")->GetNumber())];
        EXPECT_EQ(panel.Find("tr")->GetItems().size(), 2u) << "a quantifier and a qualifier";
    }
    EXPECT_EQ(byEntry, (std::map<int, int>{{1, 13}, {3, 13}})) << "Dichlorvos and its internal standard, entry 1";
    // Every panel, byte for byte, in the report.
    size_t panels = 0;
    for (size_t at = body.find("{\"s\":"); at != std::string::npos; at = body.find("{\"s\":", at + 1)) {
        const std::string panel = body.substr(at, body.find("]]}", at) + 3 - at);
        EXPECT_NE(embedded.find(panel), std::string::npos) << panel.substr(0, 200);
        ++panels;
    }
    EXPECT_EQ(panels, 26u);

    // Only the samples asked for, with their internal standard's panels.
    ASSERT_NO_FATAL_FAILURE(GetJson("/api/compound/3?samples=0,12", answer));
    std::set<std::pair<int, int>> shown;
    for (const JsonValue& panel : answer.Find("panels")->GetItems())
        shown.insert({static_cast<int>(panel.Find("s")->GetNumber()), static_cast<int>(panel.Find("e")->GetNumber())});
    EXPECT_EQ(shown, (std::set<std::pair<int, int>>{{0, 1}, {0, 3}, {12, 1}, {12, 3}}));
    ASSERT_NO_FATAL_FAILURE(GetJson("/api/sample/12?entries=3,17,99", answer));
    ASSERT_EQ(answer.Find("panels")->GetItems().size(), 1u) << "the total has no traces, 99 is no entry";
    EXPECT_EQ(answer.Find("panels")->GetItems()[0].Find("e")->GetNumber(), 3);

    ASSERT_NO_FATAL_FAILURE(GetJson("/api/sample/12", answer));
    EXPECT_EQ(answer.Find("panels")->GetItems().size(), 16u) << "every compound but the total";
}

// A pack holds the very panels of the JSON answer: each trace's times and intensities are the
// float32 values the JSON gives in base64, at the places its header names, one after another.
TEST_F(ReviewStation, ServesPanelsPackedAsTheirJsonAnswer) {
    for (const std::string path : {"/api/compound/3?samples=0,12", "/api/sample/12?entries=1,3,17"}) {
        JsonValue header, answer;
        ASSERT_NO_FATAL_FAILURE(GetJson(path, answer));
        const httplib::Result pack = Get(path + "&form=pack");
        ASSERT_TRUE(pack);
        ASSERT_EQ(pack->status, 200) << pack->body;
        EXPECT_EQ(pack->get_header_value("Content-Type"), "application/octet-stream");
        const std::string& bytes = pack->body;
        ASSERT_GE(bytes.size(), 8u);
        EXPECT_EQ(bytes.substr(0, 4), "QPK1");
        const auto byte = [&bytes](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[k])); };
        const uint32_t headerSize = byte(4) | byte(5) << 8 | byte(6) << 16 | byte(7) << 24;
        ASSERT_EQ(headerSize % 4, 0u) << "the values start aligned";
        ASSERT_LE(8 + headerSize, bytes.size());
        const std::string values = bytes.substr(8 + headerSize);
        std::string error;
        ASSERT_TRUE(JsonValue::Parse(bytes.substr(8, headerSize), header, error)) << error;
        const auto& packed = header.Find("panels")->GetItems();
        const auto& given = answer.Find("panels")->GetItems();
        ASSERT_EQ(packed.size(), given.size()) << path;
        ASSERT_GE(packed.size(), 2u) << path;
        size_t next = 0;
        for (size_t p = 0; p < packed.size(); ++p) {
            for (const char* field : {"s", "e", "is", "pred", "lo", "hi"})
                EXPECT_EQ(packed[p].Find(field)->GetNumber(), given[p].Find(field)->GetNumber()) << path << " " << field;
            const auto& traces = packed[p].Find("tr")->GetItems();
            ASSERT_EQ(traces.size(), given[p].Find("tr")->GetItems().size());
            for (size_t t = 0; t < traces.size(); ++t) {
                const auto& at = traces[t].GetItems();
                const auto& text = given[p].Find("tr")->GetItems()[t].GetItems();
                EXPECT_EQ(at[1].GetString(), text[1].GetString());
                const size_t first = static_cast<size_t>(at[3].GetNumber()), count = static_cast<size_t>(at[4].GetNumber());
                EXPECT_EQ(first, next) << "one trace after the other";
                ASSERT_LE((first + 2 * count) * 4, values.size());
                EXPECT_EQ(Batch::Base64(values.substr(first * 4, count * 4)), text[3].GetString()) << "times";
                EXPECT_EQ(Batch::Base64(values.substr((first + count) * 4, count * 4)), text[4].GetString()) << "intensities";
                next = first + 2 * count;
            }
        }
        EXPECT_EQ(next * 4, values.size()) << "nothing after the last trace";
    }
}

// Exclusions saved from the station are a file the batch tool reads, with the analyst's reasons.
TEST_F(ReviewStation, SavesExclusionsThatTheBatchToolApplies) {
    const std::string exclusion =
        R"([{"compound":"Dichlorvos","standard":"STD-03","reason":"tailing, \"re-inject\""}])";
    const httplib::Result saved = Send(true, "/api/exclusions", exclusion, {});
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->status, 200) << saved->body;
    const fs::path file = results_ / "exclusions.csv";
    EXPECT_EQ(ReadText(file), "Compound,Standard,Reason\nDichlorvos,STD-03,\"tailing, \"\"re-inject\"\"\"\n");
    TempFolder temp;
    const ToolRun rerun = RunTool({ExampleFolder().string(), "--out", temp / "out", "--exclusions", file.string()});
    fs::remove(file);
    ASSERT_EQ(rerun.status, Batch::kExitOK) << rerun.err;
    EXPECT_EQ(Query(temp.Path() / "out" / "results.sqlite",
                    "SELECT excluded_by, exclusion_reason FROM calibration_points WHERE entry = 3 AND standard = 'STD-03'"),
              (Table{{"analyst", "tailing, \"re-inject\""}}));
}

// A batch run from peak lists keeps no chromatograms, and the views are told so.
TEST(ReviewStationData, PeakListBatchesHaveNoChromatogramsAndSaySo) {
    TempFolder temp;
    const fs::path batch = CopyExample(temp.Path());
    for (const char* sample : {"STD-01", "STD-02", "STD-03", "STD-04", "STD-05", "STD-06", "QC-01", "QC-02", "BLANK-01",
                               "SAMPLE-01", "SAMPLE-02", "SAMPLE-03", "SAMPLE-04"})
        AsPeakList(batch, sample);
    const ToolRun run = RunTool({batch.string(), "--out", temp / "out"});
    ASSERT_EQ(run.status, Batch::kExitOK) << run.err;
    EXPECT_EQ(Query(temp.Path() / "out" / "results.sqlite", "SELECT count(*) FROM chromatograms"), Table{{"0"}});
    Station::ReviewData data;
    std::string error;
    ASSERT_TRUE(data.Open(temp / "out", error)) << error;
    for (const Station::Answer& answer : {data.CompoundAnswer(3), data.SampleAnswer(0),
                                          data.CompoundAnswer(3, {}, Station::PanelForm::kPacked)}) {
        EXPECT_EQ(answer.status, 200);
        EXPECT_NE(answer.body.find("\"panels\":null,\"note\":\"No chromatograms were kept"), std::string::npos) << answer.body;
    }
    EXPECT_EQ(data.CompoundAnswer(3, {}, Station::PanelForm::kPacked).body.rfind("QPK1", 0), 0u);
    const std::string embedded = ScriptBlock(ReadText(temp.Path() / "out" / "report.html"), "quan-chromatograms");
    EXPECT_NE(embedded.find("\"panels\":null"), std::string::npos) << embedded;

    // A folder without results is refused with the reason.
    EXPECT_FALSE(data.Open(temp / "nothing", error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
    // So is one whose results.sqlite is empty, or a database of something else.
    fs::create_directories(temp.Path() / "empty");
    WriteText(temp.Path() / "empty" / "results.sqlite", "");
    fs::create_directories(temp.Path() / "other");
    Execute(temp.Path() / "other" / "results.sqlite", "CREATE TABLE t (x)");
    for (const char* folder : {"empty", "other"}) {
        EXPECT_FALSE(data.Open(temp / folder, error)) << folder;
        EXPECT_NE(error.find("is not a results database"), std::string::npos) << error;
    }
}

// The whole-traces option keeps every point of every trace: as many as the raw file holds.
TEST(ReviewStationData, WholeTracesKeepEveryPoint) {
    TempFolder temp;
    ASSERT_EQ(RunTool({ExampleFolder().string(), "--out", temp / "whole", "--whole-traces"}).status, Batch::kExitOK);
    ASSERT_EQ(RunTool({ExampleFolder().string(), "--out", temp / "cut"}).status, Batch::kExitOK);
    ASSERT_EQ(RunTool({ExampleFolder().string(), "--out", temp / "none", "--no-chromatograms"}).status, Batch::kExitOK);
    CMethodList method;
    std::vector<Batch::Problem> problems;
    Batch::ReadMethodFile((ExampleFolder() / "method.xml").string(), method, problems);
    CPeakList peaks;
    std::vector<RawData::Chromatogram> read;
    ASSERT_TRUE(Batch::ReadRawPeaks({(ExampleFolder() / "raw" / "QC-01.mzML").string()}, method, peaks, problems, &read));
    size_t points = 0;
    for (const RawData::Chromatogram& c : read)
        if (c.trace == "185.0") points = c.times.size();
    ASSERT_GT(points, 0u);
    const std::string query = "SELECT point_count, length(times), length(intensities) FROM chromatograms c JOIN samples s "
                              "ON s.position = c.sample WHERE s.id = 'QC-01' AND c.entry = 3 AND c.slot = 0";
    EXPECT_EQ(Query(temp.Path() / "whole" / "results.sqlite", query),
              (Table{{std::to_string(points), std::to_string(points * 4), std::to_string(points * 4)}}));
    const Table cut = Query(temp.Path() / "cut" / "results.sqlite", query);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_LT(std::stoul(cut[0][0]), points) << "the window with its margin is part of the trace";
    EXPECT_EQ(Query(temp.Path() / "none" / "results.sqlite", "SELECT count(*) FROM chromatograms"), Table{{"0"}});
    EXPECT_EQ(ReadText(temp.Path() / "none" / "results.csv"), ReadText(temp.Path() / "cut" / "results.csv"))
        << "keeping chromatograms changes no result";
    Batch::ToolOptions options;
    std::string error;
    EXPECT_FALSE(Batch::ParseToolOptions({"x", "--whole-traces", "--no-chromatograms"}, options, error));
    EXPECT_NE(error.find("give one"), std::string::npos) << error;
}

TEST(StationJson, ReadsWellFormedJsonAndRefusesTheRestWithWhere) {
    const struct { std::string text; bool ok; const char* error; } cases[] = {
        {R"( {"a": [1, -2.5e3, true, false, null, "x\u00e9\ud83d\udca7\n\"\\\/\b\f\r\t"], "b": {}} )", true, ""},
        {"[]", true, ""},
        {"0", true, ""},
        {"", false, "the end of the text where a value belongs at character 1"},
        {"[1,]", false, "a character that starts no value at character 4"},
        {"{\"a\":1,}", false, "a member without a quoted name at character 8"},
        {"{\"a\" 1}", false, "a member name without ':' at character 6"},
        {"{\"a\":1,\"a\":2}", false, "a member named twice"},
        {"[1 2]", false, "an array not closed with ']' at character 4"},
        {"\"abc", false, "a string not closed"},
        {"\"a\x01\"", false, "a control character inside a string"},
        {"\"\\x\"", false, "an unknown escape"},
        {"\"\\ud800\"", false, "a high surrogate without its low half"},
        {"\"\\udc00\"", false, "a lone low surrogate"},
        {"\"\\u12g4\"", false, "not hexadecimal"},
        {"012", false, "a leading zero"},
        {"1.", false, "without digits after '.'"},
        {"1e+", false, "without digits in its exponent"},
        {"1e999", false, "a number out of range"},
        {"tru", false, "an unknown word"},
        {"[] []", false, "text after the JSON value at character 4"},
        {"{\"a\":1", false, "an object not closed with '}' at character 7"},
        {std::string(32, '[') + std::string(32, ']'), true, ""},
        {std::string(33, '[') + std::string(33, ']'), false, "nested too deep at character 33"},
    };
    for (const auto& c : cases) {
        JsonValue value;
        std::string error;
        EXPECT_EQ(JsonValue::Parse(c.text, value, error), c.ok) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << ": " << error;
    }
    JsonValue value;
    std::string error;
    ASSERT_TRUE(JsonValue::Parse(cases[0].text, value, error));
    const JsonValue& a = *value.Find("a");
    ASSERT_EQ(a.GetItems().size(), 6u);
    EXPECT_EQ(a.GetItems()[1].GetNumber(), -2500.0);
    EXPECT_TRUE(a.GetItems()[2].GetBool());
    EXPECT_EQ(a.GetItems()[4].GetKind(), JsonValue::Kind::kNull);
    EXPECT_EQ(a.GetItems()[5].GetString(), "x\xC3\xA9\xF0\x9F\x92\xA7\n\"\\/\b\f\r\t");
    EXPECT_TRUE(value.Find("b")->IsObject());
    EXPECT_EQ(value.Find("c"), nullptr);
    // Nesting just inside the limit reads.
    const int depth = JsonValue::kMostDepth;
    EXPECT_TRUE(JsonValue::Parse(std::string(depth, '[') + std::string(depth, ']'), value, error)) << error;
}

}  // namespace
