#include "sequencer/asmparser/AsmParser.h"

#include "base/Logging.h"
#include "base/utils/SourceReader.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmException.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Keeps the caught-error debug lines of the parser out of the test output.
class ParserTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedLevel = Logging::getLogLevel();
        Logging::setLogLevel(3);
    }
    void TearDown() override { Logging::setLogLevel(m_savedLevel); }

    int parse(const std::string& text) {
        StringSourceReader reader(text, "t.s");
        return parser.parse(reader, errors);
    }

    std::vector<std::shared_ptr<AsmInstruction>> instructions() const {
        std::vector<std::shared_ptr<AsmInstruction>> result;
        for (const auto& statement : parser.statements())
            if (auto instruction = std::dynamic_pointer_cast<AsmInstruction>(statement))
                result.push_back(instruction);
        return result;
    }

    std::string errorTexts() const {
        std::string text;
        for (const auto& error : errors)
            text += error->message();
        return text;
    }

    AsmParser parser;
    AsmErrorList errors;

private:
    int m_savedLevel = 7;
};

// The text of an error about one span of line `lineNr` of "t.s".
std::string spanError(int lineNr, const std::string& line, size_t column, size_t length,
                      const std::string& message) {
    return "t.s:" + std::to_string(lineNr) + ":" + std::to_string(column) + ": " + message +
           ": \n" + line + "\n" + std::string(column, '-') + std::string(length, '^') + "\n";
}

// The other failures, each with its column, marker and message, are in tests/golden/asm.
TEST_F(ParserTest, SpuriousTextIsMarkedToTheEndOfTheLineCommentIncluded) {
    EXPECT_EQ(parse("add R1 R2 # comment"), 1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors.front()->message(),
              spanError(1, "add R1 R2 # comment", 7, 12,
                        "Syntax error: AsmParser: spurious characters after statement"));
    EXPECT_EQ(parser.statements().size(), 0u);
}

TEST_F(ParserTest, NumericLabelIsRejectedWhenTheSyntaxAllowsIt) {
    AsmSyntax syntax;
    syntax.identifierStart.include("0123456789");
    AsmParser custom(syntax);
    StringSourceReader reader("1abc: nop", "t.s");
    EXPECT_EQ(custom.parse(reader, errors), 1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors.front()->message(),
              spanError(1, "1abc: nop", 0, 4,
                        "Syntax error: AsmParser: first character of address label can not "
                        "be numeric"));
}

