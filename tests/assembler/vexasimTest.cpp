// End-to-end tests of vexasim: sources and .hex images, the real-time log, statistics and
// timers, runs that do not end with stop, the SVG timeline and every error path.
#include "XmlCheck.h"
#include "tests/assembler/ToolRun.h"

#include "assembler/seq_event_writer.h"

#include <algorithm>
#include <cmath>

namespace {

const std::string kProgram = "        play    1, 2, 100\n        wait    20\n        stop\n";
const std::string kRealTimeLog = "\nSimulation start:"
                                 "\n@0ns play 100ns:"
                                 "\n\twave idx: 0:1,1:2"
                                 "\n\tawg_gain: 0:32767,1:32767"
                                 "\n\tawg_offset: 0:32767,1:32767"
                                 "\n\tphase: c:0,f:0,u:0"
                                 "\n\tphase delta: c:0,f:0,u:0"
                                 "\n\tmarker: 0"
                                 "\n@100ns wait 20ns"
                                 "\nSimulation end";
const std::string kStats = "\nSimulated 3 instructions which took 4 classical cycles (0.016 us) "
                           "and 120 real-time cycles (0.480 us).";

class VexasimTest : public ToolRunTest {
protected:
    ToolRun vexasim(const std::string& arguments) const { return runTool(VEXASIM_PATH, arguments); }
};

// The messages after the assembly: real-time log, outcome, statistics, timers.
void expectSimulationLog(const ToolRun& result, size_t first, const std::string& outcome,
                         const std::string& stats, const std::string& realTimeLog) {
    const std::vector<LogLine> log = result.log();
    ASSERT_EQ(log.size(), first + 4) << result.err;
    EXPECT_EQ(log[first].tag, kInfoTag);
    EXPECT_EQ(log[first].message, realTimeLog);
    EXPECT_EQ(log[first + 1].message, outcome);
    EXPECT_EQ(log[first + 2].message, stats);
    EXPECT_EQ(log[first + 3].message.rfind("\nSimulation time:\nVexa processor: ", 0), 0u)
        << log[first + 3].message;
}

TEST_F(VexasimTest, SimulatesASource) {
    writeFile(dir / "prog.s", kProgram);
    const ToolRun result = vexasim("prog.s");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    ASSERT_FALSE(result.log().empty());
    EXPECT_EQ(result.log()[0].message, "assembler finished successfully");
    expectSimulationLog(result, 1, "Simulation finished", kStats, kRealTimeLog);
}

TEST_F(VexasimTest, SimulatesAHexImageLikeItsSource) {
    writeFile(dir / "prog.hex", assemble(kProgram, "prog"));
    const ToolRun result = vexasim("prog.hex");
    EXPECT_EQ(result.status, 0) << result.err;
    expectSimulationLog(result, 0, "Simulation finished", kStats, kRealTimeLog);
}

TEST_F(VexasimTest, RunsThatDoNotStopFailWithTheirMessage) {
    struct Case {
        std::string name;
        std::string source;
        std::string arguments;
        std::string message;
        std::string stats;
    };
    const std::vector<Case> cases = {
        {"budget", "        nop\n        jmp 1\n", "-m 10",
         "Maximum number of instructions reached (10). Could the program be running an "
         "infinite loop?",
         "\nSimulated 11 instructions which took 41 classical cycles (0.164 us) and 0 "
         "real-time cycles (0.000 us)."},
        {"illegal", "        wait 8\n        illegal\n", "",
         "ILLEGAL instruction at instruction address:  1",
         "\nSimulated 1 instructions which took 1 classical cycles (0.004 us) and 8 "
         "real-time cycles (0.032 us)."},
        {"unsupported", "        reset_ph\n", "", "Instruction reset_ph not yet supported.",
         "\nSimulated 0 instructions which took 0 classical cycles (0.000 us) and 0 "
         "real-time cycles (0.000 us)."},
    };
    for (const Case& c : cases) {
        writeFile(dir / "prog.s", c.source);
        const ToolRun result = vexasim(c.arguments + " prog.s");
        EXPECT_EQ(result.status, 1) << c.name;
        const std::vector<LogLine> log = result.log();
        ASSERT_EQ(log.size(), 6u) << c.name << "\n" << result.err;
        EXPECT_EQ(log[2].tag, kErrorTag) << c.name;
        EXPECT_EQ(log[2].message, c.message) << c.name;
        EXPECT_EQ(log[3].message, "Simulation interrupted") << c.name;
        EXPECT_EQ(log[4].message, c.stats) << c.name;
    }
}

TEST_F(VexasimTest, EmptyHexImageHitsIllegalAtZero) {
    writeFile(dir / "empty.hex", "");
    const ToolRun result = vexasim("empty.hex");
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.hasMessage(kErrorTag, "ILLEGAL instruction at instruction address:  0"))
        << result.err;
}

