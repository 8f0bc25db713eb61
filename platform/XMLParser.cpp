// libxml2 behind the record library's parser and builder. Documents are parsed with network
// access off, no DTD loading and no entity substitution requested, and the parse stops at the
// first entity declaration: libxml2's amplification limits alone still let a 100 KB document
// expand into a 100 MB attribute value when the value is fetched.
#include "platform/XMLParser.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include <cstring>

namespace Brisk {

// ---------------------------------------------------------------------------------------------
// Text conversion

bool Utf16ToUtf8(const char16_t* text, size_t length, std::string& out) {
    out.clear();
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        uint32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (i + 1 >= length || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            return false;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return true;
}

bool IsWritableXmlText(const std::string& text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t length = text.size();
    for (size_t i = 0; i < length;) {
        uint32_t code = bytes[i];
        int extra = 0;
        uint32_t least = 0;  // the smallest code of the sequence's length: shorter forms are overlong
        if (code < 0x80) extra = 0;
        else if ((code & 0xE0) == 0xC0) { extra = 1; code &= 0x1F; least = 0x80; }
        else if ((code & 0xF0) == 0xE0) { extra = 2; code &= 0x0F; least = 0x800; }
        else if ((code & 0xF8) == 0xF0) { extra = 3; code &= 0x07; least = 0x10000; }
        else return false;
        if (i + static_cast<size_t>(extra) >= length && extra > 0) return false;
        for (int k = 1; k <= extra; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80) return false;
            code = (code << 6) | (bytes[i + k] & 0x3F);
        }
        i += extra + 1;
        if (code < least) return false;
        // XML's Char production: tab, line feed, carriage return and the printable planes.
        const bool xmlChar = code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
                             (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
        if (!xmlChar) return false;
    }
    return true;
}

bool Utf8ToUtf16(const std::string& text, std::u16string& out) {
    out.clear();
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t length = text.size();
    for (size_t i = 0; i < length;) {
        uint32_t code = bytes[i];
        int extra = 0;
        if (code < 0x80) extra = 0;
        else if ((code & 0xE0) == 0xC0) { extra = 1; code &= 0x1F; }
        else if ((code & 0xF0) == 0xE0) { extra = 2; code &= 0x0F; }
        else if ((code & 0xF8) == 0xF0) { extra = 3; code &= 0x07; }
        else return false;
        if (extra > 0 && i + static_cast<size_t>(extra) >= length) return false;  // cut short
        for (int k = 1; k <= extra; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80) return false;
            code = (code << 6) | (bytes[i + k] & 0x3F);
        }
        i += extra + 1;
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Parser

namespace {
// libxml2 reports every error on stderr by default; the parser reports through its status.
void SilentErrors(void*, const char*, ...) {}

bool StartsWithDeclaration(const char* text, size_t length) {
    return length >= 6 && std::memcmp(text, "<?xml", 5) == 0 &&
           (text[5] == ' ' || text[5] == '\t' || text[5] == '\r' || text[5] == '\n' || text[5] == '?');
}

// The parser's hooks for entity declarations (general, parameter and unparsed alike): note the
// refusal and stop at once, before the entity is registered or the rest of the text is read.
void RefuseEntity(void* context) {
    auto* parser = static_cast<xmlParserCtxtPtr>(context);
    parser->_private = parser;  // marks the refusal
    xmlStopParser(parser);
}
void RefuseEntityDeclaration(void* context, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
    RefuseEntity(context);
}
void RefuseUnparsedEntity(void* context, const xmlChar*, const xmlChar*, const xmlChar*, const xmlChar*) {
    RefuseEntity(context);
}
}  // namespace

CXMLParserT::~CXMLParserT() { Release(); }

void CXMLParserT::Release() {
    m_attributes.clear();
    m_current = nullptr;
    m_currentKind = kDocument;
    if (m_document != nullptr) xmlFreeDoc(m_document);
    m_document = nullptr;
    m_hasDeclaration = false;
}

bool CXMLParserT::ParseText(const char16_t* text) {
    if (text == nullptr) {
        m_status = kParseFailed;
        return false;
    }
    size_t length = 0;
    while (text[length] != 0) {
        if (++length > kMaxTextBytes) {
            m_status = kTooLarge;
            return false;
        }
    }
    if (length > 0 && text[0] == 0xFEFF) ++text, --length;
    std::string utf8;
    if (!Utf16ToUtf8(text, length, utf8)) {
        m_status = kBadEncoding;
        return false;
    }
    return ParseUtf8(utf8.data(), utf8.size());
}

bool CXMLParserT::ParseUtf8(const char* text, size_t length) {
    Release();
    if (text == nullptr) {
        m_status = kParseFailed;
        return false;
    }
    if (length >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) text += 3, length -= 3;
    if (length > kMaxTextBytes || length > static_cast<size_t>(INT32_MAX)) {
        m_status = kTooLarge;
        return false;
    }
    xmlSetGenericErrorFunc(nullptr, SilentErrors);
    xmlParserCtxtPtr parser = xmlNewParserCtxt();
    if (parser == nullptr) {
        m_status = kParseFailed;
        return false;
    }
    parser->sax->entityDecl = RefuseEntityDeclaration;
    parser->sax->unparsedEntityDecl = RefuseUnparsedEntity;
    parser->_private = nullptr;
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_IGNORE_ENC;
    m_document = xmlCtxtReadMemory(parser, text, static_cast<int>(length), nullptr, "UTF-8", options);
    const bool declaresEntity = parser->_private != nullptr;
    xmlFreeParserCtxt(parser);
    if (declaresEntity && m_document != nullptr) {
        xmlFreeDoc(m_document);
        m_document = nullptr;
    }
    if (m_document == nullptr) {
        m_status = declaresEntity ? kDeclaresEntity : kParseFailed;
        return false;
    }
    m_hasDeclaration = StartsWithDeclaration(text, length);
    m_status = kOk;
    return true;
}

void CXMLParserT::SetCurrent(NodeKind kind, xmlNode* node) {
    m_currentKind = kind;
    m_current = node;
    m_attributes.clear();
    if (node == nullptr || node->type != XML_ELEMENT_NODE) return;
    for (xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
        xmlChar* value = xmlNodeListGetString(m_document, attribute->children, 1);
        m_attributes.emplace_back(reinterpret_cast<const char*>(attribute->name),
                                  value != nullptr ? reinterpret_cast<const char*>(value) : "");
        if (value != nullptr) xmlFree(value);
    }
}

static CXMLParserT::NodeKind KindOf(const xmlNode* node) {
    switch (node->type) {
        case XML_ELEMENT_NODE: return CXMLParserT::kElement;
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE: return CXMLParserT::kText;
        default: return CXMLParserT::kOther;
    }
}

bool CXMLParserT::MoveToFirstChild() {
    if (m_document == nullptr) {
        m_status = kNoNode;
        return false;
    }
    xmlNode* child = nullptr;
    if (m_currentKind == kDocument) {
        if (m_hasDeclaration) {
            SetCurrent(kDeclaration, nullptr);
            m_status = kOk;
            return true;
        }
        child = m_document->children;
    } else if (m_currentKind != kDeclaration && m_current != nullptr) {
        child = m_current->children;
    }
    if (child == nullptr) {
        m_status = kNoNode;
        return false;
    }
    SetCurrent(KindOf(child), child);
    m_status = kOk;
    return true;
}

bool CXMLParserT::MoveToNextSibling() {
    xmlNode* next = nullptr;
    if (m_currentKind == kDeclaration) next = m_document->children;
    else if (m_currentKind != kDocument && m_current != nullptr) next = m_current->next;
    if (next == nullptr) {
        m_status = kNoNode;
        return false;
    }
    SetCurrent(KindOf(next), next);
    m_status = kOk;
    return true;
}

bool CXMLParserT::MoveToParent() {
    if (m_currentKind == kDeclaration) {
        SetCurrent(kDocument, nullptr);
        m_status = kOk;
        return true;
    }
    if (m_currentKind == kDocument || m_current == nullptr || m_current->parent == nullptr) {
        m_status = kNoNode;
        return false;
    }
    xmlNode* parent = m_current->parent;
    if (parent->type == XML_DOCUMENT_NODE) SetCurrent(kDocument, nullptr);
    else SetCurrent(KindOf(parent), parent);
    m_status = kOk;
    return true;
}

CXMLParserT::NodeKind CXMLParserT::GetNodeKind() const { return m_currentKind; }

std::string CXMLParserT::GetNodeName() const {
    if (m_currentKind == kDeclaration) return "xml";
    if (m_current == nullptr || m_current->name == nullptr) return std::string();
    return reinterpret_cast<const char*>(m_current->name);
}

bool CXMLParserT::GetAttribute(const std::string& name, std::string& value) const {
    for (const auto& attribute : m_attributes) {
        if (attribute.first == name) {
            value = attribute.second;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Builder

template <int Depth>
CXMLBuilderT<Depth>::CXMLBuilderT() {
    m_document = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
    if (m_document == nullptr) m_status = kNoMemory;
}

template <int Depth>
CXMLBuilderT<Depth>::~CXMLBuilderT() {
    for (int i = 0; i < m_openCount; ++i) xmlFreeNode(m_open[i]);  // never attached
    if (m_document != nullptr) xmlFreeDoc(m_document);
}

template <int Depth>
bool CXMLBuilderT<Depth>::OpenElement(const std::string& name) {
    if (m_document == nullptr) return (m_status = kNoMemory), false;
    if (m_openCount >= Depth) return (m_status = kTooDeep), false;
    if (m_openCount == 0) m_hasDeclaration = true;  // written ahead of the first element
    xmlNode* element = xmlNewNode(nullptr, reinterpret_cast<const xmlChar*>(name.c_str()));
    if (element == nullptr) return (m_status = kNoMemory), false;
    m_open[m_openCount++] = element;
    m_status = kOk;
    return true;
}

template <int Depth>
bool CXMLBuilderT<Depth>::AddAttribute(const std::string& name, const std::string& value) {
    if (m_openCount == 0) return (m_status = kNoOpenElement), false;
    if (!IsWritableXmlText(value)) return (m_status = kUnwritableText), false;
    if (xmlSetProp(m_open[m_openCount - 1], reinterpret_cast<const xmlChar*>(name.c_str()),
                   reinterpret_cast<const xmlChar*>(value.c_str())) == nullptr)
        return (m_status = kNoMemory), false;
    m_status = kOk;
    return true;
}

template <int Depth>
bool CXMLBuilderT<Depth>::CloseElement() {
    if (m_openCount == 0) return (m_status = kNoOpenElement), false;
    xmlNode* element = m_open[--m_openCount];
    m_open[m_openCount] = nullptr;
    if (m_openCount > 0) {
        xmlAddChild(m_open[m_openCount - 1], element);
    } else if (xmlDocGetRootElement(m_document) == nullptr) {
        xmlDocSetRootElement(m_document, element);
    } else {
        xmlAddChild(reinterpret_cast<xmlNode*>(m_document), element);
    }
    m_status = kOk;
    return true;
}

template <int Depth>
bool CXMLBuilderT<Depth>::DiscardElement() {
    if (m_openCount == 0) return (m_status = kNoOpenElement), false;
    xmlNode* element = m_open[--m_openCount];
    m_open[m_openCount] = nullptr;
    xmlFreeNode(element);
    if (m_openCount == 0 && m_document->children == nullptr) m_hasDeclaration = false;
    m_status = kOk;
    return true;
}

template <int Depth>
std::string CXMLBuilderT<Depth>::GetText() const {
    if (m_document == nullptr) return std::string();
    std::string text;
    if (m_hasDeclaration) text = "<?xml version=\"1.0\"?>\n";
    for (xmlNode* node = m_document->children; node != nullptr; node = node->next) {
        xmlBufferPtr buffer = xmlBufferCreate();
        if (buffer == nullptr) return std::string();
        xmlNodeDump(buffer, m_document, node, 0, 1);
        text.append(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                    static_cast<size_t>(xmlBufferLength(buffer)));
        text += '\n';
        xmlBufferFree(buffer);
    }
    return text;
}

template <int Depth>
std::u16string CXMLBuilderT<Depth>::GetText16() const {
    std::u16string wide;
    if (!Utf8ToUtf16(GetText(), wide)) wide.clear();
    return wide;
}

template class CXMLBuilderT<256>;

}  // namespace Brisk
