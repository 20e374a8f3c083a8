// A strict reader of the XML that the SVG timeline uses (prolog, elements, attributes,
// character data and the predefined entities): it checks that a document is well-formed,
// valid UTF-8 without control characters, and returns its element tree.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace xmlcheck {

struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::vector<std::unique_ptr<Element>> children;
    std::string text; // character data directly inside, entities resolved

    // Every element below this one, depth first, with the name.
    std::vector<const Element*> findAll(const std::string& wanted) const {
        std::vector<const Element*> found;
        for (const auto& child : children) {
            if (child->name == wanted)
                found.push_back(child.get());
            const auto below = child->findAll(wanted);
            found.insert(found.end(), below.begin(), below.end());
        }
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
        try {
            checkCharacters();
            if (startsWith("<?xml")) {
                m_pos = m_text.find("?>");
                expect(m_pos != std::string_view::npos, "unterminated prolog");
                m_pos += 2;
            }
            skipSpace();
            expect(startsWith("<"), "no root element");
            auto root = element();
            skipSpace();
            expect(m_pos == m_text.size(), "content after the root element");
            return root;
        } catch (const std::runtime_error& e) {
            error = std::string(e.what()) + " at offset " + std::to_string(m_pos);
            return nullptr;
        }
    }

private:
    static void expect(bool condition, const std::string& error) {
        if (!condition)
            throw std::runtime_error(error);
    }
    bool startsWith(std::string_view prefix) const {
        return m_text.substr(m_pos, prefix.size()) == prefix;
    }
    bool atEnd() const { return m_pos >= m_text.size(); }
    void skipSpace() {
        while (!atEnd() &&
               std::string_view(" \t\r\n").find(m_text[m_pos]) != std::string_view::npos)
            ++m_pos;
    }
    void checkCharacters() {
        for (; m_pos < m_text.size();) {
            const auto c = static_cast<unsigned char>(m_text[m_pos]);
            expect(c >= 0x20 || c == '\t' || c == '\n' || c == '\r', "control character");
            const std::size_t length = c < 0x80                 ? 1
                                       : c >= 0xC2 && c <= 0xDF ? 2
                                       : c >= 0xE0 && c <= 0xEF ? 3
                                       : c >= 0xF0 && c <= 0xF4 ? 4
                                                                : 0;
            expect(length != 0 && m_pos + length <= m_text.size(), "invalid UTF-8");
            for (std::size_t k = 1; k < length; ++k)
                expect((static_cast<unsigned char>(m_text[m_pos + k]) & 0xC0) == 0x80,
                       "invalid UTF-8");
            m_pos += length;
        }
        m_pos = 0;
    }
    std::string name() {
        const auto isNameChar = [](char c, bool first) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
                   (!first && ((c >= '0' && c <= '9') || c == '-' || c == '.'));
        };
        const std::size_t start = m_pos;
        expect(!atEnd() && isNameChar(m_text[m_pos], true), "name expected");
        while (!atEnd() && isNameChar(m_text[m_pos], false))
            ++m_pos;
        return std::string(m_text.substr(start, m_pos - start));
    }
    // Character data up to `end` (a quote or '<'), entity references resolved.
    std::string characterData(char end) {
        static const std::map<std::string_view, char> entities = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        std::string result;
        while (!atEnd() && m_text[m_pos] != end) {
            const char c = m_text[m_pos];
            expect(c != '<' && !(end == '<' && startsWith("]]>")), "markup in character data");
            if (c != '&') {
                result += c;
                ++m_pos;
                continue;
            }
            const std::size_t semicolon = m_text.find(';', m_pos);
            expect(semicolon != std::string_view::npos, "unterminated entity reference");
            const auto found = entities.find(m_text.substr(m_pos + 1, semicolon - m_pos - 1));
            expect(found != entities.end(), "unknown entity");
            result += found->second;
            m_pos = semicolon + 1;
        }
        expect(!atEnd(), "unterminated character data");
        return result;
    }
    std::unique_ptr<Element> element() {
        auto result = std::make_unique<Element>();
        ++m_pos; // '<'
        result->name = name();
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
            expect(m_pos != before, "blank expected before an attribute");
            const std::string key = name();
            skipSpace();
            expect(startsWith("="), "'=' expected");
            ++m_pos;
            skipSpace();
            expect(startsWith("\"") || startsWith("'"), "quoted attribute value expected");
            const char quote = m_text[m_pos++];
            std::string value = characterData(quote);
            ++m_pos;
            expect(result->attributes.emplace(key, std::move(value)).second,
                   "duplicate attribute " + key);
        }
        for (;;) {
            result->text += characterData('<');
            if (startsWith("</")) {
                m_pos += 2;
                expect(name() == result->name, "</" + result->name + "> expected");
                skipSpace();
                expect(startsWith(">"), "'>' expected");
                ++m_pos;
                return result;
            }
            result->children.push_back(element());
        }
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

} // namespace xmlcheck
