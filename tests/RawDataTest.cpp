// The raw-data readers: mzML files written here from known arrays in every encoding the format
// allows (so expected values are the arrays themselves), a cut of a real MRM file whose values
// were decoded independently, detector text exports of every separator, and the problems bad
// files must produce.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <libmsnumpress/MSNumpress.hpp>
#include <numeric>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "quan.h"
#include "rawdata/BinaryArray.h"

namespace {
using RawData::Chromatogram;
using RawData::ReadResult;
namespace numpress = ms::numpress::MSNumpress;

// --- an mzML writer for the tests ----------------------------------------------------------------

std::string Base64(const std::vector<unsigned char>& bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t k = 0; k < bytes.size(); k += 3) {
        const unsigned group = bytes[k] << 16 | (k + 1 < bytes.size() ? bytes[k + 1] << 8 : 0) |
                               (k + 2 < bytes.size() ? bytes[k + 2] : 0);
        for (size_t c = 0; c < 4; ++c)
            text += c <= bytes.size() - k ? kAlphabet[(group >> (18 - 6 * c)) & 63] : '=';
    }
    return text;
}

enum Scheme { kPlain64, kPlain32, kLinear, kPic, kSlof };

struct Encoding {
    Scheme scheme;
    bool zlib;
};

std::vector<unsigned char> Encoded(const std::vector<double>& values, Encoding encoding) {
    std::vector<unsigned char> bytes;
    const auto append = [&](const void* data, size_t size) {
        bytes.insert(bytes.end(), static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + size);
    };
    for (double value : values) {
        const float single = static_cast<float>(value);
        if (encoding.scheme == kPlain64) append(&value, 8);
        if (encoding.scheme == kPlain32) append(&single, 4);
    }
    if (encoding.scheme == kLinear) numpress::encodeLinear(values, bytes, numpress::optimalLinearFixedPoint(values.data(), values.size()));
    if (encoding.scheme == kPic) numpress::encodePic(values, bytes);
    if (encoding.scheme == kSlof) numpress::encodeSlof(values, bytes, numpress::optimalSlofFixedPoint(values.data(), values.size()));
    if (!encoding.zlib) return bytes;
    std::vector<unsigned char> packed(compressBound(bytes.size()));
    uLongf size = packed.size();
    compress2(packed.data(), &size, bytes.data(), bytes.size(), 6);
    packed.resize(size);
    return packed;
}

std::string Param(const char* accession, const std::string& value = "", const std::string& extra = "") {
    return "<cvParam cvRef=\"MS\" accession=\"" + std::string(accession) + "\" name=\"x\" value=\"" + value + "\"" + extra + "/>";
}

std::string Number(double value) { return RawData::TraceOf(value, 0, ""); }

// The cvParams that name an encoding.
std::string EncodingParams(Encoding encoding) {
    static const char* const kPlain[] = {"MS:1000523", "MS:1000521"};
    static const char* const kNumpress[][2] = {{"MS:1002312", "MS:1002746"}, {"MS:1002313", "MS:1002747"},
                                               {"MS:1002314", "MS:1002748"}};
    const std::string compression = Param(encoding.zlib ? "MS:1000574" : "MS:1000576");
    if (encoding.scheme <= kPlain32) return Param(kPlain[encoding.scheme]) + compression;
    const char* const* numpress = kNumpress[encoding.scheme - kLinear];
    return Param("MS:1000523") + Param(numpress[encoding.zlib]);
}

std::string ArrayXml(const std::vector<double>& values, Encoding encoding, const std::string& kindParam) {
    return "<binaryDataArray encodedLength=\"0\">" + EncodingParams(encoding) + kindParam + "<binary>" +
           Base64(Encoded(values, encoding)) + "</binary></binaryDataArray>";
}

const std::string kMinutes = " unitCvRef=\"UO\" unitAccession=\"UO:0000031\" unitName=\"minute\"";
const std::string kSeconds = " unitCvRef=\"UO\" unitAccession=\"UO:0000010\" unitName=\"second\"";

std::string TargetXml(const char* element, double mz) {
    if (mz <= 0.0) return "";
    return "<" + std::string(element) + "><isolationWindow>" + Param("MS:1000827", Number(mz)) + "</isolationWindow></" +
           element + ">";
}

