#include "sequencer/asmparser/AsmStatement.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<const SourceLine> line(const std::string& text, int lineNr) {
    return std::make_shared<const SourceLine>(text, lineNr);
}

TEST(AsmStatementTest, SourceStringNeedsANumberedLine) {
    const auto numbered = line("  nop # x", 4);
    EXPECT_EQ(AsmStatement(numbered, AsmType::INSTRUCTION).sourceString(), "  nop # x");
    EXPECT_EQ(AsmStatement(line("nop", 0), AsmType::INSTRUCTION).sourceString(), "");
    EXPECT_EQ(AsmStatement().sourceString(), "");
    EXPECT_FALSE(AsmStatement().hasSource());
    EXPECT_EQ(AsmStatement().type(), AsmType::EMPTY);
}

TEST(AsmStatementTest, SetCommentChangesOnlyAnEmptyKind) {
    const AsmToken comment(line("# note", 3), 2);
    AsmStatement empty;
    empty.setComment(comment);
    EXPECT_EQ(empty.type(), AsmType::COMMENT_ONLY);
    EXPECT_EQ(empty.comment(), "note");
    EXPECT_EQ(empty.sourceLine(), comment.sourceLine());

    AsmStatement instruction(AsmType::INSTRUCTION);
    instruction.setComment(AsmToken(comment));
    EXPECT_EQ(instruction.type(), AsmType::INSTRUCTION);
    EXPECT_TRUE(instruction.hasComment());

    // A comment on an unnumbered line does not give the statement a line.
    AsmStatement unnumbered;
    unnumbered.setComment(AsmToken("text"));
    EXPECT_FALSE(unnumbered.hasSource());
    EXPECT_EQ(unnumbered.type(), AsmType::COMMENT_ONLY);

    AsmStatement commentLine(comment);
    EXPECT_EQ(commentLine.type(), AsmType::COMMENT_ONLY);
    commentLine.clear();
    EXPECT_EQ(commentLine.type(), AsmType::EMPTY);
    EXPECT_FALSE(commentLine.hasSource());
    EXPECT_FALSE(commentLine.hasComment());
}

TEST(AsmStatementTest, Directive) {
    const auto src = line(".DEF n 5", 2);
    AsmDirective d(AsmToken(src, 0, 4), AsmToken(src, 5, 1), AsmToken(src, 7));
    EXPECT_EQ(d.type(), AsmType::DIRECTIVE);
    EXPECT_EQ(d.sourceLine(), src);
    EXPECT_EQ(d.directive(), ".DEF");
    EXPECT_EQ(d.name(), "n");
    EXPECT_EQ(d.value(), "5");
    d.setValue(std::string("17"));
    EXPECT_EQ(d.value(), "17");
    EXPECT_EQ(d.value().sourceLine()->lineNr(), 0);
    d.clear();
    EXPECT_EQ(d.type(), AsmType::EMPTY);
    EXPECT_TRUE(d.directive().empty() && d.name().empty() && d.value().empty());
}

TEST(AsmStatementTest, DirectiveProcessorDefaultsToNoSymbol) {
    struct Ignore : AsmDirectiveProcessor {
        using AsmDirectiveProcessor::AsmDirectiveProcessor;
        void process(std::shared_ptr<AsmDirective>&) override {}
    } ignore(".ALIGN");
    EXPECT_EQ(ignore.directive(), ".ALIGN");
    EXPECT_FALSE(ignore.isSymbol());
}

} // namespace
