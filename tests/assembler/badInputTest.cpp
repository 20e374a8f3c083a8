// vexasm under bad input: each run ends with its documented status and message, and a failed
// run leaves an existing .hex file alone. BadInputSlowTest (label "slow") has the huge inputs.
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

TEST_F(BadInputTest, UnreadableEmptyOrBinaryInputs) {
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

    // Random bytes: each error counts toward the exit status.
    std::string binary;
    for (uint32_t i = 0, state = 12345; i < 20000; ++i) {
        state = state * 1103515245u + 12345u;
        binary.push_back(static_cast<char>(state >> 23));
    }
    writeFile(dir / "random.bin", binary);
    const ToolRun result = assembleFailing("random.bin", "random");
    const std::string failed = result.messageStarting("assembly failed with ");
    ASSERT_FALSE(failed.empty()) << result.err;
    const int errors = std::stoi(failed.substr(21));
    EXPECT_GT(errors, 0);
    EXPECT_EQ(result.status, errors < 255 ? errors : 255);
}

// Sources with one error, on the line given, and a part of its report.
TEST_F(BadInputTest, SingleErrors) {
    const struct {
        std::string name, source, report;
        int line;
    } cases[] = {
        // Bytes that no rule of the language takes are reported, never skipped as blank.
        {"nul", std::string(4096, '\0'),
         "nul.s:1:0: Syntax error: AsmParser: spurious characters after statement: \n" +
             std::string(4096, '\0') + "\n" + std::string(4096, '^'),
         1},
        // Beyond 64 bits the conversion saturates; the operand's range check then refuses it.
        {"sym", ".DEF big " + std::string(10000, '7') + "\n        wait  $big\n",
         "value: 9223372036854775807 out of range (4,65535)", 2},
        {"text", ".DEF t " + std::string(10000, 'x') + "\n        wait  $t\n",
         "Expected an integer number", 1},
    };
    for (const auto& c : cases) {
        writeFile(dir / (c.name + ".s"), c.source);
        const ToolRun result = assembleFailing(c.name + ".s", c.name);
        EXPECT_EQ(result.status, 1) << c.name;
        EXPECT_EQ(reportedLines(result, c.name + ".s"), std::vector<int>{c.line}) << c.name;
        EXPECT_NE(result.err.find(c.report), std::string::npos) << result.err.substr(0, 2000);
    }
}

// Each error is reported once, in line order, and 256 or more exit with 255: a byte 0x80-0xFF
// in a label or an argument (in a comment it is accepted), and 10,000 bad instructions.
TEST_F(BadInputTest, ManyErrorsAreReportedCompleteAndInLineOrder) {
    std::string high, bad;
    std::vector<int> highLines, badLines;
    for (int byte = 0x80, line = 0; byte <= 0xFF; ++byte, line += 3) {
        const char c = static_cast<char>(byte);
        high += std::string("        nop   # comment ") + c + "\rlab" + c + "el:   nop\n" +
                "        wait  1" + c + "\r";
        highLines.insert(highLines.end(), {line + 2, line + 3});
    }
    for (int i = 1; i <= 10000; ++i) {
        bad += i % 2 == 0 ? "        jump 5\n" : "        wait 0x100000000\n";
        badLines.push_back(i);
    }
    for (const auto& [source, lines] : {std::pair(high, highLines), std::pair(bad, badLines)}) {
        writeFile(dir / "errors.s", source);
        const ToolRun result = assembleFailing("errors.s", "errors");
        EXPECT_EQ(result.status, 255);
        EXPECT_EQ(result.messageStarting("assembly failed"),
                  "assembly failed with " + std::to_string(lines.size()) + " errors");
        EXPECT_EQ(reportedLines(result, "errors.s"), lines);
    }
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

// Counts beyond int used to be cut to 32 bits (4294967297 ran once); level names match exactly.
TEST_F(BadInputTest, MalformedOptionValues) {
    writeFile(dir / "prog.s", "        stop\n");
    const std::string count = "Error in number of repeated assembly (stress testing): ";
    const std::pair<std::string, std::string> cases[] = {
        {"-s 4294967297", count + "4294967297"},
        {"-s ' 1 '", count + " 1 "},
        {"-l Debug", "Unsupported log level: Debug"},
        {"-l ' info'", "Unsupported log level:  info"},
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
