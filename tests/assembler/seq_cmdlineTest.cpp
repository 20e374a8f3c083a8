// Counts on the command line: whole decimal numbers that fit a non-negative int, nothing else.
#include "assembler/seq_cmdline.h"

#include <gtest/gtest.h>

namespace {

TEST(seq_cmdlineTest, ParseCount) {
    struct Case {
        const char* text;
        bool accepted;
        int count;
    };
    const Case cases[] = {
        {"0", true, 0},
        {"1000000", true, 1000000},
        {"+5", true, 5},
        {"  7", true, 7},
        {"2147483647", true, 2147483647},
        {"", false, 0},
        {"5x", false, 0},
        {"5 ", false, 0},
        {"0x10", false, 0},
        {" -1", false, 0},
        {"2147483648", false, 0},
        {"4294967296", false, 0},
        {"99999999999999999999999", false, 0},
    };
    for (const Case& c : cases) {
        int count = -42;
        EXPECT_EQ(seq_cmdline::parseCount(c.text, count), c.accepted) << "'" << c.text << "'";
        EXPECT_EQ(count, c.accepted ? c.count : -42) << "'" << c.text << "'";
    }
}

} // namespace
