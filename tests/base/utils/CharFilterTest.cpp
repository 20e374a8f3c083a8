#include "base/utils/CharFilter.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <tuple>

namespace {

// The characters from 0 to 255 that the filter accepts.
std::string members(const CharFilter& filter) {
    std::string result;
    for (int value = 0; value < 256; ++value)
        if (filter.accept(static_cast<char>(value)))
            result.push_back(static_cast<char>(value));
    return result;
}

TEST(CharFilterTest, PredefinedClasses) {
    const std::tuple<const char*, const CharFilter&, std::string> rows[] = {
        {"isSpace", CharFilters::isSpace, "\t\n\v\f\r "},
        {"isEndOfLine", CharFilters::isEndOfLine, "\n\r"},
        {"isDigit", CharFilters::isDigit, "-0123456789"},
        {"isXDigit", CharFilters::isXDigit, "0123456789ABCDEFXabcdefx"},
        {"isAlpha", CharFilters::isAlpha, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"},
        {"isAlnum", CharFilters::isAlnum,
         "-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"},
    };
    for (const auto& [name, filter, expected] : rows)
        EXPECT_EQ(members(filter), expected) << name;
}

TEST(CharFilterTest, IncludeExcludeCombineAndAccept) {
    CharFilter filter;
    filter.include("bc");
    filter.include(std::string("d\0e", 3));
    filter.include(CharFilters::isODigit);
    filter.include('\xff');
    EXPECT_EQ(members(filter), std::string(1, '\0') + "01234567bcde\xff");
    filter.exclude(std::string("\0", 1));
    filter.exclude("b");
    filter.exclude(CharFilters::isDigit);
    EXPECT_EQ(members(filter), "cde\xff");

    EXPECT_TRUE(filter.accept("ce"));
    EXPECT_FALSE(filter.accept("cf"));
    EXPECT_TRUE(filter.accept("cfz", 1));
    EXPECT_FALSE(filter.accept(""));
    EXPECT_TRUE(CharFilter().invert().accept(std::string("\0\xff", 2)));
    EXPECT_EQ(members(filter | CharFilters::isODigit), "01234567cde\xff");
    EXPECT_EQ(members(filter & CharFilters::isXLowerDigit), "cde");
    EXPECT_EQ(members(!filter).size(), 252u);
}

// Functions are asked about every byte value; <cctype> ones with the unsigned byte.
TEST(CharFilterTest, FunctionPredicatesCoverAllByteValues) {
    CharFilter fromIsPrint;
    fromIsPrint.include(&isprint);
    EXPECT_EQ(fromIsPrint, CharFilters::isPrint);
    fromIsPrint.exclude(&isdigit);
    EXPECT_EQ(members(fromIsPrint).size(), 85u);

    CharFilter highBytes;
    highBytes.include(+[](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    highBytes.exclude(+[](char c) { return c == '\x80'; });
    EXPECT_EQ(members(highBytes).size(), 127u);
    EXPECT_EQ(members(highBytes)[0], '\x81');
}

} // namespace
