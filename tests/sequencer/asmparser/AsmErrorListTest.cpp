#include "sequencer/asmparser/AsmErrorList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using LinePtr = std::shared_ptr<const SourceLine>;

const auto progName = std::make_shared<const std::string>("prog.s");

LinePtr makeLine(const std::string& text, int lineNr) {
    return std::make_shared<const SourceLine>(text, lineNr, progName);
}

std::shared_ptr<AsmError> syntaxError(int lineNr, const std::string& text, size_t start,
                                      size_t length, const std::string& what) {
    auto err = std::make_shared<AsmSyntaxError>(makeLine(text, lineNr), start, length);
    *err << what;
    return err;
}

TEST(AsmErrorListTest, EmptyListReportsSuccess) {
    const AsmErrorList list;
    EXPECT_EQ("assembler finished successfully", list.toStringOneLineSummary("assembler"));
    EXPECT_EQ("assembler finished successfully", list.toStringFullReport("assembler"));
    EXPECT_EQ("", list.toStringDetails());
    EXPECT_EQ(0u, list.numberOfErrorSources());
}

TEST(AsmErrorListTest, OneSourceErrorReportsAsBlockAndSummaryEscapesNewlines) {
    AsmErrorList list;
    list.insert(syntaxError(4, "add R1,, 2", 7, 1, "Invalid argument"));

    EXPECT_EQ("assembler failed with 1 errors:\n"
              "prog.s:4:7: Syntax error: Invalid argument: \n"
              "add R1,, 2\n"
              "-------^\n",
              list.toStringFullReport("assembler"));
    EXPECT_EQ("assembler failed with error: prog.s:4:7: Syntax error: Invalid argument: "
              "\\nadd R1,, 2\\n-------^\\n",
              list.toStringOneLineSummary("assembler"));
    EXPECT_EQ("", list.toStringDetails());
}

TEST(AsmErrorListTest, SeveralSourceErrorsAreSeparatedByOneEmptyLine) {
    AsmErrorList list;
    list.insert(syntaxError(9, "\tjmp @", 5, 1, "Invalid address label reference"));
    list.insert(syntaxError(2, "ld R1, $", 7, 1, "Invalid symbol name"));

    const std::string first = "prog.s:2:7: Syntax error: Invalid symbol name: \n"
                              "ld R1, $\n"
                              "-------^\n";
    // The tab before the span widens the dashes by three.
    const std::string second = "prog.s:9:5: Syntax error: Invalid address label reference: \n"
                               "    jmp @\n"
                               "--------^\n";
    EXPECT_EQ("assembler failed with 2 errors:\n" + first + "\n" + second,
              list.toStringFullReport("assembler"));
    EXPECT_EQ(first + "\n" + second, list.toStringDetails());
    EXPECT_EQ("assembler failed with 2 errors", list.toStringOneLineSummary("assembler"));
}

TEST(AsmErrorListTest, ReportOfErrorsWithoutSourceDropsOnlyTheLastNewline) {
    AsmErrorList list;
    list.emplace<AsmRuntimeError>("Could not open input file 'x.s' for reading");
    list.emplace<AsmProgramTooLongError>("Program too long (5). Maximum 4 instructions");
    EXPECT_EQ("vexa failed with 2 errors:\n"
              "Could not open input file 'x.s' for reading\n"
              "Program too long (5). Maximum 4 instructions",
              list.toStringFullReport("vexa"));
    EXPECT_STREQ("Asm program too long", list.back()->errorType());
}

TEST(AsmErrorListTest, InsertOrdersByLineNumberStablyWithUnnumberedLast) {
    const auto line9 = syntaxError(9, "a", 0, 1, "nine");
    const auto line2a = syntaxError(2, "b", 0, 1, "two a");
    const std::shared_ptr<AsmError> noLine = std::make_shared<AsmRuntimeError>("no line");
    const auto line2b = syntaxError(2, "c", 0, 1, "two b");
    const std::shared_ptr<AsmError> noLine2 = std::make_shared<AsmRuntimeError>("no line either");
    const auto line1 = syntaxError(1, "d", 0, 1, "one");

    AsmErrorList list;
    for (const auto& err : {line9, line2a, noLine, line2b, noLine2, line1}) {
        list.insert(err);
    }
    list.insert(nullptr);

    const std::vector<std::shared_ptr<AsmError>> expected = {line1, line2a, line2b,
                                                             line9, noLine, noLine2};
    ASSERT_EQ(expected.size(), list.size());
    size_t index = 0;
    for (const auto& err : list) {
        EXPECT_EQ(expected[index], err) << "position " << index << ": " << err->what();
        ++index;
    }
    EXPECT_EQ(4u, list.numberOfErrorSources());
}

TEST(AsmErrorListTest, SortByLineNrIsAStrictOrdering) {
    const std::shared_ptr<AsmError> none;
    const auto line3 = syntaxError(3, "x", 0, 1, "");
    const auto line5 = syntaxError(5, "x", 0, 1, "");
    const std::shared_ptr<AsmError> noLine = std::make_shared<AsmRuntimeError>("r");
    const struct {
        std::shared_ptr<AsmError> a, b;
        bool less;
        const char* row;
    } rows[] = {
        {line3, line5, true, "3<5"},      {line5, line3, false, "5<3"},
        {line3, line3, false, "3<3"},     {line3, noLine, true, "3<none"},
        {noLine, line3, false, "none<3"}, {noLine, noLine, false, "none<none"},
        {none, line3, false, "empty<3"},  {line3, none, true, "3<empty"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.less, AsmErrorList::sortByLineNr(row.a, row.b)) << row.row;
    }
}

TEST(AsmErrorListTest, EraseRemovesByIdentityOrPosition) {
    AsmErrorList list;
    const auto original = std::make_shared<AsmRuntimeError>("same text");
    list.insert(original);
    list.emplace<AsmRuntimeError>("other");

    list.erase(original->shared_ptr_copy());
    EXPECT_EQ(2u, list.size());

    list.erase(original);
    ASSERT_EQ(1u, list.size());
    EXPECT_STREQ("other", list.front()->what());

    list.erase(list.begin());
    EXPECT_TRUE(list.empty());
}

TEST(AsmErrorListTest, ReportsKeepNulBytesOfQuotedLines) {
    AsmErrorList list;
    const std::string text("x\0y", 3);
    list.insert(syntaxError(1, text, 2, 1, "bad"));
    EXPECT_EQ("asm failed with 1 errors:\nprog.s:1:2: Syntax error: bad: \n" + text + "\n--^\n",
              list.toStringFullReport("asm"));
    EXPECT_EQ("asm failed with error: prog.s:1:2: Syntax error: bad: \\n" + text + "\\n--^\\n",
              list.toStringOneLineSummary("asm"));
}

} // namespace
