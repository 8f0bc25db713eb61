// The record library's XML parser and builder, over libxml2.
//
// The parser reads a whole document (no network, no external entities) and walks it node by
// node. A method needs no entities, so a document that declares any is refused outright: no
// expansion can then blow a few bytes of text up into gigabytes of attribute value. libxml2 does not keep the XML declaration as a node; the
// parser presents one, as the first top-level node, exactly when the text begins with one, so
// readers that skip "the declaration" see the same document shape as the text.
//
// The builder creates elements, attaches them to their parent when they are closed, and hands
// back the finished document as text. It takes only attribute values that the parser reads back
// as the very same bytes (see AddAttribute), and a writer that fails part way discards its
// element, so the document never holds half a record.
#pragma once

#include <string>
#include <utility>
#include <vector>

typedef struct _xmlDoc xmlDoc;
typedef struct _xmlNode xmlNode;

namespace Brisk {

class CXMLParserT {
public:
    enum Status { kOk = 0, kParseFailed = 1, kNoNode = 2, kBadEncoding = 3, kTooLarge = 4, kDeclaresEntity = 5 };
    enum NodeKind { kDocument, kDeclaration, kElement, kText, kOther };
    using Attributes = std::vector<std::pair<std::string, std::string>>;

    CXMLParserT() = default;
    ~CXMLParserT();
    CXMLParserT(const CXMLParserT&) = delete;
    CXMLParserT& operator=(const CXMLParserT&) = delete;

    // Parses a zero-terminated UTF-16 text (byte-order mark optional). True when well formed and
    // free of entity declarations (status kDeclaresEntity otherwise).
    bool ParseText(const char16_t* text);
    // Parses UTF-8 text of the given length (a UTF-8 byte-order mark is skipped).
    bool ParseUtf8(const char* text, size_t length);

    // Moves make the target current only when it exists; otherwise nothing changes.
    bool MoveToFirstChild();
    bool MoveToNextSibling();
    bool MoveToParent();

    NodeKind GetNodeKind() const;
    bool IsElement() const { return GetNodeKind() == kElement; }
    std::string GetNodeName() const;
    const Attributes& GetAttributes() const { return m_attributes; }
    // The value of the named attribute of the current node; false when it has none.
    bool GetAttribute(const std::string& name, std::string& value) const;
    int GetLastStatus() const { return m_status; }

    // Largest text accepted, in bytes of UTF-8.
    static constexpr size_t kMaxTextBytes = 64u << 20;

private:
    void Release();
    void SetCurrent(NodeKind kind, xmlNode* node);

    int m_status = kOk;
    xmlDoc* m_document = nullptr;
    bool m_hasDeclaration = false;
    NodeKind m_currentKind = kDocument;
    xmlNode* m_current = nullptr;  // null while the document or the declaration is current
    Attributes m_attributes;
};

template <int Depth>
class CXMLBuilderT {
public:
    enum Status { kOk = 0, kTooDeep = 1, kNoOpenElement = 2, kNoMemory = 3, kUnwritableText = 4 };

    CXMLBuilderT();
    ~CXMLBuilderT();
    CXMLBuilderT(const CXMLBuilderT&) = delete;
    CXMLBuilderT& operator=(const CXMLBuilderT&) = delete;

    // Opens a new element (not yet attached). The first element of a document is preceded by
    // the XML declaration.
    bool OpenElement(const std::string& name);
    // Sets an attribute of the innermost open element. A value that would not read back as the
    // same bytes is refused (status kUnwritableText): one that is not UTF-8, holds a NUL or
    // another character XML cannot carry (control characters other than tab, line feed and
    // carriage return; U+FFFE, U+FFFF).
    bool AddAttribute(const std::string& name, const std::string& value);
    // Attaches the innermost open element to its parent (or to the document) and pops it.
    bool CloseElement();
    // Pops the innermost open element and destroys it with everything written into it, as if it
    // had never been opened (the declaration goes too when the document is left empty).
    bool DiscardElement();

    int GetOpenCount() const { return m_openCount; }
    int GetLastStatus() const { return m_status; }
    bool HasDeclaration() const { return m_hasDeclaration; }
    // The finished document as UTF-8 or UTF-16 text (declaration first when there is one).
    std::string GetText() const;
    std::u16string GetText16() const;

private:
    int m_status = kOk;
    xmlDoc* m_document = nullptr;
    bool m_hasDeclaration = false;
    int m_openCount = 0;
    xmlNode* m_open[Depth] = {};
};

extern template class CXMLBuilderT<256>;

// True when `text` is well-formed UTF-8 made only of characters an XML document can carry.
bool IsWritableXmlText(const std::string& text);

// UTF-16 <-> UTF-8 conversion used by the XML layer and by readers of files. Unpaired
// surrogates make the conversion fail.
bool Utf16ToUtf8(const char16_t* text, size_t length, std::string& out);
bool Utf8ToUtf16(const std::string& text, std::u16string& out);

}  // namespace Brisk
