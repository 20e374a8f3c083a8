// Expected real-time events written as `column=value` pairs, one line an event (indented lines
// go on with it), compared with CSV and JSON Lines by column name. An event lists only what
// differs from the event before; the first starts from 0 everywhere (the mnemonic from nothing).
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace event_rows {

using Row = std::map<std::string, std::string>;

inline std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts(1);
    for (const char c : text)
        if (c == separator)
            parts.emplace_back();
        else
            parts.back().push_back(c);
    return parts;
}

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result = split(text, '\n');
    if (result.back().empty())
        result.pop_back();
    return result;
}

// The events of CSV text (simple fields: no quotes) by its header's names.
inline std::vector<Row> csvRows(const std::string& csv) {
    const std::vector<std::string> text = lines(csv);
    std::vector<Row> rows;
    if (text.empty())
        return rows;
    const std::vector<std::string> names = split(text[0], ',');
    for (size_t i = 1; i < text.size(); ++i) {
        const std::vector<std::string> fields = split(text[i], ',');
        EXPECT_EQ(fields.size(), names.size()) << text[i];
        Row& row = rows.emplace_back();
        for (size_t k = 0; k < names.size() && k < fields.size(); ++k)
            row[names[k]] = fields[k];
    }
    return rows;
}

// The expected events of `pairs` over the columns of `header`.
inline std::vector<Row> expectedRows(const std::string& pairs, const std::string& header) {
    Row current;
    for (const std::string& name : split(header, ','))
        current[name] = name == "mnemonic" ? "" : "0";
    std::vector<std::string> events; // an indented line goes on with the event before
    for (const std::string& line : lines(pairs))
        if (!line.empty() && line[0] == ' ' && !events.empty())
            events.back() += line;
        else if (!line.empty())
            events.push_back(line);
    std::vector<Row> rows;
    for (const std::string& event : events) {
        std::istringstream words(event);
        std::string pair;
        while (words >> pair) {
            const size_t equals = pair.find('=');
            const std::string name = pair.substr(0, equals);
            EXPECT_TRUE(equals != std::string::npos && current.count(name)) << "no column " << pair;
            current[name] = pair.substr(equals + 1);
        }
        rows.push_back(current);
    }
    return rows;
}

inline void expectRows(const std::vector<Row>& actual, const std::vector<Row>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i)
        for (const auto& [name, value] : expected[i]) {
            const auto found = actual[i].find(name);
            EXPECT_TRUE(found != actual[i].end() && found->second == value)
                << "event " << i << ", column " << name << ": expected " << value << ", got "
                << (found != actual[i].end() ? found->second : "no such column");
        }
}

// CSV with a header line holds the events `pairs` lists.
inline void expectCsvEvents(const std::string& csv, const std::string& pairs) {
    const std::string header = csv.substr(0, csv.find('\n'));
    expectRows(csvRows(csv), expectedRows(pairs, header));
}

// JSON Lines holds the events of the CSV, with the same keys in the same order; booleans as
// true and false, the mnemonic as a string (without escapes).
inline void expectJsonLinesEqualCsv(const std::string& json, const std::string& csv) {
    const std::vector<std::string> objects = lines(json);
    const std::vector<std::string> csvLines = lines(csv);
    ASSERT_EQ(objects.size() + 1, csvLines.size());
    std::vector<Row> rows;
    for (const std::string& object : objects) {
        ASSERT_TRUE(object.size() > 2 && object.front() == '{' && object.back() == '}') << object;
        std::string keys;
        Row& row = rows.emplace_back();
        for (const std::string& member : split(object.substr(1, object.size() - 2), ',')) {
            const size_t colon = member.find("\":");
            ASSERT_TRUE(member.size() > 2 && member[0] == '"' && colon != std::string::npos)
                << member;
            const std::string key = member.substr(1, colon - 1);
            std::string value = member.substr(colon + 2);
            if (value == "true" || value == "false")
                value = value == "true" ? "1" : "0";
            else if (value.front() == '"')
                value = value.substr(1, value.size() - 2);
            keys += (keys.empty() ? "" : ",") + key;
            row[key] = value;
        }
        EXPECT_EQ(keys, csvLines[0]) << object;
    }
    expectRows(rows, csvRows(csv));
}

} // namespace event_rows