TEST_F(VexasimTest, FailedAssemblyReportsLikeVexasm) {
    writeFile(dir / "bad.s", "        wait 3\n        jump 5\n        stop\n");
    const ToolRun result = vexasim("--svg t.svg bad.s");
    EXPECT_EQ(result.status, 2);
    const std::vector<LogLine> log = result.log();
    ASSERT_EQ(log.size(), 2u) << result.err;
    EXPECT_EQ(log[0].tag, kWarningTag);
    EXPECT_EQ(log[0].message, "assembly failed with 2 errors");
    EXPECT_EQ(log[1].message.rfind("assembler failed with 2 errors:\nbad.s:1:", 0), 0u)
        << log[1].message;
    EXPECT_FALSE(fs::exists(dir / "t.svg"));
}

TEST_F(VexasimTest, InputsThatCannotBeRead) {
    writeFile(dir / "bad.hex", "0800000000000000\n08000000\n");
    fs::create_directories(dir / "folder.s");
    struct Case {
        std::string input;
        int status;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"missing.s", 1, "Could not open input file 'missing.s' for reading"},
        {"folder.s", 1, "Could not open input file 'folder.s' for reading"},
        {"missing.hex", 1, "Could not open input file 'missing.hex' for reading"},
        {"bad.hex", 1,
         "bad.hex:2: malformed instruction word '08000000' (expected 16 hexadecimal digits)"},
    };
    for (const Case& c : cases) {
        const ToolRun result = vexasim(c.input);
        EXPECT_EQ(result.status, c.status) << c.input;
        EXPECT_EQ(result.messages(), std::vector<std::string>{c.message}) << c.input;
    }
}

TEST_F(VexasimTest, SvgTimelineHoldsOneBoxPerLogEntry) {
    // Ten repetitions of play, acquire, wait: 30 entries of 100, 100 and 250 ns.
    const fs::path example = fs::path(VEXA_SOURCE_DIR) / "examples" / "pulse_sequence.s";
    const ToolRun result = vexasim("-l warning --svg out/t.svg " + quoted(example));
    EXPECT_EQ(result.status, 1) << "the folder out does not exist";
    EXPECT_EQ(result.messages(),
              std::vector<std::string>{"Could not open output file 'out/t.svg' for writing"});

    const ToolRun ok = vexasim("-l warning --svg t.svg " + quoted(example));
    EXPECT_EQ(ok.status, 0) << ok.err;
    std::string error;
    const auto root = xmlcheck::Reader().parse(readFile(dir / "t.svg"), error);
    ASSERT_TRUE(root) << error;
    std::vector<const xmlcheck::Element*> entries;
    for (const xmlcheck::Element* g : root->findAll("g"))
        if (g->attribute("class") == "entry")
            entries.push_back(g);
    ASSERT_EQ(entries.size(), 30u);
    const double scale = 1000.0 / 4500.0; // the run takes 4500 ns
    const uint64_t durations[] = {100, 100, 250};
    const size_t boxes[] = {2, 1, 1}; // a play has a box on each waveform path
    uint64_t time = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto rects = entries[i]->findAll("rect");
        ASSERT_EQ(rects.size(), boxes[i % 3]) << "entry " << i;
        for (const xmlcheck::Element* rect : rects) {
            EXPECT_NEAR(std::stod(rect->attribute("x")), static_cast<double>(time) * scale, 1e-3)
                << "entry " << i;
            EXPECT_NEAR(std::stod(rect->attribute("width")),
                        static_cast<double>(durations[i % 3]) * scale, 1e-3)
                << "entry " << i;
        }
        time += durations[i % 3];
    }
}

TEST_F(VexasimTest, InterruptedRunStillDrawsItsEntries) {
    writeFile(dir / "prog.s", "        wait 8\n        wait 12\n        illegal\n");
    const ToolRun result = vexasim("-l quiet --svg t.svg prog.s");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "");
    std::string error;
    const auto root = xmlcheck::Reader().parse(readFile(dir / "t.svg"), error);
    ASSERT_TRUE(root) << error;
    size_t entries = 0;
    for (const xmlcheck::Element* g : root->findAll("g"))
        entries += g->attribute("class") == "entry";
    EXPECT_EQ(entries, 2u);
}