struct WrittenChromatogram {
    std::string id;
    double q1 = 0.0, q3 = 0.0;
    std::vector<double> times, intensities;
    Encoding timeEncoding{kPlain64, false}, intensityEncoding{kPlain32, false};
    std::string timeUnit = kMinutes;
};

std::string ChromatogramXml(const WrittenChromatogram& c, int index) {
    return "<chromatogram index=\"" + std::to_string(index) + "\" id=\"" + c.id + "\" defaultArrayLength=\"" +
           std::to_string(c.times.size()) + "\">" + TargetXml("precursor", c.q1) + TargetXml("product", c.q3) +
           "<binaryDataArrayList count=\"2\">" + ArrayXml(c.times, c.timeEncoding, Param("MS:1000595", "", c.timeUnit)) +
           ArrayXml(c.intensities, c.intensityEncoding, Param("MS:1000515")) + "</binaryDataArrayList></chromatogram>\n";
}

std::string Mzml(const std::string& spectra, const std::string& chromatograms, bool indexed = false) {
    std::string run = "<mzML xmlns=\"http://psi.hupo.org/ms/mzml\" version=\"1.1.0\"><run id=\"r\">";
    if (!spectra.empty()) run += "<spectrumList count=\"1\">" + spectra + "</spectrumList>";
    if (!chromatograms.empty()) run += "<chromatogramList count=\"1\">" + chromatograms + "</chromatogramList>";
    run += "</run></mzML>";
    if (!indexed) return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n" + run;
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<indexedmzML xmlns=\"http://psi.hupo.org/ms/mzml\">" + run +
           "<indexList count=\"1\"><index name=\"chromatogram\"><offset idRef=\"c\">120</offset></index></indexList>"
           "<indexListOffset>999</indexListOffset></indexedmzML>";
}

// One MS1 scan over 100-400 m/z at a time in seconds; `extra` goes inside the <spectrum>.
std::string SpectrumXml(size_t index, double seconds, const std::vector<double>& mz, const std::vector<double>& intensity,
                        const std::string& extra = "") {
    return "<spectrum index=\"" + std::to_string(index) + "\" id=\"function=1 scan=" + std::to_string(index + 1) +
           "\" defaultArrayLength=\"" + std::to_string(mz.size()) + "\">" + Param("MS:1000511", "1") + extra +
           "<scanList count=\"1\"><scan>" + Param("MS:1000016", Number(seconds), kSeconds) +
           "<scanWindowList count=\"1\"><scanWindow>" + Param("MS:1000501", "100") + Param("MS:1000500", "400") +
           "</scanWindow></scanWindowList></scan></scanList><binaryDataArrayList count=\"2\">" +
           ArrayXml(mz, {kPlain64, true}, Param("MS:1000514")) + ArrayXml(intensity, {kLinear, false}, Param("MS:1000515")) +
           "</binaryDataArrayList></spectrum>";
}

// The text with the first `from` replaced, or a text that names the missing pattern.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    return at == std::string::npos ? std::string("pattern not found: ") + from : text.replace(at, from.size(), to);
}

ReadResult Read(const std::string& text, const std::vector<std::string>& traces) {
    std::vector<RawData::TraceRequest> requests;
    for (const std::string& trace : traces) requests.push_back(RawData::MakeTraceRequest(trace));
    ReadResult result;
    RawData::ReadMzmlBuffer(text, "test.mzML", requests, result);
    return result;
}

// A peak of whole counts over 40 points 0.0625 min apart (exact in every precision).
const std::vector<double> kTimes = [] {
    std::vector<double> times;
    for (int k = 0; k < 40; ++k) times.push_back(1.0 + 0.0625 * k);
    return times;
}();
const std::vector<double> kCounts = [] {
    std::vector<double> counts;
    for (int k = 0; k < 40; ++k) counts.push_back(50.0 + std::round(1000.0 * std::exp(-(k - 20) * (k - 20) / 16.0)));
    return counts;
}();

}  // namespace

