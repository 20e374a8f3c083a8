// The tool under bad input: unreadable, empty, binary, huge and malformed sources, many
// errors, unwritable outputs and broken options. Every run must end with the status and
// message the tool documents, within bounded time, and a failed run must leave no new .hex
// file behind and an existing one untouched.
#include "tests/assembler/ToolRun.h"

#include <chrono>
#include <cstdint>
#include <regex>
#include <string>
#include <vector>

namespace {

const std::string kOldHex = "old contents\n";

class BadInputTest : public ToolRunTest {
protected:
    // Runs the tool on `source` (written as file `name`, unless the caller made it) over an
    // existing `<base>.hex` holding kOldHex, and checks that a failed run keeps that file.
    ToolRun assembleFailing(const std::string& arguments, const std::string& base) {
        writeFile(dir / (base + ".hex"), kOldHex);
        const ToolRun result = run(arguments);
        EXPECT_NE(result.status, 0) << "vexasm " << arguments;
        EXPECT_NE(result.status, 124) << "vexasm " << arguments << " timed out";
        EXPECT_EQ(readFile(dir / (base + ".hex")), kOldHex) << "vexasm " << arguments;
        return result;
    }

    // The message of the first log line that starts with `start`, or "" when none does.
    static std::string messageStarting(const ToolRun& result, const std::string& start) {
        for (const std::string& message : result.messages()) {
            if (message.rfind(start, 0) == 0) {
                return message;
            }
        }
        return "";
    }

