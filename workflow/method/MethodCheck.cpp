// Method file reading with places, and the method checks. The record reader (CMethodRecord::
// ReadXML) only says yes or no for a whole entry, and the method list skips an entry it cannot
// read; so the file is also scanned here, attribute by attribute, to say which setting of which
// entry is wrong and where it stands. The scan only locates; libxml2 still decides whether the
// document is well-formed.
#include "workflow/method/MethodCheck.h"
#include "workflow/method/MethodDocument.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <type_traits>
#include <unordered_map>

namespace MethodTools {
namespace {

// --- the setting kinds, from the field list ---------------------------------------------------

enum class Kind { kInt, kFloat, kDouble, kText };

template <class T>
constexpr Kind KindOf() {
    if constexpr (std::is_same_v<T, int>) return Kind::kInt;
    else if constexpr (std::is_same_v<T, float>) return Kind::kFloat;
    else return Kind::kDouble;
}

const std::unordered_map<std::string, Kind>& SettingKinds() {
    static const std::unordered_map<std::string, Kind> kinds = [] {
        std::unordered_map<std::string, Kind> table;
#define METHOD_FIELD(type, Name) table[#Name] = KindOf<type>();
#define METHOD_TEXT(Name) table[#Name] = Kind::kText;
#define METHOD_INDEXED(type, Name, count) \
    for (int i = 0; i < (count); ++i) table[#Name + std::to_string(i)] = KindOf<type>();
#define METHOD_INDEXED_TEXT(Name, count) \
    for (int i = 0; i < (count); ++i) table[#Name + std::to_string(i)] = Kind::kText;
#include "platform/MethodRecordFields.def"
        return table;
    }();
    return kinds;
}

template <class T>
bool ReadsWhole(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end;
}

// --- the scan: child elements of the root, with their attributes and places ------------------

struct ScannedAttribute {
    std::string name, value;
    Place place;
};
struct ScannedEntry {
    Place place;
    std::vector<ScannedAttribute> attributes;
};

class Scanner {
public:
    explicit Scanner(const std::string& text) : m_text(text) {
        m_lineStarts.push_back(0);
        for (size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n') m_lineStarts.push_back(i + 1);
    }

    std::vector<ScannedEntry> Entries() {
        std::vector<ScannedEntry> entries;
        int depth = 0;
        size_t at = 0;
        while ((at = m_text.find('<', at)) != std::string::npos) {
            if (Skip(at, "<!--", "-->") || Skip(at, "<?", "?>") || Skip(at, "<![CDATA[", "]]>") || Skip(at, "<!", ">"))
                continue;
            if (m_text.compare(at, 2, "</") == 0) {
                --depth;
                if (!Skip(at, "</", ">")) break;
                continue;
            }
            ScannedEntry entry;
            entry.place = PlaceOf(at);
            bool empty = false;
            if (!ReadTag(at, entry.attributes, empty)) break;  // not well-formed: the parser says so
            if (depth == 0 && !m_sawRoot) {
                m_root = entry;
                m_sawRoot = true;
            }
            if (depth == 1) entries.push_back(std::move(entry));
            if (!empty) ++depth;
        }
        return entries;
    }
    // The list element, as Entries() found it.
    const ScannedEntry& Root() const { return m_root; }

private:
    bool Skip(size_t& at, const char* open, const char* close) {
        if (m_text.compare(at, std::char_traits<char>::length(open), open) != 0) return false;
        const size_t end = m_text.find(close, at);
        at = end == std::string::npos ? m_text.size() : end + std::char_traits<char>::length(close);
        return true;
    }

    Place PlaceOf(size_t offset) const {
        const size_t line = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), offset) - m_lineStarts.begin() - 1;
        return {static_cast<int>(line + 1), static_cast<int>(offset - m_lineStarts[line] + 1)};
    }

    static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    // Reads the tag starting at `at` ('<' and its name), leaving `at` after its '>'.
    bool ReadTag(size_t& at, std::vector<ScannedAttribute>& attributes, bool& empty) {
        const size_t size = m_text.size();
        ++at;
        while (at < size && !IsSpace(m_text[at]) && m_text[at] != '>' && m_text[at] != '/') ++at;
        while (at < size) {
            while (at < size && IsSpace(m_text[at])) ++at;
            if (at >= size) return false;
            if (m_text[at] == '>') {
                ++at;
                return true;
            }
            if (m_text.compare(at, 2, "/>") == 0) {
                at += 2;
                empty = true;
                return true;
            }
            ScannedAttribute attribute;
            attribute.place = PlaceOf(at);
            const size_t nameStart = at;
            while (at < size && !IsSpace(m_text[at]) && m_text[at] != '=' && m_text[at] != '>') ++at;
            attribute.name = m_text.substr(nameStart, at - nameStart);
            while (at < size && IsSpace(m_text[at])) ++at;
            if (at >= size || m_text[at] != '=') return false;
            ++at;
            while (at < size && IsSpace(m_text[at])) ++at;
            if (at >= size || (m_text[at] != '"' && m_text[at] != '\'')) return false;
            const char quote = m_text[at++];
            const size_t end = m_text.find(quote, at);
            if (end == std::string::npos) return false;
            attribute.value = Decoded(m_text.substr(at, end - at));
            at = end + 1;
            attributes.push_back(std::move(attribute));
        }
        return false;
    }

    // The predefined entities and ASCII character references; anything else stays as written
    // and then fails the setting's own check.
    static std::string Decoded(const std::string& raw) {
        if (raw.find('&') == std::string::npos) return raw;  // most values: nothing to replace
        static const struct { const char* entity; char c; } kEntities[] = {
            {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
        std::string text;
        for (size_t i = 0; i < raw.size();) {
            bool replaced = false;
            for (const auto& e : kEntities)
                if (raw.compare(i, std::char_traits<char>::length(e.entity), e.entity) == 0) {
                    text += e.c;
                    i += std::char_traits<char>::length(e.entity);
                    replaced = true;
                    break;
                }
            if (!replaced && raw.compare(i, 2, "&#") == 0) {
                const size_t end = raw.find(';', i);
                const bool hex = i + 2 < raw.size() && (raw[i + 2] == 'x' || raw[i + 2] == 'X');
                unsigned code = 0;
                const char* first = raw.data() + i + (hex ? 3 : 2);
                if (end != std::string::npos) {
                    auto [stop, error] = std::from_chars(first, raw.data() + end, code, hex ? 16 : 10);
                    if (error == std::errc() && stop == raw.data() + end && code > 0 && code < 128) {
                        text += static_cast<char>(code);
                        i = end + 1;
                        replaced = true;
                    }
                }
            }
            if (!replaced) text += raw[i++];
        }
        return text;
    }

    const std::string& m_text;
    std::vector<size_t> m_lineStarts;
    ScannedEntry m_root;
    bool m_sawRoot = false;
};

// --- per-attribute checks ---------------------------------------------------------------------

void CheckAttribute(const std::string& file, int entryNumber, const ScannedAttribute& attribute, Problems& problems) {
    auto problem = [&](const std::string& message) {
        problems.push_back({file, attribute.place.line, attribute.place.column,
                            "entry " + std::to_string(entryNumber) + ": " + message});
    };
    const auto kind = SettingKinds().find(attribute.name);
    if (kind == SettingKinds().end()) {
        problem("\"" + attribute.name + "\" is not a method setting");
        return;
    }
    const std::string& value = attribute.value;
    auto quoted = [&attribute] { return attribute.name + "=\"" + attribute.value + "\""; };
    switch (kind->second) {
        case Kind::kText:
            return;
        case Kind::kInt: {
            int number = 0;
            if (ReadsWhole(value, number)) return;
            const Keywords::EnumeratedSetting* setting = Keywords::FindEnumeratedSetting(attribute.name);
            if (setting == nullptr) problem(quoted() + " is not a whole number");
            else if (Keywords::SettingValue(*setting, value) < 0)
                problem(quoted() + " is not one of " + Keywords::AllowedTexts(*setting) + " (or its row number)");
            return;
        }
        case Kind::kFloat:
        case Kind::kDouble: {
            double number = 0.0;
            float single = 0.0f;
            const bool reads = kind->second == Kind::kFloat ? ReadsWhole(value, single) : ReadsWhole(value, number);
            if (kind->second == Kind::kFloat) number = single;
            if (!reads) problem(quoted() + " is not a number");
            else if (!std::isfinite(number)) problem(quoted() + " is not a finite number");
            return;
        }
    }
}

// --- whole-method checks ----------------------------------------------------------------------


class EntryChecker {
public:
    EntryChecker(const std::string& file, const CMethodList& method, const std::vector<EntryPlaces>& places,
                 Problems& problems)
        : m_file(file), m_method(method), m_places(places), m_problems(problems) {}

    void Check(int index) {
        m_index = index;
        const CMethodData& entry = m_method.GetAt(index);
        CheckSettingsInTables(entry);
        CheckReferences(entry);
        CheckLocation(entry);
        CheckTraces(entry);
    }

private:
    // A problem at the attribute `attribute` when the file has it, else at the entry.
    void Report(const std::string& attribute, const std::string& message) {
        Place place;
        if (m_index < static_cast<int>(m_places.size())) {
            const EntryPlaces& entry = m_places[m_index];
            const auto found = entry.attributes.find(attribute);
            place = found != entry.attributes.end() ? found->second : entry.element;
        }
        // One problem per setting: a value the file scan already refused is not judged again.
        for (const Problem& earlier : m_problems)
            if (place.line > 0 && earlier.line == place.line && earlier.column == place.column && earlier.file == m_file) return;
        m_problems.push_back({m_file, place.line, place.column,
                              "entry " + std::to_string(m_index + 1) + " (" + m_method.GetAt(m_index).GetName() +
                                  "): " + message});
    }

    bool IsEntryNumber(int number) const { return number >= 1 && number <= m_method.GetSize(); }

    void CheckSettingsInTables(const CMethodData& entry) {
        static const struct {
            const char* attribute;
            int (CMethodRecord::*get)() const;
        } kSettings[] = {
            {"LocateBy", &CMethodRecord::GetLocateBy}, {"RCalc", &CMethodRecord::GetRCalc},
            {"RAH", &CMethodRecord::GetRAH},           {"CCalc", &CMethodRecord::GetCCalc},
            {"XYTrans", &CMethodRecord::GetXYTrans},   {"Origin", &CMethodRecord::GetOrigin},
            {"WeightingFunction", &CMethodRecord::GetWeightingFunction}, {"StdLevels", &CMethodRecord::GetStdLevels},
        };
        for (const auto& setting : kSettings) {
            const Keywords::EnumeratedSetting* table = Keywords::FindEnumeratedSetting(setting.attribute);
            const int value = (entry.*setting.get)();
            if (table != nullptr && Keywords::SettingText(*table, value).empty())
                Report(setting.attribute, std::string(setting.attribute) + " " + std::to_string(value) +
                                              " is not one of " + Keywords::AllowedTexts(*table));
        }
        const int by = entry.GetLocateBy();
        if (by == kLocateByResponse || by == kLocateByCombination || by == kLocateByName)
            Report("LocateBy", "locating by " + Keywords::SettingText("LocateBy", by) +
                                   " is not available; use RT, RRT, RNUM or P_CN");
    }

    void CheckReferences(const CMethodData& entry) {
        const int self = m_index + 1;
        const int rref = entry.GetRRef();
        if (rref > m_method.GetSize()) Report("RRef", "its internal standard RRef " + std::to_string(rref) + " is not an entry");
        else if (rref == self) Report("RRef", "it is its own internal standard (RRef)");
        const int rcalc = entry.GetRCalc();
        const bool needsStandard = rcalc == kResponseInternalStd || rcalc == kResponseIsotopeDilution;
        if (entry.GetUseMulti() != 0) {
            for (int k = 0; k < 6 && entry.GetIStd(k) >= 0; ++k) {
                const int standard = entry.GetIStd(k);
                if (standard >= m_method.GetSize())
                    Report("IStd" + std::to_string(k), "its internal standard IStd" + std::to_string(k) + " (list index " +
                                                           std::to_string(standard) + ") is not an entry");
                else if (standard == m_index)
                    Report("IStd" + std::to_string(k), "it is its own internal standard (IStd" + std::to_string(k) + ")");
            }
            if (needsStandard && entry.GetIStd(0) < 0) Report("IStd0", "its response needs an internal standard and IStd0 names none");
        } else if (needsStandard && rref <= 0) {
            Report("RRef", "its response (" + Keywords::SettingText("RCalc", rcalc) + ") needs an internal standard and RRef names none");
        }
        const int rrtRef = entry.GetRRTRef();
        if (rrtRef != 0 && !IsEntryNumber(rrtRef)) Report("RRTRef", "its RRT reference " + std::to_string(rrtRef) + " is not an entry");
        else if (rrtRef == self) Report("RRTRef", "it is its own RRT reference");
        else if (entry.GetLocateBy() == kLocateByRRT && rrtRef == 0) Report("RRTRef", "it is located by RRT but RRTRef names no entry");
        const std::string cal = entry.GetCalCompound();
        if (!cal.empty() && !HasEntryNamed(cal)) Report("CalCompound", "its calibration compound \"" + cal + "\" is not an entry");
        if (entry.GetLocateChoice() == CMethodData::kTotalsChoice) {
            if (entry.GetTotalsGroup().empty()) Report("TotalsGroup", "it is a totals entry but names no totals group");
            else if (!HasGroupMember(entry.GetTotalsGroup()))
                Report("TotalsGroup", "no entry belongs to its totals group \"" + entry.GetTotalsGroup() + "\"");
        }
        const std::string byRef = entry.GetTotalsGroupByRef();
        if (!byRef.empty() && !HasGroupMember(byRef))
            Report("TotalsGroupByRef", "no entry belongs to the totals group \"" + byRef + "\"");
    }

    void CheckLocation(const CMethodData& entry) {
        const int by = entry.GetLocateBy();
        if (by == kLocateByRT || by == kLocateByRRT) {
            if (!(entry.GetLocateRTWin() > 0.0f && std::isfinite(entry.GetLocateRTWin())))
                Report("LocateRTWin", "its retention-time window LocateRTWin is " + Number(entry.GetLocateRTWin()) +
                                          "; it must be above 0");
            if (by == kLocateByRT && !(entry.GetPredRT() >= 0.0f && std::isfinite(entry.GetPredRT())))
                Report("PredRT", "its retention time PredRT is " + Number(entry.GetPredRT()) + "; it must be 0 or above");
            if (by == kLocateByRRT && !(entry.GetPredRRT() > 0.0f && std::isfinite(entry.GetPredRRT())))
                Report("PredRRT", "its relative retention time PredRRT is " + Number(entry.GetPredRRT()) + "; it must be above 0");
        }
        if (entry.GetLocateMassWin() < 0.0f) Report("LocateMassWin", "its window LocateMassWin is negative");
        if (entry.GetRTToleranceLower() < 0.0f) Report("RTToleranceLower", "its RT tolerance RTToleranceLower is negative");
        if (entry.GetRTToleranceUpper() < 0.0f) Report("RTToleranceUpper", "its RT tolerance RTToleranceUpper is negative");
        if (entry.GetQuanRatioWindow() < 0.0) Report("QuanRatioWindow", "its ratio window QuanRatioWindow is negative");
        for (int k = 0; k < 4; ++k) {
            if (entry.GetTargetTrace(k).empty()) continue;
            const std::string at = std::to_string(k);
            if (entry.GetTargetRTWin(k) < 0.0f) Report("TargetRTWin" + at, "its qualifier window TargetRTWin" + at + " is negative");
            if (entry.GetTargetWindow(k) < 0) Report("TargetWindow" + at, "its ion-ratio window TargetWindow" + at + " is negative");
            else if (entry.GetTargetWindow(k) == 0 && entry.GetTargetRatio(k) > 0.0)
                Report("TargetWindow" + at, "its ion-ratio window TargetWindow" + at +
                                                " is 0, so no measured ratio can meet TargetRatio" + at);
            if (!(entry.GetTargetRatio(k) >= 0.0 && std::isfinite(entry.GetTargetRatio(k)))) Report("TargetRatio" + at, "its expected ion ratio TargetRatio" + at + " is not 0 or above");
        }
    }

    void CheckTraces(const CMethodData& entry) {
        if (!TraceParses(entry.GetQuanTrace()))
            Report("QuanTrace", "its quantification trace \"" + entry.GetQuanTrace() + "\" is not a mass, a transition or a name");
        for (int k = 0; k < 4; ++k)
            if (!TraceParses(entry.GetTargetTrace(k)))
                Report("TargetTrace" + std::to_string(k), "its qualifier trace \"" + entry.GetTargetTrace(k) +
                                                              "\" is not a mass, a transition or a name");
    }

    bool HasEntryNamed(const std::string& name) const {
        for (int i = 0; i < m_method.GetSize(); ++i)
            if (m_method.GetAt(i).GetName() == name) return true;
        return false;
    }
    bool HasGroupMember(const std::string& group) const {
        for (int i = 0; i < m_method.GetSize(); ++i)
            if (i != m_index && m_method.GetAt(i).GetLocateChoice() != CMethodData::kTotalsChoice && m_method.GetAt(i).IsMemberOf(group))
                return true;
        return false;
    }
    static std::string Number(float value) {
        char text[32];
        auto [end, error] = std::to_chars(text, text + sizeof text, value);
        return error == std::errc() ? std::string(text, end) : std::string("?");
    }

    const std::string& m_file;
    const CMethodList& m_method;
    const std::vector<EntryPlaces>& m_places;
    Problems& m_problems;
    int m_index = 0;
};

}  // namespace

bool TraceParses(const std::string& trace) {
    const size_t first = trace.find_first_not_of(" \t");
    if (first == std::string::npos) return true;  // no trace
    const char lead = trace[first];
    const bool numeric = (lead >= '0' && lead <= '9') || lead == '.' || lead == '-' || lead == '+';
    if (!numeric && trace.find('>') == std::string::npos) return true;  // a channel name
    int masses = 0;
    for (size_t begin = 0; begin <= trace.size(); ++masses) {
        size_t end = trace.find('>', begin);
        if (end == std::string::npos) end = trace.size();
        size_t from = trace.find_first_not_of(" \t", begin), to = trace.find_last_not_of(" \t", end == 0 ? 0 : end - 1);
        if (from == std::string::npos || from >= end || to == std::string::npos || to < from) return false;
        double mass = 0.0;
        const std::string part = trace.substr(from, to - from + 1);
        if (!ReadsWhole(part, mass) || !std::isfinite(mass) || mass <= 0.0) return false;
        begin = end + 1;
    }
    return masses <= CMassStringComparitor::kMaxMasses;
}

void CheckMethod(const std::string& file, const CMethodList& method, const std::vector<EntryPlaces>& places,
                 Problems& problems) {
    if (method.GetSize() == 0) {
        problems.push_back({file, 0, 0, "the method has no entries"});
        return;
    }
    std::set<std::string> names;
    EntryChecker checker(file, method, places, problems);
    for (int i = 0; i < method.GetSize(); ++i) {
        const std::string name = method.GetAt(i).GetName();
        const Place at = i < static_cast<int>(places.size()) ? places[i].element : Place{};
        if (name.empty()) problems.push_back({file, at.line, at.column, "entry " + std::to_string(i + 1) + " has no name"});
        else if (!names.insert(name).second)
            problems.push_back({file, at.line, at.column,
                                "entry " + std::to_string(i + 1) + " has the name \"" + name + "\" of an earlier entry"});
        checker.Check(i);
    }
}

namespace {

// The list element's own settings: each attribute must be one, and each must read. A problem
// points at the list element's start tag, where the settings are.
void ReadListSettings(const std::string& file, const ScannedEntry& root, ListSettings& settings, Problems& problems) {
    for (const ScannedAttribute& attribute : root.attributes)
        if (!Batch::IsReviewAttribute(attribute.name))
            problems.push_back({file, attribute.place.line, attribute.place.column,
                                "METHODLIST: \"" + attribute.name + "\" is not a method list setting"});
    const auto find = [&root](const char* name, std::string& value) {
        for (const ScannedAttribute& attribute : root.attributes)
            if (attribute.name == name) {
                value = attribute.value;
                return true;
            }
        return false;
    };
    Batch::ReadReviewAttributes(find, settings.review,
                                [&](const std::string& name, const std::string& value, const std::string& expected) {
                                    problems.push_back({file, root.place.line, root.place.column,
                                                        "METHODLIST " + name + "=\"" + value + "\": " + expected});
                                });
}

}  // namespace

bool ReadMethodText(const std::string& file, const std::string& text, CMethodList& method, Problems& problems,
                    ListSettings* settings) {
    const size_t before = problems.size();
    Scanner scanner(text);
    const std::vector<ScannedEntry> scanned = scanner.Entries();
    ListSettings listSettings;
    ReadListSettings(file, scanner.Root(), listSettings, problems);
    std::vector<EntryPlaces> places;
    for (size_t i = 0; i < scanned.size(); ++i) {
        EntryPlaces entry{scanned[i].place, {}};
        for (const ScannedAttribute& attribute : scanned[i].attributes) {
            entry.attributes.emplace(attribute.name, attribute.place);
            CheckAttribute(file, static_cast<int>(i + 1), attribute, problems);
        }
        places.push_back(std::move(entry));
    }
    CMethodList read;
    if (!read.ReadXML(text)) {
        problems.push_back({file, 0, 0, "is not a well-formed method document"});
        return false;
    }
    if (read.GetSize() != static_cast<int>(scanned.size())) {
        // The list reads the children of the second top-level node, taking the first to be the
        // declaration: without one, nothing is read.
        const size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        if (read.GetSize() == 0 && text.compare(start, 5, "<?xml") != 0)
            problems.push_back({file, 1, 1, "the document does not start with the declaration <?xml version=\"1.0\"?>, "
                                            "so no entry is read"});
        else if (problems.size() == before)
            problems.push_back({file, 0, 0, std::to_string(scanned.size() - read.GetSize()) + " of " +
                                                std::to_string(scanned.size()) + " entries could not be read"});
        if (problems.size() != before) return false;
    }
    CheckMethod(file, read, places, problems);
    method = read;
    if (settings != nullptr) *settings = listSettings;
    return problems.size() == before;
}

bool ReadMethodFile(const std::string& path, CMethodList& method, Problems& problems, ListSettings* settings) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        problems.push_back({path, 0, 0, "cannot be read"});
        return false;
    }
    std::stringstream text;
    text << stream.rdbuf();
    return ReadMethodText(path, text.str(), method, problems, settings);
}

}  // namespace MethodTools
