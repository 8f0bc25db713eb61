// Method entries and the method list: the XML round trip, document shapes and bad documents,
// hostile texts, and the integration block's bytes. A document that declares entities is
// refused before any expansion, whatever it does with them; WriteXML says true only for a
// document that ReadXML reads back equal field by field, leaving nothing in the builder when it
// says false.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "quan.h"

namespace {

// An entry with a distinct value in every kind of setting: text, int, float, double, indexed.
CMethodData RichEntry(const std::string& name) {
    CMethodData entry;
    entry.SetName(name);
    entry.SetCas("50-32-8");
    entry.SetRepUnits("ng/mL");
    entry.SetFlags("ISTD & <x>");  // characters XML must escape
    entry.SetCalCompound(name);
    entry.SetTotalsGroup("PAH; EPA16");
    entry.SetLocateBy(1);
    entry.SetPredRT(12.3456789f);
    entry.SetLocateRTWin(0.1f);  // not exactly representable: must still read back bit-identical
    entry.SetPredResp(1.0 / 3.0);
    entry.SetLocateRespWin(-2.5e-300);
    entry.SetQuanTrace("252.1");
    entry.SetTargetTrace(0, "250.1");
    entry.SetTargetTrace(3, "216.1>174.1");
    entry.SetTargetRatio(1, 0.123456789012345678);
    entry.SetTargetWindow(2, -20);
    entry.SetTargetRTWin(3, 3.4028235e38f);
    entry.SetIStd(5, 4);
    entry.SetRRef(2);
    entry.SetRCalc(1);
    entry.SetUserRF(6.02214076e23);
    entry.SetToxicEquiv(3, 0.01);
    entry.SetPkThreshMethod(65535);
    entry.SetChroNoiseLevel(1.5e-7f);
    entry.SetMonitorQCLowConc(1e-12);
    return entry;
}

bool ReadUtf8(CMethodList& list, const std::string& text) { return list.ReadXML(text); }

CMethodList ListHolding(const std::string& name) {
    CMethodList list;
    list.Add(RichEntry(name));
    return list;
}

std::string Repeated(const std::string& text, int times) {
    std::string result;
    for (int k = 0; k < times; ++k) result += text;
    return result;
}

const std::string kDeclaration = "<?xml version=\"1.0\"?>\n";

}  // namespace

TEST(MethodList, XmlRoundTripKeepsEverySettingExactly) {
    CMethodList written;
    // A name with two-, three- and four-byte UTF-8 characters.
    written.Add(RichEntry("Benzo[a]pyr\xC3\xA8ne \xE2\x89\xA5 \xF0\x9D\x9B\xBC"));
    CMethodData second = RichEntry("Chrysene");
    second.SetPredRT(0.0f);
    second.SetTargetTrace(0, "");
    second.SetMoleRatio(1);
    written.Add(second);

    Brisk::CXMLBuilderT<256> builder;
    ASSERT_TRUE(written.WriteXML(builder));
    EXPECT_EQ(builder.GetOpenCount(), 0);

    for (bool wide : {false, true}) {
        CMethodList read;
        if (wide) ASSERT_TRUE(read.ReadXML(builder.GetText16().c_str()));
        else ASSERT_TRUE(ReadUtf8(read, builder.GetText()));
        ASSERT_EQ(read.GetSize(), 2);
        for (int i = 0; i < 2; ++i) {
            const CMethodRecord& original = written.GetAt(i);
            const CMethodRecord& copy = read.GetAt(i);
            EXPECT_TRUE(copy == original) << "entry " << i << (wide ? " (UTF-16)" : " (UTF-8)");
        }
        EXPECT_EQ(read.GetAt(0).GetLocateRTWin(), 0.1f);  // exactly, not merely close
        EXPECT_EQ(read.GetAt(0).GetFlags(), "ISTD & <x>");
        EXPECT_EQ(read.GetAt(0).GetTargetTrace(3), "216.1>174.1");
        EXPECT_EQ(read.GetAt(0).GetPkThreshMethod(), 65535);
    }
}

