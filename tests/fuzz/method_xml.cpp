// Method XML, read and written. The first input byte chooses. With its third bit clear the rest
// is read as a document: as UTF-8 when the first bit is clear, as little-endian UTF-16 (up to
// the first zero unit) when it is set. With the third bit set, one to three entries with any
// number in every number field and a text in every text field are written; with the second bit
// the texts may be hostile (control characters, NUL, Latin-1 bytes, broken and overlong UTF-8),
// otherwise they are texts XML carries (markup characters, line ends, multi-byte characters).
// Invariant when reading: what the list holds afterwards writes, reads back and writes the same
// text again. That a refused document changes nothing is the unit tests' business.
// Invariants when writing: WriteXML answers true exactly when every text is one XML can carry;
// true means the text reads back to entries equal field by field; false writes nothing. Writing
// inside a host's element and the UTF-16 text are the unit tests' business (MethodXmlSafetyTest).
#include <string>

#include "quan.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {
std::string WriteText(const CMethodList& list) {
    Brisk::CXMLBuilderT<256> builder;
    FUZZ_CHECK(list.WriteXML(builder));
    return builder.GetText();
}

void CheckRead(const uint8_t* data, size_t size, bool wide) {
    const std::string utf8(reinterpret_cast<const char*>(data), size);
    std::u16string utf16;
    for (size_t i = 0; wide && i + 1 < size && (data[i] | data[i + 1]) != 0; i += 2)
        utf16 += static_cast<char16_t>(data[i] | (data[i + 1] << 8));

    CMethodList list;
    (void)(wide ? list.ReadXML(utf16.c_str()) : list.ReadXML(utf8));

    // Written, read back and written again: a fixed point from the first write on.
    const std::string written = WriteText(list);
    CMethodList reread;
    FUZZ_CHECK(reread.ReadXML(written) && reread.GetSize() == list.GetSize() && WriteText(reread) == written);
}

// Texts XML carries and texts it cannot.
const char* const kCarried[] = {"Benzo[a]pyrene", "", "  padded  ", "tab\tline\ncr\rcrlf\r\n", "<&>\"' ]]>",
                                "&amp;&#65;", "\xC3\x9F-Endosulfan", "\xF0\x9F\xA7\xAA", "304.2>186.1", "\x7F"};
const char* const kNotCarried[] = {"\x01", "bell\x07", "Caf\xE9", "Caf\xE9 au lait", "\xEF\xBF\xBE",
                                   "\xEF\xBF\xBF", "\xED\xA0\x80", "\xC0\xAF", "\xE2\x82"};

std::string FieldText(FuzzInput& input, bool hostile) {
    constexpr int kCarriedCount = sizeof kCarried / sizeof kCarried[0];
    constexpr int kNotCarriedCount = sizeof kNotCarried / sizeof kNotCarried[0];
    if (!hostile) return kCarried[input.Int(0, kCarriedCount - 1)];
    std::string text;
    switch (input.Int(0, 2)) {
        case 0: text = kCarried[input.Int(0, kCarriedCount - 1)]; break;
        case 1: text = kNotCarried[input.Int(0, kNotCarriedCount - 1)]; break;
        default: text = input.Text(40); break;
    }
    if (input.Int(0, 15) == 15) text.insert(text.size() / 2, 1, '\0');
    return text;
}

CMethodData EntryOfAnyValues(FuzzInput& input, bool hostile, bool& writable) {
    CMethodData entry;
    auto text = [&]() {
        std::string value = FieldText(input, hostile);
        writable = writable && Brisk::IsWritableXmlText(value);
        return value;
    };
    auto number = [&](auto zero) -> decltype(zero) {
        if constexpr (std::is_same_v<decltype(zero), int>) return input.Int(-2147483647 - 1, 2147483647);
        else if constexpr (std::is_same_v<decltype(zero), float>) return input.Float();
        else return input.Double();
    };
#define METHOD_FIELD(type, Name) entry.Set##Name(number(type{}));
#define METHOD_TEXT(Name) entry.Set##Name(text());
#define METHOD_INDEXED(type, Name, count) \
    for (int i = 0; i < (count); ++i) entry.Set##Name(i, number(type{}));
#define METHOD_INDEXED_TEXT(Name, count) \
    for (int i = 0; i < (count); ++i) entry.Set##Name(i, text());
#include "platform/MethodRecordFields.def"
    return entry;
}

void CheckWrite(FuzzInput input, bool hostileTexts) {
    const int entries = input.Int(1, 3);
    bool writable = true;
    CMethodList list;
    for (int e = 0; e < entries; ++e) list.Add(EntryOfAnyValues(input, hostileTexts, writable));

    Brisk::CXMLBuilderT<256> builder;
    const bool written = list.WriteXML(builder);
    FUZZ_CHECK(written == writable);
    FUZZ_CHECK(written || builder.GetText().empty());
    if (!written) return;
    CMethodList read;
    FUZZ_CHECK(read.ReadXML(builder.GetText()) && read.GetSize() == list.GetSize());
    for (int i = 0; i < list.GetSize(); ++i) FUZZ_CHECK(static_cast<const CMethodRecord&>(read.GetAt(i)) == list.GetAt(i));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 16 * 1024) return 0;
    const uint8_t mode = data[0];
    if ((mode & 4) == 0) CheckRead(data + 1, size - 1, (mode & 1) != 0);
    else CheckWrite(FuzzInput(data + 1, size - 1), (mode & 2) != 0);
    return 0;
}
