// Counts on the command line: whole decimal numbers that fit a non-negative int, nothing else.
#include "assembler/seq_cmdline.h"

#include <gtest/gtest.h>

namespace {

TEST(seq_cmdlineTest, ParseCount) {
    // The text, and the count it gives (-1: refused).
    // clang-format off
    const std::pair<const char*, int> cases[] = {
        {"0", 0}, {"1000000", 1000000}, {"+5", 5}, {"  7", 7}, {"2147483647", 2147483647},
        {"", -1}, {"5x", -1}, {"5 ", -1}, {"0x10", -1}, {" -1", -1}, {"2147483648", -1},
        {"4294967296", -1}, {"99999999999999999999999", -1}};
    // clang-format on
    for (const auto& [text, expected] : cases) {
        int count = -1;
        EXPECT_EQ(seq_cmdline::parseCount(text, count), expected >= 0) << "'" << text << "'";
        EXPECT_EQ(count, expected) << "'" << text << "'";
    }
}

} // namespace
