// Two drivers used from two threads at once, one assembling and one simulating: each must
// give what it gives alone, and the logger, the one object they share, must keep every line
// whole. Built with -fsanitize=thread (ctest label "tsan") this also finds any other state
// that the drivers share without a lock.
#include "assembler/seq.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/seqprocessor/SeqProcessor.h"
#include "tests/sequencer/SimulatorTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

namespace {

constexpr int kRuns = 25;

const std::string kProgram = "start:  move    3, R1\n"
                             "        set_awg_gain 16384, -16384\n"
                             "        .DEF    two 2\n"
                             "again:  play    1, $two, 100\n"
                             "        acquire 0, 0, 100\n"
                             "        wait    250\n"
                             "        loop    R1, @again\n"
                             "        jmp     @done\n"
                             "done:   stop\n";
const std::string kBadProgram = "        jump 5\n        add R1, , R2\n";

// What one driver gives for one source: the assembly result and text, the hex image, and,
// when asked, the simulation's result and message and the loop register after it.
std::string runOnce(seq& driver, const std::string& source, bool simulate) {
    std::string text;
    const int result = driver.assemble(source, text);
    std::ostringstream outcome;
    outcome << result << ": " << text << "\n";
    if (result == 0)
        driver.assembler()->printHexOutput(outcome);
    if (result == 0 && simulate) {
        std::string message;
        outcome << "simulation failed: " << driver.simulate(message) << " " << message << "\nR1 "
                << driver.processor()->readRegister(1) << "\n";
        driver.print_sim(); // the real-time log goes to the logger at info level
    }
    return outcome.str();
}

// How many lines of `text` end in ": " followed by `message`.
int linesEndingIn(const std::string& text, const std::string& message) {
    int found = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        found += line.ends_with(": " + message);
    return found;
}

TEST(TwoDriversTest, AssembleAndSimulateOnTwoThreadsAtOnce) {
    std::string good, bad, simulated;
    {
        const LogCapture aside; // these runs' log is not looked at
        seq alone;
        good = runOnce(alone, kProgram, false);
        bad = runOnce(alone, kBadProgram, false);
        simulated = runOnce(alone, kProgram, true);
    }
    ASSERT_EQ(good.rfind("0: assembler finished successfully\n", 0), 0u) << good;
    const int errors = std::stoi(bad);
    ASSERT_GT(errors, 0) << bad;
    ASSERT_NE(simulated.find("simulation failed: 0 \nR1 "), std::string::npos) << simulated;

    std::vector<std::string> assemblerRuns, simulatorRuns;
    {
        const LogCapture log;
        // Each driver is built on its thread, so that construction runs concurrently too.
        std::thread assembler([&assemblerRuns] {
            seq driver;
            for (int run = 0; run < kRuns; ++run)
                assemblerRuns.push_back(runOnce(driver, run % 2 ? kBadProgram : kProgram, false));
        });
        std::thread simulator([&simulatorRuns] {
            seq driver;
            for (int run = 0; run < kRuns; ++run)
                simulatorRuns.push_back(runOnce(driver, kProgram, true));
        });
        assembler.join();
        simulator.join();
        // One line per run, none torn by the other thread.
        const std::string text = log.text();
        EXPECT_EQ(linesEndingIn(text, "assembly completed"), (kRuns + 1) / 2 + kRuns);
        EXPECT_EQ(linesEndingIn(text, "assembly failed with " + std::to_string(errors) + " errors"),
                  kRuns / 2);
    }
    ASSERT_EQ(assemblerRuns.size(), static_cast<size_t>(kRuns));
    ASSERT_EQ(simulatorRuns.size(), static_cast<size_t>(kRuns));
    for (int run = 0; run < kRuns; ++run) {
        EXPECT_EQ(assemblerRuns[run], run % 2 ? bad : good) << "assembly run " << run;
        EXPECT_EQ(simulatorRuns[run], simulated) << "simulation run " << run;
    }
}

} // namespace
