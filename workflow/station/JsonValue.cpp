// The JSON reader (JsonValue.h): recursive descent over the text, one character of look-ahead.
#include "workflow/station/JsonValue.h"

#include <charconv>
#include <cmath>

#include "platform/XMLParser.h"

namespace Station {

class JsonReader {
public:
    explicit JsonReader(std::string_view text) : m_text(text) {}

    bool Document(JsonValue& value, std::string& error) {
        SkipBlanks();
        if (!Value(value, 0)) {
            error = m_error;
            return false;
        }
        SkipBlanks();
        if (m_at != m_text.size()) {
            error = At("text after the JSON value");
            return false;
        }
        return true;
    }

private:
    std::string At(const std::string& what) const { return what + " at character " + std::to_string(m_at + 1); }
    bool Fail(const std::string& what) {
        m_error = At(what);
        return false;
    }
    void SkipBlanks() {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t' || m_text[m_at] == '\n' || m_text[m_at] == '\r'))
            ++m_at;
    }
    bool Literal(std::string_view word) {
        if (m_text.substr(m_at, word.size()) != word) return Fail("an unknown word");
        m_at += word.size();
        return true;
    }

    bool Value(JsonValue& value, int depth) {
        if (depth >= JsonValue::kMostDepth) return Fail("values nested too deep");
        if (m_at >= m_text.size()) return Fail("the end of the text where a value belongs");
        const char c = m_text[m_at];
        if (c == '{') return Object(value, depth);
        if (c == '[') return Array(value, depth);
        if (c == '"') {
            value.m_kind = JsonValue::Kind::kString;
            return String(value.m_string);
        }
        if (c == 't' || c == 'f') {
            value.m_kind = JsonValue::Kind::kBool;
            value.m_bool = c == 't';
            return Literal(c == 't' ? "true" : "false");
        }
        if (c == 'n') {
            value.m_kind = JsonValue::Kind::kNull;
            return Literal("null");
        }
        return Number(value);
    }

    bool Object(JsonValue& value, int depth) {
        value.m_kind = JsonValue::Kind::kObject;
        ++m_at;  // {
        SkipBlanks();
        if (m_at < m_text.size() && m_text[m_at] == '}') {
            ++m_at;
            return true;
        }
        for (;;) {
            SkipBlanks();
            if (m_at >= m_text.size() || m_text[m_at] != '"') return Fail("a member without a quoted name");
            std::string name;
            if (!String(name)) return false;
            SkipBlanks();
            if (m_at >= m_text.size() || m_text[m_at] != ':') return Fail("a member name without ':'");
            ++m_at;
            SkipBlanks();
            JsonValue member;
            if (!Value(member, depth + 1)) return false;
            if (!value.m_members.emplace(std::move(name), std::move(member)).second) return Fail("a member named twice");
            SkipBlanks();
            if (m_at < m_text.size() && m_text[m_at] == ',') {
                ++m_at;
                continue;
            }
            if (m_at < m_text.size() && m_text[m_at] == '}') {
                ++m_at;
                return true;
            }
            return Fail("an object not closed with '}'");
        }
    }

    bool Array(JsonValue& value, int depth) {
        value.m_kind = JsonValue::Kind::kArray;
        ++m_at;  // [
        SkipBlanks();
        if (m_at < m_text.size() && m_text[m_at] == ']') {
            ++m_at;
            return true;
        }
        for (;;) {
            SkipBlanks();
            JsonValue item;
            if (!Value(item, depth + 1)) return false;
            value.m_items.push_back(std::move(item));
            SkipBlanks();
            if (m_at < m_text.size() && m_text[m_at] == ',') {
                ++m_at;
                continue;
            }
            if (m_at < m_text.size() && m_text[m_at] == ']') {
                ++m_at;
                return true;
            }
            return Fail("an array not closed with ']'");
        }
    }

