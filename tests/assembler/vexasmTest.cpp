// End-to-end tests: run the built vexasm in a temporary folder and check its exit status,
// standard output, log lines and the .hex file byte for byte.
#include "tests/assembler/ToolRun.h"

#include <string>
#include <vector>

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

// stop, nop, add R1, 5, R2 and their words.
const std::string kProgram = "start:  stop\n        nop   # idle\n        add R1, 5, R2\n";
const std::string kProgramHex = "0800000000000000\n1000000000000000\n4400008100000005\n";

class VexasmTest : public ToolRunTest {};

TEST_F(VexasmTest, AssemblesProgramIntoHexFile) {
    writeFile(dir / "prog.s", kProgram);
    const ToolRun result = run("prog.s");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, kCpuInfo);
    EXPECT_EQ(readFile(dir / "prog.hex"), kProgramHex);
    const std::vector<LogLine> log = result.log();
    ASSERT_GE(log.size(), 2u) << result.err;
    EXPECT_EQ(log[0].tag, "+      ");
    EXPECT_EQ(log[0].program, VEXASM_PATH);
    EXPECT_EQ(log[0].message, "assembler finished successfully");
    EXPECT_TRUE(log[1].message.find("\nassemble: ") != std::string::npos) << log[1].message;
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
        {"prog.s -h", 1, {}},
        {"-l", 2, {"Option -l requires argument"}},
        {"-l -o x prog.s", 2, {"Option -l requires argument"}},
        {"prog.s -o", 2, {"Option -o requires argument"}},
        {"-o - prog.s", 2, {"Option -o requires argument"}},
        {"-s -1 prog.s", 2, {"Option -s requires argument"}},
        {"-l loud prog.s", 2, {"Unsupported log level: loud"}},
        {"-s 5x prog.s", 2, {"Error in number of repeated assembly (stress testing): 5x"}},
        {"a.s b.s", 2, {"Too many non-option arguments"}},
        {"-x", 2, {"Unsupported option: '-x'"}},
    };
    for (const Case& c : cases) {
        const ToolRun result = run(c.arguments);
        EXPECT_EQ(result.status, c.status) << "vexasm " << c.arguments;
        EXPECT_EQ(result.out, helpText()) << "vexasm " << c.arguments;
        EXPECT_EQ(result.messages(), c.messages) << "vexasm " << c.arguments;
        for (const LogLine& line : result.log()) {
            EXPECT_EQ(line.tag, "****   ") << "vexasm " << c.arguments;
        }
    }
}

TEST_F(VexasmTest, UnknownOptionIsReportedAndAssemblyGoesOn) {
    writeFile(dir / "prog.s", kProgram);
    const ToolRun result = run("-x prog.s");
    EXPECT_EQ(result.status, 0);
    const std::vector<std::string> messages = result.messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0], "Unsupported option: '-x'");
    EXPECT_EQ(readFile(dir / "prog.hex"), kProgramHex);
}

TEST_F(VexasmTest, QuietWritesNoLogButCpuBlockAndHexFile) {
    writeFile(dir / "prog.s", kProgram);
    const ToolRun result = run("-l quiet prog.s");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, kCpuInfo);
    EXPECT_EQ(readFile(dir / "prog.hex"), kProgramHex);
}

TEST_F(VexasmTest, OutputBaseNames) {
    writeFile(dir / "src/prog.s", kProgram);
    writeFile(dir / "a.b/prog", kProgram);
    fs::create_directories(dir / "out");

    EXPECT_EQ(run("src/prog.s").status, 0);
    EXPECT_EQ(readFile(dir / "prog.hex"), kProgramHex);
    fs::remove(dir / "prog.hex");

    EXPECT_EQ(run("a.b/prog").status, 0);
    EXPECT_EQ(readFile(dir / "prog.hex"), kProgramHex);

    EXPECT_EQ(run("-o out/p src/prog.s").status, 0);
    EXPECT_EQ(readFile(dir / "out/p.hex"), kProgramHex);
}

TEST_F(VexasmTest, ZeroRepetitionsAssembleNothingAndWriteEmptyHex) {
    writeFile(dir / "prog.s", kProgram);
    const ToolRun result = run("-s 0 prog.s");
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(fs::exists(dir / "prog.hex"));
    EXPECT_EQ(readFile(dir / "prog.hex"), "");
}

