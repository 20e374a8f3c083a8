#include "base/utils/stringUtils.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>

namespace {

// One row per text: the value expected, or the message of the exception expected.
struct IntRow {
    const char* text;
    std::optional<long long> value; // unsigned rows store their value here as well
    const char* error;              // "" when a value is expected
};

template <typename T> void checkRows(const char* typeName, std::initializer_list<IntRow> rows) {
    for (const IntRow& row : rows) {
        SCOPED_TRACE(std::string(typeName) + " '" + row.text + "'");
        T result{};
        if (row.value) {
            ASSERT_NO_THROW(stringToInt(result, row.text));
            EXPECT_EQ(result, static_cast<T>(*row.value));
        } else {
            try {
                stringToInt(result, row.text);
                ADD_FAILURE() << "no exception";
            } catch (const std::exception& e) {
                EXPECT_EQ(std::string(e.what()), row.error);
            }
        }
    }
}

TEST(StringToIntTest, Signed32) {
    checkRows<int32_t>(
        "int32",
        {{"0x7fffffff", 2147483647, ""},
         {"-2147483648", -2147483648LL, ""},
         {"017", 15, ""},
         {" 12", 12, ""},
         {"+5", 5, ""},
         {"0X1F", 31, ""},
         {"", 0, ""},
         {"0x80000000", {}, "Value '0x80000000' is out of range for an 32 bits signed integer"},
         {"-2147483649", {}, "Value '-2147483649' is out of range for an 32 bits signed integer"},
         {"12 ", {}, "Value '12 ' is not a valid integer. Invalid character ' ' at index 2"},
         {"12ab", {}, "Value '12ab' is not a valid integer. Invalid character 'a' at index 2"},
         {"089", {}, "Value '089' is not a valid integer. Invalid character '8' at index 1"},
         {"R1", {}, "Value 'R1' is not a valid integer. Invalid character 'R' at index 0"}});
}

TEST(StringToIntTest, Unsigned16) {
    checkRows<uint16_t>(
        "uint16",
        {{"65535", 65535, ""},
         {"0xffff", 65535, ""},
         {"-0", 0, ""},
         {"65536", {}, "Value '65536' is out of range for an 16 bits unsigned integer"},
         {"-1", {}, "Value '-1' is out of range for an 16 bits unsigned integer"},
         {"-65535", {}, "Value '-65535' is out of range for an 16 bits unsigned integer"},
         {"x", {}, "Value 'x' is not a valid integer. Invalid character 'x' at index 0"}});
}

TEST(StringToIntTest, Signed16) {
    checkRows<int16_t>(
        "int16", {{"32767", 32767, ""},
                  {"-32768", -32768, ""},
                  {"-0x8000", -32768, ""},
                  {"32768", {}, "Value '32768' is out of range for an 16 bits signed integer"},
                  {"-32769", {}, "Value '-32769' is out of range for an 16 bits signed integer"}});
}

TEST(StringToIntTest, Unsigned32) {
    checkRows<uint32_t>(
        "uint32",
        {{"4294967295", 4294967295LL, ""},
         {"037777777777", 4294967295LL, ""},
         {"4294967296", {}, "Value '4294967296' is out of range for an 32 bits unsigned integer"},
         // the unsigned conversion would wrap this around to 1
         {"-4294967295", {}, "Value '-4294967295' is out of range for an 32 bits unsigned integer"},
         {"1.5", {}, "Value '1.5' is not a valid integer. Invalid character '.' at index 1"}});
}

TEST(StringToIntTest, SixtyFourBitsSaturateAndUnsignedAcceptsMinus) {
    checkRows<int64_t>(
        "int64",
        {{"9223372036854775807", std::numeric_limits<int64_t>::max(), ""},
         {"-9223372036854775808", std::numeric_limits<int64_t>::min(), ""},
         {"99999999999999999999", std::numeric_limits<int64_t>::max(), ""},
         {"-0x10", -16, ""},
         {"5x", {}, "Value '5x' is not a valid integer. Invalid character 'x' at index 1"}});
    uint64_t u = 0;
    stringToInt(u, "-1");
    EXPECT_EQ(u, std::numeric_limits<uint64_t>::max());
    stringToInt(u, "0xffffffffffffffff");
    EXPECT_EQ(u, std::numeric_limits<uint64_t>::max());
    stringToInt(u, "99999999999999999999");
    EXPECT_EQ(u, std::numeric_limits<uint64_t>::max());
}

// Plain decimal, hexadecimal and octal texts take a shortcut past the C routine; every text
// must still convert as strtoll and strtoull convert it.
TEST(StringToIntTest, NumberTextsConvertAsTheCRoutinesDo) {
    const char* const texts[] = {"0",
                                 "-0",
                                 "7",
                                 "-7",
                                 "42",
                                 "999999999999999999",
                                 "-999999999999999999",
                                 "1000000000000000000",
                                 "-1000000000000000000",
                                 "007",
                                 "08",
                                 "+5",
                                 " 5",
                                 "5 ",
                                 "",
                                 "-",
                                 "--1",
                                 "1-",
                                 "12a",
                                 "0x1F",
                                 "0x1f",
                                 "0X1aB",
                                 "-0x1F",
                                 "0x",
                                 "-0x",
                                 "0x-1",
                                 "0x1g",
                                 "0xg",
                                 "0xfffffffffffffff",
                                 "-0xfffffffffffffff",
                                 "0xffffffffffffffff",
                                 "0x10000000000000000",
                                 "017",
                                 "-017",
                                 "00",
                                 "019",
                                 "0178",
                                 "077777777777777777777",
                                 "0777777777777777777777",
                                 "01777777777777777777777",
                                 "-01777777777777777777777"};
    for (const char* text : texts) {
        SCOPED_TRACE(std::string("'") + text + "'");
        char* end = nullptr;
        const long long expected = std::strtoll(text, &end, 0);
        const bool valid = *end == '\0'; // the whole text consumed (the empty one too)
        int64_t result = 0;
        uint64_t unsignedResult = 0;
        if (valid) {
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
    const std::string withNul("1\0"
                              "2",
                              3);
    try {
        stringToInt(result, withNul);
        ADD_FAILURE() << "no exception";
    } catch (const std::invalid_argument& e) {
        EXPECT_EQ(std::string(e.what(), 0, 16), "Value '1");
    }
    const std::string longZeros = std::string(100, '0') + "7";
    stringToInt(result, longZeros);
    EXPECT_EQ(result, 7);
    EXPECT_THROW(stringToInt(result, std::string(100, '1') + "z"), std::invalid_argument);
    EXPECT_THROW(stringToInt(result, std::string(100, '1')), std::out_of_range);
}

// Both read texts a word at a time; a byte left out of either would go unnoticed by every
// text of ordinary length. Changing any one byte of any length must change the result.
TEST(StringUtilsTest, EqualTextAndHashTextSeeEveryByte) {
    for (size_t length = 0; length <= 40; ++length) {
        std::string text;
        for (size_t i = 0; i < length; ++i)
            text.push_back(static_cast<char>('a' + i % 26));
        const std::string copy = text;
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

TEST(StringUtilsTest, DecimalStringLength) {
    EXPECT_EQ(decimalStringLength(uint64_t{0}), 1u);
    EXPECT_EQ(decimalStringLength(uint32_t{10}), 2u);
    EXPECT_EQ(decimalStringLength(uint16_t{65535}), 5u);
    EXPECT_EQ(decimalStringLength(int64_t{-1}), 2u);
    EXPECT_EQ(decimalStringLength(std::numeric_limits<int64_t>::min()), 20u);
    EXPECT_EQ(decimalStringLength(std::numeric_limits<uint64_t>::max()), 20u);
    EXPECT_EQ(decimalStringLength(int32_t{-2147483647 - 1}), 11u);
    EXPECT_EQ(decimalStringLength(int16_t{-32768}), 6u);
    EXPECT_EQ(decimalStringLength(int16_t{99}), 2u);
}

TEST(StringUtilsTest, AppendAndStringCatTakeEveryKindOfPiece) {
    const std::string str("str");
    const std::string_view view("view");
    const char* cstr = "cstr";
    const char* null = nullptr;
    std::string dest("<");
    append_(true, dest, str, '|', view, cstr, null, -12, 34u, int64_t{-5}, uint16_t{7},
            static_cast<unsigned char>(200), "lit");
    EXPECT_EQ(dest, "<str|viewcstr-1234-57200lit");
    std::string unreserved;
    append_(false, unreserved, "a", 1, 'b');
    EXPECT_EQ(unreserved, "a1b");
    EXPECT_EQ(stringCat("x", std::numeric_limits<int64_t>::min()), "x-9223372036854775808");
    EXPECT_EQ(stringCat(str, ':', std::string("\0z", 2)), std::string("str:\0z", 6));
    EXPECT_GE(addLength(0, "abc", str, 'c', 100), 10u);
}

TEST(StringUtilsTest, StrprintfUsesBothBuffers) {
    for (size_t length : {0u, 1u, 1023u, 1024u, 5000u}) {
        std::string dest("old contents");
        const std::string text(length, 'q');
        EXPECT_EQ(strprintf(dest, "%s", text.c_str()), static_cast<int>(length)) << length;
        EXPECT_EQ(dest, text) << length;
    }
    std::string dest;
    EXPECT_EQ(strprintf(dest, "%d:%s", 12, "ab"), 5);
    EXPECT_EQ(dest, "12:ab");
}

TEST(StringUtilsTest, CaseConversionAndReplaceAll) {
    EXPECT_EQ(toUpper("Loop_1a\xe4"), "LOOP_1A\xe4");
    EXPECT_EQ(toLower("LOOP_1A"), "loop_1a");

    const struct {
        const char* text;
        const char* from;
        const char* to;
        const char* expected;
    } rows[] = {{"aaa", "a", "aa", "aaaaaa"},
                {"a\tb\t", "\t", "    ", "a    b    "},
                {"abcabc", "bc", "", "aa"},
                {"xyz", "q", "r", "xyz"},
                {"xyz", "", "r", "xyz"}};
    for (const auto& row : rows) {
        std::string text(row.text);
        replaceAll(text, row.from, row.to);
        EXPECT_EQ(text, row.expected) << row.text << " " << row.from;
    }
}

TEST(StringUtilsTest, SignalNames) {
    EXPECT_STREQ(signalToString(11), "Segmentation Fault");
    EXPECT_STREQ(signalToString(10), "Unknown Signal");
}

} // namespace