TEST(MethodList, DocumentShapesAndBadDocuments) {
    const struct {
        const char* text;
        bool result;
        int entries;
    } cases[] = {
        // no declaration: the list element is taken to be the declaration, so nothing is read
        {"<METHODLIST><E Name=\"A\"/></METHODLIST>", true, 0},
        {"<?xml version=\"1.0\"?><METHODLIST/>", true, 0},
        {"<?xml version=\"1.0\"?><METHODLIST><E Name=\"A\"/><E Name=\"B\"/></METHODLIST>", true, 2},
        // the top-level element's name plays no part; text and comments between entries are skipped
        {"<?xml version=\"1.0\"?>\n<ANY>\n  <!-- c --> <E Name=\"A\"/>\n text <E Name=\"B\"/></ANY>", true, 2},
        // an attribute whose number does not parse skips that entry only
        {"<?xml version=\"1.0\"?><L><E Name=\"A\" PredRT=\"12,5\"/><E Name=\"B\" RRef=\"7x\"/><E Name=\"C\" RRef=\"99999999999\"/><E Name=\"D\" RRef=\"3\"/></L>", true, 1},
        // unknown attributes are ignored
        {"<?xml version=\"1.0\"?><L><E Name=\"A\" Colour=\"blue\"/></L>", true, 1},
        {"", false, 0},
        {"<?xml version=\"1.0\"?><METHODLIST><E Name=\"A\">", false, 0},
        {"<?xml version=\"1.0\"?><METHODLIST></WRONG>", false, 0},
        {"not xml at all", false, 0},
    };
    for (const auto& c : cases) {
        CMethodList list = ListHolding("Kept");
        EXPECT_EQ(ReadUtf8(list, c.text), c.result) << c.text;
        EXPECT_EQ(list.GetSize(), 1 + c.entries) << c.text;
        EXPECT_EQ(list.GetAt(0).GetName(), "Kept") << c.text;
    }
    CMethodList list;
    EXPECT_FALSE(list.ReadXML(static_cast<const char16_t*>(nullptr)));
    EXPECT_EQ(list.GetSize(), 0);
}

TEST(MethodList, Utf16WithAndWithoutByteOrderMark) {
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?><METHODLIST><E Name=\"\xC3\x9F-Endosulfan\" PredRT=\"9.5\"/></METHODLIST>";
    std::u16string plain;
    ASSERT_TRUE(Brisk::Utf8ToUtf16(text, plain));
    const std::u16string marked = u"\uFEFF" + plain;
    for (const std::u16string& wide : {plain, marked}) {
        CMethodList list;
        ASSERT_TRUE(list.ReadXML(wide.c_str()));
        ASSERT_EQ(list.GetSize(), 1);
        EXPECT_EQ(list.GetAt(0).GetName(), "\xC3\x9F-Endosulfan");
        EXPECT_EQ(list.GetAt(0).GetPredRT(), 9.5f);
    }
    // An unpaired surrogate is not text.
    std::u16string broken = plain;
    broken[10] = 0xD800;
    CMethodList list;
    EXPECT_FALSE(list.ReadXML(broken.c_str()));
}

TEST(MethodList, FixCalReferences) {
    CMethodList list;
    const struct {
        const char* name;
        const char* calCompound;
        const char* expected;
    } entries[] = {
        {"Pyrene", "Pyrene", "Pyrene"},          // itself
        {"Pyrene-d10", "Pyrene", "Pyrene"},      // another entry
        {"Chrysene", "Missing", "Chrysene"},     // names nothing
        {"Anthracene", "pyrene", "Anthracene"},  // differs only in case: names nothing
        {"Fluorene", "", "Fluorene"},
    };
    for (const auto& e : entries) {
        CMethodData entry;
        entry.SetName(e.name);
        entry.SetCalCompound(e.calCompound);
        list.Add(entry);
    }
    list.FixCalReferences();
    for (int i = 0; i < list.GetSize(); ++i) EXPECT_EQ(list.GetAt(i).GetCalCompound(), entries[i].expected) << i;
}

