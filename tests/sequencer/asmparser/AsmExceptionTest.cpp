// Assembler errors: their classes, texts and sources, and the list that orders and reports them.
#include "sequencer/asmparser/AsmException.h"
#include "sequencer/asmparser/AsmErrorList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <typeinfo>
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

struct Point {
    int x;
    int y;
};
std::ostream& operator<<(std::ostream& out, const Point& p) {
    return out << '(' << p.x << ',' << p.y << ')';
}

TEST(AsmExceptionTest, SyntaxErrorStreamedInThrowIsCaughtAsItsClassWithFullText) {
    try {
        throw AsmSyntaxError(makeLine("start: jmp @lbl", 12), 11, 4)
            << "Invalid address label reference";
    } catch (const AsmSyntaxError& e) {
        EXPECT_STREQ("prog.s:12:11: Syntax error: Invalid address label reference: \n"
                     "start: jmp @lbl\n-----------^^^^\n",
                     e.what());
        EXPECT_EQ(12, e.lineNr());
        EXPECT_EQ(e.what(), e.what()); // the pointer stays valid across calls
    }
}

TEST(AsmExceptionTest, SyntaxErrorOnUnnumberedLineHasNoSourceAndEmptyText) {
    const AsmSyntaxError byLine(makeLine("jmp @x", 0), "@x");
    const AsmSyntaxError byNull(LinePtr(), 0, 1);
    for (const AsmSyntaxError* e : {&byLine, &byNull}) {
        EXPECT_FALSE(e->hasSource());
        EXPECT_EQ(0, e->lineNr());
        EXPECT_EQ(0u, e->numberOfErrorSources());
        EXPECT_STREQ("", e->what());
    }
}

// Every class names its type and keeps its class and text in a shared_ptr_copy().
TEST(AsmExceptionTest, ErrorClassesNameTheirTypeAndCopyAsThemselves) {
    const LinePtr line = makeLine("jmp @loop", 4);
    // Given as lines 7 and 3, the error is at line 3 and names it first.
    const AsmDuplicateSymbolError duplicateSymbol(
        {makeLine(".DEF count 2", 7), makeLine(".DEF count 1", 3)}, "count");
    const AsmUnresolvedSymbolError unresolvedSymbol(line, "loop");
    const AsmUnresolvedAddressLabelError unresolvedLabel(line, "loop");
    const AsmDuplicateAddressLabelError duplicateLabel(line, "loop");
    const AsmRuntimeError runtime("reader failed");
    const AsmProgramTooLongError tooLong("Program too long (5). Maximum 4 instructions");
    const AsmBug bug("bug");
    const auto syntax = syntaxError(4, "jmp @loop", 4, 5, "bad");
    const struct {
        const AsmError& error;
        const char* type;
        const char* text;
    } rows[] = {
        {duplicateSymbol, "Duplicate symbol error",
         "prog.s:3:5: Duplicate symbol: count. : \n.DEF count 1\n-----^^^^^\n"
         "prog.s:7:5: Duplicate symbol: count. : \n.DEF count 2\n-----^^^^^\n"},
        {unresolvedSymbol, "Unresolved symbol error",
         "prog.s:4:5: Unresolved symbol: loop. : \njmp @loop\n-----^^^^\n"},
        {unresolvedLabel, "Unresolved address label error",
         "prog.s:4:5: Unresolved address label: loop. : \njmp @loop\n-----^^^^\n"},
        {duplicateLabel, "Duplicate address label error",
         "prog.s:4:5: Duplicate address label: loop. : \njmp @loop\n-----^^^^\n"},
        {*syntax, "Asm syntax error", "prog.s:4:4: Syntax error: bad: \njmp @loop\n----^^^^^\n"},
        {runtime, "AsmRuntimeError", "reader failed"},
        {tooLong, "Asm program too long", "Program too long (5). Maximum 4 instructions"},
        {bug, "AsmBug", "bug"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.type);
        EXPECT_STREQ(row.type, row.error.errorType());
        EXPECT_STREQ(row.text, row.error.what());
        EXPECT_EQ(row.text, row.error.message());
        const std::shared_ptr<AsmError> copy = row.error.shared_ptr_copy();
        ASSERT_NE(nullptr, copy);
        EXPECT_NE(&row.error, copy.get());
        EXPECT_EQ(typeid(row.error), typeid(*copy));
        EXPECT_STREQ(row.text, copy->what());
        EXPECT_EQ(row.error.numberOfErrorSources(), copy->numberOfErrorSources());
    }
    EXPECT_EQ(3, duplicateSymbol.lineNr());
}

TEST(AsmExceptionTest, UnresolvedReferenceKeepsUnusableLinesButDoesNotPrintThem) {
    const LinePtr line5 = makeLine("call @sub", 5);
    const AsmUnresolvedAddressLabelError e({makeLine("call @sub", 0), line5}, "sub");
    EXPECT_EQ(2u, e.numberOfErrorSources());
    EXPECT_EQ(line5, e.sourceLine());
    EXPECT_STREQ("prog.s:5:6: Unresolved address label: sub. : \ncall @sub\n------^^^\n", e.what());
}

TEST(AsmExceptionTest, StreamingAppendsValuesWithoutTruncation) {
    const struct {
        std::string expected;
        StreamException<std::runtime_error> streamed;
    } rows[] = {
        {"1", StreamException<std::runtime_error>() << true},
        {"-32768", StreamException<std::runtime_error>() << static_cast<short>(SHRT_MIN)},
        {"65535", StreamException<std::runtime_error>() << static_cast<unsigned short>(65535)},
        {"4294967295", StreamException<std::runtime_error>() << 4294967295u},
        {"-9223372036854775808", StreamException<std::runtime_error>() << LONG_MIN},
        {"18446744073709551615", StreamException<std::runtime_error>() << ULONG_MAX},
        {"(3,-4)", StreamException<std::runtime_error>() << Point{3, -4}},
        {"x", StreamException<std::runtime_error>() << static_cast<const char*>(nullptr) << 'x'},
        {"start: 7 items", StreamException<std::runtime_error>("start: ") << 7 << " items"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.expected, row.streamed.message());
        EXPECT_EQ(row.expected, row.streamed.what());
    }
}

// The quoted line keeps its NUL byte in both reports.
TEST(AsmErrorListTest, ReportsOfNoErrorAndOfOneSourceError) {
    AsmErrorList list;
    EXPECT_EQ("assembler finished successfully", list.toStringOneLineSummary("assembler"));
    EXPECT_EQ("assembler finished successfully", list.toStringFullReport("assembler"));

    const std::string text("add\0R1,, 2", 10);
    list.insert(syntaxError(4, text, 7, 1, "Invalid argument"));
    EXPECT_EQ("assembler failed with 1 errors:\nprog.s:4:7: Syntax error: Invalid argument: \n" +
                  text + "\n-------^\n",
              list.toStringFullReport("assembler"));
    EXPECT_EQ("assembler failed with error: prog.s:4:7: Syntax error: Invalid argument: \\n" +
                  text + "\\n-------^\\n",
              list.toStringOneLineSummary("assembler"));
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
    for (const auto& err : {line9, line2a, noLine, line2b, noLine2, line1, {}})
        list.insert(err);
    const std::vector<std::shared_ptr<AsmError>> expected = {line1, line2a, line2b,
                                                             line9, noLine, noLine2};
    ASSERT_EQ(expected.size(), list.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), list.begin()));
    EXPECT_EQ(4u, list.numberOfErrorSources());
}

} // namespace
