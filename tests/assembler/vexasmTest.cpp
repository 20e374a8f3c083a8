// vexasm end to end: exit status, standard output, log lines and the .hex file byte for byte.
// The command-line errors common to the three tools are checked here, once.
#include "tests/assembler/ToolRun.h"

namespace {

std::string helpText() {
    return std::string("Usage: ") + VEXASM_PATH +
           "[-h] [-l loglevel] [-s repetitions] [-o outfilebase] [inputfile]"
           "\nAssemble vexasm program into binary."
           "\nArguments:"
           "\n\tinputfile: input file containing vexa assembly."
           "\nOptions:"
           "\n\t-h                 : print help"
           "\n\t-l loglevel        : debug/d, info/i, notice/n, warning/w"
           ", error/e, critical/c, alert/a or emergency/m."
           "\n\t                     Default: info"
           "\n\t-s repeat_assembly : repeat assemble of program given number of times for "
           "stress testing."
           "\n\t-o outfilebase     : output filename(s) without extension."
           "\n\t                     Default: input file base (without directory, without "
           "extension)\n";
}

const std::string kCpuInfo = "CPU info:"
                             "\n\tSize of int           : 32 bits"
                             "\n\tSize of long int      : 64 bits"
                             "\n\tSize of long long int : 64 bits"
                             "\n\tSize of instruction_t : 64 bits"
                             "\n\tSize of Arg::value_t  : 64 bits\n";

const std::string kProgram = "start:  stop\n        nop   # idle\n        add R1, 5, R2\n";
const std::string kProgramHex = "0800000000000000\n1000000000000000\n4400008100000005\n";

using VexasmTest = ToolRunTest;

TEST_F(VexasmTest, AssemblesProgramIntoHexFile) {
    writeFile(dir / "prog.s", kProgram);
    const ToolRun result = vexasm("prog.s");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, kCpuInfo);
    EXPECT_EQ(readFile(dir / "prog.hex"), kProgramHex);
    const std::vector<LogLine> log = result.log();
    ASSERT_EQ(log.size(), 2u) << result.err;
    EXPECT_EQ(log[0].tag, kInfoTag);
    EXPECT_EQ(log[0].message, "assembler finished successfully");
    EXPECT_NE(result.err.find(std::string(" ") + VEXASM_PATH + ": assembler finished"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(log[1].message.rfind("\nassemble: ", 0), 0u) << log[1].message;
}

TEST_F(VexasmTest, CommandLineErrors) {
    struct Case {
        std::string arguments;
        int status;
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases = {
        {"", 2, {}},
        {"-h prog.s", 1, {}},
        {"-l", 2, {"Option -l requires argument"}},
        {"-l -o x prog.s", 2, {"Option -l requires argument"}},
        {"prog.s -o", 2, {"Option -o requires argument"}},
        {"-o - prog.s", 2, {"Option -o requires argument"}},
        {"-l loud prog.s", 2, {"Unsupported log level: loud"}},
        {"-s 5x prog.s", 2, {"Error in number of repeated assembly (stress testing): 5x"}},
        {"a.s b.s", 2, {"Too many non-option arguments"}},
        {"-x", 2, {"Unsupported option: '-x'"}},
    };
    for (const Case& c : cases) {
        const ToolRun result = vexasm(c.arguments);
        EXPECT_EQ(result.status, c.status) << "vexasm " << c.arguments;
        EXPECT_EQ(result.out, helpText()) << "vexasm " << c.arguments;
        EXPECT_EQ(result.messages(), c.messages) << "vexasm " << c.arguments;
        for (const LogLine& line : result.log())
            EXPECT_EQ(line.tag, kErrorTag) << "vexasm " << c.arguments;
    }
}

// The .hex file is named after the input without its folder and extension, or by -o. An
// unknown option is reported and the run goes on; "quiet" silences all but the CPU block.
TEST_F(VexasmTest, OutputBaseNames) {
    writeFile(dir / "src/prog.s", kProgram);
    writeFile(dir / "a.b/prog", kProgram);
    fs::create_directories(dir / "out");
    const std::pair<const char*, const char*> cases[] = {{"src/prog.s", "prog.hex"},
                                                         {"a.b/prog", "prog.hex"},
                                                         {"-o out/p src/prog.s", "out/p.hex"},
                                                         {"-x src/prog.s", "prog.hex"}};
    for (const auto& [arguments, hex] : cases) {
        const ToolRun result = vexasm("-l quiet " + std::string(arguments));
        EXPECT_EQ(result.status, 0) << arguments;
        EXPECT_EQ(result.out, kCpuInfo) << arguments;
        EXPECT_EQ(readFile(dir / hex), kProgramHex) << arguments;
        fs::remove(dir / hex);
    }
}

// Each run's report is written: the first two inside the repetition loop, the last after it.
TEST_F(VexasmTest, RepeatedFailingAssemblyReportsEveryRun) {
    writeFile(dir / "bad.s", "start:  move 5, R1\n        wait 3\n        jump @start\n");
    const ToolRun result = vexasm("-s 3 bad.s");
    EXPECT_EQ(result.status, 2);
    EXPECT_FALSE(fs::exists(dir / "bad.hex"));
    const std::string report =
        "assembler failed with 2 errors:\n"
        "bad.s:2:13: Syntax error: Instruction wait argument 1 (seq_cnt_imm) value: 3 out of "
        "range (4,65535): \n        wait 3\n-------------^\n\n"
        "bad.s:3:8: Syntax error: instruction 'jump' not found: \n        jump @start\n"
        "--------^^^^\n";
    const std::vector<LogLine> log = result.log();
    ASSERT_EQ(log.size(), 7u) << result.err;
    for (int run = 0; run < 3; ++run) {
        EXPECT_EQ(log[2 * run].tag, kWarningTag);
        EXPECT_EQ(log[2 * run].message, "assembly failed with 2 errors");
        EXPECT_EQ(log[2 * run + 1].tag, kInfoTag);
        EXPECT_EQ(log[2 * run + 1].message, report);
    }
}

} // namespace
