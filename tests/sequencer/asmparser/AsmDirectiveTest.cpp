#include "sequencer/asmparser/AsmParser.h"

#include "base/Logging.h"
#include "base/utils/SourceReader.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmException.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class DirectiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedLevel = Logging::getLogLevel();
        Logging::setLogLevel(3);
    }
    void TearDown() override { Logging::setLogLevel(m_savedLevel); }

    int parse(const std::string& text) {
        errors = AsmErrorList();
        StringSourceReader reader(text, "t.s");
        return parser.parse(reader, errors);
    }

    // The only argument of the last instruction.
    const AsmArgument& lastArg() const {
        std::shared_ptr<AsmInstruction> last;
        for (const auto& statement : parser.statements())
            if (auto instruction = std::dynamic_pointer_cast<AsmInstruction>(statement))
                last = instruction;
        EXPECT_TRUE(last && last->numArgs() == 1);
        static const AsmArgument none;
        return last && last->numArgs() == 1 ? *last->getArg(0) : none;
    }

    std::string symbolValue(const std::string& name) const {
        const auto found = parser.symbols().find(name);
        return found == parser.symbols().end() ? "<undefined>" : found->second.value.toString();
    }

    AsmParser parser;
    AsmErrorList errors;

private:
    int m_savedLevel = 7;
};

TEST_F(DirectiveTest, SymbolValuesAreTheTextUpToTheComment) {
    struct Row {
        const char* source;
        const char* name;
        const char* value;
    };
    const std::vector<Row> rows = {
        {".DEF N 5", "N", "5"},
        {".DEF N 5 # five", "N", "5"},
        {".DEF MSG a b c", "MSG", "a b c"},
        {"  .DEF\tN-1_x   [R1] : $y  ", "N-1_x", "[R1] : $y"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.source);
        EXPECT_EQ(parse(row.source), 0);
        EXPECT_EQ(symbolValue(row.name), row.value);
        ASSERT_EQ(parser.symbols().size(), 1u);
        EXPECT_EQ(parser.symbols().begin()->second.lineNr, 1);
        EXPECT_EQ(parser.numDirectiveLines(), 1u);
        // Directives are not kept by default.
        EXPECT_EQ(parser.statements().size(), 0u);
    }
}

TEST_F(DirectiveTest, SymbolUseIsClassifiedFromTheValueText) {
    EXPECT_EQ(parse(".DEF N 5\nadd $N"), 0);
    const AsmArgument& five = lastArg();
    EXPECT_TRUE(five.isImmediate());
    EXPECT_EQ(five.intValue(), 5);
    EXPECT_EQ(five.symbolName(), "N");
    EXPECT_EQ(five.stringValue(), "5");
    EXPECT_EQ(five.stringValue().sourceLine()->lineNr(), 1);

    EXPECT_EQ(parse(".DEF R R3\nadd $R"), 0);
    EXPECT_EQ(lastArg().registerName(), 'R');
    EXPECT_EQ(lastArg().intValue(), 3);

    EXPECT_EQ(parse(".DEF L @loop\nloop: jmp $L"), 0);
    EXPECT_TRUE(lastArg().hasAddressRef());
    EXPECT_EQ(lastArg().addressLabel(), "loop");
    parser.assignInstructionAddresses(errors, 0, 1);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(lastArg().intValue(), 0);
}