TEST(RawDataMzml, DecodesEveryEncodingTimeUnitAndLayout) {
    const struct {
        Encoding times, intensities;
        double relativeError;  // what the lossy Numpress schemes may change
    } cases[] = {
        {{kPlain32, false}, {kPlain64, false}, 0.0},
        {{kPlain64, true}, {kPlain32, true}, 0.0},    {{kLinear, false}, {kPic, false}, 1e-9},
        {{kLinear, true}, {kPic, true}, 1e-9},        {{kLinear, false}, {kSlof, false}, 2e-4},
        {{kPlain32, true}, {kSlof, true}, 2e-4},
    };
    for (const auto& c : cases)
        for (const bool seconds : {false, true})
            for (const bool indexed : {false, true}) {
                WrittenChromatogram made{"SRM SIC Q1=216.1 Q3=174.1", 216.1, 174.1, kTimes, kCounts, c.times, c.intensities};
                if (seconds) {
                    made.timeUnit = kSeconds;
                    for (double& time : made.times) time *= 60.0;
                }
                const ReadResult result = Read(Mzml("", ChromatogramXml(made, 0), indexed), {"216.1>174.1"});
                SCOPED_TRACE(testing::Message() << "case " << &c - cases << " seconds " << seconds << " indexed " << indexed);
                ASSERT_TRUE(result.Ok()) << result.problems[0].Text();
                ASSERT_EQ(result.chromatograms.size(), 1u);
                const Chromatogram& read = result.chromatograms[0];
                ASSERT_EQ(read.times.size(), kTimes.size());
                ASSERT_EQ(read.intensities.size(), kCounts.size());
                for (size_t k = 0; k < kTimes.size(); ++k) {
                    EXPECT_NEAR(read.times[k], kTimes[k], kTimes[k] * 1e-9) << k;
                    EXPECT_NEAR(read.intensities[k], kCounts[k], kCounts[k] * c.relativeError) << k;
                }
            }
    // Some writers wrap base64 in lines or leave out the padding; the bytes are the same. A text
    // is read to its end and no further, though more digits may follow it in memory.
    const struct {
        std::string_view text;
        const char* bytes;  // empty: refused
    } texts[] = {{"TWFueSBoYW5kcw==", "Many hands"}, {"TWFu\neSBo\r\nYW5k cw==", "Many hands"},
                 {"TWFueSBoYW5kcw", "Many hands"},   {std::string_view("TWFueSBoYW5kcyEAAAA", 15), "Many hands!"},
                 {"TWE=TWE=", ""},                   {"TWFue", ""}};
    for (const auto& t : texts) {
        std::vector<unsigned char> bytes;
        const std::string problem = RawData::DecodeBase64(t.text, bytes);
        EXPECT_EQ(problem.empty() ? std::string(bytes.begin(), bytes.end()) : std::string(), t.bytes) << t.text;
    }
    // Integer arrays read as their numbers; bytes that are not whole values, or Numpress data
    // without its fixed point, are refused (an empty Numpress integer array is just empty).
    using RawData::Compression;
    using RawData::Precision;
    const struct {
        const char* base64;
        RawData::ArrayEncoding encoding;
        std::vector<double> values;
        const char* problem;
    } arrays[] = {
        {"AQAAAAIAAAA=", {Precision::Int32, Compression::None}, {1, 2}, ""},
        {"//////////8=", {Precision::Int64, Compression::None}, {-1}, ""},
        {"AAAAAAAA", {Precision::Float32, Compression::None}, {}, "binary data of 6 bytes is not a whole number of 32-bit values"},
        {"AAAAAA==", {Precision::Float64, Compression::None}, {}, "binary data of 4 bytes is not a whole number of 64-bit values"},
        {"AA==", {Precision::Int32, Compression::None}, {}, "binary data of 1 byte is not a whole number of 32-bit values"},
        {"", {Precision::Unknown, Compression::NumpressLinear}, {}, "Numpress data is empty (no fixed point)"},
        {"", {Precision::Unknown, Compression::NumpressSlof}, {}, "Numpress data is empty (no fixed point)"},
        {"", {Precision::Unknown, Compression::NumpressPic}, {}, ""},
    };
    RawData::BinaryArrayDecoder decoder;
    for (const auto& a : arrays) {
        std::vector<double> values = {99.0};
        EXPECT_EQ(decoder.Decode(a.base64, a.encoding, -1, values), a.problem) << a.base64;
        if (*a.problem == '\0') {
            EXPECT_EQ(values, a.values) << a.base64;
        }
    }
}

