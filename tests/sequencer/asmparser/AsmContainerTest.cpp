#include "sequencer/asmparser/AsmContainer.h"

#include "base/Logging.h"
#include "base/utils/SourceReader.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmException.h"
#include "sequencer/asmparser/AsmParser.h"

#include <gtest/gtest.h>

namespace {

// The statements come from the parser; lines are numbered from 1.
class AsmContainerTest : public ::testing::Test {
protected:
    void SetUp() override { Logging::setLogLevel(3); }
    void TearDown() override { Logging::setLogLevel(m_savedLevel); }

    AsmContainer& parse(const std::string& text, int expectedErrors = 0) {
        StringSourceReader reader(text, "t.s");
        EXPECT_EQ(parser.parse(reader, errors), expectedErrors);
        return parser.statements();
    }
    AsmInstruction& instruction(size_t index) {
        return *(*(parser.statements().begin() + index))->asInstruction();
    }
    // The value of an argument, -1 while it has none.
    int64_t value(size_t index, unsigned arg) {
        const auto a = instruction(index).getArg(arg);
        return a->hasIntValue() ? a->intValue() : -1;
    }

    AsmParser parser;
    AsmErrorList errors;

private:
    const int m_savedLevel = Logging::getLogLevel();
};

TEST_F(AsmContainerTest, ForwardBackwardAndSelfReferencesFollowStartAndIncrement) {
    std::string source = "jmp @end\n";
    for (int i = 1; i < 9; ++i)
        source += "nop\n";
    AsmContainer& c = parse(source + "end: jmp @end, @start\nstart: nop\nloop: jmp @loop, @end");
    const struct {
        AsmContainer::address_t start, increment;
        int64_t end, loop;
    } passes[] = {{0, 1, 9, 11}, {100, 2, 118, 122}, {0, 1, 9, 11}};
    for (const auto& pass : passes) {
        SCOPED_TRACE(pass.start);
        c.assignInstructionAddresses(errors, pass.start, pass.increment);
        EXPECT_TRUE(errors.empty());
        EXPECT_EQ(instruction(9).address(), pass.end);
        EXPECT_EQ(value(0, 0), pass.end);
        EXPECT_EQ(value(9, 0), pass.end);
        EXPECT_EQ(value(9, 1), pass.end + pass.increment);
        EXPECT_EQ(instruction(11).address(), pass.loop);
        EXPECT_EQ(value(11, 0), pass.loop);
        EXPECT_EQ(value(11, 1), pass.end);
    }
    EXPECT_EQ(c.typeCount(AsmType::INSTRUCTION), 12u);
}

TEST_F(AsmContainerTest, OtherStatementsGetNoAddress) {
    parser.config().keepAllDirectives = true;
    AsmContainer& c = parse("nop\n.DEF N 5\nnop");
    c.push_back(std::make_shared<AsmStatement>(AsmToken("note")));
    c.push_back(std::make_shared<AsmInstruction>(AsmToken("nop")));
    c.assignInstructionAddresses(errors, 0, 1);
    EXPECT_EQ(instruction(0).address(), 0);
    EXPECT_EQ(instruction(2).address(), 1);
    EXPECT_EQ(instruction(4).address(), 2);
    EXPECT_EQ(c.size(), 5u);
    EXPECT_EQ(c.typeCount(AsmType::DIRECTIVE), 1u);
    EXPECT_EQ(c.typeCount(AsmType::COMMENT_ONLY), 1u);
    EXPECT_EQ(c.numberOfInstructions(), 3u);
}

TEST_F(AsmContainerTest, EveryUnresolvedReferenceIsOneErrorInEveryPass) {
    AsmContainer& c = parse("jmp @missing\nnop\njmp @missing, @missing");
    for (int pass = 0; pass < 2; ++pass) {
        errors = AsmErrorList();
        c.assignInstructionAddresses(errors, 0, 1);
        ASSERT_EQ(errors.size(), 3u);
        const int expectedLines[] = {1, 3, 3};
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ((*(errors.begin() + i))->lineNr(), expectedLines[i]);
            EXPECT_STREQ((*(errors.begin() + i))->errorType(), "Unresolved address label error");
        }
        EXPECT_EQ(value(2, 1), -1);
    }

    // Defining the label later resolves the references instead of clashing with them.
    errors = AsmErrorList();
    parser.processLine(std::make_shared<const SourceLine>("missing: nop", 4), errors);
    c.assignInstructionAddresses(errors, 0, 1);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(value(2, 1), 3);
}

TEST_F(AsmContainerTest, DuplicateLabelIsRejectedAndTheFirstKept) {
    AsmContainer& c = parse("nop\nhere: nop\nhere: jmp @here", 2);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_STREQ(errors.front()->errorType(), "Duplicate address label error");
    EXPECT_EQ(errors.front()->lineNr(), 2);
    EXPECT_EQ(c.size(), 2u);
    EXPECT_EQ(c.typeCount(AsmType::INSTRUCTION), 2u);
    c.assignInstructionAddresses(errors, 0, 1);
    EXPECT_EQ(c.addressLabels().at("here").address(), 1);
}

TEST_F(AsmContainerTest, TraceOnlyAboveDebugLevel) {
    AsmContainer& c = parse("jmp @end\nend: nop");
    Logging::setLogLevel(7);
    testing::internal::CaptureStderr();
    c.assignInstructionAddresses(errors, 0, 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    Logging::setLogLevel(8);
    testing::internal::CaptureStderr();
    c.assignInstructionAddresses(errors, 0, 1);
    const std::string trace = testing::internal::GetCapturedStderr();
    for (const char* line : {"adding another unresolved reference to address label 'end'\n",
                             "assigning address 1 to existing label 'end'\n",
                             "Resolving address label 'end' reference to address 1\n"})
        EXPECT_NE(trace.find(line), std::string::npos) << line;
}

TEST(AsmContainerDeathTest, LabelOnlyStatementIsAnInternalError) {
    auto labelOnly = std::make_shared<AsmInstruction>(std::make_shared<const SourceLine>("x:", 1),
                                                      AsmType::LABEL_ONLY);
    AsmContainer c;
    EXPECT_EXIT(c.push_back(labelOnly), testing::ExitedWithCode(1),
                "THROW_BUG: file='asmparser/AsmContainer', line=[0-9]+, function='push_back', "
                "error='Can not add LABEL_ONLY statements to AsmContainer. Merge with next real "
                "instruction before adding'");
    EXPECT_EXIT(AsmContainer::AddressLabelInfo(AsmToken(), nullptr), testing::ExitedWithCode(1),
                "AddressLabelInfo created from empty AsmToken label\\.");
}

} // namespace