TEST_F(DirectiveTest, SymbolMustBeDefinedBeforeItsUse) {
    EXPECT_EQ(parse("add $N\n.DEF N 5\nadd $N"), 1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_STREQ(errors.front()->errorType(), "Unresolved symbol error");
    EXPECT_EQ(errors.front()->lineNr(), 1);
    EXPECT_EQ(lastArg().intValue(), 5);
}

TEST_F(DirectiveTest, SymbolDefinedTwiceNamesBothLinesAndKeepsTheFirstValue) {
    EXPECT_EQ(parse(".DEF N 5\nnop\n.DEF N 6\nadd $N"), 2);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(dynamic_cast<AsmDuplicateSymbolError*>(errors.front().get()), nullptr);
    EXPECT_EQ(errors.front()->message(), "t.s:1:5: Duplicate symbol: N. : \n"
                                         ".DEF N 5\n-----^\n"
                                         "t.s:3:5: Duplicate symbol: N. : \n"
                                         ".DEF N 6\n-----^\n");
    EXPECT_EQ(lastArg().intValue(), 5);
}

TEST_F(DirectiveTest, SymbolsLiveForOneParse) {
    EXPECT_EQ(parse(".DEF N 5"), 0);
    EXPECT_EQ(parse("add $N"), 1);
    EXPECT_TRUE(parser.symbols().empty());
}

TEST_F(DirectiveTest, SymbolDirectiveWithoutNameIsRejected) {
    parser.start();
    const auto line = std::make_shared<const SourceLine>(".DEF", 4);
    auto directive = std::make_shared<AsmDirective>(AsmToken(line));
    try {
        parser.processDirective(directive);
        FAIL() << "no error";
    } catch (const AsmSyntaxError& e) {
        EXPECT_EQ(e.message(), "line 4 column 4: Syntax error: AsmParser: No symbol name given "
                               "for symbol directive .DEF: \n.DEF\n----^\n");
    }
    std::shared_ptr<AsmDirective> none;
    EXPECT_NO_THROW(parser.processDirective(none));
}

TEST_F(DirectiveTest, LastRegistrationForAKeywordWins) {
    parser.ignoreDirective(".DEF");
    EXPECT_EQ(parse(".DEF N 5\nadd $N"), 1);
    EXPECT_STREQ(errors.front()->errorType(), "Unresolved symbol error");
    EXPECT_TRUE(parser.symbols().empty());

    parser.setDirectiveSymbolInserter(".DEF");
    EXPECT_EQ(parse(".DEF N 5\nadd $N"), 0);
    EXPECT_EQ(parser.directiveProcessors().count(AsmToken(".DEF")), 1u);
}

TEST_F(DirectiveTest, SyntaxListsChooseTheHandlers) {
    AsmSyntax syntax;
    syntax.symbolDirectives = {".SET", ".X"};
    syntax.ignoredDirectives = {".X", ".ORG"};
    AsmParser custom(syntax);
    StringSourceReader reader(".SET A 1\n.X B 2\n.ORG C 3\n.DEF D 4\n", "t.s");
    EXPECT_EQ(custom.parse(reader, errors), 1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors.front()->lineNr(), 4); // .DEF is no longer known
    ASSERT_EQ(custom.symbols().size(), 1u);
    EXPECT_EQ(custom.symbols().begin()->first, "A");
}

TEST_F(DirectiveTest, DirectivesAreKeptWhenConfigured) {
    parser.config().keepDirective(".DEF");
    EXPECT_EQ(parse(".DEF N 5 # five"), 0);
    ASSERT_EQ(parser.statements().size(), 1u);
    const auto directive = std::dynamic_pointer_cast<AsmDirective>(*parser.statements().begin());
    ASSERT_NE(directive, nullptr);
    EXPECT_EQ(directive->directive(), ".DEF");
    EXPECT_EQ(directive->name(), "N");
    EXPECT_EQ(directive->value(), "5");

    parser.config().keepNoDirectives();
    EXPECT_EQ(parse(".DEF N 5"), 0);
    EXPECT_EQ(parser.statements().size(), 0u);
    parser.config().keepAllDirectives = true;
    EXPECT_EQ(parse(".DEF N 5"), 0);
    EXPECT_EQ(parser.statements().size(), 1u);
}

TEST_F(DirectiveTest, DirectiveCommentIsAttachedWhenCommentsAreKept) {
    parser.config().keepAllDirectives = true;
    parser.config().keepComments = true;
    EXPECT_EQ(parse(".DEF N 5   # five"), 0);
    ASSERT_EQ(parser.statements().size(), 1u);
    EXPECT_EQ((*parser.statements().begin())->comment(), "five");
}

} // namespace
