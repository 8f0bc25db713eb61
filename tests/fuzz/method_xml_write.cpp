// Method XML writing with hostile texts in every text field (control characters, NUL, Latin-1
// bytes, broken and overlong UTF-8, markup characters) and any number in every number field,
// for one to three entries, into a fresh builder or inside a host's open element. The first
// byte chooses the builder and whether texts may be hostile at all.
// Invariants: WriteXML answers true exactly when every text is one XML can carry; true means
// the text (UTF-8 and UTF-16 alike) reads back to the same entries, equal field by field;
// false leaves the builder as it was: no open element added, nothing attached, no declaration
// on an empty document.
#include <string>
#include <vector>

#include "quan.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {
// Texts XML carries (markup characters, line ends, multi-byte characters) and texts it cannot.
const char* const kCarried[] = {"Benzo[a]pyrene", "", "  padded  ", "tab\tline\ncr\rcrlf\r\n", "<&>\"' ]]>",
                                "&amp;&#65;", "\xC3\x9F-Endosulfan", "\xF0\x9F\xA7\xAA", "304.2>186.1", "\x7F"};
const char* const kNotCarried[] = {"\x01", "bell\x07", "Caf\xE9", "Caf\xE9 au lait", "\xEF\xBF\xBE",
                                   "\xEF\xBF\xBF", "\xED\xA0\x80", "\xC0\xAF", "\xE2\x82"};

// Without `hostile` only carried texts, so that inputs also reach the read-back checks.
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

CMethodData HostileEntry(FuzzInput& input, bool hostile, bool& writable) {
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
#undef METHOD_FIELD
#undef METHOD_TEXT
#undef METHOD_INDEXED
#undef METHOD_INDEXED_TEXT
    return entry;
}

void CheckReadsBack(const CMethodList& written, const CMethodList& read) {
    FUZZ_CHECK(read.GetSize() == written.GetSize());
    for (int i = 0; i < written.GetSize(); ++i)
        FUZZ_CHECK(static_cast<const CMethodRecord&>(read.GetAt(i)) == written.GetAt(i));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const uint8_t mode = input.Byte();
    const bool insideHostElement = (mode & 1) != 0;
    const bool hostileTexts = (mode & 2) != 0;
    const int entries = input.Int(1, 3);
    bool writable = true;
    CMethodList list;
    for (int e = 0; e < entries; ++e) list.Add(HostileEntry(input, hostileTexts, writable));

    Brisk::CXMLBuilderT<256> builder;
    if (insideHostElement) FUZZ_CHECK(builder.OpenElement("PROJECT"));
    const bool written = list.WriteXML(builder);
    FUZZ_CHECK(written == writable);
    FUZZ_CHECK(builder.GetOpenCount() == (insideHostElement ? 1 : 0));
    if (insideHostElement) FUZZ_CHECK(builder.CloseElement());
    const std::string text = builder.GetText();
    if (!written) {
        FUZZ_CHECK(text == (insideHostElement ? "<?xml version=\"1.0\"?>\n<PROJECT/>\n" : ""));
        return 0;
    }
    if (insideHostElement) return 0;  // the method sits one level down: not a method document

    CMethodList fromUtf8;
    FUZZ_CHECK(fromUtf8.ReadXML(text));
    CheckReadsBack(list, fromUtf8);
    CMethodList fromUtf16;
    FUZZ_CHECK(fromUtf16.ReadXML(builder.GetText16().c_str()));
    CheckReadsBack(list, fromUtf16);
    return 0;
}