    // The line numbers that the error report names as "<name>:<line>", in report order.
    static std::vector<int> reportedLines(const std::string& report, const std::string& name) {
        std::vector<int> lines;
        const std::regex position("(^|\n)" + name + ":(\\d+)");
        for (auto it = std::sregex_iterator(report.begin(), report.end(), position);
             it != std::sregex_iterator(); ++it) {
            lines.push_back(std::stoi((*it)[2]));
        }
        return lines;
    }
};

TEST_F(BadInputTest, UnreadableInputs) {
    fs::create_directories(dir / "folder.s");
    struct Case {
        std::string arguments;
        std::string base;
        std::string message;
    };
    std::vector<Case> cases = {
        {"missing.s", "missing", "Could not open input file 'missing.s' for reading"},
        {"folder.s", "folder", "Could not open input file 'folder.s' for reading"},
    };
    // A file that opens but fails its first read (EIO) is no empty program.
    if (fs::exists("/proc/self/mem")) {
        cases.push_back({"-o mem /proc/self/mem", "mem",
                         "Reading from stream /proc/self/mem resulted in 'bad' state (read "
                         "error on i/o operation). Line read so far:\n\nLast read character "
                         "value = 0"});
    }
    for (const Case& c : cases) {
        const ToolRun result = assembleFailing(c.arguments, c.base);
        EXPECT_EQ(result.status, 1) << c.arguments;
        EXPECT_EQ(messageStarting(result, c.message.substr(0, 12)), c.message) << result.err;
    }
}

TEST_F(BadInputTest, EmptyFileIsAnEmptyProgram) {
    writeFile(dir / "empty.s", "");
    const ToolRun result = run("empty.s");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(fs::exists(dir / "empty.hex"));
    EXPECT_EQ(readFile(dir / "empty.hex"), "");
}

// Bytes that no rule of the language takes are reported, never skipped as if they were
// blank: a file of NUL bytes or of random binary is no empty program.
TEST_F(BadInputTest, NulBytesAndBinaryAreReported) {
    writeFile(dir / "nul.s", std::string(4096, '\0'));
    ToolRun result = assembleFailing("nul.s", "nul");
    EXPECT_EQ(result.status, 1) << result.err;
    std::string report = messageStarting(result, "assembler failed with 1 errors:\n");
    EXPECT_NE(report.find("nul.s:1:0: Syntax error: AsmParser: spurious characters after "
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
    const std::string failed = messageStarting(result, "assembly failed with ");
    ASSERT_FALSE(failed.empty()) << result.err;
    const int errors = std::stoi(failed.substr(21));
    EXPECT_GT(errors, 0);
    EXPECT_EQ(result.status, errors < 255 ? errors : 255);
}

TEST_F(BadInputTest, TenMegabyteLines) {
    const size_t size = 10 * 1024 * 1024;
    writeFile(dir / "comment.s", "        nop   # " + std::string(size, 'c') + "\n        stop\n");
    ToolRun result = run("comment.s", 60);
    EXPECT_EQ(result.status, 0) << result.err.substr(0, 2000);
    EXPECT_EQ(readFile(dir / "comment.hex"), "1000000000000000\n0800000000000000\n");

    writeFile(dir / "word.s", "        nop " + std::string(size, 'w') + "\n");
    result = assembleFailing("word.s", "word");
    EXPECT_EQ(result.status, 1);
    const std::string report = messageStarting(result, "assembler failed with 1 errors:\n");
    EXPECT_NE(report.find("word.s:1:12: Syntax error: Invalid argument: \n        nop " +
                          std::string(size, 'w') + "\n------------" + std::string(size, '^')),
              std::string::npos);
}

TEST_F(BadInputTest, HundredThousandInstructionsAreOneProgramTooLongError) {
    std::string source;
    for (int i = 0; i < 100000; ++i) {
        source += "        nop\n";
    }
    writeFile(dir / "long.s", source);
    const auto begin = std::chrono::steady_clock::now();
    const ToolRun result = assembleFailing("long.s", "long");
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - begin)
            .count();
    EXPECT_LT(seconds, 60);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(messageStarting(result, "assembly failed"), "assembly failed with 1 errors");
    EXPECT_NE(result.err.find("Program too long (100000). Maximum 4096 instructions"),
              std::string::npos)
        << result.err.substr(0, 2000);
}

TEST_F(BadInputTest, CarriageReturnsAloneEndLines) {
    writeFile(dir / "cr.s", "start:  stop\r        nop   # idle\r        add R1, 5, R2\r");
    ToolRun result = run("cr.s");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(readFile(dir / "cr.hex"), "0800000000000000\n1000000000000000\n4400008100000005\n");

    writeFile(dir / "crbad.s", "        nop\r        jump 5\r        wait 250\r");
    result = assembleFailing("crbad.s", "crbad");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(reportedLines(messageStarting(result, "assembler failed"), "crbad.s"),
              std::vector<int>{2});
}

// Each byte 0x80-0xFF in a comment is accepted; in a label or an argument it is reported
// on its own line, once, in line order.
TEST_F(BadInputTest, HighBytesInLabelsArgumentsAndComments) {
    std::string source;
    std::vector<int> expected;
    int lineNr = 0;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const char c = static_cast<char>(byte);
        source += std::string("        nop   # comment ") + c + "\n";
        source += std::string("lab") + c + "el:   nop\n";
        source += std::string("        wait  1") + c + "\n";
        expected.push_back(lineNr + 2);
        expected.push_back(lineNr + 3);
        lineNr += 3;
    }
    writeFile(dir / "high.s", source);
    const ToolRun result = assembleFailing("-l info high.s", "high");
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(messageStarting(result, "assembly failed"), "assembly failed with 256 errors");
    EXPECT_EQ(reportedLines(messageStarting(result, "assembler failed"), "high.s"), expected);

    std::string comments;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        comments += std::string("        nop   # ") + static_cast<char>(byte) + "\n";
    }
    writeFile(dir / "comments.s", comments);
    EXPECT_EQ(run("comments.s").status, 0);
    EXPECT_EQ(readFile(dir / "comments.hex").size(), 128u * 17u);
}

TEST_F(BadInputTest, ManyLabelOnlyLines) {
    std::string source;
    for (int i = 0; i < 100000; ++i) {
        source += "label" + std::to_string(i) + ":\n";
    }
    writeFile(dir / "labels.s", source + "        jmp @label99999\n");
    ToolRun result = run("labels.s");
    EXPECT_EQ(result.status, 0) << result.err.substr(0, 2000);
    EXPECT_EQ(readFile(dir / "labels.hex").size(), 17u);

    writeFile(dir / "dangling.s", source);
    result = assembleFailing("dangling.s", "dangling");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("Label-only line without associated instruction line"),
              std::string::npos);
}

