// vexadis end to end: disassembly to standard output or a file, and the refusal of images that
// are malformed or unreadable. The round trip through vexasm is in python/tests/test_program.py.
#include "tests/assembler/ToolRun.h"

#include <algorithm>

namespace {

class VexadisTest : public ToolRunTest {
protected:
    ToolRun vexadis(const std::string& arguments) const { return run(VEXADIS_PATH, arguments); }
};

TEST_F(VexadisTest, DisassemblesToStandardOutputOrAFile) {
    // Upper-case digits and no final line feed are accepted.
    writeFile(dir / "prog.hex", "0800000000000000\n1000000000000000\n440000810000000A");
    ToolRun result = vexadis("prog.hex");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "0:      stop\n1:      nop\n2:      add         R1, 0xa, R2\n");
    ASSERT_EQ(result.log().size(), 1u) << result.err;
    EXPECT_EQ(result.log()[0].tag, kInfoTag);
    EXPECT_EQ(result.log()[0].message, "disassembled 3 instruction words");

    // Without address labels, so that the output assembles again.
    result = vexadis("-n -o out.s prog.hex");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(readFile(dir / "out.s"),
              "        stop\n        nop\n        add         R1, 0xa, R2\n");

    writeFile(dir / "empty.hex", "");
    result = vexadis("empty.hex");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.messages(), std::vector<std::string>{"disassembled 0 instruction words"});
}

// A bad image is named by file, line and text, and leaves an existing output file alone.
TEST_F(VexadisTest, MalformedLinesNameFileLineAndText) {
    const std::string good = "1000000000000000\n";
    const std::string text40(40, 'x');
    const std::string nul(1, '\0');
    const std::pair<std::string, std::string> cases[] = {
        {good + "10000000000000000\n", "2: malformed instruction word '10000000000000000'"},
        {"0x00000000000001\n", "1: malformed instruction word '0x00000000000001'"},
        {good + "\n" + good, "2: malformed instruction word ''"},
        {good + "1000000000000000\r\n", "2: malformed instruction word '1000000000000000\r'"},
        {"10000000" + nul + "0000000\n",
         "1: malformed instruction word '10000000" + nul + "0000000'"},
        {text40 + "\n", "1: malformed instruction word '" + text40 + "'"},
        {text40 + "yz\n", "1: malformed instruction word '" + text40 + "...'"},
    };
    for (const auto& [hex, message] : cases) {
        writeFile(dir / "bad.hex", hex);
        writeFile(dir / "out.s", "keep me");
        const ToolRun result = vexadis("-o out.s bad.hex");
        EXPECT_EQ(result.status, 1) << message;
        ASSERT_EQ(result.log().size(), 1u) << result.err;
        EXPECT_EQ(result.log()[0].tag, kErrorTag);
        EXPECT_EQ(result.log()[0].message,
                  "bad.hex:" + message + " (expected 16 hexadecimal digits)");
        EXPECT_EQ(readFile(dir / "out.s"), "keep me") << message;
    }
}

TEST_F(VexadisTest, UndecodableWordsAreShownCountedAndFail) {
    // Opcode 31 is no instruction.
    writeFile(dir / "prog.hex", "f800000000000000\n0800000000000000\nf800000000000001\n");
    const ToolRun result = vexadis("prog.hex");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "0:      UNKNOWN_opcode_31\n1:      stop\n2:      UNKNOWN_opcode_31\n");
    ASSERT_EQ(result.log().size(), 1u) << result.err;
    EXPECT_EQ(result.log()[0].tag, kWarningTag);
    EXPECT_EQ(result.log()[0].message, "2 of 3 instruction words could not be decoded");
}

TEST_F(VexadisTest, InputsAndOutputsThatCannotBeUsed) {
    writeFile(dir / "prog.hex", "0800000000000000\n");
    fs::create_directories(dir / "folder.hex");
    std::vector<std::pair<std::string, std::string>> cases = {
        {"missing.hex", "Could not open input file 'missing.hex' for reading"},
        {"folder.hex", "Could not open input file 'folder.hex' for reading"},
        {"-o no/such/dir/out.s prog.hex",
         "Could not open output file 'no/such/dir/out.s' for writing"},
    };
    // Opens, but its first read fails with EIO.
    if (fs::exists("/proc/self/mem"))
        cases.emplace_back("/proc/self/mem", "/proc/self/mem:1: read error");
    if (fs::exists("/dev/full"))
        cases.emplace_back("-o /dev/full prog.hex", "Could not write output file '/dev/full'");
    for (const auto& [arguments, message] : cases) {
        const ToolRun result = vexadis(arguments);
        EXPECT_EQ(result.status, 1) << arguments;
        EXPECT_EQ(result.messages(), std::vector<std::string>{message}) << arguments;
    }
}

// The errors common to the three tools are tested with vexasm; the help is each tool's.
TEST_F(VexadisTest, Help) {
    const ToolRun result = vexadis("-h prog.hex");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out.rfind(std::string("Usage: ") + VEXADIS_PATH +
                                   " [-h] [-l loglevel] [-n] [-o outfile] hexfile"
                                   "\nDisassemble a vexasm hex file into vexa assembly.\n",
                               0),
              0u)
        << result.out;
}

} // namespace
