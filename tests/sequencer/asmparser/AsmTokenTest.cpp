// Tokens, spans of a source line, the syntax that cuts and classifies them, and the statements
// and arguments made of them.
#include "sequencer/asmparser/AsmToken.h"
#include "sequencer/asmparser/AsmInstruction.h"
#include "sequencer/asmparser/AsmSyntax.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <utility>

namespace {

std::shared_ptr<const SourceLine> line(const std::string& text, int lineNr = 1) {
    return std::make_shared<const SourceLine>(text, lineNr);
}

// A negative length counts back from the end of the line.
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
    EXPECT_TRUE(AsmToken(std::shared_ptr<const SourceLine>()).empty());
}

TEST(AsmTokenTest, TextMakesAnUnnumberedLineAndNulBytesAreKept) {
    for (const AsmToken& t : {AsmToken("abc"), AsmToken(std::string("abc")), AsmToken("abcd", 3)}) {
        ASSERT_TRUE(t.hasSource());
        EXPECT_EQ(t.sourceLine()->lineNr(), 0);
        EXPECT_EQ(t, "abc");
    }
    const std::string withNul("a\0b", 3);
    AsmToken t;
    t = withNul;
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

// Order compares signed characters, then lengths; equality ignores the line the text is in.
TEST(AsmTokenTest, ComparisonsAreCaseSensitiveAndSigned) {
    const AsmToken upper("LOOP"), lower("loop");
    EXPECT_TRUE(upper != lower);
    EXPECT_TRUE(upper < lower);
    EXPECT_TRUE(upper.isEqualCaseInsensitive(lower));
    EXPECT_TRUE(AsmToken("\x80") < AsmToken("A"));
    EXPECT_TRUE(AsmToken("ab") < AsmToken("abc"));
    EXPECT_FALSE(AsmToken("abc") < AsmToken("ab"));
    EXPECT_TRUE(AsmToken() == "");
    EXPECT_EQ(AsmToken(line("x jmp"), 2), AsmToken("jmp"));
}

TEST(AsmTokenTest, StripAndNextWalkTheLine) {
    const auto src = line(" \t mov  R1, 2 \r");
    AsmToken t(src);
    t.strip();
    EXPECT_EQ(t, "mov  R1, 2");
    EXPECT_EQ(t.start(), 3u);
    AsmToken word(src, 3, 3);
    word.next();
    EXPECT_EQ(word.start(), 8u);
    EXPECT_EQ(word.finish(), src->length());
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

TEST(AsmSyntaxTest, Filter2TokenCutsTheNextWord) {
    const AsmSyntax syntax;
    struct Row {
        const char* text;
        size_t start;
        const char* expected;
        size_t expectedStart;
    } rows[] = {
        {"   # comment", 0, "", 3}, {"[x", 0, "[", 0},        {"foo.bar: x", 0, "foo.bar", 0},
        {"loop:nop", 4, ":", 4},    {"  a-b c", 0, "a-b", 2}, {"x ^y_1 z", 1, "^y_1", 2},
        {"abc", 3, "", 3},          {"", 0, "", 0},
    };
    for (const Row& r : rows) {
        AsmToken t(line(r.text), r.start);
        syntax.filter2Token(t, syntax.tokenFilter);
        EXPECT_EQ(t, r.expected) << r.text;
        EXPECT_EQ(t.start(), r.expectedStart) << r.text;
    }
    // The filter scans past the old finish; an empty token stays without a line.
    AsmToken t(line("mnemonic R1"), 0, 2), none;
    syntax.filter2Token(t, syntax.mnemonicFilter);
    EXPECT_EQ(t, "mnemonic");
    syntax.filter2Token(none, syntax.tokenFilter);
    EXPECT_FALSE(none.hasSource());
    // Without a filter the token runs up to a separator.
    const std::pair<const char*, const char*> separated[] = {
        {"  x.y@z, r", "x.y@z"}, {"abc+def", "abc"}, {"]x", "]"}, {"a#b c", "a#b"}};
    for (const auto& [text, expected] : separated) {
        AsmToken u(line(text));
        syntax.filter2Token(u);
        EXPECT_EQ(u, expected) << text;
    }
}

TEST(AsmSyntaxTest, DirectivesStartWithADotAndAName) {
    const AsmSyntax syntax;
    for (const auto& [text, directive] :
         {std::pair{".DEF", true}, {".", false}, {"DEF", false}, {".a-b", true}, {"", false}})
        EXPECT_EQ(syntax.isDirective(AsmToken(text)), directive) << text;
}

TEST(AsmStatementTest, SetCommentChangesOnlyAnEmptyKind) {
    const AsmToken comment(line("# note", 3), 2);
    AsmStatement empty, instruction(AsmType::INSTRUCTION);
    empty.setComment(comment);
    EXPECT_EQ(empty.type(), AsmType::COMMENT_ONLY);
    EXPECT_EQ(empty.sourceString(), "# note");
    instruction.setComment(AsmToken(comment));
    EXPECT_EQ(instruction.type(), AsmType::INSTRUCTION);
    EXPECT_EQ(instruction.sourceLine(), comment.sourceLine());
    EXPECT_EQ(AsmStatement(line("nop", 0), AsmType::INSTRUCTION).sourceString(), "");
}

// A symbol counts as resolved once its value text comes from another line.
TEST(AsmInstructionTest, ClearedValuesAndResolvedSymbols) {
    AsmArgument imm;
    imm.setImmediateStringIntValue(AsmToken("0x1F"), 31);
    imm.clearValue();
    EXPECT_FALSE(imm.hasIntValue());
    EXPECT_FALSE(imm.hasStringValue());
    EXPECT_TRUE(imm.isImmediate());

    const auto use = line("add $n");
    AsmArgument sym(AsmToken(use, 4));
    sym.setSymbolName(AsmToken(use, 5));
    EXPECT_TRUE(sym.hasUnresolvedSymbol());
    sym.setStringValue(AsmToken(line(".DEF n 3"), 7));
    EXPECT_FALSE(sym.hasUnresolvedSymbol());
}

} // namespace
