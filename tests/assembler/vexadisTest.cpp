// End-to-end tests of vexadis: disassembly to standard output and to a file, the round trip
// through vexasm, the accepted hex formats and every error path.
#include "tests/assembler/ToolRun.h"

#include <algorithm>
#include <utility>

namespace {

// One line per variant of the instruction set, each operand at a bound of its range, so
// that every field survives vexasm -> vexadis -n -> vexasm. Gains and offsets stay
// non-negative: the disassembly shows a field's bits, which do not assemble as a negative
// operand.
const std::string kEveryVariant = R"(        illegal
        stop
        nop
        jmp             4095
        jmp             R63
        jge             R1, 0xFFFFFFFF, 17
        jge             R2, 0, R3
        jlt             R4, 1, 0
        jlt             R5, 2, R6
        loop            R7, 100
        loop            R8, R9
        move            0xFFFFFFFF, R10
        move            R11, R12
        not             5, R13
        not             R14, R15
        add             R16, 1, R17
        add             R18, R19, R20
        sub             R21, 2, R22
        sub             R23, R24, R25
        and             R26, 3, R27
        and             R28, R29, R30
        or              R31, 4, R32
        or              R33, R34, R35
        xor             R36, 5, R37
        xor             R38, R39, R40
        asl             R41, 6, R42
        asl             R43, R44, R45
        asr             R46, 7, R47
        asr             R48, R49, R50
        sw_req          9
        sw_req          R51
        set_mrk         15
        set_mrk         R52
        reset_ph
        set_ph          1, 2, 3
        set_ph          R53, R54, R55
        set_ph_delta    4, 5, 6
        set_ph_delta    R56, R57, R58
        set_awg_gain    32767, 0
        set_awg_gain    R59, R60
        set_awg_offs    0, 32767
        set_awg_offs    R61, R62
        upd_param       4
        play            7, 8, 100
        play            R1, R2, 65535
        acquire_weighed 1, 2, 3, 4, 50
        acquire_weighed 1, R3, R4, R5, 60
        acquire         2, 3, 40
        acquire         3, R6, 44
        wait            4
        wait            R7
        wait_trigger    8
        wait_trigger    R9
        wait_sync       12
        wait_sync       R10
)";

// stop, nop, add R1, 5, R2: the words and their disassembly with address labels.
const std::string kHex = "0800000000000000\n1000000000000000\n4400008100000005\n";
const std::string kListing = "0:      stop\n1:      nop\n2:      add         R1, 0x5, R2\n";

class VexadisTest : public ToolRunTest {
protected:
    ToolRun vexadis(const std::string& arguments) const { return runTool(VEXADIS_PATH, arguments); }
};

TEST_F(VexadisTest, DisassemblesToStandardOutput) {
    writeFile(dir / "prog.hex", kHex);
    const ToolRun result = vexadis("prog.hex");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, kListing);
    EXPECT_EQ(result.messages(), std::vector<std::string>{"disassembled 3 instruction words"});
    EXPECT_TRUE(result.hasMessage(kInfoTag, "disassembled 3 instruction words"));
}

TEST_F(VexadisTest, WritesOutfileAndLeavesOutAddressesWithN) {
    writeFile(dir / "prog.hex", kHex);
    const ToolRun result = vexadis("-n -o out.s prog.hex");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(readFile(dir / "out.s"),
              "        stop\n        nop\n        add         R1, 0x5, R2\n");
}

TEST_F(VexadisTest, RoundTripThroughVexasmKeepsEveryWord) {
    const fs::path examples = fs::path(VEXA_SOURCE_DIR) / "examples";
    std::vector<std::pair<std::string, std::string>> programs = {{"every_variant", kEveryVariant}};
    for (const char* name : {"pulse_sequence", "symbols", "sections"})
        programs.emplace_back(name, readFile(examples / (std::string(name) + ".s")));
    for (const auto& [name, source] : programs) {
        const std::string hex = assemble(source, name);
        ASSERT_FALSE(hex.empty()) << name;
        const ToolRun listing = vexadis("-n -o again.s " + name + ".hex");
        EXPECT_EQ(listing.status, 0) << name << "\n" << listing.err;
        EXPECT_EQ(assemble(readFile(dir / "again.s"), "again"), hex) << name << "\n"
                                                                     << readFile(dir / "again.s");
    }
}

