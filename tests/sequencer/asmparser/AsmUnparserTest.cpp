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
    void SetUp() override {
        m_savedLevel = Logging::getLogLevel();
        Logging::setLogLevel(3);
    }
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
    int m_savedLevel = 7;
};

TEST_F(UnparserTest, AlignToColumnAlwaysSeparatesTwoItems) {
    struct Row {
        int target;
        int column;
        int blanks;
        int newColumn;
    };
    const std::vector<Row> rows = {
        {8, 0, 8, 8}, {8, 6, 2, 8}, {8, 7, 1, 8}, {8, 8, 1, 9}, {8, 12, 1, 13}, {0, 0, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.target << " from " << row.column);
        std::ostringstream out;
        int column = row.column;
        AsmParser::alignToColumn(out, row.target, column);
        EXPECT_EQ(out.str(), std::string(static_cast<size_t>(row.blanks), ' '));
        EXPECT_EQ(column, row.newColumn);
    }
}

TEST_F(UnparserTest, ProgramIsWrittenInColumns) {
    parser.config().keepComments = true;
    parser.config().keepAllDirectives = true;
    const std::string text = roundTrip("loop: add R1, 5\n"
                                       "  .DEF   N   5  # five\n"
                                       "\tadd   r2,$N,@loop   # back\n"
                                       "abcdefghijklm R1\n");
    EXPECT_EQ(text, "loop:   add         R1, 5\n"
                    ".DEF N 5\n"
                    "1:      add         r2, 5, 0x0          #back\n"
                    "2:      abcdefghijklm R1\n");
}

TEST_F(UnparserTest, AddressesAreWrittenOnlyWhileConfigured) {
    roundTrip("nop\nwait 3");
    parser.config().writeAddresses = false;
    std::ostringstream out;
    parser.unparse(out);
    EXPECT_EQ(out.str(), "        nop\n        wait        3\n");

    parser.config().writeLabels = false;
    parser.config().writeAddresses = true;
    out.str("");
    roundTrip("x: nop");
    parser.unparse(out);
    EXPECT_EQ(out.str(), "0:      nop\n");
}

TEST_F(UnparserTest, ArgumentsWithoutTextShowTheirValue) {
    struct Row {
        AsmArgument arg;
        const char* text;
    };
    AsmArgument reg(int64_t{12});
    reg.setRegisterName('R');
    AsmArgument immediate(int64_t{255});
    immediate.setImmediate();
    const std::vector<Row> rows = {
        {reg, "R12"},
        {immediate, "0xff"},
        {AsmArgument(int64_t{-1}), "0xffffffffffffffff"},
        {AsmArgument(), "??"},
        {AsmArgument(AsmToken("@end")), "@end"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        std::ostringstream out;
        int column = 3;
        parser.unparseArgument(out, row.arg, column);
        out << 10; // the stream stays decimal
        EXPECT_EQ(out.str(), std::string(row.text) + "10");
        EXPECT_EQ(column, 3 + static_cast<int>(std::string(row.text).size()));
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

    struct Row {
        const AsmStatement* statement;
        const char* text;
    };
    const std::vector<Row> rows = {
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
    const auto path = std::filesystem::temp_directory_path() / "h5_unparsed_test.s";
    {
        std::ofstream old(path);
        old << "old contents that are longer than the program\n";
    }
    EXPECT_EQ(parser.saveUnparsed(path.string()), 0);
    std::ifstream in(path);
    std::stringstream contents;
    contents << in.rdbuf();
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
    AsmParser parser;
    std::ostringstream out;
    const AsmStatement labelOnly(AsmType::LABEL_ONLY);
    EXPECT_EXIT(parser.unparseStatement(out, labelOnly), ::testing::ExitedWithCode(1),
                "THROW_BUG: file='asmparser/AsmParser', line=[0-9]+, "
                "function='unparseStatement', error='AsmStatement of type LABEL_ONLY is not an "
                "instance of class AsmInstruction'");
    const AsmStatement directive(AsmType::DIRECTIVE);
    EXPECT_EXIT(parser.unparseStatement(out, directive), ::testing::ExitedWithCode(1),
                "error='AsmStatement of type DIRECTIVE is not an instance of class "
                "AsmDirective'");
    const AsmStatement instruction(AsmType::INSTRUCTION);
    EXPECT_EXIT(parser.unparseStatement(out, instruction), ::testing::ExitedWithCode(1),
                "error='AsmStatement of type INSTRUCTION is not an instance of class "
                "AsmInstruction'");
    const AsmStatement unknown(AsmType::UNKNOWN);
    EXPECT_EXIT(parser.unparseStatement(out, unknown), ::testing::ExitedWithCode(1),
                "error='Not all statement types covered'");
}

} // namespace
