// The record library's XML parser and builder, over libxml2.
//
// The parser reads a whole document (no network, no external entities, libxml2's entity
// limits) and walks it node by node. libxml2 does not keep the XML declaration as a node; the
// parser presents one, as the first top-level node, exactly when the text begins with one, so
// readers that skip "the declaration" see the same document shape as the text.
//
// The builder creates elements, attaches them to their parent when they are closed, and hands
// back the finished document as text.
#pragma once

#include <string>
#include <utility>
#include <vector>

typedef struct _xmlDoc xmlDoc;
typedef struct _xmlNode xmlNode;

namespace Brisk {

class CXMLParserT {
public:
    enum Status { kOk = 0, kParseFailed = 1, kNoNode = 2, kBadEncoding = 3, kTooLarge = 4 };
    enum NodeKind { kDocument, kDeclaration, kElement, kText, kOther };
    using Attributes = std::vector<std::pair<std::string, std::string>>;

    CXMLParserT() = default;
    ~CXMLParserT();
    CXMLParserT(const CXMLParserT&) = delete;
    CXMLParserT& operator=(const CXMLParserT&) = delete;

    // Parses a zero-terminated UTF-16 text (byte-order mark optional). True when well formed.
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
    enum Status { kOk = 0, kTooDeep = 1, kNoOpenElement = 2, kNoMemory = 3 };

    CXMLBuilderT();
    ~CXMLBuilderT();
    CXMLBuilderT(const CXMLBuilderT&) = delete;
    CXMLBuilderT& operator=(const CXMLBuilderT&) = delete;

    // Opens a new element (not yet attached). The first element of a document is preceded by
    // the XML declaration.
    bool OpenElement(const std::string& name);
    // Sets an attribute of the innermost open element.
    bool AddAttribute(const std::string& name, const std::string& value);
    // Attaches the innermost open element to its parent (or to the document) and pops it.
    bool CloseElement();

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

// UTF-16 <-> UTF-8 conversion used by the XML layer and by readers of files. Unpaired
// surrogates make the conversion fail.
bool Utf16ToUtf8(const char16_t* text, size_t length, std::string& out);
bool Utf8ToUtf16(const std::string& text, std::u16string& out);

}  // namespace Brisk