    bool Hex4(unsigned& code) {
        if (m_at + 4 > m_text.size()) return Fail("a \\u escape cut short");
        code = 0;
        for (int k = 0; k < 4; ++k) {
            const char h = m_text[m_at++];
            code <<= 4;
            if (h >= '0' && h <= '9') code |= static_cast<unsigned>(h - '0');
            else if (h >= 'a' && h <= 'f') code |= static_cast<unsigned>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F') code |= static_cast<unsigned>(h - 'A' + 10);
            else return Fail("a \\u escape with a character that is not hexadecimal");
        }
        return true;
    }

    bool String(std::string& out) {
        ++m_at;  // "
        for (;;) {
            if (m_at >= m_text.size()) return Fail("a string not closed");
            const unsigned char c = static_cast<unsigned char>(m_text[m_at]);
            if (c == '"') {
                ++m_at;
                return true;
            }
            if (c < 0x20) return Fail("a control character inside a string");
            if (c != '\\') {
                out += static_cast<char>(c);
                ++m_at;
                continue;
            }
            if (++m_at >= m_text.size()) return Fail("a string not closed");
            const char e = m_text[m_at++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                std::u16string units;  // one character: a code unit, or a surrogate pair
                unsigned code = 0;
                if (!Hex4(code)) return false;
                if (code >= 0xDC00 && code <= 0xDFFF) return Fail("a lone low surrogate");
                if (code >= 0xD800 && code <= 0xDBFF) {
                    unsigned low = 0;
                    if (m_text.substr(m_at, 2) != "\\u") return Fail("a high surrogate without its low half");
                    m_at += 2;
                    if (!Hex4(low)) return false;
                    if (low < 0xDC00 || low > 0xDFFF) return Fail("a high surrogate without its low half");
                    units += static_cast<char16_t>(code);
                    code = low;
                }
                units += static_cast<char16_t>(code);
                std::string character;
                Brisk::Utf16ToUtf8(units.data(), units.size(), character);  // the pair is checked above
                out += character;
                break;
            }
            default: return Fail("an unknown escape in a string");
            }
        }
    }

    bool Number(JsonValue& value) {
        const size_t start = m_at;
        if (m_at < m_text.size() && m_text[m_at] == '-') ++m_at;
        const auto digits = [this] {
            const size_t from = m_at;
            while (m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9') ++m_at;
            return m_at - from;
        };
        const size_t integer = m_at;
        if (digits() == 0) return Fail("a character that starts no value");
        if (m_text[integer] == '0' && m_at - integer > 1) return Fail("a number with a leading zero");
        if (m_at < m_text.size() && m_text[m_at] == '.') {
            ++m_at;
            if (digits() == 0) return Fail("a number without digits after '.'");
        }
        if (m_at < m_text.size() && (m_text[m_at] == 'e' || m_text[m_at] == 'E')) {
            ++m_at;
            if (m_at < m_text.size() && (m_text[m_at] == '+' || m_text[m_at] == '-')) ++m_at;
            if (digits() == 0) return Fail("a number without digits in its exponent");
        }
        value.m_kind = JsonValue::Kind::kNumber;
        const auto read = std::from_chars(m_text.data() + start, m_text.data() + m_at, value.m_number);
        if (read.ec != std::errc() || !std::isfinite(value.m_number)) {
            m_at = start;
            return Fail("a number out of range");
        }
        return true;
    }

    std::string_view m_text;
    size_t m_at = 0;
    std::string m_error;
};

bool JsonValue::Parse(std::string_view text, JsonValue& value, std::string& error) {
    JsonValue parsed;
    JsonReader reader(text);
    if (!reader.Document(parsed, error)) return false;
    value = std::move(parsed);
    return true;
}

const JsonValue* JsonValue::Find(const std::string& name) const {
    const auto found = m_members.find(name);
    return found == m_members.end() ? nullptr : &found->second;
}

}  // namespace Station
