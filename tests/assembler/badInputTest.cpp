// vexasm under bad input: unreadable, empty, binary, huge and malformed sources, many errors,
// unwritable outputs and malformed option values. Every run ends with the status and message
// the tool documents, and a failed run leaves an existing .hex file untouched. The suite
// BadInputSlowTest holds the inputs of 10 MB and of 100,000 lines (ctest label "slow").
#include "tests/assembler/ToolRun.h"

#include <cstdint>

namespace {

const std::string kOldHex = "old contents\n";

class BadInputTest : public ToolRunTest {
protected:
    ToolRun assembleFailing(const std::string& arguments, const std::string& base) const {
        writeFile(dir / (base + ".hex"), kOldHex);
        const ToolRun result = vexasm(arguments);
        EXPECT_NE(result.status, 0) << "vexasm " << arguments;
        EXPECT_EQ(readFile(dir / (base + ".hex")), kOldHex) << "vexasm " << arguments;
        return result;
    }

    // The line numbers that the error report names as "<name>:<line>", in report order.
    static std::vector<int> reportedLines(const ToolRun& result, const std::string& name) {
        const std::string report = result.messageStarting("assembler failed");
        std::vector<int> lines;
        const std::regex position("(^|\n)" + name + ":(\\d+)");
        for (auto it = std::sregex_iterator(report.begin(), report.end(), position);
             it != std::sregex_iterator(); ++it)
            lines.push_back(std::stoi((*it)[2]));
        return lines;
    }
};
using BadInputSlowTest = BadInputTest;

TEST_F(BadInputTest, UnreadableOrEmptyInputs) {
    fs::create_directories(dir / "folder.s");
    std::vector<std::pair<std::string, std::string>> cases = {
        {"missing", "Could not open input file 'missing.s' for reading"},
        {"folder", "Could not open input file 'folder.s' for reading"},
    };
    // A file that opens but fails its first read (EIO) is no empty program.
    if (fs::exists("/proc/self/mem"))
        cases.emplace_back("/proc/self/mem",
                           "Reading from stream /proc/self/mem resulted in 'bad' state (read "
                           "error on i/o operation). Line read so far:\n\nLast read character "
                           "value = 0");
    for (const auto& [input, message] : cases) {
        const bool file = input[0] == '/';
        const ToolRun result =
            assembleFailing(file ? "-o mem " + input : input + ".s", file ? "mem" : input);
        EXPECT_EQ(result.status, 1) << input;
        EXPECT_EQ(result.messageStarting(message.substr(0, 10)), message) << result.err;
    }
    writeFile(dir / "empty.s", "");
    EXPECT_EQ(vexasm("empty.s").status, 0);
    EXPECT_TRUE(fs::exists(dir / "empty.hex"));
    EXPECT_EQ(readFile(dir / "empty.hex"), "");
}

// Bytes that no rule of the language takes are reported, never skipped as if they were
// blank: a file of NUL bytes or of random binary is no empty program.
TEST_F(BadInputTest, NulBytesAndBinaryAreReported) {
    writeFile(dir / "nul.s", std::string(4096, '\0'));
    ToolRun result = assembleFailing("nul.s", "nul");
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.messageStarting("assembler failed with 1 errors:\n")
                  .find("nul.s:1:0: Syntax error: AsmParser: spurious characters after "
                        "statement: \n" +
                        std::string(4096, '\0') + "\n" + std::string(4096, '^')),
              std::string::npos);

    std::string binary;
    uint32_t state = 12345;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1103515245u + 12345u;
        binary.push_back(static_cast<char>(state >> 23));
    }
    writeFile(dir / "random.bin", binary);
    result = assembleFailing("random.bin", "random");
    const std::string failed = result.messageStarting("assembly failed with ");
    ASSERT_FALSE(failed.empty()) << result.err;
    const int errors = std::stoi(failed.substr(21));
    EXPECT_GT(errors, 0);
    EXPECT_EQ(result.status, errors < 255 ? errors : 255);
}

