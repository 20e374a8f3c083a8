#include "base/utils/stringUtils.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <tuple>

namespace {

// One row per text: the value expected, or the message of the exception expected.
struct IntRow {
    const char* text;
    std::optional<long long> value;
    const char* error = "";
};

template <typename T> void checkRows(std::initializer_list<IntRow> rows) {
    for (const IntRow& row : rows) {
        SCOPED_TRACE(std::string(std::numeric_limits<T>::is_signed ? "signed " : "unsigned ") +
                     std::to_string(sizeof(T) * 8) + " bits: '" + row.text + "'");
        T result{};
        try {
            stringToInt(result, row.text);
            EXPECT_TRUE(row.value) << "no exception";
            EXPECT_EQ(result, static_cast<T>(row.value.value_or(0)));
        } catch (const std::exception& e) {
            EXPECT_EQ(std::string(e.what()), row.error);
        }
    }
}

// What the C routines leave to the caller: the range of each width, and the messages.
TEST(StringToIntTest, RangesAndMessagesPerWidth) {
    checkRows<int32_t>(
        {{"0x7fffffff", 2147483647},
         {"-2147483648", -2147483648LL},
         {"0x80000000", {}, "Value '0x80000000' is out of range for an 32 bits signed integer"},
         {"-2147483649", {}, "Value '-2147483649' is out of range for an 32 bits signed integer"},
         {"12ab", {}, "Value '12ab' is not a valid integer. Invalid character 'a' at index 2"}});
    checkRows<uint16_t>(
        {{"65535", 65535},
         {"-0", 0},
         {"65536", {}, "Value '65536' is out of range for an 16 bits unsigned integer"},
         {"-1", {}, "Value '-1' is out of range for an 16 bits unsigned integer"}});
    // The unsigned conversion would wrap this around to 1.
    checkRows<uint32_t>({{"-4294967295",
                          {},
                          "Value '-4294967295' is out of range for an 32 bits unsigned integer"}});
}

// Plain numbers take a shortcut past the C routines; every text must convert as with them.
TEST(StringToIntTest, NumberTextsConvertAsTheCRoutinesDo) {
    // clang-format off
    const char* const texts[] = {
        "0", "-0", "7", "-7", "42", "999999999999999999", "-999999999999999999",
        "1000000000000000000", "-1000000000000000000", "007", "08", "+5", " 5", "5 ", "", "-",
        "--1", "1-", "12a", "0x1F", "0x1f", "0X1aB", "-0x1F", "0x", "-0x", "0x-1", "0x1g", "0xg",
        "0xfffffffffffffff", "-0xfffffffffffffff", "0xffffffffffffffff", "0x10000000000000000",
        "017", "-017", "00", "019", "0178", "077777777777777777777", "0777777777777777777777",
        "01777777777777777777777", "-01777777777777777777777"};
    // clang-format on
    for (const char* text : texts) {
        SCOPED_TRACE(std::string("'") + text + "'");
        char* end = nullptr;
        const long long expected = std::strtoll(text, &end, 0);
        int64_t result = 0;
        uint64_t unsignedResult = 0;
        if (*end == '\0') { // the whole text consumed (the empty one too)
            stringToInt(result, text);
            EXPECT_EQ(result, expected);
            stringToInt(unsignedResult, text);
            EXPECT_EQ(unsignedResult, std::strtoull(text, nullptr, 0));
        } else {
            EXPECT_THROW(stringToInt(result, text), std::invalid_argument);
            EXPECT_THROW(stringToInt(unsignedResult, text), std::invalid_argument);
        }
    }
}

TEST(StringToIntTest, TextWithNulByteIsInvalidAndLongTextIsHandled) {
    int32_t result = 0;
    EXPECT_THROW(stringToInt(result, std::string("1\0002", 3)), std::invalid_argument);
    stringToInt(result, std::string(100, '0') + "7");
    EXPECT_EQ(result, 7);
    EXPECT_THROW(stringToInt(result, std::string(100, '1') + "z"), std::invalid_argument);
    EXPECT_THROW(stringToInt(result, std::string(100, '1')), std::out_of_range);
}

// Both read a word at a time: changing any one byte of any length must change the result.
TEST(StringUtilsTest, EqualTextAndHashTextSeeEveryByte) {
    const std::string letters = "abcdefghijklmnopqrstuvwxyzabcdefghijklmn";
    for (size_t length = 0; length <= letters.size(); ++length) {
        const std::string text = letters.substr(0, length), copy = text;
        EXPECT_TRUE(equalText(text, copy)) << "length " << length;
        EXPECT_EQ(hashText(text), hashText(copy)) << "length " << length;
        EXPECT_FALSE(equalText(text, text + "x")) << "length " << length;
        for (size_t i = 0; i < length; ++i) {
            std::string changed = text;
            changed[i] = '#';
            EXPECT_FALSE(equalText(text, changed)) << "length " << length << ", byte " << i;
            EXPECT_NE(hashText(text), hashText(changed)) << "length " << length << ", byte " << i;
        }
    }
}

TEST(StringUtilsTest, AppendAndStringCatTakeEveryKindOfPiece) {
    const std::string str("str");
    const char* null = nullptr;
    std::string dest("<");
    append_(true, dest, str, '|', std::string_view("view"), "cstr", null, -12, 34u, int64_t{-5},
            uint16_t{7}, static_cast<unsigned char>(200));
    EXPECT_EQ(dest, "<str|viewcstr-1234-57200");
    EXPECT_EQ(stringCat("x", std::numeric_limits<int64_t>::min()), "x-9223372036854775808");
    EXPECT_EQ(stringCat(str, ':', std::string("\0z", 2)), std::string("str:\0z", 6));
}

TEST(StringUtilsTest, StrprintfUsesBothBuffers) {
    for (size_t length : {0u, 1023u, 1024u, 5000u}) {
        std::string dest("old contents");
        const std::string text(length, 'q');
        EXPECT_EQ(strprintf(dest, "%s", text.c_str()), static_cast<int>(length)) << length;
        EXPECT_EQ(dest, text) << length;
    }
}

TEST(StringUtilsTest, ReplaceAll) {
    const std::tuple<const char*, const char*, const char*, const char*> rows[] = {
        {"aaa", "a", "aa", "aaaaaa"},
        {"abcabc", "bc", "", "aa"},
        {"xyz", "q", "r", "xyz"},
        {"xyz", "", "r", "xyz"}};
    for (const auto& [before, from, to, after] : rows) {
        std::string text(before);
        replaceAll(text, from, to);
        EXPECT_EQ(text, after) << before << " " << from;
    }
}

} // namespace