// A long, sparse trace (runs of exact zeros between counts, as real MRM traces have) compresses
// far more than most: it must still read back point for point.
TEST(RawDataMzml, AHighlyCompressedTraceReadsBackWhole) {
    std::vector<double> times, counts;
    for (int k = 0; k < 6000; ++k) {
        times.push_back(0.005 * k);
        counts.push_back(k % 500 == 250 ? 4096.0 + k : 0.0);
    }
    const WrittenChromatogram made{"SRM SIC Q1=216.1 Q3=174.1", 216.1, 174.1, times, counts, {kPlain64, true}, {kPlain32, true}};
    const ReadResult result = Read(Mzml("", ChromatogramXml(made, 0)), {"216.1>174.1"});
    ASSERT_TRUE(result.Ok()) << result.problems[0].Text();
    ASSERT_EQ(result.chromatograms.size(), 1u);
    EXPECT_EQ(result.chromatograms[0].times, times);
    EXPECT_EQ(result.chromatograms[0].intensities, counts);
}

TEST(RawDataMzml, KeepsOnlyTheClosestChromatogramOfEachRequestedTrace) {
    const std::vector<double> counts(kTimes.size(), 7.0);
    std::string chromatograms;
    const WrittenChromatogram written[] = {
        {"TIC", 0, 0, kTimes, counts},
        {"far", 216.3, 174.0, kTimes, counts},     // within the 1.0 Da window, but farther
        {"near", 216.1, 174.12, kTimes, counts},   // the closest: it wins though it comes later
        {"qualifier", 216.1, 130.0, kTimes, counts},
        {"sim", 304.2, 0, kTimes, counts},         // a selected-ion chromatogram: precursor only
        {"function=2 transition", 250.0, 100.0, kTimes, counts},
        {"wide", 221.0, 90.0, kTimes, counts},     // 2 Da off: only a 5 Da window reaches it
    };
    for (size_t k = 0; k < std::size(written); ++k) chromatograms += ChromatogramXml(written[k], static_cast<int>(k));
    CMethodList method;
    const struct {
        const char* quan;
        const char* qualifier;
        int function;
        float windowDa;  // 0: the default 1 Da
    } entries[] = {{"216.1>174.1", "216.1 > 130", 0, 0}, {"304.2", "", 0, 0}, {"tic", "", 0, 0},
                   {"250>100", "", 3, 0}, {"216.1>174.1", "", 2, 0}, {"999>1", "", 0, 0},
                   {"219>90", "", 0, 5.0f}, {"221.9>90", "", 0, 0}};
    for (const auto& e : entries) {
        CMethodData entry;
        entry.SetQuanTrace(e.quan);
        entry.SetTargetTrace(0, e.qualifier);
        entry.SetRawAcquisitionFunction(e.function);
        entry.SetChroMassWindowAbs(1);
        entry.SetChroMassWindowABS(e.windowDa);
        method.Add(entry);
    }
    ReadResult result;
    ASSERT_TRUE(RawData::ReadMzmlBuffer(Mzml("", chromatograms), "m.mzML", RawData::BuildTraceRequests(method), result));
    std::vector<std::string> read;
    for (const Chromatogram& c : result.chromatograms) read.push_back(c.id + " as " + c.trace + " f" + std::to_string(c.function));
    // File order; a file without functions takes the entry's function; "250>100" is acquired in
    // function 2, not the 3 the entry names.
    EXPECT_EQ(read, (std::vector<std::string>{"TIC as tic f0", "near as 216.1>174.1 f0", "near as 216.1>174.1 f2",
                                              "qualifier as 216.1 > 130 f0", "sim as 304.2 f0", "wide as 219>90 f0"}));
    EXPECT_EQ(result.unmatched, (std::vector<std::string>{"250>100", "999>1", "221.9>90"}));
}

