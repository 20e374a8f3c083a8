// Two drivers used from two threads at once, one assembling and one simulating: each must
// give what it gives alone, and the logger, the one object they share, must keep every line
// whole. Built with -fsanitize=thread (ctest label "tsan") this also finds any other state
// that the drivers share without a lock.
#include "assembler/seq.h"
#include "base/Logging.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

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
const std::string kBadProgram = "        jump 5\n"
                                "        add R1, , R2\n";

// What one driver gives for one source: the assembly result and text, the hex image, and,
// when asked, whether the simulation failed, its message and the loop register after it.
struct Outcome {
    int assembled = -1;
    std::string text;
    std::string hex;
    bool simFailed = true;
    std::string simMessage;
    uint32_t loopRegister = 0;

    bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* out) {
    *out << "{assembled " << o.assembled << ", text \"" << o.text << "\", " << o.hex.size()
         << " hex bytes, simulation " << (o.simFailed ? "failed" : "ok") << " \"" << o.simMessage
         << "\", R1 " << o.loopRegister << "}";
}

Outcome runOnce(seq& driver, const std::string& source, bool simulate) {
    Outcome outcome;
    outcome.assembled = driver.assemble(source, outcome.text);
    if (outcome.assembled != 0)
        return outcome;
    std::ostringstream hex;
    driver.assembler()->printHexOutput(hex);
    outcome.hex = hex.str();
    if (simulate) {
        outcome.simFailed = driver.simulate(outcome.simMessage);
        outcome.loopRegister = driver.processor()->readRegister(1);
        driver.print_sim(); // the real-time log goes to the logger at info level
    }
    return outcome;
}

// Sends the log to a temporary file at debug level while it lives.
class LogToFile {
public:
    LogToFile() : m_file(std::tmpfile()), m_previous(Logging::getLogFile()) {
        Logging::setLogFile(m_file);
        m_level = Logging::getLogLevel();
        Logging::setLogLevel(7);
    }
    ~LogToFile() {
        Logging::setLogFile(m_previous);
        Logging::setLogLevel(m_level);
        std::fclose(m_file);
    }
    LogToFile(const LogToFile&) = delete;
    LogToFile& operator=(const LogToFile&) = delete;

    // How many lines end in ": " followed by `message`.
    int count(const std::string& message) const {
        std::fflush(m_file);
        std::rewind(m_file);
        std::string text;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, m_file)) > 0)
            text.append(buffer, n);
        int found = 0;
        std::istringstream lines(text);
        std::string line;
        const std::string ending = ": " + message;
        while (std::getline(lines, line))
            if (line.size() >= ending.size() &&
                line.compare(line.size() - ending.size(), ending.size(), ending) == 0)
                ++found;
        return found;
    }

private:
    FILE* m_file;
    FILE* m_previous;
    int m_level;
};

TEST(TwoDriversTest, AssembleAndSimulateOnTwoThreadsAtOnce) {
    // What each source gives on a driver of its own, before any thread starts.
    Outcome expectedGood;
    Outcome expectedBad;
    Outcome expectedSim;
    {
        const LogToFile quiet;
        seq alone;
        expectedGood = runOnce(alone, kProgram, false);
        expectedBad = runOnce(alone, kBadProgram, false);
        expectedSim = runOnce(alone, kProgram, true);
    }
    ASSERT_EQ(expectedGood.assembled, 0) << expectedGood.text;
    ASSERT_GT(expectedBad.assembled, 0);
    ASSERT_FALSE(expectedSim.simFailed) << expectedSim.simMessage;

    std::vector<Outcome> assembled;
    std::vector<Outcome> simulated;
    {
        const LogToFile log;
        // Each driver is built on its thread, so that construction runs concurrently too.
        std::thread assembler([&assembled] {
            seq driver;
            for (int run = 0; run < kRuns; ++run)
                assembled.push_back(runOnce(driver, run % 2 ? kBadProgram : kProgram, false));
        });
        std::thread simulator([&simulated] {
            seq driver;
            for (int run = 0; run < kRuns; ++run)
                simulated.push_back(runOnce(driver, kProgram, true));
        });
        assembler.join();
        simulator.join();

        // One "assembly completed" line per successful run, none torn by the other thread.
        EXPECT_EQ(log.count("assembly completed"), (kRuns + 1) / 2 + kRuns);
        EXPECT_EQ(
            log.count("assembly failed with " + std::to_string(expectedBad.assembled) + " errors"),
            kRuns / 2);
    }

    ASSERT_EQ(assembled.size(), static_cast<size_t>(kRuns));
    ASSERT_EQ(simulated.size(), static_cast<size_t>(kRuns));
    for (int run = 0; run < kRuns; ++run) {
        EXPECT_EQ(assembled[run], run % 2 ? expectedBad : expectedGood) << "assembly run " << run;
        EXPECT_EQ(simulated[run], expectedSim) << "simulation run " << run;
    }
}

} // namespace