// An outer loop of two passes around an inner loop of three, and an instruction that never
// runs. Classical ticks: move 1, play 2, loop 1 (+3 when it jumps), wait 1, stop 1.
const std::string kNestedLoops = "# nested loops\n"
                                 "        move    2, R1\n"
                                 "outer:  move    3, R2\n"
                                 "inner:\n"
                                 "        play    1, 2, 10\n"
                                 "        loop    R2, @inner\n"
                                 "        wait    5\n"
                                 "        loop    R1, @outer\n"
                                 "        stop\n"
                                 "        nop\n";

TEST_F(VexasimTest, ListingTimesEveryInstruction) {
    writeFile(dir / "loops.s", kNestedLoops);
    const ToolRun csv = vexasim("-l warning --listing l.csv loops.s");
    EXPECT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(readFile(dir / "l.csv"), "address,count,first_tick,first_time_ns,realtime_ns,text\n"
                                       "0,1,0,0,0,\"        move    2, R1\"\n"
                                       "1,2,1,0,0,\"outer:  move    3, R2\"\n"
                                       "2,6,2,0,60,\"        play    1, 2, 10\"\n"
                                       "3,6,4,10,0,\"        loop    R2, @inner\"\n"
                                       "4,2,17,30,10,        wait    5\n"
                                       "5,2,18,35,0,\"        loop    R1, @outer\"\n"
                                       "6,1,40,70,0,        stop\n"
                                       "7,0,,,,        nop\n");

    const ToolRun text = vexasim("-l warning --listing - loops.s");
    EXPECT_EQ(text.status, 0) << text.err;
    const std::string blank(63, ' ');
    EXPECT_EQ(text.out,
              "address      count   first_tick  first_time_ns    realtime_ns  source\n" + blank +
                  "# nested loops\n"
                  "      0          1            0              0              0          move"
                  "    2, R1\n"
                  "      1          2            1              0              0  outer:  move"
                  "    3, R2\n" +
                  blank +
                  "inner:\n"
                  "      2          6            2              0             60          play"
                  "    1, 2, 10\n"
                  "      3          6            4             10              0          loop"
                  "    R2, @inner\n"
                  "      4          2           17             30             10          wait"
                  "    5\n"
                  "      5          2           18             35              0          loop"
                  "    R1, @outer\n"
                  "      6          1           40             70              0          stop\n"
                  "      7          0" +
                  std::string(45, ' ') + "        nop\n");

    // An image is listed as its disassembly.
    writeFile(dir / "loops.hex", assemble(kNestedLoops, "loops"));
    const ToolRun image = vexasim("-l warning --listing image.csv loops.hex");
    EXPECT_EQ(image.status, 0) << image.err;
    const std::string listing = readFile(dir / "image.csv");
    EXPECT_NE(listing.find("\n2,6,2,0,60,\"        play        0x1, 0x2, 0xa\"\n"),
              std::string::npos)
        << listing;
    EXPECT_NE(listing.find("\n7,0,,,,        nop\n"), std::string::npos) << listing;
}

TEST_F(VexasimTest, EventsAreStreamedToCsvAndJsonLines) {
    writeFile(dir / "prog.s", kProgram);
    const ToolRun result = vexasim("--events ev.csv prog.s");
    EXPECT_EQ(result.status, 0) << result.err;
    expectSimulationLog(result, 1, "Simulation finished", kStats, kRealTimeLog);
    EXPECT_EQ(readFile(dir / "ev.csv"),
              std::string(seq_csv_sink::s_header) +
                  "\n0,100,0,play,1,1,2,0,0,0,0,0,1,32767,32767,32767,32767,0,0,0,0,0,0,0"
                  "\n100,20,1,wait,0,1,2,0,0,0,0,0,0,32767,32767,32767,32767,0,0,0,0,0,0,0\n");

    // A run cut short by its budget keeps the events up to that point.
    writeFile(dir / "loop.s", "top:    wait 4\n        jmp @top\n");
    const ToolRun cut = vexasim("-l quiet -m 9 --events ev.jsonl loop.s");
    EXPECT_EQ(cut.status, 1);
    const std::string json = readFile(dir / "ev.jsonl");
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 5);
    const std::string last = json.substr(json.rfind('\n', json.size() - 2) + 1);
    EXPECT_EQ(last.rfind("{\"time_ns\":16,\"duration_ns\":4,\"address\":0,\"mnemonic\":\"wait\","
                         "\"play_valid\":false,",
                         0),
              0u)
        << last;
}

