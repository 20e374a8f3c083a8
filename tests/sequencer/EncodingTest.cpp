// Encoding errors that a golden file cannot show: a marker up to the end of the line, and
// arguments that the parser never produces. The golden files in tests/golden/asm hold the
// words of every variant and the other encoding errors.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "SeqAssemblerFixture.h"
#include "base/utils/SourceLine.h"
#include "sequencer/asmparser/AsmInstruction.h"
#include "sequencer/asmparser/AsmToken.h"

using EncodingTest = AssemblerFixture;

// The marker runs from the first operand to the end of the line (a golden file's line ends
// in its expectations).
TEST_F(EncodingTest, SignatureErrorOfSeveralOperandsMarksTheRestOfTheLine) {
    ASSERT_EQ(assemble("add 5, R1, R2"), 1);
    const std::string message = errors.front()->message();
    EXPECT_EQ(message.substr(message.size() - 29), "\nadd 5, R1, R2\n----^^^^^^^^^\n");
}

class HandBuiltInstructionTest : public AssemblerFixture {
protected:
    AsmInstruction instruction(const std::string& text, size_t mnemonicLength) {
        line = std::make_shared<SourceLine>(text, 1, std::make_shared<const std::string>("h.s"));
        return AsmInstruction(AsmToken(line, 0, static_cast<int>(mnemonicLength)));
    }
    std::shared_ptr<const SourceLine> line;
};

TEST_F(HandBuiltInstructionTest, OperandOfNoKindNamesItsCharacter) {
    struct Row {
        char registerName;
        std::string expected;
    };
    const Row rows[] = {
        {'%', "registerName=% (ASCII=37)"},
        {'\0', std::string("registerName=") + '\0' + " (ASCII=0)"},
        {'\xC8', "registerName=\xC8 (ASCII=-56)"},
    };
    for (const Row& row : rows) {
        AsmInstruction wait = instruction("wait x7", 4);
        AsmArgument argument(AsmToken(line, 5, 2));
        argument.setRegisterNameIntValue(row.registerName, 7);
        wait.addArg(argument);
        try {
            assembler.assembleInstruction(wait);
            ADD_FAILURE() << "no error for register name " << int(row.registerName);
        } catch (const AsmSyntaxError& e) {
            EXPECT_EQ(e.message(), "h.s:1:5: Syntax error: Could not determine signature type "
                                   "for argument number 1: " +
                                       row.expected +
                                       " argument string value='x7': \nwait x7\n-----^^\n");
        }
    }
}

TEST_F(HandBuiltInstructionTest, OperandWithoutValueIsAnInternalError) {
    AsmInstruction wait = instruction("wait 9", 4);
    AsmArgument argument(AsmToken(line, 5, 1));
    argument.setImmediate();
    wait.addArg(argument);
    EXPECT_EXIT(assembler.assembleInstruction(wait), ::testing::ExitedWithCode(1),
                "THROW_BUG: file='SeqAssembler', line=399, function='assembleInstruction', "
                "error='No value determined for argument 1: '9''");
}
