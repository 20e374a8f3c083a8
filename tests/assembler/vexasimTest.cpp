// vexasim end to end: a source or .hex image in; log, outcome, statistics, timers and the files
// of --events, --listing and --svg out. What the simulator computes is in the golden files.
#include "tests/assembler/ToolRun.h"

#include "formats/npz_file.h"
#include "formats/npz_writer.h"
#include "formats/seq_csv_sink.h"
#include "tests/assembler/EventRows.h"

#include <algorithm>

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
    ToolRun vexasim(const std::string& arguments) const { return run(VEXASIM_PATH, arguments); }

    // The messages after the assembly: real-time log, outcome, statistics, timers.
    static void expectRun(const ToolRun& result, size_t first, const std::string& realTimeLog,
                          const std::string& outcome, const std::string& stats) {
        const std::vector<LogLine> log = result.log();
        ASSERT_EQ(log.size(), first + 4) << result.err;
        EXPECT_EQ(log[first].tag, kInfoTag);
        EXPECT_EQ(log[first].message, realTimeLog);
        EXPECT_EQ(log[first + 1].message, outcome);
        EXPECT_EQ(log[first + 2].message, stats);
        EXPECT_EQ(log[first + 3].message.rfind("\nSimulation time:\nVexa processor: ", 0), 0u)
            << log[first + 3].message;
    }
};

TEST_F(VexasimTest, SimulatesASourceOrItsImage) {
    writeFile(dir / "prog.s", kProgram);
    ToolRun result = vexasim("--events ev.csv prog.s");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    ASSERT_FALSE(result.log().empty());
    EXPECT_EQ(result.log()[0].message, "assembler finished successfully");
    expectRun(result, 1, kRealTimeLog, "Simulation finished", kStats);
    const std::string csv = readFile(dir / "ev.csv");
    EXPECT_EQ(csv.rfind(std::string(seq_csv_sink::s_header) + "\n", 0), 0u) << csv;
    event_rows::expectCsvEvents(csv, R"(
time_ns=0 duration_ns=100 address=0 mnemonic=play play_valid=1 wave_idx0=1 wave_idx1=2
    param_valid=1 awg_gain0=32767 awg_gain1=32767 awg_offs0=32767 awg_offs1=32767
time_ns=100 duration_ns=20 address=1 mnemonic=wait play_valid=0 param_valid=0
)");

    ASSERT_EQ(vexasm("-l quiet prog.s").status, 0);
    result = vexasim("prog.hex");
    EXPECT_EQ(result.status, 0) << result.err;
    expectRun(result, 0, kRealTimeLog, "Simulation finished", kStats);
}

// A run cut short fails with its reason, and still streams and draws the entries it logged.
TEST_F(VexasimTest, ARunThatDoesNotStopFailsAndKeepsItsEvents) {
    writeFile(dir / "prog.s", "        wait 8\ntop:    wait 12\n        jmp @top\n");
    const ToolRun result = vexasim("-m 4 --svg t.svg --events ev.jsonl prog.s");
    EXPECT_EQ(result.status, 1);
    const std::vector<LogLine> log = result.log();
    ASSERT_EQ(log.size(), 6u) << result.err;
    EXPECT_EQ(log[1].message, "\nSimulation start:\n@0ns wait 8ns\n@8ns wait 12ns\n@20ns wait 12ns"
                              "\nSimulation end");
    EXPECT_EQ(log[2].tag, kErrorTag);
    EXPECT_EQ(log[2].message, "Maximum number of instructions reached (4). Could the program be "
                              "running an infinite loop?");
    EXPECT_EQ(log[3].message, "Simulation interrupted");
    EXPECT_EQ(log[4].message, "\nSimulated 5 instructions which took 11 classical cycles "
                              "(0.044 us) and 32 real-time cycles (0.128 us).");

    const std::string json = readFile(dir / "ev.jsonl");
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 3);
    EXPECT_NE(json.find("\n{\"time_ns\":8,\"duration_ns\":12,\"address\":1,\"mnemonic\":\"wait\","),
              std::string::npos)
        << json;

    const std::string svg = readFile(dir / "t.svg");
    const std::regex group("<g class=\"entry\"");
    EXPECT_EQ(std::distance(std::sregex_iterator(svg.begin(), svg.end(), group), {}), 3) << svg;
    EXPECT_NE(svg.find("<title>@20ns wait 12ns</title>"), std::string::npos) << svg;
}