TEST_F(BadInputTest, CarriageReturnsAloneEndLines) {
    writeFile(dir / "cr.s", "start:  stop\r        nop   # idle\r        add R1, 5, R2\r");
    EXPECT_EQ(vexasm("cr.s").status, 0);
    EXPECT_EQ(readFile(dir / "cr.hex"), "0800000000000000\n1000000000000000\n4400008100000005\n");

    writeFile(dir / "crbad.s", "        nop\r        jump 5\r        wait 250\r");
    const ToolRun result = assembleFailing("crbad.s", "crbad");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(reportedLines(result, "crbad.s"), std::vector<int>{2});
}

// Each byte 0x80-0xFF in a comment is accepted; in a label or an argument it is reported on
// its own line, once, in line order; 256 errors exit with 255.
TEST_F(BadInputTest, HighBytesInLabelsArgumentsAndComments) {
    std::string source;
    std::vector<int> expected;
    for (int byte = 0x80, line = 0; byte <= 0xFF; ++byte, line += 3) {
        const char c = static_cast<char>(byte);
        source += std::string("        nop   # comment ") + c + "\nlab" + c + "el:   nop\n" +
                  "        wait  1" + c + "\n";
        expected.push_back(line + 2);
        expected.push_back(line + 3);
    }
    writeFile(dir / "high.s", source);
    const ToolRun result = assembleFailing("high.s", "high");
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.messageStarting("assembly failed"), "assembly failed with 256 errors");
    EXPECT_EQ(reportedLines(result, "high.s"), expected);
}

TEST_F(BadInputTest, SymbolsWithTenThousandCharacterValues) {
    writeFile(dir / "sym.s", ".DEF big " + std::string(10000, '7') + "\n        wait  $big\n");
    ToolRun result = assembleFailing("sym.s", "sym");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(reportedLines(result, "sym.s"), std::vector<int>{2});
    // Beyond 64 bits the conversion saturates; the operand's range check then refuses it.
    EXPECT_NE(result.err.find("value: 9223372036854775807 out of range (4,65535)"),
              std::string::npos)
        << result.err;

    writeFile(dir / "text.s", ".DEF t " + std::string(10000, 'x') + "\n        wait  $t\n");
    result = assembleFailing("text.s", "text");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("Expected an integer number"), std::string::npos);
}

TEST_F(BadInputTest, TenThousandErrorsAreReportedCompleteAndInLineOrder) {
    std::string source;
    std::vector<int> expected;
    for (int i = 1; i <= 10000; ++i) {
        source += i % 2 == 0 ? "        jump 5\n" : "        wait 0x100000000\n";
        expected.push_back(i);
    }
    writeFile(dir / "errors.s", source);
    const ToolRun result = assembleFailing("errors.s", "errors");
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.messageStarting("assembly failed"), "assembly failed with 10000 errors");
    EXPECT_EQ(reportedLines(result, "errors.s"), expected);
}

TEST_F(BadInputTest, UnwritableOutputs) {
    writeFile(dir / "prog.s", "        stop\n");
    std::vector<std::pair<std::string, std::string>> cases = {
        {"no/such/dir/p", "ERROR: could not open file no/such/dir/p.hex for writing\n"}};
    if (fs::exists("/dev/full")) {
        fs::create_symlink("/dev/full", dir / "full.hex");
        cases.emplace_back("full", "ERROR: could not write file full.hex\n");
    }
    for (const auto& [base, message] : cases) {
        const ToolRun result = vexasm("-o " + base + " prog.s");
        EXPECT_EQ(result.status, 1) << base;
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
    }
    EXPECT_FALSE(fs::exists(dir / "no"));
}

