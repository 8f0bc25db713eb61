// Method entries and the method list: the XML round trip, bad documents, hostile texts and the
// integration block's bytes. A document that declares entities is refused before any expansion;
// WriteXML says true only for a document that reads back equal, leaving nothing behind otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "quan.h"

namespace {

// An entry with a distinct value in every kind of setting: text, int, float, double, indexed.
CMethodData RichEntry(const std::string& name) {
    CMethodData entry;
    entry.SetName(name);
    entry.SetFlags("ISTD & <x>");  // characters XML must escape
    entry.SetLocateBy(1);
    entry.SetPredRT(12.3456789f);
    entry.SetLocateRTWin(0.1f);  // not exactly representable: must still read back bit-identical
    entry.SetPredResp(1.0 / 3.0);
    entry.SetLocateRespWin(-2.5e-300);
    entry.SetQuanTrace("252.1");
    entry.SetTargetTrace(3, "216.1>174.1");
    entry.SetTargetRatio(1, 0.123456789012345678);
    entry.SetTargetWindow(2, -20);
    entry.SetTargetRTWin(3, 3.4028235e38f);
    entry.SetUserRF(6.02214076e23);
    entry.SetPkThreshMethod(65535);
    return entry;
}

CMethodList ListHolding(const std::string& name) {
    CMethodList list;
    list.Add(RichEntry(name));
    return list;
}

const std::string kDeclaration = "<?xml version=\"1.0\"?>\n";

}  // namespace

TEST(MethodList, XmlRoundTripKeepsEverySettingExactly) {
    CMethodList written;
    // A name with two-, three- and four-byte UTF-8 characters.
    written.Add(RichEntry("Benzo[a]pyr\xC3\xA8ne \xE2\x89\xA5 \xF0\x9D\x9B\xBC"));
    CMethodData second = RichEntry("Chrysene");
    second.SetPredRT(0.0f);
    second.SetTargetTrace(3, "");
    second.SetMoleRatio(1);
    written.Add(second);

    Brisk::CXMLBuilderT<256> builder;
    ASSERT_TRUE(written.WriteXML(builder));
    EXPECT_EQ(builder.GetOpenCount(), 0);

    std::u16string wide = builder.GetText16();
    for (int form = 0; form < 3; ++form) {  // UTF-8, UTF-16, UTF-16 after a byte-order mark
        CMethodList read;
        if (form == 0) ASSERT_TRUE(read.ReadXML(builder.GetText()));
        else ASSERT_TRUE(read.ReadXML(((form == 2 ? u"\uFEFF" : u"") + wide).c_str()));
        ASSERT_EQ(read.GetSize(), 2);
        for (int i = 0; i < 2; ++i)
            EXPECT_TRUE(static_cast<const CMethodRecord&>(read.GetAt(i)) == written.GetAt(i)) << i << form;
    }
    wide[wide.find(u"Chrysene")] = 0xD800;  // an unpaired surrogate is not text
    EXPECT_FALSE(CMethodList().ReadXML(wide.c_str()));
}

