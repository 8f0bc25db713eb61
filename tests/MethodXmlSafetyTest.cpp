// The method XML with hostile texts: a document that declares entities is refused before any
// expansion, whatever it does with them; and WriteXML says true only for a document that
// ReadXML reads back equal field by field, leaving nothing in the builder when it says false.
#include <gtest/gtest.h>

#include <string>

#include "quan.h"

namespace {
CMethodList ListWithOneEntry() {
    CMethodList list;
    CMethodData entry;
    entry.SetName("Kept");
    list.Add(entry);
    return list;
}

std::string Repeated(const std::string& text, int times) {
    std::string result;
    for (int k = 0; k < times; ++k) result += text;
    return result;
}

const std::string kDeclaration = "<?xml version=\"1.0\"?>\n";
}  // namespace

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
            CMethodList list = ListWithOneEntry();
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
            CMethodList list = ListWithOneEntry();
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
    CMethodList list = ListWithOneEntry();
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
