// The chromatograms kept with a batch's results: what is cut from each trace for the review
// views, their stored bytes, the JSON the page reads them from, and the report's budget.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "ListBuilders.h"
#include "workflow/batch/SampleTraces.h"
#include "workflow/output/ChromatogramJson.h"
#include "workflow/output/HtmlReport.h"

namespace {

using Batch::EntryTrace;
using Batch::TraceKeeping;

// A trace sampled every 0.01 min from 0 to 10 min, intensity = 100 * time.
RawData::Chromatogram Trace(const std::string& trace, int function = 0) {
    RawData::Chromatogram chromatogram;
    chromatogram.trace = trace;
    chromatogram.function = function;
    for (int i = 0; i <= 1000; ++i) {
        chromatogram.times.push_back(i * 0.01);
        chromatogram.intensities.push_back(i * 1.0 + function);
    }
    return chromatogram;
}

CMethodData Entry(const std::string& name, const std::string& quan, float rt, float window) {
    CMethodData entry;
    entry.SetName(name);
    entry.SetQuanTrace(quan);
    entry.SetPredRT(rt);
    entry.SetSoughtRT(rt);
    entry.SetLocateRTWin(window);
    return entry;
}

CPeakData MainPeak(int entry, float start, float end) {
    CPeakData peak;
    peak.SetMDBEntry(entry);
    peak.SetMDBEntryPeak(0);
    peak.SetStartRT(start);
    peak.SetEndRT(end);
    return peak;
}

const EntryTrace* Find(const std::vector<EntryTrace>& traces, int entry, int slot) {
    for (const EntryTrace& trace : traces)
        if (trace.entry == entry && trace.slot == slot) return &trace;
    return nullptr;
}

// The window with its margin (the window's full width, at least 0.2 min), one point beyond each
// end; a main peak reaching past the window widens the cut to hold it with the same margin;
// whole traces keep everything.
TEST(StoredChromatograms, CutsTheWindowWithItsMarginOrThePeakReachingPastIt) {
    const struct {
        float window;
        float peakStart, peakEnd;  // 0, 0: no peak
        bool whole;
        float first, last;
    } cases[] = {
        {0.1f, 0, 0, false, 4.70f, 5.31f},         // 5.005 +- 0.1, margin 0.2 (the least)
        {0.3f, 0, 0, false, 4.10f, 5.91f},         // 5.005 +- 0.3, margin 0.6 (the window's width)
        {0.1f, 5.0f, 5.453f, false, 4.70f, 5.66f},  // the peak ends past the window
        {0.1f, 4.503f, 5.05f, false, 4.30f, 5.31f},  // and starts before it
        {0.0f, 0, 0, false, 4.80f, 5.21f},         // no window: the margin alone
        {0.1f, 0, 0, true, 0.0f, 10.0f},
    };
    for (const auto& c : cases) {
        // Window ends off the 0.01 min grid, so "one point beyond" is one grid step.
        const CMethodList method = test_lists::Methods({Entry("A", "100.1>50.1", 5.005f, c.window)});
        const CPeakList peaks = c.peakEnd > 0 ? test_lists::Peaks({MainPeak(1, c.peakStart, c.peakEnd)}) : CPeakList();
        const TraceKeeping keeping{.keep = true, .wholeTraces = c.whole};
        const std::vector<EntryTrace> kept = Batch::CutEntryTraces(method, peaks, {Trace("100.1>50.1")}, keeping);
        ASSERT_EQ(kept.size(), 1u) << c.window;
        const EntryTrace& trace = kept[0];
        ASSERT_EQ(trace.times.size(), trace.intensities.size());
        ASSERT_FALSE(trace.times.empty());
        EXPECT_NEAR(trace.times.front(), c.first, 1e-4) << c.window << " " << c.peakEnd;
        EXPECT_NEAR(trace.times.back(), c.last, 1e-4) << c.window << " " << c.peakEnd;
        EXPECT_FLOAT_EQ(trace.intensities.front(), std::round(c.first * 100.0f));
        EXPECT_NEAR(trace.windowStart, 5.005 - c.window, 1e-5);
        EXPECT_NEAR(trace.windowEnd, 5.005 + c.window, 1e-5);
        EXPECT_NEAR(trace.predictedRT, 5.005, 1e-5);
    }
    // Nothing at all unless asked for.
    const CMethodList method = test_lists::Methods({Entry("A", "100.1>50.1", 5.0f, 0.1f)});
    EXPECT_TRUE(Batch::CutEntryTraces(method, CPeakList(), {Trace("100.1>50.1")}, TraceKeeping()).empty());
}

// The kept points name the raw file's scans: counted on from the first kept point when they
// follow one by one (a file without scan numbers counts points from 1), listed one per point
// when they do not (spectra of one trace interleaved with another function's).
TEST(StoredChromatograms, KeepTheScansOfTheRawPoints) {
    const struct { const char* what; int firstFileScan, step; bool whole; int firstScan; bool listed; } cases[] = {
        {"no scan numbers", 0, 0, false, 471, false},
        {"no scan numbers, whole", 0, 0, true, 1, false},
        {"numbered one by one", 1001, 1, false, 1471, false},
        {"every other spectrum", 1, 2, false, 941, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RawData::Chromatogram raw = Trace("100.1>50.1");
        for (size_t i = 0; c.step > 0 && i < raw.times.size(); ++i)
            raw.scans.push_back(c.firstFileScan + c.step * static_cast<int>(i));
        const CMethodList method = test_lists::Methods({Entry("A", "100.1>50.1", 5.005f, 0.1f)});
        const TraceKeeping keeping{.keep = true, .wholeTraces = c.whole};
        const std::vector<EntryTrace> kept = Batch::CutEntryTraces(method, CPeakList(), {raw}, keeping);
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_EQ(kept[0].firstScan, c.firstScan);
        ASSERT_EQ(kept[0].scans.size(), c.listed ? kept[0].times.size() : 0u);
        if (c.listed) {
            EXPECT_EQ(kept[0].scans.front(), c.firstScan);
            EXPECT_EQ(kept[0].scans.back(), c.firstScan + 2 * static_cast<int>(kept[0].times.size() - 1));
        }
    }
}

// Which traces an entry keeps and how a qualifier is laid over its quantifier: the stored ratio
// is quantifier over qualifier unless the entry says qualifier over quantifier.
TEST(StoredChromatograms, KeepsEachEntrysTracesWithTheirOverlayScaleAndInternalStandard) {
    CMethodData standard = Entry("IS", "TIC", 3.0f, 0.2f);
    CMethodData analyte = Entry("B", "200>100", 6.0f, 0.1f);
    analyte.SetTargetTrace(0, "200>120");
    analyte.SetTargetRatio(0, 0.5);
    analyte.SetTargetTrace(1, "200>130");
    analyte.SetTargetRatio(1, 0.0);        // no expected ratio: drawn as measured
    analyte.SetTargetTrace(2, "999>1");    // not in the file
    analyte.SetRRef(1);
    CMethodData inverse = Entry("C", "300>100", 7.0f, 0.1f);
    inverse.SetTargetTrace(0, "300>150");
    inverse.SetTargetRatio(0, 4.0);
    inverse.SetTargetIonRatioMethod(1);
    inverse.SetRRef(3);                    // itself: no internal standard
    CMethodData total = Entry("Total", "200>100", 6.0f, 1.0f);
    total.SetLocateChoice(CMethodData::kTotalsChoice);
    ASSERT_TRUE(total.IsTotals());
    CMethodData elsewhere = Entry("D", "400>1", 8.0f, 0.1f);
    elsewhere.SetRRef(9);                  // past the method's end
    elsewhere.SetRawAcquisitionFunction(2);
    const CMethodList method = test_lists::Methods({standard, analyte, inverse, total, elsewhere});
    const std::vector<EntryTrace> kept = Batch::CutEntryTraces(
        method, CPeakList(),
        {Trace("tic"), Trace("200>100"), Trace("200>120"), Trace("200>130"), Trace("300>100"), Trace("300>150"),
         Trace("400>1", 1), Trace("400>1", 2)},
        {.keep = true});

    const struct { int entry, slot; double scale, ratio; int standard; } expected[] = {
        {1, 0, 1.0, 0.0, 0},  // the name matches whatever its case
        {2, 0, 1.0, 0.0, 1}, {2, 1, 0.5, 0.5, 1}, {2, 2, 0.0, 0.0, 1},
        {3, 0, 1.0, 0.0, 0}, {3, 1, 0.25, 4.0, 0},
        {5, 0, 1.0, 0.0, 0},
    };
    ASSERT_EQ(kept.size(), std::size(expected));
    for (const auto& e : expected) {
        const EntryTrace* trace = Find(kept, e.entry, e.slot);
        ASSERT_NE(trace, nullptr) << e.entry << "/" << e.slot;
        EXPECT_DOUBLE_EQ(trace->overlayScale, e.scale) << e.entry << "/" << e.slot;
        EXPECT_DOUBLE_EQ(trace->expectedRatio, e.ratio) << e.entry << "/" << e.slot;
        EXPECT_EQ(trace->internalStandard, e.standard) << e.entry << "/" << e.slot;
    }
    EXPECT_EQ(Find(kept, 2, 3), nullptr) << "a trace the sample lacks keeps nothing";
    EXPECT_EQ(Find(kept, 4, 0), nullptr) << "a total keeps nothing of its own";
    // Of a trace acquired in two functions, the entry's own.
    EXPECT_FLOAT_EQ(Find(kept, 5, 0)->intensities.front() - Find(kept, 5, 0)->times.front() * 100.0f, 2.0f);
}

TEST(StoredChromatograms, PointsStoreAsLittleEndianFloatsAndReadBack) {
    const std::vector<float> values = {0.0f, -1.5f, 3.4028235e38f, 1e-45f, 9.80982971f};
    const std::string bytes = Batch::EncodeFloats(values);
    ASSERT_EQ(bytes.size(), 20u);
    // 1.0 would be 00 00 80 3F; -1.5 is 00 00 C0 BF.
    EXPECT_EQ(bytes.substr(4, 4), std::string("\x00\x00\xC0\xBF", 4));
    std::vector<float> back = {7.0f};
    ASSERT_TRUE(Batch::DecodeFloats(bytes.data(), bytes.size(), back));
    EXPECT_EQ(back, values);
    EXPECT_TRUE(Batch::DecodeFloats(nullptr, 0, back));
    EXPECT_TRUE(back.empty());
    EXPECT_FALSE(Batch::DecodeFloats(bytes.data(), 6, back)) << "not a whole number of floats";
    EXPECT_TRUE(Batch::EncodeFloats({}).empty());
    // Scans the same way, as signed 32-bit integers.
    const std::vector<int> scans = {1, -2, 2147483647};
    const std::string scanBytes = Batch::EncodeScans(scans);
    EXPECT_EQ(scanBytes.substr(4, 4), std::string("\xFE\xFF\xFF\xFF", 4));
    std::vector<int> scansBack;
    ASSERT_TRUE(Batch::DecodeScans(scanBytes.data(), scanBytes.size(), scansBack));
    EXPECT_EQ(scansBack, scans);
    EXPECT_FALSE(Batch::DecodeScans(scanBytes.data(), 6, scansBack)) << "not a whole number of scans";
}

// The pack's bytes: magic, header length (little-endian), header padded with spaces to a whole
// number of float32 values, then the values as given; values that are no whole floats refused.
TEST(StoredChromatograms, PanelPackLaysOutHeaderAndAlignedValues) {
    using namespace std::string_literals;
    const std::string floats = "\x00\x00\x80\x3f"s + "\x00\x00\x00\x40"s;  // 1.0f, 2.0f
    const struct { std::string header, values, pack; } cases[] = {
        {"{}", "", "QPK1\x04\x00\x00\x00{}  "s},
        {"{\"a\":1}", floats, "QPK1\x08\x00\x00\x00{\"a\":1} "s + floats},
        {"[1,2,3]!", floats, "QPK1\x08\x00\x00\x00[1,2,3]!"s + floats},
        {"", "", "QPK1\x00\x00\x00\x00"s},
        {"{}", "abc", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Batch::PanelPack(c.header, c.values), c.pack) << c.header;
}

TEST(StoredChromatograms, Base64IsTheStandardAlphabetWithPadding) {
    const struct { std::string bytes, text; } cases[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"}, {"\xFF\xFE\xFD", "//79"}, {std::string("\0\0", 2), "AAA="},
    };
    for (const auto& c : cases) EXPECT_EQ(Batch::Base64(c.bytes), c.text) << c.bytes;
}

// A panel's JSON: the window and peak as numbers (null where there is none), each trace with its
// slot, name, scale and points in base64.
TEST(StoredChromatograms, PanelJsonCarriesTheWindowPeakAndTraces) {
    const EntryTrace quantifier{.entry = 4, .trace = "a\"b", .internalStandard = 2, .predictedRT = 5.5,
                                .windowStart = 5.25, .windowEnd = NAN, .times = {1.0f}, .intensities = {-1.5f}};
    const Batch::PanelPeak peak{5.5, 5.25, 5.75, 10.0, 12.5};
    EXPECT_EQ(Batch::PanelJson(7, 4, &peak, {&quantifier}),
              "{\"s\":7,\"e\":4,\"is\":2,\"pred\":5.5,\"lo\":5.25,\"hi\":null,\"peak\":[5.5,5.25,5.75,10,12.5],"
              "\"tr\":[[0,\"a\\\"b\",1,\"AACAPw==\",\"AADAvw==\"]]}");
    EXPECT_EQ(Batch::PanelJson(0, 1, nullptr, {}),
              "{\"s\":0,\"e\":1,\"is\":0,\"pred\":null,\"lo\":null,\"hi\":null,\"peak\":null,\"tr\":[]}");
}

// The report embeds the chromatograms while they stay within its budget; past it none, and it
// says to open the review station. Without any, it says the batch ran from peak lists.
TEST(StoredChromatograms, ReportEmbedsThemWithinItsBudgetOnly) {
    Batch::BatchResults results;
    results.samples.push_back({"S1", "Analyte", 0, "", "", 0, 0});
    Batch::ResultRow row;
    row.entry = 1;
    row.compound = "A";
    results.rows.push_back(row);
    const EntryTrace small{.entry = 1, .trace = "T", .times = {1.0f, 2.0f}, .intensities = {3.0f, 4.0f}};

    const auto block = [&](const std::vector<std::vector<EntryTrace>>& samples) {
        Batch::HtmlReportWriter writer;
        std::string page = writer.Head(results);
        for (const auto& traces : samples) writer.AddChromatograms(results.rows, traces);
        page += writer.Tail(results);
        const size_t at = page.find("<script id=\"quan-chromatograms\"");
        return at == std::string::npos ? std::string() : page.substr(at, page.find("</script>", at) - at);
    };
    const std::string none = block({});
    EXPECT_NE(none.find("\"panels\":null"), std::string::npos) << none;
    EXPECT_NE(none.find("peak lists"), std::string::npos) << none;

    const std::string two = block({{small}, {small}});
    EXPECT_NE(two.find("\"panels\":[{\"s\":0,\"e\":1,"), std::string::npos) << two;
    EXPECT_NE(two.find("]]},{\"s\":0,\"e\":1,"), std::string::npos) << "both samples' panels: " << two;

    // About 4 MB of points a sample: the third sample passes the budget, and then nothing is kept.
    EntryTrace large = small;
    large.times.assign(400000, 1.0f);
    large.intensities.assign(400000, 2.0f);
    const std::string over = block({{large}, {large}, {large}, {large}, {small}});
    EXPECT_NE(over.find("\"panels\":null"), std::string::npos);
    EXPECT_NE(over.find("quan-review"), std::string::npos) << over.substr(0, 400);
    EXPECT_LT(over.size(), 1000u);
    // The note gives the size of them all: past the budget it is estimated from the points.
    const double one = static_cast<double>(block({{large}}).size()) / (1 << 20);
    const size_t about = over.find("(about ");
    ASSERT_NE(about, std::string::npos) << over;
    EXPECT_NEAR(std::stod(over.substr(about + 7)), 4.0 * one, 0.1) << over;
}

}  // namespace