TEST(RawDataTraceRequest, MatchesWithinTheEntrysWindow) {
    const struct {
        const char* trace;
        double windowDa, windowPpm;
        int function;
        double q1, q3;
        const char* name;
        int chromatogramFunction;
        bool matches;
    } cases[] = {
        {"216.1>174.1", 1.0, 0, 0, 216.6, 173.6, "", 0, true},   // half the window, inclusive
        {"216.1>174.1", 1.0, 0, 0, 216.61, 174.1, "", 0, false},
        {"304.2", 1.0, 0, 0, 304.2, 150.0, "", 0, false},        // nor the reverse
        {"500", 0, 20, 0, 500.005, 0, "", 0, true},               // 20 ppm of 500 is 0.01 wide
        {"1>2>3", 1.0, 0, 0, 1, 3, "1>2>3", 0, true},            // more than two masses: a name
    };
    for (const auto& c : cases) {
        double distance = 0.0;
        const RawData::TraceRequest request = RawData::MakeTraceRequest(c.trace, c.windowDa, c.windowPpm, c.function);
        EXPECT_EQ(RawData::MatchesRequest(request, c.q1, c.q3, c.name, c.chromatogramFunction, distance), c.matches)
            << c.trace << " against " << c.q1 << ">" << c.q3 << " " << c.name;
    }
}

// Masses within the window are summed per scan, sorted or not; a scan whose window covers the
// mass but holds nothing there is a zero, not a gap.
TEST(RawDataMzml, SpectraBecomeExtractedTraces) {
    const struct {
        double seconds;
        std::vector<double> mz, intensity;
    } spectra[] = {
        {60.0, {150.0, 304.15, 304.25, 304.9}, {5, 10, 20, 40}},
        {63.0, {304.3, 150.0, 304.0}, {7, 1, 2}},
        {69.0, {}, {}},
    };
    std::string xml;
    for (size_t k = 0; k < std::size(spectra); ++k) xml += SpectrumXml(k, spectra[k].seconds, spectra[k].mz, spectra[k].intensity);
    const ReadResult result = Read(Mzml(xml, ""), {"304.2"});
    ASSERT_TRUE(result.Ok()) << result.problems[0].Text();
    ASSERT_EQ(result.chromatograms.size(), 1u);
    const Chromatogram& c = result.chromatograms[0];
    const double minutes[] = {1.0, 1.05, 1.15}, sums[] = {30, 9, 0};  // 304.15 + 304.25; 304.3 + 304.0
    ASSERT_EQ(c.times.size(), 3u);
    for (size_t p = 0; p < 3; ++p) {
        EXPECT_NEAR(c.times[p], minutes[p], 1e-12);
        EXPECT_NEAR(c.intensities[p], sums[p], 1e-6);
    }
    EXPECT_EQ(c.scans, (std::vector<int>{1, 2, 3}));

    // A transition is extracted from the product spectra of its precursor; of two functions
    // acquiring it, the one with more spectra gives the trace.
    const auto product = [](size_t index, double seconds, int function, const char* precursor, std::vector<double> mz,
                            std::vector<double> intensity) {
        const std::string selected = "<precursorList count=\"1\"><precursor><selectedIonList count=\"1\"><selectedIon>" +
                                     Param("MS:1000744", precursor) + "</selectedIon></selectedIonList></precursor></precursorList>";
        return Replaced(Replaced(SpectrumXml(index, seconds, mz, intensity, selected), "value=\"1\"", "value=\"2\""),
                        "function=1", "function=" + std::to_string(function));
    };
    const std::string products = product(0, 60.0, 1, "304.2", {150.0, 200.0}, {10, 5}) +
                                 product(1, 61.2, 1, "304.2", {150.1}, {20}) + product(2, 61.8, 2, "304.2", {150.0}, {99}) +
                                 SpectrumXml(3, 62.4, {150.0}, {1000}) + product(4, 63.0, 1, "500", {150.0}, {7});
    const ReadResult transitions = Read(Mzml(products, ""), {"304.2>150"});
    ASSERT_TRUE(transitions.Ok()) << transitions.problems[0].Text();
    ASSERT_EQ(transitions.chromatograms.size(), 1u);
    const Chromatogram& transition = transitions.chromatograms[0];
    EXPECT_EQ(transition.times, (std::vector<double>{1.0, 1.02}));
    EXPECT_EQ(transition.intensities, (std::vector<double>{10, 20}));
    EXPECT_EQ(std::tuple(transition.precursorMz, transition.productMz, transition.function), std::tuple(304.2, 150.0, 1));
}

