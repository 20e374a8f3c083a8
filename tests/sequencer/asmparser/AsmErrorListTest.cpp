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

TEST(AsmErrorListTest, ReportsOfNoErrorAndOfOneSourceError) {
    AsmErrorList list;
    EXPECT_EQ("assembler finished successfully", list.toStringOneLineSummary("assembler"));
    EXPECT_EQ("assembler finished successfully", list.toStringFullReport("assembler"));
    EXPECT_EQ("", list.toStringDetails());

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

TEST(AsmErrorListTest, ReportsOfSeveralErrorsInLineOrderWithoutTheLastNewline) {
    AsmErrorList list;
    list.emplace<AsmRuntimeError>("Could not open input file 'x.s' for reading");
    list.insert(syntaxError(9, "jmp @", 4, 1, "Invalid address label reference"));
    list.insert(syntaxError(2, "ld R1, $", 7, 1, "Invalid symbol name"));
    const std::string details =
        "prog.s:2:7: Syntax error: Invalid symbol name: \nld R1, $\n-------^\n\n"
        "prog.s:9:4: Syntax error: Invalid address label reference: \njmp @\n----^\n\n"
        "Could not open input file 'x.s' for reading";
    EXPECT_EQ("vexa failed with 3 errors:\n" + details, list.toStringFullReport("vexa"));
    EXPECT_EQ(details, list.toStringDetails());
    EXPECT_EQ("vexa failed with 3 errors", list.toStringOneLineSummary("vexa"));
}

TEST(AsmErrorListTest, InsertOrdersByLineNumberStablyWithUnnumberedLast) {
    const auto line9 = syntaxError(9, "a", 0, 1, "nine");
    const auto line2a = syntaxError(2, "b", 0, 1, "two a");
    const std::shared_ptr<AsmError> noLine = std::make_shared<AsmRuntimeError>("no line");
    const auto line2b = syntaxError(2, "c", 0, 1, "two b");
    const std::shared_ptr<AsmError> noLine2 = std::make_shared<AsmRuntimeError>("no line either");
    const auto line1 = syntaxError(1, "d", 0, 1, "one");

    AsmErrorList list;
    for (const auto& err : {line9, line2a, noLine, line2b, noLine2, line1})
        list.insert(err);
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

TEST(AsmErrorListTest, SortByLineNrPutsAnEmptyPointerLast) {
    const auto line3 = syntaxError(3, "x", 0, 1, "");
    EXPECT_FALSE(AsmErrorList::sortByLineNr(nullptr, line3));
    EXPECT_TRUE(AsmErrorList::sortByLineNr(line3, nullptr));
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
