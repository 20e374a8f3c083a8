#include "assembler/seq_sim.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "assembler/seq_instr_set.h"
#include "base/Logging.h"
#include "tests/sequencer/SimulatorTestSupport.h"

namespace {

class seq_simTest : public ::testing::Test {
protected:
    seq_simTest() : processor(seq_instr_set(), 4096, 64), sim(&processor) {
        processor.setClockFrequencies(250.0, 250.0);
    }

    std::string run(const std::vector<std::string>& program, int budget = 1000) {
        processor.initInstructionMem(0, processor.instructionMemSizeWords());
        for (size_t a = 0; a < program.size(); ++a)
            processor.writeInstructionMem(
                static_cast<uint32_t>(a),
                encodeInstruction(processor.instructionSet(), program[a]));
        std::string message;
        const bool failed = sim.simulate(budget, message);
        EXPECT_EQ(failed, !message.empty()) << message;
        return message;
    }
    const std::vector<seq_sim::rt_info>& log() const { return sim.get_rt_log(); }

    SeqProcessor processor;
    seq_sim sim;
};

// The detail lines of an entry with play, acquisition or parameters.
std::string params(const std::string& gain = "0:32767,1:32767",
                   const std::string& offset = "0:32767,1:32767",
                   const std::string& phase = "c:0,f:0,u:0",
                   const std::string& delta = "c:0,f:0,u:0", int marker = 0) {
    return "\n\tawg_gain: " + gain + "\n\tawg_offset: " + offset + "\n\tphase: " + phase +
           "\n\tphase delta: " + delta + "\n\tmarker: " + std::to_string(marker);
}

TEST_F(seq_simTest, PlayLogsOneEntryWithDefaults) {
    EXPECT_EQ(run({"play 1, 2, 100", "stop"}), "");
    EXPECT_EQ(sim.rt_log_text(), "\nSimulation start:\n@0ns play 100ns:\n\twave idx: 0:1,1:2" +
                                     params() + "\nSimulation end");
    EXPECT_EQ(sim.realtimeTick(), 100u);
    EXPECT_EQ(sim.classicalTick(), 3u);
    EXPECT_EQ(sim.numInstructions(), 2u);
    ASSERT_EQ(log().size(), 1u);
    EXPECT_STREQ(log()[0].str, "play");
    EXPECT_TRUE(log()[0].play_valid);
    EXPECT_FALSE(log()[0].acquire_valid);
}

TEST_F(seq_simTest, WaitsLogHeadersOnly) {
    EXPECT_EQ(run({"wait 20", "wait_trigger 30", "wait_sync 4", "stop"}), "");
    EXPECT_EQ(sim.rt_log_text(), "\nSimulation start:\n@0ns wait 20ns\n@20ns wait_trigger 30ns"
                                 "\n@50ns wait_sync 4ns\nSimulation end");
    EXPECT_EQ(sim.realtimeTick(), 54u);
    EXPECT_EQ(sim.classicalTick(), 4u);
}

TEST_F(seq_simTest, SettingsReachTheLogWithTheNextLoggedInstruction) {
    EXPECT_EQ(run({"play 0, 0, 10", "set_awg_gain 100, -1", "set_awg_offs -32768, 5", "wait 8",
                   "acquire 3, 7, 20", "play 3, 4, 10", "stop"}),
              "");
    EXPECT_EQ(sim.rt_log_text(), "\nSimulation start:"
                                 "\n@0ns play 10ns:\n\twave idx: 0:0,1:0" +
                                     params() + "\n@10ns wait 8ns" +
                                     "\n@18ns acquire 20ns:\n\tacq idx: 3" +
                                     "\n\tbin idx: 7\n\tweight idx: 0:-1,1:-1" +
                                     params("0:100,1:65535", "0:32768,1:5") +
                                     "\n@38ns play 10ns:\n\twave idx: 0:3,1:4" +
                                     params("0:100,1:65535", "0:32768,1:5") + "\nSimulation end");
    // play 2, set_awg_gain 2, set_awg_offs 2, wait 1, acquire 2, play 2, stop 1
    EXPECT_EQ(sim.classicalTick(), 12u);
    EXPECT_EQ(sim.realtimeTick(), 48u);
}

TEST_F(seq_simTest, PhaseStepIsClearedAfterOneEntryAndPhasePersists) {
    EXPECT_EQ(
        run({"set_ph 4, 5, 6", "set_ph_delta 1, 2, 3", "play 1, 1, 4", "play 2, 2, 4", "stop"}),
        "");
    EXPECT_EQ(sim.rt_log_text(),
              "\nSimulation start:\n@0ns play 4ns:\n\twave idx: 0:1,1:1" +
                  params("0:32767,1:32767", "0:32767,1:32767", "c:4,f:5,u:6", "c:1,f:2,u:3") +
                  "\n@4ns play 4ns:\n\twave idx: 0:2,1:2" +
                  params("0:32767,1:32767", "0:32767,1:32767", "c:4,f:5,u:6") + "\nSimulation end");
    EXPECT_EQ(sim.classicalTick(), 3u + 3u + 2u + 2u + 1u);
}

TEST_F(seq_simTest, AcquireAndAcquireWeighed) {
    EXPECT_EQ(run({"acquire 3, 7, 20", "acquire_weighed 1, 2, 3, 4, 30", "stop"}), "");
    EXPECT_EQ(sim.rt_log_text(),
              "\nSimulation start:\n@0ns acquire 20ns:\n\tacq idx: 3\n\tbin idx: 7"
              "\n\tweight idx: 0:-1,1:-1" +
                  params() +
                  "\n@20ns acquire_weighed 30ns:\n\tacq idx: 1\n\tbin idx: 2"
                  "\n\tweight idx: 0:3,1:4" +
                  params() + "\nSimulation end");
    EXPECT_EQ(sim.classicalTick(), 2u + 3u + 1u);
    EXPECT_EQ(sim.realtimeTick(), 50u);
}

TEST_F(seq_simTest, ParameterUpdateAndSettingTicks) {
    EXPECT_EQ(run({"sw_req 5", "set_mrk 3", "set_ph 1, 2, 3", "set_ph_delta 7, 8, 9",
                   "set_awg_gain 1, 2", "set_awg_offs 3, 4", "upd_param 4", "stop"}),
              "");
    EXPECT_EQ(sim.rt_log_text(), "\nSimulation start:\n@0ns upd_param 4ns:" +
                                     params("0:1,1:2", "0:3,1:4", "c:1,f:2,u:3", "c:7,f:8,u:9", 3) +
                                     "\nSimulation end");
    EXPECT_EQ(sim.classicalTick(), 1u + 1u + 3u + 3u + 2u + 2u + 1u + 1u);
    EXPECT_EQ(sim.numInstructions(), 8u);
    EXPECT_EQ(sim.pc(), 7u);
}

TEST_F(seq_simTest, RegisterOperandsFollowThePrefetchRule) {
    // add writes R1 at tick 1; play starts at tick 2: its first operand (prefetched) still
    // reads 0, the second (current) 9.
    EXPECT_EQ(run({"add R0, 9, R1", "play R1, R1, 10", "nop", "set_mrk R1", "wait R1",
                   "set_ph R1, R1, R1", "acquire_weighed 2, R1, R1, R1, 5", "upd_param 4", "stop"}),
              "");
    ASSERT_EQ(log().size(), 4u);
    EXPECT_EQ(log()[0].wave_idx[0], 0);
    EXPECT_EQ(log()[0].wave_idx[1], 9);
    EXPECT_EQ(log()[1].duration_ns, 9u);
    EXPECT_EQ(log()[1].mrk, 9);
    EXPECT_EQ(log()[2].bin_idx, 9);
    EXPECT_EQ(log()[2].weight_idx[0], 9);
    EXPECT_EQ(log()[2].weight_idx[1], 9);
    EXPECT_EQ(log()[2].ph_coarse, 9);
    EXPECT_EQ(log()[2].ph_ufine, 9);
    EXPECT_EQ(log()[3].time_ns, 10u + 9u + 5u);
}

TEST_F(seq_simTest, LongWaitsNeitherWrapNorRunBackwards) {
    EXPECT_EQ(run({"move 0x80000005, R1", "move 0xFFFFFFFF, R2", "nop", "wait R1", "wait R2",
                   "wait R2", "play 1, 1, 65535", "stop"}),
              "");
    const std::string expected =
        "\nSimulation start:\n@0ns wait 2147483653ns\n@2147483653ns wait 4294967295ns"
        "\n@6442450948ns wait 4294967295ns\n@10737418243ns play 65535ns:\n\twave idx";
    EXPECT_EQ(sim.rt_log_text().substr(0, expected.size()), expected);
    EXPECT_EQ(sim.realtimeTick(), 10737418243u + 65535u);
    EXPECT_EQ(log().back().time_ns, 10737418243u);

    // A loop of long waits within the default budget passes 2^31 ns.
    EXPECT_EQ(run({"move 40000, R1", "nop", "wait 65535", "loop R1, 2", "stop"}, 1000000), "");
    EXPECT_EQ(sim.realtimeTick(), 40000u * 65535u);
    EXPECT_EQ(log().back().time_ns, 39999u * 65535u);
}

TEST_F(seq_simTest, UnsupportedInstructionKeepsEarlierEntries) {
    EXPECT_EQ(run({"play 1, 2, 100", "reset_ph", "stop"}),
              "Instruction reset_ph not yet supported.");
    EXPECT_EQ(log().size(), 1u);
    EXPECT_EQ(sim.numInstructions(), 1u);
    EXPECT_EQ(sim.pc(), 1u);
    // Generic errors end the run the same way; the log so far stays.
    EXPECT_EQ(run({"wait 4", "move 1, R1", "illegal"}),
              "ILLEGAL instruction at instruction address:  2");
    EXPECT_EQ(log().size(), 1u);
}

TEST_F(seq_simTest, EveryRunStartsANewLog) {
    EXPECT_EQ(run({"set_awg_gain 1, 1", "play 1, 2, 100", "stop"}), "");
    EXPECT_EQ(run({"stop"}), "");
    EXPECT_TRUE(log().empty());
    EXPECT_EQ(sim.rt_log_text(), "\nSimulation start:\nSimulation end");
    EXPECT_EQ(run({"upd_param 4", "stop"}), "");
    EXPECT_EQ(log()[0].awg_gain[0], 32767);
    EXPECT_EQ(log()[0].awg_offs[1], 32767);
}

TEST_F(seq_simTest, PrintWritesTheLogAtInfoLevel) {
    run({"wait 20", "stop"});
    std::string text;
    {
        LogCapture log(5);
        sim.print_rt_log("ignored");
        Logging::setLogLevel(6);
        sim.print_rt_log("ignored");
        text = log.text();
    }
    const std::string expected = ": \nSimulation start:\n@0ns wait 20ns\nSimulation end\n";
    ASSERT_GE(text.size(), expected.size());
    EXPECT_EQ(text.substr(text.size() - expected.size()), expected);
    EXPECT_EQ(text.find("ignored"), std::string::npos);
    EXPECT_EQ(text.find("Simulation start"), text.rfind("Simulation start")); // written once
}

} // namespace
