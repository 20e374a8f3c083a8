// Writing the program out: the hex text and the stream it leaves behind, the disassembly, and
// every way in which writing them fails.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <sstream>
#include <streambuf>
#include <string>
#include <unistd.h>

#include "SeqAssemblerFixture.h"

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

    SeqProcessor noMemory(seq_instr_set());
    SeqAssembler empty(&noMemory, AsmSyntax());
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
        {~uint64_t{0}, false, "        UNKNOWN_opcode_31"},
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

TEST_F(OutputTest, DisassemblyOfTheProgramCountsUndecodableWords) {
    std::ostringstream nothing;
    EXPECT_EQ(assembler.disassemble(nothing), 0);
    EXPECT_EQ(nothing.str(), "");

    assembler.writeInstructionMem(0, 0x1000000000000000);
    assembler.writeInstructionMem(1, uint64_t{31} << 59);
    assembler.writeInstructionMem(2, 0x0800000000000000);
    std::ostringstream out;
    EXPECT_EQ(assembler.disassemble(out), 1);
    EXPECT_EQ(out.str(), "0:      nop\n1:      UNKNOWN_opcode_31\n2:      stop\n");
    EXPECT_EQ(assembler.saveDisassemble(file), 1);
    EXPECT_EQ(readFile(file), out.str());

    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(assembler.saveDisassemble("/nonexistent-dir/p.s"), -1); }),
              "Could not open file \"/nonexistent-dir/p.s\" for writing\n");
    if (::access("/dev/full", W_OK) == 0) {
        EXPECT_EQ(stderrOf([&] { EXPECT_EQ(assembler.saveDisassemble("/dev/full"), -1); }),
                  "Could not write file \"/dev/full\"\n");
    }
}
