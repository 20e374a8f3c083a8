// Expected real-time events written as `column=value` pairs, one line an event (indented lines
// go on with it), compared with CSV by column name. An event lists only what differs from the
// event before; the first starts from 0 everywhere (the mnemonic from nothing).
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace event_rows {

inline std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts(1);
    for (const char c : text)
        if (c == separator)
            parts.emplace_back();
        else
            parts.back().push_back(c);
    return parts;
}

// CSV text with its header line (simple fields, no quotes) holds the events `pairs` lists.
inline void expectCsvEvents(const std::string& csv, const std::string& pairs) {
    std::vector<std::string> lines = split(csv, '\n');
    ASSERT_EQ(lines.back(), "");
    const std::vector<std::string> names = split(lines[0], ',');
    std::map<std::string, std::string> expected;
    for (const std::string& name : names)
        expected[name] = name == "mnemonic" ? "" : "0";

    std::vector<std::string> events; // the pairs of each event
    for (const std::string& line : split(pairs, '\n'))
        if (line.starts_with(' ') && !events.empty())
            events.back() += line;
        else if (!line.empty())
            events.push_back(line);
    ASSERT_EQ(events.size(), lines.size() - 2);

    for (size_t i = 0; i < events.size(); ++i) {
        std::istringstream words(events[i]);
        for (std::string pair; words >> pair;) {
            const std::string name = pair.substr(0, pair.find('='));
            EXPECT_TRUE(expected.count(name)) << "no column " << name;
            expected[name] = pair.substr(pair.find('=') + 1);
        }
        const std::vector<std::string> fields = split(lines[i + 1], ',');
        EXPECT_EQ(fields.size(), names.size()) << lines[i + 1];
        for (size_t k = 0; k < fields.size() && k < names.size(); ++k)
            EXPECT_EQ(fields[k], expected[names[k]]) << "event " << i << ", column " << names[k];
    }
}

// JSON Lines holds the values of the CSV lines under the names of their header, in order;
// booleans as true and false.
inline void expectJsonLinesEqualCsv(const std::string& json, const std::string& csv) {
    const std::vector<std::string> objects = split(json, '\n');
    const std::vector<std::string> lines = split(csv, '\n');
    ASSERT_EQ(objects.size() + 1, lines.size());
    const std::regex key(R"re("(\w+)":)re");
    for (size_t i = 0; i + 1 < objects.size(); ++i) {
        const std::string& object = objects[i];
        std::string keys;
        for (std::sregex_iterator k(object.begin(), object.end(), key), end; k != end; ++k)
            keys += (keys.empty() ? "" : ",") + (*k)[1].str();
        EXPECT_EQ(keys, lines[0]) << object;
        ASSERT_TRUE(object.starts_with('{') && object.ends_with('}')) << object;
        std::string values = std::regex_replace(object.substr(1, object.size() - 2), key, "");
        values = std::regex_replace(values, std::regex("\"([^\"]*)\""), "$1");
        values = std::regex_replace(values, std::regex("\\btrue\\b"), "1");
        EXPECT_EQ(std::regex_replace(values, std::regex("\\bfalse\\b"), "0"), lines[i + 1]);
    }
}

} // namespace event_rows
