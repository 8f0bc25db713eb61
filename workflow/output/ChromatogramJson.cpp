// Panels of the review views as JSON (ChromatogramJson.h).
#include "workflow/output/ChromatogramJson.h"

#include <charconv>
#include <cstdint>
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

namespace {

// What the two forms share: everything of a panel up to its traces.
std::string PanelHead(int sampleIndex, int entry, const PanelPeak* peak, const std::vector<const EntryTrace*>& traces) {
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
    return json + ",\"tr\":[";
}

void TraceHead(std::string& json, size_t index, const EntryTrace& trace) {
    json += index > 0 ? ",[" : "[";
    json += std::to_string(trace.slot);
    json += ',';
    json += JsonString(trace.trace);
    json += ',';
    json += Number(trace.overlayScale);
}

void PutUint32(std::string& bytes, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((value >> shift) & 0xFF);
}

}  // namespace

std::string PanelJson(int sampleIndex, int entry, const PanelPeak* peak, const std::vector<const EntryTrace*>& traces) {
    std::string json = PanelHead(sampleIndex, entry, peak, traces);
    for (size_t i = 0; i < traces.size(); ++i) {
        TraceHead(json, i, *traces[i]);
        json += ",\"";
        json += Base64(EncodeFloats(traces[i]->times));
        json += "\",\"";
        json += Base64(EncodeFloats(traces[i]->intensities));
        json += "\"]";
    }
    return json + "]}";
}

std::string PanelPackJson(int sampleIndex, int entry, const PanelPeak* peak, const std::vector<const EntryTrace*>& traces,
                          std::string& values) {
    std::string json = PanelHead(sampleIndex, entry, peak, traces);
    for (size_t i = 0; i < traces.size(); ++i) {
        const EntryTrace& trace = *traces[i];
        TraceHead(json, i, trace);
        json += ',';
        json += std::to_string(values.size() / 4);
        json += ',';
        json += std::to_string(trace.times.size());
        json += ']';
        // A trace's intensities are as many as its times (the station refuses a damaged one).
        values += EncodeFloats(trace.times);
        values += EncodeFloats(trace.intensities);
    }
    return json + "]}";
}

std::string PanelPack(std::string_view header, std::string_view values) {
    const size_t padded = (header.size() + 3) / 4 * 4;
    if (padded > UINT32_MAX || values.size() % 4 != 0 || values.size() / 4 > UINT32_MAX) return std::string();
    std::string pack;
    pack.reserve(kPanelPackPrefix + padded + values.size());
    pack.append(kPanelPackMagic, 4);
    PutUint32(pack, static_cast<uint32_t>(padded));
    pack.append(header);
    pack.append(padded - header.size(), ' ');
    pack.append(values);
    return pack;
}

}  // namespace Batch
