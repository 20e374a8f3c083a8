// The assembly pass where tests/golden/asm cannot show it: the memory it fills, errors between
// runs, timers, hand-built input, and the hex and disassembly output and how writing them fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <unistd.h>
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

std::string readFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A stream buffer that refuses every byte, like a device without space.
class FullBuffer : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

// The text written to standard error by `write`.
template <class Write> std::string stderrOf(Write write) {
    ::testing::internal::CaptureStderr();
    write();
    return ::testing::internal::GetCapturedStderr();
}

class OutputTest : public AssemblerFixture {
protected:
    void TearDown() override {
        std::remove(file.c_str());
        AssemblerFixture::TearDown();
    }
    const std::string file =
        ::testing::TempDir() + "seq_assembler_output_" + std::to_string(::getpid()) + ".txt";
};

} // namespace

TEST_F(SeqAssemblerTest, ProgramOneWordTooLongIsOneErrorAndFillsTheMemory) {
    std::string source;
    for (int i = 0; i < 4097; ++i)
        source += "nop\n";
    ASSERT_EQ(assemble(source), 1);
    EXPECT_EQ(errors.front()->message(), "Program too long (4097). Maximum 4096 instructions");
    EXPECT_EQ(assembler.numInstructions(), 4096u);
    EXPECT_EQ(processor.readInstructionMem(4095), kNop);
}

TEST_F(SeqAssemblerTest, ErrorsOfARunAndTheRunAfterIt) {
    EXPECT_EQ(assemble("# only a comment\n\n   \n"), 0);
    EXPECT_EQ(assembler.numInstructions(), 0u);

    // Every bad instruction is one error, the others are encoded; the words of bad ones are 0.
    processor.writeInstructionMem(0, ~uint64_t{0});
    ASSERT_EQ(assemble("top: frob\n.DEF N 3\nstop\nwait $N\nnop\n"), 2) << report();
    EXPECT_EQ(errors.front()->lineNr(), 1);
    EXPECT_EQ(errors.back()->lineNr(), 4);
    EXPECT_EQ(words(), (std::vector<uint64_t>{0, kStop, 0, kNop}));

    // Parse and address errors stop the run before anything is encoded.
    EXPECT_EQ(assemble("nop\nnop 1 2\n"), 1);
    EXPECT_EQ(assembler.numInstructions(), 0u);
    EXPECT_EQ(assemble("jmp @nowhere\njmp @nowhere\n"), 2);
    EXPECT_EQ(assembler.numInstructions(), 0u);

    // The same label and symbol again: nothing is left of the failed runs.
    ASSERT_EQ(assemble("top: stop\n.DEF N 4\nwait $N\njmp @top\n"), 0) << report();
    EXPECT_EQ(words(), (std::vector<uint64_t>{kStop, 0xDC00100000000000, 0x1C00000000000000}));
}

TEST_F(SeqAssemblerTest, WriteInstructionMemZeroesGapsAndRefusesAddressesBeyondTheMemory) {
    processor.writeInstructionMem(1, ~uint64_t{0});
    processor.writeInstructionMem(5, ~uint64_t{0});
    assembler.writeInstructionMem(2, 42);
    EXPECT_EQ(words(), (std::vector<uint64_t>{0, 0, 42}));
    assembler.writeInstructionMem(0, 7);
    EXPECT_EQ(words(), (std::vector<uint64_t>{7, 0, 42}));
    EXPECT_THROW(assembler.writeInstructionMem(4096, 1), SeqProcMemoryError);
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
}

// The marker runs to the end of the line (which in a golden file holds the expectations).
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

TEST_F(OutputTest, HexIsOneLineOf16DigitsPerWord) {
    ASSERT_EQ(assemble("stop\nset_awg_gain -1, 2\nillegal\n"), 0) << report();
    const std::string expected = "0800000000000000\nac0000000002ffff\n0000000000000000\n";
    // The stream ends in decimal with blank padding, whatever it was set to before.
    std::ostringstream out;
    out << std::hex << std::setfill('*') << std::setw(3) << 10 << '\n';
    EXPECT_TRUE(assembler.printHexOutput(out));
    out << 255 << std::setw(3) << 7;
    EXPECT_EQ(out.str(), "**a\n" + expected + "255  7");
    ASSERT_TRUE(assembler.saveHexOutput(file));
    EXPECT_EQ(readFile(file), expected);

    // An empty program gives an empty file in place of the old one.
    ASSERT_EQ(assemble(""), 0);
    ASSERT_TRUE(assembler.saveHexOutput(file));
    EXPECT_EQ(readFile(file), "");
}

