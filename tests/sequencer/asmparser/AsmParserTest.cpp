// What a golden line cannot say about the parser: its directives, its address labels, and the
// program written back as text. The line grammar's forms and failures, with their columns and
// messages, are in tests/golden/asm.
#include "sequencer/asmparser/AsmParser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "base/Logging.h"
#include "base/utils/SourceReader.h"
#include "sequencer/asmparser/AsmContainer.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmException.h"

namespace {

// A parser over text named "t.s" and the errors of its last run, with the log kept quiet.
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
    // The statement at `index`, which must be an instruction.
    AsmInstruction& instruction(size_t index) {
        return *(*(parser.statements().begin() + index))->asInstruction();
    }
    // The value of an argument, -1 while it has none.
    int64_t value(size_t index, unsigned arg) {
        const auto a = instruction(index).getArg(arg);
        return a->hasIntValue() ? a->intValue() : -1;
    }
    std::string symbolValue(const std::string& name) const {
        const auto found = parser.symbols().find(name);
        return found == parser.symbols().end() ? "<undefined>" : found->second.value.toString();
    }
    // Parses, numbers the instructions and writes the program back.
    std::string roundTrip(const std::string& source) {
        EXPECT_EQ(parse(source), 0);
        parser.assignInstructionAddresses(errors, 0, 1);
        EXPECT_TRUE(errors.empty());
        std::ostringstream out;
        EXPECT_EQ(parser.unparse(out), 0);
        return out.str();
    }

    AsmParser parser;
    AsmErrorList errors;

private:
    const int m_savedLevel = Logging::getLogLevel();
};

using UnparserTest = ParserTest;

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
    EXPECT_EQ(errors.front()->message(),
              "t.s:1:0: Syntax error: AsmParser: first character of address label can not be "
              "numeric: \n1abc: nop\n^^^^\n");
}

TEST_F(ParserTest, LinesAreCountedAndALabelAloneWaitsOverAFailingLine) {
    EXPECT_EQ(parse("\n   \n\t\nnop\n"), 0);
    EXPECT_EQ(parser.numSrcLines(), 4u);
    EXPECT_EQ(parser.numInstructionLines(), 1u);
    ASSERT_EQ(parser.getTimers().size(), 1u);
    EXPECT_EQ(parser.getTimers()[0]->lapCount(), 4u);
    EXPECT_FALSE(parser.getTimers()[0]->isRunning());

    EXPECT_EQ(parse("a:\nadd R1 R2\nnop"), 1);
    ASSERT_EQ(parser.statements().size(), 1u);
    EXPECT_EQ(instruction(0).addressLabel(), "a");
}

TEST_F(ParserTest, CommentsAreKeptOnlyWhenConfigured) {
    EXPECT_EQ(parse("nop # dropped"), 0);
    EXPECT_FALSE(instruction(0).hasComment());

    parser.config().keepComments = true;
    parser.config().keepCommentLines = true;
    EXPECT_EQ(parse("add R1, 2   # two  \n# alone\nnop # [x]: y"), 0);
    // Neither a comment after an instruction without arguments nor a comment line is kept.
    ASSERT_EQ(parser.statements().size(), 2u);
    EXPECT_EQ(instruction(0).comment(), "two  ");
    EXPECT_FALSE(instruction(1).hasComment());
    EXPECT_EQ(parse("add R1 #[x]: y"), 0);
    EXPECT_EQ(instruction(0).comment(), "[x]: y");
}

TEST_F(ParserTest, SymbolValueIsTheTextUpToTheCommentAndLivesForOneParse) {
    EXPECT_EQ(parse("  .DEF\tN-1_x   [R1] : $y  # note"), 0);
    EXPECT_EQ(symbolValue("N-1_x"), "[R1] : $y");
    EXPECT_EQ(parser.symbols().size(), 1u);
    EXPECT_EQ(parser.symbols().begin()->second.lineNr, 1);
    EXPECT_EQ(parser.numDirectiveLines(), 1u);
    EXPECT_EQ(parser.statements().size(), 0u); // directives are not kept by default
    // A use before the definition fails, one after it takes the first value; the duplicate
    // counts as 2 errors, one for each line it names.
    EXPECT_EQ(parse("add $N\n.DEF N 5\nadd $N\n.DEF N 6\nadd $N"), 3);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_STREQ(errors.front()->errorType(), "Unresolved symbol error");
    EXPECT_STREQ(errors.back()->errorType(), "Duplicate symbol error");
    EXPECT_EQ(instruction(1).getArg(0)->intValue(), 5);
    EXPECT_EQ(parse("add $N"), 1);
    EXPECT_TRUE(parser.symbols().empty());
}

