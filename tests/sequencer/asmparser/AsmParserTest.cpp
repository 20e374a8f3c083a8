#include "sequencer/asmparser/AsmParser.h"

#include "base/Logging.h"
#include "base/utils/SourceReader.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmException.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The line grammar's forms and failures, each with its column, marker and message, are in
// tests/golden/asm; these are what a golden line cannot say.
class ParserTest : public ::testing::Test {
protected:
    void SetUp() override { Logging::setLogLevel(3); }
    void TearDown() override { Logging::setLogLevel(m_savedLevel); }

    int parse(const std::string& text, AsmParser& with) {
        errors = AsmErrorList();
        StringSourceReader reader(text, "t.s");
        return with.parse(reader, errors);
    }
    int parse(const std::string& text) { return parse(text, parser); }

    std::vector<const AsmInstruction*> instructions() const {
        std::vector<const AsmInstruction*> result;
        for (const auto& statement : parser.statements())
            if (statement->type() == AsmType::INSTRUCTION)
                result.push_back(statement->asInstruction());
        return result;
    }

    AsmParser parser;
    AsmErrorList errors;

private:
    const int m_savedLevel = Logging::getLogLevel();
};

TEST_F(ParserTest, TextThatEndsAStatementEarlyIsMarkedToTheEndOfTheLine) {
    EXPECT_EQ(parse("add R1 R2 # comment"), 1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors.front()->message(),
              "t.s:1:7: Syntax error: AsmParser: spurious characters after statement: \n"
              "add R1 R2 # comment\n-------^^^^^^^^^^^^\n");
    EXPECT_EQ(parser.statements().size(), 0u);

    // A syntax whose labels may start with a digit still refuses a numeric one.
    AsmSyntax syntax;
    syntax.identifierStart.include("0123456789");
    AsmParser custom(syntax);
    EXPECT_EQ(parse("1abc: nop", custom), 1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors.front()->message(),
              "t.s:1:0: Syntax error: AsmParser: first character of address label can not be "
              "numeric: \n1abc: nop\n^^^^\n");
}

TEST_F(ParserTest, UnreadableSourceIsOneRuntimeError) {
    FileSourceReader reader("/nonexistent-dir/prog.s");
    EXPECT_EQ(parser.parse(reader, errors), 1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_STREQ(errors.front()->errorType(), "AsmRuntimeError");
    EXPECT_STREQ(errors.front()->what(),
                 "Could not open input file '/nonexistent-dir/prog.s' for reading");
}

TEST_F(ParserTest, ALabelOnlyLineWaitsOverAFailingLine) {
    EXPECT_EQ(parse("a:\nadd R1 R2\nnop"), 1);
    ASSERT_EQ(instructions().size(), 1u);
    EXPECT_EQ(instructions()[0]->addressLabel(), "a");
}

TEST_F(ParserTest, BlankLinesAreCountedButGiveNoStatement) {
    EXPECT_EQ(parse("\n   \n\t\nnop\n"), 0);
    EXPECT_EQ(parser.numSrcLines(), 4u);
    EXPECT_EQ(parser.numInstructionLines(), 1u);
    EXPECT_EQ(parser.statements().size(), 1u);
    ASSERT_EQ(parser.getTimers().size(), 1u);
    EXPECT_EQ(parser.getTimers()[0]->name(), "parse");
    EXPECT_EQ(parser.getTimers()[0]->lapCount(), 4u);
    EXPECT_FALSE(parser.getTimers()[0]->isRunning());
}

TEST_F(ParserTest, CommentsAreKeptOnlyWhenConfigured) {
    EXPECT_EQ(parse("nop # dropped"), 0);
    EXPECT_FALSE(instructions()[0]->hasComment());

    parser.config().keepComments = true;
    parser.config().keepCommentLines = true;
    EXPECT_EQ(parse("add R1, 2   # two  \n# alone\nnop # [x]: y"), 0);
    const auto instrs = instructions();
    ASSERT_EQ(instrs.size(), 2u);
    EXPECT_EQ(instrs[0]->comment(), "two  ");
    // After an instruction without arguments the comment stage is not reached.
    EXPECT_FALSE(instrs[1]->hasComment());
    // A comment-only line is not seen by the comment stage at all.
    EXPECT_EQ(parser.statements().size(), 2u);

    EXPECT_EQ(parse("add R1 #[x]: y"), 0);
    EXPECT_EQ(instructions()[0]->comment(), "[x]: y");

    // A source line of several physical lines takes the comment lines that follow.
    parser.start();
    parser.processLine(std::make_shared<const SourceLine>("add R1 # one\n  # two\n#three\nnop", 5),
                       errors);
    parser.finish(errors);
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(instructions().size(), 1u);
    EXPECT_EQ(instructions()[0]->comment(), "one\n  # two\n#three");
}

} // namespace
