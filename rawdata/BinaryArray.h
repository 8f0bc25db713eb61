// Decoding of mzML binary data arrays: base64 text, optionally zlib-compressed, holding
// little-endian 32- or 64-bit floats (or integers), or MS-Numpress encoded numbers (linear
// prediction, positive integer, short logged float), themselves optionally zlib-compressed.
// Every failure is a message, never a crash: corrupt input is what a reader of outside files
// must expect, and the decoders below bound every buffer by the input before writing to it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace RawData {

enum class Precision { Unknown, Float32, Float64, Int32, Int64 };
enum class Compression { Unknown, None, Zlib, NumpressLinear, NumpressPic, NumpressSlof };

struct ArrayEncoding {
    Precision precision = Precision::Unknown;  // not needed for Numpress
    Compression compression = Compression::Unknown;
    bool zlibAfterNumpress = false;  // Numpress bytes that were then zlib-compressed
};

// The encoding a cvParam accession sets; false when the accession is neither a precision nor
// a compression (the caller then looks at it for other meanings).
bool SetEncodingFromAccession(std::string_view accession, ArrayEncoding& encoding);

// Decodes arrays one after another, keeping its scratch buffers between calls so a file of
// thousands of arrays allocates a handful of times.
class BinaryArrayDecoder {
public:
    // Decodes `base64` into `values` (replacing them). `expectedCount` is the array length the
    // file declares (negative when it declares none); a different count is an error. Returns an
    // empty string on success, else what is wrong ("invalid base64 character '#'").
    std::string Decode(std::string_view base64, const ArrayEncoding& encoding, long long expectedCount,
                       std::vector<double>& values);

private:
    std::vector<unsigned char> m_bytes;
    std::vector<unsigned char> m_inflated;
};

// Standard base64 (RFC 4648) with blanks and line breaks ignored and padding optional.
// Returns an empty string on success, else what is wrong.
std::string DecodeBase64(std::string_view text, std::vector<unsigned char>& bytes);

}  // namespace RawData
