// Method XML reading, from UTF-8 bytes and from UTF-16 text. The first input byte chooses the
// form: even reads the rest as UTF-8, odd as little-endian UTF-16 (up to the first zero unit).
// Invariants: a document that does not read leaves the list as it was; one that reads only
// appends; what the list writes reads back to the same list and writes the same text again; a
// UTF-8 text read as UTF-16 gives the same result; copies write what the original writes.
#include <string>

#include "quan.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {
std::string WriteText(const CMethodList& list) {
    Brisk::CXMLBuilderT<256> builder;
    FUZZ_CHECK(list.WriteXML(builder));
    return builder.GetText();
}

CMethodList ListWithOneEntry() {
    CMethodList list;
    CMethodData entry;
    entry.SetName("already here");
    list.Add(entry);
    return list;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 16 * 1024) return 0;
    const bool wide = (data[0] & 1) != 0;
    std::string utf8(reinterpret_cast<const char*>(data + 1), size - 1);
    std::u16string utf16;
    if (wide) {
        for (size_t i = 1; i + 1 < size; i += 2) {
            const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
            if (unit == 0) break;
            utf16 += unit;
        }
    }

    CMethodList list = ListWithOneEntry();
    const std::string before = WriteText(list);
    const bool read = wide ? list.ReadXML(utf16.c_str()) : list.ReadXML(utf8);
    if (!read) {
        FUZZ_CHECK(list.GetSize() == 1);
        FUZZ_CHECK(WriteText(list) == before);
    }
    FUZZ_CHECK(list.GetSize() >= 1);
    FUZZ_CHECK(list.GetEntry(0) != nullptr && list.GetAt(0).GetName() == "already here");
    for (int i = 0; i < list.GetSize(); ++i) FUZZ_CHECK(list.GetEntry(i) != nullptr);

    // The same text in the other form reads the same way.
    if (!wide && utf8.find('\0') == std::string::npos && Brisk::Utf8ToUtf16(utf8, utf16)) {
        CMethodList other = ListWithOneEntry();
        FUZZ_CHECK(other.ReadXML(utf16.c_str()) == read);
        FUZZ_CHECK(other.GetSize() == list.GetSize());
    }

    // Written, read back and written again: a fixed point from the first write on.
    const std::string written = WriteText(list);
    CMethodList reread;
    FUZZ_CHECK(reread.ReadXML(written));
    FUZZ_CHECK(reread.GetSize() == list.GetSize());
    FUZZ_CHECK(WriteText(reread) == written);

    CMethodList copy(list);
    FUZZ_CHECK(copy.GetSize() == list.GetSize());
    FUZZ_CHECK(WriteText(copy) == written);

    // Calibration references always name an entry of the list afterwards.
    list.FixCalReferences();
    for (int i = 0; i < list.GetSize(); ++i) {
        const std::string cal = list.GetAt(i).GetCalCompound();
        bool named = false;
        for (int j = 0; j < list.GetSize() && !named; ++j) named = list.GetAt(j).GetName() == cal;
        FUZZ_CHECK(named);
    }
    return 0;
}
