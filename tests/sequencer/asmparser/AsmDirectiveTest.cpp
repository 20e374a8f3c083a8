#include "sequencer/asmparser/AsmParser.h"

#include "base/Logging.h"
#include "base/utils/SourceReader.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmException.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Directive errors with their columns and messages, and symbol uses, are in tests/golden/asm.
class DirectiveTest : public ::testing::Test {
protected:
    void SetUp() override { Logging::setLogLevel(3); }
    void TearDown() override { Logging::setLogLevel(m_savedLevel); }

    int parse(const std::string& text, AsmParser& with) {
        errors = AsmErrorList();
        StringSourceReader reader(text, "t.s");
        return with.parse(reader, errors);
    }
    int parse(const std::string& text) { return parse(text, parser); }

    // The first argument of the last statement, an instruction.
    const AsmArgument& lastArg() const {
        return *(*(parser.statements().end() - 1))->asInstruction()->getArg(0);
    }
    std::string symbolValue(const std::string& name) const {
        const auto found = parser.symbols().find(name);
        return found == parser.symbols().end() ? "<undefined>" : found->second.value.toString();
    }

    AsmParser parser;
    AsmErrorList errors;

private:
    const int m_savedLevel = Logging::getLogLevel();
};

TEST_F(DirectiveTest, SymbolValuesAreTheTextUpToTheComment) {
    const struct {
        const char* source;
        const char* name;
        const char* value;
    } rows[] = {
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
        EXPECT_EQ(parser.statements().size(), 0u); // directives are not kept by default
    }
}

TEST_F(DirectiveTest, SymbolMustBeDefinedBeforeItsUseAndItsFirstValueStays) {
    EXPECT_EQ(parse("add $N\n.DEF N 5\nadd $N"), 1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_STREQ(errors.front()->errorType(), "Unresolved symbol error");
    EXPECT_EQ(errors.front()->lineNr(), 1);
    EXPECT_EQ(lastArg().intValue(), 5);

    EXPECT_EQ(parse(".DEF N 5\nnop\n.DEF N 6\nadd $N"), 2);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_STREQ(errors.front()->errorType(), "Duplicate symbol error");
    EXPECT_EQ(lastArg().intValue(), 5);

    // Symbols live for one parse.
    EXPECT_EQ(parse("add $N"), 1);
    EXPECT_TRUE(parser.symbols().empty());
}

TEST_F(DirectiveTest, SymbolDirectiveWithoutNameIsRejectedAndANullDirectiveIgnored) {
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

TEST_F(DirectiveTest, HandlersComeFromTheSyntaxAndTheLastRegistrationWins) {
    parser.ignoreDirective(".DEF");
    EXPECT_EQ(parse(".DEF N 5\nadd $N"), 1);
    EXPECT_STREQ(errors.front()->errorType(), "Unresolved symbol error");
    parser.setDirectiveSymbolInserter(".DEF");
    EXPECT_EQ(parse(".DEF N 5\nadd $N"), 0);
    EXPECT_EQ(parser.directiveProcessors().count(AsmToken(".DEF")), 1u);

    AsmSyntax syntax;
    syntax.symbolDirectives = {".SET", ".X"};
    syntax.ignoredDirectives = {".X", ".ORG"};
    AsmParser custom(syntax);
    EXPECT_EQ(parse(".SET A 1\n.X B 2\n.ORG C 3\n.DEF D 4\n", custom), 1);
    EXPECT_EQ(errors.front()->lineNr(), 4); // .DEF is no longer known
    ASSERT_EQ(custom.symbols().size(), 1u);
    EXPECT_EQ(custom.symbols().begin()->first, "A");
}

TEST_F(DirectiveTest, DirectivesAreKeptWhenConfigured) {
    parser.config().keepDirective(".DEF");
    parser.config().keepComments = true;
    EXPECT_EQ(parse(".DEF N 5   # five"), 0);
    ASSERT_EQ(parser.statements().size(), 1u);
    const auto* directive = dynamic_cast<const AsmDirective*>(parser.statements().begin()->get());
    ASSERT_NE(directive, nullptr);
    EXPECT_EQ(directive->directive(), ".DEF");
    EXPECT_EQ(directive->name(), "N");
    EXPECT_EQ(directive->value(), "5");
    EXPECT_EQ(directive->comment(), "five");

    parser.config().keepNoDirectives();
    EXPECT_EQ(parse(".DEF N 5"), 0);
    EXPECT_EQ(parser.statements().size(), 0u);
    parser.config().keepAllDirectives = true;
    EXPECT_EQ(parse(".DEF N 5"), 0);
    EXPECT_EQ(parser.statements().size(), 1u);
}

} // namespace
