#include "base/utils/SourceErrorRef.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

std::shared_ptr<const SourceLine> makeLine(const std::string& text, int32_t lineNr = 3,
                                           const char* name = "t.s") {
    return std::make_shared<const SourceLine>(
        text, lineNr, name ? std::make_shared<const std::string>(name) : nullptr);
}

TEST(SourceErrorRefTest, PointToTextInSource) {
    const size_t npos = SourceErrorRef::npos;
    const struct {
        const char* what;
        std::string text;
        size_t start;
        size_t length;
        std::string expected;
    } rows[] = {
        {"span in the middle", "LOOP: jmp @x", 7, 2, "\nLOOP: jmp @x\n-------^^\n"},
        {"column 0", "nop", 0, 3, "\nnop\n^^^\n"},
        {"span past the end", "ab", 1, 4, "\nab\n-^^^^\n"},
        {"start at the end", "ab", 2, 1, "\nab\n--^\n"},
        {"tab before", "\tnop", 1, 3, "\n    nop\n----^^^\n"},
        {"tab inside", "a\tb", 0, 3, "\na    b\n^^^^^^\n"},
        {"tabs before and inside", "\tx\ty", 1, 3, "\n    x    y\n----^^^^^^\n"},
        {"tab only counted within the text", "x\t", 1, 5, "\nx    \n-^^^^^^^^\n"},
        {"multi-line text", "a\nb", 0, 1, "a\nb"},
        {"unknown start", "abc", npos, 2, "abc"},
        {"zero length", "abc", 1, 0, "abc"},
        {"empty line", "", 0, 1, ""},
        {"absurd length", "abc", 1, npos - 1, "\nabc\n-^^\n"},
    };
    for (const auto& row : rows) {
        const SourceErrorRef ref(makeLine(row.text), row.start, row.length);
        EXPECT_EQ(ref.pointToTextInSource(), row.expected) << row.what;
    }
}

TEST(SourceErrorRefTest, ConstructorsNormaliseTheSpan) {
    const auto line = makeLine("mov R1, 5");

    const SourceErrorRef beyond(line, 10, 2);
    EXPECT_EQ(beyond.errorStart(), SourceErrorRef::npos);
    EXPECT_EQ(beyond.errorLength(), 2u);
    const SourceErrorRef atEnd(line, 9, 1);
    EXPECT_EQ(atEnd.errorStart(), 9u);

    const SourceErrorRef found(line, std::string("R1"));
    EXPECT_EQ(found.errorStart(), 4u);
    EXPECT_EQ(found.errorLength(), 2u);
    EXPECT_EQ(found.errorText(), "R1");
    EXPECT_EQ(found.getSourceRef(), "t.s:3:4");

    const SourceErrorRef missing(line, std::string("xyz"));
    EXPECT_EQ(missing.errorStart(), SourceErrorRef::npos);
    EXPECT_EQ(missing.errorLength(), 3u);
    EXPECT_EQ(missing.errorText(), "");
    EXPECT_EQ(missing.pointToTextInSource(), "mov R1, 5");
    EXPECT_EQ(missing.getSourceRef(), "t.s:3");

    const SourceErrorRef whole(line);
    EXPECT_EQ(whole.errorStart(), SourceErrorRef::npos);
    EXPECT_EQ(whole.errorLength(), 0u);
    EXPECT_EQ(whole.pointToTextInSource(), "mov R1, 5");

    const SourceErrorRef longSpan(line, 8, 10);
    EXPECT_EQ(longSpan.errorText(), "5");

    const SourceErrorRef none;
    EXPECT_FALSE(none.hasSource());
    EXPECT_EQ(none.sourceLine(), nullptr);
    EXPECT_EQ(none.getSourceRef(), "");
}

TEST(SourceErrorRefTest, LineNumberZeroHasNoSource) {
    const SourceErrorRef ref(makeLine("abc", 0), 1, 1);
    EXPECT_FALSE(ref.hasSource());
    EXPECT_EQ(ref.getSourceRef(), "");
    EXPECT_EQ(ref.errorText(), "");
    EXPECT_EQ(ref.pointToTextInSource(), "");
}

TEST(SourceErrorRefTest, OrderByLineNumberWithUnusableLast) {
    const SourceErrorRef line2(makeLine("b", 2), 0, 1);
    const SourceErrorRef line2Later(makeLine("bb", 2), 1, 1);
    const SourceErrorRef line5(makeLine("e", 5), 0, 1);
    const SourceErrorRef noNumber(makeLine("z", 0), 0, 1);
    const SourceErrorRef noLine;

    EXPECT_TRUE(line2 < line5);
    EXPECT_FALSE(line5 < line2);
    EXPECT_FALSE(line2 < line2Later);
    EXPECT_FALSE(line2Later < line2);
    EXPECT_TRUE(line5 < noNumber);
    EXPECT_FALSE(noNumber < line5);
    EXPECT_FALSE(noNumber < noLine);
    EXPECT_FALSE(noLine < noNumber);

    std::vector<SourceErrorRef> refs{noLine, line5, noNumber, line2};
    std::stable_sort(refs.begin(), refs.end());
    EXPECT_EQ(refs[0].sourceLine()->lineNr(), 2);
    EXPECT_EQ(refs[1].sourceLine()->lineNr(), 5);
    EXPECT_FALSE(refs[2].hasSource());
    EXPECT_FALSE(refs[3].hasSource());
}

} // namespace
