// Encoding errors whose marker depends on the operands (the golden files in tests/golden/asm
// hold the words of every variant and the other encoding errors), and arguments that the
// parser never produces.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "SeqAssemblerFixture.h"
#include "base/utils/SourceLine.h"
#include "sequencer/asmparser/AsmInstruction.h"
#include "sequencer/asmparser/AsmToken.h"

using EncodingTest = AssemblerFixture;

TEST_F(EncodingTest, SignatureErrorsListTheSupportedSignatures) {
    struct Row {
        const char* source;
        const char* expected;
    };
    const Row rows[] = {
        // No operands: the place just after the mnemonic.
        {"  jmp  # to nowhere",
         "test.s:1:5: Syntax error: Instruction \"jmp\" does not support argument signature "
         "\"\"\nSupported signatures: \"R#\" \"#\": \n"
         "  jmp  # to nowhere\n"
         "-----^\n"},
        // One operand: that operand.
        {"upd_param R1",
         "test.s:1:10: Syntax error: Instruction \"upd_param\" does not support argument "
         "signature \"R#\"\nSupported signatures: \"#\": \n"
         "upd_param R1\n"
         "----------^^\n"},
        // More operands: from the first one to the end of the line.
        {"add 5, R1, R2",
         "test.s:1:4: Syntax error: Instruction \"add\" does not support argument signature "
         "\"#,R#,R#\"\nSupported signatures: \"R#,R#,R#\" \"R#,#,R#\": \n"
         "add 5, R1, R2\n"
         "----^^^^^^^^^\n"},
        {"nop 1", "test.s:1:4: Syntax error: Instruction \"nop\" does not support argument "
                  "signature \"#\"\nSupported signatures: \"\": \n"
                  "nop 1\n"
                  "----^\n"},
        // Register letters are compared exactly.
        {"move 5, r5", "test.s:1:5: Syntax error: Instruction \"move\" does not support argument "
                       "signature \"#,r#\"\nSupported signatures: \"R#,R#\" \"#,R#\": \n"
                       "move 5, r5\n"
                       "-----^^^^^\n"},
    };
    for (const Row& row : rows) {
        ASSERT_EQ(assemble(row.source), 1) << row.source;
        EXPECT_EQ(errorText(0), row.expected) << row.source;
    }
}

// Arguments that the parser never produces are built by hand here.
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