TEST_F(OutputTest, HexFailuresAreReportedAndNotSuccess) {
    ASSERT_EQ(assemble("nop\nstop\n"), 0);
    EXPECT_EQ(stderrOf([&] { EXPECT_FALSE(assembler.saveHexOutput("/nonexistent-dir/p.hex")); }),
              "ERROR: could not open file /nonexistent-dir/p.hex for writing\n");
    FullBuffer full;
    std::ostream refusing(&full);
    EXPECT_EQ(stderrOf([&] { EXPECT_FALSE(assembler.printHexOutput(refusing)); }),
              "ERROR: could not write hex output\n");
    // The device takes the open and fails the buffered write at the close.
    if (::access("/dev/full", W_OK) == 0) {
        EXPECT_EQ(stderrOf([&] { EXPECT_FALSE(assembler.saveHexOutput("/dev/full")); }),
                  "ERROR: could not write file /dev/full\n");
    }
}

TEST_F(OutputTest, WithoutInstructionMemoryNothingIsAssembledOrWritten) {
    SeqProcessor noMemory(seq_instr_set());
    SeqAssembler empty(&noMemory, AsmSyntax());
    StringSourceReader reader("nop\n", "test.s");
    EXPECT_EQ(empty.assemble(reader, errors), 1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors.front()->message(), "Can not assemble source: No instruction memory defined.");
    EXPECT_EQ(empty.asmSectionStart(errors), 1);
    EXPECT_EQ(errors.size(), 2u);
    EXPECT_EQ(SeqAssembler().asmSectionStart(errors), 1); // no processor at all
    std::ostringstream out;
    EXPECT_EQ(stderrOf([&] {
                  EXPECT_FALSE(empty.printHexOutput(out));
                  EXPECT_FALSE(empty.saveHexOutput(file));
              }),
              "ERROR: No instruction memory available.\n"
              "ERROR: No instruction memory available.\n");
    EXPECT_EQ(out.str(), "");
    EXPECT_TRUE(std::ifstream(file).is_open()); // created, and empty
    EXPECT_EQ(readFile(file), "");
}

TEST_F(OutputTest, DisassemblyOfSingleWords) {
    const struct {
        uint64_t word;
        bool decoded;
        const char* text;
    } rows[] = {
        {0, true, "        illegal"},
        {0x4400008100000005, true, "        add         R1, 0x5, R2"},
        {0xAC0000000002FFFF, true, "        set_awg_gain 0xffff, 0x2"},
        {uint64_t{30} << 59, false, "        UNKNOWN_opcode_30"},
        {uint64_t{23} << 59, false, "        upd_param_UNKNOWN_select_0"},
        {uint64_t{1} << 58, false, "        illegal_UNKNOWN_select_1"},
    };
    assembler.config().writeAddresses = false;
    for (const auto& row : rows) {
        std::ostringstream out;
        EXPECT_EQ(assembler.disassemble(row.word, 3, out), row.decoded) << row.text;
        EXPECT_EQ(out.str(), row.text);
    }
}

// The program to standard output, and its count of undecodable words, is in vexadisTest.
TEST_F(OutputTest, SaveDisassembleWritesTheProgramOrReportsWhyNot) {
    assembler.writeInstructionMem(0, kNop);
    assembler.writeInstructionMem(1, ~uint64_t{0});
    EXPECT_EQ(assembler.saveDisassemble(file), 1);
    EXPECT_EQ(readFile(file), "0:      nop\n1:      UNKNOWN_opcode_31\n");

    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(assembler.saveDisassemble("/nonexistent-dir/p.s"), -1); }),
              "Could not open file \"/nonexistent-dir/p.s\" for writing\n");
    if (::access("/dev/full", W_OK) == 0) {
        EXPECT_EQ(stderrOf([&] { EXPECT_EQ(assembler.saveDisassemble("/dev/full"), -1); }),
                  "Could not write file \"/dev/full\"\n");
    }
}
