// The assembly pass: the instruction memory it fills, the errors it collects across a run and
// between runs, its timers, and the encoding errors that a golden file cannot show. What
// single lines encode to, and their errors, is in tests/golden/asm.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "SeqAssemblerFixture.h"
#include "base/utils/SourceLine.h"
#include "sequencer/asmparser/AsmInstruction.h"
#include "sequencer/asmparser/AsmToken.h"
#include "sequencer/seqprocessor/SeqProcError.h"
#include "tests/sequencer/SimulatorTestSupport.h"

using SeqAssemblerTest = AssemblerFixture;

namespace {

constexpr uint64_t kNop = 0x1000000000000000;
constexpr uint64_t kStop = 0x0800000000000000;

} // namespace

TEST_F(SeqAssemblerTest, ProgramOneWordTooLongIsOneErrorAndFillsTheMemory) {
    std::string source;
    for (int i = 0; i < 4097; ++i)
        source += "nop\n";
    ASSERT_EQ(assemble(source), 1);
    EXPECT_EQ(errors.front()->message(), "Program too long (4097). Maximum 4096 instructions");
    EXPECT_STREQ(errors.front()->errorType(), "Asm program too long");
    EXPECT_EQ(assembler.numInstructions(), 4096u);
    EXPECT_EQ(processor.readInstructionMem(4095), kNop);
}

TEST_F(SeqAssemblerTest, ErrorsOfARunAndTheRunAfterIt) {
    EXPECT_EQ(assemble("# only a comment\n\n   \n"), 0);
    EXPECT_EQ(assembler.numInstructions(), 0u);

    // Every bad instruction is one error, the others are encoded; words that were not
    // written read as 0, also where an earlier run left something.
    processor.writeInstructionMem(0, ~uint64_t{0});
    ASSERT_EQ(assemble("top: frob\n.DEF N 3\nstop\nwait $N\nnop\n"), 2) << report();
    EXPECT_EQ(errors.front()->lineNr(), 1);
    EXPECT_EQ(errors.back()->lineNr(), 4);
    EXPECT_EQ(words(), (std::vector<uint64_t>{0, kStop, 0, kNop}));

    // Parse and address errors stop the run before anything is encoded.
    EXPECT_EQ(assemble("nop\nnop 1 2\n"), 1);
    EXPECT_EQ(assembler.numInstructions(), 0u);
    EXPECT_EQ(assemble("jmp @nowhere\njmp @nowhere\n"), 2);
    EXPECT_NE(errors.front()->message().find("Unresolved address label: nowhere"),
              std::string::npos);
    EXPECT_EQ(assembler.numInstructions(), 0u);

    // The same label and symbol again: nothing is left of the failed runs.
    ASSERT_EQ(assemble("top: stop\n.DEF N 4\nwait $N\njmp @top\n"), 0) << report();
    EXPECT_EQ(words(), (std::vector<uint64_t>{kStop, 0xDC00100000000000, 0x1C00000000000000}));
}

TEST_F(SeqAssemblerTest, WithoutInstructionMemoryNothingIsAssembled) {
    SeqProcessor noMemory(seq_instr_set());
    SeqAssembler empty(&noMemory, AsmSyntax());
    StringSourceReader reader("nop\n", "test.s");
    EXPECT_EQ(empty.assemble(reader, errors), 1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors.front()->message(), "Can not assemble source: No instruction memory defined.");
    EXPECT_EQ(empty.asmSectionStart(errors), 1);
    EXPECT_EQ(errors.size(), 2u);
    EXPECT_EQ(SeqAssembler().asmSectionStart(errors), 1); // no processor at all
}

TEST_F(SeqAssemblerTest, WriteInstructionMemZeroesGapsAndRefusesAddressesBeyondTheMemory) {
    processor.writeInstructionMem(1, ~uint64_t{0});
    processor.writeInstructionMem(5, ~uint64_t{0});
    assembler.writeInstructionMem(2, 42);
    EXPECT_EQ(words(), (std::vector<uint64_t>{0, 0, 42}));
    assembler.writeInstructionMem(0, 7);
    EXPECT_EQ(words(), (std::vector<uint64_t>{7, 0, 42}));
    try {
        assembler.writeInstructionMem(4096, 1);
        ADD_FAILURE() << "no error beyond the memory";
    } catch (const SeqProcMemoryError& e) {
        EXPECT_STREQ(e.what(),
                     "Attempt to write instruction at address 4096 beyond maximum address 4095");
    }
    EXPECT_EQ(processor.readInstructionMem(5), 0u); // zeroed up to the end of the memory
    EXPECT_EQ(assembler.numInstructions(), 3u);
}

TEST_F(SeqAssemblerTest, TimersCountTheEncodedInstructions) {
    LogCapture log(6);
    assembler.printTimers("no timers yet");
    ASSERT_EQ(assemble("nop\nnop\nstop\n"), 0);
    ASSERT_EQ(assembler.getTimers().size(), 2u); // the parser's and the assembler's
    assembler.printTimers("title line");
    Logging::setLogLevel(Logging::quietLevel);
    assembler.printTimers("not written");
    const std::string text = log.text();
    EXPECT_NE(text.find(": no timers yet\n\n"), std::string::npos) << text;
    EXPECT_NE(text.find(": title line\nparse: "), std::string::npos) << text;
    EXPECT_NE(text.find("\nassemble: "), std::string::npos) << text;
    EXPECT_NE(text.find(" for 3 instructions = "), std::string::npos) << text;
    EXPECT_EQ(text.find("not written"), std::string::npos) << text;
    assembler.clearTimers();
    EXPECT_TRUE(assembler.getTimers().empty());
}

// The marker runs from the first operand to the end of the line (a golden file's line ends
// in its expectations).
TEST_F(SeqAssemblerTest, SignatureErrorOfSeveralOperandsMarksTheRestOfTheLine) {
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