TEST_F(ParserTest, SymbolDirectiveWithoutNameIsRejectedAndANullDirectiveIgnored) {
    parser.start();
    auto directive =
        std::make_shared<AsmDirective>(AsmToken(std::make_shared<const SourceLine>(".DEF", 4)));
    try {
        parser.processDirective(directive);
        FAIL() << "no error";
    } catch (const AsmSyntaxError& e) {
        EXPECT_EQ(e.message(), "line 4 column 4: Syntax error: AsmParser: No symbol name given "
                               "for symbol directive .DEF: \n.DEF\n----^\n");
    }
    std::shared_ptr<AsmDirective> none;
    EXPECT_NO_THROW(parser.processDirective(none));
    AsmToken rest("N 5");
    EXPECT_NO_THROW(parser.parseDirective(none, rest));
}

// .X is in both lists; the ignoring handler, registered last, wins.
TEST_F(ParserTest, DirectiveHandlersComeFromTheSyntaxAndTheLastRegistrationWins) {
    AsmSyntax syntax;
    syntax.symbolDirectives = {".SET", ".X"};
    syntax.ignoredDirectives = {".X", ".ORG"};
    AsmParser custom(syntax);
    EXPECT_EQ(parse(".SET A 1\n.X B 2\n.ORG C 3\n.DEF D 4\n", custom), 1);
    EXPECT_EQ(errors.front()->lineNr(), 4); // .DEF is no longer known
    ASSERT_EQ(custom.symbols().size(), 1u);
    EXPECT_EQ(custom.symbols().begin()->first, "A");
}

TEST_F(ParserTest, DirectivesAreKeptWhenConfigured) {
    parser.config().keepDirective(".DEF");
    parser.config().keepComments = true;
    EXPECT_EQ(parse(".DEF N 5   # five"), 0);
    ASSERT_EQ(parser.statements().size(), 1u);
    const auto& directive = dynamic_cast<const AsmDirective&>(**parser.statements().begin());
    EXPECT_EQ(directive.value(), "5");
    EXPECT_EQ(directive.comment(), "five");
}

// Every pass clears the addresses and the values of references, and only those.
TEST_F(ParserTest, ForwardBackwardAndSelfReferencesFollowStartAndIncrement) {
    std::string source = "jge R1, 5, @end\n";
    for (int i = 1; i < 9; ++i)
        source += "nop\n";
    ASSERT_EQ(parse(source + "end: jmp @end, @start\nstart: nop\nloop: jmp @loop, @end"), 0);
    AsmContainer& c = parser.statements();
    const struct {
        AsmContainer::address_t start, increment;
        int64_t end, loop;
    } passes[] = {{0, 1, 9, 11}, {100, 2, 118, 122}, {0, 1, 9, 11}};
    for (const auto& pass : passes) {
        SCOPED_TRACE(pass.start);
        c.assignInstructionAddresses(errors, pass.start, pass.increment);
        EXPECT_TRUE(errors.empty());
        EXPECT_EQ(instruction(9).address(), pass.end);
        EXPECT_EQ(value(0, 1), 5);
        EXPECT_EQ(value(0, 2), pass.end);
        EXPECT_EQ(value(9, 0), pass.end);
        EXPECT_EQ(value(9, 1), pass.end + pass.increment);
        EXPECT_EQ(instruction(11).address(), pass.loop);
        EXPECT_EQ(value(11, 0), pass.loop);
        EXPECT_EQ(value(11, 1), pass.end);
    }
    EXPECT_EQ(c.typeCount(AsmType::INSTRUCTION), 12u);
}