TEST(MethodData, IntegrationBlockBytes) {
    CMethodData entry;
    entry.SetSmooEnabled(1);
    entry.SetSmooMethod(2);
    entry.SetSmooWidth(5);
    entry.SetSmooIter(3);
    entry.SetPkMode(4);
    entry.SetPkShldrDetect(1);
    entry.SetPkBalance(0.5f);
    entry.SetPkKelOperations(9);
    entry.SetPkThreshMethod(2);
    entry.SetPkRespHeightAbs(250.0f);
    entry.SetChroNoiseLevel(0.75f);
    entry.SetChroAuto(1);

    tagINTEGRATE_PARAMS block;
    std::memset(&block, 0xAB, sizeof block);
    ASSERT_TRUE(entry.GetIntegrateParameters(&block, false));
    const auto* bytes = reinterpret_cast<const unsigned char*>(&block);
    auto int32At = [&](size_t offset) { int32_t v; std::memcpy(&v, bytes + offset, 4); return v; };
    auto floatAt = [&](size_t offset) { float v; std::memcpy(&v, bytes + offset, 4); return v; };
    EXPECT_EQ(int32At(0), 1);
    EXPECT_EQ(int32At(4), 2);
    EXPECT_EQ(int32At(8), 2);
    EXPECT_EQ(int32At(16), 5);
    EXPECT_EQ(int32At(20), 3);
    EXPECT_EQ(floatAt(36), 0.3f);
    EXPECT_EQ(int32At(48), 4);
    EXPECT_EQ(int32At(56), 1);
    EXPECT_EQ(floatAt(64), 0.5f);
    EXPECT_EQ(int32At(132), 9);
    EXPECT_EQ(bytes[3248], 2);
    EXPECT_EQ(bytes[3249], 0);
    EXPECT_EQ(floatAt(3264), 250.0f);
    EXPECT_EQ(floatAt(3272), 0.75f);
    EXPECT_EQ(int32At(3276), 1);
    // Every byte outside the named fields is zero.
    const size_t named[][2] = {{0, 12}, {16, 24}, {36, 40}, {48, 52}, {56, 60}, {64, 76}, {80, 88}, {116, 136},
                               {3248, 3250}, {3252, 3268}, {3272, 3280}};
    for (size_t offset = 0; offset < sizeof block; ++offset) {
        bool inField = false;
        for (const auto& range : named) inField = inField || (offset >= range[0] && offset < range[1]);
        if (!inField) {
            EXPECT_EQ(bytes[offset], 0) << "offset " << offset;
        }
    }
    EXPECT_FALSE(entry.GetIntegrateParameters(nullptr, false));
}

TEST(MethodXmlSafety, DocumentsDeclaringEntitiesAreRefused) {
    const std::string entityDocuments[] = {
        // a harmless-looking internal entity
        kDeclaration + "<!DOCTYPE M [<!ENTITY n \"Benzene\">]><METHODLIST><E Name=\"&n;\"/></METHODLIST>",
        // one 1000-character entity referenced a thousand times in one attribute: a megabyte
        kDeclaration + "<!DOCTYPE M [<!ENTITY x \"" + std::string(1000, 'x') + "\">]><METHODLIST><E Name=\"" +
            Repeated("&x;", 1000) + "\"/></METHODLIST>",
        // declared but never referenced
        kDeclaration + "<!DOCTYPE M [<!ENTITY unused \"u\">]><METHODLIST><E Name=\"A\"/></METHODLIST>",
        // parameter, external and unparsed entities
        kDeclaration + "<!DOCTYPE M [<!ENTITY % p \"<!ENTITY q 'Q'>\"> %p;]><METHODLIST><E Name=\"&q;\"/></METHODLIST>",
        kDeclaration + "<!DOCTYPE M [<!ENTITY e SYSTEM \"/etc/hostname\">]><METHODLIST><E Name=\"A\"/></METHODLIST>",
        kDeclaration + "<!DOCTYPE M [<!NOTATION gif SYSTEM \"g\"><!ENTITY pic SYSTEM \"p.gif\" NDATA gif>]>"
                       "<METHODLIST><E Name=\"A\"/></METHODLIST>",
    };
    for (const std::string& text : entityDocuments) {
        for (bool wide : {false, true}) {
            CMethodList list = ListHolding("Kept");
            std::u16string utf16;
            ASSERT_TRUE(Brisk::Utf8ToUtf16(text, utf16));
            EXPECT_FALSE(wide ? list.ReadXML(utf16.c_str()) : list.ReadXML(text)) << text.substr(0, 80);
            ASSERT_EQ(list.GetSize(), 1);
            EXPECT_EQ(list.GetAt(0).GetName(), "Kept");
        }
    }
    // Entity-free documents still read: a bare DOCTYPE, predefined entities, character references.
    CMethodList list;
    EXPECT_TRUE(list.ReadXML(kDeclaration + "<!DOCTYPE METHODLIST SYSTEM \"method.dtd\"><METHODLIST/>"));
    ASSERT_TRUE(list.ReadXML(kDeclaration + "<METHODLIST><E Name=\"A&amp;B &lt;&#x3B1;&#66;\"/></METHODLIST>"));
    ASSERT_EQ(list.GetSize(), 1);
    EXPECT_EQ(list.GetAt(0).GetName(), "A&B <\xCE\xB1" "B");
}

