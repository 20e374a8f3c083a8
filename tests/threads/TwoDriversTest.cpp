// Two drivers used from two threads at once, one assembling and one simulating: each must
// give what it gives alone, and the logger they share must keep every line whole. Built with
// -fsanitize=thread (ctest label "tsan") this also finds any other state shared without a lock.
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
                             "        stop\n";
const std::string kBadProgram = "        jump 5\n        add R1, , R2\n";

// The assembly's result, text and hex and, if asked, the simulation's outcome and R1.
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
        driver.print_sim(); // the real-time log goes to the logger
    }
    return outcome.str();
}

// Runs kRuns times on a driver built on the calling thread; the assembler alternates sources.
std::vector<std::string> runMany(bool simulate) {
    seq driver;
    std::vector<std::string> runs;
    for (int run = 0; run < kRuns; ++run)
        runs.push_back(runOnce(driver, !simulate && run % 2 ? kBadProgram : kProgram, simulate));
    return runs;
}

TEST(TwoDriversTest, AssembleAndSimulateOnTwoThreadsAtOnce) {
    std::vector<std::string> assembled, simulated;
    {
        const LogCapture aside; // these runs' log is not looked at
        assembled = runMany(false);
        simulated = runMany(true);
    }
    ASSERT_EQ(assembled[0].rfind("0: assembler finished successfully\n", 0), 0u) << assembled[0];
    ASSERT_NE(simulated[0].find("simulation failed: 0 \nR1 "), std::string::npos) << simulated[0];
    const int errors = std::stoi(assembled[1]);
    ASSERT_GT(errors, 0) << assembled[1];

    const LogCapture log;
    std::vector<std::string> assemblerRuns, simulatorRuns;
    std::thread assembler([&] { assemblerRuns = runMany(false); });
    std::thread simulator([&] { simulatorRuns = runMany(true); });
    assembler.join();
    simulator.join();
    EXPECT_EQ(assemblerRuns, assembled);
    EXPECT_EQ(simulatorRuns, simulated);
    // One log line per assembly, none torn by the other thread.
    const std::string text = log.text();
    const auto count = [&text](const std::string& line) {
        int found = 0;
        for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
            ++found;
        return found;
    };
    EXPECT_EQ(count(": assembly completed\n"), (kRuns + 1) / 2 + kRuns);
    EXPECT_EQ(count(": assembly failed with " + std::to_string(errors) + " errors\n"), kRuns / 2);
}

} // namespace
