// The method list: list protocol, XML form and calibration references.
#include "records/MethodList.h"

#include "platform/XMLParser.h"

QUAN_REGISTER_CLASS(CMethodList);

namespace {
// Walks a parsed method document as the method XML is laid out: the first top-level node is
// the declaration, the next is the list element, whose children are the entries.
bool ReadEntries(Brisk::CXMLParserT& parser, CMethodList& list) {
    if (!parser.MoveToFirstChild()) return false;  // no top-level node at all
    if (!parser.MoveToNextSibling()) return true;  // only the declaration
    if (!parser.MoveToFirstChild()) return true;   // an empty list element
    do {
        CMethodData entry;
        if (entry.ReadXML(parser)) list.Add(entry);
    } while (parser.MoveToNextSibling());
    parser.MoveToParent();
    return true;
}
}  // namespace

CMethodList::CMethodList(const CMethodList& other) : CQuanObject() {
    SetSize(other.GetSize());
    CopyData(other);
}

CMethodList& CMethodList::operator=(const CMethodList& other) {
    SetSize(other.GetSize());  // also for itself: assignment always makes the list sized
    if (&other != this) CopyData(other);
    return *this;
}

CMethodList::~CMethodList() { ClearEntries(); }

void CMethodList::CopyData(const CMethodList& other) {
    CopyEntriesFrom(other);
    CopyStamp(other);
}

bool CMethodList::WriteXML(Brisk::CXMLBuilderT<256>& builder) const {
    if (!builder.OpenElement("METHODLIST")) return false;
    for (int i = 0; i < GetSize(); ++i) {
        const CMethodData* entry = GetEntry(i);
        // True must mean the method reads back whole, so one entry that cannot be written
        // takes the list element and the entries before it out of the builder again.
        if (entry != nullptr && !entry->WriteXML(builder)) {
            builder.DiscardElement();
            return false;
        }
    }
    return builder.CloseElement();
}

bool CMethodList::ReadXML(const char16_t* text) {
    if (text == nullptr) return false;
    Brisk::CXMLParserT parser;
    if (!parser.ParseText(text)) return false;
    return ReadEntries(parser, *this);
}

bool CMethodList::ReadXML(const std::string& utf8Text) {
    Brisk::CXMLParserT parser;
    if (!parser.ParseUtf8(utf8Text.data(), utf8Text.size())) return false;
    return ReadEntries(parser, *this);
}

void CMethodList::FixCalReferences() {
    const int size = GetSize();
    for (int i = 0; i < size; ++i) {
        CMethodData* entry = GetEntry(i);
        if (entry == nullptr) continue;
        const std::string calCompound = entry->GetCalCompound();
        const std::string name = entry->GetName();
        if (calCompound == name) continue;
        bool namesAnother = false;
        for (int j = 0; j < size && !namesAnother; ++j) {
            const CMethodData* other = GetEntry(j);
            namesAnother = j != i && other != nullptr && other->GetName() == calCompound;
        }
        if (!namesAnother) entry->SetCalCompound(name);
    }
}
