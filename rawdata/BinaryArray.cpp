// Binary array decoding. The Numpress decoders of libmsnumpress write as many numbers as the
// bytes encode and signal corrupt input by throwing a C string; the output buffers are sized
// here from the input length by each scheme's densest encoding, so no input can make them
// write out of bounds, and their exceptions are caught here so none leaves the library.
#include "rawdata/BinaryArray.h"

#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <libmsnumpress/MSNumpress.hpp>

namespace RawData {
namespace {

namespace numpress = ms::numpress::MSNumpress;

struct AccessionEffect {
    std::string_view accession;
    Precision precision;
    Compression compression;
    bool zlibAfterNumpress;
};

// PSI-MS controlled vocabulary terms for binary data encodings.
constexpr AccessionEffect kEncodingTerms[] = {
    {"MS:1000521", Precision::Float32, Compression::Unknown, false},
    {"MS:1000523", Precision::Float64, Compression::Unknown, false},
    {"MS:1000519", Precision::Int32, Compression::Unknown, false},
    {"MS:1000522", Precision::Int64, Compression::Unknown, false},
    {"MS:1000576", Precision::Unknown, Compression::None, false},
    {"MS:1000574", Precision::Unknown, Compression::Zlib, false},
    {"MS:1002312", Precision::Unknown, Compression::NumpressLinear, false},
    {"MS:1002313", Precision::Unknown, Compression::NumpressPic, false},
    {"MS:1002314", Precision::Unknown, Compression::NumpressSlof, false},
    {"MS:1002746", Precision::Unknown, Compression::NumpressLinear, true},
    {"MS:1002747", Precision::Unknown, Compression::NumpressPic, true},
    {"MS:1002748", Precision::Unknown, Compression::NumpressSlof, true},
};

constexpr std::array<signed char, 256> MakeBase64Table() {
    std::array<signed char, 256> table{};
    for (auto& entry : table) entry = -1;
    constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int k = 0; k < 64; ++k) table[static_cast<unsigned char>(kAlphabet[k])] = static_cast<signed char>(k);
    return table;
}
constexpr auto kBase64 = MakeBase64Table();

bool IsNumpress(Compression compression) {
    return compression == Compression::NumpressLinear || compression == Compression::NumpressPic ||
           compression == Compression::NumpressSlof;
}

// A character as a message shows it: 'x', or its code for a control or non-ASCII byte.
std::string Shown(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f) return std::string("'") + c + "'";
    constexpr char kHex[] = "0123456789abcdef";
    return std::string("0x") + kHex[byte >> 4] + kHex[byte & 15];
}

