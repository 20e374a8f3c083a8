#include "sequencer/asmparser/AsmToken.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>

namespace {

std::shared_ptr<const SourceLine> line(const std::string& text, int lineNr = 1) {
    return std::make_shared<const SourceLine>(text, lineNr);
}

TEST(AsmTokenTest, ConstructorsClampToTheLine) {
    const auto ten = line("0123456789");
    struct Row {
        size_t start;
        int length;
        size_t expectStart, expectFinish;
    } rows[] = {
        {3, 4, 3, 7},       {3, 100, 3, 10}, {3, INT_MAX, 3, 10}, {12, 2, 10, 10},
        {3, -2, 3, 8},      {3, -9, 1, 1},   {3, -10, 0, 0},      {3, -11, 0, 0},
        {3, INT_MIN, 0, 0}, {0, 0, 0, 0},    {9, -1, 9, 9},
    };
    for (const Row& r : rows) {
        const AsmToken t(ten, r.start, r.length);
        EXPECT_EQ(t.start(), r.expectStart) << r.start << "," << r.length;
        EXPECT_EQ(t.finish(), r.expectFinish) << r.start << "," << r.length;
    }
    EXPECT_EQ(AsmToken(ten, 4), "456789");
    EXPECT_EQ(AsmToken(ten, 40).start(), 10u);
    EXPECT_EQ(AsmToken(ten), "0123456789");
    EXPECT_TRUE(AsmToken(std::shared_ptr<const SourceLine>()).empty());
}

TEST(AsmTokenTest, TextConstructorsMakeAnUnnumberedLine) {
    const std::string withNul("a\0b", 3);
    for (const AsmToken& t : {AsmToken("abc"), AsmToken(std::string("abc")), AsmToken("abcd", 3)}) {
        ASSERT_TRUE(t.hasSource());
        EXPECT_EQ(t.sourceLine()->lineNr(), 0);
        EXPECT_EQ(t, "abc");
    }
    AsmToken t;
    t = withNul;
    EXPECT_EQ(t.length(), 3u);
    std::ostringstream os;
    os << t << AsmToken();
    EXPECT_EQ(os.str(), withNul);
}

TEST(AsmTokenTest, SubstrFollowsTheTokenSpan) {
    const AsmToken dollar(line("  $abc "), 2, 4);
    const AsmToken name = dollar.substr(1, INT_MAX);
    EXPECT_EQ(name, "abc");
    EXPECT_EQ(name.start(), 3u);
    EXPECT_EQ(dollar.substr(1, 2), "ab");
    EXPECT_EQ(dollar.substr(1, -1), "ab");
    EXPECT_TRUE(dollar.substr(1, -5).empty());

    const AsmToken three(line("xx abc"), 3, 3);
    for (const AsmToken& empty : {three.substr(5, 1), three.substr(3, 1), three.substr(0, 0)}) {
        EXPECT_TRUE(empty.empty());
        EXPECT_EQ(empty.start(), 0u);
        EXPECT_EQ(empty.sourceLine(), three.sourceLine());
    }
}

TEST(AsmTokenTest, ComparisonsAreCaseSensitiveAndSigned) {
    const AsmToken upper("LOOP"), lower("loop");
    EXPECT_FALSE(upper == lower);
    EXPECT_TRUE(upper != lower);
    EXPECT_TRUE(upper < lower);
    EXPECT_FALSE(lower < upper);
    EXPECT_TRUE(upper.isEqualCaseInsensitive(lower));
    EXPECT_TRUE(upper.isEqualCaseInsensitive("Loop"));
    EXPECT_TRUE(upper.isEqualCaseInsensitive(std::string("lOOp")));
    EXPECT_FALSE(upper.isEqualCaseInsensitive("loops"));

    EXPECT_TRUE(AsmToken("\x80") < AsmToken("A"));
    EXPECT_TRUE(AsmToken("ab") < AsmToken("abc"));
    EXPECT_FALSE(AsmToken("abc") < AsmToken("ab"));
    EXPECT_TRUE(AsmToken() < AsmToken("a"));

    const AsmToken none;
    EXPECT_TRUE(none == "");
    EXPECT_TRUE(none == std::string());
    EXPECT_TRUE(none == AsmToken(""));
    EXPECT_FALSE(none == "a");
    EXPECT_EQ(none.toString(), "");

    // Equality ignores which line the text lives in.
    EXPECT_EQ(AsmToken(line("x jmp"), 2), AsmToken("jmp"));
    EXPECT_TRUE(std::string("jmp") == AsmToken("jmp"));
}

TEST(AsmTokenTest, StripAndNextWalkTheLine) {
    const auto src = line(" \t mov  R1, 2 \r");
    AsmToken t(src);
    t.stripFront();
    EXPECT_EQ(t.start(), 3u);
    t.stripBack();
    EXPECT_EQ(t, "mov  R1, 2");

    AsmToken word(src, 3, 3);
    EXPECT_EQ(word, "mov");
    word.next();
    EXPECT_EQ(word.start(), 8u);
    EXPECT_EQ(word.finish(), src->length());
    EXPECT_EQ(word.front(), 'R');

    AsmToken blanks(line("    "));
    blanks.strip();
    EXPECT_TRUE(blanks.empty());
    EXPECT_EQ(blanks.front(), '\0');
    EXPECT_EQ(blanks.back(), '\0');

    AsmToken end(src, src->length());
    end.next();
    EXPECT_TRUE(end.empty());
    EXPECT_EQ(end.start(), src->length());
}

} // namespace
