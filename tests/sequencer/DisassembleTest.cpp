// Writing the program out: the hex file, its failure reports, the disassembly and the round
// trip from source through hex and disassembly back to the same words.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <sstream>
#include <streambuf>
#include <string>
#include <unistd.h>
#include <vector>

#include "SeqAssemblerFixture.h"
#include "sequencer/asmparser/AsmInstruction.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

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

class OutputTest : public AssemblerFixture {
protected:
    void TearDown() override {
        std::remove(m_file.c_str());
        AssemblerFixture::TearDown();
    }
    const std::string& fileName() const { return m_file; }

private:
    std::string m_file =
        ::testing::TempDir() + "seq_assembler_output_" + std::to_string(::getpid()) + ".txt";
};

} // namespace

TEST_F(OutputTest, HexOfThreeInstructionsIsThreeLinesOf16Digits) {
    ASSERT_EQ(assemble("stop\nset_awg_gain -1, 2\nillegal\n"), 0) << report();
    const std::string expected = "0800000000000000\n"
                                 "ac0000000002ffff\n"
                                 "0000000000000000\n";
    // The stream ends in decimal with blank padding, whatever it was set to before.
    std::ostringstream out;
    out << std::hex << std::setfill('*') << std::setw(3) << 10 << '\n';
    EXPECT_TRUE(assembler.printHexOutput(out));
    out << 255 << std::setw(3) << 7;
    EXPECT_EQ(out.str(), "**a\n" + expected + "255  7");

    ASSERT_TRUE(assembler.saveHexOutput(fileName()));
    const std::string file = readFile(fileName());
    EXPECT_EQ(file.size(), 51u);
    EXPECT_EQ(file, expected);
}

TEST_F(OutputTest, EmptyProgramGivesAnEmptyHexFile) {
    ASSERT_EQ(assemble(""), 0);
    {
        std::ofstream old(fileName());
        old << "left over\n";
    }
    ASSERT_TRUE(assembler.saveHexOutput(fileName()));
    EXPECT_EQ(readFile(fileName()), "");
}

TEST_F(OutputTest, HexFailuresAreReportedAndNotSuccess) {
    ASSERT_EQ(assemble("nop\nstop\n"), 0);

    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(assembler.saveHexOutput("/nonexistent-directory/p.hex"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "ERROR: could not open file /nonexistent-directory/p.hex for writing\n");

    FullBuffer full;
    std::ostream refusing(&full);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(assembler.printHexOutput(refusing));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "ERROR: could not write hex output\n");

    if (::access("/dev/full", W_OK) == 0) {
        // The device accepts the open and fails the buffered write at the close.
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(assembler.saveHexOutput("/dev/full"));
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "ERROR: could not write file /dev/full\n");
    }
}

TEST_F(OutputTest, HexWithoutInstructionMemory) {
    SeqProcessor noMemory(seq_instr_set());
    SeqAssembler empty(&noMemory, AsmSyntax());
    std::ostringstream out;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(empty.printHexOutput(out));
    EXPECT_FALSE(empty.saveHexOutput(fileName()));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "ERROR: No instruction memory available.\n"
              "ERROR: No instruction memory available.\n");
    EXPECT_EQ(out.str(), "");
    std::ifstream created(fileName());
    EXPECT_TRUE(created.is_open());
    EXPECT_EQ(readFile(fileName()), "");
}

