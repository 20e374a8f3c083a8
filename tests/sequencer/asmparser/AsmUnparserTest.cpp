#include "sequencer/asmparser/AsmParser.h"

#include "base/Logging.h"
#include "base/utils/SourceReader.h"
#include "sequencer/asmparser/AsmErrorList.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class UnparserTest : public ::testing::Test {
protected:
    void SetUp() override { Logging::setLogLevel(3); }
    void TearDown() override { Logging::setLogLevel(m_savedLevel); }

    // Parses, numbers the instructions and writes the program back.
    std::string roundTrip(const std::string& source) {
        AsmErrorList errors;
        StringSourceReader reader(source, "t.s");
        EXPECT_EQ(parser.parse(reader, errors), 0);
        parser.assignInstructionAddresses(errors, 0, 1);
        EXPECT_TRUE(errors.empty());
        std::ostringstream out;
        EXPECT_EQ(parser.unparse(out), 0);
        return out.str();
    }

    AsmParser parser;

private:
    const int m_savedLevel = Logging::getLogLevel();
};

// Disassembled instructions, written by the same code, are covered by
// tests/sequencer/DisassembleTest.cpp.
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

TEST_F(UnparserTest, AddressesAreWrittenOnlyWhileConfigured) {
    parser.config().writeAddresses = false;
    EXPECT_EQ(roundTrip("nop\nwait 3"), "        nop\n        wait        3\n");
    parser.config().writeLabels = false;
    parser.config().writeAddresses = true;
    EXPECT_EQ(roundTrip("x: nop"), "0:      nop\n");
}

TEST_F(UnparserTest, ArgumentsWithoutTextShowTheirValue) {
    AsmArgument reg(int64_t{12});
    reg.setRegisterName('R');
    const struct {
        AsmArgument arg;
        const char* text;
    } rows[] = {{reg, "R12"},
                {AsmArgument(int64_t{-1}), "0xffffffffffffffff"},
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
    AsmStatement commentOnly(AsmToken("note"));
    AsmStatement empty;
    AsmInstruction built(AsmToken("jmp"));
    built.addArg(int64_t{7});
    built.setAddress(12);

    const struct {
        const AsmStatement* statement;
        const char* text;
    } rows[] = {
        {&labelOnly, "start:# here\n"},
        {&commentOnly, "#note\n"},
        {&empty, "\n"},
        {&built, "12:     jmp         0x7\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        std::ostringstream out;
        parser.unparseStatement(out, *row.statement);
        EXPECT_EQ(out.str(), row.text);
    }
    parser.config().writeCommentLines = false;
    parser.config().writeLabels = false;
    std::ostringstream out;
    parser.unparseStatement(out, commentOnly);
    parser.unparseStatement(out, labelOnly);
    EXPECT_EQ(out.str(), "\n\n");
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

TEST(UnparserDeathTest, StatementOfTheWrongClassIsAnInternalError) {
    const struct {
        AsmType::storage_t type;
        const char* error;
    } rows[] = {
        {AsmType::LABEL_ONLY, "AsmStatement of type LABEL_ONLY is not an instance of class "
                              "AsmInstruction"},
        {AsmType::DIRECTIVE, "AsmStatement of type DIRECTIVE is not an instance of class "
                             "AsmDirective"},
        {AsmType::INSTRUCTION, "AsmStatement of type INSTRUCTION is not an instance of class "
                               "AsmInstruction"},
        {AsmType::UNKNOWN, "Not all statement types covered"},
    };
    const AsmParser parser;
    std::ostringstream out;
    for (const auto& row : rows)
        EXPECT_EXIT(parser.unparseStatement(out, AsmStatement(row.type)),
                    ::testing::ExitedWithCode(1),
                    std::string("THROW_BUG: file='asmparser/AsmParser', line=[0-9]+, "
                                "function='unparseStatement', error='") +
                        row.error + "'");
}

} // namespace