TEST(MethodList, DocumentShapesAndBadDocuments) {
    const struct { const char* text; bool result; int entries; } cases[] = {
        {"<?xml version=\"1.0\"?><METHODLIST/>", true, 0},
        {"<?xml version=\"1.0\"?><METHODLIST><E Name=\"A\"/><E Name=\"B\"/></METHODLIST>", true, 2},
        // the top-level element's name plays no part; text and comments between entries are skipped
        {"<?xml version=\"1.0\"?>\n<ANY>\n  <!-- c --> <E Name=\"A\"/>\n text <E Name=\"B\"/></ANY>", true, 2},
        // an attribute whose number does not parse skips that entry only
        {"<?xml version=\"1.0\"?><L><E Name=\"A\" PredRT=\"12,5\"/><E Name=\"B\" RRef=\"7x\"/><E Name=\"C\" RRef=\"99999999999\"/><E Name=\"D\" RRef=\"3\"/></L>", true, 1},
        {"", false, 0},
        {"<?xml version=\"1.0\"?><METHODLIST><E Name=\"A\">", false, 0},
        {"<?xml version=\"1.0\"?><METHODLIST></WRONG>", false, 0},
    };
    for (const auto& c : cases) {
        CMethodList list = ListHolding("Kept");
        EXPECT_EQ(list.ReadXML(std::string(c.text)), c.result) << c.text;
        EXPECT_EQ(list.GetSize(), 1 + c.entries) << c.text;
        EXPECT_EQ(list.GetAt(0).GetName(), "Kept") << c.text;
    }
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
    // The value of the expected one's type stored at `offset`.
    const auto storedAt = [bytes](size_t offset, auto expected) {
        decltype(expected) stored;
        std::memcpy(&stored, bytes + offset, sizeof stored);
        return stored;
    };
    const struct { size_t offset; int32_t value; } ints[] = {{0, 1}, {4, 2}, {8, 2}, {16, 5}, {20, 3}, {48, 4},
                                                             {56, 1}, {132, 9}, {3276, 1}};
    for (const auto& [offset, value] : ints) EXPECT_EQ(storedAt(offset, value), value) << "offset " << offset;
    const struct { size_t offset; float value; } floats[] = {{36, 0.3f}, {64, 0.5f}, {3264, 250.0f}, {3272, 0.75f}};
    for (const auto& [offset, value] : floats) EXPECT_EQ(storedAt(offset, value), value) << "offset " << offset;
    EXPECT_EQ(bytes[3248], 2);
    EXPECT_EQ(bytes[3249], 0);
    // Every byte outside the named fields is zero.
    const size_t named[][2] = {{0, 12}, {16, 24}, {36, 40}, {48, 52}, {56, 60}, {64, 76}, {80, 88}, {116, 136},
                               {3248, 3250}, {3252, 3268}, {3272, 3280}};
    for (size_t offset = 0; offset < sizeof block; ++offset) {
        const auto holds = [offset](const size_t* range) { return offset >= range[0] && offset < range[1]; };
        EXPECT_TRUE(std::ranges::any_of(named, holds) || bytes[offset] == 0) << "offset " << offset;
    }
    EXPECT_FALSE(entry.GetIntegrateParameters(nullptr, false));
}

TEST(MethodXmlSafety, DocumentsDeclaringEntitiesAreRefused) {
    const std::string entityDocuments[] = {
        // a harmless-looking internal entity
        kDeclaration + "<!DOCTYPE M [<!ENTITY n \"Benzene\">]><METHODLIST><E Name=\"&n;\"/></METHODLIST>",
        // declared but never referenced
        kDeclaration + "<!DOCTYPE M [<!ENTITY unused \"u\">]><METHODLIST><E Name=\"A\"/></METHODLIST>",
        // parameter and external entities
        kDeclaration + "<!DOCTYPE M [<!ENTITY % p \"<!ENTITY q 'Q'>\"> %p;]><METHODLIST><E Name=\"&q;\"/></METHODLIST>",
        kDeclaration + "<!DOCTYPE M [<!ENTITY e SYSTEM \"/etc/hostname\">]><METHODLIST><E Name=\"A\"/></METHODLIST>",
    };
    for (const std::string& text : entityDocuments) {
        CMethodList list = ListHolding("Kept");
        EXPECT_FALSE(list.ReadXML(text)) << text.substr(0, 80);
        ASSERT_EQ(list.GetSize(), 1);
        EXPECT_EQ(list.GetAt(0).GetName(), "Kept");
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
        {"\xE2\x82\xAC ]]> &amp;", true},
        {"bell\x07", false},                                      // a control character
        {std::string("nul\0cut", 7), false},                      // an embedded NUL
    };
    for (const auto& c : cases) {
        for (int field = 0; field < 2; ++field) {
            SCOPED_TRACE(testing::Message() << "field " << field << ": " << c.text);
            CMethodList list = ListHolding("Kept");
            CMethodData entry;
            entry.SetName("Second");
            if (field == 0) entry.SetName(c.text);
            if (field == 1) entry.SetTargetTrace(3, c.text);
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
