// A strict reader of the XML subset that an SVG picture uses (prolog, elements, attributes,
// character data, comments, character and the predefined entity references): it checks
// that a document is well-formed and returns its element tree.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace xmlcheck {

struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::vector<std::unique_ptr<Element>> children;
    std::string text; // character data directly inside, entities resolved

    // Every element below this one (depth first) with the name.
    void findAll(const std::string& wanted, std::vector<const Element*>& found) const {
        for (const auto& child : children) {
            if (child->name == wanted)
                found.push_back(child.get());
            child->findAll(wanted, found);
        }
    }
    std::vector<const Element*> findAll(const std::string& wanted) const {
        std::vector<const Element*> found;
        findAll(wanted, found);
        return found;
    }
    std::string attribute(const std::string& key) const {
        const auto it = attributes.find(key);
        return it == attributes.end() ? std::string() : it->second;
    }
};

class Reader {
public:
    // The root element, or null with `error` set when the text is not well-formed.
    std::unique_ptr<Element> parse(std::string_view text, std::string& error) {
        m_text = text;
        m_pos = 0;
        m_error.clear();
        std::unique_ptr<Element> root;
        if (!validCharacters())
            return fail(error);
        if (startsWith("<?xml")) {
            const std::size_t end = m_text.find("?>", m_pos);
            if (end == std::string_view::npos)
                return setError("unterminated prolog"), fail(error);
            m_pos = end + 2;
        }
        skipMisc();
        if (!startsWith("<"))
            return setError("no root element"), fail(error);
        root = element();
        if (!root)
            return fail(error);
        skipMisc();
        if (m_pos != m_text.size())
            return setError("content after the root element"), fail(error);
        return root;
    }

private:
    std::unique_ptr<Element> fail(std::string& error) {
        error = m_error + " at offset " + std::to_string(m_pos);
        return nullptr;
    }
    void setError(const std::string& error) {
        if (m_error.empty())
            m_error = error;
    }
    bool startsWith(std::string_view prefix) const {
        return m_text.substr(m_pos, prefix.size()) == prefix;
    }
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    static bool isNameStart(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    }
    static bool isNameChar(char c) {
        return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
    }
    void skipSpace() {
        while (m_pos < m_text.size() && isSpace(m_text[m_pos]))
            ++m_pos;
    }
    // Blanks and comments between elements.
    void skipMisc() {
        for (;;) {
            skipSpace();
            if (!startsWith("<!--"))
                return;
            const std::size_t end = m_text.find("-->", m_pos + 4);
            if (end == std::string_view::npos) {
                setError("unterminated comment");
                m_pos = m_text.size();
                return;
            }
            m_pos = end + 3;
        }
    }
    // No control characters and valid UTF-8 throughout.
    bool validCharacters() {
        for (std::size_t i = 0; i < m_text.size();) {
            const auto c = static_cast<unsigned char>(m_text[i]);
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                m_pos = i;
                setError("control character");
                return false;
            }
            std::size_t length = c < 0x80                 ? 1
                                 : c >= 0xC2 && c <= 0xDF ? 2
                                 : c >= 0xE0 && c <= 0xEF ? 3
                                 : c >= 0xF0 && c <= 0xF4 ? 4
                                                          : 0;
            if (length == 0 || i + length > m_text.size()) {
                m_pos = i;
                setError("invalid UTF-8");
                return false;
            }
            for (std::size_t k = 1; k < length; ++k) {
                const auto next = static_cast<unsigned char>(m_text[i + k]);
                if (next < 0x80 || next > 0xBF) {
                    m_pos = i;
                    setError("invalid UTF-8");
                    return false;
                }
            }
            i += length;
        }
        return true;
    }
    bool name(std::string& result) {
        if (m_pos >= m_text.size() || !isNameStart(m_text[m_pos])) {
            setError("name expected");
            return false;
        }
        const std::size_t start = m_pos;
        while (m_pos < m_text.size() && isNameChar(m_text[m_pos]))
            ++m_pos;
        result = std::string(m_text.substr(start, m_pos - start));
        return true;
    }
    // Character data up to `end` (a quote or '<'), entity references resolved.
    bool characterData(char end, std::string& result) {
        while (m_pos < m_text.size() && m_text[m_pos] != end) {
            const char c = m_text[m_pos];
            if (c == '<' || (end == '<' && startsWith("]]>"))) {
                setError("markup in character data");
                return false;
            }
            if (c != '&') {
                result += c;
                ++m_pos;
                continue;
            }
            const std::size_t semicolon = m_text.find(';', m_pos);
            if (semicolon == std::string_view::npos) {
                setError("unterminated entity reference");
                return false;
            }
            const std::string_view entity = m_text.substr(m_pos + 1, semicolon - m_pos - 1);
            static const std::map<std::string_view, char> predefined = {
                {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
            const auto found = predefined.find(entity);
            if (found != predefined.end()) {
                result += found->second;
            } else if (entity.size() > 1 && entity[0] == '#') {
                const bool hex = entity[1] == 'x';
                const std::string_view digits = entity.substr(hex ? 2 : 1);
                if (digits.empty() ||
                    digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
                        std::string_view::npos) {
                    setError("bad character reference");
                    return false;
                }
                result += '?';
            } else {
                setError("unknown entity '" + std::string(entity) + "'");
                return false;
            }
            m_pos = semicolon + 1;
        }
        return true;
    }
    std::unique_ptr<Element> element() {
        auto result = std::make_unique<Element>();
        ++m_pos; // '<'
        if (!name(result->name))
            return nullptr;
        for (;;) {
            const std::size_t before = m_pos;
            skipSpace();
            if (startsWith("/>")) {
                m_pos += 2;
                return result;
            }
            if (startsWith(">")) {
                ++m_pos;
                break;
            }
            if (m_pos == before) {
                setError("blank expected before attribute");
                return nullptr;
            }
            std::string key;
            if (!name(key))
                return nullptr;
            skipSpace();
            if (!startsWith("=")) {
                setError("'=' expected");
                return nullptr;
            }
            ++m_pos;
            skipSpace();
            if (m_pos >= m_text.size() || (m_text[m_pos] != '"' && m_text[m_pos] != '\'')) {
                setError("quoted attribute value expected");
                return nullptr;
            }
            const char quote = m_text[m_pos++];
            std::string value;
            if (!characterData(quote, value))
                return nullptr;
            if (m_pos >= m_text.size()) {
                setError("unterminated attribute value");
                return nullptr;
            }
            ++m_pos;
            if (!result->attributes.emplace(key, value).second) {
                setError("duplicate attribute '" + key + "'");
                return nullptr;
            }
        }
        for (;;) {
            if (!characterData('<', result->text))
                return nullptr;
            if (m_pos >= m_text.size()) {
                setError("element '" + result->name + "' not closed");
                return nullptr;
            }
            if (startsWith("<!--")) {
                skipMisc();
                if (!m_error.empty())
                    return nullptr;
                continue;
            }
            if (startsWith("</")) {
                m_pos += 2;
                std::string closing;
                if (!name(closing))
                    return nullptr;
                skipSpace();
                if (closing != result->name || !startsWith(">")) {
                    setError("'</" + result->name + ">' expected");
                    return nullptr;
                }
                ++m_pos;
                return result;
            }
            auto child = element();
            if (!child)
                return nullptr;
            result->children.push_back(std::move(child));
        }
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::string m_error;
};

} // namespace xmlcheck