TEST_F(VexasimTest, OutputsThatCannotBeWrittenFailWithoutAFileThatLooksComplete) {
    writeFile(dir / "prog.s", kProgram);
    writeFile(dir / "plain", "");
    fs::create_symlink("/dev/full", dir / "full.csv");
    struct Case {
        std::string arguments;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"--events missing/ev.csv",
         "Could not open output file 'missing/ev.csv' for writing: No such file or directory"},
        {"--listing plain/l.txt",
         "Could not open output file 'plain/l.txt' for writing: Not a directory"},
        {"--events full.csv", "Could not write output file 'full.csv': No space left on device"},
        {"--listing /dev/full", "Could not write output file '/dev/full': No space left on device"},
    };
    for (const Case& c : cases) {
        const ToolRun result = vexasim("-l error " + c.arguments + " prog.s");
        EXPECT_EQ(result.status, 1) << c.arguments;
        EXPECT_EQ(result.messages(), std::vector<std::string>{c.message}) << c.arguments;
        // The folder holds what the test put there, and no half-written file.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 3) << c.arguments;
    }
}

TEST_F(VexasimTest, CommandLine) {
    writeFile(dir / "prog.s", kProgram);
    const std::string help =
        std::string("Usage: ") + VEXASIM_PATH +
        " [-h] [-l loglevel] [-m max_instructions] [--events file.csv|file.jsonl] "
        "[--listing file] [--svg file.svg] inputfile"
        "\nSimulate vexa program and log its real-time events."
        "\nArguments:"
        "\n\tinputfile: vexa assembly, or a .hex file as vexasm writes it."
        "\nOptions:"
        "\n\t-h                 : print help"
        "\n\t-l loglevel        : debug/d, info/i, notice/n, warning/w, error/e, critical/c, "
        "alert/a or emergency/m."
        "\n\t                     Default: info"
        "\n\t-m max_instructions: stop after this many instructions."
        "\n\t                     Default: 1000000"
        "\n\t--events file      : stream the real-time events to file as they happen,"
        "\n\t                     CSV for a name ending in .csv, JSON Lines for .jsonl."
        "\n\t--listing file     : write the program with the execution count, first"
        "\n\t                     classical tick, first real time and total real time"
        "\n\t                     of each instruction; CSV for a name ending in .csv,"
        "\n\t                     - for standard output."
        "\n\t--svg file.svg     : also draw the real-time events as an SVG timeline.\n";
    struct Case {
        std::string arguments;
        int status;
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases = {
        {"prog.s -h", 1, {}},
        {"-m 5", 2, {}},
        {"-m -1 prog.s", 2, {"Option -m requires argument"}},
        {"prog.s --svg", 2, {"Option --svg requires argument"}},
        {"-m 5x prog.s", 2, {"Error in maximum number of instructions: 5x"}},
        {"-m 4294967296 prog.s", 2, {"Error in maximum number of instructions: 4294967296"}},
        {"--events ev.txt prog.s", 2, {"Events file name must end in .csv or .jsonl: ev.txt"}},
        {"--events .csv.gz prog.s", 2, {"Events file name must end in .csv or .jsonl: .csv.gz"}},
        {"--events - prog.s", 2, {"Option --events requires argument"}},
    };
    for (const Case& c : cases) {
        const ToolRun result = vexasim(c.arguments);
        EXPECT_EQ(result.status, c.status) << "vexasim " << c.arguments;
        EXPECT_EQ(result.out, help) << "vexasim " << c.arguments;
        EXPECT_EQ(result.messages(), c.messages) << "vexasim " << c.arguments;
    }

    const ToolRun unknown = vexasim("--svgx prog.s");
    EXPECT_EQ(unknown.status, 0);
    ASSERT_FALSE(unknown.log().empty());
    EXPECT_EQ(unknown.log()[0].tag, kErrorTag);
    EXPECT_EQ(unknown.log()[0].message, "Unsupported option: '--svgx'");

    const ToolRun quiet = vexasim("-l quiet prog.s");
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, "");
}

} // namespace
