#include "sequencer/asmparser/AsmStatement.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<const SourceLine> line(const std::string& text, int lineNr) {
    return std::make_shared<const SourceLine>(text, lineNr);
}

TEST(AsmStatementTest, SourceStringNeedsANumberedLine) {
    EXPECT_EQ(AsmStatement(line("  nop # x", 4), AsmType::INSTRUCTION).sourceString(), "  nop # x");
    EXPECT_EQ(AsmStatement(line("nop", 0), AsmType::INSTRUCTION).sourceString(), "");
    EXPECT_EQ(AsmStatement().sourceString(), "");
}

TEST(AsmStatementTest, SetCommentChangesOnlyAnEmptyKindAndTakesOnlyANumberedLine) {
    const AsmToken comment(line("# note", 3), 2);
    AsmStatement empty;
    empty.setComment(comment);
    EXPECT_EQ(empty.type(), AsmType::COMMENT_ONLY);
    EXPECT_EQ(empty.sourceLine(), comment.sourceLine());

    AsmStatement instruction(AsmType::INSTRUCTION);
    instruction.setComment(AsmToken(comment));
    EXPECT_EQ(instruction.type(), AsmType::INSTRUCTION);
    EXPECT_EQ(instruction.sourceLine(), comment.sourceLine());

    AsmStatement unnumbered;
    unnumbered.setComment(AsmToken("text"));
    EXPECT_FALSE(unnumbered.hasSource());
    EXPECT_EQ(unnumbered.type(), AsmType::COMMENT_ONLY);

    unnumbered.clear();
    EXPECT_EQ(unnumbered.type(), AsmType::EMPTY);
    EXPECT_FALSE(unnumbered.hasComment());
}

} // namespace
