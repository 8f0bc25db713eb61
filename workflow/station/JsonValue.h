// Reading the JSON a browser sends the review station. Small on purpose: the requests are short
// (the server bounds their size), so the reader builds a tree, refuses anything that is not
// one well-formed JSON text (RFC 8259) with the place and the reason, and nests at most
// kMostDepth deep so no request can exhaust the stack.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Station {

class JsonValue {
public:
    enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
    static constexpr int kMostDepth = 32;

    // Parses `text`; false with `error` saying where and what when it is not one JSON value.
    static bool Parse(std::string_view text, JsonValue& value, std::string& error);

    Kind GetKind() const { return m_kind; }
    bool IsString() const { return m_kind == Kind::kString; }
    bool IsArray() const { return m_kind == Kind::kArray; }
    bool IsObject() const { return m_kind == Kind::kObject; }
    bool GetBool() const { return m_bool; }
    double GetNumber() const { return m_number; }
    const std::string& GetString() const { return m_string; }
    const std::vector<JsonValue>& GetItems() const { return m_items; }
    // A member of an object, or null when there is none (or this is no object).
    const JsonValue* Find(const std::string& name) const;
    const std::map<std::string, JsonValue>& GetMembers() const { return m_members; }

private:
    friend class JsonReader;
    Kind m_kind = Kind::kNull;
    bool m_bool = false;
    double m_number = 0.0;
    std::string m_string;
    std::vector<JsonValue> m_items;
    std::map<std::string, JsonValue> m_members;
};

}  // namespace Station