TEST_F(ParserTest, EveryUnresolvedReferenceIsOneError) {
    ASSERT_EQ(parse("jmp @missing\nnop\njmp @missing, @missing"), 0);
    AsmContainer& c = parser.statements();
    c.assignInstructionAddresses(errors, 0, 1);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors.front()->lineNr(), 1);
    EXPECT_EQ(errors.back()->lineNr(), 3);
    for (const auto& error : errors)
        EXPECT_STREQ(error->errorType(), "Unresolved address label error");
    EXPECT_EQ(value(2, 1), -1);
    // Defining the label later resolves the references instead of clashing with them.
    errors = AsmErrorList();
    parser.processLine(std::make_shared<const SourceLine>("missing: nop", 4), errors);
    c.assignInstructionAddresses(errors, 0, 1);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(value(2, 1), 3);
}

// Disassembled words, written by the same code, are in tests/sequencer/SeqAssemblerTest.cpp.
TEST_F(UnparserTest, ProgramIsWrittenInColumnsAlwaysSeparatingTwoItems) {
    parser.config().keepComments = true;
    parser.config().keepAllDirectives = true;
    const std::string text = roundTrip("loop: add R1, 5\n"
                                       "  .DEF   N   5  # five\n"
                                       "\tadd   r2,$N,@loop   # back\n"
                                       "abcdefghijklm R1\n"
                                       "abcdef: nop\n"
                                       "abcdefg: nop\n");
    EXPECT_EQ(text, "loop:   add         R1, 5\n"
                    ".DEF N 5\n"
                    "1:      add         r2, 5, 0x0          #back\n"
                    "2:      abcdefghijklm R1\n"
                    "abcdef: nop\n"
                    "abcdefg: nop\n");
}

TEST_F(UnparserTest, ArgumentsWithoutTextShowTheirValue) {
    const struct {
        AsmArgument arg;
        const char* text;
    } rows[] = {{AsmArgument(int64_t{-1}), "0xffffffffffffffff"},
                {AsmArgument(), "??"},
                {AsmArgument(AsmToken("@end")), "@end"}};
    for (const auto& row : rows) {
        std::ostringstream out;
        int column = 3;
        parser.unparseArgument(out, row.arg, column);
        out << 10; // the stream stays decimal
        EXPECT_EQ(out.str(), std::string(row.text) + "10");
        EXPECT_EQ(column, 3 + static_cast<int>(std::string(row.text).size())) << row.text;
    }
}

TEST_F(UnparserTest, SingleStatementsOfEveryKind) {
    const auto line = std::make_shared<const SourceLine>("x", 1);
    AsmInstruction labelOnly(line, AsmType::LABEL_ONLY);
    labelOnly.setAddressLabel(AsmToken("start"));
    labelOnly.setComment(AsmToken(" here"));
    AsmStatement commentOnly(AsmToken("note")), empty;
    AsmInstruction built(AsmToken("jmp"));
    built.addArg(int64_t{7});
    built.setAddress(12);

    std::ostringstream all;
    const AsmStatement* const statements[] = {&labelOnly, &commentOnly, &empty, &built};
    for (const AsmStatement* statement : statements)
        parser.unparseStatement(all, *statement);
    EXPECT_EQ(all.str(), "start:# here\n#note\n\n12:     jmp         0x7\n");
}

TEST_F(UnparserTest, SaveUnparsedWritesAFileOrReportsWhyNot) {
    roundTrip("loop: jmp @loop");
    const auto path = std::filesystem::temp_directory_path() / "vexa_unparsed_test.s";
    std::ofstream(path) << "old contents that are longer than the program\n";
    EXPECT_EQ(parser.saveUnparsed(path.string()), 0);
    std::stringstream contents;
    contents << std::ifstream(path).rdbuf();
    EXPECT_EQ(contents.str(), "loop:   jmp         0x0\n");
    std::filesystem::remove(path);

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(parser.saveUnparsed("/nonexistent-dir/out.s"), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Could not open file \"/nonexistent-dir/out.s\" for writing\n");

    if (::access("/dev/full", W_OK) == 0) {
        // The device accepts the open and fails the write.
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(parser.saveUnparsed("/dev/full"), -1);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Could not write file \"/dev/full\"\n");
    }
}

} // namespace