TEST_F(VexasmTest, RepeatedFailingAssemblyReportsEveryRun) {
    writeFile(dir / "bad.s", "        nop\n        jump 5\n");
    const ToolRun result = run("-s 3 bad.s");
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(fs::exists(dir / "bad.hex"));
    int reports = 0;
    for (const LogLine& line : result.log()) {
        if (line.message.rfind("assembler failed with 1 errors:\n", 0) == 0) {
            EXPECT_EQ(line.tag, "+      ");
            ++reports;
        }
    }
    EXPECT_EQ(reports, 3) << result.err;
}

TEST_F(VexasmTest, ErrorReportPointsIntoTheSource) {
    writeFile(dir / "bad.s", "start:  move 5, R1\n        wait 3\n        jump @start\n");
    const ToolRun result = run("bad.s");
    EXPECT_EQ(result.status, 2);
    EXPECT_FALSE(fs::exists(dir / "bad.hex"));
    const std::vector<LogLine> log = result.log();
    ASSERT_GE(log.size(), 2u) << result.err;
    EXPECT_EQ(log[0].tag, "***    ");
    EXPECT_EQ(log[0].message, "assembly failed with 2 errors");
    const std::string& report = log[1].message;
    EXPECT_EQ(report.rfind("assembler failed with 2 errors:\n", 0), 0u) << report;
    EXPECT_NE(report.find("bad.s:2"), std::string::npos) << report;
    EXPECT_NE(report.find("bad.s:3"), std::string::npos) << report;
    EXPECT_NE(report.find("\n        jump @start\n--------^^^^\n"), std::string::npos) << report;
}

TEST_F(VexasmTest, SectionsSwitchBetweenCodeAndSimulator) {
    writeFile(dir / "prog.s",
              ".CPU\n        stop\n.SIM\n   anything at all\n.CODE\n        nop\n.END\n"
              "        add R1, 5, R2\n");
    const ToolRun result = run("prog.s");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(readFile(dir / "prog.hex"), kProgramHex);
    std::vector<std::string> found;
    for (const std::string& message : result.messages()) {
        if (message.rfind("found section", 0) == 0) {
            found.push_back(message);
        }
    }
    EXPECT_EQ(found, (std::vector<std::string>{"found section '.SIM'", "found section '.CODE'"}));
}

TEST_F(VexasmTest, UnreadableInputsFailWithStatusOne) {
    fs::create_directories(dir / "folder.s");
    struct Case {
        std::string input;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"missing.s", "Could not open input file 'missing.s' for reading"},
        {"folder.s", "Could not open input file 'folder.s' for reading"},
    };
    for (const Case& c : cases) {
        const ToolRun result = run(c.input);
        EXPECT_EQ(result.status, 1) << c.input;
        const std::vector<std::string> messages = result.messages();
        ASSERT_FALSE(messages.empty()) << c.input;
        EXPECT_EQ(messages[0], c.message) << c.input;
        EXPECT_FALSE(fs::exists(dir / (fs::path(c.input).stem().string() + ".hex"))) << c.input;
    }
}

TEST_F(VexasmTest, UnwritableHexFileIsAFailure) {
    writeFile(dir / "prog.s", kProgram);
    const ToolRun result = run("-o no/such/dir/p prog.s");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("ERROR: could not open file no/such/dir/p.hex for writing\n"),
              std::string::npos)
        << result.err;
}

TEST_F(VexasmTest, ErrorCountsFromTwoHundredFiftyFiveUpExitWith255) {
    for (const int count : {255, 256}) {
        std::string source;
        for (int i = 0; i < count; ++i) {
            source += "        jump 5\n";
        }
        writeFile(dir / "many.s", source);
        const ToolRun result = run("-l quiet many.s");
        EXPECT_EQ(result.status, 255) << count << " errors";
    }
}

TEST_F(VexasmTest, SourceWithNulByteReportsEveryError) {
    const std::string firstLine("        jump 1   # a\0b", 23);
    writeFile(dir / "nul.s", firstLine + "\n        wait 3\n");
    const ToolRun result = run("nul.s");
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_NE(result.err.find(firstLine + "\n"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("nul.s:2"), std::string::npos) << result.err;
}

TEST_F(VexasmTest, BundledExamples) {
    const fs::path examples = fs::path(VEXA_SOURCE_DIR) / "examples";
    for (const char* name : {"pulse_sequence.s", "symbols.s", "sections.s"}) {
        const ToolRun result = run("-o ok " + quoted(examples / name));
        EXPECT_EQ(result.status, 0) << name << "\n" << result.err;
        EXPECT_FALSE(readFile(dir / "ok.hex").empty()) << name;
    }
    const ToolRun result = run(quoted(examples / "error_report.s"));
    EXPECT_EQ(result.status, 4) << result.err;
}

} // namespace