TEST_F(VexasimTest, FailedAssemblyOrUnreadableInputEndsBeforeTheRun) {
    writeFile(dir / "bad.s", "        wait 3\n        jump 5\n        stop\n");
    ToolRun result = vexasim("--svg t.svg bad.s");
    EXPECT_EQ(result.status, 2);
    ASSERT_EQ(result.log().size(), 2u) << result.err;
    EXPECT_EQ(result.log()[0].tag, kWarningTag);
    EXPECT_EQ(result.log()[0].message, "assembly failed with 2 errors");
    EXPECT_EQ(result.log()[1].message.rfind("assembler failed with 2 errors:\nbad.s:1:", 0), 0u);
    EXPECT_FALSE(fs::exists(dir / "t.svg"));

    writeFile(dir / "bad.hex", "0800000000000000\n08000000\n");
    result = vexasim("bad.hex");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.messages(), std::vector<std::string>{"bad.hex:2: malformed instruction word "
                                                          "'08000000' (expected 16 hexadecimal "
                                                          "digits)"});
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

    // The same columns aligned, with the source lines that hold no instruction.
    const ToolRun text = vexasim("-l warning --listing - loops.s");
    EXPECT_EQ(text.status, 0) << text.err;
    const std::string blank(63, ' ');
    EXPECT_EQ(text.out.rfind("address      count   first_tick  first_time_ns    realtime_ns  "
                             "source\n" +
                                 blank + "# nested loops\n",
                             0),
              0u);
    for (const std::string& rows :
         {"\n" + blank +
              "inner:\n      2          6            2              0             60"
              "          play    1, 2, 10\n",
          "\n      7          0" + std::string(45, ' ') + "        nop\n"})
        EXPECT_TRUE(text.out.find(rows) != std::string::npos) << rows << "\n" << text.out;
    EXPECT_EQ(std::count(text.out.begin(), text.out.end(), '\n'), 11) << text.out;
}

TEST_F(VexasimTest, OutputsThatCannotBeWrittenFailWithoutAFileThatLooksComplete) {
    writeFile(dir / "prog.s", kProgram);
    writeFile(dir / "plain", "");
    fs::create_symlink("/dev/full", dir / "full.csv");
    const std::pair<std::string, std::string> cases[] = {
        {"--events missing/ev.csv",
         "Could not open output file 'missing/ev.csv' for writing: No such file or directory"},
        {"--listing plain/l.txt",
         "Could not open output file 'plain/l.txt' for writing: Not a directory"},
        {"--svg missing/t.svg", "Could not open output file 'missing/t.svg' for writing"},
        {"--events full.csv", "Could not write output file 'full.csv': No space left on device"},
        {"--listing /dev/full", "Could not write output file '/dev/full': No space left on device"},
    };
    for (const auto& [arguments, message] : cases) {
        const ToolRun result = vexasim("-l error " + arguments + " prog.s");
        EXPECT_EQ(result.status, 1) << arguments;
        EXPECT_EQ(result.messages(), std::vector<std::string>{message}) << arguments;
        // The folder holds what the test put there, and no half-written file.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 3) << arguments;
    }
}

// The errors common to the three tools are tested with vexasm; these are vexasim's own.
TEST_F(VexasimTest, CommandLine) {
    writeFile(dir / "prog.s", kProgram);
    const std::string usage =
        std::string("Usage: ") + VEXASIM_PATH +
        " [-h] [-l loglevel] [-m max_instructions] [--events "
        "file.csv|file.jsonl] [--listing file] [--svg file.svg] [--waveforms "
        "file.npz] [--signals file.npz --window start:stop] [--acquisitions "
        "file.csv] [--findings file.csv] [--check] [--input "
        "zero|loopback|file.npy] [--integration-ns n] [--loopback-delay-ns "
        "n] [--nco-hz f] [--queue-depth n] [--start-delay-ns n] "
        "[--classical-ns n] inputfile\nSimulate vexa program and log its real-time events.\n";
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"-h", {}},
        {"-m 5x", {"Error in maximum number of instructions: 5x"}},
        {"--events .csv.gz", {"Events file name must end in .csv or .jsonl: .csv.gz"}},
        {"--events -", {"Option --events requires argument"}},
    };
    for (const auto& [arguments, messages] : cases) {
        const ToolRun result = vexasim(arguments + " prog.s");
        EXPECT_EQ(result.status, messages.empty() ? 1 : 2) << arguments;
        EXPECT_EQ(result.out.rfind(usage, 0), 0u) << arguments << "\n" << result.out;
        EXPECT_EQ(result.messages(), messages) << arguments;
    }
}

} // namespace

