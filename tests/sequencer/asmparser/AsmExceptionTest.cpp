#include "sequencer/asmparser/AsmException.h"

#include <gtest/gtest.h>

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

struct Point {
    int x;
    int y;
};
std::ostream& operator<<(std::ostream& out, const Point& p) {
    return out << '(' << p.x << ',' << p.y << ')';
}

TEST(AsmExceptionTest, SyntaxErrorStreamedInThrowIsCaughtAsItsClassWithFullText) {
    const LinePtr line = makeLine("start: jmp @lbl", 12);
    try {
        throw AsmSyntaxError(line, 11, 4) << "Invalid address label reference";
    } catch (const AsmSyntaxError& e) {
        EXPECT_STREQ("prog.s:12:11: Syntax error: Invalid address label reference: \n"
                     "start: jmp @lbl\n"
                     "-----------^^^^\n",
                     e.what());
        EXPECT_STREQ("Asm syntax error", e.errorType());
        EXPECT_EQ(12, e.lineNr());
        EXPECT_EQ(e.what(), e.what()); // the pointer stays valid across calls
        return;
    }
    FAIL() << "AsmSyntaxError not caught as its own class";
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

TEST(AsmExceptionTest, DuplicateSymbolGivenAsLines7Then3ReportsLine3First) {
    const LinePtr line3 = makeLine(".DEF count 1", 3);
    const LinePtr line7 = makeLine(".DEF count 2", 7);
    const AsmDuplicateSymbolError e({line7, line3}, "count");
    EXPECT_EQ(3, e.lineNr());
    EXPECT_STREQ("prog.s:3:5: Duplicate symbol: count. : \n.DEF count 1\n-----^^^^^\n"
                 "prog.s:7:5: Duplicate symbol: count. : \n.DEF count 2\n-----^^^^^\n",
                 e.what());
    EXPECT_STREQ("Duplicate symbol error", e.errorType());
}

TEST(AsmExceptionTest, ReferenceKindsNameTheirErrorType) {
    const LinePtr line = makeLine("jmp @loop", 4);
    const AsmUnresolvedSymbolError unresolvedSymbol(line, "loop");
    const AsmUnresolvedAddressLabelError unresolvedLabel(line, "loop");
    const AsmDuplicateAddressLabelError duplicateLabel(line, "loop");
    const AsmRuntimeError runtime("reader failed");
    const AsmProgramTooLongError tooLong("Program too long (5). Maximum 4 instructions");
    const struct {
        const AsmError& error;
        const char* type;
        const char* text;
    } rows[] = {
        {unresolvedSymbol, "Unresolved symbol error",
         "prog.s:4:5: Unresolved symbol: loop. : \njmp @loop\n-----^^^^\n"},
        {unresolvedLabel, "Unresolved address label error",
         "prog.s:4:5: Unresolved address label: loop. : \njmp @loop\n-----^^^^\n"},
        {duplicateLabel, "Duplicate address label error",
         "prog.s:4:5: Duplicate address label: loop. : \njmp @loop\n-----^^^^\n"},
        {runtime, "AsmRuntimeError", "reader failed"},
        {tooLong, "Asm program too long", "Program too long (5). Maximum 4 instructions"},
    };
    for (const auto& row : rows) {
        EXPECT_STREQ(row.type, row.error.errorType()) << row.type;
        EXPECT_STREQ(row.text, row.error.what()) << row.type;
        EXPECT_EQ(row.text, row.error.message()) << row.type;
    }
    EXPECT_EQ(0, tooLong.lineNr());
}

TEST(AsmExceptionTest, UnresolvedReferenceKeepsUnusableLinesButDoesNotPrintThem) {
    const LinePtr line5 = makeLine("call @sub", 5);
    const AsmUnresolvedAddressLabelError e({makeLine("call @sub", 0), line5}, "sub");
    EXPECT_EQ(2u, e.numberOfErrorSources());
    EXPECT_EQ(line5, e.sourceLine());
    EXPECT_STREQ("prog.s:5:6: Unresolved address label: sub. : \ncall @sub\n------^^^\n", e.what());
}

TEST(AsmExceptionTest, AddErrorInfoKeepsLineOrderAndInsertionOrderWithinALine) {
    const LinePtr line2 = makeLine("abcdef", 2);
    const LinePtr line9 = makeLine("ghijkl", 9);
    AsmSourceError e;
    e.addErrorInfo(SourceErrorRef(line9, 0, 1));
    e.addErrorInfo(SourceErrorRef(line2, 4, 1));
    e.addErrorInfo(SourceErrorRef());
    e.addErrorInfo(SourceErrorRef(line2, 1, 1));
    ASSERT_EQ(4u, e.numberOfErrorSources());
    EXPECT_EQ(4u, e.errorInfos()[0].errorStart());
    EXPECT_EQ(1u, e.errorInfos()[1].errorStart());
    EXPECT_EQ(line9, e.errorInfos()[2].sourceLine());
    EXPECT_FALSE(e.errorInfos()[3].hasSource());

    e.sortAndClean();
    EXPECT_EQ(3u, e.numberOfErrorSources());
    EXPECT_STREQ("Asm source error", e.errorType());
}

TEST(AsmExceptionTest, SharedPtrCopyKeepsConcreteClassTextAndReferences) {
    const LinePtr line3 = makeLine(".DEF n 1", 3);
    const LinePtr line7 = makeLine(".DEF n 2", 7);
    AsmSyntaxError syntax(line3, 0, 4);
    syntax << "bad directive";
    const std::vector<std::shared_ptr<AsmError>> originals = {
        std::make_shared<AsmDuplicateSymbolError>(std::vector<LinePtr>{line7, line3}, "n"),
        std::make_shared<AsmSyntaxError>(syntax),
        std::make_shared<AsmUnresolvedSymbolError>(line3, "n"),
        std::make_shared<AsmUnresolvedAddressLabelError>(line3, "n"),
        std::make_shared<AsmDuplicateAddressLabelError>(line7, "n"),
        std::make_shared<AsmRuntimeError>("runtime"),
        std::make_shared<AsmProgramTooLongError>("too long"),
        std::make_shared<AsmBug>("bug"),
    };
    for (const auto& original : originals) {
        const std::shared_ptr<AsmError> copy = original->shared_ptr_copy();
        ASSERT_NE(nullptr, copy);
        EXPECT_NE(original.get(), copy.get());
        EXPECT_EQ(typeid(*original), typeid(*copy)) << original->errorType();
        EXPECT_STREQ(original->what(), copy->what()) << original->errorType();
        EXPECT_EQ(original->numberOfErrorSources(), copy->numberOfErrorSources());
    }
}

TEST(AsmExceptionTest, StreamingAppendsValuesWithoutTruncation) {
    const struct {
        std::string expected;
        StreamException<std::runtime_error> streamed;
    } rows[] = {
        {"1", StreamException<std::runtime_error>() << true},
        {"-42", StreamException<std::runtime_error>() << -42},
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

TEST(AsmExceptionTest, MessageKeepsNulBytesOfTheQuotedLine) {
    const LinePtr line = makeLine(std::string("a\0b c", 5), 1);
    AsmSyntaxError e(line, 4, 1);
    e << "bad";
    const std::string text = e.message();
    EXPECT_EQ("prog.s:1:4: Syntax error: bad: \n" + std::string("a\0b c", 5) + "\n----^\n", text);
    // what() of the same error holds the same bytes, so its C string ends at the NUL.
    EXPECT_EQ(std::string("prog.s:1:4: Syntax error: bad: \na"), std::string(e.what()));
}

} // namespace