TEST_F(VexadisTest, AcceptedHexForms) {
    struct Case {
        const char* name;
        std::string hex;
        std::string listing;
    };
    const std::vector<Case> cases = {
        {"upper case", "4400008100000005\n", "0:      add         R1, 0x5, R2\n"},
        {"mixed case", "440000810000000a\n440000810000000A\n",
         "0:      add         R1, 0xa, R2\n1:      add         R1, 0xa, R2\n"},
        {"no final line feed", "1000000000000000\n0800000000000000", "0:      nop\n1:      stop\n"},
        {"empty file", "", ""},
    };
    for (const Case& c : cases) {
        writeFile(dir / "prog.hex", c.hex);
        const ToolRun result = vexadis("prog.hex");
        EXPECT_EQ(result.status, 0) << c.name << "\n" << result.err;
        EXPECT_EQ(result.out, c.listing) << c.name;
    }
}

TEST_F(VexadisTest, MalformedLinesNameFileLineAndText) {
    const std::string good = "1000000000000000\n";
    struct Case {
        std::string hex;
        std::string message;
    };
    const std::string text40(40, 'x');
    const std::string nul(1, '\0');
    const std::vector<Case> cases = {
        {good + "100000000000000\n", "2: malformed instruction word '100000000000000'"},
        {good + "10000000000000000\n", "2: malformed instruction word '10000000000000000'"},
        {good + good + "1000000000000g00\n", "3: malformed instruction word '1000000000000g00'"},
        {"0x00000000000001\n", "1: malformed instruction word '0x00000000000001'"},
        {good + "\n" + good, "2: malformed instruction word ''"},
        {good + "1000000000000000\r\n", "2: malformed instruction word '1000000000000000\r'"},
        {" 1000000000000000\n", "1: malformed instruction word ' 1000000000000000'"},
        {"10000000" + nul + "0000000\n",
         "1: malformed instruction word '10000000" + nul + "0000000'"},
        {text40 + "yz\n", "1: malformed instruction word '" + text40 + "...'"},
    };
    for (const Case& c : cases) {
        writeFile(dir / "bad.hex", c.hex);
        writeFile(dir / "out.s", "keep me");
        const ToolRun result = vexadis("-o out.s bad.hex");
        EXPECT_EQ(result.status, 1) << c.message;
        EXPECT_EQ(result.messages(), std::vector<std::string>{"bad.hex:" + c.message +
                                                              " (expected 16 hexadecimal digits)"})
            << result.err;
        EXPECT_TRUE(result.log().empty() || result.log()[0].tag == kErrorTag) << c.message;
        EXPECT_EQ(readFile(dir / "out.s"), "keep me") << c.message;
    }
}

TEST_F(VexadisTest, AtMostAFullInstructionMemory) {
    std::string hex;
    for (int i = 0; i < 4096; ++i)
        hex += "1000000000000000\n";
    writeFile(dir / "full.hex", hex);
    const ToolRun full = vexadis("-l warning full.hex");
    EXPECT_EQ(full.status, 0) << full.err;
    EXPECT_EQ(full.err, "");
    EXPECT_EQ(static_cast<size_t>(std::count(full.out.begin(), full.out.end(), '\n')), 4096u);

    writeFile(dir / "long.hex", hex + "0800000000000000\n");
    const ToolRun tooLong = vexadis("long.hex");
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_EQ(tooLong.out, "");
    EXPECT_EQ(tooLong.messages(),
              std::vector<std::string>{"long.hex:4097: more than 4096 instruction words"});
}