TEST_F(OutputTest, DisassemblyOfSingleWords) {
    struct Row {
        uint64_t word;
        bool decoded;
        const char* text;
    };
    const Row rows[] = {
        {0, true, "        illegal"},
        {0x4400008100000005, true, "        add         R1, 0x5, R2"},
        {0xAC0000000002FFFF, true, "        set_awg_gain 0xffff, 0x2"},
        {uint64_t{30} << 59, false, "        UNKNOWN_opcode_30"},
        {~uint64_t{0}, false, "        UNKNOWN_opcode_31"},
        {uint64_t{23} << 59, false, "        upd_param_UNKNOWN_select_0"},
        {uint64_t{1} << 58, false, "        illegal_UNKNOWN_select_1"},
    };
    assembler.config().writeAddresses = false;
    for (const Row& row : rows) {
        std::ostringstream out;
        EXPECT_EQ(assembler.disassemble(row.word, 3, out), row.decoded) << row.text;
        EXPECT_EQ(out.str(), row.text);
    }

    AsmInstruction instruction;
    EXPECT_TRUE(assembler.disassemble(0x4400008100000005, 12, instruction));
    EXPECT_EQ(instruction.command(), "add");
    EXPECT_EQ(instruction.address(), 12);
    ASSERT_EQ(instruction.numArgs(), 3u);
    EXPECT_EQ(instruction.getArg(0)->registerName(), 'R');
    EXPECT_EQ(instruction.getArg(1)->registerName(), AsmArgument::s_noRegisterName);
    EXPECT_EQ(instruction.getArg(1)->intValue(), 5);
    EXPECT_EQ(instruction.getArg(2)->intValue(), 2);
}

TEST_F(OutputTest, DisassemblyOfTheProgramCountsUndecodableWords) {
    assembler.writeInstructionMem(0, 0x1000000000000000);
    assembler.writeInstructionMem(1, uint64_t{31} << 59);
    assembler.writeInstructionMem(2, 0x0800000000000000);
    std::ostringstream out;
    EXPECT_EQ(assembler.disassemble(out), 1);
    EXPECT_EQ(out.str(), "0:      nop\n"
                         "1:      UNKNOWN_opcode_31\n"
                         "2:      stop\n");

    EXPECT_EQ(assembler.saveDisassemble(fileName()), 1);
    EXPECT_EQ(readFile(fileName()), out.str());

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(assembler.saveDisassemble("/nonexistent-directory/p.s"), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Could not open file \"/nonexistent-directory/p.s\" for writing\n");
    if (::access("/dev/full", W_OK) == 0) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(assembler.saveDisassemble("/dev/full"), -1);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Could not write file \"/dev/full\"\n");
    }

    ASSERT_EQ(assemble(""), 0);
    std::ostringstream nothing;
    EXPECT_EQ(assembler.disassemble(nothing), 0);
    EXPECT_EQ(nothing.str(), "");
}

TEST_F(OutputTest, SourceHexDisassemblyAndBackGiveTheSameWords) {
    // Every variant at its largest operand values, from the golden encoding file (the
    // disassembler shows raw fields, so negative gains and offsets would not read back).
    std::ifstream golden(std::string(VEXA_SOURCE_DIR) + "/tests/golden/asm/encoding.s");
    std::vector<std::string> lines;
    for (std::string line; std::getline(golden, line);)
        if (line.find("# =>") != std::string::npos)
            lines.push_back(line.substr(0, line.find('#')));
    ASSERT_EQ(lines.size(), 110u);
    std::string source = "top:\n";
    for (size_t i = 55; i < lines.size(); ++i)
        source += lines[i] + "\n";
    source += "jmp @top\n";
    ASSERT_EQ(assemble(source), 0) << report();
    const std::vector<uint64_t> original = words();
    std::ostringstream hex;
    ASSERT_TRUE(assembler.printHexOutput(hex));

    assembler.config().writeAddresses = false;
    std::ostringstream disassembly;
    ASSERT_EQ(assembler.disassemble(disassembly), 0);
    EXPECT_THAT(disassembly.str(), Not(HasSubstr(":")));

    SeqProcessor second(seq_instr_set(), 4096, 64);
    SeqAssembler again(&second, AsmSyntax());
    AsmErrorList list;
    StringSourceReader reader(disassembly.str(), "disassembly.s");
    ASSERT_EQ(again.assemble(reader, list), 0) << list.toStringFullReport("assembler");
    ASSERT_EQ(again.numInstructions(), original.size());
    std::ostringstream hexAgain;
    ASSERT_TRUE(again.printHexOutput(hexAgain));
    EXPECT_EQ(hexAgain.str(), hex.str());
    for (uint32_t a = 0; a < original.size(); ++a) {
        EXPECT_EQ(second.readInstructionMem(a), original[a]) << "address " << a;
    }
}