// Counts beyond the range of int used to be cut to 32 bits (4294967297 ran once). Level
// names are matched whole and exactly: no case folding, prefixes, blanks or numbers.
TEST_F(BadInputTest, MalformedOptionValues) {
    writeFile(dir / "prog.s", "        stop\n");
    const std::string count = "Error in number of repeated assembly (stress testing): ";
    const std::pair<std::string, std::string> cases[] = {
        {"-s 99999999999999999999999", count + "99999999999999999999999"},
        {"-s 4294967297", count + "4294967297"},
        {"-s 2147483648", count + "2147483648"},
        {"-s ' -2147483649'", count + " -2147483649"},
        {"-s ' 1 '", count + " 1 "},
        {"-l ''", "Unsupported log level: "},
        {"-l Debug", "Unsupported log level: Debug"},
        {"-l dd", "Unsupported log level: dd"},
        {"-l 7", "Unsupported log level: 7"},
        {"-l ' info'", "Unsupported log level:  info"},
        {"-l -1", "Option -l requires argument"},
    };
    for (const auto& [arguments, message] : cases) {
        const ToolRun result = vexasm(arguments + " prog.s");
        EXPECT_EQ(result.status, 2) << arguments;
        EXPECT_EQ(result.messages(), std::vector<std::string>{message}) << arguments;
        EXPECT_FALSE(fs::exists(dir / "prog.hex")) << arguments;
    }
    // A count without digits, or below 1, runs nothing and writes an empty program.
    for (const char* none : {"''", "' -3'"}) {
        EXPECT_EQ(vexasm(std::string("-s ") + none + " prog.s").status, 0) << none;
        EXPECT_TRUE(fs::exists(dir / "prog.hex")) << none;
        EXPECT_EQ(readFile(dir / "prog.hex"), "") << none;
        fs::remove(dir / "prog.hex");
    }
    EXPECT_EQ(vexasm("-s +2 prog.s").status, 0);
    EXPECT_EQ(readFile(dir / "prog.hex"), "0800000000000000\n");
}

TEST_F(BadInputSlowTest, TenMegabyteLines) {
    const size_t size = 10 * 1024 * 1024;
    writeFile(dir / "comment.s", "        nop   # " + std::string(size, 'c') + "\n        stop\n");
    ToolRun result = vexasm("comment.s");
    EXPECT_EQ(result.status, 0) << result.err.substr(0, 2000);
    EXPECT_EQ(readFile(dir / "comment.hex"), "1000000000000000\n0800000000000000\n");

    writeFile(dir / "word.s", "        nop " + std::string(size, 'w') + "\n");
    result = assembleFailing("word.s", "word");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.messageStarting("assembler failed with 1 errors:\n")
                  .find("word.s:1:12: Syntax error: Invalid argument: \n        nop " +
                        std::string(size, 'w') + "\n------------" + std::string(size, '^')),
              std::string::npos);
}

TEST_F(BadInputSlowTest, HundredThousandInstructionsAreOneProgramTooLongError) {
    std::string source;
    for (int i = 0; i < 100000; ++i)
        source += "        nop\n";
    writeFile(dir / "long.s", source);
    const ToolRun result = assembleFailing("long.s", "long");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.messageStarting("assembly failed"), "assembly failed with 1 errors");
    EXPECT_NE(result.err.find("Program too long (100000). Maximum 4096 instructions"),
              std::string::npos)
        << result.err.substr(0, 2000);
}

TEST_F(BadInputSlowTest, HundredThousandLabelOnlyLines) {
    std::string source;
    for (int i = 0; i < 100000; ++i)
        source += "label" + std::to_string(i) + ":\n";
    writeFile(dir / "labels.s", source + "        jmp @label99999\n");
    ToolRun result = vexasm("labels.s");
    EXPECT_EQ(result.status, 0) << result.err.substr(0, 2000);
    EXPECT_EQ(readFile(dir / "labels.hex"), "1c00000000000000\n");

    writeFile(dir / "dangling.s", source);
    result = assembleFailing("dangling.s", "dangling");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("Label-only line without associated instruction line"),
              std::string::npos);
}

} // namespace