#ifdef VEXA_NPZ // numpy archives are built where libzip is
// The signal options on a program whose numbers are worked out by hand: waveform 1 is 8 samples
// of 0.5 played at half gain, so the output is 0.25 for 8 ns; looped back 8 ns later it is all
// that an 8 ns acquisition right after the play sees, three times over.
TEST_F(VexasimTest, SignalsAcquisitionsAndFindings) {
    const std::string program = "        set_awg_gain    16384, 16384\n"
                                "        set_awg_offs    0, 0\n"
                                "        move            3, R1\n"
                                "again:  play            1, %, 8\n"
                                "        acquire         0, 0, 8\n"
                                "        wait            100\n"
                                "        loop            R1, @again\n"
                                "        stop\n";
    auto withPath1 = [&](const std::string& wave) {
        std::string text = program;
        return text.replace(text.find('%'), 1, wave);
    };
    writeFile(dir / "good.s", withPath1("1"));
    writeFile(dir / "missing.s", withPath1("2"));
    npz_writer tables;
    tables.addFloat32("wave1", 8, [](uint64_t, std::span<float> out) {
        std::fill(out.begin(), out.end(), 0.5f);
    });
    tables.write((dir / "t.npz").string());
    const std::string options = "-l warning --waveforms t.npz --input loopback "
                                "--loopback-delay-ns 8 --integration-ns 8 ";

    ToolRun result = vexasim(options + "--check --acquisitions a.csv --findings f.csv "
                                       "--signals s.npz --window 4:20 good.s");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(readFile(dir / "a.csv"), "acq_idx,bin_idx,count,path0,path1\n0,0,3,0.25,0.25\n");
    EXPECT_EQ(readFile(dir / "f.csv"), "time_ns,address,line,kind,message\n");
    const auto signals = readNpz((dir / "s.npz").string());
    ASSERT_EQ(signals.count("path0"), 1u);
    const std::vector<float> expected = {0.25f, 0.25f, 0.25f, 0.25f, 0, 0, 0, 0,
                                         0,     0,     0,     0,     0, 0, 0, 0};
    EXPECT_EQ(signals.at("path0").values, expected);
    EXPECT_EQ(signals.at("time_ns").values.front(), 4.0f);

    // A play of a waveform the table lacks: one finding an iteration, on the play's line.
    const std::string finding =
        "missing.s:4: missing_waveform: path 1: waveform 2 is not in the table\n";
    for (const bool check : {false, true}) {
        result = vexasim(options + (check ? "--check " : "") + "--findings f.csv missing.s");
        EXPECT_EQ(result.status, check ? 3 : 0) << result.err;
        EXPECT_EQ(result.err, finding + finding + finding);
    }
    EXPECT_EQ(readFile(dir / "f.csv").substr(0, 96),
              "time_ns,address,line,kind,message\n"
              "0,3,4,missing_waveform,path 1: waveform 2 is not in the table\n");

    // Options that do not go together or are out of range: command-line errors.
    for (const std::string bad : {"--signals s.npz good.s", "--window 9:5 --signals s.npz good.s",
                                  "--integration-ns 0 good.s", "--input noise good.s"}) {
        result = vexasim(bad);
        EXPECT_EQ(result.status, 2) << bad << "\n" << result.err;
    }
    result = vexasim("--waveforms good.s.npz good.s");
    EXPECT_EQ(result.status, 1) << result.err;
}
#endif
