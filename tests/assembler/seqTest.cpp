// The driver through the tool's concrete driver: section switching, handler registration
// and calling order, repeated runs, and the operations that need an assembled program.
#include "assembler/seq.h"
#include "assembler/seq_sim.h"
#include "base/utils/SourceLine.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/seqprocessor/SeqProcessor.h"
#include "tests/sequencer/SimulatorTestSupport.h"

#include <gtest/gtest.h>

namespace {

// A section handler that records what the driver asks of it.
struct RecordingSection : AsmSection {
    RecordingSection(std::string name, bool stops = false)
        : directive(std::move(name)), stop(stops) {}
    std::string asmSectionGetDirective() override { return directive; }
    int asmSectionStart(AsmErrorList&) override { return ++starts, 0; }
    bool asmSectionProcessLine(const std::shared_ptr<const SourceLine>& line,
                               AsmErrorList&) override {
        lines.push_back(line->toString());
        return stop;
    }
    void asmSectionFinish(AsmErrorList&) override { ++finishes; }

    std::string directive;
    bool stop; // after the first line
    int starts = 0;
    int finishes = 0;
    std::vector<std::string> lines;
};

std::vector<uint64_t> program(const seq& driver) {
    std::vector<uint64_t> words;
    for (uint32_t a = 0; a < driver.assembler()->numInstructions(); ++a)
        words.push_back(driver.processor()->readInstructionMem(a));
    return words;
}

constexpr uint64_t kStop = 0x0800000000000000;
constexpr uint64_t kNop = 0x1000000000000000;

// .CPU, .END and .SIM lines on their own are in tests/golden/asm/sections.s.
TEST(SeqDriverTest, SectionLinesGoToTheirHandlers) {
    struct Case {
        const char* source;
        std::vector<uint64_t> words;
        std::vector<std::string> recorded;
        bool stopAfterFirstLine = false;
    };
    const Case cases[] = {
        {"stop\n.END\n.REC\nnop\n.CODE\nnop\n", {kStop, kNop}, {"nop"}},
        {".REC\n.\n.rec\n.CODE\nstop\n", {kStop}, {".", ".rec"}},
        {".REC\n   .CODE   # switch back\nstop\n", {kStop}, {}},
        // A handler that returns true ends the reading; every section is still finished.
        {"stop\n.REC\nfirst\nsecond\n.CODE\nnop\n", {kStop}, {"first"}, true},
    };
    for (const Case& c : cases) {
        seq driver;
        RecordingSection recorder(".REC", c.stopAfterFirstLine);
        driver.registerAsmSection(&recorder);
        UIStr text;
        EXPECT_EQ(driver.assemble(std::string(c.source), text), 0) << c.source << text;
        EXPECT_EQ(text, "assembler finished successfully") << c.source;
        EXPECT_EQ(program(driver), c.words) << c.source;
        EXPECT_EQ(recorder.lines, c.recorded) << c.source;
        EXPECT_EQ(recorder.starts, 1) << c.source;
        EXPECT_EQ(recorder.finishes, 1) << c.source;
    }
}

TEST(SeqDriverTest, DuplicateHandlerIsReportedAndIgnored) {
    seq driver;
    RecordingSection second(".CODE");
    LogCapture log;
    driver.registerAsmSection(&second);
    EXPECT_NE(log.text().find("Vexa::registerAsmSection: duplicate AsmSection handler for "
                              "directive '.CODE'"),
              std::string::npos)
        << log.text();
    UIStr text;
    EXPECT_EQ(driver.assemble(std::string("stop\n"), text), 0);
    EXPECT_EQ(program(driver), std::vector<uint64_t>{kStop});
    EXPECT_EQ(second.starts, 0);
}

// Every run starts afresh; the errors behind a report stay with the driver until the next.
TEST(SeqDriverTest, RepeatedRunsGiveTheSameResultAndKeepTheirErrors) {
    seq driver;
    const std::string bad = "nop\njump 1\nwait 2\n";
    UIStr first, report;
    EXPECT_EQ(driver.assemble(bad, first), 2);
    ASSERT_EQ(driver.assemble(bad, report), 2);
    EXPECT_EQ(first, report);
    ASSERT_EQ(driver.lastErrors().size(), 2u);
    std::string joined;
    for (const auto& error : driver.lastErrors())
        joined += std::string(error->what()) + "\n";
    EXPECT_EQ("assembler failed with 2 errors:\n" + joined, report + "\n");

    EXPECT_EQ(driver.assembleFile("/no/such/file.s", report), 1);
    EXPECT_EQ(report, "Could not open input file '/no/such/file.s' for reading");
    EXPECT_TRUE(driver.lastErrors().empty());

    const auto good = std::make_shared<const std::string>("loop: nop\n jmp @loop\n");
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(driver.assemble(good, report), 0);
        EXPECT_EQ(program(driver), (std::vector<uint64_t>{kNop, 0x1C00000000000000}));
    }
}

// Each simulation used to add a stopwatch, so the set and the time per run grew without bound.
TEST(SeqDriverTest, SimulationNeedsAnAssembledProgramAndKeepsOneTimer) {
    seq driver;
    UIStr text;
    EXPECT_TRUE(driver.simulate(100));
    EXPECT_TRUE(driver.simulate(text));
    ASSERT_EQ(driver.assemble(std::string("move 3, R1\nnop\nloop R1, 1\nstop\n"), text), 0);
    EXPECT_FALSE(driver.simulate(100));
    for (int run = 0; run < 3; ++run)
        ASSERT_FALSE(driver.simulate(text)) << text;
    const HiResStopWatchSet& timers = driver.simulator()->timers();
    ASSERT_EQ(timers.size(), 1u);
    EXPECT_EQ(timers[0]->lapCount(), 8u); // the latest run's instructions
    EXPECT_EQ(timers.report().find("Vexa processor: "), 0u) << timers.report();

    std::string listing;
    EXPECT_EQ(driver.disassemble(listing), 0);
    EXPECT_EQ(listing, "0:      move        0x3, R1\n1:      nop\n2:      loop        R1, 0x1\n"
                       "3:      stop\n");
}

TEST(SeqDriverTest, ExternalMemoryIsWrittenAndBoundsTheProgram) {
    std::vector<uint64_t> memory(16, 0xdeadbeef);
    UIStr text;
    {
        seq driver(memory.data(), 16, 8, 100.0, 200.0);
        EXPECT_EQ(driver.processor()->classicalClockFreq(), 100.0);
        EXPECT_EQ(driver.processor()->realtimeClockFreq(), 200.0);
        ASSERT_EQ(driver.assemble(std::string("stop\nnop\n"), text), 0);
    }
    EXPECT_EQ(memory[0], kStop);
    EXPECT_EQ(memory[1], kNop);
    EXPECT_EQ(memory[2], 0xdeadbeefu);
    seq small(memory.data(), 4, 8, 250.0, 250.0);
    EXPECT_EQ(small.assemble(std::string("nop\nnop\nnop\nnop\nnop\n"), text), 1);
    EXPECT_NE(text.find("Program too long (5). Maximum 4 instructions"), std::string::npos) << text;
}

} // namespace
