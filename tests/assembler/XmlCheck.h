// A strict reader of the XML that the SVG timeline writes (a prolog, elements, quoted
// attributes, character data with the predefined entities): parse() returns the element
// tree, or null with the reason when the text is not well-formed.
#pragma once

#include <map>
#include <memory>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

namespace xmlcheck {

struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::vector<std::unique_ptr<Element>> children;
    std::string text; // character data directly inside, entities resolved

    // Every element below this one with the name, depth first.
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

// Character data with its entities resolved; markup or a control character in it is an error.
inline std::string characterData(const std::string& data) {
    static const std::map<std::string, char> entities = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    std::string result;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (c == '<' || (c < 0x20 && c != '\t' && c != '\n' && c != '\r'))
            throw std::runtime_error("markup or control character in character data");
        if (c != '&') {
            result += data[i];
            continue;
        }
        const std::size_t semicolon = data.find(';', i);
        const auto entity = entities.find(data.substr(i + 1, semicolon - i - 1));
        if (semicolon == std::string::npos || entity == entities.end())
            throw std::runtime_error("unknown entity");
        result += entity->second;
        i = semicolon;
    }
    return result;
}

inline std::unique_ptr<Element> parse(const std::string& text, std::string& error) {
    static const std::string name = "[A-Za-z_:][-\\w:.]*";
    static const std::regex tag("<(/?)(" + name + ")((?:\\s+" + name +
                                "=(?:\"[^\"]*\"|'[^']*'))*)\\s*(/?)>");
    static const std::regex attribute("(" + name + ")=(?:\"([^\"]*)\"|'([^']*)')");
    const auto fail = [](const std::string& why) { throw std::runtime_error(why); };
    std::unique_ptr<Element> root;
    std::vector<Element*> open;
    const std::size_t prolog = text.rfind("<?xml", 0) == 0 ? text.find("?>") : std::string::npos;
    auto last = text.begin() + (prolog == std::string::npos ? 0 : static_cast<long>(prolog) + 2);
    try {
        for (std::sregex_iterator it(last, text.end(), tag), end; it != end; ++it) {
            const std::smatch& m = *it;
            const std::string data = characterData(m.prefix());
            if (!open.empty())
                open.back()->text += data;
            else if (root || data.find_first_not_of(" \t\r\n") != std::string::npos)
                fail("content outside the root element");
            last = m[0].second;
            if (m[1].length() > 0) {
                if (open.empty() || open.back()->name != m[2] || m[3].length() + m[4].length() > 0)
                    fail("unexpected end tag " + m.str());
                open.pop_back();
                continue;
            }
            auto element = std::make_unique<Element>();
            element->name = m[2];
            const std::string attributes = m[3];
            for (std::sregex_iterator a(attributes.begin(), attributes.end(), attribute), none;
                 a != none; ++a) {
                const std::string value = characterData((*a)[2].matched ? (*a)[2] : (*a)[3]);
                if (!element->attributes.emplace((*a)[1], value).second)
                    fail("duplicate attribute " + (*a)[1].str());
            }
            Element* const added = element.get();
            if (open.empty())
                root = std::move(element);
            else
                open.back()->children.push_back(std::move(element));
            if (m[4].length() == 0)
                open.push_back(added);
        }
        if (!root || !open.empty() ||
            std::string(last, text.end()).find_first_not_of(" \t\r\n") != std::string::npos)
            fail("no complete root element");
    } catch (const std::exception& e) {
        error = e.what();
        return nullptr;
    }
    return root;
}

} // namespace xmlcheck