TEST(MethodXmlSafety, WriteSucceedsOnlyForTextsThatReadBack) {
    const struct { std::string text; bool writable; } cases[] = {
        {"tab\there, line\nfeed, cr\r and crlf\r\n", true},
        {"<&>\"' ]]> &amp; literally", true},
        {"  padded  ", true},
        {"\xC3\x9F-Endosulfan \xE2\x82\xAC \xF0\x9F\xA7\xAA", true},  // two, three and four bytes
        {"bell\x07", false},                                      // a control character
        {"Caf\xE9", false},                                       // Latin-1 at the end
        {"Caf\xE9 au lait", false},                               // and in the middle
        {std::string("nul\0cut", 7), false},                      // an embedded NUL
        {"\xEF\xBF\xBE", false},                                  // U+FFFE, no XML character
        {"\xED\xA0\x80", false},                                  // an encoded surrogate
        {"\xC0\xAF", false},                                      // an overlong '/'
    };
    for (const auto& c : cases) {
        for (int field = 0; field < 3; ++field) {
            SCOPED_TRACE(testing::Message() << "field " << field << ": " << c.text);
            CMethodList list = ListHolding("Kept");
            CMethodData entry;
            entry.SetName("Second");
            if (field == 0) entry.SetName(c.text);
            if (field == 1) entry.SetFlags(c.text);
            if (field == 2) entry.SetTargetTrace(3, c.text);
            entry.SetPredRT(12.5f);
            list.Add(entry);

            Brisk::CXMLBuilderT<256> builder;
            ASSERT_EQ(list.WriteXML(builder), c.writable);
            EXPECT_EQ(builder.GetOpenCount(), 0);
            if (!c.writable) {
                EXPECT_EQ(builder.GetText(), "");  // not even the declaration
                continue;
            }
            CMethodList read;
            ASSERT_TRUE(read.ReadXML(builder.GetText16().c_str()));
            ASSERT_EQ(read.GetSize(), 2);
            EXPECT_TRUE(static_cast<const CMethodRecord&>(read.GetAt(1)) == list.GetAt(1));
        }
    }

    // Inside a host's own element, a refused method leaves the host's document as it was.
    CMethodList list = ListHolding("Kept");
    CMethodData bad;
    bad.SetCas("\x01");
    list.Add(bad);
    Brisk::CXMLBuilderT<256> builder;
    ASSERT_TRUE(builder.OpenElement("PROJECT"));
    ASSERT_TRUE(builder.AddAttribute("Name", "Soil"));
    EXPECT_FALSE(list.WriteXML(builder));
    EXPECT_EQ(builder.GetOpenCount(), 1);
    ASSERT_TRUE(builder.CloseElement());
    EXPECT_EQ(builder.GetText(), "<?xml version=\"1.0\"?>\n<PROJECT Name=\"Soil\"/>\n");
}