TEST_F(BadInputTest, SymbolsWithTenThousandCharacterValues) {
    const std::string digits(10000, '7');
    writeFile(dir / "sym.s", ".DEF big " + digits + "\n        wait  $big\n");
    ToolRun result = assembleFailing("sym.s", "sym");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(reportedLines(messageStarting(result, "assembler failed"), "sym.s"),
              std::vector<int>{2});
    // Beyond 64 bits the conversion saturates; the operand's range check then refuses it.
    EXPECT_NE(result.err.find("value: 9223372036854775807 out of range (4,65535)"),
              std::string::npos)
        << result.err;

    const std::string text(10000, 'x');
    writeFile(dir / "text.s", ".DEF t " + text + "\n        wait  $t\n");
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
    EXPECT_EQ(messageStarting(result, "assembly failed"), "assembly failed with 10000 errors");
    const std::string report = messageStarting(result, "assembler failed with 10000 errors:\n");
    EXPECT_EQ(reportedLines(report, "errors.s"), expected);
}

TEST_F(BadInputTest, UnwritableOutputs) {
    writeFile(dir / "prog.s", "        stop\n");
    ToolRun result = run("-o no/such/dir/p prog.s");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("ERROR: could not open file no/such/dir/p.hex for writing\n"),
              std::string::npos)
        << result.err;
    EXPECT_FALSE(fs::exists(dir / "no"));

    fs::create_directories(dir / "taken.hex");
    result = run("-o taken prog.s");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("ERROR: could not open file taken.hex for writing\n"),
              std::string::npos)
        << result.err;
    EXPECT_TRUE(fs::is_directory(dir / "taken.hex"));

    if (fs::exists("/dev/full")) {
        fs::create_symlink("/dev/full", dir / "full.hex");
        result = run("-o full prog.s");
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find("ERROR: could not write file full.hex\n"), std::string::npos)
            << result.err;
    }
}

TEST_F(BadInputTest, RepetitionCounts) {
    writeFile(dir / "prog.s", "        stop\n");
    struct Case {
        std::string count;
        int status;
        std::string hex; // expected prog.hex; "-" when none may be written
    };
    const std::vector<Case> cases = {
        {"99999999999999999999999", 2, "-"}, // beyond long
        {"4294967297", 2, "-"},              // beyond int: would be cut to 1
        {"' -9999999999'", 2, "-"},
        {"2147483648", 2, "-"},
        {"5x", 2, "-"},
        {"0x10", 2, "-"},
        {"1.5", 2, "-"},
        {"' 1 '", 2, "-"},
        {"''", 0, ""}, // no digits: 0 runs
        {"' 0'", 0, ""},
        {"' -3'", 0, ""},
        {"+2", 0, "0800000000000000\n"},
        {"' 3'", 0, "0800000000000000\n"},
    };
    for (const Case& c : cases) {
        fs::remove(dir / "prog.hex");
        const ToolRun result = run("-s " + c.count + " prog.s");
        EXPECT_EQ(result.status, c.status) << "-s " << c.count;
        if (c.hex == "-") {
            EXPECT_FALSE(fs::exists(dir / "prog.hex")) << "-s " << c.count;
            EXPECT_EQ(
                messageStarting(result, "Error in number"),
                "Error in number of repeated assembly (stress testing): " +
                    (c.count.front() == '\'' ? c.count.substr(1, c.count.size() - 2) : c.count))
                << "-s " << c.count;
        } else {
            EXPECT_EQ(readFile(dir / "prog.hex"), c.hex) << "-s " << c.count;
        }
    }
}

TEST_F(BadInputTest, LogLevelForms) {
    writeFile(dir / "prog.s", "        stop\n");
    for (const std::string level :
         {"''", "Debug", "DEBUG", "dd", "x", "7", "0", "' info'", "'info '", "infox", "i,d"}) {
        const ToolRun result = run("-l " + level + " prog.s");
        EXPECT_EQ(result.status, 2) << "-l " << level;
        const std::string name = level.front() == '\'' ? level.substr(1, level.size() - 2) : level;
        EXPECT_EQ(result.messages(), std::vector<std::string>{"Unsupported log level: " + name})
            << "-l " << level;
        EXPECT_FALSE(fs::exists(dir / "prog.hex")) << "-l " << level;
    }
    for (const std::string arguments : {"prog.s -l", "-l -d prog.s", "-l -1 prog.s"}) {
        const ToolRun result = run(arguments);
        EXPECT_EQ(result.status, 2) << arguments;
        EXPECT_EQ(result.messages(), std::vector<std::string>{"Option -l requires argument"})
            << arguments;
    }
}

} // namespace
