// Panels of the review views as JSON (ChromatogramJson.h).
#include "workflow/output/ChromatogramJson.h"

#include <charconv>
#include <cmath>
#include <iterator>

#include "workflow/output/HtmlReport.h"

namespace Batch {

namespace {

std::string Number(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

}  // namespace

std::string Base64(std::string_view bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    const auto byte = [&bytes](size_t k) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[k])); };
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned group = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
        for (int shift = 18; shift >= 0; shift -= 6) text += kAlphabet[(group >> shift) & 63];
    }
    const size_t rest = bytes.size() - i;
    if (rest > 0) {
        const unsigned group = byte(i) << 16 | (rest == 2 ? byte(i + 1) << 8 : 0);
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += rest == 2 ? kAlphabet[(group >> 6) & 63] : '=';
        text += '=';
    }
    return text;
}

std::string PanelJson(int sampleIndex, int entry, const PanelPeak* peak, const std::vector<const EntryTrace*>& traces) {
    const EntryTrace* first = traces.empty() ? nullptr : traces.front();
    std::string json = "{\"s\":" + std::to_string(sampleIndex) + ",\"e\":" + std::to_string(entry) +
                       ",\"is\":" + std::to_string(first ? first->internalStandard : 0) +
                       ",\"pred\":" + Number(first ? first->predictedRT : NAN) +
                       ",\"lo\":" + Number(first ? first->windowStart : NAN) +
                       ",\"hi\":" + Number(first ? first->windowEnd : NAN) + ",\"peak\":";
    // Appended piece by piece: g++ 12 warns (wrongly) of an overlapping copy in "[" + string.
    if (peak != nullptr) {
        const double numbers[] = {peak->foundRT, peak->startRT, peak->endRT, peak->startHeight, peak->endHeight};
        json += '[';
        for (size_t i = 0; i < std::size(numbers); ++i) {
            if (i > 0) json += ',';
            json += Number(numbers[i]);
        }
        json += ']';
    } else
        json += "null";
    json += ",\"tr\":[";
    for (size_t i = 0; i < traces.size(); ++i) {
        const EntryTrace& trace = *traces[i];
        json += i > 0 ? ",[" : "[";
        json += std::to_string(trace.slot);
        json += ',';
        json += JsonString(trace.trace);
        json += ',';
        json += Number(trace.overlayScale);
        json += ",\"";
        json += Base64(EncodeFloats(trace.times));
        json += "\",\"";
        json += Base64(EncodeFloats(trace.intensities));
        json += "\"]";
    }
    return json + "]}";
}

}  // namespace Batch
