#include "base/utils/SourceErrorRef.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

namespace {

std::shared_ptr<const SourceLine> makeLine(const std::string& text, int32_t lineNr = 3,
                                           const char* name = "t.s") {
    return std::make_shared<const SourceLine>(
        text, lineNr, name ? std::make_shared<const std::string>(name) : nullptr);
}

const size_t npos = SourceErrorRef::npos;

TEST(SourceErrorRefTest, PointToTextInSource) {
    // What the row shows, the line, the start and length of the span, the text expected.
    const std::tuple<const char*, std::string, size_t, size_t, std::string> rows[] = {
        {"span in the middle", "LOOP: jmp @x", 7, 2, "\nLOOP: jmp @x\n-------^^\n"},
        {"column 0", "nop", 0, 3, "\nnop\n^^^\n"},
        {"span past the end", "ab", 1, 4, "\nab\n-^^^^\n"},
        {"start at the end", "ab", 2, 1, "\nab\n--^\n"},
        {"tab before", "\tnop", 1, 3, "\n    nop\n----^^^\n"},
        {"tab inside", "a\tb", 0, 3, "\na    b\n^^^^^^\n"},
        {"tab only counted within the text", "x\t", 1, 5, "\nx    \n-^^^^^^^^\n"},
        {"multi-line text", "a\nb", 0, 1, "a\nb"},
        {"unknown start", "abc", npos, 2, "abc"},
        {"zero length", "abc", 1, 0, "abc"},
        {"empty line", "", 0, 1, ""},
        {"absurd length", "abc", 1, npos - 1, "\nabc\n-^^\n"},
    };
    for (const auto& [what, text, start, length, expected] : rows)
        EXPECT_EQ(SourceErrorRef(makeLine(text), start, length).pointToTextInSource(), expected)
            << what;
}

TEST(SourceErrorRefTest, ConstructorsNormaliseTheSpan) {
    const auto line = makeLine("mov R1, 5");
    // What the row shows, the reference, its start, length, text and source reference.
    const std::tuple<const char*, SourceErrorRef, size_t, size_t, const char*, const char*> rows[] =
        {
            {"start beyond the end", SourceErrorRef(line, 10, 2), npos, 2, "", "t.s:3"},
            {"start at the end", SourceErrorRef(line, 9, 1), 9, 1, "", "t.s:3:9"},
            {"found text", SourceErrorRef(line, std::string("R1")), 4, 2, "R1", "t.s:3:4"},
            {"missing text", SourceErrorRef(line, std::string("xyz")), npos, 3, "", "t.s:3"},
            {"whole line", SourceErrorRef(line), npos, 0, "", "t.s:3"},
            {"span past the end", SourceErrorRef(line, 8, 10), 8, 10, "5", "t.s:3:8"},
            {"no line", SourceErrorRef(), npos, 0, "", ""},
            {"line number 0", SourceErrorRef(makeLine("abc", 0), 1, 1), 1, 1, "", ""},
        };
    for (const auto& [what, ref, start, length, text, sourceRef] : rows) {
        SCOPED_TRACE(what);
        EXPECT_EQ(ref.errorStart(), start);
        EXPECT_EQ(ref.errorLength(), length);
        EXPECT_EQ(ref.errorText(), text);
        EXPECT_EQ(ref.getSourceRef(), sourceRef);
        EXPECT_EQ(ref.hasSource(), *sourceRef != '\0');
    }
    EXPECT_EQ(SourceErrorRef(makeLine("abc", 0), 1, 1).pointToTextInSource(), "");
}

TEST(SourceErrorRefTest, OrderByLineNumberWithUnusableLast) {
    // Sorted; references on one line are equal in order, and so are all unusable ones.
    const SourceErrorRef refs[] = {SourceErrorRef(makeLine("b", 2), 0, 1),
                                   SourceErrorRef(makeLine("bb", 2), 1, 1),
                                   SourceErrorRef(makeLine("e", 5), 0, 1),
                                   SourceErrorRef(makeLine("z", 0), 0, 1), SourceErrorRef()};
    const int rank[] = {0, 0, 1, 2, 2};
    for (size_t a = 0; a < 5; ++a)
        for (size_t b = 0; b < 5; ++b)
            EXPECT_EQ(refs[a] < refs[b], rank[a] < rank[b]) << a << " < " << b;
}

} // namespace