TEST(RawDataMzml, ReadsACutOfARealMrmFile) {
    std::ifstream file(std::string(QUAN_SOURCE_DIR) + "/tests/data/yeast-cut.mzML", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const ReadResult result = Read(text, {"201>129.9", "179>136", "173>131", "201>130.5"});
    ASSERT_TRUE(result.Ok()) << result.problems[0].Text();
    // Decoded independently from the file's base64 (64-bit times, 32-bit counts).
    const struct {
        const char* trace;
        size_t points;
        double first, last, sum, apexTime, apex;
    } expected[] = {
        {"179>136", 70, 0.6434, 1.15075, 330186.0, 0.8574666666666667, 14145.0},
        {"173>131", 92, 0.6434, 1.4256666666666666, 1848805.0, 0.9935833333333334, 69585.0},
        {"201>129.9", 157, 14.011283333333333, 16.013533333333335, 5114.0, 14.08275, 374.0},
    };
    ASSERT_EQ(result.chromatograms.size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
        const Chromatogram& c = result.chromatograms[k];
        EXPECT_EQ(c.trace, expected[k].trace);
        ASSERT_EQ(c.times.size(), expected[k].points);
        EXPECT_DOUBLE_EQ(c.times.front(), expected[k].first);
        EXPECT_DOUBLE_EQ(c.times.back(), expected[k].last);
        EXPECT_DOUBLE_EQ(std::accumulate(c.intensities.begin(), c.intensities.end(), 0.0), expected[k].sum);
        const auto apex = std::max_element(c.intensities.begin(), c.intensities.end());
        EXPECT_DOUBLE_EQ(*apex, expected[k].apex);
        EXPECT_DOUBLE_EQ(c.times[apex - c.intensities.begin()], expected[k].apexTime);
    }
    EXPECT_EQ(result.unmatched, std::vector<std::string>{"201>130.5"});  // 129.9 is 0.6 away
}

TEST(RawDataMzml, ReportsEachProblemWithWhereAndWhat) {
    WrittenChromatogram made{"c1", 216.1, 174.1, kTimes, kCounts};
    const std::string good = Mzml("", ChromatogramXml(made, 0));
    made.timeEncoding = {kPlain64, true};
    const std::string zlib = Mzml("", ChromatogramXml(made, 0));
    const auto fileOf = [](std::vector<double> times, std::vector<double> counts) {
        return Mzml("", ChromatogramXml({"c1", 216.1, 174.1, std::move(times), std::move(counts)}, 0));
    };
    const std::string twoLengths = fileOf(kTimes, std::vector<double>(39, 1.0));
    const std::string timeKind = "MS:1000595\" name=\"x\" value=\"\"" + kMinutes, intensityKind = "MS:1000515\" name=\"x\" value=\"\"";
    const std::string spectrum = Mzml(SpectrumXml(0, 60.0, {304.2}, {10.0}), "");
    const char* const scan = "spectrum index 0 (\"function=1 scan=1\")";
    std::string badZlib = zlib;
    badZlib.replace(badZlib.find("<binary>") + 12, 4, "AAAA");
    const struct {
        std::string text;
        const char* where;
        const char* message;
    } cases[] = {
        {good.substr(0, good.size() / 2), "chromatogram \"c1\"", "malformed XML"},
        {Replaced(good, "<binary>", "<binary>#"), "chromatogram \"c1\"", "time array: invalid base64: character '#'"},
        {badZlib, "chromatogram \"c1\"", "time array: zlib data is corrupt"},
        {twoLengths, "chromatogram \"c1\"", "intensity array: the binary array holds 39 values where its length says 40"},
        {Replaced(Replaced(twoLengths, "<binaryDataArray encodedLength=\"0\">", "<binaryDataArray arrayLength=\"40\">"),
                  "<binaryDataArray encodedLength=\"0\">", "<binaryDataArray arrayLength=\"39\">"),
         "chromatogram \"c1\"", "the time array holds 40 values and the intensity array 39"},
        {fileOf({1.0, 0.9}, {1, 2}), "chromatogram \"c1\"", "time goes backwards at point 2 (0.9 after 1)"},
        {fileOf({1.0, 2.0}, {1, NAN}), "chromatogram \"c1\"", "intensity at point 2 is not a finite number"},
        {Replaced(good, "MS:1000576", "MS:1009999"), "chromatogram \"c1\"", "time array: the binary array names no known compression"},
        {"<?xml version=\"1.0\"?><TraML/>", "", "not an mzML file (the document is <TraML>)"},
        // What a chromatogram's arrays must say: their kind, the time unit, one array of each.
        {Replaced(Replaced(good, "<binary>", "<userParam name=\"b\" value=\""), "</binary>", "\"/>"), "chromatogram \"c1\"",
         "a binary data array has no <binary> element"},
        {Replaced(good, kMinutes, ""), "chromatogram \"c1\"", "the time array names no unit (minute or second)"},
        {Replaced(good, "UO:0000031", "UO:0000221"), "chromatogram \"c1\"", "the time array's unit UO:0000221 is not a time unit"},
        {Replaced(good, intensityKind, timeKind), "chromatogram \"c1\"", "has two time arrays"},
        {Replaced(good, timeKind, intensityKind), "chromatogram \"c1\"", "has two intensity arrays"},
        {Replaced(good, "MS:1000595", "MS:1000516"), "chromatogram \"c1\"", "has no time array"},
        {Replaced(good, "MS:1000515", "MS:1000516"), "chromatogram \"c1\"", "has no intensity array"},
        {Replaced(good, "defaultArrayLength=\"40\"", "defaultArrayLength=\"4O\""), "chromatogram \"c1\"",
         "defaultArrayLength \"4O\" is not a count"},
        {Replaced(good, "<binaryDataArray encodedLength=\"0\">", "<binaryDataArray arrayLength=\"-40\">"),
         "chromatogram \"c1\"", "arrayLength \"-40\" is not a count"},
        {Replaced(good, "value=\"216.1\"", "value=\"216,1\""), "chromatogram \"c1\"",
         "isolation window target m/z \"216,1\" is not a number"},
        // And a spectrum's: a scan time in a time unit, an m/z array, readable levels and windows,
        // and times that go forwards.
        {Mzml(SpectrumXml(0, 60.0, {304.2}, {1}) + SpectrumXml(1, 60.0, {304.2}, {2}), ""),
         "spectrum index 1 (\"function=1 scan=2\")", "time repeats (1 min after 1 min in the spectra before)"},
        {Mzml(SpectrumXml(0, 63.0, {304.2}, {1}) + SpectrumXml(1, 60.0, {304.2}, {2}), ""),
         "spectrum index 1 (\"function=1 scan=2\")", "time goes backwards (1 min after 1.05 min in the spectra before)"},
        {Replaced(spectrum, "MS:1000016", "MS:1000017"), scan, "has no scan start time"},
        {Replaced(spectrum, kSeconds, ""), scan, "the scan start time names no unit (minute or second)"},
        {Replaced(spectrum, "UO:0000010", "UO:0000221"), scan, "the scan start time's unit is not a time unit"},
        {Replaced(spectrum, "value=\"60\"", "value=\"1 min\""), scan, "scan start time \"1 min\" is not a number"},
        {Replaced(spectrum, "MS:1000514", "MS:1000516"), scan, "has no m/z array"},
        {Replaced(spectrum, "MS:1000515", "MS:1000514"), scan, "has two m/z arrays"},
        {Replaced(spectrum, "MS:1000515", "MS:1000516"), scan, "has no intensity array"},
        {Replaced(spectrum, "value=\"1\"", "value=\"MS1\""), scan, "ms level \"MS1\" is not a count"},
        {Replaced(spectrum, "value=\"100\"", "value=\"low\""), scan, "scan window limit \"low\" is not a number"},
        {Replaced(spectrum, "<scanList", "<referenceableParamGroupRef ref=\"nowhere\"/><scanList"), scan,
         "names an undefined parameter group"},
        {Mzml(SpectrumXml(0, 60.0, {304.2}, {10.0}, "<precursorList count=\"1\"><precursor><selectedIonList count=\"1\">"
                                                      "<selectedIon>" + Param("MS:1000744", "n/a") + "</selectedIon>"
                                                      "</selectedIonList></precursor></precursorList>"), ""),
         scan, "selected ion m/z \"n/a\" is not a number"},
    };
    for (const auto& c : cases) {
        const ReadResult result = Read(c.text, {"216.1>174.1", "304.2"});
        // The first problem of its kind; a truncated file may also have cut a base64 text short.
        const auto reported = std::find_if(result.problems.begin(), result.problems.end(), [&](const RawData::Problem& p) {
            return p.file == "test.mzML" && p.where == c.where && p.message.find(c.message) != std::string::npos;
        });
        EXPECT_NE(reported, result.problems.end()) << c.message << "; first: " << (result.problems.empty() ? "none" : result.problems[0].Text());
    }
    // A chromatogram nobody asked for is not decoded, so its faults do not matter.
    EXPECT_TRUE(Read(Replaced(good, "<binary>", "<binary>#"), {"100>50"}).Ok());
    ReadResult missing;
    EXPECT_FALSE(RawData::ReadRawFile("/nonexistent/x.mzML", {}, missing));
    EXPECT_EQ(missing.problems.at(0).Text(), "/nonexistent/x.mzML: cannot open the file");
}

TEST(RawDataText, ReadsTablesOfEverySeparatorAndNumberStyle) {
    std::ifstream file(std::string(QUAN_SOURCE_DIR) + "/tests/data/uv-cut.txt", std::ios::binary);
    const std::string uv((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const struct {
        std::string text;
        const char* fileName;
        const char* channel;
        std::vector<double> times, signals;
    } cases[] = {
        {uv, "10ug.txt", "UV_VIS_2", {4.856667, 4.86, 4.863333}, {-0.023094, -0.016561, -0.014545}},
        {"Time (min)\tValue (mAU)\n1.5\t1,069.553806\n1.6\t-2,001,000\n", "d/fid.txt", "fid", {1.5, 1.6}, {1069.553806, -2001000}},
        {"\xEF\xBB\xBF" "Channel\tFID A\r\nRT [s],Signal\r\n6,2.5\r\n\r\n12,3e2\r\n", "x.csv", "FID A", {0.1, 0.2}, {2.5, 300}},
        {"Detector\tUV\n\nZeit;Retention Time (sec);Intensity\nx;30;1,5\ny;45;+2\n", "de.txt", "de", {0.5, 0.75}, {1.5, 2}},
        {"\"Time (min)\",\"Value\"\r\n \"1.5\" ,\t\"-7\"\r\n\"1.6\",\"8\" \r\n", "q.csv", "q", {1.5, 1.6}, {-7, 8}},  // quoted cells
    };
    for (const auto& c : cases) {
        ReadResult result;
        ASSERT_TRUE(RawData::ReadTextChromatogram(c.text, c.fileName, {}, result)) << result.problems[0].Text();
        ASSERT_EQ(result.chromatograms.size(), 1u);
        const Chromatogram& read = result.chromatograms[0];
        EXPECT_EQ(read.id, c.channel);
        EXPECT_EQ(read.trace, c.channel);
        ASSERT_GE(read.times.size(), c.times.size());
        for (size_t k = 0; k < c.times.size(); ++k) {
            EXPECT_NEAR(read.times[k], c.times[k], 1e-12) << c.fileName;
            EXPECT_DOUBLE_EQ(read.intensities[k], c.signals[k]) << c.fileName;
        }
    }
}

TEST(RawDataText, ReportsEveryRowThatDoesNotParse) {
    const struct {
        const char* text;
        std::vector<std::string> problems;
    } cases[] = {
        {"Time (min)\tValue\n1\t1,5\n2\t1,0000\n3\tabc\n4\n5\tinf\n4.5\t1\n4.5\t2\n",
         {"t.txt:2: signal \"1,5\" is not a number", "t.txt:3: signal \"1,0000\" is not a number",
          "t.txt:4: signal \"abc\" is not a number", "t.txt:5: the row has 1 columns, the table 2 or more",
          "t.txt:6: the row holds a number that is not finite", "t.txt:8: time repeats (4.5 min after 4.5 min)"}},
        {"Channel\tUV\nTime Min. (min)\t0.0\n1\t2\n", {"t.txt: no table with a time column and a signal column (such as \"Time (min)\" and \"Value\")"}},
        {"Time\tValue\n1\t2\0", {"t.txt: not a text file (it holds NUL bytes; UTF-16 exports must be saved as UTF-8)"}},
    };
    for (const auto& c : cases) {
        ReadResult result;
        const std::string_view text(c.text, std::string_view(c.text).size() + (c.problems[0].find("NUL") != std::string::npos));
        EXPECT_FALSE(RawData::ReadTextChromatogram(text, "t.txt", {}, result));
        std::vector<std::string> problems;
        for (const RawData::Problem& problem : result.problems) problems.push_back(problem.Text());
        EXPECT_EQ(problems, c.problems);
        EXPECT_TRUE(result.chromatograms.empty());
    }
}