TEST_F(ParserTest, UnreadableSourceIsOneRuntimeError) {
    FileSourceReader reader("/nonexistent-dir/prog.s");
    EXPECT_EQ(parser.parse(reader, errors), 1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_STREQ(errors.front()->errorType(), "AsmRuntimeError");
    EXPECT_STREQ(errors.front()->what(),
                 "Could not open input file '/nonexistent-dir/prog.s' for reading");
}

TEST_F(ParserTest, ArgumentsAreClassifiedByTheirText) {
    struct Row {
        const char* text;
        char registerName;
        bool hasValue;
        int64_t value;
        const char* addressLabel;
    };
    const std::vector<Row> rows = {
        {"R1", 'R', true, 1, ""},
        {"r1", 'r', true, 1, ""},
        {"x1", 'x', true, 1, ""},
        {"R-1", 'R', true, -1, ""},
        {"-5", '#', true, -5, ""},
        {"0x1F", '#', true, 31, ""},
        {"7", '#', true, 7, ""},
        {"017", '#', true, 15, ""},
        {"0", '#', true, 0, ""},
        {"@loop", '#', false, 0, "loop"},
        {"@a-b_c", '#', false, 0, "a-b_c"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        errors = AsmErrorList();
        parse(std::string("op ") + row.text);
        ASSERT_TRUE(errors.empty()) << errorTexts();
        const auto instrs = instructions();
        ASSERT_EQ(instrs.size(), 1u);
        ASSERT_EQ(instrs[0]->numArgs(), 1u);
        const auto& arg = *instrs[0]->getArg(0);
        EXPECT_EQ(arg.registerName(), row.registerName);
        EXPECT_EQ(arg.hasIntValue(), row.hasValue);
        if (row.hasValue) {
            EXPECT_EQ(arg.intValue(), row.value);
        }
        EXPECT_EQ(arg.addressLabel(), row.addressLabel);
        EXPECT_EQ(arg.stringValue(), row.text);
    }
}

TEST_F(ParserTest, LabelOnlyLinesMergeIntoTheNextInstruction) {
    struct Row {
        const char* source;
        std::vector<std::string> labels;
    };
    const std::vector<Row> rows = {
        {"start:\n\n# comment\nnop", {"start"}},
        {"a:\nb:\nnop", {"b"}},        // the second pending label wins
        {"a:\nc: nop", {"a"}},         // the pending label replaces the line's own
        {"a:\nadd R1 R2\nnop", {"a"}}, // a failing line leaves the label pending
        {"a: # c\nnop\nnop", {"a", ""}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.source);
        errors = AsmErrorList();
        parse(row.source);
        const auto instrs = instructions();
        ASSERT_EQ(instrs.size(), row.labels.size());
        for (size_t i = 0; i < instrs.size(); ++i)
            EXPECT_EQ(instrs[i]->addressLabel(), row.labels[i]);
    }
}

TEST_F(ParserTest, BlankLinesAreCountedButGiveNoStatement) {
    EXPECT_EQ(parse("\n   \n\t\nnop\n"), 0);
    EXPECT_EQ(parser.numSrcLines(), 4u);
    EXPECT_EQ(parser.numInstructionLines(), 1u);
    EXPECT_EQ(parser.statements().size(), 1u);
    EXPECT_EQ(parser.getTimers().size(), 1u);
    EXPECT_EQ(parser.getTimers()[0]->name(), "parse");
    EXPECT_EQ(parser.getTimers()[0]->lapCount(), 4u);
    EXPECT_FALSE(parser.getTimers()[0]->isRunning());
}

TEST_F(ParserTest, DuplicateAddressLabelKeepsTheFirstInstruction) {
    EXPECT_EQ(parse("a: nop\na: wait"), 2);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(dynamic_cast<AsmDuplicateAddressLabelError*>(errors.front().get()), nullptr);
    ASSERT_EQ(instructions().size(), 1u);
    EXPECT_EQ(instructions()[0]->command(), "nop");
}

TEST_F(ParserTest, CommentsAreKeptOnlyWhenConfigured) {
    parser.config().keepComments = true;
    parser.config().keepCommentLines = true;
    parse("add R1, 2   # two  \n# alone\nnop # not seen");
    EXPECT_TRUE(errors.empty()) << errorTexts();
    const auto instrs = instructions();
    ASSERT_EQ(instrs.size(), 2u);
    EXPECT_EQ(instrs[0]->comment(), "two  ");
    EXPECT_FALSE(instrs[1]->hasComment());
    // A comment-only line is not seen by the comment stage at all.
    EXPECT_EQ(parser.statements().size(), 2u);
}

TEST_F(ParserTest, CommentTextKeepsCharactersThatAreTokensElsewhere) {
    parser.config().keepComments = true;
    parse("add R1 #[x]: y");
    ASSERT_EQ(instructions().size(), 1u);
    EXPECT_EQ(instructions()[0]->comment(), "[x]: y");
}

TEST_F(ParserTest, CommentOfAMultiLineSourceLineSpansTheFollowingCommentLines) {
    parser.config().keepComments = true;
    parser.start();
    const auto line = std::make_shared<const SourceLine>("add R1 # one\n  # two\n#three\nnop", 5);
    parser.processLine(line, errors);
    parser.finish(errors);
    EXPECT_TRUE(errors.empty()) << errorTexts();
    ASSERT_EQ(instructions().size(), 1u);
    EXPECT_EQ(instructions()[0]->comment(), "one\n  # two\n#three");
}

} // namespace
