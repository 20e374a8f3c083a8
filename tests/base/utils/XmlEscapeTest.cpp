#include "base/utils/XmlEscape.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

TEST(XmlEscapeTest, KeepsValidUtf8AndReplacesTheRest) {
    const std::pair<std::string, std::string> cases[] = {
        {"<&>\"'", "&lt;&amp;&gt;&quot;&apos;"},
        {std::string("a\0b\x1f\tc\n", 7), "a?b?\tc\n"},
        {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"},
        {"\xc3", "?"},                // sequence cut short
        {"\xc0\xaf", "??"},           // overlong
        {"\xed\xa0\x80", "???"},      // surrogate
        {"\xef\xbf\xbe", "???"},      // U+FFFE
        {"\xf4\x90\x80\x80", "????"}, // beyond U+10FFFF
        {"\x80x", "?x"},
    };
    for (const auto& [text, escaped] : cases)
        EXPECT_EQ(xmlEscape(text), escaped) << text;
}

} // namespace
