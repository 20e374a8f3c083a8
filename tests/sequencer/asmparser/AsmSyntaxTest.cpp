#include "sequencer/asmparser/AsmSyntax.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<const SourceLine> line(const std::string& text) {
    return std::make_shared<const SourceLine>(text, 1);
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
}

TEST(AsmSyntaxTest, Filter2TokenScansPastTheOldFinish) {
    const AsmSyntax syntax;
    AsmToken t(line("mnemonic R1"), 0, 2);
    syntax.filter2Token(t, syntax.mnemonicFilter);
    EXPECT_EQ(t, "mnemonic");

    AsmToken none;
    syntax.filter2Token(none, syntax.tokenFilter);
    EXPECT_FALSE(none.hasSource());
}

TEST(AsmSyntaxTest, Filter2TokenWithoutFilterRunsToASeparator) {
    const AsmSyntax syntax;
    struct Row {
        const char* text;
        const char* expected;
    } rows[] = {{"  x.y@z, r", "x.y@z"}, {"abc+def", "abc"}, {"]x", "]"}, {"a#b c", "a#b"}};
    for (const Row& r : rows) {
        AsmToken t(line(r.text));
        syntax.filter2Token(t);
        EXPECT_EQ(t, r.expected) << r.text;
    }
}

TEST(AsmSyntaxTest, Classification) {
    const AsmSyntax syntax;
    struct Row {
        const char* text;
        bool identifier, directive, mnemonic, symbolRef, addressRef, reg, immediate, comment;
    } rows[] = {
        {"loop", true, false, true, false, false, false, false, false},
        {"_a-b", true, false, true, false, false, false, false, false},
        {"1ab", false, false, true, false, false, false, true, false},
        {".DEF", false, true, false, false, false, false, false, false},
        {".", false, false, false, false, false, false, false, false},
        {"$x", false, false, false, true, false, false, false, false},
        {"$", false, false, false, false, false, false, false, false},
        {"@end", false, false, false, false, true, false, false, false},
        {"R1", true, false, true, false, false, true, false, false},
        {"R-1", true, false, true, false, false, true, false, false},
        {"0x1F", false, false, true, false, false, false, true, false},
        {"-5", false, false, true, false, false, false, true, false},
        {"#c", false, false, false, false, false, false, false, true},
        {"", false, false, false, false, false, false, false, false},
    };
    for (const Row& r : rows) {
        const AsmToken t(r.text);
        EXPECT_EQ(syntax.isIdentifier(t), r.identifier) << r.text;
        EXPECT_EQ(syntax.isDirective(t), r.directive) << r.text;
        EXPECT_EQ(syntax.isMnemonic(t), r.mnemonic) << r.text;
        EXPECT_EQ(syntax.isSymbolRef(t), r.symbolRef) << r.text;
        EXPECT_EQ(syntax.isAddressRef(t), r.addressRef) << r.text;
        EXPECT_EQ(syntax.isRegister(t), r.reg) << r.text;
        EXPECT_EQ(syntax.isImmediate(t), r.immediate) << r.text;
        EXPECT_EQ(syntax.isComment(t), r.comment) << r.text;
    }
}

TEST(AsmSyntaxTest, DefaultClassesAndDirectiveLists) {
    const AsmSyntax syntax;
    EXPECT_TRUE(syntax.argumentFilter.accept("$a_b@-9"));
    EXPECT_FALSE(syntax.argumentFilter.accept("a.b"));
    EXPECT_TRUE(syntax.tokenFilter.accept("a.b^_-1"));
    EXPECT_FALSE(syntax.tokenFilter.accept("a:b"));
    EXPECT_TRUE(syntax.commentFilter.accept("# any\ttext;"));
    EXPECT_FALSE(syntax.commentFilter.accept("\r"));
    EXPECT_TRUE(syntax.isEndOfStatement.accept("#\n\r"));
    EXPECT_TRUE(syntax.isNotEndOfStatement.accept("abc ,"));
    EXPECT_FALSE(syntax.isNotEndOfStatement.accept("a#"));
    EXPECT_TRUE(syntax.tokenSeparators.accept(" :;,<>/?|\\[]{}()+=&"));
    EXPECT_FALSE(syntax.immediateFilter.accept("0xg"));
    EXPECT_EQ(syntax.ignoredDirectives, std::vector<std::string>{""});
    EXPECT_EQ(syntax.symbolDirectives, std::vector<std::string>{".DEF"});
}

} // namespace