TEST_F(VexadisTest, UndecodableWordsAreShownCountedAndFail) {
    // Opcode 31 is no instruction.
    writeFile(dir / "prog.hex", "f800000000000000\n0800000000000000\nf800000000000001\n");
    const ToolRun result = vexadis("prog.hex");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "0:      UNKNOWN_opcode_31\n1:      stop\n2:      UNKNOWN_opcode_31\n");
    EXPECT_TRUE(result.hasMessage(kWarningTag, "2 of 3 instruction words could not be decoded"))
        << result.err;
}

TEST_F(VexadisTest, InputsThatCannotBeRead) {
    fs::create_directories(dir / "folder.hex");
    std::vector<std::pair<std::string, std::string>> cases = {
        {"missing.hex", "Could not open input file 'missing.hex' for reading"},
        {"folder.hex", "Could not open input file 'folder.hex' for reading"},
    };
    // Opens, but its first read fails with EIO.
    if (fs::exists("/proc/self/mem")) {
        cases.emplace_back("/proc/self/mem", "/proc/self/mem:1: read error");
    }
    for (const auto& [input, message] : cases) {
        const ToolRun result = vexadis(input);
        EXPECT_EQ(result.status, 1) << input;
        EXPECT_EQ(result.messages(), std::vector<std::string>{message}) << input;
    }
}

TEST_F(VexadisTest, UnwritableOutfileIsAFailure) {
    writeFile(dir / "prog.hex", kHex);
    const ToolRun result = vexadis("-o no/such/dir/out.s prog.hex");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.messages(), std::vector<std::string>{"Could not open output file "
                                                          "'no/such/dir/out.s' for writing"});
}

TEST_F(VexadisTest, CommandLine) {
    writeFile(dir / "prog.hex", kHex);
    const std::string help =
        std::string("Usage: ") + VEXADIS_PATH +
        " [-h] [-l loglevel] [-n] [-o outfile] hexfile"
        "\nDisassemble a vexasm hex file into vexa assembly."
        "\nArguments:"
        "\n\thexfile: instruction words as vexasm writes them, one per line in 16 "
        "hexadecimal digits."
        "\nOptions:"
        "\n\t-h                 : print help"
        "\n\t-l loglevel        : debug/d, info/i, notice/n, warning/w, error/e, critical/c, "
        "alert/a or emergency/m."
        "\n\t                     Default: info"
        "\n\t-n                 : no address labels, so that the output assembles again."
        "\n\t-o outfile         : write the disassembly to outfile."
        "\n\t                     Default: standard output\n";
    struct Case {
        std::string arguments;
        int status;
        std::vector<std::string> messages;
    };
    // The errors common to every tool are tested once, with vexasm.
    const std::vector<Case> cases = {
        {"-h prog.hex", 1, {}},
        {"-n", 2, {}},
        {"-o -n prog.hex", 2, {"Option -o requires argument"}},
    };
    for (const Case& c : cases) {
        const ToolRun result = vexadis(c.arguments);
        EXPECT_EQ(result.status, c.status) << "vexadis " << c.arguments;
        EXPECT_EQ(result.out, help) << "vexadis " << c.arguments;
        EXPECT_EQ(result.messages(), c.messages) << "vexadis " << c.arguments;
    }

    const ToolRun unknown = vexadis("-x prog.hex");
    EXPECT_EQ(unknown.status, 0);
    EXPECT_EQ(unknown.out, kListing);
    ASSERT_FALSE(unknown.log().empty());
    EXPECT_EQ(unknown.log()[0].tag, kErrorTag);
    EXPECT_EQ(unknown.log()[0].message, "Unsupported option: '-x'");

    const ToolRun quiet = vexadis("-l quiet prog.hex");
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, kListing);
    EXPECT_EQ(quiet.err, "");
}

} // namespace