bool IsBlank(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

std::string ByteCountText(size_t count) { return std::to_string(count) + (count == 1 ? " byte" : " bytes"); }

// Inflates `input` into `output`, refusing to grow beyond `limit` bytes (a zip bomb, or data
// longer than the array declares).
std::string Inflate(const std::vector<unsigned char>& input, size_t limit, std::vector<unsigned char>& output) {
    output.clear();
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return "zlib cannot start";
    stream.next_in = const_cast<unsigned char*>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    int status = Z_OK;
    size_t produced = 0;
    while (status == Z_OK) {
        if (produced == output.size()) {
            if (output.size() > limit) break;
            output.resize(std::min(limit + 1, std::max<size_t>(output.size() * 2, input.size() * 4 + 64)));
        }
        stream.next_out = output.data() + produced;
        stream.avail_out = static_cast<uInt>(output.size() - produced);
        status = inflate(&stream, Z_NO_FLUSH);
        produced = output.size() - stream.avail_out;
        if (status == Z_BUF_ERROR && stream.avail_in == 0) break;
        if (status == Z_BUF_ERROR && stream.avail_out == 0) status = Z_OK;
    }
    const bool ended = status == Z_STREAM_END;
    const bool tooLong = produced > limit;
    std::string message = stream.msg != nullptr ? stream.msg : "";
    inflateEnd(&stream);
    output.resize(produced);
    if (tooLong) return "zlib data expands beyond the declared array length";
    if (!ended && (status == Z_OK || status == Z_BUF_ERROR)) return "zlib data is truncated";
    if (!ended) return "zlib data is corrupt" + (message.empty() ? std::string() : " (" + message + ")");
    if (stream.avail_in != 0) return "zlib data is followed by " + ByteCountText(stream.avail_in) + " of other data";
    return "";
}

template <typename Stored>
void ConvertLittleEndian(const std::vector<unsigned char>& bytes, std::vector<double>& values) {
    const size_t count = bytes.size() / sizeof(Stored);
    values.resize(count);
    for (size_t k = 0; k < count; ++k) {
        Stored value;
        std::memcpy(&value, bytes.data() + k * sizeof(Stored), sizeof(Stored));
        values[k] = static_cast<double>(value);
    }
}

size_t WidthOf(Precision precision) {
    switch (precision) {
        case Precision::Float32:
        case Precision::Int32: return 4;
        case Precision::Float64:
        case Precision::Int64: return 8;
        case Precision::Unknown: break;
    }
    return 0;
}

std::string DecodePlain(const std::vector<unsigned char>& bytes, Precision precision, std::vector<double>& values) {
    const size_t width = WidthOf(precision);
    if (bytes.size() % width != 0)
        return "binary data of " + ByteCountText(bytes.size()) + " is not a whole number of " +
               std::to_string(width * 8) + "-bit values";
    switch (precision) {
        case Precision::Float32: ConvertLittleEndian<float>(bytes, values); break;
        case Precision::Float64: ConvertLittleEndian<double>(bytes, values); break;
        case Precision::Int32: ConvertLittleEndian<int32_t>(bytes, values); break;
        case Precision::Int64: ConvertLittleEndian<int64_t>(bytes, values); break;
        case Precision::Unknown: break;
    }
    return "";
}

// The most numbers `size` bytes can hold in each Numpress scheme: linear stores two 4-byte
// values after its 8-byte fixed point, then at least half a byte per number; positive integers
// take at least half a byte each; short logged floats exactly two bytes after the fixed point.
size_t NumpressCapacity(Compression compression, size_t size) {
    switch (compression) {
        case Compression::NumpressLinear: return size <= 16 ? 2 : 2 + 2 * (size - 16);
        case Compression::NumpressPic: return 2 * size;
        case Compression::NumpressSlof: return size <= 8 ? 0 : (size - 8) / 2;
        default: return 0;
    }
}

std::string DecodeNumpress(const std::vector<unsigned char>& bytes, Compression compression,
                           std::vector<double>& values) {
    if (compression == Compression::NumpressSlof && bytes.size() >= 8 && (bytes.size() - 8) % 2 != 0)
        return "Numpress short logged float data of " + ByteCountText(bytes.size()) + " has an odd length";
    if (bytes.empty()) {
        if (compression != Compression::NumpressPic) return "Numpress data is empty (no fixed point)";
        values.clear();
        return "";
    }
    values.assign(NumpressCapacity(compression, bytes.size()) + 1, 0.0);
    size_t count = 0;
    try {
        switch (compression) {
            case Compression::NumpressLinear: count = numpress::decodeLinear(bytes.data(), bytes.size(), values.data()); break;
            case Compression::NumpressPic: count = numpress::decodePic(bytes.data(), bytes.size(), values.data()); break;
            case Compression::NumpressSlof: count = numpress::decodeSlof(bytes.data(), bytes.size(), values.data()); break;
            default: break;
        }
    } catch (const char* what) {
        values.clear();
        return std::string("Numpress data is corrupt (") + what + ")";
    } catch (...) {
        values.clear();
        return "Numpress data is corrupt";
    }
    if (count > values.size()) {  // cannot happen with the capacities above; never trust it
        values.clear();
        return "Numpress data is corrupt";
    }
    values.resize(count);
    return "";
}

std::string CountText(long long count) { return std::to_string(count) + (count == 1 ? " value" : " values"); }

}  // namespace

bool SetEncodingFromAccession(std::string_view accession, ArrayEncoding& encoding) {
    for (const AccessionEffect& term : kEncodingTerms) {
        if (term.accession != accession) continue;
        if (term.precision != Precision::Unknown) encoding.precision = term.precision;
        // Some writers name Numpress and zlib (or "no compression") as two terms rather than
        // by the combined term; either order means the same.
        const bool numpressBefore = IsNumpress(encoding.compression);
        if (term.compression == Compression::None) {
            if (encoding.compression == Compression::Unknown) encoding.compression = Compression::None;
        } else if (term.compression == Compression::Zlib && numpressBefore) {
            encoding.zlibAfterNumpress = true;
        } else if (IsNumpress(term.compression)) {
            encoding.zlibAfterNumpress = term.zlibAfterNumpress || encoding.compression == Compression::Zlib;
            encoding.compression = term.compression;
        } else if (term.compression != Compression::Unknown) {
            encoding.compression = term.compression;
        }
        return true;
    }
    return false;
}

std::string DecodeBase64(std::string_view text, std::vector<unsigned char>& bytes) {
    // Written through a pointer into a buffer sized for the longest result and trimmed at the
    // end: a push_back per byte costs more than the decoding itself on large arrays.
    bytes.resize(text.size() / 4 * 3 + 3);
    unsigned char* out = bytes.data();
    uint32_t group = 0;
    int filled = 0;
    size_t padding = 0;
    size_t k = 0;
    while (k < text.size()) {
        // Whole groups of four digits (mzML writes its arrays on one line, with no blanks)
        // decode without looking at each character twice.
        if (filled == 0 && padding == 0 && k + 4 <= text.size()) {
            const int a = kBase64[static_cast<unsigned char>(text[k])];
            const int b = kBase64[static_cast<unsigned char>(text[k + 1])];
            const int c = kBase64[static_cast<unsigned char>(text[k + 2])];
            const int d = kBase64[static_cast<unsigned char>(text[k + 3])];
            if ((a | b | c | d) >= 0) {
                const uint32_t whole = static_cast<uint32_t>(a) << 18 | static_cast<uint32_t>(b) << 12 |
                                       static_cast<uint32_t>(c) << 6 | static_cast<uint32_t>(d);
                *out++ = static_cast<unsigned char>(whole >> 16);
                *out++ = static_cast<unsigned char>(whole >> 8);
                *out++ = static_cast<unsigned char>(whole);
                k += 4;
                continue;
            }
        }
        const char c = text[k];
        ++k;
        if (IsBlank(c)) continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int digit = kBase64[static_cast<unsigned char>(c)];
        if (digit < 0 || padding > 0) {
            bytes.clear();
            return "invalid base64: character " + Shown(c) + " at position " + std::to_string(k);
        }
        group = (group << 6) | static_cast<uint32_t>(digit);
        if (++filled == 4) {
            *out++ = static_cast<unsigned char>(group >> 16);
            *out++ = static_cast<unsigned char>(group >> 8);
            *out++ = static_cast<unsigned char>(group);
            group = 0;
            filled = 0;
        }
    }
    if (filled == 1 || padding > 2 || (padding > 0 && (filled + padding) % 4 != 0)) {
        bytes.clear();
        return "invalid base64: the text ends in the middle of a byte";
    }
    if (filled == 2) *out++ = static_cast<unsigned char>(group >> 4);
    if (filled == 3) {
        *out++ = static_cast<unsigned char>(group >> 10);
        *out++ = static_cast<unsigned char>(group >> 2);
    }
    bytes.resize(static_cast<size_t>(out - bytes.data()));
    return "";
}

std::string BinaryArrayDecoder::Decode(std::string_view base64, const ArrayEncoding& encoding,
                                       long long expectedCount, std::vector<double>& values) {
    values.clear();
    const bool numpress = IsNumpress(encoding.compression);
    if (encoding.compression == Compression::Unknown) return "the binary array names no known compression";
    if (!numpress && encoding.precision == Precision::Unknown) return "the binary array names no known precision";
    std::string problem = DecodeBase64(base64, m_bytes);
    if (!problem.empty()) return problem;
    const bool inflate = encoding.compression == Compression::Zlib || (numpress && encoding.zlibAfterNumpress);
    if (inflate) {
        // Bound the inflated size by what the declared length can need: 8 bytes a value, or
        // Numpress's widest form (a fixed point and 4.5 bytes a value), or 1 GiB when the
        // length is not declared.
        const size_t declared = expectedCount >= 0 ? static_cast<size_t>(expectedCount) : 0;
        const size_t limit = expectedCount < 0 ? (size_t{1} << 30)
                             : numpress         ? 16 + 5 * declared
                                                : WidthOf(encoding.precision) * declared;
        problem = Inflate(m_bytes, limit, m_inflated);
        if (!problem.empty()) return problem;
    }
    const std::vector<unsigned char>& bytes = inflate ? m_inflated : m_bytes;
    problem = numpress ? DecodeNumpress(bytes, encoding.compression, values) : DecodePlain(bytes, encoding.precision, values);
    if (!problem.empty()) return problem;
    if (expectedCount >= 0 && static_cast<long long>(values.size()) != expectedCount) {
        const long long found = static_cast<long long>(values.size());
        values.clear();
        return "the binary array holds " + CountText(found) + " where its length says " + CountText(expectedCount);
    }
    return "";
}

}  // namespace RawData
